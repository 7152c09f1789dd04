#include "rescue/noise_floor.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "rescue/cell_tracker.h"

namespace {

// A window without tape signal counts as quiet only below this share of
// the median window of tape signal: one as loud holds something else.
constexpr float kQuietShare = 0.8f;

// Windows looked at for the median level of tape signal, at most.
constexpr std::size_t kTapeSample = 64;

// The windows whose hiss is measured lie within this factor of the floor.
constexpr float kHissReach = 1.5f;

// The hiss on a slot: over the quiet windows (a second of them is plenty),
// the RMS of the conditioned signal's mean over n samples, for n up to a
// millisecond, longer than any half-wave the trackers follow.
void measureMeanNoise(Recording& recording, const std::vector<std::int64_t>& windows, std::int64_t length) {
    const auto longest = static_cast<std::size_t>(0.001 * recording.rate) + 2;
    std::vector<double> power(longest + 1, 0.0), count(longest + 1, 0.0);
    std::vector<double> sums;
    std::int64_t used = 0;
    for (const std::int64_t from : windows) {
        if (used > static_cast<std::int64_t>(recording.rate)) break;
        const std::int64_t to = std::min(recording.count, from + length);
        sums.assign(1, 0.0);
        for (std::int64_t k = from; k < to; ++k) sums.push_back(sums.back() + recording.signal[k]);
        used += to - from;
        for (std::size_t n = 1; n <= longest && n < sums.size(); ++n) {
            for (std::size_t k = n; k < sums.size(); k += n) {
                const double mean = (sums[k] - sums[k - n]) / static_cast<double>(n);
                power[n] += mean * mean;
                count[n] += 1;
            }
        }
    }
    recording.meanNoise.assign(longest + 1, 0.0f);
    for (std::size_t n = 1; n <= longest; ++n)
        recording.meanNoise[n] = count[n] > 0 ? static_cast<float>(std::sqrt(power[n] / count[n])) : 0.0f;
}

}  // namespace

void measureNoiseFloor(Recording& recording) {
    recording.noiseFloor = 0;
    recording.noiseFluctuation = 0;
    recording.noiseMeasured = false;
    recording.meanNoise.clear();
    const std::vector<float>& envelope = recording.envelope;
    // Tenths of a second, as the search looks at the recording; only the
    // quietest fifth of them are looked at for tape signal, as a recording
    // with any silence at all has that much of it.
    const auto window = std::max<std::int64_t>(64, static_cast<std::int64_t>(0.1 * recording.rate));
    const std::int64_t values = window / kEnvelopeStride;
    if (values < 1 || static_cast<std::int64_t>(envelope.size()) < 2 * values) return;
    std::vector<std::pair<float, std::int64_t>> windows;
    for (std::int64_t at = 0; at + values <= static_cast<std::int64_t>(envelope.size()); at += values) {
        float sum = 0;
        for (std::int64_t k = at; k < at + values; ++k) sum += envelope[static_cast<std::size_t>(k)];
        windows.emplace_back(sum / static_cast<float>(values), at);
    }
    std::sort(windows.begin(), windows.end());
    // The quietest fifth, less the windows that hold tape signal. A window
    // whose signal the half-wave count does not take for a tape's (a tone, a
    // voice, cells of a kind it cannot group) is still no noise where it is
    // about as loud as the tape signal: only those clearly quieter than the
    // median window of tape signal count. That median is taken on windows
    // spread evenly over the order, kTapeSample of them at most.
    const std::size_t fifth = windows.size() / 5 + 1;
    const std::size_t stride = std::max<std::size_t>(1, windows.size() / kTapeSample);
    std::vector<float> quiet, tapeLevels;
    std::vector<std::int64_t> quietWindows;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const bool sampled = i % stride == 0;
        if (i >= fifth && !sampled) continue;
        const std::int64_t from = windows[i].second * kEnvelopeStride;
        const std::int64_t to = std::min(recording.count, from + values * kEnvelopeStride);
        if (estimateHalfWave(recording.signal.get(), from, to, recording.rate) > 0) {
            if (sampled) tapeLevels.push_back(windows[i].first);
        } else if (i < fifth) {
            quiet.push_back(windows[i].first);
            quietWindows.push_back(from);
        }
    }
    if (!tapeLevels.empty()) {
        const float tapeLevel = tapeLevels[tapeLevels.size() / 2];  // ascending, as the windows
        while (!quiet.empty() && quiet.back() >= kQuietShare * tapeLevel) {
            quiet.pop_back();
            quietWindows.pop_back();
        }
    }
    if (quiet.empty()) return;
    // The median of the quiet windows (in ascending order): a click or the
    // edge of a program in one of them does not set the floor.
    const float floor = quiet[quiet.size() / 2];
    recording.noiseFloor = floor;
    recording.noiseMeasured = true;
    // How far one envelope value strays from the floor there: the median
    // distance, as a deviation.
    std::vector<float> distances;
    for (const std::int64_t from : quietWindows) {
        const std::int64_t first = from / kEnvelopeStride;
        for (std::int64_t k = first; k < first + values && k < static_cast<std::int64_t>(envelope.size()); ++k)
            distances.push_back(std::fabs(envelope[static_cast<std::size_t>(k)] - floor));
    }
    const auto half = distances.begin() + static_cast<std::ptrdiff_t>(distances.size() / 2);
    std::nth_element(distances.begin(), half, distances.end());
    recording.noiseFluctuation = floor > 0 ? 1.4826 * *half / floor : 0;
    // The hiss is a mean of powers, which one window holding a program's
    // edge would swell: it is measured on the windows near the floor only.
    while (quiet.size() > 1 && quiet.back() > kHissReach * floor) {
        quiet.pop_back();
        quietWindows.pop_back();
    }
    measureMeanNoise(recording, quietWindows, values * kEnvelopeStride);
}
