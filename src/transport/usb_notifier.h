// The device-change watcher: tells its owner when a USB device or a serial (tty) device is plugged
// in or removed, so that a running exchange can end and port lists can be refreshed.
//
// The platform source is a udev monitor (platform/udev_device_monitor.*). Its descriptor is
// exposed by MonitorFd(); the owner watches it on the GUI thread (QSocketNotifier, or poll() in the
// CLI) and calls Dispatch() whenever it is readable, so the handlers run on the GUI thread.
// If the monitor cannot be set up the watcher simply never reports anything (MonitorFd() is -1).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nord5 {

class TUSBNotifier;

enum class DeviceChange : std::uint8_t { Arrival = 0, Removal = 1 };

// One hot-plug event as the platform reports it.
struct DeviceEvent {
  DeviceChange Change = DeviceChange::Arrival;
  std::string Subsystem;  // "usb" or "tty"
  std::string DevType;    // "usb_device" for a whole USB device; may be empty
  std::string DevNode;    // e.g. "/dev/ttyUSB0"; may be empty
};

// The source of events beneath the watcher.
class DeviceMonitor {
 public:
  virtual ~DeviceMonitor() = default;
  // Readable when events are waiting, or -1.
  virtual int Fd() const = 0;
  // The events waiting now (never blocks; empty when none).
  virtual std::vector<DeviceEvent> Receive() = 0;
};

// The udev monitor for USB devices and ttys; nullptr when it cannot be set up.
std::unique_ptr<DeviceMonitor> CreateUdevDeviceMonitor();

// Whether an event concerns the watcher: arrival or removal of a whole USB device or of a tty.
bool IsWatchedDeviceEvent(const DeviceEvent& event);

using TUSBNotifyEvent = std::function<void(TUSBNotifier&)>;

class TUSBNotifier {
 public:
  // Watches the system's devices through udev; a failed set-up is ignored.
  TUSBNotifier();
  // Watches the given source (nullptr: none). Tests pass their own or none and inject events.
  explicit TUSBNotifier(std::unique_ptr<DeviceMonitor> monitor);
  ~TUSBNotifier();
  TUSBNotifier(const TUSBNotifier&) = delete;
  TUSBNotifier& operator=(const TUSBNotifier&) = delete;

  const TUSBNotifyEvent& OnUSBArrival() const { return FOnUSBArrival; }
  void SetOnUSBArrival(TUSBNotifyEvent handler) { FOnUSBArrival = std::move(handler); }
  const TUSBNotifyEvent& OnUSBRemove() const { return FOnUSBRemove; }
  void SetOnUSBRemove(TUSBNotifyEvent handler) { FOnUSBRemove = std::move(handler); }

  // Where an exception thrown by a handler is reported (the application's general error
  // display); the watcher goes on either way. Empty: the error is dropped.
  void SetErrorHandler(std::function<void(const std::string& message)> handler) {
    error_handler_ = std::move(handler);
  }

  // The descriptor to watch, or -1 when there is no source.
  int MonitorFd() const;
  // Reads the waiting events and raises the handlers; call when MonitorFd() is readable.
  void Dispatch();
  // Passes one event through the same filter and handlers as Dispatch() (test seam, and for
  // callers that learn of a device change in another way).
  void InjectEvent(const DeviceEvent& event);
  void InjectEvent(DeviceChange change, std::string subsystem = "usb",
                   std::string devtype = "usb_device");

  // The last event that raised a handler (for the owner's reaction, e.g. which node went away).
  const DeviceEvent& LastEvent() const { return last_event_; }

 private:
  void Deliver(const DeviceEvent& event);

  std::unique_ptr<DeviceMonitor> monitor_;
  TUSBNotifyEvent FOnUSBArrival;
  TUSBNotifyEvent FOnUSBRemove;
  std::function<void(const std::string&)> error_handler_;
  DeviceEvent last_event_;
};

}  // namespace nord5
