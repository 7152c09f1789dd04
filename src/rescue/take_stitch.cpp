#include "rescue/take_stitch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "decoder/block_kinds.h"
#include "rescue/cell_tracker.h"
#include "rescue/reading_verdict.h"

namespace {

// A bit is sure at this evidence (99 %); the other takes' sure bits align a
// reading taken up again after a dropout.
constexpr double kSureEvidence = 4.6;

// An alignment holds where the reading taken up again agrees with the
// other takes on this many sure bits (a sync's worth), and disagrees on at
// most one in kMostDisagreement of them.
constexpr int kLeastAgreement = 24;
constexpr int kMostDisagreement = 16;

// The bits next to a dropout count for nothing: it may have begun or ended
// inside their cells, and a tracker decides them before it knows. Those
// before the loss (the tracker's last cells: four without an edge, or a
// run of weak bits) and the first after the signal came back.
constexpr std::size_t kEdgeBits = 8;

// The bits in a dip, whose cells no reading saw, take the mean lengths of
// the cells over the kLengthBits sure bits on either side of it (wow moves
// the speed by up to a percent from one side of a dip to the other), by
// their kind and the kinds of the cells before and after (the filters move
// the edge between two cells by both their half-waves: a 1 cell after a 0
// is measured longer than one after a 1, and a 0 cell before a 1 shorter
// than one before a 0; over a run of cells the moves of the edges within
// it cancel, and the lengths so kept sum to the time between its first
// and last edge); the time between the bits on either side must match
// those lengths within kLengthSlack of a 1 cell.
constexpr std::size_t kLengthBits = 64;
constexpr double kLengthSlack = 0.5;
// Bits read on after a dip and placed by their time alone must agree with
// the block on this many sure bits: a block wrong there passes that one time
// in 256, on top of its checksum.
constexpr int kLeastTimedBits = 8;

// Where the signal has come back after a loss: the envelope back at half the
// level it had under the block, for a millisecond; the tracker starts 2 ms
// after that, past the edge of the dropout.
constexpr double kBackShare = 0.5;
constexpr double kBackSeconds = 0.001;
constexpr double kSettleSeconds = 0.002;

// One take's evidence on the block's bits, signed (positive: 1), 0 where it
// read nothing.
using Evidence = std::vector<float>;

// Adds bits [first, last) of a reading, bit i at place + i.
void addReading(Evidence& evidence, const std::vector<SoftBit>& bits, std::size_t first, std::size_t last,
                std::size_t place) {
    for (std::size_t i = first; i < std::min(last, bits.size()) && place + i < evidence.size(); ++i)
        evidence[place + i] += bits[i].bit ? bits[i].llr : -bits[i].llr;
}

// The envelope's median over the samples [from, to).
double medianEnvelope(const Recording& recording, double from, double to) {
    const auto size = static_cast<std::int64_t>(recording.envelope.size());
    const std::int64_t first =
        std::clamp(static_cast<std::int64_t>(from) / kEnvelopeStride, std::int64_t{0}, size);
    const std::int64_t last = std::clamp(static_cast<std::int64_t>(to) / kEnvelopeStride, first, size);
    if (last <= first) return 0;
    std::vector<float> values(recording.envelope.begin() + first, recording.envelope.begin() + last);
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2),
                     values.end());
    return values[values.size() / 2];
}

// Reads on after a reading that lost the signal at `lost`: from where the
// signal comes back (before `until`) to half of `level`, the envelope's
// median under the reading, with the reading's timing and polarity, at most
// `most` bits. The bits' place in the block is not known yet.
ReadOn readOnAfterLoss(const Recording& recording, const FoundBlock& found, double level, double lost,
                       double until, std::size_t most) {
    const BlockReading& reading = found.reading;
    const double bar = std::max(kBackShare * level, 2 * recording.noiseFloor);
    const auto run =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(kBackSeconds * recording.rate) / kEnvelopeStride);
    const auto size = static_cast<std::int64_t>(recording.envelope.size());
    const std::int64_t last = std::min(size, static_cast<std::int64_t>(until) / kEnvelopeStride);
    std::int64_t back = -1;
    for (std::int64_t k = static_cast<std::int64_t>(lost) / kEnvelopeStride, length = 0; k < last; ++k) {
        length = recording.envelope[static_cast<std::size_t>(k)] >= bar ? length + 1 : 0;
        if (length >= run) {
            back = k - run + 1;
            break;
        }
    }
    if (bar <= 0 || back < 0) return {};
    CellTracker tracker;
    tracker.polarity = found.polarity;
    tracker.recording = &recording;
    tracker.signal = recording.signal.get();
    tracker.count = std::min(recording.count, static_cast<std::int64_t>(until));
    tracker.settings.decideOnLength = reading.decideOnLength;
    const std::int64_t from =
        back * kEnvelopeStride + static_cast<std::int64_t>(kSettleSeconds * recording.rate);
    if (!startTracker(tracker, from, reading.half, recording.rate)) return {};
    std::copy(std::begin(reading.cells), std::end(reading.cells), std::begin(tracker.cell));
    std::copy(std::begin(reading.cells), std::end(reading.cells), std::begin(tracker.measuredCell));
    ReadOn more;
    for (SoftBit bit; more.bits.size() < most && nextBit(tracker, bit);) {
        if (trackerLost(tracker)) {
            more.lostAt = tracker.start;
            break;
        }
        more.bits.push_back(bit);
    }
    return more;
}

// Where bits read on after a loss lie in the block: the one offset (past
// `after`) at which they agree with `other` on at least kLeastAgreement
// sure bits, and disagree on few of them (a reading may slip somewhere
// further on; at any other offset about half disagree). -1 where no
// offset, or more than one, does (a block of one byte over and over).
std::ptrdiff_t placeOf(const std::vector<SoftBit>& bits, const Evidence& other, std::size_t after) {
    std::ptrdiff_t place = -1;
    for (std::size_t offset = after; offset < other.size(); ++offset) {
        int agree = 0, disagree = 0;
        for (std::size_t i = 0; i < bits.size() && offset + i < other.size(); ++i) {
            if (bits[i].llr < kSureEvidence || std::fabs(other[offset + i]) < kSureEvidence) continue;
            ((other[offset + i] > 0) == (bits[i].bit == 1) ? agree : disagree) += 1;
        }
        if (agree < kLeastAgreement || disagree * kMostDisagreement > agree) continue;
        if (place >= 0) return -1;
        place = static_cast<std::ptrdiff_t>(offset);
    }
    return place;
}

