#include "base/file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/temp_dir.h"

namespace {

class FileTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(FileTest, OpenModes) {
  File missing("nofile", File::kIn);
  EXPECT_FALSE(missing.TryOpen());
  try {
    missing.Open();
    FAIL();
  } catch (const File::OpenExcept& e) {
    EXPECT_STREQ(e.Text(), "Error opening file nofile");
  }

  TempDir::Write("old", "keep");
  File create("old", File::kOut | File::kCreate);
  EXPECT_FALSE(create.TryOpen());
  EXPECT_EQ(TempDir::Read("old"), "keep");

  File append("old", File::kOut | File::kApp);
  append.Open();
  append.Write("+", 1);
  append.Close();
  EXPECT_EQ(TempDir::Read("old"), "keep+");

  File cut("old", File::kOut | File::kBinary);
  cut.Open();
  cut.Write("new", 3);
  cut.Close();
  EXPECT_EQ(TempDir::Read("old"), "new");

  // Reading and writing needs an existing file unless it is cut.
  EXPECT_FALSE(File("absent", File::kIn | File::kOut).TryOpen());
  File rw("absent", File::kIn | File::kOut | File::kTrunc);
  EXPECT_TRUE(rw.TryOpen());
  EXPECT_TRUE(rw.Exists());
}

TEST_F(FileTest, FileErrorsAreOneFamily) {
  const auto caught = [](auto thrower) {
    try {
      thrower();
    } catch (const File::FileExcept& e) {
      return std::string(e.Text());
    } catch (...) {
    }
    return std::string("not a file error");
  };
  EXPECT_EQ(caught([] { throw File::OpenExcept("a"); }), "Error opening file a");
  EXPECT_EQ(caught([] { throw File::ReadExcept("b"); }), "Error reading file b");
  EXPECT_EQ(caught([] { throw File::WriteExcept("c"); }), "Error writing file c");
  EXPECT_EQ(caught([] { throw File::SeekExcept("d"); }), "Error positioning file d");
  EXPECT_EQ(caught([] { throw KWRExcept("e"); }), "not a file error");
  File closed("x", File::kOut);
  EXPECT_THROW(closed.Write("x", 1), File::WriteExcept);
  EXPECT_THROW(closed.Seek(0), File::SeekExcept);
}

TEST_F(FileTest, ShortReadRaisesAndTheFileStaysUsable) {
  TempDir::Write("data", "0123456789");
  File f("data", File::kIn | File::kBinary);
  f.Open();
  char buf[8];
  f.Seek(7);
  EXPECT_EQ(f.Remaining(), 3u);
  EXPECT_FALSE(f.TryRead(buf, 8));
  f.Seek(7);
  try {
    f.Read(buf, 8);
    FAIL();
  } catch (const File::ReadExcept& e) {
    EXPECT_STREQ(e.Text(), "Error reading file data");
  }
  EXPECT_FALSE(f.Failed());
  f.Seek(2);
  f.Read(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "234");
  EXPECT_EQ(f.Tell(), 5);
  // A count read from a file is checked against what is left.
  EXPECT_THROW(f.CheckAvailable(6), File::ReadExcept);
  EXPECT_NO_THROW(f.CheckAvailable(5));
}

TEST_F(FileTest, TemporaryFileDisappearsOnClose) {
  setenv("TMPDIR", dir.Path().c_str(), 1);
  File t(String("ignored"), File::kTemporary);
  t.Open();
  std::string name = t.Name().str();
  EXPECT_EQ(std::filesystem::path(name).parent_path(), dir.Path());
  EXPECT_EQ(std::filesystem::path(name).filename().string().substr(0, 3), "KWR");
  EXPECT_TRUE(std::filesystem::exists(name));
  t.WriteI32(42);
  t.WriteF64(2.5);
  t.Seek(0);
  EXPECT_EQ(t.ReadI32(), 42);
  EXPECT_EQ(t.ReadF64(), 2.5);
  t.Close();
  EXPECT_FALSE(std::filesystem::exists(name));
  unsetenv("TMPDIR");
}

TEST_F(FileTest, MixedWritesAndReadsKeepOnePosition) {
  File f("mixed", File::kIn | File::kOut | File::kTrunc | File::kBinary);
  f.Open();
  f.Write("abcdef", 6);
  f.Seek(1);
  char c;
  f.Read(&c, 1);
  EXPECT_EQ(c, 'b');
  f.Write("X", 1);  // lands after what was read
  f.Seek(0);
  char all[6];
  f.Read(all, 6);
  EXPECT_EQ(std::string(all, 6), "abXdef");
}

TEST_F(FileTest, LinesAndWords) {
  TempDir::Write("text", "abcdefgh\r\nnext\n  alpha beta");
  File f("text", File::kIn);
  f.Open();
  String line;
  EXPECT_TRUE(f.TryReadLine(line, 5));
  EXPECT_STREQ(line.c_str(), "abcde");
  f.ReadLine(line);  // the line feed after the carriage return
  EXPECT_STREQ(line.c_str(), "");
  f.ReadLine(line);
  EXPECT_STREQ(line.c_str(), "next");
  String word;
  f.ReadWord(word);
  EXPECT_STREQ(word.c_str(), "alpha");
  f.ReadWord(word);
  EXPECT_STREQ(word.c_str(), "beta");
  EXPECT_THROW(f.ReadWord(word), File::ReadExcept);
}

TEST_F(FileTest, EnvironmentReferencesInNames) {
  setenv("TERRAX_SUB", "sub", 1);
  std::filesystem::create_directory("sub");
  TempDir::Write("sub/x", "1");
  EXPECT_TRUE(File("%TERRAX_SUB%\\x", File::kIn).TryOpen());
  EXPECT_STREQ(ExpandFileName("a%b").c_str(), "a%b");
  EXPECT_STREQ(ExpandFileName("%TERRAX_UNSET_NAME%x").c_str(), "x");
  unsetenv("TERRAX_SUB");
}

TEST_F(FileTest, PathPieces) {
  char drive = 1;
  String d, n;
  SplitPath("c:\\dir\\sub\\name.sav", &drive, &d, &n);
  EXPECT_EQ(drive, 'C');
  EXPECT_STREQ(d.c_str(), "\\dir\\sub\\");
  EXPECT_STREQ(n.c_str(), "name.sav");
  SplitPath("name", &drive, &d, &n);
  EXPECT_EQ(drive, 0);
  EXPECT_STREQ(d.c_str(), "");
  EXPECT_STREQ(n.c_str(), "name");
  SplitPath("/a/b/", nullptr, &d, &n);
  EXPECT_STREQ(d.c_str(), "/a/b/");
  EXPECT_STREQ(n.c_str(), "");
  EXPECT_STREQ(MakePath('c', "\\dir\\", "a.sav").c_str(), "C:\\dir\\a.sav");
  EXPECT_STREQ(MakePath(0, "/d/", "a").c_str(), "/d/a");
}

TEST_F(FileTest, LargeWritesAreBufferedAndComplete) {
  File f("big", File::kOut | File::kBinary);
  f.Open();
  for (int32_t i = 0; i < 200000; ++i) f.WriteI32(i);
  std::string block(100000, 'z');
  f.Write(block.data(), block.size());
  f.Flush();
  f.Close();
  EXPECT_EQ(std::filesystem::file_size("big"), 800000u + 100000u);
  File r("big", File::kIn | File::kBinary);
  r.Open();
  for (int32_t i = 0; i < 200000; ++i) ASSERT_EQ(r.ReadI32(), i);
  EXPECT_EQ(r.Remaining(), 100000u);
}

// A long file streamed out while written, with a move back in the middle, and
// read in order while its pages are let go: every byte where it was written.
TEST_F(FileTest, StreamedFileIsWholeAndReadsBack) {
  constexpr size_t kBlock = size_t{1} << 20;
  constexpr uint32_t kBlocks = 90;  // past the steps and the lag of streaming
  std::vector<uint32_t> block(kBlock / 4);
  auto fill = [&](uint32_t b) {
    for (size_t i = 0; i < block.size(); ++i) block[i] = b * 0x9E3779B9u + static_cast<uint32_t>(i);
  };
  File out("stream", File::kOut | File::kBinary);
  out.Open();
  for (uint32_t b = 0; b < kBlocks; ++b) {
    fill(b);
    out.Write(block.data(), kBlock);
    out.StreamOut();
  }
  out.Seek(0);
  out.WriteU32(7);
  out.StreamOut();
  out.Seek(int64_t{kBlocks} * kBlock);
  out.WriteU32(8);
  out.Close();
  EXPECT_FALSE(out.Failed());
  ASSERT_EQ(std::filesystem::file_size("stream"), kBlocks * kBlock + 4);

  File in("stream", File::kIn | File::kBinary);
  in.Open();
  std::vector<uint32_t> read(block.size());
  for (uint32_t b = 0; b < kBlocks; ++b) {
    fill(b);
    if (b == 0) block[0] = 7;
    in.Read(read.data(), kBlock);
    ASSERT_EQ(read, block) << "block " << b;
  }
  EXPECT_EQ(in.ReadU32(), 8u);
  in.Seek(0);
  EXPECT_EQ(in.ReadU32(), 7u);
}

}  // namespace
