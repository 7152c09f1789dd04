#include <algorithm>
#include <random>

#include "decoder/best_fit_search.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

// Runs the decoder on an 8-bit recording; returns the console text.
RunResult decode(std::uint32_t rate, const Bytes& samples, std::vector<std::string> options = {}) {
    return runOn(dir.path("rec.wav"), wavFile(rate, 8, samples), options);
}

// The console line of the format, for a time and a side of the cell.
std::string printed(const char* format, double seconds, const char* half = "") {
    char text[160];
    std::snprintf(text, sizeof text, format, seconds, half);
    return text;
}

const char* kRestart = "Újraindulás %.3f másodpercnél\n";
// The lock at a second of the recording, with the separator of 14 samples at 22050 Hz.
const char* kLock = "\nProgram szinkron %.3f másodpercnél 634 mikromásodperces elválasztóval és %s jellel\n";
// The same with the separator of 10 samples at 192000 Hz.
const char* kLock52 = "\nProgram szinkron %.3f másodpercnél 52 mikromásodperces elválasztóval és %s jellel\n";

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
            samples = firstBytes(tapeSignal(bytes, shortHalf, 3 * shortHalf, round % 2 == 0), samples.size());
            for (auto& s : samples)
                s = random() % 7 ? s : static_cast<std::uint8_t>(random() % 3 ? random() : 128);
        }
        const std::int64_t count = std::ssize(samples);
        for (std::int64_t at = 0; at < count; at += 1 + static_cast<std::int64_t>(random() % (separator + 8)))
            for (bool highFirst : {true, false})
                ASSERT_EQ(bestFitHalf(samples.data(), count, at, separator, highFirst),
                          literalBestFitHalf(samples.data(), count, at, separator, highFirst))
                    << "separator " << separator << " at " << at;
    }
}

