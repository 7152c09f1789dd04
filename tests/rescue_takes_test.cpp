// Several recordings (takes) of one tape, read by the rescue decoder
// together: each takes the blocks the others lose; a take of another tape
// adds nothing; takes that read a block differently, each good, leave it X.
#include <random>

#include "rescue/take_merge.h"
#include "support/recordings.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

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

// A block as a take decided it, at `at` seconds of it.
DecidedBlock given(char mark, const Bytes& bytes, double at = 2) {
    return {.decision = {mark, blockKindOf(bytes[0]), bytes, "", 0, at}};
}

// The marks of the blocks merged from takes made to order, their positions
// in seconds (a sample a second).
std::string mergedMarks(const std::vector<std::vector<DecidedBlock>>& blocks) {
    std::vector<Take> takes(blocks.size());
    for (std::size_t t = 0; t < takes.size(); ++t) takes[t].blocks = blocks[t], takes[t].recording.rate = 1;
    std::string marks;
    for (const DecidedBlock& block : mergeTakes(takes).blocks) marks += block.decision.mark;
    return marks;
}

// Take a read with take b (written as b.wav) by the rescue decoder.
RunResult together(const Signal& a, const Signal& b) {
    writeFile(dir.path("b.wav"), wavOf({b}, 44100));
    return runOn(dir.path("a.wav"), wavOf({a}, 44100), {"-r", "I", "-t", dir.path("b.wav")});
}

}  // namespace

// Takes A, B (, C) made to order, each with its decision on the name block
// at 2 s and, but for B in the first case, data block 1 read O at 1 s to
// anchor them; what the merge makes of them, case by case:
// - a block read X anchors nothing, its bytes right or not: B, with no other
//   block, adds nothing;
// - B has the program twice (again 10 s later): anchored once, by the first;
// - a block 10 s from the anchor matches the reference's 0.2 s away (within
//   0.1 s and 3 % of the distance);
// - a block read J by A and O by B is O; where B gives another good block
//   than A and C, the block is X;
// - 48 bits summed at 2 × 5.0 each have a slip risk of 48 e^-10 = 0.0022,
//   trusted (J); at 2 × 4.9, 48 e^-9.8 = 0.0027, not (X);
// - A+C sum to the name block, B+C to another (A+B cancel out): neither (X);
// - a sum that a reading of A held another block against is X; pieced
//   together, it yields only to a reading sure of every bit (J).
TEST(RescueTakes, MergeRulesOnTakesMadeToOrder) {
    const Bytes name = kNameBlock, one = dataBlock(1, 0x11), other = withChecksum({0x83, 1, 2, 0x58, 0x59});
    const DecidedBlock data = given('O', one, 1), x = given('X', name);
    std::vector<std::unique_ptr<FoundBlock>> found;
    // A take that read the name block X, its one complete reading of `read`
    // with `sure` evidence on every bit (pieced: only as a tracker's bits).
    auto sum = [&](float sure, const Bytes& read = kNameBlock, const Bytes& holds = {}, bool pieced = false) {
        DecidedBlock block = x;
        BlockReading& tracked = found.emplace_back(std::make_unique<FoundBlock>())->reading;
        if (pieced) block.found = found.back().get();
        tracked.expectedBytes = static_cast<int>(read.size());
        for (std::size_t bit = 0; bit < 8 * read.size(); ++bit)
            tracked.bits.push_back({read[bit / 8] >> (7 - bit % 8) & 1, sure});
        std::vector<float> evidence;
        for (const SoftBit& b : tracked.bits) evidence.push_back(b.bit ? b.llr : -b.llr);
        if (!pieced) block.testimony.complete = {{evidence}};
        if (!holds.empty()) block.testimony.holding = {holds};
        return std::vector<DecidedBlock>{data, block};
    };
    // clang-format off
    const std::pair<std::vector<std::vector<DecidedBlock>>, std::string> cases[] = {
        {{{data, x}, {given('O', name)}}, "OX"},
        {{{data, x}, {data, given('O', name), given('O', one, 11), given('O', name, 12)}}, "OOOO"},
        {{{data, given('X', name, 11)}, {data, given('O', name, 11.2)}}, "OO"},
        {{{data, given('J', name)}, {data, given('O', name)}}, "OO"},
        {{{data, given('O', name)}, {data, given('O', other)}, {data, given('O', name)}}, "OX"},
        {{sum(5), sum(5)}, "OJ"}, {{sum(4.9f), sum(4.9f)}, "OX"},
        {{sum(20), sum(20, other), sum(5)}, "OX"},
        {{sum(20, name, other), sum(20)}, "OX"}, {{sum(20, name, other, true), sum(20, name, {}, true)}, "OJ"}};
    // clang-format on
    for (const auto& [blocks, marks] : cases) EXPECT_EQ(mergedMarks(blocks), marks) << marks;
}

