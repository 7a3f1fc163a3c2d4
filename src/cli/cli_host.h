// The headless host of the protocol engine: the real serial driver on a POSIX line, the system
// clock and a poll() loop. Messages go to stderr as their own texts, and a Yes/No question is
// answered No.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command.h"
#include "engine/engine.h"
#include "engine/engine_host.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/timers.h"

namespace nord5::cli {

// --port PATH, --address N or --id HEX8, --trace.
struct CommonOptions {
  std::string port;  // empty: the "Port" of "COMSettings"
  AddressMode mode = AddressMode::Primary;
  std::string address = "254";
  bool trace = false;
};

// Takes the common options out of `opts`. False with a message on stderr for a bad value.
bool ParseCommon(Options& opts, CommonOptions& out);
// Ends the option parsing: false (after a message) when an option was left over or lacked its
// value.
bool NoOptionsLeft(const Options& opts);
// Both of the above, and exactly `positional` arguments; false after a message (the usage line
// `usage` when nothing more specific was said).
bool ParseCommandLine(Options& opts, CommonOptions& common, std::size_t positional,
                      const char* usage);

// Message boxes on stderr; Yes/No questions are answered No.
class StderrDialogs final : public Dialogs {
 public:
  MsgResult Message(const std::string& text, MsgIcon icon, MsgButtons buttons,
                    bool default_no = false) override;
  // The detail is a second line on stderr.
  MsgResult MessageWithDetail(const std::string& text, const std::string& detail, MsgIcon icon,
                              MsgButtons buttons) override;
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest&) override { return {}; }
  std::vector<std::string> shown;  // every text, in order
};

// Timers of the poll loop, on the system clock.
class PollTimers final : public Timers {
 public:
  explicit PollTimers(const Clock& clock) : clock_(clock) {}
  TimerId Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) override;
  void Stop(TimerId id) override { timers_.erase(id); }
  // The earliest deadline, or -1.
  std::int64_t NextDue() const;
  // Fires every timer that is due now.
  void RunDue();

 private:
  struct Entry {
    std::int64_t due;
    std::int64_t interval;
    bool periodic;
    std::function<void()> fn;
  };
  const Clock& clock_;
  TimerId next_ = 1;
  std::map<TimerId, Entry> timers_;
};

// While it lives and `on`, every byte on the line is printed on stderr, one line per chunk:
// milliseconds since `start_ms`, TX or RX, the bytes in hexadecimal.
class StderrTrace {
 public:
  StderrTrace(bool on, const Clock& clock, std::int64_t start_ms);
  ~StderrTrace();
  StderrTrace(const StderrTrace&) = delete;
  StderrTrace& operator=(const StderrTrace&) = delete;

 private:
  bool on_;
};

// The serial driver of one command: the real serial line, the port given with --port (or the one
// stored in the settings), and the line served only when the poll loop asks.
std::unique_ptr<TCommPort> MakeCliPort(const CommonOptions& common, Clock& clock, Timers& timers);

// One step of the poll loop: waits (100 ms at most) until the line has something to read, the
// port's next deadline or the next timer, then serves the line and runs the timers that are due.
void PollStep(TCommPort& port, PollTimers& timers, const Clock& clock);

// The engine's host for one command: the inputs come from the command line, the results are
// printed on stdout by the command.
class CliHost final : public EngineHost {
 public:
  Dialogs& GetDialogs() override { return dialogs; }
  EngineInputs Inputs() override { return inputs; }
  void ShowCredits(const std::string& optical, const std::string& mbus) override;
  void ShowMemoryValue(const std::string& text) override { memory_value = text; }
  void ShowFirmwareVersion(std::uint32_t v) override { firmware = v; }
  void DecodeArchiveRecord(const std::uint8_t* frame, int limit) override {
    if (on_archive_record) on_archive_record(frame, limit);
  }

  StderrDialogs dialogs;
  EngineInputs inputs;
  std::string optical_credits, mbus_credits, memory_value;
  std::uint32_t firmware = 0;
  // Each answer of an archive reading (read-data); ignored when unset.
  std::function<void(const std::uint8_t* frame, int limit)> on_archive_record;
};

// The exit status that the messages shown call for: 2 "Can't open COM port", 3 "Device can't
// answer", 4 input refused, 5 a mode check question answered No, otherwise 0.
int ExitStatusOf(const std::vector<std::string>& shown);

// For an operation that ends with a read of the whole configuration (read-config, and the
// read-back of write-config and set-time), once the exchange has ended without a message: 0 when
// the configuration came back, otherwise status 3 after saying on stderr what happened before
// (`done`, e.g. "the configuration was written") and why nothing came back. A meter that answers
// the data request with E5h only ends the exchange that way.
class CliSession;
int ReadBackStatus(CliSession& session, const char* done);

// Runs one operation to its end: opens nothing itself; `start` begins the operation on the engine,
// and the loop runs until the port is closed again.
class CliSession {
 public:
  explicit CliSession(const CommonOptions& common);
  ~CliSession();
  CliSession(const CliSession&) = delete;
  CliSession& operator=(const CliSession&) = delete;

  // Starts the operation and runs the loop until the exchange has ended; returns ExitStatusOf.
  int Run(const std::function<void(TProtocolEngine&)>& start);

  CliHost host;
  TProtocolEngine& Engine() { return *engine_; }

 private:
  CommonOptions common_;
  Clock& clock_;
  PollTimers timers_;
  std::int64_t started_ms_ = 0;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<TProtocolEngine> engine_;
  std::optional<StderrTrace> trace_;
};

}  // namespace nord5::cli
