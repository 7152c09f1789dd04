#include "sim_wav.h"

#include <algorithm>

#include <cmath>
#include <fstream>

std::vector<double> samplesOf(const Bytes& wav) {
    std::vector<double> out;
    out.reserve(wav.size() / 2);
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2) {
        out.push_back(static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)) / 32768.0);
    }
    return out;
}

std::vector<std::int16_t> samples16OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    std::vector<std::int16_t> samples(size > 44 ? static_cast<std::size_t>(size - 44) / 2 : 0);
    in.seekg(44);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(2 * samples.size()));
    for (std::int16_t& s : samples) {  // little-endian in the file, whatever the machine
        const auto* b = reinterpret_cast<const std::uint8_t*>(&s);
        s = static_cast<std::int16_t>(b[0] | (b[1] << 8));
    }
    return samples;
}

WavWriter::WavWriter(std::uint32_t rate, int bits, std::size_t count)
    : bits_(bits), width_(bits / 8), full_(std::ldexp(1.0, bits - 1)) {
    const auto data = static_cast<std::uint32_t>(count * static_cast<std::size_t>(width_));
    file_ = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0};
    file_.reserve(44 + data);
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le(rate, 4);
    le(rate * static_cast<std::uint32_t>(width_), 4);
    le(static_cast<std::uint32_t>(width_), 2);
    le(static_cast<std::uint32_t>(bits), 2);
    file_.insert(file_.end(), {'d', 'a', 't', 'a'});
    le(data, 4);
    const std::uint32_t riff = data + 36;
    for (int i = 0; i < 4; ++i) file_[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
}

void WavWriter::put(double sample) {
    const double top = 1.0 - 1.0 / full_;
    const double clipped = sample < -1.0 ? -1.0 : sample > top ? top : sample;
    // Rounded half away from zero, as llround does.
    const double scaled = clipped * full_;
    const auto value =
        static_cast<std::int64_t>(scaled >= 0 ? std::floor(scaled + 0.5) : -std::floor(0.5 - scaled));
    if (bits_ == 8) {
        file_.push_back(static_cast<std::uint8_t>(value + 128));
        return;
    }
    for (int i = 0; i < width_; ++i)
        file_.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
}

Bytes wavOf(const std::vector<double>& samples, std::uint32_t rate, int bits) {
    WavWriter writer(rate, bits, samples.size());
    for (double s : samples) writer.put(s);
    return writer.bytes();
}

Bytes stereoWavOf(const std::vector<double>& left, const std::vector<double>& right, std::uint32_t rate) {
    // Written as a mono file of twice the frames, its header then made stereo.
    const std::size_t frames = std::max(left.size(), right.size());
    WavWriter writer(rate, 16, 2 * frames);
    for (std::size_t n = 0; n < frames; ++n) {
        writer.put(n < left.size() ? left[n] : 0.0);
        writer.put(n < right.size() ? right[n] : 0.0);
    }
    Bytes file = writer.bytes();
    file[22] = 2;  // channels
    const std::uint32_t byteRate = rate * 4;
    for (int i = 0; i < 4; ++i) file[28 + i] = static_cast<std::uint8_t>(byteRate >> (8 * i));
    file[32] = 4;  // bytes per frame
    return file;
}
