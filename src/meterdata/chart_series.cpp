#include "meterdata/chart_series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cctype>

namespace nord5 {
namespace {

constexpr const char* kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `min_digits` to `max_digits` digits at `pos`.
bool ReadNumber(std::string_view text, std::size_t& pos, int min_digits, int max_digits,
                int& value) {
  int count = 0;
  value = 0;
  while (pos < text.size() && count < max_digits && IsDigit(text[pos])) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++count;
  }
  return count >= min_digits;
}

bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Reads `text` from `pos` along one pattern of the kind FormatDateTimePattern writes; fills the
// fields the pattern names. Mirrors the writer: a run of one letter is one field.
bool ParsePattern(std::string_view text, std::size_t& pos, const std::string& pattern,
                  DateTime& t, int& pm) {
  const std::size_t n = pattern.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = pattern[i];
    if (c == '\'') {
      std::size_t j = i + 1;
      if (j < n && pattern[j] == '\'') {
        if (pos >= text.size() || text[pos] != '\'') return false;
        ++pos;
        i += 2;
        continue;
      }
      while (j < n && pattern[j] != '\'') {
        if (pos >= text.size() || text[pos] != pattern[j]) return false;
        ++pos;
        ++j;
      }
      i = j < n ? j + 1 : n;
      continue;
    }
    std::size_t run = 1;
    while (i + run < n && pattern[i + run] == c) ++run;
    const int min_digits = run >= 2 ? 2 : 1;
    bool ok = true;
    switch (c) {
      case 'd': ok = ReadNumber(text, pos, min_digits, 2, t.Day); break;
      case 'M':
        if (run >= 3) {
          ok = false;
          for (int m = 0; m < 12 && !ok; ++m)
            if (pos + 3 <= text.size() && SameLetters(text.substr(pos, 3), kMonthAbbrev[m])) {
              t.Month = m + 1;
              pos += 3;
              ok = true;
            }
        } else {
          ok = ReadNumber(text, pos, min_digits, 2, t.Month);
        }
        break;
      case 'y':
        if (run >= 4) {
          ok = ReadNumber(text, pos, 4, 4, t.Year);
        } else {
          ok = ReadNumber(text, pos, 2, 2, t.Year);
          t.Year += 2000;
        }
        break;
      case 'H': ok = ReadNumber(text, pos, min_digits, 2, t.Hour); break;
      case 'h': ok = ReadNumber(text, pos, min_digits, 2, t.Hour); break;
      case 'm': ok = ReadNumber(text, pos, min_digits, 2, t.Minute); break;
      case 's': ok = ReadNumber(text, pos, min_digits, 2, t.Second); break;
      case 'z': ok = ReadNumber(text, pos, run >= 3 ? 3 : 1, 3, t.Millisecond); break;
      case 'A':
      case 'a':
        if (i + 1 < n && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) run = 2;
        if (pos + 2 <= text.size() && SameLetters(text.substr(pos, 2), "AM")) {
          pm = 0;
          pos += 2;
        } else if (pos + 2 <= text.size() && SameLetters(text.substr(pos, 2), "PM")) {
          pm = 1;
          pos += 2;
        } else {
          ok = false;
        }
        break;
      case 't': break;  // the writer leaves the time zone out
      default:
        for (std::size_t k = 0; k < run && ok; ++k) {
          if (pos < text.size() && text[pos] == c)
            ++pos;
          else if (c != ' ')  // a blank before a dropped zone may be trimmed away
            ok = false;
        }
        break;
    }
    if (!ok) return false;
    i += run;
  }
  return true;
}

// Days from 1970-01-01 to the given civil date (H. Hinnant's algorithm).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Error words are shown as four hexadecimal digits ("0010", "80A0"): read as decimal numbers
// they would chart nonsense, so they are no series. "Error free time" is a quantity.
bool IsCodeColumn(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.rfind("error", 0) == 0 && lower.find("time") == std::string::npos;
}

}  // namespace

