#include "foundation/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <vector>

namespace nord5 {

namespace {

// A finite double as an exact decimal: |value| = 0.d1 d2 d3 ... x 10^exp. `digits` has no leading
// or trailing zeros and is empty for zero.
struct Decimal {
  std::string digits;
  int exp = 0;
  bool negative = false;

  bool IsZero() const { return digits.empty(); }
};

void StripTrailingZeros(Decimal& d) {
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exp = 0;
}

// Every double has an exact decimal expansion of at most 767 significant digits, so asking
// to_chars for more digits than that gives the exact value without any rounding.
Decimal ExactDecimal(double value) {
  Decimal d;
  d.negative = std::signbit(value);
  if (value == 0.0) return d;
  char buf[832];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value),
                                 std::chars_format::scientific, 780);
  // buf holds "d.ddd...e+XX" (or "de+XX").
  const char* p = buf;
  const char* end = res.ptr;
  const char* e = p;
  while (e != end && *e != 'e') ++e;
  for (const char* q = p; q != e; ++q)
    if (*q != '.') d.digits.push_back(*q);
  int exp10 = 0;
  if (e != end) {
    const char* q = e + 1;
    if (q != end && *q == '+') ++q;
    std::from_chars(q, end, exp10);
  }
  d.exp = exp10 + 1;
  StripTrailingZeros(d);
  return d;
}

// Keeps the first `keep` significant digits, rounding half away from zero. `keep` may be zero or
// negative (the whole value lies below the last kept place).
void RoundTo(Decimal& d, int keep) {
  if (d.IsZero()) return;
  if (keep < 0) {
    d.digits.clear();
    d.exp = 0;
    return;
  }
  const auto k = static_cast<std::size_t>(keep);
  if (k >= d.digits.size()) return;
  const bool up = d.digits[k] >= '5';
  d.digits.resize(k);
  if (up) {
    std::size_t i = k;
    while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
    if (i == 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exp;
    } else {
      ++d.digits[i - 1];
    }
  }
  StripTrailingZeros(d);
}

