#include "meterdata/chart_series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace nord5 {
namespace {

using Row = std::vector<std::string>;

struct NumberCase {
  const char* text;
  char separator;
  bool number;
  double value;
};

TEST(ChartParseNumberTest, ReadsOnlyNumbersWrittenWithTheSeparator) {
  const NumberCase cases[] = {
      {"12.345", '.', true, 12.345},
      {"12,345", ',', true, 12.345},
      {"-0.9", '.', true, -0.9},
      {" 42 ", '.', true, 42},
      {"1.5E-3", '.', true, 0.0015},
      {"1,5E+3", ',', true, 1500},
      {"9223372036854775807", '.', true, 9223372036854775807.0},
      // written with the other separator: a comma grid never holds '.', nor a dot grid ','
      {"12.345", ',', false, 0},
      {"12,345", '.', false, 0},
      {"- - -", '.', false, 0},
      {"-", '.', false, 0},
      {"", '.', false, 0},
      {"2026-12-11 08:00:00", '.', false, 0},
      {"11.12.2026", '.', false, 0},
      {"12:30", '.', false, 0},
      {"80A0", '.', false, 0},
      {"XXXXXX", '.', false, 0},
      {"inf", '.', false, 0},
      {"nan", '.', false, 0},
      {"1E999", '.', false, 0},
      {"12.", '.', false, 0},
      {"E5", '.', false, 0},
      {"+5", '.', false, 0},
      {"1 2", '.', false, 0},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\" with '" + c.separator + "'");
    const std::optional<double> v = ParseGridNumber(c.text, c.separator);
    ASSERT_EQ(v.has_value(), c.number);
    if (c.number) {
      EXPECT_DOUBLE_EQ(*v, c.value);
    }
  }
}

TEST(ChartParseDateTimeTest, ReadsWhatTheDecoderWritesInEveryFormat) {
  const DateTimeFormats formats[] = {
      {"yyyy-MM-dd", "HH:mm:ss"},
      {"dd.MM.yyyy", "H:mm:ss"},
      {"M/d/yy", "h:mm:ss AP"},
      {"dd MMM yyyy", "hh:mm:ss ap t"},
      {"d'.' M'.' yyyy", "HH:mm:ss.zzz"},
  };
  const DateTime times[] = {
      {2026, 12, 11, 8, 5, 9, 0},
      {2024, 2, 29, 0, 0, 0, 0},   // midnight: the date alone is written
      {2019, 1, 1, 12, 0, 30, 0},  // noon on a 12-hour clock
      {2030, 7, 4, 23, 59, 59, 0},
  };
  for (const DateTimeFormats& f : formats) {
    SetDateTimeFormats(f);
    for (const DateTime& t : times) {
      const std::string text = FormatDateTimeText(t);
      SCOPED_TRACE(text);
      DateTime expected = t;
      if (f.LongTime.find('z') == std::string::npos) expected.Millisecond = 0;
      const std::optional<DateTime> read = ParseDateTimeText(text, f);
      ASSERT_TRUE(read.has_value());
      EXPECT_EQ(*read, expected);
    }
  }
  SetDateTimeFormats({});
}

TEST(ChartParseDateTimeTest, RefusesTextsThatAreNoDateTime) {
  const DateTimeFormats f{"yyyy-MM-dd", "HH:mm:ss"};
  for (const char* text : {"", "- - -", "12.5", "2026-13-01", "2026-02-30", "2026-12-11 24:00:00",
                           "2026-12-11 08:00", "2026-12-11 08:00:00 x", "2026-12-11T08:00:00"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseDateTimeText(text, f).has_value());
  }
}

TEST(ChartWallSecondsTest, CountsCalendarSecondsBothWays) {
  EXPECT_DOUBLE_EQ(WallSeconds({1970, 1, 1, 0, 0, 0, 0}), 0);
  EXPECT_DOUBLE_EQ(WallSeconds({2000, 3, 1, 0, 0, 0, 0}) - WallSeconds({2000, 2, 28, 0, 0, 0, 0}),
                   2 * 86400);
  const DateTime t{2026, 12, 11, 8, 5, 9, 250};
  EXPECT_EQ(FromWallSeconds(WallSeconds(t)), t);
  EXPECT_EQ(FromWallSeconds(WallSeconds({1969, 12, 31, 23, 0, 0, 0})),
            (DateTime{1969, 12, 31, 23, 0, 0, 0}));
}

// The "Archive" tab on a system with ',' as its decimal separator: hourly records with a
// timestamp, two temperatures, a flow, an error code and a date column.
class ChartArchiveGridTest : public ::testing::Test {
 protected:
  const DateTimeFormats formats{"dd.MM.yyyy", "HH:mm:ss"};
  ChartSeriesModel model{',', formats};
  const Row header{"Number",        "Timestamp",       "Average flow, m^3/h",
                   "Average temperature 1, °C",      "Average temperature 2, °C",
                   "Error code",    "Max flow date"};
};

