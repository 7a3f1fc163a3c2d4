// Helpers shared by the parameter groups' sources (not part of the public interface).
#pragma once

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/dialogs.h"
#include "foundation/form_view.h"
#include "foundation/meter_image.h"
#include "foundation/number_format.h"
#include "model/model_context.h"
#include "model/texts.h"

namespace nord5::detail {

// FormatFloat with a fixed text for values the patterns cannot express (an erased flash reads
// as FFFFFFFFh, a NaN).
inline std::string Fmt(double v, std::string_view pattern) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
  return FormatFloat(v, pattern);
}

// A number read back from a control; non-finite values count as unreadable.
inline std::optional<double> ParseNumber(std::string_view text) {
  auto v = ParseFloat(text);
  if (!v || !std::isfinite(*v)) return std::nullopt;
  return v;
}

inline std::optional<double> TextNumber(const FormView& f, std::string_view name) {
  return ParseNumber(f.Text(name));
}
inline std::optional<double> CellNumber(const FormView& f, std::string_view grid, int col,
                                        int row) {
  return ParseNumber(f.Cell(grid, col, row));
}

// A float32 field from text: the value must fit a float32.
inline std::optional<float> ParseF32(std::string_view text) {
  auto v = ParseNumber(text);
  if (!v) return std::nullopt;
  const auto f = static_cast<float>(*v);
  if (!std::isfinite(f)) return std::nullopt;
  return f;
}

// A float32 field of `image` stored from its control's text. The display patterns round
// ("0.000E+0" shows a flow coefficient of 1.0073846 as 1.007E+0), so text that still reads as the
// show wrote it leaves the four stored bytes as they are: a field the user did not edit reaches
// the meter and the file unchanged. False when other text does not convert.
inline bool StoreF32(MeterImage& image, std::size_t offset, std::string_view text,
                     std::string_view pattern) {
  if (text == Fmt(image.Get<float>(offset), pattern)) return true;
  const auto v = ParseF32(text);
  if (!v) return false;
  image.Set<float>(offset, *v);
  return true;
}

inline bool BadParameters(Dialogs& d) {
  LastFailedInput() = {};
  d.Error(texts::kBadParameters);
  return false;
}
// "Bad parameters" for the text of `control` (of its cell `col`, `row` in a grid).
inline bool BadParameters(Dialogs& d, std::string_view control, int col = -1, int row = -1) {
  LastFailedInput() = {std::string(control), col, row};
  d.Error(texts::kBadParameters);
  return false;
}

inline std::string Printf1(const char* fmt, const std::string& arg) {
  const int n = std::snprintf(nullptr, 0, fmt, arg.c_str());
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, fmt, arg.c_str());
  return out;
}

}  // namespace nord5::detail
