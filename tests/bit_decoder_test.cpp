#include <gtest/gtest.h>

#include <random>

#include "decoder/best_fit_search.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

// Runs the decoder on an 8-bit recording; returns the console text.
RunResult decode(const ScratchDir& dir, std::uint32_t rate, const Bytes& samples,
                 std::vector<std::string> options = {}) {
    writeFile(dir.path("rec.wav"), wavFile(rate, 8, samples));
    options.insert(options.begin(), dir.path("rec.wav"));
    return runKazettor(options);
}

std::string restartLine(double seconds) {
    char line[64];
    std::snprintf(line, sizeof line, "Újraindulás %.3f másodpercnél\n", seconds);
    return line;
}

}  // namespace

// The carried-along counts must choose exactly the candidate the full count
// chooses, ties included, right up to the end of the samples.
TEST(BitDecoder, FastSearchMatchesTheLiteralSearch) {
    std::mt19937 random(99);
    for (int round = 0; round < 400; ++round) {
        const std::int64_t separator = std::vector<int>{1, 2, 3, 5, 7, 14, 28, 30, 101}[round % 9];
        Bytes samples(static_cast<std::size_t>(12 * separator + 50));
        if (round % 3 == 0) {
            for (auto& s : samples) s = static_cast<std::uint8_t>(126 + random() % 5);  // 128 and ties galore
        } else {
            Bytes bytes(8);
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
            const int shortHalf = static_cast<int>(std::max<std::int64_t>(1, separator * 2 / 3));
            samples = tapeSignal(bytes, shortHalf, 3 * shortHalf, round % 2 == 0);
            for (auto& s : samples)
                s = random() % 7 ? s : static_cast<std::uint8_t>(random() % 3 ? random() : 128);
        }
        const auto count = static_cast<std::int64_t>(samples.size());
        for (std::int64_t at = 0; at < count;
             at += 1 + static_cast<std::int64_t>(random() % (separator + 8))) {
            for (bool highFirst : {true, false}) {
                ASSERT_EQ(bestFitHalf(samples.data(), count, at, separator, highFirst),
                          literalBestFitHalf(samples.data(), count, at, separator, highFirst))
                    << "separator " << separator << " at " << at;
            }
        }
    }
}

TEST(BitDecoder, LocksOnTheLeadInAndDecodesEitherPolarity) {
    ScratchDir dir;
    const Bytes lowStart(1000, 56), tape = tapeBytes({kNameBlock, kDataBlock, kEndBlock});
    RunResult run = decode(dir, 22050, concat({lowStart, tapeSignal(tape, 7, 21, true)}));
    // The lock comes at the 601st lead-in change: after 151 one bits and 150 zero bits.
    EXPECT_EQ(run.output.rfind("\nProgram szinkron 0.427 másodpercnél 634 mikromásodperces "
                               "elválasztóval és magas jellel\n",
                               0),
              0u);
    EXPECT_NE(run.output.find("83 01 02 41 42 86  O: " + dir.path("rec/01_AB.ptp") + "\n"),
              std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);

    run = decode(dir, 22050, concat({lowStart, tapeSignal(tape, 7, 21, false)}));
    EXPECT_NE(run.output.find("elválasztóval és alacsony jellel\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);

    // Manual timing needs no lead-in; -j H tells a low-first recording.
    const Bytes noLeadIn = tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}, 0), 7, 21, false);
    run = decode(dir, 22050, concat({lowStart, noLeadIn}), {"-s", "624", "-j", "h"});
    EXPECT_EQ(run.output.find("Program szinkron"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
}

TEST(BitDecoder, RestartsOnTheIdleLimitAndTheBlockDeadline) {
    ScratchDir dir;
    // Zero bits of 42 samples from sample 100: the 2001st ends at 100 + 2001 × 42.
    EXPECT_EQ(decode(dir, 22050, concat({Bytes(100, 56), tapeSignal(Bytes(300, 0), 7, 21, true)}), {"-s624"})
                  .output,
              restartLine((100 + 2001 * 42) / 22050.0));

    // After a 0xB9 block the next must begin within one second (rate samples)
    // of its last bit's start P. Ones of 6 samples follow its last bit (18
    // samples): at 1002 Hz a cell ends exactly on the deadline, still in time,
    // and the next is late; at 1001 Hz the deadline is one sample earlier.
    const Bytes b9 = concat({{0xD3, 0xD3, 0xD3}, {0xB9, 1, 2, 3, 6}});
    const Bytes samples = concat({Bytes(100, 56), tapeSignal(concat({b9, Bytes(200, 0xFF)}), 3, 9, true)});
    std::int64_t p = 100 - 18;
    for (std::uint8_t byte : b9) {
        for (int bit = 7; bit >= 0; --bit) p += (byte >> bit) & 1 ? 6 : 18;
    }
    for (const auto& [rate, restartAt] : {std::pair{1002, p + 1008}, std::pair{1001, p + 1002}}) {
        EXPECT_NE(decode(dir, rate, samples, {"-s5000"})
                      .output.find("b9 01 02 03 06  O\n" + restartLine(restartAt / double(rate))),
                  std::string::npos)
            << rate;
    }
}