TEST_F(ChartArchiveGridTest, TimestampIsTheXAxisAndNumericColumnsBecomeSeries) {
  model.Load(header, {
                         {"1", "11.12.2026 01:00:00", "0,512", "65,25", "40,5", "0000", "10.12.2026"},
                         {"2", "11.12.2026 02:00:00", "- - -", "64,75", "41", "80A0", "10.12.2026"},
                         {"3", "11.12.2026 03:00:00", "0,75", "66", "42,25", "0001"},
                     });
  ASSERT_EQ(model.XKind(), ChartXKind::Timestamp);
  EXPECT_EQ(model.XColumn(), 1);
  const ChartSeries* flow = model.SeriesOfColumn(2);
  ASSERT_NE(flow, nullptr);
  EXPECT_EQ(flow->Name, "Average flow");
  EXPECT_EQ(flow->Units, "m^3/h");
  EXPECT_TRUE(flow->Numeric);
  const double h1 = WallSeconds({2026, 12, 11, 1, 0, 0, 0});
  ASSERT_EQ(flow->Points.size(), 3u);  // value, gap, value
  EXPECT_DOUBLE_EQ(flow->Points[0].X, h1);
  EXPECT_DOUBLE_EQ(flow->Points[0].Y, 0.512);
  EXPECT_TRUE(flow->Points[1].Gap);
  EXPECT_DOUBLE_EQ(flow->Points[1].X, h1 + 3600);
  EXPECT_DOUBLE_EQ(flow->Points[2].Y, 0.75);
  EXPECT_EQ(flow->Values, 2u);
  EXPECT_DOUBLE_EQ(flow->MinY, 0.512);
  EXPECT_DOUBLE_EQ(flow->MaxY, 0.75);

  const ChartSeries* t1 = model.SeriesOfColumn(3);
  ASSERT_NE(t1, nullptr);
  EXPECT_EQ(t1->Units, "°C");
  EXPECT_DOUBLE_EQ(t1->MinY, 64.75);
  EXPECT_DOUBLE_EQ(t1->MaxY, 66);
  // Row numbers and timestamps are the axis, not series; hexadecimal error codes are no
  // quantity even when they look decimal ("0000"); a date column is never numeric.
  EXPECT_EQ(model.SeriesOfColumn(0), nullptr);
  EXPECT_EQ(model.SeriesOfColumn(1), nullptr);
  EXPECT_EQ(model.SeriesOfColumn(5), nullptr);
  ASSERT_NE(model.SeriesOfColumn(6), nullptr);
  EXPECT_FALSE(model.SeriesOfColumn(6)->Numeric);
  EXPECT_DOUBLE_EQ(model.MinX(), h1);
  EXPECT_DOUBLE_EQ(model.MaxX(), h1 + 7200);
}

TEST_F(ChartArchiveGridTest, RowWithoutReadableTimestampIsSkippedWhole) {
  model.Reset(header);
  EXPECT_TRUE(model.AppendRow({"1", "11.12.2026 01:00:00", "0,5"}));
  EXPECT_FALSE(model.AppendRow({"2", "- - -", "0,6"}));
  EXPECT_FALSE(model.AppendRow({"3"}));  // a short reply: the timestamp cell is missing
  EXPECT_TRUE(model.AppendRow({"4", "11.12.2026 04:00:00", "0,7"}));
  EXPECT_EQ(model.Rows(), 4u);
  EXPECT_EQ(model.SkippedRows(), 2u);
  ASSERT_EQ(model.SeriesOfColumn(2)->Points.size(), 2u);
  EXPECT_DOUBLE_EQ(model.SeriesOfColumn(2)->Points[1].Y, 0.7);
  // A series that has no value yet records no leading gap.
  EXPECT_TRUE(model.SeriesOfColumn(3)->Points.empty());
}

TEST_F(ChartArchiveGridTest, ReloadingStartsAfresh) {
  model.Load(header, {{"1", "11.12.2026 01:00:00", "0,5"}});
  model.Load({"Number", "Heating energy, kWh"}, {{"1", "12"}, {"2", "13"}});
  EXPECT_EQ(model.XKind(), ChartXKind::RowNumber);
  EXPECT_EQ(model.Series().size(), 1u);
  EXPECT_EQ(model.Rows(), 2u);
}

