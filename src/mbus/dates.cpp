#include "mbus/dates.h"

#include <cstdio>

namespace nord5 {

namespace {

DateTimeFormats& Formats() {
  static DateTimeFormats formats;
  return formats;
}

std::string Digits(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

constexpr const char* kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

bool DecodeTypeGDate(std::uint16_t value, DateTime& date) {
  date = DateTime{2000, 1, 1, 0, 0, 0, 0};
  if (value == 0 || value == 0xFFFF) return false;
  const int day = value & 0x1F;
  const int month = (value >> 8) & 0x0F;
  const int year = ((value >> 12) & 0x0F) * 8 + ((value >> 5) & 0x07);
  if (day == 0 || month == 0 || month > 12 || year >= 100) return false;
  if (!IsValidDate(2000 + year, month, day)) return false;
  date = DateTime{2000 + year, month, day, 0, 0, 0, 0};
  return true;
}

std::optional<DateTime> DecodeDateTimeF(std::uint32_t f) {
  const int minute = f & 0x3F;
  const int hour = (f >> 8) & 0x1F;
  const int day = (f >> 16) & 0x1F;
  const int month = (f >> 24) & 0x0F;
  const int year = static_cast<int>(((f >> 28) << 3) | ((f >> 21) & 7));
  if (f == 0 || f == 0xFFFFFFFFu || minute >= 60 || hour > 23 || day == 0 || month == 0 ||
      month > 12 || year >= 100)
    return DateTime{2000, 1, 1, 0, 0, 0, 0};
  if (!IsValidDate(2000 + year, month, day)) return std::nullopt;
  return DateTime{2000 + year, month, day, hour, minute, 0, 0};
}

void SetDateTimeFormats(const DateTimeFormats& formats) { Formats() = formats; }
const DateTimeFormats& CurrentDateTimeFormats() { return Formats(); }

std::string FormatDateTimePattern(const DateTime& t, const std::string& pattern) {
  std::string out;
  const std::size_t n = pattern.size();
  std::size_t i = 0;
  // A 12-hour clock when the pattern has an AM/PM marker anywhere.
  const bool twelve = pattern.find_first_of("Aa") != std::string::npos;
  while (i < n) {
    const char c = pattern[i];
    if (c == '\'') {
      std::size_t j = i + 1;
      if (j < n && pattern[j] == '\'') {  // '' is one quote
        out += '\'';
        i += 2;
        continue;
      }
      while (j < n && pattern[j] != '\'') out += pattern[j++];
      i = j < n ? j + 1 : n;
      continue;
    }
    std::size_t run = 1;
    while (i + run < n && pattern[i + run] == c) ++run;
    const int h12 = t.Hour % 12 == 0 ? 12 : t.Hour % 12;
    switch (c) {
      case 'd':
        out += run >= 2 ? Digits(t.Day, 2) : std::to_string(t.Day);
        break;
      case 'M':
        if (run >= 3 && t.Month >= 1 && t.Month <= 12)
          out += kMonthAbbrev[t.Month - 1];
        else
          out += run >= 2 ? Digits(t.Month, 2) : std::to_string(t.Month);
        break;
      case 'y':
        out += run >= 4 ? Digits(t.Year, 4) : Digits(t.Year % 100, 2);
        break;
      case 'H':
        out += run >= 2 ? Digits(t.Hour, 2) : std::to_string(t.Hour);
        break;
      case 'h': {
        const int h = twelve ? h12 : t.Hour;
        out += run >= 2 ? Digits(h, 2) : std::to_string(h);
        break;
      }
      case 'm':
        out += run >= 2 ? Digits(t.Minute, 2) : std::to_string(t.Minute);
        break;
      case 's':
        out += run >= 2 ? Digits(t.Second, 2) : std::to_string(t.Second);
        break;
      case 'z':
        out += run >= 3 ? Digits(t.Millisecond, 3) : std::to_string(t.Millisecond);
        break;
      case 'A':
      case 'a': {
        const bool upper = c == 'A';
        // "AP"/"ap" are one marker; a lone A/a as well.
        if (i + 1 < n && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) run = 2;
        out += t.Hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
        break;
      }
      case 't':
        break;  // time zone: the decoder's times carry none
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  // A dropped time zone leaves a trailing blank ("h:mm:ss AP t").
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string FormatDateAndTime(const DateTime& t) {
  return FormatDateTimePattern(t, Formats().ShortDate) + " " +
         FormatDateTimePattern(t, Formats().LongTime);
}

std::string FormatDateTimeText(const DateTime& t) {
  if (t.Hour == 0 && t.Minute == 0 && t.Second == 0 && t.Millisecond == 0)
    return FormatDateTimePattern(t, Formats().ShortDate);
  return FormatDateAndTime(t);
}

}  // namespace nord5
