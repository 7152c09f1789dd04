#include "rescue/cell_tracker.h"

#include "rescue/rescue_state.h"

#include <algorithm>
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
constexpr int kLostAfterMissedEdges = 4;
// Where the envelope falls below this share of its level (24 dB down),
// there is no signal: a dropout.
constexpr double kDropoutShare = 1.0 / 16;
// The least step, as a share of the signal's level, that counts as an edge.
constexpr double kEdgeShare = 0.1;
// An edge found this far out in the window it was looked for in leaves the
// cell's timing in doubt.
constexpr double kSureTiming = 0.75;

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
    for (std::int64_t n = first + 1; n < last; ++n) sum += t.signal[n];
    sum += t.signal[last] * (to - static_cast<double>(last));
    return sum / (to - from);
}

// The edge in the direction given (+1 rising) near where it is expected:
// of the zero crossings of that direction within `window` samples, the one
// where the signal's mean over the span after it most exceeds its mean over
// the span before it, a span being a short half-wave (every half-wave is at
// least that long). So a crossing that noise adds beside the edge loses to
// the edge's own, and an edge between a shallow and a deep half-wave (a
// filtered recording's) is taken where it crosses zero. -1 when no crossing
// shows a step of at least a tenth of the given level.
double edgeNear(const CellTracker& t, double expected, double window, int direction, double level) {
    const auto span = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::lround(halfWave(t))));
    const auto first = std::max<std::int64_t>(span, static_cast<std::int64_t>(std::ceil(expected - window)));
    const auto last =
        std::min<std::int64_t>(t.count - span - 1, static_cast<std::int64_t>(std::floor(expected + window)));
    if (first > last) return -1;
    auto at = [&](std::int64_t n) { return direction * static_cast<double>(t.signal[n]); };
    // step: after minus before, at the boundary between samples n - 1 and n.
    double step = 0;
    for (std::int64_t k = 0; k < span; ++k) step += at(first + k) - at(first - 1 - k);
    double best = kEdgeShare * span * 2.0 * level, edge = -1;
    for (std::int64_t n = first; n <= last; ++n) {
        if (n > first) step += at(n + span - 1) - 2 * at(n - 1) + at(n - 1 - span);
        const double left = at(n - 1), right = at(n);
        if (left > 0 || right <= 0 || step <= best) continue;
        best = step;
        edge = static_cast<double>(n - 1) + left / (left - right);
    }
    if (edge < 0) return -1;
    // Refined on the mean of the samples around it: an edge late by d leaves
    // 2d more samples of the low side among them. This averages the noise
    // that moves a single crossing.
    const std::int64_t near = std::max<std::int64_t>(1, span / 2);
    const auto centre = static_cast<std::int64_t>(std::lround(edge));
    if (level > 0 && centre - near >= 0 && centre + near < t.count) {
        double sum = 0;
        for (std::int64_t n = centre - near; n < centre + near; ++n) sum += at(n);
        // The samples [centre - near, centre + near) are centred on centre - 0.5.
        edge = static_cast<double>(centre) - 0.5 + std::clamp(-sum / (2 * level), -0.5 * near, 0.5 * near);
    }
    return edge;
}

// The lowest value of the envelope under the samples [from, to) of the
// tracker's signal; -1 when there is no envelope.
double lowestEnvelope(const CellTracker& t, double from, double to) {
    if (t.envelope == nullptr) return -1;
    const auto first =
        std::max<std::int64_t>(0, (static_cast<std::int64_t>(from) + t.offset) / kEnvelopeStride);
    const auto last = std::min<std::int64_t>(t.envelopeCount - 1,
                                             (static_cast<std::int64_t>(to) + t.offset) / kEnvelopeStride);
    double lowest = -1;
    for (std::int64_t k = first; k <= last; ++k) {
        if (lowest < 0 || t.envelope[k] < lowest) lowest = t.envelope[k];
    }
    return lowest;
}

