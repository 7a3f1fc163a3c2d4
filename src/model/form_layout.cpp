#include "model/form_layout.h"

#include "model/advanced_grid.h"
#include "model/flow_coefficients.h"
#include "model/lcd_menu.h"
#include "model/temperature_coefficients.h"
#include "model/test_parameters.h"
#include "model/user_configuration.h"

namespace nord5 {
namespace {

// The text numeric fields hold before the first show or reset.
constexpr const char* kUnset = "- - - - - - ";

class Builder {
 public:
  ControlSpec& Add(std::string name, ControlKind kind, std::string text = {}) {
    ControlSpec s;
    s.name = std::move(name);
    s.kind = kind;
    s.text = std::move(text);
    specs_.push_back(std::move(s));
    return specs_.back();
  }
  ControlSpec& Edit(std::string name, std::string text = kUnset) {
    return Add(std::move(name), ControlKind::Edit, std::move(text));
  }
  ControlSpec& Check(std::string name, std::string caption, bool checked = false) {
    ControlSpec& s = Add(std::move(name), ControlKind::CheckBox, std::move(caption));
    s.checked = checked;
    return s;
  }
  ControlSpec& Radio(std::string name, std::string group, std::string caption = {},
                     bool checked = false) {
    ControlSpec& s = Add(std::move(name), ControlKind::RadioButton, std::move(caption));
    s.radio_group = std::move(group);
    s.checked = checked;
    return s;
  }
  ControlSpec& Combo(std::string name, std::vector<std::string> items, int index) {
    ControlSpec& s = Add(std::move(name), ControlKind::ComboBox);
    s.items = std::move(items);
    s.index = index;
    return s;
  }
  ControlSpec& Grid(std::string name, int cols, int rows, std::vector<std::string> header = {}) {
    ControlSpec& s = Add(std::move(name), ControlKind::Grid);
    s.cols = cols;
    s.rows = rows;
    s.header_row = std::move(header);
    return s;
  }
  std::vector<ControlSpec> Take() { return std::move(specs_); }

