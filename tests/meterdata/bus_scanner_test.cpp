// The bus scanner against a virtual bus on the manual clock: five meters, two of which share a
// primary address and two the leading six digits of their identification.
#include "meterdata/bus_scanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "foundation/timers.h"
#include "sim/virtual_bus.h"
#include "transport/comm_port.h"
#include "transport/port_list.h"

namespace nord5 {
namespace {

using Kind = ScanEntry::Kind;

const std::vector<sim::BusMeter> kFiveMeters = {
    {0x55500011, 1}, {0x55500012, 2}, {0x12345678, 3}, {0x87654321, 3}, {0x31415926, 7}};

// The virtual bus behind the real serial driver, everything on the manual clock.
class ScanBench {
 public:
  static constexpr const char* kPort = "BUS";

  explicit ScanBench(const std::vector<sim::BusMeter>& meters, sim::MeterOptions line = {})
      : bus(line, meters, clock) {
    settings_ = std::filesystem::temp_directory_path() /
                ("nord5-scan-test-" + std::to_string(::getpid()) + ".ini");
    SetSettingsFileForTesting(settings_.string());
    PortDiscovery where;
    where.SysTtyRoot = "/nonexistent-nord5-tty";
    where.WithVirtualPorts = false;
    auto list = std::make_unique<TPortList>(where);
    list->AddExtraPort(kPort);
    port = std::make_unique<TCommPort>(
        clock, timers,
        [this](const std::string& name) -> std::unique_ptr<SerialLine> {
          if (name != kPort || !can_open) return nullptr;
          return std::make_unique<sim::VirtualBusLine>(bus);
        },
        std::move(list));
    port->SetPort(kPort);
    clock.SetNow(10000);
    bus.SetTrace([this](bool incoming, const sim::Bytes& t) {
      if (incoming) heard.push_back({clock.NowMs(), t});
    });
    scanner = std::make_unique<TBusScanner>(*port, clock);
    scanner->SetEvents({[this](const ScanEntry& e) { found.push_back(e); },
                        [this](int v, int m) { progress.push_back({v, m}); },
                        [this](ScanEnd end) { ends.push_back(end); }});
  }
  ~ScanBench() {
    scanner.reset();
    port.reset();
    std::error_code ec;
    std::filesystem::remove(settings_, ec);
  }

  void RunUntilDone(std::int64_t limit_ms = 600000) {
    const std::int64_t end = clock.NowMs() + limit_ms;
    while (scanner->Running() && clock.NowMs() < end) timers.RunFor(1);
  }

  struct Heard {
    std::int64_t at;
    sim::Bytes telegram;
  };

  ManualClock clock;
  ManualTimers timers{clock};
  sim::VirtualBus bus;
  bool can_open = true;
  std::unique_ptr<TCommPort> port;
  std::unique_ptr<TBusScanner> scanner;
  std::vector<Heard> heard;  // telegrams that reached the meters, with their time
  std::vector<ScanEntry> found;
  std::vector<std::pair<int, int>> progress;
  std::vector<ScanEnd> ends;

