#include "devices/canvas.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/test_devices.h"

namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kBlue = 0xFF0000;

FontDesc Face(const char* name) {
  FontDesc d(8, 16, 0, 0);
  d.faceName = name;
  return d;
}

const char* const kBindTarget =
    "SetWindow none; SetClipRect none; SetViewRect 0,0,640,480; SetRegion none; SetBackBuffer 0; ";

TEST(CanvasTest, CanvasesDrawingInTurnGetTheirOwnStateBack) {
  RecordingDevice dev;
  Canvas a(&dev), b(&dev);
  a.State().SetColor(kRed);
  b.State().SetColor(kBlue);
  b.SetFont(Face("Times New Roman"));
  a.SetFont(Face("Arial"));
  dev.Take();

  a.MoveTo({1, 1});
  a.LineTo({2, 2});
  a.LineTo({3, 3});
  EXPECT_EQ(dev.Take(), "MoveTo 1,1; LineTo 2,2; LineTo 3,3") << "nothing is realised again";

  b.LineTo({7, 7});
  EXPECT_EQ(dev.Take(), std::string(kBindTarget) +
                            "SetColor 16711680; SetBackColor 4294967295; SetPenWidth 0; SetLineStyle 0; "
                            "SelectFont Times New Roman; SetTextAlign 2,0; SetDrawMode 0; MoveTo 0,0; LineTo 7,7");
  // Back to the first: its colour, its font, and on from where its line ended.
  a.LineTo({4, 4});
  EXPECT_EQ(dev.Take(), std::string(kBindTarget) +
                            "SetColor 255; SetBackColor 4294967295; SetPenWidth 0; SetLineStyle 0; "
                            "SelectFont Arial; SetTextAlign 2,0; SetDrawMode 0; MoveTo 3,3; LineTo 4,4");
  EXPECT_EQ(a.State().Font().faceName, String("Arial"));
  EXPECT_EQ(b.State().Font().faceName, String("Times New Roman"));
}

TEST(CanvasTest, CanvasesDrawingInTurnOnARaster) {
  RasterTestDevice dev(30, 10);
  Canvas a(&dev), b(&dev);
  a.State().SetColor(kRed);
  b.State().SetColor(kBlue);
  a.MoveTo({0, 2});
  a.LineTo({10, 2});
  b.MoveTo({0, 5});
  b.LineTo({10, 5});
  a.LineTo({20, 2});
  for (int x = 0; x < 20; ++x) EXPECT_EQ(dev.raster.Pixel(x, 2), kRed) << x;
  EXPECT_EQ(dev.raster.Pixel(9, 5), kBlue);
  EXPECT_EQ(CountInk(dev.raster), 30);
}

TEST(CanvasTest, StateDestroyedWhileCurrentLeavesNoCurrentState) {
  RecordingDevice dev;
  Canvas canvas(&dev);
  {
    CanvasState item;
    item.SetDevice(&dev);
    item.SetColor(kBlue);
    item.SetModeWord(5);
    canvas.LineTo({1, 1}, &item);
    EXPECT_EQ(dev.CurrentState(), &item);
    EXPECT_TRUE(item.IsAttached());
    dev.Take();
  }
  EXPECT_EQ(dev.CurrentState(), nullptr);
  EXPECT_EQ(dev.Take(), "LeaveMode 5");
  EXPECT_EQ(dev.FirstState(), &canvas.State());
  EXPECT_EQ(canvas.State().NextState(), nullptr);
  canvas.LineTo({2, 2});
  EXPECT_EQ(dev.CurrentState(), &canvas.State());
  EXPECT_NE(dev.Take().find("SetColor"), std::string::npos);
}

TEST(CanvasTest, StatesMoveBetweenDevicesAndOutliveThem) {
  auto first = std::make_unique<RecordingDevice>();
  RecordingDevice second;
  CanvasState s;
  s.SetDevice(first.get());
  first->SelectState(&s);
  EXPECT_TRUE(s.IsAttached());
  s.SetDevice(&second);
  EXPECT_EQ(first->CurrentState(), nullptr);
  EXPECT_EQ(first->FirstState(), nullptr);
  EXPECT_EQ(second.FirstState(), &s);
  EXPECT_FALSE(s.IsAttached());

  CanvasState copy = s;
  EXPECT_EQ(copy.Device(), &second);
  EXPECT_EQ(second.FirstState(), &copy);

  s.SetDevice(first.get());
  first->SelectState(&s);
  s.SetModeWord(3);
  first.reset();
  EXPECT_EQ(s.Device(), nullptr);
  EXPECT_FALSE(s.IsAttached());
  EXPECT_EQ(s.ModeWord(), 1);
}

