#include "rescue/emphasis_pass.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The least number of X blocks that calls for a second reading: one alone
// is a damaged block, not a recording the plain signal fails on.
constexpr int kLeastUndecided = 2;

bool decided(const DecidedBlock& block) { return block.decision.mark != 'X'; }

double overlap(const BlockDecision& a, const BlockDecision& b) {
    return std::min(a.lastSample, b.lastSample) - std::max(a.firstSample, b.firstSample);
}

double length(const BlockDecision& decision) { return decision.lastSample - decision.firstSample; }

// A reading of the first's, sure of every bit, gave other bytes: the signal
// says otherwise somewhere, whatever the second reading decided.
bool surelyOtherwise(const DecidedBlock& block, const std::vector<std::uint8_t>& bytes) {
    const auto& sure = block.testimony.sure;
    return std::any_of(sure.begin(), sure.end(), [&](const auto& other) { return other != bytes; });
}

}  // namespace

bool worthReadingEmphasised(const std::vector<DecidedBlock>& blocks) {
    // A block that stands on the samples alone is one the trackers lost as well.
    const auto undecided = std::count_if(blocks.begin(), blocks.end(), [](const auto& b) {
        return !decided(b) || b.decision.standsOnSamples;
    });
    return undecided >= kLeastUndecided && 2 * undecided >= static_cast<std::ptrdiff_t>(blocks.size());
}

std::vector<DecidedBlock> joinReadings(std::vector<DecidedBlock> first, std::vector<DecidedBlock> second,
                                       std::size_t& taken) {
    taken = 0;
    std::vector<bool> paired(first.size(), false);
    std::vector<DecidedBlock> added;
    for (DecidedBlock& other : second) {
        // Of the first reading's blocks it overlaps by enough, the one that
        // begins nearest to where it begins. (A block's start is where its
        // sync was read; its end may run on: the second reading's name block
        // ran on for 1.4 s over the next block, which it overlapped more, and
        // took that block's place, the name block written twice and the other
        // lost: worn_tape_sim --seed 12820923 --recordings 1.)
        std::size_t best = first.size();
        auto apart = [&](std::size_t i) {
            return std::fabs(first[i].decision.firstSample - other.decision.firstSample);
        };
        for (std::size_t i = 0; i < first.size(); ++i) {
            const double shared = overlap(first[i].decision, other.decision);
            if (paired[i] || 2 * shared <= std::min(length(first[i].decision), length(other.decision)))
                continue;
            if (best == first.size() || apart(i) < apart(best)) best = i;
        }
        if (best == first.size()) {
            if (decided(other)) added.push_back(std::move(other));
            continue;
        }
        paired[best] = true;
        DecidedBlock& block = first[best];
        if (decided(block) && decided(other) && block.decision.bytes != other.decision.bytes) {
            block.decision.mark = 'X';
            block.decision.what =
                "ellentmondó olvasások: a rövid félhullámokat kiemelő olvasás más jó blokkot adott";
        } else if (!decided(block) && decided(other) && !surelyOtherwise(block, other.decision.bytes)) {
            block = std::move(other);
            ++taken;
        }
    }
    taken += added.size();
    for (DecidedBlock& block : added) first.push_back(std::move(block));
    std::stable_sort(first.begin(), first.end(), [](const DecidedBlock& a, const DecidedBlock& b) {
        return a.decision.firstSample < b.decision.firstSample;
    });
    return first;
}
