#include "rescue/cell_tracker.h"

#include "rescue/recording.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace {

// The range of T: a standard tape's 312 µs, on decks from 30 % fast to
// slower than 40 % slow, and the encoder's longer half-waves at low rates.
constexpr double kShortestHalfSeconds = 150e-6;
constexpr double kLongestHalfSeconds = 800e-6;

// The signal counts as lost where the last 16 bits' median evidence is
// below this (their decisions 5 % likely wrong or worse: tape signal gives
// tens to hundreds, hiss a few), or after this many cells in a row without
// an end edge.
constexpr double kLostMedianEvidence = 3.0;
// A tracker deciding on lengths has its own bar. Where a filter has moved the
// edges by what came before them (a first difference, a coupling capacitor
// on a sine recording), its lengths of right bits spread far, and their
// evidence, a few, would count as no signal; its readings are never trusted
// alone, so the bar only says when it has lost the tape. Where a half-wave
// is only a few samples long, it keeps the slot's bar: there a lower one let
// length trackers read on after they had gone astray.
constexpr double kLostLengthEvidence = 1.0;
// The envelope under one cell varies by up to 2 dB with the bits it holds
// and the noise on it; a fall of its signal by no more than that is not
// taken for a fall of the level.
constexpr double kEnvelopeSlack = 0.8;
// The least step, as a share of the signal's level, that counts as an edge.
constexpr double kEdgeShare = 0.1;
// Half-waves shorter than this many samples have a ratio of 0 cells to 1
// cells of their own, in this range.
constexpr double kFewSamples = 6;
constexpr double kLowestCellRatio = 2.2;
constexpr double kHighestCellRatio = 3.5;
// An edge found this far out in the window it was looked for in leaves the
// cell's timing in doubt.
constexpr double kSureTiming = 0.75;
// A bit decided on a length is never more sure than this (its evidence):
// where noise moves an edge, the lengths stray further than their spread
// says, so such a reading is never trusted alone, only where another
// reading agrees with it.
constexpr double kMostLengthEvidence = 12;

// The sum of signal[first] .. signal[last - 1], in four running sums that
// the processor can keep apart.
float sumOver(const float* signal, std::int64_t first, std::int64_t last) {
    float sums[4] = {0, 0, 0, 0};
    std::int64_t n = first;
    for (; n + 4 <= last; n += 4) {
        for (int k = 0; k < 4; ++k) sums[k] += signal[n + k];
    }
    for (; n < last; ++n) sums[0] += signal[n];
    return (sums[0] + sums[1]) + (sums[2] + sums[3]);
}

// The mean of the signal over [from, to), each sample standing for the
// instant it was taken at and half a sample on each side.
double meanOver(const CellTracker& t, double from, double to) {
    from += 0.5;
    to += 0.5;
    const auto first = static_cast<std::int64_t>(std::floor(from));
    const auto last = static_cast<std::int64_t>(std::floor(to));
    if (first < 0 || last >= t.count || to <= from) return 0;
    if (first == last) return t.signal[first];
    double sum = t.signal[first] * (static_cast<double>(first + 1) - from);
    sum += sumOver(t.signal, first + 1, last);
    sum += t.signal[last] * (to - static_cast<double>(last));
    return sum / (to - from);
}

