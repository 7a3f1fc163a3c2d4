// Flow range and energy unit coefficients: the 27-row grid `dataGridView3` over Coef 414-481 (new
// layout), recomputed from built-in tables whenever nominal flow, energy unit or dynamic range
// change.
#pragma once

#include <string>
#include <vector>

#include "model/model_context.h"

namespace nord5 {

inline constexpr const char* kAdvancedGrid = "dataGridView3";
inline constexpr int kAdvancedRows = 27;
inline constexpr std::size_t kCfgEnergyUnitId = 230;
inline constexpr std::size_t kCfgNominalFlowId = 231;

enum class GridField : std::uint8_t { F32 = 0, U16 = 1, U8 = 2 };
struct AdvancedRow {
  const char* label;
  std::size_t coef;
  GridField type;
  const char* pattern;
};
const std::array<AdvancedRow, kAdvancedRows>& AdvancedRows();

const std::vector<std::string>& NominalFlowItems();   // "0.6 m3/h" .. "100.0 m3/h"
const std::vector<std::string>& EnergyUnitItems();    // "0.001 Gcal" .. "0.001 kWh"
const std::vector<std::string>& DynamicRangeItems();  // "----", "R 250", "R 400"

// The energy-unit item a stored NOWA1_VIF_[0] stands for, -1 for none: the values the
// recalculation writes (2 Gcal, 1 MWh and kWh, 10 GJ) read back as the unit they were written for.
int EnergyUnitFromNowa1Vif(std::uint8_t vif);

// Step 6 of the show procedure, without the version check and the handler detaching around it.
bool ShowAdvancedGrid(FormView& form, const MeterImage& shown);
// Column 1 of the grid from the three lists. A row read back that does not convert ends it with
// "'%s' is not a valid floating point value"; returns false then.
bool RecalculateAdvancedGrid(FormView& form, Dialogs& dialogs);
// The dynamic range list changed: energy unit back to "0.001 MWh" (without its handler), then
// one recalculation.
void cbDinamicRangeChange(FormView& form, Dialogs& dialogs);
// Grid to image, only from firmware 16051017 in advanced mode; false after "Bad parameters".
bool StoreAdvancedGrid(ParameterContext& ctx);
// The change handlers of comboBoxQP, comboBoxEnergyUnit and cbDinamicRange.
void InstallAdvancedGridHandlers(const ParameterContext& ctx);

}  // namespace nord5
