// The virtual meter's memory: the configuration block (1000h-10FFh), the calibration block
// (FC00h-FDE5h) and the RAM service variables (10000h-1005Fh), and its factory contents.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "foundation/meter_image.h"

namespace nord5::sim {

inline constexpr std::uint32_t kRamAddress = 0x10000;
inline constexpr std::size_t kRamSize = 0x60;
// RAM service variables.
inline constexpr std::uint32_t kModeByteAddress = 0x10033;   // the mode (jumper) byte
inline constexpr std::uint32_t kCreditsAddress = 0x1001D;    // optical, then M-Bus credits, 2 x u32
inline constexpr std::uint32_t kTestModeAddress = 0x10058;   // test mode without changes on/off

// Mode byte values.
inline constexpr std::uint8_t kModeUser = 0x00;
inline constexpr std::uint8_t kModeTest = 0x04;
inline constexpr std::uint8_t kModeManufacturer = 0x22;
inline constexpr std::uint8_t kModeTestNoChange = 0x40;
// Mode bits that allow a kind of change.
inline constexpr std::uint8_t kBitsManufacturer = 0x22;
inline constexpr std::uint8_t kBitsManufacturerOrTest = 0x26;

// Configuration block offsets the meter itself uses.
inline constexpr std::size_t kCfgManufacturer = 93;     // u16, EN 13757-3 packed letters
inline constexpr std::size_t kCfgMbusCredits = 132;     // u16, FFFFh = credits off
inline constexpr std::size_t kCfgReportingYear = 144;   // type G day/month
inline constexpr std::size_t kCfgPulseConfig = 184;     // u16
inline constexpr std::size_t kCfgFabrication = 220;     // u32
inline constexpr std::size_t kCfgIdentification = 224;  // u32, BCD digits
inline constexpr std::size_t kCfgPrimaryAddress = 229;  // u8
inline constexpr std::size_t kCfgPulse1Vif = 232;       // u32, VIF in the low byte
inline constexpr std::size_t kCfgPulse2Vif = 236;
inline constexpr std::size_t kCfgMedium = 251;          // M-Bus medium code

// "VMX" packed as EN 13757-3 prescribes: ((V-64) << 10) | ((M-64) << 5) | (X-64).
inline constexpr std::uint16_t kDefaultManufacturer = 0x59B8;

// A complete factory configuration for `firmware` (coefficient layout by version), with all three
// inner check sums and the image check sum right.
MeterImage DefaultMeterImage(std::uint32_t firmware);

// Reads a 748-byte configuration file (image bytes 0..745 and their CRC-16/MODBUS, low byte
// first). False with a reason in `error` when the file cannot be read, has another size or a
// wrong check sum.
bool LoadMeterImageFile(const std::string& path, MeterImage& image, std::string& error);
// Writes `image` with a fresh check sum (for tests and tools).
bool SaveMeterImageFile(const std::string& path, MeterImage image);

}  // namespace nord5::sim
