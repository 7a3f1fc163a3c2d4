#include "sim/line_model.h"

#include <algorithm>

namespace nord5::sim {

LineModel::LineModel(VirtualMeter& meter, const Clock& clock)
    : meter_(meter), clock_(clock), out_(clock) {}

void LineModel::Receive(const std::uint8_t* bytes, std::size_t n) {
  if (n == 0) return;
  const MeterOptions& o = meter_.Options();
  const std::int64_t now_ms = clock_.NowMs();
  if (rx_.Pending() > 0 && now_ms - last_rx_ms_ > kReceiveTimeoutMs) rx_.Reset();
  last_rx_ms_ = now_ms;

  const std::int64_t begin_us = std::max(out_.NowUs(), rx_free_us_);
  const std::int64_t per_byte = o.baud_timing ? kByteMicros2400 : 0;
  rx_free_us_ = begin_us + per_byte * static_cast<std::int64_t>(n);
  if (o.echo) {
    // The converter returns every byte as it passes.
    out_.Schedule(bytes, n, begin_us, per_byte);
  }
  for (const Bytes& telegram : rx_.Feed(bytes, n)) {
    if (trace_) trace_(true, telegram);
    Bytes answer = meter_.Handle(telegram);
    if (answer.empty()) continue;
    if (trace_) trace_(false, answer);
    const std::int64_t start = std::max(rx_free_us_, out_.LastDueUs().value_or(rx_free_us_));
    out_.Schedule(answer.data(), answer.size(), start + std::int64_t{o.reply_delay_ms} * 1000,
                  per_byte, std::max(1, o.chunks), std::int64_t{o.chunk_gap_ms} * 1000);
  }
}

void LineModel::Clear() {
  out_.Clear();
  rx_.Reset();
  rx_free_us_ = 0;
}

}  // namespace nord5::sim
