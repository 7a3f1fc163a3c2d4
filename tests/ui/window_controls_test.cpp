// The main window has every control the parameter procedures use, with the kind, items and
// caption they expect.
#include <QtTest>

#include "model/form_layout.h"
#include "ui/main_window.h"
#include "ui/qt_form_view.h"
#include "ui_test_env.h"

using namespace nord5;

class WindowControlsTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void HasEveryParameterControl();
  void ControlsMatchTheirDesign();

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

NORD5_UI_TEST(WindowControlsTest);
#include "window_controls_test.moc"
