#include "base/range_geometric.h"

#include <gtest/gtest.h>

#include <string>

#include "base/range_named.h"
#include "support/interp_fixture.h"

namespace {

class At : public LocatedObject {
 public:
  At(double x, double y, double z) : LocatedObject(kZone), p_{x, y, z} {}
  void GetPosition(double position[3]) const override {
    for (int i = 0; i < 3; ++i) position[i] = p_[i];
  }

 private:
  double p_[3];
};

class GeometricRangeTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void SetUp() override { ClearNamedRanges(); }
  void TearDown() override { ClearNamedRanges(); }

  Range Phrase(const char* text) {
    interp.ClearTokens();
    interp.Expand(String(text));
    Range r;
    int index = 0;
    EXPECT_EQ(r.ParsePhrase(interp, &index), 0) << text;
    return r;
  }
  const AxisRangeElement& Axis(const Range& r, int n = 0) {
    return *static_cast<const AxisRangeElement*>(r.ElementAt(n));
  }
  std::string Listing(const Range& r) {
    device.Take();
    r.PrintElements(interp);
    return device.Take();
  }
};

TEST_F(GeometricRangeTest, SingleValueTolerance) {
  struct Case {
    const char* phrase;
    double lower, upper;
    bool single;
  };
  const Case cases[] = {
      {"x 5", 5 - 5e-6, 5 + 5e-6, true},
      {"x 0", -1e-6, 1e-6, true},
      {"x 1", 1 - 1e-6, 1 + 1e-6, true},
      {"x -1000", -1000 - 1e-6, -1000 + 1e-6, true},  // the tolerance never falls below 1e-6
      {"y 2e6", 2e6 - 2, 2e6 + 2, true},
      {"z 3 1", 1, 3, false},      // bounds put in order
      {"x 0 1 2 3", 2, 3, false},  // a later value replaces an earlier one
  };
  for (const Case& c : cases) {
    Range r = Phrase(c.phrase);
    ASSERT_EQ(r.ElementCount(), 1) << c.phrase;
    EXPECT_DOUBLE_EQ(Axis(r).Lower(), c.lower) << c.phrase;
    EXPECT_DOUBLE_EQ(Axis(r).Upper(), c.upper) << c.phrase;
    EXPECT_EQ(Axis(r).Single(), c.single) << c.phrase;
  }
  // A number missing after the axis word: the interval [0, 0], and the next
  // word starts the next element.
  Range r = Phrase("x y 0 1");
  ASSERT_EQ(r.ElementCount(), 2);
  EXPECT_EQ(Axis(r, 0).Lower(), 0);
  EXPECT_EQ(Axis(r, 0).Upper(), 0);
  EXPECT_EQ(Axis(r, 1).Axis(), 1);
  // The single value is written back as the midpoint.
  EXPECT_EQ(Phrase("x 5").CommandText().str(), "range x 5.000000e+00  ");
}

