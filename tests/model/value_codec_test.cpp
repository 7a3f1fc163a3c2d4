#include "model/value_codec.h"

#include <gtest/gtest.h>

namespace nord5 {
namespace {

TEST(FormatIdentity, EightUpperCaseHexDigits) {
  EXPECT_EQ(FormatIdentity(0xABCD), "0000ABCD");
  EXPECT_EQ(FormatIdentity(0xFFFFFFFF), "FFFFFFFF");
  EXPECT_EQ(FormatIdentity(0), "00000000");
}

struct WindowCase {
  std::uint16_t start, end;
  const char* text;
};

TEST(TimeWindow, Formats) {
  const WindowCase cases[] = {
      {390, 1320, "06:30-22:00"},
      {1500, 30, "25:00-00:30"},   // shown as it is because the end is below 24 h
      {1500, 1500, "00:00-00:00"}, // both 24 h or more
      {0, 1439, "00:00-23:59"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatTimeWindow(c.start | (std::uint32_t{c.end} << 16)), c.text) << c.text;
}

TEST(TimeWindow, ParsesByPosition) {
  const struct {
    const char* text;
    std::uint32_t value;
  } cases[] = {
      {"06:30-22:00", 390u | (1320u << 16)},
      {"25:00-00:30", 1500u | (30u << 16)},
      {"  :  -  :  ", 0},
      {"06:30-2 :00", 390u | (120u << 16)},  // trailing blank of a pair is trimmed
      {"06:30-22:", 0},                      // too short
      {"ab:30-22:00", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTimeWindow(c.text), c.value) << c.text;
}

TEST(LeadingNumber, DigitsAndOneSeparator) {
  EXPECT_EQ(LeadingNumber("12.5 m3"), "12.5");
  EXPECT_EQ(LeadingNumber("1.2.3"), "1.2");
  EXPECT_EQ(LeadingNumber("m3 12"), "");
  EXPECT_EQ(LeadingNumber("7"), "7");
}

using Filter2 = char (*)(char, std::string_view);

TEST(KeyFilters, DecimalFields) {
  const struct {
    Filter2 filter;
    char key;
    const char* text;
    char result;
  } cases[] = {
      {FloatKeyFilter, ',', "1", '.'},
      {FloatKeyFilter, '.', "1.5", kKeyRejected},
      {FloatKeyFilter, ',', "1.5", kKeyRejected},
      {FloatKeyFilter, 'e', "1", 'e'},
      {FloatKeyFilter, '-', "", '-'},
      {FloatKeyFilter, 'x', "", kKeyRejected},
      {FloatKeyFilter, kKeyCtrlV, "1.5", kKeyCtrlV},
      {FloatKeyFilter, kKeyBackspace, "1", kKeyBackspace},
      {GridKeyFilter, kKeyCtrlV, "", kKeyRejected},
      {GridKeyFilter, 'E', "1", 'E'},
      {GridKeyFilter, ',', "2.", kKeyRejected},
      {AdvancedGridKeyFilter, '-', "", kKeyRejected},
      {AdvancedGridKeyFilter, 'E', "1", kKeyRejected},
      {AdvancedGridKeyFilter, ',', "1", '.'},
      {AdvancedGridKeyFilter, '9', "1.", '9'},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.filter(c.key, c.text), c.result) << "key " << int(c.key) << " text " << c.text;
}

TEST(KeyFilters, TypingOneCommaFiveGivesOnePointFive) {
  std::string text;
  for (char k : std::string("1,5.")) {
    const char r = FloatKeyFilter(k, text);
    if (r != kKeyRejected) text += r;
  }
  EXPECT_EQ(text, "1.5");
}

TEST(KeyFilters, NumberAndManufacturerBoxes) {
  EXPECT_EQ(IntegerKeyFilter('7'), '7');
  EXPECT_EQ(IntegerKeyFilter('a'), kKeyRejected);
  EXPECT_EQ(IntegerKeyFilter('-'), kKeyRejected);
  EXPECT_EQ(IntegerKeyFilter(kKeyCtrlC), kKeyCtrlC);
  EXPECT_EQ(ManufacturerKeyFilter('z'), 'Z');
  EXPECT_EQ(ManufacturerKeyFilter('Q'), 'Q');
  EXPECT_EQ(ManufacturerKeyFilter('1'), kKeyRejected);
  EXPECT_EQ(ManufacturerKeyFilter(kKeyBackspace), kKeyBackspace);
}

TEST(LimitPrimaryAddress, CapsAt250) {
  EXPECT_EQ(LimitPrimaryAddress("251"), "250");
  EXPECT_EQ(LimitPrimaryAddress("250"), "250");
  EXPECT_EQ(LimitPrimaryAddress("12a"), "12a");
}

}  // namespace
}  // namespace nord5
