// What the main window costs while it waits for the meter: reads the full configuration from the
// built-in virtual meter (2400 baud pacing, about 9 s on the line) with the window shown on Qt's
// offscreen platform, and prints the process's CPU seconds over the wall seconds of the read.
//
//   build/bench/bench_read_cpu [reads]      (default 1 read)
//
// The settings file and the virtual port folder are private temporary folders, so a running
// configurator or simulator is neither seen nor disturbed.
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "foundation/settings.h"
#include "ui/main_window.h"
#include "ui/window_host.h"
#include "ui/window_texts.h"

namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double WallSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int reads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
  QTemporaryDir tmp;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("XDG_DATA_HOME", tmp.filePath("data").toUtf8());
  qputenv("XDG_RUNTIME_DIR", tmp.filePath("run").toUtf8());
  nord5::SetSettingsFileForTesting(tmp.filePath("settings.ini").toStdString());

  QApplication app(argc, argv);
  nord5::ui::TfmTermuloConfig window;
  nord5::ui::MainWindowHost host(window);
  window.show();
  host.Port().SetPort(nord5::ui::kVirtualMeterPort);

  int done = 0;
  double cpu0 = 0, wall0 = 0, cpu_total = 0, wall_total = 0;
  auto start = [&] {
    cpu0 = CpuSeconds();
    wall0 = WallSeconds();
    window.Action("caReadConfiguration")->trigger();
  };
  // Looks every 100 ms whether the read has ended; that look is part of what is measured and
  // costs next to nothing.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (host.Engine().Running()) return;
    const double cpu = CpuSeconds() - cpu0;
    const double wall = WallSeconds() - wall0;
    cpu_total += cpu;
    wall_total += wall;
    const bool read = host.Engine().State().NoConfiguration;
    std::printf("read %d: %s, cpu %.3f s / wall %.3f s = %.2f %% of one core\n", done + 1,
                read ? "configuration read" : "NOT read", cpu, wall, 100.0 * cpu / wall);
    std::fflush(stdout);
    if (!read || ++done == reads) {
      QApplication::exit(read ? 0 : 1);
      return;
    }
    start();
  });
  QTimer::singleShot(500, [&] {  // after the window has settled
    start();
    poll.start(100);
  });
  const int rc = QApplication::exec();
  if (done > 0)
    std::printf("average: cpu %.3f s / wall %.3f s = %.2f %% of one core\n", cpu_total,
                wall_total, 100.0 * cpu_total / wall_total);
  // One pass of the state rules when nothing has changed, as after most events.
  constexpr int kPasses = 2000;
  const double cpu_before = CpuSeconds();
  for (int i = 0; i < kPasses; ++i) window.RunStateRules();
  std::printf("state rules pass with nothing changed: %.1f us of CPU\n",
              (CpuSeconds() - cpu_before) * 1e6 / kPasses);
  return rc;
}
