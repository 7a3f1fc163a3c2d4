#include "ui/qt_form_view.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtDebug>
#include <stdexcept>

#include "ui/widgets.h"

namespace nord5::ui {
namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
std::string S(const QString& s) { return s.toStdString(); }

[[noreturn]] void WrongKind(std::string_view name, const char* what) {
  throw std::logic_error("control " + std::string(name) + " has no " + what);
}

// A page of a tab widget: its tab widget and index, or nullptr.
QTabWidget* TabOf(QWidget* page, int* index) {
  if (!page || !page->parentWidget()) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
  if (!tabs) return nullptr;
  *index = tabs->indexOf(page);
  return *index >= 0 ? tabs : nullptr;
}

ControlKind KindOf(QObject* o) {
  if (qobject_cast<QLabel*>(o)) return ControlKind::Label;
  if (qobject_cast<QLineEdit*>(o) || qobject_cast<QSpinBox*>(o)) return ControlKind::Edit;
  if (qobject_cast<QCheckBox*>(o)) return ControlKind::CheckBox;
  if (qobject_cast<QRadioButton*>(o)) return ControlKind::RadioButton;
  if (qobject_cast<QComboBox*>(o)) return ControlKind::ComboBox;
  if (qobject_cast<QTableWidget*>(o)) return ControlKind::Grid;
  if (qobject_cast<QTreeWidget*>(o)) return ControlKind::CheckList;
  if (qobject_cast<QPushButton*>(o)) return ControlKind::Button;
  if (auto* a = qobject_cast<QAction*>(o))
    return a->isCheckable() ? ControlKind::CheckBox : ControlKind::Button;
  if (qobject_cast<QGroupBox*>(o) || qobject_cast<QTabWidget*>(o)) return ControlKind::Group;
  if (auto* w = qobject_cast<QWidget*>(o)) {
    int i = 0;
    if (TabOf(w, &i)) return ControlKind::Group;
  }
  return ControlKind::Other;
}

// The text of a masked field with blanks as spaces, so positions stay where the mask puts them.
QString MaskedText(const QLineEdit* e) {
  if (e->inputMask().isEmpty()) return e->text();
  QString t = e->displayText();
  const QString mask = e->inputMask();
  const int semi = mask.lastIndexOf(';');
  const QChar blank = semi >= 0 && semi + 1 < mask.size() ? mask.at(semi + 1) : QChar(' ');
  t.replace(blank, ' ');
  return t;
}

}  // namespace

QtFormView::QtFormView(QObject* root) : QObject(root), root_(root) { Rescan(); }

void QtFormView::Rescan() {
  QList<QObject*> all = root_->findChildren<QObject*>();
  all.prepend(root_);
  for (QObject* o : all) {
    const QString name = o->objectName();
    if (name.isEmpty() || name.startsWith("qt_") || entries_.contains(name)) continue;
    if (!qobject_cast<QWidget*>(o) && !qobject_cast<QAction*>(o)) continue;
    Bind(o);
  }
}

QObject* QtFormView::Object(std::string_view name) const {
  auto it = entries_.find(Q(name));
  return it == entries_.end() ? nullptr : it->object.data();
}

QStringList QtFormView::Names() const { return entries_.keys(); }

void QtFormView::Bind(QObject* o) {
  const QString name = o->objectName();
  Entry e;
  e.object = o;
  e.kind = KindOf(o);
  entries_.insert(name, e);
  // User input: these signals come only from the user, or are blocked while code sets values.
  if (auto* a = qobject_cast<QAction*>(o)) {
    connect(a, &QAction::triggered, this, [this, name] { RunFromUser(name); });
  } else if (auto* le = qobject_cast<QLineEdit*>(o)) {
    connect(le, &QLineEdit::textEdited, this, [this, name] { RunFromUser(name); });
  } else if (auto* sp = qobject_cast<QSpinBox*>(o)) {
    connect(sp, &QSpinBox::valueChanged, this, [this, name] { RunFromUser(name); });
  } else if (auto* cb = qobject_cast<QComboBox*>(o)) {
    connect(cb, &QComboBox::activated, this, [this, name] { RunFromUser(name); });
  } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
    connect(b, &QAbstractButton::clicked, this, [this, name] { RunFromUser(name); });
  } else if (auto* g = qobject_cast<QTableWidget*>(o)) {
    connect(g, &QTableWidget::cellChanged, this, [this, name] { RunFromUser(name); });
  } else if (auto* t = qobject_cast<QTreeWidget*>(o)) {
    connect(t, &QTreeWidget::itemChanged, this, [this, name] { RunFromUser(name); });
  }
}

