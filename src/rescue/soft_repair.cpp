#include "rescue/soft_repair.h"

#include <algorithm>
#include <limits>

namespace {

// The least sure bits whose changes are tried, and the most changed at once.
constexpr std::size_t kCandidateBits = 20;
constexpr int kMostChanges = 3;
constexpr int kMostRepairs = 2;
// Below this evidence (1 % error) a bit counts as uncertain in the report.
constexpr double kUncertainLlr = 4.6;

struct Change {
    int bit;          // index into the reading's bits
    double cost;      // its evidence
    unsigned effect;  // what it adds to (sum of the summed bytes - checksum byte), modulo 256
};

struct Best {
    double cost = std::numeric_limits<double>::infinity();
    std::vector<int> bits;
};

}  // namespace

ReadingVerdict judgeReading(const BlockReading& reading) {
    ReadingVerdict verdict;
    for (const SoftBit& bit : reading.bits) {
        verdict.uncertainBits += bit.llr < kUncertainLlr;
        verdict.timingSure = verdict.timingSure && bit.timingSure;
    }
    if (reading.end != ReadEnd::complete) return verdict;

    const auto& bytes = reading.bytes;
    const int summed = reading.expectedBytes - 2;  // bytes 1 .. summed; the checksum follows
    unsigned residual = 0;
    for (int i = 1; i <= summed; ++i) residual += bytes[static_cast<std::size_t>(i)];
    residual = (residual - bytes[static_cast<std::size_t>(summed) + 1]) & 0xFF;

    // The type byte and the length byte decide the block's extent: a change
    // there would be another block altogether, so they only bound the rest.
    const int lengthAt = lengthByteIndex(reading.kind);
    double structural = std::numeric_limits<double>::infinity();
    std::vector<Change> changes;
    for (std::size_t b = 0; b < reading.bits.size(); ++b) {
        const auto byteIndex = static_cast<int>(b / 8);
        const double cost = reading.bits[b].llr;
        if (byteIndex == 0 || byteIndex == lengthAt) {
            structural = std::min(structural, cost);
            continue;
        }
        const unsigned weight = 1u << (7 - b % 8);
        const bool isOne = reading.bits[b].bit != 0;
        // A summed byte's bit changes the sum; the checksum's the other way.
        const unsigned step = byteIndex <= summed ? (isOne ? 256 - weight : weight) : (isOne ? weight : 256 - weight);
        changes.push_back({static_cast<int>(b), cost, step & 0xFF});
    }
    verdict.structureSure = structural >= kTrustMargin;
    std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.cost < b.cost; });
    const std::size_t tried = std::min(kCandidateBits, changes.size());

    // Everything left out of the enumeration costs at least this much.
    double leftOut = structural;
    if (tried < changes.size()) leftOut = std::min(leftOut, changes[tried].cost);
    if (tried >= kMostChanges + 1) {
        leftOut = std::min(leftOut, changes[0].cost + changes[1].cost + changes[2].cost + changes[3].cost);
    }

    Best best, second;
    auto consider = [&](double cost, std::vector<int> bits) {
        if (cost < best.cost) {
            second = best;
            best = {cost, std::move(bits)};
        } else if (cost < second.cost) {
            second = {cost, std::move(bits)};
        }
    };
    if (residual == 0) consider(0, {});
    for (std::size_t i = 0; i < tried; ++i) {
        const Change& a = changes[i];
        if (((residual + a.effect) & 0xFF) == 0) consider(a.cost, {a.bit});
        for (std::size_t j = i + 1; j < tried; ++j) {
            const Change& b = changes[j];
            if (((residual + a.effect + b.effect) & 0xFF) == 0) consider(a.cost + b.cost, {a.bit, b.bit});
            for (std::size_t k = j + 1; k < tried; ++k) {
                const Change& c = changes[k];
                if (((residual + a.effect + b.effect + c.effect) & 0xFF) == 0) {
                    consider(a.cost + b.cost + c.cost, {a.bit, b.bit, c.bit});
                }
            }
        }
    }
    if (best.cost == std::numeric_limits<double>::infinity()) return verdict;
    verdict.found = static_cast<int>(best.bits.size()) <= kMostRepairs &&
                    (best.bits.empty() || best.cost <= kLargestRepairCost);
    verdict.flips = best.bits;
    verdict.cost = best.cost;
    verdict.margin = std::min(second.cost, leftOut) - best.cost;
    return verdict;
}

std::vector<std::uint8_t> correctedBytes(const BlockReading& reading, const ReadingVerdict& verdict) {
    std::vector<std::uint8_t> bytes = reading.bytes;
    for (int bit : verdict.flips) {
        bytes[static_cast<std::size_t>(bit / 8)] ^= static_cast<std::uint8_t>(1u << (7 - bit % 8));
    }
    return bytes;
}
