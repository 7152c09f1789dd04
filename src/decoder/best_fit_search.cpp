#include "decoder/best_fit_search.h"

#include <algorithm>

// Candidate i reads two ranges of offsets: [0, a) in its first half and
// [b, 2i) in its second, with a = ceil(4i / 5) (the offsets with 5k < 4i) and
// b = floor(6i / 5) + 1 (those with 5k > 6i). From candidate i - 1 to i, 2i
// moves by 2, and a by 1 and b by 1, except when i is a multiple of 5: then
// a stays and b moves by 2. So both counts of wrong-level samples are carried
// along, four sample reads per candidate, instead of recounted; the loop is
// unrolled by that period of five.
//
// The first-half count never falls as i grows: once it alone exceeds the
// best score, no longer candidate can reach that score, and the search ends.

namespace {

template <bool kHighFirst, bool kNearEnd>
struct CellWindow {
    const std::uint8_t* start;  // the cell's first sample
    std::int64_t readable;      // offsets below this lie inside the recording

    // 1 when the sample at offset k lies on the wrong side for the half.
    int wrongInFirstHalf(std::int64_t k) const {
        if (kNearEnd && k >= readable) return 0;
        return kHighFirst ? start[k] < 128 : start[k] > 128;
    }
    int wrongInSecondHalf(std::int64_t k) const {
        if (kNearEnd && k >= readable) return 0;
        return kHighFirst ? start[k] > 128 : start[k] < 128;
    }
};

inline std::int64_t firstHalfEnd(std::int64_t i) { return (4 * i + 4) / 5; }
inline std::int64_t secondHalfStart(std::int64_t i) { return 6 * i / 5 + 1; }

template <bool kHighFirst, bool kNearEnd>
std::int64_t search(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                    std::int64_t lowest, std::int64_t highest) {
    const CellWindow<kHighFirst, kNearEnd> window{samples + position, sampleCount - position};
    std::int64_t a = firstHalfEnd(lowest);
    std::int64_t b = secondHalfStart(lowest);
    std::int64_t end = 2 * lowest;
    std::int64_t firstWrong = 0;
    std::int64_t secondWrong = 0;
    for (std::int64_t k = 0; k < a; ++k) firstWrong += window.wrongInFirstHalf(k);
    for (std::int64_t k = b; k < end; ++k) secondWrong += window.wrongInSecondHalf(k);

    std::int64_t bestScore = firstWrong + secondWrong;
    std::int64_t bestHalf = lowest;
    // One candidate step; candidates that are multiples of 5 move a by 0 and b by 2.
    auto step = [&](std::int64_t i, bool multipleOfFive) {
        if (!multipleOfFive) firstWrong += window.wrongInFirstHalf(a++);
        if (firstWrong > bestScore) return false;
        secondWrong += window.wrongInSecondHalf(end) + window.wrongInSecondHalf(end + 1);
        end += 2;
        secondWrong -= window.wrongInSecondHalf(b++);
        if (multipleOfFive) secondWrong -= window.wrongInSecondHalf(b++);
        const std::int64_t score = firstWrong + secondWrong;
        if (score <= bestScore) {
            bestScore = score;
            bestHalf = i;
        }
        return true;
    };
    // Every read in a step is of an offset under 2i, inside the cell window.
    std::int64_t i = lowest + 1;
    for (; i <= highest && i % 5 != 1; ++i) {
        if (!step(i, i % 5 == 0)) return bestHalf;
    }
    for (; i + 4 <= highest; i += 5) {
        if (!step(i, false) || !step(i + 1, false) || !step(i + 2, false) || !step(i + 3, false) ||
            !step(i + 4, true)) {
            return bestHalf;
        }
    }
    for (; i <= highest; ++i) {
        if (!step(i, i % 5 == 0)) return bestHalf;
    }
    return bestHalf;
}

}  // namespace

std::int64_t bestFitHalf(const std::uint8_t* samples, std::int64_t sampleCount, std::int64_t position,
                         std::int64_t separator, bool highFirst) {
    const std::int64_t lowest = std::max<std::int64_t>(1, separator / 2);
    const std::int64_t highest = 3 * separator - 1;
    // The longest candidate reads offsets below 2 × highest.
    const bool nearEnd = position + 2 * highest > sampleCount;
    if (highFirst) {
        return nearEnd ? search<true, true>(samples, sampleCount, position, lowest, highest)
                       : search<true, false>(samples, sampleCount, position, lowest, highest);
    }
    return nearEnd ? search<false, true>(samples, sampleCount, position, lowest, highest)
                   : search<false, false>(samples, sampleCount, position, lowest, highest);
}
