#include "foundation/utils.h"

namespace nord5 {

std::uint16_t EncodeManufacturer(std::string_view code) {
  auto letter = [&](std::size_t i) -> unsigned {
    return i < code.size() ? static_cast<unsigned char>(code[i]) & 0x1Fu : 0u;
  };
  return static_cast<std::uint16_t>((letter(0) << 10) | (letter(1) << 5) | letter(2));
}

std::string DecodeManufacturer(std::uint16_t value) {
  std::string code(3, '@');
  code[0] = static_cast<char>(0x40 + ((value >> 10) & 0x1F));
  code[1] = static_cast<char>(0x40 + ((value >> 5) & 0x1F));
  code[2] = static_cast<char>(0x40 + (value & 0x1F));
  return code;
}

int ScaleFormTo96Percent(int dpi) {
  if (dpi <= 0) return 100;
  // 9600 / dpi in integers: quotient and remainder decide the rounding exactly.
  const int quotient = 9600 / dpi;
  const int remainder = 9600 % dpi;
  if (2 * remainder > dpi) return quotient + 1;
  if (2 * remainder == dpi) return quotient % 2 == 0 ? quotient : quotient + 1;
  return quotient;
}

}  // namespace nord5
