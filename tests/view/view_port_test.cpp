#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <string>

#include "base/app.h"
#include "base/system.h"
#include "devices/output_devices.h"
#include "devices/plot_file_fixture.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "platform/terminal_device.h"
#include "support/alloc_counter.h"
#include "support/memory_stream.h"
#include "view/model_view.h"
#include "view/view_harness.h"
#include "view/view_support.h"

namespace {

// ---------------------------------------------------------------------------
// View identifiers

TEST(ViewIdTest, WordsBecomeNumbersOrNamesAndPrintSo) {
  FakeDevice console;
  MacroTable macros;
  CommandType interp{0, &macros, true, &console};
  struct Case {
    const char* word;
    bool number;
    const char* text;
  } cases[] = {{"3", true, "3"}, {"Base", false, "Base"}, {"-1", false, "-1"}};
  for (const Case& c : cases) {
    interp.ClearTokens();
    interp.Expand(c.word);
    ViewId id;
    EXPECT_EQ(id.Parse(interp), 0);
    EXPECT_EQ(id.HasNumber(), c.number) << c.word;
    EXPECT_EQ(id.HasName(), !c.number) << c.word;
    EXPECT_EQ(id.ToString().str(), c.text);
  }
  EXPECT_EQ(ViewId().ToString().str(), "Undefined");
  EXPECT_EQ(ViewId("Base", 0).ToString().str(), "Base/0");

  ViewId two, other, name, empty1, empty2;
  two.SetNumber(2);
  other.SetNumber(2);
  other.SetName("Other");
  name.SetName("base");
  empty1.SetName("");
  empty2.SetName("");
  EXPECT_TRUE(two.Equals(other));
  EXPECT_FALSE(two.Equals(name));
  EXPECT_TRUE(name.Equals(ViewId("Base", 5))) << "names compare without regard to case";
  EXPECT_FALSE(empty1.Equals(empty2));

  MemoryStream s;
  ViewId("Base", 0).Save(s);
  ViewId back;
  back.Restore(s);
  EXPECT_EQ(back.ToString().str(), "Base/0");
}

// ---------------------------------------------------------------------------
// Layout and caption on a raster surface

class ViewPortTest : public ::testing::Test {
 protected:
  TestItemsInstalled installed;
  String savedTitle = JobTitle();
  void SetUp() override { JobTitle() = String(); }
  void TearDown() override { JobTitle() = savedTitle; }
};

TEST_F(ViewPortTest, CaptionTakesItsShareAndTitlesTheirBand) {
  RasterTestDevice device(1000, 600);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  ASSERT_NE(view.Caption(), nullptr);
  EXPECT_EQ(view.Caption()->Size().width, 299) << "0.3 of the free width 999";
  EXPECT_EQ(view.TitleWindow(), nullptr) << "no job or view title";
  EXPECT_EQ(view.DrawingWindow()->Position().x, 299);
  EXPECT_EQ(view.DrawingWindow()->Size().height, 599);

  JobTitle() = "Dam";
  view.SetViewTitle("Crest");
  view.SetCaptionLeft(false);
  view.Arrange();
  ASSERT_NE(view.TitleWindow(), nullptr);
  EXPECT_EQ(view.TitleLines(), 2);
  const int band = view.TitleWindow()->Size().height;
  EXPECT_GT(band, 0);
  EXPECT_EQ(view.DrawingWindow()->Position().y, band);
  EXPECT_EQ(view.DrawingWindow()->Position().x, 0);
  EXPECT_EQ(view.Caption()->Position().x, 999 - 299);

  view.SetCaptionOn(false);
  view.SetTitleOn(false);
  view.Arrange();
  EXPECT_EQ(view.Caption(), nullptr);
  EXPECT_EQ(view.TitleWindow(), nullptr);
  EXPECT_EQ(view.DrawingWindow()->Size().width, 999);

  // Without a surface nothing is laid out or drawn.
  ViewPort bare;
  bare.Arrange();
  EXPECT_EQ(bare.DrawingWindow(), nullptr);
  EXPECT_FALSE(bare.Regenerate(-1, String()));
}

TEST_F(ViewPortTest, StatusLinesStackOnTheScreenOnly) {
  ScreenTestDevice screen(400, 800);
  TestSurface surface(&screen);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  CaptionWindow& c = *view.Caption();
  const int start = c.LeftY();
  for (int i = 0; i < 11; ++i) c.PushStatus("status " + IntToString(i));
  EXPECT_EQ(c.StatusCount(), 10) << "an eleventh push is ignored";
  EXPECT_EQ(c.LeftY(), start + 10 * c.LineHeight());
  c.PopStatus();
  EXPECT_EQ(c.StatusCount(), 9);
  EXPECT_EQ(c.LeftY(), start + 9 * c.LineHeight()) << "the next line takes the tenth's place";

  RasterTestDevice file(400, 800);
  TestSurface fileSurface(&file);
  ViewPort output;
  output.SetSurface(&fileSurface);
  output.Arrange();
  output.Regenerate(-1, String());
  output.Caption()->PushStatus("status");
  EXPECT_EQ(output.Caption()->StatusCount(), 0);
}

TEST_F(ViewPortTest, LinesPastTheFootAreNotDrawnNorAnyAfterThem) {
  RasterTestDevice device(300, 200);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  CaptionWindow& c = *view.Caption();
  const Raster before = device.raster;
  while (c.LeftY() + c.LineHeight() <= c.Bottom()) c.WriteCaptionLine("x");
  const Raster filled = device.raster;
  EXPECT_FALSE(filled == before);
  c.WriteCaptionLine("past the foot");
  c.DrawCaptionRule();
  c.WriteCaptionLine("and after it");
  EXPECT_TRUE(device.raster == filled);
  EXPECT_GT(c.LeftY(), c.Bottom()) << "the cursor still moves";
}

TEST_F(ViewPortTest, ARegenerationAskedForDuringOneMakesOneMorePass) {
  RasterTestDevice device(200, 150);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  TestItem& item = ItemsOf(view).Add();
  item.onDraw = [&](TestItem& i) {
    if (i.draws == 1) {
      EXPECT_FALSE(view.Regenerate(1, String()));
    }
    EXPECT_TRUE(view.Busy());
  };
  EXPECT_FALSE(view.Regenerate(-1, String()));
  EXPECT_EQ(ItemsOf(view).drawAllCalls, 2);
  EXPECT_FALSE(view.Busy());
  EXPECT_FALSE(view.RedrawPending());

  // A mask the items do not care about draws nothing.
  EXPECT_FALSE(view.Regenerate(8, String()));
  EXPECT_EQ(ItemsOf(view).drawAllCalls, 2);
}

TEST_F(ViewPortTest, LookingAgainstThePlaneNormalReversesTheClipCodes) {
  RasterTestDevice device(200, 150);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  const double normal[3] = {0, 1, 0};
  view.CuttingPlane().SetNormal(normal);
  view.CuttingPlane().SetFromNormal();
  struct Case {
    Vec3 a, b;
    int code;
  } cases[] = {
      {{0, -1, 0}, {0, 1, 0}, 1}, {{0, 1, 0}, {0, -1, 0}, 8}, {{0, -1, 0}, {0, -2, 0}, 2}, {{0, 1, 0}, {0, 2, 0}, 4}};
  view.Regenerate(-1, String());
  EXPECT_EQ(view.PlaneSide(), 1.0) << "the default camera looks along +y";
  for (const Case& c : cases) EXPECT_EQ(view.ClipCode(c.a, c.b), c.code);
  Vec3 crossing;
  double t = 0;
  view.ClipCode({0, -1, 0}, {0, 3, 0}, &crossing, &t);
  EXPECT_EQ(t, 0.25);
  EXPECT_VEC_NEAR(crossing, (Vec3{0, 0, 0}), 0);

  view.SetMode(Camera::kFirstPerson);
  view.SetDirection({0, -1, 0});
  view.Regenerate(-1, String());
  EXPECT_EQ(view.PlaneSide(), -1.0);
  const int reversed[] = {8, 1, 4, 2};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(view.ClipCode(cases[i].a, cases[i].b), reversed[i]);
}

TEST_F(ViewPortTest, AFailingItemIsReportedOnceAndTheDrawingEnds) {
  RasterTestDevice device(200, 150);
  TestSurface surface(&device);
  FakeDevice console;
  MacroTable macros;
  CommandType interp{0, &macros, true, &console};
  ViewPort view;
  view.SetSurface(&surface);
  view.SetInterruptStream(&interp);
  view.Arrange();
  ItemsOf(view).Add().onDraw = [](TestItem&) { throw DeviceExcept("Failure in TextOut (x)"); };
  TestItem& after = ItemsOf(view).Add();
  EXPECT_FALSE(view.Regenerate(-1, String()));
  EXPECT_EQ(console.Take(), "*** Failure in TextOut (x)\n");
  EXPECT_EQ(after.draws, 0);
  EXPECT_FALSE(view.Busy());

  ItemsOf(view).items[0]->onDraw = [](TestItem&) { throw MemExcept(); };
  EXPECT_THROW(view.Regenerate(-1, String()), MemExcept);
  EXPECT_FALSE(view.Busy());
}

// The keyboard is asked once per interval from the last poll; Ctrl-C every time.
TEST_F(ViewPortTest, PollKeyAsksForCtrlCEveryTimeAndTheKeyboardByTheInterval) {
  RasterTestDevice device(200, 150);
  TestSurface surface(&device);
  FakeDevice console;
  MacroTable macros;
  CommandType interp{0, &macros, true, &console};
  ViewPort view;
  view.PollKey();  // neither stream nor surface: nothing to ask
  view.SetSurface(&surface);
  view.SetInterruptStream(&interp);
  const int32_t saved = KeyPollInterval();

  KeyPollInterval() = 0;
  console.keys = {'a'};
  EXPECT_NO_THROW(view.PollKey()) << "off the screen only ESC counts";
  console.keys = {27};
  EXPECT_THROW(view.PollKey(), ViewKeyExcept);

  KeyPollInterval() = 500 * 1000;
  EXPECT_NO_THROW(view.PollKey());  // the first poll of the interval
  console.keys = {27};
  for (int i = 0; i < 1000; ++i) EXPECT_NO_THROW(view.PollKey());
  struct sigaction old;
  sigaction(SIGINT, nullptr, &old);
  InstallInterruptHandler();
  std::raise(SIGINT);
  EXPECT_THROW(view.PollKey(), ViewKeyExcept);
  sigaction(SIGINT, &old, nullptr);
  KeyPollInterval() = saved;
}

// ---------------------------------------------------------------------------
// The model view

class ModelViewTest : public ViewPortTest {
 protected:
  FakeDevice console;
  MacroTable macros;
  ModelInterpreter model{&macros, &console};
};

TEST_F(ModelViewTest, LightFollowsTheCamera) {
  ModelView view;
  EXPECT_NEAR(view.LightIntensity({0, -1, 0}), (3 / std::sqrt(14.0) + 1) / 2, 1e-15);
  const Vec3 l = Vec3{1, -3, 2} * (1 / std::sqrt(14.0));
  EXPECT_NEAR(view.LightIntensity(l), 1.0, 1e-15);
  EXPECT_NEAR(view.LightIntensity(l * -1.0), 0.0, 1e-15);
  view.SetLight({0, 0, 0});
  EXPECT_EQ(view.LightIntensity({0, -1, 0}), 0.5);
  EXPECT_EQ(view.LightIntensity({0, 0, 1}), 0.5);
}

TEST_F(ModelViewTest, TheGridIsFittedAtTheFirstRegeneration) {
  RasterTestDevice device(300, 200);
  TestSurface surface(&device);
  ModelView view;
  view.SetSurface(&surface);
  view.Arrange();
  ItemsOf(view).Add();
  EXPECT_FALSE(view.ModelBounds().Usable());
  view.Regenerate(-1, String());
  EXPECT_TRUE(view.AutoCenter() && view.AutoDistance()) << "an empty model keeps the automatic flags";

  for (double x : {0.0, 10.0})
    for (double y : {0.0, 4.0})
      for (double z : {0.0, 2.0}) {
        const double p[3] = {x, y, z};
        CreateGridPoint(p, 0);
      }
  const ModelBox box = view.ModelBounds();
  EXPECT_VEC_NEAR(box.min, (Vec3{0, 0, 0}), 0);
  EXPECT_VEC_NEAR(box.max, (Vec3{10, 4, 2}), 0);
  view.Regenerate(-1, String());
  EXPECT_FALSE(view.AutoCenter() || view.AutoDistance());
  EXPECT_VEC_NEAR(view.Centre(), (Vec3{5, 2, 1}), 1e-12);
  EXPECT_NEAR(view.Distance(), view.FitDistance(box, view.Direction(), view.Centre()), 1e-9);
}

TEST_F(ModelViewTest, ZonesAndFacesAreClassifiedAndCutByThePlane) {
  RasterTestDevice device(300, 200);
  TestSurface surface(&device);
  ModelView view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  GridPoint* a = nullptr;
  GridPoint* b = nullptr;
  {
    const double pa[3] = {0, 0, -1}, pb[3] = {0, 0, 3};
    a = CreateGridPoint(pa, 0);
    b = CreateGridPoint(pb, 0);
  }
  // The default plane: through the origin, normal +z.
  double value = 0;
  Vec3 point;
  ASSERT_TRUE(view.IntersectPlane(*a, *b, 10, 50, value, point, 0.0));
  EXPECT_EQ(value, 20);
  EXPECT_VEC_NEAR(point, (Vec3{0, 0, 0}), 1e-15);
  b->displacement[2] = -3.5;  // displaced, b lies below the plane too
  EXPECT_FALSE(view.IntersectPlane(*a, *b, 10, 50, value, point, 1.0));
  EXPECT_TRUE(view.IntersectPlane(*a, *b, 10, 50, value, point, 0.0));
}

// ---------------------------------------------------------------------------
// Output to the file devices

class ViewOutputTest : public PlotFileTest {
 protected:
  TestItemsInstalled installed;
  String savedTitle = JobTitle();
  void SetUp() override {
    PlotFileTest::SetUp();
    JobTitle() = String();
    Settings().totalCycles = 0;
  }
  void TearDown() override {
    Choose("windows");
    TheOutputDevices().SetMovieType(OutputDevices::kNoMovie);
    JobTitle() = savedTitle;
    Settings().totalCycles = 0;
    PlotFileTest::TearDown();
  }
  void Choose(const char* words) {
    Line((std::string("set plot ") + words).c_str());
    interp.TokenIndex() = 2;
    TheOutputDevices().SetPlot(interp);
  }
  void Hardcopy(ViewPort& view) {
    Line("plot hardcopy");
    interp.TokenIndex() = 2;
    view.Hardcopy(interp);
  }
};

TEST_F(ViewOutputTest, PostScriptOfAModelView) {
  Choose("postscript");
  ModelView view;
  TestItem& item = ItemsOf(view).Add();
  item.fill = false;
  Hardcopy(view);
  std::string ps = TempDir::Read("terrax.ps");
  const size_t font = ps.find("/Times-BoldItalic findfont");
  ASSERT_NE(font, std::string::npos);
  EXPECT_NE(ps.find("(TERRAX) @s", font), std::string::npos);
  EXPECT_TRUE(Has(ps, "(Settings:  Model Perspective) @s"));
  EXPECT_TRUE(Has(ps, "(Test item legend) @s"));
  EXPECT_TRUE(Has(ps, "(Center:) @s"));
  EXPECT_FALSE(Has(ps, "Increments:")) << "not on paper";
  EXPECT_TRUE(Has(ps, "% End of TERRAX Plot"));
  const std::string stamp = System::TimeStamp().str();
  EXPECT_TRUE(Has(ps, "(" + stamp.substr(stamp.size() - 4)) || Has(ps, stamp.substr(stamp.size() - 4) + ")"))
      << "the date line";
  EXPECT_EQ(view.Surface(), nullptr);
  EXPECT_EQ(view.DrawingWindow(), nullptr);

  Settings().totalCycles = 1200;
  JobTitle() = "Dam (stage 2)";
  Hardcopy(view);
  ps = TempDir::Read("terrax.ps");
  ps = ps.substr(ps.rfind("%%Title"));
  EXPECT_TRUE(Has(ps, "(Step 1200  Model Perspective) @s"));
  EXPECT_TRUE(Has(ps, "(Job Title: Dam \\(stage 2\\)) @s"));
  if (HaveTool("gs")) {
    std::string out;
    EXPECT_EQ(RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage terrax.ps", out), 0) << out;
  }

  // A plain view without model items shows no camera.
  ViewPort plain;
  Hardcopy(plain);
  ps = TempDir::Read("terrax.ps");
  ps = ps.substr(ps.rfind("%%Title"));  // the last plot of the file
  EXPECT_FALSE(Has(ps, "Settings:"));
  EXPECT_FALSE(Has(ps, "(Center:) @s"));
}

// A 24-bit BMP's pixel as 0xRRGGBB.
uint32_t BmpPixel(const std::string& bmp, int x, int y) {
  auto u32 = [&](size_t at) {
    return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 | uint32_t(uint8_t(bmp[at + 2])) << 16 |
           uint32_t(uint8_t(bmp[at + 3])) << 24;
  };
  const int width = int(u32(18)), height = int(u32(22));
  const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
  const size_t at = u32(10) + size_t(height - 1 - y) * stride + size_t(x) * 3;
  return uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 1])) << 8 | uint8_t(bmp[at]);
}

