#include "map/tape_map_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/console.h"
#include "common/messages.h"
#include "common/output_file.h"
#include "map/label_rows.h"
#include "map/map_axis.h"
#include "map/map_columns.h"
#include "map/map_shapes.h"
#include "map/map_style.h"
#include "map/svg_text.h"

namespace {

constexpr double kPlotRight = kPlotLeft + kPlotColumns;
// The heights of the picture's parts, in pixels.
constexpr double kLegendTop = 62;
constexpr double kFirstLane = 90;
constexpr double kLaneName = 16;
constexpr double kLaneGap = 12;
constexpr double kLabelRow = 14;
constexpr int kLabelRows = 2;
constexpr double kProgramBar = 10;
constexpr double kMarkerRow = 8;
constexpr double kBlockBar = 24;
constexpr double kTroubleBar = 14;
constexpr double kLevelHeight = 44;
constexpr double kGivenStrip = 6;
constexpr double kHalfWaveHeight = 70;
constexpr double kAxisRoom = 34;
constexpr double kLabelFont = 11;
// A standard tape's short half-wave at the right speed, and the part of it
// that the half-wave lane shows at least on either side.
constexpr double kNominalMicroseconds = 312;
constexpr double kLeastHalfWaveSpread = 0.04;
// A gap between two blocks of a program is shorter; the half-wave line
// breaks only where there was no tape signal.
constexpr double kHalfWaveBreakSeconds = 2;

// Seconds with three decimals, as the damage report gives them.
std::string secondsText(double second) {
    if (!std::isfinite(second)) return "?";
    char digits[48];
    const double kept = std::clamp(second, -1e12, 1e12);
    return {digits, std::to_chars(digits, digits + sizeof digits, kept, std::chars_format::fixed, 3).ptr};
}

std::string spanText(const MapSpan& span) {
    return joined(secondsText(span.firstSecond), "-", secondsText(span.lastSecond), " mp");
}

std::string rect(std::string_view what, const Bar& bar, double top, double height) {
    return joined("<rect class=\"", what, "\" x=\"", svgNumber(bar.x), "\" y=\"", svgNumber(top),
                  "\" width=\"", svgNumber(bar.width), "\" height=\"", svgNumber(height), "\"");
}

// A rect whose tooltip is the title.
std::string titledRect(std::string_view what, const Bar& bar, double top, double height,
                       std::string_view title) {
    return joined(rect(what, bar, top, height), "><title>", xmlText(title), "</title></rect>");
}

std::string text(std::string_view what, double x, double y, std::string_view content) {
    return joined("<text class=\"", what, "\" x=\"", svgNumber(x), "\" y=\"", svgNumber(y), "\">",
                  xmlText(content), "</text>");
}

std::string path(std::string_view what, std::string_view d) {
    return d.empty() ? "" : joined("<path class=\"", what, "\" d=\"", d, "\"/>");
}

class Drawing {
public:
    explicit Drawing(const TapeMap& map) : map_(map), axis_(mapAxis(map)), ticks_(axisTicks(axis_)) {}
    std::string document();

private:
    double lane(const std::string& name, double height, const char* group = "lane-group");
    void programs();
    void blocks();
    void trouble();
    void takes();
    void halfWave();
    void timeAxis();

