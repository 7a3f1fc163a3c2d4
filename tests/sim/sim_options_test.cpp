// The command line of nord5-meter-sim.
#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace nord5::sim {
namespace {

SimProgramOptions Parse(const std::vector<std::string>& args) {
  SimProgramOptions o;
  std::string error;
  EXPECT_TRUE(ParseSimArguments(args, o, error)) << error;
  return o;
}

TEST(SimOptions, DefaultsAndEveryOption) {
  const SimProgramOptions d = Parse({});
  EXPECT_EQ(d.meter.firmware, 17042702u);
  EXPECT_EQ(d.meter.mode, 0x22);
  EXPECT_FALSE(d.meter.id || d.meter.address || d.meter.image);

  const SimProgramOptions o =
      Parse({"--firmware", "16051017", "--mode", "test-no-change", "--id", "00001234",
             "--address", "250", "--echo", "--chunks", "4", "--baud-timing", "--drop-every", "5",
             "--corrupt-every", "7", "--mute", "--ack-data", "--link", "/tmp/x", "--trace"});
  EXPECT_EQ(o.meter.firmware, 16051017u);
  EXPECT_EQ(o.meter.mode, 0x40);
  EXPECT_EQ(o.meter.id, 0x1234u);
  EXPECT_EQ(o.meter.address, 250);
  EXPECT_TRUE(o.meter.echo && o.meter.baud_timing && o.meter.mute && o.meter.ack_data && o.trace);
  EXPECT_EQ(o.meter.chunks, 4);
  EXPECT_EQ(o.meter.drop_every, 5);
  EXPECT_EQ(o.meter.corrupt_every, 7);
  EXPECT_EQ(o.link, "/tmp/x");
  EXPECT_EQ(Parse({"--mode", "user"}).meter.mode, 0x00);
  EXPECT_EQ(Parse({"--mode", "test"}).meter.mode, 0x04);
}

TEST(SimOptions, BadInputIsAnErrorNamingTheOption) {
  const std::vector<std::vector<std::string>> bad = {
      {"--mode", "admin"}, {"--id", "123456789"}, {"--id", "12G4"},   {"--address", "251"},
      {"--address", "-1"}, {"--chunks", "0"},     {"--firmware", "x"}, {"--firmware"},
      {"--bogus"},         {"--image", "/nonexistent/file.meterConfig"}};
  for (const auto& args : bad) {
    SimProgramOptions o;
    std::string error;
    EXPECT_FALSE(ParseSimArguments(args, o, error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimOptions, ImageFileGivesMemoryAndFirmwareUnlessFirmwareIsGiven) {
  const std::string path = ::testing::TempDir() + "sim_options_image.meterConfig";
  MeterImage image = DefaultMeterImage(16051017);
  image.SetCfg<std::uint8_t>(kCfgPrimaryAddress, 42);
  ASSERT_TRUE(SaveMeterImageFile(path, image));
  SimProgramOptions o = Parse({"--image", path});
  ASSERT_TRUE(o.meter.image.has_value());
  EXPECT_EQ(o.meter.firmware, 16051017u);
  EXPECT_EQ(o.meter.image->Cfg<std::uint8_t>(kCfgPrimaryAddress), 42);
  EXPECT_EQ(Parse({"--firmware", "17042702", "--image", path}).meter.firmware, 17042702u);

  // One byte changed: the file's check sum no longer fits.
  {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(100);
    f.put('\x55');
  }
  std::string error;
  EXPECT_FALSE(ParseSimArguments({"--image", path}, o, error));
  EXPECT_NE(error.find("check sum"), std::string::npos) << error;
  std::remove(path.c_str());
}

}  // namespace
}  // namespace nord5::sim
