#include "rescue/conditioning.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A two-pole Butterworth filter's coefficients, by the bilinear transform:
// y = b0 x + b1 x' + b2 x'' - a1 y' - a2 y''.
struct Biquad {
    double b0, b1, b2, a1, a2;
};

// A low-pass or high-pass at `hz`, never above 0.45 of the rate.
Biquad butterworth(double hz, double rate, bool highPass) {
    const double w0 = 2.0 * kPi * std::min(hz, 0.45 * rate) / rate;
    const double alpha = std::sin(w0) / (2.0 * std::sqrt(0.5)), a0 = 1.0 + alpha;
    const double c = std::cos(w0);
    const double b0 = (highPass ? 1.0 + c : 1.0 - c) / 2.0 / a0;
    return {b0, (highPass ? -(1.0 + c) : 1.0 - c) / a0, b0, -2.0 * c / a0, (1.0 - alpha) / a0};
}

}  // namespace

float sampleValue(const std::uint8_t* bytes, std::int64_t width) {
    if (width == 1) return static_cast<float>(bytes[0] - 128) / 128.0f;
    std::uint32_t word = 0;
    for (std::int64_t i = 0; i < width; ++i) word |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    const auto leftJustified = static_cast<std::int32_t>(word << (32 - 8 * width));
    return static_cast<float>(static_cast<double>(leftJustified) / 2147483648.0);
}

SignalFilter makeSignalFilter(const FilterSettings& settings, double rate) {
    SignalFilter filter;
    filter.highPassPole = 1.0 / (1.0 + 2.0 * kPi * settings.highPassHz / rate);
    const Biquad lowPass = butterworth(settings.lowPassHz, rate, false);
    filter.b0 = lowPass.b0;
    filter.b1 = lowPass.b1;
    filter.b2 = lowPass.b2;
    filter.a1 = lowPass.a1;
    filter.a2 = lowPass.a2;
    return filter;
}

namespace {

inline float filterStep(SignalFilter& f, double x) {
    f.highPassed = f.highPassPole * (f.highPassed + x - f.lastInput);
    f.lastInput = x;
    const double y = f.b0 * f.highPassed + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = f.highPassed;
    f.y2 = f.y1;
    f.y1 = y;
    return static_cast<float>(y);
}

}  // namespace

namespace {

// The envelope's filters: one pole each, a high-pass at 300 Hz and a
// low-pass at 3 kHz, and the magnitudes summed over the stride.
struct EnvelopeFilter {
    float highPole = 0, lowGain = 0;
    float lastInput = 0, high = 0, low = 0, sum = 0;
};

EnvelopeFilter makeEnvelopeFilter(double rate) {
    EnvelopeFilter filter;
    filter.highPole = static_cast<float>(1.0 / (1.0 + 2.0 * kPi * 300.0 / rate));
    filter.lowGain = static_cast<float>(1.0 - std::exp(-2.0 * kPi * std::min(3000.0, 0.45 * rate) / rate));
    return filter;
}

inline void envelopeStep(EnvelopeFilter& f, float x) {
    f.high = f.highPole * (f.high + x - f.lastInput);
    f.lastInput = x;
    f.low += f.lowGain * (f.high - f.low);
    f.sum += std::fabs(f.low);
}

// Stores the envelope value of the stride that sample n completes.
inline void closeStride(EnvelopeFilter& f, std::int64_t n, std::int64_t stride, float* envelope) {
    if ((n + 1) % stride != 0) return;
    envelope[n / stride] = f.sum / static_cast<float>(stride);
    f.sum = 0;
}


// The four parts side by side in the lanes of vectors (of doubles for the
// signal's filters, of floats for the envelope's), a stride at a time, each
// part's envelope value closed after it (the parts start at strides'
// boundaries). Each lane computes what filterStep and envelopeStep compute,
// operation for operation, so the values are the same.
using Doubles = double __attribute__((vector_size(32)));
using Floats = float __attribute__((vector_size(16)));
using FloatBits = std::int32_t __attribute__((vector_size(16)));

void filterParts(float* samples, std::int64_t part, std::int64_t stride, SignalFilter* filters,
                 EnvelopeFilter* levels, float* envelope) {
    const SignalFilter& c = filters[0];
    const Doubles pole = Doubles{} + c.highPassPole, b0 = Doubles{} + c.b0, b1 = Doubles{} + c.b1,
                  b2 = Doubles{} + c.b2, a1 = Doubles{} + c.a1, a2 = Doubles{} + c.a2;
    const Floats highPole = Floats{} + levels[0].highPole, lowGain = Floats{} + levels[0].lowGain;
    Doubles last, high, x1, x2, y1, y2;
    Floats envelopeLast, envelopeHigh, envelopeLow, sum;
    for (int k = 0; k < 4; ++k) {
        last[k] = filters[k].lastInput, high[k] = filters[k].highPassed;
        x1[k] = filters[k].x1, x2[k] = filters[k].x2, y1[k] = filters[k].y1, y2[k] = filters[k].y2;
        envelopeLast[k] = levels[k].lastInput, envelopeHigh[k] = levels[k].high, envelopeLow[k] = levels[k].low;
        sum[k] = levels[k].sum;
    }
    for (std::int64_t first = 0; first < part; first += stride) {
        for (std::int64_t i = first; i < first + stride; ++i) {
            const Floats in = {samples[i], samples[part + i], samples[2 * part + i], samples[3 * part + i]};
            envelopeHigh = highPole * (envelopeHigh + in - envelopeLast);
            envelopeLast = in;
            envelopeLow += lowGain * (envelopeHigh - envelopeLow);
            sum += reinterpret_cast<Floats>(reinterpret_cast<FloatBits>(envelopeLow) & 0x7FFFFFFF);  // |low|
            const Doubles x = __builtin_convertvector(in, Doubles);
            high = pole * (high + x - last);
            last = x;
            const Doubles y = b0 * high + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = high;
            y2 = y1;
            y1 = y;
            const Floats out = __builtin_convertvector(y, Floats);
            for (int k = 0; k < 4; ++k) samples[k * part + i] = out[k];
        }
        for (int k = 0; k < 4; ++k) envelope[(k * part + first) / stride] = sum[k] / static_cast<float>(stride);
        sum = Floats{};
    }
    for (int k = 0; k < 4; ++k) {
        filters[k].lastInput = last[k], filters[k].highPassed = high[k];
        filters[k].x1 = x1[k], filters[k].x2 = x2[k], filters[k].y1 = y1[k], filters[k].y2 = y2[k];
        levels[k].lastInput = envelopeLast[k], levels[k].high = envelopeHigh[k], levels[k].low = envelopeLow[k];
        levels[k].sum = sum[k];
    }
}

}  // namespace

