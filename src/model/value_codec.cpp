#include "model/value_codec.h"

#include <cstdio>

#include "foundation/number_format.h"

namespace nord5 {

std::string FormatIdentity(std::uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.8X", static_cast<unsigned>(value));
  return buf;
}

std::string FormatTimeWindow(std::uint32_t window) {
  const unsigned start = window & 0xFFFFu;
  const unsigned end = window >> 16;
  const unsigned sh = start / 60, sm = start % 60, eh = end / 60, em = end % 60;
  if (sh >= 24 && eh >= 24) return "00:00-00:00";
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2u:%.2u-%.2u:%.2u", sh, sm, eh, em);
  return buf;
}

std::uint32_t ParseTimeWindow(std::string_view text) {
  auto pair = [&](std::size_t pos) -> std::optional<long long> {
    if (text.size() < pos + 2) return std::nullopt;
    std::string_view p = text.substr(pos, 2);
    while (!p.empty() && p.back() == ' ') p.remove_suffix(1);
    if (p.empty()) return std::nullopt;
    return ParseInt(p);
  };
  const auto sh = pair(0), sm = pair(3), eh = pair(6), em = pair(9);
  if (!sh || !sm || !eh || !em) return 0;
  const auto start = static_cast<std::uint16_t>(*sh * 60 + *sm);
  const auto end = static_cast<std::uint16_t>(*eh * 60 + *em);
  return static_cast<std::uint32_t>(start) | (static_cast<std::uint32_t>(end) << 16);
}

std::string LeadingNumber(std::string_view text, char separator) {
  std::string out;
  bool seen_separator = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      out += c;
    } else if (c == separator && !seen_separator) {
      seen_separator = true;
      out += c;
    } else {
      break;
    }
  }
  return out;
}

namespace {

bool IsCtrlPass(char key) { return key == kKeyCtrlA || key == kKeyCtrlC || key == kKeyCtrlV; }

char DecimalKey(char key, std::string_view text, bool sign_and_exponent) {
  if (key == ',' || key == '.') {
    return text.find('.') != std::string_view::npos ? kKeyRejected : '.';
  }
  if (key == kKeyBackspace || (key >= '0' && key <= '9')) return key;
  if (sign_and_exponent && (key == '+' || key == '-' || key == 'E' || key == 'e')) return key;
  return kKeyRejected;
}

}  // namespace

char FloatKeyFilter(char key, std::string_view text) {
  if (IsCtrlPass(key)) return key;
  return DecimalKey(key, text, true);
}

char GridKeyFilter(char key, std::string_view cell_text) { return DecimalKey(key, cell_text, true); }

char AdvancedGridKeyFilter(char key, std::string_view cell_text) {
  return DecimalKey(key, cell_text, false);
}

char IntegerKeyFilter(char key) {
  if (IsCtrlPass(key) || key == kKeyBackspace || (key >= '0' && key <= '9')) return key;
  return kKeyRejected;
}

char ManufacturerKeyFilter(char key) {
  if (IsCtrlPass(key) || key == kKeyBackspace || (key >= 'A' && key <= 'Z')) return key;
  if (key >= 'a' && key <= 'z') return static_cast<char>(key - 'a' + 'A');
  return kKeyRejected;
}

std::string LimitPrimaryAddress(const std::string& text) {
  const auto v = ParseInt(text);
  if (v && *v > 250) return "250";
  return text;
}

}  // namespace nord5
