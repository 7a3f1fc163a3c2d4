// The result grid of an archive reading: one row per meter answer, one column per record of the
// first answer, the first column numbering the rows. It also keeps the column widths in pixels
// (widened to fit, never shrunk), so that the window only has to copy them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mbus/records.h"
#include "meterdata/report.h"

namespace nord5 {

class ArchiveGrid {
 public:
  // Pixel width of a text in the grid's font; without one every text counts as 0 wide.
  using TextWidth = std::function<int(std::string_view text)>;
  static constexpr int kDefaultColWidth = 64;
  static constexpr int kWidthMargin = 18;

  explicit ArchiveGrid(TextWidth text_width = {}, int default_col_width = kDefaultColWidth);

  // Empty: one row, one column, its only cell empty. Column 0 keeps its width.
  void Clear();

  // One decoded answer into the grid (a DecodedDataHandler). The first answer builds the header:
  // "Number", then every entry after the identification entry as its name, followed by ", " and
  // its unit when it has one. Each answer appends a row numbered from 1 and fills the existing
  // columns by position; missing entries leave cells empty, extra ones are not shown. Gives true.
  bool ShowArchiveRecord(std::int32_t ID, std::int32_t MBusA, const TFullRecord& DR);

  int ColCount() const { return static_cast<int>(widths_.size()); }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  // "" outside the grid.
  const std::string& Cell(int col, int row) const;
  int ColWidth(int col) const;
  // Row 0 is the header; data rows follow from 1.
  const std::vector<std::vector<std::string>>& Rows() const { return rows_; }

  // The grid for a report under the title `name` (header row, then the data rows).
  ReportGrid ToReport(std::string name) const;
  // RFC 4180: every row of the grid, the header first, fields quoted where needed, CR LF.
  std::string ToCsv() const;
  // {"kind": name, "columns": [header], "rows": [[cells], ...]} on one line.
  std::string ToJson(std::string_view kind) const;

 private:
  void Widen(int col, const std::string& text);

  TextWidth text_width_;
  int default_width_;
  std::vector<std::vector<std::string>> rows_;
  std::vector<int> widths_;
};

// The text with every byte sequence that is not UTF-8 replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);
// A JSON string literal for UTF-8 text (quotes, backslash and control characters escaped).
std::string JsonString(std::string_view text);

}  // namespace nord5
