#include "ui/chart_panel.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/qt_seams.h"

namespace nord5::ui {
namespace {

// A gap splits a line into segments, each a series of its own; past this many the line bridges
// further gaps, so a column that is empty every other row cannot flood the chart with series.
constexpr std::size_t kMaxSegments = 64;
// Points drawn per piece at most: two per pixel column of a plot area 1,000 pixels wide.
constexpr std::size_t kMaxDrawn = 2000;

const QColor kColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                          QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e),
                          QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
                          QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f)};

std::vector<std::string> RowTexts(const QTableWidget* grid, int row) {
  std::vector<std::string> cells(static_cast<std::size_t>(grid->columnCount()));
  for (int c = 0; c < grid->columnCount(); ++c)
    if (const QTableWidgetItem* item = grid->item(row, c))
      cells[static_cast<std::size_t>(c)] = item->text().toStdString();
  return cells;
}

// A range with a little room around it; a single value gets a unit-wide band.
void Padded(double lo, double hi, double& out_lo, double& out_hi) {
  const double span = hi - lo;
  const double pad = span > 0 ? span * 0.05 : std::max(1.0, std::fabs(lo) * 0.05);
  out_lo = lo - pad;
  out_hi = hi + pad;
}

// A tick step of 1, 2 or 5 times a power of ten, at least 1: row numbers are whole.
double WholeStep(double span) {
  const double raw = std::max(1.0, span / 5);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

}  // namespace

ChartZoomView::ChartZoomView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setRubberBand(QChartView::RectangleRubberBand);
  setRenderHint(QPainter::Antialiasing, false);
}

void ChartZoomView::mousePressEvent(QMouseEvent* event) {
  // The right button would zoom out step by step; the double click is the one way back.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QChartView::mousePressEvent(event);
}

void ChartZoomView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  const bool banding = rubberBand() != QChartView::NoRubberBand && event->button() == Qt::LeftButton;
  QChartView::mouseReleaseEvent(event);
  if (banding) {
    zoomed_ = true;
    emit zoomed();
  }
}

void ChartZoomView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  zoomed_ = false;
  chart()->zoomReset();
  emit zoomReset();
  event->accept();
}

ChartPanel::ChartPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pnChart");
  chart_ = new QChart;
  chart_->setAnimationOptions(QChart::NoAnimation);
  chart_->legend()->setAlignment(Qt::AlignBottom);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  view_ = new ChartZoomView(chart_, this);
  view_->setObjectName("chChart");
  list_ = new QListWidget(this);
  list_->setObjectName("lvChartColumns");
  list_->setFixedWidth(180);
  save_ = new QPushButton("Save picture", this);
  save_->setObjectName("btSavePicture");

  auto* side = new QVBoxLayout;
  side->addWidget(list_, 1);
  side->addWidget(save_);
  auto* lay = new QHBoxLayout(this);
  lay->setContentsMargins(0, 0, 0, 0);
  lay->addWidget(view_, 1);
  lay->addLayout(side);

  flush_timer_ = new QTimer(this);
  flush_timer_->setSingleShot(true);
  flush_timer_->setInterval(kFlushMs);
  connect(flush_timer_, &QTimer::timeout, this, &ChartPanel::Flush);
  sync_timer_ = new QTimer(this);
  sync_timer_->setSingleShot(true);
  sync_timer_->setInterval(50);
  connect(sync_timer_, &QTimer::timeout, this, &ChartPanel::SyncWithGrid);

  connect(list_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    const int column = item->data(Qt::UserRole).toInt();
    const bool on = item->checkState() == Qt::Checked;
    const QString header = item->data(Qt::UserRole + 1).toString();
    checked_headers_.removeAll(header);
    if (on) {
      checked_headers_.append(header);
      AddPlot(column);
    } else {
      RemovePlot(column);
    }
    UpdateRanges();
  });
  connect(save_, &QPushButton::clicked, this, &ChartPanel::OnSavePicture);
  connect(view_, &ChartZoomView::zoomed, this, &ChartPanel::ShowZoomed);
  connect(view_, &ChartZoomView::zoomReset, this, [this] {
    for (auto& [column, plot] : plots_) {
      std::fill(plot->dirty.begin(), plot->dirty.end(), true);
      ShowWhole(*plot);
    }
    UpdateRanges();
  });
  save_->setEnabled(false);
  // As many x labels as fit: a narrow chart would hide labels that overlap.
  connect(chart_, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
    if (auto* t = qobject_cast<QDateTimeAxis*>(x_axis_))
      t->setTickCount(std::clamp(static_cast<int>(area.width() / 110) + 1, 2, 8));
  });
  RebuildChart();
}

