#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoder/wav_input.h"
#include "rescue/conditioning.h"

// The rescue decoder reads a worn recording at full resolution: the samples
// as floating-point values, conditioned (offset removed, band limited), the
// bit cells tracked edge by edge with a timing that follows the tape's speed,
// and every bit decided on the slot where a 1 and a 0 differ, with a measure
// of how sure the decision is. Blocks whose checksum fails are read again in
// other ways and repaired only where the evidence is strong; the damage is
// reported at the end.

// One entry of the damage report: a block that was not read clean.
struct DamageEntry {
    double firstSecond = 0;  // where the block's first bit began
    double lastSecond = 0;   // where its last bit ended
    std::string kind;        // the block's kind, in words
    char mark = 'X';         // J or X
    std::string what;        // the repair step that succeeded, or what is wrong
    int uncertainBits = 0;   // bits whose decision was in doubt
};

// A stretch of the recording that holds tape signal but gave no block: a
// program may have been there.
struct BlocklessStretch {
    double firstSecond = 0;
    double lastSecond = 0;
};

// Samples to one value of the envelope.
inline constexpr std::int64_t kEnvelopeStride = 32;

// The rescue decoder's process-wide state.
struct RescueState {
    WavInput input;                    // the recording, kept open to read stretches of it again
    double rate = 0;                   // samples per second, from the header
    FilterSettings filter;             // how the signal was conditioned
    std::unique_ptr<float[]> signal;   // the conditioned recording, one value per sample
    std::int64_t signalCount = 0;      // its samples
    std::vector<float> envelope;       // the recording's level before conditioning, one value per
                                       // kEnvelopeStride samples: where it falls away there is no signal
    std::vector<float> stretchLevels;  // the conditioned signal's RMS over stretches of 1024 samples
    std::vector<DamageEntry> damage;   // the report, in the order the blocks were found
    std::vector<BlocklessStretch> blockless;  // for the report too, in the order found
    bool preferLengths = false;        // where trackers deciding on the slot and on lengths read a sync
                                       // equally well, take one on lengths: one on the slot lost the
                                       // signal in a program
    int programs = 0;                  // name blocks found (programs started)
    int blocksClean = 0;               // blocks marked O
    int blocksRepaired = 0;            // blocks marked J
    int blocksFailed = 0;              // blocks marked X
};

extern RescueState rescueState;

// Back to the state of a fresh start.
void resetRescueState();

// A position in the recording, in samples, as seconds (0 without a rate).
inline double secondsInRecording(double position) {
    return rescueState.rate > 0 ? position / rescueState.rate : 0.0;
}