QtFormView::Entry& QtFormView::Get(std::string_view name) {
  auto it = entries_.find(Q(name));
  if (it == entries_.end() || !it->object) throw UnknownControl(name);
  return *it;
}

const QtFormView::Entry& QtFormView::Get(std::string_view name) const {
  auto it = entries_.find(Q(name));
  if (it == entries_.end() || !it->object) throw UnknownControl(name);
  return *it;
}

void QtFormView::Run(Entry& e) {
  if (e.handler && e.attached) {
    ControlHandler h = e.handler;  // the handler may replace itself
    h();
  }
}

void QtFormView::RunFromUser(const QString& name) {
  auto it = entries_.find(name);
  if (it == entries_.end()) return;
  try {
    Run(*it);
  } catch (const std::exception& ex) {
    if (on_handler_error) {
      on_handler_error(ex.what());
    } else {
      qWarning("%s: %s", qPrintable(name), ex.what());
    }
  }
}

bool QtFormView::Has(std::string_view name) const {
  auto it = entries_.find(Q(name));
  return it != entries_.end() && it->object;
}

ControlKind QtFormView::Kind(std::string_view name) const { return Get(name).kind; }

std::string QtFormView::Text(std::string_view name) const {
  const Entry& e = Get(name);
  QObject* o = e.object;
  if (auto* le = qobject_cast<QLineEdit*>(o)) return S(MaskedText(le));
  if (auto* sp = qobject_cast<QSpinBox*>(o)) return std::to_string(sp->value());
  if (auto* cb = qobject_cast<QComboBox*>(o)) {
    if (cb->currentIndex() >= 0) return S(cb->currentText());
    return cb->isEditable() ? S(cb->currentText()) : e.free_text;
  }
  if (auto* lb = qobject_cast<QLabel*>(o)) {
    const QVariant cap = lb->property("caption");
    return cap.isValid() ? S(cap.toString()) : S(lb->text());
  }
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return S(b->text());
  if (auto* g = qobject_cast<QGroupBox*>(o)) return S(g->title());
  if (auto* a = qobject_cast<QAction*>(o)) return S(a->text());
  if (auto* w = qobject_cast<QWidget*>(o)) {
    int i = 0;
    if (QTabWidget* tabs = TabOf(w, &i)) return S(tabs->tabText(i));
    return S(w->windowTitle());
  }
  return {};
}

void QtFormView::SetText(std::string_view name, const std::string& text) {
  Entry& e = Get(name);
  QObject* o = e.object;
  const QString t = QString::fromStdString(text);
  if (auto* le = qobject_cast<QLineEdit*>(o)) {
    if (MaskedText(le) == t) return;
    {
      QSignalBlocker block(le);
      le->setText(t);
    }
    Run(e);
  } else if (auto* sp = qobject_cast<QSpinBox*>(o)) {
    bool ok = false;
    const int v = t.trimmed().toInt(&ok);
    if (!ok || v == sp->value()) return;
    {
      QSignalBlocker block(sp);
      sp->setValue(v);
    }
    Run(e);
  } else if (auto* cb = qobject_cast<QComboBox*>(o)) {
    // A drop-down list takes the item with that text, or none.
    const std::string before = Text(name);
    {
      QSignalBlocker block(cb);
      const int found = cb->findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
      cb->setCurrentIndex(found);
      e.free_text = text;
      if (cb->isEditable()) {
        cb->setEditText(t);
      } else if (found < 0) {
        cb->setPlaceholderText(t);
      }
    }
    if (Text(name) != before) Run(e);
  } else if (auto* lb = qobject_cast<QLabel*>(o)) {
    lb->setProperty("caption", t);
    lb->setText(QString(t).replace("&&", "&"));
  } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
    b->setText(t);
  } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
    g->setTitle(t);
  } else if (auto* a = qobject_cast<QAction*>(o)) {
    a->setText(t);
  } else if (auto* w = qobject_cast<QWidget*>(o)) {
    int i = 0;
    if (QTabWidget* tabs = TabOf(w, &i)) {
      tabs->setTabText(i, t);
    } else {
      w->setWindowTitle(t);
    }
  }
}

