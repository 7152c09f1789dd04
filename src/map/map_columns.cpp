#include "map/map_columns.h"

#include <algorithm>
#include <cmath>

namespace {

void add(ColumnRange& column, double value) {
    if (column.count == 0) {
        column.least = column.most = value;
    } else {
        column.least = std::min(column.least, value);
        column.most = std::max(column.most, value);
    }
    column.sum += value;
    ++column.count;
}

double finiteOr(double value, double otherwise) { return std::isfinite(value) ? value : otherwise; }

}  // namespace

std::vector<ColumnRange> levelColumns(const MapLevel& level, const MapAxis& axis) {
    std::vector<ColumnRange> columns(kPlotColumns);
    if (level.values == nullptr || level.count <= 0) return columns;
    // A take's speed that is not a positive number is taken as the map's own.
    const double speed = finiteOr(level.speed, 0) > 0 ? level.speed : 1;
    const double valueSeconds = level.samplesPerValue / level.rate / speed;
    const double perValue = valueSeconds / axis.seconds * kPlotColumns;
    const double start = finiteOr(level.offsetSeconds, 0) / axis.seconds * kPlotColumns;
    if (!std::isfinite(perValue) || perValue <= 0 || !std::isfinite(start)) return columns;
    // Only the values on the axis are visited.
    const double firstOnAxis = std::max(0.0, std::floor(-start / perValue) - 1);
    const double pastAxis = std::ceil((kPlotColumns - start) / perValue) + 1;
    const auto from = static_cast<std::int64_t>(std::min(firstOnAxis, static_cast<double>(level.count)));
    const auto to = static_cast<std::int64_t>(std::clamp(pastAxis, 0.0, static_cast<double>(level.count)));
    for (std::int64_t i = from; i < to; ++i) {
        const double value = level.values[i];
        if (!std::isfinite(value)) continue;
        const double at = start + static_cast<double>(i) * perValue;
        if (at >= kPlotColumns) break;
        const double first = std::max(0.0, std::floor(at));
        const double last = std::min(kPlotColumns - 1.0, std::ceil(at + perValue) - 1);
        for (auto column = static_cast<int>(first); column <= last; ++column)
            add(columns[static_cast<std::size_t>(column)], value);
    }
    return columns;
}

std::vector<ColumnRange> halfWaveColumns(const std::vector<MapHalfWave>& points, const MapAxis& axis) {
    std::vector<ColumnRange> columns(kPlotColumns);
    for (const MapHalfWave& point : points) {
        const double at = std::floor(point.second / axis.seconds * kPlotColumns);
        if (!(at >= 0 && at < kPlotColumns) || !std::isfinite(point.microseconds) || point.microseconds <= 0)
            continue;
        add(columns[static_cast<std::size_t>(at)], point.microseconds);
    }
    return columns;
}
