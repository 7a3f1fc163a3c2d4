// The "Find meters" dialog driving a primary scan of addresses 0..250 over a virtual bus at the
// pace of 2400 baud, on the manual clock: the counter bus_s is the time the scan takes on the
// line (the goal for an empty bus is at most 80 s), the benchmark's own time is what the scan
// machinery costs the program.
//
//   find_meters_bench                        the benchmarks
//   find_meters_bench --screenshot=FILE.png  a picture of the dialog after a primary scan of a
//                                            bus of five meters (for the README; run it under
//                                            xvfb-run)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QPushButton>
#include <QTableWidget>
#include <QDir>
#include <QElapsedTimer>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "sim/virtual_bus.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"
#include "ui/find_meters_dialog.h"

using namespace nord5;

namespace {

struct Rig {
  ManualClock clock;
  ManualTimers timers{clock};
  sim::VirtualBus bus;
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<ui::TfmFindMeters> dialog;

  explicit Rig(const std::vector<sim::BusMeter>& meters) : bus(Line(), meters, clock) {
    PortDiscovery where;
    where.SysTtyRoot = "/nonexistent-nord5-tty";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort("BUS");
    port = std::make_unique<TCommPort>(
        clock, timers,
        [this](const std::string&) -> std::unique_ptr<SerialLine> {
          return std::make_unique<sim::VirtualBusLine>(bus);
        },
        std::move(list));
    port->SetPort("BUS");
    clock.SetNow(10000);
    dialog = std::make_unique<ui::TfmFindMeters>(*port, clock);
  }
  ~Rig() {
    dialog.reset();
    port.reset();
  }
  static sim::MeterOptions Line() {
    sim::MeterOptions o;
    o.baud_timing = true;
    return o;
  }
  // Runs a primary scan of 0..250 to its end; the time it took on the line, in ms.
  std::int64_t PrimaryScan() {
    const std::int64_t start = clock.NowMs();
    dialog->findChild<QPushButton*>("btPrimaryScan")->click();
    while (dialog->Scanner().Running()) timers.RunFor(1);
    return clock.NowMs() - start;
  }
};

void BM_PrimaryScanEmptyBus(benchmark::State& state) {
  std::int64_t bus_ms = 0;
  for (auto _ : state) {
    Rig rig({});
    bus_ms = rig.PrimaryScan();
  }
  state.counters["bus_s"] = static_cast<double>(bus_ms) / 1000.0;
}
BENCHMARK(BM_PrimaryScanEmptyBus)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PrimaryScanFiveMeters(benchmark::State& state) {
  std::int64_t bus_ms = 0;
  for (auto _ : state) {
    Rig rig({{0x55500011, 1}, {0x55500012, 2}, {0x12345678, 3}, {0x87654321, 3}, {0x31415926, 7}});
    bus_ms = rig.PrimaryScan();
  }
  state.counters["bus_s"] = static_cast<double>(bus_ms) / 1000.0;
}
BENCHMARK(BM_PrimaryScanFiveMeters)->Unit(benchmark::kMillisecond)->Iterations(3);

int Screenshot(const char* path) {
  Rig rig({{0x55500011, 1}, {0x55500012, 2}, {0x12345678, 3}, {0x87654321, 3}, {0x31415926, 7}});
  rig.dialog->show();
  rig.PrimaryScan();
  rig.dialog->findChild<QTableWidget*>("sgMeters")->selectRow(0);
  QElapsedTimer shown;
  shown.start();
  while (shown.elapsed() < 300) QApplication::processEvents();
  return rig.dialog->grab().save(path) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QFont::insertSubstitution("Tahoma", "DejaVu Sans Condensed");
  QFont font("Tahoma");
  font.setPointSize(8);
  QApplication::setFont(font);
  // The port list reads and writes its settings; keep them out of the user's folder.
  SetSettingsFileForTesting(QDir::temp().filePath("nord5-find-meters-bench.ini").toStdString());
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--screenshot=", 13) == 0) return Screenshot(argv[i] + 13);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
