// The grid-to-chart model: turns a result grid (a header row and rows of text cells, as the
// "Archive" tab and the archive window show them) into numeric series against time or row number.
// Plain data only; the window draws what this model holds.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "mbus/dates.h"

namespace nord5 {

// A number as the grid shows it: optional blanks, an optional minus, digits with at most one
// `decimal_separator` and an optional exponent ("1.5E-3"). Anything else ("- - -", a date, a
// hexadecimal error code such as "80A0", an empty cell, a '.' when the separator is ',') is no
// number. Non-finite values are refused.
std::optional<double> ParseGridNumber(std::string_view text, char decimal_separator);

// A date-time written by FormatDateTimeText with `formats`: short date, a blank and long time,
// or the short date alone for midnight. Two-digit years are taken as 20yy (the meter counts from
// 2000). Nothing when the text does not follow the patterns or names an impossible date.
std::optional<DateTime> ParseDateTimeText(std::string_view text, const DateTimeFormats& formats);

// Seconds from 1970-01-01 00:00 to the wall-clock time `t`, without any time zone: the meter's
// own clock reading as a number that orders and spaces records correctly.
double WallSeconds(const DateTime& t);
// The inverse of WallSeconds (milliseconds rounded).
DateTime FromWallSeconds(double seconds);

enum class ChartXKind : std::uint8_t {
  RowNumber = 0,  // x is the row number, 1 for the first record
  Timestamp = 1,  // x is WallSeconds of the row's "Timestamp" cell
};

// One grid column as a series. Points are appended in row order. Cells that are no number between
// two values leave one gap point (`Gap` set, Y meaningless) where the line is to be broken; empty
// cells before the first value leave none.
struct ChartPoint {
  double X = 0;
  double Y = 0;
  bool Gap = false;
};

struct ChartSeries {
  int Column = 0;         // grid column the series comes from
  std::string Header;     // the header cell as shown, e.g. "4. Flow, m^3/h"
  std::string Name;       // without a leading "N. " and without the unit: "Flow"
  std::string Units;      // "m^3/h"; "" when the header has none
  bool Numeric = false;   // some cell of the column was a number
  std::vector<ChartPoint> Points;
  std::size_t Values = 0;  // points that are not gaps
  double MinY = 0;         // range of the values; meaningful once Values > 0
  double MaxY = 0;
};

// Builds series from a grid, row by row. Header changes that only add columns at the right (the
// archive window opens a column when a reading brings a new quantity) keep the rows read so far;
// appending a row costs time in proportion to its cells only, never to the rows already held.
class ChartSeriesModel {
 public:
  explicit ChartSeriesModel(char decimal_separator = '.',
                            DateTimeFormats formats = CurrentDateTimeFormats());

  // Drops everything and takes a new header row.
  void Reset(const std::vector<std::string>& header);
  // Takes a header that extends the current one (same cells, more at the right). A header that
  // does not extend it resets the model and gives false.
  bool ExtendHeader(const std::vector<std::string>& header);
  // Adds one data row (cells by grid column; missing cells are gaps). Gives false when the row
  // has no x: its timestamp cell is no date-time (the row is then counted in SkippedRows).
  bool AppendRow(const std::vector<std::string>& cells);
  // Reset with `header`, then every row.
  void Load(const std::vector<std::string>& header,
            const std::vector<std::vector<std::string>>& rows);

  ChartXKind XKind() const { return x_kind_; }
  int XColumn() const { return x_column_; }  // the timestamp column, -1 when none
  const std::vector<ChartSeries>& Series() const { return series_; }
  // The series of grid column `column`, or nullptr.
  const ChartSeries* SeriesOfColumn(int column) const;
  std::size_t Rows() const { return rows_; }
  std::size_t SkippedRows() const { return skipped_; }
  // Range of x over the rows taken; meaningful once Rows() > SkippedRows().
  double MinX() const { return min_x_; }
  double MaxX() const { return max_x_; }
  const std::vector<std::string>& Header() const { return header_; }
  char DecimalSeparator() const { return separator_; }

  // How a header cell is read: the leading "N. " of the archive window's keys is dropped, the
  // unit follows the last ", ".
  static void SplitHeader(const std::string& header, std::string& name, std::string& units);

 private:
  void AddColumns(std::size_t from);

  char separator_;
  DateTimeFormats formats_;
  std::vector<std::string> header_;
  ChartXKind x_kind_ = ChartXKind::RowNumber;
  int x_column_ = -1;
  std::vector<ChartSeries> series_;
  std::vector<int> series_of_column_;  // index into series_, -1 for columns that are no series
  std::size_t rows_ = 0;
  std::size_t skipped_ = 0;
  double min_x_ = 0;
  double max_x_ = 0;
};

// A bounded picture of a long line for drawing: points are gathered in buckets of equal count,
// and each bucket is drawn by its lowest and its highest point (in x order), so peaks and dips
// survive however many points there are. While the line is short every point is its own bucket.
// When the buckets reach the limit, neighbours merge pairwise and the bucket size doubles; adding
// a point therefore costs O(1) amortised, and the picture never exceeds `max_points` points.
class ChartDecimator {
 public:
  explicit ChartDecimator(std::size_t max_points = 4000);
  void Add(double x, double y);
  // The points to draw, in the order added.
  std::vector<ChartPoint> Points() const;
  std::size_t Count() const { return count_; }           // points added
  std::size_t BucketSize() const { return bucket_size_; }  // 1 while nothing is reduced

 private:
  struct Bucket {
    ChartPoint Low;
    ChartPoint High;
    bool LowFirst = true;  // the low point came before the high point
    std::size_t Count = 0;
  };
  static Bucket Merge(const Bucket& a, const Bucket& b);

  std::size_t max_buckets_;
  std::size_t bucket_size_ = 1;
  std::size_t count_ = 0;
  std::vector<Bucket> buckets_;
};

}  // namespace nord5
