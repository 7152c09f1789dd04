// The rescue decoder (-r I): conditioning, timing, the cell tracker, and
// whole runs on recordings the default decoder cannot read, with the damage
// report and its guards.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "rescue/cell_tracker.h"
#include "rescue/conditioning.h"
#include "support/test_support.h"

namespace {

using Signal = std::vector<double>;

// The samples of a 16-bit WAV file's data, full scale ±1.
Signal samplesOf(const Bytes& wav) {
    Signal out;
    for (std::size_t at = 44; at + 1 < wav.size(); at += 2) {
        out.push_back(static_cast<std::int16_t>(wav[at] | (wav[at + 1] << 8)) / 32768.0);
    }
    return out;
}

Bytes wav16(const Signal& samples, std::uint32_t rate) {
    Bytes data;
    for (double s : samples) {
        const auto value =
            static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 32767.0 / 32768) * 32768));
        data.insert(data.end(), {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)});
    }
    return wavFile(rate, 16, data);
}

// An 8-bit ideal tape signal (test_support.h) as ±1 samples.
Signal fromTape(const Bytes& samples) {
    Signal out;
    for (std::uint8_t s : samples) out.push_back((s - 128) / 72.0);
    return out;
}

// The encoder's recording of an image at 22050 Hz, 16 bits, in the shape given.
Signal encoded(const ScratchDir& dir, const Bytes& image, const std::string& shape) {
    writeFile(dir.path("src.ptp"), image);
    runKazettor({dir.path("src.ptp"), "-m22", "-b16", "-f" + shape});
    return samplesOf(readFile(dir.path("src.wav")));
}

// White noise of the given standard deviation, the same on every platform
// (Box-Muller on the generator's raw output).
void addNoise(Signal& samples, double deviation, unsigned seed) {
    std::mt19937 random(seed);
    for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
        const double u = (random() + 1.0) / 4294967297.0, v = random() / 4294967296.0;
        const double r = deviation * std::sqrt(-2 * std::log(u));
        samples[i] += r * std::cos(2 * M_PI * v);
        samples[i + 1] += r * std::sin(2 * M_PI * v);
    }
}

RunResult decode(const ScratchDir& dir, const Signal& samples, std::uint32_t rate,
                 std::vector<std::string> options = {"-r", "I"}) {
    writeFile(dir.path("rec.wav"), wav16(samples, rate));
    options.insert(options.begin(), dir.path("rec.wav"));
    return runKazettor(options);
}

std::string report(const RunResult& run) {
    return run.output.substr(run.output.rfind("\nSérülésjelentés:\n"));
}

}  // namespace

TEST(RescueConditioning, SamplesAtFullResolution) {
    // clang-format off
    const std::tuple<Bytes, double> cases[] = {
        {{0x00}, -1.0}, {{0xFF}, 127 / 128.0}, {{0x80}, 0.0}, {{0x00, 0x80}, -1.0}, {{0xFF, 0x7F}, 32767 / 32768.0},
        {{0x01, 0x00, 0x00}, 1 / 8388608.0}, {{0xFF, 0xFF, 0xFF}, -1 / 8388608.0}, {{0x00, 0x00, 0x00, 0x80}, -1.0},
    };
    // clang-format on
    for (const auto& [bytes, value] : cases) {
        EXPECT_EQ(sampleValue(bytes.data(), static_cast<std::int64_t>(bytes.size())),
                  static_cast<float>(value));
    }
    // The high-pass takes an offset away; the low-pass keeps a 1 kHz tone and
    // stops one at 8 kHz.
    const double rate = 44100;
    for (const auto& [hertz, offset, kept] :
         {std::tuple{0.0, 0.5, 0.0}, {1000.0, 0.0, 0.98}, {8000.0, 0.0, 0.1}}) {
        std::vector<float> in, out(44100);
        for (int n = 0; n < 44100; ++n)
            in.push_back(static_cast<float>(offset + std::sin(2 * M_PI * hertz * n / rate)));
        SignalFilter filter = makeSignalFilter(FilterSettings{}, rate);
        filterSamples(filter, in.data(), 44100, out.data());
        double peak = 0;
        for (int n = 22050; n < 44100; ++n) peak = std::max(peak, std::fabs(static_cast<double>(out[n])));
        EXPECT_NEAR(peak, hertz == 0 ? 0.0 : kept, hertz == 8000 ? 0.1 : 0.02) << hertz;
    }
}

