#include "foundation/timers.h"

#include "foundation/clock.h"

namespace nord5 {

TimerId ManualTimers::Start(std::int64_t interval_ms, bool periodic, std::function<void()> fn) {
  if (interval_ms < 1 && periodic) interval_ms = 1;
  const TimerId id = next_id_++;
  timers_[id] = Entry{clock_.NowMs() + interval_ms, interval_ms, periodic, std::move(fn)};
  return id;
}

void ManualTimers::Stop(TimerId id) { timers_.erase(id); }

std::int64_t ManualTimers::NextDeadline() const {
  std::int64_t best = -1;
  for (const auto& [id, e] : timers_)
    if (best < 0 || e.due < best) best = e.due;
  return best;
}

void ManualTimers::RunUntil(std::int64_t until_ms) {
  for (;;) {
    // The earliest due timer (ties in start order, i.e. by id).
    auto best = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it)
      if (it->second.due <= until_ms && (best == timers_.end() || it->second.due < best->second.due))
        best = it;
    if (best == timers_.end()) break;
    if (best->second.due > clock_.NowMs()) clock_.SetNow(best->second.due);
    const TimerId id = best->first;
    auto fn = best->second.fn;  // the handler may stop or restart its own timer
    if (best->second.periodic)
      best->second.due += best->second.interval;
    else
      timers_.erase(best);
    fn();
    (void)id;
  }
  if (clock_.NowMs() < until_ms) clock_.SetNow(until_ms);
}

void ManualTimers::RunFor(std::int64_t ms) { RunUntil(clock_.NowMs() + ms); }

}  // namespace nord5
