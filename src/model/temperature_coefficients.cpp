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
constexpr const char* kField = "0.0#####";
constexpr const char* kTable = "0.0##########";

constexpr std::array<const char*, 8> kRatios{
    "textBoxRref1_R1", "textBoxR1_Rref1", "textBoxRref2_R1", "textBoxR1_Rref2",
    "textBoxRref1_R2", "textBoxR2_Rref1", "textBoxRref2_R2", "textBoxR2_Rref2"};

}  // namespace

const std::array<const char*, 8>& ReferenceRatioFields() { return kRatios; }

bool ShowTemperatureCoefficients(FormView& f, const MeterImage& shown) {
  for (const auto& fld : kFields)
    f.SetText(fld.control, detail::Fmt(shown.Cfg<float>(fld.cfg), kField));
  for (int i = 0; i < 4; ++i)
    for (int col = 0; col < 3; ++col)
      f.SetCell(kGridTemp, col, i + 1,
                detail::Fmt(shown.Cfg<float>(kCfgTableColumn[col] + static_cast<std::size_t>(4 * i)),
                            kTable));
  return true;
}

bool StoreTemperatureCoefficients(ParameterContext& ctx) {
  for (const auto& fld : kFields)
    if (!detail::StoreF32(ctx.image, kCfgOffset + fld.cfg, ctx.form.Text(fld.control), kField))
      return detail::BadParameters(ctx.dialogs, fld.control);
  for (int i = 0; i < 4; ++i)
    for (int col = 0; col < 3; ++col)
      if (!detail::StoreF32(ctx.image,
                            kCfgOffset + kCfgTableColumn[col] + static_cast<std::size_t>(4 * i),
                            ctx.form.Cell(kGridTemp, col, i + 1), kTable))
        return detail::BadParameters(ctx.dialogs, kGridTemp, col, i + 1);
  return true;
}

}  // namespace nord5