// The digit of the given place (1 = the first significant digit), '0' outside the digits.
char DigitAt(const Decimal& d, long index) {
  if (index < 0 || index >= static_cast<long>(d.digits.size())) return '0';
  return d.digits[static_cast<std::size_t>(index)];
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// The sections of a pattern ("positive;negative;zero"), split outside quotes.
std::vector<std::string_view> SplitSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  sections.push_back(pattern.substr(start));
  return sections;
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

// Writes `d` (already rounded) into one section.
std::string Render(std::string_view s, const SectionLayout& l, const Decimal& d, char separator) {
  const char group_char = separator == ',' ? '.' : ',';
  const int int_places = l.decimal_index;
  const int frac_places = l.digit_count - l.decimal_index;

  // Integer digits, fraction digits and exponent of the value as shown.
  std::string int_digits;
  std::string frac_digits;
  int shown_exponent = 0;
  if (l.scientific) {
    if (!d.IsZero()) {
      for (int i = 0; i < int_places; ++i) int_digits.push_back(DigitAt(d, i));
      shown_exponent = d.exp - int_places;
    }
    for (int i = 0; i < frac_places; ++i)
      frac_digits.push_back(d.IsZero() ? '0' : DigitAt(d, int_places + i));
  } else {
    for (int i = 0; i < d.exp; ++i) int_digits.push_back(DigitAt(d, i));
    for (int i = 0; i < frac_places; ++i) frac_digits.push_back(DigitAt(d, d.exp + i));
  }
  // Trailing zeros beyond the last '0' placeholder are dropped.
  int shown_frac = 0;
  for (int i = 0; i < frac_places; ++i)
    if (frac_digits[static_cast<std::size_t>(i)] != '0') shown_frac = i + 1;
  if (l.last_zero - int_places > shown_frac) shown_frac = l.last_zero - int_places;

  std::string out;
  const int int_len = static_cast<int>(int_digits.size());
  bool extra_done = false;
  auto put_int_digit = [&](char c, int place) {
    out.push_back(c);
    if (l.thousands && place > 1 && (place - 1) % 3 == 0) out.push_back(group_char);
  };
  // Integer digits that have no placeholder of their own go before the first one.
  auto put_extra = [&]() {
    if (extra_done || l.digit_count == 0) return;  // a pattern without digits shows none
    extra_done = true;
    for (int i = 0; i < int_len - int_places; ++i)
      put_int_digit(int_digits[static_cast<std::size_t>(i)], int_len - i);
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
        out.push_back(c);
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
          put_int_digit(int_digits[static_cast<std::size_t>(int_len - place)], place);
        } else if (l.first_zero >= 0 && placeholder >= l.first_zero) {
          put_int_digit('0', place);
        }
      } else {
        const int f = placeholder - int_places + 1;
        if (f <= shown_frac) out.push_back(frac_digits[static_cast<std::size_t>(f - 1)]);
      }
      ++placeholder;
    } else if (c == '.') {
      if (!point_done) {
        point_done = true;
        put_extra();
        if (shown_frac > 0) out.push_back(separator);
      }
    } else if (c == ',') {
      // grouping is done by the digits
    } else if (IsExponentAt(s, i)) {
      put_extra();
      out.push_back(c);
      const bool always_sign = s[i + 1] == '+';
      if (shown_exponent < 0) {
        out.push_back('-');
      } else if (always_sign) {
        out.push_back('+');
      }
      std::string e = std::to_string(std::abs(shown_exponent));
      if (static_cast<int>(e.size()) < l.exponent_digits)
        e.insert(0, static_cast<std::size_t>(l.exponent_digits) - e.size(), '0');
      out += e;
      i += 2;
      while (i < s.size() && s[i] == '0') ++i;
      --i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

// The general format on a rounded decimal (FloatToStr).
std::string General(Decimal d, char separator) {
  RoundTo(d, 15);
  if (d.IsZero()) return "0";
  std::string out = d.negative ? "-" : "";
  const int n = static_cast<int>(d.digits.size());
  if (d.exp > 15 || d.exp < -3) {
    out.push_back(d.digits[0]);
    if (n > 1) {
      out.push_back(separator);
      out.append(d.digits, 1);
    }
    out.push_back('E');
    out += std::to_string(d.exp - 1);
    return out;
  }
  if (d.exp <= 0) {
    out += '0';
    out.push_back(separator);
    out.append(static_cast<std::size_t>(-d.exp), '0');
    out += d.digits;
    return out;
  }
  for (int i = 0; i < d.exp; ++i) out.push_back(DigitAt(d, i));
  if (n > d.exp) {
    out.push_back(separator);
    out.append(d.digits, static_cast<std::size_t>(d.exp));
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

  const std::vector<std::string_view> sections = SplitSections(pattern);
  auto section_or_first = [&](std::size_t i) {
    return i < sections.size() && !sections[i].empty() ? sections[i] : sections[0];
  };
  const bool own_negative = sections.size() > 1 && !sections[1].empty();

  Decimal d = ExactDecimal(value);
  std::string_view section = d.negative && own_negative ? sections[1] : sections[0];
  if (d.IsZero()) section = section_or_first(2);
  SectionLayout layout = ScanSection(section);

  // Fixed notation beyond 18 integer digits falls back to the general format, as the classic
  // formatter does; it also keeps 300-digit strings out of text fields.
  if (!layout.scientific && d.exp > 18) return FloatToStr(value, separator);

  if (layout.scientific) {
    RoundTo(d, layout.digit_count > 0 ? layout.digit_count : 1);
  } else {
    RoundTo(d, d.exp + (layout.digit_count - layout.decimal_index));
  }
  if (d.IsZero()) {
    // A value that rounds to zero shows without a sign, with the zero section when there is one.
    if (sections.size() > 2 && !sections[2].empty() && section != sections[2]) {
      section = sections[2];
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
  return General(ExactDecimal(value), separator);
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
