#include "meterdata/current_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../mbus/test_frames.h"
#include "foundation/memory_form.h"
#include "mbus/decoder.h"

namespace nord5 {
namespace {

using testing::Bytes;
using testing::LongFrame;

const char* const kFields[] = {
    "edHeatingEnergy",    "edCoolingEnergy",      "edTariff1",         "edTariff2",
    "edVolume",           "edPulseInput1",        "edPulseInput2",     "edManufactureNumber",
    "edWorkingTime",      "edErrorFreeTime",      "edErrorDateAndTime", "edErrorCode",
    "textActDeviceID",    "textActMBusAddr",      "edDeviceTime",      "edTemperature1flow",
    "edTemperature2return", "edTemperatureDiff",  "edFlow",            "edPower"};

class CurrentDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kFields) form.Add(name, ControlKind::Edit, "XXXXXX");
  }

  // Decodes one telegram into the form the way the engine does.
  void Receive(const Bytes& records, std::uint8_t address = 5, std::uint32_t id = 0x12345678) {
    const Bytes frame = LongFrame(records, address, id);
    DecodeMBusData(frame, testing::Limit(frame), false, CurrentMeterDataHandler(form));
  }

  // Every field that no longer shows the placeholder, sorted.
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const char* name : kFields)
      if (form.Text(name) != "XXXXXX") names.push_back(name);
    std::sort(names.begin(), names.end());
    return names;
  }

  static std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  }

  MemoryForm form;
};

struct RuleCase {
  Bytes record;
  const char* field;
  const char* text;
};

class RuleTest : public CurrentDataTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(RuleTest, FillsItsFieldOnly) {
  const RuleCase& c = GetParam();
  Receive(c.record);
  EXPECT_EQ(form.Text(c.field), c.text);
  EXPECT_EQ(Written(), Sorted({"textActDeviceID", "textActMBusAddr", c.field})) << c.field;
}

// One record per rule, in the order the rules are tried.
INSTANTIATE_TEST_SUITE_P(
    Rules, RuleTest,
    ::testing::Values(
        RuleCase{{0x04, 0x6D, 0x1E, 0x0C, 0x4F, 0x26}, "edDeviceTime", "2018-06-15 12:30:00"},
        RuleCase{{0x04, 0x86, 0x3B, 0x39, 0x30, 0x00, 0x00}, "edHeatingEnergy", "12.345, MWh"},
        RuleCase{{0x04, 0x86, 0x3C, 0x39, 0x30, 0x00, 0x00}, "edCoolingEnergy", "12.345, MWh"},
        RuleCase{{0x84, 0x10, 0x86, 0x3B, 0xE8, 0x03, 0, 0}, "edTariff1", "1.000, MWh"},
        RuleCase{{0x84, 0x10, 0x86, 0x3C, 0xE8, 0x03, 0, 0}, "edTariff1", "1.000, MWh"},
        RuleCase{{0x84, 0x20, 0x86, 0x3B, 0xD0, 0x07, 0, 0}, "edTariff2", "2.000, MWh"},
        RuleCase{{0x84, 0x20, 0x86, 0x3C, 0xD0, 0x07, 0, 0}, "edTariff2", "2.000, MWh"},
        RuleCase{{0x04, 0x13, 0xD2, 0x04, 0x00, 0x00}, "edVolume", "1.234, m3"},
        RuleCase{{0x84, 0x40, 0x13, 0xD2, 0x04, 0x00, 0x00}, "edPulseInput1", "1.234, m3"},
        RuleCase{{0x84, 0x80, 0x40, 0x13, 0xD2, 0x04, 0, 0}, "edPulseInput2", "1.234, m3"},
        RuleCase{{0x04, 0x20, 0x20, 0x1C, 0x00, 0x00}, "edWorkingTime", "2.00, h"},
        RuleCase{{0x04, 0x24, 0x20, 0x1C, 0x00, 0x00}, "edErrorFreeTime", "2.00"},
        RuleCase{{0x34, 0x6D, 0x00, 0x00, 0x4F, 0x26}, "edErrorDateAndTime", "2018-06-15"},
        RuleCase{{0x34, 0xFD, 0x17, 0x00, 0x04, 0x00, 0x00}, "edErrorCode", "0001"},
        RuleCase{{0x05, 0x5B, 0x00, 0x00, 0xBC, 0x41}, "edTemperature1flow", "23.500, °C"},
        RuleCase{{0x02, 0x59, 0x2A, 0x09}, "edTemperature1flow", "23.460, °C"},
        RuleCase{{0x05, 0x5F, 0x00, 0x00, 0xA0, 0x41}, "edTemperature2return", "20.000, °C"},
        RuleCase{{0x02, 0x5D, 0xD0, 0x07}, "edTemperature2return", "20.000, °C"},
        RuleCase{{0x05, 0x63, 0x00, 0x00, 0x60, 0x40}, "edTemperatureDiff", "3.500, K"},
        RuleCase{{0x02, 0x61, 0x5E, 0x01}, "edTemperatureDiff", "3.500, K"},
        RuleCase{{0x05, 0x3E, 0x00, 0x00, 0xC0, 0x3F}, "edFlow", "1.500, m3/h"},
        RuleCase{{0x04, 0x3B, 0xDC, 0x05, 0x00, 0x00}, "edFlow", "1.500, m3/h"},
        RuleCase{{0x05, 0x2E, 0x00, 0x00, 0x20, 0x40}, "edPower", "2.500, kW"},
        RuleCase{{0x04, 0x2B, 0xC4, 0x09, 0x00, 0x00}, "edPower", "2.500, kW"}));

