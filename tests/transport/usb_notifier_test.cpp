#include "transport/usb_notifier.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <stdexcept>

namespace nord5 {
namespace {

using ::testing::ElementsAre;

class FakeMonitor final : public DeviceMonitor {
 public:
  explicit FakeMonitor(std::vector<DeviceEvent>* waiting) : waiting_(waiting) {}
  int Fd() const override { return 42; }
  std::vector<DeviceEvent> Receive() override { return std::exchange(*waiting_, {}); }

 private:
  std::vector<DeviceEvent>* waiting_;
};

// Records "arrival"/"removal" per raised handler.
struct Recorder {
  explicit Recorder(TUSBNotifier& n) {
    n.SetOnUSBArrival([this](TUSBNotifier&) { seen.push_back("arrival"); });
    n.SetOnUSBRemove([this](TUSBNotifier&) { seen.push_back("removal"); });
  }
  std::vector<std::string> seen;
};

TEST(USBNotifier, ReportsArrivalAndRemovalOfUsbDevicesAndTtysOnly) {
  struct Case {
    DeviceChange change;
    const char* subsystem;
    const char* devtype;
    const char* expected;  // nullptr: not reported
  };
  const Case cases[] = {
      {DeviceChange::Arrival, "usb", "usb_device", "arrival"},
      {DeviceChange::Removal, "usb", "usb_device", "removal"},
      {DeviceChange::Arrival, "tty", "", "arrival"},
      {DeviceChange::Removal, "tty", "", "removal"},
      {DeviceChange::Arrival, "usb", "usb_interface", nullptr},  // part of a device already told
      {DeviceChange::Removal, "block", "disk", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.subsystem) + "/" + c.devtype);
    TUSBNotifier notifier(nullptr);
    Recorder rec(notifier);
    notifier.InjectEvent(c.change, c.subsystem, c.devtype);
    if (c.expected)
      EXPECT_THAT(rec.seen, ElementsAre(c.expected));
    else
      EXPECT_TRUE(rec.seen.empty());
  }
}

TEST(USBNotifier, DispatchDeliversWaitingEventsInOrderAndSurvivesAFailingHandler) {
  std::vector<DeviceEvent> waiting;
  TUSBNotifier notifier(std::make_unique<FakeMonitor>(&waiting));
  EXPECT_EQ(notifier.MonitorFd(), 42);
  std::vector<std::string> seen, errors;
  notifier.SetErrorHandler([&](const std::string& m) { errors.push_back(m); });
  notifier.SetOnUSBArrival([&](TUSBNotifier& n) {
    seen.push_back("arrival " + n.LastEvent().DevNode);
    throw std::runtime_error("window gone");
  });
  notifier.SetOnUSBRemove(
      [&](TUSBNotifier& n) { seen.push_back("removal " + n.LastEvent().DevNode); });

  waiting = {{DeviceChange::Arrival, "tty", "", "/dev/ttyUSB0"},
             {DeviceChange::Arrival, "usb", "usb_interface", ""},
             {DeviceChange::Removal, "tty", "", "/dev/ttyUSB0"}};
  notifier.Dispatch();
  EXPECT_THAT(seen, ElementsAre("arrival /dev/ttyUSB0", "removal /dev/ttyUSB0"));
  EXPECT_THAT(errors, ElementsAre("window gone"));

  notifier.Dispatch();  // nothing waiting
  EXPECT_EQ(seen.size(), 2u);
}

TEST(USBNotifier, WithoutASourceItStaysSilent) {
  TUSBNotifier notifier(nullptr);
  Recorder rec(notifier);
  EXPECT_EQ(notifier.MonitorFd(), -1);
  notifier.Dispatch();
  EXPECT_TRUE(rec.seen.empty());
}

// The real monitor, where the machine offers one: it never blocks when nothing happened.
TEST(USBNotifier, UdevMonitorDoesNotBlockWhenIdle) {
  auto monitor = CreateUdevDeviceMonitor();
  if (!monitor) GTEST_SKIP() << "no udev netlink monitor here";
  EXPECT_GE(monitor->Fd(), 0);
  for (const DeviceEvent& e : monitor->Receive())
    EXPECT_TRUE(e.Subsystem == "usb" || e.Subsystem == "tty");
  TUSBNotifier notifier;  // the default source; a failed set-up would just report -1
  (void)notifier.MonitorFd();
}

}  // namespace
}  // namespace nord5
