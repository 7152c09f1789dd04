// Several recordings (takes) of one tape, read by the rescue decoder
// together: each takes the blocks the others lose; a take of another tape
// adds nothing; takes that read a block differently, each good, leave it X.
#include <random>

#include "rescue/take_merge.h"
#include "support/recordings.h"

namespace {

const std::vector<Bytes> kBlocks = {kNameBlock,         dataBlock(1, 0x11), dataBlock(2, 0x22),
                                    dataBlock(3, 0x33), dataBlock(4, 0x44), kEndBlock};

// Bytes [from, to) of a block made silent in a take.
struct Silence {
    std::size_t block;
    int from = 10, to = 1000;
};

// A take of the program at -6 dBFS: half a second of silence around it,
// half-waves of `half` and 3 × `half` samples at 44100 Hz (14 is a standard
// tape; 15 one 7 % slow), with stretches of its blocks silent (by default
// from a block's tenth byte to its end).
Signal take(const std::vector<Bytes>& blocks, int half, const std::vector<Silence>& silent) {
    Tape tape{.blocks = blocks, .T = half, .start = 22050, .end = 22050, .level = 0.5};
    for (const auto& [block, from, to] : silent)
        tape.set(0, tape.at(block, from), tape.at(block, std::min<int>(to, blocks[block].size())), 0);
    return tape.signal;
}

// The program's blocks with the marks expected; an X block's bytes are as
// read, not checked.
std::vector<BlockLine> marked(const std::vector<Bytes>& blocks, const std::string& marks) {
    std::vector<BlockLine> lines;
    for (std::size_t i = 0; i < blocks.size(); ++i)
        lines.push_back({marks[i] == 'X' ? Bytes{} : blocks[i], marks[i]});
    return lines;
}

// Take a read with take b (written as b.wav) by the rescue decoder.
RunResult together(const ScratchDir& dir, const Signal& a, const Signal& b) {
    writeFile(dir.path("b.wav"), wavOf({b}, 44100));
    return runOn(dir.path("a.wav"), wavOf({a}, 44100), {"-r", "I", "-t", dir.path("b.wav")});
}

}  // namespace