TEST_F(CurrentDataTest, IdentificationAndAddressFromTheFixedHeader) {
  Receive({}, 254, 0x00001234);
  EXPECT_EQ(form.Text("textActDeviceID"), "00001234");
  EXPECT_EQ(form.Text("textActMBusAddr"), "254");
  // The identification entry has no header and fills nothing else.
  EXPECT_EQ(Written(), Sorted({"textActDeviceID", "textActMBusAddr"}));
}

TEST_F(CurrentDataTest, FieldsOfMissingRecordsKeepTheirText) {
  Receive({0x04, 0x6D, 0x1E, 0x0C, 0x4F, 0x26, 0x04, 0x13, 0xD2, 0x04, 0x00, 0x00});
  // The second telegram of a reading carries other records and a new volume.
  Receive({0x02, 0x59, 0x2A, 0x09, 0x04, 0x13, 0x2E, 0x16, 0x00, 0x00});
  EXPECT_EQ(form.Text("edDeviceTime"), "2018-06-15 12:30:00");
  EXPECT_EQ(form.Text("edVolume"), "5.678, m3");
  EXPECT_EQ(form.Text("edTemperature1flow"), "23.460, °C");
  EXPECT_EQ(form.Text("edPower"), "XXXXXX");
}

TEST_F(CurrentDataTest, LastMatchingRecordDecidesAndUnknownRecordsAreIgnored) {
  Receive({0x84, 0x40, 0x13, 0x01, 0x00, 0x00, 0x00,   // pulse input 1: 0.001 m3
           0x84, 0x40, 0x06, 0x02, 0x00, 0x00, 0x00,   // pulse input 1 again, as energy
           0x0D, 0xFD, 0x0E, 0x02, 0x31, 0x32,          // firmware text: no rule
           0x04, 0xFB, 0x00, 0x01, 0x00, 0x00, 0x00});  // energy in 0.1 MWh: no rule
  EXPECT_EQ(form.Text("edPulseInput1"), "0.002, MWh");
  EXPECT_EQ(Written(), Sorted({"edPulseInput1", "textActDeviceID", "textActMBusAddr"}));
}

TEST(CurrentDataRules, HeaderPrefixMatching) {
  EXPECT_EQ(MatchCurrentDataRule(Bytes{}), nullptr);
  EXPECT_EQ(MatchCurrentDataRule(Bytes{0x04}), nullptr);
  EXPECT_STREQ(MatchCurrentDataRule(Bytes{0x04, 0x13})->Field, "edVolume");
  EXPECT_STREQ(MatchCurrentDataRule(Bytes{0x04, 0x6D, 0x80})->Field, "edDeviceTime");
  // 84 10 06 is tariff 1 but not of an accumulated energy: no rule.
  EXPECT_EQ(MatchCurrentDataRule(Bytes{0x84, 0x10, 0x06}), nullptr);
  // 84 40 takes every subunit-1 record before the volume rule could.
  EXPECT_STREQ(MatchCurrentDataRule(Bytes{0x84, 0x40, 0x13})->Field, "edPulseInput1");
}

}  // namespace
}  // namespace nord5
