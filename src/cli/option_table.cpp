#include "cli/option_table.h"

#include <limits>

OptionTable optionTable;

namespace {

bool isLetterSlot(char letter) { return letter >= 'a' && letter <= 'z'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

void clearOptionTable() { optionTable.values.fill(nullptr); }

void setOption(char letter, const char* value) {
    if (isLetterSlot(letter)) optionTable.values[static_cast<unsigned>(letter - 'a')] = value;
}

const char* lookupOption(char letter) {
    if (!isLetterSlot(letter)) return nullptr;
    return optionTable.values[static_cast<unsigned>(letter - 'a')];
}

std::int64_t optionNumber(const char* text) {
    while (isBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10;
    std::int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value >= kLimit) {
            value = std::numeric_limits<std::int64_t>::max();
            continue;
        }
        value = value * 10 + (*text - '0');
    }
    return negative ? -value : value;
}
