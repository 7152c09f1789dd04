#pragma once

// Straightforward versions of the program's optimised algorithms, written as
// the tape format describes them. The tests compare the program against them.

#include <cstdint>
#include <vector>

// Both cleaning passes as full sweeps, repeated until a sweep changes nothing.
void literalCleanPulses(std::uint8_t* samples, std::int64_t count);

// The best-fit search visiting every sample of every candidate.
std::int64_t literalBestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                                std::int64_t separator, bool highFirst);

// The file bytes of one byte's signal, computed sample by sample.
std::vector<std::uint8_t> literalRenderByte(std::uint8_t byte, int bits, int shape, int halfBitSamples);
