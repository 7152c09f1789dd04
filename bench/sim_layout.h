#pragma once

// Where the encoder puts each program's lead-in and blocks in its recording,
// worked out from the tape's format: three seconds of silence, then per
// image a lead-in of 512 bytes 0xAA, per block 96 bytes 0xFF, three sync
// bytes 0xD3 and the block, an end mark 0xFF after the last block, and three
// seconds of silence. A bit is one cell of a fixed number of samples.

#include <cstdint>
#include <vector>

#include "sim_programs.h"

struct SampleSpan {
    std::int64_t from = 0, to = 0;  // samples, to not included
};

struct TapeLayout {
    std::int64_t samples = 0;                     // the whole recording
    std::vector<SampleSpan> leadIns;              // per program
    std::vector<std::vector<SampleSpan>> syncs;   // per program and block: its three sync bytes
    std::vector<std::vector<SampleSpan>> blocks;  // per program and block: its bytes
};

// The samples of a 1 bit's cell and a 0 bit's at the encoder's rate (Hz)
// and shape (-f): a 1 bit's half-waves last h samples (312 µs, rounded up),
// a 0 bit's 3h, and shapes from 2 on add a zero-level sample after each.
int oneCellSamples(int rate, int shape);
int zeroCellSamples(int rate, int shape);

TapeLayout layoutOf(const std::vector<TapeProgram>& programs, int rate, int shape);
