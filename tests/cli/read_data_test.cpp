// nord5-cli read-data against nord5-meter-sim on a pseudo-terminal, in real time: the telegrams
// of an hourly reading, the grid as JSON and CSV, the report, a lost answer and an interrupted
// endless reading. Takes a few seconds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace nord5 {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const fs::path& out, const fs::path& err) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> a = args, e = env;
  std::vector<char*> argv, envp;
  for (auto& s : a) argv.push_back(s.data());
  argv.push_back(nullptr);
  for (auto& s : e) envp.push_back(s.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class ReadDataTest : public ::testing::Test {
 protected:
  ReadDataTest() {
    dir_ = fs::path(::testing::TempDir()) / ("nord5_read_data_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    env_ = {"XDG_DATA_HOME=" + dir_.string(), "XDG_RUNTIME_DIR=" + dir_.string(),
            "HOME=" + dir_.string(), "PATH=/usr/bin:/bin"};
  }
  ~ReadDataTest() override {
    if (sim_ > 0) {
      ::kill(sim_, SIGTERM);
      Wait(sim_);
    }
    fs::remove_all(dir_);
  }

  // Starts the simulator; false when it gave no port.
  bool StartMeter(const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {NORD5_METER_SIM};
    args.insert(args.end(), options.begin(), options.end());
    sim_ = Spawn(args, env_, dir_ / "sim.out", dir_ / "sim.err");
    for (int i = 0; i < 100 && port_.empty(); ++i) {
      std::istringstream in(ReadText(dir_ / "sim.out"));
      std::string line;
      if (std::getline(in, line) && in.good())
        port_ = line;
      else
        ::usleep(50000);
    }
    return !port_.empty();
  }

  pid_t StartCli(std::vector<std::string> args) {
    args.insert(args.begin(), NORD5_CLI);
    args.insert(args.end(), {"--port", port_, "--trace"});
    return Spawn(args, env_, dir_ / "out", dir_ / "err");
  }

  // The telegrams sent, as hex texts, from the trace on stderr.
  std::vector<std::string> Sent() const {
    std::vector<std::string> out;
    std::istringstream in(ReadText(dir_ / "err"));
    std::string line;
    std::smatch m;
    static const std::regex kTx("^\\d+ TX (.*)$");
    while (std::getline(in, line))
      if (std::regex_match(line, m, kTx)) out.push_back(m[1]);
    return out;
  }

  fs::path dir_;
  std::vector<std::string> env_;
  pid_t sim_ = -1;
  std::string port_;
};

// The cells of the JSON array named `key` ("columns") or of every row ("rows").
std::vector<std::vector<std::string>> JsonCells(const std::string& json, const std::string& key) {
  std::vector<std::vector<std::string>> out;
  const std::size_t at = json.find("\"" + key + "\": [");
  if (at == std::string::npos) return out;
  std::size_t i = json.find('[', at);
  const bool nested = key == "rows";
  int depth = 0;
  std::vector<std::string> cur;
  for (; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '[') {
      ++depth;
      cur.clear();
    } else if (c == ']') {
      if (!nested || depth == 2) out.push_back(cur);
      if (--depth == 0) break;
    } else if (c == '"') {
      std::string s;
      for (++i; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] == '\\') ++i;
        s += json[i];
      }
      cur.push_back(s);
    }
  }
  return out;
}

std::string Utf16ToAscii(const std::string& bytes) {
  std::string out;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) out += bytes[i + 1] == 0 ? bytes[i] : '?';
  return out;
}