TEST(CanvasTest, RemovingAWindowCanvasUnbindsItsTarget) {
  RecordingDevice dev;
  Canvas root(&dev);
  WindowCanvas child(&root);
  child.SetRect({10, 20, 110, 70});
  child.LineTo({5, 5});
  EXPECT_EQ(dev.log.back(), "LineTo 15,25");
  EXPECT_EQ(dev.BoundTarget(), &child.Target());
  dev.Take();

  root.RemoveChild(&child);
  EXPECT_EQ(dev.BoundTarget(), nullptr);
  EXPECT_FALSE(child.Target().IsAttached());
  EXPECT_EQ(child.Device(), nullptr);
  EXPECT_EQ(child.State().Device(), nullptr);
  EXPECT_EQ(root.FirstChild(), nullptr);
  EXPECT_EQ(child.GetOrigin(), (PixelPoint{0, 0}));
  EXPECT_EQ(dev.Take(), "SetViewRect none; SetWindow none; SetClipRect none; SetRegion none; SetBackBuffer 0");
  child.LineTo({1, 1});
  EXPECT_EQ(dev.Take(), "");
}

TEST(CanvasTest, WindowTreeOffsetsAndVisibleRectangles) {
  RecordingDevice dev;
  Canvas root(&dev);
  WindowCanvas a(&root), b(&a), c(&a);
  EXPECT_EQ(a.FirstChild(), &c) << "the newest child comes first";
  EXPECT_EQ(c.NextSibling(), &b);
  a.SetRect({100, 50, 300, 250});
  b.SetRect({150, 20, 260, 80});  // reaches out of the right side of a
  EXPECT_EQ(b.GetOrigin(), (PixelPoint{250, 70}));
  EXPECT_EQ(b.VisibleRect(), (PixelRect{0, 0, 50, 60}));
  EXPECT_EQ(*b.Target().ClipRect(), (PixelRect{250, 70, 300, 130}));
  PixelRect clip{10, 10, 100, 100};
  b.SetClipRect(&clip);
  EXPECT_EQ(*b.Target().ClipRect(), (PixelRect{260, 80, 300, 130}));

  a.SetPosition({0, 0});
  EXPECT_EQ(b.GetOrigin(), (PixelPoint{150, 20}));
  EXPECT_EQ(*b.Target().ClipRect(), (PixelRect{160, 30, 200, 80}));
  const PixelPoint pts[] = {{1, 2}, {3, 4}};
  b.FillPolygon(pts, 2);
  EXPECT_EQ(dev.log.back(), "FillPolygon 151,22 153,24");
  EXPECT_EQ(pts[0], (PixelPoint{1, 2})) << "the caller's points stay";

  // A subtree moved under another parent takes its offsets along.
  WindowCanvas other(&root);
  other.SetPosition({5, 6});
  other.AddChild(&a);
  EXPECT_EQ(b.GetOrigin(), (PixelPoint{155, 26}));
  EXPECT_EQ(a.Parent(), &other);
}

class FlushCounter : public WindowCanvas {
 public:
  using WindowCanvas::WindowCanvas;
  std::vector<std::string> seen;
  bool Flush(const PixelRect* rect) override {
    seen.push_back(RecordingDevice::Rect(rect));
    return WindowCanvas::Flush(rect);
  }
};