// The lengths of the block's cells in a dip (see kLengthBits), measured
// over the sure bits on either side of it.
struct DipLengths {
    double lengths[2][2] = {}, counts[2][2] = {};  // by the bit before, then the bit
    // By the bit before, the bit and the bit after (where one was read after it).
    double tripleLengths[2][2][2] = {}, tripleCounts[2][2][2] = {};
    double kindMean[2] = {};  // by the bit alone
    double mean[2][2] = {};   // by the bit before, then the bit, each pair filled in (see settle)

    void measure(const std::vector<SoftBit>& read, std::size_t from, std::size_t to) {
        for (std::size_t i = std::max<std::size_t>(1, from); i < std::min(to, read.size()); ++i) {
            if (!read[i].timingSure) continue;
            const int previous = read[i - 1].bit, bit = read[i].bit;
            const double length = read[i].end - read[i].start;
            lengths[previous][bit] += length;
            counts[previous][bit] += 1;
            if (i + 1 >= read.size()) continue;
            tripleLengths[previous][bit][read[i + 1].bit] += length;
            tripleCounts[previous][bit][read[i + 1].bit] += 1;
        }
    }

    // False where a kind of cell was not seen at all. Where a pair of kinds
    // was not seen, the kind's mean; or where it is the only one, what the
    // others give: a cell's end edge moves by an amount its own kind sets,
    // and its start by what the cell before set, so a 0 after a 0 and a 1
    // after a 1 take as long together as a 1 after a 0 and a 0 after a 1.
    bool settle() {
        for (int bit : {0, 1}) {
            const double count = counts[0][bit] + counts[1][bit];
            if (count == 0) return false;
            kindMean[bit] = (lengths[0][bit] + lengths[1][bit]) / count;
        }
        int unseen = 0;
        for (int previous : {0, 1}) {
            for (int bit : {0, 1}) {
                unseen += counts[previous][bit] == 0;
                mean[previous][bit] = counts[previous][bit] > 0
                                          ? lengths[previous][bit] / counts[previous][bit]
                                          : kindMean[bit];
            }
        }
        for (int previous : {0, 1}) {
            for (int bit : {0, 1}) {
                if (unseen == 1 && counts[previous][bit] == 0)
                    mean[previous][bit] =
                        mean[previous][1 - bit] + mean[1 - previous][bit] - mean[1 - previous][1 - bit];
            }
        }
        return true;
    }

    // The length of the block's bit i. (Before the block's first bit lies
    // the last of its sync bytes, D3, ending in a 1.) A triple of kinds not
    // seen (nor any after the block's last bit) takes its pair's mean.
    double of(const std::vector<std::uint8_t>& bytes, std::size_t i) const {
        const int previous = i > 0 ? bitOf(bytes, i - 1) : 1, bit = bitOf(bytes, i);
        if (i + 1 < 8 * bytes.size()) {
            const int next = bitOf(bytes, i + 1);
            if (tripleCounts[previous][bit][next] > 0)
                return tripleLengths[previous][bit][next] / tripleCounts[previous][bit][next];
        }
        return mean[previous][bit];
    }

    // The time of the block's bits [from, to).
    double of(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to) const {
        double time = 0;
        for (std::size_t i = from; i < to; ++i) time += of(bytes, i);
        return time;
    }

    // The time they may be off by.
    double slack() const { return kLengthSlack * kindMean[1]; }
};

// Where bits read on after a dip lie in the block `bytes`, whose first
// `kept` bits `known` holds (those read before the dip), the block having
// begun at `start`: at one place only, every sure bit but the first few
// agreeing there, the block's bits between filling the time between. -1
// where they do not. (Where the dip takes the block's first byte, no bit
// before it is known: the time runs from the block's start, and the cells'
// lengths are those read on.)
std::ptrdiff_t placeAfterDip(const std::vector<SoftBit>& known, const std::vector<SoftBit>& more,
                             std::size_t kept, const std::vector<std::uint8_t>& bytes, double start) {
    const std::size_t bits = 8 * bytes.size();
    // The first bits read on count only for their time (see `between`).
    if (more.size() <= kEdgeBits) return -1;
    DipLengths lengths;
    lengths.measure(known, kept - std::min(kept, kLengthBits), kept);
    lengths.measure(more, kEdgeBits, kEdgeBits + kLengthBits);
    if (!lengths.settle()) return -1;
    const double slack = lengths.slack();
    // The time up to the first bit read on that counts: the block's bits
    // before it, the first few read on included, must fill it, so that one
    // of them flipped shows too (a 0 cell is three times a 1).
    const double between = more[kEdgeBits].start - (kept > 0 ? known[kept - 1].end : start);
    // Placed by the block's bits; where too few follow the dip for that (a
    // dip near the block's end) or they fit at more than one place, by
    // their time, and then at least kLeastTimedBits of them must agree.
    Evidence block(bits);
    for (std::size_t i = 0; i < bits; ++i)
        block[i] = static_cast<float>(bitOf(bytes, i) ? 2 * kSureEvidence : -2 * kSureEvidence);
    std::ptrdiff_t place = placeOf(more, block, kept);
    const bool byTime = place < 0;
    if (byTime) {
        std::size_t timed = kept;
        for (double time = 0; timed < bits && time + lengths.of(bytes, timed) <= between + slack; ++timed)
            time += lengths.of(bytes, timed);
        if (timed < kept + kEdgeBits) return -1;
        place = static_cast<std::ptrdiff_t>(timed - kEdgeBits);
    }
    if (std::fabs(between - lengths.of(bytes, kept, static_cast<std::size_t>(place) + kEdgeBits)) > slack)
        return -1;
    int agreeing = 0;
    for (std::size_t i = kEdgeBits; i < more.size() && static_cast<std::size_t>(place) + i < bits; ++i) {
        if (more[i].llr < kSureEvidence) continue;
        if (more[i].bit != bitOf(bytes, static_cast<std::size_t>(place) + i)) return -1;
        ++agreeing;
    }
    return !byTime || agreeing >= kLeastTimedBits ? place : -1;
}

