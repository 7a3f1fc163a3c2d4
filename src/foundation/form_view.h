// The window's controls as the core sees them, addressed by their component names
// (`textBoxQf`, `dataGridView_Q`, `cbMBusCreditsOff`, ...). The parameter groups, the live-values
// view and the file operations are written against this interface; tests use MemoryForm, the
// desktop program binds every name to its Qt widget.
//
// Change handlers follow the original toolkit: setting a value from code runs the control's change
// handler (text fields, drop-down lists) or click handler (check boxes, check-list items, and a
// radio button that becomes checked) when the value actually changes, unless the handler is
// detached at that moment. A detached handler stays registered and runs again once it is attached.
// Grid cells, item lists, masks and the enabled/visible/read-only states never run a handler.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nord5 {

enum class ControlKind : std::uint8_t {
  Label = 0,
  Edit = 1,        // text field, masked edit field, spin box text
  CheckBox = 2,
  RadioButton = 3,
  ComboBox = 4,    // drop-down list
  Grid = 5,        // string grid / data grid
  CheckList = 6,   // list view with check boxes
  Button = 7,
  Group = 8,       // group box, panel, tab sheet
  Other = 9,
};

// Thrown for a component name the form does not have: a wrong name is a programming error and
// must fail loudly in tests, never be ignored.
class UnknownControl : public std::logic_error {
 public:
  explicit UnknownControl(std::string_view name)
      : std::logic_error("unknown control: " + std::string(name)) {}
};

using ControlHandler = std::function<void()>;

class FormView {
 public:
  virtual ~FormView() = default;

  virtual bool Has(std::string_view name) const = 0;
  virtual ControlKind Kind(std::string_view name) const = 0;

  // Text fields, labels, buttons, group captions; for a combo box the text of its edit part
  // (the selected item's text when it has one).
  virtual std::string Text(std::string_view name) const = 0;
  virtual void SetText(std::string_view name, const std::string& text) = 0;

  // Check boxes and radio buttons. Checking a radio button unchecks the others of its group.
  virtual bool Checked(std::string_view name) const = 0;
  virtual void SetChecked(std::string_view name, bool checked) = 0;

  // Drop-down lists and check lists: items and the selected index (-1 for none).
  virtual std::vector<std::string> Items(std::string_view name) const = 0;
  virtual void SetItems(std::string_view name, const std::vector<std::string>& items) = 0;
  virtual int ItemIndex(std::string_view name) const = 0;
  virtual void SetItemIndex(std::string_view name, int index) = 0;
  // Check lists: the check mark of one item. Setting it runs the click handler.
  virtual bool ItemChecked(std::string_view name, int index) const = 0;
  virtual void SetItemChecked(std::string_view name, int index, bool checked) = 0;

  // Grids, addressed as [column, row] like the original string grids (row 0 may be a header).
  virtual int ColCount(std::string_view name) const = 0;
  virtual int RowCount(std::string_view name) const = 0;
  virtual void SetColCount(std::string_view name, int cols) = 0;
  virtual void SetRowCount(std::string_view name, int rows) = 0;
  virtual std::string Cell(std::string_view name, int col, int row) const = 0;
  virtual void SetCell(std::string_view name, int col, int row, const std::string& text) = 0;

  virtual std::string EditMask(std::string_view name) const = 0;
  virtual void SetEditMask(std::string_view name, const std::string& mask) = 0;

  virtual bool Enabled(std::string_view name) const = 0;
  virtual void SetEnabled(std::string_view name, bool enabled) = 0;
  virtual bool Visible(std::string_view name) const = 0;
  virtual void SetVisible(std::string_view name, bool visible) = 0;
  virtual bool ReadOnly(std::string_view name) const = 0;
  virtual void SetReadOnly(std::string_view name, bool read_only) = 0;

  // The change handler (text fields, lists, grids) or click handler (check boxes, radio buttons,
  // buttons, check lists) of a control. Replaces any previous handler.
  virtual void SetHandler(std::string_view name, ControlHandler handler) = 0;
  // While detached, programmatic changes do not run the handler.
  virtual void DetachHandler(std::string_view name) = 0;
  virtual void AttachHandler(std::string_view name) = 0;
  virtual bool HandlerAttached(std::string_view name) const = 0;
  // Runs the handler now if one is registered and attached (a user click, or an explicit call).
  virtual void FireHandler(std::string_view name) = 0;
};

// Detaches the handlers of the named controls for the lifetime of the guard and attaches them
// again afterwards (also when the guarded code throws).
class HandlerDetachGuard {
 public:
  HandlerDetachGuard(FormView& form, std::vector<std::string> names);
  ~HandlerDetachGuard();
  HandlerDetachGuard(const HandlerDetachGuard&) = delete;
  HandlerDetachGuard& operator=(const HandlerDetachGuard&) = delete;

 private:
  FormView& form_;
  std::vector<std::string> names_;
  std::vector<bool> was_attached_;
};

}  // namespace nord5
