#include "view/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "view/view_support.h"
#include "view/window_event.h"

namespace {

const double kTan = std::tan(11.25 * kDegree);  // half the default perspective angle

DVect2 Projected(Camera& c, Vec3 p, double* scale = nullptr) {
  DVect2 v;
  c.Project(p, v, scale);
  return v;
}

// A model-mode camera with its centre and distance given: no automatic fit.
void Place(Camera& c, Vec3 centre, Vec3 anglesDeg, double distance) {
  c.SetCenter(centre);
  c.SetRotation(anglesDeg * kDegree);
  c.SetDistance(distance);
}

TEST(CameraTest, DefaultCameraWithoutModelKeepsItsEyeAndAutomaticFlags) {
  Camera c;
  double scale = 1;
  const DVect2 p = Projected(c, {1, 0, 1}, &scale);
  EXPECT_NEAR(p.x, 0.1, 1e-15);
  EXPECT_NEAR(p.y, 0.1, 1e-15);
  EXPECT_NEAR(scale, 0.1, 1e-15);
  EXPECT_TRUE(c.AutoCenter() && c.AutoDistance() && c.AutoPosition() && c.AutoSize());
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{0, -10, 0}), 0);
  const ExtentRect e = c.Requested();
  EXPECT_NEAR(e.x0, -kTan, 1e-15);
  EXPECT_NEAR(e.y1, kTan, 1e-15);
  EXPECT_TRUE(c.MatrixValid());
}

TEST(CameraTest, ModelModeFitsTheBoxOnceAndAgainAfterAReset) {
  BoxCamera c;
  c.box = Box({0, 0, 0}, {10, 4, 2});
  EXPECT_EQ(Projected(c, {5, 2, 1}).x, 0) << "the box centre projects to the middle";
  EXPECT_FALSE(c.AutoCenter() || c.AutoDistance() || c.AutoSize());
  // Widest across is 10, nearest corner 2 in front of the centre: the picture is 10 % wider.
  const double d = 5.5 / kTan + 2;
  EXPECT_NEAR(c.Distance(), d, 1e-12);
  EXPECT_NEAR(c.Size(), 2 * kTan * d, 1e-12);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{5, 2 - d, 1}), 1e-12);
  double scale = 1;
  const DVect2 p = Projected(c, {8, 2, 2}, &scale);
  EXPECT_NEAR(p.x, 3, 1e-12) << "at the centre's depth lengths keep model scale";
  EXPECT_NEAR(p.y, 1, 1e-12);
  EXPECT_NEAR(scale, 1, 1e-12);
  EXPECT_NEAR(c.Requested().x1, d * kTan, 1e-12) << "the window shows the perspective angle there";

  c.box = Box({100, 100, 100}, {110, 110, 110});
  c.InvalidateMatrix();
  Projected(c, {0, 0, 0});
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{5, 2, 1}), 0) << "each automatic value is fitted once";
  c.ResetView();
  Projected(c, {0, 0, 0});
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{105, 105, 105}), 0);
}

TEST(CameraTest, FirstPersonFitsPositionAndOrthographicSize) {
  BoxCamera c;
  c.SetMode(Camera::kFirstPerson);
  c.SetPerspective(false);
  c.box = Box({-1, -1, -1}, {1, 1, 1});
  Projected(c, {0, 0, 0});
  const double d = 1.1 / kTan + 1;
  EXPECT_NEAR(c.Distance(), d, 1e-12);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{0, -d, 0}), 1e-12);
  EXPECT_NEAR(c.Size(), 2 * kTan * d, 1e-12);
  EXPECT_NEAR(c.Requested().x1, kTan * d, 1e-12);
  EXPECT_FALSE(c.AutoPosition() || c.AutoSize() || c.AutoDistance());
}

