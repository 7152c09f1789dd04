#include "map/svg_text.h"

#include <charconv>
#include <cmath>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `text` that
// XML allows, or 0 where there is none.
std::size_t allowedSequence(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return lead >= 0x20 || lead == '\t' || lead == '\n' || lead == '\r' ? 1 : 0;
    std::size_t length = 0;
    char32_t point = 0, least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, point = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, point = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, point = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        point = point << 6 | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates, beyond Unicode, and the two
    // non-characters that XML excludes.
    if (point < least || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF || point == 0xFFFE ||
        point == 0xFFFF)
        return 0;
    return length;
}

}  // namespace

std::string xmlText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = allowedSequence(text);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
            continue;
        }
        switch (text[0]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += text.substr(0, length);
        }
        text.remove_prefix(length);
    }
    return out;
}

int characterCount(std::string_view text) {
    int count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string svgNumber(double value) {
    if (!std::isfinite(value)) return "0";
    // Far beyond any picture; keeps the digits within the buffer.
    value = std::fmax(-1e9, std::fmin(1e9, value));
    char digits[32];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 1).ptr;
    std::string_view text(digits, static_cast<std::size_t>(end - digits));
    if (text.ends_with(".0")) text.remove_suffix(2);
    return text == "-0" ? "0" : std::string(text);
}
