// libFuzzer target: the protocol engine's receiver on arbitrary answers, in every operation.
//
// The serial driver runs on a manual clock over an in-memory line; the engine is installed on it
// as the program does. Input layout:
//   byte 0  the operation started
//   byte 1  the separator that splits the rest into steps
//   byte 2  input options (address mode, time correction, raw memory width and number bases)
//   steps   an empty step is a silence (the next telegram goes out); otherwise the first byte
//           says what the line delivers: the virtual meter's answer to the last telegram, that
//           answer with one byte changed, or the step's own bytes, each then optionally followed
//           by a silence.
// When the steps are used up the line stays silent: the engine must give up within a bounded
// number of silences ("Device can't answer") once logging is unchecked, never hang. Questions
// are answered No.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "mbus/decoder.h"
#include "sim/virtual_meter.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"

namespace {

using namespace nord5;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kPort = "FUZZPORT";

class NoDialogs final : public Dialogs {
 public:
  MsgResult Message(const std::string&, MsgIcon, MsgButtons buttons, bool) override {
    return buttons == MsgButtons::Ok ? MsgResult::Ok
                                     : (buttons == MsgButtons::YesNo ? MsgResult::No
                                                                     : MsgResult::Cancel);
  }
  std::optional<FileDialogResult> FileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
};

// Hands every data telegram to the decoder as the window does, on an exact-size copy so that a
// limit past the received bytes shows up.
class FuzzHost final : public EngineHost {
 public:
  Dialogs& GetDialogs() override { return dialogs; }
  EngineInputs Inputs() override { return inputs; }
  void DecodeCurrentData(const std::uint8_t* f, int limit) override { Decode(f, limit, false); }
  void DecodeArchiveRecord(const std::uint8_t* f, int limit) override { Decode(f, limit, true); }
  void DecodeLogRecord(const std::uint8_t* f, int limit) override { Decode(f, limit, false); }
  void UncheckLogging() override { inputs.LoggingChecked = false; }

  NoDialogs dialogs;
  EngineInputs inputs;

 private:
  static void Decode(const std::uint8_t* f, int limit, bool list) {
    if (limit < 0) __builtin_trap();
    const Bytes copy(f, f + limit + 2);
    DecodeMBusData(copy, limit, list,
                   [](std::int32_t, std::int32_t, const TFullRecord&) { return true; });
  }
};

class FuzzLine final : public SerialLine {
 public:
  bool Open(const std::string&) override { return open_ = true; }
  bool IsOpen() const override { return open_; }
  void Close() override { open_ = false; }
  bool Apply(const LineSettings&) override { return true; }
  bool SetDTR(bool) override { return true; }
  bool SetRTS(bool) override { return true; }
  bool Purge() override {
    in_.clear();
    return true;
  }
  bool PurgeOutput() override { return true; }
  long InQueue() override { return static_cast<long>(in_.size()); }
  long OutQueue() override { return 0; }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    last_sent->assign(data, data + count);
    ++*sent_count;
    return true;
  }
  long Read(std::uint8_t* data, std::size_t capacity) override {
    std::size_t n = 0;
    while (n < capacity && !in_.empty()) {
      data[n++] = in_.front();
      in_.pop_front();
    }
    return static_cast<long>(n);
  }
  void Deliver(const Bytes& b) { in_.insert(in_.end(), b.begin(), b.end()); }

  Bytes* last_sent = nullptr;
  int* sent_count = nullptr;

 private:
  bool open_ = false;
  std::deque<std::uint8_t> in_;
};

struct Bench {
  ManualClock clock;
  ManualTimers timers{clock};
  FuzzHost host;
  Bytes last_sent;
  int sent_count = 0;
  FuzzLine* line = nullptr;
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<TProtocolEngine> engine;

  Bench() {
    PortDiscovery where;
    where.SysTtyRoot = "/nonexistent-nord5-tty";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort(kPort);
    port = std::make_unique<TCommPort>(
        clock, timers,
        [this](const std::string& name) -> std::unique_ptr<SerialLine> {
          if (name != kPort) return nullptr;
          auto l = std::make_unique<FuzzLine>();
          l->last_sent = &last_sent;
          l->sent_count = &sent_count;
          line = l.get();
          return l;
        },
        std::move(list));
    port->SetPort(kPort);
    engine = std::make_unique<TProtocolEngine>(host, *port, clock);
    engine->Install();
    clock.SetNow(10000);
    CurrentImage() = MeterImage{};
    ScratchBuffer().fill(0);
  }
  // The line quiet for longer than the engine waits: the driver raises its silence handler.
  void Silence() {
    clock.Advance(static_cast<std::int64_t>(port->WaitEvent()) + 2);
    port->Tick();
  }
  void Receive(const Bytes& b) {
    if (!port->IsOpen() || line == nullptr || b.empty()) return;
    clock.Advance(1);
    line->Deliver(b);
    port->Tick();
  }
};

