#include "mbus/decoder.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_frames.h"

namespace nord5 {
namespace {

using testing::Bytes;
using testing::Limit;
using testing::LongFrame;

struct Decoded {
  bool result = false;
  bool called = false;
  std::int32_t id = 0;
  std::int32_t address = 0;
  std::unique_ptr<TFullRecord> list = std::make_unique<TFullRecord>();
  std::vector<std::string> values_in_handler;  // value texts formatted inside the handler

  const TTableRecord& operator[](int i) const { return list->Rec[i]; }
  int count() const { return list->Count; }
};

Decoded Decode(const Bytes& frame, int limit, bool system_separator = false) {
  Decoded d;
  d.result = DecodeMBusData(frame, limit, system_separator,
                            [&d](std::int32_t id, std::int32_t a, const TFullRecord& dr) {
                              d.called = true;
                              d.id = id;
                              d.address = a;
                              *d.list = dr;
                              for (int i = 0; i < dr.Count; ++i)
                                d.values_in_handler.push_back(VariantToText(dr.Rec[i].Value));
                              return true;
                            });
  return d;
}

Decoded Decode(const Bytes& records) {
  const Bytes frame = LongFrame(records);
  return Decode(frame, Limit(frame));
}

// ---- One record: name, displayed value and unit -----------------------------------------------

struct RecordCase {
  const char* what;
  Bytes record;
  const char* name;
  const char* value;
  const char* units;
};

class RecordTest : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordTest, DecodesNameValueAndUnit) {
  const RecordCase& c = GetParam();
  const Decoded d = Decode(c.record);
  ASSERT_TRUE(d.called);
  ASSERT_EQ(d.count(), 2) << c.what;
  EXPECT_EQ(d[1].Name, c.name) << c.what;
  EXPECT_EQ(VariantToText(d[1].Value), c.value) << c.what;
  EXPECT_EQ(d[1].Units, c.units) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordTest,
    ::testing::Values(
        RecordCase{"volume in litres", {0x04, 0x13, 0xD2, 0x04, 0x00, 0x00}, "Volume", "1.234",
                   "m3"},
        RecordCase{"energy in kWh to MWh", {0x04, 0x06, 0x39, 0x30, 0x00, 0x00}, "Energy",
                   "12.345", "MWh"},
        RecordCase{"energy in J to GJ", {0x04, 0x0B, 0x40, 0x42, 0x0F, 0x00}, "Energy", "1.000",
                   "GJ"},
        RecordCase{"16-bit flow temperature", {0x02, 0x59, 0x2A, 0x09}, "Flow temperature",
                   "23.460", "°C"},
        RecordCase{"return temperature, 0.1 K", {0x02, 0x5E, 0xD2, 0x01}, "Return temperature",
                   "46.600", "°C"},
        RecordCase{"negative temperature difference", {0x02, 0x61, 0x18, 0xFC},
                   "Temperature difference", "-10.000", "K"},
        RecordCase{"tariff 1", {0x84, 0x10, 0x06, 0x39, 0x30, 0x00, 0x00}, "Energy, T1",
                   "12.345", "MWh"},
        RecordCase{"storage 1 + (1 << 1)", {0xC4, 0x01, 0x06, 0x39, 0x30, 0x00, 0x00},
                   "Energy, S3", "12.345", "MWh"},
        RecordCase{"maximum value", {0x14, 0x06, 0x39, 0x30, 0x00, 0x00}, "Max Energy", "12.345",
                   "MWh"},
        RecordCase{"minimum value", {0x22, 0x59, 0x2A, 0x09}, "Min Flow temperature", "23.460",
                   "°C"},
        RecordCase{"value during error state", {0x34, 0x13, 0xD2, 0x04, 0x00, 0x00},
                   "Error Volume", "1.234", "m3"},
        RecordCase{"subunit 1", {0x84, 0x40, 0x13, 0xD2, 0x04, 0x00, 0x00}, "Volume1", "1.234",
                   "m3"},
        RecordCase{"subunit 2 from the second DIFE", {0x84, 0x80, 0x40, 0x13, 0x01, 0, 0, 0},
                   "Volume2", "0.001", "m3"},
        RecordCase{"accumulation of positive contributions",
                   {0x04, 0x86, 0x3B, 0x39, 0x30, 0x00, 0x00}, "Energy accumulated positive",
                   "12.345", "MWh"},
        RecordCase{"duration VIFE keeps the displaced name",
                   {0x04, 0x93, 0x60, 0x10, 0x0E, 0x00, 0x00},
                   "Volume duration Aver. Duration", "1.00", "h"},
        RecordCase{"per-hour VIFE", {0x04, 0x93, 0x22, 0x05, 0x00, 0x00, 0x00}, "Volume per hour",
                   "0.005", "m3"},
        RecordCase{"error flags in error state", {0x34, 0xFD, 0x17, 0x04, 0x00, 0x00, 0x00},
                   "Error Flag", "8000", ""},
        RecordCase{"error word of the FB table", {0x04, 0xFB, 0x17, 0x00, 0x04, 0x00, 0x10},
                   "Error", "0005", ""},
        RecordCase{"date and time, type F", {0x04, 0x6D, 0x1E, 0x0C, 0x4F, 0x26}, "Timestamp",
                   "2018-06-15 12:30:00", ""},
        RecordCase{"type F zero is 1 January 2000", {0x04, 0x6D, 0x00, 0x00, 0x00, 0x00},
                   "Timestamp", "2000-01-01", ""},
        RecordCase{"type F 31 February", {0x04, 0x6D, 0x00, 0x0C, 0x1F, 0x22}, "Timestamp",
                   "- - -", ""},
        RecordCase{"date, type G", {0x02, 0x6C, 0x4F, 0x26}, "Date", "2018-06-15", ""},
        RecordCase{"type G zero", {0x02, 0x6C, 0x00, 0x00}, "Date", "- - -", ""},
        RecordCase{"type G all ones", {0x02, 0x6C, 0xFF, 0xFF}, "Date", "- - -", ""},
        RecordCase{"BCD with sign nibble", {0x0A, 0x13, 0x34, 0xF2}, "Volume", "-0.234", "m3"},
        RecordCase{"12-digit BCD", {0x0E, 0x06, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00}, "Energy",
                   "123.456", "MWh"},
        RecordCase{"on time in seconds", {0x04, 0x20, 0x10, 0x0E, 0x00, 0x00}, "OnTime", "1.00",
                   "h"},
        RecordCase{"operating time in minutes", {0x02, 0x25, 0x5A, 0x00}, "Operation Time", "1.50",
                   "h"},
        RecordCase{"hours are shown unchanged", {0x02, 0x26, 0x05, 0x00}, "Operation Time", "5",
                   "h"},
        RecordCase{"days to hours", {0x01, 0x23, 0x02}, "OnTime", "48.00", "h"},
        RecordCase{"power in W to kW", {0x04, 0x2B, 0xDC, 0x05, 0x00, 0x00}, "Power", "1.500",
                   "kW"},
        RecordCase{"real power in kW", {0x05, 0x2E, 0x00, 0x00, 0xC0, 0x3F}, "Power", "1.500",
                   "kW"},
        RecordCase{"real that is not a number gives 0", {0x05, 0x5B, 0x00, 0x00, 0xC0, 0x7F},
                   "Flow temperature", "0.000", "°C"},
        RecordCase{"J/h is not scaled", {0x02, 0x33, 0x07, 0x00}, "Power", "7", "J/h"},
        RecordCase{"volume flow", {0x04, 0x3B, 0x0A, 0x00, 0x00, 0x00}, "Flow", "0.010", "m3/h"},
        RecordCase{"energy in 0.1 MWh", {0x04, 0xFB, 0x00, 0x7B, 0x00, 0x00, 0x00}, "Energy",
                   "12.300", "MWh"},
        RecordCase{"volts", {0x02, 0xFD, 0x48, 0xE6, 0x00}, "Volts", "23.000", ""},
        RecordCase{"digital input", {0x01, 0xFD, 0x1B, 0x02}, "Digital Input", "2.000", ""},
        RecordCase{"unknown FB code stays code 0", {0x01, 0xFB, 0x40, 0x07}, "Received time",
                   "7.000", ""},
        RecordCase{"plain text VIF skips its text", {0x01, 0x7C, 0x03, 0x61, 0x62, 0x63, 0x05},
                   "Spec. value", "5.000", ""},
        RecordCase{"VIFE after a plain text VIF", {0x01, 0xFC, 0x02, 0x25, 0x48, 0x74, 0x05},
                   "Spec. value", "5.000", ""},
        RecordCase{"fabrication number", {0x0C, 0x78, 0x61, 0x15, 0x01, 0x24},
                   "Fabrication No", "24011561.000", ""}));

// ---- A whole telegram -----------------------------------------------------------------------

TEST(DecodeMBusData, FirstEntryIsTheIdentificationAndHeadersAreKept) {
  const Bytes frame = LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00,   // 19: volume
                                 0x07, 0x06, 0x39, 0x30, 0, 0, 0, 0, 0, 0,  // 25: 64-bit energy
                                 0x02, 0x59, 0x2A, 0x09},                // 35: flow temperature
                                0x07, 0x00001234);
  const Decoded d = Decode(frame, Limit(frame));
  ASSERT_TRUE(d.called);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.id, 1234);
  EXPECT_EQ(d.address, 7);
  ASSERT_EQ(d.count(), 4);
  EXPECT_EQ(d[0].Name, "DeviceID");
  EXPECT_EQ(d[0].Value, TVariant(std::int64_t{1234}));
  EXPECT_TRUE(d[0].iDIF.empty());
  EXPECT_EQ(d[0].Offset, 7);
  EXPECT_EQ(d[0].Length, 4);
  for (int i = 0; i < d.count(); ++i) EXPECT_EQ(d[i].Index, i + 1);

  EXPECT_EQ(d[1].iDIF, (Bytes{0x04, 0x13}));
  EXPECT_EQ(d[1].iValue, TVariant(std::int64_t{1234}));
  EXPECT_EQ(d[1].iMul, TVariant(0.001));
  EXPECT_EQ(d[1].Offset, 19);
  EXPECT_EQ(d[1].Length, 6);
  EXPECT_EQ(d[1].AccType, TAccount::acc_SUB);
  EXPECT_EQ(d[1].MS_Parm, TParametersTypes::wsr_Volume);

  // The 64-bit field takes eight bytes; the record after it is read from the right place.
  EXPECT_EQ(VariantToText(d[2].Value), "12.345");
  EXPECT_EQ(d[2].Offset, 25);
  EXPECT_EQ(d[2].Length, 10);
  EXPECT_EQ(d[3].Name, "Flow temperature");
  EXPECT_EQ(d[3].Offset, 35);
}