ChartPanel::~ChartPanel() = default;

void ChartPanel::Reset(const std::vector<std::string>& header) {
  if (separator_source_) separator_ = separator_source_();
  model_ = ChartSeriesModel(separator_, CurrentDateTimeFormats());
  model_.Reset(header);
  view_->ClearZoom();
  RebuildChart();
}

void ChartPanel::ExtendHeader(const std::vector<std::string>& header) {
  if (!model_.ExtendHeader(header)) {
    RebuildChart();  // another grid: the model started again
    return;
  }
  UpdateColumnList();
}

void ChartPanel::AppendRow(const std::vector<std::string>& cells) {
  model_.AppendRow(cells);
  ScheduleFlush();
}

void ChartPanel::ScheduleFlush() {
  if (!flush_timer_->isActive()) flush_timer_->start();
}

void ChartPanel::RebuildChart() {
  flush_timer_->stop();
  for (auto& [column, plot] : plots_)
    for (QLineSeries* s : plot->lines) {
      chart_->removeSeries(s);
      delete s;
    }
  plots_.clear();
  for (auto& [units, axis] : y_axes_) {
    chart_->removeAxis(axis);
    delete axis;
  }
  y_axes_.clear();
  if (x_axis_) {
    chart_->removeAxis(x_axis_);
    delete x_axis_;
    x_axis_ = nullptr;
  }
  have_offset_ = false;
  next_color_ = 0;
  if (model_.XKind() == ChartXKind::Timestamp) {
    auto* axis = new QDateTimeAxis;
    axis->setFormat("dd.MM HH:mm");
    axis->setTitleText("Timestamp");
    axis->setTickCount(std::clamp(static_cast<int>(chart_->plotArea().width() / 110) + 1, 2, 8));
    x_axis_ = axis;
  } else {
    auto* axis = new QValueAxis;
    axis->setLabelFormat("%.0f");
    axis->setTitleText("Number");
    x_axis_ = axis;
  }
  x_axis_->setObjectName("chartXAxis");
  chart_->addAxis(x_axis_, Qt::AlignBottom);
  list_->blockSignals(true);
  list_->clear();
  list_->blockSignals(false);
  UpdateColumnList();
  UpdateRanges();
}

void ChartPanel::UpdateColumnList() {
  // Items for the columns that have shown a number, in grid order.
  QList<int> listed;
  for (int i = 0; i < list_->count(); ++i) listed.append(list_->item(i)->data(Qt::UserRole).toInt());
  for (const ChartSeries& s : model_.Series()) {
    if (!s.Numeric || listed.contains(s.Column)) continue;
    const QString header = QString::fromStdString(s.Header);
    auto* item = new QListWidgetItem(header);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setData(Qt::UserRole, s.Column);
    item->setData(Qt::UserRole + 1, header);
    const bool on = checked_headers_.contains(header);
    int row = 0;
    while (row < list_->count() && list_->item(row)->data(Qt::UserRole).toInt() < s.Column) ++row;
    list_->blockSignals(true);
    list_->insertItem(row, item);
    item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    list_->blockSignals(false);
    if (on) AddPlot(s.Column);
  }
  save_->setEnabled(model_.Rows() > model_.SkippedRows());
}

bool ChartPanel::SetColumnChecked(int column, bool checked) {
  for (int i = 0; i < list_->count(); ++i) {
    QListWidgetItem* item = list_->item(i);
    if (item->data(Qt::UserRole).toInt() != column) continue;
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return true;
  }
  return false;
}

