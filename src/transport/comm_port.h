// The serial driver: owns the one serial line to the meter and drives the protocol engine
// through two callbacks, the data handler (CommEvent, every received chunk) and the silence
// handler (BreakEvent, raised when the line has been quiet for longer than WaitEvent ms).
//
// It is polled, not threaded. Every tick (see Tick()) looks at the line's queues, delivers the
// received bytes in chunks of at most kMaxChunk bytes and raises the silence handler. All of it
// runs on the GUI thread.
//
// Two ways to drive the tick, with the same behaviour:
//  - TickMode::Periodic (default): a 1 ms periodic timer from the Timers seam, running exactly
//    while the port is open. Tests use this with ManualClock/ManualTimers.
//  - TickMode::OnDemand: no periodic timer. The owner watches PollFd() for readability (a
//    QSocketNotifier, or poll() in the CLI) and calls Tick() when it is readable, and the driver
//    keeps one single-shot timer from the Timers seam at NextDeadlineMs() (the silence deadline,
//    or a short poll while bytes are still going out), so the silence handler fires on the same
//    millisecond as it would with the periodic tick. A line without a descriptor (PollFd() -1,
//    the in-memory line) is ticked every millisecond as in the periodic mode.
// An owner running its own loop may ignore the Timers seam's timer and wait until
// NextDeadlineMs() itself; calling Tick() early or twice is harmless. When the line hangs up
// (device unplugged, far end of a pseudo-terminal closed) its descriptor would stay readable for
// ever: PollFd() then reports -1 until the next open and the driver ticks every millisecond, so
// the owner re-reads PollFd() after a Tick() and drops its watch when it changed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "foundation/timers.h"
#include "transport/serial_line.h"
#include "transport/trace_hook.h"

namespace nord5 {

class Clock;
class TCommPort;
class TPortList;

// Silence handler: called with the driver.
using TNotifyEvent = std::function<void(TCommPort&)>;
// Data handler: the driver, the received bytes and their count; the result is ignored.
using TCommEvent =
    std::function<int(TCommPort& sender, const std::uint8_t* data, std::size_t count)>;
// Makes the line object for a port name (nullptr when the name cannot be served). The driver then
// opens it with the port name. The real program's factory gives a PosixSerialLine for device
// paths and may give an in-memory line for a name such as "Virtual meter".
using SerialLineFactory = std::function<std::unique_ptr<SerialLine>(const std::string& port)>;

class TCommPort {
 public:
  static constexpr std::size_t kRxBufferSize = 10001;
  static constexpr std::size_t kMaxChunk = 9991;
  static constexpr std::int64_t kTickIntervalMs = 1;
  static constexpr std::uint32_t kDefaultWaitEvent = 1000;

  enum class TickMode : std::uint8_t { Periodic = 0, OnDemand = 1 };

  // Timer off, port closed, WaitEvent 1000, FWait := now. Takes the port list, attaches itself to
  // it and copies its PortCong into PC (the list has read the stored settings when it was made).
  // Registers the instance program-wide. A null `list` is replaced by one with the system's ports.
  TCommPort(Clock& clock, Timers& timers, SerialLineFactory factory,
            std::unique_ptr<TPortList> list);
  // Removes the silence handler, closes the port, unregisters, detaches from and destroys the
  // port list (which writes PortCong as last synchronised), stops the timer.
  ~TCommPort();
  TCommPort(const TCommPort&) = delete;
  TCommPort& operator=(const TCommPort&) = delete;

  // Open. Writing true: refreshes the port list; when PC.FPort is listed, opens it, applies the
  // line settings and sets DTR and RTS. A port that is absent or cannot be opened or configured
  // stays closed, silently. Writing false: purges, lowers RTS and DTR, closes. Either does nothing
  // when the port already is in that state. Afterwards the timer runs exactly when it is open.
  bool IsOpen() const { return FOpen; }
  void SetOpen(bool open);
  bool Open() {
    SetOpen(true);
    return FOpen;
  }
  void Close() { SetOpen(false); }
  // Why the last open that failed did so, as the line told it ("" when it did not, and after an
  // open that succeeded).
  const std::string& OpenError() const { return open_error_; }

