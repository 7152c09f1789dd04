#include <gtest/gtest.h>

#include <cmath>

#include "common/little_endian.h"
#include "encoder/encoder_settings.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

const Bytes kImage = {0xFF, 0x1D, 0x00, 0x55, 0x06, 0x00, 0x83, 0x01, 0x02, 0x41, 0x42, 0x86,
                      0x55, 0x08, 0x00, 0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18,
                      0xAA, 0x03, 0x00, 0xB1, 0x05, 0x05};

struct Format {
    std::uint32_t rate;
    int bits, shape;
    int h() const { return static_cast<int>(std::ceil(rate * 312.0 / 1000000.0)); }
};

// The expected file, assembled from the sample-by-sample waveform: the
// header, silence, then per image its tape bytes and silence.
Bytes expectedWav(const Format& f, const std::vector<Bytes>& imagesAsTapeBytes) {
    Bytes zero;
    for (int i = 0; i < f.bits / 8; ++i) zero.push_back(f.bits == 8 && i == 0 ? 128 : 0);
    Bytes silence;
    for (std::uint32_t i = 0; i < 3 * f.rate; ++i) silence.insert(silence.end(), zero.begin(), zero.end());
    Bytes samples = silence;
    for (const Bytes& tape : imagesAsTapeBytes) {
        for (std::uint8_t byte : tape) {
            Bytes signal = literalRenderByte(byte, f.bits, f.shape, f.h());
            samples.insert(samples.end(), signal.begin(), signal.end());
        }
        samples.insert(samples.end(), silence.begin(), silence.end());
    }
    return wavFile(f.rate, f.bits, samples);
}

// What a record becomes on tape: fill, sync, payload.
Bytes onTape(const Bytes& payload) {
    Bytes tape(96, 0xFF);
    tape.insert(tape.end(), 3, 0xD3);
    tape.insert(tape.end(), payload.begin(), payload.end());
    return tape;
}

Bytes leadIn() { return Bytes(512, 0xAA); }

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

}  // namespace

TEST(PtpToWav, EmptyInputGivesHeaderAndSilence) {
    ScratchDir dir;
    writeFile(dir.path("e.ptp"), {});
    ASSERT_EQ(runKazettor({dir.path("e.ptp")}).status, 0);
    Bytes wav = readFile(dir.path("e.wav"));
    ASSERT_EQ(wav.size(), 24044u);
    EXPECT_EQ(readLe32(wav.data() + 4), 24036u);
    EXPECT_EQ(readLe32(wav.data() + 40), 24000u);
    EXPECT_EQ(wav, expectedWav({8000, 8, 1}, {}));
    ASSERT_EQ(runKazettor({dir.path("e.ptp"), "-m", "48", "-b16"}).status, 0);
    wav = readFile(dir.path("e.wav"));
    EXPECT_EQ(wav.size(), 288044u);
    EXPECT_EQ(readLe32(wav.data() + 4), 288036u);
    EXPECT_EQ(readLe32(wav.data() + 28), 96000u);
}

TEST(PtpToWav, RendersImagesRecordsAndSilencesExactly) {
    ScratchDir dir;
    const Bytes unfinished = {0xFF, 0x00, 0x00, 0x55, 0x00, 0x00, 0x55, 0x02, 0x00, 0x81, 0x82, 0x7F};
    writeFile(dir.path("t.ptp"), join({kImage, unfinished}));
    ASSERT_EQ(runKazettor({dir.path("t.ptp"), "-m", "22", "-b", "24", "-f", "3"}).status, 0);
    const Bytes first = join({leadIn(), onTape({0x83, 0x01, 0x02, 0x41, 0x42, 0x86}),
                              onTape({0xF1, 0x00, 0x10, 0x43, 0x02, 0xC3, 0x00, 0x18}), onTape({0xB1, 0x05, 0x05}), {0xFF}});
    // A zero-length record is preamble and sync only; no last record, no end mark;
    // a stray byte where a header would start ends the file.
    const Bytes second = join({leadIn(), onTape({}), onTape({0x81, 0x82})});
    EXPECT_EQ(readFile(dir.path("t.wav")), expectedWav({22050, 24, 3}, {first, second}));

    writeFile(dir.path("h.ptp"), {0xFF, 0x12, 0x34});
    ASSERT_EQ(runKazettor({dir.path("h.ptp"), "-m11", "-f", "0"}).status, 0);
    EXPECT_EQ(readFile(dir.path("h.wav")), expectedWav({11050, 8, 0}, {leadIn()}));
}

