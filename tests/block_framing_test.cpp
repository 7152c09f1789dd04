#include <gtest/gtest.h>

#include "common/path_base.h"
#include "decoder/block_framing.h"
#include "decoder/decoder_state.h"
#include "support/test_support.h"

namespace {

const Bytes kName = {0x83, 0x01, 0x02, 0x41, 0x42, 0x86};                  // program "AB"
const Bytes kData = {0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18};      // two data bytes
const Bytes kEnd = {0xB1, 0x05, 0x05};
const std::string kSyncLines =
    "d3 szinkron byte 1.500 másodpercnél\nd3 szinkron byte 1.500 másodpercnél\n";

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Each block as it follows its three sync bytes on tape.
Bytes synced(std::initializer_list<Bytes> blocks) {
    Bytes all;
    for (const Bytes& block : blocks) all = concat({all, {0xD3, 0xD3, 0xD3}, block});
    return all;
}

class BlockFraming : public testing::Test {
protected:
    void SetUp() override { fresh(); }

    void fresh() {
        resetDecoderState();
        pathBase = dir.path("tape");
        std::filesystem::create_directory(pathBase);
        decoderHeader.sampleRate = 1000;
        decoderState.samplePos = 1500;
        decoderState.syncLocked = true;
    }

    // Feeds the bytes bit by bit, most significant first; returns the echo.
    std::string feed(const Bytes& bytes) {
        testing::internal::CaptureStdout();
        for (std::uint8_t byte : bytes) {
            for (int bit = 7; bit >= 0; --bit) {
                shiftRegister = static_cast<std::uint16_t>((shiftRegister << 1) | ((byte >> bit) & 1));
                takeBit(shiftRegister);
            }
        }
        return testing::internal::GetCapturedStdout();
    }

    std::string out(const std::string& name) { return pathBase + "/" + name; }

    ScratchDir dir;
    std::uint16_t shiftRegister = 0;
};

}  // namespace

TEST_F(BlockFraming, WritesAndCompletesOneImage) {
    decoderState.preambleRunCount = 601;
    std::string echo = feed(synced({kName, kData, kEnd}));
    EXPECT_EQ(echo, kSyncLines + "83 01 02 41 42 86  O: " + out("01_AB.ptp") + "\n" + kSyncLines +
                        "f1 00 10 43 02 c3 00 18  O\n" + kSyncLines + "b1 05 05  O\n");
    EXPECT_EQ(readFile(out("01_AB.ptp")),
              concat({{0xFF, 0x1D, 0x00, 0x55, 0x06, 0x00}, kName, {0x55, 0x08, 0x00}, kData, {0xAA, 0x03, 0x00}, kEnd}));
    EXPECT_FALSE(decoderState.syncLocked);
    EXPECT_EQ(decoderState.preambleRunCount, 0);
    EXPECT_EQ(decoderState.blockDeadline, kNoDeadline);
}

TEST_F(BlockFraming, LengthByteZeroMeans256) {
    Bytes name = withChecksum(concat({{0x80, 0x00, 0x00, 'N'}, Bytes(255, 0)}));
    Bytes data = withChecksum(concat({{0xF0, 0, 0, 0, 0x00}, Bytes(256, 7)}));
    feed(synced({name, data, kEnd}));
    Bytes file = readFile(out("01_N.ptp"));
    ASSERT_EQ(file.size(), 3u + 263 + 265 + 6);
    EXPECT_EQ(Bytes(file.begin() + 3, file.begin() + 6), Bytes({0x55, 0x04, 0x01}));
    EXPECT_EQ(Bytes(file.begin() + 266, file.begin() + 269), Bytes({0x55, 0x06, 0x01}));
    EXPECT_EQ(Bytes(file.begin() + 1, file.begin() + 3), Bytes({0x19, 0x02}));  // 537 bytes
}

TEST_F(BlockFraming, RecognisesBlockKindsByTypeByte) {
    EXPECT_EQ(feed(synced({withChecksum({0x0C, 0, 0, 0, 1, 9})})), kSyncLines + "0c 00 00 00 01 09 0a  O\n");
    for (std::uint8_t type : {0x0D, 0x1C, 0xC0}) {
        feed(synced({withChecksum({type, 0, 0, 0, 1, 9})}));
        EXPECT_GT(decoderState.bitCount, 0) << int(type);  // still collecting
        fresh();
    }
    EXPECT_EQ(feed(synced({{0xB9, 1, 2, 3, 6}})), kSyncLines + "b9 01 02 03 06  O\n");
    EXPECT_EQ(decoderState.blockDeadline, 1500 + 1000);
    EXPECT_TRUE(decoderState.syncLocked);
    for (std::string type : {"b0", "b1", "bf"}) {
        decoderState.syncLocked = true;
        const auto typeByte = static_cast<std::uint8_t>(std::stoi(type, nullptr, 16));
        EXPECT_EQ(feed(synced({{typeByte, 4, 5}})), kSyncLines + type + " 04 05  X\n");
        EXPECT_FALSE(decoderState.syncLocked);
    }
}

