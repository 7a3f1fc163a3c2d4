// The line between a master and the virtual meter: what the master sends reaches the meter (in
// one piece or several), the meter's answer comes back after a short reply delay, optionally
// behind an echo of the telegram, split into pieces and at the pace of 2400 baud (11 bits per
// byte with 8E1, about 4.58 ms). Both the in-memory serial line and nord5-meter-sim use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "foundation/clock.h"
#include "sim/frame_reassembler.h"
#include "sim/telegram.h"
#include "sim/timed_bytes.h"
#include "sim/virtual_meter.h"

namespace nord5::sim {

// Microseconds per byte at 2400 baud with a start bit, 8 data bits, parity and a stop bit.
inline constexpr std::int64_t kByteMicros2400 = 11 * 1000000 / 2400;
// A frame begun and not finished for this long is dropped (the meter restarts its receiver).
inline constexpr std::int64_t kReceiveTimeoutMs = 1000;

class LineModel {
 public:
  // `incoming` is true for a telegram from the master, false for the meter's answer.
  using Trace = std::function<void(bool incoming, const Bytes& telegram)>;

  LineModel(VirtualMeter& meter, const Clock& clock);

  // Bytes the master sends, in any chunking.
  void Receive(const std::uint8_t* bytes, std::size_t n);
  // Bytes that have arrived at the master's side by now.
  std::size_t Available() const { return out_.Available(); }
  // Takes up to `capacity` of them.
  std::size_t Take(std::uint8_t* out, std::size_t capacity) { return out_.Take(out, capacity); }
  // When the next byte arrives (monotonic ms of the clock), or nothing when none is on its way.
  std::optional<std::int64_t> NextArrivalMs() const { return out_.NextArrivalMs(); }
  // Drops the bytes that have arrived (those still on the way come later).
  void DropArrived() { out_.DropArrived(); }
  // Drops everything, also a half-received telegram.
  void Clear();

  void SetTrace(Trace trace) { trace_ = std::move(trace); }

 private:
  VirtualMeter& meter_;
  const Clock& clock_;
  FrameReassembler rx_;
  TimedBytes out_;
  std::int64_t rx_free_us_ = 0;  // when the master's last byte has fully reached the meter
  std::int64_t last_rx_ms_ = 0;
  Trace trace_;
};

}  // namespace nord5::sim
