// The chart beside a result grid: the columns offered, one y axis per unit, following the grid as
// rows arrive, zoom and its reset, and the PNG picture.
#include "ui/chart_panel.h"

#include <QChart>
#include <QDateTimeAxis>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include "mbus/dates.h"
#include "mbus/records.h"
#include "foundation/clock.h"
#include "foundation/form_view.h"
#include "mbus/decoder.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "transport/usb_notifier.h"
#include "ui/archive_window.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui_test_env.h"

using nord5::ui::ChartPanel;

class ChartPanelTest : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void OffersNumericColumnsWithOneAxisPerUnit();
  void FollowsTheGridWithoutChangingIt();
  void NewReadingStartsAgainAndKeepsTicks();
  void GapBreaksTheLine();
  void ZoomHoldsStillUntilDoubleClick();
  void SavePictureWritesPng();
  void LongLineIsDrawnAsBoundedPicture();
  void ArchiveWindowChartFollowsLogging();
  void ArchiveTabChartsHourlyRecords();

 private:
  // A grid like the "Archive" tab's on a system with ',' separator: header in row 0.
  void AddRow(int hour, const QString& flow, const QString& t1, const QString& t2);
  QStringList GridTexts() const;

  std::unique_ptr<QTableWidget> grid_;
  std::unique_ptr<ChartPanel> panel_;
};

void ChartPanelTest::init() {
  nord5::SetDateTimeFormats({"dd.MM.yyyy", "HH:mm:ss"});
  grid_ = std::make_unique<QTableWidget>(1, 6);
  const QStringList header = {"Number", "Timestamp", "Average flow, m^3/h",
                              "Average temperature 1, °C", "Average temperature 2, °C",
                              "Max flow date"};
  for (int c = 0; c < header.size(); ++c) grid_->setItem(0, c, new QTableWidgetItem(header[c]));
  panel_ = std::make_unique<ChartPanel>();
  panel_->resize(900, 500);
  panel_->SetDecimalSeparator(',');
  panel_->show();
}

void ChartPanelTest::cleanup() {
  panel_.reset();
  grid_.reset();
  nord5::SetDateTimeFormats({});
}

void ChartPanelTest::AddRow(int hour, const QString& flow, const QString& t1, const QString& t2) {
  const int r = grid_->rowCount();
  grid_->insertRow(r);
  const QStringList cells = {QString::number(r), QString("11.12.2026 %1:00:00").arg(hour, 2, 10, QChar('0')),
                             flow, t1, t2, "10.12.2026 13:00:00"};
  for (int c = 0; c < cells.size(); ++c) grid_->setItem(r, c, new QTableWidgetItem(cells[c]));
}

QStringList ChartPanelTest::GridTexts() const {
  QStringList texts;
  for (int r = 0; r < grid_->rowCount(); ++r)
    for (int c = 0; c < grid_->columnCount(); ++c)
      texts << (grid_->item(r, c) ? grid_->item(r, c)->text() : QString("<none>"));
  return texts;
}

void ChartPanelTest::OffersNumericColumnsWithOneAxisPerUnit() {
  AddRow(1, "0,5", "65,5", "40");
  AddRow(2, "0,75", "66", "41,25");
  panel_->Follow(grid_.get());
  panel_->Flush();
  // Row numbers, timestamps and the date column are no curves.
  QListWidget* list = panel_->ColumnList();
  QCOMPARE(list->count(), 3);
  QCOMPARE(list->item(0)->text(), QString("Average flow, m^3/h"));
  QVERIFY(!panel_->SetColumnChecked(5, true));
  QVERIFY(panel_->SaveButton()->isEnabled());

  QVERIFY(qobject_cast<QDateTimeAxis*>(panel_->XAxis()) != nullptr);
  for (int c : {2, 3, 4}) QVERIFY(panel_->SetColumnChecked(c, true));
  QCOMPARE(panel_->YAxes().size(), 2);  // m^3/h and °C
  QCOMPARE(panel_->ChartedPoints(2), std::size_t{2});
  QCOMPARE(panel_->ChartedPoints(4), std::size_t{2});
  // The temperature axis holds both temperatures.
  for (QValueAxis* axis : panel_->YAxes())
    if (axis->titleText() == "°C") {
      QVERIFY(axis->min() < 40 && axis->max() > 66);
    }
  // The x axis spans the records' own times, not the time of the test.
  auto* x = qobject_cast<QDateTimeAxis*>(panel_->XAxis());
  QVERIFY(x->min() <= QDateTime(QDate(2026, 12, 11), QTime(1, 0)));
  QVERIFY(x->max() >= QDateTime(QDate(2026, 12, 11), QTime(2, 0)));
  QVERIFY(x->max() < QDateTime(QDate(2026, 12, 11), QTime(3, 0)));

  panel_->SetColumnChecked(2, false);
  QCOMPARE(panel_->YAxes().size(), 1);  // no flow ticked: its axis goes
  QCOMPARE(panel_->ChartedPoints(2), std::size_t{0});
}