TEST_F(ViewOutputTest, BitmapOfAViewHasItsGreyAreaAndBlackFrame) {
  Choose("bmp size 200 150");
  ModelView view;
  ItemsOf(view).Add().fill = false;
  Hardcopy(view);
  const std::string bmp = TempDir::Read("terrax.BMP");
  ASSERT_GT(bmp.size(), 54u);
  // The caption takes 59 of the 199 free columns; the drawing window the rest.
  EXPECT_EQ(BmpPixel(bmp, 150, 75), 0xBFBFBFu);
  EXPECT_EQ(BmpPixel(bmp, 59, 75), 0u);
  EXPECT_EQ(BmpPixel(bmp, 198, 75), 0u);
  EXPECT_EQ(BmpPixel(bmp, 150, 0), 0u);
  EXPECT_EQ(BmpPixel(bmp, 150, 148), 0u);
}

TEST_F(ViewOutputTest, CtrlCEndsTheHardcopyWithAWholeFile) {
  Choose("postscript");
  ViewPort view;
  struct sigaction old;
  sigaction(SIGINT, nullptr, &old);
  InstallInterruptHandler();
  TestItem& first = ItemsOf(view).Add();
  TestItem& second = ItemsOf(view).Add();
  first.onDraw = [](TestItem& i) {
    std::raise(SIGINT);
    i.Owner()->PollKey();
  };
  Hardcopy(view);
  sigaction(SIGINT, &old, nullptr);
  const std::string said = console.Take();
  EXPECT_TRUE(Has(said, "PostScript output")) << said;
  EXPECT_EQ(said.substr(said.find('\n') + 1), "+++ Hardcopy output interrupted.\n");
  EXPECT_EQ(second.draws, 0);
  EXPECT_TRUE(Has(TempDir::Read("terrax.ps"), "% End of TERRAX Plot"));
  EXPECT_EQ(view.Surface(), nullptr);
  EXPECT_EQ(view.InterruptStream(), nullptr);
}