// The edge in the direction given (+1 rising) near where it is expected:
// of the crossings of the edge line in that direction within `window`
// samples, the one where the signal's mean over the span after it most
// exceeds its mean over the span before it, a span being a short half-wave
// (every half-wave is at least that long). So a crossing that noise adds
// beside the edge loses to the edge's own. -1 when no crossing of zero
// shows a step of at least a tenth of the given level. With `firstOnly`,
// the first crossing that shows such a step.
double edgeNear(const CellTracker& t, double expected, double window, int direction, double level,
                bool firstOnly = false) {
    const auto span = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::lround(halfWave(t))));
    const auto first = std::max<std::int64_t>(span, static_cast<std::int64_t>(std::ceil(expected - window)));
    const auto last =
        std::min<std::int64_t>(t.count - span - 1, static_cast<std::int64_t>(std::floor(expected + window)));
    if (first > last) return -1;
    auto at = [&](std::int64_t n) { return direction * static_cast<double>(t.signal[n]); };
    // The sums of the span before and the span after the boundary between
    // samples n - 1 and n.
    double before = direction * static_cast<double>(sumOver(t.signal, first - span, first));
    double after = direction * static_cast<double>(sumOver(t.signal, first, first + span));
    double best = kEdgeShare * span * 2.0 * level, edge = -1;
    for (std::int64_t n = first; n <= last; ++n) {
        if (n > first) {
            before += at(n - 1) - at(n - 1 - span);
            after += at(n + span - 1) - at(n - 1);
        }
        const double step = after - before;
        const double left = at(n - 1), right = at(n);
        if (left > 0 || right <= 0 || step <= best) continue;
        best = step;
        edge = static_cast<double>(n - 1) + left / (left - right);
        if (firstOnly) break;
    }
    if (edge < 0) return -1;
    // Refined on the mean of the samples around it: an edge late by d leaves
    // 2d more samples of the low side among them. This averages the noise
    // that moves a single crossing.
    const std::int64_t near = std::max<std::int64_t>(1, span / 2);
    const auto centre = static_cast<std::int64_t>(std::lround(edge));
    if (level > 0 && centre - near >= 0 && centre + near < t.count) {
        const double sum = direction * static_cast<double>(sumOver(t.signal, centre - near, centre + near));
        // The samples [centre - near, centre + near) are centred on centre - 0.5.
        edge = static_cast<double>(centre) - 0.5 + std::clamp(-sum / (2 * level), -0.5 * near, 0.5 * near);
    }
    return edge;
}

// The mean of the envelope under the samples [from, to) of the tracker's
// signal, and how many values it is the mean of; -1 when there is no
// envelope.
double meanEnvelope(const CellTracker& t, double from, double to, double& values) {
    values = 0;
    if (t.recording == nullptr || t.recording->envelope.empty()) return -1;
    const std::vector<float>& envelope = t.recording->envelope;
    const auto first =
        std::max<std::int64_t>(0, (static_cast<std::int64_t>(from) + t.offset) / kEnvelopeStride);
    const auto last = std::min<std::int64_t>(static_cast<std::int64_t>(envelope.size()) - 1,
                                             (static_cast<std::int64_t>(to) + t.offset) / kEnvelopeStride);
    if (last < first) return -1;
    double sum = 0;
    for (std::int64_t k = first; k <= last; ++k) sum += envelope[static_cast<std::size_t>(k)];
    values = static_cast<double>(last - first + 1);
    return sum / values;
}

double meanMagnitude(const float* signal, std::int64_t from, std::int64_t to) {
    double sum = 0;
    for (std::int64_t n = from; n < to; ++n) sum += std::fabs(signal[n]);
    return to > from ? sum / static_cast<double>(to - from) : 0;
}

// The share of its steady level that the signal keeps under `values`
// envelope values: their mean against the envelope of the last few dozen
// cells, each with the noise floor taken off (noise and signal add as
// powers). The envelope shows a dropout at once, where the bits' levels
// follow it only within a few bits. Of the noise, only as much is taken
// off as its envelope surely holds (two deviations of its mean over those
// values below the floor): a cell where the noise happens to be quiet is no
// fall of the signal. An envelope below even that says that the noise has
// fallen as well, as in a dropout of the tape itself, which takes the
// tape's hiss along: signal and noise are then taken to have fallen alike,
// and `hissShare` says by how much (1 elsewhere).
double signalShare(const CellTracker& t, double envelope, double values, double& hissShare) {
    hissShare = 1;
    if (envelope < 0 || t.envelopeLevel <= 0) return 1;
    const Recording& recording = *t.recording;
    const double sure = 1 - 2 * recording.noiseFluctuation / std::sqrt(std::max(1.0, values));
    const double noise = std::max(0.0, sure) * recording.noiseFloor;
    if (envelope < noise) {
        hissShare = envelope / t.envelopeLevel;
        return std::min(1.0, hissShare / kEnvelopeSlack);
    }
    const double steady = t.envelopeLevel * t.envelopeLevel - recording.noiseFloor * recording.noiseFloor;
    if (steady <= 0) return 1;  // the recent cells were no louder than the noise: nothing to compare with
    return std::min(1.0, std::sqrt(std::max(0.0, envelope * envelope - noise * noise) / steady) / kEnvelopeSlack);
}

// The envelope under a cell holds nothing but the noise: it lies within
// two deviations of the noise's own mean over that many values around the
// recording's noise floor, or below the sample width's quantisation. (Far
// below the floor it says that the noise has fallen too: a dropout of the
// tape itself takes the tape's hiss along.)
bool onlyNoise(const CellTracker& t, double envelope, double values) {
    if (envelope < 0 || t.recording == nullptr) return false;
    const Recording& recording = *t.recording;
    const double floor = recording.noiseFloor;
    const double stray = 2 * recording.noiseFluctuation / std::sqrt(std::max(1.0, values)) * floor;
    return envelope <= recording.quantisation || std::fabs(envelope - floor) <= stray;
}

