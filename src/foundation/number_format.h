// Formatting and parsing numbers with the display patterns of the meter's fields
// ("0.000E+0", "#0.#######", "0.0#####", "#0.000##", "#0.00", ...). Always '.' unless a separator
// is given; never touches the C locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nord5 {

// Formats `value` by a Delphi-style FormatFloat pattern: '0' a digit always shown, '#' a digit
// shown when significant, '.' the decimal separator, "E+0"/"E-0" scientific notation with the
// given minimum exponent digits. Rounds half away from zero to the last digit the pattern allows.
// Examples: FormatFloat(1.23456, "0.000E+0") == "1.235E+0"; FormatFloat(1e-7, "0.0#####") == "0.0".
std::string FormatFloat(double value, std::string_view pattern, char separator = '.');

// The general format (Delphi FloatToStr: up to 15 significant digits, scientific for very large or
// small magnitudes), with '.' or the given separator.
std::string FloatToStr(double value, char separator = '.');

// Parses a decimal number written with `separator` (leading/trailing blanks allowed, optional
// sign, optional exponent). Returns nothing for text that is not a number.
std::optional<double> ParseFloat(std::string_view text, char separator = '.');
// Parses a decimal integer (optional sign, blanks around); nothing when it is not one or overflows.
std::optional<long long> ParseInt(std::string_view text);
// Parses hexadecimal digits (no prefix, blanks around); nothing when empty, not hex or > 32 bits.
std::optional<std::uint32_t> ParseHex32(std::string_view text);

}  // namespace nord5
