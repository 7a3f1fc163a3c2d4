// The built-in virtual meter behind the port "Virtual meter": a meter in manufacturer mode,
// served in-process at the pace of 2400 baud, that keeps its memory for the whole run, so a
// configuration written to it reads back.
#pragma once

#include <memory>

#include "transport/serial_line.h"

namespace nord5::sim {
class VirtualMeter;
}

namespace nord5::ui {

class BuiltinMeter {
 public:
  BuiltinMeter();
  ~BuiltinMeter();
  // A new line to the meter for one opening of the port. Its PollFd() becomes readable when the
  // next answer byte has arrived, so the driver sleeps between bytes instead of ticking every
  // millisecond.
  std::unique_ptr<SerialLine> CreateLine();
  sim::VirtualMeter& Meter() { return *meter_; }

 private:
  std::unique_ptr<sim::VirtualMeter> meter_;
};

}  // namespace nord5::ui
