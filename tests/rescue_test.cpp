// The rescue decoder (-r I): its conditioning, and whole runs on recordings
// the default decoder cannot read, with the damage report and its guards.
// Its numbers are tuned and may change: the tests hold it to what it reads,
// how it marks blocks and what the report says.
#include <algorithm>
#include <cmath>
#include <random>

#include "rescue/block_reader.h"
#include "rescue/cell_tracker.h"
#include "rescue/conditioning.h"
#include "rescue/damage_report.h"
#include "rescue/reading_verdict.h"
#include "rescue/recording.h"
#include "rescue/retry_ladder.h"
#include "support/recordings.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

// The blocks that one tracker alone reads in the signal from `from` on, with
// T measured on the whole signal: which kind of tracker reads what shows in
// no run, where all kinds look for the sync.
std::vector<Bytes> blocksRead(const Signal& signal, std::int64_t from, double rate, CellTracker tracker) {
    const std::vector<float> samples(signal.begin(), signal.end());
    tracker.signal = samples.data();
    tracker.count = std::ssize(samples);
    std::vector<Bytes> read;
    if (startTracker(tracker, from, estimateHalfWave(samples.data(), 0, tracker.count, rate), rate))
        for (auto [bit, hunt, block] = std::tuple<SoftBit, SyncHunt, BlockReading>{}; nextBit(tracker, bit);)
            if (takeSyncBit(hunt, bit)) read.push_back((readBlock(tracker, hunt, rate, block), block.bytes));
    return read;
}

// The rescue decoder's run on the recording made quiet (at 44100 Hz), of
// which the default decoder reads nothing.
RunResult rescuedQuiet(const Signal& signal) {
    const Signal recording = quiet(signal);
    EXPECT_EQ(decode(dir, recording, 44100, {}).output, "");
    return decode(dir, recording, 44100);
}

// The report of a run that read the program "AB" clean.
const std::string kAllClean =
    "\nSérülésjelentés:\n  minden blokk hibátlan\nÖsszesen 1 program, 3 blokk: 3 O, 0 J, 0 X\n";

// The program "AB" with a 0xB9 block after its data block.
// clang-format off
const Bytes kB9Image = concat({{0xFF, 0x25, 0x00, 0x55, 0x06, 0x00}, kNameBlock, {0x55, 0x08, 0x00}, kDataBlock,
                               {0xAA, 0x05, 0x00}, kB9Block, {0xAA, 0x03, 0x00}, kEndBlock});
// clang-format on

// A block whose checksum is wrong on the tape itself: it is 76.
const Bytes kWrongOnTape = fromHex("F1 06 00 48 04 09 09 09 09 8B");

}  // namespace

TEST(RescueConditioning, SamplesAtFullResolution) {
    // clang-format off
    const std::tuple<Bytes, double> cases[] = {
        {{0x00}, -1.0}, {{0xFF}, 127 / 128.0}, {{0x80}, 0.0}, {{0x00, 0x80}, -1.0}, {{0xFF, 0x7F}, 32767 / 32768.0},
        {{0x01, 0x00, 0x00}, 1 / 8388608.0}, {{0xFF, 0xFF, 0xFF}, -1 / 8388608.0}, {{0x00, 0x00, 0x00, 0x80}, -1.0},
    };
    // clang-format on
    for (const auto& [bytes, value] : cases)
        EXPECT_EQ(sampleValue(bytes.data(), std::ssize(bytes)), static_cast<float>(value));
}

// Every sample of a file in each width, read as the rescue decoder reads
// it: values of k/128, exact in 8 bits and wider, over 800,000 samples,
// past the end of the first block read (786,432 bytes).
TEST(RescueConditioning, ReadsEverySampleOfEachWidth) {
    Signal signal(800000);
    for (std::size_t n = 0; n < signal.size(); ++n)
        signal[n] = (static_cast<double>(n * 37 % 255) - 127) / 128;
    for (const int bits : {8, 16, 24, 32}) {
        writeFile(dir.path("widths.wav"), wavOf({signal}, 8000, bits));
        Recording recording;
        openRecording(dir.path("widths.wav").c_str(), kChannelOption, recording);
        const std::vector<float> read = readRawSamples(recording, 0, recording.count);
        ASSERT_EQ(read.size(), signal.size()) << bits;
        std::size_t wrong = 0;
        for (std::size_t n = 0; n < signal.size(); ++n) wrong += read[n] != static_cast<float>(signal[n]);
        EXPECT_EQ(wrong, 0u) << bits;
    }
}

// Quiet (-50 dB), offset by a tenth of full scale, hissing at 10 dB and a
// sine at 22050 Hz, in 32 bits (over a megabyte, more than one read block):
// the default decoder finds nothing, the rescue decoder all of it, marked O,
// and no restart; the cleaned signal is an 8-bit WAV at a level to see.
TEST(RescueDecoder, ReadsWhatTheDefaultDecoderCannot) {
    runOn(dir.path("src.ptp"), kImage, {"-m22", "-b16", "-f0"});
    Signal signal = withHiss(samplesOf(readFile(dir.path("src.wav"))), 0.707 / std::sqrt(10.0), 1);
    for (double& s : signal) s = 0.1 + 0.003 * s;
    EXPECT_EQ(decode(dir, signal, 22050, {}, 32).output, "");  // not even a lock

    const RunResult run = decode(dir, signal, 22050, {"-r", "i"}, 32);
    EXPECT_TRUE(holds(run.output, "83 01 02 41 42 86  O: " + dir.path("rec/01_AB.ptp") + "\n"));
    EXPECT_FALSE(holds(run.output, "Újraindulás"));
    EXPECT_EQ(report(run), kAllClean);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
    const Bytes cleaned = readFile(dir.path("rec/rec.wav"));
    ASSERT_EQ(cleaned.size(), 44 + signal.size());
    EXPECT_EQ(firstBytes(cleaned, 44), pcmHeader(22050, 8, std::uint32_t(signal.size())));
    const auto [low, high] = std::minmax_element(cleaned.begin() + 44, cleaned.end());
    EXPECT_GT(*high - *low, 64);
}

