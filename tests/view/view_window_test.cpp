#include "view/view_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "devices/test_devices.h"
#include "support/alloc_counter.h"
#include "view/view_support.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A view window on a device: the window covers the surface from (0, 0).
template <class Window, class Dev>
struct Shown {
  Dev device;
  Canvas surface{&device};
  Camera camera;
  RecordingView view;
  Window window{&view, &camera};
  template <class... Args>
  explicit Shown(int width, int height, Args... args) : device(args...) {
    window.AttachCanvas(&surface);
    window.SetSize(width, height);
  }
};
using RecordedWindow = Shown<ExtentViewWindow, RecordingDevice>;

// The extent (0, 0)-(10, 5) in 200 x 200 pixels: visible (0, -2.5)-(10, 7.5), 20 pixels a unit.
std::unique_ptr<RecordedWindow> Standard() {
  auto s = std::make_unique<RecordedWindow>(200, 200);
  s->camera.SetExtent(0, 0, 10, 5);
  return s;
}

TEST(ViewWindowTest, ExtentIsWidenedToTheWindowShape) {
  struct Case {
    int width, height, dpiX, dpiY;
    ExtentRect requested, visible;
    double sx, sy;
  } cases[] = {
      {200, 200, 96, 96, {0, 0, 10, 5}, {0, -2.5, 10, 7.5}, 20, 20},
      {200, 100, 96, 96, {0, 0, 10, 10}, {-5, 0, 15, 10}, 10, 10},
      // Pixels twice as tall as wide: twice as many view units per pixel down.
      {200, 200, 100, 50, {0, 0, 10, 10}, {0, -5, 10, 15}, 20, 10},
  };
  for (const Case& k : cases) {
    Shown<ExtentViewWindow, RasterTestDevice> s(k.width, k.height, 200, 200);
    s.device.context.SetResolution(k.dpiX, k.dpiY);
    const ExtentRect& r = k.requested;
    s.camera.SetExtent(r.x0, r.y0, r.x1, r.y1);
    EXPECT_EQ(s.camera.Visible(), k.visible);
    EXPECT_EQ(s.camera.ScaleX(), k.sx);
    EXPECT_EQ(s.camera.ScaleY(), k.sy);
    EXPECT_EQ(s.camera.DeviceHeight(), k.height);
  }
}

TEST(ViewWindowTest, WindowOrExtentWithoutAreaIsNeitherFittedNorDrawn) {
  struct Case {
    int width, height;
    ExtentRect requested;
  } cases[] = {
      {0, 200, {0, 0, 10, 5}},           {200, 0, {0, 0, 10, 5}},  {200, 200, {0, 0, 0, 5}},
      {200, 200, {0, 0, 10, 0}},         {200, 200, {0, 0, 0, 0}}, {200, 200, {0, 0, kNaN, 5}},
      {200, 200, {-1e308, 0, 1e308, 5}}, {200, 200, {5, 0, 0, 5}},
  };
  for (const Case& k : cases) {
    RecordedWindow s(k.width, k.height);
    const ExtentRect& r = k.requested;
    s.camera.SetExtent(r.x0, r.y0, r.x1, r.y1);
    EXPECT_FALSE(s.window.CanDraw());
    s.device.Take();
    s.window.MoveTo(DVect2{1, 1});
    s.window.LineTo(DVect2{2, 2});
    s.window.FillCircle(DVect2{1, 1}, 1);
    const DVect2 tri[3] = {{0, 0}, {1, 0}, {0, 1}};
    s.window.FillPolygon2D(tri, 3);
    s.window.TextAt(DVect2{1, 1}, "x");
    EXPECT_EQ(s.device.log.size(), 0u) << s.device.Take();
  }
}

