#include "model/lcd_menu.h"

namespace nord5 {
namespace {

constexpr std::array<MenuItem, kMenuItemCount> kItems{{
    {1, 1, "1.1 Error code && Time"},
    {1, 2, "1.2 Heating energy"},
    {1, 3, "1.3 Cooling energy"},
    {1, 4, "1.4 Tariff 1"},
    {1, 5, "1.5 Tariff 2"},
    {1, 6, "1.6 Volume"},
    {1, 7, "1.7 Pulse input 1"},
    {1, 8, "1.8 Pulse input 2"},
    {1, 9, "1.9 LCD Test"},
    {1, 10, "1.10 Error free time"},
    {1, 11, "1.11 Device ID"},
    {1, 12, "1.12 Control number"},
    {1, 13, "1.13 ------"},
    {1, 14, "1.14 Flowrate (Rivo5 IP68)"},
    {1, 15, "1.15 Next batery replacement (Rivo5 IP68)"},
    {1, 16, "1.16 ------"},
    {2, 1, "2.1 Setday Heating energy"},
    {2, 2, "2.2 Setday Cooling energy"},
    {2, 3, "2.3 Setday Tariff 1"},
    {2, 4, "2.4 Setday Tariff 2"},
    {2, 5, "2.5 Setday Volume"},
    {2, 6, "2.6 Setday Pulse input 1"},
    {2, 7, "2.7 Setday Pulse input 2"},
    {2, 8, "2.8 Archive Heating energy"},
    {2, 9, "2.9 Archive Cooling energy"},
    {2, 10, "2.10 Archive Tariff 1"},
    {2, 11, "2.11 Archive Tariff 2"},
    {2, 12, "2.12 Archive Volume"},
    {2, 13, "2.13 Archive Pulse input 1"},
    {2, 14, "2.14 Archive Pulse input 2"},
    {2, 15, "2.15 Power (max)"},
    {2, 16, "2.16 Power (min)"},
    {2, 17, "2.17 Flow rate (max)"},
    {2, 18, "2.18 Flow Temp. (max)"},
    {2, 19, "2.19 Return Temp. (max)"},
    {2, 20, "2.20 Temp. diff. (max)"},
    {2, 21, "2.21 Flow Temp. (min)"},
    {2, 22, "2.22 Return Temp. (min)"},
    {2, 23, "2.23 Temp. diff. (min)"},
    {2, 24, "2.24 ------"},
    {2, 25, "2.25 ------"},
    {2, 26, "2.26 ------"},
    {2, 27, "2.27 ------"},
    {2, 28, "2.28 ------"},
    {2, 29, "2.29 ------"},
    {2, 30, "2.30 ------"},
    {2, 31, "2.31 Dept 2 Month "},
    {2, 32, "2.32 Depth 36 Month"},
    {3, 1, "3.1 Power"},
    {3, 2, "3.2 Flowrate"},
    {3, 3, "3.3 Flow Temperature"},
    {3, 4, "3.4 Return Temperature"},
    {3, 5, "3.5 Temp. diff."},
    {3, 6, "3.6 Next batery replacement"},
    {3, 7, "3.7 Actual date"},
    {3, 8, "3.8 Actual Time"},
    {3, 9, "3.9 Set Year date"},
    {3, 10, "3.10 Set Month date"},
    {3, 11, "3.11 Tariff 1 configuration"},
    {3, 12, "3.12 Tariff 2 configuration"},
    {3, 13, "3.13 Pulse I/O 1 config."},
    {3, 14, "3.14 Pulse I/O 2 config."},
    {3, 15, "3.15 Heater type"},
    {3, 16, "3.16 Heater pressure"},
    {3, 17, "3.17 Device ID"},
    {3, 18, "3.18 Software verssion"},
    {3, 19, "3.19 Fabrication number"},
    {3, 20, "3.20 MBus address"},
    {3, 21, "3.21 Error free time"},
    {3, 22, "3.22 Total work time"},
    {3, 23, "3.23 ------"},
    {3, 24, "3.24 ------"},
    {3, 25, "3.25 ------"},
    {3, 26, "3.26 ------"},
    {3, 27, "3.27 ------"},
    {3, 28, "3.28 ------"},
    {3, 29, "3.29 ------"},
    {3, 30, "3.30 ------"},
    {3, 31, "3.31 ------"},
    {3, 32, "3.32 ------"},
}};

constexpr std::size_t kGroupFirstByte[4] = {0, 0, 4, 8};

// Items 1.1-1.16, 2.1-2.23 and 3.1-3.22 follow the manufacturer mask once the state rules run.
bool FollowsMask(const MenuItem& m) {
  return m.group == 1 || (m.group == 2 && m.item <= 23) || (m.group == 3 && m.item <= 22);
}

}  // namespace

std::string MenuItem::Name() const {
  return "checkBox" + std::to_string(group) + "_" + std::to_string(item);
}
std::size_t MenuItem::Byte() const {
  return kGroupFirstByte[group] + static_cast<std::size_t>(item - 1) / 8;
}
std::uint8_t MenuItem::Bit() const { return static_cast<std::uint8_t>((item - 1) % 8); }

const std::array<MenuItem, kMenuItemCount>& MenuItems() { return kItems; }

std::string MenuLockBoxName(int i) { return "cb1_" + std::to_string(i); }

const char* MenuGroupName(int group) {
  switch (group) {
    case 1: return "gbActual";
    case 2: return "gbStatistics";
    default: return "gbConfiguration";
  }
}

bool MenuItemCheckedAtStart(const MenuItem& m) {
  return m.group == 1 && (m.item == 1 || m.item == 2 || m.item == 9);
}

bool MenuItemEnabledAtStart(const MenuItem& m) {
  if (m.group == 1) return m.item < 13;
  if (m.group == 2) return m.item < 24 || m.item > 30;
  return m.item < 23;
}

MenuMask ReadMenuMask(const MeterImage& image, std::size_t cfg_offset) {
  MenuMask m{};
  for (std::size_t i = 0; i < kMenuMaskSize; ++i) m[i] = image.Cfg<std::uint8_t>(cfg_offset + i);
  return m;
}

void WriteMenuMask(MeterImage& image, std::size_t cfg_offset, const MenuMask& mask) {
  for (std::size_t i = 0; i < kMenuMaskSize; ++i) image.SetCfg<std::uint8_t>(cfg_offset + i, mask[i]);
}

void RefreshMTR07Menu(const FormView& form, MenuMask& mask) {
  for (const auto& m : kItems)
    if (form.Checked(m.Name())) mask[m.Byte()] = static_cast<std::uint8_t>(mask[m.Byte()] | (1u << m.Bit()));
}

void RebuildUserMenuMask(const FormView& form, MeterImage& image) {
  MenuMask mask{};
  RefreshMTR07Menu(form, mask);
  WriteMenuMask(image, kCfgMenuUserMask, mask);
}

void ShowMenuMasks(FormView& form, const MeterImage& image) {
  const MenuMask user = ReadMenuMask(image, kCfgMenuUserMask);
  const MenuMask mnf = ReadMenuMask(image, kCfgMenuManufacturerMask);
  for (const auto& m : kItems) {
    const std::uint8_t bit = static_cast<std::uint8_t>(1u << m.Bit());
    form.SetChecked(m.Name(), ((user[m.Byte()] | mnf[m.Byte()]) & bit) != 0);
  }
}

bool MenuItemEnabled(const MenuItem& m, const MenuMask& manufacturer_mask, bool advanced,
                     bool manufacturer_mode) {
  if (!FollowsMask(m)) return MenuItemEnabledAtStart(m);
  const bool forced = (manufacturer_mask[m.Byte()] & (1u << m.Bit())) != 0;
  if (forced) return false;
  if (MenuItemCheckedAtStart(m)) return advanced && manufacturer_mode;
  return true;
}

}  // namespace nord5