QValueAxis* ChartPanel::AxisForUnits(const std::string& units) {
  auto it = y_axes_.find(units);
  if (it != y_axes_.end()) return it->second;
  auto* axis = new QValueAxis;
  axis->setTitleText(QString::fromStdString(units));
  axis->setObjectName(QString::fromStdString("chartYAxis " + units));
  // The first unit on the left, the next on the right, and so on outward.
  chart_->addAxis(axis, y_axes_.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
  y_axes_[units] = axis;
  return axis;
}

void ChartPanel::DropUnusedAxes() {
  for (auto it = y_axes_.begin(); it != y_axes_.end();) {
    const bool used = std::any_of(plots_.begin(), plots_.end(),
                                  [&](const auto& p) { return p.second->units == it->first; });
    if (used) {
      ++it;
      continue;
    }
    chart_->removeAxis(it->second);
    delete it->second;
    it = y_axes_.erase(it);
  }
}

QLineSeries* ChartPanel::Line(Plot& plot, std::size_t index) {
  while (plot.lines.size() <= index) {
    const ChartSeries* s = model_.SeriesOfColumn(plot.column);
    auto* series = new QLineSeries;
    series->setName(QString::fromStdString(s ? s->Header : std::string()));
    QPen pen(plot.color, 1);
    pen.setCosmetic(true);
    series->setPen(pen);
    series->setUseOpenGL(false);
    chart_->addSeries(series);
    series->attachAxis(x_axis_);
    series->attachAxis(AxisForUnits(plot.units));
    if (!plot.lines.empty())  // one legend entry per column
      for (QLegendMarker* m : chart_->legend()->markers(series)) m->setVisible(false);
    plot.lines.push_back(series);
  }
  return plot.lines[index];
}

void ChartPanel::Draw(QLineSeries* line, const std::vector<ChartPoint>& points) {
  QList<QPointF> list;
  list.reserve(static_cast<qsizetype>(points.size()));
  for (const ChartPoint& p : points) list.append(QPointF(p.X, p.Y));
  line->replace(list);  // one geometry update, however many points changed
}

void ChartPanel::AddPlot(int column) {
  if (plots_.count(column)) return;
  const ChartSeries* s = model_.SeriesOfColumn(column);
  if (!s) return;
  auto plot = std::make_unique<Plot>();
  plot->column = column;
  plot->units = s->Units;
  plot->color = kColors[next_color_++ % std::size(kColors)];
  Plot& p = *plot;
  plots_[column] = std::move(plot);
  Line(p, 0);
  TakePoints(p);
  if (view_->Zoomed())
    ShowZoomed();
  else
    ShowWhole(p);
}

void ChartPanel::RemovePlot(int column) {
  auto it = plots_.find(column);
  if (it == plots_.end()) return;
  for (QLineSeries* s : it->second->lines) {
    chart_->removeSeries(s);
    delete s;
  }
  plots_.erase(it);
  DropUnusedAxes();
}

double ChartPanel::ToChartX(double x) {
  if (model_.XKind() != ChartXKind::Timestamp) return x;
  // The meter's wall-clock time as the local time the date axis shows. The offset is looked up
  // once per hour of readings: a time zone lookup per point would dominate a long line.
  const double hour = std::floor(x / 3600.0);
  if (!have_offset_ || hour != offset_hour_) {
    const DateTime t = FromWallSeconds(hour * 3600.0);
    const QDateTime local(QDate(t.Year, t.Month, t.Day), QTime(t.Hour, 0));
    offset_ms_ = hour * 3600000.0 - static_cast<double>(local.toMSecsSinceEpoch());
    offset_hour_ = hour;
    have_offset_ = true;
  }
  return x * 1000.0 - offset_ms_;
}

double ChartPanel::FromChartX(double chart_x) const {
  if (model_.XKind() != ChartXKind::Timestamp) return chart_x;
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(chart_x));
  const QDate d = local.date();
  const QTime t = local.time();
  return WallSeconds({d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), t.msec()});
}

// Takes the model's points that are new since the last call into the pieces of the line.
void ChartPanel::TakePoints(Plot& plot) {
  const ChartSeries* s = model_.SeriesOfColumn(plot.column);
  if (!s) return;
  for (; plot.taken < s->Points.size(); ++plot.taken) {
    const ChartPoint& pt = s->Points[plot.taken];
    if (pt.Gap) {
      plot.break_pending = true;
      continue;
    }
    if (plot.full.empty() || (plot.break_pending && plot.full.size() < kMaxSegments &&
                              plot.full.back().Count() > 0)) {
      plot.full.emplace_back(kMaxDrawn);
      plot.dirty.push_back(true);
    }
    plot.break_pending = false;
    plot.full.back().Add(ToChartX(pt.X), pt.Y);
    plot.dirty.back() = true;
  }
}

