// nord5-cli scan against nord5-meter-sim with five meters on one pseudo-terminal, in real time:
// two meters share a primary address, two the leading six digits of their identification. The
// simulator answers 20 ms after a telegram, so the scans wait 120 ms for an answer (room for a
// slow sanitizer build on a busy machine) instead of the
// EN 13757-2 time of a real line (about 260 ms a telegram, half a minute for the secondary search).
// The plain scan runs on a second bus meanwhile; the secondary search follows the primary scan on
// the same bus, so it starts with a meter the primary scan left selected.
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
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace nord5 {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFiveMeters = "55500011:1,55500012:2,12345678:3,87654321:3,31415926:7";
constexpr const char* kShortWait = " --wait 120";

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A private data and runtime folder for the programs of one test.
class ScanCliTest : public ::testing::Test {
 protected:
  ScanCliTest() {
    dir_ = fs::temp_directory_path() / ("nord5-scan-cli-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "run");
    ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
  }
  ~ScanCliTest() override {
    StopSimulators();
    fs::remove_all(dir_);
  }

  // Starts nord5-meter-sim and returns its port (the first line it prints).
  std::string StartSimulator(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> all = {NORD5_METER_SIM};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    std::string line;
    for (;;) {
      pollfd p{fds[0], POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) break;
      char c;
      if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    sims_.push_back({pid, fds[0]});
    return line;
  }
  void StopSimulators() {
    for (const Sim& sim : sims_) {
      if (sim.pid > 0) {
        ::kill(sim.pid, SIGTERM);
        int status = 0;
        ::waitpid(sim.pid, &status, 0);
      }
      ::close(sim.out);
    }
    sims_.clear();
  }

  struct Result {
    int status = -1;
    std::string out, err;
  };
  // `name` keeps the output of programs that run at once apart.
  Result Cli(const std::string& args, const std::string& name = "cli") {
    const fs::path out = dir_ / (name + ".out"), err = dir_ / (name + ".err");
    const std::string command = std::string("'") + NORD5_CLI + "' " + args + " > '" +
                                out.string() + "' 2> '" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
  }

  struct Sim {
    pid_t pid;
    int out;  // its standard output
  };
  fs::path dir_;
  std::vector<Sim> sims_;
};

TEST_F(ScanCliTest, PrimaryAndSecondaryScansOfFiveMetersAsJson) {
  const std::string port = StartSimulator({"--meters", kFiveMeters});
  ASSERT_FALSE(port.empty());
  const std::string other_port = StartSimulator({"--meters", kFiveMeters});
  ASSERT_FALSE(other_port.empty());
  Result primary, secondary, plain;
  {
    std::thread other([&] {
      plain = Cli("scan --port '" + other_port + "' --primary 3-3 --secondary 5550001F" +
                      kShortWait,
                  "plain");
    });
    primary = Cli("scan --port '" + port + "' --primary 0-9 --json" + kShortWait, "primary");
    secondary = Cli("scan --secondary --json --port '" + port + "'" + kShortWait, "secondary");
    other.join();
  }

  Result r = primary;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "[\n"
            "  {\"address\": 1, \"id\": \"55500011\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 2, \"id\": \"55500012\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 3, \"collision\": true},\n"
            "  {\"address\": 7, \"id\": \"31415926\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4}\n"
            "]\n");

  r = secondary;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "[\n"
            "  {\"address\": 3, \"id\": \"12345678\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 7, \"id\": \"31415926\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 1, \"id\": \"55500011\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 2, \"id\": \"55500012\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4},\n"
            "  {\"address\": 3, \"id\": \"87654321\", \"manufacturer\": \"VMX\", \"version\": 8, "
            "\"medium\": 4}\n"
            "]\n");

  // The plain form: one line per meter, the collision named; a mask narrows the search.
  r = plain;
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> lines = {
      "address 3  collision: more than one meter answers",
      "address 1  id 55500011  manufacturer VMX  version 8  medium 4  access ",
      "address 2  id 55500012  manufacturer VMX  version 8  medium 4  access ",
  };
  std::size_t at = 0;
  for (const auto& l : lines) {
    const std::size_t found = r.out.find(l, at);
    ASSERT_NE(found, std::string::npos) << l << "\n" << r.out;
    at = found + l.size();
  }
}

TEST_F(ScanCliTest, RefusesWhatItCannotScan) {
  struct Case {
    const char* args;
    int status;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"scan --primary 5-300", 1, "--primary takes FROM-TO"},
      {"scan --primary 9-3", 1, "--primary takes FROM-TO"},
      {"scan --secondary 1234", 1, "--secondary takes eight characters"},
      {"scan --secondary 1234567A", 1, "--secondary takes eight characters"},
      {"scan --address 3", 1, "--address does not apply"},
      {"scan --id 12345678", 1, "--id does not apply"},
      {"scan --wait 19", 1, "--wait takes milliseconds, 20 to 10000"},
      {"scan --wait 10001", 1, "--wait takes milliseconds, 20 to 10000"},
      {"scan --wait 40ms", 1, "--wait takes milliseconds, 20 to 10000"},
      {"scan --bogus", 1, "unknown option"},
      {"scan --port /nonexistent-nord5-port", 2, "Can't open COM port"},
      {"scan --json --port /nonexistent-nord5-port", 2, "Can't open COM port"},
  };
  for (const Case& c : cases) {
    const Result r = Cli(c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
  }
}

}  // namespace
}  // namespace nord5
