#pragma once

#include <vector>

#include "rescue/tape_blocks.h"

// A take read once more through the emphasis (kEmphasisHz), where its first
// reading decided few of its blocks, and the blocks of both readings put
// together. Where the 1 bits' fundamental is lost (a head's gap at an angle
// to the track averages the signal over a delay, and near 640 µs that
// average leaves of a 1 cell only a ripple that no longer crosses zero where
// the cell does), the trackers read the emphasised signal where they could
// not read the plain one; elsewhere the plain one reads better.

// Whether the first reading's blocks call for a second: at least two of
// them are X or stand on the samples alone (BlockDecision), and no fewer
// than it decided otherwise.
bool worthReadingEmphasised(const std::vector<DecidedBlock>& blocks);

// The blocks of both readings of one take, in tape order. Two blocks are
// the same where their extents overlap by more than half the shorter one's;
// of several such, the one that begins nearest.
// Of such a pair the first reading's stands, unless it is X and the
// second's is not, and no reading of the first's sure of every bit gave
// other bytes than the second's; where both are O or J and give different
// bytes, they contradict each other: the first's bytes, marked X. A block
// only the second reading gave is added where it is O or J (its X blocks
// are stretches the first reading found no block in, and would only add
// noise to the report). `taken` is set to how many blocks came from the
// second.
std::vector<DecidedBlock> joinReadings(std::vector<DecidedBlock> first, std::vector<DecidedBlock> second,
                                       std::size_t& taken);