void ChartPanelTest::FollowsTheGridWithoutChangingIt() {
  panel_->Follow(grid_.get());
  QCOMPARE(panel_->ColumnList()->count(), 0);
  AddRow(1, "0,5", "65,5", "40");
  QTRY_COMPARE(panel_->ColumnList()->count(), 3);  // the sync and the batch run by themselves
  panel_->SetColumnChecked(3, true);
  const QStringList before = GridTexts();
  for (int h = 2; h <= 10; ++h) AddRow(h, "0,5", QString::number(60 + h), "40");
  const QStringList expected = GridTexts();
  QTRY_COMPARE(panel_->ChartedPoints(3), 10);
  QCOMPARE(panel_->Model().Rows(), 10u);
  QCOMPARE(GridTexts(), expected);
  QVERIFY(before.size() < expected.size());
  // A column opened at the right by a later reading joins the list.
  grid_->insertColumn(6);
  grid_->setItem(0, 6, new QTableWidgetItem("Average power, kW"));
  grid_->setItem(10, 6, new QTableWidgetItem("1,5"));
  AddRow(11, "0,5", "71", "40");
  grid_->setItem(11, 6, new QTableWidgetItem("2,5"));
  QTRY_COMPARE(panel_->ColumnList()->count(), 4);
  QTRY_COMPARE(panel_->ChartedPoints(3), 11);
  panel_->SetColumnChecked(6, true);
  QCOMPARE(panel_->ChartedPoints(6), std::size_t{1});  // only rows read after the column opened
}

void ChartPanelTest::NewReadingStartsAgainAndKeepsTicks() {
  AddRow(1, "0,5", "65,5", "40");
  AddRow(2, "0,5", "66", "40");
  panel_->Follow(grid_.get());
  panel_->Flush();
  panel_->SetColumnChecked(3, true);
  QCOMPARE(panel_->ChartedPoints(3), std::size_t{2});
  // "Read data" empties the grid: one row, one empty cell; then the first record arrives.
  grid_->clear();
  grid_->setRowCount(1);
  grid_->setColumnCount(3);
  grid_->setItem(0, 0, new QTableWidgetItem("Number"));
  grid_->setItem(0, 1, new QTableWidgetItem("Flow, m^3/h"));
  grid_->setItem(0, 2, new QTableWidgetItem("Average temperature 1, °C"));
  grid_->insertRow(1);
  grid_->setItem(1, 0, new QTableWidgetItem("1"));
  grid_->setItem(1, 1, new QTableWidgetItem("0,25"));
  grid_->setItem(1, 2, new QTableWidgetItem("50"));
  panel_->SyncWithGrid();
  panel_->Flush();
  QVERIFY(qobject_cast<QValueAxis*>(panel_->XAxis()) != nullptr);  // no timestamp: row numbers
  QCOMPARE(panel_->ColumnList()->count(), 2);
  QCOMPARE(panel_->ChartedPoints(2), std::size_t{1});  // the same header stays ticked
  QCOMPARE(panel_->ChartedPoints(1), std::size_t{0});
}

void ChartPanelTest::GapBreaksTheLine() {
  AddRow(1, "0,5", "65", "40");
  AddRow(2, "- - -", "65", "40");
  AddRow(3, "0,25", "65", "40");
  AddRow(4, "0,5", "65", "40");
  panel_->Follow(grid_.get());
  panel_->Flush();
  panel_->SetColumnChecked(2, true);
  QCOMPARE(panel_->ChartedPoints(2), std::size_t{3});
  QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
  QCoreApplication::processEvents();
  int lines = 0, hidden = 0;
  for (QAbstractSeries* s : panel_->Chart()->series()) {
    ++lines;
    for (QLegendMarker* m : panel_->Chart()->legend()->markers(s)) hidden += !m->isVisible();
  }
  QCOMPARE(lines, 2);   // 1 point, then the 2 after the gap
  QCOMPARE(hidden, 1);  // one legend entry for the column
}

