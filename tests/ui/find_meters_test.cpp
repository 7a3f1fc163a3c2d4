// The "Find meters" dialog on a virtual bus of five meters (two share a primary address, two the
// leading six digits of their identification): the scans fill the table, "Stop" ends a scan,
// a busy port keeps the scans off, and a double-click fills the main window's address box.
#include "ui/find_meters_dialog.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>
#include <memory>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/timers.h"
#include "sim/virtual_bus.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"
#include "transport/usb_notifier.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"
#include "window_rig.h"

using namespace nord5;

namespace {

const std::vector<sim::BusMeter> kFiveMeters = {
    {0x55500011, 1}, {0x55500012, 2}, {0x12345678, 3}, {0x87654321, 3}, {0x31415926, 7}};

// The dialog on the real serial driver with the bus behind it, on the manual clock.
struct ScanRig {
  ManualClock clock;
  ManualTimers timers{clock};
  sim::VirtualBus bus{sim::MeterOptions{}, kFiveMeters, clock};
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<ui::TfmFindMeters> dialog;

  ScanRig() {
    PortDiscovery where;
    where.SysTtyRoot = "/nonexistent-nord5-tty";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort("BUS");
    port = std::make_unique<TCommPort>(
        clock, timers,
        [this](const std::string&) -> std::unique_ptr<SerialLine> {
          return std::make_unique<sim::VirtualBusLine>(bus);
        },
        std::move(list));
    port->SetPort("BUS");
    clock.SetNow(10000);
    dialog = std::make_unique<ui::TfmFindMeters>(*port, clock);
    dialog->show();
  }
  ~ScanRig() {
    dialog.reset();
    port.reset();
  }
  template <typename T>
  T* Find(const char* name) {
    return dialog->findChild<T*>(name);
  }
  void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
  void RunScan() {
    for (int i = 0; i < 1000000 && dialog->Scanner().Running(); ++i) timers.RunFor(1);
  }
  QTableWidget* Table() { return Find<QTableWidget>("sgMeters"); }
  QStringList Column(int col) {
    QStringList out;
    for (int r = 0; r < Table()->rowCount(); ++r)
      out << (Table()->item(r, col) ? Table()->item(r, col)->text() : QString());
    return out;
  }
};

void DoubleClickRow(QTableWidget* table, int row) {
  table->scrollToItem(table->item(row, 0));
  const QPoint at = table->visualItemRect(table->item(row, 0)).center();
  // A double-click as a person makes it: a click, then the second press as a double-click.
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class FindMetersTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void ScansFillTheTable();
  void StopEndsTheScanAndKeepsWhatWasFound();
  void ScansWaitWhileAnotherExchangeHasThePort();
  void MenuItemOpensTheDialogAndDoubleClickFillsTheAddressBox();

 private:
  UiTestEnv env_;
};

void FindMetersTest::ScansFillTheTable() {
  ScanRig rig;
  QCOMPARE(rig.Find<QSpinBox>("spScanFrom")->value(), 0);
  QCOMPARE(rig.Find<QSpinBox>("spScanTo")->value(), 250);
  rig.Click("btPrimaryScan");
  QVERIFY(rig.dialog->Scanner().Running());
  QVERIFY(!rig.Find<QPushButton>("btPrimaryScan")->isEnabled());
  QVERIFY(rig.Find<QPushButton>("btStopScan")->isEnabled());
  rig.RunScan();
  QVERIFY(!rig.dialog->Scanner().Running());

  QCOMPARE(rig.Column(0), QStringList({"1", "2", "3", "7"}));
  QCOMPARE(rig.Column(1), QStringList({"55500011", "55500012", "", "31415926"}));
  QCOMPARE(rig.Column(2), QStringList({"VMX", "VMX", "", "VMX"}));
  QCOMPARE(rig.Column(3), QStringList({"08", "08", "", "08"}));
  QCOMPARE(rig.Column(4), QStringList({"04", "04", "", "04"}));
  QCOMPARE(rig.Column(6), QStringList({"", "", "Collision: more than one meter answers", ""}));
  auto* bar = rig.Find<QProgressBar>("pbScan");
  QCOMPARE(bar->maximum(), 251);
  QCOMPARE(bar->value(), 251);
  QVERIFY(rig.Find<QLabel>("lbScanStatus")->text().startsWith("3 meters found, 1 collision"));
  QVERIFY(rig.Find<QPushButton>("btPrimaryScan")->isEnabled());
  QVERIFY(!rig.Find<QPushButton>("btStopScan")->isEnabled());

  // The secondary scan lists all five identifications, each once.
  rig.Click("btSecondaryScan");
  rig.RunScan();
  QCOMPARE(rig.Column(1),
           QStringList({"12345678", "31415926", "55500011", "55500012", "87654321"}));
  QCOMPARE(rig.Column(0), QStringList({"3", "7", "1", "2", "3"}));
  QCOMPARE(rig.Find<QProgressBar>("pbScan")->value(), 1000);

  // A double-click hands over the identification for "Device ID" and closes the dialog.
  QSignalSpy chosen(rig.dialog.get(), &ui::TfmFindMeters::meterChosen);
  DoubleClickRow(rig.Table(), 3);
  QCOMPARE(chosen.count(), 1);
  QCOMPARE(chosen.at(0).at(0).toBool(), false);
  QCOMPARE(chosen.at(0).at(1).toString(), QString("55500012"));
  QVERIFY(!rig.dialog->isVisible());
}

void FindMetersTest::StopEndsTheScanAndKeepsWhatWasFound() {
  ScanRig rig;
  rig.Click("btPrimaryScan");
  while (rig.Table()->rowCount() < 2) rig.timers.RunFor(1);  // meters 1 and 2
  rig.Click("btStopScan");
  QVERIFY(!rig.dialog->Scanner().Running());
  QVERIFY(!rig.port->IsOpen());
  QCOMPARE(rig.Column(0), QStringList({"1", "2"}));
  QVERIFY(rig.Find<QLabel>("lbScanStatus")->text().startsWith("Stopped"));
  QVERIFY(rig.Find<QPushButton>("btPrimaryScan")->isEnabled());
  QVERIFY(!rig.Find<QPushButton>("btStopScan")->isEnabled());
  // The scan goes on to the collision at 3; a double-click there sends nothing to the address
  // box.
  rig.Click("btPrimaryScan");
  while (rig.Table()->rowCount() < 3) rig.timers.RunFor(1);
  rig.Click("btStopScan");
  QCOMPARE(rig.Column(6).at(2), QString("Collision: more than one meter answers"));
  QSignalSpy chosen(rig.dialog.get(), &ui::TfmFindMeters::meterChosen);
  DoubleClickRow(rig.Table(), 2);
  QCOMPARE(chosen.count(), 0);
  QVERIFY(rig.dialog->isVisible());
  QVERIFY(rig.Find<QLabel>("lbScanStatus")->text().startsWith("Several meters answer"));
  // Closing the dialog during a scan ends the scan.
  rig.Click("btPrimaryScan");
  rig.timers.RunFor(300);
  rig.Click("btCloseScan");
  QVERIFY(!rig.dialog->Scanner().Running());
  QVERIFY(!rig.port->IsOpen());
}

void FindMetersTest::ScansWaitWhileAnotherExchangeHasThePort() {
  ScanRig rig;
  rig.port->Open();  // an exchange of the main window runs
  QTRY_VERIFY(!rig.Find<QPushButton>("btPrimaryScan")->isEnabled());
  QVERIFY(!rig.Find<QPushButton>("btSecondaryScan")->isEnabled());
  QVERIFY(rig.Find<QLabel>("lbScanStatus")->text().startsWith("Another exchange runs"));
  rig.port->Close();
  QTRY_VERIFY(rig.Find<QPushButton>("btPrimaryScan")->isEnabled());
  QVERIFY(!rig.Find<QLabel>("lbScanStatus")->text().startsWith("Another exchange runs"));
}

void FindMetersTest::MenuItemOpensTheDialogAndDoubleClickFillsTheAddressBox() {
  WindowRig r({}, kFiveMeters);
  ui::TfmTermuloConfig& window = r.window;
  window.show();

  QAction* find = window.Action("caFindMeters");
  QVERIFY(find);
  window.RunStateRules();
  QVERIFY(find->isEnabled());
  find->trigger();
  ui::TfmFindMeters* dialog = window.FindMetersDialog();
  QVERIFY(dialog && dialog->isVisible());

  auto* from = dialog->findChild<QSpinBox*>("spScanFrom");
  auto* to = dialog->findChild<QSpinBox*>("spScanTo");
  from->setValue(2);
  to->setValue(3);
  QTest::mouseClick(dialog->findChild<QPushButton*>("btPrimaryScan"), Qt::LeftButton);
  // While the scan has the port, the main window's operations are off.
  window.RunStateRules();
  QVERIFY(!find->isEnabled());
  QVERIFY(!window.Action("caReadConfiguration")->isEnabled());
  QVERIFY(r.RunUntil([dialog] { return !dialog->Scanner().Running(); }, 20000));
  auto* table = dialog->findChild<QTableWidget*>("sgMeters");
  QCOMPARE(table->rowCount(), 2);
  DoubleClickRow(table, 0);
  QVERIFY(window.AddressModeMBus());
  QCOMPARE(window.AddressText(), QString("2"));
  QVERIFY(!dialog->isVisible());

  // Opened again, the dialog still shows the last results; a narrow secondary search finds the
  // meter for "Device ID".
  window.RunStateRules();
  find->trigger();
  QCOMPARE(table->rowCount(), 2);
  dialog->findChild<QLineEdit*>("edScanMask")->setText("5550001F");
  QTest::mouseClick(dialog->findChild<QPushButton*>("btSecondaryScan"), Qt::LeftButton);
  QVERIFY(r.RunUntil([dialog] { return !dialog->Scanner().Running(); }, 30000));
  QCOMPARE(table->rowCount(), 2);
  QCOMPARE(table->item(1, 1)->text(), QString("55500012"));
  DoubleClickRow(table, 1);
  QVERIFY(!window.AddressModeMBus());
  QCOMPARE(window.AddressText(), QString("55500012"));

  // Another exchange has the port: the menu item is off.
  r.host.Port().Open();
  window.RunStateRules();
  QVERIFY(!find->isEnabled());
  r.host.Port().Close();
}

NORD5_UI_TEST(FindMetersTest);
#include "find_meters_test.moc"