// Draws the pieces that changed; lines left over from a zoomed view are emptied.
void ChartPanel::ShowWhole(Plot& plot) {
  for (std::size_t i = 0; i < plot.full.size(); ++i) {
    if (!plot.dirty[i]) continue;
    Draw(Line(plot, i), plot.full[i].Points());
    plot.dirty[i] = false;
  }
  for (std::size_t i = plot.full.size(); i < plot.lines.size(); ++i)
    if (plot.lines[i]->count() > 0) plot.lines[i]->clear();
}

// Draws the part of every line inside the zoomed x range afresh from the model, so zooming into
// a long line shows its detail rather than a stretched picture of the whole.
void ChartPanel::ShowZoomed() {
  double lo = 0, hi = 0;
  if (auto* t = qobject_cast<QDateTimeAxis*>(x_axis_)) {
    lo = static_cast<double>(t->min().toMSecsSinceEpoch());
    hi = static_cast<double>(t->max().toMSecsSinceEpoch());
  } else if (auto* v = qobject_cast<QValueAxis*>(x_axis_)) {
    lo = v->min();
    hi = v->max();
  }
  const double wall_lo = FromChartX(lo) - 1;
  const double wall_hi = FromChartX(hi) + 1;
  for (auto& [column, plot] : plots_) {
    const ChartSeries* s = model_.SeriesOfColumn(column);
    if (!s) continue;
    std::vector<ChartDecimator> pieces;
    bool broken = false;
    for (std::size_t i = 0; i < plot->taken && i < s->Points.size(); ++i) {
      const ChartPoint& pt = s->Points[i];
      if (pt.X < wall_lo || pt.X > wall_hi) continue;
      if (pt.Gap) {
        broken = true;
        continue;
      }
      if (pieces.empty() || (broken && pieces.size() < kMaxSegments)) pieces.emplace_back(kMaxDrawn);
      broken = false;
      pieces.back().Add(ToChartX(pt.X), pt.Y);
    }
    for (std::size_t i = 0; i < pieces.size(); ++i) Draw(Line(*plot, i), pieces[i].Points());
    for (std::size_t i = pieces.size(); i < plot->lines.size(); ++i)
      if (plot->lines[i]->count() > 0) plot->lines[i]->clear();
    std::fill(plot->dirty.begin(), plot->dirty.end(), true);  // redrawn whole after the zoom
  }
}

void ChartPanel::Flush() {
  flush_timer_->stop();
  UpdateColumnList();
  for (auto& [column, plot] : plots_) {
    TakePoints(*plot);
    if (!view_->Zoomed()) ShowWhole(*plot);  // a zoomed view stays as the technician left it
  }
  UpdateRanges();
}

void ChartPanel::UpdateRanges() {
  if (view_->Zoomed()) return;  // the technician looks at a part; keep it still
  const bool have_x = model_.Rows() > model_.SkippedRows();
  double lo = 0, hi = 1;
  if (have_x) Padded(ToChartX(model_.MinX()), ToChartX(model_.MaxX()), lo, hi);
  if (auto* t = qobject_cast<QDateTimeAxis*>(x_axis_)) {
    if (have_x) {
      // Padding a date axis by less than a minute or two makes no sense; keep a minute at least.
      if (hi - lo < 120000) {
        lo -= 60000;
        hi += 60000;
      }
      t->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(lo)),
                  QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(hi)));
    }
  } else if (auto* v = qobject_cast<QValueAxis*>(x_axis_)) {
    lo = have_x ? std::max(0.0, lo) : 0;
    v->setRange(lo, hi);
    v->setTickType(QValueAxis::TicksDynamic);
    v->setTickAnchor(0);
    v->setTickInterval(WholeStep(hi - lo));
  }
  for (auto& [units, axis] : y_axes_) {
    bool any = false;
    double ylo = 0, yhi = 0;
    for (const auto& [column, plot] : plots_) {
      if (plot->units != units) continue;
      const ChartSeries* s = model_.SeriesOfColumn(column);
      if (!s || s->Values == 0) continue;
      ylo = any ? std::min(ylo, s->MinY) : s->MinY;
      yhi = any ? std::max(yhi, s->MaxY) : s->MaxY;
      any = true;
    }
    if (!any) continue;
    double a, b;
    Padded(ylo, yhi, a, b);
    axis->setRange(a, b);
  }
}

