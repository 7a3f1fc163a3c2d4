// nord5-cli log in real time against the virtual meter on a pseudo-terminal that this test runs
// itself, so it can keep the meter silent for chosen telegrams: the file's lines, the time-out
// and restart lines, the pause between readings, the end by SIGINT, and the refusals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/clock.h"
#include "sim/frame_reassembler.h"
#include "sim/telegram.h"
#include "sim/virtual_meter.h"

namespace nord5 {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
      .count();
}

// The virtual meter behind the master side of a pseudo-terminal, run by a thread of the test.
// `mute(n, telegram)` decides whether telegram number n (from 0) goes unanswered.
class PtyMeter {
 public:
  struct Seen {
    std::int64_t at;
    std::vector<std::uint8_t> telegram;
    bool answered;
    std::int64_t answered_at;
  };

  explicit PtyMeter(std::function<bool(int, const std::vector<std::uint8_t>&)> mute)
      : mute_(std::move(mute)), meter_({}, SystemClock::Instance()) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return;
    termios tio{};
    if (::tcgetattr(master_, &tio) == 0) {
      ::cfmakeraw(&tio);
      ::tcsetattr(master_, TCSANOW, &tio);
    }
    port = name;
    thread_ = std::thread([this] { Loop(); });
  }
  ~PtyMeter() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
  }
  std::vector<Seen> Telegrams() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

  std::string port;

 private:
  void Loop() {
    sim::FrameReassembler rx;
    std::uint8_t buf[512];
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      for (auto& t : rx.Feed(buf, static_cast<std::size_t>(n))) {
        Seen s{NowMs(), t, false, 0};
        const int index = static_cast<int>(Telegrams().size());
        if (!mute_(index, t)) {
          const sim::Bytes answer = meter_.Handle(t);
          if (!answer.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            [[maybe_unused]] const ssize_t w = ::write(master_, answer.data(), answer.size());
            s.answered = true;
            s.answered_at = NowMs();
          }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(std::move(s));
      }
    }
  }

  std::function<bool(int, const std::vector<std::uint8_t>&)> mute_;
  sim::VirtualMeter meter_;
  int master_ = -1;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<Seen> seen_;
};

bool IsLinkStart(const std::vector<std::uint8_t>& t) {
  return t.size() == 5 && t[0] == 0x10 && t[1] == 0x40;
}

