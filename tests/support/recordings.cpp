#include "support/recordings.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <utility>

Bytes wavOf(const std::vector<Signal>& channels, std::uint32_t rate, int bits) {
    Bytes data;
    const double scale = std::ldexp(1.0, bits - 1);
    std::size_t length = 0;
    for (const Signal& channel : channels) length = std::max(length, channel.size());
    for (std::size_t n = 0; n < length; ++n)
        for (const Signal& channel : channels) {
            const double s = n < channel.size() ? channel[n] : 0.0;
            auto value = static_cast<std::int64_t>(std::lround(std::clamp(s, -1.0, 1 - 1 / scale) * scale));
            if (bits == 8) value += 128;
            for (int shift = 0; shift < bits; shift += 8)
                data.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    return wavFile(rate, bits, data, static_cast<int>(channels.size()));
}

Signal samplesOf(const Bytes& wav) {
    Signal out;
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2)
        out.push_back(static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)) / 32768.0);
    return out;
}

Signal fromTape(const Bytes& samples, double level) {
    Signal out;
    for (std::uint8_t s : samples) out.push_back(level * (s - 128) / 72.0);
    return out;
}

Signal withHiss(Signal signal, double rms, unsigned seed) {
    std::mt19937 random(seed);
    for (double& s : signal) s += rms * std::sqrt(12.0) * (random() / 4294967296.0 - 0.5);
    return signal;
}

Signal highPassed(Signal signal, double rate, double gain) {
    for (double previous = 0, filtered = 0; double& x : signal) {
        filtered = (filtered + x - previous) / (1 + 2 * M_PI * 1000 / rate);
        previous = std::exchange(x, gain * filtered);
    }
    return signal;
}

Signal quiet(Signal signal) {
    for (double& s : signal) s *= 0.005;
    return signal;
}

Bytes imageOf(const std::vector<Bytes>& blocks) {
    Bytes image = {0xFF, 0, 0};
    for (const Bytes& block : blocks) {
        const std::uint8_t type = &block == &blocks.back() ? 0xAA : 0x55;
        image = concat({image, {type}, littleEndian(static_cast<std::uint32_t>(block.size()), 2), block});
    }
    std::ranges::copy(littleEndian(static_cast<std::uint32_t>(image.size()), 2), image.begin() + 1);
    return image;
}

std::size_t Tape::at(std::size_t block, int byte, int bit) const {
    std::size_t offset = static_cast<std::size_t>(leadIn) + 13;
    for (std::size_t b = 0; b < block; ++b) offset += 13 + blocks[b].size();
    const std::size_t index = (offset + static_cast<std::size_t>(byte)) * 8 + static_cast<std::size_t>(bit);
    std::size_t sample = start;
    for (std::size_t i = 0; i < index; ++i)
        sample += static_cast<std::size_t>((bytes[i / 8] >> (7 - i % 8)) & 1 ? 2 * T : 6 * T);
    return sample;
}

void Tape::set(std::size_t at, std::ptrdiff_t from, std::ptrdiff_t to, double value) {
    const auto first = signal.begin() + static_cast<std::ptrdiff_t>(at);
    std::fill(first + from, first + to, value);
}

void Tape::tone(std::size_t block, double hz, double times) {
    for (std::size_t from = at(block, 6), n = from; n < at(block, 12); ++n)
        signal[n] += times * level * std::sin(2 * M_PI * hz * static_cast<double>(n - from) / 44100);
}

RunResult decode(const ScratchDir& dir, const Signal& samples, std::uint32_t rate,
                 const std::vector<std::string>& options, int bits) {
    return runOn(dir.path("rec.wav"), wavOf({samples}, rate, bits), options);
}

std::string report(const RunResult& run) {
    const std::size_t at = run.output.rfind("\nSérülésjelentés:\n");
    const std::size_t map = run.output.rfind("Sérüléstérkép: ");
    return at == std::string::npos ? "" : run.output.substr(at, map == std::string::npos ? map : map - at);
}

std::vector<double> numbersAfter(const std::string& output, const std::string& text) {
    std::vector<double> numbers;
    for (std::size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
        numbers.push_back(std::strtod(output.c_str() + at + text.size(), nullptr));
    return numbers;
}

std::vector<std::string> expectReport(const RunResult& run, const std::vector<std::string>& texts,
                                      const std::string& totals) {
    std::vector<std::string> entries;
    std::istringstream lines(report(run));
    for (std::string line; std::getline(lines, line);)
        if (line.find(" mp  ") != std::string::npos) entries.push_back(line);
    EXPECT_EQ(entries.size(), texts.size()) << report(run);
    entries.resize(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_TRUE(holds(entries[i], texts[i])) << report(run);
    EXPECT_TRUE(totals.empty() || report(run).ends_with("Összesen " + totals + "\n")) << report(run);
    return entries;
}
