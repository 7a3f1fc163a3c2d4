// The main window with its engine host on a virtual meter: reading and writing the
// configuration, the address box, the close guard and the second instance.
#include "ui/main_window.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "foundation/utils.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "ui/single_instance.h"
#include "ui/status_panels.h"
#include "ui/window_host.h"
#include "ui_test_env.h"
#include "window_rig.h"

using namespace nord5;

namespace {

using Rig = WindowRig;

std::string Hex8(std::uint32_t v) {
  return QString("%1").arg(v, 8, 16, QChar('0')).toUpper().toStdString();
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void TitleCarriesTheFileVersion();
  void ReadConfigurationFillsThePages();
  void WrittenConfigurationReadsBack();
  void TestModeMeterIsAskedForTheJumper();
  void ButtonsReachTheMeter();
  void SecondaryAddressingByDeviceId();
  void SavedConfigurationLoadsBack();
  void BadParametersShowTheInput_data();
  void BadParametersShowTheInput();
  void AddressBoxRules();
  void RulesPassKeepsControlsInTheirState();
  void StoredAddressThatIsNoNumber();
  void AddressAbove255IsRefused();
  void MBusAddressFieldIsLimitedTo250();
  void TypingFilters_data();
  void TypingFilters();
  void CloseGuardAsksWhileCommunicating();
  void SecondInstanceSignalsTheFirst();
  void SecondProcessExitsWithZero();
  void TitleOnX11IsExactlyTheTitle();

 private:
  UiTestEnv env_;
};

void MainWindowTest::TitleCarriesTheFileVersion() {
  ui::TfmTermuloConfig w;
  QCOMPARE(w.windowTitle(), QString("VARMELINOX NORD5 User configurator [v1.0.0.0]"));
}

void MainWindowTest::ReadConfigurationFillsThePages() {
  Rig r;
  QVERIFY(!r.window.Action("caSaveConfiguration")->isEnabled());
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  QVERIFY2(r.dialogs.shown.empty(),
           r.dialogs.shown.empty() ? "" : r.dialogs.shown.front().Text.c_str());
  FormView& f = r.form();
  // Live values, identity, calibration grids and the user configuration.
  QCOMPARE(f.Text("textActDeviceID"), Hex8(r.meter.Identification()));
  QVERIFY(f.Text("edHeatingEnergy").find("MWh") != std::string::npos);
  QVERIFY(f.Cell("dataGridView_Q", 0, 1) != "XXXXXX");
  QVERIFY(f.Cell("tempDataGridView", 0, 1) != "XXXXXX");
  QVERIFY(f.Text("textBoxQf") != "XXXXXX");
  QVERIFY(f.Text("textBoxThreshold1") != "XXXXXX");
  QCOMPARE(f.Text("edManufac"), DecodeManufacturer(r.meter.Manufacturer()));
  QCOMPARE(f.Text("edManufacture1"), f.Text("edManufac"));
  QCOMPARE(r.window.Status().Text(1), QString("Done"));
  r.window.RunStateRules();
  QCOMPARE(r.window.Status().Text(2), QString("Device in manufacturer mode"));
  QVERIFY(r.window.Status().Text(3).startsWith("Virtual meter[2400,Even,1]"));
  // The rules now allow writing, saving and editing.
  QVERIFY(r.window.Action("caWriteConfiguration")->isEnabled());
  QVERIFY(r.window.Action("caSaveConfiguration")->isEnabled());
  QVERIFY(f.Enabled("gbPulsChannel1"));
  QVERIFY(!r.window.Action("caClosePort")->isEnabled());
}

void MainWindowTest::WrittenConfigurationReadsBack() {
  Rig r;
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  r.form().SetText("numericUpDown_mDay", "17");
  r.form().SetText("textBoxQf", "2.5");
  QVERIFY(r.RunAndWait("caCheckManufacturerJumper"));  // "Write full configuration"
  QVERIFY2(r.dialogs.shown.empty(),
           r.dialogs.shown.empty() ? "" : r.dialogs.shown.front().Text.c_str());
  // Monthly reporting day: low byte 0xE0 + day at Cfg 146; the write ends with a fresh read.
  QCOMPARE(int(r.meter.ConfigBlock()[146]), 0xE0 + 17);
  QCOMPARE(r.form().Text("numericUpDown_mDay"), std::string("17"));
  QCOMPARE(r.form().Text("textBoxQf"), std::string("2.500E+0"));
}

void MainWindowTest::TestModeMeterIsAskedForTheJumper() {
  sim::MeterOptions test_mode;
  test_mode.mode = 0x04;
  Rig r(test_mode);
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  r.window.RunStateRules();
  QCOMPARE(r.window.Status().Text(2), QString("Device in test mode"));
  // The rules keep the full write off; run it anyway: the mode check asks, No ends it.
  QVERIFY(!r.window.Action("caCheckManufacturerJumper")->isEnabled());
  QVERIFY(r.form().Enabled("gbPulsChannel1"));
  r.dialogs.QueueAnswer(MsgResult::No);
  r.window.Action("caCheckManufacturerJumper")->setEnabled(true);
  QVERIFY(r.RunAndWait("caCheckManufacturerJumper"));
  QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{"Check manufacturer jumper"});
  QCOMPARE(r.dialogs.shown[0].Icon, MsgIcon::Warning);
  QCOMPARE(r.dialogs.shown[0].Buttons, MsgButtons::YesNo);
}