TEST_F(ViewOutputTest, MovieFramesOnlyOnceAMovieIsChosen) {
  ModelView view;
  view.MovieSnap();
  EXPECT_EQ(view.Surface(), nullptr);
  EXPECT_EQ(view.MovieQuery(), 0u);

  Line("set movie dcx step 5 size 40 30 file film");
  interp.TokenIndex() = 2;
  TheOutputDevices().SetMovie(interp);
  Line("movie begin");
  view.MovieBegin(interp);
  EXPECT_EQ(view.MovieQuery(), 5u);
  view.MovieSnap();
  view.Close();
  view.MovieSnap();
  view.Close();
  view.MovieEnd();
  const std::string dcx = TempDir::Read("film.DCX");
  ASSERT_GE(dcx.size(), 4u);
  EXPECT_EQ(uint8_t(dcx[0]) | uint8_t(dcx[1]) << 8 | uint8_t(dcx[2]) << 16 | uint32_t(uint8_t(dcx[3])) << 24,
            987654321u);
  const uint32_t second = uint8_t(dcx[8]) | uint8_t(dcx[9]) << 8 | uint8_t(dcx[10]) << 16;
  EXPECT_NE(second, 0u) << "two pages";
}

// ---------------------------------------------------------------------------
// The view record

class ViewRecordTest : public ViewPortTest {
 protected:
  void TearDown() override {
    ResetRestoreVersions();
    ViewPortTest::TearDown();
  }
  static void Unusual(ModelView& v) {
    v.SetId(ViewId("Section", 4));
    v.SetMode(Camera::kPlane);
    v.SetNormal({0, 1, 0});
    v.SetColour(false);
    v.SetTitleTop(false);
    v.SetViewTitle("Crest");
    v.SetCaptionLeft(false);
    v.SetCaptionSize(0.25);
    v.SetBackground(colors::kYellow);
    v.SetForeground(colors::kBlue);
    v.SetAutoRegenerate(false);
    v.SetThreeD(false);
    v.SetWindowRect(0.1, 0.2, 0.7, 0.9);
    v.SetLight({1, 2, 2});
    const double origin[3] = {1, 2, 3};
    v.CuttingPlane().SetOrigin(origin);
    ItemsOf(v).Add().planeBits = 3;
    ItemsOf(v).Add();
  }
};

