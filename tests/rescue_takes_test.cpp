// Several recordings (takes) of one tape, read by the rescue decoder
// together: each takes the blocks the others lose; a take of another tape
// adds nothing; takes that read a block differently, each good, leave it X.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "rescue/take_merge.h"
#include "support/test_support.h"

namespace {

Bytes dataBlock(std::uint8_t number, std::uint8_t fill) {
    return withChecksum(concat({{0xF1, number, 0x00, 0x43, 48}, Bytes(48, fill)}));
}

const std::vector<Bytes> kBlocks = {kNameBlock,         dataBlock(1, 0x11), dataBlock(2, 0x22),
                                    dataBlock(3, 0x33), dataBlock(4, 0x44), kEndBlock};

// The program's PTP image, as the decoder writes it.
Bytes imageOf(const std::vector<Bytes>& blocks) {
    Bytes image = {0xFF, 0, 0};
    for (const Bytes& block : blocks) {
        const std::uint8_t type = &block == &blocks.back() ? 0xAA : 0x55;
        image = concat({image, {type}, littleEndian(static_cast<std::uint32_t>(block.size()), 2), block});
    }
    std::ranges::copy(littleEndian(static_cast<std::uint32_t>(image.size()), 2), image.begin() + 1);
    return image;
}

// Bytes [from, to) of a block made silent in a take.
struct Silence {
    std::size_t block;
    std::size_t from = 10, to = 1000;
};

// A take of the program: half a second of silence around it, half-waves of
// `half` and 3 × `half` samples at 44100 Hz (14 is a standard tape; 15 one
// 7 % slow), with stretches of its blocks silent (by default from a
// block's tenth byte to its end). As 16-bit samples at -6 dBFS.
std::vector<std::int16_t> take(const std::vector<Bytes>& blocks, int half,
                               const std::vector<Silence>& silent) {
    Bytes samples(22050, 128);
    const Bytes leadIn = tapeSignal(Bytes(80, 0xAA), half, 3 * half, true);
    samples.insert(samples.end(), leadIn.begin(), leadIn.end());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        const Bytes before = tapeSignal(concat({Bytes(10, 0xFF), {0xD3, 0xD3, 0xD3}}), half, 3 * half, true);
        samples.insert(samples.end(), before.begin(), before.end());
        for (std::size_t i = 0; i < blocks[b].size(); ++i) {
            Bytes cell = tapeSignal({blocks[b][i]}, half, 3 * half, true);
            for (const Silence& s : silent)
                if (s.block == b && i >= s.from && i < s.to) std::ranges::fill(cell, 128);
            samples.insert(samples.end(), cell.begin(), cell.end());
        }
    }
    const Bytes after = concat({tapeSignal(Bytes(4, 0xFF), half, 3 * half, true), Bytes(22050, 128)});
    samples.insert(samples.end(), after.begin(), after.end());
    std::vector<std::int16_t> out;
    for (std::uint8_t s : samples) out.push_back(static_cast<std::int16_t>((s - 128) * 225));
    return out;
}

Bytes wavOf(const std::vector<std::int16_t>& left, const std::vector<std::int16_t>& right = {}) {
    Bytes data;
    const int channels = right.empty() ? 1 : 2;
    for (std::size_t n = 0; n < std::max(left.size(), right.size()); ++n) {
        for (int c = 0; c < channels; ++c) {
            const std::vector<std::int16_t>& from = c == 0 ? left : right;
            const std::int16_t s = n < from.size() ? from[n] : 0;
            data.insert(data.end(), {static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(s >> 8)});
        }
    }
    return wavFile(44100, 16, data, channels);
}

// The marks of the block lines, in order.
std::string marks(const std::string& output) {
    std::string out;
    for (const BlockLine& line : blockLines(output)) out += line.mark;
    return out;
}

// The program's blocks with the marks expected; an X block's bytes are as
// read, not checked.
std::vector<BlockLine> marked(const std::vector<Bytes>& blocks, const std::string& marks) {
    std::vector<BlockLine> lines;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        lines.push_back({marks[i] == 'X' ? Bytes{} : blocks[i], marks[i]});
    return lines;
}

}  // namespace

