// The byte stream between master and meter: cutting it into telegrams, and the timing, echo and
// pieces of the answers on the in-memory serial line.
#include <gtest/gtest.h>

#include "sim/frame_reassembler.h"
#include "sim/sim_serial_line.h"
#include "sim_test_util.h"

namespace nord5::sim {
namespace {

using testing::Hex;

TEST(FrameReassembler, FindsFramesInAnyChunkingAndSkipsGarbage) {
  // Noise, a frame with a wrong check sum, a short frame split in two chunks, a long frame
  // delivered byte by byte, and a start byte left over at the end.
  const Bytes stream = Hex(
      "00 FF 16 E5  10 40 FE 3F 16  10 7B  FE 79 16  68 03 03 68 73 FE 50 C1 16  68 04");
  FrameReassembler r;
  std::vector<Bytes> frames;
  auto feed = [&](std::size_t from, std::size_t to) {
    for (Bytes& f : r.Feed(stream.data() + from, to - from)) frames.push_back(f);
  };
  feed(0, 11);
  feed(11, 14);
  for (std::size_t i = 14; i < stream.size(); ++i) feed(i, i + 1);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], Hex("10 7B FE 79 16"));
  EXPECT_EQ(frames[1], Hex("68 03 03 68 73 FE 50 C1 16"));
  EXPECT_EQ(r.Pending(), 2u) << "68 04 may begin a frame";
}

TEST(FrameReassembler, AFalseLongFrameStartDoesNotHideTheFrameBehindIt) {
  // "68 05 05 68" that never completes correctly, followed by a good link initialisation: the
  // good frame is found once the false one is known to be broken.
  Bytes stream = Hex("68 05 05 68 01 02 03 04 05 00 16");  // wrong check sum
  const Bytes good = Hex("10 40 FE 3E 16");
  stream.insert(stream.end(), good.begin(), good.end());
  FrameReassembler r;
  const auto frames = r.Feed(stream.data(), stream.size());
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0], good);
}

class SimLineTest : public ::testing::Test {
 protected:
  std::unique_ptr<SimSerialLine> Line(MeterOptions o) {
    auto line = std::make_unique<SimSerialLine>(o, clock_);
    EXPECT_TRUE(line->Open("virtual"));
    return line;
  }
  static Bytes ReadAll(SimSerialLine& line) {
    Bytes b(1000);
    const long n = line.Read(b.data(), b.size());
    b.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return b;
  }
  static void Send(SimSerialLine& line, const std::string& hex) {
    const Bytes t = Hex(hex);
    ASSERT_TRUE(line.Write(t.data(), t.size()));
  }
  ManualClock clock_;
};

TEST_F(SimLineTest, AnswerArrivesAfterTheReplyDelay) {
  MeterOptions o;
  o.reply_delay_ms = 20;
  auto line = Line(o);
  Send(*line, "10 40 FE 3E 16");
  EXPECT_EQ(line->InQueue(), 0);
  clock_.Advance(19);
  EXPECT_EQ(ReadAll(*line), Bytes{});
  clock_.Advance(1);
  EXPECT_EQ(line->InQueue(), 1);
  EXPECT_EQ(ReadAll(*line), Bytes{0xE5});
  EXPECT_FALSE(line->NextArrivalMs().has_value());
}

TEST_F(SimLineTest, EchoComesFirstThenTheAnswer) {
  MeterOptions o;
  o.echo = true;
  auto line = Line(o);
  Send(*line, "10 40 FE 3E 16");
  EXPECT_EQ(ReadAll(*line), Hex("10 40 FE 3E 16")) << "the echo at once";
  clock_.Advance(o.reply_delay_ms);
  EXPECT_EQ(ReadAll(*line), Bytes{0xE5});
}

