#include "formats/wav_header.h"
#include "support/test_support.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

// WAVE_FORMAT_EXTENSIBLE: the 16 fields with tag 0xFFFE, cbSize 22, valid bits,
// channel mask and the SubFormat GUID of the format tag given (1 PCM, 3 floating point).
Bytes extensibleFormat(int channels, std::uint32_t rate, int bits, int subFormat = 1) {
    return concat({formatFields(channels, rate, bits, 0xFFFE), fromHex("1600"), littleEndian(bits, 2),
                   fromHex("04000000"), littleEndian(subFormat, 4), fromHex("0000 1000 800000aa00389b71")});
}

}  // namespace

// The cleaned copy holds every whole sample, in 8 bits, with a canonical header.
TEST(SampleLoading, CountsWholeSamplesFromTheFileLength) {
    // bits per sample, file length, samples
    const std::tuple<int, std::size_t, std::uint32_t> cases[] = {
        {8, 1044, 1000}, {16, 1045, 500}, {24, 54, 3}, {32, 47, 0}, {8, 44, 0}, {16, 40, 0}, {8, 35, 0}};
    for (const auto& [bits, fileBytes, samples] : cases) {
        const Bytes file = firstBytes(wavFile(8000, bits, Bytes(2000, 0x40)), fileBytes);
        EXPECT_EQ(runOn(dir.path("in.WAV"), file).status, 0) << fileBytes;  // the extension in any case
        Bytes header = pcmHeader(8000, 8, samples);
        if (fileBytes < 40) std::fill_n(header.begin() + 36, 4, 0);  // the "data" tag as the file has it
        // Bytes 0x40 are the samples 0x40 in 8 bits and 0xC0 (0x4040.. signed) in wider ones.
        EXPECT_EQ(readFile(dir.path("in/in.wav")), concat({header, Bytes(samples, bits == 8 ? 0x40 : 0xC0)}))
            << fileBytes;
    }
    EXPECT_EQ(headerSizeField(0x100000000LL), 0xFFFFFFFFu);  // a 4 GiB recording's sizes saturate
}

TEST(SampleLoading, RefusesAllButMonoPcmOfTheFourWidths) {
    const Bytes stereo = wavFile(8000, 8, Bytes(10, 0), 2), data = chunk("data", Bytes(12, 0));
    // clang-format off
    const std::pair<Bytes, std::vector<std::string>> cases[] = {
        {stereo, {}}, {stereo, {"-c", "3"}}, {wavFile(8000, 8, Bytes(18, 0), 9), {"-r", "I"}}, {stereo, {"-c0"}},
        {stereo, {"-c", "-1"}}, {stereo, {"-c", "x"}}, {firstBytes(stereo, 22), {}},
        {riffFile({chunk("fmt ", formatFields(1, 8000, 32, 3)), data}), {}},  // floating point
        {wavFile(8000, 8, Bytes(10, 0), 0), {}},                              // no channels
        {wavFile(8000, 0, {}), {}}, {wavFile(8000, 12, {}), {}}, {wavFile(8000, 40, {}), {}},
        {wavFile(8000, 64, {}), {}},
        // WAVE_FORMAT_EXTENSIBLE with the float SubFormat, and one too short to hold a SubFormat.
        {riffFile({chunk("fmt ", extensibleFormat(1, 8000, 32, 3)), data}), {}},
        {riffFile({chunk("fmt ", firstBytes(extensibleFormat(1, 8000, 16), 24)), data}), {}},
        // Sample bytes where the canonical header has its format: the walk finds no data after a format.
        {riffFile({chunk("data", Bytes(4, 0x70)), chunk("fmt ", formatFields(1, 8000, 8))}), {}}};
    // clang-format on
    for (const auto& [file, options] : cases) {
        EXPECT_EQ(runOn(dir.path("bad.wav"), file, options).output,
                  "A WAV file csak PCM mono 8/16/24/32-bites lehet.\n");
        EXPECT_FALSE(std::filesystem::exists(dir.path("bad")));
    }
}