TEST(CameraTest, PointsAtOrBehindTheEyeGoFarOutward) {
  Camera c;  // eye (0, -10, 0) looking along +y, distance 1
  struct Case {
    Vec3 p;
    double x, y, scale;
  } cases[] = {
      {{2, -10, 3}, 2e20, 3e20, 1.5},  // depth 0
      {{2, -11, 3}, 2e20, 3e20, 1.5},  // behind
      {{2, -8, 3}, 1, 1.5, 0.75},      // in front at depth 2
  };
  for (const Case& k : cases) {
    double scale = 1.5;
    const DVect2 p = Projected(c, k.p, &scale);
    EXPECT_DOUBLE_EQ(p.x, k.x);
    EXPECT_DOUBLE_EQ(p.y, k.y);
    EXPECT_DOUBLE_EQ(scale, k.scale);
  }
  Vec3 withDepth;
  c.ProjectWithDepth({2, -8, 3}, withDepth);
  EXPECT_VEC_NEAR(withDepth, (Vec3{1, 1.5, 2}), 1e-15);
  c.SetPerspective(false);
  double scale = 1.5;
  EXPECT_DOUBLE_EQ(Projected(c, {2, -11, 3}, &scale).x, 2) << "no depth in an orthographic view";
  EXPECT_EQ(scale, 1.5);
}

TEST(CameraTest, OrthographicWindowIsTheSizeAndMagnifyDividesIt) {
  Camera c;
  c.SetPerspective(false);
  c.SetSize(8);
  Projected(c, {0, 0, 0});
  EXPECT_EQ(c.Requested(), (ExtentRect{-4, -4, 4, 4}));
  c.Magnify(2);
  Projected(c, {0, 0, 0});
  EXPECT_EQ(c.Requested(), (ExtentRect{-2, -2, 2, 2}));
  EXPECT_EQ(c.Magnification(), 2);
  c.SetPerspective(true);
  Projected(c, {0, 0, 0});
  EXPECT_NEAR(c.Requested().x1, kTan / 2, 1e-15) << "in perspective the magnification shrinks the window";
}

TEST(CameraTest, NegativeRotationIsUsedAsItsTurnAbove) {
  const ViewMatrix a = RotationMatrix(Vec3{-90, 0, 0} * kDegree), b = RotationMatrix(Vec3{270, 0, 0} * kDegree);
  for (int i = 0; i < 3; ++i) EXPECT_VEC_NEAR(a.row[i], b.row[i], 1e-15);
  EXPECT_VEC_NEAR(a.row[1], (Vec3{0, 0, 1}), 1e-15) << "looking up";
  EXPECT_NEAR(NormalizeAngle(-90 * kDegree), 270 * kDegree, 1e-14);
  EXPECT_NEAR(NormalizeAngle(450 * kDegree), 90 * kDegree, 1e-14);
}

TEST(CameraTest, AnglesComeBackFromTheirMatrix) {
  const Vec3 cases[] = {{0, 0, 0}, {30, 20, 40}, {200, 300, 10}, {90, 0, 90}, {0, 45, 270}};
  for (const Vec3& deg : cases) {
    const ViewMatrix m = RotationMatrix(deg * kDegree);
    const ViewMatrix back = RotationMatrix(MatrixToAngles(m));
    for (int i = 0; i < 3; ++i) EXPECT_VEC_NEAR(back.row[i], m.row[i], 1e-12);
  }
}

// Looking straight down from a first-person eye: the cosine term of the
// first angle is exactly 0, and the model mode must still look down.
TEST(CameraTest, ModelModeFromAStraightDownEyeKeepsTheDirection) {
  Camera c;
  c.SetMode(Camera::kFirstPerson);
  c.SetPosition({1, 2, 10});
  c.SetDirection({0, 0, -1});
  c.SetVertical({0, 1, 0});
  c.SetDistance(4);
  c.SetMode(Camera::kModel);
  c.SetAutoCenter(false);
  Projected(c, {0, 0, 0});
  EXPECT_NEAR(c.Angles().x, 90 * kDegree, 1e-12);
  EXPECT_VEC_NEAR(c.Direction(), (Vec3{0, 0, -1}), 1e-12);
  EXPECT_VEC_NEAR(c.Vertical(), (Vec3{0, 1, 0}), 1e-12);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{1, 2, 10}), 1e-12);
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{1, 2, 6}), 1e-12);
}

