// The virtual meter seen from the master's side, telegram by telegram.
#include "sim/virtual_meter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "foundation/crc.h"
#include "sim/meter_records.h"
#include "sim_test_util.h"

namespace nord5::sim {
namespace {

using testing::HasRecord;
using testing::Hex;
using testing::MemoryReadTelegram;
using testing::MemoryWriteTelegram;
using testing::RecordsOf;
using testing::SndUd;

const Bytes kAckOnly{0xE5};
const Bytes kNothing{};

class MeterTest : public ::testing::Test {
 protected:
  explicit MeterTest(MeterOptions o = {}) : meter_(o, clock_) {}

  Bytes Send(const Bytes& t) { return meter_.Handle(t); }
  Bytes Send(const std::string& hex) { return meter_.Handle(Hex(hex)); }
  // A data request with the given frame count bit, parsed; fails the test if no long frame.
  Frame Request(bool fcb, std::uint8_t a = 0xFE) {
    const Bytes answer = Send(ShortFrame(fcb ? 0x7B : 0x5B, a));
    Frame f;
    EXPECT_TRUE(ParseFrame(answer.data(), answer.size(), f))
        << HexString(answer.data(), answer.size());
    return f;
  }
  void UseMode(std::uint8_t mode) { meter_.SetModeByte(mode); }