TEST_F(ViewRecordTest, RecordSavesAndRestoresByteForByte) {
  ModelView view;
  Unusual(view);
  MemoryStream first;
  view.Save(first);
  ModelView back;
  back.Restore(first);
  EXPECT_EQ(first.Remaining(), 0u);
  MemoryStream second;
  back.Save(second);
  EXPECT_EQ(second.bytes.size(), first.bytes.size());
  // Only the placement differs: a restored view opens where a new one would.
  EXPECT_EQ(second.bytes.substr(0, second.bytes.size() - 56), first.bytes.substr(0, first.bytes.size() - 56));
  for (int i = 0; i < 4; ++i) EXPECT_EQ(back.WindowRect()[i], 0.0);
  EXPECT_EQ(back.Id().ToString().str(), "Section/4");
  EXPECT_EQ(ItemsOf(back).Count(), 2);
  EXPECT_EQ(back.CaptionSize(), 0.25);
  EXPECT_EQ(back.Background(), colors::kYellow);
  EXPECT_FALSE(back.ThreeD());
  EXPECT_VEC_NEAR(back.Light(), (Vec3{1, 2, 2} * (1 / 3.0)), 1e-15);
  MemoryStream third;
  ModelView again;
  again.Restore(second);
  again.Save(third);
  EXPECT_EQ(third.bytes, second.bytes);
}

