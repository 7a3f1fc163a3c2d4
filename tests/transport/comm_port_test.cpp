#include "transport/comm_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <numeric>
#include <stdexcept>

#include "fake_serial_line.h"
#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "temp_dir.h"
#include "transport/port_list.h"

namespace nord5 {
namespace {

using test::FakeLineState;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kPort = "/dev/ttyFAKE0";

class CommPortTest : public ::testing::Test {
 public:
  void SetUp() override {
    SetSettingsFileForTesting(dir / "settings.ini");
    PortDiscovery where;
    where.SysTtyRoot = dir / "no-sysfs";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort(kPort);
    port = std::make_unique<TCommPort>(clock, timers, test::FakeLineFactory(line), std::move(list));
    port->PC().FPort = kPort;
  }
  void TearDown() override {
    port.reset();
    SetTraceBytesHook({});
    SetSettingsFileForTesting("");
  }

  // Opens the port with a silence handler that notes the time of every call.
  void OpenWithSilence(std::uint32_t wait_ms) {
    port->SetWaitEvent(wait_ms);
    port->SetBreakEvent([this](TCommPort&) { silences.push_back(clock.NowMs()); });
    ASSERT_TRUE(port->Open());
  }
  // Collects every delivered chunk.
  void RecordChunks() {
    port->SetCommEvent([this](TCommPort&, const std::uint8_t* d, std::size_t n) {
      chunks.emplace_back(d, d + n);
      return 0;
    });
  }

