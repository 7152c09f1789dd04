#include "rescue/recording.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "common/console.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "common/path_base.h"
#include "decoder/sample_loader.h"
#include "formats/wav_header.h"

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

// Samples to one level of the conditioned signal.
constexpr std::int64_t kLevelStretch = 1024;

// Reads every sample into recording.signal as read.
void readAllSamples(Recording& recording) {
    WavInput& input = recording.input;
    const std::int64_t count = recording.count;
    seekSample(input, 0);
    std::int64_t stored = 0;
    for (SampleBlock block; stored < count && nextSampleBlock(input, block); stored += block.count) {
        block.count = std::min(block.count, count - stored);
        convertBlock(block, input.sampleBytes, block.count, recording.signal.get() + stored);
    }
}

// The RMS of each stretch of the conditioned signal, for the cleaned copy's
// level. Each stretch's sum runs from its first sample to its last, but four
// stretches side by side in a vector's lanes: one sum waits for each
// addition, four keep the processor busy.
void measureStretchLevels(Recording& recording) {
    using Floats = float __attribute__((vector_size(16)));
    const float* signal = recording.signal.get();
    const std::int64_t stretches = recording.count / kLevelStretch;
    recording.stretchLevels.assign(static_cast<std::size_t>(stretches), 0.0f);
    std::int64_t first = 0;
    for (; first + 4 <= stretches; first += 4) {
        const float* at = signal + first * kLevelStretch;
        Floats power = {0, 0, 0, 0};
        for (std::int64_t k = 0; k < kLevelStretch; ++k) {
            const Floats value = {at[k], at[kLevelStretch + k], at[2 * kLevelStretch + k],
                                  at[3 * kLevelStretch + k]};
            power += value * value;
        }
        for (int lane = 0; lane < 4; ++lane)
            recording.stretchLevels[static_cast<std::size_t>(first + lane)] =
                std::sqrt(power[lane] / kLevelStretch);
    }
    for (; first < stretches; ++first) {
        float power = 0;
        for (std::int64_t k = first * kLevelStretch; k < (first + 1) * kLevelStretch; ++k)
            power += signal[k] * signal[k];
        recording.stretchLevels[static_cast<std::size_t>(first)] = std::sqrt(power / kLevelStretch);
    }
}

}  // namespace

void openRecording(const char* path, int channel, Recording& recording) {
    openWavFile(path, channel, recording.input);
    recording.rate = recording.input.layout.header.sampleRate;
    const std::int64_t count = recording.input.sampleCount;
    recording.signal = allocateLargeArray<float>(count);
    if (!recording.signal) {
        closeWavInput(recording.input);
        reportFailure("Nincs elég memória a minták betöltéséhez.\n");
    }
    recording.count = count;
    recording.quantisation = std::ldexp(1.0, 1 - 8 * static_cast<int>(recording.input.sampleBytes)) / std::sqrt(12.0);
}

void conditionRecording(Recording& recording, const FilterSettings& settings) {
    readAllSamples(recording);
    recording.filter = settings;
    const std::int64_t count = recording.count;
    float* signal = recording.signal.get();
    // The first reading also measures the hum and the envelope, on the
    // samples as read (the envelope with the hum taken off).
    float* envelope = nullptr;
    if (recording.envelope.empty()) recording.hum = measureMainsHum(signal, count, recording.rate);
    removeMainsHum(recording.hum, signal, 0, count);
    if (recording.envelope.empty()) {
        recording.envelope.assign(static_cast<std::size_t>(count / kEnvelopeStride + 1), 0.0f);
        envelope = recording.envelope.data();
    }
    filterInPlace(signal, count, settings, std::max(1.0, recording.rate), envelope, kEnvelopeStride);
    emphasise(signal, count, settings, recording.rate);
    measureStretchLevels(recording);
}

std::vector<float> readRawSamples(Recording& recording, std::int64_t first, std::int64_t count) {
    WavInput& input = recording.input;
    first = std::clamp<std::int64_t>(first, 0, input.sampleCount);
    count = std::clamp<std::int64_t>(count, 0, input.sampleCount - first);
    std::vector<float> samples(static_cast<std::size_t>(count));
    seekSample(input, first);
    std::int64_t stored = 0;
    for (SampleBlock block; stored < count && nextSampleBlock(input, block); stored += block.count) {
        block.count = std::min(block.count, count - stored);
        convertBlock(block, input.sampleBytes, block.count, samples.data() + stored);
    }
    samples.resize(static_cast<std::size_t>(stored));
    removeMainsHum(recording.hum, samples.data(), first, stored);
    return samples;
}

std::vector<float> conditionAfresh(Recording& recording, const FilterSettings& settings, std::int64_t first,
                                   std::int64_t count) {
    const std::vector<float> raw = readRawSamples(recording, first, count);
    std::vector<float> conditioned(raw.size());
    SignalFilter filter = makeSignalFilter(settings, recording.rate);
    filterSamples(filter, raw.data(), static_cast<std::int64_t>(raw.size()), conditioned.data());
    emphasise(conditioned.data(), static_cast<std::int64_t>(conditioned.size()), settings, recording.rate);
    return conditioned;
}

void writeConditionedWav(const Recording& recording) {
    const float* signal = recording.signal.get();
    // The level: the 90th percentile of the RMS of the stretches, so that
    // neither silence nor a click sets it.
    std::vector<float> levels = recording.stretchLevels;
    double level = 0;
    if (!levels.empty()) {
        const auto at = levels.begin() + static_cast<std::ptrdiff_t>(levels.size() * 9 / 10);
        std::nth_element(levels.begin(), at, levels.end());
        level = *at;
    }
    // 8 bits, as the default decoder's cleaned signal: enough to see, and
    // half the bytes of 16.
    const float gain = level > 0 ? static_cast<float>(0.3 * 127.0 / level) : 1.0f;
    const std::int64_t count = recording.count;
    WavHeader header = makePcmHeader(static_cast<std::uint32_t>(recording.rate), 8);
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