void MainWindowTest::ButtonsReachTheMeter() {
  Rig r;
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  auto press = [&r](const char* button) {
    r.form().FireHandler(button);
    return r.WaitUntilIdle();
  };
  // "Set" of the primary address.
  r.form().SetText("textActMBusAddr", "17");
  QVERIFY(press("btSetMBusAddress"));
  QCOMPARE(int(r.meter.PrimaryAddress()), 17);
  // Raw memory read of the mode byte 10033h, typed as hexadecimal.
  r.window.Action("caAdvaced")->trigger();
  r.form().SetChecked("cbAddrHEX", true);
  r.form().SetText("edAddr", "10033");
  r.form().SetText("spByte", "1");
  r.form().SetText("edValue", "");
  QVERIFY(press("btRead"));
  QVERIFY2(r.dialogs.shown.empty(),
           r.dialogs.shown.empty() ? "" : r.dialogs.shown.front().Text.c_str());
  QCOMPARE(r.form().Text("edValue"), std::string("34"));  // manufacturer mode 22h, in decimal
  r.form().SetChecked("cbDataHEX", true);
  QVERIFY(press("btRead"));
  QCOMPARE(r.form().Text("edValue"), std::string("22"));
  // A value that is no number is refused before anything is sent.
  r.form().SetChecked("cbDataHEX", false);
  r.form().SetText("edValue", "1x");
  QVERIFY(press("btWrite"));
  QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{"Check parameters"});
}

void MainWindowTest::SecondaryAddressingByDeviceId() {
  Rig r;
  r.window.findChild<QRadioButton*>("rbDeviceID")->click();
  auto* box = r.window.findChild<QLineEdit*>("ledMBusAddr");
  box->setText(QString::fromStdString(Hex8(r.meter.Identification())));
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  QVERIFY2(r.dialogs.shown.empty(),
           r.dialogs.shown.empty() ? "" : r.dialogs.shown.front().Text.c_str());
  QVERIFY(r.host.Engine().State().NoConfiguration);
}

void MainWindowTest::SavedConfigurationLoadsBack() {
  Rig r;
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  const std::string qf = r.form().Text("textBoxQf");
  const QString path = env_.dir->filePath("meter.meterConfig");
  r.dialogs.QueueFile(path.toStdString());
  r.window.Action("caSaveConfiguration")->trigger();
  QCOMPARE(QFileInfo(path).size(), qint64(748));
  QCOMPARE(r.dialogs.file_requests.back().Title, std::string("Save configuration file"));
  r.form().SetText("textBoxQf", "9.000E+0");
  r.dialogs.QueueFile(path.toStdString());
  r.window.Action("caLoadConfiguration")->trigger();
  QVERIFY(r.dialogs.shown.empty());
  QCOMPARE(r.form().Text("textBoxQf"), qf);
  // The folder is remembered for the next dialog.
  QCOMPARE(
      QDir(QString::fromStdString(SettingsValue(SettingsMode::Read, "ConfigFilePath", "").Text())),
      QDir(env_.dir->path()));
}

