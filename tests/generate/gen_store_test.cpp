// The GENERATE geometry store: reference points, triangles, neighbour links
// and volume building.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/except.h"
#include "generate/gen_fixture.h"
#include "generate/gen_geometry.h"

namespace {

std::vector<int32_t> PointIds(const GenGeometry& g) {
  std::vector<int32_t> ids;
  for (const GenPoint* p : g.Points()) ids.push_back(p->Id());
  return ids;
}

std::string GenError(GenGeometry& g, const Vec3& a, const Vec3& b, const Vec3& c) {
  try {
    g.CreateTriangle(a, b, c, 1, String(), nullptr);
  } catch (const GenExcept& e) {
    return e.Text();
  }
  return "created";
}

// The first point in list order within the L1 distance, found the slow way.
const GenPoint* FirstWithin(const GenGeometry& g, const Vec3& p, double tolerance) {
  for (const GenPoint* q : g.Points()) {
    const Vec3& a = q->Position();
    if (std::fabs(a.x - p.x) + std::fabs(a.y - p.y) + std::fabs(a.z - p.z) < tolerance) return q;
  }
  return nullptr;
}

TEST(GenPoints, CommandIdsHonourGivenIdsAndFillTheSmallestGap) {
  GenGeometry g;
  g.PlacePoint(V(0, 0, 0), true, 3);
  g.PlacePoint(V(1, 0, 0), false, 0);
  g.PlacePoint(V(0, 1, 0), false, 0);
  g.PlacePoint(V(0, 0, 1), false, 0);
  EXPECT_EQ(PointIds(g), (std::vector<int32_t>{3, 1, 2, 4}));
  // An id that exists moves its point; a new id makes a point.
  GenPoint* moved = g.PlacePoint(V(5, 5, 5), true, 1);
  EXPECT_EQ(moved, g.FindPoint(1));
  EXPECT_EQ(moved->Position().x, 5.0);
  g.PlacePoint(V(7, 7, 7), true, 9);
  EXPECT_EQ(PointIds(g), (std::vector<int32_t>{3, 1, 2, 4, 9}));
  EXPECT_EQ(g.FindPoint(8), nullptr);
}

TEST(GenPoints, CommandWithoutIdMovesAPointWithinItsTinyTolerance) {
  struct Case {
    Vec3 existing, given;
    bool moves;
  };
  const Case cases[] = {
      {V(0, 0, 0), V(1e-15, 0, 0), true},         // below 1e-14
      {V(0, 0, 0), V(2e-14, 0, 0), false},        // beyond it
      {V(1e6, 0, 0), V(1e6 + 5e-9, 0, 0), true},  // 1e-14 of the largest coordinate
      {V(1e6, 0, 0), V(1e6, 2e-8, 0), false},
  };
  for (const Case& c : cases) {
    GenGeometry g;
    GenPoint* first = g.PlacePoint(c.existing, false, 0);
    GenPoint* second = g.PlacePoint(c.given, false, 0);
    EXPECT_EQ(second == first, c.moves) << c.given.x << " " << c.given.y;
    EXPECT_EQ(g.Points().Count(), c.moves ? 1u : 2u);
    EXPECT_EQ(second->Position().x, c.given.x);  // moved to the exact position
  }
}

TEST(GenPoints, TriangleCornersReuseNearbyPointsAndNumberNewOnesByCount) {
  GenGeometry g;
  g.PlacePoint(V(9, 9, 9), true, 2);
  GenPoint* a = g.FindOrCreatePoint(V(1000, 0, 0));
  EXPECT_EQ(a->Id(), 2);  // the two ways of numbering may meet
  EXPECT_EQ(g.FindPoint(2)->Position().x, 9.0);
  EXPECT_EQ(g.FindOrCreatePoint(V(1000.0005, 0, 0)), a);
  EXPECT_EQ(a->Position().x, 1000.0);  // found, not moved
  EXPECT_NE(g.FindOrCreatePoint(V(1000.002, 0, 0)), a);
  // Near the largest double the search box runs past it.
  GenPoint* far = g.FindOrCreatePoint(V(1.7e308, -1.7e308, 0));
  EXPECT_EQ(g.FindOrCreatePoint(V(1.7e308 * (1 - 1e-9), -1.7e308, 0)), far);
  EXPECT_EQ(g.PlacePoint(V(1.7e308, -1.7e308, 0), false, 0), far);
  // At the origin itself the tolerance is 1e-6; elsewhere it is relative.
  GenPoint* o = g.FindOrCreatePoint(V(0, 0, 0));
  GenPoint* small = g.FindOrCreatePoint(V(5e-7, 0, 0));
  EXPECT_NE(small, o);
  EXPECT_EQ(g.FindOrCreatePoint(V(0, 0, 0)), o);
  EXPECT_EQ(g.FindOrCreatePoint(V(5e-7 + 1e-13, 0, 0)), small);
}

// The point search must give what a walk over the list in order gives,
// whatever the scale of the coordinates, across powers of two of the
// tolerance, with points that move, and with the first of several
// candidates winning.
TEST(GenPoints, SearchAgreesWithAWalkInListOrder) {
  GenGeometry g;
  // Straddling the power of two 2^-19 of the tolerance (1e-6 x 1.9073486328125).
  GenPoint* low = g.FindOrCreatePoint(V(1.9073486328125 - 1e-7, 0, 0));
  EXPECT_EQ(g.FindOrCreatePoint(V(1.9073486328125 + 1e-7, 0, 0)), low);

  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pick(0, 7), scale(-8, 8);
  std::uniform_real_distribution<double> jitter(-3e-6, 3e-6);
  const double bases[] = {0.0, 1.0, -1.0, 0.5, 1.9073486328125, 3.0, -7.25, 1024.0};
  for (int i = 0; i < 4000; ++i) {
    const double s = std::pow(10.0, scale(random));
    Vec3 p = V(bases[pick(random)] * s, bases[pick(random)] * s, bases[pick(random)] * s);
    p = p + V(jitter(random), jitter(random), jitter(random)) * (i % 3 == 0 ? s : 1.0);
    double m = std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    if (i % 5 == 0) {
      const GenPoint* expected = FirstWithin(g, p, std::max(1e-14 * m, 1e-14));
      const uint32_t before = g.Points().Count();
      GenPoint* got = g.PlacePoint(p, false, 0);
      if (expected)
        EXPECT_EQ(got, expected) << i;
      else
        EXPECT_EQ(g.Points().Count(), before + 1) << i;
    } else {
      const GenPoint* expected = FirstWithin(g, p, 1e-6 * (m == 0.0 ? 1.0 : m));
      const uint32_t before = g.Points().Count();
      GenPoint* got = g.FindOrCreatePoint(p);
      if (expected)
        EXPECT_EQ(got, expected) << i;
      else
        EXPECT_EQ(g.Points().Count(), before + 1) << i;
    }
  }
}

TEST(GenTriangles, ClockwiseCornersAreReorderedAndReportedOnlyToAConsole) {
  GenGeometry g;
  std::ostringstream console;
  GenTriangle* t = g.CreateTriangle(V(0, 0, 0), V(0, 1, 0), V(1, 0, 0), 4, String("roof"), &console);
  EXPECT_EQ(console.str(), "Triangle: switching points 2 and 3 to maintain counter clockwise orderering\n");
  EXPECT_EQ(t->Point(1)->Position().x, 1.0);
  EXPECT_EQ(t->Normal().z, 1.0);
  EXPECT_EQ(t->GetSurfaceId(), 4);
  EXPECT_EQ(std::string(t->GetName().c_str()), "roof");
  // Without a console nothing is said; a vertical triangle keeps its order.
  GenTriangle* quiet = g.CreateTriangle(V(0, 0, 5), V(0, 1, 5), V(1, 0, 5), 1, String(), nullptr);
  EXPECT_EQ(quiet->Point(1)->Position().x, 1.0);
  GenTriangle* wall = g.CreateTriangle(V(0, 0, 0), V(0, 0, 1), V(0, 1, 0), 1, String(), &console);
  EXPECT_EQ(wall->Point(1)->Position().z, 1.0);
  EXPECT_EQ(wall->Normal().z, 0.0);
  EXPECT_EQ(wall->Normal().x, -1.0);
  EXPECT_EQ(wall->PlaneConstant(), 0.0);
  EXPECT_EQ(console.str(), "Triangle: switching points 2 and 3 to maintain counter clockwise orderering\n");
  double c[3];
  t->GetPosition(c);
  EXPECT_DOUBLE_EQ(c[0], 1.0 / 3.0);
  EXPECT_EQ(t->LocatedKind(), 13);
}

TEST(GenTriangles, DegenerateAndDuplicateTrianglesAreRefused) {
  GenGeometry g;
  EXPECT_EQ(GenError(g, V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)), "Attempted to create a degenerate triangle");
  EXPECT_EQ(GenError(g, V(0, 0, 0), V(0, 0, 0), V(0, 1, 0)), "Attempted to create a degenerate triangle");
  // Two corners within the corner tolerance would share one reference point.
  EXPECT_EQ(GenError(g, V(1, 0, 0), V(1 + 1e-7, 0, 0), V(1, 1, 0)), "Attempted to create a degenerate triangle");
  EXPECT_EQ(GenError(g, V(0, 0, 0), V(NAN, 0, 0), V(0, 1, 0)), "Attempted to create a degenerate triangle");
  EXPECT_EQ(g.Triangles().Count(), 0u);

