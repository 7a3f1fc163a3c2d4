// Time as the core sees it: a monotonic millisecond counter plus wall-clock local and UTC time.
#pragma once

#include <cstdint>

namespace nord5 {

// A broken-down calendar time (no time zone attached).
struct DateTime {
  int Year = 2000;   // full year, e.g. 2024
  int Month = 1;     // 1..12
  int Day = 1;       // 1..31
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t NowMs() const = 0;    // monotonic milliseconds
  virtual DateTime LocalTime() const = 0;
  virtual DateTime UtcTime() const = 0;
};

// The real clock: steady_clock and the C library's local time.
class SystemClock final : public Clock {
 public:
  std::int64_t NowMs() const override;
  DateTime LocalTime() const override;
  DateTime UtcTime() const override;
  static SystemClock& Instance();
};

// A clock that moves only when told; tests run ten-second exchanges in microseconds with it.
// Advancing also fires the timers of a ManualTimers bound to it (see timers.h).
class ManualClock final : public Clock {
 public:
  std::int64_t NowMs() const override { return now_ms_; }
  DateTime LocalTime() const override { return local_; }
  DateTime UtcTime() const override { return utc_; }
  void SetNow(std::int64_t ms) { now_ms_ = ms; }
  void Advance(std::int64_t ms) { now_ms_ += ms; }
  void SetLocalTime(const DateTime& t) { local_ = t; }
  void SetUtcTime(const DateTime& t) { utc_ = t; }

 private:
  std::int64_t now_ms_ = 0;
  DateTime local_{2024, 3, 15, 13, 45, 0, 0};
  DateTime utc_{2024, 3, 15, 12, 45, 0, 0};
};

}  // namespace nord5
