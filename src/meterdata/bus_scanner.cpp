#include "meterdata/bus_scanner.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "foundation/clock.h"
#include "foundation/utils.h"
#include "transport/comm_port.h"

namespace nord5 {
namespace {

constexpr std::uint8_t kAck = 0xE5;
constexpr std::uint8_t kSndNke = 0x40;
constexpr std::uint8_t kReqUd2 = 0x7B;  // frame count bit set, as after a link initialisation
constexpr std::uint8_t kSndUd = 0x73;
constexpr std::uint8_t kCiSelect = 0x52;
constexpr std::uint8_t kCiLongHeader = 0x72;
// Collected answer bytes; a line that talks longer than this is garbled.
constexpr std::size_t kMaxAnswer = 1024;
// Bits of one character on the line: start, 8 data, even parity, stop.
constexpr std::uint32_t kBitsPerChar = 11;
// The longest time EN 13757-2 gives a slave before its answer: 330 bit times plus 50 ms.
constexpr std::uint32_t kSlaveBits = 330;
constexpr std::uint32_t kSlaveExtraMs = 50;

std::uint32_t BaudOf(TBaudRate b) {
  static constexpr std::uint32_t kBauds[] = {300,  600,   1200,  2400,  4800,
                                             9600, 19200, 38400, 57600, 115200};
  const auto i = static_cast<std::size_t>(b);
  return i < std::size(kBauds) ? kBauds[i] : 2400;
}

std::vector<std::uint8_t> ShortFrame(std::uint8_t c, std::uint8_t a) {
  return {0x10, c, a, static_cast<std::uint8_t>(c + a), 0x16};
}

// 68 0B 0B 68 73 FD 52 ID(4) FF FF FF FF CS 16: identification (least significant byte first)
// with Fh for any digit, and any manufacturer, version and medium.
std::vector<std::uint8_t> Selection(std::uint32_t mask, std::uint16_t manufacturer = 0xFFFF,
                                    std::uint8_t version = 0xFF, std::uint8_t medium = 0xFF) {
  std::vector<std::uint8_t> t = {0x68, 0x0B, 0x0B, 0x68, kSndUd, kSelectedAddress, kCiSelect};
  for (int i = 0; i < 4; ++i) t.push_back(static_cast<std::uint8_t>(mask >> (8 * i)));
  t.push_back(static_cast<std::uint8_t>(manufacturer));
  t.push_back(static_cast<std::uint8_t>(manufacturer >> 8));
  t.push_back(version);
  t.push_back(medium);
  std::uint8_t sum = 0;
  for (std::size_t i = 4; i < t.size(); ++i) sum = static_cast<std::uint8_t>(sum + t[i]);
  t.push_back(sum);
  t.push_back(0x16);
  return t;
}

int Nibble(std::uint32_t v, int position) { return static_cast<int>((v >> (4 * (7 - position))) & 0xF); }

// Whether identification `id` is one that selection `mask` (Fh: any digit) takes.
bool Matches(std::uint32_t id, std::uint32_t mask) {
  for (int p = 0; p < 8; ++p)
    if (Nibble(mask, p) != 0xF && Nibble(mask, p) != Nibble(id, p)) return false;
  return true;
}

bool SameMeter(const ScanEntry& a, const ScanEntry& b) {
  return a.address == b.address && a.id == b.id && a.header.Manufacturer == b.header.Manufacturer &&
         a.header.Version == b.header.Version && a.header.Medium == b.header.Medium;
}

}  // namespace

std::string ScanEntry::IdText() const {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", id);
  return text;
}

std::string ScanEntry::ManufacturerText() const { return DecodeManufacturer(header.Manufacturer); }

std::optional<std::pair<int, int>> ParseAddressRange(std::string_view text) {
  auto number = [](std::string_view s) -> std::optional<int> {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || v < 0 ||
        v > kMaxScanAddress)
      return std::nullopt;
    return v;
  };
  const std::size_t dash = text.find('-');
  const auto from = number(text.substr(0, dash));
  const auto to = dash == std::string_view::npos ? from : number(text.substr(dash + 1));
  if (!from || !to || *from > *to) return std::nullopt;
  return std::make_pair(*from, *to);
}

