// Several virtual meters on one line: answers sent together are combined as the line carries
// them, and each meter keeps its own state.
#include "sim/virtual_bus.h"

#include <gtest/gtest.h>

#include "sim/sim_options.h"
#include "sim_test_util.h"

namespace nord5::sim {
namespace {

using testing::Hex;

TEST(VirtualBus, AnswersSentTogetherAreCombinedBitByBit) {
  const Bytes frame1 = Hex("68 04 04 68 08 03 72 11 8E 16");
  const Bytes frame2 = Hex("68 04 04 68 08 03 72 21 9E 16");
  struct Case {
    const char* name;
    std::vector<Bytes> answers;
    Bytes line;
  };
  const std::vector<Case> cases = {
      {"nobody", {}, {}},
      {"one meter", {frame1}, frame1},
      {"two acknowledgements make one", {{0xE5}, {0xE5}}, {0xE5}},
      {"a space dominates a mark", {frame1, frame2}, Hex("68 04 04 68 08 03 72 01 8E 16")},
      // The longer answer goes on alone after the shorter one.
      {"acknowledgement and frame", {{0xE5}, frame1}, Hex("60 04 04 68 08 03 72 11 8E 16")},
  };
  for (const Case& c : cases) EXPECT_EQ(CombineOnLine(c.answers), c.line) << c.name;
}

class VirtualBusTest : public ::testing::Test {
 protected:
  ManualClock clock_;
  VirtualBus bus_{MeterOptions{}, {{0x55500011, 1}, {0x55500012, 2}, {0x87654321, 1}}, clock_};

  Bytes Select(std::uint32_t mask) {
    Bytes d;
    PutU32(d, mask);
    d.insert(d.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    return bus_.Handle(testing::SndUd(0xFD, 0x52, d));
  }
  // The identification in a valid data telegram, or nothing for a garbled answer.
  std::optional<std::uint32_t> DataFrom(std::uint8_t a) {
    const Bytes answer = bus_.Handle(ShortFrame(0x7B, a));
    Frame f;
    if (!ParseFrame(answer.data(), answer.size(), f) || f.data.size() < 4) return std::nullopt;
    return GetU32(f.data.data());
  }
};

TEST_F(VirtualBusTest, MetersSharingAnAddressAcknowledgeAsOneButGarbleTheirData) {
  EXPECT_EQ(bus_.Handle(ShortFrame(0x40, 1)), Bytes{0xE5});
  EXPECT_EQ(DataFrom(1), std::nullopt);
  EXPECT_EQ(bus_.Handle(ShortFrame(0x40, 2)), Bytes{0xE5});
  EXPECT_EQ(DataFrom(2), 0x55500012u);
  EXPECT_TRUE(bus_.Handle(ShortFrame(0x40, 3)).empty());
}

TEST_F(VirtualBusTest, EachMeterKeepsItsOwnSelection) {
  EXPECT_EQ(Select(0x5FFFFFFF), Bytes{0xE5});
  EXPECT_TRUE(bus_.Meter(0).Selected());
  EXPECT_TRUE(bus_.Meter(1).Selected());
  EXPECT_FALSE(bus_.Meter(2).Selected());
  // Both answer: the line carries neither meter's telegram (here the AND even makes a frame
  // with a right check sum, for the identification 55500010).
  const auto both = DataFrom(0xFD);
  EXPECT_NE(both, 0x55500011u);
  EXPECT_NE(both, 0x55500012u);
  // A narrower selection deselects the meter that no longer matches.
  EXPECT_EQ(Select(0x55500011), Bytes{0xE5});
  EXPECT_TRUE(bus_.Meter(0).Selected());
  EXPECT_FALSE(bus_.Meter(1).Selected());
  EXPECT_EQ(DataFrom(0xFD), 0x55500011u);
  EXPECT_TRUE(Select(0x4FFFFFFF).empty());
  EXPECT_FALSE(bus_.Meter(0).Selected());
  // Memory is each meter's own: a new address for meter 0 only.
  const Bytes set_address = testing::SndUd(2, 0x51, Hex("01 7A 09"));
  EXPECT_EQ(bus_.Handle(set_address), Bytes{0xE5});
  EXPECT_EQ(bus_.Meter(1).PrimaryAddress(), 9);
  EXPECT_EQ(bus_.Meter(0).PrimaryAddress(), 1);
}

TEST_F(VirtualBusTest, LineDeliversTheCombinedAnswerAfterTheReplyDelay) {
  VirtualBusLine line(bus_);
  ASSERT_TRUE(line.Open("bus"));
  ASSERT_TRUE(line.Apply(LineSettings{}));
  const Bytes nke = ShortFrame(0x40, 1);
  ASSERT_TRUE(line.Write(nke.data(), nke.size()));
  EXPECT_EQ(line.InQueue(), 0);
  clock_.Advance(MeterOptions{}.reply_delay_ms);
  ASSERT_EQ(line.InQueue(), 1);
  std::uint8_t b = 0;
  EXPECT_EQ(line.Read(&b, 1), 1);
  EXPECT_EQ(b, 0xE5);
  // At another baud rate the meters do not understand the master.
  LineSettings fast;
  fast.BaudRate = TBaudRate::br_9600;
  ASSERT_TRUE(line.Apply(fast));
  ASSERT_TRUE(line.Write(nke.data(), nke.size()));
  clock_.Advance(1000);
  EXPECT_EQ(line.InQueue(), 0);
}

TEST(BusMeters, ParseIdentificationAndAddressPairs) {
  struct Case {
    const char* text;
    bool ok;
    std::vector<BusMeter> meters;
  };
  const std::vector<Case> cases = {
      {"55500011:1", true, {{0x55500011, 1}}},
      {"55500011:1,12345678:250,1:0", true, {{0x55500011, 1}, {0x12345678, 250}, {0x1, 0}}},
      {"55500011:251", false, {}},
      {"55500011", false, {}},
      {":3", false, {}},
      {"123456789:3", false, {}},
      {"5550001G:3", false, {}},
      {"55500011:1,", false, {}},
      {"55500011:-1", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<BusMeter> out;
    std::string error;
    EXPECT_EQ(ParseBusMeters(c.text, out, error), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(out, c.meters) << c.text;
    else EXPECT_FALSE(error.empty()) << c.text;
  }
  std::string many;
  for (std::size_t i = 0; i <= kMaxBusMeters; ++i) many += (i ? ",1:" : "1:") + std::to_string(i % 250);
  std::vector<BusMeter> out;
  std::string error;
  EXPECT_FALSE(ParseBusMeters(many, out, error));
}

TEST(BusMeters, SimulatorOptionTakesTheListAndRefusesASingleIdentityBesideIt) {
  SimProgramOptions o;
  std::string error;
  ASSERT_TRUE(ParseSimArguments({"--meters", "55500011:1,87654321:1", "--echo"}, o, error));
  EXPECT_EQ(o.meters, (std::vector<BusMeter>{{0x55500011, 1}, {0x87654321, 1}}));
  EXPECT_TRUE(o.meter.echo);
  EXPECT_FALSE(ParseSimArguments({"--meters", "55500011:1", "--id", "12345678"}, o, error));
  EXPECT_FALSE(ParseSimArguments({"--meters", "55500011:1", "--address", "4"}, o, error));
  EXPECT_FALSE(ParseSimArguments({"--meters", "x"}, o, error));
  EXPECT_NE(error.find("--meters"), std::string::npos);
}

}  // namespace
}  // namespace nord5::sim
