#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "number_format.h"

namespace telvane {
namespace {

std::string OneDecimal(double value) {
    std::string out;
    AppendOneDecimal(out, value);
    return out;
}

TEST(OneDecimal, RoundsTheExactBinaryValueWithTiesAwayFromZero) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {10.25, "10.3"},    // an exact tie
        {-10.25, "-10.3"},  // ties go away from zero on both sides
        {0.25, "0.3"},
        {1.25, "1.3"},
        {0.375, "0.4"},
        {0.125, "0.1"},
        {0.05, "0.1"},  // 0.05 is stored slightly above 0.05
        {0.15, "0.1"},  // 0.15 is stored slightly below 0.15
        {0.35, "0.3"},
        {0.45, "0.5"},
        {0.95, "0.9"},
        {9.95, "9.9"},
        {0.0625, "0.1"},
        {0.03125, "0.0"},
        {0.04999999999999999, "0.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {-0.04, "-0.0"},
        {1e-320, "0.0"},
        {4.1, "4.1"},
        {-77.14, "-77.1"},
        {19.09, "19.1"},
        {4503599627370495.5, "4503599627370495.5"},
        {4503599627370496.0, "4503599627370496.0"},
        {1e22, "10000000000000000000000.0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OneDecimal(c.value), c.expected) << "value " << c.value;
    }
}

TEST(OneDecimal, WritesNonFiniteValuesPlainly) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(OneDecimal(kInf), "inf");
    EXPECT_EQ(OneDecimal(-kInf), "-inf");
    EXPECT_EQ(OneDecimal(kNan), "nan");
    EXPECT_EQ(OneDecimal(-kNan), "nan");
}

TEST(OneDecimal, LargestFiniteValueIsWrittenInFull) {
    const std::string text = OneDecimal(std::numeric_limits<double>::max());
    EXPECT_EQ(text.size(), 309u + 2u);
    EXPECT_TRUE(text.starts_with("17976931348623157"));
    EXPECT_TRUE(text.ends_with(".0"));
}

}  // namespace
}  // namespace telvane
