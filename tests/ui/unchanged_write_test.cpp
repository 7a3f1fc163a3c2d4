// A configuration read from the virtual meter and written back, or saved, loaded and saved again,
// with nothing edited, leaves the meter's memory and the file as they were: in manufacturer mode
// (which also stores the manufacturer code), in test mode (user configuration only) and in user
// mode (files only).
#include <QFile>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/utils.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"
#include "window_rig.h"

using namespace nord5;

namespace {

// The window on the manual clock, with the meter's memory and the messages shown.
struct Rig : WindowRig {
  using WindowRig::WindowRig;
  std::vector<std::uint8_t> Memory() const {
    std::vector<std::uint8_t> m(meter.ConfigBlock(), meter.ConfigBlock() + kCfgSize);
    m.insert(m.end(), meter.CalibrationBlock(), meter.CalibrationBlock() + kCoefSize);
    return m;
  }
  QString Messages() const {
    QStringList out;
    for (const auto& t : dialogs.Texts()) out << QString::fromStdString(t);
    return out.join(" | ");
  }
};

// "Cfg n" / "Coef n" for each byte that differs (memory: configuration block, then calibration).
QStringList Differences(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  QStringList out;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (a[i] != b[i])
      out << (i < kCfgSize ? QString("Cfg %1").arg(i) : QString("Coef %1").arg(i - kCfgSize));
  return out;
}

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A meter whose configuration holds what the factory image does not: another manufacturer code,
// a time window as threshold 1, an output channel, credits off.
MeterImage UnusualImage() {
  MeterImage m = sim::DefaultMeterImage(kFirmware17042702);
  m.SetCfg<std::uint16_t>(93, EncodeManufacturer("ZVQ"));
  m.SetCfg<std::uint16_t>(134, 0x0245 | (5u << 3));     // trigger 1: time interval
  m.SetCfg<std::uint32_t>(136, 390u | (1320u << 16));   // 06:30-22:00
  m.SetCfg<std::uint16_t>(132, 0xFFFF);                 // credits off
  m.SetCfg<std::uint16_t>(184, 0x1100);                 // channel 2: output of cooling energy
  m.SetCfg<std::uint32_t>(236, 0x06);
  m.SetCfg<std::uint16_t>(144, 0xFCFF);                 // 31 December
  return m;
}

}  // namespace

class UnchangedWriteTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }
  void WriteWithNothingEditedKeepsTheMeter_data();
  void WriteWithNothingEditedKeepsTheMeter();
  void SaveLoadSaveKeepsTheFile_data();
  void SaveLoadSaveKeepsTheFile();

 private:
  UiTestEnv env_;
};

void UnchangedWriteTest::WriteWithNothingEditedKeepsTheMeter_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<bool>("unusual");
  QTest::addColumn<QString>("action");
  QTest::newRow("manufacturer mode, full write")
      << 0x22 << false << "caCheckManufacturerJumper";
  QTest::newRow("manufacturer mode, other values, full write")
      << 0x22 << true << "caCheckManufacturerJumper";
  QTest::newRow("manufacturer mode, user configuration")
      << 0x22 << true << "caWriteUserConfiguration";
  QTest::newRow("test mode, user configuration") << 0x04 << false << "caWriteUserConfiguration";
  QTest::newRow("test mode, other values, user configuration")
      << 0x04 << true << "caWriteUserConfiguration";
}

void UnchangedWriteTest::WriteWithNothingEditedKeepsTheMeter() {
  QFETCH(int, mode);
  QFETCH(bool, unusual);
  QFETCH(QString, action);
  sim::MeterOptions options;
  options.mode = static_cast<std::uint8_t>(mode);
  if (unusual) options.image = UnusualImage();
  Rig r(options);
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  QVERIFY2(r.dialogs.shown.empty(), qPrintable(r.Messages()));
  const std::vector<std::uint8_t> before = r.Memory();
  const std::uint16_t manufacturer = r.meter.Manufacturer();

  const QByteArray name = action.toLatin1();
  r.window.Action(name.constData())->setEnabled(true);
  QVERIFY(r.RunAndWait(name.constData()));
  QVERIFY2(r.dialogs.shown.empty(), qPrintable(r.Messages()));
  QVERIFY(r.host.Engine().State().NoConfiguration);  // the write ended with its read-back
  QCOMPARE(r.meter.Manufacturer(), manufacturer);
  QCOMPARE(Differences(before, r.Memory()).join(", "), QString());
}

void UnchangedWriteTest::SaveLoadSaveKeepsTheFile_data() {
  QTest::addColumn<int>("mode");
  QTest::addColumn<bool>("unusual");
  QTest::addColumn<bool>("advanced");
  QTest::newRow("manufacturer mode") << 0x22 << false << false;
  QTest::newRow("manufacturer mode, other values") << 0x22 << true << false;
  QTest::newRow("manufacturer mode, advanced after the read") << 0x22 << true << true;
  QTest::newRow("test mode") << 0x04 << true << false;
  QTest::newRow("user mode") << 0x00 << true << false;
}

void UnchangedWriteTest::SaveLoadSaveKeepsTheFile() {
  QFETCH(int, mode);
  QFETCH(bool, unusual);
  QFETCH(bool, advanced);
  sim::MeterOptions options;
  options.mode = static_cast<std::uint8_t>(mode);
  if (unusual) options.image = UnusualImage();
  Rig r(options);
  QVERIFY(r.RunAndWait("caReadConfiguration"));
  QVERIFY2(r.dialogs.shown.empty(), qPrintable(r.Messages()));
  // Advanced mode switched on after the read: the save then applies the hidden production options.
  if (advanced) r.window.Action("caAdvaced")->trigger();

  const QString first = env_.dir->filePath("first.meterConfig");
  const QString second = env_.dir->filePath("second.meterConfig");
  r.dialogs.QueueFile(first.toStdString());
  r.window.Action("caSaveConfiguration")->trigger();
  r.dialogs.QueueFile(first.toStdString());
  r.window.Action("caLoadConfiguration")->trigger();
  r.dialogs.QueueFile(second.toStdString());
  r.window.Action("caSaveConfiguration")->trigger();
  QVERIFY2(r.dialogs.shown.empty(), qPrintable(r.Messages()));

  const QByteArray saved = FileBytes(first);
  QCOMPARE(saved.size(), int(kImageSize));
  const MeterImage meter = r.meter.Image();
  const std::vector<std::uint8_t> expected(meter.bytes.begin(), meter.bytes.end());
  const std::vector<std::uint8_t> got(saved.begin(), saved.end());
  // Image offsets: 4 bytes of firmware version, then the memory blocks and the check value.
  QCOMPARE(Differences(std::vector<std::uint8_t>(expected.begin() + 4, expected.end()),
                       std::vector<std::uint8_t>(got.begin() + 4, got.end()))
               .join(", "),
           QString());
  QCOMPARE(FileBytes(second), saved);
}

#include "unchanged_write_test.moc"
NORD5_UI_TEST(UnchangedWriteTest);
