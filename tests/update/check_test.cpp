// The update check end to end on its worker thread, against loopback HTTP and FTP servers: what
// it asks for each check type, where it downloads from, which help files it fetches, and what it
// refuses to install.
#include <gtest/gtest.h>
#include <sodium.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "test_servers.h"
#include "update/installer.h"
#include "update/update_service.h"

using namespace nord5;
using namespace nord5::update;
using namespace nord5::test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kUser = "nord5";
constexpr const char* kPassword = "x7Q!kz$Lp2`m'9 R\"w";

struct FakeWindows final : UpdateWindows {
  void CreateDownloadingWindow() override { events.push_back("create"); }
  void CloseDownloadingWindow() override { events.push_back("close"); }
  void DownloadProgress(std::int64_t done, std::int64_t total, bool) override {
    last_done = done;
    last_total = total;
  }
  void CloseAboutWindow() override { events.push_back("about closed"); }
  void ShowHelpItem(int tag) override { events.push_back("help " + std::to_string(tag)); }
  std::vector<std::string> events;
  std::int64_t last_done = 0, last_total = 0;
};

class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
    SetSettingsFileForTesting(tmp / "settings.ini");
    fs::create_directories(www + "/VARMELINOX");
    fs::create_directories(tmp / "prog dir");
    WriteFile(program, "old program");
  }
  void TearDown() override { SetSettingsFileForTesting({}); }

  // Offers `version` with the given description lines added, and the program file "new-prog".
  void Offer(const std::string& version, const std::string& extra = {}) {
    const std::string link = "http://" + Http().Host() + "/files/new-prog";
    Publish("[Program]\nVersion=" + version + "\nFileName=new-prog\nLinkFileName=" + link + "\n" +
            extra);
    fs::create_directories(www + "/files");
    WriteFile(www + "/files/new-prog", new_program);
    WriteFile(www + "/VARMELINOX/new-prog", new_program);
  }
  void Publish(const std::string& description) {
    WriteFile(www + "/desc.txt", description);
    WriteFile(www + "/VARMELINOX/VARMELINOX_NORD5_User_config.txt", description);
  }
  TestServer& Http() {
    if (!http) http.emplace(TestServer::Http(www));
    return *http;
  }
  void StartFtp() { ftp.emplace(TestServer::Ftp(www, kUser, kPassword)); }

  UpdateEnvironment Env() {
    UpdateEnvironment env;
    env.dispatcher = &dispatcher;
    env.dialogs = &dialogs;
    env.windows = &windows;
    env.timers = &timers;
    env.deployment.DescriptionUrl = "http://" + Http().Host() + "/desc.txt";
    // Without a running FTP server the host is a loopback port where nothing listens.
    env.deployment.FtpHost = ftp ? ftp->Host() : "127.0.0.1:" + std::to_string(UnusedPort());
    env.deployment.FtpUser = kUser;
    env.deployment.FtpPassword = kPassword;
    env.deployment.PublicKey = public_key;
    env.program_path = program;
    env.file_version = "1.0.0.0";
    env.pid = 4242;
    env.timeouts.connect_ms = 3000;
    env.timeouts.read_s = 3;
    return env;
  }

  // Runs one check of `type` to its end, answering the GUI thread's calls on this thread.
  void RunCheck(int type, std::optional<UpdateEnvironment> env = std::nullopt) {
    service.emplace(env ? *env : Env());
    ASSERT_TRUE(service->StartCheck(type));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (service->Running()) {
      dispatcher.RunPending();
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the check did not end";
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  std::string UpdateFolder() const { return tmp / "data/VARMELINOX_NORD5_User_config/updates/"; }
  std::string DataFolder() const { return tmp / "data/VARMELINOX_NORD5_User_config/"; }
  std::vector<std::string> Shown() const { return dialogs.Texts(); }
  std::string Setting(const char* key) { return SettingsValue(SettingsMode::Read, key, "").Text(); }

  TempFolder tmp;
  const std::string www = tmp / "www";
  const std::string program = tmp / "prog dir/nord5 config";
  const std::string new_program = std::string(20000, 'n') + "new program";
  std::string public_key;
  QueueDispatcher dispatcher;
  ScriptedDialogs dialogs;
  FakeWindows windows;
  ManualClock clock;
  ManualTimers timers{clock};
  std::optional<TestServer> http;
  std::optional<TestServer> ftp;
  std::optional<TUpdateService> service;
};

const std::string kAsk = "Detected new program version v9.9.9.9. Update?";
const std::string kAskOld = "Detected new program version v0.9. Update?";
const std::string kNone = "New program version not detected";

}  // namespace

