#include "sim/timed_bytes.h"

#include <algorithm>

namespace nord5::sim {

void TimedBytes::Schedule(const std::uint8_t* bytes, std::size_t n, std::int64_t start_us,
                          std::int64_t per_byte_us, int pieces, std::int64_t gap_us) {
  const std::size_t count = std::min(static_cast<std::size_t>(std::max(1, pieces)), n);
  std::int64_t t = start_us;
  std::size_t i = 0;
  for (std::size_t p = 0; p < count; ++p) {
    const std::size_t len = n / count + (p < n % count ? 1 : 0);
    if (p > 0) t += gap_us;
    for (std::size_t k = 0; k < len; ++k, ++i) {
      t += per_byte_us;
      out_.push_back({t, bytes[i]});
    }
  }
}

std::size_t TimedBytes::Available() const {
  const std::int64_t now = NowUs();
  std::size_t n = 0;
  for (const Timed& t : out_) {
    if (t.due_us > now) break;
    ++n;
  }
  return n;
}

std::size_t TimedBytes::Take(std::uint8_t* out, std::size_t capacity) {
  const std::size_t n = std::min(Available(), capacity);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

std::optional<std::int64_t> TimedBytes::NextArrivalMs() const {
  if (out_.empty()) return std::nullopt;
  return (out_.front().due_us + 999) / 1000;
}

std::optional<std::int64_t> TimedBytes::LastDueUs() const {
  if (out_.empty()) return std::nullopt;
  return out_.back().due_us;
}

void TimedBytes::DropArrived() {
  const std::size_t n = Available();
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace nord5::sim
