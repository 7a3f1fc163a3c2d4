#include "files/config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../model/fixture.h"
#include "foundation/crc.h"
#include "foundation/settings.h"
#include "model/form_layout.h"

namespace nord5 {
namespace {

namespace fs = std::filesystem;
using testing::FormFixture;
using testing::SampleImage;

class ConfigFileTest : public FormFixture {
 protected:
  ConfigFileTest() {
    dir = fs::path(::testing::TempDir()) / ("nord5_cfg_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    SetSettingsFileForTesting((dir / "settings.ini").string());
  }
  ~ConfigFileTest() override {
    SetSettingsFileForTesting("");
    fs::remove_all(dir);
  }
  std::string Path(const char* name) { return (dir / name).string(); }
  static void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::uint8_t> Saved() {
    const std::string p = Path("saved.meterConfig");
    EXPECT_TRUE(SaveConfigurationFile(ctx, p));
    return ReadBytes(p);
  }
  fs::path dir;
};

// Everything a view shows, control by control.
std::vector<std::string> ViewOf(const MemoryForm& f) {
  std::vector<std::string> out;
  for (const auto& s : ParameterControls()) {
    const auto& c = f.Get(s.name);
    std::string v = s.name + "=" + c.text + "|" + (c.checked ? "1" : "0") + "|" +
                    std::to_string(c.index);
    for (const auto& cell : c.cells) v += "|" + cell;
    out.push_back(v);
  }
  return out;
}

TEST_F(ConfigFileTest, ASavedFileLoadsBackIntoAnIdenticalView) {
  ctx.advanced = true;
  ShowAsRead(SampleImage());
  form.UserSelect("comboBoxQP", 4);  // an edit that only the grid holds
  const std::string path = Path("a.meterConfig");
  ASSERT_TRUE(SaveConfigurationFile(ctx, path));
  const auto bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), kImageSize);
  const std::uint16_t crc = Crc16Modbus(bytes.data(), 746);
  EXPECT_EQ(bytes[746], crc & 0xFF);
  EXPECT_EQ(bytes[747], crc >> 8);
  ASSERT_TRUE(ShowMeterImage(ctx, image));  // what the saving window shows after its own store

  MemoryForm other_form;
  AddParameterControls(other_form);
  MeterImage other_image;
  ExchangeState other_state;
  ParameterContext other{other_form, other_image, dialogs, other_state, true};
  InstallParameterHandlers(other);
  ClearParameterDisplay(other);
  ASSERT_TRUE(LoadConfigurationFile(other, path, other_image));
  EXPECT_TRUE(other_state.NoConfiguration);
  MeterImage expected = image;
  RefreshInnerCrcs(expected);  // a load refreshes the inner check sums, a save does not
  EXPECT_EQ(other_image, expected);
  EXPECT_EQ(ViewOf(other_form), ViewOf(form));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ConfigFileTest, RefusedFilesLeaveViewAndImageUnchanged) {
  image = SampleImage();
  auto good = Saved();
  auto flipped = [&](std::size_t at, std::uint8_t bit) {
    auto b = good;
    b[at] ^= bit;
    return b;
  };
  auto shorter = good;
  shorter.pop_back();
  auto longer = good;
  longer.push_back(0);
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* message;
  } cases[] = {
      {"747 bytes", shorter, "Wrong file length"},
      {"749 bytes", longer, "Wrong file length"},
      {"empty", {}, "Wrong file length"},
      {"firmware bit", flipped(0, 0x01), "Bad file CRC"},
      {"coefficient bit", flipped(500, 0x80), "Bad file CRC"},
      {"inner check sum", flipped(4 + 86, 0x04), "Bad file CRC"},
      {"outer check value", flipped(747, 0x10), "Bad file CRC"},
  };
  const MeterImage working{};
  for (const auto& c : cases) {
    dialogs.shown.clear();
    const std::string path = Path("refused.meterConfig");
    WriteBytes(path, c.bytes);
    MeterImage target = working;
    EXPECT_FALSE(LoadConfigurationFile(ctx, path, target)) << c.name;
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(target, working) << c.name;
    EXPECT_FALSE(state.NoConfiguration) << c.name;
    EXPECT_EQ(form.Text("textBoxQf"), "XXXXXX") << c.name;
  }
  // A missing file, and what is no file at all: never opened, so a FIFO cannot block the load.
  ASSERT_EQ(::mkfifo(Path("fifo.meterConfig").c_str(), 0600), 0);
  fs::create_directory(Path("folder.meterConfig"));
  for (const std::string& path : {Path("missing.meterConfig"), Path("fifo.meterConfig"),
                                  Path("folder.meterConfig"), std::string("/dev/zero")}) {
    dialogs.shown.clear();
    MeterImage target;
    EXPECT_FALSE(LoadConfigurationFile(ctx, path, target)) << path;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Wrong file length"}) << path;
  }
}

TEST_F(ConfigFileTest, AReadOnlyFileLoads) {
  image = SampleImage();
  const auto bytes = Saved();
  const std::string path = Path("ro.meterConfig");
  WriteBytes(path, bytes);
  ::chmod(path.c_str(), 0444);
  MeterImage target;
  EXPECT_TRUE(LoadConfigurationFile(ctx, path, target));
  EXPECT_EQ(target, image);
}

