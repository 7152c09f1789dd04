// Arbitrary command lines: the bytes split at NUL into arguments. The input
// path is kept inside the scratch directory (a '/' in it becomes '_'), and a
// small file stands there under the name given, so that either converter
// may run.
#include <algorithm>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments;
    std::string current;
    for (std::size_t i = 0; i < size && arguments.size() < 8; ++i) {
        if (data[i] == 0) {
            arguments.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (arguments.size() < 8 && !current.empty()) arguments.push_back(current);
    if (!arguments.empty()) {
        std::string name = arguments[0].substr(0, 200);
        std::replace(name.begin(), name.end(), '/', '_');
        static const std::uint8_t kTinyImage[] = {0xFF, 0, 0, 0xAA, 3, 0, 0xB1, 5, 5};
        arguments[0] =
            name.empty() ? scratchDirectory() + "/" : writeScratchFile(name, kTinyImage, sizeof kTinyImage);
    }
    runProgram(arguments);
    return 0;
}
