#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "../engine/engine_fixture.h"
#include "../mbus/test_frames.h"
#include "engine/telegram.h"
#include "mbus/decoder.h"
#include "meterdata/archive_grid.h"
#include "meterdata/archive_quantities.h"
#include "meterdata/archive_reading.h"

namespace nord5 {
namespace {

TTableRecord Entry(std::string name, std::string units, TVariant value) {
  TTableRecord e;
  e.Name = std::move(name);
  e.Units = std::move(units);
  e.Value = std::move(value);
  return e;
}

TFullRecord Answer(std::vector<TTableRecord> entries) {
  TFullRecord dr;
  dr.Rec[0] = Entry("DeviceID", "", std::string("12345678"));
  for (std::size_t i = 0; i < entries.size(); ++i) dr.Rec[i + 1] = entries[i];
  dr.Count = static_cast<std::int32_t>(entries.size() + 1);
  return dr;
}

TEST(ArchiveQuantities, ListRowsAndSelection) {
  const auto& rows = ArchiveQuantityRows();
  ASSERT_EQ(rows.size(), 40u);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].Name, kArchiveQuantities[i].Name);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(rows[i].Data[k] != nullptr, k < rows[i].Count) << i;
  }
  EXPECT_EQ(rows[37].Name, "Duration of upper  (flow) limit exceed");
  ASSERT_EQ(rows[4].Count, 4);
  EXPECT_EQ(rows[4].Data[1]->VIF, (std::vector<std::uint8_t>{0xFE, 0xFE, 0x3B}));
  EXPECT_EQ(rows[4].Data[3]->Tariff, 0);
  EXPECT_EQ(rows[8].Data[0]->Subunit, 1);
  EXPECT_EQ(rows[8].Data[0]->Tariff, -1);
  EXPECT_EQ(rows[16].Data[0]->DataCode, 0x28);

  // Checked rows go to the engine in list order, whatever order they were given in.
  const int picked[] = {11, 0, 4, 4, 40, -1};
  EXPECT_EQ(SelectedArchiveQuantities(picked),
            (std::vector<const tMTR7ExtParams*>{&rows[0], &rows[4], &rows[11]}));
}

class ArchiveGridTest : public ::testing::Test {
 protected:
  // 7 pixels a character, columns 64 wide at first.
  ArchiveGrid grid{[](std::string_view t) { return static_cast<int>(t.size()) * 7; }};
};

TEST_F(ArchiveGridTest, FirstAnswerBuildsTheHeaderAndLaterAnswersFillByPosition) {
  EXPECT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.ColCount(), 1);
  grid.ShowArchiveRecord(
      1, 254,
      Answer({Entry("Energy", "kWh", std::int64_t{120}),
              Entry("Error code", "", std::string("0000")), Entry("Volume", "m3", 1.5)}));
  grid.ShowArchiveRecord(1, 254, Answer({Entry("Energy", "kWh", std::int64_t{119})}));
  grid.ShowArchiveRecord(
      1, 254,
      Answer({Entry("Other", "", std::int64_t{1}), Entry("b", "", std::int64_t{2}),
              Entry("c", "", std::int64_t{3}), Entry("beyond", "", std::int64_t{4})}));
  const std::vector<std::vector<std::string>> expected = {
      {"Number", "Energy, kWh", "Error code", "Volume, m3"},
      {"1", "120", "0000", "1.5"},
      {"2", "119", "", ""},
      {"3", "1", "2", "3"},
  };
  EXPECT_EQ(grid.Rows(), expected);

  grid.Clear();
  EXPECT_EQ(grid.Rows(), (std::vector<std::vector<std::string>>{{""}}));
  EXPECT_EQ(grid.ColCount(), 1);
}

TEST_F(ArchiveGridTest, ColumnsWidenToTheTextPlusMarginAndNeverShrink) {
  grid.ShowArchiveRecord(1, 1,
                         Answer({Entry("Temperature 1",
                                       "\xC2\xB0"
                                       "C",
                                       1.0),  // 18 bytes
                                 Entry("T", "", std::int64_t{1})}));
  EXPECT_EQ(grid.ColWidth(0), 64);  // "Number" fits
  EXPECT_EQ(grid.ColWidth(1), 18 * 7 + 18);
  EXPECT_EQ(grid.ColWidth(2), 64);
  // A wider value widens again; a narrower one leaves the column as it is.
  grid.ShowArchiveRecord(
      1, 1, Answer({Entry("x", "", std::string(5, 'v')), Entry("x", "", std::string(12, 'w'))}));
  EXPECT_EQ(grid.ColWidth(1), 18 * 7 + 18);
  EXPECT_EQ(grid.ColWidth(2), 12 * 7 + 18);
  // Emptying the grid keeps the row number column as wide as it was.
  grid.Clear();
  EXPECT_EQ(grid.ColWidth(0), 64);
}

