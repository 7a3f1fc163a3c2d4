#include "foundation/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "foundation/memory_form.h"

namespace nord5 {

// Defined beside the store (settings.cpp): runs between writing the temporary file and renaming
// it over the settings file; false aborts the write there.
void SetSettingsWriteHookForTesting(std::function<bool(const std::string& temp_path)> hook);

namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/nord5-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    if (const char* old = std::getenv("XDG_DATA_HOME")) old_xdg_ = old;
    ::setenv("XDG_DATA_HOME", (root_ + "/share").c_str(), 1);
    SetSettingsFileForTesting({});
  }

  void TearDown() override {
    SetSettingsWriteHookForTesting({});
    SetSettingsFileForTesting({});
    if (old_xdg_) {
      ::setenv("XDG_DATA_HOME", old_xdg_->c_str(), 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
  }

  // Points the store at a settings file in the temporary folder, optionally with a content.
  std::string UseFile(const std::string& content = {}, bool create = false) {
    const std::string path = root_ + "/settings.ini";
    if (create || !content.empty()) WriteFile(path, content);
    SetSettingsFileForTesting(path);
    return path;
  }

  static void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::size_t FilesInRoot() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(root_)) ++n;
    return n;
  }

  std::string root_;
  std::optional<std::string> old_xdg_;
};

TEST_F(SettingsTest, FirstRunCreatesDataFolderAndSettingsFile) {
  const std::string folder = root_ + "/share/VARMELINOX_NORD5_User_config/";
  EXPECT_EQ(DataFolder(), folder);
  EXPECT_EQ(SettingsFile(), folder + "VARMELINOX_NORD5_User_config.ini");
  ASSERT_FALSE(fs::exists(folder));

  ASSERT_TRUE(InitDataFolder());
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_TRUE(InitDataFolder());  // an existing folder is fine

  EXPECT_EQ(SettingsValue(SettingsMode::Read, "DeviceTimeCorection", 0).Text(), "0");
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "HelpFileEN", "").Text(), "");
  EXPECT_EQ(ReadFile(SettingsFile()),
            "[Program settings]\nDeviceTimeCorection=0\nHelpFileEN=\n");
}

TEST_F(SettingsTest, DataFolderFollowsXdgThenHome) {
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  struct Case {
    const char* xdg;  // nullptr: unset
    const char* home;
    std::string expected;
  };
  const Case cases[] = {
      {"/data/x", "/home/u", "/data/x/VARMELINOX_NORD5_User_config/"},
      {"/data/x/", "/home/u", "/data/x/VARMELINOX_NORD5_User_config/"},
      {nullptr, "/home/u", "/home/u/.local/share/VARMELINOX_NORD5_User_config/"},
      {"", "/home/u", "/home/u/.local/share/VARMELINOX_NORD5_User_config/"},
      {"relative/dir", "/home/u", "/home/u/.local/share/VARMELINOX_NORD5_User_config/"},
  };
  for (const Case& c : cases) {
    if (c.xdg) {
      ::setenv("XDG_DATA_HOME", c.xdg, 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
    ::setenv("HOME", c.home, 1);
    EXPECT_EQ(DataFolder(), c.expected) << (c.xdg ? c.xdg : "(unset)");
  }
  if (old_home) {
    ::setenv("HOME", saved_home.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

TEST_F(SettingsTest, MissingKeyGivesDefaultAndKeepsItInTheFile) {
  const std::string path = UseFile();
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "ConfigFilePath", "/opt/nord5/").Text(),
            "/opt/nord5/");
  EXPECT_NE(ReadFile(path).find("ConfigFilePath=/opt/nord5/\n"), std::string::npos);
  // From now on the stored value wins over the default of a read.
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "ConfigFilePath", "/elsewhere/").Text(),
            "/opt/nord5/");
}

TEST_F(SettingsTest, WritesIntegersAndBooleansAsText) {
  const std::string path = UseFile();
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "Left", -5).Text(), "-5");
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "Autoupdate", SettingsDefault(true)).Text(), "True");
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "HEX", SettingsDefault(false)).Text(), "False");
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "Left", 12).Text(), "12");  // replaces
  EXPECT_EQ(ReadFile(path), "[Program settings]\nLeft=12\nAutoupdate=True\nHEX=False\n");
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "Left", 0).AsInt(), 12);
  EXPECT_TRUE(SettingsValue(SettingsMode::Read, "Autoupdate", SettingsDefault(false)).AsBool());
}

