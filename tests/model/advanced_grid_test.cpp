#include "model/advanced_grid.h"

#include "fixture.h"
#include "foundation/settings.h"
#include "model/temperature_coefficients.h"
#include "model/test_parameters.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

class AdvancedGridTest : public FormFixture {
 protected:
  std::string Row(int r) { return form.Cell(kAdvancedGrid, 1, r); }
};

TEST_F(AdvancedGridTest, RecalculationByNominalFlowAndRange) {
  const struct {
    int qp, range, unit;
    std::vector<std::pair<int, const char*>> rows;
  } cases[] = {
      {3, 0, 1, {{0, "0.003"}, {1, "1.500"}, {2, "3.600"}, {3, "0.060"}, {4, "3.000"},
                 {5, "4"}, {6, "1.0E+6"}, {9, "1000.0"}, {18, "20"}, {19, "1.00000000E+5"},
                 {20, "1"}}},
      {9, 2, 1, {{1, "10.000"}, {3, "0.025"}, {4, "12.500"}, {2, "15.000"}, {0, "0.012"},
                 {10, "10"}, {18, "200"}}},
      // qp 0.6 with R 250: row 3 = 0.0024 shown 0.002, row 0 half of that read back.
      {0, 1, 1, {{3, "0.002"}, {0, "0.001"}}},
      {-1, 1, 1, {{1, "0.600"}, {0, "2.0"}, {18, "20"}}},
      {-1, 0, 0, {{14, "1"}, {15, "51"}, {16, "17"}, {17, "1.16299846"}, {20, "2"},
                  {22, "8.59846369E-1"}}},
      {3, 0, 2, {{19, "3.60000000E+4"}, {20, "10"}, {23, "5"}, {25, "14"}}},
  };
  for (const auto& c : cases) {
    form.SetItemIndex("cbDinamicRange", c.range);
    form.SetItemIndex("comboBoxEnergyUnit", c.unit);
    form.SetItemIndex("comboBoxQP", c.qp);
    ASSERT_TRUE(RecalculateAdvancedGrid(form, dialogs));
    for (const auto& [row, text] : c.rows)
      EXPECT_EQ(Row(row), text) << "qp " << c.qp << " range " << c.range << " row " << row;
  }
}

TEST_F(AdvancedGridTest, ListChangesRecalculate) {
  form.UserSelect("comboBoxQP", 9);
  EXPECT_EQ(Row(1), "10.000");
  form.UserSelect("comboBoxEnergyUnit", 2);
  EXPECT_EQ(Row(20), "10");
  form.UserSelect("cbDinamicRange", 1);  // resets the unit to "0.001 MWh"
  EXPECT_EQ(form.Text("comboBoxEnergyUnit"), "0.001 MWh");
  EXPECT_EQ(Row(20), "1");
  EXPECT_EQ(Row(0), "0.02");
  EXPECT_EQ(form.Get("comboBoxEnergyUnit").handler_runs, 1) << "reset without its handler";
}

TEST_F(AdvancedGridTest, ShowSelectsTheListsFromTheStoredFields) {
  const struct {
    float qp;
    std::uint8_t vif;
    const char* qp_text;
    const char* unit_text;
  } cases[] = {
      {6.3f, 2, "6.3 m3/h", "0.001 Gcal"},
      {1.5f, 1, "1.5 m3/h", "0.001 MWh"},
      {100.0f, 10, "100.0 m3/h", "0.001 GJ"},
      {7.0f, 3, "", "---"},
  };
  for (const auto& c : cases) {
    MeterImage m = SampleImage();
    m.SetCoef<float>(418, c.qp);
    m.SetCoef<std::uint8_t>(468, c.vif);
    ShowAsRead(m);
    EXPECT_EQ(form.ItemIndex("comboBoxQP") < 0 ? "" : form.Text("comboBoxQP"), std::string(c.qp_text));
    EXPECT_EQ(form.Text("comboBoxEnergyUnit"), c.unit_text);
  }
  EXPECT_EQ(form.Get("comboBoxQP").handler_runs, 0) << "no recalculation during a show";
}

TEST_F(AdvancedGridTest, EveryUnitReadsBackAsItWasWritten) {
  ctx.advanced = true;
  for (int unit : {0, 1, 2}) {
    ShowAsRead(SampleImage());
    form.UserSelect("comboBoxEnergyUnit", unit);
    ASSERT_TRUE(StoreAdvancedGrid(ctx));
    ASSERT_TRUE(ShowMeterImage(ctx, image));
    EXPECT_EQ(form.ItemIndex("comboBoxEnergyUnit"), unit);
  }
}

