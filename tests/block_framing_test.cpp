#include "decoder/block_framing.h"
#include "common/path_base.h"
#include "decoder/decoder_state.h"
#include "support/test_support.h"

namespace {

const std::string kSync = "d3 szinkron byte 1.500 másodpercnél\n";
const std::string kSyncs = kSync + kSync;  // what a block's three sync bytes print

// Each block as it follows its three sync bytes on tape.
Bytes synced(std::initializer_list<Bytes> blocks) {
    Bytes all;
    for (const Bytes& block : blocks) all = concat({all, {0xD3, 0xD3, 0xD3}, block});
    return all;
}

class BlockFraming : public testing::Test {
protected:
    void SetUp() override { fresh(); }

    // The decoder locked, 1.5 s into a recording of 1000 samples a second;
    // returned for a test to set more.
    DecoderState& fresh() {
        resetDecoderState();
        pathBase = dir.path("tape");
        std::filesystem::create_directory(pathBase);
        decoderHeader.sampleRate = 1000;
        decoderState.samplePos = 1500;
        decoderState.syncLocked = true;
        decoderState.preambleRunCount = 601;
        decoderState.preambleRunTotal = 7014;
        return decoderState;
    }

    // Feeds the bytes bit by bit, most significant first; returns the echo.
    std::string feed(const Bytes& bytes) {
        testing::internal::CaptureStdout();
        for (std::uint8_t byte : bytes)
            for (int bit = 7; bit >= 0; --bit)
                takeBit(shiftRegister = static_cast<std::uint16_t>(shiftRegister << 1 | (byte >> bit & 1)));
        return testing::internal::GetCapturedStdout();
    }

    Bytes file(const std::string& name) { return readFile(pathBase + "/" + name); }

    ScratchDir dir;
    std::uint16_t shiftRegister = 0;
};

}  // namespace

TEST_F(BlockFraming, WritesAndCompletesAnImage) {
    EXPECT_EQ(feed(synced({kNameBlock, kDataBlock, kEndBlock})),
              kSyncs + "83 01 02 41 42 86  O: " + pathBase + "/01_AB.ptp\n" + kSyncs +
                  "f1 00 10 43 02 c3 00 18  O\n" + kSyncs + "b1 05 05  O\n");
    EXPECT_EQ(file("01_AB.ptp"), kImage);
    EXPECT_EQ(std::tuple(decoderState.syncLocked, decoderState.preambleRunCount), std::tuple(false, 0));
    // A length byte of 0 means 256; the length field is the image length modulo 65536.
    feed(synced({withChecksum(concat({{0x80, 0x00, 0x00, 'N'}, Bytes(255, 0)})),
                 withChecksum(concat({{0xF0, 0, 0, 0, 0x00}, Bytes(256, 7)})), kEndBlock}));
    const Bytes big = file("02_N.ptp");
    ASSERT_EQ(big.size(), 3u + 263 + 265 + 6);
    EXPECT_EQ(concat({{big[1], big[2], big[3], big[4], big[5]}, {big[266], big[267], big[268]}}),
              Bytes({0x19, 0x02, 0x55, 0x04, 0x01, 0x55, 0x06, 0x01}));
}

TEST_F(BlockFraming, RecognisesBlockKindsByTheirTypeByte) {
    EXPECT_EQ(feed(synced({withChecksum({0x0C, 0, 0, 0, 1, 9})})), kSyncs + "0c 00 00 00 01 09 0a  O\n");
    EXPECT_EQ(feed(synced({withChecksum({0x8F, 0x00, 0x01, 'Q'})})),
              kSyncs + "8f 00 01 51 52  O: " + pathBase + "/02_Q.ptp\n");
    // Read as a name, data, 0xB9 or end block, these bytes would complete one.
    for (std::uint8_t unknown : {0x0B, 0x0D, 0x1C, 0x7F, 0x90, 0xAF, 0xC0, 0xEF}) {
        feed(synced({withChecksum({unknown, 0, 1, 0, 1, 9})}));
        EXPECT_EQ(decoderState.bitCount, 73) << int(unknown);  // still collecting
        fresh();
    }
    EXPECT_EQ(feed(synced({kB9Block})), kSyncs + "b9 01 02 03 06  O\n");
    EXPECT_EQ(decoderState.blockDeadline, 1500 + 1000);
    EXPECT_TRUE(decoderState.syncLocked);
    for (const auto& [typeByte, type] : {std::pair{std::uint8_t{0xB0}, "b0"}, {0xB1, "b1"}, {0xBF, "bf"}}) {
        decoderState.syncLocked = true;
        EXPECT_EQ(feed(synced({{typeByte, 4, 5}})), kSyncs + type + " 04 05  X\n");
        EXPECT_FALSE(decoderState.syncLocked);
    }
    // Every complete block starts the idle count again.
    for (const Bytes& block : {kNameBlock, kDataBlock, kB9Block, kEndBlock}) {
        fresh().idleByteCount = 2000;
        feed(synced({block}));
        EXPECT_EQ(decoderState.idleByteCount, 0);
    }
    // A name or data block that began in time lifts the deadline with its length byte.
    for (const Bytes& start : {Bytes{0x83, 0x01, 0x02}, Bytes{0xF1, 0x00, 0x10, 0x43, 0x02}}) {
        fresh().blockDeadline = 2500;
        feed(synced({start}));
        EXPECT_EQ(decoderState.blockDeadline, kNoDeadline);
    }
}

