// Reports: one or more result grids turned into an HTML document from the built-in "REPORT"
// template, saved for the spreadsheet, the word processor or the browser and then opened there.
//
// The template marks its repeated parts with four marker pairs that are not HTML:
//   <DATATABLE> ... </DATATABLE>    one table with its title, repeated per grid
//   <HEADERCELL> ... </HEADERCELL>  one header cell, repeated per column
//   <DATAROW> ... </DATAROW>        one table row, repeated per grid row
//   <DATACELL> ... </DATACELL>      one cell inside the data row, repeated per column
// and the placeholders [*NAME*], [*HEADER*], [*DATA*] and [*NOW*].
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "foundation/dialogs.h"
#include "foundation/shell.h"

namespace nord5 {

// One grid of a report: its title, its header cells (one per column) and its rows. A row with
// fewer cells than the header leaves the remaining cells empty; cells beyond the last column are
// not shown.
struct ReportGrid {
  std::string Name;
  std::vector<std::string> Header;
  std::vector<std::vector<std::string>> Rows;
};

// The file type of the save dialog, counted from 1. The content is the same for all three; the
// kind decides only which program opens the file.
enum class ReportKind : int { Spreadsheet = 1, WordProcessor = 2, WebPage = 3 };

// Every "[*name*]" in `text` replaced by `value`. Text without the placeholder comes back
// unchanged.
std::string ReplaceTag(std::string_view text, std::string_view name, std::string_view value);

// A part of the template: the block runs from the first opening marker to the end of the first
// closing marker after it; the body is the block without any of the two markers. Both are empty
// when either marker is missing.
struct TemplateSection {
  std::string Block;
  std::string Body;
};
TemplateSection ExtractSection(std::string_view text, std::string_view opening,
                               std::string_view closing);

// The four sections of a template. `DataCell` is taken from the body of `DataRow`.
struct ReportSections {
  TemplateSection Table;
  TemplateSection HeaderCell;
  TemplateSection DataRow;
  TemplateSection DataCell;
};
ReportSections ExtractReportSections(std::string_view templ);

// `&`, `<`, `>` and `"` as HTML character references: a value read from a meter can hold anything
// and must show as written instead of becoming markup.
std::string EscapeHtml(std::string_view text);

// One table for `grid` under the title `grid.Name`: the table section's body with its header cell
// block replaced by one header cell per column and its data row block by one row per grid row.
// A missing section leaves its part out.
std::string ExpandTable(const ReportGrid& grid, const ReportSections& sections);

// The whole document as UTF-8 with CR LF line ends: the template with [*NOW*] replaced by `now`
// (short date and long time) and its table section replaced by one table per grid, in order.
// Empty when the template is empty.
std::string BuildReport(std::string_view templ, const std::vector<ReportGrid>& grids,
                        const DateTime& now);

// UTF-8 text as UTF-16 little-endian bytes with a byte order mark. Bytes that are not UTF-8 become
// U+FFFD.
std::string EncodeUtf16LeWithBom(std::string_view utf8);

// How a finished report is handed to the desktop.
class ReportOpener {
 public:
  virtual ~ReportOpener() = default;
  virtual bool OpenInSpreadsheet(const std::string& path) = 0;
  virtual bool OpenInWordProcessor(const std::string& path) = 0;
  virtual void OpenWithDefaultProgram(const std::string& path) = 0;
};

// The XDG desktop: kinds 1 and 2 go to the program the desktop's MIME handler list names for
// spreadsheets or text documents (`xdg-mime query default`, started with `gio launch`); kind 3 to
// `shell`, which opens the file with its default program. Runs no program when nothing is
// registered, so the caller can say so.
class XdgReportOpener final : public ReportOpener {
 public:
  explicit XdgReportOpener(Shell& shell) : shell_(shell) {}
  bool OpenInSpreadsheet(const std::string& path) override;
  bool OpenInWordProcessor(const std::string& path) override;
  void OpenWithDefaultProgram(const std::string& path) override;

 private:
  Shell& shell_;
};

// The desktop entry file (full path) registered for the first of `mime_types` that has one, or ""
// when none has. Searches $XDG_DATA_HOME and $XDG_DATA_DIRS like the desktop does.
std::string FindMimeHandler(const std::vector<std::string>& mime_types);

enum class ReportOutcome : std::uint8_t {
  Written = 0,      // written (and handed to the opener)
  NoTemplate = 1,   // the template is empty: nothing is written
  WriteFailed = 2,  // the file could not be written: message shown, old file intact, nothing opened
};

// Builds the report from the built-in template, writes it to `path` atomically (UTF-16LE with a
// byte order mark, CR LF) and, when `opener` is given, opens it by `kind`: kind 1 in the
// spreadsheet ("Can't open MS Excel" when that fails), kind 2 in the word processor ("Can't open
// MS Word"), any other kind with the default program. The file stays in every case.
ReportOutcome MakeReport(int kind, const std::string& path, const std::vector<ReportGrid>& grids,
                         const Clock& clock, Dialogs& dialogs, ReportOpener* opener);

// The name the save dialog proposes: "yyyy mmmm dd dddd hh_nn_ss", e.g. "2018 May 04 Friday
// 05_51_28". Month and weekday names come from the caller (the system language); the defaults are
// English.
using MonthNames = std::array<std::string, 12>;
using WeekdayNames = std::array<std::string, 7>;  // Monday first
const MonthNames& EnglishMonthNames();
const WeekdayNames& EnglishWeekdayNames();
std::string ProposedReportName(const DateTime& t, const MonthNames& months = EnglishMonthNames(),
                               const WeekdayNames& weekdays = EnglishWeekdayNames());

// The kind of report a file name asks for by its extension (".xls" 1, ".doc" 2, ".htm"/".html" 3,
// without regard to case); 3 for anything else.
int ReportKindForFile(std::string_view path);

}  // namespace nord5
