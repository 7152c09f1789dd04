#pragma once

#include <cstdint>

// The encoder's settings, fixed from the options before any output is written.
struct EncoderSettings {
    std::int32_t encBits = 8;  // bits per output sample: 8, 16, 24 or 32
    std::int32_t encShape =
        1;  // 0 sine, 1 square, 2 .. 2 × halfBitSamples trapezoid (the top value a triangle)
    std::int32_t encRate = 8000;      // output sample rate in Hz
    std::int32_t halfBitSamples = 0;  // samples in 312 µs: a 1 bit's half-wave, a third of a 0 bit's
    std::int32_t sampleValue = 0;     // the sample last written; its low encBits / 8 bytes go to the file
};

extern EncoderSettings encoderSettings;

void resetEncoderSettings();

// Sets rate, width, unit length and shape from the options -m, -b and -f.
// Values that are not accepted leave the defaults, silently.
void settleEncoderSettings();

// The sample value of silence: 128 for unsigned 8-bit samples, 0 for wider ones.
std::int32_t zeroLevel();
