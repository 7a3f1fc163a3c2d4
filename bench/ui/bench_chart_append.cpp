// How long the event loop stalls while a chart follows 100,000 logged readings.
//
// A feeder timer adds readings one by one (a flow and two temperatures a second apart, as the
// archive window gets them while logging) with the three columns ticked; the chart's own batch
// timer and the repaints run in between. The stall is the longest time from the end of one feeder
// tick to the start of the next, or of one tick itself: the longest the window could not react.
//
//   bench_chart_append [readings] [direct|grid|naive]
//     direct: rows handed to the panel (the model and the chart only)
//     grid:   rows written into a grid that the panel follows (as in the windows)
//     naive:  QLineSeries::append per point with the axes set per reading (the cost avoided)
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QTableWidget>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "mbus/dates.h"
#include "ui/chart_panel.h"

namespace {

const std::vector<std::string> kHeader = {"Number", "1. DeviceID", "2. Timestamp", "3. Flow, m^3/h",
                                          "4. Flow temperature, °C", "5. Return temperature, °C"};

std::vector<std::string> Reading(int i) {
  const QDateTime t = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).addSecs(i);
  const std::string stamp = t.toString("yyyy-MM-dd HH:mm:ss").toStdString();
  const double flow = 0.5 + 0.25 * ((i / 600) % 4);
  return {std::to_string(i + 1), "12345678", stamp, std::to_string(flow).substr(0, 5),
          std::to_string(60 + (i % 3600) / 360.0).substr(0, 6), std::to_string(40 + (i % 7)) + ".5"};
}

// Processor time of this thread in milliseconds: on a busy machine a wall-clock stall may be
// time the thread was not scheduled at all, which says nothing about the chart.
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

struct Stalls {
  QElapsedTimer clock;
  qint64 last_end = -1;
  double last_end_cpu = 0;
  qint64 worst = 0;
  int worst_at = 0;
  double worst_cpu = 0;   // the longest stall counted in processor time of the thread
  int worst_cpu_at = 0;
  std::vector<qint64> all;
  void Tick(qint64 start, double start_cpu, qint64 end, double end_cpu, int i) {
    qint64 s = end - start;
    double c = end_cpu - start_cpu;
    if (last_end >= 0) {
      s = std::max(s, start - last_end);
      c = std::max(c, start_cpu - last_end_cpu);
    }
    all.push_back(s);
    if (s > worst) {
      worst = s;
      worst_at = i;
    }
    if (c > worst_cpu) {
      worst_cpu = c;
      worst_cpu_at = i;
    }
    last_end = end;
    last_end_cpu = end_cpu;
  }
};

int Run(int readings, const std::string& mode) {
  nord5::SetDateTimeFormats({"yyyy-MM-dd", "HH:mm:ss"});
  nord5::ui::ChartPanel panel;
  panel.resize(1000, 600);
  panel.show();
  QTableWidget grid(1, static_cast<int>(kHeader.size()));
  for (std::size_t c = 0; c < kHeader.size(); ++c)
    grid.setItem(0, static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(kHeader[c])));

  // The naive way: one series per column, a point and a range change for every reading.
  auto* naive_chart = new QChart;  // the view owns the chart, the chart its axes and series
  QChartView naive_view(naive_chart);
  std::vector<QLineSeries*> naive;
  auto* nx = new QValueAxis;
  auto* ny = new QValueAxis;
  naive_chart->addAxis(nx, Qt::AlignBottom);
  naive_chart->addAxis(ny, Qt::AlignLeft);
  if (mode == "naive") {
    naive_view.resize(1000, 600);
    naive_view.show();
    for (int k = 0; k < 3; ++k) {
      auto* s = new QLineSeries;
      naive_chart->addSeries(s);
      s->attachAxis(nx);
      s->attachAxis(ny);
      naive.push_back(s);
    }
  } else if (mode == "grid") {
    panel.Follow(&grid);
  } else {
    panel.Reset(kHeader);
  }

  Stalls st;
  st.clock.start();
  QElapsedTimer total;
  total.start();
  int i = 0;
  bool ticked = false;
  QTimer feeder;
  feeder.setInterval(0);
  QObject::connect(&feeder, &QTimer::timeout, [&] {
    const qint64 start = st.clock.elapsed();
    const double start_cpu = ThreadCpuMs();
    const std::vector<std::string> row = Reading(i);
    if (mode == "naive") {
      for (int k = 0; k < 3; ++k) naive[static_cast<std::size_t>(k)]->append(i, std::stod(row[3 + k]));
      nx->setRange(0, i + 1);
      ny->setRange(0, 100);
    } else if (mode == "grid") {
      const int r = grid.rowCount();
      grid.insertRow(r);
      for (std::size_t c = 0; c < row.size(); ++c)
        grid.setItem(r, static_cast<int>(c), new QTableWidgetItem(QString::fromStdString(row[c])));
    } else {
      panel.AppendRow(row);
    }
    if (!ticked && mode != "naive") {
      panel.SyncWithGrid();
      panel.Flush();
      for (int c : {3, 4, 5}) panel.SetColumnChecked(c, true);
      ticked = true;
    }
    st.Tick(start, start_cpu, st.clock.elapsed(), ThreadCpuMs(), i);
    if (++i >= readings) {
      feeder.stop();
      QTimer::singleShot(nord5::ui::ChartPanel::kFlushMs * 2, qApp, &QCoreApplication::quit);
    }
  });
  feeder.start();
  QApplication::exec();
  if (mode != "naive") panel.SyncWithGrid(), panel.Flush();

  std::vector<qint64> sorted = st.all;
  std::sort(sorted.begin(), sorted.end());
  const qint64 p99 = sorted.empty() ? 0 : sorted[sorted.size() * 99 / 100];
  const auto over = std::count_if(st.all.begin(), st.all.end(), [](qint64 s) { return s > 50; });
  std::printf("%-6s readings=%d total=%.1f s longest stall=%lld ms (at reading %d) p99=%lld ms "
              ">50ms=%lld longest in thread cpu=%.1f ms (at reading %d)",
              mode.c_str(), readings, total.elapsed() / 1000.0, static_cast<long long>(st.worst),
              st.worst_at, static_cast<long long>(p99), static_cast<long long>(over), st.worst_cpu,
              st.worst_cpu_at);
  if (mode != "naive")
    std::printf(" charted=%lld", static_cast<long long>(panel.ChartedPoints(3)));
  std::printf("\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int readings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
  if (argc > 2) return Run(readings, argv[2]);
  Run(readings, "direct");
  return Run(readings, "grid");
}
