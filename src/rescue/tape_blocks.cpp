#include "rescue/tape_blocks.h"

#include <algorithm>
#include <cstdint>

namespace {

// Readings of one block begin within a cell or two of each other; the
// blocks of a tape lie at least the fill and sync between blocks apart
// (13 bytes, over 200 T). Readings closer than this, 32 T, are of one block.
constexpr double kSameBlockHalves = 32;

// A reading, by where it begins.
struct Placed {
    double at;
    double tolerance;
    const FoundBlock* found;
    const DecodedBlock* plain;
};

}  // namespace

std::vector<TapeBlock> gatherTapeBlocks(const SearchResult& search, const std::vector<DecodedBlock>& plain,
                                        double rate) {
    std::vector<Placed> placed;
    for (const FoundBlock& found : search.blocks)
        placed.push_back({found.reading.firstSample, kSameBlockHalves * found.reading.half, &found, nullptr});
    // The default decoder's separator is about 2T.
    for (const DecodedBlock& block : plain)
        placed.push_back({static_cast<double>(block.syncPositions[1]),
                          kSameBlockHalves * static_cast<double>(block.separator) / 2, nullptr, &block});
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.at < b.at; });
    std::vector<TapeBlock> blocks;
    double tolerance = 0;
    for (const Placed& reading : placed) {
        if (blocks.empty() || reading.at - blocks.back().at > tolerance) {
            blocks.push_back({reading.at, {}, {}});
            tolerance = std::max(reading.tolerance, 0.001 * rate);
        }
        if (reading.found != nullptr) blocks.back().found.push_back(reading.found);
        if (reading.plain != nullptr) blocks.back().plain.push_back(reading.plain);
    }
    // The rescue decoder's readings in the order its trackers found them.
    for (TapeBlock& block : blocks)
        std::sort(block.found.begin(), block.found.end());
    return blocks;
}

DecidedBlock decideTapeBlock(Recording& recording, const TapeBlock& block) {
    DecidedBlock decided;
    std::vector<BlockDecision> own;
    for (const FoundBlock* found : block.found) own.push_back(decideBlock(recording, found->reading, found->polarity));
    std::vector<std::vector<std::uint8_t>> holding, sure;
    for (const BlockDecision& decision : own) {
        holding.insert(holding.end(), decision.holding.begin(), decision.holding.end());
        if (!decision.sure.empty()) sure.push_back(decision.sure);
    }
    auto differs = [](const std::vector<std::vector<std::uint8_t>>& readings, const std::vector<std::uint8_t>& bytes) {
        return std::any_of(readings.begin(), readings.end(), [&](const auto& other) { return other != bytes; });
    };

    // The rescue decoder's own decision: its first reading's, or that of a
    // later one (a second look) where the first gave nothing; two readings
    // that give different good blocks contradict each other.
    if (!own.empty()) {
        std::size_t chosen = 0;
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (own[chosen].mark == 'X' && own[i].mark != 'X') chosen = i;
        }
        decided.decision = own[chosen];
        const FoundBlock& found = *block.found[chosen];
        std::copy(std::begin(found.reading.syncSeconds), std::end(found.reading.syncSeconds),
                  std::begin(decided.syncSeconds));
        decided.lock = found.lock;
        decided.run = found.run;
        BlockDecision& decision = decided.decision;
        if (decision.mark != 'X' && differs(holding, decision.bytes)) {
            decision.mark = 'X';
            decision.bytes = own[0].bytes;
            decision.what = "ellentmondó olvasások: két olvasás más-más blokkot adott, mindkettő jó ellenőrző összeggel";
        }
    }

    // The default decoder's reading, where its checksum holds, stands unless
    // a reading of the rescue decoder gives another good block, or one that
    // is sure of every bit reads another block: then the block is X, written
    // as the default decoder read it.
    // (One whose checksum fails counts only where it is the block's only reading.)
    const DecodedBlock* plain = nullptr;
    for (const DecodedBlock* reading : block.plain) {
        if (reading->checksumOk && plain == nullptr) plain = reading;
    }
    if (plain == nullptr && own.empty() && !block.plain.empty()) plain = block.plain[0];
    if (plain == nullptr) return decided;
    BlockDecision& decision = decided.decision;
    const bool contradicted = plain->checksumOk && (differs(holding, plain->bytes) || differs(sure, plain->bytes));
    if (own.empty()) {
        const double rate = recording.rate;
        decided.syncSeconds[0] = rate > 0 ? static_cast<double>(plain->syncPositions[0]) / rate : 0;
        decided.syncSeconds[1] = rate > 0 ? static_cast<double>(plain->syncPositions[1]) / rate : 0;
        const auto microseconds = static_cast<std::uint32_t>(plain->separator) * 1000000u;
        decided.lock = {static_cast<double>(plain->lockPosition),
                        rate > 0 ? static_cast<int>(microseconds / static_cast<std::uint32_t>(rate)) : 0,
                        plain->highFirst};
        decision.firstSample = static_cast<double>(plain->syncPositions[1]);
        decision.lastSample = static_cast<double>(plain->lastSample);
        decision.uncertainBits = 0;
    }
    decision.bytes = plain->bytes;
    decision.kind = blockKindOf(plain->bytes[0]);
    if (!plain->checksumOk) {
        decision.mark = 'X';
        decision.what = "csak a szabványos dekóder olvasta, hibás ellenőrző összeggel";
    } else if (contradicted) {
        decision.mark = 'X';
        decision.what =
            "ellentmondó olvasások: a szabványos dekóder jó ellenőrző összegű blokkot olvasott, de egy másik "
            "olvasás mást adott; a szabványos dekóder olvasása került a fájlba";
    } else {
        decision.mark = 'O';
        decision.what.clear();
    }
    return decided;
}