std::optional<double> ParseGridNumber(std::string_view text, char decimal_separator) {
  text = Trim(text);
  if (text.empty() || text.size() > 64) return std::nullopt;
  char buffer[65];
  std::size_t len = 0;
  for (char c : text) {
    if (c == decimal_separator) {
      c = '.';
    } else if (c == '.' || c == '+' || c == ',') {
      // another separator than the one the cells were written with; '+' only after an exponent
      if (!(c == '+' && len > 0 && (buffer[len - 1] == 'e' || buffer[len - 1] == 'E')))
        return std::nullopt;
    } else if (!(IsDigit(c) || c == '-' || c == 'e' || c == 'E')) {
      return std::nullopt;  // letters (hexadecimal codes, "inf", "nan"), blanks, date signs
    }
    buffer[len++] = c;
  }
  if (!IsDigit(buffer[len - 1])) return std::nullopt;  // "12." or "1E"
  const char* start = buffer;
  const char* end = buffer + len;
  // The mantissa needs a digit before any exponent: "E5" or "-.5E1" are not written numbers.
  const char* first_digit = std::find_if(start, end, IsDigit);
  const char* exponent = std::find_if(start, end, [](char c) { return c == 'e' || c == 'E'; });
  if (first_digit > exponent) return std::nullopt;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(start, end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<DateTime> ParseDateTimeText(std::string_view text, const DateTimeFormats& formats) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  DateTime t;
  int pm = -1;
  std::size_t pos = 0;
  if (!ParsePattern(text, pos, formats.ShortDate, t, pm)) return std::nullopt;
  if (pos < text.size()) {
    if (text[pos] != ' ') return std::nullopt;
    ++pos;
    if (!ParsePattern(text, pos, formats.LongTime, t, pm)) return std::nullopt;
    if (pos != text.size()) return std::nullopt;
  }
  if (pm >= 0) {  // 12-hour clock: 12 AM is midnight, 12 PM noon
    if (t.Hour < 1 || t.Hour > 12) return std::nullopt;
    t.Hour = t.Hour % 12 + (pm == 1 ? 12 : 0);
  }
  if (!IsValidDate(t.Year, t.Month, t.Day) || t.Hour > 23 || t.Minute > 59 || t.Second > 59)
    return std::nullopt;
  return t;
}

double WallSeconds(const DateTime& t) {
  const long long days = DaysFromCivil(t.Year, t.Month, t.Day);
  return static_cast<double>(days * 86400LL + t.Hour * 3600LL + t.Minute * 60LL + t.Second) +
         t.Millisecond / 1000.0;
}

DateTime FromWallSeconds(double seconds) {
  const long long total_ms = std::llround(seconds * 1000.0);
  long long days = total_ms >= 0 ? total_ms / 86400000LL : -((-total_ms + 86399999LL) / 86400000LL);
  long long ms = total_ms - days * 86400000LL;
  // civil_from_days (H. Hinnant)
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(days - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  DateTime t;
  t.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.Year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (t.Month <= 2));
  t.Hour = static_cast<int>(ms / 3600000);
  ms %= 3600000;
  t.Minute = static_cast<int>(ms / 60000);
  ms %= 60000;
  t.Second = static_cast<int>(ms / 1000);
  t.Millisecond = static_cast<int>(ms % 1000);
  return t;
}

void ChartSeriesModel::SplitHeader(const std::string& header, std::string& name,
                                   std::string& units) {
  std::string_view h = Trim(header);
  // "12. Flow, m^3/h": the archive window numbers its columns by the record's position.
  std::size_t digits = 0;
  while (digits < h.size() && IsDigit(h[digits])) ++digits;
  if (digits > 0 && digits + 1 < h.size() && h[digits] == '.' && h[digits + 1] == ' ')
    h.remove_prefix(digits + 2);
  const std::size_t comma = h.rfind(", ");
  if (comma == std::string_view::npos) {
    name = std::string(h);
    units.clear();
  } else {
    name = std::string(Trim(h.substr(0, comma)));
    units = std::string(Trim(h.substr(comma + 2)));
  }
}

ChartSeriesModel::ChartSeriesModel(char decimal_separator, DateTimeFormats formats)
    : separator_(decimal_separator), formats_(std::move(formats)) {}

void ChartSeriesModel::Reset(const std::vector<std::string>& header) {
  header_.clear();
  series_.clear();
  series_of_column_.clear();
  x_kind_ = ChartXKind::RowNumber;
  x_column_ = -1;
  rows_ = 0;
  skipped_ = 0;
  min_x_ = max_x_ = 0;
  header_ = header;
  AddColumns(0);
}

bool ChartSeriesModel::ExtendHeader(const std::vector<std::string>& header) {
  if (header.size() < header_.size() || !std::equal(header_.begin(), header_.end(), header.begin())) {
    Reset(header);
    return false;
  }
  const std::size_t from = header_.size();
  header_ = header;
  AddColumns(from);
  return true;
}

void ChartSeriesModel::AddColumns(std::size_t from) {
  for (std::size_t c = from; c < header_.size(); ++c) {
    std::string name, units;
    SplitHeader(header_[c], name, units);
    series_of_column_.push_back(-1);
    // Row numbers, the meter's identification number and error codes are no quantities.
    if (name == "Number" || name == "DeviceID" || IsCodeColumn(name)) continue;
    if (name == "Timestamp" && x_column_ < 0 && rows_ == 0) {
      x_column_ = static_cast<int>(c);
      x_kind_ = ChartXKind::Timestamp;
      continue;
    }
    ChartSeries s;
    s.Column = static_cast<int>(c);
    s.Header = header_[c];
    s.Name = std::move(name);
    s.Units = std::move(units);
    // Rows taken before this column existed have no value in it.
    series_of_column_.back() = static_cast<int>(series_.size());
    series_.push_back(std::move(s));
  }
}

bool ChartSeriesModel::AppendRow(const std::vector<std::string>& cells) {
  ++rows_;
  double x = static_cast<double>(rows_);
  if (x_kind_ == ChartXKind::Timestamp) {
    const std::size_t xc = static_cast<std::size_t>(x_column_);
    const std::optional<DateTime> t =
        xc < cells.size() ? ParseDateTimeText(cells[xc], formats_) : std::nullopt;
    if (!t) {
      ++skipped_;
      return false;
    }
    x = WallSeconds(*t);
  }
  if (rows_ - skipped_ == 1) {
    min_x_ = max_x_ = x;
  } else {
    min_x_ = std::min(min_x_, x);
    max_x_ = std::max(max_x_, x);
  }
  for (ChartSeries& s : series_) {
    const std::size_t c = static_cast<std::size_t>(s.Column);
    const std::optional<double> y =
        c < cells.size() ? ParseGridNumber(cells[c], separator_) : std::nullopt;
    if (!y) {
      // One gap marks a break; a run of empty cells needs no more.
      if (!s.Points.empty() && !s.Points.back().Gap) s.Points.push_back({x, 0, true});
      continue;
    }
    if (s.Values == 0) {
      s.MinY = s.MaxY = *y;
    } else {
      s.MinY = std::min(s.MinY, *y);
      s.MaxY = std::max(s.MaxY, *y);
    }
    s.Numeric = true;
    ++s.Values;
    s.Points.push_back({x, *y, false});
  }
  return true;
}

void ChartSeriesModel::Load(const std::vector<std::string>& header,
                            const std::vector<std::vector<std::string>>& rows) {
  Reset(header);
  for (const auto& r : rows) AppendRow(r);
}

const ChartSeries* ChartSeriesModel::SeriesOfColumn(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= series_of_column_.size()) return nullptr;
  const int i = series_of_column_[static_cast<std::size_t>(column)];
  return i < 0 ? nullptr : &series_[static_cast<std::size_t>(i)];
}