std::optional<std::uint32_t> ParseScanMask(std::string_view text) {
  if (text.empty()) return 0xFFFFFFFFu;
  if (text.size() != 8) return std::nullopt;
  std::uint32_t mask = 0;
  for (char c : text) {
    int nibble = 0;
    if (c >= '0' && c <= '9')
      nibble = c - '0';
    else if (c == 'F' || c == 'f')
      nibble = 0xF;
    else
      return std::nullopt;
    mask = mask << 4 | static_cast<std::uint32_t>(nibble);
  }
  return mask;
}

std::uint32_t TBusScanner::AnswerWaitMs(TBaudRate baud, std::size_t telegram_bytes) {
  const std::uint32_t rate = BaudOf(baud);
  auto ms = [rate](std::uint64_t bits) {
    return static_cast<std::uint32_t>((bits * 1000 + rate - 1) / rate);
  };
  return ms(std::uint64_t{telegram_bytes} * kBitsPerChar) + ms(kSlaveBits) + kSlaveExtraMs +
         kMarginMs;
}

TBusScanner::TBusScanner(TCommPort& port, const Clock& clock) : port_(port), clock_(clock) {}

std::uint32_t TBusScanner::QuietMs() const {
  if (fixed_wait_ == 0) return kQuietMs;
  return std::clamp<std::uint32_t>(fixed_wait_ / 2, 1, kQuietMs);
}

TBusScanner::~TBusScanner() {
  events_ = {};
  Stop();
}

std::string TBusScanner::CurrentProbe() const {
  if (kind_ == ScanKind::Primary) return "Address " + std::to_string(address_);
  ScanEntry e;
  e.id = CurrentMask();
  return "Selecting " + e.IdText();
}

ScanStart TBusScanner::StartPrimary(int first, int last) {
  if (first < 0 || last > kMaxScanAddress || first > last) return ScanStart::BadInput;
  if (running_ || port_.IsOpen()) return ScanStart::Busy;
  first_ = first;
  last_ = last;
  address_ = first;
  return Begin(ScanKind::Primary);
}

ScanStart TBusScanner::StartSecondary(std::uint32_t mask) {
  std::vector<int> open;
  for (int p = 0; p < 8; ++p) {
    const int n = Nibble(mask, p);
    if (n == 0xF)
      open.push_back(p);
    else if (n > 9)
      return ScanStart::BadInput;
  }
  if (running_ || port_.IsOpen()) return ScanStart::Busy;
  mask_ = mask;
  open_ = std::move(open);
  digits_.clear();
  if (!open_.empty()) digits_.push_back(0);
  return Begin(ScanKind::Secondary);
}

ScanStart TBusScanner::Begin(ScanKind kind) {
  saved_silence_ = port_.BreakEvent();
  saved_data_ = port_.CommEvent();
  saved_wait_ = port_.WaitEvent();
  port_.SetBreakEvent([this](TCommPort&) { OnSilence(); });
  port_.SetCommEvent([this](TCommPort&, const std::uint8_t* data, std::size_t n) {
    OnData(data, n);
    return 0;
  });
  port_.SetOpen(true);
  if (!port_.IsOpen()) {
    port_.SetBreakEvent(saved_silence_);
    port_.SetCommEvent(saved_data_);
    return ScanStart::CantOpenPort;
  }
  kind_ = kind;
  running_ = true;
  awaiting_ = false;
  phase_ = Phase::Idle;
  entries_.clear();
  sent_.clear();
  rx_.clear();
  // The first telegram goes out after a short quiet time, like every step of an exchange.
  port_.SetWaitEvent(QuietMs());
  ReportProgress();
  return ScanStart::Started;
}

void TBusScanner::Stop() { Finish(ScanEnd::Stopped); }

