#include "rescue/conditioning.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "common/console.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "decoder/sample_loader.h"
#include "formats/wav_header.h"
#include "rescue/rescue_state.h"

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

namespace {

// Writes count samples of the block as values of full scale ±1.
void convertBlock(const SampleBlock& block, std::int64_t width, std::int64_t count, float* values) {
    const std::uint8_t* bytes = block.first;
    if (width == 2) {
        // Written out for the common width.
        for (std::int64_t i = 0; i < count; ++i) {
            std::int16_t sample;
            std::memcpy(&sample, bytes + i * block.stride, 2);
            values[i] = static_cast<float>(sample) * (1.0f / 32768.0f);
        }
        return;
    }
    for (std::int64_t i = 0; i < count; ++i) values[i] = sampleValue(bytes + i * block.stride, width);
}

// Appends up to `limit` samples of the block as values of full scale ±1.
void appendBlock(const SampleBlock& block, std::int64_t width, std::int64_t limit, std::vector<float>& out) {
    const std::int64_t count = std::min(block.count, limit);
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(count));
    convertBlock(block, width, count, out.data() + at);
}

// Samples to one level of the conditioned signal.
constexpr std::int64_t kLevelStretch = 1024;

// The envelope's value of one stride of raw samples: their mean distance
// from the slow mean, which moves once a stride by the stride's own mean.
void addEnvelopeValue(const float* samples, double gain, double& slowMean, std::vector<float>& envelope,
                      std::int64_t at) {
    float sum = 0;
    for (std::int64_t k = 0; k < kEnvelopeStride; ++k) sum += samples[k];
    slowMean += gain * (sum / kEnvelopeStride - slowMean);
    const auto mean = static_cast<float>(slowMean);
    float distance = 0;
    for (std::int64_t k = 0; k < kEnvelopeStride; ++k) distance += std::fabs(samples[k] - mean);
    envelope[static_cast<std::size_t>(at)] = distance / kEnvelopeStride;
}

}  // namespace

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

// Conditions the whole recording in place. The filters are recursive, so a
// sample waits for the one before; the two halves of the recording are
// filtered side by side, so that the processor works on both at once. The
// second half's filters start settled: they first run over the stretch
// before it, 32 time constants of the high-pass.
void filterInPlace(float* samples, std::int64_t count, const FilterSettings& settings, double rate) {
    SignalFilter first = makeSignalFilter(settings, rate), second = first;
    const std::int64_t half = count / 2;
    const auto settle = static_cast<std::int64_t>(32 * rate / (2 * kPi * settings.highPassHz)) + 64;
    for (std::int64_t n = std::max<std::int64_t>(0, half - settle); n < half; ++n)
        filterStep(second, samples[n]);
    for (std::int64_t i = 0; i < half; ++i) {
        samples[i] = filterStep(first, samples[i]);
        samples[half + i] = filterStep(second, samples[half + i]);
    }
    if (count % 2 != 0) samples[count - 1] = filterStep(second, samples[count - 1]);
}

}  // namespace

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

namespace {

// Conditions the samples of rescueState.signal, which hold the recording as
// read, and measures the levels of the result.
void conditionSignal(const FilterSettings& settings) {
    RescueState& state = rescueState;
    const std::int64_t count = state.signalCount;
    filterInPlace(state.signal.get(), count, settings, std::max(1.0, state.rate));
    emphasise(state.signal.get(), count, settings, state.rate);
    // The RMS of each stretch of the conditioned signal, for the cleaned copy's level.
    const float* conditioned = state.signal.get();
    state.stretchLevels.clear();
    for (std::int64_t at = 0; at + kLevelStretch <= count; at += kLevelStretch) {
        float power = 0;
        for (std::int64_t k = at; k < at + kLevelStretch; ++k) power += conditioned[k] * conditioned[k];
        state.stretchLevels.push_back(std::sqrt(power / kLevelStretch));
    }
}

}  // namespace

