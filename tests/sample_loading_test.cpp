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
        reduceSamples(sample.data(), 1, bits, bits / 8, &out);
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

namespace {

// The canonical 8-bit mono header of a cleaned recording, as its bytes stand.
Bytes cleanedHeader(std::uint32_t rate, std::uint32_t samples) {
    return concat({fromHex("52494646"), littleEndian(samples + 36, 4),
                   fromHex("57415645 666d7420 10000000 0100 0100"), littleEndian(rate, 4),
                   littleEndian(rate, 4), fromHex("0100 0800 64617461"), littleEndian(samples, 4)});
}

// WAVE_FORMAT_EXTENSIBLE: the 16 fields with tag 0xFFFE, cbSize 22, valid
// bits, channel mask and the SubFormat GUID (PCM unless given).
Bytes extensibleFormat(int channels, std::uint32_t rate, int bits,
                       const std::string& subFormat = "01000000 0000 1000 800000aa00389b71") {
    return concat({formatFields(channels, rate, bits, 0xFFFE), fromHex("1600"), littleEndian(bits, 2),
                   fromHex("04000000"), fromHex(subFormat)});
}

Bytes firstBytes(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

// Two channels' samples, frame by frame.
Bytes interleaved(const Bytes& first, const Bytes& second, int sampleBytes) {
    Bytes frames;
    for (std::size_t at = 0; at < first.size(); at += static_cast<std::size_t>(sampleBytes)) {
        frames.insert(frames.end(), first.begin() + static_cast<std::ptrdiff_t>(at),
                      first.begin() + static_cast<std::ptrdiff_t>(at) + sampleBytes);
        frames.insert(frames.end(), second.begin() + static_cast<std::ptrdiff_t>(at),
                      second.begin() + static_cast<std::ptrdiff_t>(at) + sampleBytes);
    }
    return frames;
}

}  // namespace

TEST(SampleLoading, RefusesAllButMonoPcmOfTheFourWidths) {
    ScratchDir dir;
    Bytes stereo = wavFile(8000, 8, Bytes(10, 0)), float32 = wavFile(8000, 32, Bytes(10, 0));
    stereo[22] = 2;
    float32[20] = 3;
    const std::vector<std::string> none;
    const Bytes data = chunk("data", Bytes(12, 0));
    const std::pair<Bytes, std::vector<std::string>> cases[] = {
        {stereo, none},
        {stereo, {"-c", "3"}},
        {stereo, {"-c0"}},
        {stereo, {"-c", "x"}},
        {float32, none},
        {wavFile(8000, 0, {}), none},
        {wavFile(8000, 12, {}), none},
        {wavFile(8000, 40, {}), none},
        {wavFile(8000, 64, {}), none},
        {Bytes(stereo.begin(), stereo.begin() + 22), none},
        // WAVE_FORMAT_EXTENSIBLE with the float SubFormat, and one too short to hold a SubFormat.
        {riffFile(
             {chunk("fmt ", extensibleFormat(1, 8000, 32, "03000000 0000 1000 800000aa00389b71")), data}),
         none},
        {riffFile({chunk("fmt ", firstBytes(extensibleFormat(1, 8000, 16), 24)), data}), none}};
    for (const auto& [file, options] : cases) {
        writeFile(dir.path("bad.wav"), file);
        std::vector<std::string> arguments = {dir.path("bad.wav")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        EXPECT_EQ(runKazettor(arguments).output, "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
        EXPECT_FALSE(std::filesystem::exists(dir.path("bad")));
    }
}

// Tools write other layouts than the canonical one: the samples must come
// from the data chunk, whatever stands before and after it, and the cleaned
// copy gets a canonical header.
TEST(SampleLoading, ReadsTheLayoutsAudioToolsWrite) {
    ScratchDir dir;
    const Bytes s = {0x10, 0x30, 0x50, 0x70, 0x90, 0xB0}, t = {0xC0, 0xA0, 0x80, 0x60, 0x40, 0x20};
    const Bytes list = chunk("LIST", fromHex("494e464f 49534654 05000000 4c617666 00"));  // odd, padded
    const Bytes fmt16 = chunk("fmt ", formatFields(1, 8000, 16));
    const Bytes head = riffFile({fmt16, list});
    const Bytes canonical = cleanedHeader(8000, 6);
    // clang-format off
    const std::tuple<std::string, Bytes, std::vector<std::string>, Bytes> cases[] = {
        {"extensible 24-bit after LIST", riffFile({chunk("fmt ", extensibleFormat(1, 8000, 24)), list, chunk("data", widened(s, 24))}), {}, concat({canonical, s})},
        {"fmt of 18, fact, odd bext", riffFile({chunk("fmt ", concat({formatFields(1, 8000, 32), {0, 0}})), chunk("fact", littleEndian(6, 4)), chunk("bext", {1, 2, 3}), chunk("data", widened(s, 32))}), {}, concat({canonical, s})},
        {"data size 0", concat({head, fromHex("64617461 00000000"), widened(s, 16)}), {}, concat({canonical, s})},
        {"data size all ones", concat({head, fromHex("64617461 ffffffff"), widened(s, 16)}), {}, concat({canonical, s})},
        {"data size past the end", concat({riffFile({chunk("fmt ", formatFields(1, 8000, 8)), list}), fromHex("64617461 00010000"), s}), {}, concat({canonical, s})},
        {"odd data size, chunk after", riffFile({fmt16, list, chunk("data", firstBytes(widened(s, 16), 7)), list}), {}, concat({cleanedHeader(8000, 3), {0x10, 0x30, 0x50}})},
        {"data header at the very end", concat({head, fromHex("64617461 06000000")}), {}, cleanedHeader(8000, 0)},
        {"stereo, -c 2", wavFile(8000, 16, interleaved(widened(s, 16), widened(t, 16), 2), 2), {"-c", "2"}, concat({canonical, t})},
        {"stereo extensible, -c1, partial frame", riffFile({list, chunk("fmt ", extensibleFormat(2, 8000, 24)), chunk("data", concat({interleaved(widened(s, 24), widened(t, 24), 3), {1, 2, 3}}))}), {"-c1"}, concat({canonical, s})},
        {"mono, -c 2 changes nothing", wavFile(8000, 8, s), {"-c", "2"}, concat({canonical, s})},
    };
    // clang-format on
    for (const auto& [name, file, options, cleaned] : cases) {
        writeFile(dir.path("rec.wav"), file);
        std::vector<std::string> arguments = {dir.path("rec.wav")};
        arguments.insert(arguments.end(), options.begin(), options.end());
        EXPECT_EQ(runKazettor(arguments).status, 0) << name;
        EXPECT_EQ(readFile(dir.path("rec/rec.wav")), cleaned) << name;
    }
}

// A walk that finds no "fmt " chunk followed by "data" falls back to the
// canonical reading: header from the first 44 bytes, samples after them.
TEST(SampleLoading, FallsBackToTheCanonicalReading) {
    ScratchDir dir;
    const Bytes noData = riffFile({chunk("fmt ", formatFields(1, 8000, 8)), chunk("LIST", Bytes(8, 0x70))});
    const Bytes dataFirst =
        riffFile({chunk("data", Bytes(4, 0x70)), chunk("fmt ", formatFields(1, 8000, 8))});
    writeFile(dir.path("a.wav"), noData);
    ASSERT_EQ(runKazettor({dir.path("a.wav")}).status, 0);
    EXPECT_EQ(
        readFile(dir.path("a/a.wav")),
        concat({fromHex("52494646 2c000000 57415645 666d7420 10000000 0100 0100 401f0000 401f0000 0100 0800"
                        "4c495354 08000000"),
                Bytes(8, 0x70)}));
    writeFile(dir.path("b.wav"), dataFirst);  // sample bytes where the canonical header has its format
    EXPECT_EQ(runKazettor({dir.path("b.wav")}).output, "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
}

// A stereo 24-bit recording as ffmpeg writes it (LIST before data, the
// extensible format) whose second channel alone carries the tape.
TEST(SampleLoading, DecodesTheChannelThatCarriesTheTape) {
    ScratchDir dir;
    const Bytes tape = widened(tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}), 7, 21, true), 24);
    const Bytes silence = widened(Bytes(tape.size() / 3, 128), 24);
    writeFile(dir.path("st.wav"),
              riffFile({chunk("LIST", Bytes(26, 0x41)), chunk("fmt ", extensibleFormat(2, 22050, 24)),
                        chunk("data", interleaved(silence, tape, 3))}));
    EXPECT_EQ(runKazettor({dir.path("st.wav"), "-c", "1"}).output, "");
    EXPECT_FALSE(std::filesystem::exists(dir.path("st/01_AB.ptp")));
    EXPECT_NE(runKazettor({dir.path("st.wav"), "-c", "2"}).output.find("b1 05 05  O\n"), std::string::npos);
    EXPECT_EQ(readFile(dir.path("st/01_AB.ptp")), kImage);
}
