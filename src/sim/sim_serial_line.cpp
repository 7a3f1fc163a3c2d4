#include "sim/sim_serial_line.h"

namespace nord5::sim {

SimSerialLine::SimSerialLine(MeterOptions options, const Clock& clock)
    : own_(std::make_unique<VirtualMeter>(std::move(options), clock)),
      meter_(own_.get()),
      line_(*meter_, clock) {}

SimSerialLine::SimSerialLine(VirtualMeter& meter, const Clock& clock)
    : meter_(&meter), line_(meter, clock) {}

bool SimSerialLine::Open(const std::string& path) {
  if (open_ || open_fails_) return false;
  open_ = true;
  path_ = path;
  line_.Clear();
  return true;
}

void SimSerialLine::Close() {
  open_ = false;
  line_.Clear();
}

bool SimSerialLine::Apply(const LineSettings& settings) {
  if (!open_) return false;
  settings_ = settings;
  return true;
}

bool SimSerialLine::SetDTR(bool on) {
  if (!open_) return false;
  dtr_ = on;
  return true;
}

bool SimSerialLine::SetRTS(bool on) {
  if (!open_) return false;
  rts_ = on;
  return true;
}

bool SimSerialLine::Purge() {
  if (!open_) return false;
  line_.DropArrived();
  return true;
}

long SimSerialLine::InQueue() {
  if (!open_) return -1;
  return static_cast<long>(line_.Available());
}

long SimSerialLine::OutQueue() { return open_ ? 0 : -1; }

bool SimSerialLine::Write(const std::uint8_t* data, std::size_t count) {
  if (!open_) return false;
  const LineSettings m;  // the meter's 2400 baud 8E1
  if (settings_.BaudRate == m.BaudRate && settings_.Bits == m.Bits &&
      settings_.StopBits == m.StopBits && settings_.Parity == m.Parity)
    line_.Receive(data, count);
  return true;
}

long SimSerialLine::Read(std::uint8_t* data, std::size_t capacity) {
  if (!open_) return -1;
  return static_cast<long>(line_.Take(data, capacity));
}

}  // namespace nord5::sim
