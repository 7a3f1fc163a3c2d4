// Frames and record pieces as the virtual meter puts them on the line (EN 13757-2/-3).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/clock.h"

namespace nord5::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kAck = 0xE5;
inline constexpr std::uint8_t kStart10 = 0x10;
inline constexpr std::uint8_t kStart68 = 0x68;
inline constexpr std::uint8_t kStop = 0x16;

// The longest long frame: L = 255 (C, A, CI and 252 bytes of user data) plus six framing bytes.
inline constexpr std::size_t kMaxFrame = 255 + 6;
inline constexpr std::size_t kMaxUserData = 252;

// 10 C A CS 16
Bytes ShortFrame(std::uint8_t c, std::uint8_t a);
// 68 L L 68 C A CI data CS 16; `data` is cut to 252 bytes.
Bytes LongFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, const Bytes& data);

// A checked frame split into its fields. For a short frame `ci` is 0 and `data` empty.
struct Frame {
  bool is_long = false;
  std::uint8_t c = 0;
  std::uint8_t a = 0;
  std::uint8_t ci = 0;
  Bytes data;  // user data after CI
};
// Parses one complete frame (start byte to stop byte, nothing else); false when it is not a
// well-formed short or long frame with the right check sum.
bool ParseFrame(const std::uint8_t* bytes, std::size_t n, Frame& out);

// DIF and DIFEs of a data record: `data_field` is the low nibble of the DIF (4 = 32-bit integer,
// 5 = 32-bit real, ...), `function` 0 instantaneous, 1 maximum, 2 minimum, 3 during error state.
// As few DIFEs as the storage number, tariff and subunit need (none when all are 0).
Bytes RecordHeader(std::uint8_t data_field, std::uint8_t function, std::uint32_t storage,
                   std::uint32_t tariff, std::uint32_t subunit);

// Type F date and time (minute, hour, day, month, year from 2000; seconds dropped).
std::uint32_t EncodeTypeF(const DateTime& t);
// False when the fields do not make a valid date and time (the invalid bit, a minute above 59,
// an hour above 23, a day that the month does not have ...).
bool DecodeTypeF(std::uint32_t f, DateTime& out);

void PutU16(Bytes& out, std::uint16_t v);
void PutU32(Bytes& out, std::uint32_t v);
void PutF32(Bytes& out, float v);
std::uint32_t GetU32(const std::uint8_t* p);

// Upper-case hexadecimal bytes separated by blanks, "10 7B FE 79 16".
std::string HexString(const std::uint8_t* bytes, std::size_t n);

}  // namespace nord5::sim
