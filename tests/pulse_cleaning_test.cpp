#include <random>

#include "decoder/pulse_cleaning.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

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
        Bytes literal = samples;
        literalCleanPulses(literal.data(), std::ssize(literal));
        cleanPulses(samples.data(), std::ssize(samples));
        ASSERT_EQ(samples, literal) << "round " << round;
    }
}