ChartDecimator::ChartDecimator(std::size_t max_points)
    : max_buckets_(std::max<std::size_t>(2, max_points / 2)) {}

ChartDecimator::Bucket ChartDecimator::Merge(const Bucket& a, const Bucket& b) {
  Bucket m;
  m.Count = a.Count + b.Count;
  // The earlier bucket wins ties, so flat stretches keep their first points.
  const bool low_from_a = a.Low.Y <= b.Low.Y;
  const bool high_from_a = a.High.Y >= b.High.Y;
  m.Low = low_from_a ? a.Low : b.Low;
  m.High = high_from_a ? a.High : b.High;
  if (low_from_a != high_from_a)
    m.LowFirst = low_from_a;
  else
    m.LowFirst = low_from_a ? a.LowFirst : b.LowFirst;
  return m;
}

void ChartDecimator::Add(double x, double y) {
  ++count_;
  const ChartPoint p{x, y, false};
  if (buckets_.empty() || buckets_.back().Count >= bucket_size_) {
    buckets_.push_back(Bucket{p, p, true, 1});
  } else {
    buckets_.back() = Merge(buckets_.back(), Bucket{p, p, true, 1});
  }
  if (buckets_.size() <= max_buckets_) return;
  // Full: halve the buckets. Only a complete pair merges; an odd last bucket stays as it is.
  std::vector<Bucket> merged;
  merged.reserve(buckets_.size() / 2 + 1);
  std::size_t i = 0;
  for (; i + 1 < buckets_.size(); i += 2) merged.push_back(Merge(buckets_[i], buckets_[i + 1]));
  if (i < buckets_.size()) merged.push_back(buckets_[i]);
  buckets_ = std::move(merged);
  bucket_size_ *= 2;
}

std::vector<ChartPoint> ChartDecimator::Points() const {
  std::vector<ChartPoint> out;
  out.reserve(buckets_.size() * 2);
  for (const Bucket& b : buckets_) {
    const bool one = b.Low.X == b.High.X && b.Low.Y == b.High.Y;
    if (one) {
      out.push_back(b.Low);
    } else if (b.LowFirst) {
      out.push_back(b.Low);
      out.push_back(b.High);
    } else {
      out.push_back(b.High);
      out.push_back(b.Low);
    }
  }
  return out;
}

}  // namespace nord5
