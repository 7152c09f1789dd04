#include <cmath>

#include "common/output_file.h"
#include "encoder/bit_waveform.h"
#include "encoder/encoder_settings.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

using Samples = std::vector<std::int32_t>;

int unitAt(int rate) { return static_cast<int>(std::ceil(rate * 312.0 / 1000000.0)); }

void useSettings(int rate, int bits, int shape) {
    encoderSettings = {bits, shape, rate, unitAt(rate), 0};
    prepareBitCells();
}

Bytes rendered(const ScratchDir& dir, std::uint8_t byte) {
    static OutputFile file;  // its megabyte buffer allocated once
    openOutputFile(file, dir.path("cell"), "wb");
    renderByte(file, byte);
    closeOutputFile(file);
    return readFile(dir.path("cell"));
}

}  // namespace

// Worked cells at 8000 Hz (three samples to a unit): square, trapezoids and sine.
TEST(BitWaveform, WorkedEightBitCells) {
    // clang-format off
    const std::tuple<int, Samples, Samples> cases[] = {
        {1, {255, 255, 255, 0, 0, 0}, {255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {2, {255, 255, 255, 128, 0, 0, 0, 128}, {213, 255, 255, 255, 255, 255, 255, 255, 213, 128, 43, 0, 0, 0, 0, 0, 0, 0, 43, 128}},
        {5, {230, 255, 230, 128, 26, 0, 26, 128}, {162, 196, 230, 255, 255, 255, 230, 196, 162, 128, 94, 60, 26, 0, 0, 0, 26, 60, 94, 128}},
        {0, {128, 238, 238, 128, 18, 18}, {128, 171, 210, 238, 253, 253, 238, 210, 171, 128, 85, 46, 18, 3, 3, 18, 46, 85}},
    };
    // clang-format on
    for (const auto& [shape, one, zero] : cases) {
        useSettings(8000, 8, shape);
        EXPECT_EQ(std::pair(bitCellSamples(true), bitCellSamples(false)), std::pair(one, zero)) << shape;
    }
}

// The cells are rendered once and copied: every rate, width and a spread of
// shapes must give exactly the sample-by-sample signal.
TEST(BitWaveform, CachedCellsEqualTheSampleBySampleFormulas) {
    ScratchDir dir;
    for (int rate : {8000, 11050, 16000, 22050, 44100, 48000}) {
        const int h = unitAt(rate);
        for (int bits : {8, 16, 24, 32})
            for (int shape : {0, 1, 2, 3, 4, h, 2 * h - 1, 2 * h}) {
                useSettings(rate, bits, shape);
                for (std::uint8_t byte : {0x00, 0xFF, 0xAA, 0x80, 0x5C})
                    ASSERT_EQ(rendered(dir, byte), literalRenderByte(byte, bits, shape, h))
                        << rate << " Hz, " << bits << " bits, shape " << shape << ", byte " << int(byte);
            }
    }
}
