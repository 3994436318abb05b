#include "base/system.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/app.h"
#include "base/temp_dir.h"

namespace {

TEST(SystemTest, VersionString) {
  ProgramIdentity saved = Identity();
  ProgramIdentity& id = Identity();
  id.versionNumber = 3.0f;
  id.updateNumber = 261;
  id.releaseKind = 0;
  EXPECT_STREQ(VersionString().c_str(), "3.00-261");
  id.updateNumber = 5;
  EXPECT_STREQ(VersionString().c_str(), "3.00-005");
  id.releaseKind = 2;
  id.betaNumber = 4;
  EXPECT_STREQ(VersionString().c_str(), "3.00-005 Beta 4");
  id.releaseKind = 1;
  id.alphaNumber = 9;
  EXPECT_STREQ(VersionString().c_str(), "3.00-005 Alpha 9");
  id = saved;
}

TEST(SystemTest, TimeStampReordersTheCalendarText) {
  setenv("TZ", "UTC", 1);
  tzset();
  // 9 December 2026, 10:08:30 UTC.
  const int64_t t = 1796810910;
  EXPECT_STREQ(System::CalendarText(t).c_str(), "Wed Dec  9 10:08:30 2026\n");
  EXPECT_STREQ(System::TimeStamp(t).c_str(), "10:08:30 Wed Dec  9 2026");
  EXPECT_EQ(System::TimeStamp(0).Length(), 24);
  unsetenv("TZ");
  tzset();
}

TEST(SystemTest, HomeDirectoryFromTheEnvironmentThenTheConfigFile) {
  TempDir dir;
  std::string home = dir.Path().string();
  setenv("HOME", home.c_str(), 1);
  setenv("OLVENA", "/from/env", 1);
  EXPECT_STREQ(GetInstallDirectory().c_str(), "/from/env");
  EXPECT_STREQ(HomeDirectory().c_str(), "/from/env");
  unsetenv("OLVENA");
  EXPECT_STREQ(GetInstallDirectory().c_str(), ".");
  const std::string prog = Identity().lowerName.str();
  std::filesystem::create_directories(home + "/.config/" + prog);
  TempDir::Write(home + "/.config/" + prog + "/" + prog + ".conf", "# settings\nOTHER=1\nOLVENA=/from/conf\r\n");
  EXPECT_STREQ(GetInstallDirectory().c_str(), "/from/conf");
}

TEST(SystemTest, Directories) {
  TempDir dir;
  std::filesystem::create_directory("sub");
  String here = System::CurrentDirectory();
  EXPECT_EQ(here.GetAt(here.Length() - 1), '/');
  EXPECT_TRUE(System::ChangeDirectory("sub/"));
  EXPECT_STREQ(System::CurrentDirectory().c_str(), (here + "sub/").c_str());
  EXPECT_FALSE(System::ChangeDirectory("/nonexistent/dir"));
  EXPECT_STREQ(System::CurrentDirectory().c_str(), (here + "sub/").c_str());
  EXPECT_TRUE(System::ChangeDirectory(".."));
  EXPECT_TRUE(System::ChangeDirectory("/"));
  EXPECT_STREQ(System::CurrentDirectory().c_str(), "/");
  EXPECT_TRUE(System::ChangeDirectory(here));
}

TEST(SystemTest, FilesSearchesAndDiskSpace) {
  TempDir dir;
  TempDir::Write("b.dat", "");
  TempDir::Write("a.dat", "");
  TempDir::Write("c.sav", "");
  std::filesystem::create_directory("d.dat");
  System s;
  EXPECT_STREQ(s.FindFirst("*.dat").c_str(), "a.dat");
  EXPECT_STREQ(s.FindFirst("*.sav").c_str(), "");  // a search is running
  EXPECT_STREQ(s.FindNext().c_str(), "b.dat");
  EXPECT_STREQ(s.FindNext().c_str(), "");
  EXPECT_FALSE(s.Searching());
  EXPECT_STREQ(s.FindFirst("*.dat", 0x10).c_str(), "a.dat");
  s.FindNext();
  EXPECT_STREQ(s.FindNext().c_str(), "d.dat");
  s.FindClose();
  EXPECT_STREQ(s.FindFirst("*.none").c_str(), "");

  EXPECT_EQ(System::Remove("c.sav"), 0);
  EXPECT_EQ(System::Remove("c.sav"), -1);
  EXPECT_EQ(System::Remove(""), -1);

  // Free space is asked of the folder that would hold the file; it is a
  // 64-bit figure and not capped at 4 GB.
  uint64_t free = System::FreeDiskSpace("new.sav");
  EXPECT_GT(free, 0u);
  EXPECT_EQ(System::FreeDiskSpace("."), free);
}

TEST(SystemTest, ShellRunsACommandAndRestoresPrompt) {
  TempDir dir;
  setenv("PROMPT", "before", 1);
  EXPECT_TRUE(System::Shell("echo made > out.txt; echo \"$PROMPT\" >> out.txt"));
  EXPECT_EQ(TempDir::Read("out.txt"), "made\n$i[]_$p$g\n");
  EXPECT_STREQ(System::GetEnv("PROMPT").c_str(), "before");
  unsetenv("PROMPT");
  EXPECT_TRUE(System::Shell("true"));
  EXPECT_STREQ(System::GetEnv("PROMPT").c_str(), "");
}

}  // namespace