// See fillFollows. (Through a 66 ms dropout of 28 dB the default decoder
// read a 62-byte data block a byte long in the dip, its last data byte
// taken for the checksum, and the bits read on after it gave the true
// checksum byte, 5B: worn_tape_sim --seed 10198919 --recordings 1.)
constexpr std::size_t kFillBits = 8;

// The first envelope value in [first, last) below kBackShare of `level`: where
// the signal fell; -1 where none is.
std::int64_t firstFall(const Recording& recording, double level, std::int64_t first, std::int64_t last) {
    for (std::int64_t k = first; k < last; ++k) {
        if (recording.envelope[static_cast<std::size_t>(k)] < kBackShare * level) return k;
    }
    return -1;
}

// Whether envelope value `k` lies below kBackShare of `level`.
bool lowAt(const Recording& recording, double level, std::int64_t k) {
    return recording.envelope[static_cast<std::size_t>(k)] < kBackShare * level;
}

// Where the envelope's last fall below kBackShare of `level` at or before
// value `k` began, no earlier than `first`; below `first` where it lay high
// over [first, k].
std::int64_t fallStartBefore(const Recording& recording, double level, std::int64_t first, std::int64_t k) {
    while (k >= first && !lowAt(recording, level, k)) --k;
    while (k > first && lowAt(recording, level, k - 1)) --k;
    return k;
}

// How many of the bits, from the first, end by `at`.
std::size_t bitsEndingBy(const std::vector<SoftBit>& bits, double at) {
    std::size_t count = 0;
    while (count < bits.size() && bits[count].end <= at) ++count;
    return count;
}

// Reads on after the loss at `lost` and places the bits read on after
// `known` (see placeAfterDip); -1 where they have no place. Where too few of
// the block's bits follow the dip (one that covers most of a short block),
// it reads on from inside it instead, where the signal held above the
// noise there: a tracker started afresh takes the dip's level for its own,
// where the one that read the block before the dip lost its way. (Below
// twice the noise floor, readOnAfterLoss still waits for the signal's
// return.) Bits read on up to a further loss leave out their last few.
// Where they have no place, `fromBack` holds those read on from where the
// signal came back, uncut (see endsInDip).
std::ptrdiff_t placeReadOn(const Recording& recording, const FoundBlock& found,
                           const std::vector<SoftBit>& known, double level, double lost, double until,
                           const std::vector<std::uint8_t>& bytes, ReadOn& more, ReadOn& fromBack) {
    const std::size_t bits = 8 * bytes.size();
    const double start = found.reading.firstSample;
    auto place = [&](double from, bool back) {
        more = readOnAfterLoss(recording, found, from, lost, until, bits);
        if (more.lostAt >= 0) {
            more.bits.resize(more.bits.size() - std::min(more.bits.size(), kEdgeBits));
            cutAtFallBeforeLoss(recording, level, more);
        }
        const std::ptrdiff_t at = placeAfterDip(known, more.bits, known.size(), bytes, start);
        if (at >= 0) return at;
        if (back) fromBack = more;
        if (!cutAtFall(recording, level, more, from < level)) return at;
        return placeAfterDip(known, more.bits, known.size(), bytes, start);
    };
    const std::ptrdiff_t after = place(level, true);
    if (after >= 0) return after;
    const double dip = medianEnvelope(recording, lost, lost + kSettleSeconds * recording.rate);
    return dip < kBackShare * level ? place(dip, false) : -1;
}

// A dip in which the signal fell with its hiss, as where the tape itself
// drops out and takes its hiss along, can sink below the recording's noise
// floor and still hold its cells as clearly as before: the envelope cannot
// tell it from a dropout into the floor, but the samples can. Where they
// follow the block's bits there with a correlation of at least kCellsHeard,
// the median over its stretches of kDipChunkValues envelope values (a click
// in one says nothing of the others), the dip held the signal. A
// band-limited square wave follows its own cells at about 0.9, and hiss s
// times weaker than the signal leaves 0.9 √(s/(1 + s)): the bar is a signal
// 4 dB over what is left of the hiss, as for an envelope that held
// (signalHeld, tape_blocks.cpp). Noise alone, whatever bits the default
// decoder took from it, follows cells laid at even lengths no better than
// chance: a stretch's correlation deviates by about 0.15, the median of
// kLeastDipChunks or more by under 0.1.
// (Through dips of 13 to 23 ms and 22 to 37 dB that took along hiss 16 to 39
// dB under the signal, where the trackers lost the signal and the default
// decoder read each block right, the samples filtered afresh followed the
// cells at 0.88 to 0.93. The conditioned samples followed them at 0.1 to 0.5
// over the dip's first 256, where the filters still rang, and pulled short
// dips under the bar.)
// A dip too short for kLeastDipChunks stretches (under about 10 ms) is one
// stretch, down to kDipChunkValues values: a click there only pulls it
// under the bar. (Dips of 200 to 480 samples, 26 dB down, 150 of each:
// with the hiss taken along, the samples followed the cells at 0.90 to
// 0.97; where the signal dropped out and left the hiss, at most 0.57, as
// long dips' medians of three stretches reach 0.52. Before, every dip
// under about 10 ms was unheard, and its block X wherever the envelope
// sank under the floor.)
constexpr double kCellsHeard = 0.75;
constexpr std::int64_t kDipChunkValues = 4;
constexpr std::int64_t kLeastDipChunks = 3;

// The first and last envelope values under [from, to) below half of
// `level`; -1 for both where none is.
std::pair<std::int64_t, std::int64_t> fallWithin(const Recording& recording, double level, double from,
                                                 double to) {
    const auto size = static_cast<std::int64_t>(recording.envelope.size());
    std::int64_t low = -1, high = -1;
    for (std::int64_t k = std::max<std::int64_t>(0, static_cast<std::int64_t>(from) / kEnvelopeStride);
         k < std::min(size, static_cast<std::int64_t>(to) / kEnvelopeStride); ++k) {
        if (recording.envelope[static_cast<std::size_t>(k)] >= kBackShare * level) continue;
        if (low < 0) low = k;
        high = k;
    }
    return {low, high};
}

// A dip's samples: where the envelope under [from, to) fell below half of
// `level` (but its first and last value, where the fall began or ended
// within them), read again and filtered afresh.
struct DipSamples {
    std::int64_t begin = 0;       // where the first lies in the recording
    std::int64_t end = 0;         // ...and where the dip's stretch ends (the file may end first)
    std::int64_t values = 0;      // envelope values a stretch (see kCellsHeard); 0: the dip is too short
    std::vector<double> centred;  // the samples less their mean
};

