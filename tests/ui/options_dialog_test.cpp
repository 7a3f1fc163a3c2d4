// "Program options" and the device watcher reactions of the main window and of the dialog.
#include "ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "transport/port_list.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"

using namespace nord5;

namespace {

struct Rig {
  sim::VirtualMeter meter;
  ui::TfmTermuloConfig window;
  ScriptedDialogs dialogs;
  ui::MainWindowHost host;
  Rig()
      : meter({}, SystemClock::Instance()),
        host(
            window,
            [this](const std::string&) -> std::unique_ptr<SerialLine> {
              return std::make_unique<sim::SimSerialLine>(meter, SystemClock::Instance());
            },
            std::make_unique<TUSBNotifier>(std::unique_ptr<DeviceMonitor>{})) {
    host.SetDialogs(&dialogs);
  }
};

std::unique_ptr<TUSBNotifier> NoWatcher() {
  return std::make_unique<TUSBNotifier>(std::unique_ptr<DeviceMonitor>{});
}

QRadioButton* Item(QWidget& dlg, const char* group, int i) {
  return dlg.findChild<QRadioButton*>(QString("%1_%2").arg(group).arg(i));
}

}  // namespace

class OptionsDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void OnlyTheMBusLineFormatCanBeChosen();
  void OkWithoutChangeStoresNothing();
  void OkAfterChangeStoresTheSettings();
  void DialogWatcherRefreshesThePortList();
  void DialogFollowsVirtualPorts();
  void UnpluggingDuringAnExchangeWarnsOfTheLostPort();
  void PluggingDuringAnExchangeEndsItSilently();

 private:
  UiTestEnv env_;
};

void OptionsDialogTest::OnlyTheMBusLineFormatCanBeChosen() {
  Rig r;
  r.host.Port().PC().FBaudRate = TBaudRate::br_9600;  // stored earlier, e.g. by hand
  ui::TfmOptions dlg(r.host.Port(), &r.window, {}, NoWatcher());
  QVERIFY(Item(dlg, "BaudRate", 5)->isChecked());
  QVERIFY(!Item(dlg, "BaudRate", 5)->isEnabled());
  for (int i = 0; i < 10; ++i) QCOMPARE(Item(dlg, "BaudRate", i)->isEnabled(), i == 3);
  for (int i = 0; i < 4; ++i) QCOMPARE(Item(dlg, "Bits", i)->isEnabled(), i == 3);
  for (int i = 0; i < 5; ++i) QCOMPARE(Item(dlg, "cbParityList1", i)->isEnabled(), i == 2);
  for (int i = 0; i < 3; ++i) QCOMPARE(Item(dlg, "StopBits", i)->isEnabled(), i == 0);
  QVERIFY(!dlg.ApplyEnabled());
  Item(dlg, "BaudRate", 3)->click();
  QVERIFY(dlg.ApplyEnabled());
  dlg.SetAplly();
  QCOMPARE(r.host.Port().BaudRate(), TBaudRate::br_2400);
  QVERIFY(!dlg.ApplyEnabled());
  QCOMPARE(dlg.findChild<QPushButton*>("btAplly")->text(), QString("&Apply"));
}

void OptionsDialogTest::OkWithoutChangeStoresNothing() {
  Rig r;
  SettingsValue(SettingsMode::Write, "Port", "/dev/ttyS7", kComSettings);
  ui::TfmOptions dlg(r.host.Port(), &r.window, {}, NoWatcher());
  dlg.accept();
  QCOMPARE(SettingsValue(SettingsMode::Read, "Port", "", kComSettings).Text(),
           std::string("/dev/ttyS7"));
}

void OptionsDialogTest::OkAfterChangeStoresTheSettings() {
  Rig r;
  ui::TfmOptions dlg(r.host.Port(), &r.window, {}, NoWatcher());
  auto* ports = dlg.findChild<QListWidget*>("lvMBusPort");
  const auto found = ports->findItems("Virtual meter", Qt::MatchExactly);
  QCOMPARE(found.size(), 1);
  ports->setCurrentItem(found[0]);
  emit ports->itemClicked(found[0]);
  dlg.findChild<QCheckBox*>("DTR")->click();
  const bool dtr = dlg.findChild<QCheckBox*>("DTR")->isChecked();
  dlg.accept();
  QCOMPARE(r.host.Port().Port(), std::string("Virtual meter"));
  QCOMPARE(SettingsValue(SettingsMode::Read, "Port", "", kComSettings).Text(),
           std::string("Virtual meter"));
  QCOMPARE(SettingsValue(SettingsMode::Read, "DTR", "", kComSettings).AsBool(), dtr);
}

