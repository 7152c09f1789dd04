#pragma once

#include <complex>
#include <cstdint>
#include <vector>

// Mains hum: a deck or a sound card on the mains adds a tone at 50 or 60 Hz
// and its first harmonics, at times as loud as the tape signal. The
// conditioning's high-pass lets it through (it must keep the long cells'
// shape), and a hum that loud moves the signal so far that its zero
// crossings, the cells' edges, come and go with its phase. It is measured
// on the recording and taken off before the filters: a sum of tones whose
// amplitudes follow the recording slowly. The tape signal has little at
// those frequencies, and what it has (a lead-in repeats a byte about a
// hundred times a second) lasts a second or two, which the estimates pass
// over. Weaker hum is left alone: the conditioning copes with it, and a
// recording without hum is conditioned exactly as before.

struct MainsHum {
    double hz = 0;                                // the fundamental as measured; 0: no hum taken off
    double rate = 0;                              // the recording's samples per second
    double decibels = 0;                          // its RMS against the tape signal's level, for the report
    int harmonics = 0;                            // tones taken off: the fundamental and those above it
    std::int64_t blockSamples = 0;                // samples per estimate of the tones' amplitudes
    std::vector<std::complex<double>> amplitude;  // [block * harmonics + k]: tone k + 1 in each block,
                                                  // as a phasor against the recording's first sample
};

// Measures the hum of count samples at `rate` (the whole recording, from
// its first sample); hz is 0 where there is no hum loud enough to matter.
MainsHum measureMainsHum(const float* samples, std::int64_t count, double rate);

// Takes the hum off the samples first .. first + count - 1 of the recording,
// held in samples[0, count).
void removeMainsHum(const MainsHum& hum, float* samples, std::int64_t first, std::int64_t count);
