#include "foundation/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace nord5 {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/nord5-atomic-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  std::string Path(const std::string& name) const { return root_ + "/" + name; }
  static void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  std::set<std::string> Names() const {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(root_)) out.insert(e.path().filename().string());
    return out;
  }

  std::string root_;
};

// What is not a regular file is refused before anything is opened, so a FIFO without a writer
// cannot block the caller; a file is read up to the size asked for and no further.
TEST_F(AtomicFileTest, ReadsOnlyRegularFilesOfTheRightSize) {
  Write(Path("short"), "abc");
  Write(Path("exact"), std::string(748, 'x'));
  Write(Path("long"), std::string(749, 'y'));
  fs::create_directory(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_symlink(Path("fifo"), Path("link-to-fifo"));
  const struct {
    std::string path;
    FileReadError error;
    std::size_t size;
  } cases[] = {
      {Path("short"), FileReadError::None, 3},
      {Path("exact"), FileReadError::None, 748},
      {Path("long"), FileReadError::TooLong, 0},
      {Path("missing"), FileReadError::Missing, 0},
      {Path("folder"), FileReadError::NotRegular, 0},
      {Path("fifo"), FileReadError::NotRegular, 0},
      {Path("link-to-fifo"), FileReadError::NotRegular, 0},
      {"/dev/zero", FileReadError::NotRegular, 0},
  };
  for (const auto& c : cases) {
    FileReadError error = FileReadError::Unreadable;
    const auto got = ReadRegularFile(c.path, 748, &error);
    EXPECT_EQ(error, c.error) << c.path;
    EXPECT_EQ(got.has_value(), c.error == FileReadError::None) << c.path;
    if (got) {
      EXPECT_EQ(got->size(), c.size) << c.path;
    }
  }
}

// A save that died between creating its temporary file and the rename left the file behind; the
// next write of the same file removes it, but never a temporary file of a running process or of
// another file, nor anything else with a similar name.
TEST_F(AtomicFileTest, WriteRemovesTemporaryFilesOfDeadWriters) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  const std::string dead = std::to_string(child);
  const std::string alive = std::to_string(::getppid());
  const std::string mine = std::to_string(::getpid());

  const std::string target = Path("settings.ini");
  Write(target, "old");
  for (const std::string& name : std::vector<std::string>{
           "settings.ini.tmp" + dead + "-0", "settings.ini.tmp" + dead + "-17",
        "settings.ini.tmp" + alive + "-0", "settings.ini.tmp" + mine + "-5",
        "other.ini.tmp" + dead + "-0", "settings.ini.tmp" + dead + "-x",
        "settings.ini.tmp" + dead, "settings.ini.tmpabc-1"})
    Write(Path(name), "partial");
  fs::create_directory(Path("settings.ini.tmp" + dead + "-3"));

  ASSERT_TRUE(WriteFileAtomically(target, "new", 3));
  const std::set<std::string> expected{"settings.ini",
                                       "settings.ini.tmp" + alive + "-0",
                                       "settings.ini.tmp" + mine + "-5",
                                       "other.ini.tmp" + dead + "-0",
                                       "settings.ini.tmp" + dead + "-x",
                                       "settings.ini.tmp" + dead,
                                       "settings.ini.tmpabc-1",
                                       "settings.ini.tmp" + dead + "-3"};
  EXPECT_EQ(Names(), expected);
}

}  // namespace
}  // namespace nord5
