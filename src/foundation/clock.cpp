#include "foundation/clock.h"

#include <chrono>
#include <ctime>

namespace nord5 {
namespace {

DateTime FromTm(const std::tm& tm, int ms) {
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
}

}  // namespace

std::int64_t SystemClock::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

DateTime SystemClock::LocalTime() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromTm(tm, static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000));
}

DateTime SystemClock::UtcTime() const {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return FromTm(tm, static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000));
}

SystemClock& SystemClock::Instance() {
  static SystemClock clock;
  return clock;
}

}  // namespace nord5