// No lead-in, the cells starting with their low half: found by the timing of
// the half-waves and the polarity that syncs (or the one -j gives with -s),
// with a separator of 26 samples (590 µs). With the other polarity, -j I,
// the trackers follow the middles of the cells and find no block; read
// again with the short half-waves louder, whose edges then ring past zero,
// they read the blocks. And a tape whose speed drifts by 12 % within the
// program, followed cell by cell. A timing out of -s's range (100 to 5000
// µs) is the standard 624, as for the default decoder.
TEST(RescueDecoder, NeedsNoLeadInAndFindsThePolarity) {
    const Bytes blocks = tapeBytes({kNameBlock, kDataBlock, kB9Block, kEndBlock}, 0);
    const Bytes quiet(2000, 128);
    const Signal lowFirst = fromTape(concat({quiet, tapeSignal(blocks, 13, 39, false), quiet}));
    const Signal tape = fromTape(concat({quiet, tapeSignal(blocks, 14, 42, true), quiet}));
    Signal drifting;
    for (double at = 0; at + 1 < static_cast<double>(tape.size());
         at += 1.0 + 0.12 * at / static_cast<double>(tape.size()))
        drifting.push_back(tape[static_cast<std::size_t>(at)]);
    // clang-format off
    const std::tuple<Signal, std::vector<std::string>, std::string> cases[] = {
        {lowFirst, {"-r", "I"}, "alacsony"}, {lowFirst, {"-r", "I", "-s624", "-jH"}, "alacsony"},
        {lowFirst, {"-r", "I", "-s624", "-jI"}, "magas"}, {drifting, {"-r", "I"}, "magas"},
        {lowFirst, {"-r", "I", "-s99", "-jH"}, "alacsony"}, {lowFirst, {"-r", "I", "-s5001", "-jH"}, "alacsony"}};
    // clang-format on
    for (const auto& [signal, options, level] : cases) {
        const RunResult run = decode(dir, signal, 44100, options);
        EXPECT_TRUE(holds(run.output, "elválasztóval és " + level + " jellel\n"));
        EXPECT_NEAR(numbersAfter(run.output, "másodpercnél ").at(0), level == "magas" ? 635 : 590, 30);
        EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kB9Image);
    }
}

// Damage costs the blocks it hits, each reported with what is wrong; the
// decoder goes on with the next. A dropout inside a block; a block whose
// checksum is wrong on the tape itself, read clean: no case for a repair, it
// stays X, written as read; a block cut short by the next one's fill and
// sync, written with its missing bytes as zeros; a block of unknown type.
TEST(RescueDecoder, ReportsWhatIsLostAndRepairsNothingOnAGuess) {
    const Bytes second = withChecksum(concat({{0xF2, 0, 0x20, 0x43, 40}, Bytes(40, 0x55)}));
    const Bytes wrongOnTape = {0xF3, 0, 0x30, 0x43, 4, 9, 9, 9, 9, 0x8B};  // the checksum is 9B
    const Bytes cutShort = {0xF4, 0, 0x50, 0x43, 0x20, 1, 2, 3};           // 38 bytes long by its length byte
    const Bytes unknown = withChecksum({0x12, 0, 0x60, 0x43, 2, 1, 2});
    const std::vector<Bytes> blocks = {kNameBlock, kDataBlock, second,   wrongOnTape,
                                       cutShort,   unknown,    kEndBlock};
    Tape tape{.blocks = blocks, .T = 14, .leadIn = 200};
    // 45 ms of silence from kDataBlock's fourth byte on, which follows the
    // lead-in of 200 bytes, the name block after its fill and sync, and the
    // data block's own fill, sync and first three bytes.
    tape.set(tape.at(1, 3), 0, 2000, 0);
    const RunResult run = decode(dir, tape.signal, 44100);
    EXPECT_TRUE(holds(run.output, "Újraindulás "));
    const std::string damage = report(run);
    for (const std::string line :
         {"adatblokk  X  jelkiesés ",
          "adatblokk  X  hibás ellenőrző összeg, pedig minden bit biztos: a szalagon is "
          "hibás lehet; bizonytalan bit: 0\n",
          // 8 bytes of its own and 8 of the fill, before the last two fill bytes
          "adatblokk  X  a következő blokk a blokk vége előtt kezdődött, 22 byte hiányzik",
          "ismeretlen blokk  X  ismeretlen blokktípus (12)"})
        EXPECT_TRUE(holds(damage, line));
    EXPECT_TRUE(damage.ends_with("Összesen 1 program, 7 blokk: 3 O, 0 J, 4 X\n")) << damage;
    const Bytes file = readFile(dir.path("rec/01_AB.ptp"));
    for (const Bytes& record :
         {second, wrongOnTape, concat({{0x55, 38, 0}, cutShort, Bytes(8, 0xFF), Bytes(22, 0)}),
          concat({{0xAA, 0x03, 0x00}, kEndBlock})})
        EXPECT_NE(std::search(file.begin(), file.end(), record.begin(), record.end()), file.end());
}

