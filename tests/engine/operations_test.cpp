// The mode check before guarded operations, and the input checks that keep an operation from
// starting.
#include <gtest/gtest.h>

#include <functional>

#include "engine_fixture.h"

namespace nord5::test {
namespace {

// A meter whose mode byte reads `mode` and that acknowledges everything else.
Responder ModeMeter(std::uint8_t mode) {
  return [mode](const Bytes& t, int) {
    const bool mode_read =
        t.size() > 12 && t[6] == 0xA1 && t[10] == 0x33 && t[11] == 0x00 && t[12] == 0x01;
    return std::vector<Reply>{{20, mode_read ? MemoryAnswer({mode}) : Bytes{0xE5}}};
  };
}

struct ModeCase {
  const char* name;
  std::uint8_t mode;
  std::uint32_t firmware;
  std::function<void(EngineBench&)> start;
  std::vector<MsgResult> answers;
  std::vector<std::string> texts;
  std::vector<std::string> telegrams;  // what went out, by the first four bytes after 68 L L 68
};

const std::string kModeRead = "73 FE A1 0F";
const std::string kIdWrite = "53 FE 51 0C";
const std::string kPulse1 = "53 FE 51 84";
const std::string kInit = "40 FE 3E 16";
const std::string kMenuWrite = "53 FE A2 0F";

// C, A, CI and the byte after (short frames: C, A, CS, stop).
std::string Head(const Bytes& t) {
  return t[0] == 0x68 ? Hex(Bytes(t.begin() + 4, t.begin() + 8))
                      : Hex(Bytes(t.begin() + 1, t.end()));
}

TEST(ModeCheck, RequiredBitsAndTheQuestion) {
  const auto id = [](EngineBench& b) {
    b.host.inputs.DeviceIdText = "00000042";
    b.engine->SetIdentification();
  };
  const auto pulse1 = [](EngineBench& b) {
    b.host.inputs.PulseText1 = "3";
    b.engine->SetPulseValue(1);
  };
  const std::vector<ModeCase> cases = {
      {"20h has a bit of 26h", 0x20, 17042702, id, {}, {}, {kModeRead, kIdWrite}},
      {"40h has none: No ends",
       0x40,
       17042702,
       id,
       {MsgResult::No},
       {"Check manufacturer or test jumper"},
       {kModeRead}},
      {"Yes reads the mode byte again",
       0x00,
       17042702,
       id,
       {MsgResult::Yes, MsgResult::No},
       {"Check manufacturer or test jumper", "Check manufacturer or test jumper"},
       {kModeRead, kModeRead}},
      {"pulse value on 17042701 needs the manufacturer mode",
       0x04,
       17042701,
       pulse1,
       {MsgResult::No},
       {"Check manufacturer jumper"},
       {kModeRead}},
      {"pulse value on 17042702 takes the test mode",
       0x04,
       17042702,
       pulse1,
       {},
       {},
       {kModeRead, kPulse1}},
      {"configuration write needs the manufacturer mode",
       0x04,
       17042702,
       [](EngineBench& b) { b.engine->WriteConfigurationWithModeCheck(); },
       {MsgResult::No},
       {"Check manufacturer jumper"},
       {kModeRead}},
      {"a user configuration that does not collect ends after the mode byte",
       0x22,
       17042702,
       [](EngineBench& b) {
         b.host.collect_ok = false;
         b.engine->WriteUserConfiguration();
       },
       {},
       {},
       {kModeRead}},
      {"a preparation that fails ends the write",
       0x22,
       17042702,
       [](EngineBench& b) {
         b.host.prepare_ok = false;
         b.engine->WriteConfigurationWithModeCheck();
       },
       {},
       {},
       {kModeRead}},
      {"user menu passes with the test mode",
       0x04,
       17042702,
       [](EngineBench& b) {
         b.host.inputs.TimeCorrection = 0;
         b.engine->WriteUserMenu();
       },
       {},
       {},
       {kModeRead, kMenuWrite, kInit}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    CurrentImage().SetFirmwareVersion(c.firmware);
    for (auto a : c.answers) bench.host.dialogs.QueueAnswer(a);
    bench.wire.responder = ModeMeter(c.mode);
    c.start(bench);
    // Long enough for the guarded telegram, not for a whole read-back.
    bench.RunUntilIdle(350);
    EXPECT_EQ(bench.host.dialogs.Texts(), c.texts);
    for (const auto& shown : bench.host.dialogs.shown) {
      EXPECT_EQ(shown.Icon, MsgIcon::Warning);
      EXPECT_EQ(shown.Buttons, MsgButtons::YesNo);
    }
    std::vector<std::string> heads;
    for (const auto& s : bench.wire.sent) heads.push_back(Head(s.bytes));
    EXPECT_EQ(heads, c.telegrams);
    if (heads.back() != kInit) {  // a read-back clears the mode byte first
      EXPECT_EQ(bench.engine->State().DeviceJumper, c.mode);
    }
    bench.engine->ClosePort();
  }
}

struct InputCase {
  const char* name;
  std::function<void(EngineBench&)> start;
  std::vector<std::string> texts;
  std::size_t telegrams;
};

TEST(Operations, InputsThatStopAnOperationBeforeItSends) {
  const std::vector<InputCase> cases = {
      {"secondary address that is not hexadecimal",
       [](EngineBench& b) {
         b.host.inputs.Mode = AddressMode::Secondary;
         b.host.inputs.AddressText = "12G45678";
         b.engine->ReadConfiguration();
       },
       {"Check parameters"},
       0},
      {"secondary address with nine digits",
       [](EngineBench& b) {
         b.host.inputs.Mode = AddressMode::Secondary;
         b.host.inputs.AddressText = "123456789";
         b.engine->ReadCredits();
       },
       {"Check parameters"},
       0},
      {"memory address that is not decimal",
       [](EngineBench& b) {
         b.host.inputs.MemAddrText = "10A0";
         b.engine->ReadMemory();
       },
       {"Check parameters"},
       0},
      {"memory address that is not hexadecimal",
       [](EngineBench& b) {
         b.host.inputs.MemAddrText = "10G0";
         b.host.inputs.MemAddrHex = true;
         b.engine->ReadMemory();
       },
       {"Check parameters"},
       0},
      {"memory value that is not a number",
       [](EngineBench& b) {
         b.host.inputs.MemAddrText = "4280";
         b.host.inputs.MemValueText = "";
         b.engine->WriteMemory();
       },
       {"Check parameters"},
       0},
      {"memory byte count outside 1 to 4",
       [](EngineBench& b) {
         b.host.inputs.MemAddrText = "4280";
         b.host.inputs.MemBytes = 0;
         b.engine->ReadMemory();
       },
       {"Check parameters"},
       0},
      {"set time with \"time not correct\"", [](EngineBench& b) { b.engine->SetTime(); }, {}, 0},
      {"primary address that is not a number",
       [](EngineBench& b) {
         b.host.inputs.MBusAddrText = "abc";
         b.engine->SetPrimaryAddress();
       },
       {"Check parameters"},
       0},
      {"primary address above 255",
       [](EngineBench& b) {
         b.host.inputs.MBusAddrText = "256";
         b.engine->SetPrimaryAddress();
       },
       {"Check parameters"},
       0},
      {"identification that is not hex, refused before the mode check",
       [](EngineBench& b) {
         b.host.inputs.DeviceIdText = "12X";
         b.engine->SetIdentification();
       },
       {"Check parameters"},
       0},
      {"empty identification",
       [](EngineBench& b) {
         b.host.inputs.DeviceIdText = "";
         b.engine->SetIdentification();
       },
       {"Check parameters"},
       0},
      {"pulse value that is no number",
       [](EngineBench& b) {
         b.host.inputs.PulseText2 = "";
         b.engine->SetPulseValue(2);
       },
       {"Check parameters"},
       0},
      {"address box above 255 (300 would reach the meter at 44)",
       [](EngineBench& b) {
         b.host.inputs.AddressText = "300";
         b.engine->ReadConfiguration();
       },
       {"Check parameters"},
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    bench.wire.responder = ModeMeter(0x22);
    c.start(bench);
    EXPECT_FALSE(bench.port->IsOpen());
    bench.RunUntilIdle(3000);
    EXPECT_EQ(bench.host.dialogs.Texts(), c.texts);
    for (const auto& shown : bench.host.dialogs.shown) EXPECT_EQ(shown.Icon, MsgIcon::Error);
    EXPECT_EQ(bench.wire.sent.size(), c.telegrams);
  }
}

TEST(Operations, SecondaryAddressingBeginsWithTheSelection) {
  EngineBench bench;
  bench.host.inputs.Mode = AddressMode::Secondary;
  bench.host.inputs.AddressText = "12345678";
  bench.wire.responder = ModeMeter(0x22);
  bench.engine->ReadConfiguration();
  bench.RunUntilIdle(400);
  ASSERT_GE(bench.wire.sent.size(), 3u);
  EXPECT_EQ(Hex(bench.wire.sent[0].bytes), "68 0B 0B 68 73 FD 52 78 56 34 12 FF FF FF FF D2 16");
  EXPECT_EQ(Hex(bench.wire.sent[1].bytes), "68 03 03 68 73 FD 50 C0 16");
  EXPECT_EQ(Hex(bench.wire.sent[2].bytes), "68 06 06 68 73 FD 51 08 FF 0E D6 16");
  bench.engine->ClosePort();
}

TEST(Operations, PortThatCannotBeOpened) {
  EngineBench bench;
  bench.wire.can_open = false;
  bench.host.inputs.LoggingChecked = true;
  bench.engine->LogCycle(true);
  EXPECT_FALSE(bench.port->IsOpen());
  EXPECT_EQ(bench.host.dialogs.Texts(), std::vector<std::string>{"Can't open COM port"});
  EXPECT_EQ(bench.host.unchecked_logging, 1);
  EXPECT_FALSE(bench.host.progress_visible);
  EXPECT_FALSE(bench.engine->State().ReadingArchives);
}

// The message stays as it is; the line's reason goes into the box's detail text.
TEST(Operations, PortThatCannotBeOpenedSaysWhyInTheDetail) {
  EngineBench bench;
  bench.wire.can_open = false;
  bench.wire.open_error = "Permission denied: add your user to the dialout group";
  bench.engine->ReadConfiguration();
  EXPECT_FALSE(bench.port->IsOpen());
  ASSERT_EQ(bench.host.dialogs.shown.size(), 1u);
  EXPECT_EQ(bench.host.dialogs.shown[0].Text, "Can't open COM port");
  EXPECT_EQ(bench.host.dialogs.shown[0].Detail, bench.wire.open_error);
  EXPECT_EQ(bench.port->OpenError(), bench.wire.open_error);

  // A later open that succeeds forgets the reason.
  bench.wire.can_open = true;
  EXPECT_TRUE(bench.port->Open());
  EXPECT_EQ(bench.port->OpenError(), "");
  bench.port->Close();
}

TEST(Operations, CloseGuardAsksWhileTheMeterIsBusy) {
  struct Case {
    const char* name;
    bool running, logging;
    std::optional<MsgResult> answer;  // empty: no question
    bool closes;
  };
  const std::vector<Case> cases = {
      {"idle closes at once", false, false, std::nullopt, true},
      {"exchange running, No keeps it", true, false, MsgResult::No, false},
      {"exchange running, Yes closes", true, false, MsgResult::Yes, true},
      {"logging between readings, No keeps it", false, true, MsgResult::No, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    bench.host.logging = c.logging;
    if (c.running) bench.engine->LogCycle(true);
    if (c.answer) bench.host.dialogs.QueueAnswer(*c.answer);
    EXPECT_EQ(bench.engine->ConfirmClose(), c.closes);
    if (c.answer) {
      ASSERT_EQ(bench.host.dialogs.Texts(),
                std::vector<std::string>{"Now device communicate. Close program anyway?"});
      EXPECT_EQ(bench.host.dialogs.shown[0].Buttons, MsgButtons::YesNo);
    } else {
      EXPECT_TRUE(bench.host.dialogs.shown.empty());
    }
    EXPECT_EQ(bench.port->IsOpen(), c.running) << "the guard itself never ends the exchange";
  }
}

TEST(Operations, PulseStartValueInCounts) {
  struct Case {
    const char* text;
    int unit;
    std::optional<std::uint32_t> counts;
  };
  const std::vector<Case> cases = {
      {"12.5", 4, 1250},       {"2.5", 6, 2},           {"3.5", 6, 4},
      {"12.5 m3", 4, 1250},    {"0.000001", 0, 1},      {"", 4, std::nullopt},
      {"x1", 4, std::nullopt}, {"1", 10, std::nullopt}, {"5000000", 0, std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TProtocolEngine::PulseCounts(c.text, c.unit), c.counts) << c.text << " " << c.unit;
}

}  // namespace
}  // namespace nord5::test