// The view record of older files, from its camera record in floats.
class OldRecord {
 public:
  MemoryStream s;
  explicit OldRecord(int format) {
    auto f3 = [&](float x, float y, float z) {
      s.WriteF32(x);
      s.WriteF32(y);
      s.WriteF32(z);
    };
    s.WriteI32(Camera::kModel);
    f3(0, -10, 0);
    f3(0, 1, 0);
    f3(0, 0, 1);
    s.WriteU8(1);
    f3(0, 0, 0);
    f3(0, 0, 0);
    s.WriteF32(1);
    s.WriteU8(1);
    s.WriteU8(1);
    f3(0, 0, 1);
    for (float v : {0.f, 0.f, 0.f, 0.1f, 1.f, 0.6f, 10.f}) s.WriteF32(v);
    s.WriteU8(1);
    s.WriteU8(1);
    f3(0, 0, 1);
    s.WriteF32(1);
    s.WriteU8(1);
    s.WriteF32(1);
    s.WriteU8(1);
    for (double v : {1.0, 2.0, 3.0, 0.0, 0.0, 1.0}) s.WriteF64(v);  // plane
    SaveString(s, "Old");                                           // id
    s.WriteI32(2);
    s.WriteU8(1);
    s.WriteU8(1);
    s.WriteU32(0);  // items
    s.WriteU8(1);   // had a window
    for (uint8_t b : {1, 0, 1}) s.WriteU8(b);
    SaveString(s, "Cut");
    s.WriteU8(1);
    s.WriteU8(0);
    s.WriteF32(0.3f);
    for (int c = 0; c < 2; ++c) {
      for (uint8_t b : {255, 0, 0, 0}) s.WriteU8(b);
      s.WriteF32(0.3f);
    }
    s.WriteU8(1);
    if (format > 25) s.WriteU8(0);
    for (int i = 0; i < 4; ++i) s.WriteF32(0.5f);
    CurrentRestoreVersions().format = format;
  }
};