// Recordings whose cells are not the textbook shape read exactly, every
// block O: through a first-order 1 kHz high-pass (a coupling capacitor),
// where a long half-wave droops past zero before the edge that ends it; the
// encoder's 8000 Hz trapezoid, half-waves of 3 and 9 samples each padded
// with one at zero, a 0 cell 2.5 times a 1 cell; cells that start with their
// low half; through two one-pole low-passes at 800 Hz, which leave a 1 bit a
// quarter of a 0 bit's swing, with the edges after a 0 bit late (the
// trackers deciding on the cells' lengths read it). The 8000 Hz recording,
// and the cells that start low, a tracker on the slot reads alone, as one on
// the lengths does the 800 Hz low-pass. At 600 Hz no tracker
// finds a block: the recording is conditioned again with the short
// half-waves made louder, from the start of the file (a click 2000 samples
// in is there in the cleaned copy, not a sample earlier), and reads clean.
TEST(RescueDecoder, ReadsCellsOfOtherShapes) {
    const std::vector<Bytes> blocks = {kNameBlock, kDataBlock, kEndBlock};
    auto recorded = [&](int T, bool highFirst) {
        return Tape{.blocks = blocks, .T = T, .highFirst = highFirst}.signal;
    };
    runOn(dir.path("src.ptp"), kImage, {"-m8", "-b16", "-f3"});
    auto twoLowPasses = [&](double hz) {
        Signal out = recorded(14, true);
        for (double pole = 1 / (1 + 44100 / (2 * M_PI * hz)), first = 0, second = 0; double& x : out)
            x = second += pole * ((first += pole * (x - first)) - second);
        out[2000] = 1;
        return out;
    };
    for (const Bytes& recording : {wavOf({highPassed(recorded(14, true), 44100, 0.5)}, 44100),
                                   readFile(dir.path("src.wav")), wavOf({recorded(13, false)}, 44100),
                                   wavOf({twoLowPasses(800)}, 44100), wavOf({twoLowPasses(600)}, 44100)}) {
        const RunResult run = runOn(dir.path("rec.wav"), recording, {"-r", "I"});
        EXPECT_EQ(report(run), kAllClean) << run.output;
        EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
    }
    const Bytes cleaned = readFile(dir.path("rec/rec.wav"));
    ASSERT_GT(cleaned.size(), 44u + 2000);
    EXPECT_EQ(cleaned[44 + 1999], 128);
    EXPECT_NE(cleaned[44 + 2000], 128);
    EXPECT_EQ(blocksRead(samplesOf(readFile(dir.path("src.wav"))), 0, 8000, {}), blocks);
    EXPECT_EQ(blocksRead(recorded(13, false), 4000, 44100, {.polarity = -1}), blocks);
    EXPECT_EQ(blocksRead(twoLowPasses(800), 4000, 44100, {.settings = {.decideOnLength = true}}), blocks);
}

// Through a first-order 1 kHz high-pass, a 22050 Hz sine recording's edges
// move by the half-wave before them, up to a T: a 1 after a 0 is half as
// long again. Only the trackers deciding on lengths keep every edge there,
// and the lengths of right bits spread so far that their evidence is a few;
// in blocks of isolated ones and zeros, pairs and runs, that is no loss of
// the signal: the whole program reads, every block O, with no restart.
TEST(RescueDecoder, LengthsMovedByAHighPassAreNoLoss) {
    std::vector<Bytes> blocks = {kNameBlock};
    const std::uint8_t patterns[] = {0x49, 0x24, 0x92, 0x55, 0x33, 0x66, 0xCC, 0x99, 0x6D, 0xB6, 0xDB, 0x11};
    for (std::uint8_t b = 0; b < 12; ++b) blocks.push_back(dataBlock(b, patterns[b], 256, 0x43 + b));
    blocks.push_back(kEndBlock);
    const Bytes image = imageOf(blocks);
    runOn(dir.path("src.ptp"), image, {"-m22", "-b16", "-f0"});
    const RunResult run = decode(dir, highPassed(samplesOf(readFile(dir.path("src.wav"))), 22050), 22050);
    EXPECT_FALSE(holds(run.output, "Újraindulás"));
    EXPECT_EQ(report(run),
              "\nSérülésjelentés:\n  minden blokk hibátlan\nÖsszesen 1 program, 14 blokk: 14 O, 0 J, 0 X\n");
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), image);
}

// A recording the WAV fuzzer found (tests/fixtures/standstill.wav): one
// sample a second, so that with -s 5000 a half-wave is a single sample, where
// a tracker once stood still for good. The run ends, and reports the whole
// recording as tape signal without a block.
TEST(RescueDecoder, EndsWhereAHalfWaveIsOneSample) {
    const Bytes file = readFile(KAZETTOR_FIXTURES_DIR "/standstill.wav");
    EXPECT_EQ(report(runOn(dir.path("rec.wav"), file, {"-s", "5000", "-r", "I"})),
              "\nSérülésjelentés:\n  nem találtam blokkot\n"
              "  0.000-5613.000 mp  szalagjel, de blokkot nem találtam benne\n"
              "Összesen 0 program, 0 blokk: 0 O, 0 J, 0 X\n");
}

// The tracker keeps the window of its last bits' spreads sorted as it
// slides, for the median: the same order as sorting the window anew, on
// many random slides with ties among the values.
TEST(RescueTracker, SlidingWindowStaysSorted) {
    std::mt19937 random(9);
    std::vector<float> window(kSpreadWindow, 0.3f), sorted = window, literal;
    for (int n = 0; n < 20000; ++n) {
        const float value = static_cast<float>(random() % 40) / 32;
        replaceSorted(sorted.data(), kSpreadWindow, std::exchange(window[n % kSpreadWindow], value), value);
        std::ranges::sort(literal = window);
        ASSERT_EQ(sorted, literal) << n;
    }
}