class CliLogTest : public ::testing::Test {
 protected:
  CliLogTest() {
    dir_ = fs::path(::testing::TempDir()) / ("nord5_cli_log_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~CliLogTest() override { fs::remove_all(dir_); }

  // Starts nord5-cli with `args`; stderr goes to a file of the test.
  pid_t Start(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (dir_ / "stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (dir_ / "stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> all = {NORD5_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_DATA_HOME=" + dir_.string(), "HOME=" + dir_.string(),
                                    "XDG_RUNTIME_DIR=" + dir_.string(), "PATH=/usr/bin:/bin"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  // Waits up to `limit_ms` for the program; its exit status, or -1 (then it is killed).
  static int Wait(pid_t pid, int limit_ms) {
    int status = 0;
    for (int waited = 0; waited < limit_ms; waited += 20) {
      if (::waitpid(pid, &status, WNOHANG) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  std::string Read(const fs::path& p) const {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::vector<std::string> Lines(const fs::path& p) const {
    const std::string all = Read(p);
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < all.size()) {
      const std::size_t end = all.find("\r\n", at);
      if (end == std::string::npos) {
        ADD_FAILURE() << "a line without CR LF: " << all.substr(at);
        break;
      }
      out.push_back(all.substr(at, end - at));
      at = end + 2;
    }
    return out;
  }

  fs::path dir_;
};

// "yyyy-MM-dd HH:mm:ss" (quoted or not) as seconds of the day.
int SecondsOf(const std::string& line) {
  const std::size_t at = line[0] == '"' ? 1 : 0;
  return std::stoi(line.substr(at + 11, 2)) * 3600 + std::stoi(line.substr(at + 14, 2)) * 60 +
         std::stoi(line.substr(at + 17, 2));
}

TEST_F(CliLogTest, SilentSecondReadingGivesTimeoutsARestartAndTheReadingsGoOn) {
  // The second reading's link start-up and its nine repeats go unanswered.
  int link_starts = 0;
  int mute_from = -1;
  PtyMeter meter([&](int n, const std::vector<std::uint8_t>& t) {
    if (IsLinkStart(t) && ++link_starts == 2) mute_from = n;
    return mute_from >= 0 && n >= mute_from && n < mute_from + 10;
  });
  ASSERT_FALSE(meter.port.empty());
  const fs::path out = dir_ / "log.csv";
  const pid_t pid = Start({"log", "--port", meter.port, "--out", out.string(), "--interval", "2",
                           "--count", "3"});
  ASSERT_GT(pid, 0);
  ASSERT_EQ(Wait(pid, 60000), 0) << Read(dir_ / "stderr");

  const auto lines = Lines(out);
  ASSERT_EQ(lines.size(), 1u + 1u + 8u + 1u + 2u) << Read(out);
  EXPECT_EQ(lines[0].rfind("Time;DeviceID,;", 0), 0u);
  const std::size_t fields = std::count(lines[0].begin(), lines[0].end(), ';');
  for (std::size_t i : {1u, 11u, 12u}) {
    ASSERT_EQ(lines[i][0], '"') << lines[i];
    EXPECT_EQ(static_cast<std::size_t>(std::count(lines[i].begin(), lines[i].end(), ';')), fields);
    const std::string values = lines[i].substr(lines[i].find(';'));
    EXPECT_EQ(values.find_first_not_of(";-0123456789"), std::string::npos) << lines[i];
  }
  for (std::size_t i = 2; i < 10; ++i) EXPECT_EQ(lines[i].substr(20), "Timeout") << lines[i];
  EXPECT_EQ(lines[10].substr(20), "Repeat log command");
  EXPECT_NE(lines[2][0], '"');  // event lines are never quoted
  // Each data line is stamped when its reading came in: the second after the silent stretch.
  EXPECT_GE(SecondsOf(lines[11]) - SecondsOf(lines[1]), 12);
  EXPECT_LE(SecondsOf(lines[12]) - SecondsOf(lines[11]), 4);

  // On the line: the unanswered telegrams about 1 s apart, and 2 s from the end of one reading
  // to the start of the next (plus the 100 ms before an exchange's first telegram).
  const auto seen = meter.Telegrams();
  ASSERT_GE(mute_from, 1);
  ASSERT_GE(seen.size(), static_cast<std::size_t>(mute_from + 11));
  for (int i = mute_from + 1; i < mute_from + 10; ++i) {
    const auto gap = seen[static_cast<std::size_t>(i)].at - seen[static_cast<std::size_t>(i - 1)].at;
    EXPECT_GE(gap, 950) << i;
    EXPECT_LE(gap, 1250) << i;
  }
  const auto& last_of_first = seen[static_cast<std::size_t>(mute_from - 1)];
  ASSERT_TRUE(last_of_first.answered);
  const auto pause = seen[static_cast<std::size_t>(mute_from)].at - last_of_first.answered_at;
  EXPECT_GE(pause, 2000);
  EXPECT_LE(pause, 2500);
  // The restart after the repeat limit begins with the link start-up again.
  EXPECT_TRUE(IsLinkStart(seen[static_cast<std::size_t>(mute_from + 10)].telegram));
}

TEST_F(CliLogTest, SigintEndsBetweenLines) {
  PtyMeter meter([](int, const std::vector<std::uint8_t>&) { return false; });
  ASSERT_FALSE(meter.port.empty());
  const fs::path out = dir_ / "log.txt";
  const pid_t pid = Start({"log", "--port", meter.port, "--out", out.string(), "--no-select"});
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 300 && Lines(out).size() < 3; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::kill(pid, SIGINT);
  EXPECT_EQ(Wait(pid, 3000), 0);
  const auto lines = Lines(out);
  ASSERT_GE(lines.size(), 3u);
  // Without "Always select data" only the first reading starts with the link start-up.
  int starts = 0;
  for (const auto& s : meter.Telegrams()) starts += IsLinkStart(s.telegram);
  EXPECT_EQ(starts, 1);
}

TEST_F(CliLogTest, RefusalsAndUsage) {
  const fs::path out = dir_ / "old.csv";
  { std::ofstream(out) << "old\r\n"; }
  pid_t pid = Start({"log", "--port", "/nonexistent-port", "--out", out.string()});
  EXPECT_EQ(Wait(pid, 10000), 4);
  EXPECT_NE(Read(dir_ / "stderr").find("exists"), std::string::npos);
  EXPECT_EQ(Read(out), "old\r\n");
  // A folder is never rewritten.
  pid = Start({"log", "--port", "/nonexistent-port", "--out", dir_.string(), "--overwrite"});
  EXPECT_EQ(Wait(pid, 10000), 4);
  EXPECT_TRUE(fs::is_directory(dir_));
  // --overwrite starts afresh; the port that is missing ends it with its message.
  pid = Start({"log", "--port", "/nonexistent-port", "--out", out.string(), "--overwrite"});
  EXPECT_EQ(Wait(pid, 10000), 2);
  EXPECT_NE(Read(dir_ / "stderr").find("Can't open COM port"), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"log"},
           {"log", "--out", (dir_ / "n.csv").string(), "--interval", "0"},
           {"log", "--out", (dir_ / "n.csv").string(), "--interval", "1.5"},
           {"log", "--out", (dir_ / "n.csv").string(), "--count", "-1"},
           {"log", "--out", (dir_ / "n.csv").string(), "--bogus"}}) {
    pid = Start(args);
    EXPECT_EQ(Wait(pid, 10000), 1) << args.size();
  }
  EXPECT_FALSE(fs::exists(dir_ / "n.csv"));
}

}  // namespace
}  // namespace nord5