TEST_F(ViewRecordTest, RecordsOfOlderFormatsRestore) {
  for (int format : {132, 25}) {
    OldRecord old(format);
    ViewPort view;
    view.Restore(old.s);
    EXPECT_EQ(old.s.Remaining(), 0u) << format;
    EXPECT_EQ(view.CaptionSize(), double(0.3f)) << "a float widened";
    EXPECT_EQ(view.ThreeD(), format == 132 ? false : true) << "no three-D byte before 26";
    EXPECT_FALSE(view.CaptionLeft());
    EXPECT_FALSE(view.TitleOn());
    EXPECT_EQ(view.ViewTitle().str(), "Cut");
    EXPECT_EQ(view.Id().ToString().str(), "Old/2");
    EXPECT_EQ(view.CuttingPlane().Origin()[2], 3.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(view.WindowRect()[i], 0.0);
  }
}

TEST_F(ViewRecordTest, CorruptRecordsAreTheReadError) {
  ModelView good;
  Unusual(good);
  MemoryStream whole;
  good.Save(whole);
  // The offset of the "had window" byte: after the camera, plane, id and items.
  MemoryStream head;
  static_cast<const Camera&>(good).Save(head);
  good.CuttingPlane().Save(head);
  good.Id().Save(head);
  good.Items().Save(head);
  const size_t flag = head.bytes.size();
  const size_t itemCount = flag - (4 + 2 * 12);
  struct Case {
    const char* what;
    size_t at;
    std::string bytes;
  } cases[] = {{"a flag of 2", flag, std::string(1, '\2')},
               {"an item of another type", itemCount + 4, std::string("\x63\0\0\0", 4)},
               {"more items than bytes", itemCount, std::string("\xff\xff\xff\x0f", 4)}};
  for (const Case& c : cases) {
    MemoryStream bad;
    bad.bytes = whole.bytes;
    bad.bytes.replace(c.at, c.bytes.size(), c.bytes);
    ModelView view;
    EXPECT_ANY_THROW(view.Restore(bad)) << c.what;
  }
  // Without the plot items a view reads only an empty list.
  InstallPlotItemLists(nullptr);
  ModelView plain;
  MemoryStream bad;
  bad.bytes = whole.bytes;
  EXPECT_ANY_THROW(plain.Restore(bad));
  MemoryStream empty;
  plain.Save(empty);
  ModelView back;
  EXPECT_NO_THROW(back.Restore(empty));
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// Keys, keywords, the caption drag and allocations

TEST_F(ViewPortTest, KeysOfTheViewAndThenOfTheCamera) {
  RasterTestDevice device(200, 150);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  EXPECT_EQ(view.OnKey(key::Ctrl('g')), 1);
  EXPECT_FALSE(view.Colour());
  EXPECT_EQ(view.OnKey(key::kVirtualKey | 0x78), 1) << "F9";
  EXPECT_EQ(view.OnKey(key::kVirtualKey | 0x21), 0) << "Page Up without an item on the plane";
  ItemsOf(view).Add().planeBits = PlotItem::kOnPlane;
  const double step = view.MoveIncrement();
  EXPECT_EQ(view.OnKey(key::kVirtualKey | 0x21), ViewPort::kPlaneMoved);
  EXPECT_NEAR(view.CuttingPlane().Origin()[2], step, 1e-15);
  EXPECT_EQ(view.OnKey('+'), 1) << "then the camera's own '+'";
  EXPECT_EQ(view.OnKey('-'), 1);
  EXPECT_FALSE(view.CuttingPlane().IncrementDefault());
  EXPECT_NEAR(view.CuttingPlane().MoveIncrement(), step, 1e-15) << "1.25 and 0.8";
  EXPECT_EQ(view.OnKey(key::kVirtualKey | key::kCtrlKey | 0x30), 0) << "item dialogs need a window";
  EXPECT_EQ(view.OnKey(key::kLeft), 2) << "the camera's";

  // Update redraws a view on a surface only, and an interrupted drawing
  // takes the key that stopped it.
  ViewPort hidden;
  ItemsOf(hidden).Add();
  hidden.Update(-1, String());
  EXPECT_EQ(ItemsOf(hidden).drawAllCalls, 0);
  FakeDevice console;
  MacroTable macros;
  CommandType interp{0, &macros, true, &console};
  view.SetInterruptStream(&interp);
  const int32_t saved = KeyPollInterval();
  KeyPollInterval() = 0;
  TestItem& item = *ItemsOf(view).items[0];
  item.draws = 0;
  item.onDraw = [&](TestItem& i) {
    if (i.draws == 1) i.Owner()->PollKey();
  };
  // ESC stops the first pass; the key waited for then (Ctrl+G) draws again.
  console.keys = {27, int(key::Ctrl('g'))};
  const bool colour = view.Colour();
  view.Update(-1, String());
  EXPECT_EQ(item.draws, 2);
  EXPECT_NE(view.Colour(), colour);
  EXPECT_FALSE(view.Interactive());
  // ESC as the key waited for ends the command.
  item.draws = 0;
  console.keys = {27, 27};
  EXPECT_THROW(view.Update(-1, String()), ESCInterrupt);
  KeyPollInterval() = saved;
  EXPECT_FALSE(view.Interactive());
}

TEST_F(ViewPortTest, DraggingTheCaptionBorderSetsItsSize) {
  RasterTestDevice device(1000, 600);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  const Raster before = device.raster;
  auto send = [&](int32_t code, int32_t x, int32_t key = 0) {
    GuiEvent e;
    e.code = code;
    e.p1 = key ? key : x;
    e.p2 = key ? 0 : 100;
    view.Caption()->DefaultHandling(e);
  };
  send(event::kButtonDown, 296);
  EXPECT_TRUE(view.Caption()->Dragging());
  send(event::kMouseMove, 400);
  send(event::kKeyDown, 0, key::kEscape);
  EXPECT_FALSE(view.Caption()->Dragging());
  EXPECT_EQ(view.CaptionSize(), 0.3);
  EXPECT_TRUE(device.raster == before) << "the drag line drawn twice is gone";

  struct Case {
    int32_t to;
    double size;
  } cases[] = {{600, 0.5}, {20, 0.05}};
  for (const Case& c : cases) {
    const int32_t edge = view.Caption()->Size().width - 2;
    send(event::kButtonDown, edge);
    send(event::kMouseMove, c.to);
    send(event::kButtonUp, c.to);
    EXPECT_EQ(view.CaptionSize(), c.size);
  }
  send(event::kButtonDown, 5);
  EXPECT_FALSE(view.Caption()->Dragging()) << "only at the inner edge";
}

TEST_F(ViewPortTest, DrawingAllocatesNothingPerVertex) {
  RasterTestDevice device(300, 200);
  TestSurface surface(&device);
  ViewPort view;
  view.SetSurface(&surface);
  view.Arrange();
  int triangles = 0;
  ItemsOf(view).Add().onDraw = [&](TestItem& i) {
    for (int k = 0; k < triangles; ++k) {
      const Vec3 t[] = {{-1, 0, -1 + k * 1e-4}, {1, 0, -1}, {0, 0, 1}};
      view.DrawingWindow()->FillPolygon(t, 3, &i.State());
      view.Caption()->WriteCaptionLine("legend");
    }
  };
  view.Regenerate(-1, String());
  triangles = 10;
  size_t before = TestAllocations();
  view.Regenerate(-1, String());
  const size_t few = TestAllocations() - before;
  triangles = 10000;
  before = TestAllocations();
  view.Regenerate(-1, String());
  EXPECT_EQ(TestAllocations() - before, few);
}

// ---------------------------------------------------------------------------
// The model view's keyword and its cutting plane on zones

TEST_F(ModelViewTest, LightKeywordAfterTheCameraKeywords) {
  ModelView view;
  CommandType interp{0, &macros, true, &console};
  interp.ClearTokens();
  interp.Expand("light 1 2 2");
  EXPECT_EQ(view.ParseKeyword(interp), 0);
  EXPECT_VEC_NEAR(view.Light(), (Vec3{1, 2, 2} * (1 / 3.0)), 1e-15);
  interp.ClearTokens();
  interp.Expand("bogus");
  EXPECT_EQ(view.ParseKeyword(interp), CommandType::kUnrecognized);
}

TEST_F(ModelViewTest, ZonesAndFacesAgainstThePlane) {
  RasterTestDevice device(300, 200);
  TestSurface surface(&device);
  ModelView view;
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, String());
  auto brick = [](double z0) {
    static const double kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                         {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
    GridPoint* gps[8];
    for (int i = 0; i < 8; ++i) {
      const double p[3] = {kCorner[i][0], kCorner[i][1], z0 + kCorner[i][2]};
      gps[i] = CreateGridPoint(p);
    }
    return CreateZone(kBrick, gps, 0, false);
  };
  Zone* cut = brick(-0.5);
  Zone* above = brick(2);
  Zone* below = brick(-3);
  EXPECT_EQ(view.ClassifyByPlane(*cut, 0.0), ModelView::kCut);
  EXPECT_EQ(view.ClassifyByPlane(*above, 0.0), ModelView::kWhollyBehind) << "the plane's normal side, seen along +y";
  EXPECT_EQ(view.ClassifyByPlane(*below, 0.0), ModelView::kWhollyInFront);
  int sideFace = -1, topFace = -1;
  for (int f = 0; f < 6; ++f) {
    double n[3];
    cut->FaceNormal(f, n, true);
    if (std::fabs(n[1]) > 0.5 && sideFace < 0) sideFace = f;  // faces the eye
    if (n[2] > 0.5) topFace = f;
  }
  EXPECT_EQ(view.ClassifyByPlane(*cut, sideFace, 0.0), ModelView::kCut);
  EXPECT_EQ(view.ClassifyByPlane(*cut, topFace, 0.0), ModelView::kWhollyBehind);
  for (int k = 0; k < 8; ++k) cut->Gp(k)->displacement[2] = 2;
  EXPECT_EQ(view.ClassifyByPlane(*cut, 1.0), ModelView::kWhollyBehind) << "displaced above the plane";

  // The outline of a face that the plane crosses: its parts and the cut line.
  for (int k = 0; k < 8; ++k) cut->Gp(k)->displacement[2] = 0;
  TestItem item(&view);
  auto ink = [&](int32_t bits) {
    device.Clear();
    item.planeBits = bits;
    item.State().SetColor(0x0000FF);
    view.DrawCutOutline(item, *cut, sideFace, &item.State(), 0.0);
    int n = 0;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x) n += device.raster.Pixel(x, y) == 0x0000FF;
    return n;
  };
  const int front = ink(PlotItem::kInFront), behind = ink(PlotItem::kBehind), plane = ink(PlotItem::kOnPlane);
  EXPECT_GT(front, 0);
  EXPECT_GT(behind, 0);
  EXPECT_GT(plane, 0);
  EXPECT_EQ(ink(0), 0);
  EXPECT_GE(ink(7), std::max({front, behind, plane}));
}

}  // namespace

