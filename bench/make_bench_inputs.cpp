// Writes the benchmark inputs into a directory:
//   tape30.wav      30 minutes at 44.1 kHz, 16 bits: eight programs of 15 KB
//                   recorded by the encoder, then aged as a cassette ages them:
//                   tape hiss, the playback head's 6 kHz roll-off (which also
//                   softens the hiss), level wobble, DC offset and a little
//                   electronic noise; about 39 dB signal to noise
//   tape30_harsh.wav the same programs with white hiss added after the roll-off,
//                   about 33 dB: far more one-sample notches to clean
//   tape30.ptp      the eight images the recording holds
//   tape30_24.wav   tape30.wav as ffmpeg writes 24 bits: WAVE_FORMAT_EXTENSIBLE
//                   and a LIST chunk before the samples (the loader walks it)
//   tape30_stereo.wav tape30.wav in the second channel of a 16-bit stereo file
//                   whose first channel is hiss (read with -c 2)
//   tape60.wav      tape30.wav twice over: an hour, for the rescue decoder's
//                   memory on a long recording
//   crafted.wav     the same length of a pattern that needs many cleaning sweeps
//   payload64k.ptp  one image with 64 KB of payload
// and for the resource bounds:
//   record65535.ptp one record of the largest payload, 65535 bytes
//   tape48k.wav     program 1 recorded at 48 kHz, 16 bits (to decode with -s 5000)
//   tape192k.wav    program 1 as an 8-bit square wave at 192 kHz, where a 1 bit's
//                   half-wave is 60 samples (for the automatic lock)
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "common/little_endian.h"
#include "common/run_end.h"
#include "formats/wav_header.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kRate = 44100;
constexpr std::int64_t kThirtyMinutes = std::int64_t{30} * 60 * kRate;