// The deviation of the noise on a bit's value where the signal's level is
// `levelNow`. How the last bits' values spread around their kind's level
// (a median, so that the few bits of a sudden dip or rise do not count) has
// two parts: the hiss, measured where the recording holds no tape signal,
// which does not fall with the signal; and what comes with the signal (the
// neighbouring cells, through the filters), which falls with it. Where the
// hiss could not be measured, all of the spread counts as hiss: in a dip
// the evidence then falls with the signal, as it must where noise may be
// all that is left. Never less than the recording's quantisation.
double noiseAt(CellTracker& t, int bit, double levelNow, double hissShare) {
    if (t.spreadCount % 4 == 0 || t.deviation <= 0) t.deviation = 1.4826 * t.sortedSpread[kSpreadWindow / 2];
    const double level = t.level[bit];
    const double spread = t.deviation * level;
    double hiss = t.deviation * t.steadyLevel[bit];
    if (t.recording != nullptr) {
        const std::vector<float>& measured = t.recording->meanNoise;
        const auto slot = static_cast<std::size_t>(std::lround(halfWave(t)));
        if (!measured.empty()) hiss = measured[std::min(slot, measured.size() - 1)];
        hiss = std::max(hiss * hissShare, t.recording->quantisation);
    }
    const double withSignal = level > 0 ? std::sqrt(std::max(0.0, spread * spread - hiss * hiss)) / level : 0;
    return std::max(1e-12, std::sqrt(hiss * hiss + withSignal * withSignal * levelNow * levelNow));
}

// The evidence for a decision, the log of how much likelier it is than its
// opposite, on one scale for both kinds of decision: two levels ±A in
// Gaussian noise of deviation s give a value x the log likelihood ratio
// 2 A x / s^2. A is the level of the bit's kind where the signal is now.
double evidence(double magnitude, double level, double deviation) {
    return std::min(1000.0, 2.0 * level * magnitude / (deviation * deviation));
}

void learnLevels(CellTracker& t, int bit, double magnitude) {
    double& level = t.level[bit];
    if (level > 0) {
        float& oldest = t.spread[t.spreadCount % kSpreadWindow];
        const auto value = static_cast<float>(std::fabs(magnitude / level - 1));
        replaceSorted(t.sortedSpread, kSpreadWindow, oldest, value);
        oldest = value;
        ++t.spreadCount;
    }
    level += (magnitude - level) / 2.0;
    t.steadyLevel[bit] += (magnitude - t.steadyLevel[bit]) / 32.0;
    t.slowLevel += (magnitude - t.slowLevel) / 256.0;
}

}  // namespace

void replaceSorted(float* sorted, int count, float old, float value) {
    // Out with the old value, closing the gap...
    int at = static_cast<int>(std::lower_bound(sorted, sorted + count, old) - sorted);
    if (at == count || sorted[at] != old) return;  // not there: nothing to replace
    std::copy(sorted + at + 1, sorted + count, sorted + at);
    // ...and in with the new, opening one where it belongs.
    at = static_cast<int>(std::upper_bound(sorted, sorted + count - 1, value) - sorted);
    std::copy_backward(sorted + at, sorted + count - 1, sorted + count);
    sorted[at] = value;
}

