#include "meterdata/report.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/atomic_file.h"
#include "foundation/text_resource.h"
#include "mbus/dates.h"
#include "meterdata/report_texts.h"

extern char** environ;

namespace nord5 {

namespace {

// Every occurrence of `from` replaced by `to`; an empty `from` changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  if (from.empty()) return std::string(text);
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

// CR LF for every line end: lone LF, lone CR and CR LF all become CR LF.
std::string NormaliseLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

void AppendUnit(std::string& out, std::uint32_t unit) {
  out.push_back(static_cast<char>(unit & 0xFF));
  out.push_back(static_cast<char>(unit >> 8));
}

std::string Two(int v) {
  std::string s = std::to_string(v);
  return s.size() < 2 ? "0" + s : s;
}

// 0 = Monday .. 6 = Sunday.
int WeekdayIndex(const DateTime& t) {
  using namespace std::chrono;
  const year_month_day ymd{year{t.Year}, month{static_cast<unsigned>(t.Month)},
                           day{static_cast<unsigned>(t.Day)}};
  if (!ymd.ok()) return 0;
  return static_cast<int>(weekday{sys_days{ymd}}.iso_encoding()) - 1;
}

// Runs `/bin/sh -c script` with the arguments; true when the shell exits with status 0.
bool RunShell(const std::string& script, const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"/bin/sh", "-c", script.c_str()};
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv.data()), environ) != 0)
    return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> SplitPaths(const char* value, const char* fallback) {
  std::string list = value && *value ? value : fallback;
  std::vector<std::string> out;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ':'))
    if (!item.empty()) out.push_back(item);
  return out;
}

std::string Home() {
  const char* home = std::getenv("HOME");
  return home ? home : "";
}

// The desktop ids that `key` lists in `section` of an INI-style file (mimeapps.list,
// mimeinfo.cache), in their order.
std::vector<std::string> ListedIds(const std::string& file, std::string_view section,
                                   std::string_view key) {
  std::ifstream in(file);
  std::vector<std::string> ids;
  std::string line;
  bool in_section = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      in_section = line == "[" + std::string(section) + "]";
      continue;
    }
    if (!in_section) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || std::string_view(line).substr(0, eq) != key) continue;
    std::stringstream values(line.substr(eq + 1));
    std::string id;
    while (std::getline(values, id, ';'))
      if (!id.empty()) ids.push_back(id);
  }
  return ids;
}

// A desktop id ("org.libreoffice.Calc.desktop", "kde-foo.desktop" for kde/foo.desktop) as a file.
std::string DesktopFile(const std::string& id, const std::vector<std::string>& app_dirs) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const std::string& dir : app_dirs) {
    const fs::path direct = fs::path(dir) / id;
    if (fs::is_regular_file(direct, ec)) return direct.string();
    // Ids of files in subfolders have their '/' replaced by '-'.
    std::string nested = id;
    for (std::size_t dash = nested.find('-'); dash != std::string::npos;
         dash = nested.find('-', dash + 1)) {
      nested[dash] = '/';
      const fs::path candidate = fs::path(dir) / nested;
      if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
  }
  return {};
}

bool LaunchWithHandler(const std::vector<std::string>& mime_types, const std::string& path) {
  const std::string desktop = FindMimeHandler(mime_types);
  if (desktop.empty()) return false;
  // The program is started in the background and keeps running after we return.
  return RunShell(
      "command -v gio >/dev/null 2>&1 || exit 1; gio launch \"$0\" \"$1\" >/dev/null 2>&1 &",
      {desktop, path});
}

}  // namespace

std::string ReplaceTag(std::string_view text, std::string_view name, std::string_view value) {
  return ReplaceAll(text, "[*" + std::string(name) + "*]", value);
}

TemplateSection ExtractSection(std::string_view text, std::string_view opening,
                               std::string_view closing) {
  if (opening.empty() || closing.empty()) return {};
  const std::size_t start = text.find(opening);
  if (start == std::string_view::npos) return {};
  const std::size_t end = text.find(closing, start + opening.size());
  if (end == std::string_view::npos) return {};
  TemplateSection section;
  section.Block = std::string(text.substr(start, end + closing.size() - start));
  section.Body = ReplaceAll(ReplaceAll(section.Block, opening, ""), closing, "");
  return section;
}

