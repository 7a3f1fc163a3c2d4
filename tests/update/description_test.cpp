// The update description: which file names are taken, and what a sparse file reads as.
#include "update/description.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_servers.h"

using namespace nord5::update;
using nord5::test::TempFolder;
using nord5::test::WriteFile;

TEST(PlainFileName, OnlyNamesWithoutAFolderPart) {
  struct Case {
    const char* name;
    bool plain;
  };
  const Case cases[] = {
      {"nord5-config", true},
      {"Help EN v2.pdf", true},
      {"a..b", true},
      {"", false},
      {".", false},
      {"..", false},
      {"../nord5-config", false},
      {"sub/nord5-config", false},
      {"/usr/bin/nord5-config", false},
      {"..\\nord5-config", false},
      {"line\nbreak", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsPlainFileName(c.name), c.plain) << c.name;
}

TEST(UpdateDescription, FileNamesWithAFolderPartAreDropped) {
  TempFolder tmp;
  WriteFile(tmp / "d.txt",
            "[Program]\nVersion=9.9.9.9\nFileName=../../bin/nord5-config\nLinkFileName=http://x/f\n"
            "UpdateDescriptionFile=/etc/notes.txt\nHelpFileEN=/tmp/help.pdf\n"
            "HelpFileLT=help_lt.pdf\nHelpFileVersionLT=7\nHelpFileVersionEN=seven\n");
  const auto d = ReadUpdateDescription(tmp / "d.txt");
  ASSERT_TRUE(d);
  EXPECT_EQ(d->Version, "9.9.9.9");
  EXPECT_EQ(d->FileName, "");
  EXPECT_EQ(d->LinkFileName, "http://x/f");
  EXPECT_EQ(d->UpdateDescriptionFile, "");
  EXPECT_EQ(d->HelpFile[0], "help_lt.pdf");
  EXPECT_EQ(d->HelpFile[1], "");
  EXPECT_EQ(d->HelpFileVersion[0], 7);
  EXPECT_EQ(d->HelpFileVersion[1], 0);  // not a number
  EXPECT_EQ(d->HelpFileVersion[2], 0);  // missing
  EXPECT_EQ(d->Signature, "");
}

TEST(UpdateDescription, UnreadableFileGivesNothing) {
  TempFolder tmp;
  EXPECT_FALSE(ReadUpdateDescription(tmp / "missing.txt"));
  EXPECT_FALSE(ReadUpdateDescription(tmp.Path()));  // a folder
  const std::string fifo = tmp / "fifo.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(ReadUpdateDescription(fifo));  // no writer: must not block
}
