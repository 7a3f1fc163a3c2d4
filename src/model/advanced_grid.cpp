#include "model/advanced_grid.h"

#include "model/detail.h"

namespace nord5 {
namespace {

using detail::Fmt;

constexpr std::array<AdvancedRow, kAdvancedRows> kRows{{
    {"FLOW_QMIN (f32)", 414, GridField::F32, "0.000"},
    {"FLOW_QP (f32)", 418, GridField::F32, "0.000"},
    {"FLOW_QMAX (f32)", 422, GridField::F32, "0.000"},
    {"FLOW_QMIN_CHECK (f32)", 426, GridField::F32, "0.000"},
    {"FLOW_QMAX_CHECK (f32)", 430, GridField::F32, "0.000"},
    {"NOWA2_INC (u16)", 434, GridField::U16, "0"},
    {"NOWA2_FACTOR (f32)", 436, GridField::F32, "0.0E+0"},
    {"NOWA2_VIF_[0] (u8)", 440, GridField::U8, "0"},
    {"NOWA2_VIF_[1] (u8)", 441, GridField::U8, "0"},
    {"PIO_FACTOR (f32)", 442, GridField::F32, "0.0"},
    {"PIO_INC (u16)", 446, GridField::U16, "0"},
    {"COUNTER_FACTOR (f32)", 448, GridField::F32, "0.0"},
    {"VOLUME_VIF_[0] (u8)", 452, GridField::U8, "0"},
    {"VOLUME_VIF_[1] (u8)", 453, GridField::U8, "0"},
    {"ENE_UNIT (u8)", 454, GridField::U8, "0"},
    {"LCD_CFG (u8)", 455, GridField::U8, "0"},
    {"NOWA1_CFG (u8)", 456, GridField::U8, "0"},
    {"MBUS_FACTOR (f32)", 458, GridField::F32, "0.00000000"},
    {"NOWA1_INC (u16)", 462, GridField::U16, "0"},
    {"NOWA1_FACTOR; (f32)", 464, GridField::F32, "0.00000000E+0"},
    {"NOWA1_VIF_[0] (u8)", 468, GridField::U8, "0"},
    {"NOWA1_VIF_[1] (u8)", 469, GridField::U8, "0"},
    {"PIO_FACTOR (f32)", 470, GridField::F32, "0.00000000E+0"},
    {"PIO_INC (u16)", 474, GridField::U16, "0"},
    {"COUNTER_FACTOR (f32)", 476, GridField::F32, "0.00000000E+0"},
    {"ENERGY_VIF_[0] (u8)", 480, GridField::U8, "0"},
    {"ENERGY_VIF_[1] (u8)", 481, GridField::U8, "0"},
}};

const std::vector<std::string> kQp{"0.6 m3/h",  "1.0 m3/h",  "1.6 m3/h",  "1.5 m3/h",
                                   "2.5 m3/h",  "3.5 m3/h",  "4.0 m3/h",  "6.0 m3/h",
                                   "6.3 m3/h",  "10.0 m3/h", "15.0 m3/h", "16.0 m3/h",
                                   "25.0 m3/h", "40.0 m3/h", "63.0 m3/h", "100.0 m3/h"};
const std::vector<std::string> kUnits{"0.001 Gcal", "0.001 MWh", "0.001 GJ", "0.001 kWh"};
const std::vector<std::string> kRanges{"----", "R 250", "R 400"};

struct NominalFlow {
  double qp;
  double divisor;   // D, used without a dynamic range
  double row5;      // NOWA2_INC
  double row10;     // PIO_INC
  double qmin250;   // minimum flow with R 250; 0 = half the minimum check flow
  double qmin400;
  double row18;     // NOWA1_INC
};
constexpr NominalFlow kFlows[16] = {
    {0.6, 100, 2, 1, 0, 0, 10},         {1.0, 100, 2, 1, 0, 0, 20},
    {1.6, 100, 2, 1, 0.003, 0.003, 10}, {1.5, 250, 4, 1, 0, 0, 20},
    {2.5, 250, 4, 1, 0.005, 0.003, 50}, {3.5, 100, 20, 1, 0, 0, 100},
    {4.0, 250, 5, 1, 0.008, 0.005, 50}, {6.0, 250, 20, 1, 0, 0, 100},
    {6.3, 250, 20, 1, 0.012, 0.008, 100}, {10.0, 250, 50, 10, 0.02, 0.012, 200},
    {15.0, 250, 50, 10, 0, 0, 500},     {16.0, 250, 50, 10, 0.03, 0.02, 500},
    {25.0, 250, 50, 10, 0.05, 0.03, 500}, {40.0, 250, 50, 10, 0.08, 0.05, 500},
    {63.0, 250, 200, 10, 0.12, 0.08, 500}, {100.0, 250, 200, 10, 0.2, 0.12, 500}};

// Rows 14-17 and 19-26 per energy unit: Gcal (also without a selection), MWh, GJ, kWh.
struct EnergyUnit {
  double row[13];  // rows 14..26; row 18 (index 4) is taken from the nominal flow
};
constexpr EnergyUnit kEnergy[4] = {
    {{1, 51, 17, 1.1629984561294329, 0, 8598.463692962183, 2, 0, 0.8598463692962183, 1,
      0.8598463692962183, 6, 0}},
    {{0, 0, 0, 1, 0, 100000, 1, 0, 1, 1, 1, 6, 0}},
    {{0, 0, 0, 1, 0, 36000, 10, 0, 3.6, 5, 3.6, 14, 0}},
    {{0, 0, 0, 1, 0, 100000, 1, 0, 1, 1, 1, 6, 0}},
};

void SetRow(FormView& f, int row, double v, const char* pattern = nullptr) {
  f.SetCell(kAdvancedGrid, 1, row, Fmt(v, pattern ? pattern : kRows[static_cast<std::size_t>(row)].pattern));
}

}  // namespace

const std::array<AdvancedRow, kAdvancedRows>& AdvancedRows() { return kRows; }
const std::vector<std::string>& NominalFlowItems() { return kQp; }
const std::vector<std::string>& EnergyUnitItems() { return kUnits; }
const std::vector<std::string>& DynamicRangeItems() { return kRanges; }

int EnergyUnitFromNowa1Vif(std::uint8_t vif) {
  switch (vif) {
    case 2: return 0;   // "0.001 Gcal"
    case 1: return 1;   // "0.001 MWh" (the kWh rows are written with the same value)
    case 10: return 2;  // "0.001 GJ"
    default: return -1;
  }
}

bool ShowAdvancedGrid(FormView& f, const MeterImage& shown) {
  f.SetItemIndex("comboBoxQP", shown.Cfg<std::uint8_t>(kCfgNominalFlowId));
  f.SetItemIndex("comboBoxEnergyUnit", shown.Cfg<std::uint8_t>(kCfgEnergyUnitId));
  for (int r = 0; r < kAdvancedRows; ++r) {
    const AdvancedRow& row = kRows[static_cast<std::size_t>(r)];
    std::string text;
    switch (row.type) {
      case GridField::F32: text = Fmt(shown.Coef<float>(row.coef), row.pattern); break;
      case GridField::U16: text = std::to_string(shown.Coef<std::uint16_t>(row.coef)); break;
      case GridField::U8: text = std::to_string(shown.Coef<std::uint8_t>(row.coef)); break;
    }
    f.SetCell(kAdvancedGrid, 1, r, text);
  }
  // The lists follow the stored fields, not the identity codes.
  const float qp = shown.Coef<float>(kRows[1].coef);
  f.SetText("comboBoxQP", Fmt(qp, "0.0") + " m3/h");
  const int unit = EnergyUnitFromNowa1Vif(shown.Coef<std::uint8_t>(kRows[20].coef));
  if (unit >= 0)
    f.SetItemIndex("comboBoxEnergyUnit", unit);
  else
    f.SetText("comboBoxEnergyUnit", "---");
  return true;
}

bool RecalculateAdvancedGrid(FormView& f, Dialogs& dialogs) {
  const int range_item = f.ItemIndex("cbDinamicRange");
  const double r = range_item == 1 ? 250 : (range_item == 2 ? 400 : 1);
  const int qp_item = f.ItemIndex("comboBoxQP");
  const bool has_qp = qp_item >= 0 && qp_item < 16;
  const NominalFlow& nf = kFlows[has_qp ? qp_item : 0];

  auto read_back = [&](int row) -> std::optional<double> {
    const std::string text = f.Cell(kAdvancedGrid, 1, row);
    const auto v = detail::ParseNumber(text);
    if (!v) dialogs.Error(detail::Printf1(texts::kNotValidFloat, text));
    return v;
  };

  SetRow(f, 1, nf.qp);
  if (r == 1) {
    SetRow(f, 3, 0.02 * nf.qp / 0.5);
    SetRow(f, 4, 2 * nf.qp);
    SetRow(f, 0, nf.qp * 0.5 / nf.divisor);
    SetRow(f, 2, nf.qp * 2.4);
  } else {
    const auto q1 = read_back(1);
    if (!q1) return false;
    SetRow(f, 3, *q1 / r, "0.00#");
    const auto q1b = read_back(1);
    if (!q1b) return false;
    SetRow(f, 4, *q1b * 1.25);
    const double table = r == 250 ? nf.qmin250 : nf.qmin400;
    if (!has_qp) {
      SetRow(f, 0, 2, "0.0##");
    } else if (table == 0) {
      const auto q3 = read_back(3);
      if (!q3) return false;
      SetRow(f, 0, *q3 / 2, "0.0##");
    } else {
      SetRow(f, 0, table, "0.0##");
    }
    const auto q4 = read_back(4);
    if (!q4) return false;
    SetRow(f, 2, *q4 * 1.2);
  }
  SetRow(f, 5, nf.row5);
  SetRow(f, 6, 1000000);
  SetRow(f, 7, 16);
  SetRow(f, 8, 0);
  SetRow(f, 9, 1000);
  SetRow(f, 10, nf.row10);
  SetRow(f, 11, 1000);
  SetRow(f, 12, 19);
  SetRow(f, 13, 0);
  const int unit_item = f.ItemIndex("comboBoxEnergyUnit");
  const EnergyUnit& eu = kEnergy[unit_item >= 0 && unit_item < 4 ? unit_item : 0];
  for (int row = 14; row <= 26; ++row) {
    if (row == 18)
      SetRow(f, row, has_qp ? nf.row18 : 20);
    else
      SetRow(f, row, eu.row[row - 14]);
  }
  return true;
}

void cbDinamicRangeChange(FormView& f, Dialogs& dialogs) {
  {
    HandlerDetachGuard guard(f, {"comboBoxEnergyUnit"});
    f.SetItemIndex("comboBoxEnergyUnit", 1);
  }
  RecalculateAdvancedGrid(f, dialogs);
}

bool StoreAdvancedGrid(ParameterContext& ctx) {
  if (ctx.image.FirmwareVersion() < kFirmwareNewCoefLayout || !ctx.advanced) return true;
  for (int r = 0; r < kAdvancedRows; ++r) {
    const AdvancedRow& row = kRows[static_cast<std::size_t>(r)];
    const std::string text = ctx.form.Cell(kAdvancedGrid, 1, r);
    if (row.type == GridField::F32) {
      if (!detail::StoreF32(ctx.image, kCoefOffset + row.coef, text, row.pattern))
        return detail::BadParameters(ctx.dialogs, kAdvancedGrid, 1, r);
    } else {
      const auto v = ParseInt(text);
      if (!v) return detail::BadParameters(ctx.dialogs, kAdvancedGrid, 1, r);
      if (row.type == GridField::U16)
        ctx.image.SetCoef<std::uint16_t>(row.coef, static_cast<std::uint16_t>(*v));
      else
        ctx.image.SetCoef<std::uint8_t>(row.coef, static_cast<std::uint8_t>(*v));
    }
  }
  return true;
}

void InstallAdvancedGridHandlers(const ParameterContext& ctx) {
  FormView* f = &ctx.form;
  Dialogs* d = &ctx.dialogs;
  f->SetHandler("comboBoxQP", [f, d] { RecalculateAdvancedGrid(*f, *d); });
  f->SetHandler("comboBoxEnergyUnit", [f, d] { RecalculateAdvancedGrid(*f, *d); });
  f->SetHandler("cbDinamicRange", [f, d] { cbDinamicRangeChange(*f, *d); });
}

}  // namespace nord5