void loadConditionedSignal(const char* path, const FilterSettings& settings) {
    RescueState& state = rescueState;
    openWavInput(path, state.input);
    state.rate = state.input.layout.header.sampleRate;
    const std::int64_t count = state.input.sampleCount;
    if (static_cast<std::uint64_t>(count) < SIZE_MAX / sizeof(float)) {
        state.signal.reset(new (std::nothrow) float[static_cast<std::size_t>(std::max<std::int64_t>(1, count))]);
    }
    if (!state.signal) {
        closeWavInput(state.input);
        reportFailure("Nincs elég memória a minták betöltéséhez.\n");
    }
    state.signalCount = count;
    // The envelope: the mean distance of the samples from their slow mean
    // (20 ms), so that an offset does not count as signal, but a dropout
    // shows at once and a filter's ringing does not hide it.
    state.envelope.assign(static_cast<std::size_t>(count / kEnvelopeStride + 1), 0.0f);
    const double strideGain = std::min(1.0, kEnvelopeStride / std::max(1.0, 0.02 * state.rate));
    double slowMean = 0;
    std::array<float, kEnvelopeStride> stride{};
    std::int64_t inStride = 0;
    std::int64_t stored = 0;
    for (SampleBlock block; nextSampleBlock(state.input, block); stored += block.count) {
        float* raw = state.signal.get() + stored;
        convertBlock(block, state.input.sampleBytes, block.count, raw);
        if (stored == 0 && block.count > 0) slowMean = raw[0];
        // Strides that straddle two blocks are gathered in `stride` first.
        std::int64_t i = 0;
        for (; inStride > 0 && i < block.count; ++i) {
            stride[static_cast<std::size_t>(inStride)] = raw[i];
            if (++inStride == kEnvelopeStride) {
                addEnvelopeValue(stride.data(), strideGain, slowMean, state.envelope,
                                 (stored + i) / kEnvelopeStride);
                inStride = 0;
            }
        }
        for (; i + kEnvelopeStride <= block.count; i += kEnvelopeStride) {
            addEnvelopeValue(raw + i, strideGain, slowMean, state.envelope, (stored + i) / kEnvelopeStride);
        }
        for (; i < block.count; ++i) stride[static_cast<std::size_t>(inStride++)] = raw[i];
    }
    conditionSignal(settings);
    createOutputDirectory(pathBase);
}

void conditionAgain(const FilterSettings& settings) {
    RescueState& state = rescueState;
    seekSample(state.input, 0);
    std::int64_t stored = 0;
    for (SampleBlock block; stored < state.signalCount && nextSampleBlock(state.input, block); stored += block.count)
        convertBlock(block, state.input.sampleBytes, std::min(block.count, state.signalCount - stored),
                     state.signal.get() + stored);
    conditionSignal(settings);
}

std::vector<float> readRawSamples(std::int64_t first, std::int64_t count) {
    WavInput& input = rescueState.input;
    first = std::clamp<std::int64_t>(first, 0, input.sampleCount);
    count = std::clamp<std::int64_t>(count, 0, input.sampleCount - first);
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>(count));
    seekSample(input, first);
    for (SampleBlock block;
         static_cast<std::int64_t>(samples.size()) < count && nextSampleBlock(input, block);) {
        appendBlock(block, input.sampleBytes, count - static_cast<std::int64_t>(samples.size()), samples);
    }
    return samples;
}

void writeConditionedWav() {
    const RescueState& state = rescueState;
    const float* signal = state.signal.get();
    // The level: the 90th percentile of the RMS of the stretches, so that
    // neither silence nor a click sets it.
    std::vector<float> levels = state.stretchLevels;
    double level = 0;
    if (!levels.empty()) {
        const auto at = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * 9 / 10);
        std::nth_element(levels.begin(), at, levels.end());
        level = *at;
    }
    // 8 bits, as the default decoder's cleaned signal: enough to see, and
    // half the bytes of 16.
    const float gain = level > 0 ? static_cast<float>(0.3 * 127.0 / level) : 1.0f;
    const std::int64_t count = state.signalCount;
    WavHeader header = makePcmHeader(static_cast<std::uint32_t>(state.rate), 8);
    header.dataSize = headerSizeField(count);
    header.riffSize = headerSizeField(count + 36);
    const std::string path = cleanedWavPath(pathBase);
    OutputFile file;
    if (!openOutputFile(file, path, "wb")) reportFailure(kOpenFailedMessage, path.c_str());
    const WavHeaderBytes bytes = encodeWavHeader(header);
    writeOutput(file, bytes.data(), bytes.size());
    constexpr std::int64_t kChunk = 65536;
    std::vector<std::uint8_t> chunk(kChunk);
    for (std::int64_t at = 0; at < count; at += kChunk) {
        const std::int64_t length = std::min(count - at, kChunk);
        const float* from = signal + at;
        for (std::int64_t i = 0; i < length; ++i) {
            const float value = std::min(255.0f, std::max(0.0f, 128.5f + from[i] * gain));
            chunk[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        }
        writeOutput(file, chunk.data(), static_cast<std::size_t>(length));
    }
    closeOutputFile(file);
}
