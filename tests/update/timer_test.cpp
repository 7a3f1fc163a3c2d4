// The automatic check: the timer that starts it, "Autoupdate", and the about window keeping it
// off. The timers run on a manual clock; the check itself has no description address and so
// ends at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "foundation/clock.h"
#include "foundation/settings.h"
#include "test_servers.h"
#include "update/update_service.h"

using namespace nord5;
using namespace nord5::update;

namespace {

struct NoWindows final : UpdateWindows {
  void CreateDownloadingWindow() override {}
  void CloseDownloadingWindow() override {}
  void DownloadProgress(std::int64_t, std::int64_t, bool) override {}
  void CloseAboutWindow() override {}
  void ShowHelpItem(int) override {}
};

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
    SetSettingsFileForTesting(tmp / "settings.ini");
  }
  void TearDown() override { SetSettingsFileForTesting({}); }
  UpdateEnvironment Env() {
    UpdateEnvironment env;
    env.dispatcher = &dispatcher;
    env.dialogs = &dialogs;
    env.windows = &windows;
    env.timers = &timers;
    env.file_version = "1.0.0.0";
    return env;
  }
  void FinishCheck(TUpdateService& s) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (s.Running() && std::chrono::steady_clock::now() < deadline) {
      dispatcher.RunPending();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_FALSE(s.Running());
  }
  test::TempFolder tmp;
  QueueDispatcher dispatcher;
  ScriptedDialogs dialogs;
  NoWindows windows;
  ManualClock clock;
  ManualTimers timers{clock};
};

}  // namespace

TEST_F(TimerTest, FirstCheckAfterThreeSecondsThenEveryFourteenDays) {
  TUpdateService s(Env());
  EXPECT_TRUE(s.Timer().Enabled());
  EXPECT_EQ(s.Timer().Interval(), 3000);
  EXPECT_EQ(SettingsValue(SettingsMode::Read, "Autoupdate", "").Text(), "True");
  timers.RunFor(2999);
  EXPECT_FALSE(s.Running());
  timers.RunFor(1);
  ASSERT_TRUE(s.Running());
  EXPECT_FALSE(s.Timer().Enabled());  // off while the check runs
  EXPECT_EQ(timers.ActiveCount(), 0u);
  FinishCheck(s);
  EXPECT_TRUE(dialogs.shown.empty());  // automatic: silent
  EXPECT_TRUE(s.Timer().Enabled());
  EXPECT_EQ(s.Timer().Interval(), kCheckIntervalMs);
  EXPECT_EQ(timers.NextDeadline(), clock.NowMs() + kCheckIntervalMs);
}

TEST_F(TimerTest, AutoupdateOffKeepsTheTimerOff) {
  SettingsValue(SettingsMode::Write, "Autoupdate", SettingsDefault(false));
  TUpdateService s(Env());
  EXPECT_FALSE(s.Timer().Enabled());
  ASSERT_TRUE(s.StartCheck(kManualCheck));
  EXPECT_FALSE(s.StartCheck(kManualCheck));  // one at a time
  FinishCheck(s);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"New program version not detected"});
  EXPECT_FALSE(s.Timer().Enabled());
  EXPECT_EQ(timers.ActiveCount(), 0u);
}

TEST_F(TimerTest, TheAboutWindowHoldsTheTimerWhileOpen) {
  TUpdateService s(Env());
  int notified = 0;
  s.AddStateListener(this, [&] { ++notified; });
  s.AboutWindowOpened();
  EXPECT_FALSE(s.Timer().Enabled());
  ASSERT_TRUE(s.StartCheck(kManualCheck));
  FinishCheck(s);
  EXPECT_EQ(notified, 2);             // started, ended
  EXPECT_FALSE(s.Timer().Enabled());  // a check ending while the window is open leaves it off
  s.AboutWindowClosed();
  EXPECT_TRUE(s.Timer().Enabled());
  s.RemoveStateListener(this);
}
