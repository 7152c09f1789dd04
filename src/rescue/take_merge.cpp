#include "rescue/take_merge.h"

#include <algorithm>
#include <cmath>

#include "decoder/block_kinds.h"
#include "rescue/reading_verdict.h"
#include "rescue/take_stitch.h"

namespace {

using Block = std::vector<std::uint8_t>;

// A block of the tape as the takes read it: one decided block of each take
// that has it.
using Part = TakePart;
struct Group {
    double seconds;           // where it lies, in the reference take's time
    std::vector<Part> parts;  // the reference take's first, then the others' in take order
};

bool holdsOtherThan(const std::vector<Part>& parts, const std::vector<std::uint8_t>& bytes);
bool sureOfOtherThan(const std::vector<Part>& parts, const std::vector<std::uint8_t>& bytes);

bool good(const DecidedBlock& block) { return block.decision.mark != 'X'; }

double secondsOf(const Take& take, double sample) { return secondsIn(take.recording, sample); }

// Blocks that can be anchors: good, and a name or data block. An end or
// 0xB9 block is much the same on every tape.
bool anchorable(const DecidedBlock& block) {
    return good(block) && (block.decision.kind == BlockKind::name || block.decision.kind == BlockKind::data);
}

// The anchors between two takes: pairs of blocks (reference, other) with
// the same good content, the longest chain of them in the same order in
// both takes (a program recorded twice on the tape gives a block twice).
std::vector<std::pair<std::size_t, std::size_t>> anchorsBetween(const Take& reference, const Take& other) {
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0; i < reference.blocks.size(); ++i) {
        if (!anchorable(reference.blocks[i])) continue;
        for (std::size_t j = 0; j < other.blocks.size(); ++j) {
            if (anchorable(other.blocks[j]) && other.blocks[j].decision.bytes == reference.blocks[i].decision.bytes)
                pairs.emplace_back(i, j);
        }
    }
    // The longest chain increasing in both: pairs by reference block, and for
    // one reference block the other's in falling order, so that a chain takes
    // at most one of them; then the longest rising run of the other's blocks.
    std::sort(pairs.begin(), pairs.end(),
              [](const auto& a, const auto& b) { return a.first != b.first ? a.first < b.first : a.second > b.second; });
    std::vector<std::size_t> tails, before(pairs.size(), pairs.size());
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), k, [&](std::size_t t, std::size_t kk) {
            return pairs[t].second < pairs[kk].second;
        });
        if (at != tails.begin()) before[k] = *(at - 1);
        if (at == tails.end()) {
            tails.push_back(k);
        } else {
            *at = k;
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> chain;
    for (std::size_t k = tails.empty() ? pairs.size() : tails.back(); k < pairs.size(); k = before[k])
        chain.push_back(pairs[k]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// The tape's speed as the take saw it: the median of its blocks' separators
// (2T, in microseconds at their locks); 0 where it read none.
double separatorOf(const Take& take) {
    std::vector<int> separators;
    for (const DecidedBlock& block : take.blocks) {
        if (block.lock.microseconds > 0) separators.push_back(block.lock.microseconds);
    }
    if (separators.empty()) return 0;
    std::nth_element(separators.begin(), separators.begin() + static_cast<std::ptrdiff_t>(separators.size() / 2),
                     separators.end());
    return separators[separators.size() / 2];
}

// A time map of one take onto the reference: its anchors, and the ratio of
// their speeds for where one anchor is all there is.
struct TimeMap {
    std::vector<std::pair<double, double>> anchors;
    double slope = 1;
    double operator()(double seconds) const { return mapTime(anchors, seconds, slope); }
};

// The take's label for the report: its file, and its channel where it is
// one of several.
std::string labelOf(const Take& take) {
    return take.channel > 0 ? take.path + ", " + std::to_string(take.channel) + ". csatorna" : take.path;
}

// A decided block of another take, its positions moved onto the reference's time.
DecidedBlock moved(const DecidedBlock& block, const Take& take, const Take& reference, const TimeMap& map) {
    DecidedBlock copy = block;
    if (&take == &reference) return copy;
    const double rate = reference.recording.rate;
    auto sample = [&](double position) { return map(secondsOf(take, position)) * rate; };
    copy.decision.firstSample = sample(block.decision.firstSample);
    copy.decision.lastSample = sample(block.decision.lastSample);
    for (double& at : copy.syncSeconds) at = map(at);
    copy.lock.position = sample(block.lock.position);
    copy.run = -1;  // its lock line is shown only where a program starts
    return copy;
}

// The readings of two takes added bit by bit: the block the sums decide,
// with the sums' slip risk.
Block summed(const SignedReading& one, const SignedReading& other, double& slipRisk) {
    Block bytes(one.evidence.size() / 8, 0);
    slipRisk = 0;
    for (std::size_t bit = 0; bit < 8 * bytes.size(); ++bit) {
        const double sum = one.evidence[bit] + other.evidence[bit];
        slipRisk += std::exp(-std::fabs(sum));
        if (sum > 0) bytes[bit / 8] = static_cast<std::uint8_t>(bytes[bit / 8] | (0x80 >> (bit % 8)));
    }
    return bytes;
}

// Where the takes' complete readings of a block, one of each of two takes
// added bit by bit, give whole blocks whose checksum holds and whose slip
// risk is below what one reading is trusted with alone: that block, where
// they all give the same one, with the takes that gave it. A reading that
// slipped adds up with the other take's to bits that do not agree, which
// the slip risk shows, and the checksum then fails. Empty where none, or
// where they give different blocks.
Block summedReading(const std::vector<Part>& parts, std::string& takes) {
    Block found;
    takes.clear();
    for (std::size_t p = 0; p < parts.size(); ++p) {
        for (std::size_t q = p + 1; q < parts.size(); ++q) {
            if (parts[p].take == parts[q].take) continue;
            for (const SignedReading& one : parts[p].block->testimony.complete) {
                for (const SignedReading& other : parts[q].block->testimony.complete) {
                    if (one.evidence.size() != other.evidence.size() || one.evidence.size() % 8 != 0) continue;
                    double slipRisk = 0;
                    const Block bytes = summed(one, other, slipRisk);
                    if (!wholeBlock(bytes) || slipRisk > kTrustedSlipRisk) continue;
                    if (!found.empty() && bytes != found) return {};
                    found = bytes;
                    for (const Take* take : {parts[p].take, parts[q].take}) {
                        if (takes.find(take->name) == std::string::npos) takes += (takes.empty() ? "" : "+") + take->name;
                    }
                }
            }
        }
    }
    return found;
}

bool holdsOtherThan(const std::vector<Part>& parts, const Block& bytes) {
    for (const Part& part : parts) {
        for (const Block& other : part.block->testimony.holding) {
            if (other != bytes) return true;
        }
    }
    return false;
}

// A reading sure of every bit gives another block. (A pieced reading is
// that sure itself; a reading through a dropout whose checksum held by
// chance does not outweigh it.)
bool sureOfOtherThan(const std::vector<Part>& parts, const Block& bytes) {
    for (const Part& part : parts) {
        for (const Block& other : part.block->testimony.sure) {
            if (other != bytes) return true;
        }
    }
    return false;
}

// Decides a block of the tape from the takes' parts of it: the decided
// block, with its positions in the time of `source`, the take it comes from.
DecidedBlock decideGroup(const std::vector<Part>& parts, const Take*& source, std::vector<bool>& gave, int& merged) {
    const auto firstGood = std::find_if(parts.begin(), parts.end(), [](const Part& part) { return good(*part.block); });
    if (firstGood != parts.end()) {
        DecidedBlock decided = *firstGood->block;
        source = firstGood->take;
        // Each take's decision stands for the take: its own readings have
        // been weighed against each other already, and the takes' noise is
        // their own.
        const Block bytes = decided.decision.bytes;
        bool agree = true;
        std::string takes;
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const BlockDecision& decision = parts[p].block->decision;
            if (!good(*parts[p].block)) continue;
            agree = agree && decision.bytes == bytes;
            if (decision.bytes != bytes) continue;
            if (decision.mark == 'O') decided.decision.mark = 'O';
            takes += (takes.empty() ? "" : "+") + parts[p].take->name;
            gave[p] = true;
        }
        if (agree) {
            decided.takes = takes;
            return decided;
        }
        std::fill(gave.begin(), gave.end(), false);
        decided = *parts.front().block;
        source = parts.front().take;
        decided.decision.mark = 'X';
        decided.decision.what = "ellentmondó olvasások: a felvételek más-más jó ellenőrző összegű blokkot adtak";
        return decided;
    }
    DecidedBlock decided = *parts.front().block;
    source = parts.front().take;
    std::string takes;
    Block sum = summedReading(parts, takes);
    const bool pieced = sum.empty();
    if (pieced) sum = stitchedReading(parts, takes);
    if (!sum.empty() && !(pieced ? sureOfOtherThan(parts, sum) : holdsOtherThan(parts, sum))) {
        decided.decision.mark = 'J';
        decided.decision.kind = blockKindOf(sum[0]);
        decided.decision.bytes = sum;
        decided.decision.what = pieced ? "a felvételek együtt, a jelkiesések körül összeillesztve és bitenként "
                                         "összeadva (" + takes + ")"
                                       : "a felvételek együtt, bitenként összeadva (" + takes + ")";
        decided.takes = takes;
        ++merged;
        for (std::size_t p = 0; p < parts.size(); ++p) gave[p] = takes.find(parts[p].take->name) != std::string::npos;
    }
    return decided;
}

}  // namespace

