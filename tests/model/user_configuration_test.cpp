#include "model/user_configuration.h"

#include <cstdio>
#include <functional>

#include "fixture.h"
#include "foundation/settings.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

class UserConfigTest : public FormFixture {
 protected:
  UserConfigTest() { ShowAsRead(SampleImage()); }
  MeterImage StoredCopy() {
    EXPECT_TRUE(StoreUserConfiguration(ctx)) << ::testing::PrintToString(Messages());
    return image;
  }
};

TEST_F(UserConfigTest, ShowThenStoreKeepsEveryField) {
  const MeterImage before = image;
  const MeterImage after = StoredCopy();
  for (std::size_t cfg : {kCfgMBusCredits, kCfgTariffConfig, kCfgYearlyDay, kCfgMonthlyDay,
                          kCfgPioConfig, kCfgPio1Inc, kCfgPio2Inc, kCfgPulseWidth})
    EXPECT_EQ(after.Cfg<std::uint16_t>(cfg), before.Cfg<std::uint16_t>(cfg)) << "Cfg " << cfg;
  for (std::size_t cfg : {kCfgThreshold1, kCfgThreshold2, kCfgDeviceId, kCfgFabricationNumber,
                          kCfgPio1Vif, kCfgPio2Vif})
    EXPECT_EQ(after.Cfg<std::uint32_t>(cfg), before.Cfg<std::uint32_t>(cfg)) << "Cfg " << cfg;
  EXPECT_EQ(after.Cfg<std::uint8_t>(kCfgPrimaryAddress), 17);
}

TEST_F(UserConfigTest, TariffWord0245) {
  // Bits 0, 2, 6, 9: tariffs on, four-type layout type 2, trigger 1 power, trigger 2 flow.
  EXPECT_TRUE(form.Checked("checkBoxTarEn"));
  EXPECT_TRUE(form.Checked("radioButtonTar1_2"));
  EXPECT_FALSE(form.Checked("radioButtonTar1_1"));
  EXPECT_EQ(form.ItemIndex("comboBoxTriger1"), 0);
  EXPECT_EQ(form.ItemIndex("comboBoxTriger2"), 1);
  EXPECT_EQ(form.Text("textBoxThreshold1"), "12.500");
  EXPECT_EQ(form.ItemIndex("comboBoxTarSrc1"), 0);
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgTariffConfig), 0x0245);
}

TEST_F(UserConfigTest, TariffTypesOfBothLayouts) {
  const struct {
    std::uint16_t word;
    const char* type1;
    const char* type2;  // nullptr: the second group is not set by the show
  } cases[] = {
      {0x0004, "radioButtonTar1_1", nullptr},
      {0x0007, "radioButtonTar1_4", nullptr},
      {0x0001, "radioButtonTar1_6", "radioButtonTar2_1"},
      {0x0002, "radioButtonTar1_5", "radioButtonTar2_2"},
      {0x0003, "radioButtonTar1_6", "radioButtonTar2_2"},
  };
  for (const auto& c : cases) {
    MeterImage m = SampleImage();
    m.SetCfg<std::uint16_t>(kCfgTariffConfig, c.word);
    ShowAsRead(m);
    EXPECT_TRUE(form.Checked(c.type1)) << c.word;
    if (c.type2) {
      EXPECT_TRUE(form.Checked(c.type2)) << c.word;
    }
    EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgTariffConfig), c.word);
  }
}

TEST_F(UserConfigTest, HiddenSecondTariffTypeDoesNotChangeTheFourTypeLayout) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint16_t>(kCfgTariffConfig, 0x0002);  // leaves radioButtonTar2_2 checked
  ShowAsRead(m);
  form.UserClick("radioButtonTar1_1");
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgTariffConfig) & 7, 4) << "type 1, not type 3";
}

TEST_F(UserConfigTest, CounterCodesWithoutAnItemAreKept) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint16_t>(kCfgTariffConfig, 0x0245 | (5u << 10) | (1u << 13));
  ShowAsRead(m);
  EXPECT_EQ(form.ItemIndex("comboBoxTarSrc1"), -1);
  EXPECT_EQ(form.ItemIndex("comboBoxTarSrc2"), 1);
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgTariffConfig), 0x0245 | (5u << 10) | (1u << 13));
}

