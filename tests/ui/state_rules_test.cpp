// The window's state rules as a table: a state, a control, and what the rules make of it.
#include "ui/state_rules.h"

#include <QtTest>

#include "ui_test_env.h"

using nord5::ui::ComputeStateRules;
using nord5::ui::WindowState;

namespace {

enum class Prop { Enabled, Visible, ReadOnly };

WindowState Idle() { return {}; }
WindowState Config(std::uint32_t jumper, std::uint32_t fw = 17042702) {
  WindowState s;
  s.configuration = true;
  s.device_jumper = jumper;
  s.firmware = fw;
  return s;
}

}  // namespace

Q_DECLARE_METATYPE(WindowState)
Q_DECLARE_METATYPE(Prop)

class StateRulesTest : public QObject {
  Q_OBJECT
 private slots:
  void Rules_data();
  void Rules();
  void ModeText_data();
  void ModeText();
};

void StateRulesTest::Rules_data() {
  QTest::addColumn<WindowState>("state");
  QTest::addColumn<QString>("control");
  QTest::addColumn<Prop>("prop");
  QTest::addColumn<bool>("expected");

  auto row = [](const char* name, WindowState s, const char* control, Prop p, bool v) {
    QTest::newRow(name) << s << QString(control) << p << v;
  };
  WindowState port = Idle();
  port.port_open = true;
  WindowState port_logging = port;
  port_logging.logging = true;
  WindowState logging = Idle();
  logging.logging = true;

  // Nothing loaded: reading and loading are possible, every configuration control is off.
  row("idle read", Idle(), "caReadConfiguration", Prop::Enabled, true);
  row("idle load", Idle(), "caLoadConfiguration", Prop::Enabled, true);
  row("idle save", Idle(), "caSaveConfiguration", Prop::Enabled, false);
  row("idle write", Idle(), "caWriteConfiguration", Prop::Enabled, false);
  row("idle channel", Idle(), "gbPulsChannel1", Prop::Enabled, false);
  row("idle flow grid", Idle(), "dataGridView_Q", Prop::Enabled, false);
  row("idle close port", Idle(), "caClosePort", Prop::Enabled, false);
  // An exchange runs.
  row("port read", port, "caReadConfiguration", Prop::Enabled, false);
  row("port settings", port, "caPortas", Prop::Enabled, false);
  row("port close", port, "caClosePort", Prop::Enabled, true);
  row("port read data", port, "btReadData", Prop::Enabled, false);
  // Logging: "Close port" is off even though the port is open.
  row("logging close", port_logging, "caClosePort", Prop::Enabled, false);
  row("logging read", logging, "caReadConfiguration", Prop::Enabled, false);
  row("logging time box", logging, "edLogingTime", Prop::Enabled, false);
  // Test mode enables the user configuration but not the full write.
  row("test channel", Config(0x04), "gbPulsChannel1", Prop::Enabled, true);
  row("test user write", Config(0x04), "caWriteUserConfiguration", Prop::Enabled, true);
  row("test full write", Config(0x04), "caWriteConfiguration", Prop::Enabled, false);
  row("test calculator", Config(0x04), "gbCalculator", Prop::Enabled, false);
  row("manufacturer write", Config(0x22), "caCheckManufacturerJumper", Prop::Enabled, true);
  row("manufacturer bit 1", Config(0x02), "caWriteConfiguration", Prop::Enabled, true);
  row("user mode channel", Config(0x00), "gbPulsChannel1", Prop::Enabled, false);
  row("user mode address", Config(0x00), "textActMBusAddr", Prop::Enabled, true);
  row("user mode save", Config(0x00), "caSaveConfiguration", Prop::Enabled, true);
  // Firmware thresholds.
  row("fw 16051016 qp", Config(0x22, 16051016), "comboBoxQP", Prop::Enabled, false);
  row("fw 16051017 qp", Config(0x22, 16051017), "comboBoxQP", Prop::Enabled, true);
  row("fw 17041900 test mode", Config(0x22, 17041900), "caTestModeWithoutChanging", Prop::Enabled,
      false);
  row("fw 17041901 test mode", Config(0x22, 17041901), "caTestModeWithoutChanging", Prop::Enabled,
      true);
  WindowState heat = Config(0x22, 17041901);
  row("test for all needs medium 8", heat, "btTestModeWithoutChangingForAll", Prop::Enabled, false);
  heat.device_medium = 8;
  row("test for all medium 8", heat, "btTestModeWithoutChangingForAll", Prop::Enabled, true);
  // Set time needs a correction rule.
  WindowState time = Config(0x22);
  row("set time not correct", time, "btSetTime", Prop::Enabled, false);
  time.time_correction_index = 1;
  row("set time local", time, "btSetTime", Prop::Enabled, true);
  // Archive.
  WindowState archive = port;
  row("stop without archive", archive, "btStop", Prop::Enabled, false);
  archive.reading_archives = true;
  row("stop while reading", archive, "btStop", Prop::Enabled, true);
  WindowState rows = Idle();
  rows.archive_rows = 1;
  row("report one row", rows, "btMakeReport", Prop::Enabled, false);
  rows.archive_rows = 2;
  row("report two rows", rows, "btMakeReport", Prop::Enabled, true);
  WindowState kind = Idle();
  row("record count current data", kind, "edRecordCount", Prop::Enabled, false);
  kind.read_data_index = 2;
  row("record count days", kind, "edRecordCount", Prop::Enabled, true);
  // Advanced mode.
  WindowState adv = Config(0x22);
  row("advanced off tab", adv, "tbVARME", Prop::Visible, false);
  row("advanced off credits", adv, "btCredits", Prop::Visible, false);
  row("advanced off memory", Idle(), "btRead", Prop::Enabled, false);
  adv.advanced = true;
  row("advanced on tab", adv, "tbVarme2", Prop::Visible, true);
  row("advanced on test list", adv, "lvTestParameters", Prop::Enabled, true);
  row("advanced on version", adv, "lbDeviceVersion1", Prop::Visible, true);
  // Always hidden or disabled, whatever the state.
  row("service group", adv, "gbUnlookDevice", Prop::Visible, false);
  row("lock box", adv, "cb1_7", Prop::Visible, false);
  row("fabrication button", adv, "btSetFabricationNumber", Prop::Visible, false);
  row("address rule list", adv, "cbMBusAddrType", Prop::Enabled, false);
  row("lock action", adv, "caLockDevice", Prop::Enabled, false);
  row("manufacture number", adv, "edManufactureNumber", Prop::ReadOnly, true);
  // Pulse channel 1 as an input: the start value may be set on new firmware or in
  // manufacturer mode.
  WindowState in = Config(0x04, 17042701);
  in.pulse_in = {true, true};
  row("pulse set old fw test mode", in, "btSetPulse1", Prop::Visible, false);
  row("pulse value read-only", in, "edPulseInput1", Prop::ReadOnly, true);
  in.firmware = 17042702;
  row("pulse set new fw", in, "btSetPulse1", Prop::Visible, true);
  row("pulse value editable", in, "edPulseInput1", Prop::ReadOnly, false);
  in.pio_cfg = {0x10, 0x00};
  row("pulse set output bit", in, "btSetPulse1", Prop::Visible, false);
  row("pulse set channel 2", in, "btSetPulse2", Prop::Visible, true);
  WindowState out = Config(0x22);
  out.pulse_out = {true, false};
  out.pulse_out_l1 = {true, false};
  row("output sources on", out, "PulseCfgRadioButton1out_cooling", Prop::Enabled, true);
  row("output sources channel 2", out, "PulseCfgRadioButton2out_cooling", Prop::Enabled, false);
  row("output L1 hides unit", out, "pio_vif1", Prop::Visible, false);
  row("channel 2 unit shown", out, "pio_vif2", Prop::Visible, true);
  // Tariffs.
  WindowState tar = Config(0x22);
  tar.tar1_1 = true;
  row("tariff 1 hides threshold 2", tar, "textBoxThreshold2", Prop::Visible, false);
  row("tariff 1 hides trigger 2", tar, "comboBoxTriger2", Prop::Visible, false);
  tar.tar1_1 = false;
  tar.tar1_5 = true;
  row("tariff 5 shows trigger 2", tar, "gbTarifftype2", Prop::Visible, true);
  tar.trigger1 = 5;
  row("time interval clock", tar, "pictureCllock1_5", Prop::Visible, true);
  row("time interval buttons", tar, "radioButtonTar1_3", Prop::Visible, false);
  tar.trigger2 = 4;
  row("trigger 2 picture", tar, "pictureBox8", Prop::Visible, true);
  // LCD items: 1.1 needs advanced and manufacturer mode; a forced item is off.
  WindowState lcd = Config(0x04);
  row("item 1.1 test mode", lcd, "checkBox1_1", Prop::Enabled, false);
  row("item 1.3 test mode", lcd, "checkBox1_3", Prop::Enabled, true);
  lcd.device_jumper = 0x22;
  lcd.advanced = true;
  row("item 1.1 manufacturer advanced", lcd, "checkBox1_1", Prop::Enabled, true);
  lcd.mnf_mask[5] = 0x01;  // item 2.9
  row("item 2.9 forced", lcd, "checkBox2_9", Prop::Enabled, false);
  lcd.mnf_mask[10] = 0x20;  // item 3.22
  row("item 3.22 forced", lcd, "checkBox3_22", Prop::Enabled, false);
  row("item 2.24 design state", lcd, "checkBox2_24", Prop::Enabled, false);
  row("item 2.31 design state", lcd, "checkBox2_31", Prop::Enabled, true);
}