double meanMagnitude(const float* signal, std::int64_t from, std::int64_t to) {
    double sum = 0;
    for (std::int64_t n = from; n < to; ++n) sum += std::fabs(signal[n]);
    return to > from ? sum / static_cast<double>(to - from) : 0;
}

// The evidence for the decision: for a level of 1 in Gaussian noise of
// deviation s, a slot mean of x (relative to the level of its kind of bit)
// has the log likelihood ratio 2 x / s^2. s comes from how the last bits'
// slot means spread around their levels, as a median, so that the few bits
// of a sudden dip or rise of the signal do not count as noise. The noise
// never counts as less than 2 % of the long-term level: a dropout's faint
// remains, or a filter's ringing, are not sure bits.
double evidence(const CellTracker& t, int bit, double magnitude) {
    const double level = t.level[bit];
    if (level <= 0 || t.spreadCount == 0) return 0;
    std::array<float, 32> sorted;
    const auto count = static_cast<std::size_t>(std::min(t.spreadCount, 32));
    std::copy(t.spread, t.spread + count, sorted.begin());
    std::nth_element(sorted.begin(), sorted.begin() + count / 2, sorted.begin() + count);
    const double floor = 0.02 * t.slowLevel / level;
    const double deviation = std::max(1.4826 * sorted[count / 2], floor);
    return std::min(1000.0, 2.0 * (magnitude / level) / (deviation * deviation));
}

void learnLevels(CellTracker& t, int bit, double magnitude) {
    double& level = t.level[bit];
    if (level > 0) {
        t.spread[t.spreadCount % 32] = static_cast<float>(std::fabs(magnitude / level - 1));
        ++t.spreadCount;
    }
    level += (magnitude - level) / 2.0;
    t.slowLevel += (magnitude - t.slowLevel) / 256.0;
}

}  // namespace

double estimateHalfWave(const float* signal, std::int64_t from, std::int64_t to, double rate) {
    if (to - from < 16 || rate <= 0) return 0;
    const double threshold = 0.3 * meanMagnitude(signal, from, to);
    if (threshold <= 0) return 0;
    // Half-wave lengths between the passages of a Schmitt trigger.
    std::vector<double> widths;
    int state = 0;
    std::int64_t lastEdge = -1;
    for (std::int64_t n = from; n < to; ++n) {
        const int now = signal[n] > threshold ? 1 : signal[n] < -threshold ? -1 : state;
        if (now != state && state != 0 && lastEdge >= 0) widths.push_back(static_cast<double>(n - lastEdge));
        if (now != state) lastEdge = n;
        state = now;
    }
    if (widths.size() < 12) return 0;
    // The T whose neighbourhood, with that of 3T, holds the most lengths.
    const double shortest = kShortestHalfSeconds * rate, longest = kLongestHalfSeconds * rate;
    auto within = [&](double centre, double tolerance, double& sum) {
        int count = 0;
        for (double w : widths) {
            if (std::fabs(w - centre) <= tolerance * centre) {
                ++count;
                sum += w;
            }
        }
        return count;
    };
    double bestHalf = 0;
    int bestScore = 0;
    for (double half = shortest; half <= longest; half *= 1.03) {
        double unused = 0;
        const int ones = within(half, 0.2, unused), zeros = within(3 * half, 0.2, unused);
        if (ones < 4 || 4 * ones < zeros) continue;
        if (ones + zeros > bestScore) {
            bestScore = ones + zeros;
            bestHalf = half;
        }
    }
    if (bestScore < 0.5 * static_cast<double>(widths.size())) return 0;
    double shortSum = 0, longSum = 0;
    const int ones = within(bestHalf, 0.2, shortSum), zeros = within(3 * bestHalf, 0.2, longSum);
    return (shortSum + longSum / 3.0) / (ones + zeros);
}

