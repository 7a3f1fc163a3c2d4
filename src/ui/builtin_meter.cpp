#include "ui/builtin_meter.h"

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

}  // namespace

BuiltinMeter::BuiltinMeter()
    : meter_(std::make_unique<sim::VirtualMeter>(BuiltinOptions(), SystemClock::Instance())) {}

BuiltinMeter::~BuiltinMeter() = default;

std::unique_ptr<SerialLine> BuiltinMeter::CreateLine() {
  return std::make_unique<sim::SimSerialLine>(*meter_, SystemClock::Instance());
}

}  // namespace nord5::ui
