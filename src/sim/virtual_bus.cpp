#include "sim/virtual_bus.h"

#include <algorithm>
#include <charconv>

namespace nord5::sim {
namespace {

// The single meter of nord5-meter-sim, on the line model it has always used.
class SingleMeterLine final : public SimLine {
 public:
  SingleMeterLine(const MeterOptions& options, const Clock& clock)
      : meter_(options, clock), line_(meter_, clock) {}
  void Receive(const std::uint8_t* bytes, std::size_t n) override { line_.Receive(bytes, n); }
  std::size_t Available() const override { return line_.Available(); }
  std::size_t Take(std::uint8_t* out, std::size_t capacity) override {
    return line_.Take(out, capacity);
  }
  std::optional<std::int64_t> NextArrivalMs() const override { return line_.NextArrivalMs(); }
  void DropArrived() override { line_.DropArrived(); }
  void Clear() override { line_.Clear(); }
  void SetTrace(Trace trace) override { line_.SetTrace(std::move(trace)); }

 private:
  VirtualMeter meter_;
  LineModel line_;
};

bool ParseOne(const std::string& item, BusMeter& out) {
  const std::size_t colon = item.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 8) return false;
  const char* p = item.data();
  std::uint32_t id = 0;
  auto r = std::from_chars(p, p + colon, id, 16);
  if (r.ec != std::errc{} || r.ptr != p + colon) return false;
  const char* a = p + colon + 1;
  const char* end = p + item.size();
  unsigned address = 0;
  r = std::from_chars(a, end, address, 10);
  if (a == end || r.ec != std::errc{} || r.ptr != end || address > 250) return false;
  out = BusMeter{id, static_cast<std::uint8_t>(address)};
  return true;
}

}  // namespace

bool ParseBusMeters(const std::string& text, std::vector<BusMeter>& out, std::string& error) {
  std::vector<BusMeter> meters;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    BusMeter m;
    if (!ParseOne(item, m)) {
      error = "bad meter \"" + item + "\" (ID:ADDRESS, ID up to 8 hexadecimal digits, ADDRESS 0..250)";
      return false;
    }
    meters.push_back(m);
    if (meters.size() > kMaxBusMeters) {
      error = "more than " + std::to_string(kMaxBusMeters) + " meters";
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  out = std::move(meters);
  return true;
}

Bytes CombineOnLine(const std::vector<Bytes>& answers) {
  Bytes line;
  for (const Bytes& a : answers) {
    // The idle line is mark (all ones), so bytes past the end of a shorter answer stay as sent.
    if (a.size() > line.size()) line.resize(a.size(), 0xFF);
    for (std::size_t i = 0; i < a.size(); ++i) line[i] &= a[i];
  }
  return line;
}

VirtualBus::VirtualBus(const MeterOptions& common, const std::vector<BusMeter>& meters,
                       const Clock& clock)
    : line_(common), clock_(clock), out_(clock) {
  for (const BusMeter& m : meters) {
    MeterOptions o = common;
    o.id = m.id;
    o.address = m.address;
    meters_.push_back(std::make_unique<VirtualMeter>(o, clock));
  }
}

Bytes VirtualBus::Handle(const Bytes& telegram) {
  std::vector<Bytes> answers;
  for (auto& m : meters_) {
    Bytes a = m->Handle(telegram);
    if (!a.empty()) answers.push_back(std::move(a));
  }
  return CombineOnLine(answers);
}

void VirtualBus::Receive(const std::uint8_t* bytes, std::size_t n) {
  if (n == 0) return;
  const std::int64_t now_ms = clock_.NowMs();
  if (rx_.Pending() > 0 && now_ms - last_rx_ms_ > kReceiveTimeoutMs) rx_.Reset();
  last_rx_ms_ = now_ms;

  const std::int64_t begin_us = std::max(out_.NowUs(), rx_free_us_);
  const std::int64_t per_byte = line_.baud_timing ? kByteMicros2400 : 0;
  rx_free_us_ = begin_us + per_byte * static_cast<std::int64_t>(n);
  if (line_.echo) {
    out_.Schedule(bytes, n, begin_us, per_byte);
  }
  for (const Bytes& telegram : rx_.Feed(bytes, n)) {
    if (trace_) trace_(true, telegram);
    const Bytes answer = Handle(telegram);
    if (answer.empty()) continue;
    if (trace_) trace_(false, answer);
    const std::int64_t start = std::max(rx_free_us_, out_.LastDueUs().value_or(rx_free_us_));
    out_.Schedule(answer.data(), answer.size(), start + std::int64_t{line_.reply_delay_ms} * 1000,
                  per_byte, std::max(1, line_.chunks), std::int64_t{line_.chunk_gap_ms} * 1000);
  }
}

void VirtualBus::Clear() {
  out_.Clear();
  rx_.Reset();
  rx_free_us_ = 0;
}

std::unique_ptr<SimLine> MakeSimLine(const MeterOptions& options,
                                     const std::vector<BusMeter>& meters, const Clock& clock) {
  if (meters.empty()) return std::make_unique<SingleMeterLine>(options, clock);
  return std::make_unique<VirtualBus>(options, meters, clock);
}

bool VirtualBusLine::Open(const std::string&) {
  if (open_) return false;
  open_ = true;
  bus_.Clear();
  return true;
}

void VirtualBusLine::Close() {
  open_ = false;
  bus_.Clear();
}

bool VirtualBusLine::Apply(const LineSettings& settings) {
  if (!open_) return false;
  settings_ = settings;
  return true;
}

bool VirtualBusLine::Purge() {
  if (!open_) return false;
  bus_.DropArrived();
  return true;
}

long VirtualBusLine::InQueue() {
  if (!open_) return -1;
  return static_cast<long>(bus_.Available());
}

bool VirtualBusLine::Write(const std::uint8_t* data, std::size_t count) {
  if (!open_) return false;
  const LineSettings m;  // the meters' 2400 baud 8E1
  if (settings_.BaudRate == m.BaudRate && settings_.Bits == m.Bits &&
      settings_.StopBits == m.StopBits && settings_.Parity == m.Parity)
    bus_.Receive(data, count);
  return true;
}

long VirtualBusLine::Read(std::uint8_t* data, std::size_t capacity) {
  if (!open_) return -1;
  return static_cast<long>(bus_.Take(data, capacity));
}

}  // namespace nord5::sim