void StateRulesTest::Rules() {
  QFETCH(WindowState, state);
  QFETCH(QString, control);
  QFETCH(Prop, prop);
  QFETCH(bool, expected);
  const auto r = ComputeStateRules(state);
  const auto it = r.controls.find(control.toStdString());
  QVERIFY2(it != r.controls.end(), qPrintable("no rule for " + control));
  const auto& v = prop == Prop::Enabled   ? it->second.enabled
                  : prop == Prop::Visible ? it->second.visible
                                          : it->second.read_only;
  QVERIFY(v.has_value());
  QCOMPARE(*v, expected);
}

void StateRulesTest::ModeText_data() {
  QTest::addColumn<bool>("config");
  QTest::addColumn<int>("jumper");
  QTest::addColumn<bool>("checking");
  QTest::addColumn<QString>("text");
  QTest::newRow("no configuration") << false << 0x22 << false << "";
  QTest::newRow("manufacturer 0x20") << true << 0x20 << false << "Device in manufacturer mode";
  QTest::newRow("manufacturer and test") << true << 0x26 << false << "Device in manufacturer mode";
  QTest::newRow("test") << true << 0x04 << false << "Device in test mode";
  QTest::newRow("test without changing")
      << true << 0x40 << false << "Device in test mode without changing";
  QTest::newRow("user") << true << 0x00 << false << "Device in user mode";
  QTest::newRow("update check") << true << 0x22 << true << "Checking updates";
}

void StateRulesTest::ModeText() {
  QFETCH(bool, config);
  QFETCH(int, jumper);
  QFETCH(bool, checking);
  QFETCH(QString, text);
  WindowState s;
  s.configuration = config;
  s.device_jumper = static_cast<std::uint32_t>(jumper);
  s.update_check_running = checking;
  QCOMPARE(QString::fromStdString(ComputeStateRules(s).panel2), text);
}

NORD5_UI_TEST(StateRulesTest);
#include "state_rules_test.moc"
