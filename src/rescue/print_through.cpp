#include "rescue/print_through.h"

#include <algorithm>
#include <cmath>

namespace {

// A copy lies within this many seconds of its block: a turn of the tape on
// a full reel, with room for a slow deck.
constexpr double kEchoSeconds = 5.0;

// Its envelope is at most this share of its block's (-20 dB): print-through
// is 35 dB down or more, and the hiss under it lifts it a little.
constexpr double kEchoShare = 0.1;

// A copy whose envelope is no louder than a signal one step of the sample
// width high (half a step, √3 times the quantisation's deviation) is at the
// width's resolution: an 8-bit recording shows a copy 36 dB under a block at
// -29 dBFS as a step toggled now and then, 15 dB under the block, whatever
// its true level. Such a copy counts as faint where its block is at least
// twice as loud as that resolution: a block recorded twice would be at its
// level both times.
constexpr double kResolutionSteps = 1.7320508075688772;  // √3
constexpr double kOverResolution = 2;

// Whether `copy`'s level is far enough under `source`'s for print-through.
bool faintCopy(const Recording& recording, double copy, double source) {
    const double resolution = kResolutionSteps * recording.quantisation;
    return copy <= kEchoShare * source || (copy <= resolution && source >= kOverResolution * resolution);
}

// The mean of the envelope over samples [from, to].
double levelOver(const Recording& recording, double from, double to) {
    const auto size = static_cast<std::int64_t>(recording.envelope.size());
    const std::int64_t first =
        std::clamp(static_cast<std::int64_t>(from) / kEnvelopeStride, std::int64_t{0}, size);
    const std::int64_t last = std::clamp(static_cast<std::int64_t>(to) / kEnvelopeStride + 1, first, size);
    double sum = 0;
    for (std::int64_t k = first; k < last; ++k) sum += recording.envelope[static_cast<std::size_t>(k)];
    return last > first ? sum / static_cast<double>(last - first) : 0;
}

// The level a block was recorded at, which its copies follow: the louder of
// the block's own (`own`) and that of its third sync byte (from the second one's
// end on). A dropout on the playing tape that sank the block itself leaves
// its copies, printed from another turn, as loud as ever, and may spare the
// sync just before it.
double recordedLevel(const Recording& recording, const DecidedBlock& block, double own) {
    const BlockDecision& decision = block.decision;
    const double sync = block.syncSeconds[0] * recording.rate;
    if (sync <= 0 || sync >= decision.firstSample) return own;
    return std::max(own, levelOver(recording, sync, decision.firstSample - 1));
}

bool good(const DecidedBlock& block) { return block.decision.mark != 'X'; }

// The bytes read of a block read X that was cut short, where its signal
// sank into the noise (its bytes are padded after them); null for any other.
const std::vector<std::uint8_t>* cutShort(const DecidedBlock& block) {
    if (good(block) || block.found == nullptr) return nullptr;
    const std::vector<std::uint8_t>& read = block.found->reading.bytes;
    return !read.empty() && read.size() < block.decision.bytes.size() ? &read : nullptr;
}

bool startsWith(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& start) {
    return start.size() <= bytes.size() && std::equal(start.begin(), start.end(), bytes.begin());
}

// Whether `copy` has the bytes of `source`. A faint copy read X may have
// been cut short, and so may a block sunk by a dropout whose copy was read
// good: then the bytes read before are compared.
bool sameBytes(const DecidedBlock& copy, const DecidedBlock& source) {
    if (const auto* read = cutShort(copy)) return startsWith(source.decision.bytes, *read);
    if (const auto* read = cutShort(source)) return startsWith(copy.decision.bytes, *read);
    return copy.decision.bytes == source.decision.bytes;
}

}  // namespace

std::vector<Echo> takeOutEchoes(const Recording& recording, std::vector<DecidedBlock>& blocks) {
    std::vector<double> levels, recorded;
    for (const DecidedBlock& block : blocks) {
        levels.push_back(levelOver(recording, block.decision.firstSample, block.decision.lastSample));
        recorded.push_back(recordedLevel(recording, block, levels.back()));
    }
    const double reach = kEchoSeconds * recording.rate;
    std::vector<bool> echo(blocks.size(), false);
    std::vector<Echo> echoes;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        // A copy is faint and may be read X, or cut short: that every byte
        // read of it matches a block read good is no chance. Nor where the
        // copy was read good and the block it copies, loud, was not (its
        // readings contradicted each other, or a dropout cut it short): the
        // copy would write the block a second time.
        const BlockDecision& copy = blocks[i].decision;
        for (std::size_t j = 0; j < blocks.size(); ++j) {
            const BlockDecision& source = blocks[j].decision;
            if (j == i || (!good(blocks[j]) && !good(blocks[i])) || !sameBytes(blocks[i], blocks[j]))
                continue;
            if (std::fabs(source.firstSample - copy.firstSample) > reach) continue;
            if (!faintCopy(recording, levels[i], recorded[j])) continue;
            echo[i] = true;
            echoes.push_back({secondsIn(recording, copy.firstSample), secondsIn(recording, copy.lastSample),
                              secondsIn(recording, source.firstSample)});
            break;
        }
    }
    std::vector<DecidedBlock> kept;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        if (!echo[i]) kept.push_back(std::move(blocks[i]));
    blocks = std::move(kept);
    return echoes;
}
