#include "meterdata/archive_grid.h"

#include <algorithm>
#include <cstdio>

#include "foundation/text_resource.h"

namespace nord5 {

ArchiveGrid::ArchiveGrid(TextWidth text_width, int default_col_width)
    : text_width_(std::move(text_width)), default_width_(default_col_width) {
  widths_ = {default_width_};
  rows_ = {{""}};
}

void ArchiveGrid::Clear() {
  const int first = widths_.empty() ? default_width_ : widths_[0];
  widths_ = {first};
  rows_ = {{""}};
}

void ArchiveGrid::Widen(int col, const std::string& text) {
  if (!text_width_) return;
  const int need = text_width_(text);
  int& width = widths_[static_cast<std::size_t>(col)];
  if (width < need) width = need + kWidthMargin;
}

bool ArchiveGrid::ShowArchiveRecord(std::int32_t, std::int32_t, const TFullRecord& DR) {
  const int count = std::clamp<std::int32_t>(DR.Count, 0, static_cast<std::int32_t>(DR.Rec.size()));
  if (rows_.size() == 1) {
    // The identification entry has no column of its own: its column numbers the rows.
    const int cols = std::max(count, 1);
    widths_.resize(static_cast<std::size_t>(cols), default_width_);
    std::vector<std::string>& header = rows_[0];
    header.assign(static_cast<std::size_t>(cols), std::string());
    header[0] = "Number";
    Widen(0, header[0]);
    for (int i = 1; i < cols; ++i) {
      const TTableRecord& e = DR.Rec[static_cast<std::size_t>(i)];
      header[static_cast<std::size_t>(i)] = e.Units.empty() ? e.Name : e.Name + ", " + e.Units;
      Widen(i, header[static_cast<std::size_t>(i)]);
    }
  }
  const int cols = ColCount();
  std::vector<std::string> row(static_cast<std::size_t>(cols));
  row[0] = std::to_string(rows_.size());
  Widen(0, row[0]);
  for (int i = 1; i < cols && i < count; ++i) {
    row[static_cast<std::size_t>(i)] = VariantToText(DR.Rec[static_cast<std::size_t>(i)].Value);
    Widen(i, row[static_cast<std::size_t>(i)]);
  }
  rows_.push_back(std::move(row));
  return true;
}

const std::string& ArchiveGrid::Cell(int col, int row) const {
  static const std::string kNone;
  if (row < 0 || row >= RowCount()) return kNone;
  const std::vector<std::string>& r = rows_[static_cast<std::size_t>(row)];
  if (col < 0 || col >= static_cast<int>(r.size())) return kNone;
  return r[static_cast<std::size_t>(col)];
}

int ArchiveGrid::ColWidth(int col) const {
  if (col < 0 || col >= ColCount()) return 0;
  return widths_[static_cast<std::size_t>(col)];
}

ReportGrid ArchiveGrid::ToReport(std::string name) const {
  ReportGrid g;
  g.Name = std::move(name);
  g.Header = rows_[0];
  g.Rows.assign(rows_.begin() + 1, rows_.end());
  return g;
}

namespace {

std::string CsvField(const std::string& raw) {
  const std::string text = ValidUtf8(raw);
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::string ArchiveGrid::ToCsv() const {
  std::string out;
  for (const std::vector<std::string>& row : rows_) {
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) out += ',';
      out += CsvField(row[c]);
    }
    out += "\r\n";
  }
  return out;
}

std::string ValidUtf8(std::string_view text) {
  // Through UTF-16 and back: whatever is not UTF-8 becomes U+FFFD.
  const std::string utf16 = EncodeUtf16LeWithBom(text);
  return DecodeUtf16Le(reinterpret_cast<const unsigned char*>(utf16.data()), utf16.size());
}

std::string JsonString(std::string_view raw) {
  const std::string text = ValidUtf8(raw);
  std::string out = "\"";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(ch);
        }
    }
  }
  return out + "\"";
}

std::string ArchiveGrid::ToJson(std::string_view kind) const {
  auto list = [](const std::vector<std::string>& cells) {
    std::string out = "[";
    for (std::size_t i = 0; i < cells.size(); ++i) out += (i ? ", " : "") + JsonString(cells[i]);
    return out + "]";
  };
  std::string out =
      "{\"kind\": " + JsonString(kind) + ", \"columns\": " + list(rows_[0]) + ", \"rows\": [";
  for (std::size_t r = 1; r < rows_.size(); ++r) out += (r > 1 ? ", " : "") + list(rows_[r]);
  return out + "]}";
}

}  // namespace nord5