void TBusScanner::CheckPort() {
  if (running_ && !port_.IsOpen()) Finish(ScanEnd::PortClosed);
}

void TBusScanner::Finish(ScanEnd end) {
  if (!running_) return;
  running_ = false;
  awaiting_ = false;
  phase_ = Phase::Idle;
  port_.SetOpen(false);
  port_.SetBreakEvent(saved_silence_);
  port_.SetCommEvent(saved_data_);
  port_.SetWaitEvent(saved_wait_);
  if (end == ScanEnd::Completed && events_.progress) {
    if (kind_ == ScanKind::Primary)
      events_.progress(last_ - first_ + 1, last_ - first_ + 1);
    else
      events_.progress(1000, 1000);
  }
  if (events_.finished) events_.finished(end);
}

void TBusScanner::Send(const std::vector<std::uint8_t>& telegram) {
  if (!running_) return;  // an event handler stopped the scan
  sent_ = telegram;
  rx_.clear();
  rx_overflow_ = false;
  answer_wait_ =
      fixed_wait_ != 0 ? fixed_wait_ : AnswerWaitMs(port_.BaudRate(), telegram.size());
  answer_due_ = clock_.NowMs() + answer_wait_;
  awaiting_ = true;
  port_.OutPort(telegram.data(), telegram.size());
  port_.SetWaitEvent(answer_wait_);
}

void TBusScanner::OnData(const std::uint8_t* bytes, std::size_t count) {
  if (!running_ || !awaiting_ || bytes == nullptr) return;
  const std::size_t room = kMaxAnswer - rx_.size();
  if (count > room) rx_overflow_ = true;
  rx_.insert(rx_.end(), bytes, bytes + std::min(count, room));
  // Judged once the line has been quiet for a while, and not before every slave has had its time
  // to answer: a slower second answer makes a collision, not a meter.
  const std::int64_t left = answer_due_ - clock_.NowMs();
  port_.SetWaitEvent(static_cast<std::uint32_t>(std::max<std::int64_t>(QuietMs(), left)));
}

TBusScanner::Answer TBusScanner::Judge(std::size_t* frame_at) const {
  if (rx_overflow_) return Answer::Garbled;
  // A line converter may return the telegram itself first.
  std::size_t i = 0;
  if (!sent_.empty() && rx_.size() >= sent_.size() &&
      std::equal(sent_.begin(), sent_.end(), rx_.begin()))
    i = sent_.size();
  const std::size_t n = rx_.size() - i;
  if (n == 0) return Answer::None;
  const std::uint8_t* f = rx_.data() + i;
  if (n == 1 && f[0] == kAck) return Answer::Ack;
  // Exactly one long frame, nothing before or after it.
  if (n >= 9 && f[0] == 0x68 && f[3] == 0x68 && f[1] == f[2] && f[1] >= 3 &&
      n == std::size_t{f[1]} + 6 && f[n - 1] == 0x16) {
    std::uint8_t sum = 0;
    for (std::size_t k = 4; k < n - 2; ++k) sum = static_cast<std::uint8_t>(sum + f[k]);
    if (sum == f[n - 2]) {
      *frame_at = i;
      return Answer::Frame;
    }
  }
  return Answer::Garbled;
}

void TBusScanner::OnSilence() {
  if (!running_) return;
  if (!awaiting_) {
    // The first telegram of the scan. A secondary search first sends every selected meter back
    // to the unselected state (a selected one acknowledges; that is not looked at).
    if (kind_ == ScanKind::Secondary) {
      phase_ = Phase::Deselect;
      Send(ShortFrame(kSndNke, kSelectedAddress));
    } else {
      phase_ = Phase::Probe;
      SendProbe();
    }
    return;
  }
  awaiting_ = false;
  std::size_t frame_at = 0;
  const Answer a = Judge(&frame_at);
  switch (phase_) {
    case Phase::Deselect:
      phase_ = Phase::Probe;
      SendProbe();
      break;
    case Phase::Probe:
      ProbeJudged(a);
      break;
    case Phase::Data:
      DataJudged(a, frame_at);
      break;
    case Phase::VerifySelect:
    case Phase::VerifyData:
    case Phase::CrossCheck:
      VerifyJudged(a, frame_at);
      break;
    case Phase::Idle:
      break;
  }
}

