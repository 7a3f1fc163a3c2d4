// The LCD menu items and the two 16-byte menu masks of the meter (user mask at Cfg 192, forced-on
// manufacturer mask at Cfg 168). Group 1 sits in mask bytes 0-1, group 2 in bytes 4-7, group 3 in
// bytes 8-11; item i of a group is bit (i-1) mod 8 of byte first + (i-1) div 8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/form_view.h"
#include "foundation/meter_image.h"

namespace nord5 {

inline constexpr std::size_t kMenuMaskSize = 16;
inline constexpr std::size_t kCfgMenuUserMask = 192;
inline constexpr std::size_t kCfgMenuManufacturerMask = 168;
inline constexpr int kMenuItemCount = 80;
inline constexpr int kMenuLockBoxCount = 16;

using MenuMask = std::array<std::uint8_t, kMenuMaskSize>;

struct MenuItem {
  int group;            // 1..3
  int item;             // 1-based within the group
  const char* caption;  // also the item's key in menu files ("1.1 Error code && Time")
  std::string Name() const;  // "checkBox2_17"
  std::size_t Byte() const;  // byte of the mask
  std::uint8_t Bit() const;  // bit number 0..7 within that byte
};

// The 80 items in item order: group 1 (16), group 2 (32), group 3 (32).
const std::array<MenuItem, kMenuItemCount>& MenuItems();
// The hidden lock boxes "cb1_1" .. "cb1_16".
std::string MenuLockBoxName(int i);  // i = 1..16
// The group boxes "gbActual", "gbStatistics", "gbConfiguration".
const char* MenuGroupName(int group);

// Design-time state of an item box: checked (1.1, 1.2, 1.9) and enabled (all but 1.13-1.16,
// 2.24-2.30 and 3.23-3.32).
bool MenuItemCheckedAtStart(const MenuItem& item);
bool MenuItemEnabledAtStart(const MenuItem& item);

MenuMask ReadMenuMask(const MeterImage& image, std::size_t cfg_offset);
void WriteMenuMask(MeterImage& image, std::size_t cfg_offset, const MenuMask& mask);

// ORs the bit of every checked item box into `mask` (callers clear it first).
void RefreshMTR07Menu(const FormView& form, MenuMask& mask);
// Clears the user mask of the image and rebuilds it from the item boxes.
void RebuildUserMenuMask(const FormView& form, MeterImage& image);
// Checks each item box whose bit is set in the user or the manufacturer mask of `image`.
void ShowMenuMasks(FormView& form, const MeterImage& image);

// The enabled state the window gives an item box: items 1.1-1.16, 2.1-2.23 and 3.1-3.22 are
// enabled while their bit in the manufacturer mask is 0, and 1.1, 1.2 and 1.9 need advanced mode
// and manufacturer mode as well; the other items keep their design-time state.
bool MenuItemEnabled(const MenuItem& item, const MenuMask& manufacturer_mask, bool advanced,
                     bool manufacturer_mode);

}  // namespace nord5
