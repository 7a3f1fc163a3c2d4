#include "mbus/long_frame.h"

#include <cstdio>

namespace nord5 {

namespace {
constexpr std::size_t kMinimumFrame = 6 + 3 + 12;  // start, C A CI, fixed header, CS 16

std::uint8_t Checksum(std::span<const std::uint8_t> frame) {
  std::uint8_t sum = 0;
  for (std::size_t i = 4; i < frame.size() - 2; ++i)
    sum = static_cast<std::uint8_t>(sum + frame[i]);
  return sum;
}
}  // namespace

LongFrameError CheckLongFrame(std::span<const std::uint8_t> frame) {
  if (frame.size() < 4 || frame[0] != 0x68 || frame[3] != 0x68 || frame[1] != frame[2])
    return frame.size() < 4 ? LongFrameError::TooShort : LongFrameError::NoStartBytes;
  if (frame.size() != static_cast<std::size_t>(frame[1]) + 6) return LongFrameError::LengthMismatch;
  if (frame.size() < kMinimumFrame) return LongFrameError::TooShort;
  if (Checksum(frame) != frame[frame.size() - 2]) return LongFrameError::BadChecksum;
  if (frame.back() != 0x16) return LongFrameError::NoStopByte;
  if (frame[6] != 0x72) return LongFrameError::NotVariableData;
  return LongFrameError::None;
}

std::string DescribeLongFrameError(LongFrameError error, std::span<const std::uint8_t> frame) {
  char text[160];
  switch (error) {
    case LongFrameError::None:
      return "a long frame";
    case LongFrameError::TooShort:
      std::snprintf(text, sizeof text,
                    "too short for a long frame with a fixed header (%zu bytes, at least %zu)",
                    frame.size(), kMinimumFrame);
      return text;
    case LongFrameError::NoStartBytes:
      return "not a long frame (it must begin 68 L L 68)";
    case LongFrameError::LengthMismatch:
      std::snprintf(text, sizeof text, "length field L=%u needs %u bytes, %zu given",
                    static_cast<unsigned>(frame[1]), static_cast<unsigned>(frame[1]) + 6,
                    frame.size());
      return text;
    case LongFrameError::BadChecksum:
      std::snprintf(text, sizeof text, "check sum is %02X, the frame says %02X",
                    static_cast<unsigned>(Checksum(frame)),
                    static_cast<unsigned>(frame[frame.size() - 2]));
      return text;
    case LongFrameError::NoStopByte:
      std::snprintf(text, sizeof text, "stop byte is %02X instead of 16",
                    static_cast<unsigned>(frame.back()));
      return text;
    case LongFrameError::NotVariableData:
      std::snprintf(text, sizeof text,
                    "CI field %02X is not 72 (RSP_UD with variable data structure)",
                    static_cast<unsigned>(frame[6]));
      return text;
  }
  return "not a long frame";
}

std::optional<std::vector<std::uint8_t>> ParseHexText(std::string_view text, std::size_t* bad_at) {
  std::vector<std::uint8_t> bytes;
  int high = -1;
  std::size_t high_at = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else {
      if (bad_at) *bad_at = i;
      return std::nullopt;
    }
    if (high < 0) {
      high = digit;
      high_at = i;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) {
    if (bad_at) *bad_at = high_at;
    return std::nullopt;
  }
  return bytes;
}

}  // namespace nord5