void TBusScanner::SendProbe() {
  phase_ = Phase::Probe;
  if (kind_ == ScanKind::Primary)
    Send(ShortFrame(kSndNke, static_cast<std::uint8_t>(address_)));
  else
    Send(Selection(CurrentMask()));
}

void TBusScanner::SendDataRequest() {
  phase_ = Phase::Data;
  const auto a = kind_ == ScanKind::Primary ? static_cast<std::uint8_t>(address_) : kSelectedAddress;
  Send(ShortFrame(kReqUd2, a));
}

void TBusScanner::ProbeJudged(Answer a) {
  if (a == Answer::None) {
    NextProbe();
    return;
  }
  // E5h, or acknowledgements of several meters that did not quite line up: someone is there.
  probe_acknowledged_ = a == Answer::Ack;
  data_tries_ = 0;
  data_garbled_ = false;
  SendDataRequest();
}

// More than one meter answers. The secondary search tells them apart by the next digit.
void TBusScanner::Collided() {
  if (kind_ == ScanKind::Secondary && digits_.size() < open_.size()) {
    digits_.push_back(0);
    ReportProgress();
    SendProbe();
    return;
  }
  ScanEntry e;
  e.kind = ScanEntry::Kind::Collision;
  e.scan = kind_;
  e.address = kind_ == ScanKind::Primary ? static_cast<std::uint8_t>(address_) : kSelectedAddress;
  e.id = kind_ == ScanKind::Primary ? 0 : CurrentMask();
  Report(e);
  NextProbe();
}

void TBusScanner::Verify() {
  phase_ = Phase::VerifySelect;
  data_tries_ = 0;
  Send(Selection(candidate_.id, candidate_.header.Manufacturer, candidate_.header.Version,
                 candidate_.header.Medium));
}

void TBusScanner::VerifyJudged(Answer a, std::size_t frame_at) {
  if (phase_ == Phase::VerifySelect) {
    if (a == Answer::None) {
      Verified(false);
      return;
    }
    phase_ = Phase::VerifyData;
    data_tries_ = 0;
    Send(ShortFrame(kReqUd2, kSelectedAddress));
    return;
  }
  if (phase_ == Phase::VerifyData) {
    ScanEntry again;
    if (a == Answer::Frame && TakeMeter(frame_at, again)) {
      if (!SameMeter(again, candidate_)) {
        Verified(false);
        return;
      }
      // After a selection the frame's address is all that names the meter's primary address:
      // a meter must answer there (alone, or garbled together with others at that address).
      if (kind_ == ScanKind::Secondary && candidate_.address <= kMaxScanAddress) {
        phase_ = Phase::CrossCheck;
        data_tries_ = 0;
        Send(ShortFrame(kReqUd2, candidate_.address));
        return;
      }
      Verified(true);
      return;
    }
    if (a != Answer::Ack && data_tries_ < kDataRepeats) {
      ++data_tries_;
      Send(ShortFrame(kReqUd2, kSelectedAddress));
      return;
    }
    Verified(false);
    return;
  }
  // Cross-check at the primary address: any answer shows a meter there.
  if (a != Answer::None) {
    Verified(true);
    return;
  }
  if (data_tries_ < kDataRepeats) {
    ++data_tries_;
    Send(ShortFrame(kReqUd2, candidate_.address));
    return;
  }
  Verified(false);
}

void TBusScanner::Verified(bool ok) {
  if (!ok) {
    Collided();
    return;
  }
  Report(candidate_);
  NextProbe();
}

