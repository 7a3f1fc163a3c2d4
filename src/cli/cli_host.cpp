#include "cli/cli_host.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>

#include "engine/texts.h"
#include "transport/comm_port.h"
#include "transport/platform/posix_serial_line.h"
#include "transport/port_list.h"
#include "transport/trace_hook.h"

namespace nord5::cli {

bool ParseCommon(Options& opts, CommonOptions& out) {
  opts.Value("port", out.port);
  std::string address;
  std::string id;
  const bool has_address = opts.Value("address", address);
  const bool has_id = opts.Value("id", id);
  out.trace = opts.Flag("trace");
  if (has_address && has_id) {
    std::fprintf(stderr, "nord5-cli: --address and --id exclude each other\n");
    return false;
  }
  if (has_address) {
    const auto a = ParseDec32(address);
    if (!a || *a > 255) {
      std::fprintf(stderr, "nord5-cli: --address needs a primary address 0 to 255\n");
      return false;
    }
    out.mode = AddressMode::Primary;
    out.address = address;
  }
  if (has_id) {
    // The selection itself refuses a text that is not hexadecimal ("Check parameters").
    out.mode = AddressMode::Secondary;
    out.address = id;
  }
  return true;
}

bool ParseCommandLine(Options& opts, CommonOptions& common, std::size_t positional,
                      const char* usage) {
  if (!ParseCommon(opts, common) || !NoOptionsLeft(opts) ||
      opts.Positional().size() != positional) {
    if (!opts.missing_value && opts.Unknown().empty())
      std::fprintf(stderr, "usage: nord5-cli %s\n", usage);
    return false;
  }
  return true;
}

bool NoOptionsLeft(const Options& opts) {
  if (opts.missing_value) {
    std::fprintf(stderr, "nord5-cli: an option lacks its value\n");
    return false;
  }
  const std::string unknown = opts.Unknown();
  if (!unknown.empty()) {
    std::fprintf(stderr, "nord5-cli: unknown option \"%s\"\n", unknown.c_str());
    return false;
  }
  return true;
}

MsgResult StderrDialogs::Message(const std::string& text, MsgIcon, MsgButtons buttons, bool) {
  shown.push_back(text);
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  switch (buttons) {
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::OkCancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
  }
}

MsgResult StderrDialogs::MessageWithDetail(const std::string& text, const std::string& detail,
                                           MsgIcon icon, MsgButtons buttons) {
  const MsgResult r = Message(text, icon, buttons);
  std::fprintf(stderr, "%s\n", detail.c_str());
  std::fflush(stderr);
  return r;
}

TimerId PollTimers::Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) {
  if (periodic && interval_ms < 1) interval_ms = 1;
  const TimerId id = next_++;
  timers_[id] = Entry{clock_.NowMs() + interval_ms, interval_ms, periodic, std::move(fn)};
  return id;
}

std::int64_t PollTimers::NextDue() const {
  std::int64_t best = -1;
  for (const auto& [id, e] : timers_)
    if (best < 0 || e.due < best) best = e.due;
  return best;
}

void PollTimers::RunDue() {
  const std::int64_t now = clock_.NowMs();
  std::vector<TimerId> due;
  for (const auto& [id, e] : timers_)
    if (e.due <= now) due.push_back(id);
  for (TimerId id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end()) continue;  // stopped by an earlier one
    auto fn = it->second.fn;
    if (it->second.periodic)
      it->second.due = now + it->second.interval;
    else
      timers_.erase(it);
    fn();
  }
}

void CliHost::ShowCredits(const std::string& optical, const std::string& mbus) {
  optical_credits = optical;
  mbus_credits = mbus;
}

int ExitStatusOf(const std::vector<std::string>& shown) {
  for (const auto& text : shown) {
    if (text == kTextCantOpenPort) return kExitCantOpen;
    if (text == kTextDeviceCantAnswer) return kExitNoAnswer;
    if (text == kTextCheckParameters || text == kTextBadParameters || text == "Wrong file length" ||
        text == "Bad file CRC")
      return kExitRefused;
    if (text == kTextCheckManufacturerJumper || text == kTextCheckManufacturerOrTestJumper)
      return kExitAnsweredNo;
  }
  return kExitOk;
}

StderrTrace::StderrTrace(bool on, const Clock& clock, std::int64_t start_ms) : on_(on) {
  if (!on_) return;
  SetTraceBytesHook([start_ms, &clock](int direction, const std::uint8_t* data, std::size_t n) {
    std::string line = std::to_string(clock.NowMs() - start_ms);
    line += direction == kTraceSent ? " TX" : " RX";
    char hex[4];
    for (std::size_t i = 0; i < n; ++i) {
      std::snprintf(hex, sizeof hex, " %02X", data[i]);
      line += hex;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
  });
}

StderrTrace::~StderrTrace() {
  if (on_) SetTraceBytesHook({});
}

void PollStep(TCommPort& port, PollTimers& timers, const Clock& clock) {
  const std::int64_t now = clock.NowMs();
  std::int64_t wake = timers.NextDue();
  const std::int64_t deadline = port.NextDeadlineMs();
  if (deadline >= 0 && (wake < 0 || deadline < wake)) wake = deadline;
  const int timeout =
      wake < 0 ? 100 : static_cast<int>(std::clamp<std::int64_t>(wake - now, 0, 100));
  pollfd pfd{port.PollFd(), POLLIN, 0};
  const int ready = ::poll(&pfd, pfd.fd >= 0 ? 1 : 0, timeout);
  if (ready > 0 && (pfd.revents & (POLLIN | POLLERR | POLLHUP)) != 0) port.Tick();
  timers.RunDue();
}

std::unique_ptr<TCommPort> MakeCliPort(const CommonOptions& common, Clock& clock, Timers& timers) {
  auto list = std::make_unique<TPortList>();
  if (!common.port.empty()) list->AddExtraPort(common.port);
  auto port = std::make_unique<TCommPort>(
      clock, timers,
      [](const std::string&) -> std::unique_ptr<SerialLine> {
        return std::make_unique<PosixSerialLine>();
      },
      std::move(list));
  // The port given on the command line is used for this command only: the list writes back the
  // settings it read, not the driver's.
  if (!common.port.empty()) port->SetPort(common.port);
  port->SetTickMode(TCommPort::TickMode::OnDemand);
  return port;
}

CliSession::CliSession(const CommonOptions& common)
    : common_(common), clock_(SystemClock::Instance()), timers_(clock_) {
  started_ms_ = clock_.NowMs();
  host.inputs.Mode = common.mode;
  host.inputs.AddressText = common.address;
  port_ = MakeCliPort(common, clock_, timers_);
  engine_ = std::make_unique<TProtocolEngine>(host, *port_, clock_);
  engine_->Install();
  trace_.emplace(common.trace, clock_, started_ms_);
}

CliSession::~CliSession() {
  trace_.reset();
  engine_.reset();
  port_.reset();
}

int CliSession::Run(const std::function<void(TProtocolEngine&)>& start) {
  start(*engine_);
  while (port_->IsOpen()) {
    PollStep(*port_, timers_, clock_);
  }
  return ExitStatusOf(host.dialogs.shown);
}

int ReadBackStatus(CliSession& session, const char* done) {
  if (session.Engine().State().NoConfiguration) return kExitOk;
  std::fprintf(stderr,
               "nord5-cli: %s, but the meter sent no configuration: it answered the data request "
               "without data (E5h only)\n",
               done);
  return kExitNoAnswer;
}

}  // namespace nord5::cli
