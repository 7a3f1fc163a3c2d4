#include "transport/port_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "foundation/settings.h"
#include "temp_dir.h"
#include "transport/virtual_ports.h"

namespace nord5 {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

std::string Stored(std::string_view key) {
  return SettingsValue(SettingsMode::Read, key, "<missing>", kComSettings).Text();
}

class PortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSettingsFileForTesting(dir / "settings.ini");
    where.SysTtyRoot = dir / "sys/class/tty";
    where.DevFolder = "/dev/";
    where.VirtualFolder = dir / "ports";
    fs::create_directories(where.SysTtyRoot);
    fs::create_directories(where.VirtualFolder);
    fs::create_directories(dir / "sys/devices/x");
  }
  void TearDown() override { SetSettingsFileForTesting(""); }

  // A tty folder in the fake sysfs; with a device link when it belongs to hardware.
  void AddTty(const std::string& name, bool device, std::optional<int> uart_type = {}) {
    const fs::path tty = fs::path(where.SysTtyRoot) / name;
    fs::create_directories(tty);
    if (device) fs::create_directory_symlink(dir / "sys/devices/x", tty / "device");
    if (uart_type) std::ofstream(tty / "type") << *uart_type << "\n";
  }
  void WriteSettings(const std::string& text) { std::ofstream(dir / "settings.ini") << text; }

  test::TempDir dir;
  PortDiscovery where;
};

TEST_F(PortListTest, ListsKernelPortsWithADeviceSortedAsText) {
  AddTty("ttyS2", true, 4);
  AddTty("ttyS10", true, 4);
  AddTty("ttyUSB0", true);
  AddTty("ttyACM1", true);
  AddTty("tty0", false);  // a virtual console
  AddTty("console", false);
  AddTty("ttyS5", true, 0);  // a possible 8250 port without a UART behind it
  TPortList list(where);
  EXPECT_THAT(list.Names(),
              ElementsAre("/dev/ttyACM1", "/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB0"));
}

TEST_F(PortListTest, ExtraNamesJoinTheSortAndStayAcrossRefreshes) {
  TPortList list(where);
  for (const char* name : {"COM3", "COM10", "COM1", "Virtual meter", "COM1"})
    list.AddExtraPort(name);
  EXPECT_THAT(list.Names(), ElementsAre("COM1", "COM10", "COM3", "Virtual meter"));
  AddTty("ttyUSB0", true);
  list.FindPCPorts();
  EXPECT_THAT(list.Names(), ElementsAre("/dev/ttyUSB0", "COM1", "COM10", "COM3", "Virtual meter"));
  EXPECT_EQ(list.IndexOf("COM10"), 2);
  EXPECT_EQ(list.IndexOf("com10"), -1);
  list.RemoveExtraPort("COM10");
  EXPECT_FALSE(list.Contains("COM10"));
}

TEST_F(PortListTest, SortIgnoresCase) {
  EXPECT_TRUE(PortNameLess("com10", "COM2"));
  EXPECT_TRUE(PortNameLess("/dev/ttyS10", "/dev/ttys2"));
  EXPECT_FALSE(PortNameLess("COM2", "COM10"));
  EXPECT_NE(PortNameLess("COM1", "com1"), PortNameLess("com1", "COM1"));  // a fixed order
}

TEST_F(PortListTest, PublishedVirtualMetersAreListedByTheirLinkPath) {
  std::ofstream(dir / "pts-standin") << "";
  fs::create_symlink(dir / "pts-standin", dir / "ports/meter-1201");
  fs::create_symlink(dir / "gone", dir / "ports/meter-999");  // the meter has ended
  std::ofstream(dir / "ports/notes.txt") << "not a port";
  AddTty("ttyUSB0", true);

  TPortList list(where);
  EXPECT_THAT(list.Names(), ElementsAre("/dev/ttyUSB0", dir / "ports/meter-1201"));

  where.WithVirtualPorts = false;
  EXPECT_THAT(EnumerateSerialPorts(where), ElementsAre("/dev/ttyUSB0"));
}

TEST_F(PortListTest, MissingFoldersGiveAnEmptyList) {
  where.SysTtyRoot = dir / "nowhere";
  where.VirtualFolder = dir / "nowhere-either";
  TPortList list(where);
  EXPECT_EQ(list.Count(), 0u);
}

