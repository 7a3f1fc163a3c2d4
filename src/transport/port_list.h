// The list of serial ports present on the machine and the stored line settings.
//
// One list exists, created by the serial driver (TCommPort) and destroyed with it. At creation it
// enumerates the ports and reads the line settings from the section "COMSettings" of the settings
// file (writing any missing key with its default); at destruction it writes them back.
//
// Linux enumeration: every /sys/class/tty/NAME that has a `device` link, as /dev/NAME, plus the
// virtual ports published by running virtual meters (symbolic links in VirtualPortsFolder(), by
// their full path; dangling links are skipped), plus the extra names that callers add.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "transport/serial_line.h"

namespace nord5 {

class TCommPort;

// Where the ports are looked for. Tests point the roots at a fake tree.
struct PortDiscovery {
  std::string SysTtyRoot = "/sys/class/tty";  // one folder per tty, kernel devices have `device`
  std::string DevFolder = "/dev/";            // prefix of the port name for NAME
  std::string VirtualFolder;                  // empty: VirtualPortsFolder()
  bool WithVirtualPorts = true;
};

// The Linux counterpart of COM1, the default port.
inline constexpr std::string_view kDefaultPortName = "/dev/ttyS0";

// The line settings before anything is read: the default port, 2400 baud, 8 data bits, even
// parity, 1 stop bit (the M-Bus line format), DTR off, RTS on.
TPortCong DefaultPortCong();

// Order of the list: plain text order ignoring case ("COM10" before "COM2",
// "/dev/ttyS10" before "/dev/ttyS2"); names equal but for case keep a fixed order.
bool PortNameLess(std::string_view a, std::string_view b);

// The serial ports present now (kernel ttys with a device, then virtual ports), unsorted.
// Unreadable folders give no names; nothing is reported.
std::vector<std::string> EnumerateSerialPorts(const PortDiscovery& where);

class TPortList {
 public:
  // Sets the initial PortCong, FindPCPorts, ReadIniFile. Registers the instance program-wide.
  explicit TPortList(PortDiscovery where = {});
  // WriteIniFile, then unregisters.
  ~TPortList();
  TPortList(const TPortList&) = delete;
  TPortList& operator=(const TPortList&) = delete;

  // The port configuration kept by the list.
  TPortCong PortCong;

  // The sorted names (no duplicates).
  const std::vector<std::string>& Names() const { return names_; }
  std::size_t Count() const { return names_.size(); }
  const std::string& operator[](std::size_t i) const { return names_[i]; }
  int IndexOf(std::string_view name) const;  // exact match, -1 when absent
  bool Contains(std::string_view name) const { return IndexOf(name) >= 0; }

  // Refills the list with the ports present now (plus the extra names), sorted.
  void FindPCPorts();
  // A name listed beside the enumerated ports from the next FindPCPorts on (for example
  // "Virtual meter" for an in-memory line); the list is refreshed at once.
  void AddExtraPort(std::string name);
  void RemoveExtraPort(std::string_view name);

  // Reads the seven keys of "COMSettings" (missing ones are written with the current value) into
  // PortCong, then copies PortCong into the attached driver's configuration, without reopening.
  void ReadIniFile();
  // Copies the attached driver's configuration into PortCong (when a driver is attached), then
  // writes the seven keys.
  void WriteIniFile();

  // The driver whose configuration the list synchronises with; TCommPort attaches itself at
  // creation and detaches before it destroys the list. nullptr detaches.
  void AttachDriver(TCommPort* driver) { driver_ = driver; }
  TCommPort* Driver() const { return driver_; }

  const PortDiscovery& Discovery() const { return where_; }

  // The program-wide instance (the last one created and not yet destroyed), or nullptr.
  static TPortList* Instance();

 private:
  PortDiscovery where_;
  std::vector<std::string> names_;
  std::vector<std::string> extra_;
  TCommPort* driver_ = nullptr;
};

}  // namespace nord5
