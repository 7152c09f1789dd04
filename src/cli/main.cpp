#include <cstdio>

#include "cli/command_line.h"

#if defined(_WIN32)
#include <windows.h>
#endif

int main(int argc, char** argv) {
#if defined(_WIN32)
    // The program's texts are UTF-8; make the console show them as such.
    SetConsoleOutputCP(65001);
    SetConsoleCP(65001);
#endif
    int status = runCommandLine(argc, argv);
    std::fflush(stdout);
    return status;
}