    const TapeMap& map_;
    MapAxis axis_;
    std::vector<AxisTick> ticks_;
    std::string out_;
    double y_ = kFirstLane;
};

// Opens a lane's group: its name above it, its background and the time grid
// across it; returns the top of what it shows. The caller closes the group.
double Drawing::lane(const std::string& name, double height, const char* group) {
    append(out_, "<g class=\"", group, "\">", text("name", kPlotLeft, y_ + 12, name));
    const double top = y_ + kLaneName;
    append(out_, rect("lane", {kPlotLeft, kPlotColumns}, top, height), "/>");
    std::string grid;
    for (const AxisTick& tick : ticks_)
        append(grid, "M", svgNumber(xOf(axis_, tick.second)), " ", svgNumber(top), "v", svgNumber(height));
    out_ += path("grid", grid);
    y_ = top + height + kLaneGap;
    return top;
}

void Drawing::programs() {
    const double top = lane("programok", kLabelRows * kLabelRow + kProgramBar);
    std::vector<std::string> names;
    std::vector<double> starts;
    for (const MapProgram& program : map_.programs) {
        const Bar bar = barOf(axis_, program.span);
        out_ += titledRect("program", bar, top + kLabelRows * kLabelRow, kProgramBar,
                           joined(program.fileName, ": ", spanText(program.span)));
        names.push_back(program.fileName);
        starts.push_back(bar.x);
    }
    for (const PlacedLabel& label : programLabels(names, starts, kLabelRows, kPlotRight, kLabelFont))
        out_ += text("program-label", label.x, top + (label.row + 1) * kLabelRow - 3, label.text);
    out_ += "</g>";
}

void Drawing::blocks() {
    const double top = lane("blokkok", kMarkerRow + kBlockBar);
    std::string markers;
    // The failed blocks last, so that none of them hides under a good one.
    for (const char mark : {'O', 'J', 'X'}) {
        for (const MapBlock& block : map_.blocks) {
            if ((block.mark == 'O' || block.mark == 'J' ? block.mark : 'X') != mark) continue;
            const Bar bar = barOf(axis_, block.span);
            std::string title = block.reportLine;
            if (!block.takes.empty()) append(title, "\nfelvétel: ", block.takes);
            std::string what = "block ";
            what += mark;
            out_ += titledRect(what, bar, top + kMarkerRow, kBlockBar, title);
            if (mark == 'X')
                append(markers, "M", svgNumber(bar.x + bar.width / 2 - 4), " ", svgNumber(top), "h8l-4 7z");
        }
    }
    append(out_, path("x-marker", markers), "</g>");
}

void Drawing::trouble() {
    const double top = lane("jelkiesés, szalagjel blokk nélkül", kTroubleBar);
    for (const JoinedBar& stretch : joinedBars(axis_, map_.blockless)) {
        const std::string what =
            stretch.count == 1 ? "szalagjel, de blokkot nem találtam benne"
                               : joined(std::to_string(stretch.count), " szakasz szalagjel, blokk nélkül");
        out_ += titledRect("blockless", stretch.bar, top, kTroubleBar,
                           joined(what, ": ", spanText(stretch.span)));
    }
    for (const JoinedBar& dropout : joinedBars(axis_, map_.dropouts)) {
        const std::string what =
            dropout.count == 1 ? "jelkiesés" : joined(std::to_string(dropout.count), " jelkiesés");
        out_ +=
            titledRect("dropout", dropout.bar, top, kTroubleBar, joined(what, ": ", spanText(dropout.span)));
    }
    out_ += "</g>";
}

void Drawing::takes() {
    std::vector<std::vector<ColumnRange>> levels;
    double peak = 0;
    for (const MapTake& take : map_.takes) {
        levels.push_back(levelColumns(take.level, axis_));
        for (const ColumnRange& column : levels.back()) peak = std::max(peak, column.most);
    }
    // One scale for every take, so that their levels compare.
    if (!(peak > 0) || !std::isfinite(peak)) peak = 1;
    const bool several = map_.takes.size() > 1;
    for (std::size_t i = 0; i < map_.takes.size(); ++i) {
        const MapTake& take = map_.takes[i];
        std::string name = "szint";
        if (several) name = joined(take.name, ": ", take.fileName, " — szint");
        if (!take.matched)
            name = joined(take.name, ": ", take.fileName, " — nem illeszkedik, nem adott blokkot");
        const double top = lane(name, kLevelHeight + (several ? kGivenStrip + 2 : 0),
                                take.matched ? "take" : "take unmatched");
        // The envelope mirrored about the lane's middle, as a sound editor shows a recording.
        const double middle = top + kLevelHeight / 2;
        auto mirrored = [&](double value) {
            const double half = std::clamp(value / peak, 0.0, 1.0) * (kLevelHeight / 2 - 1);
            return std::pair{middle - half, middle + half};
        };
        out_ +=
            path("level-peak", bandPath(levels[i], [&](const ColumnRange& c) { return mirrored(c.most); }));
        out_ +=
            path("level-floor", bandPath(levels[i], [&](const ColumnRange& c) { return mirrored(c.least); }));
        // Beneath it, the blocks that this take gave; with one take, all of them.
        std::string given;
        for (const MapSpan& span : take.blocksGiven) {
            if (!several) break;
            const Bar bar = barOf(axis_, span);
            append(given, "M", svgNumber(bar.x), " ", svgNumber(top + kLevelHeight + 2), "h",
                   svgNumber(bar.width), "v", svgNumber(kGivenStrip), "h-", svgNumber(bar.width), "z");
        }
        append(out_, path("given", given), "</g>");
    }
}

void Drawing::halfWave() {
    const double top = lane("félhullám (µs)", kHalfWaveHeight);
    const std::vector<ColumnRange> columns = halfWaveColumns(map_.halfWave, axis_);
    // The scale spans the means and a few per cent either side of the nominal length.
    double least = kNominalMicroseconds * (1 - kLeastHalfWaveSpread);
    double most = kNominalMicroseconds * (1 + kLeastHalfWaveSpread);
    for (const ColumnRange& column : columns) {
        if (column.count == 0) continue;
        least = std::min(least, column.mean());
        most = std::max(most, column.mean());
    }
    // Three times off is no tape speed; such a mean is drawn at the edge.
    least = std::max(least, kNominalMicroseconds / 3);
    most = std::min(most, kNominalMicroseconds * 3);
    auto yOf = [&](double microseconds) {
        return top + 2 +
               (most - std::clamp(microseconds, least, most)) / (most - least) * (kHalfWaveHeight - 4);
    };
    out_ += path("hw-band", bandPath(columns, [&](const ColumnRange& c) {
                     return std::pair{yOf(c.most), yOf(c.least)};
                 }));
    const double reference = yOf(kNominalMicroseconds);
    out_ += path("reference",
                 joined("M", svgNumber(kPlotLeft), " ", svgNumber(reference), "H", svgNumber(kPlotRight)));
    const double widestGap = std::max(3.0, kHalfWaveBreakSeconds / axis_.seconds * kPlotColumns);
    out_ += path("hw-line", linePath(columns, yOf, widestGap));
    // The scale in the left margin; an edge's value only where it does not crowd the reference's.
    out_ += text("scale", kPlotLeft - 4, reference + 3.5, "312");
    for (const double edge : {least, most}) {
        const double y = yOf(edge);
        if (std::abs(y - reference) >= 12)
            out_ += text("scale", kPlotLeft - 4, y + 3.5, std::to_string(std::lround(edge)));
    }
    out_ += "</g>";
}

void Drawing::timeAxis() {
    const double y = y_ - kLaneGap + 4;
    std::string marks = joined("M", svgNumber(kPlotLeft), " ", svgNumber(y), "H", svgNumber(kPlotRight));
    for (const AxisTick& tick : ticks_) {
        const double x = xOf(axis_, tick.second);
        append(marks, "M", svgNumber(x), " ", svgNumber(y), "v5");
        out_ += text("tick", x, y + 18, tick.label);
    }
    out_ += path("axis", marks);
    y_ = y + kAxisRoom;
}

std::string Drawing::document() {
    programs();
    blocks();
    trouble();
    takes();
    halfWave();
    timeAxis();
    const std::string height = svgNumber(y_);
    const std::string title = joined("Sérüléstérkép: ", map_.title);
    const std::string width = svgNumber(kMapWidth);
    return joined(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"",
        width, "\" height=\"", height, "\" viewBox=\"0 0 ", width, " ", height,
        "\" font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\">\n<title>", xmlText(title), "</title>",
        mapStyle(), "\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>",
        text("title", kPlotLeft, 28, title), text("summary", kPlotLeft, 49, map_.summary),
        mapLegend(kLegendTop, map_.takes.size() > 1), "\n", out_, "\n</svg>\n");
}

}  // namespace

std::string tapeMapSvg(const TapeMap& map) { return Drawing(map).document(); }

void writeTapeMap(const TapeMap& map, const std::string& path) {
    const std::string svg = tapeMapSvg(map);
    OutputFile file;
    if (!openOutputFile(file, path, "wb")) reportFailure(kOpenFailedMessage, path.c_str());
    writeOutput(file, svg.data(), svg.size());
    closeOutputFile(file);
}