TEST_F(SettingsTest, HandEditedValuesConvert) {
  UseFile("[Program settings]\nA=0\nB=True\nC=false\nD=1\nE=254\nF=abc\nG=-1\nH= 7 \n");
  struct Case {
    const char* key;
    bool as_bool;
    std::int64_t as_int;
    bool is_integer;
  };
  const Case cases[] = {
      {"A", false, 0, true}, {"B", true, 0, false},  {"C", false, 0, false},
      {"D", true, 1, true},  {"E", true, 254, true}, {"F", false, 0, false},
      {"G", true, -1, true}, {"H", true, 7, true},
  };
  for (const Case& c : cases) {
    const SettingsResult r = SettingsValue(SettingsMode::Read, c.key, "unused");
    EXPECT_EQ(r.AsBool(), c.as_bool) << c.key << '=' << r.Text();
    EXPECT_EQ(r.AsInt(), c.as_int) << c.key << '=' << r.Text();
    EXPECT_EQ(r.IsInteger(), c.is_integer) << c.key << '=' << r.Text();
  }
}

TEST_F(SettingsTest, NonAsciiTextIsStoredAsUtf8) {
  // The data folder itself lies below a Cyrillic folder name.
  ::setenv("XDG_DATA_HOME", (root_ + "/Документы").c_str(), 1);
  ASSERT_TRUE(InitDataFolder());
  const std::string value = "/home/техник/Отчёты/счётчик №5";
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "ReportFilePath", value.c_str()).Text(), value);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "ReportFilePath", "").Text(), value);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "Ключ", "значение", "Раздел").Text(), "значение");
  const std::string file = ReadFile(SettingsFile());
  EXPECT_NE(file.find("ReportFilePath=/home/\xD1\x82\xD0\xB5\xD1\x85\xD0\xBD\xD0\xB8\xD0\xBA/"),
            std::string::npos);
  EXPECT_NE(file.find("[Раздел]\nКлюч=значение\n"), std::string::npos);
}

TEST_F(SettingsTest, InvalidUtf8InTheFileReadsAsReplacementCharacter) {
  UseFile("[Program settings]\nPath=a\xFF" "b\n");
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "Path", "").Text(), "a\xEF\xBF\xBD" "b");
}

TEST_F(SettingsTest, LongTextIsCutAtAWholeCharacter) {
  const std::string path = UseFile();
  const std::string cyr = "\xD0\x96";  // "Ж", two bytes
  struct Case {
    std::string value;
    std::string stored;
  };
  const Case cases[] = {
      {std::string(998, 'a') + cyr, std::string(998, 'a') + cyr},  // exactly 1000 bytes
      {std::string(999, 'a') + cyr, std::string(999, 'a')},        // the "Ж" would straddle
      {std::string(1500, 'b'), std::string(1000, 'b')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SettingsValue(SettingsMode::Write, "Long", c.value.c_str()).Text(), c.stored);
    EXPECT_EQ(SettingsValue(SettingsMode::Read, "Long", "").Text(), c.stored);
  }
  const std::string long_key = std::string(999, 'k') + cyr;
  SettingsValue(SettingsMode::Write, long_key, "v");
  EXPECT_NE(ReadFile(path).find("\n" + std::string(999, 'k') + "=v\n"), std::string::npos);
}

TEST_F(SettingsTest, LineBreakCannotInjectKeys) {
  const std::string path = UseFile();
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "edManufacture", "ZVQ\nMBusAddress=1").Text(),
            "ZVQ");
  EXPECT_EQ(ReadFile(path), "[Program settings]\nedManufacture=ZVQ\n");
}

TEST_F(SettingsTest, WriteKeepsTheRestOfTheFileAndItsMode) {
  const std::string path =
      UseFile("; written by hand\n[COMSettings]\nPort=/dev/ttyUSB0\n\n[Program settings]\nTop=3\n");
  ::chmod(path.c_str(), 0600);
  SettingsValue(SettingsMode::Write, "Top", 40);
  // Only the line of the key changes; comments, blank lines and other sections stay as they were.
  const std::string expected =
      "; written by hand\n[COMSettings]\nPort=/dev/ttyUSB0\n\n[Program settings]\nTop=40\n";
  EXPECT_EQ(ReadFile(path), expected);
  SettingsValue(SettingsMode::Write, "Top", 40);
  EXPECT_EQ(ReadFile(path), expected);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_EQ(FilesInRoot(), 1u);  // no temporary file left behind
}