  ManualClock clock_;
  VirtualMeter meter_;
};

// Every telegram of the link set-up and the readout selections is acknowledged with E5h when it
// is meant for the meter (its address 0, FEh, or FDh while selected), and nothing else is.
struct AckCase {
  const char* name;
  const char* telegram;
  bool acknowledged;
};

class AckTest : public MeterTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(AckTest, AnswersWithE5OnlyWhenMeant) {
  EXPECT_EQ(Send(GetParam().telegram), GetParam().acknowledged ? kAckOnly : kNothing);
}

INSTANTIATE_TEST_SUITE_P(
    Link, AckTest,
    ::testing::Values(
        AckCase{"LinkInitBroadcastWithAnswer", "10 40 FE 3E 16", true},
        AckCase{"LinkInitOwnAddress", "10 40 00 40 16", true},
        AckCase{"LinkInitOtherAddress", "10 40 05 45 16", false},
        AckCase{"LinkInitBroadcastWithoutAnswer", "10 40 FF 3F 16", false},
        AckCase{"LinkInitNotSelected", "10 40 FD 3D 16", false},
        AckCase{"LinkInitBadChecksum", "10 40 FE 3F 16", false},
        AckCase{"ApplicationReset", "68 03 03 68 73 FE 50 C1 16", true},
        AckCase{"ApplicationResetSubcode", "68 04 04 68 73 FE 50 50 11 16", true},
        AckCase{"VersionSelection", "68 06 06 68 73 FE 51 08 FF 0E D7 16", true},
        AckCase{"ReadLogSelection",
                "68 0F 0F 68 53 FE 51 08 FF 05 08 FF 06 08 5B 08 5F 08 63 F0 16", true},
        AckCase{"ResetToOtherAddress", "68 03 03 68 73 07 50 CA 16", false},
        AckCase{"LongFrameBadChecksum", "68 03 03 68 73 FE 50 C2 16", false},
        AckCase{"UnknownCi", "68 03 03 68 73 FE 99 0A 16", false},
        AckCase{"Garbage", "01 02 03", false}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MeterTest, DataRequestGetsVariableDataTelegramWithRightChecksum) {
  const Bytes answer = Send("10 7B FE 79 16");
  ASSERT_GE(answer.size(), 21u);
  EXPECT_EQ(answer[0], 0x68);
  EXPECT_EQ(answer[1], answer[2]);
  EXPECT_EQ(answer.size(), answer[1] + 6u);
  EXPECT_EQ(answer.back(), 0x16);
  EXPECT_EQ(answer[answer.size() - 2], Checksum8(answer.data() + 4, answer[1]));
  EXPECT_EQ(answer[4], 0x08);  // RSP_UD
  EXPECT_EQ(answer[6], 0x72);
  // Fixed header: identification 12345678 (BCD, low byte first), manufacturer, version, medium.
  EXPECT_EQ(Bytes(answer.begin() + 7, answer.begin() + 11), Hex("78 56 34 12"));
  EXPECT_EQ(answer[11] | answer[12] << 8, meter_.Manufacturer());
  EXPECT_EQ(answer[13], meter_.Options().version_byte);
  EXPECT_EQ(answer[14], meter_.Medium());
}

TEST_F(MeterTest, VersionSelectionMakesTheNextRequestCarryTheFirmwareDigits) {
  ASSERT_EQ(Send("10 40 FE 3E 16"), kAckOnly);
  ASSERT_EQ(Send("68 03 03 68 73 FE 50 C1 16"), kAckOnly);
  ASSERT_EQ(Send("68 06 06 68 73 FE 51 08 FF 0E D7 16"), kAckOnly);
  const Bytes answer = Send("10 7B FE 79 16");
  // From the first 68h: 19..21 = 0D FF 0E, 22 = LVAR, the digits from 23, one more byte.
  ASSERT_GE(answer.size(), 33u);
  EXPECT_EQ(Bytes(answer.begin() + 19, answer.begin() + 22), Hex("0D FF 0E"));
  EXPECT_EQ(answer[22], 9);
  EXPECT_EQ(std::string(answer.begin() + 23, answer.begin() + 31), "17042702");
  EXPECT_EQ(answer.size(), 23u + 9u + 2u);
}

TEST_F(MeterTest, TheTwoCurrentDataTelegramsCarryEveryRecordOfTheLiveView) {
  // The live view's chain: reset, reset 50h, request; reset, request.
  ASSERT_EQ(Send("68 04 04 68 73 FE 50 50 11 16"), kAckOnly);
  const Bytes first = RecordsOf(Request(true));
  ASSERT_EQ(Send("68 03 03 68 73 FE 50 C1 16"), kAckOnly);
  const Bytes second = RecordsOf(Request(true));
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  const char* patterns[] = {"04 6D",    "04 86 3B", "04 86 3C", "84 10 86 3B", "84 20 86 3B",
                            "04 13",    "84 40",    "84 80 40", "04 20",       "04 24",
                            "34 6D",    "34 FD 17", "05 5B",    "05 5F",       "05 63",
                            "05 3E",    "05 2E"};
  for (const char* p : patterns) EXPECT_TRUE(HasRecord(both, Hex(p))) << p;
}

TEST_F(MeterTest, FrameCountBitRepeatsOrAdvances) {
  ASSERT_EQ(Send("68 03 03 68 73 FE 50 C1 16"), kAckOnly);
  const Bytes a = Send("10 7B FE 79 16");
  clock_.Advance(2000);
  EXPECT_EQ(Send("10 7B FE 79 16"), a) << "same FCB: the previous answer again";
  const Bytes b = Send("10 5B FE 59 16");
  EXPECT_NE(b, a) << "toggled FCB: the next telegram";
  EXPECT_EQ(Send("10 5B FE 59 16"), b);
  // After a reset the next request is answered afresh whatever its FCB.
  ASSERT_EQ(Send("68 03 03 68 73 FE 50 C1 16"), kAckOnly);
  const Bytes c = Send("10 5B FE 59 16");
  EXPECT_NE(c, b);
  Frame fa, fc;
  ASSERT_TRUE(ParseFrame(a.data(), a.size(), fa));
  ASSERT_TRUE(ParseFrame(c.data(), c.size(), fc));
  EXPECT_NE(fa.data[8], fc.data[8]) << "a fresh telegram has a new access number";
  EXPECT_EQ(RecordsOf(fa).size(), RecordsOf(fc).size()) << "both are the counters telegram";
}

TEST_F(MeterTest, MemoryReadReturnsTheBytesFromOffsetEight) {
  const Bytes answer = meter_.Handle(MemoryReadTelegram(0xFE, 0x1000, 64));
  ASSERT_EQ(answer.size(), 64u + 10u);
  Frame f;
  ASSERT_TRUE(ParseFrame(answer.data(), answer.size(), f));
  EXPECT_EQ(answer[1], 64 + 4) << "L - 4 data bytes";
  EXPECT_EQ(0, std::memcmp(answer.data() + 8, meter_.ConfigBlock(), 64));
  // The last chunk of the calibration block, and a RAM variable.
  const Bytes tail = meter_.Handle(MemoryReadTelegram(0xFE, 0xFDC0, 38));
  ASSERT_EQ(tail.size(), 38u + 10u);
  EXPECT_EQ(0, std::memcmp(tail.data() + 8, meter_.CalibrationBlock() + 0x1C0, 38));
  const Bytes mode = meter_.Handle(MemoryReadTelegram(0xFE, 0x10033, 1));
  ASSERT_EQ(mode.size(), 11u);
  EXPECT_EQ(mode[8], 0x22);
}

TEST_F(MeterTest, MemoryReadOutsideTheMapOrTooLongIsNotAnswered) {
  EXPECT_EQ(meter_.Handle(MemoryReadTelegram(0xFE, 0x10F0, 32)), kNothing) << "past 10FFh";
  EXPECT_EQ(meter_.Handle(MemoryReadTelegram(0xFE, 0x2000, 1)), kNothing);
  EXPECT_EQ(meter_.Handle(MemoryReadTelegram(0xFE, 0x1000, 65)), kNothing);
  EXPECT_EQ(meter_.Handle(MemoryReadTelegram(0xFE, 0x1000, 0)), kNothing);
}

TEST_F(MeterTest, CreditsAreTwoCountersAt1001D) {
  meter_.SetCredits(0x11223344, 0x55667788);
  const Bytes answer = meter_.Handle(MemoryReadTelegram(0xFE, 0x1001D, 8));
  ASSERT_EQ(answer.size(), 18u);
  EXPECT_EQ(Bytes(answer.begin() + 8, answer.begin() + 16), Hex("44 33 22 11 88 77 66 55"));
}

// Which memory writes each mode takes: the configuration and calibration blocks only in
// manufacturer mode, the user-configuration bytes also in test mode, RAM always.
struct WriteCase {
  const char* name;
  std::uint8_t mode;
  std::uint32_t address;
  bool accepted;
};

class MemoryWriteTest : public MeterTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(MemoryWriteTest, AcceptsOrRefusesByMode) {
  const WriteCase& c = GetParam();
  UseMode(c.mode);
  Bytes before(2);
  ASSERT_TRUE(meter_.ReadMemory(c.address, 2, before.data()));
  const Bytes value{static_cast<std::uint8_t>(before[0] ^ 0x5A),
                    static_cast<std::uint8_t>(before[1] ^ 0xA5)};
  EXPECT_EQ(meter_.Handle(MemoryWriteTelegram(0xFE, c.address, value)),
            c.accepted ? kAckOnly : kNothing);
  Bytes after(2);
  ASSERT_TRUE(meter_.ReadMemory(c.address, 2, after.data()));
  EXPECT_EQ(after, c.accepted ? value : before);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MemoryWriteTest,
    ::testing::Values(WriteCase{"ConfigManufacturer", 0x22, 0x1000, true},
                      WriteCase{"ConfigUser", 0x00, 0x1000, false},
                      WriteCase{"ConfigTest", 0x04, 0x1000, false},
                      WriteCase{"CalibrationManufacturer", 0x22, 0xFC00, true},
                      WriteCase{"CalibrationTest", 0x04, 0xFC00, false},
                      WriteCase{"UserConfigTest", 0x04, 0x10B8, true},
                      WriteCase{"UserMenuTest", 0x04, 0x10C0, true},
                      WriteCase{"UserConfigUser", 0x00, 0x10B8, false},
                      WriteCase{"UserConfigTestNoChange", 0x40, 0x10B8, false},
                      WriteCase{"RamUser", 0x00, 0x10011, true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MeterTest, MemoryWriteOf64BytesLandsInTheConfiguration) {
  Bytes chunk(64);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 3);
  ASSERT_EQ(meter_.Handle(MemoryWriteTelegram(0xFE, 0x1040, chunk)), kAckOnly);
  EXPECT_EQ(0, std::memcmp(meter_.ConfigBlock() + 0x40, chunk.data(), 64));
  EXPECT_EQ(meter_.Handle(MemoryWriteTelegram(0xFE, 0x10F0, chunk)), kNothing) << "past 10FFh";
}

TEST_F(MeterTest, IdentificationWriteNeedsManufacturerOrTestMode) {
  const Bytes set_id = Hex("68 09 09 68 53 FE 51 0C 79 21 43 65 87 00 16");
  Bytes t = set_id;
  t[t.size() - 2] = Checksum8(t.data() + 4, t[1]);
  UseMode(0x40);
  EXPECT_EQ(Send(t), kNothing);
  EXPECT_EQ(meter_.Identification(), 0x12345678u);
  UseMode(0x04);
  EXPECT_EQ(Send(t), kAckOnly);
  EXPECT_EQ(meter_.Identification(), 0x87654321u);
}

TEST_F(MeterTest, PrimaryAddressRecordMovesTheMeter) {
  EXPECT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("01 7A 05"))), kAckOnly);
  EXPECT_EQ(meter_.PrimaryAddress(), 5);
  EXPECT_EQ(Send(ShortFrame(0x40, 0x05)), kAckOnly);
  EXPECT_EQ(Send(ShortFrame(0x40, 0x00)), kNothing);
  EXPECT_EQ(meter_.Handle(SndUd(0x05, 0x51, Hex("01 7A FD"))), kNothing) << "not a station address";
  EXPECT_EQ(meter_.PrimaryAddress(), 5);
}

TEST_F(MeterTest, DateTimeRecordSetsTheClockAndTheTelegramsFollowIt) {
  // 2023-12-31 07:05 in type F: 05 07 FF 2C.
  ASSERT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("04 6D 05 07 FF 2C"), 0x53)), kAckOnly);
  EXPECT_EQ(meter_.Time(), (DateTime{2023, 12, 31, 7, 5, 0, 0}));
  clock_.Advance(61000);
  EXPECT_EQ(meter_.Time(), (DateTime{2023, 12, 31, 7, 6, 1, 0}));
  ASSERT_EQ(Send("68 03 03 68 73 FE 50 C1 16"), kAckOnly);
  const Bytes records = RecordsOf(Request(true));
  ASSERT_TRUE(HasRecord(records, Hex("04 6D")));
  EXPECT_EQ(Bytes(records.begin() + 2, records.begin() + 6), Hex("06 07 FF 2C"));
  // 31 February is no date.
  EXPECT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("04 6D 00 00 3F 22"), 0x53)), kNothing);
}