TEST_F(ArchiveGridTest, ExportsAsReportCsvAndJson) {
  grid.ShowArchiveRecord(
      1, 1,
      Answer({Entry("Error, text", "", std::string("a \"b\"\nc")), Entry("T",
                                                                         "\xC2\xB0"
                                                                         "C",
                                                                         21.5)}));
  const ReportGrid report = grid.ToReport("Hours statistic data");
  EXPECT_EQ(report.Name, "Hours statistic data");
  EXPECT_EQ(report.Header, (std::vector<std::string>{"Number", "Error, text",
                                                     "T, \xC2\xB0"
                                                     "C"}));
  EXPECT_EQ(report.Rows, (std::vector<std::vector<std::string>>{{"1", "a \"b\"\nc", "21.5"}}));

  EXPECT_EQ(grid.ToCsv(),
            "Number,\"Error, text\",\"T, \xC2\xB0"
            "C\"\r\n"
            "1,\"a \"\"b\"\"\nc\",21.5\r\n");
  EXPECT_EQ(grid.ToJson("Hours statistic data"),
            "{\"kind\": \"Hours statistic data\", \"columns\": [\"Number\", \"Error, text\", "
            "\"T, \xC2\xB0"
            "C\"], \"rows\": [[\"1\", \"a \\\"b\\\"\\nc\", \"21.5\"]]}");
  // A text from the meter that is not UTF-8 still gives valid JSON.
  EXPECT_EQ(JsonString("\xFF\x01"), "\"\xEF\xBF\xBD\\u0001\"");
}

TEST(ArchiveReadingDecode, NumbersCarryTheSystemSeparator) {
  SetSystemDecimalSeparator(',');
  const testing::Bytes frame =
      testing::LongFrame({0x04, 0x13, 0xD2, 0x04, 0x00, 0x00, 0x05, 0x3E, 0, 0, 0xC0, 0x3F});
  test::EngineBench bench;
  ArchiveGrid grid;
  ArchiveReading reading(*bench.engine, grid);
  int rows_told = 0;
  reading.on_row = [&](int row) { rows_told = row; };
  reading.TakeAnswer(frame.data(), testing::Limit(frame));
  SetSystemDecimalSeparator('.');
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.Cell(1, 1), "1,234");
  EXPECT_EQ(grid.Cell(2, 1), "1,500");
  EXPECT_EQ(rows_told, 1);
  // A frame too short to decode adds no row.
  reading.TakeAnswer(frame.data(), 5);
  EXPECT_EQ(grid.RowCount(), 2);
}

// Whole readings against the virtual meter on the engine's test bench.
struct Reading {
  void Run(sim::MeterOptions options, int kind, const std::string& count, std::vector<int> rows) {
    meter = std::make_unique<sim::VirtualMeter>(options, bench.clock);
    bench.wire.responder = test::MeterResponder(*meter);
    bench.host.inputs.ArchiveKind = kind;
    bench.host.inputs.RecordCountText = count;
    bench.host.on_archive = [this] {
      const test::Bytes& f = bench.host.archive.back();
      reading.TakeAnswer(f.data(), static_cast<int>(f.size()) - 2);
      if (on_answer) on_answer();
    };
    reading.Start(rows);
    bench.RunUntilIdle();
  }
  // Column `col` of every data row.
  std::vector<std::string> Column(int col) const {
    std::vector<std::string> out;
    for (int r = 1; r < grid.RowCount(); ++r) out.push_back(grid.Cell(col, r));
    return out;
  }

  test::EngineBench bench;
  std::unique_ptr<sim::VirtualMeter> meter;
  ArchiveGrid grid;
  ArchiveReading reading{*bench.engine, grid};
  std::function<void()> on_answer;
};