bool QtFormView::Checked(std::string_view name) const {
  QObject* o = Get(name).object;
  if (auto* b = qobject_cast<QAbstractButton*>(o); b && b->isCheckable()) return b->isChecked();
  if (auto* a = qobject_cast<QAction*>(o)) return a->isChecked();
  WrongKind(name, "check state");
}

void QtFormView::SetChecked(std::string_view name, bool checked) {
  Entry& e = Get(name);
  QObject* o = e.object;
  if (auto* a = qobject_cast<QAction*>(o)) {
    if (a->isChecked() == checked) return;
    {
      QSignalBlocker block(a);
      a->setChecked(checked);
    }
    Run(e);
    return;
  }
  auto* b = qobject_cast<QAbstractButton*>(o);
  if (!b || !b->isCheckable()) WrongKind(name, "check state");
  if (b->isChecked() == checked) return;
  if (qobject_cast<QRadioButton*>(b) && !checked) {
    // Unchecking a radio button from code runs nothing; the toolkit's exclusivity does not
    // allow unchecking the checked one directly.
    const bool exclusive = b->autoExclusive();
    b->setAutoExclusive(false);
    {
      QSignalBlocker block(b);
      b->setChecked(false);
    }
    b->setAutoExclusive(exclusive);
    return;
  }
  {
    QSignalBlocker block(b);
    b->setChecked(checked);
  }
  Run(e);
}

std::vector<std::string> QtFormView::Items(std::string_view name) const {
  QObject* o = Get(name).object;
  std::vector<std::string> out;
  if (auto* cb = qobject_cast<QComboBox*>(o)) {
    for (int i = 0; i < cb->count(); ++i) out.push_back(S(cb->itemText(i)));
  } else if (auto* t = qobject_cast<QTreeWidget*>(o)) {
    for (int i = 0; i < t->topLevelItemCount(); ++i) out.push_back(S(t->topLevelItem(i)->text(0)));
  } else {
    WrongKind(name, "items");
  }
  return out;
}

void QtFormView::SetItems(std::string_view name, const std::vector<std::string>& items) {
  QObject* o = Get(name).object;
  if (auto* cb = qobject_cast<QComboBox*>(o)) {
    QSignalBlocker block(cb);
    int index = cb->currentIndex();
    cb->clear();
    for (const auto& s : items) cb->addItem(QString::fromStdString(s));
    if (index >= static_cast<int>(items.size())) index = -1;
    cb->setCurrentIndex(index);
  } else if (auto* t = qobject_cast<QTreeWidget*>(o)) {
    QSignalBlocker block(t);
    const int n = static_cast<int>(items.size());
    while (t->topLevelItemCount() > n) delete t->takeTopLevelItem(t->topLevelItemCount() - 1);
    for (int i = 0; i < n; ++i) {
      QTreeWidgetItem* it = t->topLevelItem(i);
      if (!it) {
        it = new QTreeWidgetItem(t);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        it->setCheckState(0, Qt::Unchecked);
      }
      it->setText(0, QString::fromStdString(items[static_cast<std::size_t>(i)]));
    }
  } else {
    WrongKind(name, "items");
  }
}

