#include "sim_run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "cli/command_line.h"
#include "common/run_end.h"
#include "support/file_bytes.h"

Run runProgram(std::vector<std::string> arguments) {
    resetProgramState();
    arguments.insert(arguments.begin(), "kazettor");
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    std::fflush(stdout);
    const std::string capture = "/dev/shm/kazettor_sim_stdout_" + std::to_string(getpid());
    const int saved = dup(1);
    const int file = open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(file, 1);
    close(file);
    Run run;
    try {
        run.status = runCommandLine(static_cast<int>(argv.size()), argv.data());
    } catch (const RunEnded& ended) {
        run.status = ended.status;
    }
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    const Bytes text = readFile(capture);
    std::filesystem::remove(capture);
    run.output.assign(text.begin(), text.end());
    return run;
}