TEST(CanvasTest, FlushWithoutBackBufferAnswersFalseAndFlushesTheChildren) {
  RecordingDevice dev;
  Canvas root(&dev);
  FlushCounter a(&root), b(&root), inner(&a);
  a.SetPosition({10, 20});
  b.SetPosition({30, 40});
  PixelRect r{0, 0, 100, 100};
  EXPECT_FALSE(root.Flush(&r));
  EXPECT_EQ(a.seen, std::vector<std::string>{"-10,-20,90,80"});
  EXPECT_EQ(b.seen, std::vector<std::string>{"-30,-40,70,60"});
  EXPECT_EQ(inner.seen.size(), 1u);
  EXPECT_EQ(dev.Take().find("CopyBackBuffer"), std::string::npos);

  root.SetBackBuffer(true);
  EXPECT_TRUE(inner.Target().BackBuffer());
  EXPECT_FALSE(root.Flush(nullptr));
  EXPECT_EQ(inner.seen.back(), "none");
  std::string log = dev.Take();
  size_t copies = 0;
  for (size_t at = log.find("CopyBackBuffer"); at != std::string::npos; at = log.find("CopyBackBuffer", at + 1))
    ++copies;
  EXPECT_EQ(copies, 4u) << log;
}

PixelRect windowRect{0, 0, 99, 49};
bool WindowRectForTest(WindowHandle, PixelRect& r) {
  r = windowRect;
  return true;
}

// The off-screen bitmap has the window's size; one of that size is kept.
TEST(CanvasTest, BackBufferBitmapFollowsTheWindowSize) {
  SetWindowRectQuery(WindowRectForTest);
  RecordingDevice dev;
  Canvas canvas(&dev);
  canvas.Target().SetWindow(reinterpret_cast<WindowHandle>(&dev));
  canvas.SetBackBuffer(true);
  ASSERT_NE(canvas.Target().Bitmap(), nullptr);
  EXPECT_EQ(canvas.Target().Bitmap()->Width(), 100);
  EXPECT_EQ(canvas.Target().Bitmap()->Height(), 50);
  const Raster* first = canvas.Target().Bitmap();
  canvas.SetBackBuffer(false);
  canvas.SetBackBuffer(true);
  EXPECT_EQ(canvas.Target().Bitmap(), first);
  canvas.SetBackBuffer(false);
  windowRect = {10, 10, 29, 19};
  canvas.SetBackBuffer(true);
  EXPECT_EQ(canvas.Target().Bitmap()->Width(), 20);
  EXPECT_EQ(canvas.Target().Bitmap()->Height(), 10);
  SetWindowRectQuery(nullptr);
}

TEST(RegionTest, SubtractingFromAnEmptyReferenceLeavesFourPieces) {
  RegionRef r;
  r.Subtract({0, 0, 10, 10});
  constexpr int32_t F = 1000000000;
  const std::vector<PixelRect> pieces = {{-F, -F, 0, F}, {10, -F, F, F}, {0, -F, 10, 0}, {0, 10, 10, F}};
  EXPECT_EQ(r.Get()->Rects(), pieces);
  // A rectangle that overlaps none of the pieces changes nothing.
  r.Subtract({2, 2, 8, 8});
  EXPECT_EQ(r.Get()->Rects(), pieces);
}

TEST(RegionTest, SharedRegionsAreCopiedOnWrite) {
  RegionRef a(PixelRect{0, 0, 10, 10});
  RegionRef b = a;
  EXPECT_EQ(a.Get(), b.Get());
  b.Intersect({5, 5, 20, 20});
  EXPECT_NE(a.Get(), b.Get());
  EXPECT_EQ(a.Get()->Rects(), (std::vector<PixelRect>{{0, 0, 10, 10}}));
  EXPECT_EQ(b.Get()->Rects(), (std::vector<PixelRect>{{5, 5, 10, 10}}));

  // The rectangle is taken in the reference's coordinates.
  RegionRef moved = a;
  moved.SetOffset(5, 0);
  moved.Intersect({5, 0, 10, 10});
  EXPECT_EQ(moved.Get()->Rects(), (std::vector<PixelRect>{{0, 0, 5, 10}}));
}

TEST(RegionTest, EmptinessAndEquality) {
  RegionRef none, a(PixelRect{0, 0, 10, 10});
  EXPECT_FALSE(none.IsEmpty());
  EXPECT_FALSE(a.IsEmpty());
  RegionRef gone = a;
  gone.Intersect({20, 20, 30, 30});
  EXPECT_TRUE(gone.IsEmpty());

  EXPECT_TRUE(none == a);
  EXPECT_FALSE(a == none);
  RegionRef same(PixelRect{2, 3, 12, 13});
  same.SetOffset(-2, -3);
  EXPECT_TRUE(a == same);
  same.SetOffset(0, 0);
  EXPECT_FALSE(a == same);
}

}  // namespace