// Ideal recordings at 22050 Hz, levels 200 and 56: how the console starts,
// and the program decoded exactly, with no restart.
TEST(BitDecoder, LocksOnTheLeadInAndDecodesEitherPolarity) {
    const Bytes lowStart(1000, 56);
    auto tape = [&](int shortHalf, int longHalf, bool highFirst, int leadIn = 80) {
        return concat({lowStart, tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}, leadIn), shortHalf,
                                            longHalf, highFirst)});
    };
    // The program after fill and whatever stands before its sync and its data block, cut to `kept` samples.
    const Bytes fill(10, 0xFF), d3 = {0xD3, 0xD3, 0xD3};
    auto program = [&](const Bytes& beforeSync, const Bytes& beforeData, std::size_t kept = SIZE_MAX) {
        const Bytes bytes = concat({fill, beforeSync, d3, kNameBlock, beforeData, d3, kDataBlock, fill, d3,
                                    kEndBlock, Bytes(4, 0xFF)});
        return firstBytes(concat({lowStart, tapeSignal(bytes, 7, 21, true)}), kept);
    };
    const std::size_t last = program({}, fill).size() - 33 * 14;  // the end block's last cell, a 1
    Bytes lowAt128 = tape(7, 21, true);                           // the low side includes 128
    std::replace(lowAt128.begin(), lowAt128.end(), std::uint8_t{56}, std::uint8_t{128});
    // The lock comes at the 601st change counted once both runs are under 60
    // samples: starting high, from the end of the first cell (sample 1014)
    // through 150 one and 150 zero cells, 9414; starting low, from the end of
    // the first zero cell's low half (1035) through 600 more halves, 9435.
    const std::string sync = "d3 szinkron byte ";
    // clang-format off
    const std::tuple<std::string, Bytes, std::vector<std::string>, std::string> cases[] = {
        {"high first", tape(7, 21, true), {}, printed(kLock, 9414 / 22050.0, "magas")},
        {"low first", tape(7, 21, false), {}, printed(kLock, 9435 / 22050.0, "alacsony")},
        {"low level 128", lowAt128, {}, printed(kLock, 9414 / 22050.0, "magas")},
        {"long halves one under the lead-in limit of 60", tape(20, 59, true), {}, "\nProgram szinkron "},
        {"long halves at the lead-in limit: no lock", tape(20, 60, true), {}, ""},
        {"-s, -j h: no lead-in needed", tape(7, 21, false, 0), {"-s", "624", "-j", "h"}, sync},
        {"-s 435: 9.59 samples rounded to 10, a half of 10 is a 1", tape(10, 20, true, 0), {"-s435"}, sync},
        {"-s on a lead-in of 600 bytes: no idle restart", tape(7, 21, true, 600), {"-s624"}, sync},
        // Out of 100 to 5000, or past 2^64 (not wrapped to 5000): 624.
        {"-s 99", tape(7, 21, false, 0), {"-s99", "-jH"}, sync},
        {"-s 5001", tape(7, 21, false, 0), {"-s5001", "-jh"}, sync},
        {"-s 2^64 + 5000", tape(7, 21, false, 0), {"-s18446744073709556616", "-jh"}, sync},
        // Fill is no idle signal; after a wrong sync byte the hunt starts from a
        // cleared register (E9 and a 1 would make a false D3); a cell is read
        // where more than 3 x 14 samples remain from its start.
        {"300 fill bytes", program({}, Bytes(300, 0xFF)), {"-s624"}, sync},
        {"D3 E9, then the sync", program({0xD3, 0xE9}, fill), {"-s624"}, sync},
        {"43 samples from the last cell's start", program({}, fill, last + 43), {"-s624"}, sync},
    };
    // clang-format on
    for (const auto& [name, samples, options, start] : cases) {
        const RunResult run = decode(22050, samples, options);
        EXPECT_EQ(start.empty() ? run.output : run.output.substr(0, start.size()), start) << name;
        EXPECT_EQ(run.output.find("Újraindulás"), std::string::npos) << name;
        EXPECT_EQ(start.empty() ? kImage : readFile(dir.path("rec/01_AB.ptp")), kImage) << name;
    }
    // -s 100 is taken: 5 samples at 50000 Hz.
    EXPECT_EQ(decode(50000, tape(3, 9, true), {"-s100"}).output.substr(0, sync.size()), sync);
    // 42 samples from the last cell's start: the end block is not complete, its image stays open.
    EXPECT_TRUE(decode(22050, program({}, fill, last + 42), {"-s624"}).output.ends_with("b1 05 "));
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")),
              concat({{0xFF, 0x00, 0x00, 0x55, 0x06, 0x00}, kNameBlock, {0x55, 0x08, 0x00}, kDataBlock}));

    // Two programs back to back: the second locks on its own lead-in, at the
    // 601st change after the end block. The scan resumes with the polarity at
    // which decoding began (a low half: the lock fell mid-cell), so the fill's
    // first sample is the first change; then 64 fill and 536 lead-in halves,
    // 7504 samples into the lead-in.
    const Bytes nameCD = withChecksum({0x83, 0x01, 0x02, 'C', 'D'});
    const Bytes first = tape(7, 21, true);  // after its 1000 low samples
    const Bytes programCD = tapeSignal(tapeBytes({nameCD, kDataBlock, kEndBlock}), 7, 21, true);
    EXPECT_TRUE(holds(decode(22050, concat({first, programCD})).output,
                      "b1 05 05  O\n" + printed(kLock, (first.size() + 7504) / 22050.0, "magas")));
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
    const Bytes image = concat({firstBytes(kImage, 6), nameCD, Bytes(kImage.begin() + 12, kImage.end())});
    EXPECT_EQ(readFile(dir.path("rec/02_CD.ptp")), image);

    // A program cut short by zero bits: the data block's last bit and 2000
    // zeros make the idle limit; the restart drops the lock and its count, and
    // the next program locks 8414 samples into its tape, after a silence.
    const Bytes unfinished = firstBytes(tapeBytes({kNameBlock, kDataBlock}), 80 + 19 + 21);  // no fill after
    const std::size_t end = 1000 + tapeSignal(unfinished, 7, 21, true).size();
    const Bytes stopped = tapeSignal(concat({unfinished, Bytes(252, 0)}), 7, 21, true);
    EXPECT_TRUE(holds(decode(22050, concat({lowStart, stopped, lowStart, programCD})).output,
                      "c3 00 18  O\n" + printed(kRestart, (end + 2000 * 42) / 22050.0) +
                          printed(kLock, (end + 2016 * 42 + 1000 + 8414) / 22050.0, "magas")));
    EXPECT_EQ(readFile(dir.path("rec/02_CD.ptp")), image);
}

