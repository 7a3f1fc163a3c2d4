// nord5-cli scan: find the meters on the bus by their primary addresses or by the secondary
// (identification number) search, one line per meter or one JSON array.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_host.h"
#include "engine/texts.h"
#include "foundation/number_format.h"
#include "meterdata/bus_scanner.h"
#include "transport/comm_port.h"
#include "transport/trace_hook.h"

namespace nord5::cli {
namespace {

constexpr const char* kUsage =
    "scan [--primary [FROM-TO]] [--secondary [MASK]] [--json] [--wait MS] [--port PATH]"
    " [--trace]\n"
    "  --wait MS  the longest wait for an answer after each telegram, 20-10000 ms (default: the\n"
    "             EN 13757-2 answer time, about 260 ms at 2400 baud; longer for slow radio or\n"
    "             long-line converters)";
constexpr int kExitInterrupted = 130;
constexpr long long kMinWaitMs = 20, kMaxWaitMs = 10000;

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

struct Job {
  ScanKind kind = ScanKind::Primary;
  int first = 0, last = kMaxScanAddress;
  std::uint32_t mask = 0xFFFFFFFF;
};

std::string Plain(const ScanEntry& e) {
  const std::string where = e.scan == ScanKind::Primary || e.kind == ScanEntry::Kind::Meter
                                ? "address " + std::to_string(e.address)
                                : "id " + e.IdText();
  switch (e.kind) {
    case ScanEntry::Kind::Meter:
      return where + "  id " + e.IdText() + "  manufacturer " + e.ManufacturerText() +
             "  version " + std::to_string(e.header.Version) + "  medium " +
             std::to_string(e.header.Medium) + "  access " + std::to_string(e.header.AccessNumber);
    case ScanEntry::Kind::Collision:
      return where + "  collision: more than one meter answers";
    case ScanEntry::Kind::NoData:
      return where + "  acknowledged, sent no data";
  }
  return where;
}

std::string Json(const ScanEntry& e) {
  const std::string where = e.scan == ScanKind::Primary || e.kind == ScanEntry::Kind::Meter
                                ? "\"address\": " + std::to_string(e.address)
                                : "\"id\": \"" + e.IdText() + "\"";
  switch (e.kind) {
    case ScanEntry::Kind::Meter:
      return "{" + where + ", \"id\": \"" + e.IdText() + "\", \"manufacturer\": \"" +
             e.ManufacturerText() + "\", \"version\": " + std::to_string(e.header.Version) +
             ", \"medium\": " + std::to_string(e.header.Medium) + "}";
    case ScanEntry::Kind::Collision:
      return "{" + where + ", \"collision\": true}";
    case ScanEntry::Kind::NoData:
      return "{" + where + ", \"data\": false}";
  }
  return "{" + where + "}";
}

// Takes --primary [FROM-TO], --secondary [MASK] and --json out of `args`; the values are
// optional, so they are only taken when they look like one.
bool TakeScanOptions(std::vector<std::string>& args, std::vector<Job>& jobs, bool& json) {
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_next = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
    if (a == "--json") {
      json = true;
    } else if (a == "--primary") {
      Job j;
      if (has_next) {
        const auto range = ParseAddressRange(args[i + 1]);
        if (!range) {
          std::fprintf(stderr, "nord5-cli: --primary takes FROM-TO within 0-%d, not \"%s\"\n",
                       kMaxScanAddress, args[i + 1].c_str());
          return false;
        }
        j.first = range->first;
        j.last = range->second;
        ++i;
      }
      jobs.push_back(j);
    } else if (a == "--secondary") {
      Job j;
      j.kind = ScanKind::Secondary;
      if (has_next) {
        const auto mask = ParseScanMask(args[i + 1]);
        if (!mask) {
          std::fprintf(stderr,
                       "nord5-cli: --secondary takes eight characters, digits or F, not \"%s\"\n",
                       args[i + 1].c_str());
          return false;
        }
        j.mask = *mask;
        ++i;
      }
      jobs.push_back(j);
    } else {
      rest.push_back(a);
    }
  }
  args = std::move(rest);
  return true;
}

int Scan(const std::vector<std::string>& arguments) {
  std::vector<std::string> args = arguments;
  std::vector<Job> jobs;
  bool json = false;
  if (!TakeScanOptions(args, jobs, json)) return kExitUsage;
  for (const char* not_here : {"--address", "--id"}) {
    if (std::find(args.begin(), args.end(), not_here) != args.end()) {
      std::fprintf(stderr, "nord5-cli: scan looks at every address; %s does not apply\n", not_here);
      return kExitUsage;
    }
  }
  Options opts(args);
  CommonOptions common;
  std::string wait_text;
  const bool has_wait = opts.Value("wait", wait_text);
  if (!ParseCommandLine(opts, common, 0, kUsage)) return kExitUsage;
  std::uint32_t wait_ms = 0;  // 0: the EN 13757-2 answer time
  if (has_wait) {
    const auto v = wait_text.find_first_not_of("0123456789") == std::string::npos
                       ? ParseInt(wait_text)
                       : std::nullopt;
    if (!v || *v < kMinWaitMs || *v > kMaxWaitMs) {
      std::fprintf(stderr, "nord5-cli: --wait takes milliseconds, %lld to %lld, not \"%s\"\n",
                   kMinWaitMs, kMaxWaitMs, wait_text.c_str());
      return kExitUsage;
    }
    wait_ms = static_cast<std::uint32_t>(*v);
  }
  if (jobs.empty()) jobs.push_back(Job{});

  Clock& clock = SystemClock::Instance();
  PollTimers timers(clock);
  const std::unique_ptr<TCommPort> line = MakeCliPort(common, clock, timers);
  TCommPort& port = *line;
  const std::int64_t started = clock.NowMs();
  const StderrTrace trace(common.trace, clock, started);

  // Progress on a terminal only, on one line that the results overwrite.
  const bool show_progress = ::isatty(STDERR_FILENO) == 1 && !common.trace;
  TBusScanner scanner(port, clock);
  scanner.SetAnswerWaitMs(wait_ms);
  std::vector<ScanEntry> all;
  auto clear_progress = [show_progress] {
    if (show_progress) std::fputs("\r\033[K", stderr);
  };
  scanner.SetEvents({[&](const ScanEntry& e) {
                       all.push_back(e);
                       if (json) return;
                       clear_progress();
                       std::printf("%s\n", Plain(e).c_str());
                       std::fflush(stdout);
                     },
                     [&](int value, int max) {
                       if (!show_progress || max <= 0) return;
                       std::fprintf(stderr, "\r\033[K%3d%%  %s, %zu found", value * 100 / max,
                                    scanner.CurrentProbe().c_str(), all.size());
                       std::fflush(stderr);
                     },
                     {}});

  g_interrupted = 0;
  struct sigaction sa {}, old_int{}, old_term{};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &old_int);
  sigaction(SIGTERM, &sa, &old_term);