  EXPECT_EQ(GenError(g, V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)), "created");
  // The same three points in any order, while the first is free.
  EXPECT_EQ(GenError(g, V(1, 0, 0), V(0, 1, 0), V(0, 0, 0)), "Free surface already exists at that location");
  EXPECT_EQ(GenError(g, V(0, 1, 0), V(1, 0, 0), V(0, 0, 0)), "Free surface already exists at that location");
  EXPECT_EQ(g.Triangles().Count(), 1u);
}

// Corners too large for a plain cross product still give the unit normal of
// the same triangle at unit size, and collinear ones are still refused.
TEST(GenTriangles, HugeCornersKeepTheirNormal) {
  GenGeometry unit;
  const Vec3 expected = unit.CreateTriangle(V(1, 0, 0), V(0, 1, 0), V(0, 0, 1), 1, String(), nullptr)->Normal();
  for (double s : {1e100, 1e200, 1e307}) {
    SCOPED_TRACE(s);
    GenGeometry g;
    const GenTriangle* t = g.CreateTriangle(V(s, 0, 0), V(0, s, 0), V(0, 0, s), 1, String(), nullptr);
    EXPECT_DOUBLE_EQ(t->Normal().x, expected.x);
    EXPECT_DOUBLE_EQ(t->Normal().y, expected.y);
    EXPECT_DOUBLE_EQ(t->Normal().z, expected.z);
    EXPECT_DOUBLE_EQ(t->PlaneConstant() / s, expected.x);
    EXPECT_EQ(GenError(g, V(s, 0, 0), V(s / 2, 0, 0), V(s / 4, 0, 0)), "Attempted to create a degenerate triangle");
  }
}