TEST(DecodeMBusData, VariableLengthRecordKeepsItsHeader) {
  const Decoded d = Decode({0x0D, 0xFD, 0x0E, 0x03, 0x31, 0x2E, 0x32,   // firmware "1.2"
                            0x04, 0x13, 0xD2, 0x04, 0x00, 0x00});
  ASSERT_EQ(d.count(), 3);
  EXPECT_EQ(d[1].Name, "Firmware version");
  EXPECT_EQ(d[1].iDIF, (Bytes{0x0D, 0xFD, 0x0E}));
  EXPECT_EQ(d[1].iValue, TVariant(std::int64_t{0x322E31}));
  EXPECT_EQ(d[1].Length, 7);
  EXPECT_EQ(d[2].Name, "Volume");
}

TEST(DecodeMBusData, ResultFollowsTheHandler) {
  const Bytes frame = LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00});
  EXPECT_FALSE(DecodeMBusData(frame, Limit(frame), false, nullptr));
  const DecodedDataHandler refuse = [](std::int32_t, std::int32_t, const TFullRecord&) {
    return false;
  };
  EXPECT_FALSE(DecodeMBusData(frame, Limit(frame), false, refuse));
  EXPECT_TRUE(Decode(frame, Limit(frame)).result);
}

TEST(DecodeMBusData, FrameTooShortForTheIdentificationFailsWithoutHandler) {
  const Bytes frame = {0x68, 0x04, 0x04, 0x68, 0x08, 0x01, 0x72, 0x78, 0x56, 0x34};
  const Decoded d = Decode(frame, 8);
  EXPECT_TRUE(d.result);
  EXPECT_FALSE(d.called);
}