TEST(ViewWindowTest, ViewToDeviceAndBack) {
  auto s = Standard();
  const ViewWindow& w = s->window;
  EXPECT_EQ(w.ToDevice({0, 7.5}), (PixelPoint{0, 0}));
  EXPECT_EQ(w.ToDevice({10, -2.5}), (PixelPoint{200, 200}));
  EXPECT_EQ(w.ToDevice({5.01, 2.49}), (PixelPoint{100, 100})) << "toward zero";
  const DVect2 back = w.FromDevice({50, 150});
  EXPECT_EQ(back.x, 2.5);
  EXPECT_EQ(back.y, 0);
  EXPECT_EQ(w.DeviceLength(1), 20);
  EXPECT_EQ(w.DeviceLength(0.04), 0);
  EXPECT_EQ(w.DeviceLength(-1e300), -2000000000);
  EXPECT_EQ(w.DeviceLength(kNaN), 2000000000);
}

TEST(ViewWindowTest, FarPointsKeepTheirDirectionWithin2e9) {
  auto s = Standard();
  struct Case {
    DVect2 p;
    PixelPoint device;
  } cases[] = {
      {{1e20, 5e19}, {2000000000, -1000000000}},
      {{-3e25, 0}, {-2000000000, 0}},
      {{kNaN, 0}, {2000000000, 0}},  // not a number counts as far out
      {{0, kInf}, {0, -2000000000}},
      {{kInf, -kInf}, {2000000000, 2000000000}},
      {{kNaN, kNaN}, {2000000000, 2000000000}},
  };
  for (const Case& k : cases) {
    const PixelPoint d = s->window.ToDevice(k.p);
    EXPECT_EQ(d, k.device) << d.x << "," << d.y;
  }
  // Behind the eye of a perspective camera: sent 1e20 times outward.
  Camera& c = s->camera;
  c.SetMode(Camera::kFirstPerson);
  c.SetPosition({0, 0, 0});
  DVect2 v;
  s->window.Project({3, -1, 7}, v);
  const PixelPoint d = s->window.ToDevice(v);
  EXPECT_EQ(std::max(std::abs(int64_t(d.x)), std::abs(int64_t(d.y))), 2000000000);
}

TEST(ViewWindowTest, LinesWhollyOutsideOneEdgeOnlyMove) {
  auto s = Standard();
  ViewWindow& w = s->window;
  w.MoveTo(DVect2{1, 1});
  w.LineTo(DVect2{2, 1});
  s->device.Take();
  w.MoveTo(DVect2{-5, 0});
  w.LineTo(DVect2{-1, 3});    // both left of x0
  w.LineTo(DVect2{5, 2});     // from outside in
  w.LineTo(DVect2{20, 2});    // from inside out: drawn whole
  w.LineTo(DVect2{30, -50});  // both right of x1
  w.LineTo(DVect2{5, 20});    // outside, but not beyond one edge
  w.LineTo(DVect2{6, 30});    // both above y1
  w.LineTo(DVect2{6, -30});   // across
  EXPECT_EQ(s->device.Take(),
            "MoveTo -100,150; MoveTo -20,90; LineTo 100,110; LineTo 400,110; MoveTo 600,1150; "
            "LineTo 100,-250; MoveTo 120,-450; LineTo 120,750");
  w.DrawSegment({-3, 0}, {-2, 1});
  w.DrawSegment({1, -3}, {2, -4});
  EXPECT_EQ(s->device.Take(), "") << "both ends left, both below";
  w.DrawSegment({1, 1}, {2, 2});
  EXPECT_EQ(s->device.Take(), "MoveTo 20,130; LineTo 40,110");
  w.SetRect({10, 20, 210, 220});
  s->device.Take();
  w.DrawSegment({1, 1}, {2, 2});
  EXPECT_EQ(s->device.Take(), "MoveTo 30,150; LineTo 50,130") << "moved by the window's place on the surface";
}

TEST(ViewWindowTest, CirclesPolygonsAndText) {
  auto s = Standard();
  ViewWindow& w = s->window;
  w.MoveTo(DVect2{1, 1});
  w.LineTo(DVect2{2, 1});
  s->device.Take();
  w.DrawCircle(DVect2{5, 2.5}, 1);
  w.DrawCircle(DVect2{-2, 2.5}, 1);    // right edge at -1: left of x0
  w.DrawCircle(DVect2{-2, 2.5}, 3);    // reaches in
  w.FillCircle(DVect2{5, 2.5}, -0.5);  // the radius is a length
  w.FillCircle(DVect2{5, 9}, 1);       // bottom at 8: above y1
  const DVect2 above[3] = {{0, 8}, {5, 9}, {10, 8}};
  const DVect2 across[3] = {{-5, 0}, {5, 20}, {15, 0}};
  w.FillPolygon2D(above, 3);
  w.FillPolygon2D(across, 3);
  w.TextAt({5, 2.5}, "label");
  EXPECT_EQ(s->device.Take(),
            "DrawCircle 100,100 20; DrawCircle -40,100 60; FillCircle 100,100 10; "
            "FillPolygon -100,150 100,-250 300,150; DrawText 100,100 label");
}