DipSamples dipSamples(Recording& recording, double level, double from, double to) {
    const auto [low, high] = fallWithin(recording, level, from, to);
    const std::int64_t span = high - low - 1;
    if (low < 0 || span < kDipChunkValues) return {};
    DipSamples dip;
    dip.values = span < kLeastDipChunks * kDipChunkValues ? span : kDipChunkValues;
    dip.begin = (low + 1) * kEnvelopeStride;
    dip.end = std::min(high * kEnvelopeStride, recording.count);
    // The samples read again and filtered afresh from where the dip begins:
    // the conditioned ones ring there with the filters' memory of the loud
    // cells before the fall (at 35 dB down, for 10 ms). The high-pass is left
    // out (the offset is taken off as the dip's mean); the emphasis is not,
    // for the reading's timing and polarity are those of the emphasised signal.
    FilterSettings band = recording.filter;
    band.highPassHz = 0;
    const std::vector<float> samples = conditionAfresh(recording, band, dip.begin, dip.end - dip.begin);
    const double mean =
        std::accumulate(samples.begin(), samples.end(), 0.0) / std::max<double>(1, samples.size());
    dip.centred.resize(samples.size());
    for (std::size_t n = 0; n < samples.size(); ++n) dip.centred[n] = samples[n] - mean;
    return dip;
}

// The block's bits [first, last) laid over [from, to) at the reading's
// lengths of 0 and 1 cells, scaled to fill it, each cell its high half then
// its low half by the tracker's polarity (+1 or -1; 0 outside): over the
// dip's samples, widened by `shift` either way.
std::vector<float> laidCells(const FoundBlock& found, const std::vector<std::uint8_t>& bytes,
                             std::size_t first, std::size_t last, double from, double to,
                             const DipSamples& dip, std::int64_t shift) {
    const double* cells = found.reading.cells;
    double total = 0;
    for (std::size_t i = first; i < last; ++i) total += cells[bitOf(bytes, i)];
    const double scale = (to - from) / total;
    std::vector<float> cellsAt(static_cast<std::size_t>(dip.end - dip.begin + 2 * shift), 0.0f);
    double start = from;
    for (std::size_t i = first; i < last; ++i) {
        const double length = cells[bitOf(bytes, i)] * scale;
        for (auto n = std::max(dip.begin - shift, static_cast<std::int64_t>(std::ceil(start)));
             n < std::min(dip.end + shift, static_cast<std::int64_t>(std::ceil(start + length))); ++n)
            cellsAt[static_cast<std::size_t>(n - dip.begin + shift)] = static_cast<float>(
                static_cast<double>(n) < start + length / 2 ? found.polarity : -found.polarity);
        start += length;
    }
    return cellsAt;
}

// How far the filters may have moved the cells' edges, either way: half
// a 1 cell's half-wave.
std::int64_t edgeReach(const FoundBlock& found) {
    return static_cast<std::int64_t>(std::ceil(found.reading.half / 2));
}

// The correlation of a dip's samples with the block's bits [first, last)
// laid over [from, to) (laidCells), at the best shift of up to half a 1
// cell's half-wave either way (the filters move the edges): the median of
// its stretches' (see kCellsHeard); 0 where it is shorter than one.
double cellsHeardInDip(Recording& recording, const FoundBlock& found, double level,
                       const std::vector<std::uint8_t>& bytes, std::size_t first, std::size_t last,
                       double from, double to) {
    if (last <= first) return 0;
    const DipSamples dip = dipSamples(recording, level, from, to);
    if (dip.values == 0) return 0;
    const std::int64_t shift = edgeReach(found);
    const std::vector<float> cellsAt = laidCells(found, bytes, first, last, from, to, dip, shift);
    const std::vector<double>& centred = dip.centred;
    const std::int64_t chunk = dip.values * kEnvelopeStride,
                       chunks = static_cast<std::int64_t>(centred.size()) / chunk;
    if (chunks < 1) return 0;  // the file ended early
    // Each stretch's energy, whatever the shift.
    std::vector<double> energy(static_cast<std::size_t>(chunks), 0.0);
    for (std::size_t n = 0; n < static_cast<std::size_t>(chunks * chunk); ++n)
        energy[n / static_cast<std::size_t>(chunk)] += centred[n] * centred[n];
    double best = 0;
    std::vector<double> each(static_cast<std::size_t>(chunks));
    for (std::int64_t lag = -shift; lag <= shift; ++lag) {
        for (std::int64_t c = 0; c < chunks; ++c) {
            double both = 0, laid = 0;
            for (std::int64_t n = c * chunk; n < (c + 1) * chunk; ++n) {
                const double x = centred[static_cast<std::size_t>(n)],
                             w = cellsAt[static_cast<std::size_t>(n + shift - lag)];
                both += x * w;
                laid += w * w;
            }
            const double samples = energy[static_cast<std::size_t>(c)];
            each[static_cast<std::size_t>(c)] =
                samples > 0 && laid > 0 ? both / std::sqrt(samples * laid) : 0;
        }
        std::nth_element(each.begin(), each.begin() + chunks / 2, each.end());
        best = std::max(best, each[static_cast<std::size_t>(chunks / 2)]);
    }
    return best;
}

}  // namespace

bool endsInDip(const std::vector<SoftBit>& known, const std::vector<SoftBit>& more,
               const std::vector<std::uint8_t>& bytes, double end) {
    const std::size_t bits = 8 * bytes.size(), kept = known.size();
    if (kept >= bits) return false;
    DipLengths lengths;  // (none where no bit is known)
    lengths.measure(known, kept - std::min(kept, kLengthBits), kept);
    if (!lengths.settle()) return false;
    const double from = known.back().end, time = lengths.of(bytes, kept, bits);
    if (end <= from || std::fabs(end - from - time) > lengths.slack()) return false;
    // The block's bits laid over [from, end), and the bits read on held to them.
    const double scale = (end - from) / time;
    std::size_t i = kept;
    double laidEnd = from + lengths.of(bytes, i) * scale;
    for (std::size_t j = kEdgeBits; j < more.size(); ++j) {
        if (more[j].llr < kSureEvidence || !more[j].timingSure) continue;
        const double middle = (more[j].start + more[j].end) / 2;
        // Past the block, its fill for kFillBits cells (see fillFollows):
        // bits read on further may come from the next block's sync (a sure
        // 0 half a second on failed a block: rescue_sim --dip 31 0.0126
        // --snr 22 --trials 1 --blocks 10 --seed 74368088).
        if (middle >= end + static_cast<double>(kFillBits) * lengths.mean[1][1] * scale) break;
        while (i < bits && laidEnd <= middle) {
            ++i;
            if (i < bits) laidEnd += lengths.of(bytes, i) * scale;
        }
        if (more[j].bit != (i < bits ? bitOf(bytes, i) : 1)) return false;
    }
    return true;
}

