#include "model/parameter_display.h"

#include "model/advanced_grid.h"
#include "model/detail.h"
#include "model/flow_coefficients.h"
#include "model/lcd_menu.h"
#include "model/temperature_coefficients.h"
#include "model/test_parameters.h"
#include "model/user_configuration.h"

namespace nord5 {
namespace {

constexpr std::size_t kCfgMeterCfg = 106;
constexpr std::size_t kCfgBatteryError = 108;
constexpr std::size_t kCfgBatteryLife = 208;
constexpr std::uint16_t kReverseMeasuring = 0x01E6;

}  // namespace

const std::vector<std::string>& PulseHandlerControls() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (int ch = 1; ch <= 2; ++ch) {
      const PulseChannelNames& c = PulseChannel(ch);
      n.push_back(c.in);
      n.push_back(c.out);
      n.insert(n.end(), c.sources.begin(), c.sources.end());
    }
    n.push_back(PulseChannel(1).vif);
    n.push_back(PulseChannel(2).vif);
    n.push_back(PulseChannel(1).value);
    n.push_back(PulseChannel(2).value);
    return n;
  }();
  return names;
}

void ShowProductionOptions(FormView& f, const MeterImage& shown) {
  const unsigned cfg = shown.Cfg<std::uint8_t>(kCfgMeterCfg);
  f.SetChecked("cbImpuls_outpts_On_Off", (cfg & 0x02u) != 0);
  const unsigned mode = cfg & 0x18u;
  f.SetItemIndex("cbMeasuringTemperatures", mode == 0x10u ? 1 : (mode == 0x18u ? 2 : 0));
  const unsigned mnf = shown.Cfg<std::uint16_t>(kCfgMenuManufacturerMask);
  f.SetChecked("cbLCDmask", (mnf & 0x0105u) == 0x0105u);
  f.SetChecked("cbBatteryErrorOff", (shown.Cfg<std::uint8_t>(kCfgBatteryError) & 0x01u) != 0);
  const std::uint32_t life = shown.Cfg<std::uint32_t>(kCfgBatteryLife);
  f.SetItemIndex("cbBatteryLifeTime", life == 473040000u ? 1 : (life == 504576000u ? 2 : 0));
  f.SetChecked("cbReverseMeasuring",
               shown.Cfg<std::uint16_t>(kCfgEnergySettings) == kReverseMeasuring);
}

bool ShowMeterImage(ParameterContext& ctx, const MeterImage& shown) {
  FormView& f = ctx.form;
  // 1. Setting the pulse channel controls must not start their recalculations.
  for (const auto& n : PulseHandlerControls()) f.DetachHandler(n);
  // 2.
  ShowIdentity(f, shown);
  // 3.
  ShowMenuMasks(f, shown);
  // 4.
  const unsigned cfg = shown.Cfg<std::uint8_t>(kCfgMeterCfg);
  f.SetChecked("cbSwicthLCD", (cfg & 0x84u) == 0x84u);
  f.SetChecked("cbScrollLCD", (cfg & 0x24u) == 0x24u);
  // 5. The production options are shown whatever the mode: their group is always hidden, and an
  // advanced save applies them to the image, so they must never hold the values of an earlier
  // image (or their design-time values) when advanced mode is switched on after the show.
  ShowProductionOptions(f, shown);
  // 6. The lists are set from the image without recalculating the grid; their handlers are
  // attached again whatever the version, but stay detached when the grid cannot be shown.
  f.DetachHandler("comboBoxQP");
  f.DetachHandler("comboBoxEnergyUnit");
  if (shown.FirmwareVersion() > kFirmwareAdvancedDisplay && !ShowAdvancedGrid(f, shown)) return false;
  f.AttachHandler("comboBoxQP");
  f.AttachHandler("comboBoxEnergyUnit");
  // 7.-11.
  if (!ShowTariffs(f, shown)) return false;
  if (!ShowPulseWidth(f, shown)) return false;
  ShowReportingDays(f, shown);
  if (!ShowPulseChannels(f, shown)) return false;
  ShowCredits(f, shown);
  // 12.
  AttachPulseChannelHandlers(ctx);
  // 13.-14.
  if (!ShowFlowCoefficients(f, shown)) return false;
  if (!ShowTemperatureCoefficients(f, shown)) return false;
  // 15.
  ctx.state.NoConfiguration = true;
  return true;
}

void ClearParameterDisplay(ParameterContext& ctx) {
  FormView& f = ctx.form;
  const std::string x = texts::kPlaceholder;
  ctx.state.NoConfiguration = false;
  ctx.state.DeviceJumper = 0;
  for (const char* grid : {kGridCor, kGridQt, kGridQ})
    for (int row = 1; row < f.RowCount(grid); ++row)
      for (int col = 0; col < f.ColCount(grid); ++col) f.SetCell(grid, col, row, x);
  ClearManufacturerCode(f);
  for (const char* name :
       {"edManufactureNumber", "edHeatingEnergy", "edCoolingEnergy", "edTariff1", "edTariff2",
        "edVolume", "edPulseInput1", "edPulseInput2", "edDeviceTime", "edWorkingTime",
        "edErrorFreeTime", "edErrorDateAndTime", "edErrorCode", "textActDeviceID",
        "textActMBusAddr", "edTemperature1flow", "edTemperature2return", "edTemperatureDiff",
        "edFlow", "edPower", "PulseValuetextBox1", "textBoxP1D", "PulseValuetextBox2",
        "edPulseWidth2"})
    f.SetText(name, x);
  for (const char* name : {"textBoxThreshold1", "textBoxThreshold2"}) {
    f.SetEditMask(name, "");
    f.SetText(name, x);
  }
  for (const char* name :
       {"edOpticalCredits", "edMBusCredits", "textBoxQf", "textBoxQz", "textBoxRE", "textBoxN",
        "textBoxQfT", "textBoxQzT", "textBoxRET", "textBoxdTo", "textBoxT0", "textBoxTOFsum",
        "textBoxTup", "textBoxTdw", "textBoxTdw_Tup", "textBoxR1lo", "textBoxR1hi",
        "textBoxR2lo", "textBoxR2hi", "textBoxT_DIFF_START", "textBoxT_DIFF_MIN",
        "textBoxT_DIFF_MAX", "textBoxTEMP_MIN", "textBoxTEMP_MAX"})
    f.SetText(name, x);
  for (const char* name : ReferenceRatioFields()) f.SetText(name, x);
  for (int row = 1; row <= 4; ++row)
    for (int col = 0; col < 3; ++col) f.SetCell(kGridTemp, col, row, x);
  f.SetText("edPulseOutputValue", x);
}

void InstallParameterHandlers(const ParameterContext& ctx) {
  InstallTariffHandlers(ctx);
  InstallFlowHandlers(ctx);
  InstallAdvancedGridHandlers(ctx);
  InstallTestParameterHandlers(ctx.form);
  InstallManufacturerCodeHandler(ctx.form);
}

}  // namespace nord5