int QtFormView::ItemIndex(std::string_view name) const {
  QObject* o = Get(name).object;
  if (auto* cb = qobject_cast<QComboBox*>(o)) return cb->currentIndex();
  if (auto* t = qobject_cast<QTreeWidget*>(o)) {
    QTreeWidgetItem* cur = t->currentItem();
    return cur ? t->indexOfTopLevelItem(cur) : -1;
  }
  WrongKind(name, "item index");
}

void QtFormView::SetItemIndex(std::string_view name, int index) {
  Entry& e = Get(name);
  QObject* o = e.object;
  if (auto* cb = qobject_cast<QComboBox*>(o)) {
    if (index < -1 || index >= cb->count()) index = -1;
    if (cb->currentIndex() == index) return;
    {
      QSignalBlocker block(cb);
      cb->setCurrentIndex(index);
    }
    Run(e);
  } else if (auto* t = qobject_cast<QTreeWidget*>(o)) {
    QSignalBlocker block(t);
    t->setCurrentItem(index >= 0 ? t->topLevelItem(index) : nullptr);
  } else {
    WrongKind(name, "item index");
  }
}

bool QtFormView::ItemChecked(std::string_view name, int index) const {
  auto* t = qobject_cast<QTreeWidget*>(Get(name).object);
  if (!t) WrongKind(name, "check marks");
  QTreeWidgetItem* it = t->topLevelItem(index);
  return it && it->checkState(0) == Qt::Checked;
}

void QtFormView::SetItemChecked(std::string_view name, int index, bool checked) {
  Entry& e = Get(name);
  auto* t = qobject_cast<QTreeWidget*>(e.object);
  if (!t) WrongKind(name, "check marks");
  QTreeWidgetItem* it = t->topLevelItem(index);
  if (!it || (it->checkState(0) == Qt::Checked) == checked) return;
  {
    QSignalBlocker block(t);
    it->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
  }
  Run(e);
}

int QtFormView::ColCount(std::string_view name) const {
  auto* g = qobject_cast<QTableWidget*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  return g->columnCount();
}

int QtFormView::RowCount(std::string_view name) const {
  auto* g = qobject_cast<QTableWidget*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  return g->rowCount();
}

void QtFormView::SetColCount(std::string_view name, int cols) {
  auto* g = qobject_cast<StringGrid*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  QSignalBlocker block(g);
  g->Resize(std::max(cols, 0), g->rowCount());
}

void QtFormView::SetRowCount(std::string_view name, int rows) {
  auto* g = qobject_cast<StringGrid*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  QSignalBlocker block(g);
  g->Resize(g->columnCount(), std::max(rows, 0));
}

std::string QtFormView::Cell(std::string_view name, int col, int row) const {
  auto* g = qobject_cast<StringGrid*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  if (col < 0 || row < 0 || col >= g->columnCount() || row >= g->rowCount())
    throw std::out_of_range("cell outside grid " + std::string(name));
  return S(g->CellText(col, row));
}

void QtFormView::SetCell(std::string_view name, int col, int row, const std::string& text) {
  auto* g = qobject_cast<StringGrid*>(Get(name).object);
  if (!g) WrongKind(name, "cells");
  if (col < 0 || row < 0 || col >= g->columnCount() || row >= g->rowCount())
    throw std::out_of_range("cell outside grid " + std::string(name));
  QSignalBlocker block(g);
  g->SetCellText(col, row, QString::fromStdString(text));
}

QString QtFormView::ToQtMask(const std::string& mask) {
  if (mask.empty()) return {};
  // Mask;save-literals;blank. "0" is a required digit and "9" an optional one here, the other
  // way round in Qt.
  const QString m = QString::fromStdString(mask);
  const QStringList parts = m.split(';');
  QString body = parts.value(0);
  if (body.startsWith('!')) body.remove(0, 1);
  QString out;
  for (QChar c : body) {
    if (c == '0') {
      out += '9';
    } else if (c == '9') {
      out += '0';
    } else if (c == ':' || c == '-' || c == '/' || c == '.' || c == ' ') {
      out += c;
    } else {
      out += '\\';
      out += c;
    }
  }
  const QString blank = parts.size() > 2 && !parts[2].isEmpty() ? parts[2].left(1) : "_";
  return out + ";" + blank;
}