TEST(ViewWindowTest, ModelPolylinesAndPolygonsGoThroughTheCamera) {
  auto s = Standard();
  Camera& c = s->camera;
  c.SetPerspective(false);
  c.SetCenter({5, 0, 2.5});  // looking along +y: view x is model x - 5, view y is z - 2.5
  c.SetDistance(10);
  c.SetSize(10);
  const Vec3 square[4] = {{5, 0, 2.5}, {6, 3, 2.5}, {6, -2, 3.5}, {5, 0, 3.5}};
  s->window.DrawPolyline(square, 4, true);
  s->device.Take();
  s->window.DrawPolyline(square, 4, true);
  EXPECT_EQ(s->device.Take(), "MoveTo 100,100; LineTo 120,100; LineTo 120,80; LineTo 100,80; LineTo 100,100");
  s->window.FillPolygon(square, 4);
  EXPECT_EQ(s->device.Take(), "FillPolygon 100,100 120,100 120,80 100,80");
}

// 20 corners around a circle; the 21-point polygon has one corner twice.
std::vector<DVect2> Ring(bool extra) {
  std::vector<DVect2> p;
  for (int i = 0; i < 20; ++i) {
    const double a = i * kTwoPi / 20;
    p.push_back({5 + 4 * std::cos(a), 2.5 + 4 * std::sin(a)});
    if (extra && i == 7) p.push_back(p.back());
  }
  return p;
}

TEST(ViewWindowTest, PolygonOf21PointsFillsLikeOneOf20AndAllocatesOnce) {
  Shown<ExtentViewWindow, RasterTestDevice> twenty(200, 200, 200, 200), more(200, 200, 200, 200);
  for (auto* s : {&twenty, &more}) {
    s->camera.SetExtent(0, 0, 10, 5);
    s->window.State().SetColor(0x0000FF);
  }
  const std::vector<DVect2> a = Ring(false), b = Ring(true);
  ASSERT_EQ(b.size(), 21u);
  twenty.window.FillPolygon2D(a.data(), 20);
  more.window.FillPolygon2D(b.data(), 21);
  EXPECT_GT(CountInk(twenty.device.raster), 15000);
  EXPECT_TRUE(twenty.device.raster == more.device.raster);

  const size_t start = TestAllocations();
  for (int i = 0; i < 100; ++i) {
    twenty.window.FillPolygon2D(a.data(), 20);
    more.window.FillPolygon2D(b.data(), 21);
    twenty.window.MoveTo(DVect2{0, 0});
    twenty.window.LineTo(DVect2{i * 0.1, 3});
    DVect2 v;
    twenty.window.Project({double(i), 1, 2}, v);
  }
  EXPECT_EQ(TestAllocations(), start) << "the larger polygon's buffer is reused";
}

// The rubber band on a raster: the menu command arms it, a press inside
// starts it, moves draw it in XOR and the release zooms.
class RubberBandTest : public ::testing::Test {
 protected:
  Shown<ExtentViewWindow, RasterTestDevice> s{200, 200, 200, 200};

  void SetUp() override {
    s.camera.SetExtent(0, 0, 10, 5);
    s.window.State().SetColor(0x0000FF);
    s.window.MoveTo(DVect2{0, 0});
    s.window.LineTo(DVect2{10, 5});  // something to restore
  }
  int32_t Send(int32_t code, int32_t p1 = 0, int32_t p2 = 0) {
    GuiEvent e;
    e.code = code;
    e.p1 = p1;
    e.p2 = p2;
    return s.window.DefaultHandling(e);
  }
};

