#include <gtest/gtest.h>

#include <cstring>

#include "common/little_endian.h"
#include "decoder/sample_loader.h"
#include "support/test_support.h"

TEST(SampleLoading, CountsWholeSamplesFromTheFileLength) {
    ScratchDir dir;
    // bits per sample, file length, samples
    const std::tuple<int, std::size_t, std::uint32_t> cases[] = {
        {8, 1044, 1000}, {16, 1045, 500}, {24, 54, 3}, {32, 47, 0}, {8, 44, 0}, {16, 40, 0}, {8, 35, 0}};
    for (const auto& [bits, fileBytes, samples] : cases) {
        Bytes file = wavFile(8000, bits, Bytes(2000, 0x40));
        file.resize(fileBytes);
        writeFile(dir.path("in.WAV"), file);  // the extension in any case
        EXPECT_EQ(runKazettor({dir.path("in.WAV")}).status, 0) << fileBytes;
        const Bytes cleaned = readFile(dir.path("in/in.wav"));
        ASSERT_EQ(cleaned.size(), 44u + samples);
        EXPECT_EQ(readLe32(cleaned.data() + 40), samples);
        EXPECT_EQ(readLe32(cleaned.data() + 4), samples + 36);
    }
}

TEST(SampleLoading, KeepsTheTopByteOfEveryWidth) {
    // clang-format off
    const std::tuple<int, Bytes, int> cases[] = {
        {16, {0x00, 0x00}, 128}, {16, {0xFF, 0x00}, 128}, {16, {0x00, 0x01}, 129},       {16, {0xFF, 0x7F}, 255},
        {16, {0x00, 0x80}, 0},   {16, {0xFF, 0xFF}, 127}, {24, {0x56, 0x34, 0x12}, 146}, {32, {0, 0, 0, 0x80}, 0}};
    // clang-format on
    for (const auto& [bits, sample, reduced] : cases) {
        std::uint8_t out = 0;
        reduceSamples(sample.data(), 1, bits, &out);
        EXPECT_EQ(out, reduced) << bits;
    }
}

TEST(SampleLoading, CleanedWavKeepsTheInputHeaderButItsWidthAndSizes) {
    ScratchDir dir;
    Bytes file = concat({wavFile(44100, 16, Bytes(200, 0x11)), {0x99}});  // a stray byte, no sample
    std::memcpy(file.data(), "LIST", 4);                                  // tags are never looked at
    writeFile(dir.path("rec.wav"), file);
    ASSERT_EQ(runKazettor({dir.path("rec.wav")}).status, 0);
    Bytes expected = wavFile(44100, 8, Bytes(100, 0x91));
    std::memcpy(expected.data(), "LIST", 4);
    EXPECT_EQ(readFile(dir.path("rec/rec.wav")), expected);

    const Bytes canonical = wavFile(8000, 8, Bytes(64, 0x90));
    writeFile(dir.path("c.wav"), canonical);
    ASSERT_EQ(runKazettor({dir.path("c.wav")}).status, 0);
    EXPECT_EQ(readFile(dir.path("c/c.wav")), canonical);
    // The folder is named after the input; a file in its place stops the run.
    EXPECT_EQ(cleanedWavPath("a\\b"), "a\\b/a\\b.wav");
    writeFile(dir.path("blocked"), {});
    writeFile(dir.path("blocked.wav"), canonical);
    EXPECT_EQ(runKazettor({dir.path("blocked.wav")}).output,
              "Nem sikerült megnyitni a file-t: " + dir.path("blocked/blocked.wav") + "\n");
}

TEST(SampleLoading, RefusesAllButMonoPcmOfTheFourWidths) {
    ScratchDir dir;
    Bytes stereo = wavFile(8000, 8, Bytes(10, 0)), float32 = wavFile(8000, 32, Bytes(10, 0));
    stereo[22] = 2;
    float32[20] = 3;
    for (const Bytes& file :
         {stereo, float32, wavFile(8000, 0, {}), wavFile(8000, 12, {}), wavFile(8000, 40, {}),
          wavFile(8000, 64, {}), Bytes(stereo.begin(), stereo.begin() + 22)}) {
        writeFile(dir.path("bad.wav"), file);
        EXPECT_EQ(runKazettor({dir.path("bad.wav")}).output,
                  "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
        EXPECT_FALSE(std::filesystem::exists(dir.path("bad")));
    }
}
