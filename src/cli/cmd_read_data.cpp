// nord5-cli read-data: the archive reading of the "Archive" tab. The answers fill the same grid as
// in the window, which is then printed as JSON, written as CSV or as a report.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "foundation/atomic_file.h"
#include "foundation/clock.h"
#include "meterdata/archive_grid.h"
#include "meterdata/archive_quantities.h"
#include "meterdata/archive_reading.h"
#include "meterdata/report.h"

namespace nord5::cli {
namespace {

constexpr const char* kUsage =
    "read-data [--kind current|hours|days|months|setday|sensors] [--records N] "
    "[--quantities LIST] [--json] [--csv FILE] [--report FILE]";

// The kinds in the order of the list on the tab.
constexpr const char* kKindOptions[] = {"current", "hours", "days", "months", "setday", "sensors"};

volatile sig_atomic_t g_interrupted = 0;

void OnSignal(int) { g_interrupted = 1; }

// SIGINT and SIGTERM end the reading after the answer in flight; a second one ends the program.
class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupted = 0;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old_int_);
    sigaction(SIGTERM, &sa, &old_term_);
  }
  ~InterruptGuard() {
    sigaction(SIGINT, &old_int_, nullptr);
    sigaction(SIGTERM, &old_term_, nullptr);
  }

 private:
  struct sigaction old_int_ {};
  struct sigaction old_term_ {};
};

bool ParseRows(const std::string& list, std::vector<int>& rows) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t comma = list.find(',', start);
    const std::string item =
        list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    const auto n = ParseDec32(item);
    if (!n || *n >= kArchiveQuantityCount) return false;
    rows.push_back(static_cast<int>(*n));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return true;
}

int ReadData(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  std::string kind_text = "current", records = "0", quantities, csv, report;
  opts.Value("kind", kind_text);
  const bool has_records = opts.Value("records", records);
  const bool has_quantities = opts.Value("quantities", quantities);
  const bool json = opts.Flag("json");
  const bool has_csv = opts.Value("csv", csv);
  const bool has_report = opts.Value("report", report);
  if (!ParseCommandLine(opts, common, 0, kUsage)) return kExitUsage;

  int kind = -1;
  for (int i = 0; i < static_cast<int>(std::size(kKindOptions)); ++i)
    if (kind_text == kKindOptions[i]) kind = i;
  if (kind < 0) {
    std::fprintf(stderr,
                 "nord5-cli: --kind takes current, hours, days, months, setday or sensors\n");
    return kExitUsage;
  }
  const auto wanted = ParseDec32(records);
  if (has_records && !wanted) {
    std::fprintf(stderr, "nord5-cli: --records needs a number of records (0: until interrupted)\n");
    return kExitUsage;
  }
  std::vector<int> rows;
  if (has_quantities && !ParseRows(quantities, rows)) {
    std::fprintf(stderr,
                 "nord5-cli: --quantities takes row numbers 0 to 39, separated by commas\n");
    return kExitUsage;
  }
  if ((has_csv && csv.empty()) || (has_report && report.empty())) {
    std::fprintf(stderr, "nord5-cli: --csv and --report need a file name\n");
    return kExitUsage;
  }

  CliSession session(common);
  session.host.inputs.ArchiveKind = kind;
  session.host.inputs.RecordCountText = records;
  ArchiveGrid grid;
  ArchiveReading reading(session.Engine(), grid);
  const bool progress = ::isatty(STDERR_FILENO) == 1;
  const std::uint32_t total = wanted ? *wanted : 0;
  reading.on_row = [&](int row) {
    if (!progress) return;
    if (total > 0)
      std::fprintf(stderr, "\rrecord %d of %u", row, total);
    else
      std::fprintf(stderr, "\rrecord %d", row);
    std::fflush(stderr);
  };
  session.host.on_archive_record = [&](const std::uint8_t* frame, int limit) {
    reading.TakeAnswer(frame, limit);
    // Checked before the engine counts this answer: the reading ends with it.
    if (g_interrupted) reading.Stop();
  };

  int status = kExitOk;
  {
    InterruptGuard guard;
    status = session.Run([&](TProtocolEngine&) { reading.Start(rows); });
  }
  if (progress && grid.RowCount() > 1) std::fprintf(stderr, "\n");
  if (status != kExitOk && grid.RowCount() < 2) return status;

  const std::string name(kArchiveKindNames[static_cast<std::size_t>(kind)]);
  if (json) std::printf("%s\n", grid.ToJson(name).c_str());
  if (has_csv) {
    const std::string text = grid.ToCsv();
    if (!WriteFileAtomically(csv, text.data(), text.size())) {
      std::fprintf(stderr, "nord5-cli: cannot write \"%s\"\n", csv.c_str());
      return kExitUsage;
    }
  }
  if (has_report &&
      MakeReport(ReportKindForFile(report), report, {grid.ToReport(name)}, SystemClock::Instance(),
                 session.host.dialogs, nullptr) != ReportOutcome::Written)
    return kExitUsage;
  return status;
}

}  // namespace

NORD5_CLI_COMMAND("read-data",
                  "[--kind K] [--records N] [--quantities LIST] [--json] [--csv FILE] "
                  "[--report FILE] [COMMON]  read archive records into a grid",
                  ReadData);

}  // namespace nord5::cli