void ChartPanelTest::ZoomHoldsStillUntilDoubleClick() {
  for (int h = 1; h <= 5; ++h) AddRow(h, "0,5", QString::number(60 + h), "40");
  panel_->Follow(grid_.get());
  panel_->Flush();
  panel_->SetColumnChecked(3, true);
  QVERIFY(QTest::qWaitForWindowExposed(panel_.get()));
  auto* x = qobject_cast<QDateTimeAxis*>(panel_->XAxis());
  const QDateTime full_max = x->max();

  QWidget* vp = panel_->View()->viewport();
  const QPoint from = vp->rect().center() - QPoint(80, 60);
  const QPoint to = vp->rect().center() + QPoint(80, 60);
  QTest::mousePress(vp, Qt::LeftButton, {}, from);
  QMouseEvent move(QEvent::MouseMove, to, vp->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
  QApplication::sendEvent(vp, &move);
  QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
  QVERIFY(panel_->View()->Zoomed());
  const QDateTime zoomed_max = x->max();
  QVERIFY(zoomed_max < full_max);

  AddRow(6, "0,5", "90", "40");  // a new reading does not move the zoomed view
  panel_->SyncWithGrid();
  panel_->Flush();
  QCOMPARE(panel_->ChartedPoints(3), std::size_t{6});
  QCOMPARE(x->max(), zoomed_max);

  QTest::mouseDClick(vp, Qt::LeftButton, {}, vp->rect().center());
  QVERIFY(!panel_->View()->Zoomed());
  QVERIFY(x->max() > full_max);  // the whole data, the new reading included
  QVERIFY(x->max() >= QDateTime(QDate(2026, 12, 11), QTime(6, 0)));
}

void ChartPanelTest::SavePictureWritesPng() {
  AddRow(1, "0,5", "65", "40");
  AddRow(2, "0,75", "66", "41");
  panel_->Follow(grid_.get());
  panel_->Flush();
  panel_->SetColumnChecked(2, true);
  nord5::ScriptedDialogs dialogs;
  panel_->SetDialogs(&dialogs);
  QTemporaryDir dir;
  const QString path = dir.filePath("chart.png");

  dialogs.QueueFile(path.toStdString());
  panel_->SaveButton()->click();
  QImage img(path);
  QVERIFY(!img.isNull());
  QCOMPARE(img.size(), panel_->View()->size() * panel_->View()->devicePixelRatio());
  QVERIFY(dialogs.shown.empty());
  QCOMPARE(dialogs.file_requests.back().Title, std::string("Save picture"));

  // An existing file is replaced only after a Yes.
  dialogs.QueueFile(path.toStdString());
  dialogs.QueueAnswer(nord5::MsgResult::No);
  QFile(path).resize(0);
  panel_->SaveButton()->click();
  QCOMPARE(QFileInfo(path).size(), 0);
  QCOMPARE(dialogs.shown.size(), std::size_t{1});

  // Cancelled: nothing; a folder that does not exist: an error, no crash.
  panel_->SaveButton()->click();
  QCOMPARE(dialogs.shown.size(), std::size_t{1});
  dialogs.QueueFile(dir.filePath("missing/chart.png").toStdString());
  panel_->SaveButton()->click();
  QCOMPARE(dialogs.shown.size(), std::size_t{2});
  QCOMPARE(dialogs.shown.back().Icon, nord5::MsgIcon::Error);
  QCOMPARE(GridTexts().size(), 18);
}

void ChartPanelTest::LongLineIsDrawnAsBoundedPicture() {
  ChartPanel panel;
  panel.resize(900, 500);
  panel.show();
  panel.Reset({"Number", "1. DeviceID", "2. Flow, m^3/h"});
  for (int i = 1; i <= 20000; ++i)
    panel.AppendRow({std::to_string(i), "12345678", i == 12345 ? "9.5" : "0.5"});
  panel.Flush();
  QVERIFY(panel.SetColumnChecked(2, true));
  QCOMPARE(panel.ChartedPoints(2), std::size_t{20000});
  QVERIFY(panel.DrawnPoints(2) <= 2000);
  double top = 0;  // the one peak survives the reduction and fits the range
  for (QAbstractSeries* s : panel.Chart()->series())
    for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) top = std::max(top, p.y());
  QCOMPARE(top, 9.5);
  QVERIFY(panel.YAxes().front()->max() > 9.5);
  auto* x = qobject_cast<QValueAxis*>(panel.XAxis());
  QVERIFY(x && x->max() >= 20000);
}