  int status = kExitOk;
  for (const Job& job : jobs) {
    const ScanStart s = job.kind == ScanKind::Primary ? scanner.StartPrimary(job.first, job.last)
                                                      : scanner.StartSecondary(job.mask);
    if (s == ScanStart::CantOpenPort || s == ScanStart::Busy) {
      std::fprintf(stderr, "%s\n", std::string(kTextCantOpenPort).c_str());
      status = kExitCantOpen;
      break;
    }
    while (scanner.Running()) {
      if (g_interrupted) {
        scanner.Stop();
        break;
      }
      PollStep(port, timers, clock);
      scanner.CheckPort();
    }
    if (g_interrupted) {
      status = kExitInterrupted;
      break;
    }
  }
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  clear_progress();

  if (json && status != kExitCantOpen) {
    std::string out = "[";
    for (std::size_t i = 0; i < all.size(); ++i)
      out += (i ? ",\n  " : "\n  ") + Json(all[i]);
    out += all.empty() ? "]\n" : "\n]\n";
    std::fputs(out.c_str(), stdout);
  } else if (all.empty() && status == kExitOk) {
    std::fprintf(stderr, "No meter answered\n");
  }
  if (status == kExitInterrupted) std::fprintf(stderr, "Stopped\n");
  return status;
}

}  // namespace
}  // namespace nord5::cli

NORD5_CLI_COMMAND("scan",
                  "[--primary [FROM-TO]] [--secondary [MASK]] [--json] [--wait MS] [--port PATH] "
                  "[--trace]  "
                  "find the meters on the bus",
                  nord5::cli::Scan);
