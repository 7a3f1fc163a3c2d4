// Captions and item lists of the main window's controls that the window itself lays out.
#pragma once

#include <QStringList>

namespace nord5::ui {

inline constexpr const char* kProgramTitle = "VARMELINOX NORD5 User configurator";
inline constexpr const char* kAppName = "VARMELINOX_NORD5_User_config";

QStringList TimeCorrectionItems();
QStringList NominalFlowItems();
QStringList EnergyUnitItems();
QStringList DynamicRangeItems();
QStringList MediumItems();
QStringList TriggerItems();
QStringList CounterItems();
QStringList PulseVifDesignItems();
QStringList ReadDataItems();
QStringList TestParameterItems();
QStringList ArchiveQuantityCaptions();
QStringList AdvancedGridLabels();
// LCD menu item captions of group 1, 2 or 3 (16, 32 and 32 items).
QStringList MenuItemCaptions(int group);

}  // namespace nord5::ui

namespace nord5::ui {

inline constexpr const char* kLostComPort = "Program lost com port \"%1\"";
inline constexpr const char* kVirtualMeterPort = "Virtual meter";

}  // namespace nord5::ui