 private:
  std::vector<ControlSpec> specs_;
};

std::vector<ControlSpec> Build() {
  Builder b;
  // "Actual": live values (reset only here) and the identity fields.
  for (const char* n :
       {"edHeatingEnergy", "edCoolingEnergy", "edTariff1", "edTariff2", "edVolume",
        "edPulseInput1", "edPulseInput2", "edDeviceTime", "edWorkingTime", "edErrorFreeTime",
        "edErrorDateAndTime", "edErrorCode", "edTemperature1flow", "edTemperature2return",
        "edTemperatureDiff", "edFlow", "edPower", "edPulseOutputValue", "edOpticalCredits",
        "edMBusCredits", "edPulseWidth2"})
    b.Edit(n);
  b.Edit("edManufactureNumber").read_only = true;
  b.Edit("textActDeviceID");
  b.Edit("textActMBusAddr");

  // "LCD Menu".
  for (int g = 1; g <= 3; ++g) {
    b.Add(MenuGroupName(g), ControlKind::Group,
          g == 1 ? "Actual" : (g == 2 ? "Statistics" : "Configuration"));
    for (const auto& m : MenuItems()) {
      if (m.group != g) continue;
      ControlSpec& s = b.Check(m.Name(), m.caption, MenuItemCheckedAtStart(m));
      s.enabled = MenuItemEnabledAtStart(m);
    }
  }
  for (int i = 1; i <= kMenuLockBoxCount; ++i) b.Check(MenuLockBoxName(i), "").visible = false;

  // "Configuration": tariffs, reporting days, pulse channels, credits.
  b.Check("checkBoxTarEn", "Tariff 1/2 enable");
  for (int i = 1; i <= 6; ++i) b.Radio("radioButtonTar1_" + std::to_string(i), "gbTarifftype");
  b.Radio("radioButtonTar2_1", "gbTarifftype2");
  b.Radio("radioButtonTar2_2", "gbTarifftype2");
  b.Combo("comboBoxTriger1", TriggerItems(), 0);
  b.Combo("comboBoxTriger2", TriggerItems(), 0);
  b.Combo("comboBoxTarSrc1", CounterItems(), 0);
  b.Combo("comboBoxTarSrc2", CounterItems(), 0);
  b.Edit("textBoxThreshold1");
  b.Edit("textBoxThreshold2");
  b.Add("cbArchive", ControlKind::Group, "Archive");
  b.Edit("numericUpDown_yMonth", "1");
  b.Edit("numericUpDown_yDay", "1");
  b.Edit("numericUpDown_mDay", "1");
  static const char* const kSourceCaptions[7] = {"Heating energy",  "Cooling energy",
                                                 "Medium volume",   "Tarrif 1 energy",
                                                 "Tarrif 2 energy", "L1", "L2"};
  for (int ch = 1; ch <= 2; ++ch) {
    const PulseChannelNames& n = PulseChannel(ch);
    const std::string group = "gbPulsChannel" + std::to_string(ch);
    const std::string sources = "gbOutputSourceX" + std::to_string(ch);
    b.Add(group, ControlKind::Group);
    b.Add(sources, ControlKind::Group);
    b.Radio(n.in, group, "Input", true);
    b.Radio(n.out, group, "Output");
    for (std::size_t i = 0; i < n.sources.size(); ++i)
      b.Radio(n.sources[i], sources, kSourceCaptions[i]).visible = !(i == 3 || i == 4);
    b.Add(n.vif_label, ControlKind::Label);
    b.Combo(n.vif, DesignTimeVifItems(), 0);
    b.Add(n.value_label, ControlKind::Label);
    b.Edit(n.value);
    b.Add(n.set_button, ControlKind::Button, "Set");
  }
  b.Edit("textBoxP1D").visible = false;
  b.Add("gbDisableMBusCredits", ControlKind::Group);
  b.Radio("cbMBusCreditsOn", "gbDisableMBusCredits", "On", true);
  b.Radio("cbMBusCreditsOff", "gbDisableMBusCredits", "Off");

  // "Manufacture": manufacturer code, flow calibration, temperatures, test parameters.
  b.Edit("edManufacture1", "XXX");
  b.Edit("edManufacture", "").visible = false;
  b.Grid(kGridQ, 5, kFlowGridRows, GridHeaders(kGridQ));
  b.Grid(kGridQt, 5, kFlowGridRows, GridHeaders(kGridQt));
  b.Grid(kGridCor, 3, kFlowGridRows, GridHeaders(kGridCor));
  for (const char* n : {"textBoxQf", "textBoxQfT", "textBoxQz", "textBoxQzT", "textBoxRE",
                        "textBoxRET", "textBoxT0", "textBoxdTo", "textBoxN", "textBoxTOFsum",
                        "textBoxTup", "textBoxTdw", "textBoxTdw_Tup"})
    b.Edit(n);
  b.Radio("radioButton_rhoT1", "rho", "Flow pipe (T1)", true);
  b.Radio("radioButton_rhoT2", "rho", "Return pipe (T2)");
  b.Check("checkBoxCFG_HEAT_ONLY", "HEATING ONLY");
  b.Combo("comboBoxMediumCFG", MediumItems(), 0);
  b.Radio("flow_linear", "flow_extrapolation", "linear  extrapolation", true);
  b.Radio("flow_limited", "flow_extrapolation", "limited extrapolation");
  b.Add("btCalculate", ControlKind::Button, "Calculate");
  b.Add("btSet", ControlKind::Button, "Set");
  for (const char* n : {"textBoxR1lo", "textBoxR1hi", "textBoxR2lo", "textBoxR2hi",
                        "textBoxT_DIFF_START", "textBoxT_DIFF_MIN", "textBoxT_DIFF_MAX",
                        "textBoxTEMP_MIN", "textBoxTEMP_MAX"})
    b.Edit(n);
  for (const char* n : ReferenceRatioFields()) {
    ControlSpec& s = b.Edit(n);
    s.visible = false;
    s.enabled = false;
  }
  b.Grid(kGridTemp, 3, 5, GridHeaders(kGridTemp));
  b.Radio("temp_linear", "temp_extrapolation", "linear  extrapolation", true).visible = false;
  b.Radio("temp_limited", "temp_extrapolation", "limited extrapolation").visible = false;
  {
    ControlSpec& s = b.Add(kTestParameterList, ControlKind::CheckList);
    s.items = TestParameterItems();
  }

  // "VARME": lists and grid of the flow range and energy unit coefficients; the hidden
  // auto-configuration group with the production options.
  b.Combo("comboBoxQP", NominalFlowItems(), 0);
  b.Combo("comboBoxEnergyUnit", EnergyUnitItems(), 1);
  b.Combo("cbDinamicRange", DynamicRangeItems(), 0);
  {
    ControlSpec& s = b.Grid(kAdvancedGrid, 2, kAdvancedRows);
    for (const auto& r : AdvancedRows()) s.label_column.emplace_back(r.label);
  }
  b.Check("cbSwicthLCD", "").visible = false;
  b.Check("cbScrollLCD", "").visible = false;
  b.Check("cbImpuls_outpts_On_Off", "Impuls outpts On/Off:", true).visible = false;
  b.Combo("cbMeasuringTemperatures", {"Off", "From TOFF", "With termpmeter"}, 0).visible = false;
  b.Check("cbLCDmask", "LCD mask:", true).visible = false;
  b.Check("cbBatteryErrorOff", "Battery error On/off:", true).visible = false;
  b.Combo("cbBatteryLifeTime", {"11 year", "15 year", "16 year"}, 0).visible = false;
  b.Check("cbReverseMeasuring", "Reverse measuring On/Off:", true).visible = false;
  return b.Take();
}

}  // namespace

const std::vector<ControlSpec>& ParameterControls() {
  static const std::vector<ControlSpec> specs = Build();
  return specs;
}

void AddParameterControls(MemoryForm& form) {
  for (const auto& s : ParameterControls()) {
    MemoryForm::Control* c = nullptr;
    switch (s.kind) {
      case ControlKind::RadioButton: c = &form.AddRadio(s.name, s.radio_group, s.checked, s.text); break;
      case ControlKind::ComboBox: c = &form.AddCombo(s.name, s.items, s.index); break;
      case ControlKind::Grid: c = &form.AddGrid(s.name, s.cols, s.rows); break;
      case ControlKind::CheckList: c = &form.AddCheckList(s.name, s.items); break;
      default:
        c = &form.Add(s.name, s.kind, s.text);
        c->checked = s.checked;
        break;
    }
    c->enabled = s.enabled;
    c->visible = s.visible;
    c->read_only = s.read_only;
    for (std::size_t col = 0; col < s.header_row.size(); ++col)
      form.SetCell(s.name, static_cast<int>(col), 0, s.header_row[col]);
    for (std::size_t row = 0; row < s.label_column.size(); ++row)
      form.SetCell(s.name, 0, static_cast<int>(row), s.label_column[row]);
  }
}

std::vector<std::string> MissingParameterControls(const FormView& form) {
  std::vector<std::string> missing;
  for (const auto& s : ParameterControls())
    if (!form.Has(s.name)) missing.push_back(s.name);
  return missing;
}

}  // namespace nord5
