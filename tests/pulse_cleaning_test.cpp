#include <gtest/gtest.h>

#include <random>

#include "decoder/pulse_cleaning.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

Bytes cleaned(Bytes samples, void (*clean)(std::uint8_t*, std::int64_t) = cleanPulses) {
    clean(samples.data(), static_cast<std::int64_t>(samples.size()));
    return samples;
}

Bytes literallyCleaned(Bytes samples) {
    literalCleanPulses(samples.data(), static_cast<std::int64_t>(samples.size()));
    return samples;
}

}  // namespace

TEST(PulseCleaning, SmoothsOneSampleNotches) {
    EXPECT_EQ(cleaned({200, 100, 210}, cleanOneSampleNotches), Bytes({200, 205, 210}));
    EXPECT_EQ(cleaned({60, 150, 70}, cleanOneSampleNotches), Bytes({60, 65, 70}));
    EXPECT_EQ(cleaned({130, 128, 130}, cleanOneSampleNotches), Bytes({130, 130, 130}));
    EXPECT_EQ(cleaned({128, 140, 128}, cleanOneSampleNotches), Bytes({128, 128, 128}));
    EXPECT_EQ(cleaned({200, 100, 120}, cleanOneSampleNotches), Bytes({200, 100, 120}));
    EXPECT_EQ(cleaned({100, 200, 100, 200, 100}, cleanOneSampleNotches), Bytes(5, 100));
    EXPECT_EQ(cleaned({200, 100, 180, 120, 190}, cleanOneSampleNotches), Bytes({200, 190, 189, 189, 190}));
    EXPECT_EQ(cleaned({200, 150, 100, 150, 200}), Bytes({200, 150, 150, 150, 200}));
}

TEST(PulseCleaning, SmoothsTwoSampleNotchesAfterTheOneSampleOnes) {
    EXPECT_EQ(cleaned({200, 100, 90, 210}), Bytes({200, 203, 206, 210}));
    EXPECT_EQ(cleaned({50, 200, 210, 40}), Bytes({50, 46, 43, 40}));
    EXPECT_EQ(cleaned({100, 200, 200, 100}), Bytes(4, 100));
    EXPECT_EQ(cleaned({129, 128, 128, 129}), Bytes(4, 129));
    EXPECT_EQ(cleaned({200, 100, 180, 120, 190}), Bytes({200, 190, 190, 190, 190}));
    EXPECT_EQ(cleaned({200, 100}), Bytes({200, 100}));
    EXPECT_EQ(cleaned({200, 100, 90}), Bytes({200, 100, 90}));
}

// The replay must give exactly what the repeated full sweeps give, however
// many sweeps the input needs and wherever the changes chain.
TEST(PulseCleaning, MatchesRepeatedFullSweepsOnRandomAndCraftedInput) {
    std::mt19937 random(1234);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    for (int round = 0; round < 3000; ++round) {
        Bytes samples(static_cast<std::size_t>(uniform(0, round < 2000 ? 24 : 400)));
        const int style = round % 4;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (style == 0) samples[i] = static_cast<std::uint8_t>(uniform(0, 255));
            if (style == 1) samples[i] = static_cast<std::uint8_t>(uniform(120, 136));  // around the zero line
            if (style == 2) samples[i] = static_cast<std::uint8_t>((i / 9) % 2 ? uniform(129, 255) : uniform(0, 128));
            // Alternating zig-zags on one side need many sweeps.
            if (style == 3) samples[i] = static_cast<std::uint8_t>(i % 2 ? uniform(129, 160) : uniform(200, 255));
        }
        ASSERT_EQ(cleaned(samples), literallyCleaned(samples)) << "round " << round;
    }
    // Recordings longer than the stretch the sweeps advance by at a time.
    const Bytes craftedTile = {130, 21, 89, 124, 244, 95, 20, 51, 78, 93, 240, 180, 64, 13, 116};
    for (int style = 0; style < 3; ++style) {
        Bytes samples(300000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (style == 0) samples[i] = static_cast<std::uint8_t>(uniform(0, 255));
            if (style == 1) samples[i] = static_cast<std::uint8_t>(((i / 20) % 2 ? 190 : 60) + uniform(-3, 3));
            if (style == 2) samples[i] = craftedTile[i % craftedTile.size()];
        }
        ASSERT_EQ(cleaned(samples), literallyCleaned(samples)) << "long buffer, style " << style;
    }
}