TEST_F(UserConfigTest, TimeIntervalTriggerShowsTheThresholdAsTimeWindow) {
  image.SetCfg<std::uint32_t>(kCfgThreshold1, 390u | (1320u << 16));
  form.UserSelect("comboBoxTriger1", kTriggerTimeInterval);
  EXPECT_EQ(form.Text("textBoxThreshold1"), "06:30-22:00");
  EXPECT_EQ(form.EditMask("textBoxThreshold1"), "!00:00-00:00;1;_");
  EXPECT_EQ(image.Cfg<std::uint32_t>(kCfgThreshold1), 390u | (1320u << 16)) << "image untouched";

  form.UserType("textBoxThreshold1", "07:00-21:30");
  EXPECT_EQ(StoredCopy().Cfg<std::uint32_t>(kCfgThreshold1), 420u | (1290u << 16));
  form.UserType("textBoxThreshold1", "  :  -  :  ");
  EXPECT_EQ(StoredCopy().Cfg<std::uint32_t>(kCfgThreshold1), 0u) << "stored as 0, no message";
  EXPECT_TRUE(dialogs.shown.empty());

  image.SetCfg<float>(kCfgThreshold1, 2.5f);
  form.UserSelect("comboBoxTriger1", 0);
  EXPECT_EQ(form.Text("textBoxThreshold1"), "2.500");
  EXPECT_EQ(form.EditMask("textBoxThreshold1"), "");
}

TEST_F(UserConfigTest, ReportingDays) {
  form.SetText("numericUpDown_yMonth", "12");
  form.SetText("numericUpDown_yDay", "31");
  form.SetText("numericUpDown_mDay", "15");
  const MeterImage m = StoredCopy();
  EXPECT_EQ(m.Cfg<std::uint8_t>(144), 0xFF);
  EXPECT_EQ(m.Cfg<std::uint8_t>(145), 0xFC);
  EXPECT_EQ(m.Cfg<std::uint16_t>(146), 0xFFEF);

  MeterImage odd = SampleImage();
  odd.SetCfg<std::uint16_t>(144, 0x0000);  // month and day far below the ranges
  odd.SetCfg<std::uint16_t>(146, 0xFFFF);  // day 31 + 0xE0 > 31: shown as 31
  ShowAsRead(odd);
  EXPECT_EQ(form.Text("numericUpDown_yMonth"), "1");
  EXPECT_EQ(form.Text("numericUpDown_yDay"), "1");
  EXPECT_EQ(form.Text("numericUpDown_mDay"), "31");
}

TEST_F(UserConfigTest, PulseWidthInTicks) {
  const struct {
    const char* text;
    std::uint16_t ticks;
  } cases[] = {{"1.000", 33}, {"0.0305", 1}, {"0", 0}, {"2000", 38}};  // 65574 ticks: the low 16 bits
  for (const auto& c : cases) {
    form.SetText("textBoxP1D", c.text);
    EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgPulseWidth), c.ticks) << c.text;
  }
}

TEST_F(UserConfigTest, UnreadableFieldsStopWithBadParameters) {
  const struct {
    const char* field;
    const char* text;
  } cases[] = {{"textBoxThreshold2", "XXXXXX"}, {"textBoxP1D", "1,5"},
               {"textActMBusAddr", "x"},       {"textActDeviceID", "12G4"},
               {"numericUpDown_mDay", ""}};
  for (const auto& c : cases) {
    ShowAsRead(SampleImage());
    dialogs.shown.clear();
    form.SetText(c.field, c.text);
    image.SetCfg<std::uint16_t>(kCfgMBusCredits, 0x1234);
    EXPECT_FALSE(StoreUserConfiguration(ctx)) << c.field;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"}) << c.field;
    EXPECT_EQ(image.Cfg<std::uint16_t>(kCfgMBusCredits), 0x1234) << "credits come last";
  }
}

