#include <random>

#include "decoder/pulse_cleaning.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

// The samples as the program cleans them, or the given cleaning.
Bytes cleaned(Bytes samples, void (*clean)(std::uint8_t*, std::int64_t) = cleanPulses) {
    clean(samples.data(), static_cast<std::int64_t>(samples.size()));
    return samples;
}

}  // namespace

// A notch toward the zero line between two samples on one side of it is
// smoothed (128 is the low side), others are kept; a sweep goes on with the
// samples it has just changed; two-sample notches are smoothed after all
// one-sample ones.
TEST(PulseCleaning, SmoothsNotchesTowardTheZeroLine) {
    // clang-format off
    const std::pair<Bytes, Bytes> cases[] = {
        {{200, 100, 210}, {200, 205, 210}}, {{130, 128, 130}, {130, 130, 130}}, {{128, 140, 128}, {128, 128, 128}},
        {{200, 100, 120}, {200, 100, 120}}, {{100, 200, 100, 200, 100}, Bytes(5, 100)}, {{200, 100}, {200, 100}},
        {{200, 100, 90, 210}, {200, 203, 206, 210}}, {{50, 200, 210, 40}, {50, 46, 43, 40}},
        {{129, 128, 128, 129}, Bytes(4, 129)}, {{200, 100, 180, 120, 190}, {200, 190, 190, 190, 190}},
        {{200, 150, 100, 150, 200}, {200, 150, 150, 150, 200}},
    };
    // clang-format on
    for (const auto& [in, out] : cases) EXPECT_EQ(cleaned(in), out);
}

// However many sweeps an input needs and wherever its changes chain, the
// result must be exactly that of the repeated full sweeps.
TEST(PulseCleaning, MatchesRepeatedFullSweeps) {
    std::mt19937 random(1234);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const Bytes craftedTile = {130, 21, 89, 124, 244, 95, 20, 51, 78, 93, 240, 180, 64, 13, 116};
    for (int round = 0; round < 3006; ++round) {
        // Short buffers of four kinds, then long ones, beyond the stretch the sweeps advance by.
        Bytes samples(round < 3000 ? static_cast<std::size_t>(uniform(0, round < 2000 ? 24 : 400)) : 300000);
        const int kind = round % 5;
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::uint8_t>(
                kind == 0   ? uniform(0, 255)
                : kind == 1 ? uniform(120, 136)                                    // the zero line
                : kind == 2 ? ((i / 9) % 2 ? uniform(129, 255) : uniform(0, 128))  // half-waves
                : kind == 3 ? (i % 2 ? uniform(129, 160) : uniform(200, 255))      // zig-zags
                            : craftedTile[i % craftedTile.size()] + (round < 3000 ? uniform(0, 2) : 0));
        ASSERT_EQ(cleaned(samples), cleaned(samples, literalCleanPulses)) << "round " << round;
    }
}
