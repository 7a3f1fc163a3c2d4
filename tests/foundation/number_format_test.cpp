#include "foundation/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nord5 {
namespace {

struct FormatCase {
  double value;
  const char* pattern;
  const char* expected;
};

// The display patterns of the meter's fields, plus the rounding, sign and notation corners that
// shift a shown coefficient by one unit in the last place.
TEST(FormatFloat, PatternTable) {
  const FormatCase cases[] = {
      // scientific
      {1.23456, "0.000E+0", "1.235E+0"},
      {-0.03563, "0.000E+0", "-3.563E-2"},
      {1234.0, "0.000E+0", "1.234E+3"},
      {9.9996, "0.000E+0", "1.000E+1"},  // rounding carries into the exponent
      {0.0, "0.000E+0", "0.000E+0"},
      {-0.0, "0.000E+0", "0.000E+0"},
      {1e6, "0.0E+0", "1.0E+6"},
      {1.5e-7, "0.0E+0", "1.5E-7"},
      {8598.46369, "0.00000000E+0", "8.59846369E+3"},
      {static_cast<double>(8598.46369f), "0.00000000E+0", "8.59846387E+3"},
      {0.000123, "0.00E+00", "1.23E-04"},
      {12345.0, "0.0E-0", "1.2E4"},  // "E-" shows only a minus sign
      {0.00012, "0.0E-0", "1.2E-4"},
      {1.5, "0.0##E+0", "1.5E+0"},
      // fixed, mandatory digits
      {16.0, "0", "16"},
      {15.5, "0", "16"},
      {0.5, "0", "1"},  // exact ties round away from zero
      {2.5, "0", "3"},
      {-0.5, "0", "-1"},
      {0.125, "0.00", "0.13"},
      {-0.125, "0.00", "-0.13"},
      {1.0005, "0.000", "1.000"},  // the double lies just below the tie
      {0.6, "0.000", "0.600"},
      {static_cast<double>(0.6f), "0.000", "0.600"},
      {1000.0, "0.0", "1000.0"},
      {1.16299846, "0.00000000", "1.16299846"},
      {static_cast<double>(1.16299846f), "0.00000000", "1.16299844"},
      {12.3456, "0.0000", "12.3456"},
      {12.3456, "0.00", "12.35"},
      {123.0, "00000000", "00000123"},
      // optional digits
      {0.06, "0.00#", "0.06"},
      {0.0625, "0.00#", "0.063"},
      {0.012, "0.0##", "0.012"},
      {0.1, "0.0##", "0.1"},
      {1.5, "0.0#####", "1.5"},
      {1.0, "0.0#####", "1.0"},
      {0.0000001, "0.0#####", "0.0"},
      {-0.0000001, "0.0#####", "0.0"},  // rounds to zero: no minus sign
      {-0.04, "0.0", "0.0"},
      {static_cast<double>(0.6f), "0.0#####", "0.6"},
      {0.00385, "0.0##########", "0.00385"},
      {static_cast<double>(0.00385f), "0.0##########", "0.00384999998"},
      {0.031, "#0.000", "0.031"},
      {12.5, "#0.000", "12.500"},
      {0.001, "#0.#######", "0.001"},
      {static_cast<double>(0.001f), "#0.#######", "0.001"},
      {5.0, "#0.#######", "5"},  // no separator without fraction digits
      {0.00000004, "#0.#######", "0"},
      {0.00000006, "#0.#######", "0.0000001"},
      {1.23456789, "#0.000##", "1.23457"},
      {1.5, "#0.000##", "1.500"},
      {0.0001, "#0.000##", "0.0001"},
      {1234.5678, "#0.000##", "1234.5678"},
      {0.0, "#0.000##", "0.000"},
      {2.5, "#0.00", "2.50"},
      {0.005, "#0.00", "0.01"},
      {-1234.567, "#0.00", "-1234.57"},
      {0.5, ".00", ".50"},
      {12.5, ".00", "12.50"},
      // literals, quotes, grouping, sections
      {1.5, "0.0 m3/h", "1.5 m3/h"},
      {100.0, "0.0 m3/h", "100.0 m3/h"},
      {1.5, "0.0' kW'", "1.5 kW"},
      {12.0, "'none'", "none"},
      {1234567.891, "#,##0.00", "1,234,567.89"},
      {-1.5, "0.00;(0.00)", "(1.50)"},
      {0.0, "0.0;-0.0;zero", "zero"},
      // fixed notation stops at 18 integer digits
      {1e20, "0.000", "1E20"},
  };
  for (const FormatCase& c : cases)
    EXPECT_EQ(FormatFloat(c.value, c.pattern), c.expected)
        << "value " << c.value << " pattern \"" << c.pattern << '"';
}

// Decimal fractions that print like ties but lie a little below or above one as doubles: the
// rounding follows the stored value, not its short decimal spelling.
TEST(FormatFloat, NearTiesFollowTheStoredValue) {
  const FormatCase cases[] = {
      {0.285, "0.00", "0.28"},          // 0.28499999999999998
      {2.675, "0.00", "2.67"},          // 2.67499999999999982
      {1.005, "#0.00", "1.00"},         // 1.00499999999999989
      {0.35, "0.0", "0.3"},             // 0.34999999999999998
      {0.15, "0.0", "0.1"},             // 0.14999999999999999
      {0.45, "0.0", "0.5"},             // 0.45000000000000001
      {1.0000000000000002, "0", "1"},
      {0.5000000000000001, "0", "1"},
      {0.49999999999999994, "0", "0"},
      {1.2345e-5, "0.000E+0", "1.234E-5"},  // 1.23449999999999999e-5
      {8.5e20, "0.0E+0", "8.5E+20"},
      {999999.5, "#0", "1000000"},
      {0.0000125, "#0.000000", "0.000013"},  // 1.25000000000000006e-5
  };
  for (const FormatCase& c : cases)
    EXPECT_EQ(FormatFloat(c.value, c.pattern), c.expected)
        << "value " << c.value << " pattern \"" << c.pattern << '"';
}

TEST(FormatFloat, SeparatorReplacesPoint) {
  EXPECT_EQ(FormatFloat(1.5, "0.00", ','), "1,50");
  EXPECT_EQ(FormatFloat(1500.0, "0.0E+0", ','), "1,5E+3");
  EXPECT_EQ(FloatToStr(1.5, ','), "1,5");
}

TEST(FormatFloat, NonFiniteValues) {
  // A float field of the meter image can hold any bit pattern.
  EXPECT_EQ(FormatFloat(std::numeric_limits<double>::quiet_NaN(), "0.000E+0"), "NAN");
  EXPECT_EQ(FormatFloat(std::numeric_limits<double>::infinity(), "0.000"), "INF");
  EXPECT_EQ(FormatFloat(-std::numeric_limits<double>::infinity(), "0.0#####"), "-INF");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(FloatToStr, GeneralFormat) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0"},
      {1.5, "1.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.3"},  // 15 significant digits, not the shortest round trip
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
      {static_cast<double>(0.6f), "0.600000023841858"},
      {-42.0, "-42"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1e100, "1E100"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {-1.25e-7, "-1.25E-7"},
  };
  for (const auto& [value, expected] : cases) EXPECT_EQ(FloatToStr(value), expected) << value;
}

TEST(ParseFloat, AcceptsDecimalText) {
  const std::pair<const char*, double> cases[] = {
      {"1.5", 1.5},    {" -2.5e3 ", -2500.0}, {"+.5", 0.5}, {"5.", 5.0},
      {"1E-3", 0.001}, {"0", 0.0},            {"007", 7.0}, {"1e-400", 0.0},
  };
  for (const auto& [text, expected] : cases) {
    const auto v = ParseFloat(text);
    ASSERT_TRUE(v.has_value()) << text;
    EXPECT_DOUBLE_EQ(*v, expected) << text;
  }
  EXPECT_EQ(ParseFloat("1,25", ','), 1.25);
}

TEST(ParseFloat, RejectsWhatIsNoNumber) {
  for (const char* text : {"", " ", ".", "-", "1.5.2", "1,5", "abc", "1e", "1e+", "--1", "1 2",
                           "inf", "nan", "0x10", "1e400", "XXXXXX"})
    EXPECT_FALSE(ParseFloat(text).has_value()) << '"' << text << '"';
  EXPECT_FALSE(ParseFloat("1.5", ',').has_value());
}

TEST(ParseInt, SignedDecimalWithinRange) {
  EXPECT_EQ(ParseInt("254"), 254);
  EXPECT_EQ(ParseInt(" -1 "), -1);
  EXPECT_EQ(ParseInt("+7"), 7);
  EXPECT_EQ(ParseInt("9223372036854775807"), std::numeric_limits<long long>::max());
  EXPECT_EQ(ParseInt("-9223372036854775808"), std::numeric_limits<long long>::min());
  for (const char* text : {"", "-", "12a", "1.0", "9223372036854775808", "- 1", "+-1", "0x1F"})
    EXPECT_FALSE(ParseInt(text).has_value()) << '"' << text << '"';
}

TEST(ParseHex32, HexDigitsUpToThirtyTwoBits) {
  EXPECT_EQ(ParseHex32("6AD1"), 0x6AD1ul);
  EXPECT_EQ(ParseHex32(" ffffffff "), 0xFFFFFFFFul);
  EXPECT_EQ(ParseHex32("000000001"), 1ul);  // leading zeros do not count as bits
  for (const char* text : {"", "  ", "100000000", "12G4", "0x10", "-1", "12 34"})
    EXPECT_FALSE(ParseHex32(text).has_value()) << '"' << text << '"';
}

}  // namespace
}  // namespace nord5
