// Archive readings of the virtual meter: what a readout selection brings back, and how a data
// request that has to be repeated (its answer was lost) is answered.
#include <gtest/gtest.h>

#include "sim/meter_records.h"
#include "sim/virtual_meter.h"
#include "sim_test_util.h"

namespace nord5::sim {
namespace {

using testing::Hex;
using testing::RecordsOf;
using testing::SndUd;

struct ArchiveMeter {
  ManualClock clock;
  VirtualMeter meter{{}, clock};

  // Hourly archive with the given selection records.
  void Select(const std::string& records) {
    ASSERT_EQ(meter.Handle(SndUd(0xFE, 0x50, {0x60})), Bytes{0xE5});
    ASSERT_EQ(meter.Handle(SndUd(0xFE, 0x51, Hex(records))), Bytes{0xE5});
  }
  Bytes Request(bool fcb) { return meter.Handle(ShortFrame(fcb ? 0x7B : 0x5B, 0xFE)); }
  static std::vector<DataRecord> Records(const Bytes& answer) {
    Frame f;
    std::vector<DataRecord> r;
    EXPECT_TRUE(ParseFrame(answer.data(), answer.size(), f));
    EXPECT_TRUE(ParseRecords(RecordsOf(f), r));
    return r;
  }
};

TEST(ArchiveSelection, OnlySelectedQuantitiesInTheMetersRecordOrder) {
  ArchiveMeter m;
  // Maximum power date, maximum power, tariff 1 registers and the timestamp twice: the last one
  // asked for comes first in the meter's own order, and nothing comes twice.
  m.Select("D8 FF 7F AE 6D  D8 FF 7F 2E  C8 1F 7E  C8 FF 7F 6D  C8 0F 6D");
  const std::vector<DataRecord> r = ArchiveMeter::Records(m.Request(true));
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].vif, Hex("6D"));
  EXPECT_EQ(r[1].vif, Hex("86 3B"));
  EXPECT_EQ(r[1].tariff, 1u);
  EXPECT_EQ(r[2].vif, Hex("2E"));
  EXPECT_EQ(r[2].function, 1);
  EXPECT_EQ(r[3].vif, Hex("AE 6D"));
  for (const DataRecord& x : r) EXPECT_EQ(x.storage, 1u);
}

TEST(ArchiveSelection, RepeatedRequestGetsTheSameRecordAgain) {
  ArchiveMeter m;
  m.Select("C8 FF 7F 6D");
  const Bytes first = m.Request(true);
  // The answer was lost: the master asks again with the same frame count bit.
  EXPECT_EQ(m.Request(true), first);
  std::vector<std::uint32_t> storage = {ArchiveMeter::Records(first).at(0).storage};
  for (bool fcb : {false, true})
    storage.push_back(ArchiveMeter::Records(m.Request(fcb)).at(0).storage);
  EXPECT_EQ(storage, (std::vector<std::uint32_t>{1, 2, 3}));
}

}  // namespace
}  // namespace nord5::sim