// A tracker counts as lost after four cells in a row without their end edge,
// or where 9 of its last 16 bits, from its sixteenth on, had little
// evidence. (Where a run shows the four cells: SyncsAndLosesTheSignalByItsEdges.)
TEST(RescueTracker, CountsAsLostByItsLastCells) {
    // clang-format off
    const std::tuple<int, int, std::uint16_t, bool> cases[] = {  // cells in a row, bits, weak ones, lost
        {3, 100, 0, false}, {4, 100, 0, true}, {0, 100, 0x01FF, true}, {0, 100, 0xFF00, false},
        {0, 15, 0xFFFF, false}, {0, 16, 0x01FF, true}};
    // clang-format on
    for (const auto& [missed, bits, weak, lost] : cases)
        EXPECT_EQ(trackerLost({.missedEdges = missed, .weakBits = weak, .bitsSinceStart = bits}), lost)
            << missed << " " << bits << " " << weak;
}

// A tracker started again where it lost the signal reads on exactly as one
// started afresh there: nothing of its counts of missed edges, weak bits,
// bits and evidence, nor of the cell lengths it measured, carries over.
// Both start in hiss before the tape, where the weak bits count as lost
// from the sixteenth bit on, not before.
TEST(RescueTracker, StartedAgainReadsAsAFreshOne) {
    const Signal tape = withHiss(Tape{.blocks = {kNameBlock, kDataBlock}}.signal, 0.02, 7);
    const std::vector<float> samples(tape.begin(), tape.end());
    CellTracker fresh{.signal = samples.data(), .count = std::ssize(samples)}, used = fresh;
    used.missedEdges = 3, used.missedCells = ~0ull, used.weakBits = 0xFFFF, used.recentEvidence = 50;
    used.bitsSinceStart = 900, used.measuredCell[0] = used.measuredCell[1] = 99;
    const double half = estimateHalfWave(samples.data(), 0, fresh.count, 44100);
    ASSERT_TRUE(startTracker(fresh, 0, half, 44100) && startTracker(used, 0, half, 44100));
    for (int n = 0; n < 150; ++n) {
        SoftBit a, b;
        ASSERT_EQ(nextBit(fresh, a), nextBit(used, b));
        ASSERT_EQ(trackerLost(fresh), trackerLost(used)) << n;
        EXPECT_EQ(std::tuple(a.bit, a.llr, a.timingSure, fresh.missedCells, fresh.weakBits,
                             fresh.recentEvidence, fresh.measuredCell[0], fresh.measuredCell[1]),
                  std::tuple(b.bit, b.llr, b.timingSure, used.missedCells, used.weakBits, used.recentEvidence,
                             used.measuredCell[0], used.measuredCell[1]))
            << n;
    }
}

// A tracker deciding on lengths that finds no end edge for a cell measured
// nothing: the bit has no evidence (in 300 samples at zero inside the data
// block, the signal's level all around).
TEST(RescueTracker, ACellWithoutItsEndEdgeHasNoEvidenceOnLengths) {
    Tape tape{.blocks = {kNameBlock, kDataBlock}};
    tape.set(tape.at(1, 10), 0, 300, 0.0);
    const std::vector<float> samples(tape.signal.begin(), tape.signal.end());
    CellTracker tracker{.signal = samples.data(), .count = std::ssize(samples)};
    tracker.settings.decideOnLength = true;
    ASSERT_TRUE(startTracker(tracker, 0, estimateHalfWave(samples.data(), 0, tracker.count, 44100), 44100));
    int missed = 0;
    for (SoftBit bit; nextBit(tracker, bit) && !trackerLost(tracker);) {
        if (bit.edgeFound) continue;
        ++missed;
        EXPECT_EQ(bit.llr, 0.0f);
    }
    EXPECT_GT(missed, 0);
}

// A tracker anchored on the edges in the cells' middles ends each cell half
// a cell after its middle edge, and keeps to the cells through a long block
// under hiss. (Where it reflected the cell's start about that edge, each
// start's error came back into the next with its sign turned, undamped, and
// the noise walked it off the cells within about a hundred bits.)
TEST(RescueTracker, AnchoredOnTheMiddlesKeepsToTheCells) {
    std::mt19937 random(5);
    Bytes bytes(200);
    for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
    const Tape tape{
        .blocks = {kNameBlock, withChecksum(concat({{0xF1, 0, 0x20, 0x43, 200}, bytes})), kEndBlock}};
    CellTracker middles;
    middles.settings.anchorOnMiddle = true;
    for (const unsigned seed : {3u, 4u, 5u})
        EXPECT_EQ(blocksRead(withHiss(tape.signal, 0.1, seed), 0, 44100, middles), tape.blocks) << seed;
}

// A tracker starts at the first edge of its cells' direction that passes
// the trigger's threshold, placed where the samples cross zero by their
// values: a sample over zero but under the threshold belongs to that edge.
TEST(RescueTracker, StartsWhereTheFirstEdgeCrossesZero) {
    for (const int polarity : {1, -1}) {
        std::vector<float> samples(400, -1.0f);
        samples[99] = -0.25f, samples[100] = 0.2f;
        std::fill(samples.begin() + 101, samples.end(), 1.0f);
        for (float& sample : samples) sample *= static_cast<float>(polarity);
        CellTracker tracker{.signal = samples.data(), .count = std::ssize(samples), .polarity = polarity};
        ASSERT_TRUE(startTracker(tracker, 0, 14, 44100));
        EXPECT_NEAR(tracker.start, 99 + 0.25 / 0.45, 1e-6) << polarity;
    }
}

