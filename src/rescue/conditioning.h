#pragma once

#include <cstdint>
#include <vector>

// The short half-waves made louder against the long ones: a two-pole
// high-pass at this frequency, between the 0 bits' fundamental (534 Hz on a
// standard tape) and the 1 bits' (1602 Hz): the first falls by 11 dB, the
// second by less than 1, so the 1 bits come out 10 dB louder against the 0
// bits than they were. A take whose first reading gave no block, or left
// most of its blocks X, is read again so (take.h, emphasis_pass.h).
inline constexpr double kEmphasisHz = 1000;

// Conditioning: the recording's samples as floating-point values (full scale
// ±1, nothing dropped), an offset and rumble removed by a high-pass, the band
// limited by a low-pass to what one bit cell holds. Every decision threshold
// after this is relative to the signal's own local level.

struct FilterSettings {
    double highPassHz = 40;   // one pole: removes a DC offset and the wandering of the zero line
    double lowPassHz = 2600;  // two poles (Butterworth): noise above the tape's band
    double emphasisHz = 0;    // two poles (Butterworth high-pass), or 0 for none: the short half-waves
                              // made louder against the long ones, where a dull recording lost them
};

// The filters' coefficients and state, carried from one block of samples to the next.
struct SignalFilter {
    double highPassPole = 0;                        // one-pole high-pass: y = pole (y' + x - x')
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // the low-pass biquad
    double lastInput = 0, highPassed = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;  // the biquad's delay line
};

// A sample of 1 to 4 bytes, little-endian, as a value of full scale ±1:
// 8-bit samples are unsigned around 128, wider ones signed.
float sampleValue(const std::uint8_t* bytes, std::int64_t width);

SignalFilter makeSignalFilter(const FilterSettings& settings, double rate);
void filterSamples(SignalFilter& filter, const float* in, std::int64_t count, float* out);
// The emphasis of the settings, if any, over samples[0, count), in place.
void emphasise(float* samples, std::int64_t count, const FilterSettings& settings, double rate);

// Conditions count samples in place: the high-pass and the low-pass of the
// settings (not the emphasis). Where `envelope` is given, it also measures
// the envelope of the samples as they were: the mean magnitude, over each
// `stride` samples, of the tape's band, taken through gentle filters around
// it (one pole each: a high-pass at 300 Hz, below the 0 bits' fundamental,
// which leaves out offsets, hum, rumble and the low end of pink noise, and
// a low-pass at 3 kHz for the hiss above the band). One-pole filters do not
// ring, so a dropout shows within a stride or two. The value of a stride
// the samples end within is not written.
void filterInPlace(float* samples, std::int64_t count, const FilterSettings& settings, double rate,
                   float* envelope = nullptr, std::int64_t stride = 1);