 private:
  std::filesystem::path settings_;
};

// What a person reads in the results: kind, address, identification, manufacturer, version and
// medium (the access number moves with every answer).
std::vector<std::string> Summary(const std::vector<ScanEntry>& entries) {
  std::vector<std::string> out;
  for (const ScanEntry& e : entries) {
    std::string s = e.kind == Kind::Meter       ? "meter "
                    : e.kind == Kind::Collision ? "collision "
                                                : "no data ";
    s += std::to_string(e.address) + " " + e.IdText();
    if (e.kind == Kind::Meter)
      s += " " + e.ManufacturerText() + " v" + std::to_string(e.header.Version) + " m" +
           std::to_string(e.header.Medium);
    out.push_back(s);
  }
  return out;
}

// A selection of the search (manufacturer, version and medium open), not one that verifies a
// meter found.
bool IsSearchSelection(const sim::Bytes& t) {
  return t.size() == 17 && t[6] == 0x52 && t[11] == 0xFF && t[12] == 0xFF && t[13] == 0xFF &&
         t[14] == 0xFF;
}

const std::vector<std::string> kPrimaryResult = {
    "meter 1 55500011 VMX v8 m4",
    "meter 2 55500012 VMX v8 m4",
    "collision 3 00000000",
    "meter 7 31415926 VMX v8 m4",
};

const std::vector<std::string> kSecondaryResult = {
    "meter 3 12345678 VMX v8 m4",
    "meter 7 31415926 VMX v8 m4",
    "meter 1 55500011 VMX v8 m4",
    "meter 2 55500012 VMX v8 m4",
    "meter 3 87654321 VMX v8 m4",
};

TEST(BusScanner, PrimaryScanListsEveryAddressAndReportsTheSharedOneAsCollision) {
  ScanBench b(kFiveMeters);
  ASSERT_EQ(b.scanner->StartPrimary(0, kMaxScanAddress), ScanStart::Started);
  b.RunUntilDone();
  ASSERT_FALSE(b.scanner->Running());
  EXPECT_EQ(Summary(b.found), kPrimaryResult);
  EXPECT_EQ(Summary(b.scanner->Entries()), kPrimaryResult);
  EXPECT_EQ(b.ends, std::vector<ScanEnd>{ScanEnd::Completed});
  EXPECT_FALSE(b.port->IsOpen());
  ASSERT_FALSE(b.progress.empty());
  EXPECT_EQ(b.progress.back(), std::make_pair(251, 251));

  // One link initialisation to every address; a data request only where something answered, and
  // repeated only where the answer came garbled (address 3: three requests). Each meter found
  // is verified once by its secondary address.
  int nke = 0, requests_at_3 = 0, requests_elsewhere = 0, verifications = 0;
  for (const auto& h : b.heard) {
    if (h.telegram.size() == 17) ++verifications;
    if (h.telegram.size() != 5) continue;
    if (h.telegram[1] == 0x40) ++nke;
    if (h.telegram[1] == 0x7B && h.telegram[2] != 0xFD)
      ++(h.telegram[2] == 3 ? requests_at_3 : requests_elsewhere);
  }
  EXPECT_EQ(nke, 251);
  EXPECT_EQ(requests_at_3, 1 + TBusScanner::kDataRepeats);
  EXPECT_EQ(requests_elsewhere, 3);
  EXPECT_EQ(verifications, 3);
  EXPECT_EQ(b.heard.front().telegram, (sim::Bytes{0x10, 0x40, 0x00, 0x40, 0x16}));
}

TEST(BusScanner, SecondaryScanFindsEveryIdentificationExactlyOnce) {
  ScanBench b(kFiveMeters);
  ASSERT_EQ(b.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Started);
  b.RunUntilDone();
  EXPECT_EQ(Summary(b.found), kSecondaryResult);
  EXPECT_EQ(b.ends, std::vector<ScanEnd>{ScanEnd::Completed});

  // The search opens with a deselection, then tries the first digit 0..9 with the rest open,
  // and where several match (5) fixes that digit and goes one position deeper, down to the
  // position where 55500011 and 55500012 differ.
  std::vector<std::uint32_t> masks;
  for (const auto& h : b.heard)
    if (IsSearchSelection(h.telegram)) masks.push_back(sim::GetU32(h.telegram.data() + 7));
  EXPECT_EQ(b.heard.front().telegram, (sim::Bytes{0x10, 0x40, 0xFD, 0x3D, 0x16}));
  EXPECT_EQ(b.heard[1].telegram,
            (sim::Bytes{0x68, 0x0B, 0x0B, 0x68, 0x73, 0xFD, 0x52, 0xFF, 0xFF, 0xFF, 0x0F, 0xFF,
                        0xFF, 0xFF, 0xFF, 0xCA, 0x16}));
  ASSERT_EQ(masks.size(), 10u + 7 * 10u);
  EXPECT_EQ(masks[5], 0x5FFFFFFFu);
  EXPECT_EQ(masks[6], 0x50FFFFFFu);
  EXPECT_EQ(masks[11], 0x55FFFFFFu);
  EXPECT_EQ(masks[12], 0x550FFFFFu);
  EXPECT_EQ(masks.back(), 0x9FFFFFFFu);
}

// The scans find the same meters however the line carries the bytes: behind a converter's echo,
// in pieces, at the pace of 2400 baud, and with answers whose check sum is spoilt now and then.
TEST(BusScanner, ResultsDoNotDependOnHowTheLineDeliversTheBytes) {
  struct Case {
    const char* name;
    sim::MeterOptions line;
  };
  std::vector<Case> cases(4);
  cases[0] = {"echo", {}};
  cases[0].line.echo = true;
  cases[1] = {"pieces", {}};
  cases[1].line.chunks = 4;
  cases[2] = {"2400 baud", {}};
  cases[2].line.baud_timing = true;
  cases[3] = {"spoilt check sums", {}};
  cases[3].line.corrupt_every = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScanBench primary(kFiveMeters, c.line);
    ASSERT_EQ(primary.scanner->StartPrimary(0, 10), ScanStart::Started);
    primary.RunUntilDone();
    EXPECT_EQ(Summary(primary.found), kPrimaryResult);
    ScanBench secondary(kFiveMeters, c.line);
    ASSERT_EQ(secondary.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Started);
    secondary.RunUntilDone();
    EXPECT_EQ(Summary(secondary.found), kSecondaryResult);
  }
}

TEST(BusScanner, SecondaryMaskLimitsTheSearch) {
  struct Case {
    std::uint32_t mask;
    std::vector<std::string> result;
    std::size_t selections;
  };
  const std::vector<Case> cases = {
      // Only the two that share 555000 match; they part at the last digit.
      {0x555FFFFF, {kSecondaryResult[2], kSecondaryResult[3]}, 10 + 4 * 10},
      // A full identification is one selection.
      {0x87654321, {kSecondaryResult[4]}, 1},
      {0x1234567F, {kSecondaryResult[0]}, 10},
      {0x4FFFFFFF, {}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    ScanBench b(kFiveMeters);
    ASSERT_EQ(b.scanner->StartSecondary(c.mask), ScanStart::Started);
    b.RunUntilDone();
    EXPECT_EQ(Summary(b.found), c.result);
    std::size_t selections = 0;
    for (const auto& h : b.heard) selections += IsSearchSelection(h.telegram);
    EXPECT_EQ(selections, c.selections);
  }
}

// Near-identical meters: their data telegrams, combined on the line, can make a frame with a
// right check sum and an identification that neither has (55500011 and 55500012 give 55500010).
// The scanner must not take it for a meter.
TEST(BusScanner, CombinedFrameWithARightCheckSumIsNotAMeter) {
  auto combined = [](const std::vector<sim::BusMeter>& meters, std::uint8_t a) {
    ManualClock clock;
    clock.SetNow(10000);
    sim::VirtualBus bus(sim::MeterOptions{}, meters, clock);
    const sim::Bytes line = bus.Handle(sim::ShortFrame(0x7B, a));
    sim::Frame f;
    return sim::ParseFrame(line.data(), line.size(), f) ? sim::GetU32(f.data.data()) : 0u;
  };
  // Secondary search: two meters with different addresses.
  const std::vector<sim::BusMeter> apart = {{0x55500011, 1}, {0x55500012, 2}};
  ASSERT_EQ(combined(apart, 0xFE), 0x55500010u) << "the line no longer makes this frame";
  ScanBench s(apart);
  ASSERT_EQ(s.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Started);
  s.RunUntilDone();
  EXPECT_EQ(Summary(s.found), (std::vector<std::string>{"meter 1 55500011 VMX v8 m4",
                                                         "meter 2 55500012 VMX v8 m4"}));

  // Primary scan: two meters at one address; the pair is picked so that the line makes a valid
  // frame of their answers.
  std::vector<sim::BusMeter> together;
  for (std::uint32_t id = 0x55500012; id <= 0x55500019 && together.empty(); ++id)
    if (combined({{0x55500011, 5}, {id, 5}}, 5) != 0) together = {{0x55500011, 5}, {id, 5}};
  ASSERT_FALSE(together.empty());
  ScanBench p(together);
  ASSERT_EQ(p.scanner->StartPrimary(4, 6), ScanStart::Started);
  p.RunUntilDone();
  EXPECT_EQ(Summary(p.found), std::vector<std::string>{"collision 5 00000000"});
}

TEST(BusScanner, MetersWithTheSameIdentificationAreReportedAsOneCollision) {
  ScanBench b({{0x11111111, 1}, {0x11111111, 2}, {0x22222222, 3}});
  ASSERT_EQ(b.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Started);
  b.RunUntilDone();
  EXPECT_EQ(Summary(b.found),
            (std::vector<std::string>{"collision 253 11111111", "meter 3 22222222 VMX v8 m4"}));
}

TEST(BusScanner, MeterThatAcknowledgesButSendsNoDataIsStillReported) {
  sim::MeterOptions line;
  line.ack_data = true;
  ScanBench b({{0x12345678, 9}}, line);
  ASSERT_EQ(b.scanner->StartPrimary(8, 10), ScanStart::Started);
  b.RunUntilDone();
  EXPECT_EQ(Summary(b.found), std::vector<std::string>{"no data 9 00000000"});
}

// An empty bus at 2400 baud: one link initialisation per address, each after the longest time a
// slave may take to answer (330 bit times + 50 ms), its own 5 bytes on the line and the margin.
TEST(BusScanner, EmptyBusCostsOneAnswerTimePerAddress) {
  ScanBench b({});
  ASSERT_EQ(b.scanner->StartPrimary(0, kMaxScanAddress), ScanStart::Started);
  const std::int64_t start = b.clock.NowMs();
  b.RunUntilDone();
  ASSERT_EQ(b.heard.size(), 251u);
  const std::uint32_t wait = TBusScanner::AnswerWaitMs(TBaudRate::br_2400, 5);
  EXPECT_EQ(wait, 23u + 138u + 50u + TBusScanner::kMarginMs);
  for (std::size_t i = 1; i < b.heard.size(); ++i)
    EXPECT_LE(b.heard[i].at - b.heard[i - 1].at, wait + 2) << i;
  EXPECT_TRUE(b.found.empty());
  // The silence handler is raised after WaitEvent + 1 ms of quiet; the first telegram goes out
  // after the short start gap.
  EXPECT_LE(b.clock.NowMs() - start, 251 * (wait + 2) + TBusScanner::kQuietMs + 2);
}

TEST(BusScanner, StopEndsTheScanAtAnyMomentAndGivesTheDriverBack) {
  for (const std::int64_t stop_after : {0, 1, 30, 60, 200, 300, 1000, 4321}) {
    SCOPED_TRACE(stop_after);
    ScanBench b(kFiveMeters);
    int previous_handler = 0;
    b.port->SetBreakEvent([&previous_handler](TCommPort&) { ++previous_handler; });
    b.port->SetWaitEvent(777);
    ASSERT_EQ(b.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Started);
    b.timers.RunFor(stop_after);
    const std::size_t heard = b.heard.size();
    b.scanner->Stop();
    EXPECT_FALSE(b.scanner->Running());
    EXPECT_FALSE(b.port->IsOpen());
    EXPECT_EQ(b.ends, std::vector<ScanEnd>{ScanEnd::Stopped});
    EXPECT_EQ(b.port->WaitEvent(), 777u);
    b.scanner->Stop();  // a second stop does nothing
    EXPECT_EQ(b.ends.size(), 1u);
    // Nothing more goes out, and the driver's own handler is back in place.
    b.port->Open();
    b.timers.RunFor(2000);
    EXPECT_EQ(b.heard.size(), heard);
    EXPECT_GT(previous_handler, 0);
    EXPECT_EQ(b.found.size(), b.scanner->Entries().size());
  }
}

TEST(BusScanner, StopFromTheFoundEventEndsTheScanThere) {
  ScanBench b(kFiveMeters);
  b.scanner->SetEvents({[&b](const ScanEntry& e) {
                          b.found.push_back(e);
                          b.scanner->Stop();
                        },
                        {},
                        [&b](ScanEnd end) { b.ends.push_back(end); }});
  ASSERT_EQ(b.scanner->StartPrimary(0, kMaxScanAddress), ScanStart::Started);
  b.RunUntilDone();
  EXPECT_EQ(Summary(b.found), std::vector<std::string>{kPrimaryResult[0]});
  EXPECT_EQ(b.ends, std::vector<ScanEnd>{ScanEnd::Stopped});
  EXPECT_FALSE(b.port->IsOpen());
}

TEST(BusScanner, PortClosedUnderTheScanEndsIt) {
  ScanBench b(kFiveMeters);
  ASSERT_EQ(b.scanner->StartPrimary(0, 20), ScanStart::Started);
  b.timers.RunFor(500);
  b.port->Close();
  b.scanner->CheckPort();
  EXPECT_FALSE(b.scanner->Running());
  EXPECT_EQ(b.ends, std::vector<ScanEnd>{ScanEnd::PortClosed});
}

TEST(BusScanner, RefusesToStartWhenItCannot) {
  {
    ScanBench b(kFiveMeters);
    b.port->Open();  // another exchange runs
    EXPECT_EQ(b.scanner->StartPrimary(0, 250), ScanStart::Busy);
    EXPECT_EQ(b.scanner->StartSecondary(0xFFFFFFFF), ScanStart::Busy);
    EXPECT_TRUE(b.port->IsOpen());
  }
  {
    ScanBench b(kFiveMeters);
    b.can_open = false;
    int previous_handler = 0;
    b.port->SetBreakEvent([&previous_handler](TCommPort&) { ++previous_handler; });
    EXPECT_EQ(b.scanner->StartPrimary(0, 250), ScanStart::CantOpenPort);
    EXPECT_FALSE(b.scanner->Running());
    b.port->BreakEvent()(*b.port);
    EXPECT_EQ(previous_handler, 1);
  }
  ScanBench b(kFiveMeters);
  EXPECT_EQ(b.scanner->StartPrimary(5, 4), ScanStart::BadInput);
  EXPECT_EQ(b.scanner->StartPrimary(0, 251), ScanStart::BadInput);
  EXPECT_EQ(b.scanner->StartPrimary(-1, 3), ScanStart::BadInput);
  EXPECT_EQ(b.scanner->StartSecondary(0x5AFFFFFF), ScanStart::BadInput);
  EXPECT_FALSE(b.port->IsOpen());
  EXPECT_TRUE(b.ends.empty());
}

TEST(BusScanner, ParsesRangesAndMasks) {
  using Range = std::optional<std::pair<int, int>>;
  const std::vector<std::pair<const char*, Range>> ranges = {
      {"0-250", std::make_pair(0, 250)}, {"7", std::make_pair(7, 7)},
      {"3-3", std::make_pair(3, 3)},     {"4-3", std::nullopt},
      {"0-251", std::nullopt},           {"-3", std::nullopt},
      {"1-", std::nullopt},              {"a-b", std::nullopt},
      {"", std::nullopt},                {"1-2-3", std::nullopt},
  };
  for (const auto& [text, want] : ranges) EXPECT_EQ(ParseAddressRange(text), want) << text;
  const std::vector<std::pair<const char*, std::optional<std::uint32_t>>> masks = {
      {"", 0xFFFFFFFFu},         {"FFFFFFFF", 0xFFFFFFFFu}, {"555fffff", 0x555FFFFFu},
      {"12345678", 0x12345678u}, {"1234567", std::nullopt}, {"123456789", std::nullopt},
      {"1234567A", std::nullopt}, {"1234 678", std::nullopt},
  };
  for (const auto& [text, want] : masks) EXPECT_EQ(ParseScanMask(text), want) << text;
}

}  // namespace
}  // namespace nord5
