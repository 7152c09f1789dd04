#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rescue/block_reader.h"
#include "rescue/reading_verdict.h"
#include "rescue/recording.h"

// A reading's bits as signed evidence: each bit's evidence, positive for
// a 1 and negative for a 0 (on one scale for both kinds of decision), so
// that readings of one block from different takes add up bit by bit.
struct SignedReading {
    std::vector<float> evidence;  // one per bit, most significant bit of each byte first
    std::vector<bool> onEdges;    // per bit: the cell lay on its edges, where its decision put them (bits
                                  // past its end count as on their edges)
    double slipRisk = 0;          // the reading's own slip risk
    bool onLengths = false;       // its bits were decided on the cells' lengths: its evidence is a cap,
                                  // and its slip risk says only how long the block is
    std::vector<double> starts;   // per bit of a reading cut short: where its cell began, in samples
                                  // (empty: not known; not kept for complete readings, of which a
                                  // take holds thousands)
    std::size_t slippedInDip = SIZE_MAX;  // the first bit of a heard dip the block was read on through
                                          // where it slipped two places (slippedInDip, take_stitch.h)
};

// Bit i of a block, the most significant bit of each byte first (as its
// readings' bits and evidence run).
inline int bitOf(const std::vector<std::uint8_t>& bytes, std::size_t i) {
    return (bytes[i / 8] >> (7 - i % 8)) & 1;
}

// The first bit in which two blocks of one length differ (their bit count
// where none does).
inline std::size_t firstBitApart(const std::vector<std::uint8_t>& other,
                                 const std::vector<std::uint8_t>& bytes) {
    const std::size_t bits = 8 * bytes.size();
    std::size_t first = 0;
    while (first < bits && bitOf(other, first) == bitOf(bytes, first)) ++first;
    return first;
}

// Bits [first, last) of a block.
struct BitSpan {
    std::size_t first = 0;
    std::size_t last = 0;
};

// What the readings of a block said, beyond the decision: for weighing
// another reading of the same block (the default decoder's) against them.
struct Testimony {
    std::vector<std::vector<std::uint8_t>> holding;  // every complete reading's block whose checksum holds
    std::vector<std::vector<std::uint8_t>> sure;     // every reading sure of every bit, whatever its checksum
    std::vector<std::vector<std::uint8_t>> read;     // every complete reading's block, whatever its checksum
    std::vector<std::vector<std::uint8_t>> fitted;   // the best-fit search's complete blocks (no evidence)
    std::vector<std::vector<std::uint8_t>> readOn;   // the default decoder's block, where a reading that lost
                                                     // the signal in a dip or slipped there gives it before
                                                     // the dip and, read on after it, to its end
    std::vector<SignedReading> complete;             // every complete reading, as signed evidence
    std::vector<SignedReading> partial;              // every reading that ended early, up to where it ended
    double signalGone = -1;    // where a reading first found the signal gone within the block, or -1
    double readOnFrom = -1;    // where a reading read on through a dip stopped seeing the block's bits
                               // (readOnThrough), or -1
    bool readOnHeard = false;  // ...and the samples in the dip followed the block's cells there
    std::vector<BitSpan> readOnUnseen;  // ...and the block's bits in each dip
    bool readOnToEnd = false;           // ...and its last dip ran to the block's end (DipsReadOn::toEnd)
    std::vector<std::vector<std::uint8_t>> toldApart;  // other readings' blocks that the samples of such a
                                                       // dip tell from the default decoder's (dipTellsApart)
};

// Where a reading found the signal gone within the block, or -1: where it
// erased bits, or where its tracker lost the signal after bits that carried
// no evidence (a tracker that loses its way in a deep dip, its bits still
// sure, has not found the signal gone). A bit decided on its cell's length
// has no evidence where no edge ended the cell, however loud the signal:
// such a tracker's loss says only that it lost the edges.
double signalGoneIn(const BlockReading& reading, const ReadingVerdict& verdict);

// The decision on one block: what is written and how it is marked.
//
// O: the checksum holds on the first reading, and that reading is sure
//    enough to be trusted alone (reading_verdict.h), or another reading
//    confirms it byte for byte.
// J: the checksum holds only after a repair step: two readings of the
//    ladder, which reads the block again in other ways, agree on a block
//    whose checksum holds and which differs from the first reading.
// X: neither, or a reading gives another block whose checksum holds too
//    (the readings contradict each other): the block is written as first
//    read.
struct BlockDecision {
    char mark = 'X';
    BlockKind kind = BlockKind::unknown;  // the block's kind, by its type byte as written
    std::vector<std::uint8_t> bytes;      // the block to write (as read, or repaired), expectedBytes long
    std::string what;                     // for the report: the repair step, or what is wrong
    int uncertainBits = 0;                // doubtful bits of the first reading
    double firstSample = 0;               // the block's extent in the recording, from the reading decided on
    double lastSample = 0;
    Testimony testimony;           // what every reading said, for weighing other readings of the block
    bool standsOnSamples = false;  // O only where the default decoder's block was heard in a dip or
                                   // completed by its checksum: the trackers' readings lost it
};

// The ways of reading a block again, in the order they are tried; a block
// that is not sure after its first reading is read in every one of them.
enum LadderStep {
    kNarrowerBand,      // conditioned afresh from the file with a lower low-pass
    kWiderBand,         // ... with a higher low-pass and a lower high-pass
    kSlowerTiming,      // the cell tracker anchoring half way and following speed slowly
    kMiddleAnchors,     // anchored on the edges in the middles of the cells
    kRemeasuredTiming,  // T measured anew on the block's own stretch
    kOtherDecision,     // the bits decided the other way: on lengths, or on the slot
    kBestFitSearch,     // the default decoder's best-fit search (no evidence: it only confirms)
    kLadderSteps
};

BlockDecision decideBlock(Recording& recording, const BlockReading& first, int polarity);

// What the report says of a block that no reading decided: where its
// reading ended early, where the signal was gone, or what its checksum and
// its bits say.
std::string whatIsWrong(const Recording& recording, const BlockReading& first, const ReadingVerdict& verdict);

// A reading of the ladder: its way, the reading and its verdict.
struct LadderReading {
    LadderStep step = kNarrowerBand;
    BlockReading reading;
    ReadingVerdict verdict;
};

// Decides a block that its first reading alone did not, on the ladder's
// readings of it (in the ladder's order): two that agree, each sure enough,
// make it O (as first read) or J (repaired); a reading that gives another
// block whose checksum holds too leaves it X, saying so. False where no two
// agree: `decision` is left as it was.
bool agreeOnBlock(const BlockReading& first, const ReadingVerdict& verdict,
                  const std::vector<LadderReading>& ladder, BlockDecision& decision);

// Reads the block of `first` again in the ladder's way `step`: false when
// that reading finds no sync where the first one found it.
bool readAgain(Recording& recording, const BlockReading& first, int polarity, LadderStep step,
               BlockReading& again);