bool startTracker(CellTracker& t, std::int64_t from, double half, double rate) {
    t.shortestHalf = kShortestHalfSeconds * rate;
    t.longestHalf = kLongestHalfSeconds * rate;
    half = std::clamp(half, t.shortestHalf, t.longestHalf);
    t.cell[1] = 2 * half;
    t.cell[0] = 6 * half;
    t.missedEdges = 0;
    t.bitsSinceStart = 0;
    t.envelopeLevel = 0;
    t.cellSums[0] = t.cellSums[1] = t.cellSpans[0] = t.cellSpans[1] = 0;
    const auto span = static_cast<std::int64_t>(16 * half);
    const std::int64_t end = std::min(t.count, from + span);
    const double level = meanMagnitude(t.signal, std::max<std::int64_t>(0, from), end);
    t.level[0] = t.level[1] = t.slowLevel = level;
    // A pessimistic start: the first bits count as noisy until the spread is known.
    std::fill(std::begin(t.spread), std::end(t.spread), 0.3f);
    t.spreadCount = 32;
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
    const int bit = slot < 0 ? 1 : 0;
    const double length = t.cell[bit];
    const double window = bit ? t.settings.edgeWindow * half : zeroWindow;
    double next = t.start + length;
    // The level the edge must show: the recent level, or this cell's own
    // where the signal has just dipped (by up to 20 dB).
    const double recent = 0.5 * (t.level[0] + t.level[1]);
    const double level = std::min(recent, std::max(std::fabs(slot), 0.1 * recent));
    double edge = -1;
    if (t.settings.anchorOnMiddle) {
        const double middle = edgeNear(t, t.start + length / 2, window / 2, -t.polarity, level);
        if (middle >= 0) edge = t.start + 2 * (middle - t.start);
    } else {
        edge = edgeNear(t, next, window, t.polarity, level);
    }
    out.bit = bit;
    out.start = t.start;
    out.edgeFound = edge >= 0;
    out.timingSure = t.missedEdges == 0 && edge >= 0 && std::fabs(edge - next) <= kSureTiming * window;
    if (edge >= 0) {
        // Each kind of cell follows its own measurements; the other is drawn
        // gently towards 3:1, so that it keeps pace through a long run of one kind.
        const double gain = t.settings.halfGain;
        t.cell[bit] += gain * ((edge - t.start) - t.cell[bit]);
        const double other = bit ? 3 * t.cell[1] : t.cell[0] / 3;
        t.cell[1 - bit] += gain / 8 * (other - t.cell[1 - bit]);
        t.cell[1] = std::clamp(t.cell[1], 2 * t.shortestHalf, 2 * t.longestHalf);
        t.cell[0] = std::clamp(t.cell[0], 6 * t.shortestHalf, 6 * t.longestHalf);
        next += t.settings.anchorGain * (edge - next);
        t.missedEdges = 0;
    } else {
        ++t.missedEdges;
    }
    const double magnitude = std::fabs(slot);
    out.llr = static_cast<float>(evidence(t, bit, magnitude));
    // A cell in a dropout has no evidence, whatever the filters left there.
    const double envelope = lowestEnvelope(t, t.start, next);
    out.noSignal = envelope >= 0 && t.envelopeLevel > 0 && envelope < kDropoutShare * t.envelopeLevel;
    if (out.noSignal) {
        out.llr = 0;
        out.timingSure = false;
    } else if (envelope >= 0) {
        // The first cell sets the level; then it follows slowly.
        t.envelopeLevel =
            t.envelopeLevel > 0 ? t.envelopeLevel + (envelope - t.envelopeLevel) / 64.0 : envelope;
    }
    t.recentEvidence[t.bitsSinceStart % 16] = out.llr;
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
    if (t.bitsSinceStart < 16) return false;
    std::array<float, 16> sorted;
    std::copy(std::begin(t.recentEvidence), std::end(t.recentEvidence), sorted.begin());
    std::nth_element(sorted.begin(), sorted.begin() + 8, sorted.end());
    return sorted[8] < kLostMedianEvidence;
}
