#pragma once

#include <cstdint>
#include <vector>

#include "common/output_file.h"

// A bit on tape is one full wave, a positive half-wave and then a negative
// one. With h = halfBitSamples (312 µs), a 1 bit's half-waves are h samples
// and a 0 bit's 3h, in the shape chosen: sine, square, trapezoid or triangle.

// The samples of one bit cell at the current settings.
std::vector<std::int32_t> bitCellSamples(bool one);

// The signal of a bit depends only on the bit and the settings, so both cells
// are rendered once, as file bytes, when the settings are fixed.
void prepareBitCells();

// Writes the signal of one byte, most significant bit first. sampleValue
// holds the last sample written.
void renderByte(OutputFile& out, std::uint8_t byte);

// Writes count samples of the zero level.
void renderSilence(OutputFile& out, std::int64_t count);
