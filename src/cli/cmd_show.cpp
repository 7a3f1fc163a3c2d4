// nord5-cli show FILE [--advanced]: loads a configuration file as the program does and prints
// every control the show procedure fills, in the order it fills them.
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"
#include "files/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/memory_form.h"
#include "model/form_layout.h"
#include "model/parameter_display.h"

namespace nord5::cli {
namespace {

// Passes everything to an in-memory form and notes each value set, the first time it is set.
class RecordingForm final : public FormView {
 public:
  struct Entry {
    std::string name;
    int col = -1, row = -1;
  };
  explicit RecordingForm(MemoryForm& inner) : f_(inner) {}
  std::vector<Entry> entries;
  bool recording = false;

  bool Has(std::string_view n) const override { return f_.Has(n); }
  ControlKind Kind(std::string_view n) const override { return f_.Kind(n); }
  std::string Text(std::string_view n) const override { return f_.Text(n); }
  void SetText(std::string_view n, const std::string& t) override { Note(n); f_.SetText(n, t); }
  bool Checked(std::string_view n) const override { return f_.Checked(n); }
  void SetChecked(std::string_view n, bool c) override { Note(n); f_.SetChecked(n, c); }
  std::vector<std::string> Items(std::string_view n) const override { return f_.Items(n); }
  void SetItems(std::string_view n, const std::vector<std::string>& i) override { f_.SetItems(n, i); }
  int ItemIndex(std::string_view n) const override { return f_.ItemIndex(n); }
  void SetItemIndex(std::string_view n, int i) override { Note(n); f_.SetItemIndex(n, i); }
  bool ItemChecked(std::string_view n, int i) const override { return f_.ItemChecked(n, i); }
  void SetItemChecked(std::string_view n, int i, bool c) override { f_.SetItemChecked(n, i, c); }
  int ColCount(std::string_view n) const override { return f_.ColCount(n); }
  int RowCount(std::string_view n) const override { return f_.RowCount(n); }
  void SetColCount(std::string_view n, int c) override { f_.SetColCount(n, c); }
  void SetRowCount(std::string_view n, int r) override { f_.SetRowCount(n, r); }
  std::string Cell(std::string_view n, int c, int r) const override { return f_.Cell(n, c, r); }
  void SetCell(std::string_view n, int c, int r, const std::string& t) override {
    Note(n, c, r);
    f_.SetCell(n, c, r, t);
  }
  std::string EditMask(std::string_view n) const override { return f_.EditMask(n); }
  void SetEditMask(std::string_view n, const std::string& m) override { f_.SetEditMask(n, m); }
  bool Enabled(std::string_view n) const override { return f_.Enabled(n); }
  void SetEnabled(std::string_view n, bool e) override { f_.SetEnabled(n, e); }
  bool Visible(std::string_view n) const override { return f_.Visible(n); }
  void SetVisible(std::string_view n, bool v) override { f_.SetVisible(n, v); }
  bool ReadOnly(std::string_view n) const override { return f_.ReadOnly(n); }
  void SetReadOnly(std::string_view n, bool r) override { f_.SetReadOnly(n, r); }
  void SetHandler(std::string_view n, ControlHandler h) override { f_.SetHandler(n, std::move(h)); }
  void DetachHandler(std::string_view n) override { f_.DetachHandler(n); }
  void AttachHandler(std::string_view n) override { f_.AttachHandler(n); }
  bool HandlerAttached(std::string_view n) const override { return f_.HandlerAttached(n); }
  void FireHandler(std::string_view n) override { f_.FireHandler(n); }

 private:
  void Note(std::string_view n, int col = -1, int row = -1) {
    if (!recording) return;
    std::string key = std::string(n) + "\x1F" + std::to_string(col) + "," + std::to_string(row);
    if (seen_.insert(key).second) entries.push_back({std::string(n), col, row});
  }
  MemoryForm& f_;
  std::set<std::string> seen_;
};

// Messages go to stderr; questions are answered No, file dialogs cancelled.
class ConsoleDialogs final : public Dialogs {
 public:
  MsgResult Message(const std::string& text, MsgIcon, MsgButtons buttons, bool) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
  }
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
};

std::string ValueText(const MemoryForm& f, const RecordingForm::Entry& e) {
  switch (f.Kind(e.name)) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      return f.Checked(e.name) ? "True" : "False";
    case ControlKind::Grid:
      return f.Cell(e.name, e.col, e.row);
    default:
      return f.Text(e.name);  // a list: its selected item's text
  }
}

int RunShow(const std::vector<std::string>& args) {
  Options opts(args);
  const bool advanced = opts.Flag("advanced");
  if (!opts.Unknown().empty() || opts.Positional().size() != 1) {
    std::fprintf(stderr, "usage: nord5-cli show FILE [--advanced]\n");
    return kExitUsage;
  }
  MemoryForm memory;
  AddParameterControls(memory);
  RecordingForm form(memory);
  MeterImage working;
  ConsoleDialogs dialogs;
  ExchangeState state;
  ParameterContext ctx{form, working, dialogs, state, advanced};
  InstallParameterHandlers(ctx);
  ClearParameterDisplay(ctx);
  form.recording = true;
  if (!LoadConfigurationFile(ctx, opts.Positional()[0], working)) return kExitRefused;
  form.recording = false;
  for (const auto& e : form.entries) {
    std::string name = e.name;
    if (e.col >= 0) name += "[" + std::to_string(e.col) + "," + std::to_string(e.row) + "]";
    std::printf("%s\t%s\n", name.c_str(), ValueText(memory, e).c_str());
  }
  return kExitOk;
}

}  // namespace

NORD5_CLI_COMMAND("show", "FILE [--advanced]  print the controls a configuration file fills",
                  RunShow);

}  // namespace nord5::cli
