#include "files/menu_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../model/fixture.h"
#include "foundation/settings.h"
#include "model/lcd_menu.h"

namespace nord5 {
namespace {

namespace fs = std::filesystem;
using testing::FormFixture;
using testing::SampleImage;

class MenuFileTest : public FormFixture {
 protected:
  MenuFileTest() {
    dir = fs::path(::testing::TempDir()) / ("nord5_menu_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = (dir / "m.meterMenu").string();
    SetSettingsFileForTesting((dir / "settings.ini").string());
    image = SampleImage();
  }
  ~MenuFileTest() override {
    SetSettingsFileForTesting("");
    fs::remove_all(dir);
  }
  void Write(const std::string& text) { std::ofstream(path) << text; }
  std::string Read() {
    std::stringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
  }
  void CheckOnly(std::initializer_list<const char*> names) {
    for (const auto& m : MenuItems()) form.SetChecked(m.Name(), false);
    for (const char* n : names) form.SetChecked(n, true);
  }
  int CheckedItems() {
    int n = 0;
    for (const auto& m : MenuItems()) n += form.Checked(m.Name());
    return n;
  }
  fs::path dir;
  std::string path;
};

TEST_F(MenuFileTest, OnlyTheSectionLineSwitchesEveryItemOn) {
  Write("[Menu]\n");
  CheckOnly({});
  ASSERT_TRUE(LoadMenuFile(form, image, path));
  EXPECT_EQ(CheckedItems(), kMenuItemCount);
  EXPECT_TRUE(form.Checked("cb1_16"));
  EXPECT_EQ(ReadMenuMask(image, kCfgMenuManufacturerMask), MenuMask{});
  const MenuMask user = ReadMenuMask(image, kCfgMenuUserMask);
  EXPECT_EQ(user, (MenuMask{0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(MenuFileTest, AMissingFileReadsAsAllKeysMissing) {
  CheckOnly({});
  EXPECT_TRUE(LoadMenuFile(form, image, (dir / "none.meterMenu").string()));
  EXPECT_EQ(CheckedItems(), kMenuItemCount);
}

// A FIFO, a device or a folder chosen as menu file is no readable file: it reads as all keys
// missing, at once, and is never replaced by a store.
TEST_F(MenuFileTest, FilesThatAreNoFilesReadAsMissingWithoutWaiting) {
  const std::string fifo = (dir / "fifo.meterMenu").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& p : {fifo, dir.string(), std::string("/dev/zero")}) {
    CheckOnly({});
    EXPECT_TRUE(LoadMenuFile(form, image, p)) << p;
    EXPECT_EQ(CheckedItems(), kMenuItemCount) << p;
  }
  EXPECT_FALSE(StoreMenuFile(form, fifo));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

// A section line cut off in the middle and NUL bytes: what follows them still loads, and storing
// over the file again and again never makes it grow.
TEST_F(MenuFileTest, DamagedLinesNeitherHideKeysNorGrow) {
  using namespace std::string_literals;
  std::ofstream(path, std::ios::binary)
      << "[Other\nnote=kept\n\0\0[Menu]\n1.2 Heating energy=False\0\n[Own]\nA=1\n"s;
  CheckOnly({});
  ASSERT_TRUE(LoadMenuFile(form, image, path));
  EXPECT_FALSE(form.Checked("checkBox1_2")) << "the key behind the NUL bytes was read";
  EXPECT_EQ(CheckedItems(), kMenuItemCount - 1);
  ASSERT_TRUE(StoreMenuFile(form, path));
  const std::string first = Read();
  EXPECT_EQ(first.find("[Other"), std::string::npos) << "the cut-off line is dropped";
  EXPECT_NE(first.find("note=kept"), std::string::npos);
  EXPECT_NE(first.find("[Own]\nA=1"), std::string::npos);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(StoreMenuFile(form, path));
  EXPECT_EQ(Read(), first);
}

TEST_F(MenuFileTest, StoreWritesEveryKeyAndLoadBuildsTheMask) {
  CheckOnly({"checkBox1_1", "checkBox1_2"});
  ASSERT_TRUE(StoreMenuFile(form, path));
  const std::string text = Read();
  EXPECT_NE(text.find("[Menu]"), std::string::npos);
  EXPECT_NE(text.find("\nMask=False"), std::string::npos);
  EXPECT_NE(text.find("\n1.1 Error code && Time=True"), std::string::npos);
  EXPECT_NE(text.find("\n1.2 Heating energy=True"), std::string::npos);
  EXPECT_NE(text.find("\n2.31 Dept 2 Month =False"), std::string::npos) << "written with its blank";
  std::size_t trues = 0, falses = 0;
  for (std::size_t p = 0; (p = text.find("=True", p)) != std::string::npos; ++p) ++trues;
  for (std::size_t p = 0; (p = text.find("=False", p)) != std::string::npos; ++p) ++falses;
  EXPECT_EQ(trues, 2u);
  EXPECT_EQ(falses, 79u) << "78 items and the mask";
  EXPECT_LT(text.find("Mask="), text.find("1.1 Error"));
  EXPECT_LT(text.find("3.21 Error"), text.find("3.22 Total"));

  CheckOnly({"checkBox3_5"});
  ASSERT_TRUE(LoadMenuFile(form, image, path));
  EXPECT_EQ(ReadMenuMask(image, kCfgMenuUserMask), (MenuMask{0x03}));
  EXPECT_FALSE(form.Checked("checkBox2_31")) << "the blank-ended key is found again";
}

TEST_F(MenuFileTest, StoringOverAFileKeepsItsOtherContent) {
  Write("[Other]\nkey=value\n\n[Menu]\nCustom=1\n2.31 Dept 2 Month=True\n");
  CheckOnly({});
  ASSERT_TRUE(StoreMenuFile(form, path));
  const std::string text = Read();
  EXPECT_NE(text.find("[Other]"), std::string::npos);
  EXPECT_NE(text.find("key=value"), std::string::npos);
  EXPECT_NE(text.find("Custom=1"), std::string::npos);
  EXPECT_EQ(text.find("2.31 Dept 2 Month=True"), std::string::npos) << "no second 2.31 key";

  // Stored over once more, the keys keep the order they are written in.
  ASSERT_TRUE(StoreMenuFile(form, path));
  std::vector<std::string> keys;
  std::istringstream lines(Read().substr(Read().find("[Menu]")));
  for (std::string line; std::getline(lines, line);)
    if (const auto eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
  std::vector<std::string> expected{"Custom", "Mask"};
  for (const auto& m : MenuItems()) expected.emplace_back(m.caption);
  EXPECT_EQ(keys, expected);
}

TEST_F(MenuFileTest, AMalformedValueStopsTheLoadAtItsKey) {
  Write("[Menu]\nMask=False\n1.1 Error code && Time=False\n1.3 Cooling energy=maybe\n"
        "1.4 Tariff 1=False\n");
  CheckOnly({"checkBox1_1", "checkBox1_4"});
  const MeterImage before = image;
  EXPECT_FALSE(LoadMenuFile(form, image, path));
  EXPECT_FALSE(form.Checked("checkBox1_1")) << "items before the bad key take their state";
  EXPECT_TRUE(form.Checked("checkBox1_2")) << "missing key: on";
  EXPECT_TRUE(form.Checked("checkBox1_4")) << "items after it are not touched";
  EXPECT_EQ(image, before) << "both masks stay";
}

TEST_F(MenuFileTest, ValuesInAnyCaseAndAsNumbers) {
  Write("[Menu]\n1.1 Error code && Time=false\n1.2 Heating energy=0\n1.3 Cooling energy=TRUE\n");
  ASSERT_TRUE(LoadMenuFile(form, image, path));
  EXPECT_FALSE(form.Checked("checkBox1_1"));
  EXPECT_FALSE(form.Checked("checkBox1_2"));
  EXPECT_TRUE(form.Checked("checkBox1_3"));
}

TEST_F(MenuFileTest, ActionsUseTheirDialogsAndRememberTheFolder) {
  Write("[Menu]\n");
  dialogs.QueueFile(path);
  dialogs.QueueAnswer(MsgResult::No);
  StoreMenuAction(form, dialogs);
  EXPECT_EQ(Read(), "[Menu]\n") << "No to the overwrite question";
  EXPECT_EQ(dialogs.file_requests.back().Title, "Store menu file");

  dialogs.QueueFile(path);
  LoadMenuAction(form, image, dialogs);
  EXPECT_EQ(dialogs.file_requests.back().Title, "Load menu file");
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "MenuFilePath", "").Text(), dir.string() + "/");
}

}  // namespace
}  // namespace nord5