TEST(GenTriangles, ATriangleOfAVolumeMayBeMadeAgainAsAFreeOne) {
  GenGeometry g;
  AddTetrahedron(g);
  g.BuildVolumes(nullptr, true);
  ASSERT_EQ(g.Volumes().Count(), 1u);
  EXPECT_EQ(GenError(g, V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)), "created");
  EXPECT_EQ(GenError(g, V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)), "Free surface already exists at that location");
}

// The triangle across the edge a-b of t.
const GenTriangle* Across(const GenTriangle* t, const GenPoint* a, const GenPoint* b) {
  for (int k = 0; k < 3; ++k) {
    const GenPoint* p = t->Point(k);
    const GenPoint* q = t->Point((k + 1) % 3);
    if ((p == a && q == b) || (p == b && q == a)) return t->Neighbour(k);
  }
  ADD_FAILURE() << "no such edge";
  return nullptr;
}

TEST(GenTriangles, NeighboursLinkInListOrderAndTheLastMatchStays) {
  GenGeometry g;
  const GenPoint* a = g.FindOrCreatePoint(V(0, 0, 0));
  const GenPoint* b = g.FindOrCreatePoint(V(1, 0, 0));
  // Three triangles on the edge (0,0,0)-(1,0,0): the third finds both slots taken.
  GenTriangle* t1 = g.CreateTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), 1, String(), nullptr);
  GenTriangle* t2 = g.CreateTriangle(V(0, 0, 0), V(1, 0, 0), V(0, -1, 1), 1, String(), nullptr);
  GenTriangle* t3 = g.CreateTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 0, 1), 1, String(), nullptr);
  EXPECT_EQ(Across(t1, a, b), t2);
  EXPECT_EQ(Across(t2, a, b), t1);
  EXPECT_EQ(Across(t3, a, b), nullptr);
  // Deleting the second frees the first's slot and leaves nothing pointing at it.
  g.DeleteTriangle(t2);
  EXPECT_EQ(Across(t1, a, b), nullptr);
  // A fourth triangle on that edge links with the first, then with the third,
  // and keeps the third; the first keeps the fourth.
  GenTriangle* t4 = g.CreateTriangle(V(0, 0, 0), V(1, 0, 0), V(0, -1, -1), 1, String(), nullptr);
  EXPECT_EQ(Across(t1, a, b), t4);
  EXPECT_EQ(Across(t3, a, b), t4);
  EXPECT_EQ(Across(t4, a, b), t3);
  g.DeleteTriangle(nullptr);
}

