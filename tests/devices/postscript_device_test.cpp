#include "devices/postscript_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/stream.h"
#include "devices/canvas.h"
#include "devices/plot_file_fixture.h"

namespace {

class PostScriptTest : public PlotFileTest {
 protected:
  PostScriptDevice ps;

  void Begin(const char* line = "") { ps.BeginOutput(Line(line)); }
  // The plot's drawing: what follows the header, up to the trailer, of the
  // last document in the file.
  std::string Body(const std::string& file = "terrax.ps") {
    const std::string text = TempDir::Read(file);
    const size_t start = text.rfind("\ngsave\n");
    const size_t end = text.rfind("\n%%Trailer");
    if (start == std::string::npos || end == std::string::npos || end < start) return "";
    return text.substr(start + 7, end - start - 7);
  }
};

TEST_F(PostScriptTest, HeaderAndTrailerFollowThePageLayout) {
  struct Case {
    const char* settings;
    std::vector<const char*> present;
    const char* absent;
  } cases[] = {
      {"",
       {"%%BoundingBox: 54.00 36.00 576.00 756.00\n", "\n90.0 rotate 0 -612.00 translate\n",
        "\n36.00 36.00 translate\n", "\n1.00 1.00 scale\ngsave\n", "\n/@c {setgray} def\n", "\n0.0 @c\n"},
       "setrgbcolor"},
      {"portrait color",
       {"%%BoundingBox: 36.00 36.00 576.00 427.50\n", "\n0.75 0.75 scale\n", "\n/@c {setrgbcolor} def\n",
        "\n0.0 0.0 0.0 @c\n"},
       "rotate"},
      {"landscape tabloid",
       {"%%BoundingBox: 54.00 36.00 756.00 1004.28\n", "\n90.0 rotate 0 -792.00 translate\n", "\n1.34 1.34 scale\n"},
       "setrgbcolor"},
  };
  for (const Case& c : cases) {
    PostScriptDevice device;
    device.ParseKeywords(Line(c.settings), 0);
    PlotOutputName() = "page.ps";
    device.BeginOutput(Line(""));
    device.EndOutput();
    const std::string text = TempDir::Read("page.ps");
    std::remove("page.ps");
    EXPECT_EQ(text.rfind("%!PS-Adobe-2.0\n%%Creator: Olvena\n%%Title: TERRAX Graphics plot\n", 0), 0u) << c.settings;
    for (const char* part : c.present) EXPECT_TRUE(Has(text, part)) << c.settings << ": " << part;
    EXPECT_FALSE(Has(text, c.absent)) << c.settings;
    const std::string tail = "%%Trailer\nshowpage\nrestore\n%%DocumentFonts: \n% End of TERRAX Plot\n\x04";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << c.settings;
  }
  EXPECT_EQ(console.Take(),
            "Grayscale PostScript output to file page.ps\nColor PostScript output to file page.ps\n"
            "Grayscale PostScript output to file page.ps\n");
}

TEST_F(PostScriptTest, PathsHoldFiveSegmentsALineAndAreStrokedAfter200) {
  Begin();
  ps.MoveTo({0, 0});
  for (int i = 1; i <= 12; ++i) ps.LineTo({i * 600, 0});
  ps.MoveTo({0, 5220});
  ps.LineTo({7200, 5220});
  ps.EndOutput();
  EXPECT_EQ(Body(),
            "\n0.00 522.00 @m 60.00 522.00 @l 120.00 522.00 @l 180.00 522.00 @l 240.00 522.00 @l 300.00 522.00 @l "
            "\n360.00 522.00 @l 420.00 522.00 @l 480.00 522.00 @l 540.00 522.00 @l 600.00 522.00 @l "
            "\n660.00 522.00 @l 720.00 522.00 @l "
            "\n0.00 0.00 @m 720.00 0.00 @l @p ");

  Begin();
  ps.MoveTo({0, 0});
  for (int i = 1; i <= 250; ++i) ps.LineTo({i, i % 2});
  ps.EndOutput();
  const std::string body = Body();
  EXPECT_EQ(Count(body, "@p "), 2u);
  EXPECT_EQ(Count(body, "@l "), 250u);
  // After the 201st segment the path is stroked and goes on from its end.
  EXPECT_TRUE(Has(body, "20.10 521.90 @l @p \n20.10 521.90 @m 20.20 522.00 @l ")) << body;
}

TEST_F(PostScriptTest, StateIsWrittenOnlyWhenItChanges) {
  Begin();
  ps.MoveTo({0, 0});
  ps.LineTo({100, 0});
  ps.SetColor(128);  // strokes the line in the colour it was drawn in
  ps.MoveTo({0, 100});
  ps.LineTo({100, 100});
  ps.SetColor(128);
  ps.SetPenWidth(0);
  ps.SetLineStyle(LineStyle());
  ps.LineTo({200, 100});
  ps.SetPenWidth(2);
  ps.SetLineStyle({5, 10});
  ps.LineTo({300, 100});
  ps.EndOutput();
  EXPECT_EQ(Body(),
            "\n0.00 522.00 @m 10.00 522.00 @l @p "
            "\n0.00 512.00 @m 10.00 512.00 @l 20.00 512.00 @l 0.50 @c @p "
            "\n20.00 512.00 @m 30.00 512.00 @l 2.33 @lw [ 1.65 3.30] 0 @sd @p ");

  ps.ParseKeywords(Line("color"), 0);
  Begin();
  ps.SetColor(ps.ToColorRef(colors::kOrange));
  ps.FillRect({0, 0, 10, 10});
  ps.SetBackColor(ps.ToColorRef(colors::kLightBlue));
  ps.Clear();
  ps.EndOutput();
  EXPECT_EQ(Body(),
            "1.00 0.76 0.00 @c \n0.00 522.00 0.00 521.00 1.00 521.00 1.00 522.00 @rect fill "
            "\n0.00 522.00 0.00 0.00 720.00 0.00 720.00 522.00 @rect 0.76 0.76 1.00 @c fill ");
}

TEST_F(PostScriptTest, ColourValuesOfBothModes) {
  EXPECT_EQ(ps.ToColorRef(colors::kNone), kNoColor);
  EXPECT_EQ(ps.ToColorRef(colors::kLightGray), 191u);
  EXPECT_EQ(ps.ToColor(51), Color(0.2, 0.2, 0.2));
  ps.ParseKeywords(Line("color"), 0);
  EXPECT_EQ(ps.ToColorRef(colors::kOrange), 0xFF7F00u);
  EXPECT_EQ(ps.ToColor(0x00FF00), colors::kGreen);
  EXPECT_TRUE(ps.ToColor(kNoColor) == colors::kNone);
}

TEST_F(PostScriptTest, TextIsPlacedByItsWidthAndEscaped) {
  Begin();
  FontInfo font = ps.SelectFont(FontDesc(0, 100, 0, 0));
  EXPECT_EQ(font.faceName.str(), "Helvetica");
  EXPECT_EQ(ps.TextWidth("AV i"), 66 + 66 + 27 + 22);
  ps.DrawText({100, 200}, "f(x)");
  ps.SetTextAlign(0, 2);  // top, right
  ps.DrawText({1000, 200}, "AV");
  ps.SetTextAlign(2, 0);
  ps.DrawText({0, 0}, "a\\b\t");
  font = ps.SelectFont(FontDesc(0, 100, 0, FontDesc::kBold | FontDesc::kItalic | 8));
  EXPECT_EQ(font.faceName.str(), "Times-BoldItalic");
  ps.DrawChar({0, 0}, ')');
  // Text too wide for the requested width is made lower.
  font = ps.SelectFont(FontDesc(20, 100, 0, FontDesc::kFixedPitch));
  EXPECT_EQ(font.faceName.str(), "Courier");
  EXPECT_EQ(font.height, 33);
  EXPECT_EQ(ps.TextWidth("ab"), 2 * 19);
  ps.EndOutput();
  EXPECT_EQ(Body(),
            "\n/Helvetica findfont 10.00 @f "
            "\n10.00 502.00 @m (f\\(x\\)) @s "
            "\n86.80 493.00 @m (AV) @s "
            "\n0.00 522.00 @m (a\\\\b\\011) @s "
            "\n/Times-BoldItalic findfont 10.00 @f "
            "\n0.00 522.00 @m (\\)) @s ");
  EXPECT_TRUE(Has(TempDir::Read("terrax.ps"), "%%DocumentFonts: Helvetica Times-BoldItalic \n"));
}

TEST_F(PostScriptTest, ClippingGoesBackToTheSavedStateAndWritesItAgain) {
  ps.ParseKeywords(Line("color"), 0);
  Begin();
  ps.SetColor(0xFF0000);
  ps.SetPenWidth(1);
  ps.MoveTo({0, 0});
  ps.LineTo({10, 0});
  const PixelRect clip{100, 100, 200, 200};
  ps.SetClipRect(&clip);
  RegionRef region(PixelRect{0, 0, 50, 50});
  region.SetOffset(100, 100);
  ps.SetRegion(region);
  ps.LineTo({20, 0});
  ps.EndOutput();
  EXPECT_EQ(Body(),
            "\n0.00 522.00 @m 1.00 522.00 @l 1.00 0.00 0.00 @c 1.33 @lw @p "
            "\ngrestore gsave 10.00 512.00 10.00 502.00 20.00 502.00 20.00 512.00 @rect clip newpath"
            "\n10.00 512.00 10.00 507.00 15.00 507.00 15.00 512.00 @rect\nclip newpath "
            "\n1.00 522.00 @m 2.00 522.00 @l 1.00 0.00 0.00 @c 1.33 @lw @p ");
}

TEST_F(PostScriptTest, CanvasesRealiseTheirStateAgainInTheNextPlot) {
  ps.ParseKeywords(Line("color"), 0);
  Canvas canvas(&ps);
  canvas.State().SetColor(0x0000FF);
  for (int plot = 0; plot < 2; ++plot) {
    Begin();
    canvas.MoveTo({0, 0});
    canvas.LineTo({10, 10});
    ps.EndOutput();
    EXPECT_TRUE(Has(Body(), "0.00 0.00 1.00 @c @p ")) << "plot " << plot << ": " << Body();
  }
}

TEST_F(PostScriptTest, PlotsToOneFileAreAppendedAsDocuments) {
  for (int i = 0; i < 2; ++i) {
    Begin();
    ps.EndOutput();
  }
  const std::string text = TempDir::Read("terrax.ps");
  EXPECT_EQ(Count(text, "%!PS-Adobe-2.0\n"), 2u);
  EXPECT_EQ(Count(text, "% End of TERRAX Plot\n\x04"), 2u);
  EXPECT_EQ(console.Take(),
            "Grayscale PostScript output to file terrax.ps\n"
            "Grayscale PostScript output appended  to file terrax.ps\n");

  // A file phrase names another file; an existing one read from a command file is appended to.
  TempDir::Write("g.ps", "old\n");
  Begin("file g");
  EXPECT_EQ(ps.FileName().str(), "g.ps");
  ps.EndOutput();
  EXPECT_EQ(TempDir::Read("g.ps").rfind("old\n%!PS-Adobe-2.0\n", 0), 0u);
  Begin("file g.ps overwrite");
  ps.EndOutput();
  EXPECT_EQ(TempDir::Read("g.ps").rfind("%!PS-Adobe-2.0\n", 0), 0u);
}

TEST_F(PostScriptTest, KeywordsListingAndBadValues) {
  ps.ParseKeywords(Line("size 3 2 letter portrait"), 0);
  EXPECT_EQ(ps.SizeX(), 7.5) << "the page keyword resets the layout";
  EXPECT_EQ(ps.SizeY(), 5.4375);
  ps.ParseKeywords(Line("custom 7 9 position 1 2 size 4 3"), 0);
  PlotOutputName() = "plot.ps";
  StringOStream out;
  ps.List(out);
  EXPECT_EQ(out.str(),
            "        Name: PostScript hardcopy driver\n"
            "       Color: Off\n"
            " Orientation: Portrait\n"
            "   Page Size: Custom (7\" X 9\")\n"
            "    Position: (1,2)\n"
            "        Size: (4,3)\n"
            " Destination: plot.ps\n");

  // A size or page of no extent is refused and the old one kept.
  EXPECT_EQ(Failure([&] { ps.ParseKeywords(Line("gray size 0 2"), 0); }), "Bad conversion parameter 2 (0)");
  EXPECT_EQ(Failure([&] { ps.ParseKeywords(Line("custom 5 -1"), 0); }), "Bad conversion parameter 2 (-1)");
  EXPECT_EQ(Failure([&] { ps.ParseKeywords(Line("size 1 x"), 0); }), "Bad conversion parameter 2 (x)");
  EXPECT_EQ(Failure([&] { ps.ParseKeywords(Line("color bogus"), 0); }), "Unrecognized parameter 1 (bogus)");
  EXPECT_TRUE(ps.IsColor()) << "words before the bad one stay applied";
  EXPECT_EQ(ps.SizeX(), 4.0);
  EXPECT_EQ(ps.SizeY(), 3.0);
  EXPECT_EQ(ps.PageWidth(), 7.0);
  EXPECT_EQ(ps.PageHeight(), 9.0);
}

TEST_F(PostScriptTest, AFailedWriteIsReportedAfterTheTrailer) {
  PlotOutputName() = "/dev/full";
  Begin();
  for (int i = 0; i < 20000; ++i) ps.LineTo({i % 7000, i % 5000});
  EXPECT_EQ(Failure([&] { ps.EndOutput(); }), "Error writing file /dev/full");
  EXPECT_FALSE(ps.IsOpen());
  PlotOutputName() = "after.ps";
  Begin();
  ps.EndOutput();
  EXPECT_TRUE(Has(TempDir::Read("after.ps"), "% End of TERRAX Plot"));
}

// Everything the device writes, in every mode, is a valid PostScript program.
TEST_F(PostScriptTest, GhostscriptReadsEveryKindOfPlot) {
  if (!HaveTool("gs")) GTEST_SKIP() << "Ghostscript is not installed";
  const char* settings[] = {"gray landscape letter", "color portrait a4", "color landscape custom 5 4 size 3 2",
                            "gray portrait a3"};
  int n = 0;
  for (const char* s : settings) {
    PostScriptDevice device;
    device.ParseKeywords(Line(s), 0);
    const std::string name = "plot" + std::to_string(n++) + ".ps";
    PlotOutputName() = name.c_str();
    for (int document = 0; document < 2; ++document) {
      device.BeginOutput(Line(""));
      Canvas canvas(&device);
      CanvasState item;
      item.SetDevice(&device);
      item.SetColor(device.ToColorRef(colors::kBrown));
      item.SetPen(PredefinedLineStyle(2));
      item.SetPenWidth(3);
      canvas.State().SetBackColor(device.ToColorRef(colors::kLightCyan));
      canvas.Clear();
      canvas.SetFont(FontDesc(0, 150, 0, FontDesc::kBold));
      canvas.DrawText({100, 300}, "Title (1) \\ \x01 end");
      canvas.LineTo({2000, 3000});
      const PixelPoint zigzag[] = {{0, 0}, {500, 900}, {900, 100}, {1500, 2000}, {7000, 5000}};
      canvas.DrawPolyline(zigzag, 5, true, &item);
      canvas.FillPolygon(zigzag, 5, &item);
      canvas.DrawText({3000, 3000}, "after a path");
      canvas.LineTo({3500, 3500});
      const PixelRect clip{500, 500, 4000, 4000};
      canvas.SetClipRect(&clip);
      canvas.DrawCircle({2000, 2000}, 300, &item);
      canvas.FillCircle({2500, 2000}, 200);
      canvas.DrawArc({2000, 2500}, 400, 0, 900, &item);
      canvas.FillRect({100, 100, 600, 400}, &item);
      canvas.DrawRect({700, 700, 900, 900});
      canvas.SetFont(FontDesc(0, 0, 0, 8 | FontDesc::kItalic));
      canvas.DrawChar({1000, 1000}, 'x');
      for (int i = 0; i < 600; ++i) canvas.LineTo({(i * 37) % 7200, (i * 53) % 5000}, &item);
      device.EndOutput();
    }
    std::string output;
    EXPECT_EQ(RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage " + name, output), 0) << s << "\n" << output;
    EXPECT_EQ(output, "") << s;
  }
}

}  // namespace