TEST_F(AdvancedGridTest, StoreOnlyWithNewLayoutInAdvancedMode) {
  const struct {
    std::uint32_t firmware;
    bool advanced;
    bool stores;
  } cases[] = {{16051016, true, false}, {16051017, false, false}, {16051017, true, true}};
  for (const auto& c : cases) {
    ShowAsRead(SampleImage(c.firmware));
    ctx.advanced = c.advanced;
    form.UserSelect("comboBoxQP", 9);
    const MeterImage before = image;
    ASSERT_TRUE(StoreAdvancedGrid(ctx));
    bool changed = false;
    for (std::size_t off = 414; off <= 483; ++off)
      changed |= image.Coef<std::uint8_t>(off) != before.Coef<std::uint8_t>(off);
    EXPECT_EQ(changed, c.stores) << c.firmware;
    if (c.stores) {
      EXPECT_FLOAT_EQ(image.Coef<float>(418), 10.0f);
      EXPECT_EQ(image.Coef<std::uint16_t>(434), 50);
    }
    EXPECT_EQ(image.Coef<std::uint8_t>(457), before.Coef<std::uint8_t>(457));
    EXPECT_EQ(image.Cfg<std::uint8_t>(231), before.Cfg<std::uint8_t>(231));
  }
}

TEST_F(AdvancedGridTest, StoreKeepsLowBitsAndStopsAtBadText) {
  ShowAsRead(SampleImage());
  ctx.advanced = true;
  form.SetCell(kAdvancedGrid, 1, 7, "300");
  ASSERT_TRUE(StoreAdvancedGrid(ctx));
  EXPECT_EQ(image.Coef<std::uint8_t>(440), 44);
  form.SetCell(kAdvancedGrid, 1, 10, "1.5");  // an integer row
  EXPECT_FALSE(StoreAdvancedGrid(ctx));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
}

// ---- temperature calibration ----

TEST_F(AdvancedGridTest, TemperatureFieldsShowAndStore) {
  const struct {
    float value;
    const char* text;
  } cases[] = {{1.25f, "1.25"}, {1.0f, "1.0"}, {1e-7f, "0.0"}};
  for (const auto& c : cases) {
    MeterImage m = SampleImage();
    m.SetCfg<float>(4, c.value);
    ShowAsRead(m);
    EXPECT_EQ(form.Text("textBoxR1lo"), c.text);
  }
  form.SetText("textBoxR1hi", "1200.5");
  form.SetCell("tempDataGridView", 2, 4, "-0.25");
  ASSERT_TRUE(StoreTemperatureCoefficients(ctx));
  EXPECT_FLOAT_EQ(image.Cfg<float>(0), 1200.5f);
  EXPECT_FLOAT_EQ(image.Cfg<float>(48 + 12), -0.25f);
}

TEST_F(AdvancedGridTest, TemperatureStoreOfAnUnreadConfigurationChangesNothing) {
  MemoryForm fresh;
  AddParameterControls(fresh);  // "- - - - - - " everywhere
  ParameterContext c{fresh, image, dialogs, state, false};
  image = SampleImage();
  const MeterImage before = image;
  EXPECT_FALSE(StoreTemperatureCoefficients(c));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
  EXPECT_EQ(image, before);
}

// ---- test parameters ----

TEST_F(AdvancedGridTest, TestParameterMask) {
  std::uint16_t mask = 0xFFFF;
  StoreTestParameters(form, mask);
  EXPECT_EQ(mask, 0);
  form.SetItemChecked(kTestParameterList, 3, true);  // "device id"
  form.SetItemChecked(kTestParameterList, 4, true);  // "current time"
  StoreTestParameters(form, mask);
  EXPECT_EQ(mask, 0x0018);
  form.SetItemChecked(kTestParameterList, 15, true);
  StoreTestParameters(form, mask);
  EXPECT_EQ(mask, 0x8018);
}

TEST_F(AdvancedGridTest, TestParameterClickWritesTheSetting) {
  const std::string file = ::testing::TempDir() + "/nord5_model_settings.ini";
  std::remove(file.c_str());
  SetSettingsFileForTesting(file);
  form.UserClick(kTestParameterList);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "lvTestParameters", "x").Text(), "0");
  form.SetItemChecked(kTestParameterList, 0, true);  // a check mark is a click as well
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "lvTestParameters", "x").Text(), "1");
  // Reading a meter leaves the list as it was.
  MeterImage m = SampleImage();
  m.SetCfg<std::uint16_t>(150, 0xFFFF);
  ShowAsRead(m);
  EXPECT_FALSE(form.ItemChecked(kTestParameterList, 1));
  SetSettingsFileForTesting("");
}

}  // namespace
}  // namespace nord5
