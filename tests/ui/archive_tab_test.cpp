// The "Archive" tab on a virtual meter: reading records into the grid, stopping an endless
// reading, the grid's highlight and the report of the grid.
#include "ui/archive_tab.h"

#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "meterdata/archive_quantities.h"
#include "meterdata/report.h"
#include "meterdata/report_texts.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "ui/main_window.h"
#include "ui/widgets.h"
#include "ui/window_host.h"
#include "ui_test_env.h"

using namespace nord5;

namespace {

class FakeOpener final : public ReportOpener {
 public:
  bool OpenInSpreadsheet(const std::string& p) override { return Note("spreadsheet " + p); }
  bool OpenInWordProcessor(const std::string& p) override { return Note("word " + p); }
  void OpenWithDefaultProgram(const std::string& p) override { Note("default " + p); }
  bool Note(const std::string& what) {
    calls.push_back(what);
    return succeed;
  }
  std::vector<std::string> calls;
  bool succeed = true;
};

struct Rig {
  sim::VirtualMeter meter{{}, SystemClock::Instance()};
  ui::TfmTermuloConfig window;
  ScriptedDialogs dialogs;
  FakeOpener opener;
  ui::MainWindowHost host{window,
                          [this](const std::string&) -> std::unique_ptr<SerialLine> {
                            return std::make_unique<sim::SimSerialLine>(meter,
                                                                        SystemClock::Instance());
                          },
                          std::make_unique<TUSBNotifier>(std::unique_ptr<DeviceMonitor>{})};
  ui::StringGrid* grid = window.findChild<ui::StringGrid*>("sgArchive");

  Rig() {
    host.SetDialogs(&dialogs);
    host.Port().SetPort("Virtual meter");
    host.Archive().SetReportOpener(&opener);
  }
  FormView& form() { return window.Form(); }
  void Check(std::initializer_list<int> rows) {
    auto* list = window.findChild<QTreeWidget*>("lvParamList");
    for (int r : rows) list->topLevelItem(r)->setCheckState(0, Qt::Checked);
  }
  bool Read(int kind, const char* count) {
    form().SetItemIndex("cbReadData", kind);
    form().SetText("edRecordCount", count);
    form().FireHandler("btReadData");
    return QTest::qWaitFor([this] { return !host.Engine().Running(); }, 60000);
  }
};

}  // namespace

class ArchiveTabTest : public QObject {
  Q_OBJECT
 private slots:
  void init() { env_.Reset(); }

  void QuantityListFollowsTheTable() {
    Rig r;
    auto* list = r.window.findChild<QTreeWidget*>("lvParamList");
    QCOMPARE(list->topLevelItemCount(), int(kArchiveQuantityCount));
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      QCOMPARE(list->topLevelItem(i)->text(0).toStdString(),
               std::string(kArchiveQuantities[std::size_t(i)].Name));
  }

  void ReadDataFillsTheGridWithTheRecordCount() {
    Rig r;
    r.Check({0, 11});
    QSignalSpy changes(&r.host.Archive(), &ui::ArchiveTab::GridChanged);
    QVERIFY(r.Read(1, "3"));
    QCOMPARE(changes.count(), 4);  // emptied, then three rows
    QVERIFY2(r.dialogs.shown.empty(),
             r.dialogs.shown.empty() ? "" : r.dialogs.shown[0].Text.c_str());
    ui::StringGrid* g = r.grid;
    QCOMPARE(g->rowCount(), 4);
    QCOMPARE(g->columnCount(), 3);
    QCOMPARE(g->FixedRows(), 1);
    QCOMPARE(g->CellText(0, 0), QString("Number"));
    QVERIFY(g->CellText(1, 0).startsWith("Timestamp"));
    for (int row = 1; row <= 3; ++row) QCOMPARE(g->CellText(0, row), QString::number(row));
    // Columns fit their widest text with 18 pixels to spare.
    const QFontMetrics fm(g->font());
    for (int c = 0; c < g->columnCount(); ++c)
      for (int row = 0; row < g->rowCount(); ++row)
        QVERIFY(g->columnWidth(c) >= fm.horizontalAdvance(g->CellText(c, row)));
    int widest = 0;
    for (int row = 0; row < g->rowCount(); ++row)
      widest = std::max(widest, fm.horizontalAdvance(g->CellText(1, row)));
    QCOMPARE(g->columnWidth(1), widest + 18);
    // Auto scroll selects the last row.
    QCOMPARE(g->currentRow(), 3);
    r.window.RunStateRules();
    QVERIFY(r.form().Enabled("btMakeReport"));
    QVERIFY(r.form().Enabled("btReadData"));
    QVERIFY(!r.form().Enabled("btStop"));

    // A new reading starts from an empty grid; "Current data" gives one row.
    r.form().SetChecked("cbAutoScroll", false);
    QVERIFY(r.Read(0, "0"));
    QCOMPARE(g->rowCount(), 2);
  }