ReportSections ExtractReportSections(std::string_view templ) {
  ReportSections s;
  s.Table = ExtractSection(templ, "<DATATABLE>", "</DATATABLE>");
  s.HeaderCell = ExtractSection(templ, "<HEADERCELL>", "</HEADERCELL>");
  s.DataRow = ExtractSection(templ, "<DATAROW>", "</DATAROW>");
  s.DataCell = ExtractSection(s.DataRow.Body, "<DATACELL>", "</DATACELL>");
  return s;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
        break;
    }
  }
  return out;
}

std::string ExpandTable(const ReportGrid& grid, const ReportSections& sections) {
  std::string table = ReplaceTag(sections.Table.Body, "NAME", EscapeHtml(grid.Name));

  std::string headers;
  for (const std::string& cell : grid.Header)
    headers += ReplaceTag(sections.HeaderCell.Body, "HEADER", EscapeHtml(cell));
  table = ReplaceAll(table, sections.HeaderCell.Block, headers);

  std::string rows;
  static const std::string kEmpty;
  for (const std::vector<std::string>& row : grid.Rows) {
    std::string cells;
    for (std::size_t c = 0; c < grid.Header.size(); ++c)
      cells +=
          ReplaceTag(sections.DataCell.Body, "DATA", EscapeHtml(c < row.size() ? row[c] : kEmpty));
    rows += ReplaceAll(sections.DataRow.Body, sections.DataCell.Block, cells);
  }
  return ReplaceAll(table, sections.DataRow.Block, rows);
}

std::string BuildReport(std::string_view templ, const std::vector<ReportGrid>& grids,
                        const DateTime& now) {
  std::string text = NormaliseLineEnds(templ);
  if (text.empty()) return {};
  text = ReplaceTag(text, "NOW", EscapeHtml(FormatDateAndTime(now)));
  const ReportSections sections = ExtractReportSections(text);
  std::string tables;
  for (const ReportGrid& grid : grids) tables += ExpandTable(grid, sections);
  // Cell texts may carry their own line breaks; the file has CR LF throughout.
  return NormaliseLineEnds(ReplaceAll(text, sections.Table.Block, tables));
}

std::string EncodeUtf16LeWithBom(std::string_view utf8) {
  std::string out;
  out.reserve(2 + utf8.size() * 2);
  AppendUnit(out, 0xFEFF);
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (b0 < 0x80) {
      cp = b0;
    } else {
      std::size_t need = 0;
      std::uint32_t v = 0;
      if (b0 >= 0xC2 && b0 <= 0xDF)
        need = 1, v = b0 & 0x1F;
      else if (b0 >= 0xE0 && b0 <= 0xEF)
        need = 2, v = b0 & 0x0F;
      else if (b0 >= 0xF0 && b0 <= 0xF4)
        need = 3, v = b0 & 0x07;
      bool ok = need > 0;
      for (std::size_t k = 1; ok && k <= need; ++k) {
        const auto b = i + k < utf8.size() ? static_cast<unsigned char>(utf8[i + k]) : 0;
        if ((b & 0xC0) != 0x80) {
          ok = false;
          len = k;  // a truncated sequence is replaced once, as a whole
        } else {
          v = (v << 6) | (b & 0x3F);
        }
      }
      if (ok) {
        const bool overlong = (need == 2 && v < 0x800) || (need == 3 && v < 0x10000);
        if (!overlong && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
          cp = v;
          len = need + 1;
        }
      }
    }
    if (cp >= 0x10000) {
      AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
      AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      AppendUnit(out, cp);
    }
    i += len;
  }
  return out;
}

