// The main window's state rules as a pure function: from the communication and view state to
// the enabled, visible and read-only state of every control the rules govern, plus the texts of
// the status panels they own. The window applies the result through its form view whenever the
// event queue runs empty.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nord5 {
class FormView;
}

namespace nord5::ui {

struct WindowState {
  bool port_open = false;         // P: an exchange with the meter runs
  bool logging = false;           // L: periodic data logging runs
  bool configuration = false;     // C: a meter image is shown (`NoConfiguration`)
  bool advanced = false;          // A: `caAdvaced` checked
  bool reading_archives = false;  // `ReadingArchives`
  bool update_check_running = false;
  std::uint32_t device_jumper = 0;          // `DeviceJumper`
  std::uint32_t firmware = 0;               // `FirmwareVersion` of the image
  int device_medium = 0;                    // `DeviceMedium`
  int archive_rows = 0;                     // rows of `sgArchive`
  int read_data_index = 0;                  // `cbReadData`
  int time_correction_index = 0;            // `cbTimeCorrection`
  std::array<std::uint8_t, 2> pio_cfg{};    // image bytes 188 (channel 1) and 189 (channel 2)
  std::array<std::uint8_t, 16> mnf_mask{};  // `_mtr07_MENU_MNF_MASK`, image offset 172
  // Radio buttons the rules look at.
  std::array<bool, 2> pulse_in{};
  std::array<bool, 2> pulse_out{};
  std::array<bool, 2> pulse_out_l1{};
  std::array<bool, 2> pulse_out_l2{};
  bool tar1_1 = false;
  bool tar1_5 = false;
  bool tar1_6 = false;
  int trigger1 = -1;
  int trigger2 = -1;
  friend bool operator==(const WindowState&, const WindowState&) = default;
};

struct ControlRule {
  std::optional<bool> enabled;
  std::optional<bool> visible;
  std::optional<bool> read_only;
  // Text style of value boxes: true bold black, false regular silver.
  std::optional<bool> emphasis;
  friend bool operator==(const ControlRule&, const ControlRule&) = default;
};

struct RuleResult {
  std::map<std::string, ControlRule> controls;
  std::string panel2;  // meter mode, "Checking updates" or empty
};

inline constexpr std::uint32_t kManufacturerBits = 0x22;
inline constexpr std::uint32_t kServiceBits = 0x26;

RuleResult ComputeStateRules(const WindowState& s);

// The mode text of the third status panel.
std::string MeterModeText(const WindowState& s);

// Whether LCD menu item `item` (1-based) of `group` (1..3) is enabled (the items outside the
// manufacturer mask keep their design-time state); nullopt for an unknown item.
std::optional<bool> MenuItemEnabled(const WindowState& s, int group, int item);

// The labels and value boxes of the "Actual" tab that follow the configuration-present rule.
const std::vector<std::string>& ActualTabValueControls();

// Applies a result through a form view; controls the form does not have are skipped.
void ApplyStateRules(const RuleResult& r, FormView& form);

}  // namespace nord5::ui
