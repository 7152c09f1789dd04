// Arbitrary bytes as a PTP file through the encoder, with rate, width and
// shape options of every kind. The first byte chooses the options.
//
// Every image, however short, becomes a lead-in and three seconds of
// silence: a few kilobytes of empty images make gigabytes of signal. So the
// input is kept to 4 KB and the WAV goes to /dev/null.
#include <unistd.h>

#include <algorithm>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const kRates[] = {nullptr, "8", "11", "16", "22", "44", "48", "44100"};
    static const char* const kWidths[] = {nullptr, "8", "16", "24", "32", "12", "-8", "x"};
    static const char* const kShapes[] = {nullptr, "0", "1", "2", "6", "7", "30", "-3"};
    const char* rate = kRates[data[0] & 7];
    const char* width = kWidths[(data[0] >> 3) & 7];
    const char* shape = (data[0] >> 6) != 0 ? kShapes[(data[0] >> 6) * 2 + (size & 1)] : nullptr;
    std::vector<std::string> arguments{
        writeScratchFile("tape.ptp", data + 1, std::min<std::size_t>(size - 1, 4096))};
    if (symlink("/dev/null", (scratchDirectory() + "/tape.wav").c_str()) != 0) return 0;
    if (rate != nullptr) arguments.insert(arguments.end(), {"-m", rate});
    if (width != nullptr) arguments.insert(arguments.end(), {"-b", width});
    if (shape != nullptr) arguments.insert(arguments.end(), {"-f", shape});
    runProgram(arguments);
    return 0;
}
