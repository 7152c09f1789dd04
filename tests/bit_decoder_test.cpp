#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "decoder/best_fit_search.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

const Bytes kName = {0x83, 0x01, 0x02, 0x41, 0x42, 0x86};
const Bytes kData = {0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18};
const Bytes kEnd = {0xB1, 0x05, 0x05};
const Bytes kImage = {0xFF, 0x1D, 0x00, 0x55, 0x06, 0x00, 0x83, 0x01, 0x02, 0x41, 0x42, 0x86,
                      0x55, 0x08, 0x00, 0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18,
                      0xAA, 0x03, 0x00, 0xB1, 0x05, 0x05};

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Runs the decoder on an 8-bit recording; returns the console text.
RunResult decode(const ScratchDir& dir, std::uint32_t rate, const Bytes& samples,
                 std::vector<std::string> options = {}) {
    writeFile(dir.path("rec.wav"), wavFile(rate, 8, samples));
    options.insert(options.begin(), dir.path("rec.wav"));
    return runKazettor(options);
}

// Cell length of every bit of the bytes, for working out sample positions.
std::int64_t cellSamples(const Bytes& bytes, int shortHalf, int longHalf) {
    std::int64_t total = 0;
    for (std::uint8_t byte : bytes)
        for (int bit = 7; bit >= 0; --bit) total += 2 * ((byte >> bit) & 1 ? shortHalf : longHalf);
    return total;
}

}  // namespace

// The carried-along counts must choose exactly the candidate the full count
// chooses, ties included, right up to the end of the samples.
TEST(BitDecoder, FastSearchMatchesTheLiteralSearch) {
    std::mt19937 random(99);
    for (int round = 0; round < 400; ++round) {
        const std::int64_t separator = std::vector<int>{1, 2, 3, 5, 7, 14, 28, 30, 101}[round % 9];
        Bytes samples;
        if (round % 3 == 0) {
            samples.resize(static_cast<std::size_t>(12 * separator + 50));
            for (auto& s : samples) s = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(126, 130)(random));
        } else {
            Bytes bytes(8);
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
            const int shortHalf = static_cast<int>(std::max<std::int64_t>(1, separator * 2 / 3));
            samples = tapeSignal(bytes, shortHalf, 3 * shortHalf, round % 2 == 0);
            for (auto& s : samples) {
                if (random() % 7 == 0) s = static_cast<std::uint8_t>(random() % 3 == 0 ? 128 : random());
            }
        }
        const auto count = static_cast<std::int64_t>(samples.size());
        for (std::int64_t position = 0; position < count; position += 1 + static_cast<std::int64_t>(random() % static_cast<unsigned>(separator + 8))) {
            for (bool highFirst : {true, false}) {
                ASSERT_EQ(bestFitHalf(samples.data(), count, position, separator, highFirst),
                          literalBestFitHalf(samples.data(), count, position, separator, highFirst))
                    << "separator " << separator << " at " << position;
            }
        }
    }
}

