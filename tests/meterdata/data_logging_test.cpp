// Periodic data logging on the manual clock: the real driver and engine talk to the virtual
// meter over the in-memory line, the logger writes a real file.
#include "meterdata/data_logging.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/texts.h"
#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/meter_image.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "sim/sim_serial_line.h"
#include "sim/virtual_meter.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"
#include "transport/trace_hook.h"

namespace nord5 {
namespace {

namespace fs = std::filesystem;

TEST(LogFormat, FieldsAreQuotedOnlyWhenTheyMustBe) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"12", "12"},
      {"DeviceID,", "DeviceID,"},
      {"Energy,kWh", "Energy,kWh"},
      {"Flow temperature,\xC2\xB0" "C", "\"Flow temperature,\xC2\xB0" "C\""},
      {"2024-03-15 13:45:00", "\"2024-03-15 13:45:00\""},
      {"a;b", "\"a;b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"tab\there", "\"tab\there\""},
  };
  for (const Case& c : cases) EXPECT_EQ(LogField(c.in), c.out) << c.in;
}

TEST(LogFormat, ValuesAreTruncatedIntegersOrEmpty) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"12.345", "12"},  {"-0.9", "0"},       {"-12.7", "-12"},  {"0001", "1"},
      {"1234567", "1234567"}, {"2024-03-15", ""}, {"- - -", ""},  {"0A1F", ""},
      {"", ""},          {"12,5", ""},        {"1e3", "1000"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogValue(c.in), c.out) << c.in;
}

TEST(LogFormat, IntervalFromTheSecondsField) {
  EXPECT_EQ(LogIntervalMs("10"), 10000);
  EXPECT_EQ(LogIntervalMs("0"), 0);
  EXPECT_EQ(LogIntervalMs(""), 1000);
  EXPECT_EQ(LogIntervalMs("abc"), 1000);
  EXPECT_EQ(LogIntervalMs("99999999999999999999"), 1000);  // no number that fits
}

// What the window does for the engine while logging.
class LoggingHost final : public EngineHost {
 public:
  Dialogs& GetDialogs() override { return dialogs; }
  EngineInputs Inputs() override { return inputs; }
  void SetStatusText(int panel, const std::string& text) override {
    if (panel == 1) status1 = text;
  }
  void TraceText(const std::string& text) override { traces.push_back(text); }
  void LogEvent(const std::string& text) override {
    if (logger && !logger->LogEvent(text)) ++event_failures;
  }
  bool LoggingIdle() override { return !logger || !logger->Active(); }
  void UncheckLogging() override {
    inputs.LoggingChecked = false;
    if (logger) logger->Stop();
  }
  void StartLoggingTimer() override {
    if (logger) logger->StartTimer();
  }
  void DecodeLogRecord(const std::uint8_t* frame, int limit) override {
    if (logger) logger->DecodeLogRecord(frame, limit);
  }

  ScriptedDialogs dialogs;
  EngineInputs inputs;
  std::string status1;
  std::vector<std::string> traces;
  int event_failures = 0;
  TDataLogger* logger = nullptr;
};

struct Telegram {
  std::int64_t at;
  int direction;
  std::vector<std::uint8_t> bytes;
};

class LoggingBench : public ::testing::Test {
 protected:
  static constexpr const char* kPort = "TESTPORT";

  void Make(sim::MeterOptions options = {}) {
    dir_ = fs::temp_directory_path() / ("nord5-logging-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    SetSettingsFileForTesting((dir_ / "settings.ini").string());
    meter_ = std::make_unique<sim::VirtualMeter>(options, clock_);
    PortDiscovery where;
    where.SysTtyRoot = "/nonexistent-nord5-tty";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort(kPort);
    port_ = std::make_unique<TCommPort>(
        clock_, timers_,
        [this](const std::string&) -> std::unique_ptr<SerialLine> {
          auto line = std::make_unique<sim::SimSerialLine>(*meter_, clock_);
          line->SetOpenFails(open_fails_);
          return line;
        },
        std::move(list));
    port_->SetPort(kPort);
    engine_ = std::make_unique<TProtocolEngine>(host_, *port_, clock_);
    engine_->Install();
    logger_ = std::make_unique<TDataLogger>(*engine_, timers_, clock_);
    logger_->always_select = [this] { return always_select_; };
    logger_->show_status = [this](const std::string& t) { host_.status1 = t; };
    host_.logger = logger_.get();
    host_.inputs.LoggingChecked = true;
    clock_.SetNow(10000);
    SetTraceBytesHook([this](int d, const std::uint8_t* b, std::size_t n) {
      if (d == kTraceReceived && !wire_.empty() && wire_.back().direction == d &&
          clock_.NowMs() - wire_.back().at < 100) {
        wire_.back().bytes.insert(wire_.back().bytes.end(), b, b + n);
        return;
      }
      wire_.push_back({clock_.NowMs(), d, {b, b + n}});
    });
  }

  void TearDown() override {
    SetTraceBytesHook({});
    logger_.reset();
    engine_.reset();
    port_.reset();
    fs::remove_all(dir_);
  }

  // Runs the clock until `n` lines have been counted or `limit_ms` have passed.
  void RunUntilCount(int n, std::int64_t limit_ms = 120000) {
    const std::int64_t end = clock_.NowMs() + limit_ms;
    while (logger_->ReceiveCount() < n && clock_.NowMs() < end) timers_.RunFor(1);
  }

  std::vector<std::string> Lines() const {
    std::ifstream in(file_, std::ios::binary);
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::string> out;
    std::size_t at = 0;
    for (;;) {
      const std::size_t end = all.find("\r\n", at);
      if (end == std::string::npos) {
        EXPECT_EQ(at, all.size()) << "text after the last CR LF";
        break;
      }
      out.push_back(all.substr(at, end - at));
      at = end + 2;
    }
    return out;
  }

  std::vector<Telegram> Sent() const {
    std::vector<Telegram> out;
    for (const auto& t : wire_)
      if (t.direction == kTraceSent) out.push_back(t);
    return out;
  }

  static std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          field += c;
        }
      } else if (c == '"') {
        quoted = true;
      } else if (c == ';') {
        out.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    out.push_back(field);
    return out;
  }

  ManualClock clock_;
  ManualTimers timers_{clock_};
  LoggingHost host_;
  std::unique_ptr<sim::VirtualMeter> meter_;
  std::unique_ptr<TCommPort> port_;
  std::unique_ptr<TProtocolEngine> engine_;
  std::unique_ptr<TDataLogger> logger_;
  std::vector<Telegram> wire_;
  fs::path dir_;
  std::string file_;
  bool always_select_ = true;
  bool open_fails_ = false;
};

