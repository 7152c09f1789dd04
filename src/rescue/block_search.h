#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "rescue/block_reader.h"
#include "rescue/recording.h"
#include "rescue/retry_ladder.h"

// The first step of the rescue decoder: trackers look through a recording
// for tape signal and the syncs in it, and read the blocks that follow.
// Nothing is decided or written here: the readings are collected, with
// where they lie, for the decision on each block.

// Where the timing of a program was found, for its lock line.
struct LockLine {
    double position = 0;    // where the tracker started, in samples
    int microseconds = 0;   // its separator, 2T
    bool highFirst = true;  // a cell starts with its high half
};

// The reading of one block by the tracker that found its sync.
struct FoundBlock {
    BlockReading reading;
    int polarity = 1;  // of the tracker: +1 when a cell starts with its high half
    int run = 0;       // which tracker run found it: blocks of one run share one lock line
    LockLine lock;
    std::optional<BlockDecision> early;  // its decision, where it was made as the search kept it (a take
                                         // read alone): its bits are then let go (take.cpp)
};

// Between the blocks of a program there is a short stretch of fill (about
// half a second on the tapes this program writes); tape signal without a
// sync for longer than this held a block.
inline constexpr double kLongestGapSeconds = 1.5;

// Samples [from, to) of a recording.
struct SampleSpan {
    double from = 0;
    double to = 0;
};

struct SearchResult {
    std::vector<FoundBlock> blocks;         // in the order found
    std::vector<double> restarts;           // where a tracker lost the signal within a program
    std::vector<SampleSpan> blockless;      // tape signal in which no sync was found, in order
};

// Called with each reading as it is kept, in the order of
// SearchResult::blocks, so that what is needed of its bits can be taken
// before the next is read.
using KeptReading = std::function<void(FoundBlock&)>;

// Called as the search moves on, with the readings kept so far and where it
// stands: no reading kept later begins before that sample (its trackers
// start there, and a second look for a missed block starts after the last
// block read), so the blocks before it can be decided.
using SearchProgress = std::function<void(std::vector<FoundBlock>&, double)>;

// Looks through the whole recording. -s and -j, where given, fix the timing
// and the polarity.
SearchResult searchBlocks(const Recording& recording, const KeptReading& kept = nullptr,
                          const SearchProgress& progress = nullptr);
