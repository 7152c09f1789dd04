#include <algorithm>
#include <cmath>

#include "encoder/encoder_settings.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

// The folder of this file's tests: each run clears its output folder first.
const ScratchDir dir;

// The samples of tape bytes, from the sample-by-sample waveform.
Bytes signalOf(int rate, int bits, int shape, const Bytes& tape) {
    Bytes samples;
    const int h = static_cast<int>(std::ceil(rate * 312.0 / 1000000.0));
    for (std::uint8_t byte : tape)
        std::ranges::copy(literalRenderByte(byte, bits, shape, h), std::back_inserter(samples));
    return samples;
}

// The expected file: the header, silence, then per image its tape bytes and
// silence, then whatever was rendered before a stop (which leaves the sizes 0).
Bytes expectedWav(int rate, int bits, int shape, const std::vector<Bytes>& images,
                  const Bytes* stoppedAfter = nullptr) {
    const Bytes silence(static_cast<std::size_t>(3 * rate * bits / 8), bits == 8 ? 128 : 0);
    Bytes samples = silence;
    for (const Bytes& tape : images) samples = concat({samples, signalOf(rate, bits, shape, tape), silence});
    if (stoppedAfter == nullptr) return wavFile(rate, bits, samples);
    Bytes file = wavFile(rate, bits, concat({samples, signalOf(rate, bits, shape, *stoppedAfter)}));
    for (int at : {4, 40}) std::fill_n(file.begin() + at, 4, 0);  // the RIFF and data sizes
    return file;
}

// A record on tape: fill, sync, payload.
Bytes onTape(const Bytes& payload) { return concat({Bytes(96, 0xFF), {0xD3, 0xD3, 0xD3}, payload}); }
const Bytes kLeadIn(512, 0xAA);

}  // namespace

TEST(PtpToWav, RendersImagesRecordsAndSilencesExactly) {
    ASSERT_EQ(runOn(dir.path("e.ptp"), {}).status, 0);
    EXPECT_EQ(readFile(dir.path("e.wav")), expectedWav(8000, 8, 1, {}));  // 24044 bytes

    // A zero-length record is fill and sync only; an image without a last
    // record gets no end mark; a stray byte where a header would start ends the file.
    const Bytes images =
        concat({kImage, {0xFF, 0x00, 0x00, 0x55, 0x00, 0x00, 0x55, 0x02, 0x00, 0x81, 0x82, 0x7F}});
    ASSERT_EQ(runOn(dir.path("t.ptp"), images, {"-m", "22", "-b", "24", "-f", "3"}).status, 0);
    const Bytes first = concat({kLeadIn, onTape(kNameBlock), onTape(kDataBlock), onTape(kEndBlock), {0xFF}});
    EXPECT_EQ(readFile(dir.path("t.wav")),
              expectedWav(22050, 24, 3, {first, concat({kLeadIn, onTape({}), onTape({0x81, 0x82})})}));
}

TEST(PtpToWav, MalformedInputStopsWithItsMessage) {
    const Bytes shortImage = {0xFF, 0, 0, 0xAA, 0x01, 0x00, 0x44};
    // clang-format off
    const std::tuple<Bytes, std::string, std::vector<Bytes>, Bytes> cases[] = {
        {{0x55, 0x03, 0x00}, "nem 0xFF-el kezdődik: 55 03 00", {}, {}},
        {{0xFF, 0, 0, 0x12, 0x34, 0x56}, "nem 0x55 vagy 0xAA a blokk kezdete: 12 34 56", {}, kLeadIn},
        {concat({shortImage, {0x55, 0x01, 0x00, 0x44}}), "nem 0xFF-el kezdődik: 55 01 00", {concat({kLeadIn, onTape({0x44}), {0xFF}})}, {}},
        {{0xFF, 0, 0, 0x55, 0x05, 0x00, 0x01, 0x02}, "a blokk rövidebb a megadott hossznál: 55 05 00", {}, concat({kLeadIn, onTape({1, 2})})},
        {{0xFF, 0, 0, 0x55, 0x00, 0x01, 0x01, 0x02}, "a blokk rövidebb a megadott hossznál: 55 00 01", {}, concat({kLeadIn, onTape({1, 2})})},
        {concat({{0xFF, 0, 0, 0x55, 0x02, 0x00, 0x01, 0x02}, kImage}), "nem 0x55 vagy 0xAA a blokk kezdete: ff 1d 00", {}, concat({kLeadIn, onTape({1, 2})})},
    };
    // clang-format on
    for (const auto& [input, message, images, partial] : cases) {
        EXPECT_EQ(runOn(dir.path("bad.ptp"), input),
                  (RunResult{1, "\nNem szabványos PTP file, " + message + "\n"}));
        EXPECT_EQ(readFile(dir.path("bad.wav")), expectedWav(8000, 8, 1, images, &partial)) << message;
    }
}

TEST(PtpToWav, OptionsSettleRateWidthAndShape) {
    // clang-format off
    const std::tuple<std::vector<std::string>, int, int, int, int> cases[] = {
        {{}, 8000, 8, 3, 1},           {{"-m", "11"}, 11050, 8, 4, 1},     {{"-m", "44.1"}, 44100, 8, 14, 1},
        {{"-m44100"}, 8000, 8, 3, 1},  {{"-m22", "-b32"}, 22050, 32, 7, 1}, {{"-b", "12"}, 8000, 8, 3, 1},
        {{"-f", "6"}, 8000, 8, 3, 6},  {{"-f", "7"}, 8000, 8, 3, 0},       {{"-f", "0"}, 8000, 8, 3, 0},
        {{"-f", "-3"}, 8000, 8, 3, 0}, {{"-f", "x"}, 8000, 8, 3, 0},       {{"-m48", "-b16", "-f30"}, 48000, 16, 15, 30},
        {{"-r", "I"}, 8000, 8, 3, 1},
        // 2^64 + 44, + 16 and + 2 saturate (they do not wrap): out of range.
        {{"-m", "18446744073709551660", "-b", "18446744073709551632", "-f", "18446744073709551618"}, 8000, 8, 3, 0},
    };
    // clang-format on
    for (const auto& [options, rate, bits, h, shape] : cases) {
        ASSERT_EQ(runOn(dir.path("TAPE.PTP"), {}, options).status, 0);
        const EncoderSettings& s = encoderSettings;
        EXPECT_EQ(std::make_tuple(s.encRate, s.encBits, s.halfBitSamples, s.encShape),
                  std::make_tuple(rate, bits, h, shape));
        EXPECT_EQ(readFile(dir.path("TAPE.wav")), expectedWav(rate, bits, shape, {}));
    }
}
