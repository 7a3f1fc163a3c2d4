#include "foundation/meter_image.h"

#include "foundation/crc.h"
#include "foundation/dialogs.h"

namespace nord5 {
namespace {

using C = TMTR07_Commands;
constexpr RegionTarget I = RegionTarget::Image;
constexpr RegionTarget S = RegionTarget::Scratch;

// Rows in the order the operations name them; the target offset is an image offset (I) or a
// scratch buffer offset (S).
constexpr std::array<MemoryRegion, kRegionCount> kRegions{{
    {C::_mtr07_R1_max, 0x1000, 256, I, 4},
    {C::_mtr07_Qx, 0xFC00, 486, I, 260},
    {C::_mtr07_KEY_STAT_NEW_FLASH, 0x10FD, 1, I, 257},
    {C::_mtr07_MeterCFG, 0x106A, 1, I, 110},
    {C::_mtr07_MENU_MNF_MASK, 0x10A8, 16, I, 172},
    {C::_mtr07_MENU_USER_MASK, 0x10C0, 16, I, 196},
    {C::_mtr07_None, 0x10012, 2, S, 0},
    {C::_mtr07_None, 0x10FD, 1, S, 0},
    {C::_mtr07_UserConfig1, 0x10B8, 2, I, 188},
    {C::_mtr07_UserConfig2, 0x10E8, 4, I, 236},
    {C::_mtr07_UserConfig3, 0x10BA, 2, I, 190},
    {C::_mtr07_UserConfig4, 0x10EC, 4, I, 240},
    {C::_mtr07_UserConfig5, 0x10BC, 2, I, 192},
    {C::_mtr07_UserConfig6, 0x1092, 2, I, 150},
    {C::_mtr07_UserConfig7, 0x1090, 2, I, 148},
    {C::_mtr07_UserConfig8, 0x1086, 2, I, 138},
    {C::_mtr07_UserConfig9, 0x1088, 4, I, 140},
    {C::_mtr07_UserConfig10, 0x108C, 4, I, 144},
    {C::_mtr07_UserConfig11, 0x10BE, 4, I, 194},
    {C::_mtr07_UserConfig12, 0x1084, 2, I, 136},
    {C::_mtr07_UserMeniu, 0x10C0, 2, I, 196},
    {C::_mtr07_ManufacturePassword, 0x10055, 2, S, 0},
    {C::_mtr07_ManufacturePassword1, 0x1005A, 1, S, 0},
    {C::_mtr07_TestPassword, 0x10055, 2, S, 0},
    {C::_mtr07_TestPassword1, 0x10058, 1, S, 0},
    {C::_mtr07_TestPassword2, 0x1005B, 1, S, 0},
    {C::_mtr07_CheckManufacturePassword, 0x106B, 1, S, 0},
    {C::_mtr07_CheckTestPassword, 0x106B, 1, S, 0},
    {C::_mtr07_LockDevice, 0x10011, 1, S, 0},
    {C::_mtr07_RestartDevice, 0x10051, 1, S, 0},
    {C::_mtr07_GetFabNumber, 0x10DC, 4, I, 224},
    {C::_mtr07_AutoManufTestEnableCheck, 0x106B, 1, S, 0},
    {C::_mtr07_AutoManufTestEnable, 0x106B, 1, S, 0},
    {C::_mtr07_AutoWriteConfig, 0x1000, 256, I, 4},
    {C::_mtr07_AutoWriteKoef, 0xFC00, 486, I, 260},
    {C::_mtr07_AutoReadConfig, 0x1000, 256, I, 4},
    {C::_mtr07_AutoReadKoef, 0xFC00, 486, I, 260},
    {C::_mtr07_AutoLockDevice, 0x10011, 1, S, 0},
    {C::_mtr07_AutoRestartDevice, 0x10051, 1, S, 0},
    {C::_mtr07_AutoRestartWithoutRestart, 0x10033, 1, S, 0},
    {C::_mtrManufacturerJumper, 0x10033, 1, S, 0},
    {C::_mtrProgramJumper, 0x1005D, 1, S, 0},
    {C::_mtrGetCredits, 0x1001D, 8, S, 4},
    {C::_mtrChangeMode, 0x10058, 1, S, 0},
    {C::_mtrChangeCRC, 0x1080, 2, I, 132},
    {C::_mtrChangeFabricationNumber, 0x10DC, 4, I, 224},
}};

// Every region's bytes stay inside its buffer.
constexpr bool RegionsFit() {
  for (const auto& r : kRegions) {
    const std::size_t limit = r.Target == I ? kImageSize : kScratchSize;
    if (r.TargetOffset + r.MemorySize > limit) return false;
  }
  return true;
}
static_assert(RegionsFit());

struct Span {
  std::size_t offset;  // image offset
  std::size_t length;
};

// CRC-16/MCRF4XX over the spans in order, with one pad byte FFh when the byte count is odd.
std::uint16_t SpanCrc(const MeterImage& image, std::initializer_list<Span> spans) {
  std::uint16_t crc = 0xFFFF;
  std::uint32_t total = 0;
  for (const Span& s : spans) crc = Crc16Update(crc, image.bytes.data() + s.offset, s.length, total);
  if (total % 2 != 0) {
    const std::uint8_t pad = 0xFF;
    crc = Crc16Update(crc, &pad, 1, total);
  }
  return crc;
}

bool StoreCrc(MeterImage& image, std::size_t at, std::uint16_t crc, bool report, Dialogs* dialogs,
              const char* message) {
  const bool mismatch = image.Get<std::uint16_t>(at) != crc;
  if (report && mismatch && dialogs) dialogs->Error(message);
  image.Set<std::uint16_t>(at, crc);
  return mismatch;
}

}  // namespace

MeterImage& CurrentImage() {
  static MeterImage image;
  return image;
}

std::array<std::uint8_t, kScratchSize>& ScratchBuffer() {
  static std::array<std::uint8_t, kScratchSize> scratch{};
  return scratch;
}

std::uint32_t WorkValue() {
  const auto& s = ScratchBuffer();
  return static_cast<std::uint32_t>(s[0]) | static_cast<std::uint32_t>(s[1]) << 8 |
         static_cast<std::uint32_t>(s[2]) << 16 | static_cast<std::uint32_t>(s[3]) << 24;
}

void SetWorkValue(std::uint32_t v) {
  auto& s = ScratchBuffer();
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

const std::array<MemoryRegion, kRegionCount>& Regions() { return kRegions; }

const MemoryRegion& Region(int row) {
  if (row < 0 || row >= kRegionCount) row = 0;
  return kRegions[static_cast<std::size_t>(row)];
}

std::uint8_t* MemPointer(const MemoryRegion& region) {
  if (region.Target == RegionTarget::Scratch) return ScratchBuffer().data() + region.TargetOffset;
  return CurrentImage().bytes.data() + region.TargetOffset;
}

bool CheckTemperatureCrc(MeterImage& image, bool report, Dialogs* dialogs) {
  const std::uint16_t crc = SpanCrc(image, {{kCfgOffset + 0, 86}});
  return StoreCrc(image, kCfgOffset + 86, crc, report, dialogs, "Bad crc temper koef.");
}

bool CheckConstantsCrc(MeterImage& image, bool report, Dialogs* dialogs) {
  // Fabrication number, medium, nominal flow: not their memory order, but the meter's.
  const std::uint16_t crc =
      SpanCrc(image, {{kCfgOffset + 220, 4}, {kCfgOffset + 251, 1}, {kCfgOffset + 231, 1}});
  return StoreCrc(image, kCfgOffset + 128, crc, report, dialogs, "Bad crc");
}

bool CheckFlowCrc(MeterImage& image, bool report, Dialogs* dialogs) {
  if (image.NewCoefLayout()) {
    const std::uint16_t crc = SpanCrc(image, {{kCoefOffset + 0, 414}, {kCoefOffset + 414, 70}});
    return StoreCrc(image, kCoefOffset + 484, crc, report, dialogs, "Bad crc");
  }
  const std::uint16_t crc = SpanCrc(image, {{kCoefOffset + 0, 414}, {kCoefOffset + 414, 2}});
  return StoreCrc(image, kCoefOffset + 416, crc, report, dialogs, "Bad crc flow koef.");
}

void RefreshInnerCrcs(MeterImage& image) {
  CheckTemperatureCrc(image, false, nullptr);
  CheckConstantsCrc(image, false, nullptr);
  CheckFlowCrc(image, false, nullptr);
}

std::uint16_t ImageCrc(const MeterImage& image) {
  return Crc16Modbus(image.bytes.data(), kImageCrcOffset);
}

}  // namespace nord5
