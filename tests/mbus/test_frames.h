// Builds RSP_UD long frames around data records for the decoder tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mbus/long_frame.h"

namespace nord5::testing {

using Bytes = std::vector<std::uint8_t>;

// 68 L L 68 08 <address> 72, identification 78 56 34 12 (12345678), manufacturer, version,
// medium (heat), access number, status, signature, then `records`, check sum and 16.
inline Bytes LongFrame(const Bytes& records, std::uint8_t address = 0x05,
                       std::uint32_t id_bcd = 0x12345678) {
  const std::uint8_t head[] = {
      0x68, 0, 0, 0x68, 0x08, address, 0x72,
      static_cast<std::uint8_t>(id_bcd), static_cast<std::uint8_t>(id_bcd >> 8),
      static_cast<std::uint8_t>(id_bcd >> 16), static_cast<std::uint8_t>(id_bcd >> 24),
      0x2D, 0x2C, 0x01, 0x04, 0x2A, 0x00, 0x00, 0x00};
  Bytes f;
  f.reserve(sizeof head + records.size() + 2);
  for (std::uint8_t b : head) f.push_back(b);
  for (std::uint8_t b : records) f.push_back(b);
  const std::size_t l = f.size() - 4;
  f[1] = f[2] = static_cast<std::uint8_t>(l);
  std::uint8_t sum = 0;
  for (std::size_t i = 4; i < f.size(); ++i) sum = static_cast<std::uint8_t>(sum + f[i]);
  f.push_back(sum);
  f.push_back(0x16);
  return f;
}

// The limit the engine passes: the offset of the check sum.
inline int Limit(const Bytes& frame) { return static_cast<int>(frame.size()) - 2; }

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline Bytes ReadHexFile(const std::string& path) {
  auto bytes = ParseHexText(ReadText(path));
  return bytes ? *bytes : Bytes{};
}

}  // namespace nord5::testing
