#include "decoder/pulse_cleaning.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How the sweeps are replayed without sweeping everything again.
//
// A pass is a series of sweeps; sweep t looks at windows 0, 1, ... in order.
// A window of W samples changes only its inner samples, so the look at window
// k in sweep t needs the previous sweep to have looked at windows up to
// k + W - 2 (the last one that changes a sample window k reads) and nothing
// else of it; the sweeps can therefore run one behind the other, each a few
// windows behind the one before, in a single walk over the recording.
//
// A look can only change something if one of its samples changed since the
// same window was looked at in the previous sweep. Sweep 0 looks at every
// window; a later sweep looks only at the windows that a change of the sweep
// before (or an earlier change of its own) marked, and at clean windows
// between nearby marks, where looking is harmless. Within a stretch of
// windows, those before the first change see the samples as they stand, so
// they are tested sixteen at a time where SSE2 is there.

namespace {

constexpr int kHigh = 128;  // above is the high side, this and below the low side

// Bits set in a 16-bit mask; inline, since the baseline x86-64 has no popcount instruction.
inline int countBits16(unsigned x) {
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return static_cast<int>((x + (x >> 8)) & 0x1Fu);
}

// The two kinds of window: a one-sample notch (pass A) and a two-sample notch
// (pass B), each with its test and the change it makes.
struct OneSampleNotch {
    static constexpr int kWidth = 3;
    static bool matches(const std::uint8_t* w) {
        const int a = w[0], m = w[1], c = w[2];
        const bool dip = a > kHigh && c > kHigh && m < a && m < c;
        const bool peak = a <= kHigh && c <= kHigh && m > a && m > c;
        return dip || peak;
    }
    static void smooth(std::uint8_t* w) { w[1] = static_cast<std::uint8_t>((w[0] + w[2]) / 2); }
};

struct TwoSampleNotch {
    static constexpr int kWidth = 4;
    static bool matches(const std::uint8_t* w) {
        const int a = w[0], p = w[1], q = w[2], d = w[3];
        const bool dip = a > kHigh && d > kHigh && p < a && p < d && q < a && q < d;
        const bool peak = a <= kHigh && d <= kHigh && p > a && p > d && q > a && q > d;
        return dip || peak;
    }
    // The two inner samples become the straight line from a to d.
    static void smooth(std::uint8_t* w) {
        const int a = w[0], d = w[3];
        w[1] = static_cast<std::uint8_t>((2 * a + d) / 3);
        w[2] = static_cast<std::uint8_t>((a + 2 * d) / 3);
    }
};

// Looks at one window: true, with the notch smoothed, when it matched.
template <typename Notch>
bool look(std::uint8_t* window) {
    if (!Notch::matches(window)) return false;
    Notch::smooth(window);
    return true;
}

// Which of the 16 windows from `first` on would change, tested on the
// samples as they stand: bit i for window first + i. Reads first + 15 + W - 1.
template <typename Notch>
unsigned changingWindows16(const std::uint8_t* samples) {
    constexpr int kWidth = Notch::kWidth;
#if defined(__SSE2__)
    const __m128i signFlip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i zero = _mm_setzero_si128();
    // Offset binary to signed: above 128 becomes above 0, and the order stays.
    auto centred = [&](int at) {
        return _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + at)), signFlip);
    };
    const __m128i a = centred(0);
    const __m128i d = centred(kWidth - 1);
    const __m128i aHigh = _mm_cmpgt_epi8(a, zero);
    const __m128i dHigh = _mm_cmpgt_epi8(d, zero);
    __m128i below = _mm_and_si128(aHigh, dHigh);  // inner samples below both ends
    __m128i above = _mm_andnot_si128(_mm_or_si128(aHigh, dHigh), _mm_set1_epi8(-1));
    for (int inner = 1; inner <= kWidth - 2; ++inner) {
        const __m128i m = centred(inner);
        below = _mm_and_si128(below, _mm_and_si128(_mm_cmplt_epi8(m, a), _mm_cmplt_epi8(m, d)));
        above = _mm_and_si128(above, _mm_and_si128(_mm_cmpgt_epi8(m, a), _mm_cmpgt_epi8(m, d)));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(below, above)));
#else
    unsigned mask = 0;
    for (int i = 0; i < 16; ++i) {
        if (Notch::matches(samples + i)) mask |= 1u << i;
    }
    return mask;
#endif
}

// A stretch of windows, first to last inclusive.
struct WindowRange {
    std::int64_t first;
    std::int64_t last;
};

// The windows one sweep still has to look at, in order.
struct SweepQueue {
    static constexpr std::int64_t kNone = INT64_MIN;

    std::vector<WindowRange> ranges;  // from `head` on: not yet looked at, increasing, disjoint
    std::size_t head = 0;
    std::int64_t openEnd = kNone;  // last window of the last range while it is still queued

    bool empty() const { return head == ranges.size(); }
    void pop() {
        if (++head == ranges.size()) openEnd = kNone;
    }
    // More windows after a change in the range being looked at.
    void extendHead(std::int64_t last) {
        WindowRange& range = ranges[head];
        range.last = std::max(range.last, last);
        if (head + 1 == ranges.size()) openEnd = range.last;
    }

    // Windows closer than this to the last marked range are looked at too:
    // that is cheaper than a new range, and looking at a clean window changes nothing.
    static constexpr std::int64_t kJoinGap = 128;

