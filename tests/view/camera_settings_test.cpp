// The camera's keywords, listing and save record.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

#include "base/app.h"
#include "base/command.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"
#include "view/camera.h"
#include "view/view_support.h"
#include "view/view_window.h"

namespace {

class CameraSettingsTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void TearDown() override { ResetRestoreVersions(); }

  // Offers the words to the parser until none is left (2) or one is not its own.
  int Parse(ViewExtent& target, const char* words) {
    interp.ClearTokens();
    interp.Expand(String(words));
    int code;
    while ((code = target.ParseKeyword(interp)) == CommandType::kOk) {
    }
    return code;
  }
  template <class T>
  std::string Listed(const T& target) {
    std::ostringstream os;
    target.List(os);
    return os.str();
  }
};

TEST_F(CameraSettingsTest, ExtentKeywordsAndListing) {
  ViewExtent e;
  EXPECT_EQ(Parse(e, "size 0 10 0 5"), CommandType::kMissing);
  EXPECT_EQ(e.Requested(), (ExtentRect{0, 0, 10, 5}));
  EXPECT_EQ(Listed(e),
            "            Left: 0\n           Right: 10\n          Bottom: 0\n             Top: 5\n"
            "  Move Increment: 1\n");
  EXPECT_EQ(Parse(e, "size 0 0 0 0 moveincrement -2"), CommandType::kMissing);
  EXPECT_EQ(Listed(e),
            "            Left: Auto\n           Right: Auto\n          Bottom: Auto\n             Top: Auto\n"
            "  Move Increment: 2\n");
  EXPECT_FALSE(e.AutoMoveIncrement());
  EXPECT_EQ(Parse(e, "bogus"), CommandType::kUnrecognized);
  EXPECT_EQ(interp.TokenIndex(), 0) << "a word of another parser is left";
  ViewExtent fresh;
  EXPECT_NE(Listed(fresh).find("  Move Increment: Auto\n"), std::string::npos);
}

TEST_F(CameraSettingsTest, KeywordsSetTheirValuesAndRedrawAsTheirTableSays) {
  struct Case {
    const char* words;
    bool orthographic;
    bool redraw;
    std::function<void(const Camera&)> check;
  } cases[] = {
      {"distance -5", false, false,
       [](const Camera& c) {
         EXPECT_EQ(c.Distance(), 5);
         EXPECT_FALSE(c.AutoDistance());
       }},
      {"eyedistance a", false, true, [](const Camera& c) { EXPECT_TRUE(c.AutoDistance()); }},
      {"moveincrement -2", false, true,
       [](const Camera& c) {
         EXPECT_EQ(c.MoveIncrement(), 2);
         EXPECT_FALSE(c.AutoMoveIncrement());
       }},
      {"angle 30", true, false, [](const Camera& c) { EXPECT_NEAR(c.PerspectiveAngle(), 30 * kDegree, 1e-15); }},
      {"angle 30", false, true, [](const Camera&) {}},
      {"size 4", true, true,
       [](const Camera& c) {
         EXPECT_EQ(c.Size(), 4);
         EXPECT_FALSE(c.AutoSize());
       }},
      {"size 4", false, false, [](const Camera&) {}},
      {"size automatic", true, true, [](const Camera& c) { EXPECT_TRUE(c.AutoSize()); }},
      {"magnification -3", false, true, [](const Camera& c) { EXPECT_EQ(c.Magnification(), 3); }},
      {"magnification 3", true, false, [](const Camera&) {}},
      {"perspective off", false, true, [](const Camera& c) { EXPECT_FALSE(c.Perspective()); }},
      {"center 1 2 3", false, true,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Centre(), (Vec3{1, 2, 3}), 0);
         EXPECT_FALSE(c.AutoCenter());
       }},
      {"origin auto", false, true, [](const Camera& c) { EXPECT_TRUE(c.AutoCenter()); }},
      {"rotation -90 0 45", false, true,
       [](const Camera& c) {
         EXPECT_VEC_NEAR(c.Angles(), (Vec3{-90, 0, 45} * kDegree), 1e-15);
       }},
      {"mode plane", false, true, [](const Camera& c) { EXPECT_EQ(c.GetMode(), Camera::kPlane); }},
      {"rotincrement -20", false, true,
       [](const Camera& c) { EXPECT_NEAR(c.RotationIncrement(), 20 * kDegree, 1e-15); }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.words);
    Camera c;
    RecordingView view;
    CameraViewWindow window(&view, &c);
    c.SetPerspective(!k.orthographic);
    ASSERT_EQ(Parse(c, k.words), CommandType::kMissing);
    k.check(c);
    EXPECT_EQ(view.Take(), k.redraw ? "Update 2" : "");
  }
}

