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

    // Standard normal, by the Box-Muller transform (two values per pair of draws).
    double normal() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double u = 1.0 - uniform(), v = uniform();
        const double radius = std::sqrt(-2.0 * std::log(u)), angle = 2.0 * M_PI * v;
        spare_ = radius * std::sin(angle);
        haveSpare_ = true;
        return radius * std::cos(angle);
    }

private:
    std::mt19937 engine_;
    double spare_ = 0;
    bool haveSpare_ = false;
};
