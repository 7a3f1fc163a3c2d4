// RSP_UD long frames as text and as bytes: 68 L L 68 C A CI <L-3 bytes> CS 16.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace nord5 {

enum class LongFrameError : std::uint8_t {
  None = 0,
  TooShort = 1,        // fewer bytes than a long frame with a fixed header needs
  NoStartBytes = 2,    // not 68 L L 68
  LengthMismatch = 3,  // L does not agree with the number of bytes
  BadChecksum = 4,
  NoStopByte = 5,
  NotVariableData = 6,  // CI field is not 72h (variable data structure, long header)
};

// A sentence for the user, e.g. "check sum is 5Bh, the frame says 3Bh".
std::string DescribeLongFrameError(LongFrameError error, std::span<const std::uint8_t> frame);

// Checks that `frame` is exactly one long frame with a correct check sum and stop byte whose user
// data starts with the 12-byte fixed header of a variable data structure.
LongFrameError CheckLongFrame(std::span<const std::uint8_t> frame);

// The offset of the check sum byte, L + 4: the decoder's record limit.
inline int RecordLimit(std::span<const std::uint8_t> frame) {
  return frame.size() > 1 ? frame[1] + 4 : 0;
}

// Hexadecimal text to bytes; blanks, tabs and line breaks are ignored. Nothing for a character
// that is not a hex digit or an odd number of digits (`bad_at` then gives the character offset).
std::optional<std::vector<std::uint8_t>> ParseHexText(std::string_view text,
                                                      std::size_t* bad_at = nullptr);

}  // namespace nord5