TEST_F(GeometricRangeTest, BoundariesAreInside) {
  struct Case {
    const char* phrase;
    double x, y, z;
    bool inside;
  };
  const Case cases[] = {
      {"x 5", 5 + 4e-6, 0, 0, true},
      {"x 5", 5 + 6e-6, 0, 0, false},
      {"z -1 2", 0, 0, -1, true},
      {"z -1 2", 0, 0, 2, true},
      {"sphere center 1 1 1 radius 5", 4, 5, 1, true},  // on the surface
      {"sphere center 1 1 1 radius 5", 4, 5, 1.01, false},
      {"sphere radius -1", 0, 0, 0, false},               // a negative radius leaves nothing inside
      {"cylinder end2 0 0 3 radius 1", 1, 0, 1.5, true},  // mantle
      {"cylinder end2 0 0 3 radius 1", 0, 0, 3, true},    // end caps
      {"cylinder end2 0 0 3 radius 1", 0.5, 0, 0, true},
      {"cylinder end2 0 0 3 radius 1", 0, 0, 3.0001, false},
      {"cylinder end2 0 0 3 radius 1", 0, 0, -1e-9, false},
      {"cylinder end2 0 0 3 radius 1", 1.01, 0, 1, false},
      {"cylinder end1 1 2 3 end2 4 6 8.5 radius 0", 4, 6, 8.5, true},  // an oblique axis: its ends
      {"cylinder end1 1 2 3 end2 4 6 8.5 radius 0", 1, 2, 3, true},
      {"cylinder end1 1 2 3 end2 4 6 8.5 radius 0.1", 4.01, 6, 8.6, false},
      {"cylinder end1 1 1 1 end2 1 1 1 radius 2", 3, 1, 1, true},  // one point: a sphere
      {"cylinder end1 1 1 1 end2 1 1 1 radius 2", 3.1, 1, 1, false},
      {"plane normal 0 0 1 above", 5, 5, 0, true},  // on the plane: above and below
      {"plane normal 0 0 1 below", 5, 5, 0, true},
      {"plane normal 0 0 1 above", 0, 0, -1e-12, false},
      {"plane origin 0 0 1 distance 0.5", 0, 0, 0.5, true},
      {"plane origin 0 0 1 distance 0.5", 0, 0, 1.5, true},
      {"plane origin 0 0 1 distance 0.5", 0, 0, 1.6, false},
      {"plane origin 0 0 1 distance 0.5", 0, 0, 0.4, false},
      {"plane dip 90 dd 90 origin 2 0 0 above", 2.5, 0, 0, true},  // normal +x
      {"plane dip 90 dd 90 origin 2 0 0 above", 1.5, 0, 0, false},
      {"annulus radius 1 2", 1, 0, 0, true},
      {"annulus radius 1 2", 0, 2, 0, true},
      {"annulus radius 1 2", 0, 0, 0.5, false},
      {"annulus radius 1 2", 0, 0, 2.5, false},
      {"annulus radius 2 1", 1.5, 0, 0, false},  // radii the wrong way round: nothing inside
  };
  for (const Case& c : cases) {
    At p(c.x, c.y, c.z);
    EXPECT_EQ(Phrase(c.phrase).IsIn(&p), c.inside) << c.phrase << " at " << c.x << "," << c.y << "," << c.z;
  }
}

TEST_F(GeometricRangeTest, ElementListings) {
  Phrase("name left x 0 1");
  Range r = Phrase(
      "z 5 sphere center 1 2 3 radius 4 cylinder end1 0 0 0 end2 0 0 1 radius 0.5 "
      "plane origin 0 0 1 not annulus radius 1 2 any plane distance 0.25 left");
  EXPECT_EQ(Listing(r),
            "      Z at 5\n"
            "      Sphere\n        Center = (1,2,3)\n        Radius = 4\n"
            "      Cylinder\n        End1 = (0,0,0)\n        End2 = (0,0,1)\n        Radius = 0.5\n"
            "      Not Plane\n        Origin: (0,0,1)\n        Normal: (0,0,1)\n           Dip: 0\n"
            "        Dip D.: 0\n        Above\n"
            "      Any Annulus\n        Center = (0,0,0)\n      Radius From 1.000000e+00 To 2.000000e+00\n"
            "      Plane\n        Origin: (0,0,0)\n        Normal: (0,0,1)\n           Dip: 0\n"
            "        Dip D.: 0\n        Distance = 0.25\n"
            "      left (Named Range)\n");
  EXPECT_EQ(r.CommandText().str(),
            "range z 5.000000e+00  sphere center=(1.000000e+00,2.000000e+00,3.000000e+00) radius=4.000000e+00  "
            "cylinder end1=(0.000000e+00,0.000000e+00,0.000000e+00) end2=(0.000000e+00,0.000000e+00,1.000000e+00) "
            "radius=5.000000e-01  "
            "plane normal=(0.000000e+00,0.000000e+00,1.000000e+00) origin=(0.000000e+00,0.000000e+00,1.000000e+00) "
            "above not "
            "annulus center=(0.000000e+00,0.000000e+00,0.000000e+00) radius=1.000000e+00,2.000000e+00 any "
            "plane normal=(0.000000e+00,0.000000e+00,1.000000e+00) origin=(0.000000e+00,0.000000e+00,0.000000e+00) "
            "distance=2.500000e-01  left  ");
}

}  // namespace
