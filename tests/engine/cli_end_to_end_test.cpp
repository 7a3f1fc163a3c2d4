// nord5-cli against nord5-meter-sim on a pseudo-terminal, in real time: a configuration written
// from a file comes back unchanged from a read, and the trace shows the read's chain of telegrams
// with about 100 ms after each answer. Takes a few seconds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sim/meter_memory.h"

extern char** environ;

namespace nord5::test {
namespace {

namespace fs = std::filesystem;

#ifdef NORD5_BIN_DIR
const fs::path kBin = NORD5_BIN_DIR;
#else
const fs::path kBin;
#endif

std::vector<std::uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The simulator, started by this test and stopped by its process id.
class Simulator {
 public:
  Simulator(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> all = {(kBin / "nord5-meter-sim").string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    // The first line is the port path.
    std::string line;
    for (;;) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      char c;
      if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    out_ = fds[0];
    port = line;
  }
  ~Simulator() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  std::string port;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

struct TraceLine {
  long ms;
  bool tx;
  std::string hex;
};

std::vector<TraceLine> ParseTrace(const fs::path& p) {
  std::vector<TraceLine> out;
  std::ifstream in(p);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    TraceLine t;
    std::string dir;
    if (!(s >> t.ms >> dir) || (dir != "TX" && dir != "RX")) continue;
    t.tx = dir == "TX";
    std::getline(s, t.hex);
    if (!t.hex.empty() && t.hex[0] == ' ') t.hex.erase(0, 1);
    out.push_back(t);
  }
  return out;
}

int RunCli(const std::string& args, const fs::path& err) {
  const std::string command =
      "'" + (kBin / "nord5-cli").string() + "' " + args + " 2> '" + err.string() + "'";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliEndToEnd, WriteConfigurationThenReadItBack) {
  if (kBin.empty() || !fs::exists(kBin / "nord5-cli") || !fs::exists(kBin / "nord5-meter-sim"))
    GTEST_SKIP() << "nord5-cli and nord5-meter-sim are not built";
  const fs::path dir = fs::temp_directory_path() / ("nord5-cli-e2e-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);

  // The meter starts from F0; F2 differs from it in both blocks.
  MeterImage f0 = sim::DefaultMeterImage(kFirmware17042702);
  f0.SetCfg<std::uint32_t>(220, 0x11223344);
  RefreshInnerCrcs(f0);
  ASSERT_TRUE(sim::SaveMeterImageFile((dir / "F0").string(), f0));
  MeterImage f2 = f0;
  f2.SetCfg<std::uint16_t>(148, 0xBEEF);
  f2.SetCoef<float>(8, 2.25f);
  RefreshInnerCrcs(f2);
  ASSERT_TRUE(sim::SaveMeterImageFile((dir / "F2").string(), f2));

  Simulator meter({"--image", (dir / "F0").string()});
  ASSERT_FALSE(meter.port.empty());

  EXPECT_EQ(RunCli("write-config --port '" + meter.port + "' --in '" + (dir / "F2").string() + "'",
                   dir / "write.err"),
            0)
      << ReadAll(dir / "write.err").size();
  EXPECT_EQ(RunCli("read-config --trace --port '" + meter.port + "' --out '" +
                       (dir / "F3").string() + "'",
                   dir / "read.err"),
            0);

  // Firmware version, both blocks and the image check sum.
  EXPECT_EQ(ReadAll(dir / "F3"), ReadAll(dir / "F2"));

  const auto trace = ParseTrace(dir / "read.err");
  std::vector<std::string> tx;
  for (const auto& t : trace)
    if (t.tx) tx.push_back(t.hex);
  const std::vector<std::string> road = {
      "10 40 FE 3E 16",
      "68 03 03 68 73 FE 50 C1 16",
      "68 06 06 68 73 FE 51 08 FF 0E D7 16",
      "10 7B FE 79 16",
      "68 03 03 68 73 FE 50 C1 16",
      "68 04 04 68 73 FE 50 50 11 16",
      "10 7B FE 79 16",
      "68 03 03 68 73 FE 50 C1 16",
      "10 7B FE 79 16",
      "68 0A 0A 68 73 FE A1 0F 00 01 33 00 01 00 56 16",
      "68 0A 0A 68 73 FE A1 0F 00 40 00 10 00 00 71 16",
  };
  ASSERT_EQ(tx.size(), 22u);
  EXPECT_EQ(std::vector<std::string>(tx.begin(), tx.begin() + 11), road);
  EXPECT_EQ(tx.back(), "68 0A 0A 68 73 FE A1 0F 00 26 C0 FD 00 00 04 16");
  // About 100 ms of silence after each answer before the next telegram.
  long last_rx = -1;
  for (const auto& t : trace) {
    if (!t.tx) {
      last_rx = t.ms;
    } else if (last_rx >= 0) {
      EXPECT_GE(t.ms - last_rx, 95) << t.hex;
      EXPECT_LE(t.ms - last_rx, 250) << t.hex;
    }
  }
  fs::remove_all(dir);
}

// Every status but 0 comes with its reason on stderr: a meter that acknowledges data requests
// with E5h only takes the write, but the read-back ends without data. Memory addresses take the
// usual 0x prefix.
TEST(CliEndToEnd, FailuresSayWhyAndAddressesTakeTheHexPrefix) {
  if (kBin.empty() || !fs::exists(kBin / "nord5-cli") || !fs::exists(kBin / "nord5-meter-sim"))
    GTEST_SKIP() << "nord5-cli and nord5-meter-sim are not built";
  const fs::path dir =
      fs::temp_directory_path() / ("nord5-cli-reasons-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
  ASSERT_TRUE(sim::SaveMeterImageFile((dir / "F0").string(),
                                      sim::DefaultMeterImage(kFirmware17042702)));
  {
    Simulator meter({"--ack-data"});
    ASSERT_FALSE(meter.port.empty());
    const std::string port = " --port '" + meter.port + "'";
    EXPECT_EQ(RunCli("write-config" + port + " --in '" + (dir / "F0").string() + "'",
                     dir / "write.err"),
              3);
    const auto write_err = ReadAll(dir / "write.err");
    EXPECT_NE(std::string(write_err.begin(), write_err.end()).find("configuration was written"),
              std::string::npos);
    EXPECT_EQ(RunCli("read-config" + port + " --out '" + (dir / "F1").string() + "'",
                     dir / "read.err"),
              3);
    EXPECT_FALSE(ReadAll(dir / "read.err").empty());
    EXPECT_FALSE(fs::exists(dir / "F1"));
  }
  Simulator meter({});
  ASSERT_FALSE(meter.port.empty());
  const std::string port = " --port '" + meter.port + "'";
  const struct {
    const char* args;
    const char* out;
  } reads[] = {
      {"read-memory 0x10033", "34\n"},  // the mode byte of manufacturer mode 22h, in decimal
      {"read-memory 0X10033 --hex", "22\n"},
      {"read-memory 10033 --hex", "22\n"},
      {"read-memory 65587", "34\n"},
  };
  for (const auto& r : reads) {
    EXPECT_EQ(RunCli(std::string(r.args) + port + " > '" + (dir / "out").string() + "'",
                     dir / "err"),
              0)
        << r.args;
    const auto out = ReadAll(dir / "out");
    EXPECT_EQ(std::string(out.begin(), out.end()), r.out) << r.args;
  }
  fs::remove_all(dir);
}

// Items the meter must not be given are refused before a port is opened (status 4); the port
// named does not exist, so an item let through shows as status 2 instead.
TEST(CliEndToEnd, SetCommandsRefuseWhatTheWindowFieldsCannotHold) {
  if (kBin.empty() || !fs::exists(kBin / "nord5-cli")) GTEST_SKIP() << "nord5-cli is not built";
  const fs::path dir =
      fs::temp_directory_path() / ("nord5-cli-refusals-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
  struct Case {
    const char* args;
    int status;
  };
  const std::vector<Case> cases = {
      {"set-address 250", 2},       {"set-address 251", 4},      {"set-address 255", 4},
      {"set-id 12345678", 2},       {"set-id 1234567A", 4},      {"set-id FFFFFFFF", 4},
      {"set-id 123456789", 4},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RunCli(std::string(c.args) + " --port /nonexistent-nord5-port", dir / "err"), c.status)
        << c.args;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace nord5::test
