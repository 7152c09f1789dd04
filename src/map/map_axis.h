#pragma once

#include <string>
#include <vector>

#include "map/tape_map.h"

// The tape map's time axis: a fixed width, whatever the recording's length,
// so that every map reads alike; one column of the plot is one pixel.
inline constexpr double kMapWidth = 1600;
inline constexpr double kPlotLeft = 50;
inline constexpr int kPlotColumns = 1500;

struct MapAxis {
    double seconds = 1;  // the axis' length; finite and above 0
};

// The axis for the map: its duration, or where its last mark ends when the
// duration is missing, zero or not a number.
MapAxis mapAxis(const TapeMap& map);

// The x of a time, kept within the plot (a time that is not a number: its left edge).
double xOf(const MapAxis& axis, double second);

struct AxisTick {
    double second;
    std::string label;  // "12:30", or "0:02.5" where ticks are closer than a second
};

// Ticks at a round step that leaves about a hundred pixels between them.
std::vector<AxisTick> axisTicks(const MapAxis& axis);
