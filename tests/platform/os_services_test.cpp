#include "platform/os_services.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace {

TEST(PlatformTest, CommandsDoNotReadTheProgramsPipedInput) {
  if (StdinIsTerminal()) GTEST_SKIP() << "needs a pipe as standard input";
  std::string out;
  int fd = MakeUniqueFile(std::filesystem::temp_directory_path().string(), "terrax-test-", out);
  ASSERT_GE(fd, 0);
  RawClose(fd);
  EXPECT_EQ(RunShell(("cat > " + out).c_str(), nullptr), 0);
  EXPECT_EQ(std::filesystem::file_size(out), 0u);
  std::filesystem::remove(out);
  // No interactive shell without a terminal.
  EXPECT_EQ(RunShell("", "/bin/sh"), -1);
}

TEST(PlatformTest, UniqueFilesAndRenaming) {
  std::string dir = std::filesystem::temp_directory_path().string();
  std::string a, b;
  int fa = MakeUniqueFile(dir, "KWR", a);
  int fb = MakeUniqueFile(dir, "KWR", b);
  ASSERT_GE(fa, 0);
  ASSERT_GE(fb, 0);
  EXPECT_NE(a, b);
  EXPECT_TRUE(RawWrite(fa, "x", 1));
  RawClose(fa);
  RawClose(fb);
  EXPECT_TRUE(RenamePath(a.c_str(), b.c_str()));
  EXPECT_FALSE(PathExists(a.c_str()));
  EXPECT_EQ(PathSize(b.c_str()), 1);
  EXPECT_TRUE(RemovePath(b.c_str()));
  EXPECT_EQ(PathSize(b.c_str()), -1);
}

TEST(PlatformTest, DirectoriesAreNoFiles) {
  RawOpenMode m;
  m.read = true;
  EXPECT_EQ(RawOpen("/", m), -1);
}

TEST(PlatformTest, EnvironmentSetAndRemove) {
  EXPECT_TRUE(SetEnvironment("TERRAX_PLATFORM_TEST", "v"));
  bool found = false;
  EXPECT_EQ(GetEnvironment("TERRAX_PLATFORM_TEST", &found), "v");
  EXPECT_TRUE(found);
  EXPECT_TRUE(SetEnvironment("TERRAX_PLATFORM_TEST", nullptr));
  EXPECT_EQ(GetEnvironment("TERRAX_PLATFORM_TEST", &found), "");
  EXPECT_FALSE(found);
}

}  // namespace