TEST_F(LoggingBench, NewFileGetsTheHeaderThenOneIntegerLinePerReading) {
  Make();
  file_ = (dir_ / "log.csv").string();
  logger_->Start(file_, 1000);
  EXPECT_EQ(host_.status1, "Received count: 0");
  RunUntilCount(3);
  ASSERT_EQ(logger_->ReceiveCount(), 3);
  EXPECT_EQ(host_.status1, "Received count: 3");

  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  const auto header = Split(lines[0]);
  ASSERT_GE(header.size(), 5u);
  EXPECT_EQ(header[0], "Time");
  EXPECT_EQ(header[1], "DeviceID,");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    // The date and time has a blank, so it is always quoted; every other field is an integer
    // or empty.
    EXPECT_EQ(lines[i].substr(0, 1), "\"") << lines[i];
    const auto fields = Split(lines[i]);
    ASSERT_EQ(fields.size(), header.size()) << lines[i];
    EXPECT_EQ(fields[0], "2024-03-15 13:45:00");
    for (std::size_t f = 1; f < fields.size(); ++f)
      EXPECT_EQ(fields[f].find_first_not_of("-0123456789"), std::string::npos)
          << header[f] << " = " << fields[f];
    char id[16];
    std::snprintf(id, sizeof id, "%x", meter_->Identification());  // BCD digits
    EXPECT_EQ(fields[1], std::to_string(std::stoll(id)));
  }
  // Between readings the status panel keeps the count instead of "Done".
  EXPECT_TRUE(logger_->Active());
  EXPECT_FALSE(port_->IsOpen());
  EXPECT_EQ(host_.status1, "Received count: 3");
}

TEST_F(LoggingBench, PauseRunsFromTheEndOfOneReadingToTheStartOfTheNext) {
  Make();
  file_ = (dir_ / "log.txt").string();
  always_select_ = false;
  logger_->Start(file_, 10000);
  RunUntilCount(2, 60000);
  ASSERT_EQ(logger_->ReceiveCount(), 2);
  // Reading 1: link start-up, readout selection, data request; reading 2: data request only.
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].bytes[0], 0x10);
  EXPECT_EQ(sent[0].bytes[1], 0x40);
  EXPECT_EQ(sent[3].bytes[0], 0x10);
  EXPECT_EQ(sent[3].bytes[1] & 0xCF, 0x4B);  // REQ_UD2 with either frame count bit
  std::int64_t last_answer = -1;
  for (const auto& t : wire_)
    if (t.direction == kTraceReceived && t.at < sent[3].at) last_answer = t.at;
  ASSERT_GE(last_answer, 0);
  // The pause, then the 100 ms from the start of the exchange to its first telegram.
  EXPECT_GE(sent[3].at - last_answer, 10000);
  EXPECT_LE(sent[3].at - last_answer, 10200);
}