// Take A loses data blocks 1 and 3, take B (on a deck 7 % slow) 2 and 4
// (each gives 4 blocks of 6): read together every block is O and the
// program's file is exact. A stereo file of the two is read the same way,
// which the default decoder refuses; -t without -r I changes nothing.
TEST(RescueTakes, TakesReadTogetherWhatEachLoses) {
    const auto a = take(kBlocks, 14, {{1}, {3}}), b = take(kBlocks, 15, {{2}, {4}});
    const RunResult both = together(a, b);
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
    const auto a = take(kBlocks, 14, {{1}});
    const std::vector<Bytes> other = {withChecksum({0x83, 0x01, 0x02, 0x58, 0x59}), dataBlock(1, 0x55),
                                      dataBlock(2, 0x66), kEndBlock};
    const RunResult run = together(a, take(other, 14, {}));
    expectBlocks(run.output, marked(kBlocks, "OXOOOO"));
    EXPECT_FALSE(std::filesystem::exists(dir.path("a/02_XY.ptp")));
    EXPECT_TRUE(holds(run.output, "B (" + dir.path("b.wav") +
                                      "): nem ennek a szalagnak a felvétele, egyetlen blokkja sem egyezett: "
                                      "semmi sem került belőle a fájlokba\n"));

    std::vector<Bytes> changed = kBlocks;
    changed[3] = dataBlock(3, 0x3C);
    const RunResult disagreeing = together(a, take(changed, 15, {}));
    expectBlocks(disagreeing.output, marked(kBlocks, "OOOXOO"));
    EXPECT_TRUE(holds(
        disagreeing.output,
        "adatblokk  X  ellentmondó olvasások: a felvételek más-más jó ellenőrző összegű blokkot adtak"));
}

// Two takes in white noise so strong (the signal 1 dB above it) that
// neither reads data blocks 1 and 3 alone: each take's readings of them,
// added up bit by bit, give both blocks with a slip risk low enough to
// trust (J), and the report names the two takes (a block either take read
// good alone would be O).
TEST(RescueTakes, EvidenceAddsUpAcrossTakes) {
    const std::vector<Bytes> blocks = {kNameBlock, dataBlock(1, 0x5A), dataBlock(2, 0xA5), dataBlock(3, 0x3C),
                                       kEndBlock};
    auto noisy = [&](unsigned seed) {
        return withHiss(Tape{.blocks = blocks, .T = 14, .start = 22050, .end = 22050, .level = 0.25}.signal,
                        0.23, seed);
    };
    const std::string both = together(noisy(3), noisy(1003)).output;
    expectBlocks(both, marked(blocks, "OJ?JO"));
    EXPECT_EQ(numbersAfter(both, "J  a felvételek együtt, bitenként összeadva (A+B)").size(), 2u) << both;
}

// The time map between two takes, worked out by hand: linear between the
// pairs of instants, on with the nearest pair's slope beyond them, and a
// shift alone with a single pair.
TEST(RescueTakes, TimesMapBetweenTheAnchors) {
    const std::vector<std::pair<double, double>> anchors = {{10, 20}, {20, 40}, {30, 50}}, one = {{10, 25}};
    // the anchors, the instant in the take, the slope beyond a single pair, the instant in the reference
    // clang-format off
    const std::tuple<std::vector<std::pair<double, double>>, double, double, double> cases[] = {
        {anchors, 10, 1, 20}, {anchors, 15, 1, 30}, {anchors, 25, 1, 45}, {anchors, 40, 1, 60}, {anchors, 0, 1, 0},
        {one, 12, 1, 27}, {{{10, 25}, {10, 25}}, 12, 2, 29}, {{}, 12, 1, 12}};
    // clang-format on
    for (const auto& [pairs, take, slope, reference] : cases)
        EXPECT_DOUBLE_EQ(mapTime(pairs, take, slope), reference) << take;
}

// Each take loses blocks 1 and 2 to a dropout of four bytes (about 40 ms),
// at other places in each (either alone would mark them X, the signal
// lost; one read good alone would be O). Read together, each take's reading is taken up again where its
// signal comes back, set in its place by the other's bits, and the pieces added up: both blocks J, the file
// exact. Where both takes lose the same bytes (block 2 of a third take, with B), nothing holds them: X.
// Where a take loses every block, nothing anchors it, and nothing of it is used.
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
    const RunResult both = together(a, b);
    expectBlocks(both.output, marked(blocks, "OJJO"));
    EXPECT_EQ(readFile(dir.path("a/01_AB.ptp")), imageOf(blocks));
    EXPECT_TRUE(holds(both.output,
                      "J  a felvételek együtt, a jelkiesések körül összeillesztve és bitenként "
                      "összeadva (A+B); bizonytalan bit: "));
    EXPECT_TRUE(holds(both.output, "együtt, bitenként összeadva 2 blokk\n"));

    const auto c = take(blocks, 14, {{1, 20, 24}, {2, 29, 35}});
    expectBlocks(together(c, b).output, marked(blocks, "OJXO"));

    // Where the input (A) loses every block, B is the reference; A, with no good block to anchor it,
    // is weighed against B all the same, and matches nothing.
    const auto d = take(blocks, 14, {{0, 4, 8}, {1, 20, 24}, {2, 70, 74}, {3, 1, 3}});
    const std::string lost = together(d, b).output;
    expectBlocks(lost, marked(blocks, "OXXO"));
    EXPECT_TRUE(holds(lost, "Az időpontok a(z) B felvétel szerint")) << lost;
    EXPECT_TRUE(holds(lost, "a.wav): nem ennek a szalagnak a felvétele, egyetlen blokkja sem egyezett"))
        << lost;
}
