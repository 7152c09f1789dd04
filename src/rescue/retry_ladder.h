#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rescue/block_reader.h"

// The decision on one block: what is written and how it is marked.
//
// O: the checksum holds on the first reading, and no other content with a
//    holding checksum comes anywhere near it.
// J: the checksum holds only after a repair step: one or two doubtful bits of
//    the first reading changed, where the evidence for that content is
//    overwhelming (soft_repair.h); or two readings of the ladder that read
//    the block again in other ways agree on a content whose checksum holds.
// X: neither: the block is written as first read.
struct BlockDecision {
    char mark = 'X';
    std::vector<std::uint8_t> bytes;  // the block to write (as read, or repaired), expectedBytes long
    std::string what;                 // for the report: the repair step, or what is wrong
    int uncertainBits = 0;            // doubtful bits of the first reading
};

// The ways of reading a block again, each counted against the budget.
inline constexpr int kLadderSteps = 5;

BlockDecision decideBlock(const BlockReading& first, int polarity);

// Reads the block of `first` again in the ladder's way number `step`:
// false when that reading finds no sync where the first one found it.
bool readAgain(const BlockReading& first, int polarity, int step, BlockReading& again);
