// How answers are found among the received bytes: echo, chunks, noise, wrong check sums, answers
// without data or with too much of it, and acknowledgements.
#include <gtest/gtest.h>

#include <functional>

#include "engine_fixture.h"

namespace nord5::test {
namespace {

const Bytes kValue = MemoryAnswer({0x34, 0x12});  // a 2-byte memory read answer: 1234h

Bytes Corrupted(Bytes frame) {
  frame[frame.size() - 2] ^= 0x01;
  return frame;
}
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Every byte on its own, as the driver hands them over at 2400 baud.
std::vector<Bytes> Bytewise(const Bytes& b) {
  std::vector<Bytes> out;
  for (auto x : b) out.push_back({x});
  return out;
}

// Answers the first telegram with `first` (in pieces 20 ms apart) and every later one with the
// good answer.
Responder FirstThenGood(std::vector<Bytes> first, Bytes good = kValue) {
  return [first, good](const Bytes&, int index) {
    std::vector<Reply> out;
    if (index > 0) return std::vector<Reply>{{20, good}};
    std::int64_t at = 20;
    for (const auto& piece : first) out.push_back({at += 20, piece});
    return out;
  };
}

struct AnswerCase {
  const char* name;
  bool echo;
  Responder responder;
  std::size_t telegrams;           // sent until the exchange ended
  std::vector<std::string> texts;  // messages shown
  std::string value;               // edValue afterwards
  std::string address = "100";     // edAddr of a memory read
};

TEST(Receiver, MemoryReadAnswersInEveryShape) {
  const Bytes big = MemoryAnswer(Bytes(200, 0xAA));
  const std::vector<AnswerCase> cases = {
      {"one chunk", false, FirstThenGood({kValue}), 1, {}, "4660"},
      {"behind the echo of the own telegram", true, FirstThenGood({kValue}), 1, {}, "4660"},
      {"in three chunks",
       false,
       FirstThenGood({Bytes(kValue.begin(), kValue.begin() + 3),
                      Bytes(kValue.begin() + 3, kValue.begin() + 9),
                      Bytes(kValue.begin() + 9, kValue.end())}),
       1,
       {},
       "4660"},
      // E5h among the data bytes is the last byte received while the frame is still coming.
      {"byte by byte, with E5h among the data",
       false,
       FirstThenGood(Bytewise(MemoryAnswer({0xE5, 0x12}))),
       1,
       {},
       "4837"},
      // Address 229 puts E5h into the own telegram; a converter echoes it byte by byte.
      {"behind an echo that comes byte by byte",
       false,
       [](const Bytes& t, int) {
         std::vector<Reply> out;
         std::int64_t at = 5;
         for (const auto& piece : Bytewise(Cat(t, kValue))) out.push_back({at += 5, piece});
         return out;
       },
       1,
       {},
       "4660",
       "229"},
      {"behind noise",
       false,
       FirstThenGood({Cat({0x00, 0x68, 0x33, 0xE5}, kValue)}),
       1,
       {},
       "4660"},
      {"wrong check sum is repeated after the time-out",
       false,
       FirstThenGood({Corrupted(kValue)}),
       2,
       {},
       "4660"},
      {"a chunk of more than the buffer holds is dropped",
       false,
       FirstThenGood({Cat(Bytes(1200, 0x55), kValue)}),
       2,
       {},
       "4660"},
      // A meter that sends more than asked: only the two bytes of the region are stored.
      {"more data than asked", false, FirstThenGood({big}, big), 1, {}, "43690"},
      // L = 4: C, A, CI and one byte, no data. Taking it would ask for the same chunk for ever.
      {"no data bytes count as no answer",
       false,
       FirstThenGood({MemoryAnswer({})}, MemoryAnswer({})),
       10,
       {"Device can't answer"},
       ""},
      // E5h carries no bytes either; a meter that acknowledges every read must not loop.
      {"an acknowledgement is no answer", false, FirstThenGood({{0xE5}}, {0xE5}), 10,
       {"Device can't answer"}, ""},
      {"an acknowledgement first, then the answer", false, FirstThenGood({{0xE5}}), 2, {}, "4660"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    bench.wire.echo = c.echo;
    bench.wire.responder = c.responder;
    bench.host.inputs.MemAddrText = c.address;
    bench.host.inputs.MemBytes = 2;
    bench.engine->ReadMemory();
    bench.RunUntilIdle();
    EXPECT_EQ(bench.wire.sent.size(), c.telegrams);
    EXPECT_EQ(bench.host.dialogs.Texts(), c.texts);
    EXPECT_EQ(bench.host.mem_value, c.value);
    EXPECT_FALSE(bench.port->IsOpen());
    // Nothing beyond the work value's two bytes was touched.
    for (std::size_t i = 2; i < kScratchSize; ++i) EXPECT_EQ(ScratchBuffer()[i], 0) << i;
  }
}

TEST(Receiver, AcknowledgementsOfAWriteRecord) {
  const std::vector<AnswerCase> cases = {
      {"E5h", false, FirstThenGood({{0xE5}}, {0xE5}), 1, {}, ""},
      {"E5h behind the echo", true, FirstThenGood({{0xE5}}, {0xE5}), 1, {}, ""},
      {"E5h followed by another byte is no acknowledgement",
       false,
       FirstThenGood({{0xE5, 0x00}}, {0xE5, 0x00}),
       10,
       {"Device can't answer"},
       ""},
      // A data telegram acknowledges nothing; taken, it would repeat the write for ever.
      {"a long frame is no acknowledgement", false, FirstThenGood({kValue}, kValue), 10,
       {"Device can't answer"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    bench.wire.echo = c.echo;
    bench.wire.responder = c.responder;
    bench.host.inputs.MBusAddrText = "9";
    bench.engine->SetPrimaryAddress();
    bench.RunUntilIdle();
    EXPECT_EQ(bench.wire.sent.size(), c.telegrams);
    EXPECT_EQ(bench.host.dialogs.Texts(), c.texts);
  }
}

TEST(Receiver, OneAnswerPerTelegram) {
  // A memory write chunk acknowledged twice: the second E5h must not advance to the next chunk.
  EngineBench bench;
  bench.wire.responder = [](const Bytes&, int) {
    return std::vector<Reply>{{20, {0xE5}}, {40, {0xE5}}};
  };
  MeterImage& image = CurrentImage();
  for (std::size_t i = 0; i < kCfgSize; ++i) image.CfgBlock()[i] = static_cast<std::uint8_t>(i);
  const MemoryRegion block{TMTR07_Commands::_mtrChangeMemory, 0x1000, 256, RegionTarget::Image,
                           kCfgOffset};
  bench.engine->StartTransfer(TMBUS_Commands::_cmWriteMemory, 0, &block);
  bench.RunUntilIdle(5000);
  ASSERT_EQ(bench.wire.sent.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(bench.wire.sent[i].bytes[9], 0x40 * i) << i;
  EXPECT_EQ(bench.engine->State().MemoryIndex, 256u);
  EXPECT_FALSE(bench.port->IsOpen());
}

TEST(Receiver, AcknowledgementToADataRequest) {
  // E5h alone: the meter has no data and the exchange ends, also behind the echo of a converter
  // (counting the echo's five bytes as data would send the request again for ever).
  for (bool echo : {false, true}) {
    SCOPED_TRACE(echo ? "with echo" : "without echo");
    EngineBench bench;
    bench.wire.echo = echo;
    bench.wire.responder = [](const Bytes&, int) { return std::vector<Reply>{{20, {0xE5}}}; };
    bench.engine->StartStep(TMBUS_Commands::_cmRequestData, TMTR07_Commands::_mtr07_LogData);
    bench.RunUntilIdle(1000);
    EXPECT_EQ(bench.wire.sent.size(), 1u);
    EXPECT_FALSE(bench.port->IsOpen());
    EXPECT_TRUE(bench.host.dialogs.shown.empty());
  }
}

TEST(Receiver, EchoArrivingByteByByte) {
  // A converter's echo comes in byte by byte like the answer; while it is incomplete, an E5h in it
  // (the address, or the check sum) must not count as the meter's acknowledgement.
  struct Case {
    const char* address;
    std::int32_t data_idx;
    std::string request;
  };
  const std::vector<Case> cases = {
      {"229", 0x7B, "10 7B E5 60 16"},  // E5h as the address
      {"106", 0x7B, "10 7B 6A E5 16"},  // E5h as the check sum
      {"138", 0x5B, "10 5B 8A E5 16"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    EngineBench bench;
    bench.host.inputs.AddressText = c.address;
    bench.wire.responder = [](const Bytes& t, int) {
      std::vector<Reply> out;
      std::int64_t at = 0;
      for (auto x : t) out.push_back({at += 5, {x}});
      out.push_back({at + 20, LongFrame(0x08, t[2], 0x72, Bytes(12, 0x00))});
      return out;
    };
    bench.engine->State().DataIdx = c.data_idx;
    bench.engine->StartStep(TMBUS_Commands::_cmRequestData, TMTR07_Commands::_mtr07_LogData);
    bench.RunUntilIdle();
    EXPECT_EQ(bench.SentHex(), std::vector<std::string>{c.request});
    EXPECT_EQ(bench.host.logged.size(), 1u) << "the data telegram is taken";
    EXPECT_FALSE(bench.port->IsOpen());
  }
}

TEST(Receiver, VersionRecordOfTheDataTelegram) {
  struct Case {
    const char* text;  // the LVAR text, its last byte is dropped
    std::uint32_t version;
    bool shown;
  };
  const std::vector<Case> cases = {
      {"16051017x", 16051017, true},
      {"170427029", 17042702, true},
      {"1605A017x", 0, false},
      {"", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EngineBench bench;
    CurrentImage().SetFirmwareVersion(99);
    Bytes data = {0x78, 0x56, 0x34, 0x12,
                  0xB8, 0x59, 0x08, 0x04,
                  0x01, 0x00, 0x00, 0x00,
                  0x0D, 0xFF, 0x0E, static_cast<std::uint8_t>(std::string(c.text).size())};
    for (char ch : std::string(c.text)) data.push_back(static_cast<std::uint8_t>(ch));
    const Bytes answer = LongFrame(0x08, 0xFE, 0x72, data);
    bench.wire.responder = [answer](const Bytes& t, int) {
      return std::vector<Reply>{{20, t[0] == 0x10 && t[1] != 0x40 ? answer : Bytes{0xE5}}};
    };
    bench.engine->StartStep(TMBUS_Commands::_cmGetVersion, TMTR07_Commands::_mtr07_GetVersion);
    bench.RunUntilIdle(200);  // selection, E5h, data request, answer; not the next reset
    EXPECT_EQ(CurrentImage().FirmwareVersion(), c.version);
    EXPECT_EQ(bench.host.shown_versions.size(), c.shown ? 1u : 0u);
    ASSERT_EQ(bench.host.headers.size(), 1u);
    EXPECT_EQ(bench.host.headers[0].Manufacturer, 0x59B8);
    EXPECT_EQ(bench.engine->State().DeviceMedium, 8);
    EXPECT_EQ(bench.engine->State().Select_SEQ, TMBUS_Commands::_cmApplicReset1);
    EXPECT_EQ(bench.engine->State().DataIdx, 0x5B) << "the frame count bit flips";
    bench.engine->ClosePort();
  }
}

}  // namespace
}  // namespace nord5::test