    void mark(std::int64_t first, std::int64_t last) {
        if (openEnd != kNone && first <= openEnd + kJoinGap) {
            openEnd = std::max(openEnd, last);
            ranges[ranges.size() - 1].last = openEnd;
            return;
        }
        if (head > 0 && head * 2 >= ranges.size()) {
            ranges.erase(ranges.begin(), ranges.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
        ranges.push_back({first, last});
        openEnd = last;
    }
};

template <typename Notch>
class PipelinedSweeps {
    static constexpr int kWidth = Notch::kWidth;

public:
    PipelinedSweeps(std::uint8_t* samples, std::int64_t lastWindow)
        : samples_(samples), lastWindow_(lastWindow) {}

    void run() {
        sweeps_.emplace_back();
        sweeps_[0].mark(0, lastWindow_);
        // Sweep 0 advances a chunk at a time; every later sweep follows as
        // far as the sweep before it allows.
        constexpr std::int64_t kChunk = 1 << 16;
        for (std::int64_t reach = 0; reach <= lastWindow_;) {
            reach = std::min(reach + kChunk, lastWindow_ + 1);
            std::int64_t limit = reach == lastWindow_ + 1 ? kEverything : reach;
            for (std::size_t t = 0; t < sweeps_.size(); ++t) {
                advance(t, limit);
                // Sweep t has looked at everything below `limit` it ever will;
                // sweep t + 1 may look at windows whose samples sweep t is done with.
                if (limit != kEverything) limit -= kWidth - 2;
            }
        }
    }

private:
    static constexpr std::int64_t kEverything = INT64_MAX;
    // From this many changes among sixteen windows on, they are looked at one by one.
    static constexpr int kDenseChanges = 5;

    // Looks, in sweep t, at the queued windows below limit.
    void advance(std::size_t t, std::int64_t limit) {
        if (sweeps_[t].empty()) return;
        // The next sweep's queue exists before any range of this one is held.
        if (t + 1 == sweeps_.size()) sweeps_.emplace_back();
        SweepQueue& queue = sweeps_[t];
        while (!queue.empty()) {
            const std::int64_t first = queue.ranges[queue.head].first;
            if (first >= limit) return;
            const std::int64_t stop = lookAt(t, first, limit);
            if (queue.ranges[queue.head].last < stop) {
                queue.pop();
            } else {
                queue.ranges[queue.head].first = stop;  // the rest waits for the sweep before
                return;
            }
        }
    }

    // Looks at the windows of sweep t's head range from `window` on, below
    // limit, in order; returns the first window it did not look at.
    std::int64_t lookAt(std::size_t t, std::int64_t window, std::int64_t limit) {
        const SweepQueue& queue = sweeps_[t];
        for (;;) {
            // A change lengthens the range, so its end is read afresh.
            const std::int64_t to = std::min(queue.ranges[queue.head].last, limit - 1);
            if (window > to) return window;
            if (window + 15 > to) {
                if (look<Notch>(samples_ + window)) changedSpan(t, window, window);
                ++window;
                continue;
            }
            const std::int64_t base = window;
            unsigned pending = changingWindows16<Notch>(samples_ + base);
            window = base + 16;
            if (pending == 0) continue;
            std::int64_t firstChange = base + std::countr_zero(pending);
            std::int64_t lastChange = firstChange;
            // (Most blocks hold one change at most: the first test settles them.)
            if ((pending & (pending - 1)) != 0 && countBits16(pending) >= kDenseChanges) {
                // Many changes: looking at each window in turn is cheaper than
                // working out which tests still hold.
                firstChange = -1;
                for (std::int64_t at = base; at < base + 16; ++at) {
                    if (!look<Notch>(samples_ + at)) continue;
                    if (firstChange < 0) firstChange = at;
                    lastChange = at;
                }
                changedSpan(t, firstChange, lastChange);
                continue;
            }
            do {
                std::int64_t at = base + std::countr_zero(pending);
                Notch::smooth(samples_ + at);  // its test holds: nothing it reads has changed
                lastChange = at;
                // The next windows read a sample just changed, so their tests
                // no longer hold: look at them one by one (a change among them
                // carries this on); the tests after them still hold.
                std::int64_t until = at + kWidth - 1;
                for (++at; at < until && at < base + 16; ++at) {
                    if (look<Notch>(samples_ + at)) {
                        lastChange = at;
                        until = at + kWidth - 1;
                    }
                }
                if (at == base + 16) break;  // the next test starts from there
                pending &= ~0u << (at - base);
            } while (pending != 0);
            changedSpan(t, firstChange, lastChange);
        }
    }

    // Looks of sweep t changed windows firstChange to lastChange (not
    // necessarily all of them): the next sweep looks at the windows that
    // read a changed sample, and this one at those after them.
    void changedSpan(std::size_t t, std::int64_t firstChange, std::int64_t lastChange) {
        sweeps_[t + 1].mark(std::max<std::int64_t>(0, firstChange - (kWidth - 2)), lastChange);
        sweeps_[t].extendHead(std::min(lastChange + kWidth - 2, lastWindow_));
    }

    std::uint8_t* samples_;
    std::int64_t lastWindow_;
    std::vector<SweepQueue> sweeps_;  // one queue per sweep that has windows to look at
};

}  // namespace

void cleanPulses(std::uint8_t* samples, std::int64_t count) {
    if (count >= 3) PipelinedSweeps<OneSampleNotch>(samples, count - 3).run();
    if (count >= 4) PipelinedSweeps<TwoSampleNotch>(samples, count - 4).run();
}