TEST_F(LoggingBench, SilentMeterGetsTimeoutsThenARestartAndLoggingGoesOn) {
  sim::MeterOptions silent;
  silent.mute = true;
  Make(silent);
  file_ = (dir_ / "log.txt").string();
  logger_->Start(file_, 1000);
  // Ten unanswered telegrams, then the restart's first one.
  while (Sent().size() < 11 && clock_.NowMs() < 60000) timers_.RunFor(1);
  const auto sent = Sent();
  ASSERT_EQ(sent.size(), 11u);
  for (std::size_t i = 1; i < 10; ++i) {
    EXPECT_GE(sent[i].at - sent[i - 1].at, 1000);
    EXPECT_LE(sent[i].at - sent[i - 1].at, 1010);
  }
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 9u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(lines[i], "2024-03-15 13:45:00;Timeout");
  EXPECT_EQ(lines[8], "2024-03-15 13:45:00;Repeat log command");
  EXPECT_TRUE(port_->IsOpen());
  EXPECT_TRUE(host_.dialogs.shown.empty());
  EXPECT_EQ(logger_->ReceiveCount(), 0);
}

TEST_F(LoggingBench, StopDuringThePauseSendsNothingMore) {
  Make();
  file_ = (dir_ / "log.txt").string();
  logger_->Start(file_, 5000);
  RunUntilCount(1);
  ASSERT_FALSE(port_->IsOpen());  // pausing
  const std::size_t sent = Sent().size();
  EXPECT_TRUE(logger_->Stop());
  EXPECT_FALSE(logger_->Stop());  // "Logging data stop" only once
  timers_.RunFor(20000);
  EXPECT_EQ(Sent().size(), sent);
  EXPECT_EQ(logger_->ReceiveCount(), 1);
  EXPECT_EQ(host_.status1, "Done");
}

TEST_F(LoggingBench, PauseOfZeroMakesOnlyTheFirstReading) {
  Make();
  file_ = (dir_ / "log.txt").string();
  logger_->Start(file_, 0);
  RunUntilCount(1);
  timers_.RunFor(30000);
  EXPECT_EQ(logger_->ReceiveCount(), 1);
  EXPECT_EQ(Lines().size(), 2u);
  EXPECT_TRUE(logger_->Active());
}

TEST_F(LoggingBench, PortThatCannotOpenStopsLogging) {
  open_fails_ = true;
  Make();
  file_ = (dir_ / "log.txt").string();
  logger_->Start(file_, 1000);
  EXPECT_FALSE(logger_->Active());
  EXPECT_FALSE(host_.inputs.LoggingChecked);
  EXPECT_EQ(host_.dialogs.Texts(), std::vector<std::string>{std::string(kTextCantOpenPort)});
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(LoggingBench, LinesThatCannotBeWrittenAreLostAndNotCounted) {
  Make();
  file_ = (dir_ / "no-such-folder" / "log.txt").string();
  logger_->Start(file_, 1000);
  timers_.RunFor(5000);
  EXPECT_EQ(logger_->ReceiveCount(), 0);
  EXPECT_TRUE(logger_->Active());  // still reading
  EXPECT_FALSE(logger_->LogEvent("Timeout"));
}

TEST_F(LoggingBench, SaveDialogAndItsRewriteQuestion) {
  Make();
  const fs::path existing = dir_ / "old.csv";
  std::ofstream(existing) << "old\r\n";

  // Cancelled.
  EXPECT_FALSE(ChooseLogFile(host_.dialogs, "/start/"));
  ASSERT_EQ(host_.dialogs.file_requests.size(), 1u);
  EXPECT_EQ(host_.dialogs.file_requests[0].Title, "Log device data");
  EXPECT_EQ(host_.dialogs.file_requests[0].Folder, "/start/");
  EXPECT_EQ(host_.dialogs.file_requests[0].Filter, "Excel csv (*.csv)|*.csv|All files (*.*)|*.*");

  // An existing file, answered No: kept.
  host_.dialogs.QueueFile(existing.string());
  host_.dialogs.QueueAnswer(MsgResult::No);
  EXPECT_FALSE(ChooseLogFile(host_.dialogs, "/start/"));
  ASSERT_EQ(host_.dialogs.shown.size(), 1u);
  EXPECT_EQ(host_.dialogs.shown[0].Text,
            "File name exists.\r\"" + existing.string() + "\"\r rewrite?");
  EXPECT_TRUE(fs::exists(existing));

  // Yes: deleted, so logging starts afresh with a header; the folder is remembered.
  host_.dialogs.QueueFile(existing.string());
  host_.dialogs.QueueAnswer(MsgResult::Yes);
  EXPECT_EQ(ChooseLogFile(host_.dialogs, "/start/"), existing.string());
  EXPECT_FALSE(fs::exists(existing));
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "LogDeviceData", "").Text(), dir_.string() + "/");
  file_ = existing.string();
  logger_->Start(file_, 1000);
  RunUntilCount(1);
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 15), "Time;DeviceID,;");

  // A folder given as the file is never deleted.
  host_.dialogs.QueueFile(dir_.string());
  host_.dialogs.QueueAnswer(MsgResult::Yes);
  EXPECT_FALSE(ChooseLogFile(host_.dialogs, "/start/"));
  EXPECT_TRUE(fs::is_directory(dir_));
}

TEST_F(LoggingBench, AFifoWithoutReaderDoesNotHang) {
  Make();
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(AppendLine(fifo.string(), "x"));
}

}  // namespace
}  // namespace nord5
