// State rules of the configuration controls that depend on the meter image: the pulse channel
// controls and the LCD menu item boxes. The window's idle-time state routine applies them.
#pragma once

#include <string>
#include <vector>

#include "foundation/form_view.h"
#include "foundation/meter_image.h"

namespace nord5 {

// What the state rules read.
struct ViewState {
  bool configuration = false;  // C: `NoConfiguration`
  std::int32_t device_jumper = 0;
  bool advanced = false;       // A
  std::uint32_t firmware = 0;  // F
  bool ManufacturerMode() const { return (device_jumper & 0x22) != 0; }
  bool ServiceMode() const { return (device_jumper & 0x26) != 0; }
};

struct PulseChannelRules {
  bool set_button_visible = false;  // btSetPulseN
  bool start_value_read_only = true;  // edPulseInputN
  bool start_value_bold = false;    // bold black font, otherwise regular silver
  bool sources_enabled = false;     // the seven output-source buttons
  bool vif_enabled = false;         // lbpio_vifN, pio_vifN, lbPulseValuetextBoxN, PulseValuetextBoxN
  bool vif_visible = true;
};
// `channel` 1 uses the low byte of the pulse configuration word (image offset 188), 2 the high
// byte; the radio button states come from `form`.
PulseChannelRules EvaluatePulseChannelRules(int channel, const FormView& form,
                                            const MeterImage& image, const ViewState& state);
// Sets the enabled, visible and read-only states of one channel's controls (fonts stay with the
// window).
void ApplyPulseChannelRules(int channel, FormView& form, const PulseChannelRules& rules);

struct EnabledState {
  std::string name;
  bool enabled;
};
// The enabled state of the 80 item boxes and of the three group boxes.
std::vector<EnabledState> EvaluateMenuRules(const MeterImage& image, const ViewState& state);
void ApplyMenuRules(FormView& form, const MeterImage& image, const ViewState& state);

}  // namespace nord5
