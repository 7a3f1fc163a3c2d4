// The sequencer: starting and ending exchanges, the silence handler that sends every telegram,
// repeats and the repeat limit.
#include "engine/engine.h"

#include <algorithm>
#include <limits>

#include "engine/texts.h"
#include "foundation/dialogs.h"
#include "transport/comm_port.h"

namespace nord5 {

using C = TMBUS_Commands;
using M = TMTR07_Commands;

TProtocolEngine::TProtocolEngine(EngineHost& host, TCommPort& port, const Clock& clock)
    : host_(host), port_(port), clock_(clock) {}

TProtocolEngine::~TProtocolEngine() {
  if (installed_) {
    port_.SetBreakEvent(nullptr);
    port_.SetCommEvent(nullptr);
  }
}

void TProtocolEngine::Install() {
  port_.SetBreakEvent([this](TCommPort&) { OnSilence(); });
  port_.SetCommEvent([this](TCommPort&, const std::uint8_t* data, std::size_t count) {
    const auto n = std::min<std::size_t>(count, std::numeric_limits<std::int32_t>::max());
    return OnData(data, static_cast<std::int32_t>(n));
  });
  installed_ = true;
}

bool TProtocolEngine::Running() const { return port_.IsOpen(); }

TelegramInputs TProtocolEngine::BuilderInputs(const EngineInputs& in) const {
  TelegramInputs t;
  t.Mode = in.Mode;
  t.AddressText = in.AddressText;
  t.ArchiveKind = in.ArchiveKind;
  t.PulseUnit1 = in.PulseUnit1;
  t.PulseUnit2 = in.PulseUnit2;
  t.TimeCorrection = time_mode_;
  t.MBusAddrType = in.MBusAddrType;
  const MeterImage& image = CurrentImage();
  t.CfgMBusAddress = image.Cfg<std::uint8_t>(0xE5);       // 10E5h
  t.CfgFabricationFirst = image.Cfg<std::uint8_t>(0xDC);  // 10DCh
  t.WorkValue = WorkValue();
  return t;
}

// A secondary-address exchange needs the identification number for its selection telegram; a
// primary address must be one (0..255).
bool TProtocolEngine::AddressUsable(const EngineInputs& in) {
  if (in.Mode == AddressMode::Primary ? PrimaryAddressOf(in.AddressText).has_value()
                                      : ParseHex32(in.AddressText).has_value())
    return true;
  if (Running()) StopExchange();
  if (in.LoggingChecked) host_.UncheckLogging();
  ProgressOff();
  host_.GetDialogs().Error(std::string(kTextCheckParameters));
  return false;
}

bool TProtocolEngine::StartExchange() {
  const EngineInputs in = host_.Inputs();
  if (!Running()) state_.AskRepeat = 0;
  state_.MAXRepeat = 10;
  if (!AddressUsable(in)) return false;
  port_.SetOpen(true);
  if (!port_.IsOpen()) {
    if (in.LoggingChecked) host_.UncheckLogging();
    ProgressOff();
    host_.GetDialogs().Error(std::string(kTextCantOpenPort), port_.OpenError());
    return false;
  }
  SetWaitTime(kWaitStep);
  state_.SendBytes = 0;
  state_.ReceivedBytes = 0;
  return true;
}

bool TProtocolEngine::StartTransfer(TMBUS_Commands step, std::int32_t memory_type,
                                    const MemoryRegion* region) {
  if (!StartExchange()) return false;
  state_.Select_SEQ = step;
  state_.MemoryType = memory_type;
  if (region != nullptr) {
    state_.Start_Command = region->Start_Command;
    state_.StartMemory = region->StartMemory;
    state_.MemPointer = MemPointer(*region);
    const std::size_t buffer = region->Target == RegionTarget::Scratch ? kScratchSize : kImageSize;
    mem_capacity_ = region->TargetOffset < buffer
                        ? static_cast<std::uint32_t>(buffer - region->TargetOffset)
                        : 0;
    state_.MemorySize = std::min(region->MemorySize, mem_capacity_);
  }
  state_.MemoryIndex = 0;
  return true;
}

bool TProtocolEngine::StartStep(TMBUS_Commands step, TMTR07_Commands operation) {
  if (!StartExchange()) return false;
  state_.Select_SEQ = step;
  state_.Start_Command = operation;
  state_.MemoryType = 0;
  state_.StartMemory = 0;
  state_.MemorySize = 0;
  state_.MemPointer = nullptr;
  state_.MemoryIndex = 0;
  mem_capacity_ = 0;
  return true;
}

bool TProtocolEngine::StartRegion(TMBUS_Commands step, int row) {
  return StartTransfer(step, 0, &Region(row));
}

void TProtocolEngine::CheckModeThen(tCommnadType action) {
  state_.CommnadType = action;
  SetWorkValue(0);
  StartRegion(C::_cmReadMemory, kRegionManufacturerJumper);
}

void TProtocolEngine::ReadCreditsThen(tCommnadType action) {
  state_.CommnadType = action;
  StartRegion(C::_cmReadMemory, kRegionCredits);
}

void TProtocolEngine::StopExchange() {
  host_.SetStatusText(0, "");
  if (host_.LoggingIdle()) host_.SetStatusText(1, std::string(kTextDone));
  port_.SetOpen(false);
  state_.ReadingArchives = false;
  ProgressOff();
  host_.ExchangeStopped();
}

void TProtocolEngine::SetWaitTime(std::uint32_t ms) { port_.SetWaitEvent(ms); }

void TProtocolEngine::ProgressStart(std::int32_t max) {
  state_.progress = 0;
  state_.progress_max = max;
  progress_visible_ = true;
  host_.ShowProgress(true, 0, max);
}

void TProtocolEngine::ProgressSet(std::int32_t value) {
  state_.progress = value;
  if (progress_visible_) host_.ShowProgress(true, value, state_.progress_max);
}

void TProtocolEngine::ProgressOff() {
  progress_visible_ = false;
  host_.ShowProgress(false, state_.progress, state_.progress_max);
}

void TProtocolEngine::Send() {
  const EngineInputs in = host_.Inputs();
  const BuiltTelegram built = BuildTelegram(state_, BuilderInputs(in), clock_);
  if (!built.Ok) {
    StopExchange();
    host_.GetDialogs().Error(std::string(kTextCheckParameters));
    return;
  }
  answer_taken_ = false;
  if (built.Status) {
    host_.SetStatusText(0, *built.Status);
    if (built.StatusInSecondPanel) host_.SetStatusText(1, *built.Status);
  }
  if (built.ProgressAdvance > 0) ProgressSet(state_.progress + built.ProgressAdvance);
  port_.OutPort(state_.OBuffer.data(), static_cast<std::size_t>(state_.OutSize));
  SetWaitTime(built.WaitMs);
}

void TProtocolEngine::OnSilence() {
  if (state_.AskRepeat < state_.MAXRepeat) {
    if (!state_.ReceivedData && state_.AskRepeat > 1) {
      host_.TraceText(std::string(kTextTimeOutTrace));
      if (state_.Start_Command == M::_mtr07_LogData) host_.LogEvent(std::string(kTextLogTimeout));
    }
    state_.Command_SEQ = state_.Select_SEQ;
    Send();
    return;
  }
  Dialogs& dialogs = host_.GetDialogs();
  if (state_.Command_SEQ == C::_cmInstallSlave1 &&
      dialogs.AskYesNo(std::string(kTextRepeatConnection))) {
    // The port is still open, so the new attempt would inherit the exhausted count and ask again
    // without sending anything; it starts counting afresh instead.
    state_.AskRepeat = 0;
    WriteConfiguration();
    return;
  }
  if (host_.Inputs().LoggingChecked && state_.Start_Command == M::_mtr07_LogData) {
    host_.LogEvent(std::string(kTextLogRepeat));
    StartStep(C::_cmInstallSlave5, M::_mtr07_LogData);
    state_.AskRepeat = 0;
    return;
  }
  StopExchange();
  dialogs.Error(std::string(kTextDeviceCantAnswer));
}

}  // namespace nord5
