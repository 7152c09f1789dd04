// Puts the literal best-fit search in the place of the program's own, so that
// the whole program can be timed with either.
#include "decoder/best_fit_search.h"
#include "oracles/oracles.h"

std::int64_t bestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                         std::int64_t separator, bool highFirst) {
    return literalBestFitHalf(samples, sampleCount, position, separator, highFirst);
}
