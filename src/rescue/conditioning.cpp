#include "rescue/conditioning.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/console.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "decoder/sample_loader.h"
#include "formats/wav_header.h"
#include "rescue/rescue_state.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

float sampleValue(const std::uint8_t* bytes, std::int64_t width) {
    if (width == 1) return static_cast<float>(bytes[0] - 128) / 128.0f;
    std::uint32_t word = 0;
    for (std::int64_t i = 0; i < width; ++i) word |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    const auto leftJustified = static_cast<std::int32_t>(word << (32 - 8 * width));
    return static_cast<float>(static_cast<double>(leftJustified) / 2147483648.0);
}

namespace {

void appendBlock(const SampleBlock& block, std::int64_t width, std::int64_t limit, std::vector<float>& out) {
    const std::int64_t count = std::min(block.count, limit);
    for (std::int64_t i = 0; i < count; ++i)
        out.push_back(sampleValue(block.first + i * block.stride, width));
}

}  // namespace

SignalFilter makeSignalFilter(const FilterSettings& settings, double rate) {
    SignalFilter filter;
    filter.highPassPole = 1.0 / (1.0 + 2.0 * kPi * settings.highPassHz / rate);
    // Butterworth low-pass by the bilinear transform; never above 0.45 of the rate.
    const double cutoff = std::min(settings.lowPassHz, 0.45 * rate);
    const double w0 = 2.0 * kPi * cutoff / rate;
    const double alpha = std::sin(w0) / (2.0 * std::sqrt(0.5));
    const double a0 = 1.0 + alpha;
    filter.b0 = (1.0 - std::cos(w0)) / 2.0 / a0;
    filter.b1 = (1.0 - std::cos(w0)) / a0;
    filter.b2 = filter.b0;
    filter.a1 = -2.0 * std::cos(w0) / a0;
    filter.a2 = (1.0 - alpha) / a0;
    return filter;
}

void filterSamples(SignalFilter& f, const float* in, std::int64_t count, float* out) {
    for (std::int64_t i = 0; i < count; ++i) {
        const double x = in[i];
        f.highPassed = f.highPassPole * (f.highPassed + x - f.lastInput);
        f.lastInput = x;
        const double y = f.b0 * f.highPassed + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
        f.x2 = f.x1;
        f.x1 = f.highPassed;
        f.y2 = f.y1;
        f.y1 = y;
        out[i] = static_cast<float>(y);
    }
}

void loadConditionedSignal(const char* path, const FilterSettings& settings) {
    RescueState& state = rescueState;
    openWavInput(path, state.input);
    state.rate = state.input.layout.header.sampleRate;
    const std::int64_t count = state.input.sampleCount;
    try {
        state.signal.assign(static_cast<std::size_t>(count), 0.0f);
    } catch (const std::bad_alloc&) {
        closeWavInput(state.input);
        reportFailure("Nincs elég memória a minták betöltéséhez.\n");
    }
    SignalFilter filter = makeSignalFilter(settings, std::max(1.0, state.rate));
    // The envelope: the mean distance of the samples from their slow mean
    // (20 ms), so that an offset does not count as signal, but a dropout
    // shows at once and a filter's ringing does not hide it.
    state.envelope.assign(static_cast<std::size_t>(count / kEnvelopeStride + 1), 0.0f);
    const double slowGain = 1.0 / std::max(1.0, 0.02 * state.rate);
    double slowMean = 0, distance = 0;
    std::vector<float> raw;
    std::int64_t stored = 0;
    for (SampleBlock block; nextSampleBlock(state.input, block); stored += block.count) {
        raw.clear();
        appendBlock(block, state.input.sampleBytes, block.count, raw);
        filterSamples(filter, raw.data(), block.count, state.signal.data() + stored);
        for (std::int64_t i = 0; i < block.count; ++i) {
            const double x = raw[static_cast<std::size_t>(i)];
            if (stored + i == 0) slowMean = x;
            slowMean += slowGain * (x - slowMean);
            distance += std::fabs(x - slowMean);
            if ((stored + i + 1) % kEnvelopeStride == 0) {
                state.envelope[static_cast<std::size_t>((stored + i) / kEnvelopeStride)] =
                    static_cast<float>(distance / kEnvelopeStride);
                distance = 0;
            }
        }
    }
    createOutputDirectory(pathBase);
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
    const std::vector<float>& signal = state.signal;
    // The level: the 90th percentile of the RMS of 1024-sample stretches, so
    // that neither silence nor a click sets it.
    constexpr std::size_t kStretch = 1024;
    std::vector<float> levels;
    for (std::size_t at = 0; at + kStretch <= signal.size(); at += kStretch) {
        double power = 0;
        for (std::size_t i = at; i < at + kStretch; ++i) power += static_cast<double>(signal[i]) * signal[i];
        levels.push_back(static_cast<float>(std::sqrt(power / kStretch)));
    }
    double level = 0;
    if (!levels.empty()) {
        const auto at = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * 9 / 10);
        std::nth_element(levels.begin(), at, levels.end());
        level = *at;
    }
    const double gain = level > 0 ? 0.3 * 32767.0 / level : 1.0;

    const auto count = static_cast<std::int64_t>(signal.size());
    WavHeader header = makePcmHeader(static_cast<std::uint32_t>(state.rate), 16);
    header.dataSize = headerSizeField(2 * count);
    header.riffSize = headerSizeField(2 * count + 36);
    const std::string path = cleanedWavPath(pathBase);
    OutputFile file;
    if (!openOutputFile(file, path, "wb")) reportFailure(kOpenFailedMessage, path.c_str());
    const WavHeaderBytes bytes = encodeWavHeader(header);
    writeOutput(file, bytes.data(), bytes.size());
    std::vector<std::uint8_t> chunk;
    for (std::int64_t at = 0; at < count; at += 65536) {
        chunk.clear();
        for (std::int64_t i = at; i < std::min(count, at + 65536); ++i) {
            const double value =
                std::clamp(std::round(signal[static_cast<std::size_t>(i)] * gain), -32768.0, 32767.0);
            const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(value));
            chunk.push_back(static_cast<std::uint8_t>(word));
            chunk.push_back(static_cast<std::uint8_t>(word >> 8));
        }
        writeOutput(file, chunk.data(), chunk.size());
    }
    closeOutputFile(file);
}
