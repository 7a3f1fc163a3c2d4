// Bytes on their way to the master's side of the line, each with the moment it has fully arrived:
// the meter's answers and the converter's echo, paced at the line's byte time and split into
// pieces with a gap between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "foundation/clock.h"

namespace nord5::sim {

class TimedBytes {
 public:
  explicit TimedBytes(const Clock& clock) : clock_(clock) {}

  // Queues `n` bytes from `start_us` on: each one arrives `per_byte_us` after the one before (the
  // first `per_byte_us` after the start), in up to `pieces` pieces as even as possible (the first
  // ones take the remainder) with `gap_us` of silence between two pieces.
  void Schedule(const std::uint8_t* bytes, std::size_t n, std::int64_t start_us,
                std::int64_t per_byte_us, int pieces = 1, std::int64_t gap_us = 0);
  // Bytes that have arrived by now.
  std::size_t Available() const;
  // Takes up to `capacity` of them.
  std::size_t Take(std::uint8_t* out, std::size_t capacity);
  // When the next byte arrives (monotonic ms of the clock), or nothing when none is on its way.
  std::optional<std::int64_t> NextArrivalMs() const;
  // When the last queued byte arrives (microseconds), or nothing when none is queued.
  std::optional<std::int64_t> LastDueUs() const;
  // Drops the bytes that have arrived (those still on the way come later).
  void DropArrived();
  // Drops everything.
  void Clear() { out_.clear(); }

  std::int64_t NowUs() const { return clock_.NowMs() * 1000; }

 private:
  struct Timed {
    std::int64_t due_us;
    std::uint8_t byte;
  };
  const Clock& clock_;
  std::deque<Timed> out_;
};

}  // namespace nord5::sim