  // Line settings, backed by PC.
  const std::string& Port() const { return PC_.FPort; }
  void SetPort(const std::string& port);  // a different name reopens an open port
  TBaudRate BaudRate() const { return PC_.FBaudRate; }
  TBits Bits() const { return PC_.FBits; }
  TStopBits StopBits() const { return PC_.FStopBits; }
  TParity Parity() const { return PC_.FParity; }
  // A different value is stored and, while open, applied at once; then DTR and RTS are set again.
  void SetBaudRate(TBaudRate value);
  void SetBits(TBits value);
  void SetStopBits(TStopBits value);
  void SetParity(TParity value);
  bool DTR() const { return PC_.FDTR; }
  bool RTS() const { return PC_.FRTS; }
  // Stored, and while open the line is raised or lowered at once.
  void SetDTR(bool on);
  void SetRTS(bool on);
  // The configuration in force. Writing it directly changes nothing on an open line (the port
  // list copies the stored settings in this way).
  TPortCong& PC() { return PC_; }
  const TPortCong& PC() const { return PC_; }

  // The clock the port measures time by (what works through the port measures by it too).
  Clock& PortClock() const { return clock_; }

  // Silence time-out in ms; 0 disables the silence handler.
  std::uint32_t WaitEvent() const { return FWaitEvent; }
  void SetWaitEvent(std::uint32_t ms);
  // Setting the silence handler also restarts the silence measurement (FWait := now).
  const TNotifyEvent& BreakEvent() const { return FBreakEvent; }
  void SetBreakEvent(TNotifyEvent handler);
  const TCommEvent& CommEvent() const { return CommEvent_; }
  void SetCommEvent(TCommEvent handler) { CommEvent_ = std::move(handler); }
  // Milliseconds of silence measured at the last tick.
  std::uint32_t LastEvent() const { return FLastEvent; }

  // Sending. While open: drops what is still waiting to go out, logs the bytes (direction 0),
  // queues them without blocking and restarts the silence measurement. Closed: true, nothing is
  // sent. False only when the line reports an error.
  bool OutPort(const std::uint8_t* data, std::size_t count);

  // The tick: queue status, silence measurement and handler, then the receive loop (chunks of
  // at most kMaxChunk bytes, each logged as direction 1 and passed to CommEvent, the event hook
  // run after each). Not re-entered: a call made from inside a handler returns at once. Errors
  // of the line, and std::exception thrown by a handler, are swallowed here.
  void Tick();

  void SetTickMode(TickMode mode);
  TickMode GetTickMode() const { return tick_mode_; }
  // The line's descriptor that becomes readable on received data, or -1 (closed, a line without
  // a descriptor, or a line that hung up).
  int PollFd() const;
  // When the next tick is needed at the latest without data arriving, in Clock ms: -1 while the
  // port is closed or nothing is pending (no silence handler or WaitEvent 0, and nothing to send);
  // now + 1 while bytes are still waiting to go out; otherwise the millisecond at which the
  // silence handler becomes due (FWait + WaitEvent + 1).
  std::int64_t NextDeadlineMs() const;

  // Run after every delivered chunk, inside the tick ("let the user interface process pending
  // events"; the desktop program passes QCoreApplication::processEvents). Empty: nothing.
  void SetProcessEvents(std::function<void()> fn) { process_events_ = std::move(fn); }
  // Asked before every chunk; true ends the receive loop (the application is shutting down).
  void SetTerminating(std::function<bool()> fn) { terminating_ = std::move(fn); }

  TPortList& PortList() { return *list_; }
  const TPortList& PortList() const { return *list_; }
  // The line while open (nullptr when closed); for diagnostics and tests.
  SerialLine* Line() { return FOpen ? line_.get() : nullptr; }

  // The program-wide instance (the last one created and not yet destroyed), or nullptr.
  static TCommPort* Instance();

 private:
  void DoOpen();
  void DoClose();
  bool ApplyLineSettings();
  void ApplyModemLines();
  void TickBody();
  void UpdateTimer();
  std::int64_t Now() const;

  Clock& clock_;
  Timers& timers_;
  SerialLineFactory factory_;
  std::unique_ptr<TPortList> list_;
  std::unique_ptr<SerialLine> line_;
  std::uint64_t line_generation_ = 0;  // changes with every open, so a tick notices a reopen
  std::string open_error_;

  TNotifyEvent FBreakEvent;
  std::uint32_t FWaitEvent = kDefaultWaitEvent;
  std::uint32_t FLastEvent = 0;
  bool FOpen = false;
  std::unique_ptr<std::uint8_t[]> FRxBuffer;
  TPortCong PC_;
  std::int64_t FWait = 0;
  TCommEvent CommEvent_;

  TickMode tick_mode_ = TickMode::Periodic;
  TimerId timer_ = 0;
  bool timer_running_ = false;
  std::int64_t timer_due_ = -1;  // OnDemand: the deadline the single-shot timer is set for
  bool timer_periodic_ = false;
  bool fd_hung_up_ = false;
  bool in_tick_ = false;
  std::function<void()> process_events_;
  std::function<bool()> terminating_;
};

}  // namespace nord5
