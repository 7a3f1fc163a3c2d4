// Check sums shared by the telegrams, the meter image and the configuration file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nord5 {

// Reflected CRC-16 with polynomial 1021h (table of 8408h), no final XOR; callers start with FFFFh
// (the CRC-16/MCRF4XX parameters). Also adds `count` to `total`, the running byte count that decides
// whether a pad byte FFh is fed at the end of a check sum over several spans.
std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count,
                          std::uint32_t& total);
// The table behind Crc16Update (T[1] = 1189h, T[128] = 8408h).
std::uint16_t Crc16TableEntry(std::uint8_t index);

// CRC-16/MODBUS: start FFFFh, reflected polynomial A001h, no final XOR. "123456789" gives 4B37h.
std::uint16_t Crc16Modbus(const std::uint8_t* bytes, std::size_t count);

// The M-Bus frame check sum: the 8-bit sum of the bytes.
std::uint8_t Checksum8(const std::uint8_t* bytes, std::size_t count);

}  // namespace nord5