bool fillFollows(const std::vector<SoftBit>& bits, std::size_t end) {
    for (std::size_t i = end; i < std::min(bits.size(), end + kFillBits); ++i) {
        if (bits[i].llr >= kSureEvidence && bits[i].timingSure && bits[i].bit == 0) return false;
    }
    return true;
}

void cutAtFallBeforeLoss(const Recording& recording, double level, ReadOn& more) {
    if (more.bits.empty()) return;
    const auto first = static_cast<std::int64_t>(std::ceil(more.bits.front().start / kEnvelopeStride));
    const std::int64_t atLoss = std::min(static_cast<std::int64_t>(more.lostAt) / kEnvelopeStride,
                                         static_cast<std::int64_t>(recording.envelope.size())) -
                                1;
    if (atLoss < first || !lowAt(recording, level, atLoss)) return;
    const std::int64_t k = fallStartBefore(recording, level, first, atLoss);
    more.bits.resize(
        std::min(more.bits.size(), bitsEndingBy(more.bits, static_cast<double>(k * kEnvelopeStride))));
}

bool cutAtFall(const Recording& recording, double level, ReadOn& more, bool fromInsideDip) {
    if (more.bits.empty()) return false;
    const auto size = static_cast<std::int64_t>(recording.envelope.size());
    const std::int64_t last =
        std::min(size, static_cast<std::int64_t>(more.bits.back().end) / kEnvelopeStride);
    std::int64_t back = static_cast<std::int64_t>(more.bits.front().start) / kEnvelopeStride;
    while (fromInsideDip && back < last &&
           recording.envelope[static_cast<std::size_t>(back)] < kBackShare * level)
        ++back;
    const std::int64_t k = firstFall(recording, level, back, last);
    if (k < 0) return false;
    const auto fall = static_cast<double>(k * kEnvelopeStride);
    const std::size_t before = bitsEndingBy(more.bits, fall);
    if (before < 2 * kEdgeBits + kLengthBits) return false;
    more.bits.resize(before - kEdgeBits);
    more.lostAt = fall;
    return true;
}

double blockLevel(const Recording& recording, const BlockReading& reading, double plainSpan) {
    return std::max(medianEnvelope(recording, reading.firstSample, reading.lastSample),
                    plainSpan > 0
                        ? medianEnvelope(recording, reading.firstSample, reading.firstSample + plainSpan)
                        : 0.0);
}

