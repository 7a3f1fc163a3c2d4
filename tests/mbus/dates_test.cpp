#include "mbus/dates.h"

#include <gtest/gtest.h>

namespace nord5 {
namespace {

TEST(DecodeTypeGDate, ValidAndInvalidWords) {
  struct Case {
    std::uint16_t word;
    bool ok;
    DateTime date;
  };
  const Case cases[] = {
      {0x264F, true, {2018, 6, 15}},
      {0x0101, true, {2000, 1, 1}},
      {0xC13F, true, {2097, 1, 31}},  // year 12 * 8 + 1
      {0x0000, false, {2000, 1, 1}},
      {0xFFFF, false, {2000, 1, 1}},
      {0x2640, false, {2000, 1, 1}},  // day 0
      {0x204F, false, {2000, 1, 1}},  // month 0
      {0x2D4F, false, {2000, 1, 1}},  // month 13
      {0xF1FF, false, {2000, 1, 1}},  // reporting day: year bits all set (127)
      {0x221E, false, {2000, 1, 1}},  // 30 February 2016
      {0x225D, false, {2000, 1, 1}},  // 29 February 2018
      {0x229D, true, {2020, 2, 29}},
  };
  for (const auto& c : cases) {
    DateTime d{1999, 9, 9, 9, 9, 9, 0};
    EXPECT_EQ(DecodeTypeGDate(c.word, d), c.ok) << std::hex << c.word;
    EXPECT_EQ(d, c.date) << std::hex << c.word;
  }
}

TEST(DecodeDateTimeF, FieldsAndFallbacks) {
  struct Case {
    std::uint32_t word;
    std::optional<DateTime> expected;
  };
  const DateTime fallback{2000, 1, 1, 0, 0, 0, 0};
  const Case cases[] = {
      {0x264F0C1E, DateTime{2018, 6, 15, 12, 30, 0, 0}},
      {0x264F8C9E, DateTime{2018, 6, 15, 12, 30, 0, 0}},  // invalid and summer-time bits ignored
      {0x00000000, fallback},
      {0xFFFFFFFF, fallback},
      {0x264F0C3C, fallback},  // minute 60
      {0x264F181E, fallback},  // hour 24
      {0x26400C1E, fallback},  // day 0
      {0x204F0C1E, fallback},  // month 0
      {0x2D4F0C1E, fallback},  // month 13
      {0x221E0C1E, std::nullopt},  // 30 February
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeDateTimeF(c.word), c.expected) << std::hex << c.word;
}

TEST(FormatDateTime, PatternsAndMidnight) {
  const DateTime t{2018, 6, 5, 14, 3, 9, 0};
  EXPECT_EQ(FormatDateTimePattern(t, "yyyy-MM-dd"), "2018-06-05");
  EXPECT_EQ(FormatDateTimePattern(t, "d.M.yy"), "5.6.18");
  EXPECT_EQ(FormatDateTimePattern(t, "dd MMM yyyy"), "05 Jun 2018");
  EXPECT_EQ(FormatDateTimePattern(t, "h:mm:ss AP t"), "2:03:09 PM");
  EXPECT_EQ(FormatDateTimePattern(t, "HH:mm:ss"), "14:03:09");
  EXPECT_EQ(FormatDateTimePattern(t, "'week' d"), "week 5");

  EXPECT_EQ(FormatDateTimeText(t), "2018-06-05 14:03:09");
  EXPECT_EQ(FormatDateTimeText(DateTime{2018, 6, 5, 0, 0, 0, 0}), "2018-06-05");

  SetDateTimeFormats({"dd.MM.yyyy", "H:mm:ss"});
  EXPECT_EQ(FormatDateTimeText(t), "05.06.2018 14:03:09");
  EXPECT_EQ(FormatDateAndTime(DateTime{2018, 6, 5, 0, 0, 0, 0}), "05.06.2018 0:00:00");
  SetDateTimeFormats({});
}

}  // namespace
}  // namespace nord5
