#include "decoder/best_fit_search.h"

#include <algorithm>

// Candidate i reads two ranges of offsets: [0, a) in its first half and
// [b, 2i) in its second, with a = ceil(4i / 5) (the offsets with 5k < 4i) and
// b = floor(6i / 5) + 1 (those with 5k > 6i). From one candidate to the next
// each bound moves by at most two, so both counts of wrong-level samples are
// carried along instead of recounted: a few sample reads per candidate
// instead of up to 2i.

namespace {

struct CellWindow {
    const std::uint8_t* start;  // the cell's first sample
    std::int64_t readable;      // offsets below this lie inside the recording
    bool highFirst;             // the first half is expected high
};

// 1 when the sample at offset k is on the wrong side for its half.
inline int wrongInFirstHalf(const CellWindow& w, std::int64_t k) {
    if (k >= w.readable) return 0;
    const std::uint8_t s = w.start[k];
    return w.highFirst ? s < 128 : s > 128;
}

inline int wrongInSecondHalf(const CellWindow& w, std::int64_t k) {
    if (k >= w.readable) return 0;
    const std::uint8_t s = w.start[k];
    return w.highFirst ? s > 128 : s < 128;
}

inline std::int64_t firstHalfEnd(std::int64_t i) { return (4 * i + 4) / 5; }
inline std::int64_t secondHalfStart(std::int64_t i) { return 6 * i / 5 + 1; }

}  // namespace

std::int64_t bestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount,
                         std::int64_t position, std::int64_t separator, bool highFirst) {
    const CellWindow window{samples + position, sampleCount - position, highFirst};
    const std::int64_t lowest = std::max<std::int64_t>(1, separator / 2);
    const std::int64_t highest = 3 * separator - 1;

    std::int64_t a = firstHalfEnd(lowest);
    std::int64_t b = secondHalfStart(lowest);
    std::int64_t end = 2 * lowest;
    std::int64_t firstWrong = 0;
    std::int64_t secondWrong = 0;
    for (std::int64_t k = 0; k < a; ++k) firstWrong += wrongInFirstHalf(window, k);
    for (std::int64_t k = b; k < end; ++k) secondWrong += wrongInSecondHalf(window, k);

    std::int64_t bestScore = firstWrong + secondWrong;
    std::int64_t bestHalf = lowest;
    for (std::int64_t i = lowest + 1; i <= highest; ++i) {
        const std::int64_t nextA = firstHalfEnd(i);
        const std::int64_t nextB = secondHalfStart(i);
        const std::int64_t nextEnd = 2 * i;
        for (; a < nextA; ++a) firstWrong += wrongInFirstHalf(window, a);
        for (; end < nextEnd; ++end) secondWrong += wrongInSecondHalf(window, end);
        for (; b < nextB; ++b) secondWrong -= wrongInSecondHalf(window, b);
        const std::int64_t score = firstWrong + secondWrong;
        if (score <= bestScore) {
            bestScore = score;
            bestHalf = i;
        }
    }
    return bestHalf;
}