bool readOnThrough(Recording& recording, const FoundBlock& given, const std::vector<std::uint8_t>& bytes,
                   double plainSpan, DipsReadOn* dips) {
    const std::size_t bits = 8 * bytes.size();
    if (bits == 0) return false;
    // A reading that took another length for the block (a dip over its
    // length byte: readings of an 8-byte name block that read 198 bytes,
    // and the block the default decoder read right was X, rescue_sim --dip
    // 6 0.0562 --snr 22 --trials 1 --blocks 10 --seed 347032996) read on
    // past it: only its bits over the block say anything of it.
    const bool longer = given.reading.bits.size() > bits;
    FoundBlock cut;
    if (longer) {
        cut = FoundBlock{given.reading, given.polarity, given.run, given.lock, std::nullopt};
        cut.reading.bits.resize(bits);
        cut.reading.lastSample = cut.reading.bits.back().end;
    }
    const FoundBlock& found = longer ? cut : given;
    const BlockReading& reading = found.reading;
    // A probe (where only the default decoder found the block, its sync in
    // a dip that the trackers lost) has no bits: its dip lies at the block's start.
    const bool probe = reading.end == ReadEnd::notRead;
    if (reading.bits.empty() && !probe) return false;
    const double level = blockLevel(recording, reading, plainSpan);
    const bool signalLost = reading.end == ReadEnd::signalLost;
    if (level <= 0 && !signalLost) return false;
    // Where the signal went: for a reading that read on through a dip and
    // slipped there, where the envelope first fell to half the block's
    // level; for one that lost the signal, where it lost it, or where the
    // last such fall before the loss began, where that lies before the last
    // few bits before the loss (a tracker may read on into a dip, or past
    // it, for a while before it finds the signal lost).
    // (From the first envelope value wholly within the block: the one before
    // also holds what came before it, as a dip over the sync that ends
    // where the block begins.)
    const auto first = static_cast<std::int64_t>(std::ceil(reading.firstSample / kEnvelopeStride));
    const auto last = std::min(static_cast<std::int64_t>(reading.lastSample) / kEnvelopeStride,
                               static_cast<std::int64_t>(recording.envelope.size()));
    double lost = reading.lastSample;
    if (!signalLost) {
        // (A probe has no bits: the dip over its sync may have taken only
        // the sync. It is read on from the block's start, where the signal
        // is back, and after each further dip from there; not from the
        // first fall in the block. Where a second dip lay half through a
        // block whose sync a first one took, the bits read on after the
        // second were placed by the time from the block's start, half a
        // block's, which no slack holds: rescue_sim --dip 45 0.0251 --snr
        // 35 --trials 1 --blocks 10 --seed 185685273.)
        const std::int64_t k = probe ? -1 : firstFall(recording, level, first, last);
        if (k < 0 && !probe) return false;
        lost = k < 0 ? reading.firstSample : static_cast<double>(k * kEnvelopeStride);
    }
    // The reading's bits before the loss but the last few, decided as the
    // signal went.
    const std::size_t atLoss = bitsEndingBy(reading.bits, lost);
    std::size_t kept = atLoss - std::min(atLoss, kEdgeBits);
    if (signalLost && level > 0) {
        const std::int64_t k = fallStartBefore(recording, level, first, last - 1);
        const double fell = static_cast<double>(k * kEnvelopeStride);
        const std::size_t atFall = k >= first ? bitsEndingBy(reading.bits, fell) : kept;
        if (atFall < kept) {
            lost = fell;
            kept = atFall;
        }
    }
    // The reading's sure bits before the dip must be the block's; not those
    // whose cells lay off their edges, which measured a place and not a bit
    // (a reading that slipped there parts from the block on its edges after).
    std::size_t parts = 0;  // the first of them that parts from the block (their count where none does)
    for (; parts < reading.bits.size(); ++parts) {
        const SoftBit& bit = reading.bits[parts];
        if (bit.llr >= kSureEvidence && bit.timingSure && bit.bit != bitOf(bytes, parts)) break;
    }
    auto agrees = [&](std::size_t count) { return count <= parts; };
    // One that lost the signal in a later dip may have slipped in an earlier
    // one that it read through: it is read on from the first dip instead,
    // and after each one from there (in a 40 ms dip of 26 dB under noise 30
    // dB down, a reading took a 0 cell for three 1 cells, as long, and read
    // the block two places off on to its loss in a dip near the block's end:
    // rescue_sim --dip 40 0.05 --snr 30 --trials 1 --blocks 10 --seed 1049).
    if (!agrees(kept)) {
        const std::int64_t k = signalLost && level > 0 ? firstFall(recording, level, first, last) : -1;
        if (k < 0) return false;
        const double fell = static_cast<double>(k * kEnvelopeStride);
        const std::size_t atFall = bitsEndingBy(reading.bits, fell);
        if (atFall >= kept || !agrees(atFall)) return false;
        lost = fell;
        kept = atFall;
    }
    // Reads on from the loss at `lossAt`, the reading's first `keptBits` bits known.
    auto readOnFrom = [&](double lossAt, std::size_t keptBits) -> bool {
        // The lengths of the cells on either side of the dip: the block's bits
        // in it, which no reading of the take's saw, must fill the time between
        // at them (from the block's start, where no bit before the dip is kept).
        // (A bit gained or lost in the dip, as the default decoder's reading may
        // have, moves the bits after it by a 1 cell or more; the bits read on
        // would still fit its bits after it.)
        const double until = lossAt + static_cast<double>(bits - keptBits + 16) * reading.cells[0];
        std::vector<SoftBit> known(reading.bits.begin(),
                                   reading.bits.begin() + static_cast<std::ptrdiff_t>(keptBits));
        const double dipFrom = keptBits < reading.bits.size() ? reading.bits[keptBits].start : lossAt;
        // Read on to the block's end, dip after dip: where the bits read on
        // lose the signal again before it, they take the place of the reading's
        // (but their last few, decided as the signal went) and are read on
        // from in turn. Each dip's bits are then the default decoder's alone,
        // each held to its time.
        double leastHeard = 1;
        std::vector<BitSpan> inDips;
        // The dip read on through that ends at bit `upTo` (and how well its
        // samples followed the cells there) closes the record.
        std::vector<SampleSpan> dipTimes;
        // How well the samples of [from, to) followed the block's bits from the
        // last known one to `upTo` (read again from the file: only where asked).
        // Where the envelope never fell there, the signal held: 1. So at the
        // block's end, where silence follows a few cells of its fill (its last
        // bits lay at its level, not in a dip), and at a probe's first stretch,
        // where its dip took only the sync (taken for a dip, unheard, it failed
        // a block the default decoder read right: rescue_sim --dip 13 0.0126
        // --snr 17 --trials 1 --blocks 10 --seed 347033033).
        auto heardIn = [&](std::size_t upTo, double from, double to) {
            if (dips == nullptr) return 0.0;
            if (fallWithin(recording, level, from, to).first < 0) return 1.0;
            return cellsHeardInDip(recording, found, level, bytes, known.size(), upTo, from, to);
        };
        auto through = [&](std::size_t upTo, double heard, double from, double to, bool toEnd) {
            if (dips == nullptr) return true;
            inDips.push_back({known.size(), std::min(upTo, bits)});
            dipTimes.push_back({from, to});
            *dips = {dipFrom,
                     std::min(leastHeard, heard) >= kCellsHeard,
                     std::move(inDips),
                     std::move(dipTimes),
                     level,
                     toEnd};
            return true;
        };
        for (;;) {
            ReadOn more, fromBack;
            const std::ptrdiff_t place =
                placeReadOn(recording, found, known, level, lossAt, until, bytes, more, fromBack);
            const double from = known.empty() ? reading.firstSample : known.back().end;
            if (place < 0) {
                // Too few of its bits after the dip to place them by: the block's
                // end, as the default decoder timed it, holds its bits in the dip
                // to their time. (Its span runs a 1 cell before the block's first
                // and ends a last cell short of its end: where that cell is a 0,
                // 1.1 ms early at 44.1 kHz, which the block's bits cannot fill.)
                // A probe's start, and so that end, is the default decoder's
                // timing; the bits read on after a dip over its sync are the
                // conditioned signal's, whose cells, at the probe's polarity, lie
                // 2.6 to 4.7 samples from the default decoder's at T = 14.6
                // (rescue_sim's tapes at 44.1 kHz): a sixth of a 1 cell, where
                // the slack is over half of one and a cell gained or lost moves
                // the end by a whole one. (A block whose sync and last 36 ms two
                // dips took, read right by the default decoder, ended 0.8
                // samples from its bits' time: rescue_sim --dip 41 0.02 --snr 20
                // --trials 1 --blocks 10 --seed 615641990.) Before a dip has been
                // read on, no bit is known and endsInDip cannot measure lengths.
                if (plainSpan <= 0) return false;
                const double end = reading.firstSample + plainSpan - reading.cells[1] +
                                   reading.cells[bitOf(bytes, bits - 1)];
                if (!endsInDip(known, fromBack.bits, bytes, end)) return false;
                return through(bits, heardIn(bits, from, end), from, end, true);
            }
            const std::size_t seen = static_cast<std::size_t>(place) + kEdgeBits;
            const double to = more.bits[kEdgeBits].start;
            const double heard = heardIn(seen, from, to);
            if (static_cast<std::size_t>(place) + more.bits.size() >= bits) {
                if (!fillFollows(more.bits, bits - static_cast<std::size_t>(place))) return false;
                return through(seen, heard, from, to, false);
            }
            if (more.lostAt < 0) return false;
            leastHeard = std::min(leastHeard, heard);
            if (dips != nullptr) {
                inDips.push_back({known.size(), seen});
                dipTimes.push_back({from, more.bits[kEdgeBits].start});
            }
            // The block's bits in the dip stand in for the unseen ones: their
            // values, no timing of their own.
            for (std::size_t i = known.size(); i < seen; ++i) {
                SoftBit unseen;
                unseen.bit = bitOf(bytes, i);
                known.push_back(unseen);
            }
            known.insert(known.end(), more.bits.begin() + static_cast<std::ptrdiff_t>(kEdgeBits),
                         more.bits.end());
            lossAt = more.lostAt;
        }
    };
    // A reading that slipped (read through its dips) slipped in the dip
    // before the first bit it parts from the block in, sure of it: it is
    // read on from there first, its own bits before kept, and from its first
    // fall in the block where that fails. (The envelope fell below half the
    // block's level for one stride at a block's start, where six readings
    // slipped in a dropout 17,000 samples on; read on from that stride, the
    // bits after it had no place, and the block the default decoder read
    // right was X: worn_tape_sim --seed 764018121 --recordings 1.)
    if (!signalLost && !probe && parts < reading.bits.size()) {
        const std::int64_t k = fallStartBefore(
            recording, level, first,
            std::min(last - 1, static_cast<std::int64_t>(reading.bits[parts].start) / kEnvelopeStride));
        const auto fell = static_cast<double>(k * kEnvelopeStride);
        const std::size_t atFall = bitsEndingBy(reading.bits, fell);
        if (k >= first && fell > lost && readOnFrom(fell, atFall - std::min(atFall, kEdgeBits))) return true;
    }
    return readOnFrom(lost, kept);
}