namespace {

// A plan view lists the area it shows instead of the camera, and the cutting
// plane without its third dimension.
TEST_F(ViewOutputTest, CaptionOfAPlanViewWithAPlaneItem) {
  Choose("postscript");
  ViewPort view;
  view.SetThreeD(false);
  view.SetExtent(0, 0, 10, 5);
  ItemsOf(view).Add().planeBits = PlotItem::kOnPlane;
  Hardcopy(view);
  std::string ps = TempDir::Read("terrax.ps");
  ps = ps.substr(ps.rfind("%%Title"));
  for (const char* line :
       {"(View Area:) @s", " <-> ", "(Increment: ", "(Plane Origin:) @s", "(Plane Orientation:) @s", "( Dip: "})
    EXPECT_TRUE(Has(ps, line)) << line;
  EXPECT_FALSE(Has(ps, "( Z: ")) << "no third dimension in a plan view";
  EXPECT_FALSE(Has(ps, "(  DD: "));
  EXPECT_FALSE(Has(ps, "Settings:"));
  EXPECT_FALSE(Has(ps, "(Center:) @s"));

  view.SetThreeD(true);
  Hardcopy(view);
  ps = TempDir::Read("terrax.ps");
  ps = ps.substr(ps.rfind("%%Title"));
  for (const char* line : {"(Plane Orientation:) @s", "(  DD: ", "( Z: ", "(Settings:  Model Perspective) @s"})
    EXPECT_TRUE(Has(ps, line)) << line;

  const double normal[3] = {0, 1, 0};
  view.CuttingPlane().SetNormal(normal);
  Hardcopy(view);
  ps = TempDir::Read("terrax.ps");
  ps = ps.substr(ps.rfind("%%Title"));
  EXPECT_TRUE(Has(ps, "(Plane Normal:) @s"));
}

}  // namespace

