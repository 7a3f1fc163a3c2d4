#include "foundation/memory_form.h"

#include <stdexcept>

namespace nord5 {
namespace {

[[noreturn]] void WrongKind(std::string_view name, const char* what) {
  throw std::logic_error("control " + std::string(name) + " has no " + what);
}

}  // namespace

MemoryForm::Control& MemoryForm::Add(std::string_view name, ControlKind kind, std::string text) {
  auto it = controls_.find(name);
  if (it == controls_.end()) {
    it = controls_.emplace(std::string(name), Control{}).first;
    order_.emplace_back(name);
  } else {
    it->second = Control{};
  }
  it->second.kind = kind;
  it->second.text = std::move(text);
  return it->second;
}

MemoryForm::Control& MemoryForm::AddCombo(std::string_view name, std::vector<std::string> items,
                                          int index) {
  Control& c = Add(name, ControlKind::ComboBox);
  c.items = std::move(items);
  c.index = (index >= 0 && index < static_cast<int>(c.items.size())) ? index : -1;
  return c;
}

MemoryForm::Control& MemoryForm::AddRadio(std::string_view name, std::string_view group,
                                          bool checked, std::string text) {
  Control& c = Add(name, ControlKind::RadioButton, std::move(text));
  c.radio_group = std::string(group);
  c.checked = checked;
  return c;
}

MemoryForm::Control& MemoryForm::AddGrid(std::string_view name, int cols, int rows) {
  Control& c = Add(name, ControlKind::Grid);
  Resize(c, cols, rows);
  return c;
}

MemoryForm::Control& MemoryForm::AddCheckList(std::string_view name, std::vector<std::string> items) {
  Control& c = Add(name, ControlKind::CheckList);
  c.item_checked.assign(items.size(), false);
  c.items = std::move(items);
  return c;
}

MemoryForm::Control& MemoryForm::Get(std::string_view name) {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw UnknownControl(name);
  return it->second;
}

const MemoryForm::Control& MemoryForm::Get(std::string_view name) const {
  auto it = controls_.find(name);
  if (it == controls_.end()) throw UnknownControl(name);
  return it->second;
}

MemoryForm::Control& MemoryForm::Require(std::string_view name, ControlKind kind) {
  Control& c = Get(name);
  if (c.kind != kind) WrongKind(name, kind == ControlKind::Grid ? "cells" : "such property");
  return c;
}

const MemoryForm::Control& MemoryForm::Require(std::string_view name, ControlKind kind) const {
  const Control& c = Get(name);
  if (c.kind != kind) WrongKind(name, kind == ControlKind::Grid ? "cells" : "such property");
  return c;
}

void MemoryForm::Run(Control& c) {
  if (c.handler && c.attached) {
    ++c.handler_runs;
    // Copy: the handler may replace itself.
    ControlHandler h = c.handler;
    h();
  }
}

void MemoryForm::Resize(Control& c, int cols, int rows) {
  if (cols < 0) cols = 0;
  if (rows < 0) rows = 0;
  std::vector<std::string> cells(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
  for (int r = 0; r < std::min(rows, c.rows); ++r)
    for (int col = 0; col < std::min(cols, c.cols); ++col)
      cells[static_cast<std::size_t>(r * cols + col)] =
          std::move(c.cells[static_cast<std::size_t>(r * c.cols + col)]);
  c.cells = std::move(cells);
  c.cols = cols;
  c.rows = rows;
}

bool MemoryForm::Has(std::string_view name) const { return controls_.count(name) != 0; }
ControlKind MemoryForm::Kind(std::string_view name) const { return Get(name).kind; }

std::string MemoryForm::Text(std::string_view name) const {
  const Control& c = Get(name);
  if (c.kind == ControlKind::ComboBox && c.index >= 0 && c.index < static_cast<int>(c.items.size()))
    return c.items[static_cast<std::size_t>(c.index)];
  return c.text;
}

void MemoryForm::SetText(std::string_view name, const std::string& text) {
  Control& c = Get(name);
  if (c.kind == ControlKind::ComboBox) {
    // A drop-down list takes the item with that text, or none.
    const std::string before = Text(name);
    int found = -1;
    for (std::size_t i = 0; i < c.items.size(); ++i)
      if (c.items[i] == text) found = static_cast<int>(i);
    c.index = found;
    c.text = text;
    if (Text(name) != before) Run(c);
    return;
  }
  if (c.text == text) return;
  c.text = text;
  if (c.kind == ControlKind::Edit) Run(c);
}

bool MemoryForm::Checked(std::string_view name) const {
  const Control& c = Get(name);
  if (c.kind != ControlKind::CheckBox && c.kind != ControlKind::RadioButton) WrongKind(name, "check state");
  return c.checked;
}

void MemoryForm::SetChecked(std::string_view name, bool checked) {
  Control& c = Get(name);
  if (c.kind != ControlKind::CheckBox && c.kind != ControlKind::RadioButton) WrongKind(name, "check state");
  if (c.checked == checked) return;
  c.checked = checked;
  if (c.kind == ControlKind::RadioButton) {
    if (!checked) return;  // unchecking a radio button from code runs nothing
    for (auto& [other_name, other] : controls_)
      if (&other != &c && other.kind == ControlKind::RadioButton && !c.radio_group.empty() &&
          other.radio_group == c.radio_group)
        other.checked = false;
  }
  Run(c);
}

std::vector<std::string> MemoryForm::Items(std::string_view name) const {
  const Control& c = Get(name);
  if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::CheckList) WrongKind(name, "items");
  return c.items;
}

void MemoryForm::SetItems(std::string_view name, const std::vector<std::string>& items) {
  Control& c = Get(name);
  if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::CheckList) WrongKind(name, "items");
  c.items = items;
  c.item_checked.resize(items.size(), false);
  if (c.index >= static_cast<int>(items.size())) c.index = -1;
}

