// The termios line over a real pseudo-terminal pair: the test holds the master side, the line
// under test opens the slave by its path.
#include "transport/platform/posix_serial_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "temp_dir.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"

namespace nord5 {
namespace {

class PtyLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(::grantpt(master_), 0);
    ASSERT_EQ(::unlockpt(master_), 0);
    slave_path_ = ::ptsname(master_);
  }
  void TearDown() override {
    if (master_ >= 0) ::close(master_);
  }

  // Waits (bounded) until `fd` is readable; the pty moves bytes to the other side asynchronously.
  static bool WaitReadable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1 && (p.revents & POLLIN) != 0;
  }
  std::vector<std::uint8_t> ReadMaster(std::size_t want) {
    std::vector<std::uint8_t> got;
    std::uint8_t buf[4096];
    while (got.size() < want && WaitReadable(master_)) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  int master_ = -1;
  std::string slave_path_;
};

TEST_F(PtyLineTest, AppliesEverySettingInRawModeWithoutFlowControl) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  EXPECT_TRUE(line.NoModemLines());

  struct Case {
    LineSettings settings;
    speed_t speed;
    bool two_stop;
    tcflag_t parity_flags;  // PARODD | CMSPAR as they must read back
  };
  // A pseudo-terminal always reports 8 data bits without parity enable; the odd and constant
  // parity bits are kept as written and show which parity was chosen.
  const Case cases[] = {
      {{TBaudRate::br_2400, TBits::bt_8, TStopBits::sb_1, TParity::pr_Even}, B2400, false, 0},
      {{TBaudRate::br_300, TBits::bt_7, TStopBits::sb_2, TParity::pr_Odd}, B300, true, PARODD},
      {{TBaudRate::br_9600, TBits::bt_5, TStopBits::sb_1, TParity::pr_Mark},
       B9600,
       false,
       PARODD | CMSPAR},
      {{TBaudRate::br_115200, TBits::bt_8, TStopBits::sb_2, TParity::pr_Space},
       B115200,
       true,
       CMSPAR},
      {{TBaudRate::br_57600, TBits::bt_6, TStopBits::sb_1, TParity::pr_None}, B57600, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.settings.BaudRate));
    ASSERT_TRUE(line.Apply(c.settings));
    termios t{};
    ASSERT_EQ(::tcgetattr(master_, &t), 0);  // the slave's settings
    EXPECT_EQ(::cfgetospeed(&t), c.speed);
    EXPECT_EQ(::cfgetispeed(&t), c.speed);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.two_stop);
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parity_flags);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
  }
}

TEST_F(PtyLineTest, RefusesOneAndAHalfStopBitsAndKeepsUnknownOrdinalsAsTheLineHasThem) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  LineSettings s;
  s.BaudRate = TBaudRate::br_4800;
  ASSERT_TRUE(line.Apply(s));

  s.StopBits = TStopBits::sb_1_5;
  EXPECT_FALSE(line.Apply(s));

  s.StopBits = TStopBits::sb_1;
  s.BaudRate = static_cast<TBaudRate>(42);  // a stored ordinal outside the enumeration
  EXPECT_TRUE(line.Apply(s));
  termios t{};
  ASSERT_EQ(::tcgetattr(master_, &t), 0);
  EXPECT_EQ(::cfgetospeed(&t), B4800);
}

TEST_F(PtyLineTest, OpensExclusivelyUntilClosed) {
  PosixSerialLine first, second;
  ASSERT_TRUE(first.Open(slave_path_));
  EXPECT_FALSE(second.Open(slave_path_));
  EXPECT_FALSE(second.Open(slave_path_));
  first.Close();
  EXPECT_FALSE(first.IsOpen());
  EXPECT_EQ(first.InQueue(), -1);
  EXPECT_FALSE(first.Write(reinterpret_cast<const std::uint8_t*>("x"), 1));
  EXPECT_TRUE(second.Open(slave_path_));
}

TEST_F(PtyLineTest, OpenFailsForWhatIsNotATerminal) {
  test::TempDir dir;
  std::ofstream(dir / "plain") << "x";
  PosixSerialLine line;
  EXPECT_FALSE(line.Open(dir / "plain"));
  EXPECT_FALSE(line.Open(dir / "missing"));
  EXPECT_FALSE(line.IsOpen());
}

// What the user reads under "Can't open COM port".
TEST_F(PtyLineTest, OpenErrorGivesTheReason) {
  test::TempDir dir;
  std::ofstream(dir / "plain") << "x";
  PosixSerialLine first, second;
  ASSERT_TRUE(first.Open(slave_path_));
  EXPECT_EQ(first.OpenError(), "");
  EXPECT_FALSE(second.Open(slave_path_));
  EXPECT_EQ(second.OpenError(), std::strerror(EBUSY));
  EXPECT_FALSE(second.Open(dir / "missing"));
  EXPECT_EQ(second.OpenError(), std::strerror(ENOENT));
  EXPECT_FALSE(second.Open(dir / "plain"));
  EXPECT_EQ(second.OpenError(), std::strerror(ENOTTY));
  first.Close();
  EXPECT_TRUE(second.Open(slave_path_));
  EXPECT_EQ(second.OpenError(), "");

  // Serial ports belong to the group dialout; root passes every permission check, so the words
  // for a refusal are checked directly.
  for (int err : {EACCES, EPERM})
    EXPECT_EQ(DescribeOpenError(err), "Permission denied: add your user to the dialout group");
  EXPECT_EQ(DescribeOpenError(EIO), std::strerror(EIO));
}