// -r with a value starting with I or i runs the rescue decoder; any other
// value, or none, the default one, unchanged. On a clean recording both show
// the sync bytes at the same times, to the millisecond.
TEST(RescueDecoder, OnlyIOrIChoosesIt) {
    const Signal tape = fromTape(tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}), 7, 21, true));
    const std::string plain = decode(dir, tape, 22050, {}).output;
    EXPECT_FALSE(holds(plain, "Sérülésjelentés"));
    for (const char* value : {"H", "x", "0"})
        EXPECT_EQ(decode(dir, tape, 22050, {"-r", value}).output, plain);
    const std::vector<double> syncs = numbersAfter(plain, "szinkron byte ");
    ASSERT_EQ(syncs.size(), 6u);
    for (const char* value : {"I", "igen"}) {
        const std::string rescued = decode(dir, tape, 22050, {"-r", value}).output;
        EXPECT_TRUE(holds(rescued, "Sérülésjelentés"));
        const std::vector<double> times = numbersAfter(rescued, "szinkron byte ");
        ASSERT_EQ(times.size(), syncs.size());
        for (std::size_t i = 0; i < syncs.size(); ++i) EXPECT_NEAR(times[i], syncs[i], 0.0015) << i;
    }
}

// Blocks damaged so that their readings disagree, in a quiet recording of
// which the default decoder reads nothing (its search counts only as one of
// the rescue decoder's readings). Each is marked by what its readings show,
// the report says why, and no block marked O or J is wrong:
// - a 0 cell whose high half is cut to T: on the slot it reads as 111 with
//   strong evidence, but the second cell has no end edge; the bytes are such
//   that this reading holds a checksum too. The lengths read it right, and
//   nothing agrees with them: X, the checksum holds but the reading is unsure;
// - two 1 cells with shallow low halves before a 0 cell whose high half
//   sags to 0.3 after T: the slot reads their last two bits the other way
//   round (10 as 01). In a data byte and in the checksum, so that the
//   slot's reading holds a checksum too: the lengths and the default
//   decoder's search agree on the block, the slot contradicts them: X;
// - the same once, in the data: the two that agree repair it: J;
// - a 0 cell silent through (2.9 ms): the block reads right, but its bit
//   was read without signal, which no other reading makes good: X, the bit
//   in doubt;
// - a block whose checksum is wrong on the tape, with a 0 cell cut as in the
//   first: the cut leaves the band's envelope empty for 2T, a dropout, and
//   the report says where it began; it does not call every bit sure;
// - a tone of 2600 Hz, 3.5 times the signal, over six bytes: the first
//   reading holds, with bits in doubt, but no other reading is sure enough
//   to agree: X; and with a wrong checksum on the tape: its bits in doubt
//   are not called sure.
TEST(RescueDecoder, MarksEachBlockByWhatItsReadingsShow) {
    const Bytes unsure = fromHex("F1 02 00 44 08 11 22 33 44 55 66 8F 01 43");        // read ...8f 0e 50
    const Bytes contradicted = fromHex("F1 03 00 45 08 11 22 33 44 55 66 7B 06 36");  // read ...7b 05 35
    const Bytes repaired = fromHex("F1 05 00 47 08 11 22 33 44 55 66 77 06 36");
    const Bytes silenced = withChecksum(fromHex("F1 04 00 46 06 00 00 00 00 00 00"));
    const Bytes toned = fromHex("F1 07 00 49 10 12 34 56 78 9A BC DE F0 0F ED CB A9 87 65 43 21 58");
    const Bytes tonedWrong = fromHex("F1 07 00 49 10 12 34 56 78 9A BC DE F0 0F ED CB A9 87 65 43 21 59");
    Tape tape{
        {kNameBlock, unsure, contradicted, repaired, silenced, kWrongOnTape, toned, tonedWrong, kEndBlock}};
    const int T = tape.T;
    for (const auto& [block, byte, bit] : {std::tuple{1u, 12, 4}, {5u, 5, 0}})
        tape.set(tape.at(block, byte, bit), T, 3 * T, -1);
    for (const auto& [block, byte] : {std::pair{2u, 12}, {2u, 13}, {3u, 12}}) {
        for (int bit : {5, 6}) tape.set(tape.at(block, byte, bit), T, 2 * T, -0.2);
        tape.set(tape.at(block, byte, 7), T, 3 * T, 0.3);
    }
    tape.set(tape.at(4, 8, 3), 0, 6 * T, 0);
    for (std::size_t block : {6u, 7u}) tape.tone(block, 2600, 3.5);
    const RunResult run = rescuedQuiet(tape.signal);
    // clang-format off
    expectBlocks(run.output, {{kNameBlock, 'O'}, {{}, 'X'}, {{}, 'X'}, {repaired, 'J'}, {silenced, 'X'},
                              {{}, 'X'}, {{}, 'X'}, {{}, 'X'}, {kEndBlock, 'O'}});
    // clang-format on
    const std::string unconfirmed =
        "X  az ellenőrző összeg stimmel, de az olvasás nem elég biztos, és más "
        "olvasás nem erősítette meg; bizonytalan bit: ";
    const std::string agreeing = "a hosszak szerint döntő és a szabványos dekóder keresésével kapott";
    const std::vector<std::string> entries = expectReport(
        run, {unconfirmed + "0", "X  ellentmondó olvasások: " + agreeing + " egyezik",
              "J  két olvasás egyezik: " + agreeing + ": a 13. byte 05 helyett 06; bizonytalan bit: ",
              unconfirmed + "1", "X  jelkiesés ", unconfirmed,
              "X  hibás ellenőrző összeg, és más olvasás sem adott egyező, jó blokkot; bizonytalan bit: "});
    // Within the cut cell (6T long).
    EXPECT_NEAR(numbersAfter(entries[4], "jelkiesés ").at(0),
                static_cast<double>(tape.at(5, 5, 0) + 3 * T) / 44100, 3.0 * T / 44100);
    EXPECT_GT(numbersAfter(entries[6], "bizonytalan bit: ").at(0), 0) << entries[6];
}

