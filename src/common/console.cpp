#include "common/console.h"

#include <cstdarg>
#include <cstdio>

#include "common/run_end.h"

void consolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void consoleFlush() { std::fflush(stdout); }

void reportFailure(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    endRun(1);
}
