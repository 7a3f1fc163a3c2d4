#include "foundation/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace nord5 {

namespace {

// A finite double as a decimal: |value| = 0.d1 d2 d3 ... x 10^exp. `digits` has no leading or
// trailing zeros and is empty for zero. Lives on the stack: the buffer is never cleared, only the
// first `size` digits count.
struct Decimal {
  // Every double has an exact decimal expansion of at most 767 significant digits.
  static constexpr int kCapacity = 800;
  char digits[kCapacity];
  int size = 0;
  int exp = 0;
  bool negative = false;

  bool IsZero() const { return size == 0; }
};

void StripTrailingZeros(Decimal& d) {
  while (d.size > 0 && d.digits[d.size - 1] == '0') --d.size;
  if (d.size == 0) d.exp = 0;
}

// Reads the digits of to_chars output ("ddd.ddd" or "d.ddde+XX") into `d`: leading zeros are
// skipped, `exp` counts the places before the point.
void ReadDigits(const char* p, const char* end, Decimal& d) {
  d.size = 0;
  int int_places = 0;
  bool in_fraction = false;
  int leading_fraction_zeros = 0;
  for (; p != end && *p != 'e'; ++p) {
    const char c = *p;
    if (c == '.') {
      in_fraction = true;
      continue;
    }
    if (d.size == 0 && c == '0') {
      if (in_fraction) ++leading_fraction_zeros;
      continue;
    }
    if (!in_fraction) ++int_places;
    d.digits[d.size++] = c;
  }
  int exp10 = 0;
  if (p != end) {
    const char* q = p + 1;
    if (q != end && *q == '+') ++q;
    std::from_chars(q, end, exp10);
  }
  d.exp = (d.size == 0) ? 0 : (int_places > 0 ? int_places : -leading_fraction_zeros) + exp10;
  StripTrailingZeros(d);
}

// The exact decimal expansion: asking to_chars for more digits than any double has gives the
// value without rounding.
void ExactDecimal(double value, Decimal& d) {
  d.negative = std::signbit(value);
  d.size = 0;
  d.exp = 0;
  if (value == 0.0) return;
  char buf[832];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, 780);
  ReadDigits(buf, res.ptr, d);
}

// Digits of the value rounded to nearest at `extra` places beyond the place a later RoundTo cuts
// at: `fixed_places` decimal places (fixed) or `significant` digits (scientific). Rounding this
// again half away from zero gives what rounding the exact value gives, unless its digits beyond
// the cut are exactly 5 (the first rounding may have landed on the halfway point): the caller
// then takes the exact expansion. See NeedsExact.
constexpr int kGuardDigits = 4;

// False when the digits do not fit the buffer (patterns with dozens of places).
bool NearDecimalFixed(double value, int fixed_places, Decimal& d) {
  d.negative = std::signbit(value);
  char buf[96];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::fixed, fixed_places + kGuardDigits);
  if (res.ec != std::errc()) return false;
  ReadDigits(buf, res.ptr, d);
  return true;
}

bool NearDecimalScientific(double value, int significant, Decimal& d) {
  d.negative = std::signbit(value);
  char buf[96];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, significant - 1 + kGuardDigits);
  if (res.ec != std::errc()) return false;
  ReadDigits(buf, res.ptr, d);
  return true;
}

// True when the rounded digits end in a 5 exactly at the place RoundTo(d, keep) decides on: the
// value may lie on either side of the halfway point.
bool NeedsExact(const Decimal& d, int keep) {
  return keep >= 0 && d.size == keep + 1 && d.digits[keep] == '5';
}

// Keeps the first `keep` significant digits, rounding half away from zero. `keep` may be zero or
// negative (the whole value lies below the last kept place).
void RoundTo(Decimal& d, int keep) {
  if (d.IsZero()) return;
  if (keep < 0) {
    d.size = 0;
    d.exp = 0;
    return;
  }
  if (keep >= d.size) return;
  const bool up = d.digits[keep] >= '5';
  d.size = keep;
  if (up) {
    int i = keep;
    while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
    if (i == 0) {
      d.digits[0] = '1';
      d.size = 1;
      ++d.exp;
    } else {
      ++d.digits[i - 1];
    }
  }
  StripTrailingZeros(d);
}

