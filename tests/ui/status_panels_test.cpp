// The status bar's progress panel: the done part in the highlight colour, the rest in the panel
// colour, nothing drawn for a zero maximum.
#include "ui/status_panels.h"

#include <QImage>
#include <QtTest>

#include "ui_test_env.h"

class StatusPanelsTest : public QObject {
  Q_OBJECT
 private slots:
  void ProgressFillsTheDonePart();
  void ZeroMaximumDrawsNothing();
};

namespace {
// Panel 1 spans x 200..380; sample its middle row away from the centred percentage text.
QColor At(const QImage& img, int x) { return img.pixelColor(x, img.height() / 2); }
}  // namespace

void StatusPanelsTest::ProgressFillsTheDonePart() {
  nord5::ui::StatusPanels p;
  p.resize(887, 22);
  p.SetText(1, "Done");
  p.ProgressStart(200);
  p.ProgressSet(50);  // a quarter
  const QImage img = p.grab().toImage();
  const QColor hi = p.palette().color(QPalette::Highlight);
  QCOMPARE(At(img, 210), hi);   // inside the done quarter
  QVERIFY(At(img, 300) != hi);  // past it
  QVERIFY(At(img, 370) != hi);
  p.ProgressOff();
  QCOMPARE(p.Text(1), QString("Done"));
  QVERIFY(p.grab().toImage().pixelColor(210, 11) != hi);
}

void StatusPanelsTest::ZeroMaximumDrawsNothing() {
  nord5::ui::StatusPanels p;
  p.resize(887, 22);
  p.ProgressStart(0);
  p.ProgressSet(5);
  const QImage img = p.grab().toImage();  // must not divide by zero
  QVERIFY(At(img, 210) != p.palette().color(QPalette::Highlight));
}

NORD5_UI_TEST(StatusPanelsTest);
#include "status_panels_test.moc"