// Take A loses data blocks 1 and 3, take B (on a deck 7 % slow) 2 and 4:
// each alone marks two blocks X, read together every block is O and the
// program's file is exact. A stereo file of the two is read the same way,
// which the default decoder refuses; -t without -r I changes nothing.
TEST(RescueTakes, TakesReadTogetherWhatEachLoses) {
    ScratchDir dir;
    const auto a = take(kBlocks, 14, {{1}, {3}}), b = take(kBlocks, 15, {{2}, {4}});
    writeFile(dir.path("b.wav"), wavOf(b));
    EXPECT_EQ(marks(runOn(dir.path("a.wav"), wavOf(a), {"-r", "I"}).output), "OXOXOO");
    EXPECT_EQ(marks(runOn(dir.path("b2.wav"), wavOf(b), {"-r", "I"}).output), "OOXOXO");

    std::filesystem::remove_all(dir.path("a"));
    const RunResult both = runOn(dir.path("a.wav"), wavOf(a), {"-r", "I", "-t", dir.path("b.wav")});
    expectBlocks(both.output, marked(kBlocks, "OOOOOO"));
    EXPECT_EQ(readFile(dir.path("a/01_AB.ptp")), imageOf(kBlocks));
    EXPECT_NE(both.output.find("Felvételek: A (" + dir.path("a.wav") + ") 4 blokk, B (" + dir.path("b.wav") +
                               ") 4 blokk, együtt, bitenként összeadva 0 blokk\n"),
              std::string::npos)
        << both.output;

    const RunResult stereo = runOn(dir.path("ab.wav"), wavOf(a, b), {"-r", "I"});
    expectBlocks(stereo.output, marked(kBlocks, "OOOOOO"));
    EXPECT_NE(stereo.output.find("A (" + dir.path("ab.wav") + ", 1. csatorna) 4 blokk, B (" +
                                 dir.path("ab.wav") + ", 2. csatorna) 4 blokk"),
              std::string::npos);
    EXPECT_EQ(runOn(dir.path("ab.wav"), wavOf(a, b)).output,
              "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
    const std::string plain = runOn(dir.path("a.wav"), wavOf(a)).output;
    EXPECT_EQ(runOn(dir.path("a.wav"), wavOf(a), {"-t", dir.path("b.wav")}).output, plain);
}

// A take of another tape shares no block with the input: it adds nothing,
// none of its blocks reaches the output, and the report says so. Takes
// that read one block each good, but differently, contradict each other.
TEST(RescueTakes, ATakeOfAnotherTapeAddsNothingAndDisagreeingTakesContradict) {
    ScratchDir dir;
    const auto a = take(kBlocks, 14, {{1}});
    const std::vector<Bytes> other = {withChecksum({0x83, 0x01, 0x02, 0x58, 0x59}), dataBlock(1, 0x55),
                                      dataBlock(2, 0x66), kEndBlock};
    writeFile(dir.path("other.wav"), wavOf(take(other, 14, {})));
    const RunResult run = runOn(dir.path("a.wav"), wavOf(a), {"-r", "I", "-t", dir.path("other.wav")});
    expectBlocks(run.output, marked(kBlocks, "OXOOOO"));
    EXPECT_FALSE(std::filesystem::exists(dir.path("a/02_XY.ptp")));
    EXPECT_NE(run.output.find(
                  "B (" + dir.path("other.wav") +
                  "): nem ennek a szalagnak a felvétele, egyetlen blokkja sem egyezett: semmi sem került "
                  "belőle a fájlokba\n"),
              std::string::npos)
        << run.output;

    std::vector<Bytes> changed = kBlocks;
    changed[3] = dataBlock(3, 0x3C);
    writeFile(dir.path("changed.wav"), wavOf(take(changed, 15, {})));
    std::filesystem::remove_all(dir.path("a"));
    const RunResult disagreeing =
        runOn(dir.path("a.wav"), wavOf(a), {"-r", "I", "-t", dir.path("changed.wav")});
    expectBlocks(disagreeing.output, marked(kBlocks, "OOOXOO"));
    EXPECT_NE(disagreeing.output.find(
                  "adatblokk  X  ellentmondó olvasások: a felvételek más-más jó ellenőrző összegű "
                  "blokkot adtak"),
              std::string::npos);
}

// Two takes in white noise so strong (the signal 1 dB above it) that
// neither reads data blocks 1 and 3 alone: each take's readings of them,
// added up bit by bit, give both blocks with a slip risk low enough to
// trust (J), and the report names the two takes.
TEST(RescueTakes, EvidenceAddsUpAcrossTakes) {
    ScratchDir dir;
    const std::vector<Bytes> blocks = {kNameBlock, dataBlock(1, 0x5A), dataBlock(2, 0xA5), dataBlock(3, 0x3C),
                                       kEndBlock};
    auto noisy = [&](unsigned seed) {
        const Bytes samples =
            concat({Bytes(22050, 128), tapeSignal(tapeBytes(blocks), 14, 42, true), Bytes(22050, 128)});
        std::mt19937 random(seed);
        std::vector<std::int16_t> out;
        for (std::uint8_t s : samples) {
            const double noise = 0.23 * std::sqrt(12.0) * (random() / 4294967296.0 - 0.5);
            out.push_back(static_cast<std::int16_t>(
                std::lround(std::clamp((s - 128) / 288.0 + noise, -1.0, 0.99) * 32767)));
        }
        return out;
    };
    writeFile(dir.path("b.wav"), wavOf(noisy(1003)));
    const std::string a = runOn(dir.path("a.wav"), wavOf(noisy(3)), {"-r", "I"}).output;
    const std::string b = runOn(dir.path("b2.wav"), wavOf(noisy(1003)), {"-r", "I"}).output;
    // The mark of data block `number`'s line ('-' where there is none).
    auto markOf = [](const std::string& output, std::uint8_t number) {
        for (const BlockLine& line : blockLines(output)) {
            if (line.bytes.size() > 1 && line.bytes[0] == 0xF1 && line.bytes[1] == number) return line.mark;
        }
        return '-';
    };
    for (const std::string& alone : {a, b}) {
        EXPECT_EQ(markOf(alone, 1), 'X') << alone;
        EXPECT_EQ(markOf(alone, 3), 'X') << alone;
    }
    std::filesystem::remove_all(dir.path("a"));
    const std::string both =
        runOn(dir.path("a.wav"), wavOf(noisy(3)), {"-r", "I", "-t", dir.path("b.wav")}).output;
    const auto lines = blockLines(both);
    ASSERT_GE(lines.size(), 4u) << both;
    EXPECT_EQ(lines[1], (BlockLine{blocks[1], 'J'}));
    EXPECT_EQ(lines[3], (BlockLine{blocks[3], 'J'}));
    std::size_t summed = 0;
    for (auto at = both.find("J  a felvételek együtt, bitenként összeadva (A+B)"); at != std::string::npos;
         at = both.find("J  a felvételek együtt, bitenként összeadva (A+B)", at + 1))
        ++summed;
    EXPECT_EQ(summed, 2u) << both;
}

// The time map between two takes, worked out by hand: linear between the
// pairs of instants, on with the nearest pair's slope beyond them, and a
// shift alone with a single pair.
TEST(RescueTakes, TimesMapBetweenTheAnchors) {
    const std::vector<std::pair<double, double>> anchors = {{10, 20}, {20, 40}, {30, 50}};
    const std::pair<double, double> cases[] = {{10, 20}, {15, 30}, {25, 45}, {40, 60}, {0, 0}};
    for (const auto& [take, reference] : cases) EXPECT_DOUBLE_EQ(mapTime(anchors, take), reference) << take;
    EXPECT_DOUBLE_EQ(mapTime({{10, 25}}, 12), 27);
    EXPECT_DOUBLE_EQ(mapTime({}, 12), 12);
}

// Each take loses blocks 1 and 2 to a dropout of four bytes (about 40 ms),
// at other places in each: each alone marks them X, the signal lost. Read
// together, each take's reading is taken up again where its signal comes
// back, set in its place by the other's bits, and the pieces added up:
// both blocks J, the file exact. Where both takes lose the same bytes
// (block 2 of a third take, with B), nothing holds them: X.
TEST(RescueTakes, PiecesTogetherABlockEachTakeLostElsewhere) {
    std::mt19937 random(7);
    auto randomBlock = [&](std::uint8_t number) {
        Bytes data(96);
        for (std::uint8_t& byte : data) byte = static_cast<std::uint8_t>(random());
        return withChecksum(concat({{0xF1, number, 0x00, 0x43, 96}, data}));
    };
    const std::vector<Bytes> blocks = {kNameBlock, randomBlock(1), randomBlock(2), kEndBlock};
    const auto a = take(blocks, 14, {{1, 20, 24}, {2, 70, 74}}),
               b = take(blocks, 15, {{1, 60, 64}, {2, 30, 34}});
    ScratchDir dir;
    writeFile(dir.path("b.wav"), wavOf(b));
    for (const auto& one : {a, b}) {
        std::filesystem::remove_all(dir.path("one"));
        const RunResult alone = runOn(dir.path("one.wav"), wavOf(one), {"-r", "I"});
        expectBlocks(alone.output, marked(blocks, "OXXO"));
        EXPECT_NE(alone.output.find("X  jelkiesés "), std::string::npos) << alone.output;
    }
    const RunResult both = runOn(dir.path("a.wav"), wavOf(a), {"-r", "I", "-t", dir.path("b.wav")});
    expectBlocks(both.output, marked(blocks, "OJJO"));
    EXPECT_EQ(readFile(dir.path("a/01_AB.ptp")), imageOf(blocks));
    EXPECT_NE(
        both.output.find("J  a felvételek együtt, a jelkiesések körül összeillesztve és bitenként összeadva "
                         "(A+B); bizonytalan bit: "),
        std::string::npos)
        << both.output;
    EXPECT_NE(both.output.find("együtt, bitenként összeadva 2 blokk\n"), std::string::npos) << both.output;

    const auto c = take(blocks, 14, {{1, 20, 24}, {2, 29, 35}});
    const RunResult overlapping = runOn(dir.path("c.wav"), wavOf(c), {"-r", "I", "-t", dir.path("b.wav")});
    expectBlocks(overlapping.output, marked(blocks, "OJXO"));
}