TEST_F(SettingsTest, AnotherFileAndSection) {
  const std::string settings = UseFile();
  const std::string other = root_ + "/menu.ini";
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "Baud", 2400, kComSettings, other).Text(), "2400");
  EXPECT_EQ(ReadFile(other), "[COMSettings]\nBaud=2400\n");
  EXPECT_FALSE(fs::exists(settings));
}

TEST_F(SettingsTest, UnusableFileChangesNothingAndReadsDefaults) {
  const std::string original = "[Program settings]\nMBusAddress=17\n";
  const std::string read_only = root_ + "/read-only.ini";
  WriteFile(read_only, original);
  ::chmod(read_only.c_str(), 0444);
  const std::string plain = root_ + "/plain-file";
  WriteFile(plain, "x");
  const std::string folder = root_ + "/a-folder.ini";
  fs::create_directory(folder);

  for (const std::string& path : {read_only, plain + "/settings.ini", folder}) {
    SetSettingsFileForTesting(path);
    EXPECT_EQ(SettingsValue(SettingsMode::Write, "MBusAddress", 5).Text(), "") << path;
    // A read of a missing key still gives the default so that the program runs on it.
    EXPECT_EQ(SettingsValue(SettingsMode::Read, "Autoupdate", SettingsDefault(true)).Text(), "True")
        << path;
  }
  EXPECT_EQ(ReadFile(read_only), original);
  SetSettingsFileForTesting(read_only);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "MBusAddress", 254).Text(), "17");
  EXPECT_EQ(FilesInRoot(), 3u);
}

TEST_F(SettingsTest, FailedWriteBeforeRenameLeavesTheOldFile) {
  const std::string path = UseFile();
  SettingsValue(SettingsMode::Write, "MBusAddress", 17);
  const std::string before = ReadFile(path);

  std::string seen_temp;
  SetSettingsWriteHookForTesting([&](const std::string& temp) {
    seen_temp = temp;
    // The new text is complete in the temporary file beside the settings file.
    EXPECT_NE(ReadFile(temp).find("MBusAddress=99"), std::string::npos);
    EXPECT_EQ(fs::path(temp).parent_path(), fs::path(path).parent_path());
    return false;
  });
  EXPECT_EQ(SettingsValue(SettingsMode::Write, "MBusAddress", 99).Text(), "");
  EXPECT_FALSE(seen_temp.empty());
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_FALSE(fs::exists(seen_temp));
  EXPECT_EQ(FilesInRoot(), 1u);
}

TEST_F(SettingsTest, CrashDuringWriteLeavesTheOldFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string path = UseFile();
  SettingsValue(SettingsMode::Write, "MBusAddress", 17);
  const std::string before = ReadFile(path);
  EXPECT_EXIT(
      {
        SetSettingsWriteHookForTesting([](const std::string&) -> bool { ::_exit(3); });
        SettingsValue(SettingsMode::Write, "MBusAddress", 99);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "MBusAddress", 0).Text(), "17");
}

TEST_F(SettingsTest, ConcurrentWritersLoseNothing) {
  const std::string path = UseFile();
  constexpr int kWrites = 50;
  auto writer = [](const std::string& prefix) {
    for (int i = 0; i < kWrites; ++i)
      SettingsValue(SettingsMode::Write, prefix + std::to_string(i), i);
  };
  std::thread ui(writer, "Ui");
  std::thread worker(writer, "Worker");
  ui.join();
  worker.join();
  for (const char* prefix : {"Ui", "Worker"})
    for (int i = 0; i < kWrites; ++i)
      ASSERT_EQ(SettingsValue(SettingsMode::Read, prefix + std::to_string(i), -1).AsInt(), i)
          << prefix << i;
  EXPECT_EQ(FilesInRoot(), 1u);
}