namespace {

// A half-wave length counts for T within this share of it, for 3T within
// this share of 3T.
constexpr double kTolerance = 0.2;

// T from the half-wave lengths of a stretch: the T whose neighbourhood,
// with that of 3T, holds the most lengths, and at least half of them (from
// the sorted lengths and their running sums); 0 where none does.
double halfWaveOf(std::vector<double> widths, double rate) {
    if (widths.size() < 12) return 0;
    std::sort(widths.begin(), widths.end());
    std::vector<double> sums(widths.size() + 1, 0.0);
    for (std::size_t i = 0; i < widths.size(); ++i) sums[i + 1] = sums[i] + widths[i];
    const double shortest = kShortestHalfSeconds * rate, longest = kLongestHalfSeconds * rate;
    const auto half = static_cast<std::ptrdiff_t>(widths.size() / 2);
    if (widths[static_cast<std::size_t>(half)] < (1 - kTolerance) * shortest) return 0;  // hiss: mostly short
    // How many lengths lie within the tolerance of centre, and their sum.
    auto within = [&](double centre, double& sum) {
        const auto low = std::lower_bound(widths.begin(), widths.end(), (1 - kTolerance) * centre);
        const auto high = std::upper_bound(low, widths.end(), (1 + kTolerance) * centre);
        sum = sums[static_cast<std::size_t>(high - widths.begin())] -
              sums[static_cast<std::size_t>(low - widths.begin())];
        return static_cast<int>(high - low);
    };
    double bestHalf = 0, unused = 0;
    int bestScore = 0;
    for (double candidate = shortest; candidate <= longest; candidate *= 1.03) {
        const int ones = within(candidate, unused), zeros = within(3 * candidate, unused);
        if (ones < 4 || 4 * ones < zeros) continue;
        if (ones + zeros > bestScore) {
            bestScore = ones + zeros;
            bestHalf = candidate;
        }
    }
    if (bestScore < 0.5 * static_cast<double>(widths.size())) return 0;
    double shortSum = 0, longSum = 0;
    const int ones = within(bestHalf, shortSum), zeros = within(3 * bestHalf, longSum);
    return (shortSum + longSum / 3.0) / (ones + zeros);
}

// The half-wave lengths of signal[from, to) between the passages of a
// Schmitt trigger at ±threshold: in whole samples, or with each passage
// placed between its two samples.
std::vector<double> halfWaveLengths(const float* signal, std::int64_t from, std::int64_t to, double threshold,
                                    bool placed) {
    std::vector<double> widths;
    int state = 0;
    bool passed = false;  // a passage was seen
    double lastEdge = 0;
    for (std::int64_t n = from; n < to; ++n) {
        const int now = signal[n] > threshold ? 1 : signal[n] < -threshold ? -1 : state;
        if (now != state) {
            double edge = static_cast<double>(n);
            if (placed) {
                const double before = n > from ? signal[n - 1] : 0.0, after = signal[n],
                             level = now * threshold;
                edge = static_cast<double>(n - 1) + (level - before) / (after - before);
            }
            if (state != 0 && passed) widths.push_back(edge - lastEdge);
            lastEdge = edge;
            passed = true;
        }
        state = now;
    }
    return widths;
}

}  // namespace

double estimateHalfWave(const float* signal, std::int64_t from, std::int64_t to, double rate) {
    if (to - from < 16 || rate <= 0) return 0;
    const double threshold = 0.3 * meanMagnitude(signal, from, to);
    if (threshold <= 0) return 0;
    // T is measured in whole samples. Where its tolerance spans less than a
    // sample (T under 2.5 samples), whole samples cannot show how the
    // lengths spread, and the stretch holds tape signal only where the
    // lengths placed between samples show the two groups too: hiss through
    // the band's low-pass piles up at two samples, which at 8000 Hz is a T
    // within the range as well (a tenth of a second of hiss 12 dB under a
    // tape signal passed for tape signal there, and the trackers started on
    // it at half the tape's T never found a sync). Elsewhere the placed
    // lengths of a noisy tape signal spread wider than whole ones, and would
    // lose it.
    const double half = halfWaveOf(halfWaveLengths(signal, from, to, threshold, false), rate);
    if (2 * kTolerance * half >= 1) return half;
    return halfWaveOf(halfWaveLengths(signal, from, to, threshold, true), rate) <= 0 ? 0 : half;
}

