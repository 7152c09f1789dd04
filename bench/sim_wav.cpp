#include "sim_wav.h"

#include <cmath>

std::vector<double> samplesOf(const Bytes& wav) {
    std::vector<double> out;
    out.reserve(wav.size() / 2);
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2) {
        out.push_back(static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)) / 32768.0);
    }
    return out;
}

Bytes wavOf(const std::vector<double>& samples, std::uint32_t rate, int bits) {
    const int width = bits / 8;
    const std::uint32_t data = static_cast<std::uint32_t>(samples.size() * width);
    Bytes file = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W', 'A', 'V', 'E',
                  'f', 'm', 't', ' ', 16, 0, 0, 0, 1,   0,   1,   0};
    file.reserve(44 + data);
    auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    le(rate, 4);
    le(rate * width, 4);
    le(width, 2);
    le(bits, 2);
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    le(data, 4);
    const double full = std::ldexp(1.0, bits - 1);
    for (double s : samples) {
        const double clipped = std::fmax(-1.0, std::fmin(1.0 - 1.0 / full, s));
        const auto value = static_cast<std::int64_t>(std::llround(clipped * full));
        if (bits == 8) {
            le(static_cast<std::uint32_t>(value + 128), 1);
        } else {
            le(static_cast<std::uint32_t>(value), width);
        }
    }
    file[4] = 0;
    const std::uint32_t riff = data + 36;
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
    return file;
}