// A damaged or hand-edited file: a write changes the line of its key (or adds one) and nothing
// else, so a second identical write leaves the file as the first did; every other section and key
// can still be read.
TEST_F(SettingsTest, DamagedFileKeepsEveryOtherLine) {
  using namespace std::string_literals;
  const struct {
    const char* name;
    std::string before;
    const char* key;  // written "5" in "Program settings"
    std::string after;
    const char* read_section;
    const char* read_key;
    const char* read_value;
  } cases[] = {
      {"section line cut off", "[Program sett", "MBusAddress",
       "[Program sett\n\n[Program settings]\nMBusAddress=5\n", "Program settings", "MBusAddress",
       "5"},
      {"cut-off section line between two sections",
       "[COMSettings]\nPort=/dev/ttyS0\n[Program sett\nLeft=3\n[Program settings]\nTop=1\n",
       "MBusAddress",
       "[COMSettings]\nPort=/dev/ttyS0\n[Program sett\nLeft=3\n[Program settings]\nTop=1\n"
       "MBusAddress=5\n",
       "COMSettings", "Port", "/dev/ttyS0"},
      {"NUL bytes before a section", "[Program settings]\nLeft=3\n\0\0\0\n[COMSettings]\nBaud=2400\n"s,
       "Top", "[Program settings]\nLeft=3\nTop=5\n\0\0\0\n[COMSettings]\nBaud=2400\n"s,
       "COMSettings", "Baud", "2400"},
      {"NUL bytes on the section line", "\0\0[COMSettings]\nBaud=2400\0\n"s, "Top",
       "\0\0[COMSettings]\nBaud=2400\0\n\n[Program settings]\nTop=5\n"s, "COMSettings", "Baud",
       "2400"},
      {"comments and lines without =",
       "; by hand\n[Program settings]\nfree text\nLeft = 1\n# last line", "Left",
       "; by hand\n[Program settings]\nfree text\nLeft = 5\n# last line", "Program settings",
       "Left", "5"},
      {"new key behind the last one", "[Program settings]\nLeft=1\n; about COM\n[COMSettings]\n",
       "Top", "[Program settings]\nLeft=1\nTop=5\n; about COM\n[COMSettings]\n",
       "Program settings", "Left", "1"},
      {"line ends of the file kept", "[Program settings]\r\nLeft=1\r\n", "Top",
       "[Program settings]\r\nLeft=1\r\nTop=5\r\n", "Program settings", "Left", "1"},
      {"names in other case", "[PROGRAM SETTINGS]\nmbusaddress=1\n", "MBusAddress",
       "[PROGRAM SETTINGS]\nmbusaddress=5\n", "Program settings", "MBusAddress", "5"},
  };
  for (const auto& c : cases) {
    const std::string path = UseFile(c.before, true);
    SettingsValue(SettingsMode::Write, c.key, "5");
    EXPECT_EQ(ReadFile(path), c.after) << c.name;
    SettingsValue(SettingsMode::Write, c.key, "5");
    EXPECT_EQ(ReadFile(path), c.after) << c.name << ", second write";
    EXPECT_EQ(SettingsValue(SettingsMode::Read, c.read_key, "missing", c.read_section).Text(),
              c.read_value)
        << c.name;
  }
}

// A FIFO or a device in place of the settings file is neither opened for reading nor replaced:
// reads give their defaults at once, writes fail.
TEST_F(SettingsTest, SettingsFileThatIsNoFileNeverBlocks) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string fifo = root_ + "/fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/null")}) {
    EXPECT_EXIT(
        {
          ::alarm(10);  // a blocked open ends the child with SIGALRM
          SetSettingsFileForTesting(path);
          const bool ok =
              SettingsValue(SettingsMode::Read, "MBusAddress", 254).Text() == "254" &&
              SettingsValue(SettingsMode::Write, "MBusAddress", 5).Text().empty();
          ::_exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "")
        << path;
  }
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Persisting controls.

class PersistControlTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    path_ = UseFile();
    form_.Add("cbRefreshList", ControlKind::CheckBox).checked = true;
    form_.AddCombo("cbTimeCorrection", {"time not correct", "Local time", "CET time"}, 0);
    form_.Add("edManufacture", ControlKind::Edit, "ZVQ");
    form_.Add("lbTitle", ControlKind::Label, "Title");
    for (const char* name : {"cbRefreshList", "cbTimeCorrection", "edManufacture", "lbTitle"})
      form_.SetHandler(name, [] {});
  }

  int Runs(const char* name) { return form_.Get(name).handler_runs; }

  std::string path_;
  MemoryForm form_;
};

TEST_F(PersistControlTest, ReadAppliesStoredStateAndRunsHandlerOnce) {
  WriteFile(path_,
            "[Program settings]\ncbRefreshList=0\ncbTimeCorrection=2\nedManufacture=Ёлка\n");
  PersistControlValue(SettingsMode::Read, form_, "cbRefreshList");
  PersistControlValue(SettingsMode::Read, form_, "cbTimeCorrection");
  PersistControlValue(SettingsMode::Read, form_, "edManufacture");
  EXPECT_FALSE(form_.Checked("cbRefreshList"));
  EXPECT_EQ(form_.ItemIndex("cbTimeCorrection"), 2);
  EXPECT_EQ(form_.Text("edManufacture"), "Ёлка");
  // Each value changed, which alone would run the handler; it must still run only once.
  for (const char* name : {"cbRefreshList", "cbTimeCorrection", "edManufacture"}) {
    EXPECT_EQ(Runs(name), 1) << name;
    EXPECT_TRUE(form_.HandlerAttached(name)) << name;
  }
}

