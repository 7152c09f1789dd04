#include "map/label_rows.h"

#include <algorithm>
#include <limits>

#include "map/svg_text.h"

namespace {

constexpr double kGap = 6;
constexpr double kWidthPerSize = 0.62;

}  // namespace

LabelRows::LabelRows(int rows, double right)
    : ends_(static_cast<std::size_t>(rows), -std::numeric_limits<double>::infinity()), right_(right) {}

int LabelRows::place(double& x, double width) {
    const double at = std::min(x, right_ - width);
    for (std::size_t row = 0; row < ends_.size(); ++row) {
        if (at < ends_[row] + kGap) continue;
        ends_[row] = at + width;
        x = at;
        return static_cast<int>(row);
    }
    return -1;
}

double textWidth(std::string_view text, double fontSize) {
    return characterCount(text) * fontSize * kWidthPerSize;
}

std::vector<PlacedLabel> programLabels(const std::vector<std::string>& names,
                                       const std::vector<double>& starts, int rows, double right,
                                       double fontSize) {
    std::vector<PlacedLabel> placed;
    LabelRows whole(rows, right);
    for (std::size_t i = 0; i < names.size(); ++i) {
        double x = starts[i];
        const int row = whole.place(x, textWidth(names[i], fontSize));
        if (row < 0) break;
        placed.push_back({i, x, row, names[i]});
    }
    if (placed.size() == names.size()) return placed;
    placed.clear();
    LabelRows crowded(rows, right);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const double room = (i + 1 < starts.size() ? starts[i + 1] : right) - starts[i] - kGap;
        std::string text = names[i];
        if (textWidth(text, fontSize) > room) text = text.substr(0, text.find('_'));
        double x = starts[i];
        const int row = crowded.place(x, textWidth(text, fontSize));
        if (row >= 0) placed.push_back({i, x, row, text});
    }
    return placed;
}