void ChartPanel::Follow(QTableWidget* grid) {
  if (grid_) disconnect(grid_->model(), nullptr, this, nullptr);
  grid_ = grid;
  grid_rows_taken_ = 0;
  if (!grid) return;
  QAbstractItemModel* m = grid->model();
  auto later = [this] {
    if (!sync_timer_->isActive()) sync_timer_->start();
  };
  connect(m, &QAbstractItemModel::rowsInserted, this, later);
  connect(m, &QAbstractItemModel::rowsRemoved, this, later);
  connect(m, &QAbstractItemModel::columnsInserted, this, later);
  connect(m, &QAbstractItemModel::columnsRemoved, this, later);
  connect(m, &QAbstractItemModel::dataChanged, this, later);
  connect(m, &QAbstractItemModel::modelReset, this, later);
  Reset(grid->rowCount() > 0 ? RowTexts(grid, 0) : std::vector<std::string>{});
  SyncWithGrid();
}

void ChartPanel::SyncWithGrid() {
  sync_timer_->stop();
  if (!grid_) return;
  const int rows = grid_->rowCount();
  const std::vector<std::string> header =
      rows > 0 ? RowTexts(grid_, 0) : std::vector<std::string>{};
  const int data_rows = std::max(0, rows - 1);
  const bool same_rows = data_rows >= grid_rows_taken_;
  if (!same_rows || header != model_.Header()) {
    if (!same_rows || !model_.ExtendHeader(header)) {
      // Another grid (a new reading emptied it): start again from its first row.
      Reset(header);
      grid_rows_taken_ = 0;
    } else {
      UpdateColumnList();
    }
  }
  for (; grid_rows_taken_ < data_rows; ++grid_rows_taken_)
    model_.AppendRow(RowTexts(grid_, grid_rows_taken_ + 1));
  ScheduleFlush();
}

QList<QValueAxis*> ChartPanel::YAxes() const {
  QList<QValueAxis*> axes;
  for (const auto& [units, axis] : y_axes_) axes.append(axis);
  return axes;
}

std::size_t ChartPanel::ChartedPoints(int column) const {
  auto it = plots_.find(column);
  if (it == plots_.end()) return 0;
  std::size_t n = 0;
  for (const ChartDecimator& d : it->second->full) n += d.Count();
  return n;
}

qsizetype ChartPanel::DrawnPoints(int column) const {
  auto it = plots_.find(column);
  if (it == plots_.end()) return 0;
  qsizetype n = 0;
  for (const QLineSeries* s : it->second->lines) n += s->count();
  return n;
}

bool ChartPanel::SavePicture(const QString& path) {
  Flush();
  const QPixmap picture = view_->grab();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!picture.save(&file, "PNG")) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

void ChartPanel::OnSavePicture() {
  if (!dialogs_) {
    own_dialogs_ = std::make_unique<QtDialogs>(this);
    dialogs_ = own_dialogs_.get();
  }
  FileDialogRequest request;
  request.Save = true;
  request.Title = "Save picture";
  request.FileName = "chart.png";
  request.Filter = "PNG picture (*.png)|*.png";
  request.DefaultExt = "png";
  const std::optional<FileDialogResult> chosen = dialogs_->FileDialog(request);
  if (!chosen || chosen->Path.empty()) return;
  const QString path = QString::fromStdString(chosen->Path);
  if (QFileInfo::exists(path) &&
      !dialogs_->AskYesNo("File name exists.\r\"" + chosen->Path + "\"\r rewrite?"))
    return;
  if (!SavePicture(path)) dialogs_->Error("Can't write the picture \"" + chosen->Path + "\"");
}

QTabWidget* GridWithChart(QTableWidget* grid, std::function<char()> separator) {
  auto* tabs = new QTabWidget(grid->parentWidget());
  tabs->setObjectName(grid->objectName() + "Views");
  tabs->setTabPosition(QTabWidget::South);
  tabs->setDocumentMode(true);
  tabs->addTab(grid, "Table");
  auto* chart = new ChartPanel(tabs);
  chart->setObjectName(grid->objectName() + "Chart");
  chart->SetDecimalSeparatorSource(std::move(separator));
  chart->Follow(grid);
  tabs->addTab(chart, "Chart");
  return tabs;
}

}  // namespace nord5::ui
