#include "map/map_style.h"

#include "map/label_rows.h"
#include "map/map_axis.h"
#include "map/svg_text.h"

namespace {

constexpr const char* kCleanFill = "#2e9e4f";
constexpr const char* kRepairedFill = "#f0a202";
constexpr const char* kFailedFill = "#d7263d";
constexpr const char* kDropoutFill = "#4a2377";
constexpr const char* kBlocklessFill = "#1c7ed6";
constexpr const char* kProgramFill = "#c9d6e8";
constexpr const char* kPeakFill = "#bcd3ef";
constexpr const char* kFloorFill = "#4f86c6";
constexpr const char* kHalfWaveStroke = "#6a4c93";
constexpr const char* kGivenFill = "#51657d";
constexpr double kLegendFont = 12;

std::string fill(const char* selector, const char* colour) { return joined(selector, "{fill:", colour, "}"); }

}  // namespace

std::string mapStyle() {
    return joined(
        "<style>text{fill:#1d2430}.name{font-size:12px;fill:#5a6270}.lane{fill:#f4f5f7}",
        fill(".block.O", kCleanFill), fill(".block.J", kRepairedFill), fill(".block.X", kFailedFill),
        fill(".x-marker", kFailedFill), fill(".dropout", kDropoutFill), fill(".blockless", "url(#hatch)"),
        fill(".level-peak", kPeakFill), fill(".level-floor", kFloorFill), fill(".given", kGivenFill),
        ".program{fill:", kProgramFill, ";stroke:#51657d;stroke-width:.6}.program-label{font-size:11px}",
        ".unmatched .lane{fill:url(#grey-hatch)}.unmatched .level-peak{fill:#c4c4c4}",
        ".unmatched .level-floor{fill:#8a8a8a}.hw-band{fill:#ddd5ec}.hw-line{fill:none;stroke:",
        kHalfWaveStroke, ";stroke-width:1.2;stroke-linejoin:round}",
        ".reference{stroke:#7a7a7a;stroke-dasharray:5 3}.grid{stroke:#dfe2e6}.axis{stroke:#5a6270}",
        ".scale{font-size:10px;fill:#5a6270;text-anchor:end}.tick{font-size:11px;text-anchor:middle}",
        ".title{font-size:18px;font-weight:bold}.summary{font-size:13px}.legend{font-size:12px}</style>",
        "<defs><pattern id=\"hatch\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" ",
        "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#d6e7f8\"/>",
        "<rect width=\"2.5\" height=\"6\" fill=\"", kBlocklessFill,
        "\"/></pattern><pattern id=\"grey-hatch\" width=\"8\" height=\"8\" patternUnits=\"userSpaceOnUse\" ",
        "patternTransform=\"rotate(45)\"><rect width=\"8\" height=\"8\" fill=\"#f1f1f1\"/>",
        "<rect width=\"2\" height=\"8\" fill=\"#dcdcdc\"/></pattern></defs>");
}

std::string mapLegend(double y, bool takes) {
    struct Entry {
        const char* fill;
        const char* name;
    };
    constexpr Entry kEntries[] = {{kCleanFill, "hibátlan (O)"},
                                  {kRepairedFill, "javított (J)"},
                                  {kFailedFill, "hibás (X)"},
                                  {kDropoutFill, "jelkiesés"},
                                  {"url(#hatch)", "szalagjel, blokk nélkül"},
                                  {kProgramFill, "program"},
                                  {kFloorFill, "szint"},
                                  {kGivenFill, "a felvétel adta blokkok"},
                                  {kHalfWaveStroke, "félhullám (µs)"}};
    std::string out;
    double x = kPlotLeft;
    const std::string top = svgNumber(y), baseline = svgNumber(y + 9);
    for (const Entry& entry : kEntries) {
        if (!takes && entry.fill == kGivenFill) continue;
        append(out, "<rect x=\"", svgNumber(x), "\" y=\"", top, "\" width=\"14\" height=\"10\" fill=\"",
               entry.fill, "\"/><text class=\"legend\" x=\"", svgNumber(x + 19), "\" y=\"", baseline, "\">",
               xmlText(entry.name), "</text>");
        x += 19 + textWidth(entry.name, kLegendFont) + 14;
    }
    append(out, "<path class=\"reference\" d=\"M", svgNumber(x), " ", svgNumber(y + 5),
           "h22\"/><text class=\"legend\" x=\"", svgNumber(x + 27), "\" y=\"", baseline,
           "\">névleges félhullám (312 µs)</text>");
    return out;
}