void OptionsDialogTest::DialogWatcherRefreshesThePortList() {
  Rig r;
  TPortList& list = r.host.Port().PortList();
  list.AddExtraPort("/dev/ttyUSB7");
  r.host.Port().SetPort("/dev/ttyUSB7");
  ui::TfmOptions dlg(r.host.Port(), &r.window, {}, NoWatcher());
  auto* ports = dlg.findChild<QListWidget*>("lvMBusPort");
  QVERIFY(ports->currentItem() && ports->currentItem()->text() == "/dev/ttyUSB7");
  list.RemoveExtraPort("/dev/ttyUSB7");
  dlg.Watcher()->InjectEvent(DeviceChange::Removal);
  QVERIFY(ports->findItems("/dev/ttyUSB7", Qt::MatchExactly).isEmpty());
  QVERIFY(ports->selectedItems().isEmpty());
  list.AddExtraPort("/dev/ttyUSB7");
  dlg.Watcher()->InjectEvent(DeviceChange::Arrival);
  QVERIFY(ports->currentItem() && ports->currentItem()->text() == "/dev/ttyUSB7");
}

void OptionsDialogTest::DialogFollowsVirtualPorts() {
  // A simulator started while the dialog is open publishes its port in a folder that may not
  // exist yet; the list follows without any device event.
  QTemporaryDir runtime;
  const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
  qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
  {
    Rig r;
    ui::TfmOptions dlg(r.host.Port(), &r.window, {}, NoWatcher());
    auto* ports = dlg.findChild<QListWidget*>("lvMBusPort");
    // The user picks a port and has not applied it yet.
    const auto virt = ports->findItems("Virtual meter", Qt::MatchExactly);
    QCOMPARE(virt.size(), 1);
    ports->setCurrentItem(virt[0]);
    emit ports->itemClicked(virt[0]);
    const QString folder = runtime.filePath("nord5-ports");
    const QString link = folder + "/nord5-meter-1";
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QFile::link("/dev/null", link));
    QTRY_VERIFY_WITH_TIMEOUT(!ports->findItems(link, Qt::MatchExactly).isEmpty(), 10000);
    QVERIFY(ports->currentItem() && ports->currentItem()->text() == "Virtual meter");
    QVERIFY(QFile::remove(link));
    QTRY_VERIFY_WITH_TIMEOUT(ports->findItems(link, Qt::MatchExactly).isEmpty(), 10000);
  }
  if (before.isNull()) {
    qunsetenv("XDG_RUNTIME_DIR");
  } else {
    qputenv("XDG_RUNTIME_DIR", before);
  }
}

void OptionsDialogTest::UnpluggingDuringAnExchangeWarnsOfTheLostPort() {
  Rig r;
  r.host.Port().PortList().AddExtraPort("/dev/ttyUSB5");
  r.host.Port().SetPort("/dev/ttyUSB5");
  // Idle: nothing happens.
  r.host.Watcher()->InjectEvent(DeviceChange::Removal);
  QVERIFY(r.dialogs.shown.empty());
  r.window.Action("caReadConfiguration")->trigger();
  QVERIFY(r.host.Engine().Running());
  r.host.Port().PortList().RemoveExtraPort("/dev/ttyUSB5");
  r.host.Watcher()->InjectEvent(DeviceChange::Removal);
  QVERIFY(!r.host.Engine().Running());
  QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{"Program lost com port \"/dev/ttyUSB5\""});
  QCOMPARE(r.dialogs.shown[0].Icon, MsgIcon::Warning);
}

void OptionsDialogTest::PluggingDuringAnExchangeEndsItSilently() {
  Rig r;
  r.host.Port().SetPort("Virtual meter");
  r.window.Action("caReadConfiguration")->trigger();
  QVERIFY(r.host.Engine().Running());
  r.host.Watcher()->InjectEvent(DeviceChange::Arrival);
  QVERIFY(!r.host.Engine().Running());
  QVERIFY(r.dialogs.shown.empty());
}

NORD5_UI_TEST(OptionsDialogTest);
#include "options_dialog_test.moc"