TEST_F(MeterTest, PulseStartValueIsReportedInTheChannelUnit) {
  // 1250 in units of 0.01 m3 (VIF 14h) = 12.5 m3, reported in litres (the channel's VIF 13h).
  ASSERT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("84 40 14 E2 04 00 00"), 0x53)), kAckOnly);
  EXPECT_EQ(meter_.PulseValue(1), 12500);
  ASSERT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("84 80 40 13 07 00 00 00"), 0x53)), kAckOnly);
  EXPECT_EQ(meter_.PulseValue(2), 7);
  UseMode(0x00);
  EXPECT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("84 40 13 01 00 00 00"), 0x53)), kNothing);
  EXPECT_EQ(meter_.PulseValue(1), 12500);
}

TEST_F(MeterTest, UnknownWriteRecordIsRefusedWhole) {
  // A valid address record together with one the meter does not know: nothing changes.
  EXPECT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("01 7A 09 04 13 01 00 00 00"))), kNothing);
  EXPECT_EQ(meter_.PrimaryAddress(), 0);
}

TEST_F(MeterTest, SelectionBySecondaryAddress) {
  // 68 0B 0B 68 73 FD 52 78 56 34 12 FF FF FF FF D2 16 selects 12345678.
  EXPECT_EQ(Send("10 7B FD 78 16"), kNothing) << "FDh before a selection";
  EXPECT_EQ(Send("68 0B 0B 68 73 FD 52 78 56 34 12 FF FF FF FF D2 16"), kAckOnly);
  EXPECT_TRUE(meter_.Selected());
  EXPECT_EQ(Send("68 03 03 68 73 FD 50 C0 16"), kAckOnly);
  EXPECT_FALSE(Send("10 7B FD 78 16").empty());
  // Another identification deselects; wildcard digits match.
  EXPECT_EQ(meter_.Handle(SndUd(0xFD, 0x52, Hex("78 56 34 13 FF FF FF FF"))), kNothing);
  EXPECT_FALSE(meter_.Selected());
  EXPECT_EQ(meter_.Handle(SndUd(0xFD, 0x52, Hex("FF FF 34 12 FF FF FF FF"))), kAckOnly);
  EXPECT_EQ(meter_.Handle(SndUd(0xFD, 0x52, Hex("78 56 34 12 B8 59 08 04"))), kAckOnly);
  EXPECT_EQ(meter_.Handle(SndUd(0xFD, 0x52, Hex("78 56 34 12 B8 59 08 07"))), kNothing)
      << "other medium";
}