double mapTime(const std::vector<std::pair<double, double>>& anchors, double seconds, double slope) {
    if (anchors.empty()) return seconds;
    if (anchors.size() == 1) return anchors[0].second + (seconds - anchors[0].first) * slope;
    auto next = std::upper_bound(anchors.begin(), anchors.end(), seconds,
                                 [](double s, const auto& anchor) { return s < anchor.first; });
    if (next == anchors.begin()) ++next;
    if (next == anchors.end()) --next;
    const auto& [t0, r0] = *(next - 1);
    const auto& [t1, r1] = *next;
    return r0 + (seconds - t0) * (t1 > t0 ? (r1 - r0) / (t1 - t0) : slope);
}

MergedTape mergeTakes(const std::vector<Take>& takes) {
    MergedTape tape;
    for (const Take& take : takes) tape.takes.push_back({take.name, labelOf(take), true, 0});
    if (takes.size() == 1) {
        tape.blocks = takes[0].blocks;
        for (const DecidedBlock& block : tape.blocks) tape.takes[0].blocks += good(block);
        return tape;
    }
    // The reference is the input, the tape the user means; only where it
    // read no block good at all does the take that read the most take its
    // place (there is nothing to tell a take of another tape by).
    auto goodBlocks = [](const Take& take) { return std::count_if(take.blocks.begin(), take.blocks.end(), good); };
    for (std::size_t t = 1; t < takes.size() && goodBlocks(takes[0]) == 0; ++t) {
        if (goodBlocks(takes[t]) > goodBlocks(takes[tape.reference])) tape.reference = t;
    }
    const Take& reference = takes[tape.reference];
    std::vector<Group> groups;
    std::vector<TimeMap> maps(takes.size());  // each take's time map onto the reference
    for (const DecidedBlock& block : reference.blocks)
        groups.push_back({secondsOf(reference, block.decision.firstSample), {{&reference, &block}}});
    for (std::size_t t = 0; t < takes.size(); ++t) {
        if (t == tape.reference) continue;
        const Take& take = takes[t];
        const auto pairs = anchorsBetween(reference, take);
        if (pairs.empty()) {
            tape.takes[t].matched = false;
            continue;
        }
        TimeMap& map = maps[t];
        for (const auto& [i, j] : pairs)
            map.anchors.emplace_back(secondsOf(take, take.blocks[j].decision.firstSample),
                                     secondsOf(reference, reference.blocks[i].decision.firstSample));
        const double separator = separatorOf(take);
        if (separator > 0) map.slope = separatorOf(reference) / separator;
        // A straight line through its first and last anchors, for the picture.
        const auto& [t0, r0] = map.anchors.front();
        const auto& [t1, r1] = map.anchors.back();
        const double slope = t1 > t0 ? (r1 - r0) / (t1 - t0) : map.slope;
        tape.takes[t].speed = slope > 0 ? 1 / slope : 1;
        tape.takes[t].offsetSeconds = r0 - t0 * slope;
        const std::vector<std::pair<double, double>>& anchors = map.anchors;
        std::vector<bool> taken(groups.size(), false);
        for (std::size_t j = 0; j < take.blocks.size(); ++j) {
            const double at = map(secondsOf(take, take.blocks[j].decision.firstSample));
            // The nearest block of the reference, within 0.1 s and the 3 % that
            // the speed may wander by between the anchors around it.
            double nearestAnchor = 1e300;
            for (const auto& anchor : anchors) nearestAnchor = std::min(nearestAnchor, std::fabs(anchor.second - at));
            const double tolerance = 0.1 + 0.03 * nearestAnchor;
            std::size_t best = groups.size();
            for (std::size_t g = 0; g < reference.blocks.size(); ++g) {
                const double apart = std::fabs(groups[g].seconds - at);
                if (!taken[g] && apart <= tolerance && (best == groups.size() || apart < std::fabs(groups[best].seconds - at)))
                    best = g;
            }
            if (best < groups.size()) {
                taken[best] = true;
                groups[best].parts.push_back({&take, &take.blocks[j]});
            } else {
                groups.push_back({at, {{&take, &take.blocks[j]}}});
            }
        }
    }
    std::stable_sort(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.seconds < b.seconds; });
    for (const Group& group : groups) {
        const Take* source = nullptr;
        std::vector<bool> gave(group.parts.size(), false);
        const DecidedBlock decided = decideGroup(group.parts, source, gave, tape.merged);
        for (std::size_t p = 0; p < gave.size(); ++p) tape.takes[static_cast<std::size_t>(group.parts[p].take - takes.data())].blocks += gave[p];
        tape.blocks.push_back(moved(decided, *source, reference, maps[static_cast<std::size_t>(source - takes.data())]));
    }
    return tape;
}