TEST(BitDecoder, RestartsOnTheIdleLimitAndTheBlockDeadline) {
    // Zero bits of 42 samples from sample 100: the 2001st ends at 100 + 2001 × 42.
    const Bytes zeros = concat({Bytes(100, 56), tapeSignal(Bytes(300, 0), 7, 21, true)});
    EXPECT_EQ(decode(22050, zeros, {"-s624"}).output, printed(kRestart, (100 + 2001 * 42) / 22050.0));
    // A header rate of 0 gives no time base: times print as 0.
    EXPECT_TRUE(decode(0, zeros, {"-s624"}).output.starts_with(printed(kRestart, 0.0)));

    // After a 0xB9 block the next must begin within one second (rate samples)
    // of its last bit's start P. Ones of 6 samples follow its last bit (18
    // samples): at 1002 Hz a cell ends exactly on the deadline, still in time,
    // and the next is late; at 1001 Hz the deadline is one sample earlier.
    const Bytes b9 = concat({{0xD3, 0xD3, 0xD3}, kB9Block});
    const Bytes samples = concat({Bytes(100, 56), tapeSignal(concat({b9, Bytes(200, 0xFF)}), 3, 9, true)});
    std::int64_t p = 100 - 18;
    for (std::uint8_t byte : b9)
        for (int bit = 7; bit >= 0; --bit) p += (byte >> bit) & 1 ? 6 : 18;
    for (const auto& [rate, restartAt] : {std::pair{1002, p + 1008}, std::pair{1001, p + 1002}})
        EXPECT_TRUE(holds(decode(rate, samples, {"-s5000"}).output,
                          "b9 01 02 03 06  O\n" + printed(kRestart, restartAt / double(rate))));
}

// The automatic lock sums the last high run at each qualifying change from the
// 101st to the 601st (501 terms) and divides by 500; a run of 522 samples or
// more (60 at 22050 Hz), high or low, starts the count and the sum again. At
// 192000 Hz: two bursts of 299 and 399 changes, each after such a run, then
// pairs of runs (high h, low l) 1 to 301 and 5 high samples. Change 2m - 1
// ends l_m and adds h_m, change 2m ends h_m+1 and adds it: the sum is
// h_51 + 2 (249 x 10 + h_301), 10 samples (52 us) in every case, but 9 or 11
// with h_51 once more or less, or over 499 or 501. The cell begins high where
// h_301 and l_301 are both below or both above 10.
TEST(BitDecoder, TakesTheSeparatorFromTheLeadInsHighRuns) {
    // h_51, h_301, l_301, the cell's first half
    const std::tuple<int, int, int, const char*> cases[] = {
        {491, 9, 9, "magas"},   {4, 11, 9, "alacsony"}, {4, 11, 11, "magas"},    {4, 9, 11, "alacsony"},
        {4, 10, 9, "alacsony"}, {4, 9, 10, "alacsony"}, {4, 10, 11, "alacsony"}, {4, 11, 10, "alacsony"}};
    for (const auto& [h51, h301, l301, half] : cases) {
        Bytes samples;
        const int pairs[][3] = {
            {150, 10, 30}, {1, 1000, 30}, {199, 10, 30},   {1, 10, 1000}, {50, 10, 30},
            {1, h51, 30},  {249, 10, 30}, {1, h301, l301}, {1, 5, 0}};  // count, high, low
        for (const auto& [count, high, low] : pairs)
            for (int i = 0; i < count; ++i) samples = concat({samples, Bytes(high, 200), Bytes(low, 56)});
        EXPECT_EQ(decode(192000, samples).output, printed(kLock52, (samples.size() - 5) / 192e3, half))
            << h51 << " " << h301 << " " << l301;
    }
}