TEST_F(MeterTest, ReadLogSelectionReportsTheFiveLoggedRecords) {
  ASSERT_EQ(Send("10 40 FE 3E 16"), kAckOnly);
  ASSERT_EQ(Send("68 0F 0F 68 53 FE 51 08 FF 05 08 FF 06 08 5B 08 5F 08 63 F0 16"), kAckOnly);
  const Bytes r = RecordsOf(Request(true));
  std::vector<DataRecord> parsed;
  ASSERT_TRUE(ParseRecords(r, parsed));
  ASSERT_EQ(parsed.size(), 5u);
  EXPECT_EQ(parsed[0].header, Hex("04 FF 05"));
  EXPECT_EQ(parsed[1].header, Hex("04 FF 06"));
  EXPECT_EQ(parsed[2].header, Hex("05 5B"));
  EXPECT_EQ(parsed[3].header, Hex("05 5F"));
  EXPECT_EQ(parsed[4].header, Hex("05 63"));
  // Without a new selection the next (toggled) request logs the same records afresh.
  std::vector<DataRecord> again;
  ASSERT_TRUE(ParseRecords(RecordsOf(Request(false)), again));
  EXPECT_EQ(again.size(), 5u);
}

float RealOf(const DataRecord& r) {
  float v = 0;
  std::memcpy(&v, r.data.data(), 4);
  return v;
}

