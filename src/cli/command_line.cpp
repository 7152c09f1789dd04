#include "cli/command_line.h"

#include <cstring>

#include "cli/option_table.h"
#include "cli/usage_text.h"
#include "common/console.h"
#include "common/path_base.h"
#include "decoder/bit_decoder.h"
#include "decoder/decoder_state.h"
#include "encoder/encoder_settings.h"
#include "encoder/ptp_to_wav.h"
#include "rescue/rescue_decoder.h"

namespace {

constexpr const char* kBadExtensionMessage =
    "Az első paraméter egy file kell legyen, aminek a kiterjesztése .wav vagy .ptp\n";

bool equalsIgnoringAsciiCase(const char* text, const char* lowerCaseWord) {
    for (; *text != '\0' && *lowerCaseWord != '\0'; ++text, ++lowerCaseWord) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lowerCaseWord) return false;
    }
    return *text == '\0' && *lowerCaseWord == '\0';
}

enum class Direction { wavToPtp, ptpToWav };

// The input must end in ".wav" or ".ptp", counted from its first '.', and
// must have a file name in front of it: "tapes/.wav" would leave the decoder
// no directory name of its own.
Direction inputDirection(const char* input) {
    const char* extension = std::strchr(input, '.');
    if (extension == nullptr || extension == input || extension[-1] == '/') {
        reportFailure("%s", kBadExtensionMessage);
    }
    if (equalsIgnoringAsciiCase(extension, ".wav")) return Direction::wavToPtp;
    if (equalsIgnoringAsciiCase(extension, ".ptp")) return Direction::ptpToWav;
    reportFailure("%s", kBadExtensionMessage);
}

// Options are "-x value" or "-xvalue" with a lower-case letter x; a value
// that stands as its own argument is taken whatever it looks like.
void parseOptions(int argc, char** argv) {
    int i = 2;
    while (i < argc) {
        const char* argument = argv[i];
        if (argument[0] != '-' || argument[1] < 'a' || argument[1] > 'z') {
            reportFailure("Ismeretlen opció: %s\n", argument);
        }
        if (argument[2] != '\0') {
            setOption(argument[1], argument + 2);
            i += 1;
        } else {
            if (i + 1 >= argc) reportFailure("Nem teljes opció: %s\n", argument);
            setOption(argument[1], argv[i + 1]);
            i += 2;
        }
    }
}

}  // namespace

int runCommandLine(int argc, char** argv) {
    if (argc < 2) {
        const char* name = (argc > 0 && argv[0] != nullptr) ? argv[0] : "kazettor";
        reportFailure(kUsageText, name, name);
    }
    Direction direction = inputDirection(argv[1]);
    clearOptionTable();
    parseOptions(argc, argv);
    if (direction == Direction::wavToPtp && rescueRequested()) {
        rescueWavFile(argv[1]);
    } else if (direction == Direction::wavToPtp) {
        convertWavFile(argv[1]);
    } else {
        convertPtpToWav(argv[1]);
    }
    return 0;
}

void resetProgramState() {
    clearOptionTable();
    pathBase.clear();
    resetDecoderState();
    resetEncoderSettings();
}