TEST(GenVolumes, FourTrianglesOfATetrahedronCloseIntoOneVolume) {
  GenGeometry g;
  std::ostringstream console;
  const Vec3 corners[4][3] = {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)},
                              {V(0, 0, 0), V(0, 0, 1), V(1, 0, 0)},
                              {V(0, 0, 0), V(0, 1, 0), V(0, 0, 1)},
                              {V(1, 0, 0), V(0, 0, 1), V(0, 1, 0)}};
  std::vector<bool> open;
  for (const auto& c : corners) {
    g.CreateTriangle(c[0], c[1], c[2], 1, String(), nullptr);
    open.push_back(g.BuildVolumes(&console, true));
  }
  EXPECT_EQ(console.str(),
            "\n1 Surfaces present\n\n2 Surfaces present\n\n3 Surfaces present\nVolume 1 Created with 4 Surfaces\n");
  EXPECT_EQ(open, (std::vector<bool>{true, true, true, false}));
  ASSERT_EQ(g.Volumes().Count(), 1u);
  const GenVolume* v = g.FindVolume(1);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->TriangleCount(), 4);
  for (const GenTriangle* t : g.Triangles()) EXPECT_EQ(t->VolumeNumber(), 1);
  // The chain: the walk takes neighbours in edge order and puts each at its head.
  std::vector<int32_t> chain;
  for (const GenTriangle* t = v->First(); t; t = t->Next()) chain.push_back(t->Id());
  EXPECT_EQ(chain, (std::vector<int32_t>{4, 3, 2, 1}));
  EXPECT_EQ(v->MinExtent().x, 0.0);
  EXPECT_EQ(v->MaxExtent().z, 1.0);
  // A further pass finds nothing free.
  console.str("");
  EXPECT_FALSE(g.BuildVolumes(&console, true));
  EXPECT_EQ(console.str(), "");
}

