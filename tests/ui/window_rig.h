// The main window with its engine host on a manual clock, for the tests that run exchanges.
#pragma once

#include <QCoreApplication>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/timers.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_bus.h"
#include "sim/virtual_meter.h"
#include "transport/usb_notifier.h"
#include "ui/main_window.h"
#include "ui/window_host.h"

// A window whose "Virtual meter" port leads to `meter` (or, when the rig is given bus meters, to
// a bus of them) and whose message boxes answer from a script. The driver, the engine and the
// meter run on a manual clock: an exchange of several seconds (100 ms steps, no baud-rate pacing)
// runs in a few milliseconds.
struct WindowRig {
  int lines_opened = 0;  // lines the driver asked for: none means nothing was sent
  nord5::ManualClock clock;
  nord5::ManualTimers timers{clock};
  nord5::sim::VirtualMeter meter;
  std::unique_ptr<nord5::sim::VirtualBus> bus;
  nord5::ui::TfmTermuloConfig window;
  nord5::ScriptedDialogs dialogs;
  nord5::ui::MainWindowHost host;

  explicit WindowRig(nord5::sim::MeterOptions options = {},
                     const std::vector<nord5::sim::BusMeter>& bus_meters = {})
      : meter(options, clock),
        bus(bus_meters.empty()
                ? nullptr
                : std::make_unique<nord5::sim::VirtualBus>(options, bus_meters, clock)),
        host(
            window,
            [this](const std::string&) -> std::unique_ptr<nord5::SerialLine> {
              ++lines_opened;
              if (bus) return std::make_unique<nord5::sim::VirtualBusLine>(*bus);
              return std::make_unique<nord5::sim::SimSerialLine>(meter, clock);
            },
            std::make_unique<nord5::TUSBNotifier>(std::unique_ptr<nord5::DeviceMonitor>{}),
            &clock, &timers) {
    host.SetDialogs(&dialogs);
    host.Port().SetPort("Virtual meter");
  }
  nord5::FormView& form() { return window.Form(); }
  // Moves the manual clock on until `done` holds (at most `limit_ms` of its time), with the
  // window's own events in between.
  bool RunUntil(const std::function<bool()>& done, std::int64_t limit_ms = 60000) {
    const std::int64_t end = clock.NowMs() + limit_ms;
    while (!done() && clock.NowMs() < end) {
      timers.RunFor(10);
      QCoreApplication::processEvents();
    }
    return done();
  }
  // ... until the exchange has ended.
  bool WaitUntilIdle() {
    return RunUntil([this] { return !host.Engine().Running(); });
  }
  bool RunAndWait(const char* action) {
    window.Action(action)->trigger();
    return WaitUntilIdle();
  }
};
