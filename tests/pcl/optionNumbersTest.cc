#include <gtest/gtest.h>

#include <cfloat>

#include "encoder/optionNumbers.h"

namespace corvane {
namespace {

TEST(ReadLeadingInteger, SkipsSpaceTakesSignStopsAtFirstOtherCharacter) {
    EXPECT_EQ(readLeadingInteger("3"), 3);
    EXPECT_EQ(readLeadingInteger(" \t3"), 3);
    EXPECT_EQ(readLeadingInteger("3 apples"), 3);
    EXPECT_EQ(readLeadingInteger("+7x"), 7);
    EXPECT_EQ(readLeadingInteger("-2"), -2);
    EXPECT_EQ(readLeadingInteger("abc"), 0);
    EXPECT_EQ(readLeadingInteger(""), 0);
    EXPECT_EQ(readLeadingInteger("- 3"), 0);
    EXPECT_EQ(readLeadingInteger("0x1F"), 0);
}

TEST(ReadLeadingInteger, SaturatesAtThe32BitLimits) {
    EXPECT_EQ(readLeadingInteger("2147483647"), 2147483647);
    EXPECT_EQ(readLeadingInteger("2147483648"), 2147483647);
    EXPECT_EQ(readLeadingInteger("99999999999999999999999"), 2147483647);
    EXPECT_EQ(readLeadingInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(readLeadingInteger("-99999999999"), INT32_MIN);
}

TEST(ReadLeadingDecimal, PlainDecimalsOnly) {
    EXPECT_FLOAT_EQ(readLeadingDecimal("612"), 612.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal(" 8.5in"), 8.5f);
    EXPECT_FLOAT_EQ(readLeadingDecimal(".5"), 0.5f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("5."), 5.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("-1.5e2x"), -150.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("2e"), 2.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("2e+"), 2.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("."), 0.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("inf"), 0.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("nan"), 0.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("0x10"), 0.0f);
    EXPECT_FLOAT_EQ(readLeadingDecimal("1e99"), FLT_MAX);
    EXPECT_FLOAT_EQ(readLeadingDecimal("-1e99"), -FLT_MAX);
}

}  // namespace
}  // namespace corvane