// T from the lengths of the half-waves, on a lead-in, on fill, and nothing on noise.
TEST(RescueTiming, HalfWaveFromTheHalfWaveLengths) {
    const Signal leadIn = fromTape(tapeSignal(Bytes(40, 0xAA), 14, 42, true));
    const Signal fill = fromTape(tapeSignal(Bytes(40, 0xFF), 9, 27, true));
    Signal hiss(8000, 0.0);
    addNoise(hiss, 0.3, 5);
    for (const auto& [signal, half] : {std::pair{leadIn, 14.0}, {fill, 9.0}, {hiss, 0.0}}) {
        std::vector<float> samples(signal.begin(), signal.end());
        EXPECT_NEAR(estimateHalfWave(samples.data(), 0, static_cast<std::int64_t>(samples.size()), 44100),
                    half, 0.3);
    }
}

// The tracker decides every bit of a tape whose speed drifts by 12 % within
// a few hundred bits, with evidence and sure timing. A tracker of the other
// polarity follows the middles of the cells: it may read the same bits, but
// misses the edges wherever a 1 meets a 0, which keeps it from syncing.
TEST(RescueTracker, FollowsDriftingSpeed) {
    Bytes bytes;
    std::mt19937 random(3);
    for (int i = 0; i < 64; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
    Signal signal;
    double position = 0;
    const Signal tape = fromTape(tapeSignal(concat({Bytes(8, 0xFF), bytes, Bytes(4, 0xFF)}), 14, 42, true));
    for (std::size_t n = 0; position + 1 < static_cast<double>(tape.size()); ++n) {
        signal.push_back(tape[static_cast<std::size_t>(position)]);
        position += 1.0 + 0.12 * static_cast<double>(n) / static_cast<double>(tape.size());
    }
    std::vector<float> samples(signal.begin(), signal.end());
    for (int polarity : {1, -1}) {
        CellTracker tracker;
        tracker.signal = samples.data();
        tracker.count = static_cast<std::int64_t>(samples.size());
        tracker.polarity = polarity;
        ASSERT_TRUE(startTracker(tracker, 0, 14, 44100));
        std::string decoded, sent;
        for (std::uint8_t byte : bytes) {
            for (int b = 7; b >= 0; --b) sent += (byte >> b) & 1 ? '1' : '0';
        }
        int bits = 0, sure = 0, missed = 0;
        for (SoftBit bit; nextBit(tracker, bit);) {
            decoded += bit.bit ? '1' : '0';
            sure += ++bits > 32 && bit.timingSure && bit.llr > 20;  // after the first bits' cautious start
            missed += !bit.edgeFound;
        }
        if (polarity == 1) {
            EXPECT_NE(decoded.find(sent), std::string::npos);
            EXPECT_EQ(sure, bits - 32);
            EXPECT_EQ(missed, 0);
        } else {
            EXPECT_GT(missed, bits / 8);
        }
    }
}

// Quiet (-50 dB), offset by a tenth of full scale, hissing at 10 dB and a
// sine at 22050 Hz: the default decoder finds nothing, the rescue decoder
// all of it, marked O; the cleaned signal is an 8-bit WAV.
TEST(RescueDecoder, ReadsWhatTheDefaultDecoderCannot) {
    ScratchDir dir;
    Signal signal = encoded(dir, kImage, "0");
    for (double& s : signal) s = s * 0.003 + 0.1;
    addNoise(signal, 0.003 * 0.707 / std::sqrt(10.0), 1);
    EXPECT_EQ(decode(dir, signal, 22050, {}).output, "");
    EXPECT_FALSE(std::filesystem::exists(dir.path("rec/01_AB.ptp")));

    const RunResult run = decode(dir, signal, 22050, {"-r", "i"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output.rfind("\nProgram szinkron ", 0), 0u);
    EXPECT_NE(run.output.find("83 01 02 41 42 86  O: " + dir.path("rec/01_AB.ptp") + "\n"),
              std::string::npos);
    EXPECT_EQ(report(run),
              "\nSérülésjelentés:\n  minden blokk hibátlan\nÖsszesen 1 program, 3 blokk: 3 O, 0 J, 0 X\n");
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
    const Bytes cleaned = readFile(dir.path("rec/rec.wav"));
    ASSERT_EQ(cleaned.size(), 44 + signal.size());
    EXPECT_EQ(Bytes(cleaned.begin(), cleaned.begin() + 44),
              concat({fromHex("52494646"), littleEndian(static_cast<std::uint32_t>(36 + signal.size()), 4),
                      fromHex("57415645 666d7420 10000000 0100 0100 22560000 22560000 0100 0800 64617461"),
                      littleEndian(static_cast<std::uint32_t>(signal.size()), 4)}));
}

// No lead-in, the cells starting with their low half: found by the timing of
// the half-waves and the polarity that syncs.
TEST(RescueDecoder, NeedsNoLeadInAndFindsThePolarity) {
    ScratchDir dir;
    const Signal tape = fromTape(concat(
        {Bytes(2000, 128), tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}, 0), 13, 39, false),
         Bytes(2000, 128)}));
    const RunResult run = decode(dir, tape, 44100);
    EXPECT_NE(run.output.find("elválasztóval és alacsony jellel\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
}

// A dropout inside a block costs that block, reported with where it lies;
// the decoder goes on with the next. A block whose checksum is wrong on the
// tape itself, read clean, is no case for a repair: it stays X, written as read.
TEST(RescueDecoder, ReportsWhatIsLostAndRepairsNothingOnAGuess) {
    ScratchDir dir;
    Bytes second = withChecksum({0xF2, 0, 0x20, 0x43, 8, 1, 2, 3, 4, 5, 6, 7, 8});
    Bytes wrongOnTape = withChecksum({0xF3, 0, 0x30, 0x43, 4, 9, 9, 9, 9});
    wrongOnTape.back() ^= 0x10;
    const Bytes tape = tapeBytes({kNameBlock, kDataBlock, second, wrongOnTape, kEndBlock}, 200);
    Signal signal = fromTape(concat({Bytes(4000, 128), tapeSignal(tape, 14, 42, true), Bytes(4000, 128)}));
    // 5 ms of silence in kDataBlock's fourth byte, which follows the
    // lead-in, the name block after its fill and sync, and the data block's
    // own fill, sync and first three bytes.
    const std::size_t byteIndex = 200 + (10 + 3 + 6) + (10 + 3 + 3);
    const std::size_t dropoutAt =
        4000 + fromTape(tapeSignal(Bytes(tape.begin(), tape.begin() + byteIndex), 14, 42, true)).size();
    std::fill(signal.begin() + static_cast<std::ptrdiff_t>(dropoutAt),
              signal.begin() + static_cast<std::ptrdiff_t>(dropoutAt + 220), 0.0);
    const RunResult run = decode(dir, signal, 44100);
    const std::string damage = report(run);
    EXPECT_NE(damage.find("adatblokk  X  jelkiesés "), std::string::npos) << damage;
    EXPECT_NE(damage.find(
                  "adatblokk  X  hibás ellenőrző összeg, pedig minden bit biztos: a szalagon is hibás lehet; "
                  "bizonytalan bit: 0\n"),
              std::string::npos)
        << damage;
    EXPECT_TRUE(damage.ends_with("Összesen 1 program, 5 blokk: 3 O, 0 J, 2 X\n")) << damage;
    const Bytes file = readFile(dir.path("rec/01_AB.ptp"));
    EXPECT_NE(std::search(file.begin(), file.end(), second.begin(), second.end()), file.end());
    EXPECT_NE(std::search(file.begin(), file.end(), wrongOnTape.begin(), wrongOnTape.end()), file.end());
}

// -r with a value starting with I or i runs the rescue decoder; any other
// value, or none, the default one, unchanged.
TEST(RescueDecoder, OnlyIOrIChoosesIt) {
    ScratchDir dir;
    const Signal tape = fromTape(tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}), 7, 21, true));
    const std::string plain = decode(dir, tape, 22050, {}).output;
    EXPECT_EQ(plain.find("Sérülésjelentés"), std::string::npos);
    for (const char* value : {"H", "x", "0"})
        EXPECT_EQ(decode(dir, tape, 22050, {"-r", value}).output, plain);
    for (const char* value : {"I", "igen"}) {
        EXPECT_NE(decode(dir, tape, 22050, {"-r", value}).output.find("Sérülésjelentés"), std::string::npos);
    }
}