TEST(PtpToWav, MalformedInputStopsWithItsMessage) {
    ScratchDir dir;
    const Bytes image = {0xFF, 0, 0, 0xAA, 0x01, 0x00, 0x44};
    struct Case {
        Bytes input;
        std::string message;
        std::vector<Bytes> finishedImages;  // tape bytes of the images rendered whole before the stop
        Bytes unfinished;                   // tape bytes rendered after them
    } cases[] = {
        {{0x55, 0x03, 0x00}, "\nNem szabványos PTP file, nem 0xFF-el kezdődik: 55 03 00\n", {}, {}},
        {{0xFF, 0x00, 0x00, 0x12, 0x34, 0x56},
         "\nNem szabványos PTP file, nem 0x55 vagy 0xAA a blokk kezdete: 12 34 56\n", {}, leadIn()},
        {join({image, {0x55, 0x01, 0x00, 0x44}}), "\nNem szabványos PTP file, nem 0xFF-el kezdődik: 55 01 00\n",
         {join({leadIn(), onTape({0x44}), {0xFF}})}, {}},
        {{0xFF, 0, 0, 0x55, 0x05, 0x00, 0x01, 0x02},
         "\nNem szabványos PTP file, a blokk rövidebb a megadott hossznál: 55 05 00\n", {}, join({leadIn(), onTape({1, 2})})},
    };
    for (const Case& c : cases) {
        writeFile(dir.path("bad.ptp"), c.input);
        RunResult run = runKazettor({dir.path("bad.ptp")});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, c.message);
        // What was written stays; the header keeps its placeholder sizes.
        Bytes expected = expectedWav({8000, 8, 1}, c.finishedImages);
        for (std::uint8_t byte : c.unfinished) {
            Bytes signal = literalRenderByte(byte, 8, 1, 3);
            expected.insert(expected.end(), signal.begin(), signal.end());
        }
        writeLe32(expected.data() + 4, 0);
        writeLe32(expected.data() + 40, 0);
        EXPECT_EQ(readFile(dir.path("bad.wav")), expected) << c.message;
    }
}

TEST(PtpToWav, OptionsSettleRateWidthAndShape) {
    ScratchDir dir;
    writeFile(dir.path("o.ptp"), {});
    struct Case {
        std::vector<std::string> options;
        int rate, bits, h, shape;
    } cases[] = {
        {{}, 8000, 8, 3, 1},           {{"-m", "11"}, 11050, 8, 4, 1}, {{"-m", "44.1"}, 44100, 8, 14, 1},
        {{"-m", "44100"}, 8000, 8, 3, 1}, {{"-m", "22", "-b", "32"}, 22050, 32, 7, 1}, {{"-b", "12"}, 8000, 8, 3, 1},
        {{"-f", "6"}, 8000, 8, 3, 6},  {{"-f", "7"}, 8000, 8, 3, 0},   {{"-f", "0"}, 8000, 8, 3, 0},
        {{"-f", "-3"}, 8000, 8, 3, 0}, {{"-f", "x"}, 8000, 8, 3, 0},   {{"-m", "48", "-f", "30"}, 48000, 8, 15, 30},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{dir.path("o.ptp")};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(runKazettor(arguments).status, 0);
        EXPECT_EQ(encoderSettings.encRate, c.rate);
        EXPECT_EQ(encoderSettings.encBits, c.bits);
        EXPECT_EQ(encoderSettings.halfBitSamples, c.h);
        EXPECT_EQ(encoderSettings.encShape, c.shape);
        EXPECT_EQ(readLe32(readFile(dir.path("o.wav")).data() + 24), static_cast<std::uint32_t>(c.rate));
    }
}

TEST(PtpToWav, OutputLiesBesideTheInput) {
    ScratchDir dir;
    writeFile(dir.path("TAPE.PTP"), {});
    ASSERT_EQ(runKazettor({dir.path("TAPE.PTP")}).status, 0);
    EXPECT_TRUE(fileExists(dir.path("TAPE.wav")));
    RunResult run = runKazettor({dir.path("none.ptp")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Nem sikerült megnyitni a file-t: " + dir.path("none.ptp") + "\n");
    EXPECT_FALSE(fileExists(dir.path("none.wav")));
}