TEST_F(ConfigFileTest, LoadRefreshesStaleInnerCheckSums) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint16_t>(86, 0x1111);  // stale temperature check sum, valid outer value
  m.Set<std::uint16_t>(kImageCrcOffset, ImageCrc(m));
  WriteBytes(Path("stale.meterConfig"), {m.bytes.begin(), m.bytes.end()});
  MeterImage target;
  ASSERT_TRUE(LoadConfigurationFile(ctx, Path("stale.meterConfig"), target));
  EXPECT_EQ(target.Cfg<std::uint16_t>(86), SampleImage().Cfg<std::uint16_t>(86));
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ConfigFileTest, ASaveThatCannotWriteSaysSoAndKeepsTheOldFile) {
  image = SampleImage();
  const std::string nowhere = Path("no/such/folder/x.meterConfig");
  EXPECT_FALSE(SaveConfigurationFile(ctx, nowhere));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(nowhere), std::string::npos) << Messages()[0];

  // A folder in the way of the file: nothing replaces it.
  dialogs.shown.clear();
  const std::string blocked = Path("blocked.meterConfig");
  fs::create_directory(blocked);
  WriteBytes(blocked + "/inside", {1, 2, 3});
  EXPECT_FALSE(SaveConfigurationFile(ctx, blocked));
  EXPECT_EQ(ReadBytes(blocked + "/inside"), (std::vector<std::uint8_t>{1, 2, 3}));
  for (const auto& e : fs::directory_iterator(dir))
    EXPECT_EQ(e.path().string().find(".XXXXXX"), std::string::npos) << "no temporary left";
}

TEST_F(ConfigFileTest, SaveActionAsksBeforeOverwriting) {
  ShowAsRead(SampleImage());
  const std::string path = Path("exists.meterConfig");
  WriteBytes(path, {9, 9, 9});
  dialogs.QueueFile(path);
  dialogs.QueueAnswer(MsgResult::No);
  EXPECT_FALSE(SaveConfigurationAction(ctx));
  EXPECT_EQ(ReadBytes(path), (std::vector<std::uint8_t>{9, 9, 9}));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0], "File name exists.\r\"" + path + "\"\r rewrite?");

  dialogs.QueueFile(path);
  dialogs.QueueAnswer(MsgResult::Yes);
  EXPECT_TRUE(SaveConfigurationAction(ctx));
  EXPECT_EQ(ReadBytes(path).size(), kImageSize);
  EXPECT_EQ(dialogs.file_requests.back().Title, "Save configuration file");
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "ConfigFilePath", "").Text(), dir.string() + "/");
}

TEST_F(ConfigFileTest, SaveActionWritesNothingAfterBadParameters) {
  ShowAsRead(SampleImage());
  form.SetText("textBoxR2hi", "XXXXXX");
  dialogs.QueueFile(Path("bad.meterConfig"));
  EXPECT_FALSE(SaveConfigurationAction(ctx));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
  EXPECT_FALSE(fs::exists(Path("bad.meterConfig")));
}

TEST_F(ConfigFileTest, LoadActionRemembersTheFolderEvenAfterARefusal) {
  WriteBytes(Path("short.meterConfig"), {1, 2});
  dialogs.QueueFile(Path("short.meterConfig"));
  EXPECT_FALSE(LoadConfigurationAction(ctx));
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "ConfigFilePath", "").Text(), dir.string() + "/");
  EXPECT_EQ(dialogs.file_requests.back().Title, "Load configuration file");
  EXPECT_EQ(dialogs.file_requests.back().DefaultExt, "meterConfig");
  EXPECT_FALSE(LoadConfigurationAction(ctx)) << "cancelled";
}

TEST_F(ConfigFileTest, ProductionOptionsAppliedByAnAdvancedSave) {
  const struct {
    const char* name;
    bool impuls, lcd_mask, battery_error, reverse;
    int measuring, life;
    std::uint8_t meter_cfg;  // from 0x08 (measuring mode 1) and bit 1 clear
    std::uint16_t mnf_word;  // from 0x0000
    std::uint8_t cfg108;
    std::uint32_t life_seconds;
    std::uint16_t energy;
  } cases[] = {
      {"all on", true, true, true, true, 2, 2, 0x1A, 0x0105, 0x01, 504576000, 486},
      {"all off", false, false, false, false, 0, 0, 0x00, 0x0000, 0x00, 346896000, 482},
      {"from TOFF", false, false, false, false, 1, 1, 0x10, 0x0000, 0x00, 473040000, 482},
  };
  for (const auto& c : cases) {
    MeterImage m = SampleImage();
    m.SetCfg<std::uint8_t>(106, 0x08);
    m.SetCfg<std::uint16_t>(168, 0);
    m.SetCfg<std::uint8_t>(108, 0xFE);
    form.SetChecked("cbImpuls_outpts_On_Off", c.impuls);
    form.SetChecked("cbLCDmask", c.lcd_mask);
    form.SetChecked("cbBatteryErrorOff", c.battery_error);
    form.SetChecked("cbReverseMeasuring", c.reverse);
    form.SetItemIndex("cbMeasuringTemperatures", c.measuring);
    form.SetItemIndex("cbBatteryLifeTime", c.life);
    ApplyProductionOptions(form, m);
    EXPECT_EQ(m.Cfg<std::uint8_t>(106), c.meter_cfg) << c.name;
    EXPECT_EQ(m.Cfg<std::uint16_t>(168), c.mnf_word) << c.name;
    EXPECT_EQ(m.Cfg<std::uint8_t>(108), 0xFE | c.cfg108) << c.name;
    EXPECT_EQ(m.Cfg<std::uint32_t>(208), c.life_seconds) << c.name;
    EXPECT_EQ(m.Cfg<std::uint16_t>(84), c.energy) << c.name;
  }
}

}  // namespace
}  // namespace nord5