void TBusScanner::DataJudged(Answer a, std::size_t frame_at) {
  ScanEntry e;
  e.scan = kind_;
  e.address = kind_ == ScanKind::Primary ? static_cast<std::uint8_t>(address_) : kSelectedAddress;
  e.id = kind_ == ScanKind::Primary ? 0 : CurrentMask();
  if (a == Answer::Frame) {
    if (!TakeMeter(frame_at, e)) {
      e.kind = ScanEntry::Kind::NoData;  // a frame without the fixed header: no identification
      Report(e);
      NextProbe();
      return;
    }
    // The meter must be the one asked for: at the address scanned, or matching the selection.
    const bool fits = kind_ == ScanKind::Primary ? e.address == address_ : Matches(e.id, CurrentMask());
    if (fits) {
      candidate_ = e;
      Verify();
      return;
    }
    a = Answer::Garbled;
  }
  if (a == Answer::Ack) {  // acknowledges a data request, but has nothing to send
    e.kind = ScanEntry::Kind::NoData;
    Report(e);
    NextProbe();
    return;
  }
  if (a == Answer::Garbled) data_garbled_ = true;
  if (data_tries_ < kDataRepeats) {
    ++data_tries_;
    SendDataRequest();
    return;
  }
  if (data_garbled_) {
    Collided();
    return;
  } else if (probe_acknowledged_) {
    e.kind = ScanEntry::Kind::NoData;
    Report(e);
  }
  NextProbe();
}

bool TBusScanner::TakeMeter(std::size_t frame_at, ScanEntry& e) const {
  // 68 L L 68 C A 72 ID(4) MAN(2) VER MED ACC STATUS SIG(2) records CS 16
  const std::uint8_t* f = rx_.data() + frame_at;
  const std::size_t L = f[1];
  if (f[6] != kCiLongHeader || L < 3 + 12) return false;
  e.kind = ScanEntry::Kind::Meter;
  e.address = f[5];
  e.id = static_cast<std::uint32_t>(f[7]) | static_cast<std::uint32_t>(f[8]) << 8 |
         static_cast<std::uint32_t>(f[9]) << 16 | static_cast<std::uint32_t>(f[10]) << 24;
  e.header.Manufacturer = static_cast<std::uint16_t>(f[11] | f[12] << 8);
  e.header.Version = f[13];
  e.header.Medium = f[14];
  e.header.AccessNumber = f[15];
  return true;
}

void TBusScanner::Report(const ScanEntry& e) {
  // A meter is the same meter when its address and secondary address agree; the access number
  // moves with every answer.
  if (e.kind == ScanEntry::Kind::Meter) {
    for (const ScanEntry& x : entries_)
      if (x.kind == e.kind && SameMeter(x, e)) return;
  }
  entries_.push_back(e);
  if (events_.found) events_.found(e);
}

void TBusScanner::NextProbe() {
  if (!running_) return;
  if (kind_ == ScanKind::Primary) {
    if (address_ >= last_) {
      Finish(ScanEnd::Completed);
      return;
    }
    ++address_;
    ReportProgress();
    SendProbe();
    return;
  }
  while (!digits_.empty()) {
    if (++digits_.back() <= 9) {
      ReportProgress();
      SendProbe();
      return;
    }
    digits_.pop_back();  // every digit of this position tried: on with the one before
  }
  Finish(ScanEnd::Completed);
}

std::uint32_t TBusScanner::CurrentMask() const {
  std::uint32_t m = mask_;
  for (std::size_t j = 0; j < digits_.size() && j < open_.size(); ++j) {
    const int shift = 4 * (7 - open_[j]);
    m = (m & ~(0xFu << shift)) | static_cast<std::uint32_t>(digits_[j]) << shift;
  }
  return m;
}

void TBusScanner::ReportProgress() {
  if (!events_.progress) return;
  if (kind_ == ScanKind::Primary) {
    events_.progress(address_ - first_, last_ - first_ + 1);
    return;
  }
  // How much of the search tree lies behind the digits taken so far.
  int value = 0;
  int weight = 1000;
  for (int d : digits_) {
    weight /= 10;
    value += d * weight;
  }
  events_.progress(value, 1000);
}

}  // namespace nord5