TEST_F(ReadDataTest, HoursThreeRecordsToJsonAndReport) {
  ASSERT_TRUE(StartMeter());
  const fs::path report = dir_ / "R.htm";
  const int status =
      Wait(StartCli({"read-data", "--kind", "hours", "--records", "3", "--quantities", "0,4,11",
                     "--json", "--report", report.string(), "--csv", (dir_ / "r.csv").string()}));
  ASSERT_EQ(status, 0) << ReadText(dir_ / "err");
  // Link, reset with subcode 60h, the selection of timestamp, the four heating registers and
  // the average flow, then three requests whose frame count bit toggles.
  EXPECT_EQ(Sent(), (std::vector<std::string>{
                        "10 40 FE 3E 16", "68 04 04 68 73 FE 50 60 21 16",
                        "68 1D 1D 68 73 FE 51 C8 FF 7F 6D C8 0F FE 3B C8 0F FE FE 3B C8 0F FE 3C "
                        "C8 0F FE FE 3C C8 FF 7F 3E 37 16",
                        "10 7B FE 79 16", "10 5B FE 59 16", "10 7B FE 79 16"}));

  const std::string json = ReadText(dir_ / "out");
  EXPECT_NE(json.find("{\"kind\": \"Hours statistic data\""), std::string::npos) << json;
  const auto columns = JsonCells(json, "columns");
  const auto rows = JsonCells(json, "rows");
  ASSERT_EQ(columns.size(), 1u);
  ASSERT_EQ(columns[0].size(), 5u);
  EXPECT_EQ(columns[0][0], "Number");
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t r = 0; r < 3; ++r) {
    EXPECT_EQ(rows[r].size(), 5u);
    EXPECT_EQ(rows[r][0], std::to_string(r + 1));
    EXPECT_EQ(rows[r][4].find(','), std::string::npos) << "numbers use '.'";
  }
  EXPECT_EQ(ReadText(dir_ / "r.csv").substr(0, 8), "Number,\"");

  // The report: UTF-16LE with a byte order mark, one table with the grid's cells.
  const std::string bytes = ReadText(report);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  const std::string text = Utf16ToAscii(bytes);
  EXPECT_NE(text.find("<b>Hours statistic data</b>"), std::string::npos);
  std::size_t tables = 0, headers = 0;
  for (std::size_t p = text.find("<table"); p != std::string::npos; p = text.find("<table", p + 1))
    ++tables;
  for (std::size_t p = text.find("bgcolor=yellow"); p != std::string::npos;
       p = text.find("bgcolor=yellow", p + 1))
    ++headers;
  EXPECT_EQ(tables, 1u);
  EXPECT_EQ(headers, 5u);
  for (const auto& row : rows)
    for (const auto& cell : row) EXPECT_NE(text.find(">" + cell + "<"), std::string::npos) << cell;
}

TEST_F(ReadDataTest, LostAnswerIsRepeatedWithTheSameFrameCountBit) {
  // The meter's fifth answer, to the second data request, never reaches the line.
  ASSERT_TRUE(StartMeter({"--drop-every", "5"}));
  ASSERT_EQ(Wait(StartCli(
                {"read-data", "--kind", "hours", "--records", "3", "--quantities", "0", "--json"})),
            0)
      << ReadText(dir_ / "err");
  const std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(sent.begin() + 3, sent.end()),
            (std::vector<std::string>{"10 7B FE 79 16", "10 5B FE 59 16", "10 5B FE 59 16",
                                      "10 7B FE 79 16"}));
  const auto rows = JsonCells(ReadText(dir_ / "out"), "rows");
  ASSERT_EQ(rows.size(), 3u);
  // Three different hours, newest first: none repeated, none skipped.
  for (std::size_t r = 0; r < 3; ++r) EXPECT_EQ(rows[r][0], std::to_string(r + 1));
  EXPECT_GT(rows[0][1], rows[1][1]);
  EXPECT_GT(rows[1][1], rows[2][1]);
}

TEST_F(ReadDataTest, InterruptEndsAnEndlessReadingAndKeepsWhatWasRead) {
  ASSERT_TRUE(StartMeter());
  const fs::path csv = dir_ / "days.csv";
  const pid_t cli = StartCli({"read-data", "--kind", "days", "--csv", csv.string()});
  // Wait for a few answers, then interrupt.
  for (int i = 0; i < 100 && Sent().size() < 6; ++i) ::usleep(50000);
  ::kill(cli, SIGINT);
  EXPECT_EQ(Wait(cli), 0) << ReadText(dir_ / "err");
  std::istringstream in(ReadText(csv));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 7), "Number,");
  for (std::size_t r = 1; r < lines.size(); ++r)
    EXPECT_EQ(lines[r].substr(0, lines[r].find(',')), std::to_string(r));
  EXPECT_LT(lines.size(), 50u) << "the reading stopped";
}

TEST_F(ReadDataTest, RefusesBadOptions) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"read-data", "--kind", "weeks"},
        {"read-data", "--records", "x"},
        {"read-data", "--quantities", "0,40"},
        {"read-data", "--quantities", "1,,2"},
        {"read-data", "--csv"}}) {
    std::vector<std::string> all = {NORD5_CLI};
    all.insert(all.end(), args.begin(), args.end());
    EXPECT_EQ(Wait(Spawn(all, env_, dir_ / "out", dir_ / "err")), 1) << args.back();
    EXPECT_FALSE(ReadText(dir_ / "err").empty());
  }
}

}  // namespace
}  // namespace nord5