// The decoder keeps its list from call to call; nothing of an earlier telegram may show through.
TEST(DecodeMBusData, ListOfALaterTelegramCarriesNothingOver) {
  // Maximum of an energy with subunit, tariff, storage and a duration VIFE, then a text record.
  const Bytes rich = LongFrame({0xD4, 0xD0, 0x03, 0x05, 0xE0, 0x01, 0x10, 0x27, 0x00, 0x00,
                                0x0D, 0xFD, 0x0E, 0x03, 0x31, 0x2E, 0x32});
  const Bytes plain = LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00, 0x02, 0x59, 0x2A, 0x09});
  ASSERT_TRUE(Decode(rich, Limit(rich)).called);
  const Decoded later = Decode(plain, Limit(plain));

  auto records = std::make_unique<tMBUS_RecArray>();
  auto fresh = std::make_unique<TFullRecord>();
  std::int32_t id = 0;
  std::int32_t a = 0;
  ASSERT_TRUE(DecodeMBusRecords(plain, Limit(plain), *records, id, a));
  BuildFullRecord(*records, *fresh);
  ASSERT_EQ(later.count(), fresh->Count);
  for (int i = 0; i < fresh->Count; ++i) {
    const TTableRecord& x = later[i];
    const TTableRecord& y = fresh->Rec[i];
    EXPECT_EQ(x.Name, y.Name) << i;
    EXPECT_EQ(x.Units, y.Units) << i;
    EXPECT_EQ(x.Value, y.Value) << i;
    EXPECT_EQ(x.iValue, y.iValue) << i;
    EXPECT_EQ(x.iDIF, y.iDIF) << i;
    EXPECT_EQ(x.iMul, y.iMul) << i;
    EXPECT_EQ(x.AccType, y.AccType) << i;
    EXPECT_EQ(x.MS_Parm, y.MS_Parm) << i;
    EXPECT_EQ(x.Index, y.Index) << i;
    EXPECT_EQ(x.Offset, y.Offset) << i;
    EXPECT_EQ(x.Length, y.Length) << i;
  }
  EXPECT_EQ(later[1].Name, "Volume");
  EXPECT_EQ(later[2].Name, "Flow temperature");
}