// A program whose first sync has two edges late (a 1 cell's end 0.9 T late,
// before a 0 cell): trackers on the slot miss them, trackers on lengths miss
// none, and of the trackers that sync there the one that missed the fewest
// edges reads the program. Its last data block has a tone of 2400 Hz, 1.8
// times the signal, over six of its bytes.
Tape lengthsReadIt(const std::vector<Bytes>& blocks) {
    Tape tape{blocks};
    for (int bit : {2, 4}) tape.set(tape.at(0, -3, bit), 0, 19, -1);
    tape.tone(blocks.size() - 2, 2400, 1.8);
    return tape;
}

const Bytes kToneBlock = fromHex("F1 05 00 47 10 12 34 56 78 9A BC DE F0 0F ED CB A9 87 65 43 21 54");
const Bytes kLengthsMisread = fromHex("F1 06 00 48 08 11 22 33 44 55 66 87 0E 50");  // or ...87 01 43

// Readings on lengths are never trusted alone: their evidence is a cap. In a
// block, the crossings inside a run of 111 (before a 0) step by 0.16 of the
// level, too little for an edge on lengths, which read a 0 there; the bytes
// are such that this reading holds a checksum too, and the slot reads it so
// as well, but the default decoder's search reads the cells: X, by
// contradicting readings. Where the tone garbles the lengths, the narrower
// band's lengths and the slot agree: J, the report naming the first four
// bytes repaired, and where the block lies. The default decoder reads
// nothing of the quiet recording.
TEST(RescueDecoder, TrustsNoReadingOnLengthsAlone) {
    Tape tape = lengthsReadIt({kNameBlock, kLengthsMisread, kToneBlock, kEndBlock});
    const std::size_t run111 = tape.at(1, 12, 4);
    for (int k = 1; k < 5; ++k) tape.set(run111, k * tape.T, (k + 1) * tape.T, k % 2 ? -0.08 : 0.08);
    const RunResult run = rescuedQuiet(tape.signal);
    expectBlocks(run.output, {{kNameBlock, 'O'}, {{}, 'X'}, {kToneBlock, 'J'}, {kEndBlock, 'O'}});
    const std::vector<std::string> entries =
        expectReport(run,
                     {"X  ellentmondó olvasások: az első és a szűkebb sávú egyezik, ",
                      "J  két olvasás egyezik: a szűkebb sávú és a résátlag szerint döntő: "},
                     "1 program, 4 blokk: 2 O, 1 J, 1 X");
    EXPECT_EQ(numbersAfter(entries[1], " helyett ").size(), 4u) << entries[1];
    EXPECT_NEAR(std::strtod(entries[1].c_str(), nullptr), static_cast<double>(tape.at(2, 0)) / 44100, 0.002);
}

// -c N with -r I, in files of 8, 16 and 24 bits of two to four channels,
// the others silent: the narrower band is read again from the file, from
// the chosen channel, and repairs the block with the tone (J: neither the
// default decoder nor the first reading gave it). The cleaned WAV: the conditioned channel at the
// recording's length (an odd number of samples), its DC offset of a tenth
// of full scale taken off to the last sample, the lead-in at 0.3 of full
// scale though the 2 s of silence before it are more than half the file.
TEST(RescueDecoder, ReadsOneChannelOfSeveral) {
    Signal channel(90000, 0.0);
    for (double s : lengthsReadIt({kNameBlock, kToneBlock, kEndBlock}).signal) channel.push_back(s);
    if (channel.size() % 2 == 0) channel.push_back(0);
    for (double& s : channel) s = 0.1 + 0.3 * s;
    for (const auto& [bits, channels, chosen] : {std::tuple{8, 2, 2}, {16, 3, 1}, {24, 4, 3}}) {
        std::vector<Signal> all(static_cast<std::size_t>(channels), Signal(channel.size(), 0.0));
        all[static_cast<std::size_t>(chosen - 1)] = channel;
        const Bytes file = wavOf(all, 44100, bits);
        const RunResult run = runOn(dir.path("rec.wav"), file, {"-c", std::to_string(chosen), "-r", "I"});
        expectBlocks(run.output, {{kNameBlock, 'O'}, {kToneBlock, 'J'}, {kEndBlock, 'O'}});
        EXPECT_TRUE(holds(report(run), "J  két olvasás egyezik: a szűkebb sávú"));
        const Bytes cleaned = readFile(dir.path("rec/rec.wav"));
        ASSERT_EQ(cleaned.size(), 44 + channel.size());
        EXPECT_EQ(cleaned.back(), 128);
        double power = 0;
        for (std::size_t n = 100000; n < 140000; ++n)
            power += (cleaned[44 + n] - 128.0) * (cleaned[44 + n] - 128.0);
        EXPECT_NEAR(std::sqrt(power / 40000), 0.3 * 127, 1.5);
    }
}

