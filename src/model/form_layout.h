// Every control the parameter procedures use, with its kind, caption or initial text, items,
// radio group and grid size. The desktop window checks it has all of them; the tests and the
// headless programs build their in-memory form from the same list.
#pragma once

#include <string>
#include <vector>

#include "foundation/form_view.h"
#include "foundation/memory_form.h"

namespace nord5 {

struct ControlSpec {
  std::string name;
  ControlKind kind = ControlKind::Edit;
  std::string text;                // caption (check boxes, radio buttons, buttons, groups) or text
  std::vector<std::string> items;  // drop-down lists, check lists
  int index = -1;                  // initially selected item
  bool checked = false;
  std::string radio_group;         // radio buttons of one group uncheck each other
  int cols = 0, rows = 0;          // grids
  std::vector<std::string> header_row;    // row 0 texts of a grid
  std::vector<std::string> label_column;  // column 0 texts of a grid (the advanced grid)
  bool enabled = true;
  bool visible = true;
  bool read_only = false;
};

// In the order of the window's tabs: "Actual", "LCD Menu", "Configuration", "Manufacture",
// "VARME".
const std::vector<ControlSpec>& ParameterControls();

// Adds every control of ParameterControls() to `form` in its design-time state.
void AddParameterControls(MemoryForm& form);

// The names of ParameterControls() that `form` lacks (empty when it has all).
std::vector<std::string> MissingParameterControls(const FormView& form);

}  // namespace nord5
