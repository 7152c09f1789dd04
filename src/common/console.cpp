#include "common/console.h"

#include <cstdarg>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>

#include <string>
#endif

#include "common/run_end.h"

namespace {

#if defined(_WIN32)
// A Windows console gets the text as UTF-16: the C library would pass the
// UTF-8 bytes through its own locale's code page, whatever code page the
// console has, and every accented letter would come out as two wrong ones.
// False, with nothing written, when standard output is not a console: text
// redirected to a file or a pipe stays the program's own UTF-8 bytes.
bool writeToConsole(const char* format, va_list args) {
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
    va_list measuring;
    va_copy(measuring, args);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) return true;
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), units);
    DWORD written;
    WriteConsoleW(console, wide.data(), static_cast<DWORD>(units), &written, nullptr);
    return true;
}
#endif

void printToConsole(const char* format, va_list args) {
#if defined(_WIN32)
    if (writeToConsole(format, args)) return;
#endif
    std::vprintf(format, args);
}

}  // namespace

void consolePrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printToConsole(format, args);
    va_end(args);
}

void consoleFlush() { std::fflush(stdout); }

void reportFailure(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printToConsole(format, args);
    va_end(args);
    endRun(1);
}
