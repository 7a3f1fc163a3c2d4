#include "sim/line_model.h"

#include <algorithm>

namespace nord5::sim {

LineModel::LineModel(VirtualMeter& meter, const Clock& clock) : meter_(meter), clock_(clock) {}

void LineModel::Receive(const std::uint8_t* bytes, std::size_t n) {
  if (n == 0) return;
  const MeterOptions& o = meter_.Options();
  const std::int64_t now_ms = clock_.NowMs();
  if (rx_.Pending() > 0 && now_ms - last_rx_ms_ > kReceiveTimeoutMs) rx_.Reset();
  last_rx_ms_ = now_ms;

  const std::int64_t begin_us = std::max(NowUs(), rx_free_us_);
  const std::int64_t per_byte = o.baud_timing ? kByteMicros2400 : 0;
  rx_free_us_ = begin_us + per_byte * static_cast<std::int64_t>(n);
  if (o.echo) {
    // The converter returns every byte as it passes.
    for (std::size_t i = 0; i < n; ++i)
      out_.push_back({begin_us + per_byte * static_cast<std::int64_t>(i + 1), bytes[i]});
  }
  for (const Bytes& telegram : rx_.Feed(bytes, n)) {
    if (trace_) trace_(true, telegram);
    Bytes answer = meter_.Handle(telegram);
    if (answer.empty()) continue;
    if (trace_) trace_(false, answer);
    std::int64_t start = rx_free_us_;
    if (!out_.empty()) start = std::max(start, out_.back().due_us);
    Schedule(answer, start + std::int64_t{o.reply_delay_ms} * 1000, std::max(1, o.chunks));
  }
}

void LineModel::Schedule(const Bytes& bytes, std::int64_t start_us, int pieces) {
  const MeterOptions& o = meter_.Options();
  const std::int64_t per_byte = o.baud_timing ? kByteMicros2400 : 0;
  const std::size_t n = bytes.size();
  const auto count = static_cast<std::size_t>(std::min<std::size_t>(pieces, n));
  std::int64_t t = start_us;
  std::size_t i = 0;
  for (std::size_t p = 0; p < count; ++p) {
    // Pieces as even as possible; the first ones take the remainder.
    const std::size_t len = n / count + (p < n % count ? 1 : 0);
    if (p > 0) t += std::int64_t{o.chunk_gap_ms} * 1000;
    for (std::size_t k = 0; k < len; ++k, ++i) {
      t += per_byte;
      out_.push_back({t, bytes[i]});
    }
  }
}

std::size_t LineModel::Available() const {
  const std::int64_t now = NowUs();
  std::size_t n = 0;
  for (const Timed& t : out_) {
    if (t.due_us > now) break;
    ++n;
  }
  return n;
}

std::size_t LineModel::Take(std::uint8_t* out, std::size_t capacity) {
  const std::size_t n = std::min(Available(), capacity);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

std::optional<std::int64_t> LineModel::NextArrivalMs() const {
  if (out_.empty()) return std::nullopt;
  return (out_.front().due_us + 999) / 1000;
}

void LineModel::DropArrived() {
  const std::size_t n = Available();
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
}

void LineModel::Clear() {
  out_.clear();
  rx_.Reset();
  rx_free_us_ = 0;
}

}  // namespace nord5::sim
