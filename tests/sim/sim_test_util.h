// Small helpers for the virtual meter tests: telegrams typed as hex, and the master's telegrams
// with their check sums.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "sim/telegram.h"

namespace nord5::sim::testing {

// "10 40 FE 3E 16" -> bytes.
inline Bytes Hex(const std::string& text) {
  Bytes b;
  std::istringstream in(text);
  std::string tok;
  while (in >> tok) b.push_back(static_cast<std::uint8_t>(std::stoul(tok, nullptr, 16)));
  return b;
}

// A SND_UD from the master: 68 L L 68 C A CI data CS 16.
inline Bytes SndUd(std::uint8_t a, std::uint8_t ci, const Bytes& data, std::uint8_t c = 0x73) {
  return LongFrame(c, a, ci, data);
}

inline Bytes MemoryReadTelegram(std::uint8_t a, std::uint32_t address, std::uint8_t n) {
  Bytes d{0x0F, 0x00, n};
  PutU32(d, address);
  return SndUd(a, 0xA1, d);
}

inline Bytes MemoryWriteTelegram(std::uint8_t a, std::uint32_t address, const Bytes& bytes) {
  Bytes d{0x0F, 0x00};
  PutU32(d, address);
  d.insert(d.end(), bytes.begin(), bytes.end());
  return SndUd(a, 0xA2, d, 0x53);
}

// The data records of a RSP_UD (after the 12-byte fixed header).
inline Bytes RecordsOf(const Frame& f) {
  return f.data.size() > 12 ? Bytes(f.data.begin() + 12, f.data.end()) : Bytes{};
}

// Whether `records` holds a record whose header begins with `header` at a record boundary.
bool HasRecord(const Bytes& records, const Bytes& header);

}  // namespace nord5::sim::testing
