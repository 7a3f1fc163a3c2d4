// The communication log window under a day of periodic logging with a 1 s cycle, on the
// offscreen platform, in compressed time: every simulated second queues one reading's traffic
// (link start-up, readout selection, data request, the data answer in two reads, and with
// "Parse" the decoder's dump of 26 records) through the trace entry points, then runs the
// window's writer and the event loop as the 10 ms timer would. One simulated hour in the middle
// runs with "Stop" checked, so the queue has to hold an hour of traffic and the window then
// drains it.
//
// Prints per simulated hour: lines in the text, items queued, resident memory, and the longest
// time the GUI thread spent in one writer pass plus the event processing after it (the stall),
// as wall-clock time, for the writer alone, and as the thread's CPU time (on a busy machine the
// wall-clock figure includes the time other programs took).
//
//   bench_log_window [--hours N] [--no-parse] [--lines MAX]
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "foundation/settings.h"
#include "transport/trace_hook.h"
#include "ui/log_window.h"

using nord5::ui::TfmLogWindow;

namespace {

// CPU time of this thread in ms: the GUI thread's own work, without the time other programs on a
// busy machine take from it.
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

void Trace(int direction, const std::vector<std::uint8_t>& b) {
  nord5::TraceBytes(direction, b.data(), b.size());
}

}  // namespace

int main(int argc, char** argv) {
  int hours = 24;
  bool parse = true;
  int max_lines = TfmLogWindow::kMaxLines;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--hours") && i + 1 < argc) hours = std::atoi(argv[++i]);
    if (!std::strcmp(argv[i], "--no-parse")) parse = false;
    if (!std::strcmp(argv[i], "--lines") && i + 1 < argc) max_lines = std::atoi(argv[++i]);
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  qputenv("XDG_DATA_HOME", dir.path().toUtf8());
  nord5::SetSettingsFileForTesting(dir.filePath("settings.ini").toStdString());

  auto* window = new TfmLogWindow;
  window->Parse()->setChecked(parse);
  window->SetMaxLines(max_lines);
  window->show();
  app.processEvents();

  // One reading's telegrams as the meter exchanges them.
  const std::vector<std::uint8_t> nke = {0x10, 0x40, 0xFE, 0x3E, 0x16};
  const std::vector<std::uint8_t> ack = {0xE5};
  const std::vector<std::uint8_t> select = {0x68, 0x04, 0x04, 0x68, 0x53, 0xFE, 0x50, 0x10, 0xB1, 0x16};
  const std::vector<std::uint8_t> req = {0x10, 0x7B, 0xFE, 0x79, 0x16};
  std::vector<std::uint8_t> answer(200);
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<std::uint8_t>(i * 37);
  const std::vector<std::uint8_t> part1(answer.begin(), answer.begin() + 120);
  const std::vector<std::uint8_t> part2(answer.begin() + 120, answer.end());
  std::vector<std::string> dump;
  dump.push_back("\r**************** Meter data ***************************");
  dump.push_back("\rReading time - 2024-03-15 13:45:00");
  for (int r = 1; r <= 26; ++r)
    dump.push_back("\r" + std::to_string(r) + ". Heating energy, T1 " + std::to_string(r * 1234) +
                   ".567 kWh");
  dump.push_back("\r*******************************************************");

  const int stop_from = hours / 2 * 3600;
  const int stop_to = stop_from + 3600;
  std::printf("simulated 1 s logging, %d h, Parse %s; Stop checked from %d h to %d h\n", hours,
              parse ? "on" : "off", stop_from / 3600, stop_to / 3600);
  std::printf("%5s %10s %10s %10s %12s %12s %12s\n", "hour", "lines", "queued", "RSS MiB",
              "stall max ms", "writer max", "stall cpu ms");
  double day_max = 0;
  double hour_max = 0;
  double flush_max = 0;
  double cpu_max = 0;
  double day_cpu_max = 0;
  QElapsedTimer t;
  for (int s = 0; s < hours * 3600; ++s) {
    if (s == stop_from) window->Stop()->setChecked(true);
    if (s == stop_to) window->Stop()->setChecked(false);
    Trace(nord5::kTraceSent, nke);
    Trace(nord5::kTraceReceived, ack);
    Trace(nord5::kTraceSent, select);
    Trace(nord5::kTraceReceived, ack);
    Trace(nord5::kTraceSent, req);
    Trace(nord5::kTraceReceived, part1);
    Trace(nord5::kTraceReceived, part2);
    for (const std::string& line : dump) TfmLogWindow::TraceText(line, false);
    // The writer's ticks in this second: each one is one stall of the GUI thread at most.
    for (int tick = 0; tick < 100; ++tick) {
      const bool work = !window->Queue().Empty() && !window->Stop()->isChecked();
      if (!work && tick > 0) break;
      t.start();
      const double cpu0 = ThreadCpuMs();
      window->Flush();
      flush_max = std::max(flush_max, static_cast<double>(t.nsecsElapsed()) / 1e6);
      app.processEvents();
      const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
      cpu_max = std::max(cpu_max, ThreadCpuMs() - cpu0);
      hour_max = std::max(hour_max, ms);
    }
    if ((s + 1) % 3600 == 0) {
      std::printf("%5d %10d %10zu %10.1f %12.2f %12.2f %12.2f\n", (s + 1) / 3600,
                  window->Text()->document()->blockCount(), window->Queue().Items(), ResidentMiB(),
                  hour_max, flush_max, cpu_max);
      flush_max = 0;
      day_cpu_max = std::max(day_cpu_max, cpu_max);
      cpu_max = 0;
      std::fflush(stdout);
      day_max = std::max(day_max, hour_max);
      hour_max = 0;
    }
  }
  std::printf("longest stall %.2f ms (%.2f ms of CPU); %d lines kept (limit %d), queue limit %zu "
              "bytes\n",
              day_max, day_cpu_max,
              window->Text()->document()->blockCount(), max_lines,
              nord5::ui::TLogQueue::kDefaultLimit);
  delete window;
  return 0;
}
