#include <gtest/gtest.h>

#include "plot/fos_item.h"
#include "plot/plot_fixture.h"
#include "plot/zone_set_items.h"
#include "plotsel/axes_item.h"
#include "support/alloc_counter.h"
#include "support/memory_stream.h"

namespace {

// ---------------------------------------------------------------------------
// Registry and base

class OtherGrid : public GridPlotItem {
 public:
  using GridPlotItem::GridPlotItem;
};

TEST_F(PlotItemTest, RegistryKeepsTheFirstPrototypeAndGrowsForLargeIds) {
  PlotItemTypeOf<OtherGrid> second(20, "grid", 0);
  EXPECT_FALSE(second.Registered()) << "the first prototype of an id wins";
  EXPECT_NE(dynamic_cast<PlotItemType*>(PlotItemPrototypeAt(20)), &second);

  EXPECT_EQ(PlotItemPrototypeCapacity(), 128);
  static PlotItemTypeOf<FosPlotItem> large(300, "zzlarge", 0);
  EXPECT_TRUE(large.Registered());
  EXPECT_EQ(PlotItemPrototypeCapacity(), 512) << "the next power of two above the id";

  PlotItemBase& grid = Add("grid");
  EXPECT_EQ(&grid, Items().At(1)) << "words go to the types in ascending id";
  EXPECT_EQ(grid.TypeId(), 20);
  EXPECT_EQ(Add("boundary").Number(), 2);
}

TEST_F(PlotItemTest, NewItemsHoldTheirFirstColoursAndProjectOnlyWithAWindow) {
  struct Case {
    uint32_t count;
    size_t entries;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {5, 2}};
  for (const Case& c : cases) {
    struct Item : PlotItemBase {
      using PlotItemBase::PlotItemBase;
      String DisplayName() const override { return "T"; }
      PlotItemBase* NewInstance(ViewPort*) const override { return nullptr; }
    } item(view.get(), 99, c.count);
    ASSERT_EQ(item.ColorCount(), c.entries) << c.count;
    if (c.entries > 0) {
      EXPECT_EQ(item.GetColor(0), colors::kBlack);
    }
    if (c.entries > 1) {
      EXPECT_EQ(item.GetColor(1), colors::kRed);
    }
    const DVect2 p = item.ToScreen({5, 6, 7});
    EXPECT_EQ(p.x, 0.0);
    EXPECT_EQ(p.y, 0.0);
  }
}

TEST(PenStyleTest, GreyLevelsGiveWidthClassAndDash) {
  struct Case {
    double grey;
    int width;
    LineStyle style;
  } cases[] = {{0.0, 0, LineStyle()}, {0.4, 0, {5, 5}}, {1.0, 2, {5, 5}}, {0.2, 0, {10, 10}}};
  for (const Case& c : cases) {
    LineStyle style;
    EXPECT_EQ(PenStyleFromWidth(c.grey, style), c.width) << c.grey;
    EXPECT_EQ(style, c.style) << c.grey;
  }
}

TEST_F(PlotItemTest, AutomaticColoursSkipTheBackground) {
  struct Auto : PlotItemBase {
    explicit Auto(ViewPort* v) : PlotItemBase(v, 99, 16) {
      SetKeywordFlags(kAutoColors);
      ClearColors();
    }
    String DisplayName() const override { return "T"; }
    PlotItemBase* NewInstance(ViewPort*) const override { return nullptr; }
  };
  Auto plain(view.get());
  EXPECT_EQ(plain.GetColor(0), colors::kBlue);
  EXPECT_EQ(plain.GetColor(1), colors::kGreen);
  EXPECT_EQ(plain.GetColor(2), colors::kCyan);
  view->SetBackground(colors::kBlue);
  Auto onBlue(view.get());
  EXPECT_EQ(onBlue.GetColor(0), colors::kGreen);
  EXPECT_EQ(onBlue.GetColor(1), colors::kCyan);
  EXPECT_EQ(onBlue.GetColor(2), colors::kRed);
}

TEST_F(PlotItemTest, CommonKeywordsAndTheirErrors) {
  PlotItemBase& grid = Add("grid red magfac 0.5 plane alias Mesh");
  EXPECT_EQ(grid.GetColor(0), colors::kRed);
  EXPECT_EQ(grid.Magfac(), 0.5);
  EXPECT_EQ(grid.PlaneBits(), 1);
  EXPECT_EQ(grid.Alias().str(), "Mesh");
  EXPECT_EQ(Failure([&] { Add("grid red blue"); }), "Maximum number of colors for plotitem Grid exceeded");
  EXPECT_NE(Failure([&] { Items().AddFromCommand(Line("grid null maybe")); }), "");
  EXPECT_NE(Failure([&] { Items().AddFromCommand(Line("grid magfac x")); }), "");
  EXPECT_NE(Failure([&] { Items().AddFromCommand(Line("grid scale 2")); }), "") << "grid takes no scale";
  Items().Modify(Line("1 plane plane"));
  EXPECT_EQ(grid.PlaneBits(), 1) << "plane twice in one command leaves the bit";
}

// ---------------------------------------------------------------------------
// The list

TEST_F(PlotItemTest, ListRenumbersOnRemoveAndMove) {
  auto names = [&] {
    std::string s;
    for (int n = 1; n <= Items().Count(); ++n)
      s += std::to_string(Items().Item(n)->Number()) + Items().Item(n)->Alias().str() + " ";
    return s;
  };
  for (const char* a : {"a", "b", "c", "d", "e"}) Add((std::string("grid alias ") + a).c_str());
  Items().Move(2, 4);
  EXPECT_EQ(names(), "1a 2c 3b 4d 5e ");
  Items().Move(4, 2);
  EXPECT_EQ(names(), "1a 2d 3c 4b 5e ");
  Items().Move(2, 99);
  EXPECT_EQ(names(), "1a 2c 3b 4e 5d ");
  Items().RemoveAt(2);
  Items().RemoveAt(4);
  EXPECT_EQ(names(), "1a 2b 3e ");
  Items().RemoveAt(2);
  EXPECT_EQ(names(), "1a 2e ");

  EXPECT_EQ(Failure([&] { Items().Modify(Line("9 red")); }), "PlotItem 9 not found");
  EXPECT_EQ(Failure([&] { Items().Modify(Line("0 red")); }), "PlotItem 0 not found") << "mended";
  EXPECT_EQ(Failure([&] { Items().RemoveAt(0); }), "Invalid plotitem id number");
  EXPECT_EQ(Failure([&] { Items().Move(9, 1); }), "Invalid plotitem id number");
}

TEST_F(PlotItemTest, InactiveItemsAreSkippedAndRedrawFully) {
  Model({"gen zone brick size 1 1 1"});
  PlotItemBase& grid = Add("grid");
  Record();
  EXPECT_FALSE(grid.FullRedraw());
  Items().Modify(Line("1 active off"));
  EXPECT_TRUE(grid.FullRedraw());
  EXPECT_EQ(Record().find(" Grid"), std::string::npos) << "not drawn";
  EXPECT_TRUE(grid.FullRedraw()) << "an inactive item keeps its flag";
  Items().Modify(Line("1 active on"));
  EXPECT_NE(Record().find(" Grid"), std::string::npos);
  EXPECT_FALSE(grid.FullRedraw());
}

TEST_F(PlotItemTest, ListingsOfItemAndList) {
  Add("grid");
  Add("boundary");
  const std::string item = Listing(*Items().Item(1));
  EXPECT_EQ(item, " Plot Item 1 - Grid\n" + std::string(18, '-') +
                      "\n       Active : On\n        Alias : \n        Color : 1 - Black\n"
                      "       magfac : 0.0000e+00\n        Plane : \n   Range Used : \n");
  StringOStream out;
  Items().List(out);
  out.flush();
  EXPECT_EQ(out.str(), " Number  Name\n ------  --------------------\n      1  Grid\n      2  Boundary\n");
}

// ---------------------------------------------------------------------------
// Grid, boundary, sketch

TEST_F(PlotItemTest, GridOfOneBrickIsSixMovesAndTwelveLines) {
  Model({"gen zone brick size 1 1 1"});
  const std::string log = DrawAlone(Add("grid"));
  EXPECT_EQ(CountOf(log, "MoveTo"), 6u) << log;
  EXPECT_EQ(CountOf(log, "LineTo"), 12u) << log;
}

TEST_F(PlotItemTest, GridDrawsASharedFaceOnce) {
  Model({"gen zone brick size 2 1 1"});
  const std::string log = DrawAlone(Add("grid"));
  // The second zone skips the loop (or edges) of the face shared with the first.
  const size_t lines = CountOf(log, "LineTo");
  EXPECT_TRUE(lines == 20u || lines == 22u) << lines << ": a loop of 4 or two edges less than 24";
}

TEST_F(PlotItemTest, BoundaryOutlinesTheFacesTowardsZonesOutsideItsRange) {
  Model({"gen zone brick size 2 2 2"});
  const std::string all = DrawAlone(Add("boundary"));
  EXPECT_EQ(CountOf(all, "LineTo"), 24u * 4) << "24 outer faces of 4 sides";
  const std::string part = DrawAlone(Add("boundary range x 0 1 y 0 1 z 0 1"));
  EXPECT_EQ(CountOf(part, "LineTo"), 6u * 4) << "the corner zone: all six faces";
}

TEST_F(PlotItemTest, SketchDrawsOnlyFacesThatFaceTheEye) {
  Model({"gen zone brick size 1 1 1"});
  const std::string log = DrawAlone(Add("sketch"));
  const size_t faces = CountOf(log, "LineTo") / 4;
  EXPECT_GE(faces, 1u);
  EXPECT_LE(faces, 3u) << "at most three faces of a box face one eye";
}

TEST_F(PlotItemTest, NullFilterAndExaggerationLegends) {
  Model({"gen zone brick size 2 2 2"});
  Add("grid null on");
  const std::string log = Record();
  EXPECT_NE(log.find("Null zones only"), std::string::npos);
  EXPECT_EQ(CountOf(DrawAlone(*Items().Item(1)), "LineTo"), 0u) << "no null zones: nothing but legend lines";
  EXPECT_EQ(Record().find("Exaggerated Grid Distortion"), std::string::npos);
  Items().Modify(Line("1 magfac 2"));
  EXPECT_NE(Record().find("  Exaggerated Grid Distortion "), std::string::npos);
}

TEST_F(PlotItemTest, GridOnPostScriptAndBitmap) {
  Model({"gen zone brick size 2 2 2"});
  Add("grid");
  Hardcopy("postscript");
  const std::string ps = TempDir::Read("terrax.ps");
  EXPECT_TRUE(Has(ps, "(Grid) @s")) << ps.substr(0, 2000);
  EXPECT_TRUE(Has(ps, "(   Linestyle) @s")) << "the line sample";
  if (HaveTool("gs")) {
    std::string out;
    EXPECT_EQ(RunTool("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage terrax.ps", out), 0) << out;
  }
  Hardcopy("bmp size 300 200");
  EXPECT_GT(TempDir::Read("terrax.BMP").size(), 54u);
}

TEST_F(PlotItemTest, MonochromePensAreBlackWithTheirDash) {
  Model({"gen zone brick size 1 1 1"});
  Add("grid red");
  view->SetColour(false);
  const std::string log = Record();
  EXPECT_NE(log.find("SetLineStyle 2"), std::string::npos) << "red: grey 0.4 gives the (5, 5) dash\n" << log;
}

TEST_F(PlotItemTest, GreyPostScriptDrawsRedAsABlackDash) {
  Model({"gen zone brick size 1 1 1"});
  Add("grid red");
  Hardcopy("postscript gray");
  const std::string ps = TempDir::Read("terrax.ps");
  std::string dashes;
  for (size_t at = ps.find("] 0 @sd"); at != std::string::npos; at = ps.find("] 0 @sd", at + 1))
    dashes += ps.substr(ps.rfind('[', at), at - ps.rfind('[', at) + 1) + ";";
  EXPECT_TRUE(Has(dashes, "[ 1.65 1.65]")) << "red: grey 0.4 gives the (5, 5) dash: " << dashes;
}

TEST_F(PlotItemTest, MarkingAndDrawingAllocateNothing) {
  Model({"gen zone brick size 4 4 4"});
  PlotItemBase& grid = Add("grid range x 0 2");
  PlotItemBase& boundary = Add("boundary");
  RasterTestDevice raster(400, 300);
  TestSurface rasterSurface(&raster);
  view->SetSurface(&rasterSurface);
  view->SetCaptionOn(false);
  view->Arrange();
  view->Regenerate(-1, String());
  for (PlotItemBase* item : {&grid, &boundary}) {
    const size_t before = TestAllocations();
    item->Draw(-1);
    EXPECT_EQ(TestAllocations(), before) << item->DisplayName().str();
  }
  EXPECT_GT(CountInk(raster.raster), 100);
  view->SetSurface(nullptr);
}

// ---------------------------------------------------------------------------
// Factor of safety and axes

TEST_F(PlotItemTest, FosShowsTheFactorOnceKnown) {
  EXPECT_EQ(PlotItemPrototypeAt(56)->CreateFromMenu(4651, *view), nullptr) << "only by keyword before SOLVE FOS";
  PlotItemBase& fos = Add("fos");
  EXPECT_NE(Record().find("*** FoS value not available "), std::string::npos);
  EXPECT_NE(Listing(fos).find("*** FoS value not available "), std::string::npos);
  Settings().fosKnown = true;
  Settings().fos = 1.23456;
  EXPECT_NE(Record().find(" FoS value is : 1.23"), std::string::npos);
  EXPECT_NE(Listing(fos).find("FoS value is : 1.23"), std::string::npos);
  std::unique_ptr<PlotItem> fromMenu(PlotItemPrototypeAt(56)->CreateFromMenu(4651, *view));
  EXPECT_NE(fromMenu, nullptr);
}

TEST_F(PlotItemTest, AxesFixedAndScaled) {
  Model({"gen zone brick size 2 2 2"});
  auto& axes = static_cast<AxesPlotItem&>(Add("axes fix 0.25 0.25"));
  EXPECT_TRUE(axes.Fixed());
  EXPECT_NE(Listing(axes).find("    Fixed at : "), std::string::npos);
  EXPECT_NE(Record().find("  Fixed"), std::string::npos);

  Items().Modify(Line("1 position 0 0 0"));
  auto span = [&] {
    const std::string log = DrawAlone(axes);
    // The first move is the x end, the next line the origin.
    int x0, y0, x1, y1;
    const size_t m = log.find("MoveTo "), l = log.find("LineTo ", m);
    sscanf(log.c_str() + m + 7, "%d,%d", &x0, &y0);
    sscanf(log.c_str() + l + 7, "%d,%d", &x1, &y1);
    return std::hypot(double(x1 - x0), double(y1 - y0));
  };
  const double one = span();
  Items().Modify(Line("1 scale 0.2"));
  EXPECT_NEAR(span(), 2 * one, 2.0);
}

// ---------------------------------------------------------------------------
// Save and restore

TEST_F(PlotItemTest, ItemsSaveRestoreAndSaveAgainByteIdentically) {
  Add("grid red null on magfac 1.5 plane front alias G");
  Add("boundary");
  Add("sketch");
  Add("fos");
  Add("axes fix 0.3 0.4 scale 0.2");
  MemoryStream first;
  Items().Save(first);
  ModelView other;
  other.Items().Restore(first, other);
  MemoryStream second;
  other.Items().Save(second);
  EXPECT_EQ(first.bytes, second.bytes);
  EXPECT_EQ(other.Items().Count(), 5);

  MemoryStream unknown;
  unknown.WriteU32(1);
  unknown.WriteU32(77);
  EXPECT_THROW(other.Items().Restore(unknown, other), KWRExcept);
  MemoryStream tooMany;
  tooMany.WriteU32(1000000);
  EXPECT_THROW(other.Items().Restore(tooMany, other), KWRExcept);
}

// A base record as older files hold it: floats for the three numbers and the colours.
void WriteOldRecord(MemoryStream& s, int version) {
  s.WriteF32(0.5f);
  if (version > 97) s.WriteF32(2.0f);
  s.WriteF32(3.0f);
  s.WriteU8(1);
  Range().Save(s);
  s.WriteU8(0);
  s.WriteU8(0);
  s.WriteU32(1);
  s.WriteI32(1);
  SaveString(s, "");
  s.WriteU32(1);
  for (float f : {1.0f, 0.0f, 0.0f, 0.4f}) s.WriteF32(f);
  s.WriteU8(0);
  s.WriteU32(7);
  if (version > 11) s.WriteU8(0);
  if (version >= 132) {
    s.WriteU32(0);
    s.WriteU32(0);
  }
}

TEST_F(PlotItemTest, OldRecordsRestoreByTheirVersion) {
  struct Case {
    int version;
    double magfac;
    bool active;
  } cases[] = {{120, 2.0, false}, {90, 0.0, false}, {10, 0.0, true}};
  for (const Case& c : cases) {
    MemoryStream s;
    WriteOldRecord(s, c.version);
    s.WriteU8(1);  // null zones only
    CurrentRestoreVersions().format = c.version;
    GridPlotItem grid(view.get());
    grid.Restore(s);
    ResetRestoreVersions();
    EXPECT_EQ(grid.Scale(), 0.5) << c.version;
    EXPECT_EQ(grid.Magfac(), c.magfac) << c.version;
    EXPECT_EQ(grid.Maximum(), 3.0) << c.version;
    EXPECT_EQ(grid.Active(), c.active) << c.version;
    EXPECT_EQ(grid.GetColor(0), colors::kRed) << c.version;
    EXPECT_TRUE(grid.NullOnly()) << c.version;
  }
  MemoryStream s;
  WriteOldRecord(s, 132);
  s.WriteU8(1);
  for (float f : {1.0f, 2.0f, 3.0f, 0.5f, 0.75f}) s.WriteF32(f);
  CurrentRestoreVersions().format = 132;
  AxesPlotItem axes(view.get());
  axes.Restore(s);
  ResetRestoreVersions();
  EXPECT_TRUE(axes.Fixed());
  EXPECT_EQ(axes.Position().z, 3.0);
  EXPECT_EQ(axes.FixedPosition().y, 0.75);
}

}  // namespace
