#include "transport/usb_notifier.h"

#include <exception>

namespace nord5 {

bool IsWatchedDeviceEvent(const DeviceEvent& event) {
  if (event.Subsystem == "tty") return true;
  // A USB device also announces each of its interfaces; the device itself is enough.
  return event.Subsystem == "usb" && event.DevType == "usb_device";
}

TUSBNotifier::TUSBNotifier() : TUSBNotifier(CreateUdevDeviceMonitor()) {}

TUSBNotifier::TUSBNotifier(std::unique_ptr<DeviceMonitor> monitor) : monitor_(std::move(monitor)) {}

TUSBNotifier::~TUSBNotifier() = default;

int TUSBNotifier::MonitorFd() const { return monitor_ ? monitor_->Fd() : -1; }

void TUSBNotifier::Dispatch() {
  if (!monitor_) return;
  for (const DeviceEvent& e : monitor_->Receive()) Deliver(e);
}

void TUSBNotifier::InjectEvent(const DeviceEvent& event) { Deliver(event); }

void TUSBNotifier::InjectEvent(DeviceChange change, std::string subsystem, std::string devtype) {
  DeviceEvent e;
  e.Change = change;
  e.Subsystem = std::move(subsystem);
  e.DevType = std::move(devtype);
  Deliver(e);
}

void TUSBNotifier::Deliver(const DeviceEvent& event) {
  if (!IsWatchedDeviceEvent(event)) return;
  // Copied: a handler may replace itself or the other one.
  const TUSBNotifyEvent handler =
      event.Change == DeviceChange::Arrival ? FOnUSBArrival : FOnUSBRemove;
  if (!handler) return;
  last_event_ = event;
  try {
    handler(*this);
  } catch (const std::exception& e) {
    // Reported like any other error of the program; the watcher goes on.
    if (error_handler_) error_handler_(e.what());
  }
}

}  // namespace nord5