TEST_F(BlockFraming, DropsABlockRunningPastTheLengthCap) {
    decoderState.preambleRunTotal = 5;
    std::string echo = feed(concat({{0xD3, 0xD3, 0xD3}, Bytes(999, 0x00)}));
    std::string expected = kSyncLines;
    for (int i = 0; i < 998; ++i) expected += "00 ";
    EXPECT_EQ(echo, expected);
    EXPECT_EQ(decoderState.bitCount, 0);
    EXPECT_FALSE(decoderState.syncLocked);
    EXPECT_EQ(decoderState.preambleRunTotal, 0);
}

TEST_F(BlockFraming, ABadSecondOrThirdSyncByteGoesBackToHunting) {
    EXPECT_EQ(feed({0xD3, 0xD3, 0xD2, 0xB1, 0x05, 0x05}), "d3 szinkron byte 1.500 másodpercnél\n");
    EXPECT_TRUE(decoderState.syncLocked);
}

TEST_F(BlockFraming, NameBlockClosesTheOpenFileAsItIs) {
    Bytes second = withChecksum({0x84, 0x00, 0x01, 'C'});
    Bytes bad = kData;
    bad.back() = 0x00;
    std::string echo = feed(synced({kName, second, bad, kEnd}));
    EXPECT_NE(echo.find("c3 00 00  X\n"), std::string::npos);
    EXPECT_EQ(readFile(out("01_AB.ptp")), concat({{0xFF, 0x00, 0x00, 0x55, 0x06, 0x00}, kName}));
    EXPECT_EQ(readFile(out("02_C.ptp")),
              concat({{0xFF, 0x1C, 0x00, 0x55, 0x05, 0x00}, second, {0x55, 0x08, 0x00}, bad, {0xAA, 0x03, 0x00}, kEnd}));
}

TEST_F(BlockFraming, RawProgramTakesOnlyTheDataBytes) {
    Bytes raw = withChecksum({0x8A, 0x00, 0x01, 'R'});
    Bytes b9 = {0xB9, 1, 2, 3, 6};
    std::string echo = feed(synced({raw, kData, b9, kData, kEnd}));
    EXPECT_NE(echo.find(" O: " + out("01_R.ass") + "\n"), std::string::npos);
    EXPECT_EQ(readFile(out("01_R.ass")), Bytes({0xC3, 0x00, 0xC3, 0x00}));
}

TEST_F(BlockFraming, DataWithoutANameGoesToAHeaderlessRecordFile) {
    std::string echo = feed(synced({kData, kEnd}));
    EXPECT_EQ(echo.find("Unknown"), std::string::npos);
    // No image header, so no length is written into the record header.
    EXPECT_EQ(readFile(out("01_Unknown.bin")), concat({{0x55, 0x08, 0x00}, kData, {0xAA, 0x03, 0x00}, kEnd}));
}

TEST_F(BlockFraming, AfterB9TheImageGoesOnWithMoreRecords) {
    Bytes b9 = {0xB9, 1, 2, 3, 6};
    feed(synced({kName, b9, kData, kEnd}));
    EXPECT_EQ(readFile(out("01_AB.ptp")), concat({{0xFF, 0x25, 0x00, 0x55, 0x06, 0x00}, kName, {0xAA, 0x05, 0x00}, b9,
                                                  {0x55, 0x08, 0x00}, kData, {0xAA, 0x03, 0x00}, kEnd}));
}

TEST_F(BlockFraming, NamesBecomeSafeFileNames) {
    Bytes name = withChecksum({0x80, 0x00, 0x08, 0x5D, 0x7C, 0x60, '/', '.', '.', 0x00, 'Z'});
    EXPECT_NE(feed(synced({name})).find(out("01_Aoe_...ptp") + "\n"), std::string::npos);
    EXPECT_TRUE(fileExists(out("01_Aoe_...ptp")));

    // A name the file system refuses uses up its number; the data goes on in the next file.
    Bytes tooLong = withChecksum(concat({{0x80, 0x00, 0x00}, Bytes(256, 'L')}));
    decoderState.fileCounter = 99;
    EXPECT_NE(feed(synced({tooLong, kData})).find(out("100_" + std::string(256, 'L') + ".ptp")), std::string::npos);
    EXPECT_TRUE(fileExists(out("101_Unknown.bin")));
    decoderState.fileCounter = 255;
    feed(synced({kEnd, kName}));
    EXPECT_TRUE(fileExists(out("256_AB.ptp")));
}
