#include "transport/platform/posix_serial_line.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "transport/platform/fd_state.h"

namespace nord5 {
namespace {

// Bytes kept for sending beyond what the driver has taken. A line that never drains (nobody reads
// the other end of a pseudo-terminal) makes further writes fail instead of growing without end.
constexpr std::size_t kMaxPending = 1 << 20;

bool SpeedFor(TBaudRate rate, speed_t& speed) {
  switch (rate) {
    case TBaudRate::br_300: speed = B300; return true;
    case TBaudRate::br_600: speed = B600; return true;
    case TBaudRate::br_1200: speed = B1200; return true;
    case TBaudRate::br_2400: speed = B2400; return true;
    case TBaudRate::br_4800: speed = B4800; return true;
    case TBaudRate::br_9600: speed = B9600; return true;
    case TBaudRate::br_19200: speed = B19200; return true;
    case TBaudRate::br_38400: speed = B38400; return true;
    case TBaudRate::br_57600: speed = B57600; return true;
    case TBaudRate::br_115200: speed = B115200; return true;
  }
  return false;  // a stored ordinal outside the enumeration: keep the line's speed
}

bool IsNoModemError(int err) { return err == ENOTTY || err == EINVAL; }

}  // namespace

PosixSerialLine::~PosixSerialLine() { Close(); }

std::string DescribeOpenError(int err) {
  if (err == EACCES || err == EPERM) return "Permission denied: add your user to the dialout group";
  return std::strerror(err);
}

bool PosixSerialLine::Open(const std::string& path) {
  if (fd_ >= 0) Close();
  open_error_.clear();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    open_error_ = DescribeOpenError(errno);
    return false;
  }
  termios tio{};
  // TIOCEXCL refuses other openers; privileged ones pass it, so an advisory lock backs it up.
  if (!::isatty(fd) || ::tcgetattr(fd, &tio) != 0) {
    open_error_ = DescribeOpenError(ENOTTY);
    ::close(fd);
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    open_error_ = DescribeOpenError(EBUSY);  // another program has the port
    ::close(fd);
    return false;
  }
  int bits = 0;
  no_modem_lines_ = ::ioctl(fd, TIOCMGET, &bits) != 0 && IsNoModemError(errno);
  fd_ = fd;
  pending_.clear();
  // Raw at once, so nothing the meter sends in between is echoed or translated.
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~CRTSCTS;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  ::tcsetattr(fd_, TCSANOW, &tio);
  return true;
}

void PosixSerialLine::Close() {
  if (fd_ < 0) return;
  pending_.clear();
  // The exclusive flag stays on the tty while any other descriptor keeps it open (the virtual
  // meter keeps its side open), so clear it before closing.
  ::ioctl(fd_, TIOCNXCL);
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool PosixSerialLine::Apply(const LineSettings& s) {
  if (fd_ < 0) return false;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) return false;

  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IUCLC | IMAXBEL);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CRTSCTS | HUPCL);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;

  speed_t speed = 0;
  if (SpeedFor(s.BaudRate, speed) && (::cfsetispeed(&tio, speed) != 0 ||
                                      ::cfsetospeed(&tio, speed) != 0))
    return false;

  switch (s.Bits) {
    case TBits::bt_5: tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS5; break;
    case TBits::bt_6: tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS6; break;
    case TBits::bt_7: tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7; break;
    case TBits::bt_8: tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS8; break;
  }
  switch (s.StopBits) {
    case TStopBits::sb_1: tio.c_cflag &= ~CSTOPB; break;
    case TStopBits::sb_1_5: return false;  // termios has no 1.5 stop bits
    case TStopBits::sb_2: tio.c_cflag |= CSTOPB; break;
  }
  const tcflag_t parity_bits = PARENB | PARODD | CMSPAR;
  switch (s.Parity) {
    case TParity::pr_None: tio.c_cflag &= ~parity_bits; break;
    case TParity::pr_Odd: tio.c_cflag = (tio.c_cflag & ~parity_bits) | PARENB | PARODD; break;
    case TParity::pr_Even: tio.c_cflag = (tio.c_cflag & ~parity_bits) | PARENB; break;
    // With CMSPAR the parity bit is constant: PARODD gives mark (1), without it space (0).
    case TParity::pr_Mark:
      tio.c_cflag = (tio.c_cflag & ~parity_bits) | PARENB | CMSPAR | PARODD;
      break;
    case TParity::pr_Space: tio.c_cflag = (tio.c_cflag & ~parity_bits) | PARENB | CMSPAR; break;
  }

  // A pseudo-terminal always runs 8 data bits without parity (it forces them, and a request that
  // changes nothing else is refused); the odd and constant parity bits are kept as written.
  if (no_modem_lines_) tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB)) | CS8;

  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return false;
  // tcsetattr succeeds when any part was taken; the read-back shows what the driver refused.
  termios got{};
  if (::tcgetattr(fd_, &got) != 0) return false;
  const tcflag_t checked = CSTOPB | CRTSCTS | CSIZE | parity_bits;
  if ((got.c_cflag & checked) != (tio.c_cflag & checked)) return false;
  if (::cfgetospeed(&got) != ::cfgetospeed(&tio) || ::cfgetispeed(&got) != ::cfgetispeed(&tio))
    return false;
  if ((got.c_iflag & (IXON | IXOFF | INPCK | ISTRIP | ICRNL)) != 0) return false;
  if ((got.c_lflag & (ICANON | ECHO | ISIG)) != 0 || (got.c_oflag & OPOST) != 0) return false;
  return true;
}

