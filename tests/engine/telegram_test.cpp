#include "engine/telegram.h"

#include <gtest/gtest.h>

#include <functional>

#include "foundation/crc.h"

namespace nord5 {
namespace {

using C = TMBUS_Commands;
using Bytes = std::vector<std::uint8_t>;

struct BuildCase {
  const char* name;
  std::function<void(ExchangeState&, TelegramInputs&)> setup;
  Bytes expected;
  std::optional<std::string> status;
  std::uint32_t wait;
};

TelegramInputs Primary(const char* address) {
  TelegramInputs in;
  in.AddressText = address;
  return in;
}

TEST(BuildTelegram, BytesStatusAndWaitOfEachStep) {
  static std::uint8_t chunk[2] = {0x34, 0x12};
  static const TDataSelector kTime{-1, 0, 0, 0x08, {0x6D}};
  static const TDataSelector kEnergy{-1, -1, -1, 0x08, {0x06}};
  static tMTR7ExtParams quantity;
  quantity.Count = 2;
  quantity.Data[0] = &kTime;
  quantity.Data[1] = &kEnergy;

  const std::vector<BuildCase> cases = {
      {"link initialisation to 5",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmInstallSlave;
         in = Primary("5");
       },
       {0x10, 0x40, 0x05, 0x45, 0x16},
       "Init communication",
       1000},
      {"text that is not a number addresses 254",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmInstallSlave4;
         in = Primary("x1");
       },
       {0x10, 0x40, 0xFE, 0x3E, 0x16},
       "Init communication",
       1000},
      {"REQ_UD2 with 7B",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmRequestData;
         s.DataIdx = 0x7B;
         in = Primary("254");
       },
       {0x10, 0x7B, 0xFE, 0x79, 0x16},
       "Request data",
       1000},
      {"REQ_UD2 with 5B",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmRequestData;
         s.DataIdx = 0x5B;
         in = Primary("254");
       },
       {0x10, 0x5B, 0xFE, 0x59, 0x16},
       "Request data",
       1000},
      {"application reset",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmApplicReset;
         in = Primary("254");
       },
       {0x68, 0x03, 0x03, 0x68, 0x73, 0xFE, 0x50, 0xC1, 0x16},
       "Reset application",
       1000},
      {"application reset 50h",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmApplicReset2;
         in = Primary("254");
       },
       {0x68, 0x04, 0x04, 0x68, 0x73, 0xFE, 0x50, 0x50, 0x11, 0x16},
       "Set day data",
       1000},
      {"archive reset, days",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmApplicReset4;
         in = Primary("1");
         in.ArchiveKind = 2;
       },
       {0x68, 0x04, 0x04, 0x68, 0x73, 0x01, 0x50, 0x30, 0xF4, 0x16},
       "Reset application",
       1000},
      {"archive reset, current data has no subcode",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmApplicReset4;
         in = Primary("1");
         in.ArchiveKind = 0;
       },
       {0x68, 0x03, 0x03, 0x68, 0x73, 0x01, 0x50, 0xC4, 0x16},
       "Reset application",
       1000},
      {"version selection to 0",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmGetVersion;
         in = Primary("0");
       },
       {0x68, 0x06, 0x06, 0x68, 0x73, 0x00, 0x51, 0x08, 0xFF, 0x0E, 0xD9, 0x16},
       "Read device version",
       1000},
      {"selection of 12345678",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmInstallSlave;
         in.Mode = AddressMode::Secondary;
         in.AddressText = "12345678";
       },
       {0x68, 0x0B, 0x0B, 0x68, 0x73, 0xFD, 0x52, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF,
        0xD2, 0x16},
       std::nullopt,
       1000},
      {"other link initialisations reset the selected slave",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmInstallSlave5;
         in.Mode = AddressMode::Secondary;
         in.AddressText = "12345678";
       },
       {0x68, 0x03, 0x03, 0x68, 0x73, 0xFD, 0x50, 0xC0, 0x16},
       "Reset application",
       1000},
      {"five logged records",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmReadLog;
         in = Primary("1");
       },
       {0x68, 0x0F, 0x0F, 0x68, 0x53, 0x01, 0x51, 0x08, 0xFF, 0x05, 0x08,
        0xFF, 0x06, 0x08, 0x5B, 0x08, 0x5F, 0x08, 0x63, 0xF3, 0x16},
       std::nullopt,
       1000},
      {"identification 87654321",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetDeviceID;
         in = Primary("1");
         in.WorkValue = 0x87654321;
       },
       {0x68, 0x09, 0x09, 0x68, 0x53, 0x01, 0x51, 0x0C, 0x79, 0x21, 0x43, 0x65, 0x87, 0x7A, 0x16},
       std::nullopt,
       1000},
      {"pulse 1 start value 1250 in unit 4 (VIF 14h)",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetPulseValue1;
         in = Primary("1");
         in.PulseUnit1 = 4;
         in.WorkValue = 1250;
       },
       {0x68, 0x0A, 0x0A, 0x68, 0x53, 0x01, 0x51, 0x84, 0x40, 0x14, 0xE2, 0x04, 0x00, 0x00, 0x63,
        0x16},
       "Set start value",
       1000},
      {"pulse 2 start value in unit 8 (VIF 00h), subunit 2",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetPulseValue2;
         in = Primary("1");
         in.PulseUnit2 = 8;
         in.WorkValue = 7;
       },
       {0x68, 0x0B, 0x0B, 0x68, 0x53, 0x01, 0x51, 0x84, 0x80, 0x40, 0x00, 0x07, 0x00, 0x00, 0x00,
        0xF0, 0x16},
       "Set start value",
       1000},
      {"local time 2024-03-15 13:45",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetDateTime;
         in = Primary("1");
         in.TimeCorrection = 1;
       },
       {0x68, 0x09, 0x09, 0x68, 0x53, 0x01, 0x51, 0x04, 0x6D, 0x2D, 0x0D, 0x0F, 0x33, 0x92, 0x16},
       "Set device time",
       1000},
      {"CET is UTC plus one hour (12:45 UTC sends 13:45)",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetDateTime1;
         in = Primary("1");
         in.TimeCorrection = 2;
       },
       {0x68, 0x09, 0x09, 0x68, 0x53, 0x01, 0x51, 0x04, 0x6D, 0x2D, 0x0D, 0x0F, 0x33, 0x92, 0x16},
       "Set device time",
       1000},
      {"primary address by the last two ID digits (BCD 42h sends 42)",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmSetMBusAddress;
         in = Primary("7");
         in.MBusAddrType = 3;
         in.CfgFabricationFirst = 0x42;
         in.CfgMBusAddress = 9;
       },
       {0x68, 0x06, 0x06, 0x68, 0x73, 0x07, 0x51, 0x01, 0x7A, 42, 0x70, 0x16},
       "Set M-Bus address",
       1000},
      {"archive selection of two selectors",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmReadArchive;
         s.ExtCommands = {&quantity};
         in = Primary("1");
       },
       {0x68, 0x0A, 0x0A, 0x68, 0x73, 0x01, 0x51, 0xC8, 0x0F, 0x6D, 0xC8, 0xFF, 0x7F, 0x06, 0x55,
        0x16},
       "Read archive",
       1000},
      {"archive readout with nothing selected asks for data",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmReadArchive;
         s.DataIdx = 0x5B;
         in = Primary("1");
       },
       {0x10, 0x5B, 0x01, 0x5C, 0x16},
       "Request data",
       1000},
      {"memory read, first chunk of the configuration block",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmReadMemory;
         s.StartMemory = 0x1000;
         s.MemorySize = 256;
         in = Primary("254");
       },
       {0x68, 0x0A, 0x0A, 0x68, 0x73, 0xFE, 0xA1, 0x0F, 0x00, 0x40, 0x00, 0x10, 0x00, 0x00, 0x71,
        0x16},
       "Reading RAM @1000",
       1000},
      {"memory read, last 38 bytes of the calibration block",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmReadMemory;
         s.StartMemory = 0xFC00;
         s.MemorySize = 486;
         s.MemoryIndex = 448;
         in = Primary("254");
       },
       {0x68, 0x0A, 0x0A, 0x68, 0x73, 0xFE, 0xA1, 0x0F, 0x00, 0x26, 0xC0, 0xFD, 0x00, 0x00, 0x04,
        0x16},
       "Reading RAM @FDC0",
       1000},
      {"memory write of 34 12 at 10B8h to 1",
       [](ExchangeState& s, TelegramInputs& in) {
         s.Command_SEQ = C::_cmWriteMemory;
         s.StartMemory = 0x10B8;
         s.MemorySize = 2;
         s.MemPointer = chunk;
         in = Primary("1");
       },
       {0x68, 0x0B, 0x0B, 0x68, 0x53, 0x01, 0xA2, 0x0F, 0x00, 0xB8, 0x10, 0x00, 0x00, 0x34, 0x12,
        0x13, 0x16},
       "Write RAM @10B8",
       3000},
  };
  ManualClock clock;  // local 2024-03-15 13:45, UTC 12:45
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExchangeState s;
    TelegramInputs in;
    c.setup(s, in);
    const auto built = BuildTelegram(s, in, clock);
    EXPECT_TRUE(built.Ok);
    EXPECT_EQ(built.Bytes, c.expected);
    EXPECT_EQ(Bytes(s.OBuffer.begin(), s.OBuffer.begin() + s.OutSize), c.expected);
    EXPECT_EQ(built.Status, c.status);
    EXPECT_EQ(built.WaitMs, c.wait);
    EXPECT_EQ(s.AskRepeat, 1);
    EXPECT_EQ(s.SendBytes, static_cast<std::int32_t>(c.expected.size()));
  }
}

