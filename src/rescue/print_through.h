#pragma once

#include <vector>

#include "rescue/recording.h"
#include "rescue/tape_blocks.h"

// Print-through: on a wound tape each turn magnetises the turns beside it a
// little, so that a block leaves a faint copy of itself a turn before and a
// turn after it (one to four seconds of tape), 35 to 60 dB below it. Where
// the tape around it is silent, trackers that follow quiet signals read the
// copy as a block of its own.

// A block taken for such a copy.
struct Echo {
    double firstSecond = 0;  // where the copy lies
    double lastSecond = 0;
    double sourceSecond = 0;  // where the block it copies begins
};

// Takes out of `blocks` (in tape order) each block whose bytes a block
// nearby has too, at least 20 dB louder (or too faint for the sample width
// to tell its level, under a block that is not), where either of the two
// was read good (O or J); returns them in tape order. A program recorded
// twice is never that much quieter the second time, and lies further away.
std::vector<Echo> takeOutEchoes(const Recording& recording, std::vector<DecidedBlock>& blocks);