// The digit of the given place (1 = the first significant digit), '0' outside the digits.
char DigitAt(const Decimal& d, long index) {
  if (index < 0 || index >= d.size) return '0';
  return d.digits[index];
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// The first three sections of a pattern ("positive;negative;zero"), split outside quotes; a fourth
// and later ones are never used.
struct Sections {
  std::string_view part[3];
  int count = 0;
};

void SplitSections(std::string_view pattern, Sections& out) {
  std::size_t start = 0;
  std::size_t end = pattern.size();
  char quote = 0;
  out.count = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      if (out.count == 2) {  // the third section ends here
        end = i;
        break;
      }
      out.part[out.count++] = pattern.substr(start, i - start);
      start = i + 1;
    }
  }
  out.part[out.count++] = pattern.substr(start, end - start);
}

bool IsExponentAt(std::string_view s, std::size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

// What one section asks for, in the terms of the classic FormatFloat scanner.
struct SectionLayout {
  int digit_count = 0;    // '0' and '#' placeholders before the exponent
  int decimal_index = -1; // placeholders before the first '.'
  int first_zero = -1;    // index of the first '0' placeholder, -1 for none
  int last_zero = 0;      // placeholders up to and including the last '0'
  bool thousands = false;
  bool scientific = false;
  int exponent_digits = 0;
};

SectionLayout ScanSection(std::string_view s) {
  SectionLayout l;
  char quote = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    switch (c) {
      case '"':
      case '\'':
        quote = c;
        break;
      case '#':
        ++l.digit_count;
        break;
      case '0':
        if (l.first_zero < 0) l.first_zero = l.digit_count;
        ++l.digit_count;
        l.last_zero = l.digit_count;
        break;
      case '.':
        if (l.decimal_index < 0) l.decimal_index = l.digit_count;
        break;
      case ',':
        l.thousands = true;
        break;
      default:
        if (!l.scientific && IsExponentAt(s, i)) {
          l.scientific = true;
          i += 2;
          while (i < s.size() && s[i] == '0') {
            ++l.exponent_digits;
            ++i;
          }
          --i;
        }
        break;
    }
  }
  if (l.decimal_index < 0) l.decimal_index = l.digit_count;
  if (l.exponent_digits > 4) l.exponent_digits = 4;
  return l;
}

// Characters on the stack, or on the heap when a long pattern needs more.
class CharBuffer {
 public:
  explicit CharBuffer(std::size_t capacity) {
    if (capacity > sizeof small_) {
      big_ = std::make_unique<char[]>(capacity);
      data_ = big_.get();
    }
  }
  CharBuffer(const CharBuffer&) = delete;
  CharBuffer& operator=(const CharBuffer&) = delete;

  void Put(char c) { data_[size_++] = c; }
  char operator[](int i) const { return data_[i]; }
  int Size() const { return static_cast<int>(size_); }
  std::string Text() const { return std::string(data_, size_); }

 private:
  char small_[160];
  std::unique_ptr<char[]> big_;
  char* data_ = small_;
  std::size_t size_ = 0;
};