std::string FindMimeHandler(const std::vector<std::string>& mime_types) {
  const std::string home = Home();
  const char* config_home = std::getenv("XDG_CONFIG_HOME");
  const char* data_home = std::getenv("XDG_DATA_HOME");
  std::vector<std::string> config_dirs = {config_home && *config_home ? config_home
                                                                      : home + "/.config"};
  for (const std::string& d : SplitPaths(std::getenv("XDG_CONFIG_DIRS"), "/etc/xdg"))
    config_dirs.push_back(d);
  std::vector<std::string> app_dirs = {
      (data_home && *data_home ? std::string(data_home) : home + "/.local/share") +
      "/applications"};
  for (const std::string& d :
       SplitPaths(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
    app_dirs.push_back(d + "/applications");

  for (const std::string& mime : mime_types) {
    // The user's and the system's choices first, then whatever an installed program claims.
    std::vector<std::string> lists;
    for (const std::string& d : config_dirs) lists.push_back(d + "/mimeapps.list");
    for (const std::string& d : app_dirs) lists.push_back(d + "/mimeapps.list");
    for (const std::string& list : lists)
      for (const std::string& id : ListedIds(list, "Default Applications", mime))
        if (std::string file = DesktopFile(id, app_dirs); !file.empty()) return file;
    for (const std::string& d : app_dirs)
      for (const std::string& id : ListedIds(d + "/mimeinfo.cache", "MIME Cache", mime))
        if (std::string file = DesktopFile(id, app_dirs); !file.empty()) return file;
  }
  return {};
}

bool XdgReportOpener::OpenInSpreadsheet(const std::string& path) {
  return LaunchWithHandler(
      {"application/vnd.ms-excel", "application/vnd.oasis.opendocument.spreadsheet"}, path);
}

bool XdgReportOpener::OpenInWordProcessor(const std::string& path) {
  return LaunchWithHandler({"application/msword", "application/vnd.oasis.opendocument.text"}, path);
}

void XdgReportOpener::OpenWithDefaultProgram(const std::string& path) { shell_.Open(path); }

ReportOutcome MakeReport(int kind, const std::string& path, const std::vector<ReportGrid>& grids,
                         const Clock& clock, Dialogs& dialogs, ReportOpener* opener) {
  const std::string text = BuildReport(LoadTextResource("REPORT"), grids, clock.LocalTime());
  if (text.empty()) return ReportOutcome::NoTemplate;
  const std::string bytes = EncodeUtf16LeWithBom(text);
  if (!WriteFileAtomically(path, bytes.data(), bytes.size())) {
    std::string message(kTextCantWriteReport);
    message.replace(message.find("%s"), 2, path);
    dialogs.Error(message);
    return ReportOutcome::WriteFailed;
  }
  if (!opener) return ReportOutcome::Written;
  if (kind == static_cast<int>(ReportKind::Spreadsheet)) {
    if (!opener->OpenInSpreadsheet(path)) dialogs.Error(std::string(kTextCantOpenExcel));
  } else if (kind == static_cast<int>(ReportKind::WordProcessor)) {
    if (!opener->OpenInWordProcessor(path)) dialogs.Error(std::string(kTextCantOpenWord));
  } else {
    opener->OpenWithDefaultProgram(path);
  }
  return ReportOutcome::Written;
}

const MonthNames& EnglishMonthNames() {
  static const MonthNames names = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
  return names;
}

const WeekdayNames& EnglishWeekdayNames() {
  static const WeekdayNames names = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                     "Friday", "Saturday", "Sunday"};
  return names;
}

std::string ProposedReportName(const DateTime& t, const MonthNames& months,
                               const WeekdayNames& weekdays) {
  const int month = t.Month >= 1 && t.Month <= 12 ? t.Month - 1 : 0;
  return std::to_string(t.Year) + " " + months[static_cast<std::size_t>(month)] + " " + Two(t.Day) +
         " " + weekdays[static_cast<std::size_t>(WeekdayIndex(t))] + " " + Two(t.Hour) + "_" +
         Two(t.Minute) + "_" + Two(t.Second);
}

int ReportKindForFile(std::string_view path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of('/');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return 3;
  std::string ext(path.substr(dot + 1));
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (ext == "xls") return 1;
  if (ext == "doc") return 2;
  return 3;
}

}  // namespace nord5
