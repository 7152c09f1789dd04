// The rescue decoder's noise: the floor and the hiss measured where the
// recording holds no tape signal, the evidence a bit has against them, the
// bits erased where the signal has sunk into them, and what a reading
// through such bits is sure of. Recordings and trackers are built by hand,
// so that every level, and the noise on it, is known.
#include <cmath>
#include <random>

#include "rescue/cell_tracker.h"
#include "rescue/noise_floor.h"
#include "rescue/reading_verdict.h"
#include "rescue/recording.h"
#include "rescue/tape_blocks.h"
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
        {{0.0f}, 9, 0, 0},  // digital silence: a floor of 0, measured
        {{0.1f, 0.2f, 0.25f}, 6, 0.2, std::sqrt((0.01 + 0.04) / 2)},  // of 9 windows, the quietest 2
        {{0.2f, 0.2f, 0.28f}, 7, 0.2, std::sqrt((0.04 + 0.04 + 0.0784) / 3)},  // 0.28 within 1.5 times 0.2
        {{0.2f, 0.2f, 0.32f}, 7, 0.2, 0.2}};  // 0.32 beyond
    // clang-format on
    for (const auto& [quiet, tapes, floor, hiss] : cases) {
        std::vector<float> windows = quiet;
        windows.resize(quiet.size() + tapes, 1.0f);
        Recording recording{
            .rate = 8000, .count = 800 * std::ssize(windows), .noiseFloor = 1, .noiseMeasured = true};
        recording.signal = allocateLargeArray<float>(recording.count);
        for (std::int64_t n = 0; n < recording.count; ++n) {
            const float level = windows[static_cast<std::size_t>(n / 800)];
            recording.signal[n] = level < 1 ? level : n / 4 % 2 ? -1.0f : 1.0f;
        }
        for (std::size_t k = 0; k < 25 * windows.size(); ++k) recording.envelope.push_back(windows[k / 25]);
        measureNoiseFloor(recording);
        EXPECT_NEAR(recording.noiseFloor, floor, 1e-6) << quiet.back();
        EXPECT_EQ(recording.noiseMeasured, quiet.back() < 0.8f) << quiet.back();
        EXPECT_NEAR(recording.meanNoise.empty() ? 0 : recording.meanNoise[1], hiss, 1e-6) << quiet.back();
    }
}

// One 0 bit (96 samples, 4 envelope values, its slot 0.13 over a level of
// 1) read with a spread of its bits s and a hiss of 0.1 measured in the
// silence, over a floor F (deviation 0.2 of it per value: 0.1 F on the mean
// of 4, two of them 0.2 F) under an envelope e where the cells before had
// E. The signal's share p: from e = 0.8 F up, sqrt(e² - (0.8 F)²) /
// sqrt(E² - F²) / 0.8, and 1 where E is no louder than F; below 0.8 F the
// tape itself has dropped out and its hiss falls with it, to e / E, with
// p = e / E / 0.8; never above 1. The noise: the hiss h and what comes with
// the signal, s² - h², the latter falling with p: the evidence is
// 2 p 0.13 / (h² + (s² - h²) p²). Where p < 1, a bit whose level p would
// have less than 2 (2 p² over the same noise), or whose envelope lies at
// the floor (within 0.2 F) or below the quantisation q, is erased. A bit
// below 3 is weak.
TEST(RescueTracker, ErasesABitWhereItsSignalHasSunkIntoTheNoise) {
    // clang-format off
    const std::tuple<double, double, float, double, double, double> cases[] = {  // F, E, e, q, s, evidence
        {0, 1.25, 0.103f, 0, 0.125, 2.6621},  // p 0.103: 0.02678 / (0.01 + 0.005625 p²); its level 2.11
        {0, 1.25, 0.097f, 0, 0.125, 0},  // p 0.097: its level gives 2 p² / (0.01 + 0.005625 p²) = 1.87
        {0, 0.005, 0.002f, 0.0025, 0.125, 0},  // p 0.5, but below the quantisation
        {0.1, 0.1, 0.078f, 0, 0.125, 16.7284},  // h 0.078, p 0.975: 0.2535 / (0.006084 + 0.009541 p²)
        {0.1, 0.1, 0.082f, 0, 0.075, 26},  // at the floor, but p 1: h 0.1 > s, 0.26 / 0.01
        {0.1, 1, 0.118f, 0, 0.125, 0}};  // at the floor, p 0.109
    // clang-format on
    const std::vector<float> signal(128, 0.13f);
    for (const auto& [floor, steady, envelope, quantisation, spread, llr] : cases) {
        // clang-format off
        const Recording recording{.envelope = std::vector<float>(4, envelope), .noiseFloor = floor,
                                  .noiseFluctuation = 0.2, .meanNoise = {0.1f}, .quantisation = quantisation};
        CellTracker tracker{.signal = signal.data(), .count = 128, .recording = &recording,
                            .envelopeLevel = steady, .cell = {96, 32}, .level = {1, 1}, .steadyLevel = {1, 1},
                            .spreadCount = 1, .deviation = spread};
        // clang-format on
        SoftBit bit;
        ASSERT_TRUE(nextBit(tracker, bit));
        EXPECT_NEAR(bit.llr, llr, 1e-3) << envelope;
        EXPECT_EQ(std::tuple(bit.noSignal, tracker.weakBits == 1), std::tuple(llr == 0, llr < 3)) << envelope;
    }
}