void writeBytes(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

Bytes readBytes(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    Bytes bytes;
    std::uint8_t buffer[65536];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(f);
    return bytes;
}

void addBlockRecord(Bytes& image, std::uint8_t recordType, Bytes block) {
    unsigned sum = 0;
    for (std::size_t i = 1; i < block.size(); ++i) sum += block[i];
    block.push_back(static_cast<std::uint8_t>(sum));
    image.push_back(recordType);
    image.push_back(static_cast<std::uint8_t>(block.size()));
    image.push_back(static_cast<std::uint8_t>(block.size() >> 8));
    image.insert(image.end(), block.begin(), block.end());
}

// One image: a name block, dataBlocks blocks of 256 random bytes, an end block.
Bytes programImage(const std::string& name, int dataBlocks, std::mt19937& random) {
    Bytes image = {0xFF, 0, 0};
    Bytes nameBlock = {0x83, 0x00, static_cast<std::uint8_t>(name.size())};
    nameBlock.insert(nameBlock.end(), name.begin(), name.end());
    addBlockRecord(image, 0x55, nameBlock);
    for (int b = 0; b < dataBlocks; ++b) {
        Bytes data = {0xF1, static_cast<std::uint8_t>(b), 0x43, 0x00, 0x00};
        for (int i = 0; i < 256; ++i) data.push_back(static_cast<std::uint8_t>(random()));
        addBlockRecord(image, 0x55, data);
    }
    image.insert(image.end(), {0xAA, 0x03, 0x00, 0xB1, 0x07, 0x07});
    writeLe16(image.data() + 1, static_cast<std::uint32_t>(image.size() & 0xFFFF));
    return image;
}

void encode(const std::string& ptp, std::vector<std::string> options) {
    options.insert(options.begin(), {"make_bench_inputs", ptp});
    std::vector<char*> argv;
    for (std::string& o : options) argv.push_back(o.data());
    try {
        runCommandLine(static_cast<int>(argv.size()), argv.data());
    } catch (const RunEnded&) {
        std::fprintf(stderr, "encoding %s failed\n", ptp.c_str());
        std::exit(1);
    }
}

Bytes wavHeaderFor(std::uint32_t rate, int bits, std::size_t dataBytes) {
    WavHeader header = makePcmHeader(rate, static_cast<std::uint16_t>(bits));
    header.dataSize = static_cast<std::uint32_t>(dataBytes);
    header.riffSize = header.dataSize + 36;
    WavHeaderBytes head = encodeWavHeader(header);
    return Bytes(head.begin(), head.end());
}

// The tape signal of one image as an 8-bit square wave: the encoder's
// structure (lead-in, fill, sync, payload, end mark) with half a second of
// silence around it.
Bytes squareWave(const Bytes& image, std::uint32_t rate, int shortHalf) {
    Bytes tape(512, 0xAA);
    for (std::size_t at = 3; at + 3 <= image.size();) {
        const std::size_t length = image[at + 1] + 256u * image[at + 2];
        tape.insert(tape.end(), 96, 0xFF);
        tape.insert(tape.end(), 3, 0xD3);
        tape.insert(tape.end(), image.begin() + static_cast<std::ptrdiff_t>(at + 3),
                    image.begin() + static_cast<std::ptrdiff_t>(at + 3 + length));
        if (image[at] == 0xAA) tape.push_back(0xFF);
        at += 3 + length;
    }
    Bytes samples(rate / 2, 128);
    for (std::uint8_t byte : tape) {
        for (int bit = 7; bit >= 0; --bit) {
            const std::size_t half = static_cast<std::size_t>((byte >> bit) & 1 ? shortHalf : 3 * shortHalf);
            samples.insert(samples.end(), half, 200);
            samples.insert(samples.end(), half, 56);
        }
    }
    samples.insert(samples.end(), rate / 2, 128);
    Bytes file = wavHeaderFor(rate, 8, samples.size());
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

Bytes wav16(const std::vector<std::int16_t>& samples) {
    Bytes file = wavHeaderFor(kRate, 16, samples.size() * 2);
    for (std::int16_t s : samples) {
        file.push_back(static_cast<std::uint8_t>(s));
        file.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return file;
}

// The same samples as 24-bit WAVE_FORMAT_EXTENSIBLE, with a LIST chunk
// before the data, as ffmpeg writes them; the low byte carries dither.
Bytes wav24Extensible(const std::vector<std::int16_t>& samples, std::mt19937& random) {
    const Bytes format = {0xFE, 0xFF, 1,    0, 0x44, 0xAC, 0, 0,    0xCC, 0x04, 0x02, 0,   3, 0,
                          24,   0,    22,   0, 24,   0,    4, 0,    0,    0,    1,    0,   0, 0,
                          0,    0,    0x10, 0, 0x80, 0,    0, 0xAA, 0,    0x38, 0x9B, 0x71};
    const Bytes list = {'L', 'I', 'S', 'T', 26,  0,   0,   0,   'I', 'N', 'F', 'O', 'I', 'S', 'F', 'T', 14,
                        0,   0,   0,   'L', 'a', 'v', 'f', '5', '9', '.', '2', '7', '.', '1', '0', '0', 0};
    const std::size_t dataBytes = samples.size() * 3;
    Bytes file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 40, 0, 0, 0};
    writeLe32(file.data() + 4, static_cast<std::uint32_t>(4 + 48 + list.size() + 8 + dataBytes));
    file.insert(file.end(), format.begin(), format.end());
    file.insert(file.end(), list.begin(), list.end());
    file.insert(file.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    writeLe32(file.data() + file.size() - 4, static_cast<std::uint32_t>(dataBytes));
    file.reserve(file.size() + dataBytes);
    for (std::int16_t s : samples) {
        file.push_back(static_cast<std::uint8_t>(random()));
        file.push_back(static_cast<std::uint8_t>(s));
        file.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return file;
}

// The samples in the second channel of a 16-bit stereo file, hiss in the first.
Bytes wav16StereoSecond(const std::vector<std::int16_t>& samples, std::mt19937& random) {
    Bytes file = wavHeaderFor(kRate, 16, samples.size() * 4);
    file[22] = 2;                            // channelCount
    writeLe32(file.data() + 28, kRate * 4);  // byteRate
    file[32] = 4;                            // blockAlign
    std::normal_distribution<double> gauss(0.0, 300.0);
    file.reserve(file.size() + samples.size() * 4);
    for (std::int16_t s : samples) {
        const auto hiss = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(gauss(random))));
        file.insert(file.end(), {static_cast<std::uint8_t>(hiss), static_cast<std::uint8_t>(hiss >> 8),
                                 static_cast<std::uint8_t>(s),
                                 static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8)});
    }
    return file;
}

// Ages a clean recording: hiss before (tape) or after (harsh) a one-pole
// low-pass, a slow level wobble of +-15 %, a DC offset (-300, or +400 for the
// harsh case, which puts its silences right on the zero line), then the aged noise
// alone up to 30 minutes.
std::vector<std::int16_t> aged(const Bytes& cleanWav, bool harsh, std::mt19937& random) {
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double cutoff = harsh ? 5000.0 : 6000.0;
    const double alpha = 1.0 - std::exp(-2.0 * M_PI * cutoff / kRate);
    const double tapeHiss = harsh ? 0.0 : 400.0;
    const double laterNoise = harsh ? 500.0 : 40.0;
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(kThirtyMinutes));
    double filtered = 0.0;
    for (std::int64_t i = 0; i < kThirtyMinutes; ++i) {
        const std::size_t at = 44 + 2 * static_cast<std::size_t>(i);
        const double clean =
            at + 1 < cleanWav.size() ? static_cast<std::int16_t>(readLe16(&cleanWav[at])) : 0.0;
        filtered += alpha * (clean + tapeHiss * gauss(random) - filtered);
        const double gain = 0.7 + 0.15 * std::sin(2.0 * M_PI * 0.3 * static_cast<double>(i) / kRate);
        const double value = filtered * gain + (harsh ? 400.0 : -300.0) + laterNoise * gauss(random);
        out.push_back(static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, value)))));
    }
    return out;
}