TEST(BuildTelegram, ResetsReceiveStateAndCountsTheAttempt) {
  ManualClock clock;
  ExchangeState s;
  s.Command_SEQ = C::_cmRequestData;
  s.DataIdx = 0x5B;
  s.IBuffer[3] = 0x68;
  s.RecSize = 40;
  s.RecIndex = 5;
  s.ReceivedData = true;
  s.AskRepeat = 3;
  BuildTelegram(s, Primary("1"), clock);
  EXPECT_EQ(s.IBuffer[3], 0);
  EXPECT_EQ(s.RecSize, 0);
  EXPECT_EQ(s.RecIndex, 0);
  EXPECT_FALSE(s.ReceivedData);
  EXPECT_EQ(s.AskRepeat, 4);
  EXPECT_EQ(s.DataIdx, 0x5B) << "a data request keeps the frame count bit";
  s.Command_SEQ = C::_cmApplicReset;
  BuildTelegram(s, Primary("1"), clock);
  EXPECT_EQ(s.DataIdx, 0x7B);
}

TEST(BuildTelegram, SecondaryAddressThatIsNotHexBuildsNothing) {
  ManualClock clock;
  for (const char* text : {"", "1234567G", "123456789", "$12"}) {
    SCOPED_TRACE(text);
    ExchangeState s;
    TelegramInputs in;
    in.Mode = AddressMode::Secondary;
    in.AddressText = text;
    const auto built = BuildTelegram(s, in, clock);
    EXPECT_FALSE(built.Ok);
    EXPECT_EQ(s.OutSize, 0);
    EXPECT_EQ(s.AskRepeat, 0);
    EXPECT_EQ(s.Command_SEQ, C::_cmInstallSlave);
  }
}

