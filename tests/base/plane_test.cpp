#include "base/plane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>

#include "base/app.h"
#include "base/savestream.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

constexpr double kDeg = 0.017453292519943295;

class PlaneTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void TearDown() override { ResetRestoreVersions(); }

  // Feeds the plane's words one keyword at a time, as a range element does.
  Plane Parsed(const char* words) {
    interp.ClearTokens();
    interp.Expand(String(words));
    Plane p;
    int index = 0;
    while (p.Parse(interp, &index) == CommandType::kOk) {
    }
    EXPECT_FALSE(interp.HasToken(&index)) << words;
    return p;
  }
};

void ExpectVector(const double* v, double x, double y, double z, const char* what) {
  EXPECT_NEAR(v[0], x, 1e-12) << what;
  EXPECT_NEAR(v[1], y, 1e-12) << what;
  EXPECT_NEAR(v[2], z, 1e-12) << what;
}

TEST_F(PlaneTest, OrientationEdgeCases) {
  struct Case {
    const char* words;
    double nx, ny, nz;
    double dipDegrees, ddDegrees;
  };
  const Case cases[] = {
      {"", 0, 0, 1, 0, 0},  // the default plane
      {"dip 90 dd 90", 1, 0, 0, 90, 90},
      {"normal 1 0 0", 1, 0, 0, 90, 90},
      {"normal 0 -1 0", 0, -1, 0, 90, 180},
      {"normal -1 0 0", -1, 0, 0, 90, 270},
      {"normal 0 0 -1", 0, 0, -1, 180, 0},
      {"normal 0 0 0", 0, 0, 0, 0, 0},  // stays zero
      {"normal 0 3 4", 0, 0.6, 0.8, std::atan2(0.6, 0.8) / kDeg, 0},
      {"dip 30 dd 120 normal 0 0 2", 0, 0, 1, 0, 0},  // the last word wins
      // "origin" recomputes the angles from the normal.
      {"dip -30 origin 0 0 0", 0, -0.5, std::sqrt(3.0) / 2, 30, 180},
      {"origin 0 0 0 dip -30", 0, -0.5, std::sqrt(3.0) / 2, -30, 0},
  };
  for (const Case& c : cases) {
    Plane p = Parsed(c.words);
    ExpectVector(p.Normal(), c.nx, c.ny, c.nz, c.words);
    EXPECT_NEAR(p.Dip() / kDeg, c.dipDegrees, 1e-9) << c.words;
    EXPECT_NEAR(p.DipDirection() / kDeg, c.ddDegrees, 1e-9) << c.words;
  }
  double anywhere[3] = {3, -4, 5};
  EXPECT_EQ(Parsed("normal 0 0 0 origin 1 2 3").SignedDistance(anywhere), 0);
}

TEST_F(PlaneTest, OffsetFollowsEveryChange) {
  Plane p = Parsed("origin 0 0 5");
  EXPECT_EQ(p.Offset(), 5);
  double on[3] = {7, -3, 5}, above[3] = {0, 0, 6};
  EXPECT_EQ(p.SignedDistance(on), 0);
  EXPECT_EQ(p.SignedDistance(above), 1);
  p = Parsed("origin 0 0 5 dip 90 dd 90");  // normal +x through (0,0,5)
  EXPECT_NEAR(p.Offset(), 0, 1e-15);
  double x2[3] = {2, 0, 0};
  EXPECT_NEAR(p.SignedDistance(x2), 2, 1e-15);
  EXPECT_FALSE(p.NormalGiven());
  EXPECT_TRUE(Parsed("dip 10 normal 1 1 1").NormalGiven());

  // An unknown word is left for the caller.
  interp.ClearTokens();
  interp.Expand(String("above"));
  int index = 0;
  EXPECT_EQ(p.Parse(interp, &index), CommandType::kUnrecognized);
  EXPECT_EQ(index, 0);
}

TEST_F(PlaneTest, SaveForms) {
  Plane p = Parsed("origin 1 2 3 normal 0 1 1 moveincr 0.5");
  EXPECT_FALSE(p.IncrementDefault());
  MemoryStream view;
  p.Save(view);
  ASSERT_EQ(view.bytes.size(), 57u);
  Plane back;
  back.Restore(view);
  MemoryStream again;
  back.Save(again);
  EXPECT_EQ(again.bytes, view.bytes);
  EXPECT_EQ(back.MoveIncrement(), 0.5);
  EXPECT_NEAR(back.Dip() / kDeg, 45, 1e-12);

  // Files before format 134 have no move increment.
  view.pos = 0;
  view.bytes.resize(48);
  CurrentRestoreVersions().format = 133;
  Plane old = Parsed("moveincr 2");
  old.Restore(view);
  EXPECT_EQ(view.Remaining(), 0u);
  EXPECT_EQ(old.MoveIncrement(), 0);
  EXPECT_TRUE(old.IncrementDefault());
  ResetRestoreVersions();

  // The whole block: 96 bytes, padding written as zeros and ignored when read.
  Plane d = Parsed("dip -30 moveincr 1");
  MemoryStream block;
  d.SaveBlock(block);
  ASSERT_EQ(block.bytes.size(), 96u);
  EXPECT_EQ(block.bytes.substr(73, 7), std::string(7, '\0'));
  block.bytes[75] = 'x';
  Plane e;
  e.RestoreBlock(block);
  EXPECT_EQ(e.Dip(), d.Dip());  // as stored, not recomputed
  MemoryStream block2;
  e.SaveBlock(block2);
  block.bytes[75] = 0;
  EXPECT_EQ(block2.bytes, block.bytes);

  block.pos = 0;
  block.bytes[72] = 2;  // normal-given flag neither 0 nor 1
  EXPECT_THROW(e.RestoreBlock(block), KWRExcept);
  EXPECT_EQ(e.Dip(), d.Dip());  // unchanged by the failed read
}

TEST_F(PlaneTest, ListingAndPairs) {
  std::ostringstream os;
  Parsed("origin 0 0 5 normal 0 -2 0").List(os, 0);
  EXPECT_EQ(os.str(), " Origin: (0,0,5)\n Normal: (0,-1,0)\n    Dip: 90\n Dip D.: 180\n");

  std::ostringstream pair;
  double v[2] = {1, 2};
  pair << std::setw(4);
  PrintPair(pair, v);
  pair << std::setw(3);
  PrintPair(pair, 1, 2, 3);
  EXPECT_EQ(pair.str(), "(   1,   2)(  1,  2,  3)");
}

}  // namespace
