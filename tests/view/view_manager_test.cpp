// The view manager with the whole program behind it: hardcopies and movies
// written to files that the standard tools read, views kept through SAVE,
// NEW and RESTORE, the calculation's notices, and damaged view sections.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "../base/temp_dir.h"
#include "../devices/plot_file_fixture.h"
#include "base/app.h"
#include "devices/image_files.h"
#include "devices/output_devices.h"
#include "gui/install_subsystems.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/services.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"
#include "support/untimed_save.h"
#include "view/view_harness.h"
#include "view/view_manager.h"

namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class PlotCommandTest : public ::testing::Test {
 protected:
  TempDir dir;
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};
  ModelApp app{&interp};

  void SetUp() override {
    InstallSubsystems(interp.TheModel());
    app.Identity();
    interp.SetApp(&app);
  }
  void TearDown() override {
    app.New();
    ResetRestoreVersions();
    InstallPlotItemLists(nullptr);
  }

  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  ModelViewManager& Views() {
    ModelScope scope(interp.TheModel());
    return TheViewManager();
  }
  static int Pages(const char* name) {
    int pages = 0;
    return ImageFilePages(name, pages) ? pages : -1;
  }
};

// The uncompressed 24-bit pixel (x, y from the top) of a BMP file.
struct Bmp {
  std::string bytes;
  uint32_t U32(size_t at) const {
    return uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at + 2]) << 16 |
           uint32_t(uint8_t(bytes[at + 3])) << 24;
  }
  int Width() const { return int(U32(18)); }
  int Height() const { return int(U32(22)); }
  int Bits() const { return uint8_t(bytes[28]) | uint8_t(bytes[29]) << 8; }
  uint32_t Pixel(int x, int y) const {
    const size_t row = (size_t(Width()) * 3 + 3) / 4 * 4;
    const size_t at = U32(10) + size_t(Height() - 1 - y) * row + size_t(x) * 3;
    return uint32_t(uint8_t(bytes[at + 2])) << 16 | uint8_t(bytes[at + 1]) << 8 | uint8_t(bytes[at]);
  }
};

