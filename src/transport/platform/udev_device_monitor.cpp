// Hot-plug events from udev: whole USB devices and ttys, through a non-blocking netlink monitor.
#include <libudev.h>

#include <memory>

#include "transport/usb_notifier.h"

namespace nord5 {
namespace {

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

class UdevDeviceMonitor final : public DeviceMonitor {
 public:
  UdevDeviceMonitor(udev* u, udev_monitor* m) : udev_(u), monitor_(m) {}
  ~UdevDeviceMonitor() override {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
  }
  int Fd() const override { return udev_monitor_get_fd(monitor_); }

  std::vector<DeviceEvent> Receive() override {
    std::vector<DeviceEvent> events;
    // The socket is non-blocking: receive returns null once nothing is waiting. The bound keeps
    // a storm of events from holding the GUI thread.
    for (int i = 0; i < 256; ++i) {
      udev_device* dev = udev_monitor_receive_device(monitor_);
      if (dev == nullptr) break;
      const std::string action = Text(udev_device_get_action(dev));
      if (action == "add" || action == "remove") {
        DeviceEvent e;
        e.Change = action == "add" ? DeviceChange::Arrival : DeviceChange::Removal;
        e.Subsystem = Text(udev_device_get_subsystem(dev));
        e.DevType = Text(udev_device_get_devtype(dev));
        e.DevNode = Text(udev_device_get_devnode(dev));
        events.push_back(std::move(e));
      }
      udev_device_unref(dev);
    }
    return events;
  }

 private:
  udev* udev_;
  udev_monitor* monitor_;
};

}  // namespace

std::unique_ptr<DeviceMonitor> CreateUdevDeviceMonitor() {
  udev* u = udev_new();
  if (u == nullptr) return nullptr;
  udev_monitor* m = udev_monitor_new_from_netlink(u, "udev");
  if (m == nullptr) {
    udev_unref(u);
    return nullptr;
  }
  if (udev_monitor_filter_add_match_subsystem_devtype(m, "usb", "usb_device") < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(m, "tty", nullptr) < 0 ||
      udev_monitor_enable_receiving(m) < 0) {
    udev_monitor_unref(m);
    udev_unref(u);
    return nullptr;
  }
  return std::make_unique<UdevDeviceMonitor>(u, m);
}

}  // namespace nord5