namespace {

// Text handed to a regeneration goes into the caption line by line; a
// device failure passes through the hardcopy, which lets go of the surface.
TEST_F(ViewOutputTest, RegenerationTextAndDeviceFailures) {
  Choose("postscript");
  ViewPort view;
  Canvas& surface = TheOutputDevices().Hardcopy();
  Line("plot hardcopy");
  interp.TokenIndex() = 2;
  surface.BeginOutput(interp);
  view.SetSurface(&surface);
  view.Arrange();
  view.Regenerate(-1, "first\nsecond");
  view.Close();
  const std::string ps = TempDir::Read("terrax.ps");
  EXPECT_TRUE(Has(ps, "(first) @s"));
  EXPECT_TRUE(Has(ps, "(second) @s"));
  EXPECT_EQ(view.Surface(), nullptr);

  Choose("bmp size 40 30");
  PlotOutputName() = "missing/folder/x.bmp";
  EXPECT_FALSE(Failure([&] { Hardcopy(view); }).empty());
  EXPECT_EQ(view.Surface(), nullptr);
  EXPECT_EQ(view.InterruptStream(), nullptr);
  EXPECT_EQ(view.DrawingWindow(), nullptr);
}

}  // namespace

namespace {

// The light after the view record: floats before program version 310, and
// one byte more before version 3.
TEST_F(ViewRecordTest, LightOfOlderPrograms) {
  ModelView view;
  MemoryStream current;
  view.Save(current);
  const std::string head = current.bytes.substr(0, current.bytes.size() - 24);
  for (int program : {309, 2}) {
    MemoryStream old;
    old.bytes = head;
    if (program < 3) old.WriteU8(0);
    for (float v : {0.0f, 0.6f, 0.8f}) old.WriteF32(v);
    CurrentRestoreVersions().program = program;
    ModelView back;
    back.Restore(old);
    EXPECT_EQ(old.Remaining(), 0u) << program;
    EXPECT_VEC_NEAR(back.Light(), (Vec3{0, 0.6f, 0.8f}), 0);
  }
}

TEST_F(ModelViewTest, FunctionKeysQueueTheCalculation) {
  ModelView view;
  std::string line;
  int key = 0;
  while (TakeQueuedLine(line, key)) {
  }
  EXPECT_EQ(view.OnKey(key::kVirtualKey | 0x73), 0);
  EXPECT_EQ(view.OnKey(key::kVirtualKey | 0x74), 0);
  ASSERT_TRUE(TakeQueuedLine(line, key));
  EXPECT_EQ(line, "solve");
  ASSERT_TRUE(TakeQueuedLine(line, key));
  EXPECT_EQ(line, "step 1000000");
}

}  // namespace
