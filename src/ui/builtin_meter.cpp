#include "ui/builtin_meter.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>

#include "foundation/clock.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"

namespace nord5::ui {
namespace {

sim::MeterOptions BuiltinOptions() {
  sim::MeterOptions o;
  o.mode = sim::kModeManufacturer;
  o.baud_timing = true;
  return o;
}

// The in-memory line with a wake-up: a timer descriptor on the monotonic clock (the clock that
// SystemClock reads) armed for the millisecond at which the next answer byte arrives, or at once
// while bytes wait to be read. Every call that changes what is waiting re-arms it, so the
// descriptor is readable exactly while the driver has something to take.
class WakingLine final : public SerialLine {
 public:
  explicit WakingLine(sim::VirtualMeter& meter)
      : line_(meter, SystemClock::Instance()),
        fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}
  ~WakingLine() override {
    if (fd_ >= 0) close(fd_);
  }
  WakingLine(const WakingLine&) = delete;
  WakingLine& operator=(const WakingLine&) = delete;

  bool Open(const std::string& path) override {
    const bool ok = line_.Open(path);
    Arm();
    return ok;
  }
  bool IsOpen() const override { return line_.IsOpen(); }
  void Close() override {
    line_.Close();
    Arm();
  }
  bool Apply(const LineSettings& settings) override { return line_.Apply(settings); }
  bool SetDTR(bool on) override { return line_.SetDTR(on); }
  bool SetRTS(bool on) override { return line_.SetRTS(on); }
  bool Purge() override {
    const bool ok = line_.Purge();
    Arm();
    return ok;
  }
  bool PurgeOutput() override { return line_.PurgeOutput(); }
  long InQueue() override {
    const long n = line_.InQueue();
    if (n == 0) Arm();  // woken early or twice: sleep again until the next byte
    return n;
  }
  long OutQueue() override { return line_.OutQueue(); }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    const bool ok = line_.Write(data, count);
    Arm();
    return ok;
  }
  long Read(std::uint8_t* data, std::size_t capacity) override {
    const long n = line_.Read(data, capacity);
    Arm();
    return n;
  }
  // Without a timer descriptor (none left) the driver falls back to its periodic tick.
  int PollFd() const override { return line_.IsOpen() ? fd_ : -1; }

 private:
  void Arm() {
    if (fd_ < 0) return;
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t r = read(fd_, &expirations, sizeof expirations);
    itimerspec when{};  // zero: disarmed
    if (line_.IsOpen()) {
      std::int64_t due_ms = -1;
      if (line_.InQueue() > 0) {
        due_ms = 0;  // in the past: readable at once
      } else if (const auto next = line_.NextArrivalMs()) {
        due_ms = *next;
      }
      if (due_ms >= 0) {
        when.it_value.tv_sec = static_cast<time_t>(due_ms / 1000);
        when.it_value.tv_nsec = static_cast<long>(due_ms % 1000) * 1000000L;
        if (due_ms == 0) when.it_value.tv_nsec = 1;  // all zero would disarm
      }
    }
    timerfd_settime(fd_, TFD_TIMER_ABSTIME, &when, nullptr);
  }

  sim::SimSerialLine line_;
  int fd_;
};

}  // namespace

BuiltinMeter::BuiltinMeter()
    : meter_(std::make_unique<sim::VirtualMeter>(BuiltinOptions(), SystemClock::Instance())) {}

BuiltinMeter::~BuiltinMeter() = default;

std::unique_ptr<SerialLine> BuiltinMeter::CreateLine() {
  return std::make_unique<WakingLine>(*meter_);
}

}  // namespace nord5::ui