TEST_F(CameraSettingsTest, PlaneAndFirstPersonKeywords) {
  Camera c;
  ASSERT_EQ(Parse(c, "mode plane dip 30 dd 90 zangle 15"), CommandType::kMissing);
  EXPECT_VEC_NEAR(c.Normal(), (Vec3{0.5, 0, std::sqrt(0.75)}), 1e-15);
  EXPECT_FALSE(c.NormalGiven());
  EXPECT_NEAR(c.ZAngle(), 15 * kDegree, 1e-15);
  ASSERT_EQ(Parse(c, "normal 0 0 -2"), CommandType::kMissing);
  EXPECT_VEC_NEAR(c.Normal(), (Vec3{0, 0, -1}), 0);
  EXPECT_NEAR(c.Dip(), 180 * kDegree, 1e-15);
  ASSERT_EQ(Parse(c, "mode f position 1 2 3 direction 0 0 -4 vertical 0 3 0"), CommandType::kMissing);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{1, 2, 3}), 0);
  EXPECT_VEC_NEAR(c.Direction(), (Vec3{0, 0, -1}), 0);
  EXPECT_VEC_NEAR(c.Vertical(), (Vec3{0, 1, 0}), 0);
  ASSERT_EQ(Parse(c, "position automatic"), CommandType::kMissing);
  EXPECT_TRUE(c.AutoPosition());
}

TEST_F(CameraSettingsTest, KeywordsOfAnotherModeFailBeforeTheirValues) {
  struct Case {
    int mode;
    const char* words;
    const char* message;
  } cases[] = {
      {Camera::kModel, "position 1 2 3", "Viewport is not in first person mode"},
      {Camera::kPlane, "direction 0 1 0", "Viewport is not in first person mode"},
      {Camera::kFirstPerson, "center 1 2 3", "Viewport is in first person mode"},
      {Camera::kFirstPerson, "eyedistance 4", "Viewport is in first person mode"},
      {Camera::kFirstPerson, "rotation 1 2 3", "Viewport is not in model mode"},
      {Camera::kPlane, "rotation 1 2 3", "Viewport is not in model mode"},
      {Camera::kModel, "normal 0 0 1", "Viewport is not in plane mode"},
      {Camera::kModel, "dip 10", "Viewport is not in plane mode"},
      {Camera::kFirstPerson, "dd 10", "Viewport is not in plane mode"},
      {Camera::kModel, "zangle 10", "Viewport is not in plane mode"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.words);
    Camera c;
    c.SetMode(k.mode);
    MemoryStream before, after;
    c.Save(before);
    try {
      Parse(c, k.words);
      ADD_FAILURE() << "no error";
    } catch (const DeviceExcept& e) {
      EXPECT_STREQ(e.Text(), k.message);
    }
    EXPECT_EQ(interp.TokenIndex(), 1) << "no value was read";
    c.Save(after);
    EXPECT_EQ(after.bytes, before.bytes) << "nothing changed";
  }
}

TEST_F(CameraSettingsTest, BadValuesAreConversionErrorsAndEarlierWordsStay) {
  const char* const bad[] = {"size 0", "size -1", "angle 0", "angle 180", "angle 200", "angle -10", "size 1e999"};
  for (const char* words : bad) {
    SCOPED_TRACE(words);
    Camera c;
    EXPECT_THROW(Parse(c, words), CommandType::ConvertExcept);
    EXPECT_EQ(c.Size(), 10);
    EXPECT_NEAR(c.PerspectiveAngle(), 22.5 * kDegree, 1e-15);
  }
  Camera c;
  EXPECT_THROW(Parse(c, "perspective off magnification 2 angle x"), CommandType::ConvertExcept);
  EXPECT_FALSE(c.Perspective());
  EXPECT_EQ(c.Magnification(), 2);
  EXPECT_THROW(Parse(c, "center 1 2"), CommandType::MissingExcept);
  EXPECT_THROW(Parse(c, "mode sideways"), CommandType::UnrecognizedExcept);
}