// The selection telegram for the given list rows, built from their selectors.
std::string SelectionHex(const std::vector<int>& rows) {
  test::Bytes data;
  for (int r : rows) {
    const ArchiveQuantity& q = kArchiveQuantities[static_cast<std::size_t>(r)];
    for (int k = 0; k < q.Count; ++k) {
      const ArchiveSelector& s = q.Data[static_cast<std::size_t>(k)];
      std::uint8_t dif[kMaxDifBytes];
      const std::size_t n = EncodeDIF(s.Storage, s.Tariff, s.Subunit, s.DataCode, dif);
      data.insert(data.end(), dif, dif + n);
      data.insert(data.end(), s.Vif.begin(), s.Vif.begin() + s.VifCount);
    }
  }
  return test::Hex(test::LongFrame(0x73, 0xFE, 0x51, data));
}

TEST(ArchiveReading, HoursThreeRecordsOfThreeQuantities) {
  Reading t;
  t.Run({}, 1, "3", {0, 4, 11});
  const std::vector<std::string> sent = t.bench.SentHex();
  ASSERT_EQ(sent.size(), 6u);
  EXPECT_EQ(sent[0], "10 40 FE 3E 16");
  EXPECT_EQ(sent[1], test::Hex(test::LongFrame(0x73, 0xFE, 0x50, {0x60})));
  EXPECT_EQ(sent[2], SelectionHex({0, 4, 11}));
  // The frame count bit toggles after every answer.
  EXPECT_EQ(sent[3], "10 7B FE 79 16");
  EXPECT_EQ(sent[4], "10 5B FE 59 16");
  EXPECT_EQ(sent[5], "10 7B FE 79 16");

  // Timestamp, heating and cooling energy, average flow: in the meter's record order.
  ASSERT_EQ(t.grid.RowCount(), 4);
  ASSERT_EQ(t.grid.ColCount(), 5);
  EXPECT_EQ(t.grid.Cell(0, 0), "Number");
  EXPECT_EQ(t.Column(0), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_FALSE(t.bench.engine->State().ReadingArchives);
  EXPECT_FALSE(t.bench.engine->Running());
}

TEST(ArchiveReading, LostAnswerIsAskedForAgainWithTheSameFrameCountBit) {
  // Stored timestamps of a clean reading: records 1, 2 and 3, newest first.
  std::vector<std::string> clean;
  {
    Reading t;
    t.Run({}, 1, "3", {0});
    clean = t.Column(1);
  }
  ASSERT_EQ(clean.size(), 3u);
  EXPECT_EQ(std::set<std::string>(clean.begin(), clean.end()).size(), 3u);

  // Answers: E5 to the link, the reset and the selection, then records; the fifth (the answer
  // to the second data request) is lost on the line.
  Reading t;
  sim::MeterOptions options;
  options.drop_every = 5;
  t.Run(options, 1, "3", {0});
  const std::vector<std::string> sent = t.bench.SentHex();
  ASSERT_EQ(sent.size(), 7u);
  EXPECT_EQ(sent[3], "10 7B FE 79 16");
  EXPECT_EQ(sent[4], "10 5B FE 59 16");
  EXPECT_EQ(sent[5], "10 5B FE 59 16");  // the repeat
  EXPECT_EQ(sent[6], "10 7B FE 79 16");
  EXPECT_EQ(t.Column(1), clean);
}

TEST(ArchiveReading, CountZeroReadsUntilStopAndShowsOneMoreAnswer) {
  Reading t;
  // "Stop" is pressed between the fourth answer and the next request.
  t.on_answer = [&t] {
    if (t.grid.RowCount() - 1 == 4) t.bench.timers.Start(50, false, [&t] { t.reading.Stop(); });
  };
  t.Run({}, 2, "0", {});
  EXPECT_EQ(t.grid.RowCount() - 1, 5);
  EXPECT_FALSE(t.bench.engine->Running());
}

TEST(ArchiveReading, CurrentDataGivesOneRowAndEnds) {
  Reading t;
  t.Run({}, 0, "5", {});
  EXPECT_EQ(t.grid.RowCount(), 2);
  EXPECT_GT(t.grid.ColCount(), 2);
  EXPECT_EQ(t.bench.SentHex().size(), 3u);
}

}  // namespace
}  // namespace nord5
