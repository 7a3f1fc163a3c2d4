// Small codecs shared by the parameter groups: identity numbers, tariff time windows, the leading
// number of a pulse start value, and the key filters of the numeric fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nord5 {

// Identity numbers as eight upper-case hexadecimal digits: 0xABCD -> "0000ABCD".
std::string FormatIdentity(std::uint32_t value);

// A time window packs two counts of minutes since midnight: start in the low 16 bits, end in the
// high 16 bits. 390 | 1320 << 16 -> "06:30-22:00". Both hours 24 or more -> "00:00-00:00".
std::string FormatTimeWindow(std::uint32_t window);
// Reads "hh:mm-hh:mm" by position (characters 1-2, 4-5, 7-8, 10-11), the layout the edit mask
// "!00:00-00:00;1;_" guarantees. Any pair that is not a number gives 0. Not range-checked.
std::uint32_t ParseTimeWindow(std::string_view text);

// The run of digits and decimal separators at the start of `text`, up to a second separator:
// "12.5 m3" -> "12.5", "1.2.3" -> "1.2".
std::string LeadingNumber(std::string_view text, char separator = '.');

// Key filters. Each takes the typed character and the field's (or current cell's) text and returns
// the character to insert: the same, a replacement, or kKeyRejected (Escape, which fields ignore).
inline constexpr char kKeyRejected = '\x1B';
inline constexpr char kKeyBackspace = '\x08';
inline constexpr char kKeyCtrlA = '\x01';
inline constexpr char kKeyCtrlC = '\x03';
inline constexpr char kKeyCtrlV = '\x16';

// Decimal fields: Ctrl+A/C/V pass, ',' and '.' become '.', one '.' only; digits, sign, 'E'/'e'.
char FloatKeyFilter(char key, std::string_view text);
// Calibration grids: as FloatKeyFilter without the Ctrl keys.
char GridKeyFilter(char key, std::string_view cell_text);
// The advanced coefficient grid: digits, Backspace and one '.', no sign and no exponent.
char AdvancedGridKeyFilter(char key, std::string_view cell_text);
// Number boxes (identity fields, primary address, production number): Ctrl+A/C/V, Backspace,
// digits.
char IntegerKeyFilter(char key);
// Manufacturer code boxes: Ctrl+A/C/V, Backspace and letters, lower case turned to upper case.
char ManufacturerKeyFilter(char key);
// The primary address box after a key release: a value above 250 becomes "250"; text that is not
// a number stays. Returns the text the box should hold.
std::string LimitPrimaryAddress(const std::string& text);

}  // namespace nord5