TEST_F(BlockFraming, DropsABlockAtTheLengthCapAndABadSyncByte) {
    std::string expected = kSyncs;
    for (int i = 0; i < 998; ++i) expected += "00 ";  // the byte at bit 8008 is not echoed
    EXPECT_EQ(feed(concat({{0xD3, 0xD3, 0xD3}, Bytes(999, 0x00)})), expected);
    // Hunting again; the next lead-in is counted and summed afresh.
    EXPECT_EQ(std::tuple(decoderState.bitCount, decoderState.syncLocked, decoderState.preambleRunCount,
                         decoderState.preambleRunTotal),
              std::tuple(0, false, 0, 0));

    // A wrong second or third sync byte: the hunt starts again after it.
    fresh();
    EXPECT_EQ(feed({0xD3, 0xD3, 0xD2, 0xB1, 0x05, 0x05}), kSync);
    EXPECT_TRUE(decoderState.syncLocked);
    EXPECT_EQ(feed({0xD3, 0xD2, 0xD3, 0xD3, 0xD3, 0xB1, 0x05, 0x05}), kSyncs + "b1 05 05  O\n");
}

TEST_F(BlockFraming, OutputFilesFollowTheNameBlocks) {
    const Bytes second = withChecksum({0x84, 0x00, 0x01, 'C'}), raw = withChecksum({0x8A, 0x00, 0x01, 'R'});
    const Bytes badData = concat({firstBytes(kDataBlock, 7), {0x00}});  // its checksum wrong
    // Data before any name block: a headerless record file whose path is not
    // printed and whose first record header gets no length written into it.
    const std::string echo =
        feed(synced({kDataBlock, kEndBlock, kNameBlock, second, badData, kB9Block, kDataBlock, kEndBlock, raw,
                     kDataBlock, kB9Block, kDataBlock, kEndBlock, kDataBlock, kEndBlock}));
    EXPECT_EQ(echo.find("Unknown"), std::string::npos);
    EXPECT_TRUE(holds(echo, "c3 00 00  X\n"));
    const Bytes headerless = concat({{0x55, 0x08, 0x00}, kDataBlock, {0xAA, 0x03, 0x00}, kEndBlock});
    EXPECT_EQ(file("01_Unknown.bin"), headerless);
    EXPECT_EQ(file("05_Unknown.bin"), headerless);  // records again after a raw program
    // A second name block closes the first image as it stands.
    EXPECT_EQ(file("02_AB.ptp"), concat({{0xFF, 0x00, 0x00, 0x55, 0x06, 0x00}, kNameBlock}));
    // A bad checksum is written all the same; records may follow a 0xB9 block.
    // clang-format off
    EXPECT_EQ(file("03_C.ptp"), concat({{0xFF, 0x2F, 0x00, 0x55, 0x05, 0x00}, second, {0x55, 0x08, 0x00}, badData,
                                        {0xAA, 0x05, 0x00}, kB9Block, {0x55, 0x08, 0x00}, kDataBlock,
                                        {0xAA, 0x03, 0x00}, kEndBlock}));
    // clang-format on
    EXPECT_EQ(file("04_R.ass"), Bytes({0xC3, 0x00, 0xC3, 0x00}));
}

TEST_F(BlockFraming, NamesBecomeSafeFileNames) {
    const Bytes name = withChecksum({0x80, 0x00, 0x08, 0x5D, 0x7C, 0x60, '/', '.', '.', 0x00, 'Z'});
    EXPECT_TRUE(holds(feed(synced({name})), pathBase + "/01_Aoe_...ptp\n"));
    EXPECT_TRUE(std::filesystem::exists(pathBase + "/01_Aoe_...ptp"));
    // A 256-byte name holding every byte value: printed whole (no '/' but the
    // directory's), too long for the file system, so its number is used up and
    // the data goes on in the next file. Numbers go on past 255.
    Bytes everyByte = {0x80, 0x00, 0x00};
    for (int b = 1; b <= 256; ++b) everyByte.push_back(static_cast<std::uint8_t>(b));
    decoderState.fileCounter = 255;
    const std::string echo = feed(synced({withChecksum(everyByte), kDataBlock}));
    const std::string printed = echo.substr(echo.find(pathBase + "/256_") + pathBase.size() + 5);
    EXPECT_EQ(printed.substr(255, 5), ".ptp\n");
    EXPECT_EQ(printed.find('/'), std::string::npos);
    EXPECT_EQ(printed.substr(0x5B, 4), "OAUu");  // bytes 0x5C to 0x5F
    EXPECT_TRUE(std::filesystem::exists(pathBase + "/257_Unknown.bin"));
}
