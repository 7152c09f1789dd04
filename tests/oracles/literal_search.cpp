#include <algorithm>

#include "oracles/oracles.h"

std::int64_t literalBestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                                std::int64_t separator, bool highFirst) {
    std::int64_t best = 999999999, bestHalf = 0;
    for (std::int64_t i = std::max<std::int64_t>(1, separator / 2); i <= 3 * separator - 1; ++i) {
        std::int64_t score = 0;
        for (std::int64_t k = 0; k < 2 * i; ++k) {
            if (!(k < 0.8 * i || k > 1.2 * i)) continue;
            if (position + k >= sampleCount) continue;
            const std::uint8_t s = samples[position + k];
            const bool highExpected = (k < i) == highFirst;
            if (highExpected ? s < 128 : s > 128) ++score;
        }
        if (score <= best) {
            best = score;
            bestHalf = i;
        }
    }
    return bestHalf;
}
