// The damage map (-r I's SVG picture of the tape): its text and the
// envelope reduced to the picture's columns.
#include <gtest/gtest.h>

#include <cmath>

#include "map/map_columns.h"
#include "map/svg_text.h"

namespace {

TEST(TapeMap, EnvelopeReducesToTheColumnsItsValuesTouch) {
    // An axis of 1.5 s: a column is a millisecond.
    const MapAxis axis{1.5};
    std::vector<float> values(4000);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(i);
    // Two values a millisecond: column c holds 2c and 2c + 1.
    const std::vector<ColumnRange> even = levelColumns({values.data(), 3000, 0.5, 1000}, axis);
    EXPECT_EQ(even[7].least, 14);
    EXPECT_EQ(even[7].most, 15);
    EXPECT_EQ(even[1499].count, 2);
    // Half a second later and twice as fast: four values a column from column 500.
    const std::vector<ColumnRange> later = levelColumns({values.data(), 3000, 0.5, 1000, 0.5, 2}, axis);
    EXPECT_EQ(later[499].count, 0);
    EXPECT_EQ(later[500].least, 0);
    EXPECT_EQ(later[500].most, 3);
    EXPECT_EQ(later[1249].most, 2999);
    EXPECT_EQ(later[1250].count, 0);
    // A value every 3 ms fills three columns.
    const std::vector<ColumnRange> wide = levelColumns({values.data(), 10, 3, 1000}, axis);
    EXPECT_EQ(wide[2].most, 0);
    EXPECT_EQ(wide[3].least, 1);
    EXPECT_EQ(wide[29].most, 9);
    EXPECT_EQ(wide[30].count, 0);
}

TEST(TapeMap, TextIsEscapedAndRepairedAndNumbersAreShort) {
    EXPECT_EQ(xmlText("A&B<C>\"'é\x01\xFF\xED\xA0\x80\xC0\xAF\tőrző"),
              "A&amp;B&lt;C&gt;&quot;&apos;é\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\tőrző");
    EXPECT_EQ(characterCount("félhullám (µs)"), 14);
    EXPECT_EQ(svgNumber(3.0), "3");
    EXPECT_EQ(svgNumber(1549.96), "1550");
    EXPECT_EQ(svgNumber(-12.34), "-12.3");
    EXPECT_EQ(svgNumber(-0.04), "0");
    EXPECT_EQ(svgNumber(NAN), "0");
}

}  // namespace