TEST(BuildTelegram, PrimaryAddressOutside0To255BuildsNothing) {
  // 251..255 keep their M-Bus meaning; a text that is no number is the broadcast 254; a number
  // above 255 must not go out modulo 256 to another meter.
  const std::vector<std::pair<const char*, std::optional<std::uint8_t>>> cases = {
      {"0", 0},          {"250", 250},     {"253", 253},  {"255", 255},
      {" 17 ", 17},      {"", 254},        {"abc", 254},  {"256", std::nullopt},
      {"300", std::nullopt}, {"-1", std::nullopt}, {"99999999999999999999999", std::nullopt}};
  ManualClock clock;
  for (const auto& [text, address] : cases) {
    SCOPED_TRACE(text);
    ExchangeState s;
    s.Command_SEQ = C::_cmApplicReset;
    const auto built = BuildTelegram(s, Primary(text), clock);
    EXPECT_EQ(built.Ok, address.has_value());
    if (address) {
      EXPECT_EQ(s.OBuffer[5], *address);  // 68 L L 68 C A
    } else {
      EXPECT_EQ(s.OutSize, 0);
    }
  }
}

TEST(BuildTelegram, MemoryTransfersSplitIntoChunksAndCountProgressOnce) {
  ManualClock clock;
  struct Case {
    std::uint32_t start, size;
    std::vector<std::pair<std::uint32_t, std::uint8_t>> chunks;  // address, n
  };
  const std::vector<Case> cases = {
      {0x1000, 256, {{0x1000, 64}, {0x1040, 64}, {0x1080, 64}, {0x10C0, 64}}},
      {0xFC00,
       486,
       {{0xFC00, 64},
        {0xFC40, 64},
        {0xFC80, 64},
        {0xFCC0, 64},
        {0xFD00, 64},
        {0xFD40, 64},
        {0xFD80, 64},
        {0xFDC0, 38}}},
  };
  for (const auto& c : cases) {
    ExchangeState s;
    s.Command_SEQ = C::_cmReadMemory;
    s.StartMemory = c.start;
    s.MemorySize = c.size;
    for (const auto& [address, n] : c.chunks) {
      s.AskRepeat = 0;
      auto built = BuildTelegram(s, Primary("1"), clock);
      EXPECT_EQ(built.Bytes[9], n);
      EXPECT_EQ(built.Bytes[10] | built.Bytes[11] << 8 | built.Bytes[12] << 16,
                static_cast<int>(address));
      EXPECT_EQ(built.ProgressAdvance, n);
      built = BuildTelegram(s, Primary("1"), clock);  // a repeat
      EXPECT_EQ(built.ProgressAdvance, 0);
      s.MemoryIndex += n;
    }
    EXPECT_EQ(s.MemoryIndex, c.size);
  }
}