TEST_F(CheckTest, WhatEachCheckTypeShowsForEqualAndOtherVersions) {
  struct Case {
    int type;
    const char* version;
    std::vector<std::string> shown;  // answered No (or cancelled)
    bool save_dialog;
  };
  const Case cases[] = {
      {kAutomaticCheck, "1.0.0.0", {}, false},    {kAutomaticCheck, "9.9.9.9", {kAsk}, false},
      {kAutomaticCheck, "0.9", {kAskOld}, false},  // an older text is "new" too
      {kManualCheck, "1.0.0.0", {kNone}, false},  {kManualCheck, "9.9.9.9", {kAsk}, false},
      {kDownloadProgram, "1.0.0.0", {}, true},  // never compared: asks where to save
      {kDownloadProgram, "9.9.9.9", {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + " " + c.version);
    dialogs = ScriptedDialogs();
    dialogs.QueueAnswer(MsgResult::No);
    Offer(c.version);
    RunCheck(c.type);
    EXPECT_EQ(Shown(), c.shown);
    EXPECT_EQ(dialogs.file_requests.size(), c.save_dialog ? 1u : 0u);
    if (c.save_dialog) {
      EXPECT_EQ(dialogs.file_requests[0].Folder, UpdateFolder());
      EXPECT_EQ(dialogs.file_requests[0].FileName, "new-prog");
    }
    EXPECT_FALSE(Exists(UpdateFolder() + "new-prog"));
    EXPECT_EQ(service->InstallerFileName(), "");
    EXPECT_FALSE(Exists(UpdateFolder() + "VARMELINOX_NORD5_User_config.txt"));
  }
}

TEST_F(CheckTest, YesDownloadsThenPreparesTheInstaller) {
  Offer("9.9.9.9");
  RunCheck(kAutomaticCheck);
  EXPECT_EQ(Shown(), std::vector<std::string>{kAsk});
  EXPECT_EQ(ReadFile(UpdateFolder() + "new-prog"), new_program);
  const std::string script = UpdateFolder() + "nord5 config.sh";
  EXPECT_EQ(service->InstallerFileName(), script);
  const std::string text = ReadFile(script);
  EXPECT_NE(text.find("pid=4242\n"), std::string::npos);
  EXPECT_NE(text.find(ShellQuote(UpdateFolder() + "nord5 config_v1.0.0.0")), std::string::npos);
  EXPECT_EQ(windows.events, (std::vector<std::string>{"create", "close", "about closed"}));
  EXPECT_EQ(windows.last_done, static_cast<std::int64_t>(new_program.size()));
  // The update folder is the user's alone.
  struct stat st {};
  ASSERT_EQ(::stat(UpdateFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(CheckTest, DownloadProgramAsksToRestartAfterTheDownload) {
  Offer("1.0.0.0");
  dialogs.QueueFile(tmp / "chosen prog");
  RunCheck(kDownloadProgram);  // "Reboot program now ?" answered Yes
  EXPECT_EQ(Shown(), std::vector<std::string>{"Reboot program now ?"});
  EXPECT_EQ(ReadFile(tmp / "chosen prog"), new_program);
  EXPECT_NE(ReadFile(service->InstallerFileName()).find(ShellQuote(tmp / "chosen prog")),
            std::string::npos);
}

TEST_F(CheckTest, TheFileServerComesFirst) {
  StartFtp();
  ASSERT_TRUE(ftp->Running());
  Offer("9.9.9.9");
  RunCheck(kManualCheck);
  EXPECT_EQ(ReadFile(UpdateFolder() + "new-prog"), new_program);
  EXPECT_EQ(ftp->Log(), "VARMELINOX/VARMELINOX_NORD5_User_config.txt\nVARMELINOX/new-prog\n");
  EXPECT_EQ(Http().Log(), "");
}

TEST_F(CheckTest, WithTheFileServerDownEveryDownloadUsesTheWebAddress) {
  Offer("9.9.9.9", "HelpFileEN=help_en.txt\nHelpFileVersionEN=3\nLinkHelpFileEN=http://" +
                       Http().Host() + "/files/help_en.txt\n");
  WriteFile(www + "/files/help_en.txt", "help");
  RunCheck(kManualCheck);
  EXPECT_EQ(Http().Log(), "/desc.txt?dl=1\n/files/help_en.txt?dl=1\n/files/new-prog?dl=1\n");
  EXPECT_EQ(ReadFile(UpdateFolder() + "new-prog"), new_program);
  EXPECT_NE(service->InstallerFileName(), "");
}

TEST_F(CheckTest, TheWebDownloadTriesFourTimes) {
  Offer("9.9.9.9");
  WriteFile(www + "/files/new-prog.failures", "3");
  RunCheck(kAutomaticCheck);
  EXPECT_EQ(ReadFile(UpdateFolder() + "new-prog"), new_program);

  WriteFile(www + "/files/new-prog.failures", "4");
  WriteFile(tmp / "www.http.log", "");
  RunCheck(kAutomaticCheck);
  EXPECT_EQ(Http().Log(),
            "/desc.txt?dl=1\n/files/new-prog?dl=1\n/files/new-prog?dl=1\n"
            "/files/new-prog?dl=1\n/files/new-prog?dl=1\n");
  EXPECT_EQ(service->InstallerFileName(), "");
}

TEST_F(CheckTest, HelpFilesAreFetchedOnlyWhenChangedOrMissing) {
  Offer("1.0.0.0", "HelpFileLT=help lt.txt\nHelpFileVersionLT=5\nLinkHelpFileLT=http://" +
                       Http().Host() +
                       "/files/lt.txt\nHelpFileRU=help_ru.txt\n"
                       "HelpFileVersionRU=2\nLinkHelpFileRU=http://" +
                       Http().Host() + "/files/ru-missing.txt\n");
  WriteFile(www + "/files/lt.txt", "pagalba");
  const std::string lt = DataFolder() + "help lt.txt";
  auto lt_fetches = [this] {
    const std::string log = Http().Log();
    std::size_t n = 0;
    for (auto at = log.find("/files/lt.txt"); at != std::string::npos;
         at = log.find("/files/lt.txt", at + 1))
      ++n;
    return n;
  };

  RunCheck(kAutomaticCheck);
  EXPECT_EQ(ReadFile(lt), "pagalba");
  EXPECT_EQ(Setting("HelpFileLT"), lt);
  EXPECT_EQ(Setting("HelpFileVersionLT"), "5");
  // A help file that failed still has its settings written, but its item stays hidden.
  EXPECT_EQ(Setting("HelpFileRU"), DataFolder() + "help_ru.txt");
  EXPECT_EQ(Setting("HelpFileVersionRU"), "2");
  EXPECT_EQ(windows.events, std::vector<std::string>{"help 1"});
  EXPECT_EQ(lt_fetches(), 1u);

  RunCheck(kAutomaticCheck);  // same version, same path, file present: skipped
  EXPECT_EQ(lt_fetches(), 1u);

  fs::remove(lt);
  RunCheck(kAutomaticCheck);  // deleted: fetched again
  EXPECT_EQ(lt_fetches(), 2u);
  EXPECT_TRUE(Exists(lt));

  SettingsValue(SettingsMode::Write, "HelpFileVersionLT", 4);
  RunCheck(kAutomaticCheck);  // another version: fetched again
  EXPECT_EQ(lt_fetches(), 3u);
}

TEST_F(CheckTest, ATruncatedProgramIsNotInstalled) {
  Offer("9.9.9.9");
  WriteFile(www + "/files/new-prog.truncate", "");
  RunCheck(kManualCheck);
  EXPECT_EQ(Shown(), std::vector<std::string>{kAsk});
  EXPECT_FALSE(Exists(UpdateFolder() + "new-prog"));
  EXPECT_FALSE(Exists(UpdateFolder() + "new-prog.part"));
  EXPECT_EQ(service->InstallerFileName(), "");
}

TEST_F(CheckTest, NamesWithAFolderPartAreIgnored) {
  const std::string link = "http://" + Http().Host() + "/files/new-prog";
  fs::create_directories(www + "/files");
  WriteFile(www + "/files/new-prog", new_program);
  Publish("[Program]\nVersion=9.9.9.9\nFileName=../../../escaped\nLinkFileName=" + link +
          "\nUpdateDescriptionFile=../notes.txt\nLinkUpdateDescriptionFile=" + link +
          "\nHelpFileEN=../help.txt\nLinkHelpFileEN=" + link + "\n");
  RunCheck(kManualCheck);
  EXPECT_EQ(Shown(), std::vector<std::string>{kNone});
  EXPECT_EQ(Http().Log(), "/desc.txt?dl=1\n");
  EXPECT_FALSE(Exists(tmp / "escaped"));
  EXPECT_FALSE(Exists(tmp / "data/notes.txt"));
  EXPECT_FALSE(Exists(tmp / "data/help.txt"));
  EXPECT_EQ(service->InstallerFileName(), "");
}

TEST_F(CheckTest, ASignedProgramMustCarryAGoodSignature) {
  ASSERT_GE(sodium_init(), 0);
  unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(pk, sk);
  auto b64 = [](const unsigned char* bytes, std::size_t n) {
    std::string out(sodium_base64_ENCODED_LEN(n, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), bytes, n, sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.size() - 1);
    return out;
  };
  auto sign = [&](const std::string& data) {
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(data.data()),
                         data.size(), sk);
    return b64(sig, sizeof sig);
  };
  public_key = b64(pk, sizeof pk);
  const std::string bad = "The downloaded program is not signed correctly. Nothing was installed.";

  struct Case {
    const char* what;
    std::string signature_line;
    bool installed;
  };
  const Case cases[] = {
      {"good", "Signature=" + sign(new_program) + "\n", true},
      {"other file", "Signature=" + sign("something else") + "\n", false},
      {"missing", "", false},
      {"garbage", "Signature=not base64!\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialogs = ScriptedDialogs();
    fs::remove(UpdateFolder() + "new-prog");
    Offer("9.9.9.9", c.signature_line);
    RunCheck(kManualCheck);
    EXPECT_EQ(Exists(UpdateFolder() + "new-prog"), c.installed);
    EXPECT_EQ(service->InstallerFileName().empty(), !c.installed);
    if (c.installed)
      EXPECT_EQ(Shown(), std::vector<std::string>{kAsk});
    else
      EXPECT_EQ(Shown(), (std::vector<std::string>{kAsk, bad}));
  }
}

TEST_F(CheckTest, AProgramFolderThatCannotBeWrittenGetsNoInstaller) {
  Offer("9.9.9.9");
  UpdateEnvironment env = Env();
  env.program_path = tmp / "no such folder/nord5-config";
  RunCheck(kManualCheck, env);
  const std::string file = UpdateFolder() + "new-prog";
  EXPECT_EQ(Shown(), (std::vector<std::string>{
                         kAsk, "The new program version was saved as \"" + file +
                                   "\". It was not installed, because the program's folder "
                                   "cannot be written."}));
  EXPECT_EQ(ReadFile(file), new_program);
  EXPECT_EQ(service->InstallerFileName(), "");
}

TEST_F(CheckTest, WithoutADescriptionAddressOnlyAManualCheckSaysSo) {
  UpdateEnvironment env = Env();
  env.deployment.DescriptionUrl.clear();
  RunCheck(kAutomaticCheck, env);
  EXPECT_EQ(Shown(), std::vector<std::string>{});
  RunCheck(kManualCheck, env);
  EXPECT_EQ(Shown(), std::vector<std::string>{kNone});
}

TEST_F(CheckTest, AMissingDescriptionIsNotDetected) {
  RunCheck(kManualCheck);
  EXPECT_EQ(Shown(), std::vector<std::string>{kNone});
  EXPECT_EQ(Http().Log(), "/desc.txt?dl=1\n/desc.txt?dl=1\n/desc.txt?dl=1\n/desc.txt?dl=1\n");
}
