#include "encoder/encoder_settings.h"

#include <cmath>

#include "cli/option_table.h"

EncoderSettings encoderSettings;

namespace {

// -m gives the rate in kHz, matched against each rate divided by 1000. The
// second rate is 11050 Hz, as it has always been written.
constexpr std::int32_t kSupportedRates[] = {8000, 11050, 16000, 22050, 44100, 48000};

}  // namespace

void resetEncoderSettings() { encoderSettings = EncoderSettings{}; }

void settleEncoderSettings() {
    EncoderSettings& settings = encoderSettings;
    if (const char* rate = lookupOption('m')) {
        const std::int64_t kilohertz = optionNumber(rate);
        for (std::int32_t supported : kSupportedRates) {
            if (kilohertz == supported / 1000) {
                settings.encRate = supported;
                break;
            }
        }
    }
    if (const char* bits = lookupOption('b')) {
        const std::int64_t width = optionNumber(bits);
        if (width == 8 || width == 16 || width == 24 || width == 32) {
            settings.encBits = static_cast<std::int32_t>(width);
        }
    }
    settings.halfBitSamples = static_cast<std::int32_t>(std::ceil(settings.encRate * 312.0 / 1000000.0));
    if (const char* shape = lookupOption('f')) {
        const std::int64_t value = optionNumber(shape);
        if (value < 1 || value > 2 * static_cast<std::int64_t>(settings.halfBitSamples)) {
            settings.encShape = 0;
        } else {
            settings.encShape = static_cast<std::int32_t>(value);
        }
    } else {
        settings.encShape = 1;
    }
}

std::int32_t zeroLevel() { return encoderSettings.encBits == 8 ? 128 : 0; }