TEST_F(SimLineTest, ChunksArriveWithGapsAndMakeTheWholeAnswer) {
  MeterOptions o;
  o.chunks = 3;
  o.reply_delay_ms = 10;
  o.chunk_gap_ms = 15;
  auto line = Line(o);
  Send(*line, "10 7B FE 79 16");
  Bytes got;
  std::vector<std::size_t> pieces;
  for (int step = 0; step < 10; ++step) {
    clock_.Advance(step == 0 ? 10 : 15);
    const Bytes b = ReadAll(*line);
    if (!b.empty()) pieces.push_back(b.size());
    got.insert(got.end(), b.begin(), b.end());
  }
  ASSERT_EQ(pieces.size(), 3u);
  Frame f;
  EXPECT_TRUE(ParseFrame(got.data(), got.size(), f));
  EXPECT_LE(std::max(pieces[0], pieces[2]) - std::min(pieces[0], pieces[2]), 1u);
}

TEST_F(SimLineTest, BaudTimingPacesEveryByte) {
  MeterOptions o;
  o.baud_timing = true;
  o.reply_delay_ms = 0;
  auto line = Line(o);
  // Five bytes to the meter take 5 x 4.583 ms; the 64-byte memory read answer (74 bytes) takes
  // 74 x 4.583 ms = 339 ms more.
  const Bytes read = testing::MemoryReadTelegram(0xFE, 0x1000, 64);
  ASSERT_TRUE(line->Write(read.data(), read.size()));
  const std::int64_t request_ms = static_cast<std::int64_t>(read.size()) * 4583 / 1000;
  clock_.Advance(request_ms + 4);
  EXPECT_EQ(ReadAll(*line).size(), 0u);
  clock_.Advance(5);
  EXPECT_EQ(ReadAll(*line).size(), 1u);
  clock_.Advance(339 - 9 + 1);
  EXPECT_EQ(ReadAll(*line).size(), 73u);
}

TEST_F(SimLineTest, PurgeDropsWhatArrivedAndCloseForgetsTheRest) {
  MeterOptions o;
  o.echo = true;
  auto line = Line(o);
  Send(*line, "10 40 FE 3E 16");
  EXPECT_TRUE(line->Purge());
  EXPECT_EQ(line->InQueue(), 0);
  clock_.Advance(o.reply_delay_ms);
  EXPECT_EQ(ReadAll(*line), Bytes{0xE5}) << "the answer was still on its way";
  // Purging only the output (before a new telegram) keeps what has arrived.
  Send(*line, "10 40 FE 3E 16");
  EXPECT_TRUE(line->PurgeOutput());
  EXPECT_EQ(line->InQueue(), 5);
  line->Close();
  EXPECT_FALSE(line->IsOpen());
  EXPECT_EQ(line->Read(nullptr, 0), -1);
  EXPECT_FALSE(line->Write(nullptr, 0));
  ASSERT_TRUE(line->Open("virtual"));
  clock_.Advance(100);
  EXPECT_EQ(line->InQueue(), 0);
}

TEST_F(SimLineTest, OtherLineSettingsAreNotUnderstood) {
  auto line = Line({});
  LineSettings s;
  s.BaudRate = TBaudRate::br_9600;
  ASSERT_TRUE(line->Apply(s));
  Send(*line, "10 40 FE 3E 16");
  clock_.Advance(100);
  EXPECT_EQ(line->InQueue(), 0);
  ASSERT_TRUE(line->Apply(LineSettings{}));
  Send(*line, "10 40 FE 3E 16");
  clock_.Advance(100);
  EXPECT_EQ(ReadAll(*line), Bytes{0xE5});
}

TEST_F(SimLineTest, SharedMeterKeepsItsStateAcrossLines) {
  VirtualMeter meter({}, clock_);
  {
    SimSerialLine line(meter, clock_);
    ASSERT_TRUE(line.Open("a"));
    EXPECT_FALSE(line.Open("a")) << "already open";
    const Bytes t = LongFrame(0x73, 0xFE, 0x51, Hex("01 7A 07"));
    ASSERT_TRUE(line.Write(t.data(), t.size()));
  }
  EXPECT_EQ(meter.PrimaryAddress(), 7);
  SimSerialLine again(meter, clock_);
  again.SetOpenFails(true);
  EXPECT_FALSE(again.Open("b"));
}

}  // namespace
}  // namespace nord5::sim
