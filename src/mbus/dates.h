// M-Bus dates (type G, type F) and how dates and times are shown to the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/clock.h"

namespace nord5 {

// Type G date, 16 bits: day in bits 0-4, month in bits 8-11, year (bits 12-15) * 8 + (bits 5-7)
// counted from 2000. Example: 4F 26 (0x264F) is 15 June 2018. Gives false and 2000-01-01 for 0,
// FFFF, day 0, month 0 or above 12, a year of 100 or more (the reporting days of the
// configuration, whose year bits are all set, are such dates) and for a day the month does not
// have.
bool DecodeTypeGDate(std::uint16_t value, DateTime& date);

// Type F date and time, 32 bits: minute bits 0-5, hour bits 8-12, day bits 16-20, month bits
// 24-27, year (bits 28-31) * 8 + (bits 21-23). Example: 1E 0C 4F 26 is 15 June 2018 12:30.
// Out-of-range fields (and 0 or FFFFFFFF) give 1 January 2000 00:00; the invalid, summer-time and
// century bits are ignored. A day that its month does not have gives nothing.
std::optional<DateTime> DecodeDateTimeF(std::uint32_t f);

bool IsValidDate(int year, int month, int day);

// How dates and times are written: patterns in the Qt/ICU style ("yyyy-MM-dd", "dd.MM.yy",
// "M/d/yy", "HH:mm:ss", "h:mm:ss AP"). The desktop program installs the locale's short date and
// long time formats; the fixed defaults keep tests and the command line deterministic.
// Understood: d dd M MM MMM yy yyyy H HH h hh m mm s ss z zzz AP ap A a t, 'quoted text'.
struct DateTimeFormats {
  std::string ShortDate = "yyyy-MM-dd";
  std::string LongTime = "HH:mm:ss";
};
void SetDateTimeFormats(const DateTimeFormats& formats);
const DateTimeFormats& CurrentDateTimeFormats();

// Short date, a blank and long time; the time is left out when it is exactly midnight.
std::string FormatDateTimeText(const DateTime& t);
// Short date, a blank and long time, always both (reading times of the dump).
std::string FormatDateAndTime(const DateTime& t);
// One pattern applied to a date-time.
std::string FormatDateTimePattern(const DateTime& t, const std::string& pattern);

}  // namespace nord5