TEST_F(CameraSettingsTest, ListingOfEachMode) {
  Camera c;
  EXPECT_EQ(Listed(c),
            "       View Mode: Model\n"
            "    Model Center: Auto\n"
            "        Rotation: (0,0,0)\n"
            "    Eye Distance: Auto\n"
            "     Perspective: On\n"
            "   Viewing Angle: 22.5\n"
            "   Magnification: 1\n"
            "   Rotation Inc.: 10\n");
  ASSERT_EQ(Parse(c, "center 1 2 3 distance 4 rotation 30 0 0 perspective off mode firstperson"),
            CommandType::kMissing);
  EXPECT_EQ(Listed(c),
            "       View Mode: First Person\n"
            "   Eye Direction: (0,0.866025,-0.5)\n"
            "    Eye Vertical: (0,0.5,0.866025)\n"
            "    Eye Position: Auto\n"
            "     Perspective: Off\n"
            "       View Size: Auto\n"
            "   Rotation Inc.: 10\n");
  ASSERT_EQ(Parse(c, "mode plane size 12"), CommandType::kMissing);
  EXPECT_EQ(Listed(c),
            "       View Mode: Plane\n"
            "          Normal: (0,-1,0)\n"
            "             Dip: 90\n"
            "   Dip Direction: 180\n"
            "          Origin: (1,2,3)\n"
            "    Eye Distance: 4\n"
            "     Perspective: Off\n"
            "       View Size: 12\n"
            "   Rotation Inc.: 10\n");
}

// Every setting away from its default, in each mode.
void Unusual(Camera& c, int mode) {
  c.SetCenter({1.5, -2.25, 3});
  c.SetRotation(Vec3{10, 20, 30} * kDegree);
  c.SetDistance(17);
  c.SetMagnification(1.7);
  c.SetRotationIncrement(7 * kDegree);
  c.SetPerspectiveAngle(40 * kDegree);
  c.SetSize(3.25);
  c.SetMode(mode);
  c.SetDip(0.3);
  c.SetZAngle(0.1);
  c.SetExtent(-1, -2, 3, 4.5);
  c.SetMoveIncrement(0.125);
}

TEST_F(CameraSettingsTest, RecordSavesAndRestoresByteForByte) {
  for (int mode : {Camera::kFirstPerson, Camera::kModel, Camera::kPlane}) {
    Camera c;
    Unusual(c, mode);
    DVect2 p;
    c.Project({1, 1, 1}, p);
    MemoryStream first;
    c.Save(first);
    EXPECT_EQ(first.bytes.size(), 217u + 42u) << "camera record and extent record";
    Camera back;
    back.Restore(first);
    EXPECT_EQ(first.Remaining(), 0u);
    MemoryStream second;
    back.Save(second);
    EXPECT_EQ(second.bytes, first.bytes) << mode;
    DVect2 q;
    back.Project({1, 1, 1}, q);
    EXPECT_EQ(q.x, p.x);
    EXPECT_EQ(q.y, p.y);
  }
}