// Writes `d` (already rounded) into one section.
std::string Render(std::string_view s, const SectionLayout& l, const Decimal& d, char separator) {
  const char group_char = separator == ',' ? '.' : ',';
  const int int_places = l.decimal_index;
  const int frac_places = l.digit_count - l.decimal_index;

  // Integer digits, fraction digits and exponent of the value as shown.
  const int int_count = l.scientific ? (d.IsZero() ? 0 : int_places) : (d.exp > 0 ? d.exp : 0);
  CharBuffer int_digits(static_cast<std::size_t>(int_count));
  CharBuffer frac_digits(static_cast<std::size_t>(frac_places));
  int shown_exponent = 0;
  if (l.scientific) {
    if (!d.IsZero()) {
      for (int i = 0; i < int_places; ++i) int_digits.Put(DigitAt(d, i));
      shown_exponent = d.exp - int_places;
    }
    for (int i = 0; i < frac_places; ++i)
      frac_digits.Put(d.IsZero() ? '0' : DigitAt(d, int_places + i));
  } else {
    for (int i = 0; i < d.exp; ++i) int_digits.Put(DigitAt(d, i));
    for (int i = 0; i < frac_places; ++i) frac_digits.Put(DigitAt(d, d.exp + i));
  }
  // Trailing zeros beyond the last '0' placeholder are dropped.
  int shown_frac = 0;
  for (int i = 0; i < frac_places; ++i)
    if (frac_digits[i] != '0') shown_frac = i + 1;
  if (l.last_zero - int_places > shown_frac) shown_frac = l.last_zero - int_places;

  // Each pattern character gives at most two characters (a digit and a group separator); the
  // digits without a placeholder, an exponent and its sign come on top.
  CharBuffer out(2 * s.size() + 2 * static_cast<std::size_t>(int_count) + 16);
  const int int_len = int_digits.Size();
  bool extra_done = false;
  auto put_int_digit = [&](char c, int place) {
    out.Put(c);
    if (l.thousands && place > 1 && (place - 1) % 3 == 0) out.Put(group_char);
  };
  // Integer digits that have no placeholder of their own go before the first one.
  auto put_extra = [&]() {
    if (extra_done || l.digit_count == 0) return;  // a pattern without digits shows none
    extra_done = true;
    for (int i = 0; i < int_len - int_places; ++i) put_int_digit(int_digits[i], int_len - i);
  };

  int placeholder = 0;
  bool point_done = false;
  char quote = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == quote) {
        quote = 0;
      } else {
        out.Put(c);
      }
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '0' || c == '#') {
      put_extra();
      if (placeholder < int_places) {
        const int place = int_places - placeholder;
        if (place <= int_len) {
          put_int_digit(int_digits[int_len - place], place);
        } else if (l.first_zero >= 0 && placeholder >= l.first_zero) {
          put_int_digit('0', place);
        }
      } else {
        const int f = placeholder - int_places + 1;
        if (f <= shown_frac) out.Put(frac_digits[f - 1]);
      }
      ++placeholder;
    } else if (c == '.') {
      if (!point_done) {
        point_done = true;
        put_extra();
        if (shown_frac > 0) out.Put(separator);
      }
    } else if (c == ',') {
      // grouping is done by the digits
    } else if (IsExponentAt(s, i)) {
      put_extra();
      out.Put(c);
      const bool always_sign = s[i + 1] == '+';
      if (shown_exponent < 0) {
        out.Put('-');
      } else if (always_sign) {
        out.Put('+');
      }
      char e[16];
      const auto res = std::to_chars(e, e + sizeof e, std::abs(shown_exponent));
      const int e_len = static_cast<int>(res.ptr - e);
      for (int k = e_len; k < l.exponent_digits; ++k) out.Put('0');
      for (int k = 0; k < e_len; ++k) out.Put(e[k]);
      i += 2;
      while (i < s.size() && s[i] == '0') ++i;
      --i;
    } else {
      out.Put(c);
    }
  }
  return out.Text();
}