// The archive window: keys numbered by position, '.' separator, no timestamp, a column that
// opens with a later reading.
TEST(ChartArchiveWindowTest, RowNumbersOnXAndColumnsOpenedLaterKeepEarlierRows) {
  ChartSeriesModel model('.');
  model.Reset({"Number", "1. DeviceID", "2. Heating energy, kWh", "3. Flow, m^3/h"});
  EXPECT_EQ(model.XKind(), ChartXKind::RowNumber);
  EXPECT_EQ(model.SeriesOfColumn(1), nullptr);  // the identification number is no quantity
  model.AppendRow({"1", "12345678", "12", "0.5"});
  model.AppendRow({"2", "12345678", "13", "0.25"});
  EXPECT_TRUE(model.ExtendHeader(
      {"Number", "1. DeviceID", "2. Heating energy, kWh", "3. Flow, m^3/h", "4. Power, kW"}));
  model.AppendRow({"3", "12345678", "14", "0.125", "1.5"});

  const ChartSeries* energy = model.SeriesOfColumn(2);
  ASSERT_NE(energy, nullptr);
  EXPECT_EQ(energy->Name, "Heating energy");
  EXPECT_EQ(energy->Units, "kWh");
  ASSERT_EQ(energy->Points.size(), 3u);
  EXPECT_DOUBLE_EQ(energy->Points[2].X, 3);
  EXPECT_DOUBLE_EQ(energy->Points[2].Y, 14);
  const ChartSeries* power = model.SeriesOfColumn(4);
  ASSERT_NE(power, nullptr);
  ASSERT_EQ(power->Points.size(), 1u);
  EXPECT_DOUBLE_EQ(power->Points[0].X, 3);

  // A header that changes an existing column is another grid: start again.
  EXPECT_FALSE(model.ExtendHeader({"Number", "1. DeviceID", "2. Volume, m^3"}));
  EXPECT_EQ(model.Rows(), 0u);
  EXPECT_EQ(model.Series().size(), 1u);
}

TEST(ChartHeaderTest, SplitsNameAndUnit) {
  struct Case {
    const char* header;
    const char* name;
    const char* units;
  } cases[] = {
      {"Flow, m^3/h", "Flow", "m^3/h"},
      {"12. Flow, m^3/h", "Flow", "m^3/h"},
      {"Error code", "Error code", ""},
      {"3. Error code", "Error code", ""},
      {"2.5 kW", "2.5 kW", ""},
  };
  for (const Case& c : cases) {
    std::string name, units;
    ChartSeriesModel::SplitHeader(c.header, name, units);
    EXPECT_EQ(name, c.name) << c.header;
    EXPECT_EQ(units, c.units) << c.header;
  }
}

TEST(ChartDecimatorTest, ShortLineKeepsEveryPoint) {
  ChartDecimator d(100);
  for (int i = 0; i < 50; ++i) d.Add(i, i % 7);
  const std::vector<ChartPoint> pts = d.Points();
  ASSERT_EQ(pts.size(), 50u);
  EXPECT_EQ(d.BucketSize(), 1u);
  for (int i = 0; i < 50; ++i) {
    EXPECT_DOUBLE_EQ(pts[static_cast<std::size_t>(i)].X, i);
    EXPECT_DOUBLE_EQ(pts[static_cast<std::size_t>(i)].Y, i % 7);
  }
}

// A day of one-second readings: the picture stays small, in order, and keeps the one spike and
// the one dip a sensor fault would show.
TEST(ChartDecimatorTest, LongLineStaysBoundedAndKeepsExtremes) {
  ChartDecimator d(1000);
  for (int i = 0; i < 86400; ++i) {
    double y = 50 + (i % 600) / 100.0;
    if (i == 40000) y = 500;
    if (i == 70001) y = -20;
    d.Add(i, y);
  }
  const std::vector<ChartPoint> pts = d.Points();
  EXPECT_EQ(d.Count(), 86400u);
  EXPECT_LE(pts.size(), 1000u);
  EXPECT_GE(pts.size(), 400u);
  EXPECT_DOUBLE_EQ(pts.front().X, 0);
  for (std::size_t i = 1; i < pts.size(); ++i) ASSERT_LT(pts[i - 1].X, pts[i].X) << i;
  const auto top = std::max_element(pts.begin(), pts.end(),
                                    [](const ChartPoint& a, const ChartPoint& b) { return a.Y < b.Y; });
  const auto bottom = std::min_element(
      pts.begin(), pts.end(), [](const ChartPoint& a, const ChartPoint& b) { return a.Y < b.Y; });
  EXPECT_DOUBLE_EQ(top->X, 40000);
  EXPECT_DOUBLE_EQ(top->Y, 500);
  EXPECT_DOUBLE_EQ(bottom->X, 70001);
  EXPECT_DOUBLE_EQ(bottom->Y, -20);
}

}  // namespace
}  // namespace nord5
