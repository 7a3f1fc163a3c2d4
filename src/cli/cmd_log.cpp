// nord5-cli log --out FILE [--interval S] [--count N] [--no-select] [--overwrite] [COMMON]:
// periodic data logging on the real line, the same cycle as the window's "Logging data": one
// reading, a pause of S seconds from its end, the next reading ... Time-outs and restarts go into
// the file as event lines. Runs until N lines are written (0: until SIGINT or SIGTERM, which end
// it between two lines).
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_host.h"
#include "cli/command.h"
#include "engine/engine.h"
#include "foundation/clock.h"
#include "foundation/number_format.h"
#include "meterdata/data_logging.h"
#include "transport/comm_port.h"
#include "transport/trace_hook.h"

namespace nord5::cli {
namespace {

constexpr const char* kUsage =
    "log --out FILE [--interval S] [--count N] [--no-select] [--overwrite] [--port P] "
    "[--address N | --id HEX8] [--trace]";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

// The engine's host while logging: the logger takes the readings and the event lines.
class LogHost final : public EngineHost {
 public:
  Dialogs& GetDialogs() override { return dialogs; }
  EngineInputs Inputs() override { return inputs; }
  void LogEvent(const std::string& text) override {
    if (logger && !logger->LogEvent(text))
      std::fprintf(stderr, "nord5-cli: cannot write to \"%s\"\n", logger->FileName().c_str());
  }
  bool LoggingIdle() override { return !logger || !logger->Active(); }
  void UncheckLogging() override {
    inputs.LoggingChecked = false;
    if (logger) logger->Stop();
  }
  void StartLoggingTimer() override {
    if (logger) logger->StartTimer();
  }
  void DecodeLogRecord(const std::uint8_t* frame, int limit) override {
    if (logger) logger->DecodeLogRecord(frame, limit);
  }

  StderrDialogs dialogs;
  EngineInputs inputs;
  TDataLogger* logger = nullptr;
};

bool WholeNumber(const std::string& text, long long min, long long& out) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const auto v = ParseInt(text);
  if (!v || *v < min) return false;
  out = *v;
  return true;
}

int RunLog(const std::vector<std::string>& args) {
  Options opts(args);
  CommonOptions common;
  std::string out, interval_text = "1", count_text = "0";
  opts.Value("out", out);
  opts.Value("interval", interval_text);
  opts.Value("count", count_text);
  const bool no_select = opts.Flag("no-select");
  const bool overwrite = opts.Flag("overwrite");
  if (!ParseCommandLine(opts, common, 0, kUsage)) return kExitUsage;
  long long interval = 0, count = 0;
  if (out.empty()) {
    std::fprintf(stderr, "usage: nord5-cli %s\n", kUsage);
    return kExitUsage;
  }
  if (!WholeNumber(interval_text, 1, interval) || interval > 100LL * 24 * 3600) {
    std::fprintf(stderr, "nord5-cli: --interval needs whole seconds, 1 or more\n");
    return kExitUsage;
  }
  if (!WholeNumber(count_text, 0, count) || count > 0x7FFFFFFF) {
    std::fprintf(stderr, "nord5-cli: --count needs a whole number, 0 for no end\n");
    return kExitUsage;
  }

  struct stat st {};
  if (::stat(out.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      std::fprintf(stderr, "nord5-cli: \"%s\" is not a regular file\n", out.c_str());
      return kExitRefused;
    }
    if (!overwrite) {
      std::fprintf(stderr, "nord5-cli: \"%s\" exists; --overwrite starts it afresh\n",
                   out.c_str());
      return kExitRefused;
    }
    if (::unlink(out.c_str()) != 0) {
      std::fprintf(stderr, "nord5-cli: cannot rewrite \"%s\"\n", out.c_str());
      return kExitRefused;
    }
  }

  Clock& clock = SystemClock::Instance();
  PollTimers timers(clock);
  LogHost host;
  host.inputs.Mode = common.mode;
  host.inputs.AddressText = common.address;
  host.inputs.LoggingChecked = true;
  const std::unique_ptr<TCommPort> line = MakeCliPort(common, clock, timers);
  TCommPort& port = *line;
  TProtocolEngine engine(host, port, clock);
  engine.Install();
  TDataLogger logger(engine, timers, clock);
  host.logger = &logger;
  logger.always_select = [no_select] { return !no_select; };
  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  bool counted = false;
  bool enough = false;
  logger.on_reading = [&](int n) {
    if (terminal) {
      std::fprintf(stderr, "\r%s", ReceivedCountText(n).c_str());
      std::fflush(stderr);
      counted = true;
    }
    if (count > 0 && n >= count) enough = true;
  };
  const std::int64_t start = clock.NowMs();
  const StderrTrace trace(common.trace, clock, start);

  g_stop = 0;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  struct sigaction old_int {}, old_term {};
  sigaction(SIGINT, &sa, &old_int);
  sigaction(SIGTERM, &sa, &old_term);

  logger.Start(out, interval * 1000);
  while (logger.Active() && !g_stop && !enough) {
    PollStep(port, timers, clock);
  }
  // A signal ends the logging between two lines: every line is written whole by one append.
  logger.Stop();
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  if (counted) std::fprintf(stderr, "\n");
  return ExitStatusOf(host.dialogs.shown);
}

}  // namespace

NORD5_CLI_COMMAND("log", "--out FILE [--interval S] [--count N] [--no-select] [--overwrite]  "
                  "log the meter's data periodically",
                  RunLog);

}  // namespace nord5::cli
