#pragma once

#include <array>
#include <cstdint>

// One slot per lower-case letter a..z. A slot refers to the value text of the
// last option given with that letter; the text stays in the program arguments,
// which live for the whole run.
struct OptionTable {
    std::array<const char*, 26> values{};  // value text per letter, or null when the letter was not given
};

extern OptionTable optionTable;

void clearOptionTable();
void setOption(char letter, const char* value);
// The value text of the option with this letter, or null when it was not given.
const char* lookupOption(char letter);

// Reads an option value as a decimal integer the way atoi does: leading white
// space, an optional sign, digits up to the first other character; no digits
// give 0. Values beyond the 64-bit range saturate instead of overflowing.
std::int64_t optionNumber(const char* text);
