// A test bench for whole exchanges: the real serial driver on a manual clock, a line that records
// every telegram with its time, and a host that records what the window would show.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "sim/virtual_meter.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"

namespace nord5::test {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const Bytes& b);
Bytes FromHex(const std::string& text);
// A long frame 68 L L 68 C A CI data CS 16.
Bytes LongFrame(std::uint8_t c, std::uint8_t a, std::uint8_t ci, const Bytes& data);
// The meter's answer to a memory read: C 08, A, CI 72, one uninterpreted byte, then the data.
Bytes MemoryAnswer(const Bytes& data, std::uint8_t a = 0xFE);

// Everything the host was asked to show.
class RecordingHost : public EngineHost {
 public:
  Dialogs& GetDialogs() override { return dialogs; }
  EngineInputs Inputs() override { return inputs; }
  void SetStatusText(int panel, const std::string& text) override {
    (panel == 0 ? status0 : status1) = text;
  }
  void ShowProgress(bool visible, int value, int max) override {
    progress_visible = visible;
    progress = value;
    progress_max = max;
  }
  void TraceText(const std::string& text) override { traces.push_back(text); }
  void LogEvent(const std::string& text) override { events.push_back(text); }
  bool LoggingIdle() override { return !logging; }
  void UncheckLogging() override {
    inputs.LoggingChecked = false;
    ++unchecked_logging;
  }
  void StartLoggingTimer() override { ++logging_timer_starts; }
  void ShowDataHeader(const DataHeader& h) override { headers.push_back(h); }
  void ShowFirmwareVersion(std::uint32_t v) override { shown_versions.push_back(v); }
  void DecodeCurrentData(const std::uint8_t* f, int limit) override {
    current.emplace_back(f, f + limit + 2);
  }
  void DecodeArchiveRecord(const std::uint8_t* f, int limit) override {
    archive.emplace_back(f, f + limit + 2);
    if (on_archive) on_archive();
  }
  void DecodeLogRecord(const std::uint8_t* f, int limit) override {
    logged.emplace_back(f, f + limit + 2);
  }
  void ShowCredits(const std::string& o, const std::string& m) override {
    optical = o;
    mbus = m;
  }
  void ShowMemoryValue(const std::string& t) override { mem_value = t; }
  void ClearConfigurationDisplay() override { ++cleared; }
  void ShowMeterImage() override { ++images_shown; }
  bool CollectUserConfiguration() override {
    ++collected;
    return collect_ok;
  }
  void RebuildUserMenuMask() override { ++menus_rebuilt; }
  bool PrepareImageForWrite() override {
    ++prepared;
    return prepare_ok;
  }
  void ExchangeStopped() override { ++stops; }

  ScriptedDialogs dialogs;
  EngineInputs inputs;
  std::string status0, status1;
  bool progress_visible = false;
  int progress = 0, progress_max = 0;
  std::vector<std::string> traces, events;
  bool logging = false;
  int unchecked_logging = 0, logging_timer_starts = 0;
  std::vector<DataHeader> headers;
  std::vector<std::uint32_t> shown_versions;
  std::vector<Bytes> current, archive, logged;
  std::string optical, mbus, mem_value;
  int cleared = 0, images_shown = 0, collected = 0, menus_rebuilt = 0, prepared = 0, stops = 0;
  bool collect_ok = true, prepare_ok = true;
  std::function<void()> on_archive;  // after each archive answer (the user may press "Stop")
};

// One telegram on the wire, with the clock time it was written.
struct Sent {
  std::int64_t at;
  Bytes bytes;
};

// A chunk the meter side puts on the line `delay` ms after the telegram that caused it.
struct Reply {
  std::int64_t delay;
  Bytes bytes;
};
using Responder = std::function<std::vector<Reply>(const Bytes& telegram, int index)>;

// The far end of the line: records writes and delivers scripted replies when their time comes,
// chunk by chunk.
class ScriptedWire {
 public:
  explicit ScriptedWire(const Clock& clock) : clock_(clock) {}
  void Written(const std::uint8_t* data, std::size_t n);
  long Available();  // bytes of the first chunk that is due, 0 if none
  long Read(std::uint8_t* data, std::size_t capacity);
  void Clear() { pending_.clear(); }

  Responder responder;
  bool echo = false;  // a converter that returns every telegram first
  bool can_open = true;
  std::string open_error;  // what the line says when it cannot be opened
  std::vector<Sent> sent;
  std::vector<Sent> received;  // every chunk the driver read, with its time

 private:
  struct Due {
    std::int64_t at;
    Bytes bytes;
  };
  const Clock& clock_;
  std::deque<Due> pending_;
};

class ScriptedLine final : public SerialLine {
 public:
  explicit ScriptedLine(ScriptedWire& wire) : wire_(wire) {}
  bool Open(const std::string&) override { return open_ = wire_.can_open; }
  std::string OpenError() const override { return open_ ? std::string() : wire_.open_error; }
  bool IsOpen() const override { return open_; }
  void Close() override { open_ = false; }
  bool Apply(const LineSettings&) override { return true; }
  bool SetDTR(bool) override { return true; }
  bool SetRTS(bool) override { return true; }
  bool Purge() override {
    wire_.Clear();
    return true;
  }
  bool PurgeOutput() override { return true; }
  long InQueue() override { return wire_.Available(); }
  long OutQueue() override { return 0; }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    wire_.Written(data, count);
    return true;
  }
  long Read(std::uint8_t* data, std::size_t capacity) override {
    return wire_.Read(data, capacity);
  }

 private:
  ScriptedWire& wire_;
  bool open_ = false;
};

// Answers every telegram as the virtual meter does, `delay` ms after it, in `chunks` pieces 20 ms
// apart.
Responder MeterResponder(sim::VirtualMeter& meter, int chunks = 1, std::int64_t delay = 20);

// Settings in a temporary file, the driver on the manual clock, the engine installed.
class EngineBench {
 public:
  static constexpr const char* kPort = "TESTPORT";
  EngineBench();
  ~EngineBench();

  // Runs the manual clock until the exchange has ended (port closed) or `limit_ms` have passed.
  void RunUntilIdle(std::int64_t limit_ms = 120000);
  // The telegrams sent, as hex texts.
  std::vector<std::string> SentHex() const;
  // ms between each telegram and the one before (the first from the start of the run).
  std::vector<std::int64_t> Gaps() const;
  // For each telegram after the first: ms since the last chunk received before it (-1: none).
  std::vector<std::int64_t> GapsAfterAnswers() const;

  ManualClock clock;
  ManualTimers timers{clock};
  ScriptedWire wire{clock};
  RecordingHost host;
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<TProtocolEngine> engine;
  std::int64_t started_at = 0;

 private:
  std::filesystem::path settings_;
};

}  // namespace nord5::test
