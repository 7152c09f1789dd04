// Arbitrary bytes as a WAV recording, through loading, cleaning and decoding,
// with and without the timing and channel options, by the default decoder
// or the rescue decoder (-r I), alone or with a second take (-t). The first
// byte chooses the options.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const kSeparators[] = {nullptr, "1", "100", "624", "5000", "99", "5001", "x"};
    static const char* const kFirstHalves[] = {nullptr, "H", "h", "I"};
    const char* separator = kSeparators[data[0] & 7];
    static const char* const kChannels[] = {nullptr, "1", "2", "3"};
    const char* firstHalf = kFirstHalves[(data[0] >> 3) & 3];
    const char* channel = kChannels[(data[0] >> 5) & 3];
    std::vector<std::string> arguments{writeScratchFile("rec.wav", data + 1, size - 1)};
    if (separator != nullptr) arguments.insert(arguments.end(), {"-s", separator});
    if (firstHalf != nullptr) arguments.insert(arguments.end(), {"-j", firstHalf});
    if (channel != nullptr) arguments.insert(arguments.end(), {"-c", channel});
    if ((data[0] & 0x80) != 0) {
        arguments.insert(arguments.end(), {"-r", "I"});
        // Half of the rescue runs read the recording twice, as two takes of
        // one tape: the file again under another name, or, where the input
        // has an odd length, its second half as a recording of its own.
        if (size > 1 && (data[1] & 1) != 0) {
            const std::size_t from = size % 2 == 0 ? 1 : size / 2;
            arguments.insert(arguments.end(), {"-t", writeScratchFile("take.wav", data + from, size - from)});
        }
    }
    runProgram(arguments);
    return 0;
}