TEST(VirtualPorts, FolderFollowsTheRuntimeDirectoryThenTheTemporaryOne) {
  struct Env {
    const char* name;
    std::optional<std::string> saved;
  } env[] = {{"XDG_RUNTIME_DIR", {}}, {"TMPDIR", {}}};
  for (Env& e : env)
    if (const char* v = std::getenv(e.name)) e.saved = v;
  const std::string uid = std::to_string(::getuid());

  struct Case {
    const char* runtime;  // nullptr: unset
    const char* tmpdir;
    std::string expected;
  };
  const Case cases[] = {
      {"/run/user/1000", "/var/tmp", "/run/user/1000/nord5-ports/"},
      {"/run/user/1000/", nullptr, "/run/user/1000/nord5-ports/"},
      {"", "/var/tmp", "/var/tmp/nord5-ports-" + uid + "/"},
      {nullptr, nullptr, "/tmp/nord5-ports-" + uid + "/"},
  };
  for (const Case& c : cases) {
    c.runtime ? ::setenv("XDG_RUNTIME_DIR", c.runtime, 1) : ::unsetenv("XDG_RUNTIME_DIR");
    c.tmpdir ? ::setenv("TMPDIR", c.tmpdir, 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(VirtualPortsFolder(), c.expected);
  }
  for (Env& e : env) e.saved ? ::setenv(e.name, e.saved->c_str(), 1) : ::unsetenv(e.name);
}

TEST_F(PortListTest, FirstRunWritesTheDefaultsOfTheMBusLine) {
  {
    TPortList list(where);
    EXPECT_EQ(list.PortCong, DefaultPortCong());
    EXPECT_EQ(list.PortCong.FPort, "/dev/ttyS0");
    EXPECT_FALSE(list.PortCong.FDTR);
    EXPECT_TRUE(list.PortCong.FRTS);
    // Written while reading, before the list is destroyed.
    EXPECT_EQ(Stored("Port"), "/dev/ttyS0");
    EXPECT_EQ(Stored("BaudRate"), "3");
    EXPECT_EQ(Stored("Bits"), "3");
    EXPECT_EQ(Stored("StopBits"), "0");
    EXPECT_EQ(Stored("Parity"), "2");
    EXPECT_EQ(Stored("DTR"), "False");
    EXPECT_EQ(Stored("RTS"), "True");
  }
}

TEST_F(PortListTest, ReadsStoredSettingsAndFillsInMissingKeys) {
  WriteSettings(
      "[COMSettings]\nPort=/dev/ttyUSB0\nBaudRate=5\nParity=4\nDTR=True\nRTS=false\n"
      "Bits=abc\n");
  TPortList list(where);
  EXPECT_EQ(list.PortCong.FPort, "/dev/ttyUSB0");
  EXPECT_EQ(list.PortCong.FBaudRate, TBaudRate::br_9600);
  EXPECT_EQ(list.PortCong.FParity, TParity::pr_Space);
  EXPECT_TRUE(list.PortCong.FDTR);
  EXPECT_FALSE(list.PortCong.FRTS);
  EXPECT_EQ(list.PortCong.FBits, TBits::bt_8);  // not a number: the default stays
  EXPECT_EQ(Stored("StopBits"), "0");           // missing: written with the default
}

TEST_F(PortListTest, AnOrdinalOutsideTheEnumerationIsKeptAsStored) {
  WriteSettings("[COMSettings]\nBaudRate=42\n");
  TPortList list(where);
  EXPECT_EQ(static_cast<int>(list.PortCong.FBaudRate), 42);
}

TEST_F(PortListTest, DestroyingTheListStoresPortCong) {
  {
    TPortList list(where);
    list.PortCong.FPort = "/dev/ttyUSB3";
    list.PortCong.FStopBits = TStopBits::sb_2;
    list.PortCong.FDTR = true;
  }
  EXPECT_EQ(Stored("Port"), "/dev/ttyUSB3");
  EXPECT_EQ(Stored("StopBits"), "2");
  EXPECT_EQ(Stored("DTR"), "True");
  TPortList again(where);
  EXPECT_EQ(again.PortCong.FPort, "/dev/ttyUSB3");
}

}  // namespace
}  // namespace nord5
