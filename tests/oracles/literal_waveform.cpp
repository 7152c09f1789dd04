#include <algorithm>
#include <cmath>

#include "oracles/oracles.h"

std::vector<std::uint8_t> literalRenderByte(std::uint8_t byte, int bits, int shape, int h) {
    const double positive = bits == 8 ? 127.0 : static_cast<double>((std::int64_t{1} << (bits - 1)) - 1);
    const double negative = bits == 8 ? -128.0 : -static_cast<double>(std::int64_t{1} << (bits - 1));
    const int offset = bits == 8 ? 128 : 0;  // and the zero line
    std::vector<std::uint8_t> out;
    auto writeSample = [&](std::int32_t value) {
        for (int i = 0; i < bits / 8; ++i)
            out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i)));
    };
    for (int mask = 0x80; mask != 0; mask >>= 1) {
        const bool one = (byte & mask) != 0;
        if (shape == 0) {
            const int count = one ? 2 * h : 6 * h;
            for (int i = 0; i < count; ++i)
                writeSample(offset + static_cast<std::int32_t>(
                                         std::round(positive * std::sin((i * 6.2831853072) / count))));
            continue;
        }
        const int count = one ? h : 3 * h;
        for (int half = 0; half < 2; ++half) {
            for (int k = 1; k <= count; ++k) {
                const int m = std::min(k, count + 1 - k);
                const std::int32_t n = 4 * m * h;
                double v = static_cast<double>(n) / shape / count;
                if (v > 1.0) v = 1.0;
                const double factor = half == 0 ? positive : negative;
                writeSample(offset + static_cast<std::int32_t>(std::round(factor * v)));
            }
            if (shape >= 2) writeSample(offset);
        }
    }
    return out;
}
