// nord5-meter-sim as a plain M-Bus master sees it: the program is started, its printed port is
// opened with termios, and the link it publishes goes away when it is stopped.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/crc.h"
#include "sim/meter_memory.h"
#include "sim/telegram.h"
#include "sim_test_util.h"

#ifdef NORD5_METER_SIM

namespace nord5::sim {
namespace {

using testing::Hex;
using testing::MemoryReadTelegram;

using Steady = std::chrono::steady_clock;

int MsLeft(Steady::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads from `fd` until `done` says the bytes are complete or the deadline passes.
template <typename Done>
std::string ReadUntil(int fd, int timeout_ms, Done done) {
  std::string got;
  const auto deadline = Steady::now() + std::chrono::milliseconds(timeout_ms);
  while (!done(got)) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, MsLeft(deadline)) <= 0) break;
    char buf[512];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

// E5h alone, or a long frame as long as its L field says.
bool AnswerComplete(const std::string& s) {
  if (s.empty()) return false;
  if (static_cast<std::uint8_t>(s[0]) == 0xE5) return true;
  if (s.size() < 2) return false;
  return s.size() >= static_cast<std::uint8_t>(s[1]) + 6u;
}

class MeterProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/nord5-sim-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    runtime_ = dir;
    // A link left by a simulator that was killed (its process is gone) is cleared at start.
    ASSERT_EQ(mkdir((runtime_ + "/nord5-ports").c_str(), 0700), 0);
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    stale_ = runtime_ + "/nord5-ports/nord5-meter-" + std::to_string(gone);
    ASSERT_EQ(symlink("/dev/pts/999", stale_.c_str()), 0);
    Start({}, pid_, out_, port_);
  }

  // Starts a simulator with `args`; its printed port in `port` (empty when none came).
  void Start(const std::vector<std::string>& args, pid_t& pid, int& out_fd, std::string& port) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(NORD5_METER_SIM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(NORD5_METER_SIM, argv.data());
      _exit(127);
    }
    close(out[1]);
    out_fd = out[0];
    const std::string line =
        ReadUntil(out_fd, 5000, [](const std::string& s) { return s.find('\n') != s.npos; });
    ASSERT_NE(line.find('\n'), std::string::npos) << "no port printed";
    port = line.substr(0, line.find('\n'));
  }

  static void Stop(pid_t& pid, int& out_fd, int signal) {
    if (pid > 0) {
      kill(pid, signal);
      waitpid(pid, nullptr, 0);
    }
    pid = -1;
    if (out_fd >= 0) close(out_fd);
    out_fd = -1;
  }

  // Where the published name `name` points, or "" when there is no such link.
  std::string Target(const std::string& name) const {
    char target[256] = {};
    const std::string path = runtime_ + "/nord5-ports/" + name;
    if (readlink(path.c_str(), target, sizeof target - 1) <= 0) return {};
    return target;
  }

  void TearDown() override {
    Stop(pid_, out_, SIGKILL);
    if (fd_ >= 0) close(fd_);
    unlink(stale_.c_str());
    const std::string ports = runtime_ + "/nord5-ports";
    if (DIR* d = opendir(ports.c_str())) {  // links and locks of killed simulators
      while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.' || std::strlen(e->d_name) > 2)
          unlink((ports + "/" + e->d_name).c_str());
      closedir(d);
    }
    rmdir(ports.c_str());
    rmdir(runtime_.c_str());
  }

  void OpenPort() {
    fd_ = open(port_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd_, 0) << port_;
    termios t{};
    ASSERT_EQ(tcgetattr(fd_, &t), 0);
    cfmakeraw(&t);
    cfsetispeed(&t, B2400);
    cfsetospeed(&t, B2400);
    t.c_cflag |= CLOCAL | CREAD;
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0) << std::strerror(errno);
    // Even parity as on a real M-Bus line; a pseudo-terminal may refuse it, which is harmless.
    t.c_cflag |= PARENB;
    tcsetattr(fd_, TCSANOW, &t);
  }

  Bytes Exchange(const Bytes& telegram) {
    EXPECT_EQ(write(fd_, telegram.data(), telegram.size()), static_cast<ssize_t>(telegram.size()));
    const std::string got = ReadUntil(fd_, 3000, AnswerComplete);
    return Bytes(got.begin(), got.end());
  }

  std::string LinkPath() const { return runtime_ + "/nord5-ports/nord5-meter-1"; }

  std::string runtime_, port_, stale_;
  pid_t pid_ = -1;
  int out_ = -1, fd_ = -1;
};

