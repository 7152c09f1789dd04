#pragma once

// Filter sections for the simulated playback chains: biquads after the
// audio-EQ cookbook's formulas, and a first-order high-pass.

#include <cmath>

struct Biquad {
    double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double step(double x) {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Two poles, Butterworth: a low-pass or (high) a high-pass.
inline Biquad butterworth(double cutoff, double rate, bool high) {
    const double w0 = 2 * M_PI * cutoff / rate, alpha = std::sin(w0) / std::sqrt(2.0), c = std::cos(w0);
    const double a0 = 1 + alpha;
    if (high) return {(1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
    return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

// Two poles of quality q: above 0.71 the response peaks before it falls.
inline Biquad lowPass(double cutoff, double rate, double q) {
    const double w0 = 2 * M_PI * cutoff / rate, alpha = std::sin(w0) / (2 * q), c = std::cos(w0);
    const double a0 = 1 + alpha;
    return {(1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0, -2 * c / a0, (1 - alpha) / a0};
}

// A bell of gainDb at centre, quality q.
inline Biquad peaking(double centre, double rate, double q, double gainDb) {
    const double w0 = 2 * M_PI * centre / rate, alpha = std::sin(w0) / (2 * q), c = std::cos(w0);
    const double a = std::pow(10.0, gainDb / 40);
    const double a0 = 1 + alpha / a;
    return {(1 + alpha * a) / a0, -2 * c / a0, (1 - alpha * a) / a0, -2 * c / a0, (1 - alpha / a) / a0};
}

// One pole, by the bilinear transform.
inline Biquad firstOrderHighPass(double cutoff, double rate) {
    const double k = std::tan(M_PI * cutoff / rate);
    return {1 / (1 + k), -1 / (1 + k), 0, (k - 1) / (k + 1), 0};
}