// Take A loses data blocks 1 and 3, take B (on a deck 7 % slow) 2 and 4:
// each alone marks two blocks X, read together every block is O and the
// program's file is exact. A stereo file of the two is read the same way,
// which the default decoder refuses; -t without -r I changes nothing.
TEST(RescueTakes, TakesReadTogetherWhatEachLoses) {
    ScratchDir dir;
    const auto a = take(kBlocks, 14, {{1}, {3}}), b = take(kBlocks, 15, {{2}, {4}});
    expectBlocks(runOn(dir.path("a.wav"), wavOf({a}, 44100), {"-r", "I"}).output, marked(kBlocks, "OXOXOO"));
    expectBlocks(runOn(dir.path("b2.wav"), wavOf({b}, 44100), {"-r", "I"}).output, marked(kBlocks, "OOXOXO"));

    const RunResult both = together(dir, a, b);
    expectBlocks(both.output, marked(kBlocks, "OOOOOO"));
    EXPECT_EQ(readFile(dir.path("a/01_AB.ptp")), imageOf(kBlocks));
    EXPECT_TRUE(holds(both.output, "Felvételek: A (" + dir.path("a.wav") + ") 4 blokk, B (" +
                                       dir.path("b.wav") +
                                       ") 4 blokk, együtt, bitenként összeadva 0 blokk\n"));

    const RunResult stereo = runOn(dir.path("ab.wav"), wavOf({a, b}, 44100), {"-r", "I"});
    expectBlocks(stereo.output, marked(kBlocks, "OOOOOO"));
    EXPECT_TRUE(holds(stereo.output, "A (" + dir.path("ab.wav") + ", 1. csatorna) 4 blokk, B (" +
                                         dir.path("ab.wav") + ", 2. csatorna) 4 blokk"));
    EXPECT_EQ(runOn(dir.path("ab.wav"), wavOf({a, b}, 44100)).output,
              "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
    const std::string plain = runOn(dir.path("a.wav"), wavOf({a}, 44100)).output;
    EXPECT_EQ(runOn(dir.path("a.wav"), wavOf({a}, 44100), {"-t", dir.path("b.wav")}).output, plain);
}

// A take of another tape shares no block with the input: it adds nothing,
// none of its blocks reaches the output, and the report says so. Takes
// that read one block each good, but differently, contradict each other.
TEST(RescueTakes, ATakeOfAnotherTapeAddsNothingAndDisagreeingTakesContradict) {
    ScratchDir dir;
    const auto a = take(kBlocks, 14, {{1}});
    const std::vector<Bytes> other = {withChecksum({0x83, 0x01, 0x02, 0x58, 0x59}), dataBlock(1, 0x55),
                                      dataBlock(2, 0x66), kEndBlock};
    const RunResult run = together(dir, a, take(other, 14, {}));
    expectBlocks(run.output, marked(kBlocks, "OXOOOO"));
    EXPECT_FALSE(std::filesystem::exists(dir.path("a/02_XY.ptp")));
    EXPECT_TRUE(holds(run.output, "B (" + dir.path("b.wav") +
                                      "): nem ennek a szalagnak a felvétele, egyetlen blokkja sem egyezett: "
                                      "semmi sem került belőle a fájlokba\n"));

    std::vector<Bytes> changed = kBlocks;
    changed[3] = dataBlock(3, 0x3C);
    const RunResult disagreeing = together(dir, a, take(changed, 15, {}));
    expectBlocks(disagreeing.output, marked(kBlocks, "OOOXOO"));
    EXPECT_TRUE(holds(
        disagreeing.output,
        "adatblokk  X  ellentmondó olvasások: a felvételek más-más jó ellenőrző összegű blokkot adtak"));
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
        return withHiss(Tape{.blocks = blocks, .T = 14, .start = 22050, .end = 22050, .level = 0.25}.signal,
                        0.23, seed);
    };
    const std::string a = runOn(dir.path("a.wav"), wavOf({noisy(3)}, 44100), {"-r", "I"}).output;
    const std::string b = runOn(dir.path("b2.wav"), wavOf({noisy(1003)}, 44100), {"-r", "I"}).output;
    for (const std::string& alone : {a, b})
        for (const auto& [bytes, mark] : blockLines(alone))
            EXPECT_TRUE(mark == 'X' || (bytes != blocks[1] && bytes != blocks[3])) << alone;
    const std::string both = together(dir, noisy(3), noisy(1003)).output;
    expectBlocks(both, marked(blocks, "OJ?JO"));
    EXPECT_EQ(numbersAfter(both, "J  a felvételek együtt, bitenként összeadva (A+B)").size(), 2u) << both;
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
    for (const auto& one : {a, b}) {
        const RunResult alone = runOn(dir.path("one.wav"), wavOf({one}, 44100), {"-r", "I"});
        expectBlocks(alone.output, marked(blocks, "OXXO"));
        EXPECT_TRUE(holds(alone.output, "X  jelkiesés "));
    }
    const RunResult both = together(dir, a, b);
    expectBlocks(both.output, marked(blocks, "OJJO"));
    EXPECT_EQ(readFile(dir.path("a/01_AB.ptp")), imageOf(blocks));
    EXPECT_TRUE(holds(both.output,
                      "J  a felvételek együtt, a jelkiesések körül összeillesztve és bitenként "
                      "összeadva (A+B); bizonytalan bit: "));
    EXPECT_TRUE(holds(both.output, "együtt, bitenként összeadva 2 blokk\n"));

    const auto c = take(blocks, 14, {{1, 20, 24}, {2, 29, 35}});
    expectBlocks(together(dir, c, b).output, marked(blocks, "OJXO"));
}
