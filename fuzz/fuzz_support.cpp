#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "cli/command_line.h"
#include "common/run_end.h"

const std::string& scratchDirectory() {
    // Never destroyed: the exit handler below still needs it.
    static const std::string* const directory = [] {
        auto* path = new std::string("/dev/shm/kazettor_fuzz_" + std::to_string(getpid()));
        std::filesystem::create_directories(*path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratchDirectory(), ignored);
        });
        // The program reports on standard output; the fuzzer needs none of it.
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::perror("freopen");
        return path;
    }();
    return *directory;
}

std::string writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchDirectory() + "/" + name;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size > 0) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    return path;
}

void runProgram(const std::vector<std::string>& arguments) {
    const std::string& scratch = scratchDirectory();  // also sends standard output away
    resetProgramState();
    std::vector<std::string> texts = arguments;
    texts.insert(texts.begin(), "kazettor");
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    try {
        runCommandLine(static_cast<int>(texts.size()), argv.data());
    } catch (const RunEnded&) {
        // A reported failure: the message is the program's answer to this input.
    }
    resetProgramState();  // also closes a file left open by a failed run
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(scratch, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
}