// The sync and the loss of the signal, on edges made late: a 1 cell's end
// 0.9 T late before a 0 cell, or a 1 cell's before another (a tracker on the
// slot misses such an edge, one on lengths finds it), or each edge of a run
// of 0 cells 1.4 T late (the slot still reads the 0s). Of the 24 sync bits, 3
// may miss their edge: a block whose sync misses 3 is read, even with a
// fourth missed in the fill just before. One whose sync misses 4 (one in its
// first byte) is not, and within a program its stretch is looked at again
// only where the gap since the last block is longer than 1.5 s: at 1.44 s
// the block is lost, at 1.56 s found. A block with three edges in a row
// missed is read to its end, and read sure by the ladder's tracker anchored
// on the cells' middles, whose edges are in place there; with four in a row
// the signal counts as lost
// at the end of the third: the end block, whose record, cut short, still
// ends the image. The recording is quiet, so that the default decoder, which
// reads the block lost at 1.44 s, reads nothing.
TEST(RescueDecoder, SyncsAndLosesTheSignalByItsEdges) {
    const Bytes threeMissed = dataBlock(1, 0x11, 4), lostAt144 = dataBlock(2, 0x0F, 75);
    const Bytes lostAt156 = dataBlock(3, 0x0F, 83), threeInARow = dataBlock(4, 0x00, 2);
    const Bytes endBlock = {0xB1, 0x00, 0xA5};
    Tape tape{{kNameBlock, threeMissed, kDataBlock, lostAt144, kDataBlock, lostAt156, kDataBlock, threeInARow,
               endBlock}};
    auto late = [&](std::size_t block, int byte, int bit, int by = 18) {
        tape.set(tape.at(block, byte, bit), 0, by, -1);
    };
    for (const auto& [byte, bit] : {std::pair{-3, 2}, {-2, 4}, {-1, 2}, {-3, 0}}) late(1, byte, bit);
    for (std::size_t block : {3u, 5u})
        for (const auto& [byte, bit] : {std::pair{-3, 2}, {-2, 2}, {-2, 4}, {-1, 4}}) late(block, byte, bit);
    for (int bit : {1, 2, 3}) late(7, 5, bit, 30);
    for (int bit : {1, 2, 3, 4}) late(8, 1, bit, 30);
    const RunResult run = rescuedQuiet(tape.signal);
    // clang-format off
    expectBlocks(run.output, {{kNameBlock, 'O'}, {threeMissed, 'O'}, {kDataBlock, 'O'}, {kDataBlock, 'O'},
                              {lostAt156, 'O'}, {kDataBlock, 'O'}, {threeInARow, 'O'}, {{0xB1, 0x00, 0x00}, 'X'}});
    // clang-format on
    const std::vector<std::string> entries = expectReport(run, {"záróblokk  X  jelkiesés "});
    EXPECT_TRUE(holds(entries[0], " másodpercnél, 2 byte hiányzik"));
    EXPECT_NEAR(numbersAfter(entries[0], "jelkiesés ").at(0),
                static_cast<double>(tape.at(8, 1) + 18 * tape.T) / 44100, 0.0005);
    const Bytes image = readFile(dir.path("rec/01_AB.ptp"));
    ASSERT_GT(image.size(), 6u);
    EXPECT_EQ(Bytes(image.end() - 6, image.end()), fromHex("AA 03 00 B1 00 00"));
    EXPECT_EQ(image[1] + 256u * image[2], image.size());
}

// A recording whose only block is X, a second of lead-in without a block
// before it: read once (only a recording without a block is conditioned and
// read again), the block written as read, the stretch reported.
TEST(RescueDecoder, ReadsARecordingOfFailedBlocksOnce) {
    const Signal signal =
        fromTape(concat({Bytes(4000, 128), tapeSignal(Bytes(70, 0xAA), 21, 63, true), Bytes(20000, 128),
                         tapeSignal(tapeBytes({kWrongOnTape}), 21, 63, true), Bytes(4000, 128)}));
    const RunResult run = decode(dir, signal, 44100);
    expectBlocks(run.output, {{kWrongOnTape, 'X'}});
    expectReport(run,
                 {" mp  szalagjel, de blokkot nem találtam benne", "X  hibás ellenőrző összeg, pedig minden"},
                 "0 program, 1 blokk: 0 O, 0 J, 1 X");
}