// The cleaned copy of a canonical file keeps its header (tags are never
// looked at) but for the width and sizes. Tools write other layouts: the
// samples must come from the data chunk, whatever stands before and after
// it, and the cleaned copy gets a canonical header; a walk that finds no
// "fmt " chunk followed by "data" falls back to the canonical reading.
// Samples are read in blocks of 768 KB, and cleaned of notches.
TEST(SampleLoading, ReadsTheLayoutsAudioToolsWrite) {
    const Bytes s = {0x10, 0x30, 0x50, 0x70, 0x90, 0xB0}, t = {0xC0, 0xA0, 0x80, 0x60, 0x40, 0x20};
    // s and t as two channels, frame by frame
    const Bytes st = {0x10, 0xC0, 0x30, 0xA0, 0x50, 0x80, 0x70, 0x60, 0x90, 0x40, 0xB0, 0x20};
    const Bytes list = chunk("LIST", fromHex("494e464f 49534654 05000000 4c617666 00"));  // odd, padded
    const Bytes fmt8 = chunk("fmt ", formatFields(1, 8000, 8)),
                fmt16 = chunk("fmt ", formatFields(1, 8000, 16));
    const Bytes head = riffFile({fmt16, list}), canonical = pcmHeader(8000, 8, 6);
    Bytes ramp(500000);  // one and a third read blocks of 16-bit samples
    for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::uint8_t>(i % 251);
    // clang-format off
    const std::tuple<std::string, Bytes, std::vector<std::string>, Bytes> cases[] = {
        {"tagged LIST, a stray byte", concat({fromHex("4c495354 d1000000 57415645 666d7420 10000000 0100 0100 44ac0000 88580100 0200 1000 64617461 c8000000"), Bytes(200, 0x11), {0x99}}), {},
         concat({fromHex("4c495354 88000000 57415645 666d7420 10000000 0100 0100 44ac0000 44ac0000 0100 0800 64617461 64000000"), Bytes(100, 0x91)})},
        {"no data chunk", riffFile({fmt8, chunk("LIST", Bytes(8, 0x70))}), {},
         concat({fromHex("52494646 2c000000 57415645 666d7420 10000000 0100 0100 401f0000 401f0000 0100 0800 4c495354 08000000"), Bytes(8, 0x70)})},
        {"extensible 24-bit after LIST", riffFile({chunk("fmt ", extensibleFormat(1, 8000, 24)), list, chunk("data", widened(s, 24))}), {}, concat({canonical, s})},
        {"fmt of 18, fact, odd bext", riffFile({chunk("fmt ", concat({formatFields(1, 8000, 32), {0, 0}})), chunk("fact", littleEndian(6, 4)), chunk("bext", {1, 2, 3}), chunk("data", widened(s, 32))}), {}, concat({canonical, s})},
        {"data size 0", concat({head, fromHex("64617461 00000000"), widened(s, 16)}), {}, concat({canonical, s})},
        {"data size all ones", concat({head, fromHex("64617461 ffffffff"), widened(s, 16)}), {}, concat({canonical, s})},
        {"data size past the end", concat({riffFile({fmt8, list}), fromHex("64617461 00010000"), s}), {}, concat({canonical, s})},
        {"odd data size, chunk after", riffFile({fmt16, list, chunk("data", firstBytes(widened(s, 16), 7)), list}), {}, concat({pcmHeader(8000, 8, 3), {0x10, 0x30, 0x50}})},
        // Chunk headers are read through a window of 64 KiB from offset 12: this data header lies across its end.
        {"a LIST of 65,500 bytes", riffFile({fmt8, chunk("LIST", Bytes(65500, 0x70)), chunk("data", s), list}), {}, concat({canonical, s})},
        {"data before the format", riffFile({chunk("data", t), fmt8, chunk("data", s)}), {}, concat({canonical, s})},
        {"the first whole format counts", riffFile({chunk("fmt ", {1, 0, 1, 0}), fmt8, fmt16, chunk("data", s)}), {}, concat({canonical, s})},
        {"data header at the very end", concat({head, fromHex("64617461 06000000")}), {}, pcmHeader(8000, 8, 0)},
        {"stereo, -c 2", wavFile(8000, 16, widened(st, 16), 2), {"-c", "2"}, concat({canonical, t})},
        {"stereo extensible, -c1, partial frame", riffFile({list, chunk("fmt ", extensibleFormat(2, 8000, 24)), chunk("data", concat({widened(st, 24), {1, 2, 3}}))}), {"-c1"}, concat({canonical, s})},
        {"mono, -c 2 changes nothing", wavFile(8000, 8, s), {"-c", "2"}, concat({canonical, s})},
        {"longer than a read block", wavFile(8000, 16, widened(ramp, 16)), {}, concat({pcmHeader(8000, 8, 500000), ramp})},
        {"a notch cleaned", wavFile(8000, 8, {200, 100, 210}), {}, concat({pcmHeader(8000, 8, 3), {200, 205, 210}})},
    };
    // clang-format on
    for (const auto& [name, file, options, cleaned] : cases) {
        EXPECT_EQ(runOn(dir.path("rec.wav"), file, options).status, 0) << name;
        EXPECT_EQ(readFile(dir.path("rec/rec.wav")), cleaned) << name;
    }
}

// 8-bit samples are unsigned around 128 however many channels there are: -c 3
// takes every third byte as it stands (a blockAlign of 0 is not looked at),
// the tape decodes with the polarity it has, and the cleaned copy is mono.
TEST(SampleLoading, ReadsOneChannelOfEightBitFrames) {
    const Bytes tape =
        concat({Bytes(1000, 56), tapeSignal(tapeBytes({kNameBlock, kDataBlock, kEndBlock}), 7, 21, true)});
    Bytes frames;
    for (std::uint8_t sample : tape) frames.insert(frames.end(), {std::uint8_t(255 - sample), 128, sample});
    Bytes file = wavFile(22050, 8, frames, 3);
    file[32] = 0;  // blockAlign
    const std::string lock =
        "\nProgram szinkron 0.427 másodpercnél 634 mikromásodperces elválasztóval és magas";
    EXPECT_EQ(runOn(dir.path("rec.wav"), file, {"-c", "3"}).output.substr(0, lock.size()), lock);
    EXPECT_EQ(readFile(dir.path("rec/01_AB.ptp")), kImage);
    EXPECT_EQ(readFile(dir.path("rec/rec.wav")), wavFile(22050, 8, tape));  // mono, with a canonical header
}
