#pragma once

#include <string>
#include <string_view>

// Text and numbers as the tape map's SVG writes them.

// The text for an XML text node or a quoted attribute value: &, <, >, " and '
// as entities, and what an XML document cannot hold (control characters,
// bytes that are not UTF-8) as U+FFFD, since a name read from tape may hold
// any byte. Well-formed UTF-8, the Hungarian letters among it, stays as it is.
std::string xmlText(std::string_view text);

// How many characters (code points) the UTF-8 text holds: the measure for
// how wide a label is drawn.
int characterCount(std::string_view text);

// Appends the pieces (strings, views, literals) to `out`, and the pieces
// joined. The picture is built this way rather than by chains of `+`, which
// also spares GCC 12 its false -Wrestrict reports on them.
template <typename... Pieces>
void append(std::string& out, const Pieces&... pieces) {
    (out.append(std::string_view(pieces)), ...);
}
template <typename... Pieces>
std::string joined(const Pieces&... pieces) {
    std::string out;
    append(out, pieces...);
    return out;
}

// A coordinate with at most one decimal ("12", "12.5", "-3.2"); 0 for a
// value that is not finite, so that no NaN or infinity reaches the picture.
std::string svgNumber(double value);
