// Whole operations against the virtual meter: every telegram byte for byte, and the silence
// before each one.
#include <gtest/gtest.h>

#include <functional>

#include "engine_fixture.h"
#include "sim/virtual_meter.h"

namespace nord5::test {
namespace {

constexpr std::uint8_t A = 0xFE;  // the address box holds "254"

struct Step {
  std::string hex;
  std::int64_t wait;  // silence between the answer before and this telegram
};
using Chain = std::vector<Step>;

std::string Short(std::uint8_t c) {
  return Hex({0x10, c, A, static_cast<std::uint8_t>(c + A), 0x16});
}
std::string Long(std::uint8_t c, std::uint8_t ci, const Bytes& data) {
  return Hex(LongFrame(c, A, ci, data));
}
Bytes Le32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::string Read(std::uint32_t address, std::uint8_t n) {
  return Long(0x73, 0xA1, Cat({0x0F, 0x00, n}, Le32(address)));
}
// The chunks of a memory write of `data` at `address`: the first `first_wait` after the answer
// before (a new region starts like a new step), the others 300 ms after each acknowledgement.
Chain Writes(std::uint32_t address, const std::uint8_t* data, std::size_t size,
             std::int64_t first_wait) {
  Chain out;
  for (std::size_t i = 0; i < size; i += 64) {
    const std::size_t n = std::min<std::size_t>(64, size - i);
    out.push_back({Long(0x53, 0xA2,
                        Cat(Cat({0x0F, 0x00}, Le32(address + static_cast<std::uint32_t>(i))),
                            Bytes(data + i, data + i + n))),
                   i == 0 ? first_wait : 300});
  }
  return out;
}
Chain operator+(Chain a, const Chain& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kReset = Long(0x73, 0x50, {});
const std::string kModeRead = Read(0x10033, 1);

// "Read configuration": link, version, two current-data readouts, mode byte, both blocks.
Chain ReadConfigurationChain(std::int64_t first_wait = 100) {
  Chain c = {{Short(0x40), first_wait}, {kReset, 100}, {Long(0x73, 0x51, {0x08, 0xFF, 0x0E}), 100},
             {Short(0x7B), 100},        {kReset, 100}, {Long(0x73, 0x50, {0x50}), 100},
             {Short(0x7B), 100},        {kReset, 100}, {Short(0x7B), 100},
             {kModeRead, 100}};
  for (std::uint32_t a = 0x1000; a < 0x1100; a += 64) c.push_back({Read(a, 64), 100});
  for (std::uint32_t a = 0xFC00; a < 0xFDE6; a += 64)
    c.push_back({Read(a, static_cast<std::uint8_t>(std::min<std::uint32_t>(64, 0xFDE6 - a))), 100});
  return c;
}

// The image as written: the edited image with its inner check sums refreshed.
MeterImage Written(MeterImage image) {
  RefreshInnerCrcs(image);
  return image;
}

// An edited configuration: the meter's own with a few changed bytes.
MeterImage Edited(const sim::VirtualMeter& meter) {
  MeterImage image = meter.Image();
  image.SetCfg<std::uint8_t>(229, 17);
  image.SetCfg<std::uint32_t>(220, 0x24681357);
  image.SetCoef<float>(0, 1.5f);
  return image;
}

struct ChainCase {
  const char* name;
  std::function<void(EngineBench&, sim::VirtualMeter&)> setup;
  std::function<void(TProtocolEngine&)> start;
  std::function<Chain(const sim::VirtualMeter&)> chain;
  std::function<void(EngineBench&, const sim::VirtualMeter&)> check;
};

void NoSetup(EngineBench&, sim::VirtualMeter&) {}

TEST(Chains, EveryOperationAgainstTheVirtualMeter) {
  const std::vector<ChainCase> cases = {
      {"read configuration", NoSetup, [](TProtocolEngine& e) { e.ReadConfiguration(); },
       [](const sim::VirtualMeter&) { return ReadConfigurationChain(); },
       [](EngineBench& b, const sim::VirtualMeter& m) {
         const MeterImage& image = CurrentImage();
         EXPECT_EQ(image.FirmwareVersion(), m.Options().firmware);
         EXPECT_TRUE(std::equal(image.bytes.begin() + 4, image.bytes.begin() + 746,
                                m.Image().bytes.begin() + 4));
         EXPECT_TRUE(b.engine->State().NoConfiguration);
         EXPECT_EQ(b.engine->State().DeviceJumper, 0x22);
         EXPECT_EQ(b.host.images_shown, 1);
         EXPECT_EQ(b.host.current.size(), 2u);
         EXPECT_EQ(b.host.shown_versions, std::vector<std::uint32_t>{m.Options().firmware});
         EXPECT_EQ(b.host.status1, "Done");
       }},
      {"write configuration with mode check, no time correction",
       [](EngineBench&, sim::VirtualMeter& m) { CurrentImage() = Edited(m); },
       [](TProtocolEngine& e) { e.WriteConfigurationWithModeCheck(); },
       [](const sim::VirtualMeter& m) {
         const MeterImage w = Written(Edited(m));
         return Chain{{kModeRead, 100}, {Short(0x40), 100}} +
                Writes(0x1000, w.CfgBlock(), 256, 100) + Writes(0xFC00, w.CoefBlock(), 486, 100) +
                ReadConfigurationChain(100);
       },
       [](EngineBench& b, const sim::VirtualMeter& m) {
         const MeterImage w = Written(Edited(m));
         EXPECT_TRUE(
             std::equal(w.bytes.begin() + 4, w.bytes.begin() + 746, m.Image().bytes.begin() + 4));
         EXPECT_TRUE(
             std::equal(w.bytes.begin(), w.bytes.begin() + 746, CurrentImage().bytes.begin()));
         EXPECT_EQ(b.host.prepared, 1);
         EXPECT_TRUE(b.engine->State().NoConfiguration);
       }},
      {"write configuration with local time first",
       [](EngineBench& b, sim::VirtualMeter& m) {
         CurrentImage() = Edited(m);
         b.host.inputs.TimeCorrection = 1;
       },
       [](TProtocolEngine& e) { e.WriteConfiguration(); },
       [](const sim::VirtualMeter& m) {
         const MeterImage w = Written(Edited(m));
         // ManualClock: local time 2024-03-15 13:45.
         return Chain{{Long(0x53, 0x51, {0x04, 0x6D, 0x2D, 0x0D, 0x0F, 0x33}), 100},
                      {Short(0x40), 100}} +
                Writes(0x1000, w.CfgBlock(), 256, 100) + Writes(0xFC00, w.CoefBlock(), 486, 100) +
                ReadConfigurationChain(100);
       },
       nullptr},
      {"set identification",
       [](EngineBench& b, sim::VirtualMeter&) { b.host.inputs.DeviceIdText = "12345678"; },
       [](TProtocolEngine& e) { e.SetIdentification(); },
       [](const sim::VirtualMeter&) {
         return Chain{{kModeRead, 100},
                      {Long(0x53, 0x51, {0x0C, 0x79, 0x78, 0x56, 0x34, 0x12}), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter& m) {
         EXPECT_EQ(m.Identification(), 0x12345678u);
         EXPECT_EQ(WorkValue(), 0u);
         EXPECT_EQ(b.host.status1, "Done");
       }},
      {"set pulse start value 2: 12.5 in unit 0.01 writes 1250",
       [](EngineBench& b, sim::VirtualMeter&) {
         b.host.inputs.PulseText2 = "12.5";
         b.host.inputs.PulseUnit2 = 4;
       },
       [](TProtocolEngine& e) { e.SetPulseValue(2); },
       [](const sim::VirtualMeter&) {
         return Chain{{kModeRead, 100},
                      {Long(0x53, 0x51, Cat({0x84, 0x80, 0x40, 0x14}, Le32(1250))), 100}};
       },
       nullptr},
      {"set primary address 7",
       [](EngineBench& b, sim::VirtualMeter&) { b.host.inputs.MBusAddrText = "7"; },
       [](TProtocolEngine& e) { e.SetPrimaryAddress(); },
       [](const sim::VirtualMeter&) {
         return Chain{{Long(0x73, 0x51, {0x01, 0x7A, 0x07}), 100}};
       },
       [](EngineBench&, const sim::VirtualMeter& m) {
         EXPECT_EQ(m.PrimaryAddress(), 7);
         EXPECT_EQ(CurrentImage().Cfg<std::uint8_t>(229), 7);
       }},
      {"set time in CET, then read configuration",
       [](EngineBench& b, sim::VirtualMeter&) { b.host.inputs.TimeCorrection = 2; },
       [](TProtocolEngine& e) { e.SetTime(); },
       [](const sim::VirtualMeter&) {
         return Chain{{Long(0x53, 0x51, {0x04, 0x6D, 0x2D, 0x0D, 0x0F, 0x33}), 100}} +
                ReadConfigurationChain(100);
       },
       nullptr},
      {"credits", [](EngineBench&, sim::VirtualMeter& m) { m.SetCredits(0x1234, 0xABCDEF01); },
       [](TProtocolEngine& e) { e.ReadCredits(); },
       [](const sim::VirtualMeter&) {
         return Chain{{Read(0x1001D, 8), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter&) {
         EXPECT_EQ(b.host.optical, "00001234");
         EXPECT_EQ(b.host.mbus, "ABCDEF01");
       }},
      {"write user configuration: twelve regions, then read back",
       [](EngineBench&, sim::VirtualMeter& m) { CurrentImage() = Edited(m); },
       [](TProtocolEngine& e) { e.WriteUserConfiguration(); },
       [](const sim::VirtualMeter& m) {
         const MeterImage image = Edited(m);
         Chain c = {{kModeRead, 100}};
         for (int row = kRegionUserConfig1; row <= kRegionUserConfig12; ++row) {
           const MemoryRegion& r = Region(row);
           c = c + Writes(r.StartMemory, image.bytes.data() + r.TargetOffset, r.MemorySize, 100);
         }
         return c + ReadConfigurationChain(100);
       },
       [](EngineBench& b, const sim::VirtualMeter&) {
         EXPECT_EQ(b.host.collected, 1);
         EXPECT_EQ(b.host.images_shown, 1);
       }},
      {"write user menu", [](EngineBench&, sim::VirtualMeter& m) { CurrentImage() = m.Image(); },
       [](TProtocolEngine& e) { e.WriteUserMenu(); },
       [](const sim::VirtualMeter&) {
         const std::uint8_t cleared[2] = {0, 0};
         return Chain{{kModeRead, 100}} + Writes(0x10C0, cleared, 2, 100) +
                ReadConfigurationChain(100);
       },
       [](EngineBench& b, const sim::VirtualMeter&) { EXPECT_EQ(b.host.menus_rebuilt, 1); }},
      {"test mode on/off", NoSetup, [](TProtocolEngine& e) { e.TestModeOnOff(); },
       [](const sim::VirtualMeter&) {
         return Chain{{Read(0x10058, 1), 100}, {kModeRead, 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter& m) {
         EXPECT_EQ(b.engine->State().DeviceJumper, m.ModeByte());
       }},
      {"read memory: 2 bytes at hex 10E5 shown in hex",
       [](EngineBench& b, sim::VirtualMeter&) {
         b.host.inputs.MemAddrText = "10E4";
         b.host.inputs.MemAddrHex = true;
         b.host.inputs.MemBytes = 2;
         b.host.inputs.MemDataHex = true;
       },
       [](TProtocolEngine& e) { e.ReadMemory(); },
       [](const sim::VirtualMeter&) {
         return Chain{{Read(0x10E4, 2), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter& m) {
         char text[8];
         std::snprintf(text, sizeof text, "%02X%02X", m.ConfigBlock()[0xE5], m.ConfigBlock()[0xE4]);
         EXPECT_EQ(b.host.mem_value, text);
         EXPECT_EQ(WorkValue(), 0u);
       }},
      {"write memory: 1234 hex in 2 bytes sends 34 12",
       [](EngineBench& b, sim::VirtualMeter&) {
         b.host.inputs.MemAddrText = "4280";  // decimal 10B8h
         b.host.inputs.MemBytes = 2;
         b.host.inputs.MemValueText = "1234";
         b.host.inputs.MemDataHex = true;
       },
       [](TProtocolEngine& e) { e.WriteMemory(); },
       [](const sim::VirtualMeter&) {
         const std::uint8_t v[2] = {0x34, 0x12};
         return Writes(0x10B8, v, 2, 100);
       },
       [](EngineBench&, const sim::VirtualMeter& m) {
         EXPECT_EQ(m.ConfigBlock()[0xB8], 0x34);
         EXPECT_EQ(m.ConfigBlock()[0xB9], 0x12);
       }},
      {"archive readout of days: three records",
       [](EngineBench& b, sim::VirtualMeter&) {
         b.host.inputs.ArchiveKind = 2;
         b.host.inputs.RecordCountText = "3";
         b.host.on_archive = [&b] {
           EXPECT_TRUE(b.host.progress_visible);
           EXPECT_EQ(b.host.progress_max, 100);
           EXPECT_EQ(b.host.progress, b.engine->State().RecordCount) << "the last record's count";
         };
       },
       [](TProtocolEngine& e) {
         static const TDataSelector kTime{-1, 0, 0, 0x08, {0x6D}};
         static tMTR7ExtParams q;
         q.Count = 1;
         q.Data[0] = &kTime;
         e.ReadArchive({&q});
       },
       [](const sim::VirtualMeter&) {
         return Chain{{Short(0x40), 100},
                      {Long(0x73, 0x50, {0x30}), 100},
                      {Long(0x73, 0x51, {0xC8, 0x0F, 0x6D}), 100},
                      {Short(0x7B), 100},
                      {Short(0x5B), 100},
                      {Short(0x7B), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter&) {
         EXPECT_EQ(b.host.archive.size(), 3u);
         EXPECT_EQ(b.engine->State().RecordCount, 3);
         EXPECT_FALSE(b.engine->State().ReadingArchives);
       }},
      {"archive readout of current data: one answer ends it",
       [](EngineBench& b, sim::VirtualMeter&) { b.host.inputs.ArchiveKind = 0; },
       [](TProtocolEngine& e) { e.ReadArchive({}); },
       [](const sim::VirtualMeter&) {
         // Nothing selected: the selection step becomes a data request.
         return Chain{{Short(0x40), 100}, {kReset, 100}, {Short(0x7B), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter&) { EXPECT_EQ(b.host.archive.size(), 1u); }},
      {"archive readout until stopped",
       [](EngineBench& b, sim::VirtualMeter&) {
         b.host.inputs.ArchiveKind = 1;
         b.host.inputs.RecordCountText = "0";
         b.host.on_archive = [&b] {
           if (b.host.archive.size() == 2) b.engine->StopArchiveReading();
         };
       },
       [](TProtocolEngine& e) { e.ReadArchive({}); },
       [](const sim::VirtualMeter&) {
         return Chain{{Short(0x40), 100},
                      {Long(0x73, 0x50, {0x60}), 100},
                      {Short(0x7B), 100},
                      {Short(0x5B), 100}};
       },
       // "Stop" while the second answer comes in: that answer is the last.
       [](EngineBench& b, const sim::VirtualMeter&) { EXPECT_EQ(b.host.archive.size(), 2u); }},
      {"one logging cycle with selection",
       [](EngineBench& b, sim::VirtualMeter&) { b.host.logging = true; },
       [](TProtocolEngine& e) { e.LogCycle(true); },
       [](const sim::VirtualMeter&) {
         return Chain{
             {Short(0x40), 100},
             {Long(0x53, 0x51,
                   {0x08, 0xFF, 0x05, 0x08, 0xFF, 0x06, 0x08, 0x5B, 0x08, 0x5F, 0x08, 0x63}),
              100},
             {Short(0x7B), 100}};
       },
       [](EngineBench& b, const sim::VirtualMeter&) {
         EXPECT_EQ(b.host.logged.size(), 1u);
         EXPECT_EQ(b.host.logging_timer_starts, 1);
         EXPECT_EQ(b.host.status1, "") << "no \"Done\" while the logging timer runs";
       }},
  };

  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EngineBench bench;
    sim::VirtualMeter meter({}, bench.clock);
    bench.wire.responder = MeterResponder(meter);
    if (c.setup) c.setup(bench, meter);
    const Chain expected = c.chain(meter);
    c.start(*bench.engine);
    bench.RunUntilIdle();
    EXPECT_FALSE(bench.port->IsOpen());
    EXPECT_TRUE(bench.host.dialogs.shown.empty()) << bench.host.dialogs.shown.front().Text;

    const auto sent = bench.SentHex();
    ASSERT_EQ(sent.size(), expected.size());
    for (std::size_t i = 0; i < sent.size(); ++i)
      EXPECT_EQ(sent[i], expected[i].hex) << "telegram " << i;
    const auto gaps = bench.GapsAfterAnswers();
    EXPECT_LE(bench.Gaps()[0], 101) << "the first telegram goes out at the first silent tick";
    for (std::size_t i = 1; i < sent.size(); ++i) {
      EXPECT_GE(gaps[i - 1], expected[i].wait) << "telegram " << i;
      EXPECT_LE(gaps[i - 1], expected[i].wait + 2) << "telegram " << i;
    }
    if (c.check) c.check(bench, meter);
  }
}

// At 2400 baud the driver hands over the answers a byte or two at a time; an E5h data byte is then
// the last byte received while its frame is still coming in, and must not end the chunk.
TEST(Chains, ReadConfigurationWithTheAnswersByteByByte) {
  EngineBench bench;
  sim::VirtualMeter meter({}, bench.clock);
  const std::uint8_t e5 = 0xE5;
  ASSERT_TRUE(meter.WriteMemory(0x1000 + 148, &e5, 1));  // outside every inner check sum
  bench.wire.responder = MeterResponder(meter, 1000);    // every byte a chunk of its own
  bench.engine->ReadConfiguration();
  bench.RunUntilIdle();
  EXPECT_FALSE(bench.port->IsOpen());
  EXPECT_TRUE(bench.host.dialogs.shown.empty());
  std::vector<std::string> expected;
  for (const auto& step : ReadConfigurationChain()) expected.push_back(step.hex);
  EXPECT_EQ(bench.SentHex(), expected);
  EXPECT_TRUE(bench.engine->State().NoConfiguration);
  EXPECT_EQ(CurrentImage().Cfg<std::uint8_t>(148), 0xE5);
}

}  // namespace
}  // namespace nord5::test
