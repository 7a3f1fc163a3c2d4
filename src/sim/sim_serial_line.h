// An in-memory serial line with the virtual meter at its far end: the desktop program's
// "Virtual meter" port and the engine tests' line. Time comes from the clock, so on a manual clock
// an answer becomes readable only when the test advances past its reply delay.
#pragma once

#include <memory>
#include <string>

#include "foundation/clock.h"
#include "sim/line_model.h"
#include "sim/virtual_meter.h"
#include "transport/serial_line.h"

namespace nord5::sim {

class SimSerialLine final : public SerialLine {
 public:
  // A line to a meter of its own.
  SimSerialLine(MeterOptions options, const Clock& clock);
  // A line to `meter`, which outlives the line.
  SimSerialLine(VirtualMeter& meter, const Clock& clock);

  bool Open(const std::string& path) override;
  bool IsOpen() const override { return open_; }
  void Close() override;
  // Every setting applies; the meter understands the master only at 2400 baud 8E1, so with
  // other settings what is written is lost on the way.
  bool Apply(const LineSettings& settings) override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  bool Purge() override;
  // Nothing waits to be sent (a write reaches the meter at once), so received bytes stay.
  bool PurgeOutput() override { return open_; }
  long InQueue() override;
  long OutQueue() override;
  bool Write(const std::uint8_t* data, std::size_t count) override;
  long Read(std::uint8_t* data, std::size_t capacity) override;

  VirtualMeter& Meter() { return *meter_; }
  LineModel& Line() { return line_; }
  const std::string& Path() const { return path_; }
  const LineSettings& Settings() const { return settings_; }
  bool Dtr() const { return dtr_; }
  bool Rts() const { return rts_; }
  // When the next answer byte arrives (for tests that advance the clock exactly).
  std::optional<std::int64_t> NextArrivalMs() const { return line_.NextArrivalMs(); }
  // Makes Open fail, like a port that is in use.
  void SetOpenFails(bool fails) { open_fails_ = fails; }

 private:
  std::unique_ptr<VirtualMeter> own_;
  VirtualMeter* meter_;
  LineModel line_;
  bool open_ = false;
  bool open_fails_ = false;
  bool dtr_ = false;
  bool rts_ = false;
  std::string path_;
  LineSettings settings_;
};

}  // namespace nord5::sim