// A handler may decode another telegram; the list it was given stays as it was.
TEST(DecodeMBusData, NestedDecodingLeavesTheOuterListAlone) {
  const Bytes outer = LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00}, 0x01, 0x11111111);
  const Bytes inner = LongFrame({0x02, 0x59, 0x2A, 0x09, 0x02, 0x59, 0x2A, 0x09}, 0x02, 0x22222222);
  bool inner_called = false;
  std::string outer_name_after;
  int outer_count_after = 0;
  DecodeMBusData(outer, Limit(outer), false,
                 [&](std::int32_t, std::int32_t, const TFullRecord& dr) {
                   DecodeMBusData(inner, Limit(inner), false,
                                  [&](std::int32_t id, std::int32_t, const TFullRecord& in) {
                                    inner_called = id == 22222222 && in.Count == 3;
                                    return true;
                                  });
                   outer_name_after = dr.Rec[1].Name;
                   outer_count_after = dr.Count;
                   return true;
                 });
  EXPECT_TRUE(inner_called);
  EXPECT_EQ(outer_count_after, 2);
  EXPECT_EQ(outer_name_after, "Volume");
}

// ---- Where the records end ------------------------------------------------------------------

struct EndCase {
  const char* what;
  Bytes records;
  int limit_delta;     // added to the check sum offset
  int expected_count;  // entries handed over, "DeviceID" included
};

class EndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(EndTest, KeepsTheRecordsBefore) {
  const EndCase& c = GetParam();
  const Bytes frame = LongFrame(c.records);
  const Decoded d = Decode(frame, Limit(frame) + c.limit_delta);
  ASSERT_TRUE(d.called) << c.what;
  EXPECT_TRUE(d.result) << c.what;
  EXPECT_EQ(d.count(), c.expected_count) << c.what;
  if (d.count() > 1) {
    EXPECT_EQ(d[1].Name, "Volume") << c.what;
  }
}

const Bytes kVolume = {0x04, 0x13, 0xD2, 0x04, 0x00, 0x00};
Bytes VolumeThen(Bytes tail) {
  Bytes r = kVolume;
  r.insert(r.end(), tail.begin(), tail.end());
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, EndTest,
    ::testing::Values(
        EndCase{"no records: the first would start at the limit", {}, 0, 1},
        EndCase{"limit at the first record", kVolume, -6, 1},
        EndCase{"manufacturer data 0F", VolumeThen({0x0F, 0x04, 0x13, 0x01, 0, 0, 0}), 0, 2},
        EndCase{"more records follow 1F", VolumeThen({0x1F, 0x04, 0x13, 0x01, 0, 0, 0}), 0, 2},
        EndCase{"global readout 7F", VolumeThen({0x7F, 0x04, 0x13, 0x01, 0, 0, 0}), 0, 2},
        EndCase{"idle filler 2F is skipped", {0x2F, 0x2F, 0x04, 0x13, 0xD2, 0x04, 0, 0, 0x2F}, 0,
                2},
        EndCase{"no data (code 0)", VolumeThen({0x00, 0x13, 0x04, 0x13, 0x01, 0, 0, 0}), 0, 2},
        EndCase{"selection for readout (code 8)", VolumeThen({0x08, 0x13}), 0, 2},
        EndCase{"data field runs past the limit", VolumeThen({0x04, 0x13, 0x01, 0x02}), 0, 2},
        EndCase{"limit in the middle of a data field", VolumeThen({0x04, 0x13, 1, 2, 3, 4}), -2,
                2},
        EndCase{"header runs past the limit", VolumeThen({0x84, 0x80}), 0, 2},
        EndCase{"VIFEs run past the limit", VolumeThen({0x04, 0x93, 0xBB}), 0, 2},
        EndCase{"FD without code byte", VolumeThen({0x04, 0xFD, 0x97}), 0, 2},
        EndCase{"text of a plain text VIF runs past the limit",
                VolumeThen({0x01, 0x7C, 0x09, 0x41, 0x42}), 0, 2},
        EndCase{"variable length runs past the limit", VolumeThen({0x0D, 0xFD, 0x0E, 0x20, 0x41}),
                0, 2},
        EndCase{"eleven DIFEs",
                VolumeThen({0x84, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x01,
                            0x13, 0x01, 0, 0, 0}),
                0, 2}));