TEST(BuildTelegram, ArchiveSelectionNeverOverflowsTheLengthByte) {
  static const TDataSelector kWide{-1, -1, -1, 0x08, {0xFD, 0x17}};  // 3 DIF + 2 VIF bytes
  static tMTR7ExtParams q;
  q.Count = 4;
  for (auto& d : q.Data) d = &kWide;
  ExchangeState s;
  s.Command_SEQ = C::_cmReadArchive;
  for (int i = 0; i < 40; ++i) s.ExtCommands.push_back(&q);  // 800 bytes of selectors
  ManualClock clock;
  const auto built = BuildTelegram(s, Primary("1"), clock);
  const int L = built.Bytes[1];
  EXPECT_EQ(L, 3 + 50 * 5);
  EXPECT_EQ(static_cast<int>(built.Bytes.size()), L + 6);
  std::int32_t size = 0;
  EXPECT_TRUE(FinishFrame(s.OBuffer.data(), s.OBuffer.size(), size, false));
}

TEST(FinishFrame, WriteAndCheckModes) {
  struct Case {
    Bytes frame;
    bool write;
    bool match;
    std::int32_t size;
  };
  const std::vector<Case> cases = {
      {{0x10, 0x40, 0x05, 0x00, 0x00}, true, false, 5},
      {{0x10, 0x40, 0x05, 0x45, 0x16}, false, true, 3},
      {{0x68, 0x03, 0x03, 0x68, 0x73, 0xFE, 0x50, 0xC1, 0x16}, false, true, 7},
      {{0x68, 0x03, 0x03, 0x68, 0x73, 0xFE, 0x50, 0xC2, 0x16}, false, false, 7},
      {{0x68, 0x03, 0x03, 0x68, 0x73, 0xFE, 0x50, 0x00, 0x00}, true, false, 9},
  };
  for (const auto& c : cases) {
    Bytes b = c.frame;
    b.resize(20, 0);
    std::int32_t size = -1;
    EXPECT_EQ(FinishFrame(b.data(), b.size(), size, c.write), c.match);
    EXPECT_EQ(size, c.size);
    if (c.write) {
      EXPECT_EQ(b[static_cast<std::size_t>(size) - 1], 0x16);
    }
  }
  Bytes b = {0x10, 0x40, 0x05, 0x00, 0x00};
  FinishFrame(b.data(), b.size(), *std::make_unique<std::int32_t>(), true);
  EXPECT_EQ(b, (Bytes{0x10, 0x40, 0x05, 0x45, 0x16}));
  // L = 200 would need 206 bytes: a frame that does not fit its buffer is refused untouched.
  Bytes small = {0x68, 200, 200, 0x68, 0, 0, 0, 0, 0, 0};
  std::int32_t size = 0;
  EXPECT_FALSE(FinishFrame(small.data(), small.size(), size, true));
  EXPECT_EQ(small[9], 0);
}