  void StopEndsAnEndlessReadingAfterOneMoreAnswer() {
    Rig r;
    r.form().SetItemIndex("cbReadData", 2);
    r.form().SetText("edRecordCount", "0");
    r.form().FireHandler("btReadData");
    QVERIFY(QTest::qWaitFor([&r] { return r.grid->rowCount() >= 3; }, 30000));
    r.window.RunStateRules();
    QVERIFY(r.form().Enabled("btStop"));
    const int rows = r.grid->rowCount();
    r.form().FireHandler("btStop");
    QVERIFY(QTest::qWaitFor([&r] { return !r.host.Engine().Running(); }, 30000));
    QCOMPARE(r.grid->rowCount(), rows + 1);
  }

  void SelectedCellAndItsCrossAreHighlighted() {
    Rig r;
    QVERIFY(r.Read(1, "3"));
    ui::StringGrid* g = r.grid;
    r.window.resize(1000, 700);
    r.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.window));
    r.window.Pages().setCurrentWidget(r.window.findChild<QWidget*>("tbArchive"));
    g->setCurrentCell(2, 1);
    const QImage image = g->viewport()->grab().toImage();
    auto back = [&](int row, int col) {
      const QRect cell = g->visualRect(g->model()->index(row, col));
      return image.pixelColor(cell.right() - 3, cell.bottom() - 2);
    };
    QCOMPARE(back(2, 1), QColor(0xC0, 0xC0, 0xC0));
    QCOMPARE(back(2, 0), QColor(0x00, 0xFF, 0xFF));
    QCOMPARE(back(1, 1), QColor(0x00, 0xFF, 0xFF));
    QCOMPARE(back(1, 0), g->palette().color(QPalette::Base));
  }

  void MakeReportSavesOpensAndRemembers() {
    Rig r;
    ManualClock clock;
    clock.SetLocalTime({2018, 5, 4, 5, 51, 28, 0});
    r.host.Archive().SetClock(&clock);
    QVERIFY(r.Read(1, "2"));
    QTemporaryDir dir;
    const std::string path = dir.filePath("report.xls").toStdString();

    // Cancelled: nothing is written.
    r.form().FireHandler("btMakeReport");
    QCOMPARE(r.dialogs.file_requests.size(), std::size_t(1));
    const FileDialogRequest& asked = r.dialogs.file_requests[0];
    QCOMPARE(asked.Title, std::string(kTextSaveReport));
    QCOMPARE(asked.FilterIndex, 1);
    if (QLocale::system().language() == QLocale::English ||
        QLocale::system().language() == QLocale::C)
      QCOMPARE(asked.FileName, std::string("2018 May 04 Friday 05_51_28"));
    QVERIFY(r.opener.calls.empty());

    r.dialogs.QueueFile(path, 1);
    r.opener.succeed = false;
    r.form().FireHandler("btMakeReport");
    QVERIFY(QFileInfo::exists(QString::fromStdString(path)));
    QCOMPARE(r.opener.calls, std::vector<std::string>{"spreadsheet " + path});
    QCOMPARE(r.dialogs.Texts(), std::vector<std::string>{std::string(kTextCantOpenExcel)});

    // The chosen type and folder are offered next time.
    const std::string doc = dir.filePath("report.doc").toStdString();
    r.dialogs.QueueFile(doc, 2);
    r.opener.succeed = true;
    r.form().FireHandler("btMakeReport");
    QCOMPARE(r.opener.calls.back(), "word " + doc);
    QCOMPARE(SettingsValue(SettingsMode::Read, "FileTypeIndex", 1).AsInt(), 2);
    QCOMPARE(SettingsValue(SettingsMode::Read, "ReportFilePath", "").Text(),
             dir.path().toStdString() + "/");
    r.form().FireHandler("btMakeReport");
    QCOMPARE(r.dialogs.file_requests.back().FilterIndex, 2);
    QCOMPARE(r.dialogs.file_requests.back().Folder, dir.path().toStdString() + "/");
  }

 private:
  UiTestEnv env_;
};

NORD5_UI_TEST(ArchiveTabTest);
#include "archive_tab_test.moc"