TEST(GenVolumes, AQuietPassMarksOpenTrianglesAndMakesNoVolume) {
  GenGeometry g;
  GenTriangle* lone = g.CreateTriangle(V(5, 0, 0), V(6, 0, 0), V(5, 1, 0), 1, String(), nullptr);
  AddTetrahedron(g);
  std::ostringstream console;
  EXPECT_FALSE(g.BuildVolumes(&console, false));
  EXPECT_EQ(console.str(), "");
  EXPECT_EQ(g.Volumes().Count(), 0u);
  EXPECT_EQ(lone->VolumeNumber(), -1);
  for (const GenTriangle* t : g.Triangles()) {
    if (t == lone) continue;
    EXPECT_EQ(t->VolumeNumber(), 0);
    EXPECT_EQ(t->Next(), nullptr);
  }
  // The open mark stays until the caller of quiet passes releases it.
  EXPECT_FALSE(g.BuildVolumes(&console, false));
  EXPECT_EQ(lone->VolumeNumber(), -1);
  EXPECT_EQ(g.ReleaseOpenTriangles(), 1);
  EXPECT_EQ(lone->VolumeNumber(), 0);
  EXPECT_EQ(g.ReleaseOpenTriangles(), 0);
  EXPECT_TRUE(g.BuildVolumes(&console, true));
  EXPECT_EQ(console.str(), "Volume 1 Created with 4 Surfaces\n\n1 Surfaces present\n");
}

TEST(GenVolumes, DeletingATriangleOfAVolumeLeavesNoReferenceToIt) {
  GenGeometry g;
  AddTetrahedron(g);
  g.BuildVolumes(nullptr, true);
  GenTriangle* gone = nullptr;
  for (GenTriangle* t : g.Triangles())
    if (t->Id() == 4) gone = t;
  g.DeleteTriangle(gone);
  EXPECT_EQ(g.FindVolume(1)->TriangleCount(), 3);
  for (const GenTriangle* t : g.Triangles())
    for (int k = 0; k < 3; ++k) EXPECT_NE(t->Neighbour(k), gone);
  // The open volume is still walked safely by the queries.
  const double p[3] = {0.1, 0.1, 0.1};
  GenVolume::Contains(g.FindVolume(1), p);
}

// A large closed surface is linked and collected without quadratic work or
// deep recursion.
TEST(GenVolumes, ALargeClosedSurfaceBecomesOneVolume) {
  GenGeometry g;
  AddCube(g, 40, 2.0);
  std::ostringstream console;
  g.BuildVolumes(&console, true);
  EXPECT_EQ(console.str(), "Volume 1 Created with 19200 Surfaces\n");
  for (const GenTriangle* t : g.Triangles())
    for (int k = 0; k < 3; ++k) ASSERT_NE(t->Neighbour(k), nullptr);
  EXPECT_EQ(g.Points().Count(), 6u * 41 * 41 - 12 * 41 + 8);
  const double inside[3] = {1.0, 0.3, 1.7}, outside[3] = {2.0001, 1.0, 1.0};
  EXPECT_TRUE(GenVolume::Contains(g.FindVolume(1), inside));
  EXPECT_FALSE(GenVolume::Contains(g.FindVolume(1), outside));
}

TEST(GenStore, ResetGivesAnEmptyActiveStoreOfANewGeneration) {
  ResetGenGeometry();
  GenGeometry* before = ActiveGenGeometry();
  ASSERT_NE(before, nullptr);
  const uint64_t generation = before->Generation();
  AddTetrahedron(*before);
  EXPECT_TRUE(BuildVolumes(nullptr, true) == false);
  EXPECT_NE(FindGenPoint(1), nullptr);
  ResetGenGeometry();
  GenGeometry* after = ActiveGenGeometry();
  ASSERT_NE(after, nullptr);
  EXPECT_NE(after->Generation(), generation);
  EXPECT_EQ(after->Points().Count() + after->Triangles().Count() + after->Volumes().Count(), 0u);
  EXPECT_EQ(FindGenPoint(1), nullptr);
  GenTriangle* t = CreateGenTriangle(V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), 1, String(), nullptr);
  EXPECT_EQ(FindOrCreateGenPoint(V(1, 0, 0)), t->Point(1));
  DeleteGenTriangle(t);
  EXPECT_EQ(after->Triangles().Count(), 0u);
  ResetGenGeometry();
}

}  // namespace