TEST(CameraTest, ModeCycleKeepsEyeAndDirection) {
  struct Case {
    Vec3 angles;
    bool vertical;  // the vertical survives only at right angles to the direction
  } cases[] = {{{0, 0, 0}, true}, {{30, 20, 40}, true}, {{90, 0, 0}, true}, {{300, 10, 200}, true}};
  for (const Case& k : cases) {
    Camera c;
    Place(c, {1, 2, 3}, k.angles, 7);
    c.SetAutoPosition(false);
    Projected(c, {0, 0, 0});
    const Vec3 eye = c.Eye(), dir = c.Direction(), vertical = c.Vertical();
    for (int mode : {Camera::kFirstPerson, Camera::kPlane, Camera::kModel}) {
      ASSERT_EQ(c.OnKey('\\'), 2);
      EXPECT_EQ(c.GetMode(), mode);
      Projected(c, {0, 0, 0});
      EXPECT_VEC_NEAR(c.Eye(), eye, 1e-9);
      EXPECT_VEC_NEAR(c.Direction(), dir, 1e-9);
      if (k.vertical) {
        EXPECT_VEC_NEAR(c.Vertical(), vertical, 1e-9);
      }
    }
  }
  // A first-person vertical that leans toward the direction: eye and direction still survive.
  Camera c;
  c.SetMode(Camera::kFirstPerson);
  c.SetPosition({0, 0, 0});
  c.SetDirection({1, 1, 0});
  c.SetVertical({0, 0.3, 1});
  c.SetDistance(5);
  c.SetAutoCenter(false);
  for (int i = 0; i < 3; ++i) {
    c.OnKey('|');
    Projected(c, {0, 0, 0});
  }
  EXPECT_EQ(c.GetMode(), Camera::kFirstPerson);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{0, 0, 0}), 1e-9);
  EXPECT_VEC_NEAR(c.Direction(), UnitVector({1, 1, 0}), 1e-9);
}

TEST(CameraTest, PlaneModeFromModelModeKeepsThePicture) {
  Camera c;
  Place(c, {4, -2, 1}, {25, 35, 110}, 12);
  const Vec3 points[] = {{4, -2, 1}, {5, -1, 2}, {3, -3, 0.5}, {6, 0, 1}};
  DVect2 before[4];
  for (int i = 0; i < 4; ++i) before[i] = Projected(c, points[i]);
  const Vec3 dir = c.Direction();
  c.SetMode(Camera::kPlane);
  EXPECT_VEC_NEAR(c.Normal(), dir * -1.0, 1e-12);
  for (int i = 0; i < 4; ++i) {
    const DVect2 after = Projected(c, points[i]);
    EXPECT_NEAR(after.x, before[i].x, 1e-9) << i;
    EXPECT_NEAR(after.y, before[i].y, 1e-9) << i;
  }
}

TEST(CameraTest, MoveTurnsWithTheFrameOfTheMode) {
  Camera c;
  Place(c, {0, 0, 0}, {0, 0, 270}, 10);  // looking along -x, right is +y
  Projected(c, {0, 0, 0});
  EXPECT_VEC_NEAR(c.Direction(), (Vec3{-1, 0, 0}), 1e-15);
  c.Move({2, 0, 3});
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{0, -2, -3}), 1e-15) << "the centre goes against the move";
  Projected(c, {0, 0, 0});
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{10, -2, -3}), 1e-14);

  c.SetMode(Camera::kFirstPerson);
  Projected(c, {0, 0, 0});
  c.Move({0, 1, 0});
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{9, -2, -3}), 1e-14) << "the eye goes forward";
  EXPECT_FALSE(c.AutoPosition());
}

// The x key tilts the view the same way in model and first-person mode and,
// turning from where the plane view looks, in plane mode.
TEST(CameraTest, RotationKeysTurnAlikeInEveryMode) {
  const double r = 10 * kDegree;
  const Vec3 tilted{0, std::cos(r), -std::sin(r)};
  Camera model;
  Place(model, {0, 0, 0}, {0, 0, 0}, 5);
  EXPECT_EQ(model.OnKey('x'), 2);
  Projected(model, {0, 0, 0});
  EXPECT_VEC_NEAR(model.Direction(), tilted, 1e-15);
  EXPECT_NEAR(model.Angles().x, r, 1e-15);

  Camera first;
  first.SetMode(Camera::kFirstPerson);
  first.OnKey('x');
  Projected(first, {0, 0, 0});
  EXPECT_VEC_NEAR(first.Direction(), tilted, 1e-15);

  // A plane view set by its normal turns from there; the model angles it never had do not matter.
  Camera plane;
  Place(plane, {0, 0, 0}, {50, 60, 70}, 5);
  plane.SetMode(Camera::kPlane);
  plane.SetNormal({0, -1, 0});
  plane.SetZAngle(0);
  plane.OnKey('x');
  Projected(plane, {0, 0, 0});
  EXPECT_VEC_NEAR(plane.Direction(), tilted, 1e-12);
  EXPECT_VEC_NEAR(plane.Normal(), tilted * -1.0, 1e-12);
}