TEST_F(PtyLineTest, SendsAndReceivesBothWaysAndIgnoresModemLines) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  ASSERT_TRUE(line.Apply(LineSettings{}));
  EXPECT_TRUE(line.SetDTR(true));
  EXPECT_TRUE(line.SetRTS(false));

  // Bytes that a cooked terminal would translate or swallow: CR, LF, XON/XOFF, ^C, DEL.
  const std::vector<std::uint8_t> out = {0x10, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x16};
  ASSERT_TRUE(line.Write(out.data(), out.size()));
  EXPECT_EQ(ReadMaster(out.size()), out);

  const std::vector<std::uint8_t> in = {0xE5, 0x0D, 0x00, 0x13, 0x68};
  ASSERT_EQ(::write(master_, in.data(), in.size()), static_cast<ssize_t>(in.size()));
  ASSERT_TRUE(WaitReadable(line.PollFd()));
  EXPECT_EQ(line.InQueue(), static_cast<long>(in.size()));
  std::vector<std::uint8_t> got(64);
  const long n = line.Read(got.data(), got.size());
  ASSERT_EQ(n, static_cast<long>(in.size()));
  got.resize(static_cast<std::size_t>(n));
  EXPECT_EQ(got, in);
  EXPECT_EQ(line.Read(got.data(), got.size()), 0);  // nothing waiting: no blocking
}

TEST_F(PtyLineTest, AWriteLargerThanTheDriverTakesGoesOutLaterInOrder) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  ASSERT_TRUE(line.Apply(LineSettings{}));
  std::vector<std::uint8_t> big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  const std::vector<std::uint8_t> tail = {0xAA, 0xBB, 0xCC};

  ASSERT_TRUE(line.Write(big.data(), big.size()));  // returns at once
  EXPECT_GT(line.OutQueue(), 0);                    // the rest is kept
  ASSERT_TRUE(line.Write(tail.data(), tail.size()));

  std::vector<std::uint8_t> got;
  std::uint8_t buf[8192];
  const std::size_t want = big.size() + tail.size();
  while (got.size() < want) {
    line.OutQueue();  // hands over what is kept, as the driver's tick does
    if (!WaitReadable(master_)) break;
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) break;
    got.insert(got.end(), buf, buf + n);
  }
  std::vector<std::uint8_t> expected = big;
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(line.OutQueue(), 0);
}

TEST_F(PtyLineTest, PurgeDropsWaitingAndKeptBytes) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  ASSERT_TRUE(line.Apply(LineSettings{}));
  const std::uint8_t in[] = {1, 2, 3, 4};
  ASSERT_EQ(::write(master_, in, sizeof in), 4);
  ASSERT_TRUE(WaitReadable(line.PollFd()));
  ASSERT_GT(line.InQueue(), 0);
  std::vector<std::uint8_t> big(200000, 0x55);
  ASSERT_TRUE(line.Write(big.data(), big.size()));
  ASSERT_GT(line.OutQueue(), 0);

  EXPECT_TRUE(line.Purge());
  EXPECT_EQ(line.InQueue(), 0);
  EXPECT_EQ(line.OutQueue(), 0);
  std::uint8_t buf[16];
  EXPECT_EQ(line.Read(buf, sizeof buf), 0);

  ASSERT_TRUE(line.Write(big.data(), big.size()));
  EXPECT_TRUE(line.PurgeOutput());
  EXPECT_EQ(line.OutQueue(), 0);
}

TEST_F(PtyLineTest, ReadReportsAnErrorWhenTheOtherSideHasGone) {
  PosixSerialLine line;
  ASSERT_TRUE(line.Open(slave_path_));
  ::close(master_);
  master_ = -1;
  std::uint8_t buf[16];
  EXPECT_EQ(line.Read(buf, sizeof buf), -1);
  line.Close();
  EXPECT_FALSE(line.IsOpen());
}

// The driver on the real line, woken by the descriptor as the desktop program does it: the M-Bus
// line format must be accepted by a pseudo-terminal (the virtual meter runs on one).
TEST_F(PtyLineTest, DriverExchangesATelegramOverThePseudoTerminal) {
  test::TempDir dir;
  SetSettingsFileForTesting(dir / "settings.ini");
  ManualClock clock;
  ManualTimers timers(clock);
  PortDiscovery where;
  where.SysTtyRoot = dir / "none";
  where.WithVirtualPorts = false;
  auto list = std::make_unique<TPortList>(where);
  list->AddExtraPort(slave_path_);
  {
    TCommPort port(clock, timers, PosixSerialLineFactory(), std::move(list));
    port.SetPort(slave_path_);
    port.SetTickMode(TCommPort::TickMode::OnDemand);
    std::vector<std::uint8_t> received;
    port.SetCommEvent([&](TCommPort&, const std::uint8_t* d, std::size_t n) {
      received.insert(received.end(), d, d + n);
      return 0;
    });
    ASSERT_TRUE(port.Open());
    ASSERT_GE(port.PollFd(), 0);

    const std::vector<std::uint8_t> snd_nke = {0x10, 0x40, 0xFE, 0x3E, 0x16};
    ASSERT_TRUE(port.OutPort(snd_nke.data(), snd_nke.size()));
    EXPECT_EQ(ReadMaster(snd_nke.size()), snd_nke);

    const std::uint8_t ack = 0xE5;
    ASSERT_EQ(::write(master_, &ack, 1), 1);
    ASSERT_TRUE(WaitReadable(port.PollFd()));
    port.Tick();
    EXPECT_EQ(received, std::vector<std::uint8_t>{0xE5});

    port.Close();
    EXPECT_EQ(port.PollFd(), -1);
  }
  SetSettingsFileForTesting("");
}

}  // namespace
}  // namespace nord5
