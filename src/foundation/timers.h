// Single-shot and periodic timers on the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>

namespace nord5 {

class Clock;
class ManualClock;

using TimerId = std::uint64_t;

class Timers {
 public:
  virtual ~Timers() = default;
  // Calls `fn` every `interval_ms` (periodic) or once after `interval_ms` (single shot).
  virtual TimerId Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) = 0;
  // Stopping an unknown or already stopped timer does nothing. A timer may stop itself from fn.
  virtual void Stop(TimerId id) = 0;
};

// Timers driven by a ManualClock: RunUntil(t) fires, in time order, every timer due up to t and
// leaves the clock at t. Tests use it with the manual clock.
class ManualTimers final : public Timers {
 public:
  explicit ManualTimers(ManualClock& clock) : clock_(clock) {}
  TimerId Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) override;
  void Stop(TimerId id) override;
  // Fires every due timer up to `until_ms` (clock time), moving the clock to each deadline.
  void RunUntil(std::int64_t until_ms);
  void RunFor(std::int64_t ms);
  // The earliest deadline of a running timer, or -1 when none runs.
  std::int64_t NextDeadline() const;
  bool Active(TimerId id) const { return timers_.count(id) != 0; }
  std::size_t ActiveCount() const { return timers_.size(); }

 private:
  struct Entry {
    std::int64_t due;
    std::int64_t interval;
    bool periodic;
    std::function<void()> fn;
  };
  ManualClock& clock_;
  TimerId next_id_ = 1;
  std::map<TimerId, Entry> timers_;
};

}  // namespace nord5
