// The damage map (-r I's SVG picture of the tape): its text.
#include <gtest/gtest.h>

#include <cmath>

#include "map/svg_text.h"

namespace {

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