TEST_F(UserConfigTest, IdentityFields) {
  EXPECT_EQ(form.Text("edManufactureNumber"), "0000ABCD");
  form.SetText("edManufactureNumber", "abcd1");
  form.SetText("textActDeviceID", "abcd");
  form.SetText("textActMBusAddr", "300");
  MeterImage m = StoredCopy();
  EXPECT_EQ(m.Cfg<std::uint32_t>(kCfgDeviceId), 0xABCDu);
  EXPECT_EQ(m.Cfg<std::uint8_t>(kCfgPrimaryAddress), 44) << "low 8 bits of 300";
  EXPECT_EQ(m.Cfg<std::uint32_t>(kCfgFabricationNumber), 0xABCDu) << "only in advanced mode";
  ctx.advanced = true;
  form.SetText("edManufactureNumber", "abcd");
  image.SetCfg<std::uint32_t>(kCfgFabricationNumber, 0);
  EXPECT_EQ(StoredCopy().Cfg<std::uint32_t>(kCfgFabricationNumber), 0xABCDu);
}

// Cfg 93 in manufacturer mode: the code shown by a read, the empty companion after a display
// reset and a field that holds no three letters leave the two bytes as they are; a typed code is
// stored.
TEST_F(UserConfigTest, ManufacturerCodeIsStoredOnlyWhenTyped) {
  const std::string settings = ::testing::TempDir() + "nord5_manufacturer_settings.ini";
  SetSettingsFileForTesting(settings);
  const struct {
    const char* name;
    std::uint16_t before;
    std::function<void(MemoryForm&)> act;
    std::uint16_t after;
  } cases[] = {
      {"shown by the read", 0x59B8, [](MemoryForm& f) { ShowManufacturerCode(f, "VMX"); }, 0x59B8},
      {"nothing shown since the reset", 0x59B8, [](MemoryForm& f) { ClearManufacturerCode(f); },
       0x59B8},
      {"shown, bit 15 set", 0xD9B8, [](MemoryForm& f) { ShowManufacturerCode(f, "VMX"); }, 0xD9B8},
      {"code 0 shown as @@@", 0x0000, [](MemoryForm& f) { ShowManufacturerCode(f, "@@@"); },
       0x0000},
      {"typed", 0x59B8, [](MemoryForm& f) { f.UserType("edManufacture1", "ZVQ"); }, 0x6AD1},
      {"typed after a show", 0x59B8,
       [](MemoryForm& f) {
         ShowManufacturerCode(f, "VMX");
         f.UserType("edManufacture1", "ZVQ");
       },
       0x6AD1},
      {"two letters typed", 0x59B8, [](MemoryForm& f) { f.UserType("edManufacture1", "ZV"); },
       0x59B8},
  };
  state.DeviceJumper = 0x22;
  for (const auto& c : cases) {
    ClearManufacturerCode(form);
    c.act(form);
    image.SetCfg<std::uint16_t>(kCfgManufacturerCode, c.before);
    EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgManufacturerCode), c.after) << c.name;
  }
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "edManufacture", "").Text(), "ZV")
      << "the last code typed";
  SetSettingsFileForTesting("");
  std::remove(settings.c_str());
}

TEST_F(UserConfigTest, ManufacturerCodeNeedsAShownConfigurationAndManufacturerMode) {
  form.SetText("edManufacture", "ZVQ");
  image.SetCfg<std::uint16_t>(kCfgManufacturerCode, 0);
  state.DeviceJumper = 0x04;  // test mode
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgManufacturerCode), 0);
  state.DeviceJumper = 0x20;
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgManufacturerCode), 0x6AD1);
}

TEST_F(UserConfigTest, CreditsSwitch) {
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgMBusCredits), 0xFFFF);
  form.UserClick("cbMBusCreditsOn");
  EXPECT_EQ(StoredCopy().Cfg<std::uint16_t>(kCfgMBusCredits), 6187);
}

// ---- pulse channels ----

TEST_F(UserConfigTest, PulseVifShowsListAndValue) {
  const struct {
    std::uint32_t vif;
    std::uint16_t inc;
    const char* item;
    const char* value;
  } cases[] = {
      {0x17, 1, "10 m3", "10"},
      {0x13, 250, "0.001 m3", "0.25"},
      {0x06, 1, "0.001 MWh", "0.001"},
      {0x00, 3, "0.001 Wh", "0.003"},
  };
  for (const auto& c : cases) {
    MeterImage m = SampleImage();
    m.SetCfg<std::uint32_t>(kCfgPio1Vif, c.vif);
    m.SetCfg<std::uint16_t>(kCfgPio1Inc, c.inc);
    ShowAsRead(m);
    EXPECT_EQ(form.Text("pio_vif1"), c.item) << c.vif;
    EXPECT_EQ(form.Text("PulseValuetextBox1"), c.value) << c.vif;
  }
}

