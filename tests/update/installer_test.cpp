// The installer script, run for real in a temporary folder whose names hold blanks, quotes,
// dollars and back-ticks: it waits for the old process, keeps the old program, puts the new one
// in place, starts it in its folder and deletes itself.
#include "update/installer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "test_servers.h"

using namespace nord5::update;
using namespace nord5::test;
namespace fs = std::filesystem;

extern char** environ;

namespace {

bool WaitFor(const std::function<bool()>& done, int seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace

TEST(ShellQuote, EveryCharacterIsTakenLiterally) {
  EXPECT_EQ(ShellQuote("plain"), "'plain'");
  EXPECT_EQ(ShellQuote("it's"), "'it'\\''s'");
  EXPECT_EQ(ShellQuote("$HOME `id` \"x\""), "'$HOME `id` \"x\"'");
}

TEST(Installer, ReplacesTheProgramOnceItHasEndedAndStartsTheNewOne) {
  TempFolder tmp;
  const std::string app_dir = tmp / "my $HOME `apps`";
  const std::string updates = tmp / "up'dates $x/";
  fs::create_directories(app_dir);
  fs::create_directories(updates);
  const std::string program = app_dir + "/nord5 it's";
  WriteFile(program, "#!/bin/sh\necho old\n");
  // The new program writes the folder it was started in beside itself.
  const std::string new_file = updates + "new \"prog\"";
  WriteFile(new_file, "#!/bin/sh\npwd > started.txt\n");
  ::chmod(new_file.c_str(), 0600);

  // The "running program": a child that ends shortly after the script started.
  pid_t old_pid = -1;
  const char* argv[] = {"/bin/sleep", "0.5", nullptr};
  ASSERT_EQ(
      posix_spawn(&old_pid, "/bin/sleep", nullptr, nullptr, const_cast<char**>(argv), environ), 0);

  InstallerPlan plan;
  plan.program_path = program;
  plan.update_folder = updates;
  plan.version = "1.0.0.3";
  plan.new_file = new_file;
  plan.script_path = updates + "nord5 it's.sh";
  plan.pid = old_pid;
  ASSERT_TRUE(WriteInstaller(plan));
  struct stat st {};
  ASSERT_EQ(::stat(plan.script_path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const long script_pid = StartInstaller(plan.script_path);
  ASSERT_GT(script_pid, 0);
  // While the old process runs, nothing moves.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(ReadFile(program), "#!/bin/sh\necho old\n");
  int status = 0;
  ::waitpid(old_pid, &status, 0);  // reaped: now it has really ended

  ASSERT_TRUE(WaitFor([&] { return Exists(app_dir + "/started.txt"); }, 10));
  int script_status = 0;
  ::waitpid(static_cast<pid_t>(script_pid), &script_status, 0);
  EXPECT_EQ(ReadFile(updates + "nord5 it's_v1.0.0.3"), "#!/bin/sh\necho old\n");
  EXPECT_EQ(ReadFile(program), "#!/bin/sh\npwd > started.txt\n");
  EXPECT_EQ(ReadFile(app_dir + "/started.txt"), app_dir + "\n");
  EXPECT_EQ(::access(program.c_str(), X_OK), 0);
  EXPECT_FALSE(Exists(new_file));
  EXPECT_FALSE(Exists(plan.script_path));
  // Nothing was expanded: no stray files from "$HOME", "$x" or the back-ticks.
  std::size_t entries = 0;
  for (const auto& e : fs::directory_iterator(tmp.Path())) {
    (void)e;
    ++entries;
  }
  EXPECT_EQ(entries, 2u);
}
