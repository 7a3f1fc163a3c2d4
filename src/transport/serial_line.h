// The serial line beneath the driver: a small interface with a termios implementation
// (platform/posix_serial_line.*) and an in-memory one wired to the virtual meter (sim/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nord5 {

enum class TBaudRate : std::uint8_t {
  br_300 = 0, br_600 = 1, br_1200 = 2, br_2400 = 3, br_4800 = 4,
  br_9600 = 5, br_19200 = 6, br_38400 = 7, br_57600 = 8, br_115200 = 9,
};
enum class TBits : std::uint8_t { bt_5 = 0, bt_6 = 1, bt_7 = 2, bt_8 = 3 };
enum class TStopBits : std::uint8_t { sb_1 = 0, sb_1_5 = 1, sb_2 = 2 };
enum class TParity : std::uint8_t { pr_None = 0, pr_Odd = 1, pr_Even = 2, pr_Mark = 3, pr_Space = 4 };

// Port configuration record.
struct TPortCong {
  std::string FPort = "/dev/ttyS0";  // the counterpart of COM1
  TBaudRate FBaudRate = TBaudRate::br_2400;
  TBits FBits = TBits::bt_8;
  TStopBits FStopBits = TStopBits::sb_1;
  TParity FParity = TParity::pr_Even;
  bool FDTR = false;
  bool FRTS = true;
  friend bool operator==(const TPortCong&, const TPortCong&) = default;
};

struct LineSettings {
  TBaudRate BaudRate = TBaudRate::br_2400;
  TBits Bits = TBits::bt_8;
  TStopBits StopBits = TStopBits::sb_1;
  TParity Parity = TParity::pr_Even;
};

class SerialLine {
 public:
  virtual ~SerialLine() = default;
  // Opens `path` exclusively and non-blocking. False when it cannot be opened (or is in use).
  virtual bool Open(const std::string& path) = 0;
  // Why the last Open failed, in words for the user ("" when the line cannot tell).
  virtual std::string OpenError() const { return {}; }
  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  // False when the platform cannot apply a setting.
  virtual bool Apply(const LineSettings& settings) = 0;
  // Lines without modem control (pseudo-terminals) ignore these without failing.
  virtual bool SetDTR(bool on) = 0;
  virtual bool SetRTS(bool on) = 0;
  // Drops everything waiting in the receive and transmit queues.
  virtual bool Purge() = 0;
  // Drops only what waits in the transmit queue (what a new telegram replaces). Lines that cannot
  // tell the queues apart purge both.
  virtual bool PurgeOutput() { return Purge(); }
  // Bytes waiting in the receive and transmit queues, or -1 on an error.
  virtual long InQueue() = 0;
  virtual long OutQueue() = 0;
  // Queues bytes for sending without blocking (what the OS does not take now goes out later, in
  // order). False only on an error of the operating system.
  virtual bool Write(const std::uint8_t* data, std::size_t count) = 0;
  // Reads up to `capacity` waiting bytes without blocking; returns the count (0 if none), -1 on error.
  virtual long Read(std::uint8_t* data, std::size_t capacity) = 0;
  // A descriptor that becomes readable when data arrives, or -1 (the in-memory line has none).
  virtual int PollFd() const { return -1; }
};

}  // namespace nord5
