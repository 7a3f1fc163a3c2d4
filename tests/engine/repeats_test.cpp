// Repeats, time-outs and the repeat limit, with a meter that does not answer.
#include <gtest/gtest.h>

#include <functional>

#include "engine_fixture.h"
#include "sim/virtual_meter.h"

namespace nord5::test {
namespace {

struct SilentCase {
  const char* name;
  std::function<void(EngineBench&)> start;
  std::string telegram;   // sent ten times
  std::int64_t interval;  // between two of them
};

TEST(Repeats, TenUnansweredTelegramsEndWithDeviceCantAnswer) {
  const std::vector<SilentCase> cases = {
      {"link initialisation", [](EngineBench& b) { b.engine->ReadConfiguration(); },
       "10 40 FE 3E 16", 1000},
      {"memory write",
       [](EngineBench& b) {
         b.host.inputs.MemAddrText = "4280";
         b.host.inputs.MemValueText = "5";
         b.engine->WriteMemory();
       },
       "68 0A 0A 68 53 FE A2 0F 00 B8 10 00 00 05 CF 16", 3000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    c.start(bench);
    bench.RunUntilIdle();
    EXPECT_FALSE(bench.port->IsOpen());
    EXPECT_EQ(bench.SentHex(), std::vector<std::string>(10, c.telegram));
    const auto gaps = bench.Gaps();
    for (std::size_t i = 1; i < gaps.size(); ++i) {
      EXPECT_GE(gaps[i], c.interval);
      EXPECT_LE(gaps[i], c.interval + 2);
    }
    // "\rTimeOut" before the 3rd to the 10th telegram.
    EXPECT_EQ(bench.host.traces, std::vector<std::string>(8, "\rTimeOut"));
    ASSERT_EQ(bench.host.dialogs.Texts(), std::vector<std::string>{"Device can't answer"});
    EXPECT_EQ(bench.host.dialogs.shown[0].Icon, MsgIcon::Error);
    // The message comes one time-out after the tenth telegram.
    EXPECT_GE(bench.clock.NowMs() - bench.wire.sent.back().at, c.interval);
    EXPECT_EQ(bench.host.status1, "Done");
    EXPECT_FALSE(bench.host.progress_visible);
  }
}

TEST(Repeats, AnAnswerJustBeforeTheTimeOutPreventsTheRepeat) {
  EngineBench bench;
  bench.host.inputs.MBusAddrText = "3";
  bench.wire.responder = [](const Bytes&, int) { return std::vector<Reply>{{950, {0xE5}}}; };
  bench.engine->SetPrimaryAddress();
  bench.RunUntilIdle();
  EXPECT_EQ(bench.wire.sent.size(), 1u);
  EXPECT_TRUE(bench.host.dialogs.shown.empty());
}

TEST(Repeats, RepeatConnectionBeforeAConfigurationWrite) {
  struct Case {
    const char* name;
    std::vector<MsgResult> answers;
    std::size_t telegrams;
    std::vector<std::string> texts;
  };
  const std::vector<Case> cases = {
      {"No gives up", {MsgResult::No}, 10, {"Repeat connection?", "Device can't answer"}},
      {"Yes starts ten more attempts",
       {MsgResult::Yes, MsgResult::No},
       20,
       {"Repeat connection?", "Repeat connection?", "Device can't answer"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    for (auto a : c.answers) bench.host.dialogs.QueueAnswer(a);
    bench.engine->WriteConfiguration();
    bench.RunUntilIdle(200000);
    EXPECT_EQ(bench.SentHex(), std::vector<std::string>(c.telegrams, "10 40 FE 3E 16"));
    EXPECT_EQ(bench.host.dialogs.Texts(), c.texts);
    EXPECT_EQ(bench.host.prepared, static_cast<int>(c.answers.size()));
    EXPECT_FALSE(bench.port->IsOpen());
  }
}

TEST(Repeats, PeriodicLoggingStartsOverInsteadOfGivingUp) {
  EngineBench bench;
  bench.host.inputs.LoggingChecked = true;
  bench.host.logging = true;
  bench.engine->LogCycle(false);
  // Ten data requests, then the cycle restarts with the link initialisation.
  bench.RunUntilIdle(10 * 1000 + 500);
  ASSERT_GE(bench.wire.sent.size(), 11u);
  for (int i = 0; i < 10; ++i)
    EXPECT_EQ(Hex(bench.wire.sent[static_cast<std::size_t>(i)].bytes).substr(0, 2), "10");
  EXPECT_EQ(Hex(bench.wire.sent[10].bytes), "10 40 FE 3E 16");
  std::vector<std::string> events(8, "Timeout");
  events.push_back("Repeat log command");
  EXPECT_EQ(bench.host.events, events);
  EXPECT_TRUE(bench.host.dialogs.shown.empty());
  EXPECT_TRUE(bench.port->IsOpen());
  // Unchecking ends it the next time the limit is reached.
  bench.host.inputs.LoggingChecked = false;
  bench.RunUntilIdle();
  EXPECT_EQ(bench.host.dialogs.Texts(), std::vector<std::string>{"Device can't answer"});
  EXPECT_EQ(bench.wire.sent.size(), 20u);
}

TEST(Repeats, MuteVirtualMeter) {
  EngineBench bench;
  sim::MeterOptions options;
  options.mute = true;
  sim::VirtualMeter meter(options, bench.clock);
  bench.wire.responder = MeterResponder(meter);
  bench.engine->ReadCredits();
  bench.RunUntilIdle();
  EXPECT_EQ(bench.wire.sent.size(), 10u);
  EXPECT_EQ(bench.host.dialogs.Texts(), std::vector<std::string>{"Device can't answer"});
}

}  // namespace
}  // namespace nord5::test
