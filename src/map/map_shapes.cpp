#include "map/map_shapes.h"

#include <algorithm>
#include <cmath>

#include "map/svg_text.h"

namespace {

constexpr double kPlotRight = kPlotLeft + kPlotColumns;

// The moves along one edge of a run of columns: a step up or down only
// where the drawn value changes, so that a level stretch costs a few bytes.
void edge(std::string& d, const std::vector<std::string>& heights, bool leftward) {
    int pending = 0;
    const auto count = static_cast<int>(heights.size());
    for (int k = 0; k < count; ++k) {
        const int at = leftward ? count - 1 - k : k;
        const int before = leftward ? at + 1 : at - 1;
        if (k > 0 && heights[static_cast<std::size_t>(at)] != heights[static_cast<std::size_t>(before)]) {
            append(d, leftward ? "h-" : "h", std::to_string(pending), "V",
                   heights[static_cast<std::size_t>(at)]);
            pending = 0;
        }
        ++pending;
    }
    append(d, leftward ? "h-" : "h", std::to_string(pending));
}

}  // namespace

Bar barOf(const MapAxis& axis, const MapSpan& span, double narrowest) {
    double left = xOf(axis, span.firstSecond), right = xOf(axis, span.lastSecond);
    if (right < left) std::swap(left, right);
    const double width = std::max(right - left, narrowest);
    return {std::min(left, kPlotRight - width), width};
}

std::vector<JoinedBar> joinedBars(const MapAxis& axis, std::vector<MapSpan> spans) {
    std::sort(spans.begin(), spans.end(), [&](const MapSpan& a, const MapSpan& b) {
        return xOf(axis, a.firstSecond) < xOf(axis, b.firstSecond);
    });
    std::vector<JoinedBar> joined;
    for (const MapSpan& span : spans) {
        const Bar bar = barOf(axis, span, 1.5);
        if (!joined.empty() && bar.x <= joined.back().bar.x + joined.back().bar.width) {
            JoinedBar& last = joined.back();
            last.bar.width = std::max(last.bar.width, bar.x + bar.width - last.bar.x);
            last.span.lastSecond = std::max(last.span.lastSecond, span.lastSecond);
            ++last.count;
            continue;
        }
        joined.push_back({bar, span, 1});
    }
    return joined;
}

std::string bandPath(const std::vector<ColumnRange>& columns, const BandEdges& edges) {
    std::string d;
    const auto count = static_cast<int>(columns.size());
    for (int start = 0, end = 0; start < count; start = end) {
        if (columns[static_cast<std::size_t>(start)].count == 0) {
            end = start + 1;
            continue;
        }
        std::vector<std::string> tops, bottoms;
        for (end = start; end < count && columns[static_cast<std::size_t>(end)].count > 0; ++end) {
            auto [top, bottom] = edges(columns[static_cast<std::size_t>(end)]);
            if (bottom - top < 1) {
                const double middle = (top + bottom) / 2;
                top = middle - 0.5, bottom = middle + 0.5;
            }
            tops.push_back(svgNumber(top));
            bottoms.push_back(svgNumber(bottom));
        }
        append(d, "M", svgNumber(kPlotLeft + start), " ", tops.front());
        edge(d, tops, false);
        append(d, "V", bottoms.back());
        edge(d, bottoms, true);
        d += "Z";
    }
    return d;
}

std::string linePath(const std::vector<ColumnRange>& columns, const std::function<double(double)>& yOf,
                     double widestGap) {
    std::string d;
    double last = -1e9;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].count == 0) continue;
        const auto column = static_cast<double>(i);
        append(d, column - last > widestGap + 1 ? "M" : "L", svgNumber(kPlotLeft + column + 0.5), " ",
               svgNumber(yOf(columns[i].mean())));
        last = column;
    }
    return d;
}
