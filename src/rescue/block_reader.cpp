#include "rescue/block_reader.h"

#include <algorithm>

#include <bit>

namespace {

constexpr std::uint64_t kSyncPattern = 0xD3D3D3;
// Missing edges the sync bytes may have, for noise.
constexpr int kMostMissedSyncEdges = 3;
// Fill and sync: two bytes 0xFF and three 0xD3 cannot stand inside a block
// by chance (one in 2^40); seen there, they mean that the block ended early.
constexpr std::uint64_t kFillAndSync = 0xFFFFD3D3D3;

double startOf(const SyncHunt& hunt, std::int64_t bitsBack) {
    return hunt.starts[(hunt.bitsSeen - 1 - bitsBack) % 24];
}

}  // namespace

bool takeSyncBit(SyncHunt& hunt, const SoftBit& bit) {
    hunt.lastBits = (hunt.lastBits << 1) | static_cast<std::uint64_t>(bit.bit);
    hunt.missed = (hunt.missed << 1) | (bit.edgeFound ? 0u : 1u);
    hunt.starts[hunt.bitsSeen % 24] = bit.start;
    ++hunt.bitsSeen;
    return hunt.bitsSeen >= 24 && (hunt.lastBits & 0xFFFFFF) == kSyncPattern &&
           std::popcount(hunt.missed & 0xFFFFFFu) <= kMostMissedSyncEdges;
}

void beginReading(const SyncHunt& hunt, const CellTracker& tracker, double rate, BlockReading& reading) {
    reading = BlockReading{};
    reading.syncSeconds[0] = rate > 0 ? startOf(hunt, 8) / rate : 0;
    reading.syncSeconds[1] = rate > 0 ? startOf(hunt, 0) / rate : 0;
    reading.syncStart = startOf(hunt, 23);
    reading.half = halfWave(tracker);
    reading.cells[0] = tracker.cell[0];
    reading.cells[1] = tracker.cell[1];
    reading.firstSample = tracker.start;
    reading.lastSample = tracker.start;
    reading.decideOnLength = tracker.settings.decideOnLength;
}

bool addBlockBit(BlockReading& reading, const SoftBit& bit) {
    reading.bits.push_back(bit);
    reading.lastSample = bit.end;
    if (reading.bits.size() % 8 != 0) return false;
    unsigned byte = 0;
    for (std::size_t i = reading.bits.size() - 8; i < reading.bits.size(); ++i) {
        byte = (byte << 1) | static_cast<unsigned>(reading.bits[i].bit);
    }
    reading.bytes.push_back(static_cast<std::uint8_t>(byte));
    const auto count = static_cast<int>(reading.bytes.size());
    if (count == 1) {
        reading.kind = blockKindOf(reading.bytes[0]);
        if (reading.kind == BlockKind::unknown) {
            reading.end = ReadEnd::unknownType;
            return true;
        }
    }
    const int lengthAt = lengthByteIndex(reading.kind);
    if (lengthAt < 0 || count == lengthAt + 1) {
        reading.expectedBytes = blockBytes(reading.kind, reading.bytes.back());
        // Every bit of a recording's blocks is kept until they are decided:
        // no more room than the block needs.
        reading.bits.reserve(8 * static_cast<std::size_t>(std::max(0, reading.expectedBytes)));
        reading.bytes.reserve(static_cast<std::size_t>(std::max(0, reading.expectedBytes)));
    }
    if (reading.expectedBytes > 0 && count == reading.expectedBytes) {
        reading.end = ReadEnd::complete;
        return true;
    }
    return false;
}

void readBlock(CellTracker& tracker, SyncHunt& hunt, double rate, BlockReading& reading) {
    beginReading(hunt, tracker, rate, reading);
    hunt = SyncHunt{};
    for (;;) {
        SoftBit bit;
        if (!nextBit(tracker, bit)) {
            reading.end = ReadEnd::recordingEnd;
            return;
        }
        if (trackerLost(tracker)) {
            reading.end = ReadEnd::signalLost;
            return;
        }
        takeSyncBit(hunt, bit);
        if (hunt.bitsSeen >= 40 && (hunt.lastBits & 0xFFFFFFFFFF) == kFillAndSync) {
            // The block is cut short; what it read of the fill and sync is not its own.
            const std::size_t own = reading.bits.size() + 1 - 40;
            reading.bits.resize(own);
            reading.bytes.resize(own / 8);
            reading.end = ReadEnd::nextBlock;
            return;
        }
        if (addBlockBit(reading, bit)) return;
    }
}
