#pragma once

#include <vector>

#include "rescue/block_reader.h"

// What a reading of a block says about the block's true content.
//
// The checksum is an 8-bit sum: alone it passes one corrupted block in 256,
// and it cannot say which bit is wrong. So a content is taken only where the
// bits' evidence points to it far more strongly than to any other content
// whose checksum holds. Each bit's evidence is its log likelihood ratio; a
// content's cost is the evidence against the bits it changes. The best
// content and its margin over the next best are found among the changes of
// up to three of the least sure bits; any other change costs at least the
// evidence of the surest of those left out, or of the four least sure
// together, and that bounds the next best from below.

struct ReadingVerdict {
    bool found = false;         // a content whose checksum holds is within reach (at most two changes)
    std::vector<int> flips;     // the bits it changes (indices into the reading's bits)
    double cost = 0;            // the evidence against those changes
    double margin = 0;          // how much likelier, as a log, it is than the next best content
    bool structureSure = true;  // the type and length bytes are sure: the block's extent is right
    bool timingSure = true;     // every cell lay on its edges: no bit lost or gained (which would
                                // leave confident bits and a random checksum)
    int uncertainBits = 0;      // bits whose decision had less than 99 % behind it
};

// A content is trusted on one reading from this margin on: the next best
// content is then at most e^-12 (6 in a million) as likely.
inline constexpr double kTrustMargin = 12.0;
// Changes are made only to bits that were in real doubt.
inline constexpr double kLargestRepairCost = 8.0;

ReadingVerdict judgeReading(const BlockReading& reading);

// The reading's bytes with the verdict's changes made.
std::vector<std::uint8_t> correctedBytes(const BlockReading& reading, const ReadingVerdict& verdict);