TEST(EncodeDIF, SelectorFields) {
  struct Case {
    int storage, tariff, subunit, code;
    Bytes expected;
  };
  const std::vector<Case> cases = {
      {-1, -1, -1, 0x08, {0xC8, 0xFF, 0x7F}}, {-1, 0, 0, 0x08, {0xC8, 0x0F}},
      {0, 1, 0, 0x08, {0x88, 0x10}},          {0, 0, 1, 0x08, {0x88, 0x40}},
      {0, 0, 2, 0x08, {0x88, 0x80, 0x40}},    {0, 0, 0, 0x08, {0x88, 0x00}},
      {1, 0, 0, 0x18, {0xD8, 0x00}},          {2, 0, 0, 0x08, {0x88, 0x01}},
      {34, 0, 0, 0x28, {0xA8, 0x81, 0x01}},   {0, -1, 0, 0x08, {0x88, 0xB0, 0x30}},
  };
  for (const auto& c : cases) {
    std::uint8_t out[kMaxDifBytes] = {};
    const auto n = EncodeDIF(c.storage, c.tariff, c.subunit, c.code, out);
    EXPECT_EQ(Bytes(out, out + n), c.expected) << c.storage << " " << c.tariff << " " << c.subunit;
  }
  std::uint8_t out[kMaxDifBytes] = {};
  EXPECT_LE(EncodeDIF(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 0x08, out), kMaxDifBytes);
}

TEST(EncodeTypeF, DateAndTime) {
  struct Case {
    DateTime t;
    std::array<std::uint8_t, 4> expected;
  };
  const std::vector<Case> cases = {
      {{2024, 3, 15, 13, 45, 59, 0}, {0x2D, 0x0D, 0x0F, 0x33}},
      {{2023, 12, 31, 7, 5, 0, 0}, {0x05, 0x07, 0xFF, 0x2C}},
      {{2000, 1, 1, 0, 0, 0, 0}, {0x00, 0x00, 0x01, 0x01}},
      {{2099, 6, 30, 23, 59, 0, 0}, {0x3B, 0x17, 0x7E, 0xC6}},
  };
  for (const auto& c : cases) EXPECT_EQ(EncodeTypeF(c.t), c.expected);
}

TEST(DeviceTime, CetIsUtcPlusOneHourAcrossTheYear) {
  ManualClock clock;
  clock.SetLocalTime({2024, 7, 1, 10, 0, 0, 0});
  clock.SetUtcTime({2023, 12, 31, 23, 30, 0, 0});
  EXPECT_EQ(DeviceTime(2, clock), (DateTime{2024, 1, 1, 0, 30, 0, 0}));
  EXPECT_EQ(DeviceTime(1, clock), (DateTime{2024, 7, 1, 10, 0, 0, 0}));
  EXPECT_EQ(DeviceTime(0, clock), (DateTime{2024, 7, 1, 10, 0, 0, 0}));
  clock.SetUtcTime({2024, 2, 28, 23, 0, 0, 0});
  EXPECT_EQ(DeviceTime(2, clock), (DateTime{2024, 2, 29, 0, 0, 0, 0}));
}

TEST(PulseUnits, VifAndFactorByIndex) {
  const std::uint8_t vif[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x00, 0x01};
  const double factor[] = {0.000001, 0.00001, 0.0001, 0.001, 0.01, 0.1, 1, 1, 0.001, 0.01};
  for (int i = 0; i < kPulseUnitCount; ++i) {
    EXPECT_EQ(PulseUnitVIF(i), vif[i]);
    EXPECT_DOUBLE_EQ(PulseUnitFactor(i), factor[i]);
  }
  EXPECT_EQ(PulseUnitFactor(-1), 0);
  EXPECT_EQ(PulseUnitFactor(10), 0);
}

TEST(PrimaryAddressByRule, EveryRule) {
  struct Case {
    int rule;
    std::uint8_t expected;
  };
  for (const auto& c : std::vector<Case>{{0, 17}, {1, 0}, {2, 1}, {3, 99}, {4, 17}})
    EXPECT_EQ(PrimaryAddressByRule(c.rule, 17, 0x99), c.expected) << c.rule;
  EXPECT_EQ(PrimaryAddressByRule(3, 17, 0x07), 7);
}

TEST(ParseNumbers, HexAndDecimalBoxes) {
  EXPECT_EQ(ParseHex32("12345678"), 0x12345678u);
  EXPECT_EQ(ParseHex32(" ffffffff "), 0xFFFFFFFFu);
  EXPECT_EQ(ParseHex32("1080"), 0x1080u);
  EXPECT_EQ(ParseHex32(""), std::nullopt);
  EXPECT_EQ(ParseHex32("123456789"), std::nullopt);
  EXPECT_EQ(ParseHex32("12 34"), std::nullopt);
  EXPECT_EQ(ParseDec32("1080"), 1080u);
  EXPECT_EQ(ParseDec32("4294967295"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseDec32("4294967296"), std::nullopt);
  EXPECT_EQ(ParseDec32("10A"), std::nullopt);
  EXPECT_EQ(ParseDec32("-1"), std::nullopt);
}

}  // namespace
}  // namespace nord5
