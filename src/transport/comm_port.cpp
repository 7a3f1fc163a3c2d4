#include "transport/comm_port.h"

#include <algorithm>
#include <exception>

#include "foundation/clock.h"
#include "transport/platform/fd_state.h"
#include "transport/port_list.h"

namespace nord5 {
namespace {
TCommPort* g_instance = nullptr;

LineSettings SettingsOf(const TPortCong& pc) {
  return LineSettings{pc.FBaudRate, pc.FBits, pc.FStopBits, pc.FParity};
}
}  // namespace

TCommPort* TCommPort::Instance() { return g_instance; }

TCommPort::TCommPort(Clock& clock, Timers& timers, SerialLineFactory factory,
                     std::unique_ptr<TPortList> list)
    : clock_(clock),
      timers_(timers),
      factory_(std::move(factory)),
      list_(std::move(list)),
      FRxBuffer(std::make_unique<std::uint8_t[]>(kRxBufferSize)),
      PC_(DefaultPortCong()) {
  FWait = Now();
  if (!list_) list_ = std::make_unique<TPortList>();
  list_->AttachDriver(this);
  PC_ = list_->PortCong;
  g_instance = this;
}

TCommPort::~TCommPort() {
  FBreakEvent = nullptr;
  if (FOpen) DoClose();
  if (g_instance == this) g_instance = nullptr;
  // Detached first, so the list stores PortCong as last synchronised, not the driver's PC.
  list_->AttachDriver(nullptr);
  list_.reset();
  if (timer_running_) timers_.Stop(timer_);
  timer_running_ = false;
}

std::int64_t TCommPort::Now() const { return clock_.NowMs(); }

void TCommPort::SetOpen(bool open) {
  if (open && !FOpen)
    DoOpen();
  else if (!open && FOpen)
    DoClose();
  UpdateTimer();
}

void TCommPort::DoOpen() {
  open_error_.clear();
  list_->FindPCPorts();
  if (!list_->Contains(PC_.FPort)) return;  // absent: stays closed, the engine reports it
  std::unique_ptr<SerialLine> line = factory_ ? factory_(PC_.FPort) : nullptr;
  if (!line) return;
  if (!line->Open(PC_.FPort)) {
    open_error_ = line->OpenError();
    return;
  }
  line_ = std::move(line);
  if (!ApplyLineSettings()) {
    line_->Close();
    return;
  }
  ++line_generation_;
  fd_hung_up_ = false;
  FOpen = true;
  ApplyModemLines();
}

void TCommPort::DoClose() {
  // The line object stays until the next open: a tick that is delivering a chunk when a handler
  // closes the port still holds it.
  line_->Purge();
  line_->SetRTS(false);
  line_->SetDTR(false);
  line_->Close();
  FOpen = false;
}

bool TCommPort::ApplyLineSettings() {
  return line_->Apply(SettingsOf(PC_)) && line_->Purge();
}

void TCommPort::ApplyModemLines() {
  if (!FOpen) return;
  line_->SetDTR(PC_.FDTR);
  line_->SetRTS(PC_.FRTS);
}

void TCommPort::SetPort(const std::string& port) {
  if (port == PC_.FPort) return;
  PC_.FPort = port;
  if (FOpen) {
    DoClose();
    DoOpen();
    UpdateTimer();
  }
}

void TCommPort::SetBaudRate(TBaudRate value) {
  if (value != PC_.FBaudRate) {
    PC_.FBaudRate = value;
    if (FOpen) ApplyLineSettings();
  }
  ApplyModemLines();
}

void TCommPort::SetBits(TBits value) {
  if (value != PC_.FBits) {
    PC_.FBits = value;
    if (FOpen) ApplyLineSettings();
  }
  ApplyModemLines();
}

void TCommPort::SetStopBits(TStopBits value) {
  if (value != PC_.FStopBits) {
    PC_.FStopBits = value;
    if (FOpen) ApplyLineSettings();
  }
  ApplyModemLines();
}

void TCommPort::SetParity(TParity value) {
  if (value != PC_.FParity) {
    PC_.FParity = value;
    if (FOpen) ApplyLineSettings();
  }
  ApplyModemLines();
}

void TCommPort::SetDTR(bool on) {
  PC_.FDTR = on;
  if (FOpen) line_->SetDTR(on);
}

void TCommPort::SetRTS(bool on) {
  PC_.FRTS = on;
  if (FOpen) line_->SetRTS(on);
}

void TCommPort::SetWaitEvent(std::uint32_t ms) {
  FWaitEvent = ms;
  UpdateTimer();
}

void TCommPort::SetBreakEvent(TNotifyEvent handler) {
  FWait = Now();
  FBreakEvent = std::move(handler);
  UpdateTimer();
}

bool TCommPort::OutPort(const std::uint8_t* data, std::size_t count) {
  if (!FOpen) return true;
  if (data == nullptr && count != 0) return false;
  // A new telegram replaces whatever of an earlier one has not gone out yet.
  line_->PurgeOutput();
  TraceBytes(kTraceSent, data, count);
  const bool ok = line_->Write(data, count);
  FWait = Now();
  UpdateTimer();
  return ok;
}

void TCommPort::Tick() {
  if (in_tick_) return;
  in_tick_ = true;
  // The timer is off during the tick, so the handlers may send, close or reopen the port freely.
  if (timer_running_) timers_.Stop(timer_);
  timer_running_ = false;
  timer_due_ = -1;
  try {
    TickBody();
  } catch (const std::exception&) {
    // Line and handler errors end this tick only; the engine notices the missing answer through
    // the silence handler and repeats.
  }
  if (FOpen && tick_mode_ == TickMode::OnDemand && !fd_hung_up_ && line_->PollFd() >= 0 &&
      FdHungUp(line_->PollFd()))
    fd_hung_up_ = true;
  in_tick_ = false;
  UpdateTimer();
}

void TCommPort::TickBody() {
  if (!FOpen) return;
  const std::uint64_t generation = line_generation_;
  // A line error reads as empty queues.
  long in = std::max(0L, line_->InQueue());
  const long out = std::max(0L, line_->OutQueue());
  if (in > 0 || out > 0) FWait = Now();
  const std::int64_t quiet = std::max<std::int64_t>(0, Now() - FWait);
  FLastEvent = static_cast<std::uint32_t>(std::min<std::int64_t>(quiet, UINT32_MAX));

  if (FBreakEvent && FWaitEvent != 0 && FLastEvent > FWaitEvent) {
    // Measured afresh even when the handler throws, or it would be raised on every tick.
    struct RestartSilence {
      TCommPort& port;
      ~RestartSilence() { port.FWait = port.Now(); }
    } restart{*this};
    const TNotifyEvent handler = FBreakEvent;  // the handler may replace itself
    handler(*this);
  }

  while (in > 0 && FOpen && generation == line_generation_ && !(terminating_ && terminating_())) {
    const std::size_t want = std::min<std::size_t>(static_cast<std::size_t>(in), kMaxChunk);
    const long got = line_->Read(FRxBuffer.get(), want);
    // A failed read delivers nothing: the buffer holds nothing new, and the queue status would
    // only repeat itself.
    if (got <= 0) break;
    const std::size_t n = static_cast<std::size_t>(got);
    FWait = Now();
    TraceBytes(kTraceReceived, FRxBuffer.get(), n);
    if (CommEvent_) {
      const TCommEvent handler = CommEvent_;
      handler(*this, FRxBuffer.get(), n);
    }
    if (process_events_) process_events_();
    if (!FOpen || generation != line_generation_) break;
    in = std::max(0L, line_->InQueue());
  }
}

int TCommPort::PollFd() const {
  if (!FOpen || fd_hung_up_) return -1;
  return line_->PollFd();
}

std::int64_t TCommPort::NextDeadlineMs() const {
  if (!FOpen) return -1;
  const std::int64_t now = Now();
  if (line_->OutQueue() > 0) return now + kTickIntervalMs;
  if (line_->InQueue() > 0) return now;
  if (FBreakEvent && FWaitEvent != 0)
    return FWait + static_cast<std::int64_t>(FWaitEvent) + 1;
  return -1;
}

void TCommPort::SetTickMode(TickMode mode) {
  tick_mode_ = mode;
  if (timer_running_) timers_.Stop(timer_);
  timer_running_ = false;
  timer_due_ = -1;
  UpdateTimer();
}

void TCommPort::UpdateTimer() {
  if (in_tick_) return;  // switched on again when the tick ends
  const bool periodic = tick_mode_ == TickMode::Periodic || PollFd() < 0;
  std::int64_t due = -1;
  if (FOpen) due = periodic ? 0 : NextDeadlineMs();

  if (timer_running_) {
    if (due >= 0 && periodic && timer_periodic_) return;
    if (due >= 0 && !periodic && !timer_periodic_ && due == timer_due_) return;
    timers_.Stop(timer_);
    timer_running_ = false;
    timer_due_ = -1;
  }
  if (due < 0) return;
  if (periodic) {
    timer_ = timers_.Start(kTickIntervalMs, true, [this] { Tick(); });
  } else {
    const std::int64_t delay = std::max<std::int64_t>(0, due - Now());
    timer_ = timers_.Start(delay, false, [this] {
      timer_running_ = false;
      timer_due_ = -1;
      Tick();
    });
    timer_due_ = due;
  }
  timer_periodic_ = periodic;
  timer_running_ = true;
}

}  // namespace nord5