void StartOperation(Bench& b, std::uint8_t op) {
  TProtocolEngine& e = *b.engine;
  static const TDataSelector kTime{-1, 0, 0, 0x08, {0x6D}};
  static const TDataSelector kEnergy{-1, 0, 0, 0x0C, {0x06}};
  static tMTR7ExtParams quantity = [] {
    tMTR7ExtParams q;
    q.Count = 2;
    q.Data[0] = &kTime;
    q.Data[1] = &kEnergy;
    return q;
  }();
  switch (op % 19) {
    case 0: e.ReadConfiguration(); break;
    case 1: e.WriteConfigurationWithModeCheck(); break;
    case 2: e.WriteConfiguration(); break;
    case 3: e.SetIdentification(); break;
    case 4: e.SetPulseValue(1); break;
    case 5: e.SetPulseValue(2); break;
    case 6: e.SetPrimaryAddress(); break;
    case 7: e.SetTime(); break;
    case 8: e.ReadCredits(); break;
    case 9: e.WriteUserConfiguration(); break;
    case 10: e.WriteUserMenu(); break;
    case 11: e.TestModeOnOff(); break;
    case 12: e.ReadMemory(); break;
    case 13: e.WriteMemory(); break;
    case 14: e.ReadArchive({}); break;
    case 15: e.ReadArchive({&quantity}); break;
    case 16: e.LogCycle(true); break;
    case 17: e.LogCycle(false); break;
    default: (void)e.SetDeviceID(); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool settings = [] {
    SetSettingsFileForTesting("/dev/shm/nord5-fuzz-engine-" + std::to_string(::getpid()) +
                              ".ini");
    std::atexit([] { std::remove(SettingsFile().c_str()); });
    return true;
  }();
  (void)settings;
  if (size < 3) return 0;
  const std::uint8_t op = data[0];
  const std::uint8_t sep = data[1];
  const std::uint8_t opts = data[2];

  Bench b;
  EngineInputs& in = b.host.inputs;
  in.Mode = (opts & 1) ? AddressMode::Secondary : AddressMode::Primary;
  in.AddressText = (opts & 1) ? "12345678" : "254";
  in.TimeCorrection = (opts >> 1) % 3;
  in.MemBytes = 1 + ((opts >> 3) & 3);
  in.MemAddrHex = (opts & 0x20) != 0;
  in.MemDataHex = (opts & 0x40) != 0;
  in.MemAddrText = in.MemAddrHex ? "1000" : "4096";
  in.MemValueText = in.MemDataHex ? "12AB" : "1234";
  in.ArchiveKind = opts % 6;
  in.RecordCountText = (opts & 0x80) ? "0" : "3";
  in.PulseText1 = "12.5";
  in.PulseText2 = "7";
  in.DeviceIdText = "12345678";
  in.MBusAddrText = "17";
  in.LoggingChecked = (opts & 0x80) != 0;

  sim::MeterOptions mo;
  mo.mode = (opts & 0x10) ? sim::kModeManufacturer : 0x00;
  sim::VirtualMeter meter(mo, b.clock);

  StartOperation(b, op);

  // The steps.
  std::size_t i = 3;
  int steps = 0;
  while (i <= size && steps < 400) {
    std::size_t j = i;
    while (j < size && data[j] != sep) ++j;
    const Bytes step(data + i, data + j);
    i = j + 1;
    ++steps;
    if (!b.port->IsOpen()) break;
    if (step.empty()) {
      b.Silence();
      continue;
    }
    const std::uint8_t kind = step[0];
    Bytes answer;
    switch (kind & 3) {
      case 0: answer = meter.Handle(b.last_sent); break;
      case 1:
        answer = meter.Handle(b.last_sent);
        if (!answer.empty() && step.size() >= 3) answer[step[1] % answer.size()] ^= step[2];
        break;
      default: answer.assign(step.begin() + 1, step.end()); break;
    }
    b.Receive(answer);
    if (kind & 0x80) b.Silence();
  }

  // Silence from here on: a bounded number of repeats, then the exchange ends. (Periodic logging
  // starts over after ten repeats until the user unchecks "Logging data", so that is done first.)
  in.LoggingChecked = false;
  for (int n = 0; n < 200 && b.port->IsOpen(); ++n) b.Silence();
  if (b.port->IsOpen()) __builtin_trap();  // the engine keeps waiting on a silent line
  return 0;
}