// The filters are recursive, so a sample waits for the one before: the
// recording is filtered in four parts side by side, so that the processor
// works on all of them at once. Each part's filters start settled: they
// first run over the stretch before it, 32 time constants of the slowest
// high-pass.
void filterInPlace(float* samples, std::int64_t count, const FilterSettings& settings, double rate,
                   float* envelope, std::int64_t stride) {
    constexpr int kParts = 4;  // the lanes of filterParts
    // With an envelope, the parts meet at a stride's boundary.
    const std::int64_t unit = envelope != nullptr ? stride : 1;
    const std::int64_t part = count / kParts / unit * unit;
    const double slowest = std::min(settings.highPassHz, 300.0);
    const auto settle = static_cast<std::int64_t>(32 * rate / (2 * kPi * slowest)) + 64;
    SignalFilter filters[kParts];
    EnvelopeFilter levels[kParts];
    for (int k = 0; k < kParts; ++k) {
        filters[k] = makeSignalFilter(settings, rate);
        levels[k] = makeEnvelopeFilter(rate);
        for (std::int64_t n = std::max<std::int64_t>(0, k * part - settle); n < k * part; ++n) {
            filterStep(filters[k], samples[n]);
            envelopeStep(levels[k], samples[n]);
        }
        levels[k].sum = 0;
    }
    if (envelope == nullptr) {
        for (std::int64_t i = 0; i < part; ++i) {
            for (int k = 0; k < kParts; ++k) samples[k * part + i] = filterStep(filters[k], samples[k * part + i]);
        }
    } else {
        filterParts(samples, part, stride, filters, levels, envelope);
    }
    // The rest, after the last part.
    for (std::int64_t n = kParts * part; n < count; ++n) {
        if (envelope != nullptr) envelopeStep(levels[kParts - 1], samples[n]);
        samples[n] = filterStep(filters[kParts - 1], samples[n]);
        if (envelope != nullptr) closeStride(levels[kParts - 1], n, stride, envelope);
    }
}

void filterSamples(SignalFilter& f, const float* in, std::int64_t count, float* out) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = filterStep(f, in[i]);
}

void emphasise(float* samples, std::int64_t count, const FilterSettings& settings, double rate) {
    if (settings.emphasisHz <= 0 || rate <= 0) return;
    const auto [b0, b1, b2, a1, a2] = butterworth(settings.emphasisHz, rate, true);
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (std::int64_t n = 0; n < count; ++n) {
        const double x = samples[n], y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = std::exchange(x1, x);
        y2 = std::exchange(y1, y);
        samples[n] = static_cast<float>(y);
    }
}

