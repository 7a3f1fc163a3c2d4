#include "model/parameter_display.h"

#include <set>

#include "fixture.h"
#include "model/user_configuration.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

class ShowMeterImageTest : public FormFixture {};

TEST_F(ShowMeterImageTest, FillsEveryGroupAndMarksTheConfigurationShown) {
  ShowAsRead(SampleImage());
  EXPECT_TRUE(state.NoConfiguration);
  EXPECT_EQ(form.Text("edManufactureNumber"), "0000ABCD");
  EXPECT_EQ(form.Text("textActDeviceID"), "12345678");
  EXPECT_EQ(form.Text("textActMBusAddr"), "17");
  EXPECT_TRUE(form.Checked("checkBox1_1"));   // user mask bit
  EXPECT_TRUE(form.Checked("checkBox1_9"));   // manufacturer mask bit (0x0105: items 1, 3, 9)
  EXPECT_TRUE(form.Checked("checkBox1_3"));
  EXPECT_FALSE(form.Checked("checkBox1_4"));
  EXPECT_TRUE(form.Checked("cbSwicthLCD"));
  EXPECT_FALSE(form.Checked("cbScrollLCD"));
  EXPECT_EQ(form.Text("comboBoxQP"), "1.5 m3/h");
  EXPECT_EQ(form.Text("textBoxP1D"), "0.976");
  EXPECT_EQ(form.Text("numericUpDown_yMonth"), "12");
  EXPECT_EQ(form.Text("numericUpDown_yDay"), "31");
  EXPECT_EQ(form.Text("numericUpDown_mDay"), "1");
  EXPECT_TRUE(form.Checked("cbMBusCreditsOff"));
  EXPECT_FALSE(form.Checked("cbMBusCreditsOn"));
  EXPECT_EQ(form.Cell("dataGridView_Q", 0, 1), "1.000E+2");
  EXPECT_EQ(form.Text("textBoxT0"), "-1234");
  EXPECT_EQ(form.Text("textBoxN"), "-3");
  EXPECT_EQ(form.Text("textBoxR1lo"), "1000.25");
  EXPECT_EQ(form.Cell("tempDataGridView", 1, 1), "0.00384999998") << "a float32 as it is";
}

// The hidden production options are applied by a save in advanced mode; a configuration shown
// while advanced mode was off must not leave them with their design-time values for that save.
TEST_F(ShowMeterImageTest, ProductionOptionsFollowEveryShow) {
  MeterImage m = SampleImage();
  m.SetCfg<std::uint16_t>(84, 0x01E2);
  ASSERT_FALSE(ctx.advanced);
  ShowAsRead(m);
  EXPECT_FALSE(form.Checked("cbReverseMeasuring"));
  EXPECT_EQ(form.Text("cbBatteryLifeTime"), "15 year");
  EXPECT_EQ(form.Text("cbMeasuringTemperatures"), "From TOFF");
  EXPECT_TRUE(form.Checked("cbImpuls_outpts_On_Off"));
  EXPECT_TRUE(form.Checked("cbLCDmask"));
  EXPECT_FALSE(form.Checked("cbBatteryErrorOff"));
}

TEST_F(ShowMeterImageTest, AFileImageIsShownWithoutTouchingTheWorkingImage) {
  ShowAsRead(SampleImage());
  const MeterImage before = image;
  MeterImage file = SampleImage();
  file.SetCfg<std::uint16_t>(186, 250);   // another increment, shown through the value field
  file.SetCfg<std::uint16_t>(84, 0x01E2);
  ctx.advanced = true;
  ASSERT_TRUE(ShowMeterImage(ctx, file));
  EXPECT_EQ(form.Text("PulseValuetextBox1"), "0.25");
  EXPECT_FALSE(form.Checked("cbReverseMeasuring")) << "the file's state, not the working image's";
  EXPECT_EQ(image, before) << "no handler ran while the show set the pulse controls";
}

TEST_F(ShowMeterImageTest, PulseHandlersComeWithTheFirstShow) {
  const auto& ch1 = PulseChannel(1);
  form.UserClick(ch1.out);
  EXPECT_EQ(form.Get(ch1.out).handler_runs, 0);
  ShowAsRead(SampleImage());
  form.UserClick(ch1.out);
  EXPECT_EQ(form.Get(ch1.out).handler_runs, 1);
}

TEST_F(ShowMeterImageTest, OldFirmwareKeepsTheListsAndTheirHandlers) {
  form.SetItemIndex("comboBoxQP", 7);
  ShowAsRead(SampleImage(16010526));
  EXPECT_EQ(form.ItemIndex("comboBoxQP"), 7);
  EXPECT_TRUE(form.HandlerAttached("comboBoxQP"));
  EXPECT_TRUE(form.HandlerAttached("comboBoxEnergyUnit"));
  form.UserSelect("comboBoxQP", 3);
  EXPECT_EQ(form.Cell("dataGridView3", 1, 1), "1.500") << "the grid is recalculated";
}

TEST_F(ShowMeterImageTest, AnUnshowableFlowTableEndsTheShowSilently) {
  MeterImage m = SampleImage();
  m.SetCoef<float>(0, 0.0f);  // Qx 0: the error 0/0 cannot be computed
  ShowAsRead(SampleImage());
  state.NoConfiguration = false;
  m.SetCfg<float>(4, 5.0f);
  EXPECT_FALSE(ShowMeterImage(ctx, m));
  EXPECT_FALSE(state.NoConfiguration);
  EXPECT_TRUE(dialogs.shown.empty());
  EXPECT_EQ(form.Text("textBoxR1lo"), "1000.25") << "later steps keep their contents";
  EXPECT_TRUE(form.HandlerAttached(PulseChannel(1).vif)) << "step 12 already ran";
}

TEST_F(ShowMeterImageTest, ResetWritesPlaceholders) {
  ShowAsRead(SampleImage());
  form.Get("textBoxThreshold1").mask = "!00:00-00:00;1;_";
  int manufacturer_runs = 0;
  form.SetHandler("edManufacture1", [&] { ++manufacturer_runs; });
  state.DeviceJumper = 0x22;
  ClearParameterDisplay(ctx);
  EXPECT_FALSE(state.NoConfiguration);
  EXPECT_EQ(state.DeviceJumper, 0);
  EXPECT_EQ(form.Text("edManufacture1"), "XXX");
  EXPECT_EQ(manufacturer_runs, 0);
  EXPECT_TRUE(form.HandlerAttached("edManufacture1"));
  EXPECT_EQ(form.EditMask("textBoxThreshold1"), "");
  for (const char* name : {"textBoxThreshold1", "edPulseOutputValue", "textBoxR2hi",
                           "textBoxRref1_R1", "textActDeviceID", "textBoxTdw_Tup"})
    EXPECT_EQ(form.Text(name), "XXXXXX") << name;
  EXPECT_EQ(form.Cell("dataGridView_Q", 4, 17), "XXXXXX");
  EXPECT_EQ(form.Cell("dataGridViewCor", 0, 1), "XXXXXX");
  EXPECT_EQ(form.Cell("dataGridView_Q", 0, 0), "Qx") << "header row kept";
  EXPECT_EQ(form.Cell("tempDataGridView", 2, 4), "XXXXXX");
}

TEST(ParameterControls, EveryNameOnce) {
  std::set<std::string> seen;
  for (const auto& s : ParameterControls()) EXPECT_TRUE(seen.insert(s.name).second) << s.name;
  MemoryForm form;
  AddParameterControls(form);
  EXPECT_TRUE(MissingParameterControls(form).empty());
}

}  // namespace
}  // namespace nord5
