#pragma once

// All user-facing text goes to standard output, through these routines.

#if defined(__GNUC__)
#define KAZETTOR_PRINTF_FORMAT(pos, first) __attribute__((format(printf, pos, first)))
#else
#define KAZETTOR_PRINTF_FORMAT(pos, first)
#endif

void consolePrint(const char* format, ...) KAZETTOR_PRINTF_FORMAT(1, 2);
void consoleFlush();

// The one channel for failures: prints the message and ends the run with status 1.
[[noreturn]] void reportFailure(const char* format, ...) KAZETTOR_PRINTF_FORMAT(1, 2);
