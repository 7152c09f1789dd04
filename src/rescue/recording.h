#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/large_array.h"
#include "decoder/wav_input.h"
#include "rescue/conditioning.h"
#include "rescue/mains_hum.h"

// Samples to one value of the envelope.
inline constexpr std::int64_t kEnvelopeStride = 32;

// One recording of a tape as the rescue decoder reads it: every sample at
// full resolution, conditioned (offset removed, band limited), and the level
// the samples had before the filters. A value the caller owns, so that
// several recordings of one tape can be read side by side.
struct Recording {
    WavInput input;                    // the file, kept open to read stretches of it again
    double rate = 0;                   // samples per second, from the header
    FilterSettings filter;             // how `signal` was conditioned
    MainsHum hum;                      // the hum taken off the samples before the filters (mains_hum.h)
    LargeArray<float> signal;          // the conditioned samples
    std::int64_t count = 0;            // samples in `signal`
    std::vector<float> envelope;       // one value per kEnvelopeStride samples: the mean magnitude of the
                                       // samples in the tape's band (full scale 1); where it falls away,
                                       // the tape signal has dropped out
    std::vector<float> stretchLevels;  // the conditioned signal's RMS per stretch of 1024 samples
    double noiseFloor = 0;             // the envelope where the recording holds no tape signal: its noise
                                       // alone (0 where it holds tape signal throughout)
    double noiseFluctuation = 0;       // there, how much one envelope value varies, relative to the floor
    bool noiseMeasured = false;        // the recording has such stretches (its floor is 0 where they are
                                       // digital silence)
    std::vector<float> meanNoise;      // there, the RMS of the conditioned signal's mean over n samples, at
                                       // index n: the hiss on a slot of that length (empty: not measured)
    double quantisation = 0;           // the noise of the sample width itself, one step over √12
};

// Opens the recording, the channel given (wav_input.h), with the default
// decoder's header check: a refused file ends the run with its message.
void openRecording(const char* path, int channel, Recording& recording);

// Reads every sample from the start of the file and conditions it with
// `settings` into recording.signal. The first reading also measures the
// mains hum and the envelope; a later one (other settings) replaces only
// the signal.
void conditionRecording(Recording& recording, const FilterSettings& settings);

// The raw samples first .. first + count - 1, read again from the file, as
// values of full scale ±1, the mains hum taken off.
std::vector<float> readRawSamples(Recording& recording, std::int64_t first, std::int64_t count);

// Those raw samples conditioned afresh with `settings`, the filters starting
// from rest at `first`.
std::vector<float> conditionAfresh(Recording& recording, const FilterSettings& settings, std::int64_t first,
                                   std::int64_t count);

// A position in the recording, in samples, as seconds (0 without a rate).
inline double secondsIn(const Recording& recording, double position) {
    return recording.rate > 0 ? position / recording.rate : 0.0;
}

// Writes the conditioned signal, as the decoder read it, into the output
// directory as an 8-bit WAV at the recording's rate, named as the default
// decoder names its cleaned copy. Its level is set from a typical stretch
// of signal, so that quiet recordings show too.
void writeConditionedWav(const Recording& recording);
