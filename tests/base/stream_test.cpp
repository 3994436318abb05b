#include "base/stream.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/except.h"
#include "support/fake_device.h"

namespace {

class PieceStream : public TextOStream {
 public:
  std::vector<std::string> pieces;
  void Write(const char* text) override { pieces.emplace_back(text); }
};

TEST(StreamTest, TextReachesWriteInPiecesOf255) {
  PieceStream s;
  std::string text(600, 'a');
  s << text;
  ASSERT_EQ(s.pieces.size(), 3u);
  EXPECT_EQ(s.pieces[0].size(), 255u);
  EXPECT_EQ(s.pieces[1].size(), 255u);
  EXPECT_EQ(s.pieces[2].size(), 90u);
}

TEST(StreamTest, StringStreamCollects) {
  StringOStream s;
  s << "a" << 12 << ' ' << 1.5;
  EXPECT_STREQ(s.c_str(), "a12 1.5");
}

void WriteListing(ConsoleStream& s, int lines) {
  PageGuard guard(s);
  for (int i = 1; i <= lines; ++i) s << "line " << i << "\n";
}

TEST(StreamTest, ListingPausesAtEveryPageOnATerminal) {
  FakeDevice device;
  device.terminal = true;
  ConsoleStream s(&device);
  WriteListing(s, 60);
  EXPECT_EQ(device.pagePrompts, 2);
  // The prompts come after lines 24 and 48.
  size_t p24 = device.output.find("line 24\n");
  size_t prompt = device.output.find("Press Any Key");
  EXPECT_LT(p24, prompt);
  EXPECT_GT(device.output.find("line 25\n"), prompt);
  EXPECT_LT(device.output.find("line 48\n"), device.output.rfind("Press Any Key"));
}

TEST(StreamTest, NoPagingOnAPipeOutsideListingsOrWhenOff) {
  FakeDevice pipe;
  ConsoleStream a(&pipe);
  WriteListing(a, 60);
  EXPECT_EQ(pipe.pagePrompts, 0);

  FakeDevice term;
  term.terminal = true;
  ConsoleStream b(&term);
  for (int i = 0; i < 60; ++i) b << "x\n";
  EXPECT_EQ(term.pagePrompts, 0);
  b.SetPagination(false);
  WriteListing(b, 60);
  EXPECT_EQ(term.pagePrompts, 0);
}

TEST(StreamTest, EscAtThePagePromptEndsTheListingSilently) {
  FakeDevice device;
  device.terminal = true;
  device.keys = {27};
  ConsoleStream s(&device);
  try {
    WriteListing(s, 60);
    FAIL() << "listing was not stopped";
  } catch (const ESCInterrupt& e) {
    EXPECT_FALSE(e.Report());
  }
  EXPECT_EQ(device.output.find("line 25"), std::string::npos);
}

// A page header as long as the page (or a page length below 2) used to page
// inside the header itself, again and again without end.
TEST(StreamTest, PageHeaderLongerThanThePageDoesNotPageItself) {
  // Page length and the prompts after four lines: the header's lines count
  // on the page they open, but the header itself is never interrupted.
  for (auto [length, prompts] : {std::pair{3, 3}, {2, 4}, {1, 4}, {0, 4}}) {
    FakeDevice device;
    device.terminal = true;
    ConsoleStream s(&device);
    s.SetPageLength(length);
    {
      PageGuard guard(s);
      s.SetPageHeader("head 1\nhead 2\n");
      for (int i = 1; i <= 4; ++i) s << "line " << i << "\n";
    }
    EXPECT_EQ(device.pagePrompts, prompts) << "page length " << length;
    EXPECT_NE(device.output.find("line 4\n"), std::string::npos);
  }
}

TEST(StreamTest, LongLinesReachTheDeviceInPiecesOf254) {
  class Recorder : public FakeDevice {
   public:
    std::vector<size_t> sizes;
    void Write(const char* text) override { sizes.push_back(std::string(text).size()); }
  } device;
  device.terminal = true;
  ConsoleStream s(&device);
  PageGuard guard(s);
  s.Write((std::string(600, 'a') + "\n").c_str());
  ASSERT_GE(device.sizes.size(), 3u);
  EXPECT_EQ(device.sizes[0], 254u);
  EXPECT_EQ(device.sizes[1], 254u);
}

}  // namespace