TEST(DecodeMBusData, TenDifesAreStillARecord) {
  const Decoded d = Decode({0x84, 0x81, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00,
                            0x13, 0x01, 0, 0, 0});
  ASSERT_EQ(d.count(), 2);
  EXPECT_EQ(d[1].Name, "Volume, S2");
}

TEST(DecodeMBusData, ReceivedBytesEndBeforeTheLimit) {
  // The limit comes from the length byte; only part of the frame arrived.
  const Bytes frame = LongFrame(VolumeThen({0x04, 0x13, 0x01, 0x02, 0x03, 0x04}));
  const std::span<const std::uint8_t> received(frame.data(), frame.size() - 4);
  Decoded d;
  DecodeMBusData(received, Limit(frame), false,
                 [&d](std::int32_t, std::int32_t, const TFullRecord& dr) {
                   *d.list = dr;
                   return true;
                 });
  EXPECT_EQ(d.count(), 2);
}

TEST(DecodeMBusData, ListNeverHoldsMoreThan101Entries) {
  Bytes records;
  for (int i = 0; i < 150; ++i) records.insert(records.end(), {0x01, 0x13, 0x05});
  const Bytes frame = LongFrame(records);  // the length byte wraps; the decoder goes by the limit
  const Decoded d = Decode(frame, static_cast<int>(frame.size()) - 2);
  ASSERT_TRUE(d.called);
  EXPECT_EQ(d.count(), kMaxDecodedEntries);
  EXPECT_EQ(d[100].Index, 101);
  EXPECT_EQ(d[100].Offset, 19 + 99 * 3);
}

// ---- Decimal separator ----------------------------------------------------------------------

class SeparatorTest : public ::testing::Test {
 protected:
  void SetUp() override { SetSystemDecimalSeparator(','); }
  void TearDown() override { SetSystemDecimalSeparator('.'); }
};

TEST_F(SeparatorTest, SystemSeparatorOnlyDuringTheCall) {
  const Bytes frame = LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00, 0x05, 0x3E, 0, 0, 0xC0, 0x3F});
  const Decoded d = Decode(frame, Limit(frame), true);
  ASSERT_EQ(d.values_in_handler.size(), 3u);
  EXPECT_EQ(d.values_in_handler[1], "1,234");
  EXPECT_EQ(d.values_in_handler[2], "1,500");
  EXPECT_EQ(DecimalSeparatorInForce(), '.');
  EXPECT_EQ(VariantToText(TVariant(1.5)), "1.5");

  const Decoded plain = Decode(frame, Limit(frame), false);
  EXPECT_EQ(plain.values_in_handler[1], "1.234");
}

TEST_F(SeparatorTest, RestoredAfterAFailure) {
  const Bytes short_frame = {0x68, 0x04, 0x04, 0x68, 0x08};
  EXPECT_TRUE(DecodeMBusData(short_frame, 4, true, nullptr));
  EXPECT_EQ(DecimalSeparatorInForce(), '.');

  const Bytes frame = LongFrame(kVolume);
  char seen = 0;
  EXPECT_TRUE(DecodeMBusData(frame, Limit(frame), true,
                             [&seen](std::int32_t, std::int32_t, const TFullRecord&) -> bool {
                               seen = DecimalSeparatorInForce();
                               throw std::runtime_error("consumer failed");
                             }));
  EXPECT_EQ(seen, ',');
  EXPECT_EQ(DecimalSeparatorInForce(), '.');
}

