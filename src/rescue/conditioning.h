#pragma once

#include <cstdint>
#include <vector>

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

// Opens the recording (as the default decoder does: pathBase, the header
// check, -c), reads every sample at full resolution and conditions it into
// rescueState.signal; then creates the output directory.
void loadConditionedSignal(const char* path, const FilterSettings& settings);

// Reads the open recording's samples again into rescueState.signal and
// conditions them with other settings.
void conditionAgain(const FilterSettings& settings);

// The raw samples first .. first + count - 1, read again from the file, as
// floating-point values of full scale ±1.
std::vector<float> readRawSamples(std::int64_t first, std::int64_t count);

// Writes the conditioned signal, as the decoder read it, into the output
// directory as an 8-bit WAV at the recording's rate. Its level is set from
// a typical stretch of signal, so that quiet recordings show too.
void writeConditionedWav();
