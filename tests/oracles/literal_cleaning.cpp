#include "oracles/oracles.h"

void literalCleanPulses(std::uint8_t* s, std::int64_t n) {
    bool changed = n >= 3;
    while (changed) {
        changed = false;
        for (std::int64_t k = 0; k + 2 < n; ++k) {
            const int a = s[k], m = s[k + 1], c = s[k + 2];
            if ((a > 128 && c > 128 && m < a && m < c) || (a <= 128 && c <= 128 && m > a && m > c)) {
                s[k + 1] = static_cast<std::uint8_t>((a + c) / 2);
                changed = true;
            }
        }
    }
    changed = n >= 4;
    while (changed) {
        changed = false;
        for (std::int64_t k = 0; k + 3 < n; ++k) {
            const int a = s[k], p = s[k + 1], q = s[k + 2], d = s[k + 3];
            if ((a > 128 && d > 128 && p < a && p < d && q < a && q < d) ||
                (a <= 128 && d <= 128 && p > a && p > d && q > a && q > d)) {
                s[k + 1] = static_cast<std::uint8_t>((2 * a + d) / 3);
                s[k + 2] = static_cast<std::uint8_t>((a + 2 * d) / 3);
                changed = true;
            }
        }
    }
}