bool startTracker(CellTracker& t, std::int64_t from, double half, double rate) {
    // Never less than a sample: at the lowest rates a cell still moves the
    // tracker on by a sample or more.
    t.shortestHalf = std::max(1.0, kShortestHalfSeconds * rate);
    t.longestHalf = std::max(t.shortestHalf, kLongestHalfSeconds * rate);
    half = std::clamp(half, t.shortestHalf, t.longestHalf);
    t.cell[1] = t.measuredCell[1] = 2 * half;
    t.cell[0] = t.measuredCell[0] = 6 * half;
    t.missedEdges = 0;
    t.missedCells = 0;
    t.recentEvidence = 0;
    t.bitsSinceStart = 0;
    t.weakBits = 0;
    t.deviation = 0;
    t.envelopeLevel = 0;
    t.cellSums[0] = t.cellSums[1] = t.cellSpans[0] = t.cellSpans[1] = 0;
    const auto span = static_cast<std::int64_t>(16 * half);
    const std::int64_t end = std::min(t.count, from + span);
    const double level = meanMagnitude(t.signal, std::max<std::int64_t>(0, from), end);
    t.level[0] = t.level[1] = t.slowLevel = t.settings.decideOnLength ? 1.0 : level;
    t.steadyLevel[0] = t.steadyLevel[1] = t.level[0];
    t.signalLevel = level;
    // A pessimistic start: the first bits count as noisy until the spread is known.
    std::fill(std::begin(t.spread), std::end(t.spread), 0.3f);
    std::fill(std::begin(t.sortedSpread), std::end(t.sortedSpread), 0.3f);
    t.spreadCount = kSpreadWindow;
    // The first edge of the cell's direction, past the trigger's thresholds.
    const double threshold = 0.3 * level;
    bool below = false;
    for (std::int64_t n = std::max<std::int64_t>(1, from); n < t.count; ++n) {
        const double z = t.polarity * t.signal[n];
        if (z < -threshold) below = true;
        if (!below || z <= threshold) continue;
        std::int64_t k = n;
        while (k > 1 && t.polarity * t.signal[k - 1] > 0) --k;
        const double before = t.polarity * t.signal[k - 1], after = t.polarity * t.signal[k];
        t.start = static_cast<double>(k - 1) + (after != before ? before / (before - after) : 0.0);
        t.startedAt = t.start;
        return true;
    }
    return false;
}