void MainWindowTest::BadParametersShowTheInput_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("col");
  QTest::addColumn<int>("row");
  QTest::addColumn<QString>("page");
  QTest::newRow("identification") << "textActDeviceID" << -1 << -1 << "tbActual";
  QTest::newRow("flow coefficient") << "textBoxQf" << -1 << -1 << "tbVarme2";
  QTest::newRow("temperature grid cell") << "tempDataGridView" << 1 << 2 << "tbVarme2";
  QTest::newRow("flow grid cell") << "dataGridView_Qt" << 2 << 5 << "tbVarme2";
}

void MainWindowTest::BadParametersShowTheInput() {
  // "Bad parameters" stays as it is; the input that could not be read is brought to the front,
  // focused and selected, so the technician sees which one.
  QFETCH(QString, control);
  QFETCH(int, col);
  QFETCH(int, row);
  QFETCH(QString, page);
  Rig r;
  r.window.show();
  r.window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&r.window));
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  r.window.Action("caAdvaced")->trigger();  // the calibration pages
  r.window.RunStateRules();
  r.window.Pages().setCurrentIndex(2);
  if (col < 0) {
    r.form().SetText(control.toStdString(), "1x5");
  } else {
    r.form().SetCell(control.toStdString(), col, row, "1x5");
  }
  const std::vector<std::uint8_t> before(r.meter.ConfigBlock(), r.meter.ConfigBlock() + 256);
  r.window.Action("caWriteConfiguration")->trigger();
  QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{"Bad parameters"});
  QVERIFY(!r.host.Engine().Running());
  QCOMPARE(r.window.Pages().currentWidget()->objectName(), page);
  QWidget* input = r.window.findChild<QWidget*>(control);
  QCOMPARE(QApplication::focusWidget(), input);
  if (auto* e = qobject_cast<QLineEdit*>(input)) {
    QCOMPARE(e->selectedText(), QString("1x5"));
  } else {
    auto* g = qobject_cast<QTableWidget*>(input);
    QCOMPARE(g->currentRow(), row);
    QCOMPARE(g->currentColumn(), col);
    QVERIFY(g->currentItem()->isSelected());
  }
  QVERIFY(std::equal(before.begin(), before.end(), r.meter.ConfigBlock()));
}

void MainWindowTest::RulesPassKeepsControlsInTheirState() {
  // A pass whose inputs did not change still puts back what other code switched.
  ui::TfmTermuloConfig w;
  w.RunStateRules();
  QVERIFY(w.Action("caReadConfiguration")->isEnabled());
  w.Action("caReadConfiguration")->setEnabled(false);
  w.Form().SetVisible("gbUnlookDevice", true);
  w.RunStateRules();
  QVERIFY(w.Action("caReadConfiguration")->isEnabled());
  QVERIFY(!w.Form().Visible("gbUnlookDevice"));
  // A changed input is followed: advanced mode shows its pages.
  const int varme = w.Pages().indexOf(w.findChild<QWidget*>("tbVARME"));
  QVERIFY(!w.Pages().isTabVisible(varme));
  w.Action("caAdvaced")->trigger();
  w.RunStateRules();
  QVERIFY(w.Pages().isTabVisible(varme));
}

void MainWindowTest::AddressBoxRules() {
  ui::TfmTermuloConfig w;
  auto* box = w.findChild<QLineEdit*>("ledMBusAddr");
  auto* mbus = w.findChild<QRadioButton*>("rbMBusAddr");
  auto* id = w.findChild<QRadioButton*>("rbDeviceID");
  QCOMPARE(box->text(), QString("254"));
  box->selectAll();
  QTest::keyClicks(box, "12");
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("12"));
  QTest::keyClicks(box, "x");  // "12x" is no number: nothing stored
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("12"));
  // "Device ID  :" empties the box to "0" without touching the stored address.
  id->click();
  QCOMPARE(box->text(), QString("0"));
  QTest::keyClicks(box, "1234");
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("12"));
  QVERIFY(!w.AddressModeMBus());
  mbus->click();
  QCOMPARE(box->text(), QString("12"));
}

