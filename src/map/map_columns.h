#pragma once

#include <vector>

#include "map/map_axis.h"
#include "map/tape_map.h"

// What the picture draws of a long series (an envelope of millions of
// values, the half-wave at every bit): per column of the plot, the least,
// the most and the mean of the values that fall in it.
struct ColumnRange {
    double least = 0;
    double most = 0;
    double sum = 0;
    int count = 0;  // 0: nothing in this column
    double mean() const { return count > 0 ? sum / count : 0; }
};

// The take's envelope in kPlotColumns columns, in one pass: a value counts in
// every column that its stretch of the axis touches, so that a recording
// shorter than the plot has no holes. Values that are not numbers are left
// out; a level without a time base (rate or samples per value not above 0)
// gives empty columns.
std::vector<ColumnRange> levelColumns(const MapLevel& level, const MapAxis& axis);

// The half-wave's points in kPlotColumns columns; points off the axis or
// without a finite positive length are left out.
std::vector<ColumnRange> halfWaveColumns(const std::vector<MapHalfWave>& points, const MapAxis& axis);