// How many places off another block may give the block's bits after a dip
// to be told from it there: two bytes' worth, as a dip may hold several
// cells gained or lost (see kMostShift, tape_blocks.cpp). (A reading's good
// block three places off, its checksum holding by chance, failed the
// default decoder's right block: rescue_sim --dip 13 0.0398 --snr 15
// --trials 1 --blocks 10 --seed 1782047450.)
constexpr std::ptrdiff_t kMostPlacesOff = 16;

bool dipTellsApart(Recording& recording, const FoundBlock& found, const DipsReadOn& dips,
                   const std::vector<std::uint8_t>& bytes, const std::vector<std::uint8_t>& other) {
    if (!dips.heard || other.size() != bytes.size() || other == bytes) return false;
    const std::size_t bits = 8 * bytes.size();
    const std::size_t first = firstBitApart(other, bytes);
    for (std::size_t d = 0; d < dips.unseen.size() && d < dips.times.size(); ++d) {
        const BitSpan span = dips.unseen[d];
        if (first < span.first || first >= span.last) continue;
        // The place `other` gives the bits after the dip at: its bits in the
        // dip end there.
        auto after = [&](std::ptrdiff_t shift) {
            for (std::size_t i = span.last; i < bits; ++i) {
                const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(i) + shift;
                if (at >= 0 && at < static_cast<std::ptrdiff_t>(bits) &&
                    bitOf(other, static_cast<std::size_t>(at)) != bitOf(bytes, i))
                    return false;
            }
            return true;
        };
        std::ptrdiff_t shift = 0;
        while (shift <= kMostPlacesOff && !after(shift)) shift = shift > 0 ? -shift : 1 - shift;
        const std::ptrdiff_t otherLast = static_cast<std::ptrdiff_t>(span.last) + shift;
        if (shift > kMostPlacesOff || otherLast <= static_cast<std::ptrdiff_t>(span.first) ||
            otherLast > static_cast<std::ptrdiff_t>(bits))
            return false;
        const SampleSpan time = dips.times[d];
        const DipSamples dip = dipSamples(recording, dips.level, time.from, time.to);
        if (dip.values == 0) return false;
        const std::int64_t reach = edgeReach(found);
        const std::vector<float> mine =
            laidCells(found, bytes, span.first, span.last, time.from, time.to, dip, reach);
        const std::vector<float> theirs = laidCells(
            found, other, span.first, static_cast<std::size_t>(otherLast), time.from, time.to, dip, reach);
        const auto samples = static_cast<std::int64_t>(dip.centred.size());
        // The shift at which the samples follow the block best over the dip
        // (see cellsHeardInDip)...
        std::int64_t bestLag = 0;
        double best = -std::numeric_limits<double>::infinity();
        for (std::int64_t lag = -reach; lag <= reach; ++lag) {
            double both = 0;
            for (std::int64_t n = 0; n < samples; ++n)
                both += dip.centred[static_cast<std::size_t>(n)] *
                        mine[static_cast<std::size_t>(n + reach - lag)];
            if (both > best) best = both, bestLag = lag;
        }
        // ...and there, where the two blocks' cells differ, how the samples follow the block's.
        double both = 0, energy = 0, laid = 0;
        for (std::int64_t n = 0; n < samples; ++n) {
            const auto k = static_cast<std::size_t>(n + reach - bestLag);
            if (mine[k] == 0 || theirs[k] == 0 || mine[k] == theirs[k]) continue;
            const double x = dip.centred[static_cast<std::size_t>(n)];
            both += x * mine[k];
            energy += x * x;
            laid += 1;
        }
        // (Fewer samples than a 1 cell's tell nothing.)
        if (laid < found.reading.cells[1] || energy <= 0) return false;
        return both / std::sqrt(energy * laid) >= kCellsHeard / 2;
    }
    return false;
}

namespace {

// `bytes` two places off from bit `at` on, its length kept: with `shift` 2,
// its 0 bit there read as three 1 bits, the last two lost; with -2, its
// three 1 bits there read as one 0 bit, fill (1s) after its end.
std::vector<std::uint8_t> twoPlacesOff(const std::vector<std::uint8_t>& bytes, std::size_t at,
                                       std::ptrdiff_t shift) {
    const std::size_t bits = 8 * bytes.size();
    std::vector<std::uint8_t> other(bytes.size(), 0);
    for (std::size_t i = 0; i < bits; ++i) {
        int bit = bitOf(bytes, i);
        if (i >= at && shift > 0) bit = i < at + 3 ? 1 : bitOf(bytes, i - 2);
        if (i >= at && shift < 0) bit = i == at ? 0 : i + 2 < bits ? bitOf(bytes, i + 2) : 1;
        if (bit != 0) other[i / 8] = static_cast<std::uint8_t>(other[i / 8] | (0x80 >> (i % 8)));
    }
    return other;
}

}  // namespace

