// The main window has every control the parameter procedures use, with the kind, items and
// caption they expect.
#include <QStyleOptionComboBox>
#include <QtTest>

#include "model/form_layout.h"
#include "ui/application.h"
#include "ui/main_window.h"
#include "ui/qt_form_view.h"
#include "ui/widgets.h"
#include "ui_test_env.h"

using namespace nord5;

class WindowControlsTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void HasEveryParameterControl();
  void ControlsMatchTheirDesign();
  void CaptionsAreNotClipped();

 private:
  UiTestEnv env_;
};

void WindowControlsTest::HasEveryParameterControl() {
  ui::TfmTermuloConfig w;
  const auto missing = MissingParameterControls(w.Form());
  QStringList names;
  for (const auto& n : missing) names << QString::fromStdString(n);
  QVERIFY2(missing.empty(), qPrintable("missing: " + names.join(", ")));
}

void WindowControlsTest::ControlsMatchTheirDesign() {
  ui::TfmTermuloConfig w;
  FormView& f = w.Form();
  QStringList bad;
  for (const ControlSpec& c : ParameterControls()) {
    if (!f.Has(c.name)) continue;
    const QString n = QString::fromStdString(c.name);
    if (f.Kind(c.name) != c.kind) {
      bad << n + ": kind " + QString::number(int(f.Kind(c.name))) +
                 " != " + QString::number(int(c.kind));
      continue;
    }
    switch (c.kind) {
      case ControlKind::ComboBox:
        if (f.Items(c.name) != c.items) bad << n + ": items";
        if (f.ItemIndex(c.name) != c.index)
          bad << n + QString(": index %1 != %2").arg(f.ItemIndex(c.name)).arg(c.index);
        break;
      case ControlKind::CheckList:
        if (f.Items(c.name) != c.items) bad << n + ": items";
        break;
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        if (f.Checked(c.name) != c.checked) bad << n + ": checked";
        if (!c.text.empty() && f.Text(c.name) != c.text)
          bad << n + ": caption '" + QString::fromStdString(f.Text(c.name)) + "' != '" +
                     QString::fromStdString(c.text) + "'";
        break;
      case ControlKind::Edit:
        if (f.Text(c.name) != c.text)
          bad << n + ": text '" + QString::fromStdString(f.Text(c.name)) + "' != '" +
                     QString::fromStdString(c.text) + "'";
        break;
      case ControlKind::Grid:
        if (f.ColCount(c.name) != c.cols || f.RowCount(c.name) != c.rows)
          bad << n + QString(": size %1x%2 != %3x%4")
                         .arg(f.ColCount(c.name))
                         .arg(f.RowCount(c.name))
                         .arg(c.cols)
                         .arg(c.rows);
        break;
      default:
        break;
    }
  }
  for (const QString& b : bad) qWarning("%s", qPrintable(b));
  QVERIFY(bad.isEmpty());
}

// A caption is readable when its widget is at least as wide as the text needs; grid headers
// (the fixed first row) when their column is. Every page is shown in advanced mode, with the
// longest item chosen in each drop-down list.
void WindowControlsTest::CaptionsAreNotClipped() {
  // In the program's font, as the technician sees it.
  struct FontBack {
    QFont font = QApplication::font();
    ~FontBack() { QApplication::setFont(font); }
  } font_back;
  ui::ApplyProgramFont();
  ui::TfmTermuloConfig w;
  w.Action("caAdvaced")->trigger();
  w.RunStateRules();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QStringList clipped;
  auto check = [&clipped](QWidget* page) {
    for (QWidget* c : page->findChildren<QWidget*>()) {
      if (!c->isVisible() || c->objectName().isEmpty()) continue;
      const QString n = c->objectName();
      if (auto* cb = qobject_cast<QComboBox*>(c)) {
        int longest = -1, width = 0;
        for (int i = 0; i < cb->count(); ++i)
          if (const int wi = cb->fontMetrics().horizontalAdvance(cb->itemText(i)); wi > width) {
            width = wi;
            longest = i;
          }
        const int before = cb->currentIndex();
        cb->setCurrentIndex(longest);
        QStyleOptionComboBox opt;
        opt.initFrom(cb);
        const QRect text = cb->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                       QStyle::SC_ComboBoxEditField, cb);
        if (text.width() < width) clipped << n + QString(": '%1'").arg(cb->itemText(longest));
        cb->setCurrentIndex(before);
      } else if (auto* l = qobject_cast<QLabel*>(c); l && !l->wordWrap() && l->pixmap().isNull()) {
        if (l->width() < l->sizeHint().width()) clipped << n + ": '" + l->text() + "'";
      } else if (qobject_cast<QRadioButton*>(c) || qobject_cast<QCheckBox*>(c)) {
        auto* b = static_cast<QAbstractButton*>(c);
        if (b->width() < b->sizeHint().width()) clipped << n + ": '" + b->text() + "'";
      } else if (auto* b = qobject_cast<QAbstractButton*>(c)) {
        // Push and tool buttons: the longest line of the caption with a little room.
        int text = 0;
        for (const QString& line : b->text().remove('&').split('\n'))
          text = std::max(text, b->fontMetrics().horizontalAdvance(line));
        if (b->width() < text + 8) clipped << n + ": '" + b->text() + "'";
      } else if (auto* t = qobject_cast<QTreeWidget*>(c)) {
        // Check box, text and a little room, within the column and the visible area.
        const int room = std::min(t->columnWidth(0), t->viewport()->width());
        for (int i = 0; i < t->topLevelItemCount(); ++i) {
          const QString text = t->topLevelItem(i)->text(0);
          if (room < t->fontMetrics().horizontalAdvance(text) + 28) clipped << n + ": '" + text + "'";
        }
      } else if (auto* g = qobject_cast<ui::StringGrid*>(c); g && g->FixedRows() > 0) {
        for (int col = 0; col < g->columnCount(); ++col) {
          const QString head = g->CellText(col, 0);
          if (g->columnWidth(col) < g->fontMetrics().horizontalAdvance(head) + 6)
            clipped << n + ": '" + head + "'";
        }
      }
    }
  };
  QTabWidget& pages = w.Pages();
  for (int i = 0; i < pages.count(); ++i) {
    if (!pages.isTabVisible(i)) continue;
    pages.setCurrentIndex(i);
    for (auto* inner : pages.widget(i)->findChildren<QTabWidget*>()) {
      for (int j = 0; j < inner->count(); ++j) {
        inner->setCurrentIndex(j);
        QCoreApplication::processEvents();
        check(inner->widget(j));
      }
    }
    QCoreApplication::processEvents();
    check(pages.widget(i));
  }
  check(w.findChild<QWidget*>("ToolBar2"));
  clipped.removeDuplicates();
  for (const QString& c : clipped) qWarning("clipped: %s", qPrintable(c));
  QVERIFY(clipped.isEmpty());
}

NORD5_UI_TEST(WindowControlsTest);
#include "window_controls_test.moc"