void MainWindowTest::AddressAbove255IsRefused() {
  Rig r;
  auto* box = r.window.findChild<QLineEdit*>("ledMBusAddr");
  box->selectAll();
  QTest::keyClicks(box, "3a0x0");  // digits only in "MBus addr.:" mode
  QCOMPARE(box->text(), QString("300"));
  // Every change is stored while it is an address: "30" was, "300" is not.
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("30"));
  // 300 would reach the meter at 44: refused before the port is even opened.
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{"Check parameters"});
  QCOMPARE(r.lines_opened, 0);
  // 255 keeps its M-Bus meaning (broadcast): stored, and the exchange starts.
  box->selectAll();
  QTest::keyClicks(box, "255");
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("255"));
  r.dialogs.shown.clear();
  r.window.Action("caReadConfiguration")->trigger();
  QVERIFY(r.host.Engine().Running());
  QCOMPARE(r.lines_opened, 1);
  r.host.Engine().StopExchange();
  QVERIFY(r.dialogs.shown.empty());
  // "Device ID  :" takes hexadecimal digits again.
  r.window.findChild<QRadioButton*>("rbDeviceID")->click();
  box->selectAll();
  QTest::keyClicks(box, "00AB12CD");
  QCOMPARE(box->text(), QString("00AB12CD"));
}

void MainWindowTest::StoredAddressThatIsNoNumber() {
  SettingsValue(SettingsMode::Write, "MBusAddress", "abc");
  ui::TfmTermuloConfig w;
  QCOMPARE(w.AddressText(), QString("254"));
  QCOMPARE(SettingsValue(SettingsMode::Read, "MBusAddress", "").Text(), std::string("254"));
}

void MainWindowTest::MBusAddressFieldIsLimitedTo250() {
  ui::TfmTermuloConfig w;
  auto* e = w.findChild<QLineEdit*>("textActMBusAddr");
  e->setEnabled(true);
  e->clear();
  QTest::keyClicks(e, "251");
  QCOMPARE(e->text(), QString("250"));
  e->clear();
  QTest::keyClicks(e, "2a5");  // letters are dropped by the digit filter
  QCOMPARE(e->text(), QString("25"));
}

void MainWindowTest::TypingFilters_data() {
  QTest::addColumn<QString>("field");
  QTest::addColumn<bool>("hex");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::newRow("calibration comma") << "textBoxR1lo" << false << "1,5"
                                     << "1.5";
  QTest::newRow("calibration second point") << "textBoxR1lo" << false << "1.5.2"
                                            << "1.52";
  QTest::newRow("calibration exponent") << "textBoxTEMP_MAX" << false << "-1e3x"
                                        << "-1e3";
  QTest::newRow("identity digits") << "textActDeviceID" << false << "12ab34"
                                   << "1234";
  QTest::newRow("manufacturer letters") << "edManufacture1" << false << "z1vq"
                                        << "ZVQ";
  QTest::newRow("address decimal") << "edAddr" << false << "10a8"
                                   << "108";
  QTest::newRow("address hex") << "edAddr" << true << "10a8g"
                               << "10A8";
  QTest::newRow("value hex") << "edValue" << true << "ff"
                             << "FF";
}

void MainWindowTest::TypingFilters() {
  QFETCH(QString, field);
  QFETCH(bool, hex);
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  ui::TfmTermuloConfig w;
  auto* e = w.findChild<QLineEdit*>(field);
  QVERIFY(e);
  e->setEnabled(true);
  e->setReadOnly(false);
  e->clear();
  if (hex) {
    w.Form().SetChecked("cbAddrHEX", true);
    w.Form().SetChecked("cbDataHEX", true);
  }
  QTest::keyClicks(e, typed);
  QCOMPARE(e->text(), shown);
}