TEST_F(PersistControlTest, ReadOfMissingKeyStoresCurrentStateAndStillRunsHandler) {
  PersistControlValue(SettingsMode::Read, form_, "cbRefreshList");
  PersistControlValue(SettingsMode::Read, form_, "cbTimeCorrection");
  PersistControlValue(SettingsMode::Read, form_, "edManufacture");
  EXPECT_EQ(ReadFile(path_),
            "[Program settings]\ncbRefreshList=True\ncbTimeCorrection=0\nedManufacture=ZVQ\n");
  EXPECT_TRUE(form_.Checked("cbRefreshList"));
  for (const char* name : {"cbRefreshList", "cbTimeCorrection", "edManufacture"})
    EXPECT_EQ(Runs(name), 1) << name;
}

TEST_F(PersistControlTest, HandlerThatWritesTheSettingDoesNotDeadlock) {
  // The archive window's check box writes its state on every click, also the one at creation.
  form_.SetHandler("cbRefreshList",
                   [&] { PersistControlValue(SettingsMode::Write, form_, "cbRefreshList"); });
  WriteFile(path_, "[Program settings]\ncbRefreshList=False\n");
  PersistControlValue(SettingsMode::Read, form_, "cbRefreshList");
  EXPECT_FALSE(form_.Checked("cbRefreshList"));
  form_.UserClick("cbRefreshList");
  EXPECT_EQ(ReadFile(path_), "[Program settings]\ncbRefreshList=True\n");
}

TEST_F(PersistControlTest, StoredTextThatFitsNoStateKeepsTheControl) {
  WriteFile(path_, "[Program settings]\ncbRefreshList=maybe\ncbTimeCorrection=7\n");
  PersistControlValue(SettingsMode::Read, form_, "cbRefreshList");
  PersistControlValue(SettingsMode::Read, form_, "cbTimeCorrection");
  EXPECT_TRUE(form_.Checked("cbRefreshList"));
  EXPECT_EQ(form_.ItemIndex("cbTimeCorrection"), 0);
  WriteFile(path_, "[Program settings]\ncbTimeCorrection=one\n");
  PersistControlValue(SettingsMode::Read, form_, "cbTimeCorrection");
  EXPECT_EQ(form_.ItemIndex("cbTimeCorrection"), 0);
  EXPECT_EQ(Runs("cbTimeCorrection"), 2);
}

TEST_F(PersistControlTest, WriteStoresCurrentStateWithoutRunningHandlers) {
  form_.Get("cbRefreshList").checked = false;
  form_.Get("cbTimeCorrection").index = 1;
  form_.Get("edManufacture").text = "ABC";
  for (const char* name : {"cbRefreshList", "cbTimeCorrection", "edManufacture", "lbTitle"})
    PersistControlValue(SettingsMode::Write, form_, name);
  EXPECT_EQ(ReadFile(path_),
            "[Program settings]\ncbRefreshList=False\ncbTimeCorrection=1\nedManufacture=ABC\n");
  for (const char* name : {"cbRefreshList", "cbTimeCorrection", "edManufacture"})
    EXPECT_EQ(Runs(name), 0) << name;
}

TEST_F(PersistControlTest, OtherKindsAreIgnored) {
  PersistControlValue(SettingsMode::Read, form_, "lbTitle");
  EXPECT_FALSE(fs::exists(path_));
  EXPECT_EQ(Runs("lbTitle"), 0);
}

TEST_F(PersistControlTest, DetachedHandlerStaysDetached) {
  WriteFile(path_, "[Program settings]\ncbRefreshList=False\n");
  form_.DetachHandler("cbRefreshList");
  PersistControlValue(SettingsMode::Read, form_, "cbRefreshList");
  EXPECT_FALSE(form_.Checked("cbRefreshList"));
  EXPECT_FALSE(form_.HandlerAttached("cbRefreshList"));
  EXPECT_EQ(Runs("cbRefreshList"), 0);
}

TEST_F(PersistControlTest, UnknownControlFailsLoudly) {
  EXPECT_THROW(PersistControlValue(SettingsMode::Read, form_, "cbNoSuchBox"), UnknownControl);
}

}  // namespace
}  // namespace nord5
