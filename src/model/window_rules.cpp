#include "model/window_rules.h"

#include "model/lcd_menu.h"
#include "model/user_configuration.h"

namespace nord5 {

PulseChannelRules EvaluatePulseChannelRules(int channel, const FormView& form,
                                            const MeterImage& image, const ViewState& s) {
  const PulseChannelNames& n = PulseChannel(channel);
  const std::uint8_t cfg = image.Get<std::uint8_t>(channel == 1 ? 188 : 189);
  const bool allowed = s.firmware >= kFirmware17042702 || s.ManufacturerMode();
  const bool input = form.Checked(n.in);
  const bool settable = (cfg & 0x10u) == 0 && input && allowed;
  PulseChannelRules r;
  r.set_button_visible = s.configuration && settable;
  r.start_value_read_only = !(s.configuration && settable);
  r.start_value_bold = settable;
  r.sources_enabled = form.Checked(n.out) && s.configuration;
  r.vif_enabled = input && s.configuration;
  r.vif_visible = !form.Checked(n.sources[5]) && !form.Checked(n.sources[6]);
  return r;
}

void ApplyPulseChannelRules(int channel, FormView& form, const PulseChannelRules& r) {
  const PulseChannelNames& n = PulseChannel(channel);
  form.SetVisible(n.set_button, r.set_button_visible);
  form.SetReadOnly(n.start_value, r.start_value_read_only);
  for (const auto& src : n.sources) form.SetEnabled(src, r.sources_enabled);
  for (const auto* name : {&n.vif_label, &n.vif, &n.value_label, &n.value}) {
    form.SetEnabled(*name, r.vif_enabled);
    form.SetVisible(*name, r.vif_visible);
  }
}

std::vector<EnabledState> EvaluateMenuRules(const MeterImage& image, const ViewState& s) {
  std::vector<EnabledState> out;
  const MenuMask mnf = ReadMenuMask(image, kCfgMenuManufacturerMask);
  for (const auto& m : MenuItems())
    out.push_back({m.Name(), MenuItemEnabled(m, mnf, s.advanced, s.ManufacturerMode())});
  for (int g = 1; g <= 3; ++g) out.push_back({MenuGroupName(g), s.configuration && s.ServiceMode()});
  return out;
}

void ApplyMenuRules(FormView& form, const MeterImage& image, const ViewState& s) {
  for (const auto& e : EvaluateMenuRules(image, s)) form.SetEnabled(e.name, e.enabled);
}

}  // namespace nord5
