// A chart of a result grid's numeric columns: a check list of the columns beside a Qt Charts view
// with one y axis per unit, mouse zoom and "Save picture". It reads the grid, never writes it.
#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/dialogs.h"
#include "meterdata/chart_series.h"

class QAbstractAxis;
class QChart;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class QValueAxis;

namespace nord5::ui {

// The chart view: rubber-band zoom with the left button, back to the whole data with a double
// click. Zooming stops the axes from following new readings until the double click.
class ChartZoomView : public QChartView {
  Q_OBJECT
 public:
  explicit ChartZoomView(QChart* chart, QWidget* parent = nullptr);
  bool Zoomed() const { return zoomed_; }
  void ClearZoom() { zoomed_ = false; }

 signals:
  void zoomed();
  void zoomReset();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool zoomed_ = false;
};

class ChartPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ChartPanel(QWidget* parent = nullptr);
  ~ChartPanel() override;

  // Message boxes and the file dialog of "Save picture"; Qt's own when not set.
  void SetDialogs(Dialogs* dialogs) { dialogs_ = dialogs; }
  // The separator the grid's numbers were written with; takes effect with the next Reset.
  void SetDecimalSeparator(char separator) { separator_ = separator; }
  // Asked for the separator at every Reset instead (a grid written with the system's separator,
  // which the program learns after the window is built).
  void SetDecimalSeparatorSource(std::function<char()> source) { separator_source_ = std::move(source); }

  // Feeding by hand: a new header (drops the rows), a header with more columns at the right,
  // one data row. Points reach the chart in batches (see Flush).
  void Reset(const std::vector<std::string>& header);
  void ExtendHeader(const std::vector<std::string>& header);
  void AppendRow(const std::vector<std::string>& cells);

  // Follows a grid whose row 0 holds the header: new rows and columns are charted as the grid
  // gets them; a grid that shrinks or changes its header is charted anew. Reads only.
  void Follow(QTableWidget* grid);
  // Reads the followed grid now instead of at the next pause of the event loop.
  void SyncWithGrid();

  // Hands the points gathered since the last batch to the chart and updates the axes. Runs by
  // itself a short while after points arrive (kFlushMs), so a reading costs no redraw.
  void Flush();
  static constexpr int kFlushMs = 200;

  // Ticks or unticks the column of the grid; columns that are no numbers cannot be ticked.
  bool SetColumnChecked(int column, bool checked);
  // Writes the chart as a PNG picture; false when the file cannot be written.
  bool SavePicture(const QString& path);

  const ChartSeriesModel& Model() const { return model_; }
  QChart* Chart() const { return chart_; }
  ChartZoomView* View() const { return view_; }
  QListWidget* ColumnList() const { return list_; }
  QPushButton* SaveButton() const { return save_; }
  // The y axes in use, one per unit of the ticked columns.
  QList<QValueAxis*> YAxes() const;
  QAbstractAxis* XAxis() const { return x_axis_; }
  // Points of column `column` on the chart (all segments), for tests.
  // Points of column `column` taken into the chart, and points drawn for it now (fewer once a
  // long line is reduced to its picture); for tests.
  std::size_t ChartedPoints(int column) const;
  qsizetype DrawnPoints(int column) const;

 private:
  // One ticked column. The line is split at gaps into pieces; each piece keeps a bounded
  // picture of itself (ChartDecimator), so drawing costs the same at 100 and at 100,000 points.
  struct Plot {
    int column = 0;
    std::string units;
    QColor color;
    std::vector<QLineSeries*> lines;   // lines[0] carries the legend entry
    std::vector<ChartDecimator> full;  // the pieces of the whole line
    std::vector<bool> dirty;           // piece changed since it was last drawn
    std::size_t taken = 0;             // points of the model's series taken so far
    bool break_pending = false;        // a gap was seen: the next point starts a new piece
  };

  void RebuildChart();
  void AddPlot(int column);
  void RemovePlot(int column);
  void TakePoints(Plot& plot);
  QLineSeries* Line(Plot& plot, std::size_t index);
  void ShowWhole(Plot& plot);
  void ShowZoomed();
  void Draw(QLineSeries* line, const std::vector<ChartPoint>& points);
  QValueAxis* AxisForUnits(const std::string& units);
  void DropUnusedAxes();
  void UpdateRanges();
  void UpdateColumnList();
  void ScheduleFlush();
  void OnSavePicture();
  double ToChartX(double x);
  double FromChartX(double chart_x) const;

  ChartSeriesModel model_;
  char separator_ = '.';
  std::function<char()> separator_source_;
  QChart* chart_ = nullptr;
  ChartZoomView* view_ = nullptr;
  QListWidget* list_ = nullptr;
  QPushButton* save_ = nullptr;
  QTimer* flush_timer_ = nullptr;
  QTimer* sync_timer_ = nullptr;
  QAbstractAxis* x_axis_ = nullptr;
  std::map<std::string, QValueAxis*> y_axes_;
  std::map<int, std::unique_ptr<Plot>> plots_;
  QList<QString> checked_headers_;  // ticks kept across a new reading of the grid
  int next_color_ = 0;
  QPointer<QTableWidget> grid_;
  int grid_rows_taken_ = 0;  // data rows of the grid read so far
  Dialogs* dialogs_ = nullptr;
  std::unique_ptr<Dialogs> own_dialogs_;
  // Local time offset of the last wall-clock hour converted (offsets change on whole hours).
  double offset_hour_ = 0;
  double offset_ms_ = 0;
  bool have_offset_ = false;
};

// Puts `grid` on a "Table" tab and a chart that follows it on a "Chart" tab beside it, and gives
// the tab widget to lay out where the grid was to go. `separator` tells the separator the grid's
// numbers are written with. The tab widget is named after the grid ("sgArchiveViews"), the
// chart panel as well ("sgArchiveChart").
QTabWidget* GridWithChart(QTableWidget* grid, std::function<char()> separator);

}  // namespace nord5::ui
