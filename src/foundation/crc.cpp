#include "foundation/crc.h"

#include <array>

namespace nord5 {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t c = static_cast<std::uint16_t>(i);
    for (int k = 0; k < 8; ++k) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0x8408) : static_cast<std::uint16_t>(c >> 1);
    t[i] = c;
  }
  return t;
}
constexpr auto kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[128] == 0x8408);

}  // namespace

std::uint16_t Crc16TableEntry(std::uint8_t index) { return kTable[index]; }

std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count,
                          std::uint32_t& total) {
  total += static_cast<std::uint32_t>(count);
  for (std::size_t i = 0; i < count; ++i)
    crc = static_cast<std::uint16_t>(kTable[(bytes[i] ^ crc) & 0xFF] ^ (crc >> 8));
  return crc;
}

std::uint16_t Crc16Modbus(const std::uint8_t* bytes, std::size_t count) {
  std::uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
  }
  return crc;
}

std::uint8_t Checksum8(const std::uint8_t* bytes, std::size_t count) {
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  return sum;
}

}  // namespace nord5
