#pragma once

// Random draws for the simulations: std::mt19937, whose sequence the standard
// fixes, with distributions of our own (the standard library's differ from
// one library to another), so that a seed gives the same recording anywhere.

#include <cmath>
#include <cstdint>
#include <random>

class Draw {
public:
    explicit Draw(std::uint32_t seed) : engine_(seed) {}

    // Uniform in [0, 1), from 53 bits of two outputs.
    double uniform() {
        const std::uint64_t high = engine_() >> 5, low = engine_() >> 6;
        return static_cast<double>((high << 26) | low) * 0x1.0p-53;
    }
    double uniform(double from, double to) { return from + (to - from) * uniform(); }
    // Uniform over the integers from..to, both included.
    int integer(int from, int to) {
        return from + static_cast<int>(uniform() * static_cast<double>(to - from + 1));
    }
    bool chance(double probability) { return uniform() < probability; }
    double sign() { return chance(0.5) ? 1.0 : -1.0; }
    std::uint8_t byte() { return static_cast<std::uint8_t>(engine_() >> 24); }

    // Standard normal, by Marsaglia's polar method (two values per accepted
    // pair; 32-bit uniforms are plenty for noise).
    double normal() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        for (;;) {
            const double u = static_cast<double>(engine_()) * 0x1.0p-31 - 1.0;
            const double v = static_cast<double>(engine_()) * 0x1.0p-31 - 1.0;
            const double r = u * u + v * v;
            if (r >= 1.0 || r == 0.0) continue;
            const double factor = std::sqrt(-2.0 * std::log(r) / r);
            spare_ = v * factor;
            haveSpare_ = true;
            return u * factor;
        }
    }

private:
    std::mt19937 engine_;
    double spare_ = 0;
    bool haveSpare_ = false;
};