std::size_t slippedInDip(Recording& recording, const FoundBlock& found, const DipsReadOn& dips,
                         const std::vector<std::uint8_t>& bytes, const SignedReading& reading,
                         DipVerdicts* weighed) {
    const std::size_t bits = 8 * bytes.size();
    if (reading.evidence.size() != bits) return SIZE_MAX;
    auto toldApart = [&](const std::vector<std::uint8_t>& other) {
        if (weighed != nullptr) {
            for (const auto& [block, told] : *weighed)
                if (block == other) return told;
        }
        const bool told = dipTellsApart(recording, found, dips, bytes, other);
        if (weighed != nullptr) weighed->emplace_back(other, told);
        return told;
    };
    // Whether the reading's bits from `from` on, on their edges, are all
    // those of `block`: one it could have read.
    auto couldRead = [&](const std::vector<std::uint8_t>& block, std::size_t from) {
        for (std::size_t i = from; i < bits; ++i) {
            const float evidence = reading.evidence[i];
            const bool onEdges = i >= reading.onEdges.size() || reading.onEdges[i];
            if (evidence != 0 && onEdges && (evidence > 0) != (bitOf(block, i) == 1)) return false;
        }
        return true;
    };
    // Each block so slipped in the dip that the reading could have read
    // (after the dip, `bytes` two places off) must be told from `bytes`
    // (dipTellsApart: only in a heard dip), and one at least there be.
    for (const BitSpan& span : dips.unseen) {
        for (const std::ptrdiff_t shift : {std::ptrdiff_t{2}, std::ptrdiff_t{-2}}) {
            int slips = 0;
            bool told = true;
            for (std::size_t at = span.first; told && at < span.last; ++at) {
                const bool fits = shift > 0 ? bitOf(bytes, at) == 0
                                            : at + 2 < bits && bitOf(bytes, at) == 1 &&
                                                  bitOf(bytes, at + 1) == 1 && bitOf(bytes, at + 2) == 1;
                if (!fits) continue;
                const std::vector<std::uint8_t> other = twoPlacesOff(bytes, at, shift);
                if (!couldRead(other, span.first)) continue;
                ++slips;
                told = toldApart(other);
            }
            if (told && slips > 0) return span.first;
        }
    }
    return SIZE_MAX;
}

bool wholeBlock(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) return false;
    const BlockKind kind = blockKindOf(bytes[0]);
    const int lengthAt = lengthByteIndex(kind);
    if (kind == BlockKind::unknown || (lengthAt >= 0 && static_cast<int>(bytes.size()) <= lengthAt))
        return false;
    const int length = blockBytes(kind, lengthAt >= 0 ? bytes[static_cast<std::size_t>(lengthAt)] : 0);
    return length == static_cast<int>(bytes.size()) && checksumHolds(bytes.data(), length - 2);
}

std::vector<std::uint8_t> stitchedReading(const std::vector<TakePart>& parts, std::string& takes) {
    takes.clear();
    // The block's length, where the takes' readings agree on it.
    int length = 0;
    std::vector<const TakePart*> read;
    for (const TakePart& part : parts) {
        const FoundBlock* found = part.block->found;
        if (found == nullptr || found->reading.expectedBytes <= 0) continue;
        if (length != 0 && found->reading.expectedBytes != length) return {};
        length = found->reading.expectedBytes;
        read.push_back(&part);
    }
    if (read.size() < 2) return {};
    const std::size_t bits = 8 * static_cast<std::size_t>(length);
    // Each take's reading as read, then each lost one read on, placed by
    // the other takes' readings.
    std::vector<Evidence> evidence(read.size(), Evidence(bits, 0.0f));
    for (std::size_t p = 0; p < read.size(); ++p) {
        const BlockReading& reading = read[p]->block->found->reading;
        const bool lost = reading.end == ReadEnd::signalLost;
        addReading(evidence[p], reading.bits, 0,
                   reading.bits.size() - (lost ? std::min(reading.bits.size(), kEdgeBits) : 0), 0);
    }
    // A reading read on is placed by the others' bits, theirs read on too
    // once placed: so a take can be placed by one that lost the block
    // earlier, but was placed itself.
    std::vector<std::vector<SoftBit>> more(read.size());
    std::vector<bool> placed(read.size(), false);
    for (std::size_t p = 0; p < read.size(); ++p) {
        const FoundBlock& found = *read[p]->block->found;
        const BlockReading& reading = found.reading;
        if (reading.end != ReadEnd::signalLost || reading.bits.size() >= bits) continue;
        // No further than the block's end could lie at the longest cells.
        const double until =
            reading.lastSample + static_cast<double>(bits - reading.bits.size() + 16) * reading.cells[0];
        const Recording& recording = read[p]->take->recording;
        more[p] = readOnAfterLoss(recording, found,
                                  medianEnvelope(recording, reading.firstSample, reading.lastSample),
                                  reading.lastSample, until, bits)
                      .bits;
    }
    for (bool again = true; again;) {
        again = false;
        for (std::size_t p = 0; p < read.size(); ++p) {
            if (placed[p] || more[p].empty()) continue;
            Evidence others(bits, 0.0f);
            for (std::size_t q = 0; q < read.size(); ++q) {
                for (std::size_t i = 0; q != p && i < bits; ++i) others[i] += evidence[q][i];
            }
            const std::ptrdiff_t place = placeOf(more[p], others, read[p]->block->found->reading.bits.size());
            if (place < 0) continue;
            addReading(evidence[p], more[p], kEdgeBits, more[p].size(), static_cast<std::size_t>(place));
            placed[p] = again = true;
        }
    }
    // The sum, bit by bit.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length), 0);
    double slipRisk = 0;
    for (std::size_t i = 0; i < bits; ++i) {
        double sum = 0;
        for (const Evidence& take : evidence) sum += take[i];
        slipRisk += std::exp(-std::fabs(sum));
        if (sum > 0) bytes[i / 8] = static_cast<std::uint8_t>(bytes[i / 8] | (0x80 >> (i % 8)));
    }
    if (slipRisk > kTrustedSlipRisk || !wholeBlock(bytes)) return {};
    for (const TakePart* part : read) takes += (takes.empty() ? "" : "+") + part->take->name;
    return bytes;
}
