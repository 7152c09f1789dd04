#pragma once

// The cassette chain, from the encoder's clean recording to the WAV file a
// sound card would give: the tape (the recorder's duty cycle, saturation,
// print-through, dropouts), the deck's transport (speed, wow, flutter), its
// playback head (azimuth, spacing loss, roll-off, head bump, coupling), and
// what the deck and the converter add (hum, hiss, DC offset and drift,
// level, polarity, rounding to 8 or 16 bits).

#include <cstdint>
#include <vector>

#include "sim_layout.h"
#include "sim_random.h"
#include "support/file_bytes.h"
#include "worn_params.h"

struct Playback {
    Bytes wav;
    std::int64_t samples = 0;
    std::vector<std::int64_t> mapped;  // where each of the asked-for tape samples plays
};

// clean: the encoder's 16-bit samples. tapeSamples: samples of the clean
// recording whose place in the played recording is wanted (block
// boundaries). The hiss is drawn from `draw`.
Playback playBack(const std::vector<std::int16_t>& clean, const WornParams& params, const TapeLayout& layout,
                  int rate, Draw& draw, const std::vector<std::int64_t>& tapeSamples);