bool PosixSerialLine::ModemBits(int bits, bool on) {
  if (fd_ < 0) return false;
  if (no_modem_lines_) return true;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return true;
  return IsNoModemError(errno);
}

bool PosixSerialLine::SetDTR(bool on) { return ModemBits(TIOCM_DTR, on); }
bool PosixSerialLine::SetRTS(bool on) { return ModemBits(TIOCM_RTS, on); }

bool PosixSerialLine::Purge() {
  if (fd_ < 0) return false;
  pending_.clear();
  return ::tcflush(fd_, TCIOFLUSH) == 0;
}

bool PosixSerialLine::PurgeOutput() {
  if (fd_ < 0) return false;
  pending_.clear();
  return ::tcflush(fd_, TCOFLUSH) == 0;
}

bool PosixSerialLine::Flush() {
  std::size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + done, pending_.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      break;
    } else {
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
      return false;
    }
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
  return true;
}

long PosixSerialLine::InQueue() {
  if (fd_ < 0) return -1;
  Flush();
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) return -1;
  return n;
}

long PosixSerialLine::OutQueue() {
  if (fd_ < 0) return -1;
  Flush();
  int n = 0;
  if (::ioctl(fd_, TIOCOUTQ, &n) != 0) return -1;
  return n + static_cast<long>(pending_.size());
}

bool PosixSerialLine::Write(const std::uint8_t* data, std::size_t count) {
  if (fd_ < 0) return false;
  if (count == 0) return Flush();
  if (data == nullptr) return false;
  if (!Flush()) return false;
  std::size_t done = 0;
  while (pending_.empty() && done < count) {
    const ssize_t n = ::write(fd_, data + done, count - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      break;
    } else {
      return false;
    }
  }
  if (done == count) return true;
  if (pending_.size() + (count - done) > kMaxPending) return false;
  pending_.insert(pending_.end(), data + done, data + count);
  return true;
}

long PosixSerialLine::Read(std::uint8_t* data, std::size_t capacity) {
  if (fd_ < 0 || data == nullptr) return -1;
  Flush();
  if (capacity == 0) return 0;
  for (;;) {
    const ssize_t n = ::read(fd_, data, capacity);
    // With VMIN and VTIME 0 a read of 0 means "nothing waiting", and also "hung up" (device
    // unplugged, far end of a pseudo-terminal closed); the latter is an error.
    if (n == 0) return FdHungUp(fd_) ? -1 : 0;
    if (n > 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

std::unique_ptr<SerialLine> CreatePosixSerialLine() { return std::make_unique<PosixSerialLine>(); }

SerialLineFactory PosixSerialLineFactory() {
  return [](const std::string&) { return CreatePosixSerialLine(); };
}

}  // namespace nord5
