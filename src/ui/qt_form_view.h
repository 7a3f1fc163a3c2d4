// The form view over a Qt window: each component name is the objectName of a widget (or of a
// QAction) under the root. Programmatic changes follow the handler rules of form_view.h (the
// handler runs when the value changes, unless detached); user input runs the handler through the
// widget's own signals.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>

#include "foundation/form_view.h"

namespace nord5::ui {

class QtFormView final : public QObject, public FormView {
  Q_OBJECT
 public:
  explicit QtFormView(QObject* root);
  // Binds widgets and actions added under the root after construction.
  void Rescan();
  // The object bound to a name, or nullptr.
  QObject* Object(std::string_view name) const;
  QStringList Names() const;

  // Where handler exceptions raised by user input go (default: qWarning).
  std::function<void(const std::string&)> on_handler_error;

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

  // Converts an edit mask of the meter tool ("!00:00-00:00;1;_") to a Qt input mask.
  static QString ToQtMask(const std::string& mask);

 private:
  struct Entry {
    QPointer<QObject> object;
    ControlKind kind = ControlKind::Other;
    ControlHandler handler;
    bool attached = true;
    std::string mask;
    std::string free_text;  // drop-down lists: text without a matching item
  };
  Entry& Get(std::string_view name);
  const Entry& Get(std::string_view name) const;
  void Bind(QObject* object);
  void Run(Entry& e);
  void RunFromUser(const QString& name);

  QObject* root_;
  QHash<QString, Entry> entries_;
};

}  // namespace nord5::ui
