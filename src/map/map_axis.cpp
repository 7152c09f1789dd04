#include "map/map_axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// At most this many steps along the axis: labels some 90 pixels apart.
constexpr double kMostSteps = 16;
constexpr double kRoundSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600};
// Shorter than this, nothing on a tape can be told apart.
constexpr double kShortestAxis = 0.01;

double latestEnd(const TapeMap& map) {
    double latest = 0;
    auto note = [&](double second) {
        if (std::isfinite(second)) latest = std::max(latest, second);
    };
    for (const MapProgram& program : map.programs) note(program.span.lastSecond);
    for (const MapBlock& block : map.blocks) note(block.span.lastSecond);
    for (const MapSpan& span : map.dropouts) note(span.lastSecond);
    for (const MapSpan& span : map.blockless) note(span.lastSecond);
    for (const MapHalfWave& point : map.halfWave) note(point.second);
    return latest;
}

std::string clockText(double second, bool tenths) {
    char text[48];
    if (tenths) {
        const long long total = std::llround(second * 10);
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", total / 600, total % 600 / 10, total % 10);
    } else {
        const long long total = std::llround(second);
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    return text;
}

}  // namespace

MapAxis mapAxis(const TapeMap& map) {
    double seconds = map.durationSeconds;
    if (!std::isfinite(seconds) || seconds <= 0) seconds = latestEnd(map);
    // Beyond a year no tape lasts; the bound keeps the tick arithmetic in range.
    return {std::clamp(seconds, kShortestAxis, 3.2e7)};
}

double xOf(const MapAxis& axis, double second) {
    if (std::isnan(second)) return kPlotLeft;
    return kPlotLeft + kPlotColumns * std::clamp(second / axis.seconds, 0.0, 1.0);
}

std::vector<AxisTick> axisTicks(const MapAxis& axis) {
    double step = std::ceil(axis.seconds / kMostSteps / 3600) * 3600;
    for (double round : kRoundSteps) {
        if (axis.seconds / round <= kMostSteps) {
            step = round;
            break;
        }
    }
    std::vector<AxisTick> ticks;
    // The small margin keeps a last tick that rounding puts a hair past the end.
    for (int i = 0; i * step <= axis.seconds * (1 + 1e-9); ++i)
        ticks.push_back({i * step, clockText(i * step, step < 1)});
    return ticks;
}