// A 15-sample pattern that needs 16 sweeps of the one-sample pass and 10 of
// the two-sample pass, repeated over the whole recording.
std::vector<std::int16_t> crafted() {
    const int pattern[] = {130, 21, 89, 124, 244, 95, 20, 51, 78, 93, 240, 180, 64, 13, 116};
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(kThirtyMinutes));
    for (std::int64_t i = 0; i < kThirtyMinutes; ++i) {
        out.push_back(static_cast<std::int16_t>((pattern[i % 15] - 128) * 256 + 77));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_bench_inputs DIRECTORY\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::mt19937 random(2024);

    Bytes tape;
    for (int p = 1; p <= 8; ++p) {
        Bytes image = programImage("PROGRAM" + std::to_string(p), 60, random);
        writeBytes(dir + "/program" + std::to_string(p) + ".ptp", image);
        tape.insert(tape.end(), image.begin(), image.end());
    }
    writeBytes(dir + "/tape30.ptp", tape);
    encode(dir + "/tape30.ptp", {"-m44", "-b16", "-f10"});
    const Bytes clean = readBytes(dir + "/tape30.wav");
    const std::vector<std::int16_t> tape30 = aged(clean, false, random);
    writeBytes(dir + "/tape30.wav", wav16(tape30));
    std::mt19937 layoutRandom(7);  // its own, so that the other inputs stay as they were
    writeBytes(dir + "/tape30_24.wav", wav24Extensible(tape30, layoutRandom));
    writeBytes(dir + "/tape30_stereo.wav", wav16StereoSecond(tape30, layoutRandom));
    writeBytes(dir + "/tape30_harsh.wav", wav16(aged(clean, true, random)));
    std::vector<std::int16_t> tape60 = tape30;
    tape60.insert(tape60.end(), tape30.begin(), tape30.end());
    writeBytes(dir + "/tape60.wav", wav16(tape60));
    writeBytes(dir + "/crafted.wav", wav16(crafted()));

    Bytes payload = {0xFF, 0, 0};
    for (int b = 0; b < 256; ++b) {
        Bytes data = {0xF1, static_cast<std::uint8_t>(b), 0x43, 0x00, 0x00};
        for (int i = 0; i < 250; ++i) data.push_back(static_cast<std::uint8_t>(random()));
        addBlockRecord(payload, b == 255 ? 0xAA : 0x55, data);
    }
    writeBytes(dir + "/payload64k.ptp", payload);

    Bytes largest = {0xFF, 0, 0, 0xAA, 0xFF, 0xFF};
    for (int i = 0; i < 65535; ++i) largest.push_back(static_cast<std::uint8_t>(random()));
    writeBytes(dir + "/record65535.ptp", largest);
    const Bytes program1 = readBytes(dir + "/program1.ptp");
    writeBytes(dir + "/tape48k.ptp", program1);
    encode(dir + "/tape48k.ptp", {"-m48", "-b16", "-f15"});
    writeBytes(dir + "/tape192k.wav", squareWave(program1, 192000, 60));
    std::printf("inputs written to %s\n", dir.c_str());
    return 0;
}
