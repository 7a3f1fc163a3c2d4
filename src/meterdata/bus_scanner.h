// Finding the meters on an M-Bus line: a primary scan over a range of addresses and the
// secondary (EN 13757-3 wildcard) search over identification numbers.
//
// Meters that answer together send in step, and the line combines their bytes: identical E5h
// acknowledgements add up to one valid E5h, so an E5h never proves that just one meter answered.
// Only a data request tells: different RSP_UD frames sent at once arrive garbled.
//
//   primary scan, per address A:   SND_NKE A  -> nothing: next address
//                                             -> E5h (or garbled): REQ_UD2 A
//                                  REQ_UD2 A  -> one valid RSP_UD: that meter
//                                             -> garbled: a collision at A
//   secondary search, per mask:    SND_UD CI 52h to FDh with the mask (5FFFFFFF: the first
//                                  digit 5, the others any), manufacturer FFFFh, version FFh,
//                                  medium FFh
//                                             -> nothing: next digit
//                                             -> E5h (or garbled): REQ_UD2 FDh
//                                  REQ_UD2 FDh -> one valid RSP_UD: that meter
//                                             -> garbled: several match; fix the digit and search
//                                                the next position (50FFFFFF .. 59FFFFFF)
//
// The scanner drives the serial driver like every exchange: it takes the driver's silence and
// data handlers for the time of a scan (giving the previous ones back at its end), sends only
// from the silence handler, and judges an answer once the line has been quiet. It waits for an
// answer as long as EN 13757-2 lets a slave take (330 bit times + 50 ms) plus the telegram's own
// time on the line and a margin; a data request is repeated, with the same frame count bit, after
// a missing or garbled answer (twice at most), a link initialisation or selection is not (no
// answer there is the usual result). Stop() ends a scan at any moment.
//
// Answers sent together can also add up to a frame with a right check sum (near-identical meters
// differ in a few bits only), so a valid answer is not yet a meter. It is verified: its secondary
// address (identification, manufacturer, version, medium) is selected and asked again, and must
// give the same meter; after a secondary search the meter must also answer at the primary
// address its frame names (a combined frame carries an address no meter may have). A meter that
// fails the check is a collision.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine_host.h"
#include "transport/serial_line.h"

namespace nord5 {

class Clock;
class TCommPort;

enum class ScanKind : std::uint8_t { Primary = 0, Secondary = 1 };

// One result of a scan.
struct ScanEntry {
  enum class Kind : std::uint8_t {
    Meter = 0,      // one meter answered its data request
    Collision = 1,  // several meters answer at once and cannot be told apart by this scan
    NoData = 2,     // something acknowledged but no data telegram came
  };
  Kind kind = Kind::Meter;
  ScanKind scan = ScanKind::Primary;
  // Meter: the primary address it answered with (the A field of its RSP_UD). Primary scan
  // collision or no data: the address scanned. Secondary collision or no data: 253 (FDh).
  std::uint8_t address = 0;
  // Meter: the identification number, eight BCD digits (55500011 is 0x55500011). Secondary
  // collision or no data: the selection mask with Fh for the open digits.
  std::uint32_t id = 0;
  DataHeader header;  // manufacturer, version, medium and access number of a meter

  // The identification as eight characters ("55500011", a mask "555000FF").
  std::string IdText() const;
  // The three letters of the manufacturer code.
  std::string ManufacturerText() const;
  friend bool operator==(const ScanEntry& a, const ScanEntry& b) {
    return a.kind == b.kind && a.scan == b.scan && a.address == b.address && a.id == b.id &&
           a.header.Manufacturer == b.header.Manufacturer && a.header.Version == b.header.Version &&
           a.header.Medium == b.header.Medium && a.header.AccessNumber == b.header.AccessNumber;
  }
};

enum class ScanEnd : std::uint8_t {
  Completed = 0,
  Stopped = 1,     // Stop() was called
  PortClosed = 2,  // the port was closed under the scan (the adapter went away)
};

enum class ScanStart : std::uint8_t {
  Started = 0,
  Busy = 1,          // the port is open: another exchange (or scan) runs
  CantOpenPort = 2,  // "Can't open COM port"
  BadInput = 3,      // an address range or mask that does not fit
};

// The highest primary address a meter can have; 251..255 are reserved, selection and broadcast.
inline constexpr int kMaxScanAddress = 250;
// The address of a selected meter (secondary addressing).
inline constexpr std::uint8_t kSelectedAddress = 0xFD;

// "FROM-TO" with 0 <= FROM <= TO <= 250, or a single address "N".
std::optional<std::pair<int, int>> ParseAddressRange(std::string_view text);
// Eight characters, each a digit or F (either case), the leftmost the most significant digit:
// "555FFFFF" gives 0x555FFFFF. An empty text is the whole range, FFFFFFFF.
std::optional<std::uint32_t> ParseScanMask(std::string_view text);

class TBusScanner {
 public:
  // The data request is repeated this many times after a missing or garbled answer.
  static constexpr int kDataRepeats = 2;
  // Added to the longest time EN 13757-2 lets a slave take before it answers.
  static constexpr std::uint32_t kMarginMs = 50;
  // Quiet time on the line after an answer before it is judged (and the next telegram goes out);
  // more than the 33 bit times EN 13757-2 asks the master to wait.
  static constexpr std::uint32_t kQuietMs = 50;