TEST_F(MeterTest, CurrentValuesArePlausibleAndChangeSlowly) {
  ASSERT_EQ(Send("68 04 04 68 73 FE 50 50 11 16"), kAckOnly);
  std::vector<DataRecord> a, b;
  ASSERT_TRUE(ParseRecords(RecordsOf(Request(true)), a));
  clock_.Advance(60000);
  ASSERT_EQ(Send("68 04 04 68 73 FE 50 50 11 16"), kAckOnly);
  ASSERT_TRUE(ParseRecords(RecordsOf(Request(true)), b));
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((a[i].dif & 0x0F) != 5) continue;
    const float va = RealOf(a[i]), vb = RealOf(b[i]);
    EXPECT_GT(va, 0.0f) << HexString(a[i].header.data(), a[i].header.size());
    EXPECT_LT(std::abs(va - vb), 0.2f * va + 0.5f);
  }
}

TEST_F(MeterTest, ArchiveRecordsComeNewestFirstOnePerRequest) {
  ASSERT_EQ(Send("10 40 FE 3E 16"), kAckOnly);
  ASSERT_EQ(Send("68 04 04 68 73 FE 50 30 F1 16"), kAckOnly);  // days
  ASSERT_EQ(Send("68 06 06 68 73 FE 51 C8 0F 6D 06 16"), kAckOnly);  // the timestamps
  std::uint32_t previous = 0;
  bool fcb = true;
  for (std::uint32_t storage = 1; storage <= 3; ++storage, fcb = !fcb) {
    std::vector<DataRecord> r;
    ASSERT_TRUE(ParseRecords(RecordsOf(Request(fcb)), r));
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].storage, storage);
    DateTime t;
    ASSERT_TRUE(DecodeTypeF(GetU32(r[0].data.data()), t));
    EXPECT_EQ(t.Hour, 0);
    const std::uint32_t day = static_cast<std::uint32_t>(t.Year * 400 + t.Month * 32 + t.Day);
    if (previous) {
      EXPECT_LT(day, previous);
    }
    previous = day;
  }
}

