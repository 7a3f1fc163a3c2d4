// The "Logging" group of the main window bound to the data logger: "Logging data" starts (save
// dialog, rewrite question) and stops it, "Show log" opens the archive window, which every
// logged reading feeds while it is open.
#pragma once

#include <functional>

namespace nord5 {
class Dialogs;
class FormView;
class TDataLogger;
}  // namespace nord5

class QWidget;

namespace nord5::ui {

class StatusPanels;

// `window` is the parent of the archive window; `dialogs` gives the message boxes in force.
void BindDataLogging(TDataLogger& logger, FormView& form, QWidget* window, StatusPanels& status,
                     std::function<Dialogs&()> dialogs);

}  // namespace nord5::ui
