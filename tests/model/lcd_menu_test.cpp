#include "model/lcd_menu.h"

#include "fixture.h"
#include "model/engine_hooks.h"
#include "model/user_configuration.h"
#include "model/window_rules.h"

namespace nord5 {
namespace {

using testing::FormFixture;
using testing::SampleImage;

const MenuItem& Item(int group, int item) {
  for (const auto& m : MenuItems())
    if (m.group == group && m.item == item) return m;
  throw std::logic_error("no such item");
}

TEST(MenuItems, BitsOfTheMask) {
  const struct {
    int group, item;
    std::size_t byte;
    int bit;
  } cases[] = {{1, 1, 0, 0}, {1, 16, 1, 7}, {2, 1, 4, 0}, {2, 9, 5, 0},
               {2, 32, 7, 7}, {3, 1, 8, 0}, {3, 22, 10, 5}, {3, 32, 11, 7}};
  for (const auto& c : cases) {
    const MenuItem& m = Item(c.group, c.item);
    EXPECT_EQ(m.Byte(), c.byte) << m.caption;
    EXPECT_EQ(m.Bit(), c.bit) << m.caption;
  }
  EXPECT_EQ(MenuItems().size(), 80u);
  EXPECT_STREQ(Item(1, 1).caption, "1.1 Error code && Time");
  EXPECT_STREQ(Item(2, 31).caption, "2.31 Dept 2 Month ");
  EXPECT_EQ(Item(2, 17).Name(), "checkBox2_17");
}

class MenuTest : public FormFixture {};

TEST_F(MenuTest, ShowCombinesBothMasksAndRebuildTakesTheBoxes) {
  MeterImage m = SampleImage();
  WriteMenuMask(m, kCfgMenuUserMask, MenuMask{0x00, 0x00, 0, 0, 0, 0x01});           // 2.9
  WriteMenuMask(m, kCfgMenuManufacturerMask, MenuMask{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x20});  // 3.22
  ShowAsRead(m);
  int checked = 0;
  for (const auto& item : MenuItems()) checked += form.Checked(item.Name());
  EXPECT_EQ(checked, 2);
  EXPECT_TRUE(form.Checked("checkBox2_9"));
  EXPECT_TRUE(form.Checked("checkBox3_22"));
  // A forced item ends up in the user mask as well.
  RebuildUserMenu(form, image);
  EXPECT_EQ(ReadMenuMask(image, kCfgMenuUserMask),
            (MenuMask{0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0x20}));
}

TEST_F(MenuTest, RefreshOrsIntoTheBuffer) {
  form.SetChecked("checkBox1_1", true);
  MenuMask mask{};
  mask[15] = 0x80;
  RefreshMTR07Menu(form, mask);
  EXPECT_EQ(mask[0] & 0x01, 0x01);
  EXPECT_EQ(mask[15], 0x80);
}

TEST(MenuRules, EnabledByManufacturerMaskAndModes) {
  MenuMask mnf{};
  mnf[10] = 0x20;  // 3.22 forced on
  const struct {
    int group, item;
    bool advanced, manufacturer, enabled;
  } cases[] = {
      {3, 22, true, true, false},  {3, 21, false, false, true}, {1, 1, false, true, false},
      {1, 1, true, false, false},  {1, 1, true, true, true},    {1, 2, true, true, true},
      {1, 13, false, false, true}, {2, 24, true, true, false},  {2, 31, false, false, true},
      {3, 23, true, true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MenuItemEnabled(Item(c.group, c.item), mnf, c.advanced, c.manufacturer), c.enabled)
        << c.group << "." << c.item << " A " << c.advanced << " Mf " << c.manufacturer;
}

TEST_F(MenuTest, GroupsNeedAConfigurationAndServiceMode) {
  ViewState s;
  s.configuration = true;
  s.device_jumper = 0x04;
  ApplyMenuRules(form, image, s);
  EXPECT_TRUE(form.Enabled("gbStatistics"));
  s.device_jumper = 0x40;
  ApplyMenuRules(form, image, s);
  EXPECT_FALSE(form.Enabled("gbStatistics"));
}

TEST_F(MenuTest, PulseChannelRules) {
  ShowAsRead(SampleImage(16051017));  // channel 1 input, channel 2 output
  ViewState s;
  s.configuration = true;
  s.firmware = 16051017;
  const auto in = EvaluatePulseChannelRules(1, form, image, s);
  EXPECT_FALSE(in.set_button_visible) << "neither 17042702 nor manufacturer mode";
  EXPECT_TRUE(in.vif_enabled);
  EXPECT_FALSE(in.sources_enabled);
  s.device_jumper = 0x02;
  const auto allowed = EvaluatePulseChannelRules(1, form, image, s);
  EXPECT_TRUE(allowed.set_button_visible);
  EXPECT_FALSE(allowed.start_value_read_only);
  EXPECT_TRUE(allowed.start_value_bold);
  const auto out = EvaluatePulseChannelRules(2, form, image, s);
  EXPECT_FALSE(out.set_button_visible);
  EXPECT_TRUE(out.sources_enabled);
  EXPECT_FALSE(out.vif_enabled);
  form.UserClick(PulseChannel(2).sources[5]);  // L1
  EXPECT_FALSE(EvaluatePulseChannelRules(2, form, image, s).vif_visible);
  s.configuration = false;
  ApplyPulseChannelRules(1, form, EvaluatePulseChannelRules(1, form, image, s));
  EXPECT_FALSE(form.Enabled("pio_vif1"));
  EXPECT_TRUE(form.ReadOnly("edPulseInput1"));
}

TEST_F(MenuTest, WritePreparationStoresEverythingAndRefreshesTheCheckSums) {
  ShowAsRead(SampleImage());
  ctx.advanced = true;
  form.SetText("textBoxR1lo", "1001.5");
  form.SetChecked("checkBox3_1", true);
  form.UserSelect("comboBoxQP", 9);
  ASSERT_TRUE(PrepareConfigurationWrite(ctx));
  EXPECT_FLOAT_EQ(image.Cfg<float>(4), 1001.5f);
  EXPECT_EQ(image.Cfg<std::uint8_t>(kCfgMenuUserMask + 8) & 1, 1);
  EXPECT_FLOAT_EQ(image.Coef<float>(418), 10.0f);
  MeterImage check = image;
  EXPECT_FALSE(CheckTemperatureCrc(check, false, nullptr));
  EXPECT_FALSE(CheckFlowCrc(check, false, nullptr));

  form.SetText("textBoxQf", "XXXXXX");
  EXPECT_FALSE(PrepareConfigurationWrite(ctx));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Bad parameters"});
}

}  // namespace
}  // namespace nord5
