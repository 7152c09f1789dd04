#pragma once

#include <cstdint>
#include <vector>

#include "decoder/block_kinds.h"
#include "rescue/cell_tracker.h"

// Finds the three 0xD3 sync bytes in front of a block, and reads the block
// that follows, bit by bit with the evidence for each.

struct SyncHunt {
    std::uint64_t lastBits = 0;  // the bits seen, newest in bit 0
    std::int64_t bitsSeen = 0;   // how many bits were taken
    double starts[24] = {};      // where the last 24 bits began; bit k at [k % 24]
    std::uint32_t missed = 0;    // the bits whose cell end was not found on an edge, newest in bit 0
};

// Takes one bit; true when it completes D3 D3 D3 read on the cells' edges.
// (A tracker of the wrong polarity follows the middles of the cells, and
// can read the right bits for a while, but not without missing the edges
// wherever a 1 meets a 0: a dozen times in the sync bytes.)
bool takeSyncBit(SyncHunt& hunt, const SoftBit& bit);

// How a block reading ended.
enum class ReadEnd { notRead, complete, unknownType, signalLost, nextBlock, recordingEnd };

struct BlockReading {
    BlockKind kind = BlockKind::unknown;
    std::vector<std::uint8_t> bytes;  // as read, the type byte first; missing bytes are not there
    std::vector<SoftBit> bits;        // every bit read, most significant bit of each byte first
    int expectedBytes = 0;            // the block's length by its type and length byte (0: unknown type)
    ReadEnd end = ReadEnd::notRead;
    double syncSeconds[2] = {0, 0};          // the second and third sync bytes, for the console
    double syncStart = 0;                    // where the first sync byte began, in samples
    double half = 0;                         // the tracker's T when the sync was found
    double cells[2] = {0, 0};                // and its lengths of 0 and 1 cells, for reading the block again
    double firstSample = 0, lastSample = 0;  // the block's extent in the recording
    bool decideOnLength = false;             // how the tracker that read it decided bits
};

// Reads the block that follows a sync. With ReadEnd::nextBlock the next
// block's sync has been seen already (the bits after the block's end showed
// fill and D3 D3 D3): its sync hunt is left in `hunt`.
void readBlock(CellTracker& tracker, SyncHunt& hunt, double rate, BlockReading& reading);

// Adds one bit to a reading; true when the block is complete or its type
// is unknown (reading.end says which).
bool addBlockBit(BlockReading& reading, const SoftBit& bit);

// Starts a reading whose sync was just found by `hunt`.
void beginReading(const SyncHunt& hunt, const CellTracker& tracker, double rate, BlockReading& reading);