// What one reading says by itself, at the bars: read with evidence 9.21 on
// every one of its 24 bits (exp(-9.21) = 0.0001), a slip risk of 0.0024, an
// end block is trusted alone; at 9.13 (0.00011 a bit, 0.0026 in all) it is
// not, though no bit comes near the bar by itself; nor where a cell lay off
// its edges, where its bits were decided on lengths, cut short, or with a
// wrong checksum. Bits below 99 % (4.6) are in doubt; bits in a dropout are
// counted from where the first began. The signal was found gone there, or
// where the tracker lost it after three bits below evidence 2 (not after
// two, nor on lengths, where a missed edge alone leaves a bit none, nor
// where the reading was complete).
TEST(RescueVerdict, JudgesAReadingAtItsBars) {
    BlockReading sure{.bytes = {0xB1, 0x05, 0x05}, .bits = {}, .expectedBytes = 3, .end = ReadEnd::complete};
    for (int i = 0; i < 24; ++i)
        sure.bits.push_back({(0xB10505 >> (23 - i)) & 1, 30, 100.0 * i, 100.0 * i + 100, true, false, true});
    auto evidence = [](BlockReading r, float llr) {
        for (SoftBit& bit : r.bits) bit.llr = llr;
        return r;
    };
    // The reading ended as given, its last `weak` bits with evidence llr.
    auto weakEnd = [](BlockReading r, ReadEnd end, int weak, float llr, bool onLength = false) {
        r.end = end, r.decideOnLength = onLength;
        for (int i = 24 - weak; i < 24; ++i) r.bits[static_cast<std::size_t>(i)].llr = llr;
        return r;
    };
    using enum ReadEnd;
    // trusted, in doubt, silent, first silent, where the signal was found gone
    // clang-format off
    const std::tuple<BlockReading, bool, int, int, double, double> cases[] = {
        {sure, true, 0, 0, 0, -1}, {evidence(sure, 9.21f), true, 0, 0, 0, -1}, {evidence(sure, 9.13f), false, 0, 0, 0, -1},
        {[](BlockReading r) { r.bits[7].timingSure = false; return r; }(sure), false, 0, 0, 0, -1},
        {[](BlockReading r) { r.decideOnLength = true; return r; }(sure), false, 0, 0, 0, -1},
        {[](BlockReading r) { r.end = ReadEnd::signalLost; return r; }(sure), false, 0, 0, 0, -1},
        {[](BlockReading r) { r.bytes[2] = 0x06; return r; }(sure), false, 0, 0, 0, -1},
        {[](BlockReading r) { r.bits[3].llr = 4.55f, r.bits[4].llr = 4.65f; return r; }(sure), false, 1, 0, 0, -1},
        {[](BlockReading r) { for (int i : {5, 9}) r.bits[i].noSignal = true, r.bits[i].llr = 0; return r; }(sure),
         false, 2, 2, 500, 500},
        {weakEnd(sure, signalLost, 3, 1.9f), false, 3, 0, 0, 2100},
        {weakEnd(weakEnd(sure, signalLost, 3, 1.9f), signalLost, 1, 2.0f), false, 3, 0, 0, -1},
        {weakEnd(sure, signalLost, 2, 1.9f), false, 2, 0, 0, -1},
        {weakEnd(sure, signalLost, 3, 0, true), false, 3, 0, 0, -1},
        {weakEnd(sure, complete, 3, 1.9f), false, 3, 0, 0, -1}};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [reading, trusted, inDoubt, silent, firstSilence, gone] = cases[i];
        const ReadingVerdict verdict = judgeReading(reading);
        EXPECT_EQ(trustedAlone(verdict), trusted) << i;
        EXPECT_EQ(std::tuple(verdict.uncertainBits, verdict.silentBits, verdict.firstSilence,
                             signalGoneIn(reading, verdict)),
                  std::tuple(inDoubt, silent, firstSilence, gone))
            << i;
    }
}

// Stretches of tape signal without a block closer than 0.25 s are reported
// as one; one shorter than 0.5 s is not reported.
TEST(RescueReport, JoinsAndLeavesOutStretchesWithoutABlock) {
    DamageReport report;
    for (const auto& [from, to] : {std::pair{0.0, 0.3}, {0.54, 0.8}, {1.06, 1.5}, {2.0, 2.499}, {3.0, 3.5}})
        noteBlocklessStretch(report, from, to);
    EXPECT_EQ(captured([&] { return printDamageReport(report), 0; }).output,
              "\nSérülésjelentés:\n  nem találtam blokkot\n"
              "  0.000-0.800 mp  szalagjel, de blokkot nem találtam benne\n"
              "  3.000-3.500 mp  szalagjel, de blokkot nem találtam benne\n"
              "Összesen 0 program, 0 blokk: 0 O, 0 J, 0 X\n");
}

// A head's gap at an angle to the track reads the mean of the signal over a
// delay. Over 640 µs, about a 1 cell, it leaves of a 1 cell after a 0 cell a
// ripple that does not cross zero where the cell does. With hiss 25 dB
// down, the default decoder reads both data blocks, and on the plain signal
// the trackers confirm neither (two blocks of four X): the take is read
// again through the emphasis, where the trackers read every block, all O.
// Each reading's tracker runs have lock lines of their own.
TEST(RescueDecoder, ReadsThroughAHeadAtAnAngleOnTheEmphasisedSignal) {
    const std::vector<Bytes> blocks = {kNameBlock, dataBlock(0, 0x5A, 200), dataBlock(1, 0xC3, 200),
                                       kEndBlock};
    runOn(dir.path("src.ptp"), imageOf(blocks), {"-m44", "-b16", "-f14"});
    const Signal signal = samplesOf(readFile(dir.path("src.wav")));
    const double width = 640e-6 * 44100;
    const auto whole = static_cast<std::size_t>(width);
    Signal averaged(signal.size(), 0.0);
    double sum = 0;
    for (std::size_t n = 0; n < signal.size(); ++n) {
        sum += signal[n] - (n >= whole ? signal[n - whole] : 0.0);
        averaged[n] =
            (sum + (width - static_cast<double>(whole)) * (n >= whole ? signal[n - whole] : 0.0)) / width;
    }
    // The signal at half its level, hiss 25 dB below it.
    double power = 0;
    for (std::size_t n = 44100 * 3; n < 44100 * 6; ++n) power += signal[n] * signal[n];
    const double hiss = 0.5 * std::sqrt(power / (44100 * 3)) * std::pow(10.0, -25 / 20.0);
    for (double& x : averaged) x *= 0.5;
    const RunResult run = decode(dir, withHiss(averaged, hiss, 7), 44100);
    expectBlocks(run.output, {{blocks[0], 'O'}, {blocks[1], 'O'}, {blocks[2], 'O'}, {blocks[3], 'O'}});
    expectReport(run, {}, "1 program, 4 blokk: 4 O, 0 J, 0 X");
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), imageOf(blocks));
    // The name block's lock line, and that of the run through the emphasis.
    EXPECT_EQ(numbersAfter(run.output, "Program szinkron ").size(), 2u);
}
