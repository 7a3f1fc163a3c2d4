// The archive window: column keys, rows per reading, a reading with one more record, the record
// count, the report over its grids, and logging in the main window feeding it.
#include "ui/archive_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/shell.h"
#include "meterdata/data_logging.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"

using namespace nord5;
using nord5::ui::TfmArchiveWindow;

namespace {

struct Entry {
  const char* name;
  const char* units;
  TVariant value;
};

TFullRecord Reading(const std::vector<Entry>& entries) {
  TFullRecord dr;
  for (const Entry& e : entries) {
    TTableRecord& r = dr.Rec[static_cast<std::size_t>(dr.Count)];
    r.Index = dr.Count + 1;
    r.Name = e.name;
    r.Units = e.units;
    r.Value = e.value;
    ++dr.Count;
  }
  return dr;
}

QStringList Row(const ui::StringGrid* g, int r) {
  QStringList out;
  for (int c = 0; c < g->columnCount(); ++c) out << g->CellText(c, r);
  return out;
}

}  // namespace

class ArchiveWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }

  void ColumnsAreFoundByPositionAndName() {
    TfmArchiveWindow w;
    const TFullRecord first = Reading({{"DeviceID", "", std::int64_t{12345678}},
                                       {"Energy", "kWh", 12.5},
                                       {"Volume", "m3", 3.25}});
    QVERIFY(w.FillArray(first));
    ui::StringGrid* g = w.Grid();
    QVERIFY(g != nullptr);
    QCOMPARE(g->objectName(), QString("grArray0"));
    QCOMPARE(Row(g, 0), QStringList({"Number", "1. DeviceID", "2. Energy, kWh", "3. Volume, m3"}));
    QCOMPARE(Row(g, 1), QStringList({"1", "12345678", "12.5", "3.25"}));
    QCOMPARE(g->FixedRows(), 1);
    QCOMPARE(g->FixedCols(), 1);

    // The same records again: a row, no column.
    QVERIFY(w.FillArray(first));
    QCOMPARE(g->rowCount(), 3);
    QCOMPARE(g->columnCount(), 4);
    QCOMPARE(g->CellText(0, 2), QString("2"));

    // One record more: one new column at the right, empty in the earlier rows.
    QVERIFY(w.FillArray(Reading({{"DeviceID", "", std::int64_t{12345678}},
                                 {"Energy", "kWh", 13.0},
                                 {"Volume", "m3", 3.5},
                                 {"Power", "kW", 1.5}})));
    QCOMPARE(g->columnCount(), 5);
    QCOMPARE(g->CellText(4, 0), QString("4. Power, kW"));
    QCOMPARE(g->CellText(4, 1), QString());
    QCOMPARE(g->CellText(4, 3), QString("1.5"));

    // A record at another position is another column, not a mixed one.
    QVERIFY(w.FillArray(Reading({{"DeviceID", "", std::int64_t{12345678}},
                                 {"Volume", "m3", 4.0}})));
    QCOMPARE(g->columnCount(), 6);
    QCOMPARE(g->CellText(5, 0), QString("2. Volume, m3"));
    QCOMPARE(g->CellText(2, 4), QString());

    QVERIFY(w.FillArray(first));
    QCOMPARE(w.RecordCount(), 5);
    QCOMPARE(w.RecordCountLabel()->text(), QString("5"));
    QCOMPARE(w.Grids().size(), std::size_t{1});
    // "auto scroll": the newest row is selected.
    QCOMPARE(g->currentRow(), 5);
  }

  void RefreshListIsStored() {
    SettingsValue(SettingsMode::Write, "cbRefreshList", false);
    {
      TfmArchiveWindow w;
      QVERIFY(!w.RefreshList()->isChecked());
      w.RefreshList()->click();
    }
    QCOMPARE(SettingsValue(SettingsMode::Read, "cbRefreshList", false).AsBool(), true);
  }

  void ReportCoversTheGrid() {
    TfmArchiveWindow w;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    w.SetDialogs(&dialogs);
    w.SetShell(&shell);
    w.FillArray(Reading({{"DeviceID", "", std::int64_t{12345678}}, {"Energy", "kWh", 12.5}}));
    w.FillArray(Reading({{"DeviceID", "", std::int64_t{12345678}}, {"Energy", "kWh", 13.5}}));
    const QString path = env_.dir->filePath("report.htm");
    dialogs.QueueFile(path.toStdString(), 3);
    QTest::mouseClick(w.findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    QCOMPARE(dialogs.file_requests.size(), std::size_t{1});
    QCOMPARE(dialogs.file_requests[0].Title, std::string("Save report"));
    QCOMPARE(SettingsValue(SettingsMode::Read, "FileTypeIndex", 1).AsInt(), std::int64_t{3});
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    QVERIFY(raw.startsWith("\xFF\xFE"));
    const QString html = QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData() + 2),
                                            (raw.size() - 2) / 2);
    QVERIFY(html.contains("2. Energy, kWh"));
    QVERIFY(html.contains("13.5"));
    QCOMPARE(shell.opened, std::vector<std::string>{path.toStdString()});
  }

  void LoggingFeedsTheOpenWindow() {
    sim::VirtualMeter meter({}, SystemClock::Instance());
    ui::TfmTermuloConfig main;
    ScriptedDialogs dialogs;
    ui::MainWindowHost host(
        main,
        [&meter](const std::string&) -> std::unique_ptr<SerialLine> {
          return std::make_unique<sim::SimSerialLine>(meter, SystemClock::Instance());
        },
        std::make_unique<TUSBNotifier>(std::unique_ptr<DeviceMonitor>{}));
    host.SetDialogs(&dialogs);
    host.Port().SetPort("Virtual meter");
    FormView& f = main.Form();
    f.FireHandler("btShowLog");
    TfmArchiveWindow* w = TfmArchiveWindow::Instance();
    QVERIFY(w != nullptr);
    f.FireHandler("btShowLog");  // open already: the same window
    QCOMPARE(TfmArchiveWindow::Instance(), w);

    const QString log = env_.dir->filePath("log.csv");
    dialogs.QueueFile(log.toStdString());
    f.SetText("edLogingTime", "1");
    f.SetChecked("cbLogingData", true);
    QVERIFY(host.Logger().Active());
    QVERIFY(main.CurrentState().logging);
    QVERIFY(QTest::qWaitFor([&] { return host.Logger().ReceiveCount() >= 2; }, 20000));
    f.SetChecked("cbLogingData", false);
    QVERIFY(!host.Logger().Active());
    QCOMPARE(dialogs.Texts().back(), std::string("Logging data stop"));
    QVERIFY(w->RecordCount() >= 2);
    QCOMPARE(w->Grid()->CellText(1, 0), QString("1. DeviceID"));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.size() >= 3);
    QVERIFY(lines[0].startsWith("Time;DeviceID,;"));
    QVERIFY(lines[0].endsWith("\r"));
    QCOMPARE(w->RecordCount(), host.Logger().ReceiveCount());

    // Cancelled dialog: the box unchecks itself and nothing runs.
    dialogs.shown.clear();
    f.SetChecked("cbLogingData", true);
    QVERIFY(!f.Checked("cbLogingData"));
    QVERIFY(!host.Logger().Active());
    QVERIFY(dialogs.shown.empty());
    w->close();
  }

 private:
  UiTestEnv env_;
};

NORD5_UI_TEST(ArchiveWindowTest);
#include "archive_window_test.moc"