TEST_F(PlotCommandTest, HardcopiesOfAGridOpenInTheStandardTools) {
  Run({"gen zone brick size 2 2 2", "plot add grid", "set plot postscript"});
  EXPECT_TRUE(Has(Run({"plot hardcopy file g.ps"}), "Grayscale PostScript output to file g.ps\n"));
  const std::string ps = TempDir::Read("g.ps");
  for (const char* part : {"(TERRAX) @s", "(Grid) @s", "% End of TERRAX Plot"}) EXPECT_TRUE(Has(ps, part)) << part;
  EXPECT_EQ(ps.back(), '\x04');
  std::string out;
  if (HaveTool("gs")) {
    EXPECT_EQ(RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage g.ps", out), 0) << out;
  }

  Run({"set plot bmp size 320 200"});
  EXPECT_TRUE(Has(Run({"plot hardcopy file pic.bmp"}), "--- Sending BMP format plot to file pic.bmp\n"));
  const Bmp bmp{TempDir::Read("pic.bmp")};
  ASSERT_GT(bmp.bytes.size(), 54u);
  EXPECT_EQ(bmp.Width(), 320);
  EXPECT_EQ(bmp.Height(), 200);
  EXPECT_EQ(bmp.Bits(), 24);
  int background = 0, black = 0;
  // The drawing area right of the caption strip: grey, with the grid in black.
  for (int y = 10; y < 190; ++y)
    for (int x = 110; x < 310; ++x) {
      const uint32_t p = bmp.Pixel(x, y);
      background += p == 0xBFBFBF;
      black += p == 0;
    }
  EXPECT_GT(background, 20000);
  EXPECT_GT(black, 200) << "the grid's lines";

  // A hardcopy of another view leaves the view list and the current view as they were.
  Run({"plot create 2", "plot add boundary", "plot current 0", "set plot postscript", "plot hardcopy 2 file two.ps"});
  EXPECT_TRUE(Has(TempDir::Read("two.ps"), "(Boundary) @s"));
  EXPECT_FALSE(Has(TempDir::Read("two.ps"), "(Grid) @s"));
  EXPECT_EQ(Views().Count(), 2u);
  EXPECT_EQ(Views().Current(), Views().Base());
}

TEST_F(PlotCommandTest, MoviesRecordFramesOnCommandAndAtStepIntervals) {
  EXPECT_TRUE(Has(Run({"movie start"}), "*** Movie type must be specified with set movie command first.\n"));
  Run({"gen zone brick size 2 2 2", "model elastic", "prop bulk 1e8 shear 1e8 density 2000", "plot add grid",
       "set movie dcx file m", "movie start snap snap finish"});
  EXPECT_EQ(Pages("m.DCX"), 2);

  Run({"set movie dcx step 5 file s", "movie start", "step 15", "movie finish"});
  EXPECT_EQ(Pages("s.DCX"), 3) << "frames at steps 5, 10 and 15";

  // A second start while a movie records keeps it and its frames.
  Run({"set movie dcx step 0 file k", "movie start snap", "movie start snap finish"});
  EXPECT_EQ(Pages("k.DCX"), 2);

  EXPECT_TRUE(Has(Run({"movie start bogus"}), "*** Unrecognized movie command.\n"));
  EXPECT_FALSE(TheOutputDevices().Bitmap(BitmapDevice::kDcx).Recording()) << "the movie was finished";
  Run({"set movie dcx file s", "step 10"});
  EXPECT_EQ(Pages("s.DCX"), 3) << "no frames once the movie is finished";
  std::string out;
  if (HaveTool("file")) {
    EXPECT_EQ(RunTool("file -b s.DCX", out), 0);
    EXPECT_TRUE(Has(out, "DCX")) << out;
    EXPECT_TRUE(Has(out, "[0, 0] - [639, 479]")) << out;
  }
}

TEST_F(PlotCommandTest, ViewsSurviveSaveNewAndRestore) {
  const char* const listing[] = {"plot print", "plot print view", "plot print items", "plot export"};
  Run({"gen zone brick size 2 2 2", "plot add grid", "plot create 2", "plot add boundary grid red",
       "plot set caption size 20 right title off background white light 1 0 0 rotation 10 20 30", "plot copy 2 side",
       "plot rename side 5", "plot current 2", "plot rename 0 ground"});
  auto list = [&] {
    std::string all;
    for (const char* line : listing) all += Run({line});
    return all;
  };
  const std::string before = list();
  EXPECT_TRUE(Has(before, "    ground/0\n==> 2\n    side/5\n"));
  Run({"save a.sav"});
  app.New();
  EXPECT_EQ(Views().Count(), 1u);
  EXPECT_EQ(Views().Current(), Views().Base());
  EXPECT_EQ(Views().Base()->Id().ToString().str(), "Base/0");
  Run({"restore a.sav"});
  EXPECT_EQ(list(), before);
  Run({"save b.sav"});
  EXPECT_EQ(UntimedSave(TempDir::Read("b.sav")), UntimedSave(TempDir::Read("a.sav")));
  // The renamed base view is still the one that cannot go.
  EXPECT_TRUE(Has(Run({"plot remove ground"}), "*** Cannot delete view Base/0\n"));
  EXPECT_TRUE(Has(Run({"plot remove 0"}), "*** Cannot delete view Base/0\n"));
}

TEST_F(PlotCommandTest, ACopyOntoItselfKeepsTheItems) {
  Run({"plot create 2", "plot add grid boundary", "plot copy 2 2", "plot copy 2 2 items"});
  EXPECT_EQ(Views().Current()->Items().Count(), 2);
}

// A view that counts the calculation's notices and the item notices.
class CountingView : public ViewPort {
 public:
  int updates = 0;
  void Update(int32_t, const String&) override { ++updates; }
};

class CountingManager : public ViewPortManager {
 public:
  CountingManager() { Reset(); }
  std::unique_ptr<ViewPort> CreateView(uint32_t) override { return std::make_unique<CountingView>(); }
};

TEST(ViewPortManagerTest, AnimationOffStopsNoticesButNotItemUpdates) {
  TestItemsInstalled items;
  CountingManager manager;
  manager.CreateNamed(ViewId("two", 2));
  auto& base = static_cast<CountingView&>(*manager.Base());
  auto& two = static_cast<CountingView&>(*manager.Current());
  ItemsOf(base).Add();
  ItemsOf(two).Add();
  manager.NotifyAll(1, String());
  manager.ForEachView(0);
  manager.SetAnimationOn(false);
  manager.NotifyAll(1, String());
  manager.ForEachView(0);
  EXPECT_EQ(base.updates, 1);
  EXPECT_EQ(two.updates, 1);
  EXPECT_EQ(ItemsOf(base).notified, 2);
  EXPECT_EQ(ItemsOf(two).notified, 2);
}

// The views section as files hold it: the list, then the current and base
// indices. A file from before there were views has none.
TEST(ViewPortManagerTest, DamagedOrEmptySectionsRestoreSafely) {
  TestItemsInstalled items;
  CountingManager manager;
  manager.CreateNamed(ViewId("two", 2));
  MemoryStream saved;
  manager.Save(saved);

  struct Case {
    uint32_t views, current, base;
    bool readError;
    const char* shown;
  } cases[] = {{0, 0, 0, false, "Base/0"},
               {2, 2, 1, false, "two/2"},
               {2, 3, 1, true, ""},
               {2, 1, 9, true, ""},
               {2, 0, 0, false, "Base/0"}};
  for (const Case& c : cases) {
    MemoryStream s;
    if (c.views == 0) {
      for (int i = 0; i < 3; ++i) s.WriteU32(0);
    } else {
      s.bytes = saved.bytes.substr(0, saved.bytes.size() - 8);
      s.WriteU32(c.current);
      s.WriteU32(c.base);
    }
    CountingManager restored;
    if (c.readError) {
      EXPECT_ANY_THROW(restored.Restore(s)) << c.current << " " << c.base;
      continue;
    }
    restored.Restore(s);
    restored.Relink();
    ASSERT_NE(restored.Base(), nullptr);
    EXPECT_EQ(restored.Base()->Id().ToString().str(), "Base/0");
    EXPECT_EQ(restored.Current()->Id().ToString().str(), c.shown);
    EXPECT_EQ(restored.Count(), c.views == 0 ? 1u : 2u);
  }
}

}  // namespace
