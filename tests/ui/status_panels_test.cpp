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
  void LineSettingsShowWholeBehindALongPort();
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

void StatusPanelsTest::LineSettingsShowWholeBehindALongPort() {
  nord5::ui::StatusPanels p;
  p.resize(887, 22);
  const QString port = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  const QString full = port + "[2400,Even,1]";
  p.SetText(3, full);
  const QString shown = p.ShownText(3);
  QVERIFY2(shown.endsWith("[2400,Even,1]"), qPrintable(shown));
  QVERIFY2(shown.startsWith("/dev"), qPrintable(shown));
  QVERIFY(shown.contains(QChar(0x2026)));  // the middle of the name gives way
  QVERIFY(p.fontMetrics().horizontalAdvance(shown) <= 887 - 730 - 6);
  QCOMPARE(p.Text(3), full);
  // A short name is shown as it is.
  p.SetText(3, "/dev/ttyS0[2400,Even,1]");
  QCOMPARE(p.ShownText(3), QString("/dev/ttyS0[2400,Even,1]"));
}

NORD5_UI_TEST(StatusPanelsTest);
#include "status_panels_test.moc"