TEST_F(MeterProgram, AnswersAPlainMasterAndRemovesItsLinkOnSigterm) {
  EXPECT_EQ(port_.rfind("/dev/pts/", 0), 0u) << port_;
  char target[256] = {};
  ASSERT_GT(readlink(LinkPath().c_str(), target, sizeof target - 1), 0) << LinkPath();
  EXPECT_EQ(std::string(target), port_);
  struct stat st {};
  EXPECT_NE(lstat(stale_.c_str(), &st), 0) << "stale link removed";

  OpenPort();
  EXPECT_EQ(Exchange(Hex("10 40 FE 3E 16")), Bytes{0xE5});

  const Bytes data = Exchange(Hex("10 7B FE 79 16"));
  Frame f;
  ASSERT_TRUE(ParseFrame(data.data(), data.size(), f)) << HexString(data.data(), data.size());
  EXPECT_EQ(f.ci, 0x72);

  const Bytes mem = Exchange(MemoryReadTelegram(0xFE, 0x1000, 64));
  ASSERT_EQ(mem.size(), 74u);
  ASSERT_TRUE(ParseFrame(mem.data(), mem.size(), f));
  const MeterImage expected = DefaultMeterImage(kFirmware17042702);
  EXPECT_EQ(0, std::memcmp(mem.data() + 8, expected.CfgBlock(), 64));

  // The port survives the master going away and coming back.
  close(fd_);
  fd_ = -1;
  OpenPort();
  EXPECT_EQ(Exchange(Hex("10 40 FE 3E 16")), Bytes{0xE5});

  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  ReadUntil(out_, 5000, [](const std::string&) { return false; });  // until stdout closes
  int status = 0;
  ASSERT_EQ(waitpid(pid_, &status, 0), pid_);
  pid_ = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(lstat(LinkPath().c_str(), &st), 0) << "the published link is gone";
}

TEST_F(MeterProgram, PublishesAStableNameThatOutlivesARestart) {
  // The first simulator holds nord5-meter-1; the next ones take the first free number.
  EXPECT_EQ(Target("nord5-meter-1"), port_);
  pid_t second = -1, third = -1, named = -1;
  int second_out = -1, third_out = -1, named_out = -1;
  std::string second_port, third_port, named_port;
  Start({}, second, second_out, second_port);
  EXPECT_EQ(Target("nord5-meter-2"), second_port);
  // Killed, the first leaves its link behind; a new start takes its name over again.
  Stop(pid_, out_, SIGKILL);
  Start({}, third, third_out, third_port);
  EXPECT_EQ(Target("nord5-meter-1"), third_port);
  EXPECT_EQ(Target("nord5-meter-2"), second_port);
  // A name given with --link is published as it is, and only once.
  Start({"--link", "bench-meter"}, named, named_out, named_port);
  EXPECT_EQ(Target("bench-meter"), named_port);
  EXPECT_EQ(Target("nord5-meter-3"), "");
  int status = 0;
  const pid_t clash = fork();
  if (clash == 0) {
    setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    execl(NORD5_METER_SIM, NORD5_METER_SIM, "--link", "bench-meter", static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_EQ(waitpid(clash, &status, 0), clash);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "the name is taken";
  EXPECT_EQ(Target("bench-meter"), named_port);
  Stop(named, named_out, SIGTERM);
  EXPECT_EQ(Target("bench-meter"), "");
  Stop(second, second_out, SIGTERM);
  Stop(third, third_out, SIGTERM);
}

}  // namespace
}  // namespace nord5::sim

#endif  // NORD5_METER_SIM
