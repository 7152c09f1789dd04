#include "encoder/bit_waveform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "encoder/encoder_settings.h"

namespace {

// The two bit cells as file bytes, rendered once per run.
struct RenderedCells {
    std::array<std::vector<std::uint8_t>, 2> bytes;  // file bytes of a 0 bit and of a 1 bit
    std::array<std::int32_t, 2> lastSample{};        // the last sample of each cell
    std::vector<std::uint8_t> byteSignal;            // room for the signal of one whole byte
};

RenderedCells cells;

// 2π to ten decimals, as the sine has always been rendered with.
constexpr double kFullCircle = 6.2831853072;

std::int32_t rounded(double value) { return static_cast<std::int32_t>(std::round(value)); }

// Full scale of a signed sample of this width: 2^(bits-1) - 1 and -2^(bits-1).
double positiveFullScale(int bits) { return static_cast<double>((std::int64_t{1} << (bits - 1)) - 1); }
double negativeFullScale(int bits) { return -static_cast<double>(std::int64_t{1} << (bits - 1)); }

// A sample of level v (-1 .. 1 of full scale; 8-bit samples are unsigned
// around 128 with the factors 127 and -128).
std::int32_t positiveSample(double v, int bits) {
    return bits == 8 ? 128 + rounded(127.0 * v) : rounded(positiveFullScale(bits) * v);
}
std::int32_t negativeSample(double v, int bits) {
    return bits == 8 ? 128 + rounded(-128.0 * v) : rounded(negativeFullScale(bits) * v);
}

// One period over the whole cell, starting at the zero level, positive half first.
void appendSineCell(std::vector<std::int32_t>& out, int count, int bits) {
    for (int i = 0; i < count; ++i) {
        const double s = std::sin((static_cast<double>(i) * kFullCircle) / count);
        out.push_back(bits == 8 ? 128 + rounded(127.0 * s) : rounded(positiveFullScale(bits) * s));
    }
}

// Each half-wave ramps up from both of its ends by 4h / (shape × count) per
// sample, clipped at full scale; shapes from 2 on put one zero-level sample
// after each half-wave.
void appendRampCell(std::vector<std::int32_t>& out, int count, int bits) {
    const EncoderSettings& settings = encoderSettings;
    std::vector<double> levels;
    for (int k = 1; k <= count; ++k) {
        const int m = std::min(k, count + 1 - k);
        const std::int32_t n = 4 * m * settings.halfBitSamples;
        const double v = static_cast<double>(n) / settings.encShape / count;
        levels.push_back(std::min(v, 1.0));
    }
    for (double v : levels) out.push_back(positiveSample(v, bits));
    if (settings.encShape >= 2) out.push_back(zeroLevel());
    for (double v : levels) out.push_back(negativeSample(v, bits));
    if (settings.encShape >= 2) out.push_back(zeroLevel());
}

void appendSampleBytes(std::vector<std::uint8_t>& out, std::int32_t value, int bits) {
    const auto word = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < bits; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(word >> shift));
    }
}

}  // namespace

std::vector<std::int32_t> bitCellSamples(bool one) {
    const EncoderSettings& settings = encoderSettings;
    const int h = settings.halfBitSamples;
    std::vector<std::int32_t> samples;
    if (settings.encShape == 0) {
        appendSineCell(samples, one ? 2 * h : 6 * h, settings.encBits);
    } else {
        appendRampCell(samples, one ? h : 3 * h, settings.encBits);
    }
    return samples;
}

void prepareBitCells() {
    for (int bit = 0; bit < 2; ++bit) {
        const std::vector<std::int32_t> samples = bitCellSamples(bit == 1);
        std::vector<std::uint8_t>& bytes = cells.bytes[static_cast<std::size_t>(bit)];
        bytes.clear();
        for (std::int32_t sample : samples) appendSampleBytes(bytes, sample, encoderSettings.encBits);
        cells.lastSample[static_cast<std::size_t>(bit)] = samples.back();
    }
    cells.byteSignal.resize(8 * std::max(cells.bytes[0].size(), cells.bytes[1].size()));
}

void renderByte(OutputFile& out, std::uint8_t byte) {
    std::uint8_t* signal = cells.byteSignal.data();
    std::size_t length = 0;
    int bit = 0;
    for (unsigned mask = 0x80; mask != 0; mask >>= 1) {
        bit = (byte & mask) != 0 ? 1 : 0;
        const std::vector<std::uint8_t>& cell = cells.bytes[static_cast<std::size_t>(bit)];
        std::memcpy(signal + length, cell.data(), cell.size());
        length += cell.size();
    }
    writeOutput(out, signal, length);
    encoderSettings.sampleValue = cells.lastSample[static_cast<std::size_t>(bit)];
}

void renderSilence(OutputFile& out, std::int64_t count) {
    encoderSettings.sampleValue = zeroLevel();
    std::vector<std::uint8_t> sample;
    appendSampleBytes(sample, encoderSettings.sampleValue, encoderSettings.encBits);
    constexpr std::int64_t kSamplesPerWrite = 4096;
    std::vector<std::uint8_t> chunk;
    for (std::int64_t i = 0; i < std::min(count, kSamplesPerWrite); ++i) {
        chunk.insert(chunk.end(), sample.begin(), sample.end());
    }
    for (std::int64_t left = count; left > 0; left -= kSamplesPerWrite) {
        const std::int64_t now = std::min(left, kSamplesPerWrite);
        writeOutput(out, chunk.data(), static_cast<std::size_t>(now) * sample.size());
    }
}
