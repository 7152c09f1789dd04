#pragma once

// Recordings as the simulations handle them: samples as ±1 values.

#include <cstdint>
#include <vector>

#include "support/file_bytes.h"

// The samples of a 16-bit mono WAV written by the encoder (a canonical
// 44-byte header), as ±1 values.
std::vector<double> samplesOf(const Bytes& wav);

// A canonical mono PCM WAV of 8 or 16 bits (or 24, 32): each sample rounded
// to the width, and clipped at full scale as a converter clips.
Bytes wavOf(const std::vector<double>& samples, std::uint32_t rate, int bits);
