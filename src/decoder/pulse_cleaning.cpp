#include "decoder/pulse_cleaning.h"

#include <array>
#include <vector>

// How the sweeps are replayed without sweeping.
//
// Call E(t, k) the look at window k in sweep t. A window of W samples
// changes only its inner samples, so E(t, k) depends on E(t, k - 1) (which may
// have changed the window's first samples earlier in the same sweep) and on
// E(t - 1, k + W - 2) (the last look of the previous sweep that changed the
// window's last sample). Give E(t, k) the diagonal number k + (W - 1) t: every
// look it depends on has a smaller diagonal, and two looks on one diagonal
// share at most a sample that neither changes. Taking the looks diagonal by
// diagonal therefore gives exactly the result of the sweeps in their order.
//
// A look can only change something if one of its samples changed since the
// same window was looked at in the previous sweep, and that can only have
// been done by a look at most W - 1 diagonals earlier. So every look of sweep
// 0 is made (diagonal k), and a look of a later sweep is made only when a
// change marked it: a small ring of pending windows per diagonal suffices.

namespace {

constexpr int kHigh = 128;  // above is the high side, this and below the low side

bool smoothNotch1(std::uint8_t* w) {
    const int a = w[0], m = w[1], c = w[2];
    const bool dip = a > kHigh && c > kHigh && m < a && m < c;
    const bool peak = a <= kHigh && c <= kHigh && m > a && m > c;
    if (!dip && !peak) return false;
    w[1] = static_cast<std::uint8_t>((a + c) / 2);
    return true;
}

bool smoothNotch2(std::uint8_t* w) {
    const int a = w[0], p = w[1], q = w[2], d = w[3];
    const bool dip = a > kHigh && d > kHigh && p < a && p < d && q < a && q < d;
    const bool peak = a <= kHigh && d <= kHigh && p > a && p > d && q > a && q > d;
    if (!dip && !peak) return false;
    w[1] = static_cast<std::uint8_t>((2 * a + d) / 3);
    w[2] = static_cast<std::uint8_t>((a + 2 * d) / 3);
    return true;
}

template <int kWidth, bool (*smooth)(std::uint8_t*)>
class DiagonalReplay {
public:
    DiagonalReplay(std::uint8_t* samples, std::int64_t lastWindow)
        : samples_(samples), lastWindow_(lastWindow) {}

    void run() {
        std::int64_t diagonal = 0;
        while (diagonal <= lastWindow_ || pendingCount_ > 0) {
            if (pendingCount_ == 0) {
                // Nothing of a later sweep waits: scan sweep 0 for its next change.
                while (diagonal <= lastWindow_ && !smooth(samples_ + diagonal)) ++diagonal;
                if (diagonal > lastWindow_) break;
                markAfterChange(diagonal, diagonal, false);
                ++diagonal;
                continue;
            }
            std::vector<std::int64_t>& due = ring_[ringSlot(diagonal)];
            pendingCount_ -= static_cast<std::int64_t>(due.size());
            if (diagonal <= lastWindow_ && smooth(samples_ + diagonal)) {
                markAfterChange(diagonal, diagonal, false);
            }
            for (std::size_t i = 0; i < due.size(); ++i) {
                const std::int64_t window = due[i];
                if (smooth(samples_ + window)) markAfterChange(window, diagonal, true);
            }
            due.clear();
            ++diagonal;
        }
    }

private:
    static constexpr int kStride = kWidth - 1;  // diagonal step from one sweep to the next

    static std::size_t ringSlot(std::int64_t diagonal) {
        return static_cast<std::size_t>(diagonal % kWidth);
    }

    void mark(std::int64_t window, std::int64_t diagonal) {
        if (window < 0 || window > lastWindow_) return;
        ring_[ringSlot(diagonal)].push_back(window);
        ++pendingCount_;
    }

    // Window k changed on this diagonal: the windows that now read a changed
    // sample. Later windows of the same sweep are marked only for later
    // sweeps, since every window of sweep 0 is looked at anyway.
    void markAfterChange(std::int64_t window, std::int64_t diagonal, bool laterSweep) {
        if (laterSweep) {
            for (int j = 1; j <= kWidth - 2; ++j) mark(window + j, diagonal + j);
        }
        for (int j = 0; j <= kWidth - 2; ++j) mark(window - j, diagonal + kStride - j);
    }

    std::uint8_t* samples_;
    std::int64_t lastWindow_;
    std::array<std::vector<std::int64_t>, kWidth> ring_;
    std::int64_t pendingCount_ = 0;
};

}  // namespace

bool smoothOneSampleNotch(std::uint8_t* window) { return smoothNotch1(window); }
bool smoothTwoSampleNotch(std::uint8_t* window) { return smoothNotch2(window); }

void cleanOneSampleNotches(std::uint8_t* samples, std::int64_t count) {
    if (count < 3) return;
    DiagonalReplay<3, smoothNotch1>(samples, count - 3).run();
}

void cleanTwoSampleNotches(std::uint8_t* samples, std::int64_t count) {
    if (count < 4) return;
    DiagonalReplay<4, smoothNotch2>(samples, count - 4).run();
}

void cleanPulses(std::uint8_t* samples, std::int64_t count) {
    cleanOneSampleNotches(samples, count);
    cleanTwoSampleNotches(samples, count);
}
