#include <cmath>

#include "common/output_file.h"
#include "encoder/bit_waveform.h"
#include "encoder/encoder_settings.h"
#include "oracles/oracles.h"
#include "support/test_support.h"

namespace {

Bytes rendered(const ScratchDir& dir, std::uint8_t byte) {
    static OutputFile file;  // its megabyte buffer allocated once
    openOutputFile(file, dir.path("cell"), "wb");
    renderByte(file, byte);
    closeOutputFile(file);
    return readFile(dir.path("cell"));
}

}  // namespace

// The cells are rendered once and copied: every rate, width and a spread of
// shapes must give exactly the sample-by-sample signal.
TEST(BitWaveform, CachedCellsEqualTheSampleBySampleFormulas) {
    ScratchDir dir;
    for (int rate : {8000, 11050, 16000, 22050, 44100, 48000}) {
        const int h = static_cast<int>(std::ceil(rate * 312.0 / 1000000.0));  // samples to a unit
        for (int bits : {8, 16, 24, 32})
            for (int shape : {0, 1, 2, 3, 4, h, 2 * h - 1, 2 * h}) {
                encoderSettings = {bits, shape, rate, h, 0};
                prepareBitCells();
                for (std::uint8_t byte : {0x00, 0xFF, 0xAA, 0x80, 0x5C})
                    ASSERT_EQ(rendered(dir, byte), literalRenderByte(byte, bits, shape, h))
                        << rate << " Hz, " << bits << " bits, shape " << shape << ", byte " << int(byte);
            }
    }
}
