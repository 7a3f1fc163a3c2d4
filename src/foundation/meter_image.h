// The meter image: a byte-exact copy of the meter's configuration block (1000h-10FFh) and
// calibration block (FC00h-FDE5h), with the firmware version in front and a CRC-16/MODBUS behind.
//
//   offset 0    4 bytes   firmware version, decimal number as uint32 (e.g. 17042702)
//   offset 4    256 bytes configuration block ("Cfg n" = image offset 4 + n)
//   offset 260  486 bytes calibration block   ("Coef n" = image offset 260 + n)
//   offset 746  2 bytes   CRC-16/MODBUS of bytes 0..745, low byte first
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "foundation/vocabulary.h"

namespace nord5 {

class Dialogs;

inline constexpr std::size_t kImageSize = 748;
inline constexpr std::size_t kCfgOffset = 4;
inline constexpr std::size_t kCfgSize = 256;
inline constexpr std::size_t kCoefOffset = 260;
inline constexpr std::size_t kCoefSize = 486;
inline constexpr std::size_t kImageCrcOffset = 746;
inline constexpr std::uint32_t kCfgAddress = 0x1000;
inline constexpr std::uint32_t kCoefAddress = 0xFC00;

// Firmware versions the program compares against (always unsigned).
inline constexpr std::uint32_t kFirmwareAdvancedDisplay = 16010526;  // qp, energy unit, grid: above
inline constexpr std::uint32_t kFirmwareNewCoefLayout = 16051017;    // new layout from here on
inline constexpr std::uint32_t kFirmware17041901 = 17041901;
inline constexpr std::uint32_t kFirmware17042702 = 17042702;

struct MeterImage {
  std::array<std::uint8_t, kImageSize> bytes{};

  template <typename T>
  T Get(std::size_t offset) const {
    static_assert(std::is_trivially_copyable_v<T>);
    T v{};
    if (offset + sizeof(T) <= kImageSize) std::memcpy(&v, bytes.data() + offset, sizeof(T));
    return v;
  }
  template <typename T>
  void Set(std::size_t offset, T v) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (offset + sizeof(T) <= kImageSize) std::memcpy(bytes.data() + offset, &v, sizeof(T));
  }
  // Field access by block offset (Cfg n, Coef n).
  template <typename T>
  T Cfg(std::size_t n) const { return Get<T>(kCfgOffset + n); }
  template <typename T>
  void SetCfg(std::size_t n, T v) { Set<T>(kCfgOffset + n, v); }
  template <typename T>
  T Coef(std::size_t n) const { return Get<T>(kCoefOffset + n); }
  template <typename T>
  void SetCoef(std::size_t n, T v) { Set<T>(kCoefOffset + n, v); }

  std::uint32_t FirmwareVersion() const { return Get<std::uint32_t>(0); }
  void SetFirmwareVersion(std::uint32_t v) { Set<std::uint32_t>(0, v); }
  bool NewCoefLayout() const { return FirmwareVersion() >= kFirmwareNewCoefLayout; }

  std::uint8_t* CfgBlock() { return bytes.data() + kCfgOffset; }
  const std::uint8_t* CfgBlock() const { return bytes.data() + kCfgOffset; }
  std::uint8_t* CoefBlock() { return bytes.data() + kCoefOffset; }
  const std::uint8_t* CoefBlock() const { return bytes.data() + kCoefOffset; }

  friend bool operator==(const MeterImage&, const MeterImage&) = default;
};
static_assert(sizeof(MeterImage) == kImageSize);

// The program-wide current image and scratch buffer.
MeterImage& CurrentImage();

inline constexpr std::size_t kScratchSize = 48;
std::array<std::uint8_t, kScratchSize>& ScratchBuffer();
// The first 32-bit word of the scratch buffer: the operations' work value.
std::uint32_t WorkValue();
void SetWorkValue(std::uint32_t v);

// Where a region's bytes live.
enum class RegionTarget : std::uint8_t { Image = 0, Scratch = 1 };

struct MemoryRegion {
  TMTR07_Commands Start_Command;
  std::uint32_t StartMemory;
  std::uint32_t MemorySize;
  RegionTarget Target;
  std::uint32_t TargetOffset;  // image offset, or scratch buffer offset
};

inline constexpr int kRegionCount = 46;
// Row numbers the operations use.
inline constexpr int kRegionConfig = 0;          // 1000h, 256 bytes
inline constexpr int kRegionCoef = 1;            // FC00h, 486 bytes
inline constexpr int kRegionUserConfig1 = 8;     // rows 8..19: the user configuration chain
inline constexpr int kRegionUserConfig12 = 19;
inline constexpr int kRegionUserMenu = 20;       // 10C0h, 2 bytes
inline constexpr int kRegionManufacturerJumper = 40;  // mode byte 10033h
inline constexpr int kRegionCredits = 42;        // 1001Dh, 8 bytes into scratch+4
inline constexpr int kRegionChangeMode = 43;     // 10058h

const std::array<MemoryRegion, kRegionCount>& Regions();
const MemoryRegion& Region(int row);
// The buffer of a region inside the current image or the scratch buffer.
std::uint8_t* MemPointer(const MemoryRegion& region);

// Check sums kept inside the image. Each computes its value, shows its message through `dialogs`
// when `report` is true and the stored value differs, always stores the computed value, and
// returns whether it differed.
bool CheckTemperatureCrc(MeterImage& image, bool report, Dialogs* dialogs);
bool CheckConstantsCrc(MeterImage& image, bool report, Dialogs* dialogs);
bool CheckFlowCrc(MeterImage& image, bool report, Dialogs* dialogs);
// All three with report false (before a write, after a file load).
void RefreshInnerCrcs(MeterImage& image);

// CRC-16/MODBUS over image bytes 0..745.
std::uint16_t ImageCrc(const MeterImage& image);

}  // namespace nord5
