// The rescue decoder's noise: the floor and the hiss measured where the
// recording holds no tape signal. Recordings are built by hand, so that
// every level, and the noise on it, is known.
#include <cmath>

#include "rescue/noise_floor.h"
#include "rescue/recording.h"
#include "support/test_support.h"

// At 8000 Hz a window is a tenth of a second, 800 samples, 25 envelope
// values. Quiet windows hold a constant at their envelope level (no
// half-waves, a hiss of that RMS on a slot of any length); tape windows a
// square wave of half-waves of 4 samples at level 1. The floor is the
// median of the quiet windows among the quietest fifth (n / 5 + 1 of n)
// that lie below 0.8 of the tape's level; the hiss is measured on those
// within 1.5 times the floor. A floor left from before is never kept.
TEST(RescueNoise, TheFloorAndTheHissComeFromTheQuietWindows) {
    // clang-format off
    // quiet windows, tape windows, floor, hiss
    const std::tuple<std::vector<float>, std::size_t, double, double> cases[] = {
        {{0.75f}, 9, 0.75, 0.75}, {{0.85f}, 9, 0, 0},  // below 0.8 of the tape's level: quiet; above: not
        {{0.1f, 0.2f, 0.25f}, 6, 0.2, std::sqrt((0.01 + 0.04) / 2)},  // of 9 windows, the quietest 2
        {{0.2f, 0.2f, 0.28f}, 7, 0.2, std::sqrt((0.04 + 0.04 + 0.0784) / 3)},  // 0.28 within 1.5 times 0.2
        {{0.2f, 0.2f, 0.32f}, 7, 0.2, 0.2}};  // 0.32 beyond
    // clang-format on
    for (const auto& [quiet, tapes, floor, hiss] : cases) {
        std::vector<float> windows = quiet;
        windows.resize(quiet.size() + tapes, 1.0f);
        Recording recording{.rate = 8000, .count = 800 * std::ssize(windows), .noiseFloor = 1};
        recording.signal = allocateLargeArray<float>(recording.count);
        for (std::int64_t n = 0; n < recording.count; ++n) {
            const float level = windows[static_cast<std::size_t>(n / 800)];
            recording.signal[n] = level < 1 ? level : n / 4 % 2 ? -1.0f : 1.0f;
        }
        for (std::size_t k = 0; k < 25 * windows.size(); ++k) recording.envelope.push_back(windows[k / 25]);
        measureNoiseFloor(recording);
        EXPECT_NEAR(recording.noiseFloor, floor, 1e-6) << quiet.back();
        EXPECT_NEAR(recording.meanNoise.empty() ? 0 : recording.meanNoise[1], hiss, 1e-6) << quiet.back();
    }
}