bool nextBit(CellTracker& t, SoftBit& out) {
    const double half = halfWave(t);
    const double zeroWindow = 1.6 * t.settings.edgeWindow * half;
    if (t.start + t.cell[0] + zeroWindow + 2 >= static_cast<double>(t.count)) return false;
    // The slot against the zero line of the last two cells: low-frequency
    // noise and offsets that wander move both alike.
    const double spans = t.cellSpans[0] + t.cellSpans[1];
    const double zeroLine = spans > 0 ? (t.cellSums[0] + t.cellSums[1]) / spans : 0.0;
    const double slot = t.polarity * (meanOver(t, t.start + half, t.start + 2 * half) - zeroLine);
    int bit = slot < 0 ? 1 : 0;
    double magnitude = std::fabs(slot);
    // The level the edge must show: the recent level, or this cell's own
    // where the signal has just dipped (by up to 20 dB).
    const double recent = 0.5 * (t.level[0] + t.level[1]);
    double level = std::min(recent, std::max(magnitude, 0.1 * recent));
    double cellEnd = -1;
    if (t.settings.decideOnLength) {
        // The cell's end: the first edge of its own direction from T on, 2T
        // on for a 1 and 6T for a 0. The decision is where it lies between
        // the two lengths, as a share of half their difference.
        level = t.signalLevel;
        const double from = t.start + half, to = t.start + t.cell[0] + zeroWindow;
        cellEnd = edgeNear(t, 0.5 * (from + to), 0.5 * (to - from), t.polarity, level, true);
        const double between = 0.5 * (t.cell[0] + t.cell[1]), apart = 0.5 * (t.cell[0] - t.cell[1]);
        const double fromBetween = cellEnd >= 0 ? (cellEnd - t.start - between) / apart : 0.0;
        if (cellEnd >= 0) bit = fromBetween < 0 ? 1 : 0;
        magnitude = std::fabs(fromBetween);
        t.signalLevel += (std::fabs(meanOver(t, t.start, t.start + half)) - t.signalLevel) / 8;
    }
    const double length = t.cell[bit];
    const double window = bit ? t.settings.edgeWindow * half : zeroWindow;
    double next = t.start + length;
    // Where the envelope shows that the signal has fallen by the edge, the
    // edge shows no more than what is left of it.
    if (!t.settings.decideOnLength) {
        double values;
        const double near = meanEnvelope(t, next - half, next + half, values);
        double hissShare;
        level = std::min(level, recent * signalShare(t, near, values, hissShare));
    }
    double edge = -1;
    if (t.settings.decideOnLength) {
        edge = cellEnd;
    } else if (t.settings.anchorOnMiddle) {
        // The cell ends half a cell after its middle edge. (Reflecting its
        // start about that edge would hand each start's error on to the next
        // with its sign turned, undamped: noise would walk the tracker off.)
        const double middle = edgeNear(t, t.start + length / 2, window / 2, -t.polarity, level);
        if (middle >= 0) edge = middle + length / 2;
    } else {
        edge = edgeNear(t, next, window, t.polarity, level);
    }
    out.bit = bit;
    out.start = t.start;
    out.edgeFound = edge >= 0;
    t.missedCells = (t.missedCells << 1) | (edge >= 0 ? 0 : 1);
    out.timingSure = t.missedEdges == 0 && edge >= 0 && std::fabs(edge - next) <= kSureTiming * window;
    if (edge >= 0) {
        // Each kind of cell follows its own measurements; the other is drawn
        // gently towards 3:1, so that it keeps pace through a long run of
        // one kind. Where a half-wave is only a few samples long, rounding
        // them to whole samples, or padding them with a sample at zero,
        // gives a ratio of its own (2.5 for 3 + 1 and 9 + 1 samples at
        // 8000 Hz): there, the ratio the two kinds' measured lengths show.
        // (Longer ones keep 3: filters move the measured lengths by the
        // neighbouring cells, and that is no reason to leave it.)
        const double gain = t.settings.halfGain, measured = edge - t.start;
        t.cell[bit] += gain * (measured - t.cell[bit]);
        t.measuredCell[bit] += gain / 8 * (measured - t.measuredCell[bit]);
        const double ratio =
            halfWave(t) < kFewSamples
                ? std::clamp(t.measuredCell[0] / t.measuredCell[1], kLowestCellRatio, kHighestCellRatio)
                : 3.0;
        const double other = bit ? ratio * t.cell[1] : t.cell[0] / ratio;
        t.cell[1 - bit] += gain / 8 * (other - t.cell[1 - bit]);
        t.cell[1] = std::clamp(t.cell[1], 2 * t.shortestHalf, 2 * t.longestHalf);
        t.cell[0] = std::clamp(t.cell[0], 6 * t.shortestHalf, 6 * t.longestHalf);
        next += t.settings.anchorGain * (edge - next);
        t.missedEdges = 0;
    } else {
        ++t.missedEdges;
    }
    // However the edges fall, the next cell starts after this one: where a
    // half-wave is a sample or two, the refined edge can lie before the
    // cell's start, and a tracker must never stand still or go back.
    next = std::max(next, t.start + t.shortestHalf);
    // The level of the bit's kind under this cell: the last bits' level, or
    // less where the envelope shows that the signal has just fallen away.
    double values;
    const double envelope = meanEnvelope(t, t.start, next, values);
    double hissShare;
    const double share = signalShare(t, envelope, values, hissShare);
    const double levelNow = std::min(t.level[bit], t.steadyLevel[bit] * share);
    const double deviation = noiseAt(t, bit, levelNow, hissShare);
    double sureness = levelNow > 0 ? evidence(magnitude, levelNow, deviation) : 0;
    if (t.settings.decideOnLength) sureness = std::min(sureness, kMostLengthEvidence);
    out.llr = static_cast<float>(sureness);
    // Where the signal has fallen so far that a bit at its level could not
    // be told from the noise, or the envelope shows nothing but the noise,
    // it is gone: the cell has no evidence, whatever the filters left there
    // (the high-pass holds a memory of the loud half-waves before a fall).
    out.noSignal = share < 1 && (evidence(levelNow, levelNow, deviation) < kGoneEvidence ||
                                 onlyNoise(t, envelope, values));
    if (out.noSignal) {
        out.llr = 0;
        out.timingSure = false;
    } else if (envelope >= 0) {
        // The first cell sets the steady envelope; then it follows slowly.
        t.envelopeLevel = t.envelopeLevel > 0 ? t.envelopeLevel + (envelope - t.envelopeLevel) / 32.0 : envelope;
    }
    t.recentEvidence += (std::min(100.0, static_cast<double>(out.llr)) - t.recentEvidence) / 32.0;
    const double bar =
        t.settings.decideOnLength && half >= kFewSamples ? kLostLengthEvidence : kLostMedianEvidence;
    t.weakBits = static_cast<std::uint16_t>((t.weakBits << 1) | (out.llr < bar ? 1 : 0));
    ++t.bitsSinceStart;
    learnLevels(t, bit, magnitude);
    out.end = next;
    t.cellSums[1] = t.cellSums[0];
    t.cellSpans[1] = t.cellSpans[0];
    t.cellSpans[0] = next - t.start;
    t.cellSums[0] = meanOver(t, t.start, next) * t.cellSpans[0];
    t.start = next;
    return true;
}

bool trackerLost(const CellTracker& t) {
    if (t.missedEdges >= kLostAfterMissedEdges) return true;
    // The median of the last 16 bits' evidence is below the bar when 9 or more are.
    return t.bitsSinceStart >= 16 && std::popcount(t.weakBits) >= 9;
}
