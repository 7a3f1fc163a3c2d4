// The serial line over the POSIX terminal interface (termios and the modem-control ioctls).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/comm_port.h"
#include "transport/serial_line.h"

namespace nord5 {

class PosixSerialLine final : public SerialLine {
 public:
  PosixSerialLine() = default;
  ~PosixSerialLine() override;
  PosixSerialLine(const PosixSerialLine&) = delete;
  PosixSerialLine& operator=(const PosixSerialLine&) = delete;

  // Opens the device non-blocking, without making it the controlling terminal, and exclusively:
  // TIOCEXCL for other openers plus an flock() so that a second opener fails even with
  // privileges that bypass TIOCEXCL. Puts the line into raw mode at once.
  bool Open(const std::string& path) override;
  std::string OpenError() const override { return open_error_; }
  bool IsOpen() const override { return fd_ >= 0; }
  void Close() override;
  // Raw binary mode, no flow control, receiver on, modem status ignored (CLOCAL). A setting that
  // the line does not take (1.5 stop bits, a speed or parity the driver drops) makes it false.
  // Enumerator values outside their range leave that setting as the line has it. Pseudo-
  // terminals always run 8 data bits without parity enable: there only the odd and constant
  // parity bits record the parity asked for.
  bool Apply(const LineSettings& settings) override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  // Drops both queues, including the bytes this object still keeps for sending.
  bool Purge() override;
  bool PurgeOutput() override;
  long InQueue() override;
  // Bytes in the driver's transmit queue plus those not yet handed to the driver.
  long OutQueue() override;
  // Hands what the driver takes now; keeps the rest and sends it, in order, before any later data
  // at the next Write, Read, InQueue or OutQueue.
  bool Write(const std::uint8_t* data, std::size_t count) override;
  long Read(std::uint8_t* data, std::size_t capacity) override;
  int PollFd() const override { return fd_; }

  // True when the line has no modem-control lines (a pseudo-terminal): DTR and RTS are ignored.
  bool NoModemLines() const { return no_modem_lines_; }

 private:
  bool Flush();  // hands pending bytes to the driver; false on an error
  bool ModemBits(int bits, bool on);

  int fd_ = -1;
  bool no_modem_lines_ = false;
  std::vector<std::uint8_t> pending_;
  std::string open_error_;
};

// The words for an open that failed with `err`: serial ports belong to the group dialout, so a
// refusal says how to get in; anything else is the system's own reason.
std::string DescribeOpenError(int err);

std::unique_ptr<SerialLine> CreatePosixSerialLine();
// The driver's factory for device paths: a PosixSerialLine for every name. The desktop program
// wraps it to serve names of its own (an in-memory "Virtual meter") first.
SerialLineFactory PosixSerialLineFactory();

}  // namespace nord5