TEST_F(MeterTest, EveryArchiveKindHasRecordsAndAnEnd) {
  struct Kind {
    const char* reset;
    DataStream stream;
  };
  const Kind kinds[] = {{"68 04 04 68 73 FE 50 60 21 16", DataStream::Hours},
                        {"68 04 04 68 73 FE 50 30 F1 16", DataStream::Days},
                        {"68 04 04 68 73 FE 50 40 01 16", DataStream::Months},
                        {"68 04 04 68 73 FE 50 20 E1 16", DataStream::SetDay},
                        {"68 04 04 68 73 FE 50 00 C1 16", DataStream::Sensors}};
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.reset);
    ASSERT_EQ(Send(k.reset), kAckOnly);
    EXPECT_EQ(meter_.Stream(), k.stream);
    const std::uint32_t depth = VirtualMeter::ArchiveDepth(k.stream);
    ASSERT_GT(depth, 0u);
    bool fcb = true;
    Bytes last;
    for (std::uint32_t i = 0; i < depth; ++i, fcb = !fcb) {
      last = Send(ShortFrame(fcb ? 0x7B : 0x5B, 0xFE));
      ASSERT_GT(last.size(), 1u) << "record " << i + 1;
    }
    std::vector<DataRecord> r;
    Frame f;
    ASSERT_TRUE(ParseFrame(last.data(), last.size(), f));
    ASSERT_TRUE(ParseRecords(RecordsOf(f), r));
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r[0].storage, depth);
    EXPECT_EQ(Send(ShortFrame(fcb ? 0x7B : 0x5B, 0xFE)), kAckOnly) << "past the oldest record";
  }
}

TEST_F(MeterTest, ArchiveSelectionPicksTheRequestedQuantities) {
  ASSERT_EQ(Send("68 04 04 68 73 FE 50 40 01 16"), kAckOnly);  // months
  // Tariff 1 registers (-1/1/0 + 7E) and maximum power with its date (-1/-1/-1 + 18 2E, AE 6D).
  ASSERT_EQ(meter_.Handle(SndUd(0xFE, 0x51, Hex("C8 1F 7E D8 FF 7F 2E D8 FF 7F AE 6D"))),
            kAckOnly);
  std::vector<DataRecord> r;
  ASSERT_TRUE(ParseRecords(RecordsOf(Request(true)), r));
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].tariff, 1u);
  EXPECT_EQ(r[0].vif, Hex("86 3B"));
  EXPECT_EQ(r[1].function, 1);
  EXPECT_EQ(r[1].vif, Hex("2E"));
  EXPECT_EQ(r[2].vif, Hex("AE 6D"));
  for (const DataRecord& x : r) EXPECT_EQ(x.storage, 1u);
}

TEST_F(MeterTest, DefaultMemoryHoldsValidCheckSums) {
  for (std::uint32_t fw : {kFirmware17042702, kFirmwareNewCoefLayout, 16051016u}) {
    SCOPED_TRACE(fw);
    MeterOptions o;
    o.firmware = fw;
    VirtualMeter m(o, clock_);
    MeterImage image = m.Image();
    EXPECT_EQ(image.FirmwareVersion(), fw);
    EXPECT_FALSE(CheckTemperatureCrc(image, false, nullptr));
    EXPECT_FALSE(CheckConstantsCrc(image, false, nullptr));
    EXPECT_FALSE(CheckFlowCrc(image, false, nullptr));
    EXPECT_EQ(image.Get<std::uint16_t>(kImageCrcOffset), ImageCrc(image));
  }
}

TEST_F(MeterTest, TestModeByteReadSwitchesTestModeWithoutChanges) {
  const Bytes on = meter_.Handle(MemoryReadTelegram(0xFE, 0x10058, 1));
  ASSERT_EQ(on.size(), 11u);
  EXPECT_EQ(on[8], 1);
  EXPECT_EQ(meter_.ModeByte(), 0x40);
  clock_.Advance(1000);  // the master asks again after a lost answer: no second switch
  const Bytes repeated = meter_.Handle(MemoryReadTelegram(0xFE, 0x10058, 1));
  ASSERT_EQ(repeated.size(), 11u);
  EXPECT_EQ(repeated[8], 1);
  EXPECT_EQ(meter_.ModeByte(), 0x40);
  clock_.Advance(10000);
  const Bytes off = meter_.Handle(MemoryReadTelegram(0xFE, 0x10058, 1));
  ASSERT_EQ(off.size(), 11u);
  EXPECT_EQ(off[8], 0);
  EXPECT_EQ(meter_.ModeByte(), 0x22);
}

class OptionsTest : public ::testing::Test {
 protected:
  ManualClock clock_;
};