// The general format (FloatToStr) of `d`, rounded here to 15 significant digits.
std::string General(Decimal& d, char separator) {
  RoundTo(d, 15);
  if (d.IsZero()) return "0";
  std::string out = d.negative ? "-" : "";
  const int n = d.size;
  if (d.exp > 15 || d.exp < -3) {
    out.push_back(d.digits[0]);
    if (n > 1) {
      out.push_back(separator);
      out.append(d.digits + 1, static_cast<std::size_t>(n - 1));
    }
    out.push_back('E');
    out += std::to_string(d.exp - 1);
    return out;
  }
  if (d.exp <= 0) {
    out += '0';
    out.push_back(separator);
    out.append(static_cast<std::size_t>(-d.exp), '0');
    out.append(d.digits, static_cast<std::size_t>(n));
    return out;
  }
  for (int i = 0; i < d.exp; ++i) out.push_back(DigitAt(d, i));
  if (n > d.exp) {
    out.push_back(separator);
    out.append(d.digits + d.exp, static_cast<std::size_t>(n - d.exp));
  }
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string FormatFloat(double value, std::string_view pattern, char separator) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (pattern.empty()) return FloatToStr(value, separator);

  Sections sections;
  SplitSections(pattern, sections);
  auto section_or_first = [&](int i) {
    return i < sections.count && !sections.part[i].empty() ? sections.part[i] : sections.part[0];
  };
  const bool own_negative = sections.count > 1 && !sections.part[1].empty();

  const bool negative = std::signbit(value);
  std::string_view section = negative && own_negative ? sections.part[1] : sections.part[0];
  if (value == 0.0) section = section_or_first(2);
  SectionLayout layout = ScanSection(section);

  // Fixed notation beyond 18 integer digits falls back to the general format, as the classic
  // formatter does; it also keeps 300-digit strings out of text fields. (1e18 is a double.)
  if (!layout.scientific && std::fabs(value) >= 1e18) return FloatToStr(value, separator);

  // The digits are rounded twice: to nearest a few places beyond the last shown one, then half
  // away from zero to it. The exact expansion is needed only when the first rounding ends on 5.
  Decimal d;
  const int significant = layout.digit_count > 0 ? layout.digit_count : 1;
  const int fixed_places = layout.digit_count - layout.decimal_index;
  if (value == 0.0) {
    d.negative = negative;
  } else if (layout.scientific) {
    if (!NearDecimalScientific(value, significant, d) || NeedsExact(d, significant))
      ExactDecimal(value, d);
  } else {
    if (!NearDecimalFixed(value, fixed_places, d) || NeedsExact(d, d.exp + fixed_places))
      ExactDecimal(value, d);
  }
  RoundTo(d, layout.scientific ? significant : d.exp + fixed_places);
  if (d.IsZero()) {
    // A value that rounds to zero shows without a sign, with the zero section when there is one.
    if (sections.count > 2 && !sections.part[2].empty() && section != sections.part[2]) {
      section = sections.part[2];
      layout = ScanSection(section);
    }
    return Render(section, layout, d, separator);
  }
  std::string body = Render(section, layout, d, separator);
  if (d.negative && !own_negative) body.insert(0, 1, '-');
  return body;
}

std::string FloatToStr(double value, char separator) {
  if (!std::isfinite(value)) return NonFinite(value);
  Decimal d;
  if (value == 0.0) {
    d.negative = std::signbit(value);
  } else {
    if (!NearDecimalScientific(value, 15, d) || NeedsExact(d, 15)) ExactDecimal(value, d);
  }
  return General(d, separator);
}

std::optional<double> ParseFloat(std::string_view text, char separator) {
  text = Trim(text);
  std::string normal;
  normal.reserve(text.size());
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Decimal magnitude of the first significant digit, to tell underflow from overflow below.
  long magnitude = 0;
  bool seen_significant = false;
  int mantissa_digits = 0;
  bool in_fraction = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      ++mantissa_digits;
      if (!seen_significant && c != '0') {
        seen_significant = true;
      }
      if (!in_fraction && seen_significant) ++magnitude;
      if (in_fraction && !seen_significant) --magnitude;
      normal.push_back(c);
    } else if (c == separator && !in_fraction) {
      in_fraction = true;
      normal.push_back('.');
    } else {
      break;
    }
  }
  if (mantissa_digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normal.push_back('e');
    ++i;
    bool exp_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      exp_negative = text[i] == '-';
      if (exp_negative) normal.push_back('-');
      ++i;
    }
    long exp_value = 0;
    int exp_digits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      normal.push_back(text[i]);
      if (exp_value < 100000) exp_value = exp_value * 10 + (text[i] - '0');
      ++exp_digits;
    }
    if (exp_digits == 0) return std::nullopt;
    magnitude += exp_negative ? -exp_value : exp_value;
  }
  if (i != text.size()) return std::nullopt;

  double value = 0.0;
  const auto res = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (res.ptr != normal.data() + normal.size()) return std::nullopt;
  if (res.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return std::nullopt;  // too large for a double
    value = 0.0;                              // too small: it is zero
  } else if (res.ec != std::errc()) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<long long> ParseInt(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text)
    if (!IsDigit(c)) return std::nullopt;
  // Parse with the sign so that the most negative value fits.
  std::string s = negative ? "-" : "";
  s.append(text);
  long long value = 0;
  const auto res = std::from_chars(s.data(), s.data() + s.size(), value);
  if (res.ec != std::errc() || res.ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> ParseHex32(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (IsDigit(c)) {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace nord5
