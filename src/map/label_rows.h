#pragma once

#include <string>
#include <string_view>
#include <vector>

// Rows of labels along the plot. A label goes in the first row where it
// keeps a gap to the label before it, moved left where it would run past the
// plot's right edge; where no row has room it is not drawn, so that no label
// is ever drawn over another.
class LabelRows {
public:
    LabelRows(int rows, double right);
    // The row that the label [x, x + width) takes, with x moved left where it
    // must; -1 where no row has room for it.
    int place(double& x, double width);

private:
    std::vector<double> ends_;  // where each row's last label ends
    double right_;
};

// About how wide a text is drawn in a sans-serif font of that size; a little
// more than the average letter, so that estimates err on the side of room.
double textWidth(std::string_view text, double fontSize);

// The programs' labels, in `rows` rows, for names whose bars start at
// `starts` (in order): every whole name when all find room; else each
// program's name where it ends before the next program starts, and its
// number ("07" of "07_GAME.ptp") where not, so that a crowded tape keeps a
// label on every program rather than names on a few.
struct PlacedLabel {
    std::size_t program;  // which of the names
    double x;
    int row;
    std::string text;
};
std::vector<PlacedLabel> programLabels(const std::vector<std::string>& names,
                                       const std::vector<double>& starts, int rows, double right,
                                       double fontSize);