TEST_F(RubberBandTest, DragZoomsToTheBand) {
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  EXPECT_EQ(s.window.BandState(), ExtentViewWindow::kArmed);
  EXPECT_EQ(Pointer().capture, &s.window);
  Send(event::kMouseMove, 300, 20);
  EXPECT_EQ(Pointer().shape, 6) << "outside the window";
  Send(event::kMouseMove, 20, 40);
  EXPECT_EQ(Pointer().shape, 1);
  const Raster picture = s.device.raster;
  Send(event::kButtonDown, 20, 40);
  Send(event::kMouseMove, 90, 100);
  EXPECT_FALSE(s.device.raster == picture) << "the band shows";
  Send(event::kMouseMove, 120, 140);
  EXPECT_EQ(Send(event::kButtonUp, 120, 140), 0);
  EXPECT_TRUE(s.device.raster == picture) << "the band is gone";
  EXPECT_EQ(s.window.BandState(), ExtentViewWindow::kIdle);
  EXPECT_EQ(Pointer().capture, nullptr);
  EXPECT_EQ(Pointer().shape, 0);
  EXPECT_EQ(s.camera.Requested(), (ExtentRect{1, 0.5, 6, 5.5}));
  EXPECT_TRUE(s.window.PaintPending());
  EXPECT_EQ(s.view.Take(), "") << "the window repaints later";
}

TEST_F(RubberBandTest, EscapeSecondPressAndSmallBandsLeaveThePicture) {
  const Raster picture = s.device.raster;
  const ExtentRect extent = s.camera.Requested();
  // ESC while dragging: the band drawn twice is no band.
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  Send(event::kButtonDown, 20, 40);
  Send(event::kMouseMove, 60, 80);
  Send(event::kMouseMove, 100, 30);
  Send(event::kChar, 'x');
  EXPECT_EQ(s.view.Take(), "") << "keys are taken while zooming";
  Send(event::kKeyDown, key::kEscape);
  EXPECT_EQ(s.window.BandState(), ExtentViewWindow::kIdle);
  EXPECT_EQ(Pointer().capture, nullptr);
  EXPECT_TRUE(s.device.raster == picture);
  // A second press cancels.
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  Send(event::kButtonDown, 20, 40);
  Send(event::kMouseMove, 150, 150);
  Send(event::kButtonDown, 150, 150);
  EXPECT_EQ(s.window.BandState(), ExtentViewWindow::kIdle);
  EXPECT_TRUE(s.device.raster == picture);
  // A press outside cancels the armed band; a 3 x 3 band zooms nothing.
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  Send(event::kButtonDown, -5, 40);
  EXPECT_EQ(s.window.BandState(), ExtentViewWindow::kIdle);
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  Send(event::kButtonDown, 20, 40);
  Send(event::kButtonUp, 23, 43);
  EXPECT_EQ(s.camera.Requested(), extent);
  EXPECT_TRUE(s.device.raster == picture);
  EXPECT_FALSE(s.window.PaintPending());
}

TEST_F(RubberBandTest, OtherEventsGoToTheView) {
  EXPECT_EQ(Send(event::kMouseMove, 5, 5), 7);
  Send(event::kResized, 200, 200);
  Send(event::kPaint);
  Send(event::kPaint);
  Send(event::kMoved);
  Send(event::kPaint);
  EXPECT_EQ(s.view.Take(),
            "Forward 3; Forward 15; Regenerate -1; Forward 20; Regenerate 1; Forward 20; Forward 14; "
            "Regenerate -1; Forward 20")
      << "the first paint after a move or resize regenerates everything";
  EXPECT_EQ(Send(event::kMenuCommand, 12), 0);
  EXPECT_EQ(s.view.Take(), "");
  // Zooming, a paint still goes on.
  Send(event::kMenuCommand, ExtentViewWindow::kZoomCommand);
  Send(event::kPaint);
  EXPECT_EQ(s.view.Take(), "Regenerate 1; Forward 20");
  Send(event::kKeyDown, key::kEscape);
}

// The camera's zoom: the band's middle comes to the middle of the picture
// and the band fills it.
class CameraZoomTest : public ::testing::Test {
 protected:
  Shown<CameraViewWindow, RecordingDevice> s{200, 200};