int MemoryForm::ItemIndex(std::string_view name) const {
  const Control& c = Get(name);
  if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::CheckList) WrongKind(name, "item index");
  return c.index;
}

void MemoryForm::SetItemIndex(std::string_view name, int index) {
  Control& c = Get(name);
  if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::CheckList) WrongKind(name, "item index");
  if (index < -1 || index >= static_cast<int>(c.items.size())) index = -1;
  if (c.index == index) return;
  c.index = index;
  if (c.kind == ControlKind::ComboBox) Run(c);
}

bool MemoryForm::ItemChecked(std::string_view name, int index) const {
  const Control& c = Require(name, ControlKind::CheckList);
  if (index < 0 || index >= static_cast<int>(c.item_checked.size())) return false;
  return c.item_checked[static_cast<std::size_t>(index)];
}

void MemoryForm::SetItemChecked(std::string_view name, int index, bool checked) {
  Control& c = Require(name, ControlKind::CheckList);
  if (index < 0 || index >= static_cast<int>(c.item_checked.size())) return;
  if (c.item_checked[static_cast<std::size_t>(index)] == checked) return;
  c.item_checked[static_cast<std::size_t>(index)] = checked;
  Run(c);
}

int MemoryForm::ColCount(std::string_view name) const { return Require(name, ControlKind::Grid).cols; }
int MemoryForm::RowCount(std::string_view name) const { return Require(name, ControlKind::Grid).rows; }

void MemoryForm::SetColCount(std::string_view name, int cols) {
  Control& c = Require(name, ControlKind::Grid);
  Resize(c, cols, c.rows);
}

void MemoryForm::SetRowCount(std::string_view name, int rows) {
  Control& c = Require(name, ControlKind::Grid);
  Resize(c, c.cols, rows);
}

std::string MemoryForm::Cell(std::string_view name, int col, int row) const {
  const Control& c = Require(name, ControlKind::Grid);
  if (col < 0 || row < 0 || col >= c.cols || row >= c.rows)
    throw std::out_of_range("cell outside grid " + std::string(name));
  return c.cells[static_cast<std::size_t>(row * c.cols + col)];
}

void MemoryForm::SetCell(std::string_view name, int col, int row, const std::string& text) {
  Control& c = Require(name, ControlKind::Grid);
  if (col < 0 || row < 0 || col >= c.cols || row >= c.rows)
    throw std::out_of_range("cell outside grid " + std::string(name));
  c.cells[static_cast<std::size_t>(row * c.cols + col)] = text;
}

std::string MemoryForm::EditMask(std::string_view name) const { return Get(name).mask; }
void MemoryForm::SetEditMask(std::string_view name, const std::string& mask) { Get(name).mask = mask; }
bool MemoryForm::Enabled(std::string_view name) const { return Get(name).enabled; }
void MemoryForm::SetEnabled(std::string_view name, bool enabled) { Get(name).enabled = enabled; }
bool MemoryForm::Visible(std::string_view name) const { return Get(name).visible; }
void MemoryForm::SetVisible(std::string_view name, bool visible) { Get(name).visible = visible; }
bool MemoryForm::ReadOnly(std::string_view name) const { return Get(name).read_only; }
void MemoryForm::SetReadOnly(std::string_view name, bool read_only) { Get(name).read_only = read_only; }

void MemoryForm::SetHandler(std::string_view name, ControlHandler handler) {
  Get(name).handler = std::move(handler);
}
void MemoryForm::DetachHandler(std::string_view name) { Get(name).attached = false; }
void MemoryForm::AttachHandler(std::string_view name) { Get(name).attached = true; }
bool MemoryForm::HandlerAttached(std::string_view name) const { return Get(name).attached; }
void MemoryForm::FireHandler(std::string_view name) { Run(Get(name)); }

void MemoryForm::UserType(std::string_view name, const std::string& text) {
  Control& c = Get(name);
  if (c.kind == ControlKind::ComboBox) {
    SetText(name, text);
    return;
  }
  if (c.text == text) return;
  c.text = text;
  Run(c);
}

void MemoryForm::UserClick(std::string_view name) {
  Control& c = Get(name);
  if (c.kind == ControlKind::CheckBox) {
    c.checked = !c.checked;
    Run(c);
  } else if (c.kind == ControlKind::RadioButton) {
    if (!c.checked) {
      SetChecked(name, true);  // runs the handler
    } else {
      Run(c);
    }
  } else {
    Run(c);
  }
}

void MemoryForm::UserSelect(std::string_view name, int index) {
  // A user's pick runs the change handler even when the same item is picked again.
  Control& c = Get(name);
  if (c.kind != ControlKind::ComboBox && c.kind != ControlKind::CheckList) WrongKind(name, "item index");
  if (index < -1 || index >= static_cast<int>(c.items.size())) index = -1;
  c.index = index;
  Run(c);
}

}  // namespace nord5