TEST(BitDecoder, LocksOnTheLeadInAndDecodesEitherPolarity) {
    ScratchDir dir;
    const Bytes tape = tapeBytes({kName, kData, kEnd});
    const Bytes lowStart(1000, 56);
    RunResult run = decode(dir, 22050, join({lowStart, tapeSignal(tape, 7, 21, true)}));
    ASSERT_EQ(run.status, 0);
    // The lock comes at the 601st lead-in change, after 151 one bits and 150 zero bits.
    EXPECT_EQ(run.output.rfind(
                  "\nProgram szinkron 0.427 másodpercnél 634 mikromásodperces elválasztóval és magas jellel\n", 0),
              0u);
    EXPECT_NE(run.output.find("83 01 02 41 42 86  O: " + dir.path("rec/01_AB.ptp") + "\n"), std::string::npos);
    EXPECT_NE(run.output.find("b1 05 05  O\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);

    run = decode(dir, 22050, join({lowStart, tapeSignal(tape, 7, 21, false)}));
    EXPECT_NE(run.output.find("elválasztóval és alacsony jellel\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);

    // Manual timing needs no lead-in; -j H tells a low-first recording.
    run = decode(dir, 22050, join({lowStart, tapeSignal(tapeBytes({kName, kData, kEnd}, 0), 7, 21, false)}),
                 {"-s", "624", "-j", "h"});
    EXPECT_EQ(run.output.find("Program szinkron"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
}

TEST(BitDecoder, RestartsAtThe2001stBitWithoutASyncByte) {
    ScratchDir dir;
    // Zero bits of 42 samples from sample 100: the 2001st ends at 100 + 2001 × 42.
    RunResult run = decode(dir, 22050, join({Bytes(100, 56), tapeSignal(Bytes(300, 0x00), 7, 21, true)}), {"-s624"});
    EXPECT_EQ(run.output, "Újraindulás 3.816 másodpercnél\n");
}

TEST(BitDecoder, BlockDeadlineAllowsExactlyOneSecondAfterB9) {
    ScratchDir dir;
    const Bytes sync = {0xD3, 0xD3, 0xD3};
    const Bytes b9 = {0xB9, 1, 2, 3, 6};
    // P: the first sample of the last bit of the 0xB9 block; the deadline is P + rate.
    const Bytes blocks = join({sync, b9});
    const std::int64_t p = 100 + cellSamples(blocks, 3, 9) - 18;
    const Bytes samples = join({Bytes(100, 56), tapeSignal(join({blocks, Bytes(200, 0xFF)}), 3, 9, true)});
    auto restartLine = [&](std::int64_t position, double rate) {
        char line[64];
        std::snprintf(line, sizeof line, "Újraindulás %.3f másodpercnél\n", position / rate);
        return std::string(line);
    };
    // At 1002 Hz a cell ends exactly on the deadline (still in time); the next one is late.
    RunResult run = decode(dir, 1002, samples, {"-s5000"});
    EXPECT_NE(run.output.find("b9 01 02 03 06  O\n" + restartLine(p + 1008, 1002)), std::string::npos) << run.output;
    run = decode(dir, 1001, samples, {"-s5000"});
    EXPECT_NE(run.output.find("b9 01 02 03 06  O\n" + restartLine(p + 1002, 1001)), std::string::npos) << run.output;
}

TEST(BitDecoder, HostileRecordingsEndNormally) {
    ScratchDir dir;
    std::mt19937 random(5);
    Bytes noise(400000);
    for (auto& s : noise) s = static_cast<std::uint8_t>(random());
    Bytes signal = tapeSignal(tapeBytes({kName}, 100), 3, 9, true);  // locks, then dies into silence
    signal.resize(signal.size() + 5000, 128);
    struct Case {
        std::uint32_t rate;
        const Bytes* samples;
        std::vector<std::string> options;
    } cases[] = {
        {44100, &noise, {}}, {8000, &noise, {"-s", "1"}}, {8000, &noise, {"-s100"}}, {48000, &noise, {"-s5000"}},
        {0, &noise, {"-s624"}}, {0xFFFFFFFF, &noise, {}}, {0xFFFFFFFF, &noise, {"-s", "624"}}, {8000, &signal, {}},
        {0, &signal, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode(dir, c.rate, *c.samples, c.options).status, 0) << c.rate;
    }
    EXPECT_EQ(decode(dir, 8000, Bytes(100000, 128)).output, "");
}

// Every rate, width and shape the encoder offers reads back to the same image,
// except the 8000 Hz sine, whose two-sample half-waves the cleaning flattens.
TEST(BitDecoder, ReadsBackTheEncoderOutput) {
    ScratchDir dir;
    writeFile(dir.path("t.ptp"), kImage);
    const std::pair<std::string, int> rates[] = {{"8", 3}, {"11", 4}, {"16", 5}, {"22", 7}, {"44", 14}, {"48", 15}};
    for (const auto& [rate, h] : rates) {
        for (const char* bits : {"8", "16", "24", "32"}) {
            for (int shape : {1, 2, 2 * h, 0}) {
                if (shape == 0 && rate == "8") continue;
                ASSERT_EQ(runKazettor({dir.path("t.ptp"), "-m", rate, "-b", bits, "-f", std::to_string(shape)}).status, 0);
                std::filesystem::remove_all(dir.path("t"));
                RunResult run = runKazettor({dir.path("t.wav")});
                ASSERT_EQ(run.status, 0);
                EXPECT_EQ(readFile(dir.path("t/01_AB.ptp")), kImage) << rate << " kHz " << bits << " bits shape " << shape;
            }
        }
    }
}