  void Zoom(PixelRect r) {
    GuiEvent e;
    e.code = event::kMenuCommand;
    e.p1 = ExtentViewWindow::kZoomCommand;
    s.window.DefaultHandling(e);
    e.code = event::kButtonDown;
    e.p1 = r.left;
    e.p2 = r.top;
    s.window.DefaultHandling(e);
    e.code = event::kButtonUp;
    e.p1 = r.right;
    e.p2 = r.bottom;
    s.window.DefaultHandling(e);
  }
  DVect2 Projected(Vec3 p) {
    DVect2 v;
    s.window.Project(p, v);
    return v;
  }
};

TEST_F(CameraZoomTest, OrthographicModelViewMovesTheCentreAndMagnifies) {
  Camera& c = s.camera;
  c.SetPerspective(false);
  c.SetCenter({0, 0, 0});
  c.SetDistance(10);
  c.SetSize(10);
  Projected({0, 0, 0});  // visible (-5, -5)-(5, 5), 20 pixels a unit
  Zoom({100, 100, 103, 103});
  EXPECT_EQ(s.view.Take(), "") << "a band of 3 x 3 pixels does nothing";
  Zoom({100, 100, 140, 120});  // view (0, 0)-(2, -1)
  EXPECT_EQ(s.view.Take(), "Regenerate 2");
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{1, 0, -0.5}), 1e-12);
  EXPECT_DOUBLE_EQ(c.Magnification(), 5);
  EXPECT_DOUBLE_EQ(c.Size(), 2);
  const DVect2 middle = Projected({1, 7, -0.5}), corner = Projected({2, 0, -1});
  EXPECT_NEAR(middle.x, 0, 1e-12);
  EXPECT_NEAR(middle.y, 0, 1e-12);
  EXPECT_EQ(s.window.ToDevice(corner).x, 200) << "the band's width fills the window";
}

TEST_F(CameraZoomTest, PerspectiveZoomAimsAtTheBandInEveryMode) {
  for (int mode : {Camera::kFirstPerson, Camera::kModel, Camera::kPlane}) {
    SCOPED_TRACE(mode);
    Camera& c = s.camera;
    c.SetDefaults();
    c.SetCenter({0, 10, 0});
    c.SetDistance(10);
    c.SetMode(mode);
    Projected({0, 0, 0});
    EXPECT_VEC_NEAR(c.Eye(), (Vec3{0, 0, 0}), 1e-12);
    const DVect2 a = s.window.FromDevice({150, 60}), b = s.window.FromDevice({170, 80});
    const Vec3 target = c.Unproject({(a.x + b.x) / 2, (a.y + b.y) / 2});
    Zoom({150, 60, 170, 80});
    Projected({0, 0, 0});
    EXPECT_EQ(c.GetMode(), mode);
    EXPECT_VEC_NEAR(c.Direction(), UnitVector(target), 1e-9);
    EXPECT_VEC_NEAR(c.Eye(), (Vec3{0, 0, 0}), 1e-9);
    EXPECT_NEAR(c.Magnification(), 10, 1e-9);
    const DVect2 aimed = Projected(target);
    EXPECT_NEAR(aimed.x, 0, 1e-9);
    EXPECT_NEAR(aimed.y, 0, 1e-9);
    s.view.Take();
  }
}

TEST(ViewWindowLifetimeTest, WindowsAndCameraMayGoInEitherOrder) {
  RecordingDevice device;
  Canvas surface(&device);
  RecordingView view;
  auto camera = std::make_unique<Camera>();
  auto window = std::make_unique<CameraViewWindow>(&view, camera.get());
  window->AttachCanvas(&surface);
  window->SetSize(100, 100);
  EXPECT_EQ(camera->CameraWindow(), window.get());
  camera.reset();
  EXPECT_FALSE(window->CanDraw());
  window->LineTo(DVect2{1, 1});
  window.reset();

  Camera kept;
  { CameraViewWindow shortLived(&view, &kept); }
  EXPECT_EQ(kept.CameraWindow(), nullptr);
  EXPECT_EQ(kept.ExtentWindow(), nullptr);
}

}  // namespace