// ---- Dump to the communication log ----------------------------------------------------------

TEST(TraceMeterData, DumpsEveryEntryThroughTheHook) {
  std::vector<std::pair<std::string, bool>> lines;
  ManualClock clock;
  clock.SetLocalTime(DateTime{2024, 3, 15, 13, 45, 7, 0});
  SetDecoderClock(&clock);
  SetTraceTextHook([&lines](const std::string& text, bool cr) { lines.emplace_back(text, cr); });
  Decode({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00});
  SetTraceTextHook(nullptr);
  SetDecoderClock(nullptr);

  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].first, "\r**************** Meter data ***************************");
  EXPECT_EQ(lines[1].first, "\rReading time - 2024-03-15 13:45:07");
  EXPECT_EQ(lines[2].first, "\r1. DeviceID 12345678 ");
  EXPECT_EQ(lines[3].first, "\r2. Volume 1.234 m3");
  EXPECT_EQ(lines[4].first, "\r*******************************************************");
  for (const auto& l : lines) EXPECT_FALSE(l.second);

  lines.clear();
  Decode(kVolume);  // hook removed: nothing is written
  EXPECT_TRUE(lines.empty());
}

// ---- Codecs ---------------------------------------------------------------------------------

TEST(DecodeBCD, DigitsSignAndNonDecimalNibbles) {
  struct Case {
    Bytes bytes;
    std::int64_t expected;
  };
  const Case cases[] = {
      {{0x78, 0x56, 0x34, 0x12}, 12345678},
      {{0x34, 0xF2}, -234},
      {{0x00}, 0},
      {{0x99, 0x99, 0x99, 0x99, 0x99, 0x99}, 999999999999},
      {{0x0A}, 10},           // A taken at its value
      {{0xFF}, -15},          // sign nibble, then F in the low nibble
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeBCD(c.bytes.data(), static_cast<int>(c.bytes.size())), c.expected);
}

TEST(MapErrorWord, EveryListedBit) {
  struct Case {
    int bit;
    std::uint16_t code;
  };
  const Case cases[] = {{2, 0x8000},  {3, 0x8000},  {5, 0x8000},  {29, 0x8000}, {31, 0x8000},
                        {4, 0x1000},  {10, 0x0001}, {11, 0x0002}, {16, 0x0080}, {17, 0x0080},
                        {19, 0x0080}, {18, 0x00C0}, {20, 0x0800}, {21, 0x0800}, {23, 0x0800},
                        {22, 0x0C00}, {24, 0x0880}, {26, 0x4000}, {27, 0x2000}, {28, 0x0004},
                        {0, 0},       {1, 0},       {6, 0},       {25, 0},      {30, 0}};
  for (const auto& c : cases) EXPECT_EQ(MapErrorWord(1u << c.bit), c.code) << "bit " << c.bit;
  EXPECT_EQ(MapErrorWord(0xFFFFFFFFu), 0xFCC7);
}

TEST(QuantityTable, GroupsAndReservedRows) {
  EXPECT_STREQ(Quantity(TReiksmes::rmNone).Name, "Received time");
  EXPECT_STREQ(Quantity(TReiksmes::rmActualy_days).Units, "days");
  EXPECT_STREQ(Quantity(TReiksmes::rmVolumeGallon_h1).Units, "gallon/h");
  EXPECT_STREQ(Quantity(TReiksmes::rmTemperLimit_C).Units, "°C");
  EXPECT_STREQ(Quantity(TReiksmes::rmPeriodOfTariffYR).Name, "Period of tariff");
  EXPECT_STREQ(Quantity(TReiksmes::rmSpecValue).Name, "Spec. value");
  for (TReiksmes r : {TReiksmes::rmR1, TReiksmes::rmR8, TReiksmes::rmR14, TReiksmes::rmR20}) {
    EXPECT_STREQ(Quantity(r).Name, "");
    EXPECT_EQ(Quantity(r).AccType, TAccount::acc_None);
    EXPECT_EQ(Quantity(r).MS_Parm, TParametersTypes::wsr_Index);
  }
  EXPECT_EQ(Quantity(TReiksmes::rmErrorMask).MS_Show, 1);
  EXPECT_EQ(Quantity(TReiksmes::rmCredits).AccType, TAccount::acc_NoOper);
}

}  // namespace
}  // namespace nord5