std::string QtFormView::EditMask(std::string_view name) const { return Get(name).mask; }

void QtFormView::SetEditMask(std::string_view name, const std::string& mask) {
  Entry& e = Get(name);
  e.mask = mask;
  if (auto* le = qobject_cast<QLineEdit*>(e.object)) {
    QSignalBlocker block(le);
    le->setInputMask(ToQtMask(mask));
  }
}

bool QtFormView::Enabled(std::string_view name) const {
  QObject* o = Get(name).object;
  if (auto* a = qobject_cast<QAction*>(o)) return a->isEnabled();
  auto* w = qobject_cast<QWidget*>(o);
  int i = 0;
  if (QTabWidget* tabs = TabOf(w, &i)) return tabs->isTabEnabled(i);
  return !w->testAttribute(Qt::WA_ForceDisabled);
}

void QtFormView::SetEnabled(std::string_view name, bool enabled) {
  QObject* o = Get(name).object;
  if (auto* a = qobject_cast<QAction*>(o)) {
    a->setEnabled(enabled);
    return;
  }
  auto* w = qobject_cast<QWidget*>(o);
  int i = 0;
  if (QTabWidget* tabs = TabOf(w, &i)) {
    tabs->setTabEnabled(i, enabled);
    return;
  }
  w->setEnabled(enabled);
}

bool QtFormView::Visible(std::string_view name) const {
  QObject* o = Get(name).object;
  if (auto* a = qobject_cast<QAction*>(o)) return a->isVisible();
  auto* w = qobject_cast<QWidget*>(o);
  int i = 0;
  if (QTabWidget* tabs = TabOf(w, &i)) return tabs->isTabVisible(i);
  return !w->isHidden();
}

void QtFormView::SetVisible(std::string_view name, bool visible) {
  QObject* o = Get(name).object;
  if (auto* a = qobject_cast<QAction*>(o)) {
    a->setVisible(visible);
    return;
  }
  auto* w = qobject_cast<QWidget*>(o);
  int i = 0;
  if (QTabWidget* tabs = TabOf(w, &i)) {
    tabs->setTabVisible(i, visible);
    return;
  }
  w->setVisible(visible);
}

bool QtFormView::ReadOnly(std::string_view name) const {
  QObject* o = Get(name).object;
  if (auto* le = qobject_cast<QLineEdit*>(o)) return le->isReadOnly();
  if (auto* sp = qobject_cast<QSpinBox*>(o)) return sp->isReadOnly();
  if (auto* g = qobject_cast<QAbstractItemView*>(o))
    return g->editTriggers() == QAbstractItemView::NoEditTriggers;
  return false;
}

void QtFormView::SetReadOnly(std::string_view name, bool read_only) {
  QObject* o = Get(name).object;
  if (auto* le = qobject_cast<QLineEdit*>(o)) {
    le->setReadOnly(read_only);
  } else if (auto* sp = qobject_cast<QSpinBox*>(o)) {
    sp->setReadOnly(read_only);
  } else if (auto* g = qobject_cast<QTableWidget*>(o)) {
    g->setEditTriggers(read_only
                           ? QAbstractItemView::NoEditTriggers
                           : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
  }
}

void QtFormView::SetHandler(std::string_view name, ControlHandler handler) {
  Get(name).handler = std::move(handler);
}
void QtFormView::DetachHandler(std::string_view name) { Get(name).attached = false; }
void QtFormView::AttachHandler(std::string_view name) { Get(name).attached = true; }
bool QtFormView::HandlerAttached(std::string_view name) const { return Get(name).attached; }
void QtFormView::FireHandler(std::string_view name) { Run(Get(name)); }

}  // namespace nord5::ui
