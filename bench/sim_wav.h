#pragma once

// Recordings as the simulations handle them: samples as ±1 values.

#include <cstdint>
#include <string>
#include <vector>

#include "support/file_bytes.h"

// The samples of a 16-bit mono WAV written by the encoder (a canonical
// 44-byte header), as ±1 values.
std::vector<double> samplesOf(const Bytes& wav);
// The same samples as they are, read straight from the file.
std::vector<std::int16_t> samples16OfFile(const std::string& path);

// A canonical mono PCM WAV of 8 or 16 bits (or 24, 32), written sample by
// sample: each rounded to the width, and clipped at full scale as a
// converter clips.
class WavWriter {
public:
    WavWriter(std::uint32_t rate, int bits, std::size_t count);
    void put(double sample);
    const Bytes& bytes() const { return file_; }

private:
    Bytes file_;
    int bits_, width_;
    double full_;
};

Bytes wavOf(const std::vector<double>& samples, std::uint32_t rate, int bits);

// A 16-bit stereo WAV of two channels (the shorter padded with silence).
Bytes stereoWavOf(const std::vector<double>& left, const std::vector<double>& right, std::uint32_t rate);
