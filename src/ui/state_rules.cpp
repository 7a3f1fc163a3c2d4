#include "ui/state_rules.h"

#include <initializer_list>

#include "foundation/form_view.h"
#include "model/lcd_menu.h"

namespace nord5::ui {
namespace {

constexpr std::uint32_t kFw16051017 = 16051017;
constexpr std::uint32_t kFw17041901 = 17041901;
constexpr std::uint32_t kFw17042702 = 17042702;

class Rules {
 public:
  explicit Rules(RuleResult& r) : r_(r) {}
  void Enabled(std::initializer_list<const char*> names, bool v) {
    for (const char* n : names) r_.controls[n].enabled = v;
  }
  void Enabled(const std::string& n, bool v) { r_.controls[n].enabled = v; }
  void Visible(std::initializer_list<const char*> names, bool v) {
    for (const char* n : names) r_.controls[n].visible = v;
  }
  void Visible(const std::string& n, bool v) { r_.controls[n].visible = v; }
  void ReadOnly(const std::string& n, bool v) { r_.controls[n].read_only = v; }
  void Emphasis(const std::string& n, bool v) { r_.controls[n].emphasis = v; }

 private:
  RuleResult& r_;
};

}  // namespace

const std::vector<std::string>& ActualTabValueControls() {
  static const std::vector<std::string> names = {"lbHeatingEnergy",
                                                 "edHeatingEnergy",
                                                 "lbCoolingEnergy",
                                                 "edCoolingEnergy",
                                                 "lbTariff1",
                                                 "edTariff1",
                                                 "lbTariff2",
                                                 "edTariff2",
                                                 "lbVolume",
                                                 "edVolume",
                                                 "lbPulseInput1",
                                                 "lbPulseInput2",
                                                 "lbManufactureNumber",
                                                 "edManufactureNumber",
                                                 "lbWorkingTime",
                                                 "edWorkingTime",
                                                 "lbErrorFreeTime",
                                                 "edErrorFreeTime",
                                                 "lbErrorDateAndTime",
                                                 "edErrorDateAndTime",
                                                 "lbErrorCode",
                                                 "edErrorCode",
                                                 "lbActDeviceID",
                                                 "lbActMBusAddr",
                                                 "lbDeviceTime",
                                                 "edDeviceTime",
                                                 "lbTimeCorrection",
                                                 "lbTemperature1flow",
                                                 "edTemperature1flow",
                                                 "lbTemperature2return",
                                                 "edTemperature2return",
                                                 "lbTemperatureDiff",
                                                 "edTemperatureDiff",
                                                 "lbFlow",
                                                 "edFlow",
                                                 "lbPower",
                                                 "edPower",
                                                 "lbFlowrateqQp",
                                                 "cbFlowrateqQp",
                                                 "lbPulseOutputValue"};
  return names;
}

std::string MeterModeText(const WindowState& s) {
  if (s.update_check_running) return "Checking updates";
  if (!s.configuration) return {};
  if (s.device_jumper & kManufacturerBits) return "Device in manufacturer mode";
  if (s.device_jumper & 0x04) return "Device in test mode";
  if (s.device_jumper & 0x40) return "Device in test mode without changing";
  return "Device in user mode";
}

std::optional<bool> MenuItemEnabled(const WindowState& s, int group, int item) {
  for (const MenuItem& m : MenuItems()) {
    if (m.group != group || m.item != item) continue;
    return nord5::MenuItemEnabled(m, s.mnf_mask, s.advanced,
                                  (s.device_jumper & kManufacturerBits) != 0);
  }
  return std::nullopt;
}

RuleResult ComputeStateRules(const WindowState& s) {
  RuleResult result;
  Rules r(result);
  const bool P = s.port_open;
  const bool L = s.logging;
  const bool C = s.configuration;
  const bool A = s.advanced;
  const bool Mf = (s.device_jumper & kManufacturerBits) != 0;
  const bool Sv = (s.device_jumper & kServiceBits) != 0;
  const std::uint32_t F = s.firmware;

  r.Enabled(
      {"caReadConfiguration", "caLoadConfiguration", "caPortas", "caFindMeters", "lbLogingTime",
       "edLogingTime"},
      !P && !L);
  r.Enabled({"caSaveConfiguration"}, !P && !L && C);
  r.Enabled({"caWriteConfiguration", "caCheckManufacturerJumper"}, !P && !L && C && Mf);
  r.Enabled({"btRead", "btWrite"}, !P && A);
  r.Visible({"btCredits"}, A);
  r.Enabled({"btCredits"}, !P && A);
  r.Enabled({"btReadData"}, !P);
  r.Enabled({"caClosePort"}, P && !L);
  r.Enabled({"btStop"}, P && s.reading_archives && !L);
  r.Enabled({"btMakeReport"}, s.archive_rows >= 2 && !L);
  r.Enabled({"lbRecordCount", "edRecordCount"}, s.read_data_index != 0);
  r.Enabled({"lbManufacture1", "edManufacture1", "gbCalculator", "comboBoxMediumCFG",
             "dataGridViewCor", "btSet"},
            C && Mf);
  r.Enabled({"gbActual",
             "gbStatistics",
             "gbConfiguration",
             "gbPulsChannel1",
             "gbPulsChannel2",
             "gbOutputSourceX1",
             "gbOutputSourceX2",
             "cbArchive",
             "gbDisableMBusCredits",
             "gbTariffThresholds",
             "gbTarifftype",
             "gbTarifftype2",
             "caWriteUserConfiguration",
             "caWriteUserMenu",
             "btDeviceID",
             "textActDeviceID",
             "edPulseInput1",
             "edPulseInput2",
             "btSetPulse1",
             "btSetPulse2",
             "cbTimeCorrection"},
            C && Sv);
  r.Enabled({"btSetTime"}, C && Sv && s.time_correction_index != 0);

  for (const auto& n : ActualTabValueControls()) r.Enabled(n, C);
  r.Enabled({"textActMBusAddr",
             "btSetMBusAddress",
             "edPulseOutputValue",
             "lbMBusCredits",
             "cbMBusCreditsOn",
             "cbMBusCreditsOff",
             "PulseCfgRadioButton1in",
             "PulseCfgRadioButton1out",
             "PulseCfgRadioButton2in",
             "PulseCfgRadioButton2out",
             "checkBoxTarEn",
             "comboBoxTriger1",
             "comboBoxTriger2",
             "comboBoxTarSrc1",
             "comboBoxTarSrc2",
             "lbcomboBoxTriger1",
             "lbcomboBoxTriger2",
             "lbcomboBoxTarSrc1",
             "lbcomboBoxTarSrc2",
             "textBoxThreshold1",
             "textBoxThreshold2",
             "lbThreshold1",
             "lbtextBoxThreshold2",
             "textBoxP1D",
             "edPulseWidth2",
             "edOpticalCredits",
             "edMBusCredits",
             "numericUpDown_yMonth",
             "numericUpDown_yDay",
             "numericUpDown_mDay",
             "lbnumericUpDown_yMonth",
             "lbnumericUpDown_yDay",
             "lbnumericUpDown_mDay",
             "caLoadMTR07Menu",
             "caStoreMTR07Menu",
             "dataGridView_Q",
             "dataGridView_Qt",
             "textBoxQf",
             "textBoxQfT",
             "textBoxQz",
             "textBoxQzT",
             "textBoxRE",
             "textBoxRET",
             "textBoxT0",
             "textBoxdTo",
             "textBoxN",
             "textBoxTOFsum",
             "textBoxTup",
             "textBoxTdw",
             "textBoxTdw_Tup",
             "radioButton_rhoT1",
             "radioButton_rhoT2",
             "checkBoxCFG_HEAT_ONLY",
             "textBoxR1lo",
             "textBoxR1hi",
             "textBoxR2lo",
             "textBoxR2hi",
             "textBoxT_DIFF_START",
             "textBoxT_DIFF_MIN",
             "textBoxT_DIFF_MAX",
             "textBoxTEMP_MIN",
             "textBoxTEMP_MAX",
             "tempDataGridView"},
            C);
  const bool new_layout = C && F >= kFw16051017;
  r.Enabled({"dataGridView3", "cbDinamicRange", "lbDinamicRange", "comboBoxQP", "lbcomboBoxQP",
             "comboBoxEnergyUnit", "lbcomboBoxEnergyUnit"},
            new_layout);
  r.Enabled({"caTestModeWithoutChanging"}, C && F >= kFw17041901);
  r.Enabled({"btTestModeWithoutChangingForAll"}, C && F >= kFw17041901 && s.device_medium == 8);
  r.Enabled({"lvTestParameters"}, C && A);
  r.Visible({"gbLoging", "cbMemoryMenagment", "edOpticalCredits", "edMBusCredits", "lbByteCredits",
             "pcFloatrateTemepratures", "tbVARME", "tbVarme2"},
            A);
  r.Visible({"lbDeviceVersion", "lbDeviceVersion1"}, C && A);
  for (int i = 1; i <= 16; ++i) r.Visible("cb1_" + std::to_string(i), false);
  r.Visible({"gbUnlookDevice", "edDefaultMenuConfigutarion"}, false);
  r.Enabled({"caTestModeWithChanging", "caManufactureMode", "caSetFabricationNumber",
             "caReCalculateCRC", "caLockDevice", "caAutoConfigure", "cbManufactureReset",
             "lbMBusaddr", "cbMBusAddrType", "edMBusAddr", "btSetFabricationNumber"},
            false);
  r.Visible({"btSetFabricationNumber"}, false);
  r.ReadOnly("edManufactureNumber", true);
  r.Enabled({"Chackupdate1"}, !s.update_check_running);

  // Pulse channels.
  const bool allowed = F >= kFw17042702 || Mf;
  for (int ch = 0; ch < 2; ++ch) {
    const std::string n = std::to_string(ch + 1);
    const bool is_input = (s.pio_cfg[static_cast<std::size_t>(ch)] & 0x10) == 0;
    const bool set_ok = is_input && s.pulse_in[static_cast<std::size_t>(ch)] && allowed;
    r.Visible("btSetPulse" + n, C && set_ok);
    r.ReadOnly("edPulseInput" + n, !(C && set_ok));
    r.Emphasis("edPulseInput" + n, set_ok);
    const bool out = s.pulse_out[static_cast<std::size_t>(ch)] && C;
    for (const char* src : {"heating", "cooling", "volume", "tarrif1", "tarrif2", "L1", "L2"})
      r.Enabled("PulseCfgRadioButton" + n + "out_" + src, out);
    const bool in = s.pulse_in[static_cast<std::size_t>(ch)] && C;
    const bool show_value = !s.pulse_out_l1[static_cast<std::size_t>(ch)] &&
                            !s.pulse_out_l2[static_cast<std::size_t>(ch)];
    for (const std::string& c :
         {"lbpio_vif" + n, "pio_vif" + n, "lbPulseValuetextBox" + n, "PulseValuetextBox" + n}) {
      r.Enabled(c, in);
      r.Visible(c, show_value);
    }
  }

  // Tariffs.
  r.Visible({"lbtextBoxThreshold2", "textBoxThreshold2"}, !s.tar1_1);
  r.Visible({"lbcomboBoxTriger2", "comboBoxTriger2", "lbcomboBoxTarSrc2", "comboBoxTarSrc2",
             "gbTarifftype2"},
            s.tar1_5 || s.tar1_6);
  const bool clock1 = s.trigger1 == 5;
  r.Visible({"pictureCllock1_1", "pictureCllock1_5", "pictureCllock1_6"}, clock1);
  r.Visible({"pictureBox1", "pictureBox2", "pictureBox3", "pictureBox4", "pictureBox5",
             "pictureBox6", "radioButtonTar1_2", "radioButtonTar1_3", "radioButtonTar1_4"},
            !clock1);
  const bool clock2 = s.trigger2 == 5;
  r.Visible({"pictureCllock2_1", "pictureCllock2_2"}, clock2);
  r.Visible({"pictureBox7", "pictureBox8"}, !clock2);

  // LCD menu items.
  for (int g = 1; g <= 3; ++g)
    for (int i = 1; i <= 32; ++i)
      if (auto e = MenuItemEnabled(s, g, i))
        r.Enabled("checkBox" + std::to_string(g) + "_" + std::to_string(i), *e);

  result.panel2 = MeterModeText(s);
  return result;
}

void ApplyStateRules(const RuleResult& r, FormView& form) {
  for (const auto& [name, rule] : r.controls) {
    if (!form.Has(name)) continue;
    if (rule.enabled && form.Enabled(name) != *rule.enabled) form.SetEnabled(name, *rule.enabled);
    if (rule.visible && form.Visible(name) != *rule.visible) form.SetVisible(name, *rule.visible);
    if (rule.read_only && form.ReadOnly(name) != *rule.read_only)
      form.SetReadOnly(name, *rule.read_only);
  }
}

}  // namespace nord5::ui
