#include "model/temperature_coefficients.h"

#include "model/detail.h"
#include "model/flow_coefficients.h"

namespace nord5 {
namespace {

struct Field {
  const char* control;
  std::size_t cfg;
};
// In the order they are shown and stored.
constexpr Field kFields[9] = {
    {"textBoxR1lo", 4},           {"textBoxR1hi", 0},          {"textBoxR2lo", 12},
    {"textBoxR2hi", 8},           {"textBoxT_DIFF_START", 64}, {"textBoxT_DIFF_MIN", 68},
    {"textBoxT_DIFF_MAX", 72},    {"textBoxTEMP_MIN", 76},     {"textBoxTEMP_MAX", 80}};
constexpr std::size_t kCfgTableColumn[3] = {16, 32, 48};  // Tx, Ta, Tb

constexpr std::array<const char*, 8> kRatios{
    "textBoxRref1_R1", "textBoxR1_Rref1", "textBoxRref2_R1", "textBoxR1_Rref2",
    "textBoxRref1_R2", "textBoxR2_Rref1", "textBoxRref2_R2", "textBoxR2_Rref2"};

}  // namespace

const std::array<const char*, 8>& ReferenceRatioFields() { return kRatios; }

bool ShowTemperatureCoefficients(FormView& f, const MeterImage& shown) {
  for (const auto& fld : kFields) f.SetText(fld.control, detail::Fmt(shown.Cfg<float>(fld.cfg), "0.0#####"));
  for (int i = 0; i < 4; ++i)
    for (int col = 0; col < 3; ++col)
      f.SetCell(kGridTemp, col, i + 1,
                detail::Fmt(shown.Cfg<float>(kCfgTableColumn[col] + static_cast<std::size_t>(4 * i)),
                            "0.0##########"));
  return true;
}

bool StoreTemperatureCoefficients(ParameterContext& ctx) {
  for (const auto& fld : kFields) {
    const auto v = detail::ParseF32(ctx.form.Text(fld.control));
    if (!v) return detail::BadParameters(ctx.dialogs);
    ctx.image.SetCfg<float>(fld.cfg, *v);
  }
  for (int i = 0; i < 4; ++i)
    for (int col = 0; col < 3; ++col) {
      const auto v = detail::ParseF32(ctx.form.Cell(kGridTemp, col, i + 1));
      if (!v) return detail::BadParameters(ctx.dialogs);
      ctx.image.SetCfg<float>(kCfgTableColumn[col] + static_cast<std::size_t>(4 * i), *v);
    }
  return true;
}

}  // namespace nord5