TEST_F(OptionsTest, DropEveryLeavesOutEveryNthAnswer) {
  MeterOptions o;
  o.drop_every = 3;
  VirtualMeter m(o, clock_);
  const Bytes nke = Hex("10 40 FE 3E 16");
  std::vector<bool> answered;
  for (int i = 0; i < 6; ++i) answered.push_back(!m.Handle(nke).empty());
  EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));
}

TEST_F(OptionsTest, CorruptEverySpoilsTheChecksumOfEveryNthLongFrame) {
  MeterOptions o;
  o.corrupt_every = 2;
  VirtualMeter m(o, clock_);
  Frame f;
  const Bytes first = m.Handle(testing::MemoryReadTelegram(0xFE, 0x1000, 8));
  EXPECT_TRUE(ParseFrame(first.data(), first.size(), f));
  EXPECT_EQ(m.Handle(Hex("10 40 FE 3E 16")), kAckOnly) << "E5 has no check sum to spoil";
  const Bytes second = m.Handle(testing::MemoryReadTelegram(0xFE, 0x1000, 8));
  ASSERT_EQ(second.size(), first.size());
  EXPECT_FALSE(ParseFrame(second.data(), second.size(), f));
  EXPECT_EQ(Bytes(second.begin(), second.end() - 2), Bytes(first.begin(), first.end() - 2));
}

TEST_F(OptionsTest, MuteNeverAnswersAndAckDataAnswersRequestsWithE5) {
  MeterOptions mute;
  mute.mute = true;
  VirtualMeter m(mute, clock_);
  EXPECT_EQ(m.Handle(Hex("10 40 FE 3E 16")), kNothing);
  EXPECT_EQ(m.Handle(Hex("10 7B FE 79 16")), kNothing);
  MeterOptions ack;
  ack.ack_data = true;
  VirtualMeter a(ack, clock_);
  EXPECT_EQ(a.Handle(Hex("10 7B FE 79 16")), kAckOnly);
  EXPECT_EQ(a.Handle(testing::MemoryReadTelegram(0xFE, 0x1000, 4)).size(), 14u);
}

TEST_F(OptionsTest, IdentificationAddressAndImageFromTheOptions) {
  MeterOptions o;
  o.image = DefaultMeterImage(kFirmware17042702);
  o.image->SetCfg<std::uint8_t>(97, 5);
  o.id = 0x00001234;
  o.address = 17;
  VirtualMeter m(o, clock_);
  EXPECT_EQ(m.Identification(), 0x1234u);
  EXPECT_EQ(m.PrimaryAddress(), 17);
  EXPECT_EQ(m.ConfigBlock()[97], 5);
  EXPECT_EQ(m.Handle(Hex("10 40 11 51 16")), kAckOnly);
}

}  // namespace
}  // namespace nord5::sim

namespace nord5::sim {
namespace {

// Telegrams with a right check sum but arbitrary content reach the record, selection and memory
// parsers; none may crash the meter or make it answer with a malformed frame.
TEST(MeterRobustness, ArbitraryWellFramedTelegramsGetWellFormedAnswersOrNone) {
  ManualClock clock;
  VirtualMeter meter({}, clock);
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(seed >> 16);
  };
  const std::uint8_t cis[] = {0x50, 0x51, 0x52, 0xA1, 0xA2};
  for (int i = 0; i < 20000; ++i) {
    Bytes data(next() % 24);
    for (auto& b : data) b = next();
    // Keep memory telegrams mostly inside the map so that they get past the first checks.
    const std::uint8_t ci = cis[next() % 5];
    if ((ci == 0xA1 || ci == 0xA2) && data.size() >= 7) {
      data[0] = 0x0F;
      data[1] = 0;
    }
    const std::uint8_t a = (next() & 1) ? 0xFE : 0xFD;
    const std::uint8_t c = next() & 1 ? 0x53 : 0x73;
    const Bytes answer = i % 3 == 0 ? meter.Handle(ShortFrame(next(), a))
                                    : meter.Handle(LongFrame(c, a, ci, data));
    if (answer.empty() || answer == Bytes{0xE5}) continue;
    Frame f;
    ASSERT_TRUE(ParseFrame(answer.data(), answer.size(), f))
        << HexString(answer.data(), answer.size());
  }
}

}  // namespace
}  // namespace nord5::sim
