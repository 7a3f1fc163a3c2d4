#include "model/flow_coefficients.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "model/detail.h"

namespace nord5 {
namespace {

using detail::CellNumber;
using detail::Fmt;

constexpr const char* kE = "0.000E+0";

const std::vector<std::string> kMedium{
    "Water",          "Norcorsin 10",   "Norcorsin 20",   "Norcorsin 30",   "Norcorsin 40",
    "Norcorsin 50",   "Norcorsin 60",   "Antifrogen L16", "Antifrogen L25", "Antifrogen L38",
    "Antifrogen L47", "Antifrogen N20", "Antifrogen N34", "Antifrogen N44", "Antifrogen N52",
    "PKL 90",         "PKL 300"};

const std::vector<std::string> kHeadQ{"Qx", "Qa", "Qb", "Qet, l/h", "Err, %"};
const std::vector<std::string> kHeadQt{"Qxt", "Qat", "Qbt", "Qet, l/h", "Err, %"};
const std::vector<std::string> kHeadCor{"Q [m3/h]", "Err old [%]", "Err [%]"};
const std::vector<std::string> kHeadTemp{"Tx", "Ta", "Tb"};
const std::vector<std::string> kPatQ{kE, kE, kE, kE, kE};
const std::vector<std::string> kPatCor{"0.0000", "0.00", "0.00"};
const std::vector<std::string> kNone{};

struct ScalarField {
  const char* control;
  std::size_t coef;
};
constexpr ScalarField kFloatFields[6] = {{"textBoxQf", kCoefQf},   {"textBoxQfT", kCoefQft},
                                         {"textBoxQz", kCoefQz},   {"textBoxQzT", kCoefQzT},
                                         {"textBoxRE", kCoefRE},   {"textBoxRET", kCoefRET}};

bool Finite(double v) { return std::isfinite(v); }

// The error a breakpoint's correction removes, from its flow and the shown corrected flow.
std::optional<double> ErrorPercent(double qx, double qet_shown) {
  if (qet_shown == 0) return std::nullopt;
  const double e = (qx / qet_shown - 1) * 100;
  if (!Finite(e)) return std::nullopt;
  return e;
}

}  // namespace

const std::vector<std::string>& MediumItems() { return kMedium; }

const std::vector<std::string>& GridHeaders(std::string_view grid) {
  if (grid == kGridQ) return kHeadQ;
  if (grid == kGridQt) return kHeadQt;
  if (grid == kGridCor) return kHeadCor;
  if (grid == kGridTemp) return kHeadTemp;
  return kNone;
}

const std::vector<std::string>& GridColumnPatterns(std::string_view grid) {
  if (grid == kGridQ || grid == kGridQt) return kPatQ;
  if (grid == kGridCor) return kPatCor;
  return kNone;
}

bool ShowFlowCoefficients(FormView& f, const MeterImage& shown) {
  const unsigned settings = shown.Cfg<std::uint16_t>(kCfgEnergySettings);
  const bool t2 = (settings & 0x02u) != 0;
  f.SetChecked(t2 ? "radioButton_rhoT2" : "radioButton_rhoT1", true);
  f.SetChecked(t2 ? "radioButton_rhoT1" : "radioButton_rhoT2", false);
  f.SetChecked("checkBoxCFG_HEAT_ONLY", (settings & 0x100u) != 0);
  f.SetItemIndex("comboBoxMediumCFG", shown.Cfg<std::uint8_t>(kCfgMediumType));

  for (const auto& s : kFloatFields) f.SetText(s.control, Fmt(shown.Coef<float>(s.coef), kE));
  f.SetText("textBoxT0", std::to_string(shown.Coef<std::int32_t>(kCoefT0)));
  f.SetText("textBoxdTo", std::to_string(shown.Coef<std::int16_t>(kCoefDeltaT0)));
  f.SetText("textBoxN", std::to_string(shown.Coef<std::int8_t>(kCoefDeltaN)));

  for (int i = 0; i < 16; ++i) {
    const int row = i + 1;
    const auto at = static_cast<std::size_t>(4 * i);
    const double qx = shown.Coef<float>(kCoefQx + at);
    const double qa = shown.Coef<float>(kCoefQa + at);
    const double qb = shown.Coef<float>(kCoefQb + at);
    f.SetCell(kGridQ, 0, row, Fmt(qx, kE));
    f.SetCell(kGridQ, 1, row, Fmt(qa, kE));
    f.SetCell(kGridQ, 2, row, Fmt(qb, kE));
    const double qet = qx * (qa * qx + qb);
    if (!Finite(qet)) return false;
    f.SetCell(kGridQ, 3, row, Fmt(qet, kE));
    // The error is computed from the rounded corrected flow as shown.
    const auto qet_shown = CellNumber(f, kGridQ, 3, row);
    if (!qet_shown) return false;
    const auto err = ErrorPercent(qx, *qet_shown);
    if (!err) return false;
    f.SetCell(kGridQ, 4, row, Fmt(*err, kE));

    f.SetCell(kGridCor, 0, row, Fmt(*qet_shown, "0.0000"));
    f.SetCell(kGridCor, 1, row, Fmt(*err, "0.00"));
    f.SetCell(kGridCor, 2, row, Fmt(0, "0.00"));

    f.SetCell(kGridQt, 0, row, Fmt(shown.Coef<float>(kCoefQxt + at), kE));
    f.SetCell(kGridQt, 1, row, Fmt(shown.Coef<float>(kCoefQat + at), kE));
    f.SetCell(kGridQt, 2, row, Fmt(shown.Coef<float>(kCoefQbt + at), kE));
  }

  // Row 17 extrapolates the error curve one octave beyond the last breakpoint, linear in log Q.
  const auto q16 = CellNumber(f, kGridQ, 3, 16);
  if (!q16) return false;
  f.SetCell(kGridQ, 3, 17, Fmt(2 * *q16, kE));
  const auto q17 = CellNumber(f, kGridQ, 3, 17);
  const auto q15 = CellNumber(f, kGridQ, 3, 15);
  const auto e16 = CellNumber(f, kGridQ, 4, 16);
  const auto e15 = CellNumber(f, kGridQ, 4, 15);
  if (!q17 || !q15 || !e16 || !e15) return false;
  const double l17 = std::log10(*q17), l16 = std::log10(*q16), l15 = std::log10(*q15);
  if (!Finite(l17) || !Finite(l16) || !Finite(l15) || l15 == l16) return false;
  const double e17 = (*e15 - *e16) / (l15 - l16) * (l17 - l16) + *e16;
  if (!Finite(e17)) return false;
  f.SetCell(kGridQ, 4, 17, Fmt(e17, kE));

  const auto c17q = CellNumber(f, kGridQ, 3, 17);
  const auto c17e = CellNumber(f, kGridQ, 4, 17);
  if (!c17q || !c17e) return false;
  f.SetCell(kGridCor, 0, 17, Fmt(*c17q, "0.0000"));
  f.SetCell(kGridCor, 1, 17, Fmt(*c17e, "0.000"));
  f.SetCell(kGridCor, 2, 17, Fmt(0, "0.00"));
  return true;
}

bool StoreFlowCoefficients(ParameterContext& ctx) {
  FormView& f = ctx.form;
  MeterImage& img = ctx.image;
  for (int i = 0; i < 16; ++i) {
    const auto at = static_cast<std::size_t>(4 * i);
    const std::size_t q[3] = {kCoefQx, kCoefQa, kCoefQb};
    const std::size_t qt[3] = {kCoefQxt, kCoefQat, kCoefQbt};
    for (int col = 0; col < 3; ++col)
      if (!detail::StoreF32(img, kCoefOffset + q[col] + at, f.Cell(kGridQ, col, i + 1), kE))
        return detail::BadParameters(ctx.dialogs, kGridQ, col, i + 1);
    for (int col = 0; col < 3; ++col)
      if (!detail::StoreF32(img, kCoefOffset + qt[col] + at, f.Cell(kGridQt, col, i + 1), kE))
        return detail::BadParameters(ctx.dialogs, kGridQt, col, i + 1);
  }
  unsigned settings = img.Cfg<std::uint16_t>(kCfgEnergySettings);
  settings = f.Checked("radioButton_rhoT1") ? (settings & ~0x02u) : (settings | 0x02u);
  settings = f.Checked("checkBoxCFG_HEAT_ONLY") ? (settings | 0x100u) : (settings & ~0x100u);
  img.SetCfg<std::uint16_t>(kCfgEnergySettings, static_cast<std::uint16_t>(settings));
  // A list without a selection keeps the stored medium.
  const int medium = f.ItemIndex("comboBoxMediumCFG");
  if (medium >= 0) img.SetCfg<std::uint8_t>(kCfgMediumType, static_cast<std::uint8_t>(medium));

  for (const auto& s : kFloatFields)
    if (!detail::StoreF32(img, kCoefOffset + s.coef, f.Text(s.control), kE))
      return detail::BadParameters(ctx.dialogs, s.control);
  const auto t0 = ParseInt(f.Text("textBoxT0"));
  if (!t0) return detail::BadParameters(ctx.dialogs, "textBoxT0");
  img.SetCoef<std::int32_t>(kCoefT0, static_cast<std::int32_t>(static_cast<std::uint32_t>(*t0)));
  const auto dt0 = ParseInt(f.Text("textBoxdTo"));
  if (!dt0) return detail::BadParameters(ctx.dialogs, "textBoxdTo");
  img.SetCoef<std::uint16_t>(kCoefDeltaT0, static_cast<std::uint16_t>(*dt0));
  const auto n = ParseInt(f.Text("textBoxN"));
  if (!n) return detail::BadParameters(ctx.dialogs, "textBoxN");
  img.SetCoef<std::uint8_t>(kCoefDeltaN, static_cast<std::uint8_t>(*n));
  return true;
}

bool CalculateFlowCorrection(FormView& f, Dialogs& dialogs, std::string_view grid) {
  std::array<float, 17> x{}, y{}, qx{}, e{}, k{};
  std::array<float, 16> c{};
  std::array<float, 15> a{}, b{};

  // 1. The measured points, up to the first row that does not hold two numbers.
  int n = 0;
  for (; n < 17; ++n) {
    const auto q = CellNumber(f, grid, 3, n + 1);
    const auto err = CellNumber(f, grid, 4, n + 1);
    if (!q || !err) break;
    x[static_cast<std::size_t>(n)] = static_cast<float>(*q);
    y[static_cast<std::size_t>(n)] = static_cast<float>(*err);
  }
  if (n == 0) return false;

  // 2. Ascending by flow; equal flows keep their order.
  std::array<int, 17> order{};
  for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
  std::stable_sort(order.begin(), order.begin() + n,
                   [&](int l, int r) { return x[static_cast<std::size_t>(l)] < x[static_cast<std::size_t>(r)]; });

  // 3. The points take the upper slots; 4. the free slots halve downwards and double upwards.
  const int s = n < 16 ? 16 - n : 0;
  const int u = n == 17 ? 17 : 16;
  for (int j = 0; j < n; ++j) {
    qx[static_cast<std::size_t>(s + j)] = x[static_cast<std::size_t>(order[static_cast<std::size_t>(j)])];
    e[static_cast<std::size_t>(s + j)] = y[static_cast<std::size_t>(order[static_cast<std::size_t>(j)])];
  }
  for (int i = s - 1; i >= 0; --i) qx[static_cast<std::size_t>(i)] = qx[static_cast<std::size_t>(i + 1)] / 2;
  for (int i = u; i <= 16; ++i) qx[static_cast<std::size_t>(i)] = qx[static_cast<std::size_t>(i - 1)] * 2;

  bool ok = true;
  // C++ arithmetic does not trap: every quotient and every stored value is checked instead.
  auto div = [&](double num, double den) -> double {
    if (den == 0) ok = false;
    return den == 0 ? 0 : num / den;
  };
  auto store = [&](float& to, double v) {
    to = static_cast<float>(v);
    if (!std::isfinite(to)) ok = false;
  };
  auto at = [](auto& arr, int i) -> auto& { return arr[static_cast<std::size_t>(i)]; };

  // 5. Errors of the filled slots.
  const bool linear = f.Checked("flow_linear");
  for (int i = s - 1; i >= 0; --i) {
    if (linear)
      store(at(e, i), double(at(qx, i) - at(qx, i + 1)) *
                          div(double(at(e, i + 1)) - at(e, i + 2),
                              double(at(qx, i + 1)) - at(qx, i + 2)) +
                          at(e, i + 1));
    else
      at(e, i) = at(e, i + 1);
  }
  for (int i = u; i <= 16; ++i) {
    if (linear)
      store(at(e, i), double(at(qx, i) - at(qx, i - 1)) *
                          div(double(at(e, i - 1)) - at(e, i - 2),
                              double(at(qx, i - 1)) - at(qx, i - 2)) +
                          at(e, i - 1));
    else
      at(e, i) = at(e, i - 1);
  }
  // 6.-8. Corrected flows, factors and the coefficients of each segment.
  for (int i = 0; i < 16; ++i) store(at(c, i), double(at(qx, i)) * at(e, i) / 100 + at(qx, i));
  for (int i = 0; i < 17; ++i) store(at(k, i), div(1, double(at(e, i)) / 100 + 1));
  for (int i = 0; i < 15; ++i) {
    store(at(a, i), div(double(at(k, i)) - at(k, i + 1), double(at(c, i)) - at(c, i + 1)));
    store(at(b, i), double(at(k, i)) - double(at(c, i)) * at(a, i));
  }
  if (!ok) return detail::BadParameters(dialogs);

  constexpr const char* kPat = "0.000E+0";
  for (int i = 0; i < 15; ++i) {
    f.SetCell(grid, 0, i + 1, Fmt(at(c, i), kPat));
    f.SetCell(grid, 1, i + 1, Fmt(at(a, i), kPat));
    f.SetCell(grid, 2, i + 1, Fmt(at(b, i), kPat));
  }
  for (int i = 0; i < 17; ++i) {
    f.SetCell(grid, 3, i + 1, Fmt(at(qx, i), kPat));
    f.SetCell(grid, 4, i + 1, Fmt(at(e, i), kPat));
  }
  return true;
}

void CalculateClick(FormView& f, Dialogs& dialogs) {
  CalculateFlowCorrection(f, dialogs, kGridQ);
  CalculateFlowCorrection(f, dialogs, kGridQt);
}

void SetClick(FormView& f, Dialogs& dialogs) {
  for (int row = 1; row <= 16; ++row) {
    const auto q = CellNumber(f, kGridCor, 0, row);
    const auto old_err = CellNumber(f, kGridCor, 1, row);
    const auto err = CellNumber(f, kGridCor, 2, row);
    if (!q || !old_err || !err) continue;
    f.SetCell(kGridQ, 3, row, Fmt(*q, "0.0000"));
    f.SetCell(kGridQ, 4, row, Fmt(*old_err + *err, "0.00"));
  }
  CalculateFlowCorrection(f, dialogs, kGridQ);
}

void InstallFlowHandlers(const ParameterContext& ctx) {
  FormView* f = &ctx.form;
  Dialogs* d = &ctx.dialogs;
  f->SetHandler("btCalculate", [f, d] { CalculateClick(*f, *d); });
  f->SetHandler("btSet", [f, d] { SetClick(*f, *d); });
}

CellLook GridDrawCell(int col, int row, int current_col, int current_row) {
  CellLook look;
  if (col == current_col && row == current_row) {
    look.background = CellBackground::Silver;
    look.bold_red = true;
  } else if (col == current_col || row == current_row) {
    look.background = CellBackground::Cyan;
  }
  return look;
}

void GridGetEditText(GridEditMemory& memory, int col, int row, const std::string& text) {
  memory.col = col;
  memory.row = row;
  memory.text = text;
}

void GridClick(FormView& f, std::string_view grid, GridEditMemory& memory, bool editing) {
  if (memory.row > 0 && memory.row < f.RowCount(grid) && memory.col >= 0 &&
      memory.col < f.ColCount(grid)) {
    const auto v = detail::ParseNumber(f.Cell(grid, memory.col, memory.row));
    const auto& patterns = GridColumnPatterns(grid);
    std::string text = memory.text;
    if (v) {
      text = static_cast<std::size_t>(memory.col) < patterns.size()
                 ? Fmt(*v, patterns[static_cast<std::size_t>(memory.col)])
                 : FloatToStr(*v);
    }
    f.SetCell(grid, memory.col, memory.row, text);
  }
  if (!editing) memory = GridEditMemory{};
}

}  // namespace nord5
