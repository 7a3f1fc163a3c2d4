#include <gtest/gtest.h>

#include <vector>

#include "foundation/clock.h"
#include "foundation/timers.h"

namespace nord5 {
namespace {

TEST(ManualTimers, FireInTimeOrderAndMoveTheClockToEachDeadline) {
  ManualClock clock;
  ManualTimers timers(clock);
  std::vector<std::pair<char, std::int64_t>> fired;
  timers.Start(30, false, [&] { fired.push_back({'a', clock.NowMs()}); });
  TimerId tick = timers.Start(10, true, [&] { fired.push_back({'t', clock.NowMs()}); });
  timers.RunUntil(35);
  EXPECT_EQ(fired, (std::vector<std::pair<char, std::int64_t>>{
                       {'t', 10}, {'t', 20}, {'a', 30}, {'t', 30}}));
  EXPECT_EQ(clock.NowMs(), 35);
  timers.Stop(tick);
  EXPECT_EQ(timers.ActiveCount(), 0u);
  EXPECT_EQ(timers.NextDeadline(), -1);
}

TEST(ManualTimers, AHandlerMayStopItselfOrStartAnother) {
  ManualClock clock;
  ManualTimers timers(clock);
  int runs = 0;
  TimerId id = 0;
  id = timers.Start(5, true, [&] {
    if (++runs == 2) {
      timers.Stop(id);
      timers.Start(100, false, [&] { runs += 10; });
    }
  });
  timers.RunFor(1000);
  EXPECT_EQ(runs, 12);
}

}  // namespace
}  // namespace nord5