TEST_F(UserConfigTest, PulseVifOfNeitherKindLeavesListAndValue) {
  form.SetText("PulseValuetextBox1", "keep");  // the handler ignores text that is no number
  const auto items = form.Items("pio_vif1");
  MeterImage m = SampleImage();
  m.SetCfg<std::uint32_t>(kCfgPio1Vif, 0x2A);
  ShowAsRead(m);
  EXPECT_EQ(form.Items("pio_vif1"), items);
  EXPECT_EQ(form.Text("PulseValuetextBox1"), "keep");
  EXPECT_EQ(StoredCopy().Cfg<std::uint32_t>(kCfgPio1Vif), 0x13u)
      << "an input stores the volume decade still selected";
}

TEST_F(UserConfigTest, OutputForHeatingEnergy) {
  const auto& ch = PulseChannel(1);
  form.UserClick(ch.out);
  form.UserClick(ch.sources[0]);  // heating energy
  EXPECT_EQ(form.Text(ch.vif), "0.001 MWh");
  EXPECT_EQ(form.Text(ch.value), "0.001");
  EXPECT_EQ(image.Cfg<std::uint16_t>(kCfgPio1Inc), 1);
  const MeterImage m = StoredCopy();
  EXPECT_EQ(m.Cfg<std::uint16_t>(kCfgPioConfig) & 0xFF, 0x10);
  EXPECT_EQ(m.Cfg<std::uint32_t>(kCfgPio1Vif), 0x06u);
}

TEST_F(UserConfigTest, SourceClicksChooseTheirLists) {
  const auto& ch = PulseChannel(2);  // an output of heating energy in the sample
  const struct {
    int source;
    const char* item;
    std::uint16_t word;  // high byte of the pulse word
    std::uint32_t vif;
  } cases[] = {
      {1, "0.001 MWh", 0x11, 0x06},
      {2, "0.001 m3", 0x12, 0x13},
      {3, "0.001 kWh", 0x13, 0x03},
      {5, "0.001 m3", 0x1E, 0x06},  // L1: the list changes, the VIF stays
      {6, "0.001 m3", 0x1F, 0x06},
  };
  for (const auto& c : cases) {
    ShowAsRead(SampleImage());
    form.UserClick(ch.sources[static_cast<std::size_t>(c.source)]);
    EXPECT_EQ(form.Text(ch.vif), c.item) << c.source;
    const MeterImage m = StoredCopy();
    EXPECT_EQ(m.Cfg<std::uint16_t>(kCfgPioConfig) >> 8, c.word) << c.source;
    EXPECT_EQ(m.Cfg<std::uint32_t>(kCfgPio2Vif), c.vif) << c.source;
  }
}

TEST_F(UserConfigTest, InputClickChoosesMediumVolume) {
  const auto& ch = PulseChannel(2);
  form.UserClick(ch.in);
  EXPECT_TRUE(form.Checked(ch.sources[2]));
  EXPECT_EQ(form.Text(ch.vif), "0.001 m3");
  EXPECT_EQ(form.Text(ch.value), "0.001") << "increment 1 in the new unit";
  const MeterImage m = StoredCopy();
  EXPECT_EQ(m.Cfg<std::uint16_t>(kCfgPioConfig) >> 8, 0x02);
  EXPECT_EQ(m.Cfg<std::uint32_t>(kCfgPio2Vif), 0x13u);
}

TEST_F(UserConfigTest, PulseValueEditsTheIncrementAtOnce) {
  form.UserType("PulseValuetextBox1", "12");
  EXPECT_EQ(image.Cfg<std::uint16_t>(kCfgPio1Inc), 12);
  form.UserType("PulseValuetextBox1", "1.5");
  EXPECT_EQ(image.Cfg<std::uint16_t>(kCfgPio1Inc), 12) << "not a whole number: ignored";
  form.UserSelect("pio_vif1", 6);
  EXPECT_EQ(form.Text("PulseValuetextBox1"), "12") << "12 x 1 m3";
  EXPECT_EQ(image.Cfg<std::uint16_t>(kCfgPio1Inc), 12);
  EXPECT_TRUE(dialogs.shown.empty());
}

}  // namespace
}  // namespace nord5
