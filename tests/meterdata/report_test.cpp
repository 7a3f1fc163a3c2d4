#include "meterdata/report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "../transport/temp_dir.h"
#include "foundation/text_resource.h"
#include "meterdata/report_texts.h"

namespace nord5 {
namespace {

// A small template in the same shape as the built-in one, easy to compare against.
constexpr std::string_view kTemplate =
    "<html>[*NOW*]\n"
    "<DATATABLE><h1>[*NAME*]</h1><table><tr>"
    "<HEADERCELL><th>[*HEADER*]</th></HEADERCELL>"
    "</tr>"
    "<DATAROW><tr><DATACELL><td>[*DATA*]</td></DATACELL></tr></DATAROW>"
    "</table></DATATABLE>\n"
    "</html>";

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ReportTemplate, ReplaceTag) {
  struct Case {
    std::string text, name, value, expected;
  } cases[] = {
      {"no tag here", "NAME", "x", "no tag here"},
      {"a [*NAME*] b [*NAME*]", "NAME", "T", "a T b T"},
      {"[*NAME*][*DATA*]", "DATA", "", "[*NAME*]"},
      {"[*NAME*]", "NAME", "[*NAME*]", "[*NAME*]"},  // a value is inserted once, never expanded
      {"[*name*]", "NAME", "x", "[*name*]"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplaceTag(c.text, c.name, c.value), c.expected) << c.text;
}

TEST(ReportTemplate, ExtractSection) {
  struct Case {
    std::string text, block, body;
  } cases[] = {
      {"x<R>a<C>b</C></R>y", "<R>a<C>b</C></R>", "a<C>b</C>"},
      // The first closing marker after the first opening one ends the block; stray markers inside
      // the block vanish from the body.
      {"</R><R>a<R>b</R>c</R>", "<R>a<R>b</R>", "ab"},
      {"no markers", "", ""},
      {"<R>never closed", "", ""},
      {"</R> closed before <R>", "", ""},
  };
  for (const Case& c : cases) {
    const TemplateSection s = ExtractSection(c.text, "<R>", "</R>");
    EXPECT_EQ(s.Block, c.block) << c.text;
    EXPECT_EQ(s.Body, c.body) << c.text;
  }
}

TEST(ReportTemplate, ExpandTableWritesColumnsInOrderAndFitsRowsToTheHeader) {
  const ReportSections sections = ExtractReportSections(kTemplate);
  const ReportGrid grid{"Hours statistic data",
                        {"Number", "Energy, kWh", "Error code"},
                        {{"1", "12.5", "0"}, {"2"}, {"3", "13", "0", "beyond the last column"}}};
  EXPECT_EQ(ExpandTable(grid, sections),
            "<h1>Hours statistic data</h1><table><tr>"
            "<th>Number</th><th>Energy, kWh</th><th>Error code</th></tr>"
            "<tr><td>1</td><td>12.5</td><td>0</td></tr>"
            "<tr><td>2</td><td></td><td></td></tr>"
            "<tr><td>3</td><td>13</td><td>0</td></tr>"
            "</table>");
}

TEST(ReportTemplate, HeaderOnlyGridGivesNoRows) {
  const ReportSections sections = ExtractReportSections(kTemplate);
  EXPECT_EQ(ExpandTable({"T", {"Number"}, {}}, sections),
            "<h1>T</h1><table><tr><th>Number</th></tr></table>");
}

TEST(ReportTemplate, MissingSectionsLeaveTheirPartsOut) {
  // No data row section: the header is written, the rows are not.
  const std::string no_rows =
      "<DATATABLE>[*NAME*]|<HEADERCELL>[[*HEADER*]]</HEADERCELL>|</DATATABLE>";
  EXPECT_EQ(BuildReport(no_rows, {{"T", {"a", "b"}, {{"1", "2"}}}}, {}), "T|[a][b]|");
  // No table section at all: nothing of the grids appears.
  EXPECT_EQ(BuildReport("<p>[*NOW*]</p>", {{"T", {"a"}, {{"1"}}}}, {2024, 3, 15, 13, 45, 7}),
            "<p>2024-03-15 13:45:07</p>");
  EXPECT_EQ(BuildReport("", {{"T", {"a"}, {{"1"}}}}, {}), "");
}

TEST(ReportTemplate, EveryTextIsEscaped) {
  const ReportSections sections = ExtractReportSections(kTemplate);
  // A meter's text value may hold markup or even our own section markers.
  const ReportGrid grid{"A & B <i>", {"\"x\" > y"}, {{"</DATAROW><script>&amp;"}}};
  const std::string table = ExpandTable(grid, sections);
  EXPECT_EQ(table,
            "<h1>A &amp; B &lt;i&gt;</h1><table><tr><th>&quot;x&quot; &gt; y</th></tr>"
            "<tr><td>&lt;/DATAROW&gt;&lt;script&gt;&amp;amp;</td></tr></table>");
  EXPECT_EQ(EscapeHtml("plain 12,5 °C"), "plain 12,5 °C");
}

TEST(ReportTemplate, BuiltInTemplateGivesOneTablePerGrid) {
  const std::string templ = LoadTextResource("REPORT");
  ASSERT_FALSE(templ.empty());
  const ReportSections s = ExtractReportSections(templ);
  for (const TemplateSection* section : {&s.Table, &s.HeaderCell, &s.DataRow, &s.DataCell})
    EXPECT_FALSE(section->Body.empty());

  const std::vector<ReportGrid> grids = {
      {"Hours statistic data", {"Number", "Timestamp"}, {{"1", "2024-03-15 13:00"}, {"2", "x"}}},
      {"Days statistic data", {"Number"}, {{"1"}}}};
  const std::string doc = BuildReport(templ, grids, {2018, 5, 4, 5, 51, 28});
  EXPECT_EQ(Count(doc, "<table"), 2u);
  EXPECT_EQ(Count(doc, "background:yellow"), 3u);  // one per header cell
  EXPECT_EQ(Count(doc, "border-top:none"), 5u);    // one per data cell
  EXPECT_LT(doc.find("Hours statistic data"), doc.find("Days statistic data"));
  EXPECT_NE(doc.find("2018-05-04 05:51:28"), std::string::npos);
  EXPECT_NE(doc.find("<title>Data report</title>"), std::string::npos);
  for (const char* gone : {"[*", "*]", "DATATABLE>", "HEADERCELL>", "DATAROW>", "DATACELL>"})
    EXPECT_EQ(doc.find(gone), std::string::npos) << gone;
  // Every line ends with CR LF.
  EXPECT_EQ(Count(doc, "\n"), Count(doc, "\r\n"));
  EXPECT_EQ(Count(doc, "\r"), Count(doc, "\r\n"));
}

TEST(ReportFile, Utf16LittleEndianWithByteOrderMark) {
  const std::string text = "a°€\xF0\x9F\x98\x80";
  const std::string bytes = EncodeUtf16LeWithBom(text);
  EXPECT_EQ(bytes, std::string("\xFF\xFE"
                               "a\0"
                               "\xB0\0"
                               "\xAC\x20"
                               "\x3D\xD8\x00\xDE",
                               12));
  EXPECT_EQ(DecodeUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()),
            text);
  // Bytes that are not UTF-8 become U+FFFD: a truncated sequence once, a stray continuation byte.
  EXPECT_EQ(EncodeUtf16LeWithBom("\xE2\x82"
                                 "b\x80"),
            std::string("\xFF\xFE"
                        "\xFD\xFF"
                        "b\0"
                        "\xFD\xFF",
                        8));
}

class FakeOpener final : public ReportOpener {
 public:
  bool OpenInSpreadsheet(const std::string& path) override { return Log("spreadsheet", path); }
  bool OpenInWordProcessor(const std::string& path) override { return Log("word", path); }
  void OpenWithDefaultProgram(const std::string& path) override { Log("default", path); }
  bool Log(const std::string& how, const std::string& path) {
    calls.push_back(how + " " + path);
    return succeed;
  }
  std::vector<std::string> calls;
  bool succeed = true;
};

class MakeReportTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  ManualClock clock;
  ScriptedDialogs dialogs;
  FakeOpener opener;
  const std::vector<ReportGrid> grids = {{"Set day data", {"Number", "T1, °C"}, {{"1", "21,5"}}}};
};