TEST(CameraTest, KeysActAndAnswerTheirMasks) {
  struct Case {
    int32_t key;
    int result;
    void (*check)(const Camera&);
  } cases[] = {
      {'X', 2, [](const Camera& c) { EXPECT_NEAR(c.Angles().x, 350 * kDegree, 1e-12); }},
      {'y', 2, [](const Camera& c) { EXPECT_NEAR(c.Angles().y, 10 * kDegree, 1e-12); }},
      {'Z', 2, [](const Camera& c) { EXPECT_NEAR(c.Angles().z, 350 * kDegree, 1e-12); }},
      {key::kRight, 2,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{-0.5, 0, 0}), 1e-15);
       }},
      {key::kUp, 2,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{0, 0, -0.5}), 1e-15);
       }},
      {key::kHome, 2,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{0, -0.5, 0}), 1e-15);
       }},
      {key::kEnd, 2,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{0, 0.5, 0}), 1e-15);
       }},
      {'m', 2, [](const Camera& c) { EXPECT_EQ(c.Magnification(), 2 * 1.25); }},
      {'M', 2, [](const Camera& c) { EXPECT_EQ(c.Magnification(), 2 * 0.8); }},
      {key::kInsert, 2, [](const Camera& c) { EXPECT_DOUBLE_EQ(c.Distance(), 9); }},
      {key::kDelete, 2, [](const Camera& c) { EXPECT_DOUBLE_EQ(c.Distance(), 11); }},
      {'\\', 2, [](const Camera& c) { EXPECT_EQ(c.GetMode(), Camera::kFirstPerson); }},
      {key::Ctrl('R'), 2,
       [](const Camera& c) {
         EXPECT_TRUE(c.AutoCenter() && c.AutoDistance() && c.AutoSize());
         EXPECT_EQ(c.Magnification(), 1);
       }},
      {'+', 1,
       [](const Camera& c) {
         EXPECT_NEAR(c.RotationIncrement(), 20 * kDegree, 1e-15);
         EXPECT_EQ(c.MoveIncrement(), 1.25);
       }},
      {'-', 1,
       [](const Camera& c) {
         EXPECT_NEAR(c.RotationIncrement(), 5 * kDegree, 1e-15);
         EXPECT_EQ(c.MoveIncrement(), 0.8);
       }},
      {'q', 0,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{0, 0, 0}), 0);
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.key);
    Camera c;
    Place(c, {0, 0, 0}, {0, 0, 0}, 10);
    c.SetMoveIncrement(1);
    c.SetMagnification(2);  // the arrows move by increment / magnification
    Projected(c, {0, 0, 0});
    EXPECT_EQ(c.OnKey(k.key), k.result);
    k.check(c);
  }
}

TEST(CameraTest, ExtentKeysPanTheRequestedExtent) {
  ViewExtent e;
  e.SetExtent(0, 0, 10, 5);
  EXPECT_EQ(e.MoveIncrement(), 1) << "the first extent fixes the automatic increment";
  EXPECT_EQ(e.OnKey(key::kLeft), 2);
  EXPECT_EQ(e.Requested(), (ExtentRect{1, 0, 11, 5}));
  EXPECT_EQ(e.OnKey(key::kDown), 2);
  EXPECT_EQ(e.Requested(), (ExtentRect{1, 1, 11, 6}));
  e.SetExtent(0, 0, 100, 100);
  EXPECT_EQ(e.MoveIncrement(), 1) << "a second extent leaves the increment alone";
  EXPECT_EQ(e.OnKey('a'), 0);
}

}  // namespace
