#pragma once

#include "rescue/block_reader.h"

// What one reading of a block says about how far it can be trusted.
//
// The checksum is an 8-bit sum: it passes a corrupted block one time in 256.
// With cell tracking, a wrong decision is never one wrong bit: the cell's
// length follows from the decision, so the next cells are looked for in the
// wrong place and bits are lost or gained until the timing catches up, and
// what follows is a random block to the checksum. So a reading is trusted
// only where its decisions leave next to no room for that: each decision
// with evidence e (the log of how much likelier it is than its opposite) is
// wrong with probability about exp(-e), and their sum over the block, its
// slip risk, bounds the chance that the reading holds a slip at all.

struct ReadingVerdict {
    bool complete = false;  // every byte of the block was read
    bool checksumHolds = false;
    bool timingSure = true;   // every cell lay on its edges
    bool onLengths = false;   // its bits were decided on the cells' lengths, whose evidence is capped
    double slipRisk = 0;      // the sum over the bits of exp(-evidence)
    int uncertainBits = 0;    // bits whose decision had less than 99 % behind it
    int silentBits = 0;       // bits read where the signal had dropped out
    double firstSilence = 0;  // where the first of them began, in samples
};

// One reading alone is trusted up to this slip risk: a slip then slips past
// the checksum less than once in 100,000 blocks (0.0025 / 256).
inline constexpr double kTrustedSlipRisk = 0.0025;

ReadingVerdict judgeReading(const BlockReading& reading);

// Trusted alone: complete, its checksum holds, its bits decided on the slot
// (a reading on lengths never is: its evidence is a cap, not a measure), its
// timing sure, its slip risk below kTrustedSlipRisk.
bool trustedAlone(const ReadingVerdict& verdict);

// Sure of every bit: complete, its bits decided on the slot, every cell on
// its edges, signal throughout and its slip risk below kTrustedSlipRisk,
// whatever its checksum says. A reading that sure which gives another block
// contradicts a reading of it. (Not one on lengths: its evidence is a cap,
// and over a short block the caps alone add up to a slip risk under the
// bar; through Opus at 20 kbit/s one such misread the last bit of a name
// block that two readings on the slot and the default decoder gave.)
bool sureOfEveryBit(const ReadingVerdict& verdict);