TEST_F(MakeReportTest, WritesTheDocumentAsUtf16AndOpensItByKind) {
  struct Case {
    int kind;
    bool opens;
    std::string call;
    std::vector<std::string> messages;
  } cases[] = {
      {1, true, "spreadsheet", {}}, {1, false, "spreadsheet", {std::string(kTextCantOpenExcel)}},
      {2, true, "word", {}},        {2, false, "word", {std::string(kTextCantOpenWord)}},
      {3, false, "default", {}},  // the default program is not checked
  };
  for (const Case& c : cases) {
    const std::string path = dir / ("r" + std::to_string(c.kind) + ".htm");
    opener.calls.clear();
    opener.succeed = c.opens;
    dialogs.shown.clear();
    EXPECT_EQ(MakeReport(c.kind, path, grids, clock, dialogs, &opener), ReportOutcome::Written);
    EXPECT_EQ(opener.calls, std::vector<std::string>{c.call + " " + path}) << c.kind;
    EXPECT_EQ(dialogs.Texts(), c.messages) << c.kind;
    // The file stays whether or not it could be opened.
    const std::string bytes = ReadFile(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    const std::string text =
        DecodeUtf16Le(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    EXPECT_EQ(text, BuildReport(LoadTextResource("REPORT"), grids, clock.LocalTime()));
    EXPECT_NE(text.find("T1, °C"), std::string::npos);
  }
}

TEST_F(MakeReportTest, UnwritableFileIsReportedAndNothingIsOpened) {
  // A folder in place of the file: the folder stays, no report is opened.
  const std::string folder = dir / "taken";
  std::filesystem::create_directory(folder);
  EXPECT_EQ(MakeReport(1, folder, grids, clock, dialogs, &opener), ReportOutcome::WriteFailed);
  EXPECT_EQ(MakeReport(1, dir / "missing/r.xls", grids, clock, dialogs, &opener),
            ReportOutcome::WriteFailed);
  EXPECT_TRUE(opener.calls.empty());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].Icon, MsgIcon::Error);
  EXPECT_NE(dialogs.shown[0].Text.find(folder), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST_F(MakeReportTest, ReplacesAnOldReportWhole) {
  const std::string path = dir / "old.doc";
  std::ofstream(path) << std::string(100000, 'x');
  ASSERT_EQ(MakeReport(2, path, grids, clock, dialogs, nullptr), ReportOutcome::Written);
  const std::string bytes = ReadFile(path);
  EXPECT_EQ(bytes, EncodeUtf16LeWithBom(
                       BuildReport(LoadTextResource("REPORT"), grids, clock.LocalTime())));
}

TEST_F(MakeReportTest, FailedWriteLeavesTheOldFileAndNoScraps) {
  const std::string path = dir / "kept.xls";
  std::ofstream(path) << "old report";
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  EXPECT_EQ(MakeReport(1, path, grids, clock, dialogs, &opener), ReportOutcome::WriteFailed);
  EXPECT_EQ(ReadFile(path), "old report");
  EXPECT_TRUE(opener.calls.empty());
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

TEST(ReportName, ProposedNameAndKindByExtension) {
  EXPECT_EQ(ProposedReportName({2018, 5, 4, 5, 51, 28}), "2018 May 04 Friday 05_51_28");
  EXPECT_EQ(ProposedReportName({2024, 12, 29, 23, 0, 9}), "2024 December 29 Sunday 23_00_09");
  MonthNames lt = EnglishMonthNames();
  lt[4] = "gegužė";
  WeekdayNames lt_days = EnglishWeekdayNames();
  lt_days[4] = "penktadienis";
  EXPECT_EQ(ProposedReportName({2018, 5, 4, 5, 51, 28}, lt, lt_days),
            "2018 gegužė 04 penktadienis 05_51_28");

  const std::pair<const char*, int> kinds[] = {{"a.xls", 1}, {"A.XLS", 1},  {"/x.y/b.doc", 2},
                                               {"c.htm", 3}, {"c.html", 3}, {"/x.xls/noext", 3}};
  for (const auto& [path, kind] : kinds) EXPECT_EQ(ReportKindForFile(path), kind) << path;
}

}  // namespace
}  // namespace nord5

namespace nord5 {
namespace {

// A desktop of its own: XDG folders in a temporary folder, restored afterwards.
class MimeHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVars) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
    }
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (dir / "etc").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (dir / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir / "usr").c_str(), 1);
    for (const char* d : {"config", "etc", "home/applications/kde", "usr/applications"})
      std::filesystem::create_directories(dir / d);
  }
  void TearDown() override {
    for (std::size_t i = 0; i < std::size(kVars); ++i) {
      if (saved_[i])
        ::setenv(kVars[i], saved_[i]->c_str(), 1);
      else
        ::unsetenv(kVars[i]);
    }
  }
  void Write(const std::string& path, const std::string& text) {
    std::ofstream(dir / path) << text;
  }

  static constexpr const char* kVars[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                                          "XDG_DATA_DIRS"};
  test::TempDir dir;
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(MimeHandlerTest, UserChoiceThenSystemCacheThenNothing) {
  const std::vector<std::string> sheet = {"application/vnd.ms-excel",
                                          "application/vnd.oasis.opendocument.spreadsheet"};
  EXPECT_EQ(FindMimeHandler(sheet), "");
  RecordingShell shell;
  XdgReportOpener opener(shell);
  EXPECT_FALSE(opener.OpenInSpreadsheet(dir / "r.xls")) << "nothing registered, nothing run";

  // Only the second type has a program, found through the installed programs' cache.
  Write("usr/applications/calc.desktop", "[Desktop Entry]\n");
  Write(
      "usr/applications/mimeinfo.cache",
      "[MIME Cache]\napplication/vnd.oasis.opendocument.spreadsheet=gone.desktop;calc.desktop;\n");
  EXPECT_EQ(FindMimeHandler(sheet), dir / "usr/applications/calc.desktop");

  // The user's default wins; one whose file is missing is passed over; a desktop id names a
  // file in a subfolder with '-' for '/'.
  Write("home/applications/kde/sheets.desktop", "[Desktop Entry]\n");
  Write(
      "config/mimeapps.list",
      "[Added Associations]\napplication/vnd.ms-excel=other.desktop;\n"
      "[Default Applications]\r\napplication/vnd.ms-excel=missing.desktop;kde-sheets.desktop\r\n");
  EXPECT_EQ(FindMimeHandler(sheet), dir / "home/applications/kde/sheets.desktop");
}

TEST_F(MimeHandlerTest, NoWordProcessorGivesItsMessageAndKeepsTheFile) {
  RecordingShell shell;
  XdgReportOpener opener(shell);
  ManualClock clock;
  ScriptedDialogs dialogs;
  const std::string path = dir / "r.doc";
  EXPECT_EQ(MakeReport(2, path, {{"T", {"a"}, {{"1"}}}}, clock, dialogs, &opener),
            ReportOutcome::Written);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{std::string(kTextCantOpenWord)});
  EXPECT_TRUE(std::filesystem::exists(path));
  // The web page goes to the shell's default program.
  EXPECT_EQ(MakeReport(3, dir / "r.htm", {}, clock, dialogs, &opener), ReportOutcome::Written);
  EXPECT_EQ(shell.opened, std::vector<std::string>{dir / "r.htm"});
}

}  // namespace
}  // namespace nord5