  struct Events {
    std::function<void(const ScanEntry&)> found;
    // value of max (primary: addresses done of the range; secondary: permille of the search).
    std::function<void(int value, int max)> progress;
    std::function<void(ScanEnd)> finished;
  };

  TBusScanner(TCommPort& port, const Clock& clock);
  // Ends a running scan without reporting.
  ~TBusScanner();
  TBusScanner(const TBusScanner&) = delete;
  TBusScanner& operator=(const TBusScanner&) = delete;

  void SetEvents(Events events) { events_ = std::move(events); }

  // Start a scan: the port must be closed (no other exchange runs); it is opened for the scan and
  // closed at its end.
  ScanStart StartPrimary(int first, int last);
  ScanStart StartSecondary(std::uint32_t mask);
  // Ends the scan now (port closed, handlers given back, finished(Stopped)). Nothing when idle.
  void Stop();
  // Call now and then while a scan runs: a port closed by someone else ends it (PortClosed).
  void CheckPort();

  bool Running() const { return running_; }
  ScanKind Kind() const { return kind_; }
  // Results of the current or last scan, in the order found.
  const std::vector<ScanEntry>& Entries() const { return entries_; }
  // What is being asked now: "Address 17" or "Selecting 55FFFFFF".
  std::string CurrentProbe() const;

  // How long to wait for an answer after a telegram of `telegram_bytes` bytes at `baud`:
  // the telegram's time on the line (11 bits a character), 330 bit times + 50 ms, and kMarginMs.
  static std::uint32_t AnswerWaitMs(TBaudRate baud, std::size_t telegram_bytes);
  // Waits `ms` for an answer after every telegram instead of AnswerWaitMs (0: AnswerWaitMs
  // again). A longer wait suits slow radio links or long lines; a shorter one a bus that answers
  // at once. The quiet time before an answer is judged stays below the wait (half of it at most).
  // Takes effect with the next telegram.
  void SetAnswerWaitMs(std::uint32_t ms) { fixed_wait_ = ms; }

  // The driver's handlers while a scan runs (installed by the Start functions).
  void OnSilence();
  void OnData(const std::uint8_t* bytes, std::size_t count);

 private:
  enum class Phase : std::uint8_t { Idle, Deselect, Probe, Data, VerifySelect, VerifyData, CrossCheck };
  enum class Answer : std::uint8_t { None, Ack, Frame, Garbled };

  ScanStart Begin(ScanKind kind);
  std::uint32_t QuietMs() const;
  void Finish(ScanEnd end);
  void Send(const std::vector<std::uint8_t>& telegram);
  Answer Judge(std::size_t* frame_at) const;
  void SendProbe();
  void SendDataRequest();
  void ProbeJudged(Answer a);
  void DataJudged(Answer a, std::size_t frame_at);
  void NextProbe();
  void Verify();
  void VerifyJudged(Answer a, std::size_t frame_at);
  void Verified(bool ok);
  void Collided();
  void Report(const ScanEntry& e);
  bool TakeMeter(std::size_t frame_at, ScanEntry& e) const;
  std::uint32_t CurrentMask() const;
  void ReportProgress();

  TCommPort& port_;
  const Clock& clock_;
  Events events_;
  bool running_ = false;
  ScanKind kind_ = ScanKind::Primary;
  Phase phase_ = Phase::Idle;
  std::vector<ScanEntry> entries_;

  // The driver's handlers before the scan.
  std::function<void(TCommPort&)> saved_silence_;
  std::function<int(TCommPort&, const std::uint8_t*, std::size_t)> saved_data_;
  std::uint32_t saved_wait_ = 0;

  // Telegram last sent and the bytes received since.
  bool awaiting_ = false;  // a telegram went out and its answer is not judged yet
  std::vector<std::uint8_t> sent_;
  std::vector<std::uint8_t> rx_;
  bool rx_overflow_ = false;
  std::int64_t answer_due_ = 0;  // clock ms by which every slave has had its time to answer
  std::uint32_t answer_wait_ = 0;
  std::uint32_t fixed_wait_ = 0;  // SetAnswerWaitMs; 0: AnswerWaitMs
  bool probe_acknowledged_ = false;  // the probe got a clean E5h
  int data_tries_ = 0;
  bool data_garbled_ = false;  // a data request of this probe got a garbled answer
  ScanEntry candidate_;         // the meter being verified

  // Primary scan.
  int first_ = 0, last_ = 0, address_ = 0;
  // Secondary search: the mask, its open positions (0 = leftmost digit) and the digit tried at
  // each open position taken so far.
  std::uint32_t mask_ = 0xFFFFFFFF;
  std::vector<int> open_;
  std::vector<int> digits_;
};

}  // namespace nord5
