// Flow calibration: the two sixteen-breakpoint tables (Qx, Qa, Qb and Qxt, Qat, Qbt), the scalar
// flow coefficients, the correction calculator and the editing of the calibration grids.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/model_context.h"

namespace nord5 {

inline constexpr const char* kGridQ = "dataGridView_Q";
inline constexpr const char* kGridQt = "dataGridView_Qt";
inline constexpr const char* kGridCor = "dataGridViewCor";
inline constexpr const char* kGridTemp = "tempDataGridView";
inline constexpr int kFlowGridRows = 18;  // header row 0, data rows 1-17

// Coefficient block offsets.
inline constexpr std::size_t kCoefQx = 0, kCoefQa = 64, kCoefQb = 128;
inline constexpr std::size_t kCoefQxt = 192, kCoefQat = 256, kCoefQbt = 320;
inline constexpr std::size_t kCoefQf = 384, kCoefQft = 388, kCoefQz = 392, kCoefQzT = 396;
inline constexpr std::size_t kCoefRE = 400, kCoefRET = 404, kCoefT0 = 408, kCoefDeltaT0 = 412;
inline constexpr std::size_t kCoefDeltaN = 482;
inline constexpr std::size_t kCfgEnergySettings = 84;
inline constexpr std::size_t kCfgMediumType = 97;

const std::vector<std::string>& MediumItems();  // "Water" .. "PKL 300"
// Header texts of a calibration grid's row 0, and the patterns its cells are reformatted with
// after editing (empty for the temperature grid: it uses the general format).
const std::vector<std::string>& GridHeaders(std::string_view grid);
const std::vector<std::string>& GridColumnPatterns(std::string_view grid);

// Step 13 of the show procedure; false when a cell cannot be read back (the show then ends).
bool ShowFlowCoefficients(FormView& form, const MeterImage& shown);
// Controls to image; false after "Bad parameters".
bool StoreFlowCoefficients(ParameterContext& ctx);

// Recomputes columns 0-4 of `grid` (dataGridView_Q or dataGridView_Qt) from the measured points
// in its columns 3-4. False without a message when no point can be read; false after "Bad
// parameters" when the points lead to a division by zero or a non-finite value (the grid is then
// left as it was).
bool CalculateFlowCorrection(FormView& form, Dialogs& dialogs, std::string_view grid);
// "Calculate": both tables. "Set": the calculator grid into the main table, then recalculate it.
void CalculateClick(FormView& form, Dialogs& dialogs);
void SetClick(FormView& form, Dialogs& dialogs);
// Installs the click handlers of "Calculate" (btCalculate) and "Set" (btSet).
void InstallFlowHandlers(const ParameterContext& ctx);

// Cell editing of the four calibration grids. The window calls GridGetEditText when a cell editor
// opens and GridClick on click, on entering and on leaving the grid.
struct GridEditMemory {
  int col = -1;
  int row = -1;  // above 0 while a cell is remembered
  std::string text;
};
void GridGetEditText(GridEditMemory& memory, int col, int row, const std::string& text);
// `editing` tells whether the grid's editor is open now. A remembered cell is reformatted with its
// column's pattern (or the general format), or gets its old text back when it does not parse.
void GridClick(FormView& form, std::string_view grid, GridEditMemory& memory, bool editing);

// How a non-fixed cell of a calibration grid is drawn: the current cell bold red on silver
// (192,192,192), the rest of its row and column on cyan (0,255,255), every other cell on the
// grid's own background in the window's font. The text starts 2 pixels left of the cell's left
// edge and 2 pixels below its top.
enum class CellBackground : std::uint8_t { Grid = 0, Silver = 1, Cyan = 2 };
struct CellLook {
  CellBackground background = CellBackground::Grid;
  bool bold_red = false;
  int text_dx = -2;
  int text_dy = 2;
};
CellLook GridDrawCell(int col, int row, int current_col, int current_row);

}  // namespace nord5