  test::TempDir dir;
  ManualClock clock;
  ManualTimers timers{clock};
  std::shared_ptr<FakeLineState> line = std::make_shared<FakeLineState>();
  std::unique_ptr<TCommPort> port;
  std::vector<std::int64_t> silences;
  std::vector<std::vector<std::uint8_t>> chunks;
};

TEST_F(CommPortTest, SilenceHandlerRepeatsAfterEveryTimeOutUntilClosed) {
  OpenWithSilence(100);
  timers.RunUntil(350);
  // Raised once the silence exceeds 100 ms, i.e. on the 101st tick, then measured afresh.
  EXPECT_THAT(silences, ElementsAre(101, 202, 303));
  EXPECT_EQ(port->LastEvent(), 47u);

  port->Close();
  EXPECT_EQ(timers.ActiveCount(), 0u);
  timers.RunUntil(2000);
  EXPECT_EQ(silences.size(), 3u);
}

TEST_F(CommPortTest, ZeroTimeOutNeverRaisesTheSilenceHandler) {
  OpenWithSilence(0);
  timers.RunUntil(10000);
  EXPECT_THAT(silences, IsEmpty());
  EXPECT_EQ(port->LastEvent(), 10000u);  // still measured
}

TEST_F(CommPortTest, SettingTheSilenceHandlerRestartsTheMeasurement) {
  port->SetWaitEvent(100);
  clock.SetNow(5000);  // long after creation: the first tick after opening is already late
  ASSERT_TRUE(port->Open());
  port->SetBreakEvent([this](TCommPort&) { silences.push_back(clock.NowMs()); });
  timers.RunUntil(5150);
  EXPECT_THAT(silences, ElementsAre(5101));
}

// Every kind of activity restarts the silence measurement; the first silence event then comes
// 101 ms after the last activity the tick saw.
TEST_F(CommPortTest, ActivityKeepsTheSilenceHandlerBack) {
  struct Case {
    const char* name;
    std::function<void(CommPortTest&)> at_50;
    std::int64_t first_silence;
  };
  const Case cases[] = {
      {"telegram sent",
       [](CommPortTest& t) {
         const std::uint8_t b[] = {0x10, 0x40, 0xFE, 0x3E, 0x16};
         t.port->OutPort(b, sizeof b);
       },
       151},
      // Received at 50, read by the tick at 51.
      {"bytes received", [](CommPortTest& t) { t.line->Push({0xE5}); }, 152},
      // The transmit queue drains until 80; every tick up to then counts as activity.
      {"bytes still going out",
       [](CommPortTest& t) {
         t.line->out_queue = 3;
         t.timers.RunUntil(80);
         t.line->out_queue = 0;
       },
       181},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    silences.clear();
    line = std::make_shared<FakeLineState>();
    clock.SetNow(0);
    SetUp();
    OpenWithSilence(100);
    timers.RunUntil(50);
    c.at_50(*this);
    timers.RunUntil(300);
    ASSERT_FALSE(silences.empty());
    EXPECT_EQ(silences.front(), c.first_silence);
  }
}

TEST_F(CommPortTest, ALongAnswerComingInByteByByteIsNotCutBySilence) {
  OpenWithSilence(100);
  RecordChunks();
  // One byte every 60 ms for 1.2 s: never 100 ms of silence in between.
  for (std::int64_t t = 60; t <= 1200; t += 60) {
    timers.RunUntil(t);
    line->Push({static_cast<std::uint8_t>(t / 60)});
  }
  timers.RunUntil(1301);
  EXPECT_THAT(silences, IsEmpty());
  EXPECT_EQ(chunks.size(), 20u);
  timers.RunUntil(1302);
  EXPECT_THAT(silences, ElementsAre(1302));  // last byte read at 1201
}

TEST_F(CommPortTest, ReceivesInChunksOfAtMost9991BytesWithinOneTick) {
  std::vector<std::uint8_t> data(25000);
  std::iota(data.begin(), data.end(), std::uint8_t{0});
  std::vector<std::pair<int, std::size_t>> traced;
  SetTraceBytesHook(
      [&](int dir_, const std::uint8_t*, std::size_t n) { traced.emplace_back(dir_, n); });
  RecordChunks();
  ASSERT_TRUE(port->Open());
  line->Push(data);
  timers.RunUntil(1);

  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 9991u);
  EXPECT_EQ(chunks[1].size(), 9991u);
  EXPECT_EQ(chunks[2].size(), 5018u);
  std::vector<std::uint8_t> joined;
  for (const auto& c : chunks) joined.insert(joined.end(), c.begin(), c.end());
  EXPECT_EQ(joined, data);
  EXPECT_THAT(traced, ElementsAre(std::pair{1, 9991u}, std::pair{1, 9991u}, std::pair{1, 5018u}));
}

TEST_F(CommPortTest, EventsRunAfterEveryChunkAndShutdownEndsTheReceiveLoop) {
  std::vector<std::size_t> pending_at_events;
  bool shutting_down = false;
  port->SetProcessEvents([&] {
    pending_at_events.push_back(line->rx.size());
    shutting_down = line->rx.size() < 10000;
  });
  port->SetTerminating([&] { return shutting_down; });
  RecordChunks();
  ASSERT_TRUE(port->Open());
  line->Push(std::vector<std::uint8_t>(25000, 0x68));
  timers.RunUntil(1);
  EXPECT_THAT(pending_at_events, ElementsAre(15009u, 5018u));
  EXPECT_EQ(chunks.size(), 2u);  // the third is left in the queue
}

TEST_F(CommPortTest, HandlersRunWithTheTimerOffAndMaySendCloseOrTickAgain) {
  std::vector<std::size_t> timers_seen;
  int sends = 0;
  port->SetWaitEvent(100);
  port->SetBreakEvent([&](TCommPort& p) {
    timers_seen.push_back(timers.ActiveCount());
    const std::uint8_t b[] = {0x10, 0x7B, 0xFE, 0x79, 0x16};
    EXPECT_TRUE(p.OutPort(b, sizeof b));
    ++sends;
    p.Tick();  // ignored: the tick is not re-entered
  });
  port->SetCommEvent([&](TCommPort& p, const std::uint8_t*, std::size_t) {
    timers_seen.push_back(timers.ActiveCount());
    p.Close();  // the end of the exchange, from inside the delivery
    return 0;
  });
  ASSERT_TRUE(port->Open());
  timers.RunUntil(101);
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(timers.ActiveCount(), 1u);  // on again after the tick

  line->Push(std::vector<std::uint8_t>(20000, 0x68));
  timers.RunUntil(102);
  EXPECT_THAT(timers_seen, ElementsAre(0u, 0u));  // one chunk only: the port closed after it
  EXPECT_FALSE(port->IsOpen());
  EXPECT_EQ(timers.ActiveCount(), 0u);
  timers.RunUntil(1000);
  EXPECT_EQ(sends, 1);
}

TEST_F(CommPortTest, LineErrorsAndThrowingHandlersEndOnlyTheTick) {
  RecordChunks();
  OpenWithSilence(100);

  line->fail_queue_status = true;  // status unreadable: counts as a quiet line
  timers.RunUntil(101);
  EXPECT_THAT(silences, ElementsAre(101));
  line->fail_queue_status = false;

  // A read that fails although bytes wait delivers nothing (the buffer holds nothing new).
  line->Push({1, 2, 3});
  line->fail_read = true;
  timers.RunUntil(110);
  EXPECT_THAT(chunks, IsEmpty());
  line->fail_read = false;
  timers.RunUntil(111);
  EXPECT_THAT(chunks, ElementsAre(ElementsAre(1, 2, 3)));

  line->throw_in_queue_status = true;
  timers.RunUntil(150);
  line->throw_in_queue_status = false;
  port->SetBreakEvent([this](TCommPort&) {
    silences.push_back(clock.NowMs());
    throw std::runtime_error("engine fault");
  });
  timers.RunUntil(400);
  EXPECT_THAT(silences, ElementsAre(101, 251, 352));
  EXPECT_TRUE(port->IsOpen());
  EXPECT_EQ(timers.ActiveCount(), 1u);
}

TEST_F(CommPortTest, OutPortReplacesUnsentBytesLogsAndReportsWriteErrors) {
  std::vector<std::pair<int, std::vector<std::uint8_t>>> traced;
  SetTraceBytesHook([&](int d, const std::uint8_t* b, std::size_t n) {
    traced.emplace_back(d, std::vector<std::uint8_t>(b, b + n));
  });
  const std::uint8_t b[] = {0x10, 0x40, 0xFE, 0x3E, 0x16};

  EXPECT_TRUE(port->OutPort(b, sizeof b));  // closed: nothing goes anywhere
  EXPECT_THAT(traced, IsEmpty());
  EXPECT_EQ(line->lines_made, 0);

  ASSERT_TRUE(port->Open());
  line->calls.clear();
  EXPECT_TRUE(port->OutPort(b, sizeof b));
  EXPECT_THAT(line->calls, ElementsAre("purge-out", "write"));
  EXPECT_THAT(line->sent, ElementsAre(0x10, 0x40, 0xFE, 0x3E, 0x16));
  ASSERT_EQ(traced.size(), 1u);
  EXPECT_EQ(traced[0].first, 0);
  EXPECT_EQ(traced[0].second, line->sent);

  line->fail_write = true;
  EXPECT_FALSE(port->OutPort(b, sizeof b));
}

TEST_F(CommPortTest, OpenAppliesSettingsThenModemLinesAndCloseLowersThem) {
  port->SetDTR(true);
  port->SetRTS(false);
  port->SetParity(TParity::pr_Space);
  ASSERT_TRUE(port->Open());
  EXPECT_EQ(line->opened_path, kPort);
  EXPECT_THAT(line->calls, ElementsAre("open", "apply", "purge", "dtr1", "rts0"));
  EXPECT_EQ(line->applied.Parity, TParity::pr_Space);
  EXPECT_EQ(line->applied.BaudRate, TBaudRate::br_2400);
  EXPECT_EQ(timers.ActiveCount(), 1u);

  line->calls.clear();
  port->Close();
  EXPECT_THAT(line->calls, ElementsAre("purge", "rts0", "dtr0", "close"));
  EXPECT_EQ(timers.ActiveCount(), 0u);
}

TEST_F(CommPortTest, OpenFailsQuietlyAndLeavesTheLineAlone) {
  struct Case {
    const char* name;
    std::function<void(CommPortTest&)> arrange;
    int lines_made;
  };
  const Case cases[] = {
      {"port no longer listed", [](CommPortTest& t) { t.port->PC().FPort = "/dev/ttyGONE"; }, 0},
      {"device refuses to open", [](CommPortTest& t) { t.line->fail_open = true; }, 1},
      {"settings not taken", [](CommPortTest& t) { t.line->fail_apply = true; }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    line = std::make_shared<FakeLineState>();
    SetUp();
    c.arrange(*this);
    EXPECT_FALSE(port->Open());
    EXPECT_FALSE(line->open);
    EXPECT_EQ(line->lines_made, c.lines_made);
    EXPECT_EQ(line->sent.size(), 0u);
    EXPECT_EQ(std::count(line->calls.begin(), line->calls.end(), "dtr1") +
                  std::count(line->calls.begin(), line->calls.end(), "rts1"),
              0);
    EXPECT_EQ(timers.ActiveCount(), 0u);
  }
}

TEST_F(CommPortTest, LineSettingsWhileClosedAreStoredAndAppliedAtTheNextOpen) {
  port->SetBaudRate(TBaudRate::br_9600);
  port->SetStopBits(TStopBits::sb_2);
  EXPECT_EQ(line->lines_made, 0);
  EXPECT_EQ(port->PC().FBaudRate, TBaudRate::br_9600);

  ASSERT_TRUE(port->Open());
  EXPECT_EQ(line->applied.BaudRate, TBaudRate::br_9600);
  EXPECT_EQ(line->applied.StopBits, TStopBits::sb_2);

  // While open a change goes to the line at once, followed by DTR and RTS.
  line->calls.clear();
  port->SetBits(TBits::bt_7);
  EXPECT_THAT(line->calls, ElementsAre("apply", "purge", "dtr0", "rts1"));
  EXPECT_EQ(line->applied.Bits, TBits::bt_7);
  line->calls.clear();
  port->SetBits(TBits::bt_7);  // unchanged: only the modem lines again
  EXPECT_THAT(line->calls, ElementsAre("dtr0", "rts1"));
  port->SetDTR(true);
  EXPECT_TRUE(line->dtr);
}

TEST_F(CommPortTest, ChangingThePortReopensAnOpenLine) {
  port->PortList().AddExtraPort("/dev/ttyFAKE1");
  ASSERT_TRUE(port->Open());
  port->SetPort("/dev/ttyFAKE1");
  EXPECT_TRUE(port->IsOpen());
  EXPECT_EQ(line->opened_path, "/dev/ttyFAKE1");
  EXPECT_EQ(line->lines_made, 2);
  port->SetPort("/dev/ttyFAKE1");
  EXPECT_EQ(line->lines_made, 2);
}

// The wake-up mode: no 1 ms timer; the owner ticks on readable data, the driver keeps one timer
// at the next deadline, and the silence handler fires on the same milliseconds.
TEST_F(CommPortTest, OnDemandTickingKeepsTheSilenceTimingWithOneTimer) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  line->poll_fd = fds[0];
  port->SetTickMode(TCommPort::TickMode::OnDemand);
  RecordChunks();
  OpenWithSilence(100);
  EXPECT_EQ(port->PollFd(), fds[0]);
  EXPECT_EQ(timers.NextDeadline(), 101);
  timers.RunUntil(350);
  EXPECT_THAT(silences, ElementsAre(101, 202, 303));

  // Sending: a short poll while bytes are still going out, then the silence deadline again.
  line->out_queue = 5;
  const std::uint8_t b[] = {0x10, 0x40, 0xFE, 0x3E, 0x16};
  port->OutPort(b, sizeof b);
  EXPECT_EQ(port->NextDeadlineMs(), 351);
  timers.RunUntil(360);
  line->out_queue = 0;
  timers.RunUntil(361);
  EXPECT_EQ(port->NextDeadlineMs(), 360 + 101);

  // Data: the owner's watch calls Tick() at once.
  line->Push({0xE5});
  port->Tick();
  EXPECT_THAT(chunks, ElementsAre(ElementsAre(0xE5)));
  EXPECT_EQ(port->NextDeadlineMs(), 361 + 101);
  EXPECT_EQ(timers.ActiveCount(), 1u);

  // The far end hangs up: the descriptor is dropped and the driver ticks by itself.
  ::close(fds[1]);
  port->Tick();
  EXPECT_EQ(port->PollFd(), -1);
  timers.RunUntil(380);
  EXPECT_EQ(port->LastEvent(), 19u);  // measured every millisecond again
  ::close(fds[0]);
}

TEST_F(CommPortTest, ClosingTheProgramStoresTheSettingsLastSynchronised) {
  auto stored_baud = [] {
    return SettingsValue(SettingsMode::Read, "BaudRate", "?", kComSettings).Text();
  };
  port->SetBaudRate(TBaudRate::br_9600);
  port.reset();  // not applied through the options dialog: the start-up value stays
  EXPECT_EQ(stored_baud(), "3");

  line = std::make_shared<FakeLineState>();
  SetUp();
  EXPECT_EQ(port->BaudRate(), TBaudRate::br_2400);
  port->SetBaudRate(TBaudRate::br_19200);
  port->PortList().WriteIniFile();  // what the options dialog does on apply
  port->SetBaudRate(TBaudRate::br_300);
  port.reset();
  EXPECT_EQ(stored_baud(), "6");
}

}  // namespace
}  // namespace nord5