// The archive window puts a chart beside each grid; it follows the readings as logging adds them
// and leaves the grid as the window wrote it.
void ChartPanelTest::ArchiveWindowChartFollowsLogging() {
  UiTestEnv env;
  env.Reset();
  nord5::ui::TfmArchiveWindow w;
  auto reading = [](int i) {
    nord5::TFullRecord dr;
    const std::pair<const char*, const char*> names[] = {
        {"DeviceID", ""}, {"Timestamp", ""}, {"Flow", "m^3/h"}, {"Flow temperature", "°C"}};
    for (const auto& [name, units] : names) {
      nord5::TTableRecord& r = dr.Rec[static_cast<std::size_t>(dr.Count)];
      r.Index = ++dr.Count;
      r.Name = name;
      r.Units = units;
    }
    dr.Rec[0].Value = std::int64_t{12345678};
    dr.Rec[1].Value = nord5::DateTime{2026, 12, 11, 9, 0, i, 0};
    dr.Rec[2].Value = 0.5 + i / 4.0;
    dr.Rec[3].Value = 60.0 + i;
    return dr;
  };
  QVERIFY(w.FillArray(reading(1)));
  auto* chart = w.findChild<ChartPanel*>("grArray0Chart");
  QVERIFY(chart != nullptr);
  chart->SyncWithGrid();
  chart->Flush();
  QVERIFY(chart->SetColumnChecked(3, true));
  QVERIFY(qobject_cast<QDateTimeAxis*>(chart->XAxis()) != nullptr);
  for (int i = 2; i <= 5; ++i) QVERIFY(w.FillArray(reading(i)));
  QTRY_COMPARE(chart->ChartedPoints(3), std::size_t{5});
  QCOMPARE(w.Grid()->rowCount(), 6);
  QCOMPARE(w.Grid()->item(5, 3)->text(), QString("1.75"));
}

// The "Archive" tab on a virtual meter: hourly records with their timestamps, the average flow
// and the two average temperatures on the chart beside the grid. With NORD5_CHART_PICTURE set,
// reads 48 records and saves the main window with the chart shown there (the README's picture).
void ChartPanelTest::ArchiveTabChartsHourlyRecords() {
  UiTestEnv env;
  env.Reset();
  const QByteArray picture = qgetenv("NORD5_CHART_PICTURE");
  const int records = picture.isEmpty() ? 6 : 48;
  nord5::sim::VirtualMeter meter{{}, nord5::SystemClock::Instance()};
  nord5::ui::TfmTermuloConfig window;
  nord5::ScriptedDialogs dialogs;
  nord5::ui::MainWindowHost host{
      window,
      [&meter](const std::string&) -> std::unique_ptr<nord5::SerialLine> {
        return std::make_unique<nord5::sim::SimSerialLine>(meter, nord5::SystemClock::Instance());
      },
      std::make_unique<nord5::TUSBNotifier>(std::unique_ptr<nord5::DeviceMonitor>{})};
  host.SetDialogs(&dialogs);
  host.Port().SetPort("Virtual meter");
  auto* list = window.findChild<QTreeWidget*>("lvParamList");
  for (int row : {0, 11, 12, 13}) list->topLevelItem(row)->setCheckState(0, Qt::Checked);
  nord5::FormView& form = window.Form();
  form.SetItemIndex("cbReadData", 1);  // "Hours statistic data"
  form.SetText("edRecordCount", std::to_string(records));
  form.FireHandler("btReadData");
  QVERIFY(QTest::qWaitFor([&] { return !host.Engine().Running(); }, 120000));
  QVERIFY(dialogs.shown.empty());

  auto* chart = window.findChild<ChartPanel*>("sgArchiveChart");
  QVERIFY(chart != nullptr);
  chart->SyncWithGrid();
  chart->Flush();
  QVERIFY(qobject_cast<QDateTimeAxis*>(chart->XAxis()) != nullptr);
  QCOMPARE(chart->ColumnList()->count(), 3);
  for (int c : {2, 3, 4}) {
    QVERIFY(chart->SetColumnChecked(c, true));
    QCOMPARE(chart->ChartedPoints(c), std::size_t(records));
  }
  QCOMPARE(chart->YAxes().size(), 2);
  QCOMPARE(window.findChild<QTableWidget*>("sgArchive")->rowCount(), records + 1);
  if (!picture.isEmpty()) {
    window.findChild<QTabWidget*>("sgArchiveViews")->setCurrentWidget(chart);
    for (auto* tabs : window.findChildren<QTabWidget*>())
      if (tabs->indexOf(window.findChild<QWidget*>("tbArchive")) >= 0)
        tabs->setCurrentWidget(window.findChild<QWidget*>("tbArchive"));
    window.resize(1150, 640);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    QVERIFY(window.grab().save(QString::fromLocal8Bit(picture), "PNG"));
  }
}

NORD5_UI_TEST(ChartPanelTest);
#include "chart_panel_test.moc"
