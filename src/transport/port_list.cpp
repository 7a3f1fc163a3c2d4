#include "transport/port_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "foundation/settings.h"
#include "transport/comm_port.h"
#include "transport/virtual_ports.h"

namespace nord5 {
namespace fs = std::filesystem;

namespace {
TPortList* g_instance = nullptr;

// The kernel lists every possible 8250 port (ttyS0 .. ttyS31) whether or not a UART sits behind
// it; those without one report type 0 (no UART) and cannot be opened.
bool IsAbsentUart(const fs::path& tty) {
  std::ifstream in(tty / "type");
  int type = -1;
  return in && (in >> type) && type == 0;
}

void AddKernelPorts(const PortDiscovery& where, std::vector<std::string>& out) {
  std::error_code ec;
  fs::directory_iterator it(where.SysTtyRoot, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path tty = it->path();
    std::error_code ec2;
    if (!fs::exists(fs::symlink_status(tty / "device", ec2))) continue;
    if (IsAbsentUart(tty)) continue;
    out.push_back(where.DevFolder + tty.filename().string());
  }
}

void AddVirtualPorts(const PortDiscovery& where, std::vector<std::string>& out) {
  std::string folder = where.VirtualFolder.empty() ? VirtualPortsFolder() : where.VirtualFolder;
  if (folder.back() != '/') folder += '/';
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_symlink(ec2)) continue;
    if (!fs::exists(it->path(), ec2)) continue;  // dangling: the meter has gone
    out.push_back(folder + it->path().filename().string());
  }
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

constexpr const char* BoolText(bool v) { return v ? "True" : "False"; }

}  // namespace

TPortCong DefaultPortCong() {
  TPortCong pc;
  pc.FPort = std::string(kDefaultPortName);
  pc.FBaudRate = TBaudRate::br_2400;
  pc.FBits = TBits::bt_8;
  pc.FStopBits = TStopBits::sb_1;
  pc.FParity = TParity::pr_Even;
  pc.FDTR = false;
  pc.FRTS = true;
  return pc;
}

bool PortNameLess(std::string_view a, std::string_view b) {
  const int c = CompareIgnoringCase(a, b);
  return c != 0 ? c < 0 : a < b;
}

std::vector<std::string> EnumerateSerialPorts(const PortDiscovery& where) {
  std::vector<std::string> out;
  AddKernelPorts(where, out);
  if (where.WithVirtualPorts) AddVirtualPorts(where, out);
  return out;
}

TPortList* TPortList::Instance() { return g_instance; }

TPortList::TPortList(PortDiscovery where) : PortCong(DefaultPortCong()), where_(std::move(where)) {
  g_instance = this;
  FindPCPorts();
  ReadIniFile();
}

TPortList::~TPortList() {
  WriteIniFile();
  if (g_instance == this) g_instance = nullptr;
}

int TPortList::IndexOf(std::string_view name) const {
  const auto it = std::find(names_.begin(), names_.end(), name);
  return it == names_.end() ? -1 : static_cast<int>(it - names_.begin());
}

void TPortList::FindPCPorts() {
  std::vector<std::string> names = EnumerateSerialPorts(where_);
  names.insert(names.end(), extra_.begin(), extra_.end());
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return PortNameLess(a, b); });
  names.erase(std::unique(names.begin(), names.end()), names.end());
  names_ = std::move(names);
}

void TPortList::AddExtraPort(std::string name) {
  if (std::find(extra_.begin(), extra_.end(), name) == extra_.end())
    extra_.push_back(std::move(name));
  FindPCPorts();
}

void TPortList::RemoveExtraPort(std::string_view name) {
  extra_.erase(std::remove(extra_.begin(), extra_.end(), name), extra_.end());
  FindPCPorts();
}

void TPortList::ReadIniFile() {
  constexpr SettingsMode R = SettingsMode::Read;
  // A failed read gives an empty text; the value then stays as it is. Numbers go into the
  // one-byte fields unchecked: an ordinal outside its enumeration leaves that line setting to
  // the device.
  auto number = [&](std::string_view key, std::uint8_t current) -> std::uint8_t {
    const SettingsResult r =
        SettingsValue(R, key, SettingsDefault(std::int64_t{current}), kComSettings);
    return r.IsInteger() ? static_cast<std::uint8_t>(r.AsInt()) : current;
  };
  auto boolean = [&](std::string_view key, bool current) {
    const SettingsResult r =
        SettingsValue(R, key, SettingsDefault(std::string(BoolText(current))), kComSettings);
    return r.Text().empty() ? current : r.AsBool();
  };

  const SettingsResult port =
      SettingsValue(R, "Port", SettingsDefault(PortCong.FPort), kComSettings);
  if (!port.Text().empty()) PortCong.FPort = port.Text();
  PortCong.FBaudRate =
      static_cast<TBaudRate>(number("BaudRate", static_cast<std::uint8_t>(PortCong.FBaudRate)));
  PortCong.FBits = static_cast<TBits>(number("Bits", static_cast<std::uint8_t>(PortCong.FBits)));
  PortCong.FStopBits =
      static_cast<TStopBits>(number("StopBits", static_cast<std::uint8_t>(PortCong.FStopBits)));
  PortCong.FParity =
      static_cast<TParity>(number("Parity", static_cast<std::uint8_t>(PortCong.FParity)));
  PortCong.FDTR = boolean("DTR", PortCong.FDTR);
  PortCong.FRTS = boolean("RTS", PortCong.FRTS);

  if (driver_ != nullptr) driver_->PC() = PortCong;
}

void TPortList::WriteIniFile() {
  if (driver_ != nullptr) PortCong = driver_->PC();
  constexpr SettingsMode W = SettingsMode::Write;
  auto number = [&](std::string_view key, auto value) {
    SettingsValue(W, key, SettingsDefault(std::int64_t{static_cast<std::uint8_t>(value)}),
                  kComSettings);
  };
  SettingsValue(W, "Port", SettingsDefault(PortCong.FPort), kComSettings);
  number("BaudRate", PortCong.FBaudRate);
  number("Bits", PortCong.FBits);
  number("StopBits", PortCong.FStopBits);
  number("Parity", PortCong.FParity);
  SettingsValue(W, "DTR", SettingsDefault(std::string(BoolText(PortCong.FDTR))), kComSettings);
  SettingsValue(W, "RTS", SettingsDefault(std::string(BoolText(PortCong.FRTS))), kComSettings);
}

}  // namespace nord5
