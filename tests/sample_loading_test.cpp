#include <gtest/gtest.h>

#include <cstring>

#include "decoder/decoder_state.h"
#include "decoder/sample_loader.h"
#include "formats/wav_header.h"
#include "support/test_support.h"

namespace {

const char* kRefused = "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n";

WavHeader headerOf(const Bytes& file) {
    WavHeaderBytes bytes{};
    std::memcpy(bytes.data(), file.data(), std::min(file.size(), bytes.size()));
    return decodeWavHeader(bytes);
}

// A WAV whose header is canonical but for the fields given.
Bytes wavWith(int bits, std::size_t dataBytes, std::uint16_t channels = 1, std::uint16_t format = 1) {
    Bytes file = wavFile(8000, bits, Bytes(dataBytes, 0x40));
    file[20] = static_cast<std::uint8_t>(format);
    file[22] = static_cast<std::uint8_t>(channels);
    return file;
}

}  // namespace

TEST(SampleLoading, CountsWholeSamplesFromTheFileLength) {
    ScratchDir dir;
    struct Case {
        int bits;
        std::size_t fileBytes;
        std::uint32_t samples;
    } cases[] = {{8, 1044, 1000}, {16, 1045, 500}, {24, 54, 3}, {32, 47, 0}, {8, 44, 0}, {16, 40, 0}, {8, 35, 0}};
    for (const Case& c : cases) {
        Bytes file = wavWith(c.bits, 2000);
        file.resize(c.fileBytes);
        writeFile(dir.path("in.wav"), file);
        RunResult run = runKazettor({dir.path("in.wav")});
        EXPECT_EQ(run.status, 0) << c.fileBytes;
        Bytes cleaned = readFile(dir.path("in/in.wav"));
        ASSERT_EQ(cleaned.size(), 44u + c.samples);
        EXPECT_EQ(headerOf(cleaned).dataSize, c.samples);
        EXPECT_EQ(headerOf(cleaned).riffSize, c.samples + 36);
    }
}

TEST(SampleLoading, ReducesEveryWidthToItsTopByte) {
    struct Case {
        int bits;
        Bytes sample;
        std::uint8_t reduced;
    } cases[] = {{16, {0x00, 0x00}, 128}, {16, {0xFF, 0x00}, 128}, {16, {0x00, 0x01}, 129},
                 {16, {0xFF, 0x7F}, 255}, {16, {0x00, 0x80}, 0},   {16, {0xFF, 0xFF}, 127},
                 {24, {0x56, 0x34, 0x12}, 146}, {32, {0, 0, 0, 0x80}, 0}, {8, {77}, 77}};
    for (const Case& c : cases) {
        std::uint8_t out = 0;
        reduceSamples(c.sample.data(), 1, c.bits, &out);
        EXPECT_EQ(out, c.reduced) << c.bits;
    }
}

TEST(SampleLoading, CleanedWavKeepsTheInputHeaderButForItsSizesAndWidth) {
    ScratchDir dir;
    Bytes file = wavFile(44100, 16, Bytes(200, 0x11));
    std::memcpy(file.data(), "LIST", 4);  // tags are never looked at
    std::memcpy(file.data() + 36, "junk", 4);
    file.push_back(0x99);  // a stray byte: no whole sample
    writeFile(dir.path("rec.wav"), file);
    ASSERT_EQ(runKazettor({dir.path("rec.wav")}).status, 0);
    Bytes cleaned = readFile(dir.path("rec/rec.wav"));
    WavHeader header = headerOf(cleaned);
    EXPECT_EQ(header.bitsPerSample, 8);
    EXPECT_EQ(header.blockAlign, 1);
    EXPECT_EQ(header.byteRate, 44100u);
    EXPECT_EQ(header.sampleRate, 44100u);
    EXPECT_EQ(header.dataSize, 100u);
    EXPECT_EQ(header.riffSize, 136u);
    EXPECT_EQ(Bytes(cleaned.begin(), cleaned.begin() + 4), Bytes({'L', 'I', 'S', 'T'}));
    EXPECT_EQ(Bytes(cleaned.begin() + 36, cleaned.begin() + 40), Bytes({'j', 'u', 'n', 'k'}));
    EXPECT_EQ(cleaned.size(), 144u);

    Bytes canonical = wavFile(8000, 8, Bytes(64, 0x90));
    writeFile(dir.path("c.wav"), canonical);
    ASSERT_EQ(runKazettor({dir.path("c.wav")}).status, 0);
    EXPECT_EQ(readFile(dir.path("c/c.wav")), canonical);
}

TEST(SampleLoading, RefusesAnythingButMonoPcmOfTheFourWidths) {
    ScratchDir dir;
    Bytes shortFile = wavWith(8, 0);
    shortFile.resize(22);
    for (const Bytes& file : {wavWith(8, 10, 2), wavWith(16, 10, 1, 3), wavWith(0, 10), wavWith(12, 10),
                              wavWith(40, 10), wavWith(64, 10), shortFile}) {
        writeFile(dir.path("bad.wav"), file);
        RunResult run = runKazettor({dir.path("bad.wav")});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, kRefused);
        EXPECT_FALSE(fileExists(dir.path("bad")));
    }
}

TEST(SampleLoading, OutputDirectoryAndCleanedWavPaths) {
    ScratchDir dir;
    std::filesystem::create_directory(dir.path("tapes"));
    writeFile(dir.path("tapes/side1.WAV"), wavFile(8000, 8, {}));
    ASSERT_EQ(runKazettor({dir.path("tapes/side1.WAV")}).status, 0);
    EXPECT_TRUE(fileExists(dir.path("tapes/side1/side1.wav")));
    EXPECT_EQ(cleanedWavPath("a\\b"), "a\\b/a\\b.wav");
    EXPECT_EQ(cleanedWavPath("rec"), "rec/rec.wav");

    // An existing directory is used as it is; a file in its place makes the open fail.
    writeFile(dir.path("tapes/side1/keep"), {1});
    ASSERT_EQ(runKazettor({dir.path("tapes/side1.WAV")}).status, 0);
    EXPECT_TRUE(fileExists(dir.path("tapes/side1/keep")));
    writeFile(dir.path("blocked"), {});
    writeFile(dir.path("blocked.wav"), wavFile(8000, 8, {}));
    RunResult run = runKazettor({dir.path("blocked.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Nem sikerült megnyitni a file-t: " + dir.path("blocked/blocked.wav") + "\n");
}
