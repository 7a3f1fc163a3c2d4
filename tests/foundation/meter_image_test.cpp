#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/crc.h"
#include "foundation/dialogs.h"
#include "foundation/meter_image.h"

namespace nord5 {
namespace {

std::uint16_t Mcrf4xx(const std::uint8_t* p, std::size_t n) {
  std::uint32_t total = 0;
  return Crc16Update(0xFFFF, p, n, total);
}

TEST(Crc, KnownCheckValues) {
  const std::string check = "123456789";
  const auto* p = reinterpret_cast<const std::uint8_t*>(check.data());
  EXPECT_EQ(Crc16Modbus(p, check.size()), 0x4B37);
  EXPECT_EQ(Mcrf4xx(p, check.size()), 0x6F91);  // CRC-16/MCRF4XX check value
  EXPECT_EQ(Crc16TableEntry(1), 0x1189);
  EXPECT_EQ(Crc16TableEntry(128), 0x8408);
  std::uint32_t total = 5;
  Crc16Update(0xFFFF, p, 4, total);
  EXPECT_EQ(total, 9u);  // the running byte count grows by the bytes fed
}

TEST(Regions, TableRowsTheOperationsUse) {
  struct Case { int row; TMTR07_Commands tag; std::uint32_t addr, len; RegionTarget target; std::uint32_t off; };
  const Case cases[] = {
      {0, TMTR07_Commands::_mtr07_R1_max, 0x1000, 256, RegionTarget::Image, 4},
      {1, TMTR07_Commands::_mtr07_Qx, 0xFC00, 486, RegionTarget::Image, 260},
      {8, TMTR07_Commands::_mtr07_UserConfig1, 0x10B8, 2, RegionTarget::Image, 188},
      {18, TMTR07_Commands::_mtr07_UserConfig11, 0x10BE, 4, RegionTarget::Image, 194},
      {19, TMTR07_Commands::_mtr07_UserConfig12, 0x1084, 2, RegionTarget::Image, 136},
      {20, TMTR07_Commands::_mtr07_UserMeniu, 0x10C0, 2, RegionTarget::Image, 196},
      {40, TMTR07_Commands::_mtrManufacturerJumper, 0x10033, 1, RegionTarget::Scratch, 0},
      {42, TMTR07_Commands::_mtrGetCredits, 0x1001D, 8, RegionTarget::Scratch, 4},
      {43, TMTR07_Commands::_mtrChangeMode, 0x10058, 1, RegionTarget::Scratch, 0},
      {45, TMTR07_Commands::_mtrChangeFabricationNumber, 0x10DC, 4, RegionTarget::Image, 224},
  };
  ASSERT_EQ(Regions().size(), 46u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    const MemoryRegion& r = Region(c.row);
    EXPECT_EQ(r.Start_Command, c.tag);
    EXPECT_EQ(r.StartMemory, c.addr);
    EXPECT_EQ(r.MemorySize, c.len);
    EXPECT_EQ(r.Target, c.target);
    EXPECT_EQ(r.TargetOffset, c.off);
  }
  // Every image region lies where its device address says: image offset = 4 + (address - 1000h).
  for (const auto& r : Regions()) {
    if (r.Target == RegionTarget::Image && r.StartMemory >= 0x1000 && r.StartMemory < 0x1100) {
      EXPECT_EQ(r.TargetOffset, 4 + (r.StartMemory - 0x1000)) << std::hex << r.StartMemory;
    }
  }
  // The user-configuration chain is rows 8..19, tagged in order.
  for (int row = kRegionUserConfig1; row <= kRegionUserConfig12; ++row)
    EXPECT_EQ(Ord(Region(row).Start_Command), 33 + (row - kRegionUserConfig1));
  EXPECT_EQ(MemPointer(Region(1)), CurrentImage().bytes.data() + 260);
  EXPECT_EQ(MemPointer(Region(42)), ScratchBuffer().data() + 4);
}

TEST(MeterImage, LittleEndianFieldAccessAndWorkValue) {
  MeterImage img;
  img.SetCfg<std::uint32_t>(220, 0x12345678);
  EXPECT_EQ(img.bytes[4 + 220], 0x78);
  EXPECT_EQ(img.bytes[4 + 223], 0x12);
  img.SetCoef<float>(0, 1.5f);
  EXPECT_FLOAT_EQ(img.Coef<float>(0), 1.5f);
  img.Set<std::uint32_t>(746, 0xFFFFFFFF);  // would run past the image: ignored
  EXPECT_EQ(img.bytes[746], 0);
  SetWorkValue(0xA1B2C3D4);
  EXPECT_EQ(ScratchBuffer()[0], 0xD4);
  EXPECT_EQ(WorkValue(), 0xA1B2C3D4u);
}

TEST(MeterImage, ConstantsCrcFeedsFabricationNumberMediumThenNominalFlow) {
  MeterImage img;
  img.SetCfg<std::uint32_t>(220, 0x12345678);
  img.SetCfg<std::uint8_t>(251, 0x06);
  img.SetCfg<std::uint8_t>(231, 0x02);
  const std::uint8_t meter_order[] = {0x78, 0x56, 0x34, 0x12, 0x06, 0x02};
  const std::uint8_t memory_order[] = {0x78, 0x56, 0x34, 0x12, 0x02, 0x06};
  CheckConstantsCrc(img, false, nullptr);
  EXPECT_EQ(img.Cfg<std::uint16_t>(128), Mcrf4xx(meter_order, 6));
  EXPECT_NE(img.Cfg<std::uint16_t>(128), Mcrf4xx(memory_order, 6));
}

TEST(MeterImage, FlowCrcLayoutFollowsFirmware) {
  struct Case { std::uint32_t firmware; std::size_t stored_at; std::size_t span; };
  const Case cases[] = {{16051016, 416, 416}, {16051017, 484, 484}, {0, 416, 416}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.firmware);
    MeterImage img;
    img.SetFirmwareVersion(c.firmware);
    for (std::size_t i = 0; i < 486; ++i) img.bytes[260 + i] = static_cast<std::uint8_t>(i * 7);
    MeterImage before = img;
    CheckFlowCrc(img, false, nullptr);
    EXPECT_EQ(img.Coef<std::uint16_t>(c.stored_at), Mcrf4xx(before.CoefBlock(), c.span));
    // Nothing but the two check sum bytes changed.
    for (std::size_t i = 0; i < 486; ++i) {
      if (i != c.stored_at && i != c.stored_at + 1) {
        EXPECT_EQ(img.bytes[260 + i], before.bytes[260 + i]);
      }
    }
  }
}

TEST(MeterImage, MismatchIsReportedOnlyWhenAskedAndAlwaysRepaired) {
  MeterImage img;
  img.SetCfg<float>(0, 100.0f);
  ScriptedDialogs dialogs;
  EXPECT_TRUE(CheckTemperatureCrc(img, false, &dialogs));
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_FALSE(CheckTemperatureCrc(img, true, &dialogs));  // repaired by the first call
  img.SetCfg<float>(0, 101.0f);
  EXPECT_TRUE(CheckTemperatureCrc(img, true, &dialogs));
  EXPECT_TRUE(CheckConstantsCrc(img, true, &dialogs));
  img.SetFirmwareVersion(16051016);
  img.SetCoef<float>(0, 3.0f);
  EXPECT_TRUE(CheckFlowCrc(img, true, &dialogs));
  EXPECT_EQ(dialogs.Texts(),
            (std::vector<std::string>{"Bad crc temper koef.", "Bad crc", "Bad crc flow koef."}));
  EXPECT_EQ(dialogs.shown[0].Icon, MsgIcon::Error);
}

TEST(MeterImage, ImageCrcCoversBytesUpTo745) {
  MeterImage img;
  for (std::size_t i = 0; i < kImageSize; ++i) img.bytes[i] = static_cast<std::uint8_t>(i);
  const std::uint16_t crc = ImageCrc(img);
  EXPECT_EQ(crc, Crc16Modbus(img.bytes.data(), 746));
  img.bytes[746] ^= 0xFF;
  EXPECT_EQ(ImageCrc(img), crc);
  img.bytes[745] ^= 0x01;
  EXPECT_NE(ImageCrc(img), crc);
}

}  // namespace
}  // namespace nord5
