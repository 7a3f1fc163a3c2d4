// An in-memory FormView for tests and for the headless programs: controls are added by component
// name and kind, and behave like their window counterparts (handler rules of form_view.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "foundation/form_view.h"

namespace nord5 {

class MemoryForm : public FormView {
 public:
  struct Control {
    ControlKind kind = ControlKind::Other;
    std::string text;
    bool checked = false;
    std::string radio_group;  // radio buttons of one group uncheck each other
    std::vector<std::string> items;
    std::vector<bool> item_checked;
    int index = -1;
    int cols = 0;
    int rows = 0;
    std::vector<std::string> cells;  // row-major, cols * rows
    std::string mask;
    bool enabled = true;
    bool visible = true;
    bool read_only = false;
    ControlHandler handler;
    bool attached = true;
    int handler_runs = 0;  // how often the handler ran (tests look at it)
  };

  // Adds a control (replacing one of the same name) and returns it for further setup.
  Control& Add(std::string_view name, ControlKind kind, std::string text = {});
  Control& AddCombo(std::string_view name, std::vector<std::string> items, int index = -1);
  Control& AddRadio(std::string_view name, std::string_view group, bool checked = false,
                    std::string text = {});
  Control& AddGrid(std::string_view name, int cols, int rows);
  Control& AddCheckList(std::string_view name, std::vector<std::string> items);

  // The control record itself (throws UnknownControl).
  Control& Get(std::string_view name);
  const Control& Get(std::string_view name) const;
  // Component names in the order they were added.
  const std::vector<std::string>& Names() const { return order_; }

  bool Has(std::string_view name) const override;
  ControlKind Kind(std::string_view name) const override;
  std::string Text(std::string_view name) const override;
  void SetText(std::string_view name, const std::string& text) override;
  bool Checked(std::string_view name) const override;
  void SetChecked(std::string_view name, bool checked) override;
  std::vector<std::string> Items(std::string_view name) const override;
  void SetItems(std::string_view name, const std::vector<std::string>& items) override;
  int ItemIndex(std::string_view name) const override;
  void SetItemIndex(std::string_view name, int index) override;
  bool ItemChecked(std::string_view name, int index) const override;
  void SetItemChecked(std::string_view name, int index, bool checked) override;
  int ColCount(std::string_view name) const override;
  int RowCount(std::string_view name) const override;
  void SetColCount(std::string_view name, int cols) override;
  void SetRowCount(std::string_view name, int rows) override;
  std::string Cell(std::string_view name, int col, int row) const override;
  void SetCell(std::string_view name, int col, int row, const std::string& text) override;
  std::string EditMask(std::string_view name) const override;
  void SetEditMask(std::string_view name, const std::string& mask) override;
  bool Enabled(std::string_view name) const override;
  void SetEnabled(std::string_view name, bool enabled) override;
  bool Visible(std::string_view name) const override;
  void SetVisible(std::string_view name, bool visible) override;
  bool ReadOnly(std::string_view name) const override;
  void SetReadOnly(std::string_view name, bool read_only) override;
  void SetHandler(std::string_view name, ControlHandler handler) override;
  void DetachHandler(std::string_view name) override;
  void AttachHandler(std::string_view name) override;
  bool HandlerAttached(std::string_view name) const override;
  void FireHandler(std::string_view name) override;

  // What a user does: typing replaces the text and runs the change handler; a click toggles a
  // check box (or checks a radio button) and runs the click handler even if nothing changed.
  void UserType(std::string_view name, const std::string& text);
  void UserClick(std::string_view name);
  void UserSelect(std::string_view name, int index);

 private:
  Control& Require(std::string_view name, ControlKind kind);
  const Control& Require(std::string_view name, ControlKind kind) const;
  void Run(Control& c);
  void Resize(Control& c, int cols, int rows);

  std::map<std::string, Control, std::less<>> controls_;
  std::vector<std::string> order_;
};

}  // namespace nord5