void MainWindowTest::CloseGuardAsksWhileCommunicating() {
  Rig r;
  r.window.show();
  QVERIFY(r.window.close());  // idle: no question
  QVERIFY(r.dialogs.shown.empty());
  r.window.show();
  r.window.Action("caReadConfiguration")->trigger();
  QVERIFY(r.host.Engine().Running());
  r.dialogs.QueueAnswer(MsgResult::No);
  QVERIFY(!r.window.close());
  QCOMPARE(r.dialogs.shown.size(), std::size_t(1));
  QCOMPARE(r.dialogs.shown[0].Text, std::string("Now device communicate. Close program anyway?"));
  QCOMPARE(r.dialogs.shown[0].Icon, MsgIcon::Warning);
  QCOMPARE(r.dialogs.shown[0].Buttons, MsgButtons::YesNo);
  r.dialogs.QueueAnswer(MsgResult::Yes);
  QVERIFY(r.window.close());
  r.host.Engine().StopExchange();
}

void MainWindowTest::SecondInstanceSignalsTheFirst() {
  const QString name = "nord5-ui-test-" + QString::number(QCoreApplication::applicationPid());
  ui::SingleInstance first(name);
  QVERIFY(!first.SignalRunningInstance(200));  // nobody there yet
  QVERIFY(first.Listen());
  QSignalSpy spy(&first, &ui::SingleInstance::activationRequested);
  ui::SingleInstance second(name);
  QVERIFY(second.SignalRunningInstance(200));
  QVERIFY(spy.wait(5000));
}

void MainWindowTest::SecondProcessExitsWithZero() {
  const QString exe = QString(NORD5_BIN_DIR) + "/nord5-config";
  if (!QFileInfo::exists(exe)) QSKIP("nord5-config is not built");
  QTemporaryDir tmp;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_DATA_HOME", tmp.filePath("data"));
  env.insert("TMPDIR", tmp.path());  // the local socket lives here
  QProcess first;
  first.setProcessEnvironment(env);
  first.start(exe, {});
  QVERIFY(first.waitForStarted());
  const QString socket = tmp.filePath(ui::SingleInstance::DefaultName());
  QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 20000));
  QProcess second;
  second.setProcessEnvironment(env);
  second.start(exe, {});
  QVERIFY(second.waitForFinished(20000));
  QCOMPARE(second.exitStatus(), QProcess::NormalExit);
  QCOMPARE(second.exitCode(), 0);
  QCOMPARE(first.state(), QProcess::Running);
  first.terminate();
  if (!first.waitForFinished(5000)) first.kill();
}

void MainWindowTest::TitleOnX11IsExactlyTheTitle() {
  // The platform plugin of X11 appends an application display name to window titles; the
  // program's title must reach the window manager as it is.
  const QString exe = QString(NORD5_BIN_DIR) + "/nord5-config";
  if (!QFileInfo::exists(exe)) QSKIP("nord5-config is not built");
  if (QStandardPaths::findExecutable("xvfb-run").isEmpty() ||
      QStandardPaths::findExecutable("xwininfo").isEmpty())
    QSKIP("needs xvfb-run and xwininfo (packages xvfb, x11-utils)");
  QTemporaryDir tmp;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("QT_QPA_PLATFORM");
  env.insert("XDG_DATA_HOME", tmp.filePath("data"));
  env.insert("TMPDIR", tmp.path());
  QProcess x;
  x.setProcessEnvironment(env);
  // Waits until a top-level window carries the program's title, then lists the titles.
  const QString script =
      "\"$0\" & p=$!; for i in $(seq 1 300); do sleep 0.2; "
      "xwininfo -root -tree | grep -q 'VARMELINOX NORD5' && break; done; "
      "xwininfo -root -tree | grep 'VARMELINOX NORD5'; kill $p; wait $p";
  x.start("xvfb-run", {"-a", "sh", "-c", script, exe});
  // A sanitizer build on a busy machine can take many seconds to show its window.
  QVERIFY(x.waitForFinished(120000));
  const QString out = QString::fromLocal8Bit(x.readAllStandardOutput());
  const QString err = QString::fromLocal8Bit(x.readAllStandardError());
  if (err.contains("xvfb-run: error")) QSKIP(qPrintable("the X server did not start: " + err));
  QVERIFY2(out.contains("\"VARMELINOX NORD5 User configurator [v1.0.0.0]\":"),
           qPrintable(out + err));
}

NORD5_UI_TEST(MainWindowTest);
#include "main_window_test.moc"