// Sure of every bit only where the signal held throughout, every cell lay
// on its edges, its bits were decided on the slot (the evidence of one on
// lengths is a cap) and its slip risk is at most 0.0025.
TEST(RescueVerdict, SureOfEveryBitOnlyWithSignalAndOnItsEdges) {
    EXPECT_TRUE(sureOfEveryBit({.complete = true, .timingSure = true, .slipRisk = 0.0025}));
    EXPECT_FALSE(sureOfEveryBit({.complete = true, .timingSure = true, .slipRisk = 0.0026}));
    EXPECT_FALSE(sureOfEveryBit({.complete = true, .timingSure = true, .silentBits = 1}));
    EXPECT_FALSE(sureOfEveryBit({.complete = true, .timingSure = false}));
    EXPECT_FALSE(sureOfEveryBit({.complete = true, .timingSure = true, .onLengths = true}));
    EXPECT_FALSE(sureOfEveryBit({.complete = false, .timingSure = true}));
}

// A dip, not a dropout: over 64 envelope values (2048 samples), every run of
// 8 stays 4 deviations of the noise's mean over 8 above the floor. With a
// floor of 0.1 varying by 0.2 of it per value, that is 0.1 (1 + 4 × 0.2 / √8)
// = 0.1283. One run at the floor breaks it; without a measured floor nothing
// holds; over digital silence, a run must clear the sample width's noise.
TEST(RescueNoise, TheSignalHeldAboveTheNoiseOnlyWhereEveryRunClearsIt) {
    // the level, the level of the run at the dip, the floor (-1: not measured), whether the signal held
    // clang-format off
    const std::tuple<float, float, double, bool> cases[] = {
        {0.13f, 0.13f, 0.1, true}, {0.125f, 0.125f, 0.1, false}, {0.5f, 0.1f, 0.1, false}, {0.5f, 0.5f, -1, false},
        {0.5f, 0.002f, 0, true}, {0.5f, 0.0009f, 0, false}};
    // clang-format on
    for (const auto& [level, dipped, floor, held] : cases) {
        Recording recording{.envelope = std::vector<float>(64, level),
                            .noiseFloor = std::max(0.0, floor),
                            .noiseFluctuation = 0.2,
                            .noiseMeasured = floor >= 0,
                            .quantisation = 0.001};
        std::fill_n(recording.envelope.begin() + 16, 8, dipped);
        EXPECT_EQ(signalHeld(recording, 0, 2048), held) << level << " " << dipped << " " << floor;
    }
}

// At 8000 Hz hiss through the band's filters crosses the trigger mostly two
// samples apart, and two samples is a T within the range there. Measured
// in whole samples, a tenth of a second of it passed for tape signal now
// and then; placed between samples, none of 20 shows a T. The tape signal
// kazettor writes at that rate (a 1 half-wave 3 samples and a sample at
// zero, a 0 half-wave 9 and one), with that hiss 12 dB under it, shows its
// T of 4 samples.
TEST(RescueTracker, TakesNoTimingFromHissAtTheLowestRate) {
    std::mt19937 random(5);
    std::normal_distribution<float> gauss(0, 0.25f);
    std::vector<float> hiss(16000), tape;
    for (float& sample : hiss) sample = gauss(random);
    for (int cell = 0; tape.size() < hiss.size(); ++cell) {
        const std::size_t half = cell % 5 == 4 ? 9 : 3;  // a 0 after four 1s
        for (const float level : {1.0f, -1.0f}) {
            tape.insert(tape.end(), half, level);
            tape.push_back(0.0f);
        }
    }
    for (std::size_t n = 0; n < hiss.size(); ++n) tape[n] += hiss[n];
    for (std::vector<float>* signal : {&hiss, &tape}) {
        SignalFilter filter = makeSignalFilter(FilterSettings{}, 8000);
        filterSamples(filter, signal->data(), std::ssize(*signal), signal->data());
    }
    for (std::int64_t from = 0; from < std::ssize(hiss); from += 800) {
        EXPECT_EQ(estimateHalfWave(hiss.data(), from, from + 800, 8000), 0) << from;
        EXPECT_NEAR(estimateHalfWave(tape.data(), from, from + 800, 8000), 4, 0.4) << from;
    }
}