// A record of format version 132: the same fields, reals as floats.
TEST_F(CameraSettingsTest, FloatRecordOfOlderFiles) {
  MemoryStream s;
  auto vec = [&](float x, float y, float z) {
    s.WriteF32(x);
    s.WriteF32(y);
    s.WriteF32(z);
  };
  s.WriteI32(Camera::kPlane);
  vec(1, 2, 3);                                                               // eye
  vec(0, 1, 0);                                                               // direction
  vec(0, 0, 1);                                                               // vertical
  s.WriteU8(0);                                                               // automatic position
  vec(4, 5, 6);                                                               // centre
  vec(0.5f, 0, 0);                                                            // angles
  s.WriteF32(8);                                                              // distance
  s.WriteU8(0);                                                               // automatic centre
  s.WriteU8(0);                                                               // automatic distance
  vec(0, -1, 0);                                                              // normal
  for (float v : {1.5f, 3.0f, 0.25f, 0.2f, 2.0f, 0.3f, 6.0f}) s.WriteF32(v);  // dip .. size
  s.WriteU8(0);                                                               // perspective
  s.WriteU8(1);                                                               // automatic size
  vec(-1, -2, 3);                                                             // extent x0 y0 x1
  s.WriteF32(4);                                                              // extent y1
  s.WriteU8(0);                                                               // extent default
  s.WriteF32(0.75f);                                                          // move increment
  s.WriteU8(0);                                                               // automatic move increment
  CurrentRestoreVersions().format = 132;
  Camera c;
  c.Restore(s);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(c.GetMode(), Camera::kPlane);
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{4, 5, 6}), 0);
  EXPECT_EQ(c.Distance(), 8);
  EXPECT_EQ(c.ZAngle(), 0.25);
  EXPECT_EQ(c.RotationIncrement(), double(0.2f));
  EXPECT_EQ(c.Magnification(), 2);
  EXPECT_EQ(c.PerspectiveAngle(), double(0.3f));
  EXPECT_EQ(c.Size(), 6);
  EXPECT_FALSE(c.Perspective());
  EXPECT_TRUE(c.AutoSize());
  EXPECT_EQ(c.Visible(), (ExtentRect{-1, -2, 3, 4}));
  EXPECT_EQ(c.MoveIncrement(), 0.75);
  EXPECT_FALSE(c.AutoMoveIncrement());
}

// A record before format version 7: eye, direction, vertical, centre,
// distance, angle and size, a first-person byte and four flags; the extent
// has no automatic-increment byte. What it lacks keeps its default.
TEST_F(CameraSettingsTest, ShortRecordOfTheOldestFiles) {
  MemoryStream s;
  for (float v : {1.f, 2.f, 3.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 7.f, 8.f, 9.f}) s.WriteF32(v);
  for (float v : {5.f, 0.5f, 11.f}) s.WriteF32(v);
  for (uint8_t b : {7, 0, 0, 1, 0}) s.WriteU8(b);  // first person, centre, position, perspective, size
  for (float v : {0.f, 0.f, 2.f, 2.f}) s.WriteF32(v);
  s.WriteU8(0);
  s.WriteF32(0.5f);
  CurrentRestoreVersions().format = 6;
  Camera c;
  c.Restore(s);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(c.GetMode(), Camera::kFirstPerson);
  EXPECT_VEC_NEAR(c.Eye(), (Vec3{1, 2, 3}), 0);
  EXPECT_VEC_NEAR(c.Centre(), (Vec3{7, 8, 9}), 0);
  EXPECT_EQ(c.Distance(), 5);
  EXPECT_EQ(c.PerspectiveAngle(), 0.5);
  EXPECT_EQ(c.Size(), 11);
  EXPECT_FALSE(c.AutoCenter() || c.AutoPosition() || c.AutoSize());
  EXPECT_TRUE(c.Perspective());
  EXPECT_NEAR(c.RotationIncrement(), 10 * kDegree, 1e-15);
  EXPECT_EQ(c.MoveIncrement(), 0.5);
  EXPECT_TRUE(c.AutoMoveIncrement());
}

TEST_F(CameraSettingsTest, CorruptRecordIsAReadErrorAndChangesNothing) {
  Camera good;
  Unusual(good, Camera::kModel);
  MemoryStream whole;
  good.Save(whole);
  std::string badMode = whole.bytes;
  badMode[0] = 3;
  std::string badFlag = whole.bytes;
  badFlag[4 + 72] = 2;  // automatic position
  for (const std::string& bytes : {badMode, badFlag, whole.bytes.substr(0, 100)}) {
    MemoryStream s;
    s.bytes = bytes;
    Camera c;
    MemoryStream before, after;
    c.Save(before);
    EXPECT_THROW(c.Restore(s), KWRExcept);
    c.Save(after);
    EXPECT_EQ(after.bytes, before.bytes);
  }
}

}  // namespace
