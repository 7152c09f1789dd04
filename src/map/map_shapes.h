#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "map/map_axis.h"
#include "map/map_columns.h"
#include "map/tape_map.h"

// The shapes of the tape map in plot coordinates, always finite.

struct Bar {
    double x = 0;
    double width = 0;
};

// A span's bar: at least `narrowest` wide, so that a block shorter than a
// pixel still shows, and within the plot (a span beyond the axis lies at its end).
Bar barOf(const MapAxis& axis, const MapSpan& span, double narrowest = 1);

// Spans whose bars would overlap or touch, drawn as one: a tape full of
// dropouts gives no more elements than the plot has columns, and dropouts
// a few pixels apart still show as apart.
struct JoinedBar {
    Bar bar;
    MapSpan span;   // from the first span's start to the last one's end
    int count = 0;  // how many spans it stands for
};
std::vector<JoinedBar> joinedBars(const MapAxis& axis, std::vector<MapSpan> spans);

// The upper and lower edge of a band in one column, in pixels.
using BandEdges = std::function<std::pair<double, double>(const ColumnRange&)>;

// The path data of a filled band over the columns that have values, each run
// of such columns one closed shape; a band thinner than a pixel is drawn a
// pixel high, so that a steady value still shows.
std::string bandPath(const std::vector<ColumnRange>& columns, const BandEdges& edges);

// The path data of a line through the columns' means (y from `yOf`), broken
// where more than `widestGap` columns have no value.
std::string linePath(const std::vector<ColumnRange>& columns, const std::function<double(double)>& yOf,
                     double widestGap);
