// Points in zones: the exact and the tolerant inside tests in every zone
// type, the zone searches, the grid-point weights at a point, segment
// clipping, exit faces and the particle list upkeep.
#include <cmath>
#include <cstdlib>
#include <new>

#include "model/grid_fixture.h"
#include "model/zone_shapes.h"
#include "support/alloc_counter.h"

namespace {

using zone_shapes::Shape;

using ZonePointsTest = GridTest;

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void Mean(const Zone& z, int face, int corners, double out[3]) {
  out[0] = out[1] = out[2] = 0.0;
  for (int k = 0; k < corners; ++k)
    for (int i = 0; i < 3; ++i) out[i] += z.GetFaceGp(face, k)->position[i] / corners;
}

TEST_F(ZonePointsTest, BoundaryPointsAreInsideAndPointsJustOutsideAreNotInEveryType) {
  for (int type = 0; type < kZoneTypes; ++type) {
    SCOPED_TRACE(zone_tables::kTypeName[type]);
    Reset();
    Zone* z = Shape(type);
    z->SetModelByName("elastic");
    double c[3];
    z->Centroid(c);
    EXPECT_TRUE(z->IsInside(c));
    EXPECT_TRUE(z->ContainsPointTol(c, 0.0));
    for (int i = 0; i < z->GpCount(); ++i) {
      EXPECT_TRUE(z->IsInside(z->Gp(i)->position)) << "corner " << i;
      EXPECT_TRUE(z->ContainsPointTol(z->Gp(i)->position, 0.0)) << "corner " << i;
    }
    for (int f = 0; f < kZoneFaces; ++f) {
      const int n = z->FaceGpCount(f);
      if (n < 3) continue;
      // Edge midpoints lie exactly on the face.
      for (int k = 0; k < n; ++k) {
        double m[3];
        for (int i = 0; i < 3; ++i)
          m[i] = 0.5 * (z->GetFaceGp(f, k)->position[i] + z->GetFaceGp(f, (k + 1) % n)->position[i]);
        EXPECT_TRUE(z->IsInside(m)) << "face " << f << " edge " << k;
        EXPECT_TRUE(z->ContainsPointTol(m, 0.0)) << "face " << f << " edge " << k;
      }
      // A point a millionth outside the middle of the face is outside.
      double normal[3], mid[3], area = 0.0;
      ASSERT_TRUE(z->FaceNormalArea(f, normal, &area));
      EXPECT_GT(area, 0.0);
      Mean(*z, f, n, mid);
      double out[3];
      for (int i = 0; i < 3; ++i) out[i] = mid[i] + 1e-6 * normal[i];
      EXPECT_FALSE(z->IsInside(out)) << "face " << f;
      EXPECT_FALSE(z->ContainsPointTol(out, 0.0)) << "face " << f;
      EXPECT_TRUE(z->ContainsPointTol(out, 1e-3)) << "face " << f;
      EXPECT_EQ(FindZoneContaining(out), nullptr);
      // The normal points away from the centroid.
      double away[3] = {mid[0] - c[0], mid[1] - c[1], mid[2] - c[2]};
      EXPECT_GT(Dot(normal, away), 0.0) << "face " << f;
    }
    EXPECT_EQ(FindZoneContaining(c), z);
    EXPECT_EQ(FindZoneAt(c, true, 0.0), z);
  }
}

TEST_F(ZonePointsTest, ExactInsideTestOnTheUnitCube) {
  Zone* z = Shape(kBrick);
  const double on[3] = {1.0, 0.5, 0.5};
  const double beyond[3] = {1.0 + 1e-9, 0.5, 0.5};
  const double below[3] = {0.5, 0.5, -1e-9};
  EXPECT_TRUE(z->IsInside(on));
  EXPECT_FALSE(z->IsInside(beyond));
  EXPECT_FALSE(z->IsInside(below));
}

TEST_F(ZonePointsTest, FaceNormalsAndAreas) {
  Zone* brick = Shape(kBrick, 2.0);
  double n[3], area = 0;
  ASSERT_TRUE(brick->FaceNormal(3, n, false));  // x = 2: the diagonals' cross product
  EXPECT_DOUBLE_EQ(n[0], 8.0);
  EXPECT_DOUBLE_EQ(n[1], 0.0);
  ASSERT_TRUE(brick->FaceNormal(3, n, true));
  EXPECT_DOUBLE_EQ(n[0], 1.0);
  ASSERT_TRUE(brick->FaceNormalArea(0, n, &area));  // z = 0
  EXPECT_DOUBLE_EQ(n[2], -1.0);
  EXPECT_DOUBLE_EQ(area, 4.0);
  Zone* tetra = Shape(kTetrahedron, 1.0, 5, 0, 0);
  ASSERT_TRUE(tetra->FaceNormalArea(0, n, &area));  // the triangle in z = 0
  EXPECT_DOUBLE_EQ(area, 0.5);
  EXPECT_DOUBLE_EQ(n[2], -1.0);
  // No face: the outputs stay as they were.
  n[0] = 7.0;
  EXPECT_FALSE(tetra->FaceNormal(1, n, true));
  EXPECT_FALSE(tetra->FaceNormalArea(4, n, &area));
  EXPECT_FALSE(brick->FaceNormal(6, n, true));
  EXPECT_FALSE(brick->FaceNormal(-1, n, true));
  EXPECT_EQ(n[0], 7.0);
}

TEST_F(ZonePointsTest, ZoneSearchesSkipNullAndDeletedZones) {
  Zone* a = Shape(kBrick);
  Zone* b = Shape(kBrick);  // the same place, later in the list
  const double p[3] = {0.5, 0.5, 0.5};
  // Zones without a model are tried.
  EXPECT_EQ(FindZoneContaining(p), a);
  EXPECT_EQ(FindZoneAt(p, true, 0.0), a);
  a->SetModelByName("null");
  EXPECT_EQ(FindZoneContaining(p), b);
  EXPECT_EQ(FindZoneAt(p, true, 0.0), b);
  b->SetFlags(Zone::kDeleted);
  EXPECT_EQ(FindZoneAt(p, true, 0.0), nullptr);
  EXPECT_EQ(FindZoneAt(p, false, 0.0), b);
  // A point just outside: found only in the second pass, with a tolerance.
  b->SetFlags(0);
  const double near[3] = {1.0005, 0.5, 0.5};
  EXPECT_EQ(FindZoneAt(near, true, 0.0), nullptr);
  EXPECT_EQ(FindZoneAt(near, true, 1e-3), b);
  EXPECT_EQ(FindZoneAt(near, true, 1e-4), nullptr);
}

TEST_F(ZonePointsTest, WeightsReproduceThePointAndSumToOne) {
  const double points[][3] = {{0.5, 0.5, 0.5}, {0.2, 0.7, 0.1}, {0.9, 0.05, 0.6}, {1.0, 1.0, 1.0}};
  int tested = 0;
  for (int type : {kBrick, kWedge, kDegenerateBrick}) {
    Reset();
    Zone* z = Shape(type, 2.0, 1, 2, 3);
    for (const auto& q : points) {
      double c[3];
      z->Centroid(c);
      // Between the centroid and the sample (which may lie outside the reduced types).
      const double p[3] = {0.5 * (c[0] + 1 + 2 * q[0]), 0.5 * (c[1] + 2 + 2 * q[1]), 0.5 * (c[2] + 3 + 2 * q[2])};
      if (!z->IsInside(p)) continue;
      ++tested;
      ZoneWeights w;
      z->GetWeights(w, p, 0.0);
      ASSERT_EQ(w.found, 1);
      double sum = 0, back[3] = {0, 0, 0};
      for (int s = 0; s < kZoneSlots; ++s) {
        sum += w.weight[s];
        for (int i = 0; i < 3; ++i) back[i] += w.weight[s] * z->Gp(s)->position[i];
      }
      EXPECT_NEAR(sum, 1.0, 1e-12);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], p[i], 1e-12);
    }
  }
  EXPECT_GE(tested, 10);
  // At a corner of a brick both overlays give the whole weight to that corner.
  Reset();
  Zone* brick = Shape(kBrick);
  ZoneWeights w;
  brick->GetWeights(w, brick->Gp(7)->position, 0.0);
  EXPECT_EQ(w.found, 1);
  EXPECT_NEAR(w.weight[7], 1.0, 1e-15);
  // Outside, without tolerance: nothing found, all weights zero.
  const double outside[3] = {1.5, 0.5, 0.5};
  brick->GetWeights(w, outside, 0.0);
  EXPECT_EQ(w.found, 0);
  for (double x : w.weight) EXPECT_EQ(x, 0.0);
  // Just outside, within the tolerance: the weights of the nearest point.
  const double near[3] = {1.0 + 1e-4, 0.25, 0.5};
  brick->GetWeights(w, near, 1e-3);
  EXPECT_EQ(w.found, 1);
  double x = 0;
  for (int s = 0; s < kZoneSlots; ++s) x += w.weight[s] * brick->Gp(s)->position[0];
  EXPECT_NEAR(x, 1.0, 1e-12);
}

TEST_F(ZonePointsTest, TetraNearestPointClampsToTheTetrahedron) {
  Zone* t = Shape(kTetrahedron);
  const TetraDef& def = OverlayDefinitions(kTetrahedron, 0)[0];
  double out[3];
  const double inside[3] = {0.1, 0.2, 0.3};
  ASSERT_TRUE(TetraNearestPoint(def, *t, inside, 0.0, out));
  EXPECT_EQ(out[0], 0.1);
  // Below the face z = 0: projected onto it.
  const double below[3] = {0.2, 0.3, -0.01};
  EXPECT_FALSE(TetraNearestPoint(def, *t, below, 0.005, out));
  ASSERT_TRUE(TetraNearestPoint(def, *t, below, 0.02, out));
  EXPECT_NEAR(out[0], 0.2, 1e-15);
  EXPECT_NEAR(out[1], 0.3, 1e-15);
  EXPECT_NEAR(out[2], 0.0, 1e-15);
  // Beyond corner 1 along x: clamped to the corner.
  const double past[3] = {1.01, -0.001, -0.001};
  ASSERT_TRUE(TetraNearestPoint(def, *t, past, 0.1, out));
  EXPECT_NEAR(out[0], 1.0, 1e-12);
  EXPECT_NEAR(out[1], 0.0, 1e-12);
  EXPECT_NEAR(out[2], 0.0, 1e-12);
}

TEST_F(ZonePointsTest, NearestHelpers) {
  const double a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, q[3] = {0.5, 0, 0};
  double out[3];
  const double before[3] = {-1, 1, 0}, over[3] = {0.5, 1, 0}, after[3] = {2, 1, 0};
  SegmentNearestPoint(a, b, before, q, out);
  EXPECT_EQ(out[0], 0.0);
  SegmentNearestPoint(a, b, over, q, out);
  EXPECT_EQ(out[0], 0.5);
  SegmentNearestPoint(a, b, after, q, out);
  EXPECT_EQ(out[0], 1.0);
  // Flags not above zero never win; ties keep the earlier candidate; with no
  // candidate allowed the first one comes back.
  const double cand[3][3] = {{0, 0, 0}, {2, 0, 0}, {-2, 0, 0}};
  const double p[3] = {0, 0, 0};
  const double flags1[3] = {0.0, 1.0, 1.0};
  EXPECT_EQ(NearestNonNegativeCorner(p, flags1, cand, 3), cand[1]);
  const double flags2[3] = {0.0, -1.0, -1.0};
  EXPECT_EQ(NearestNonNegativeCorner(p, flags2, cand, 3), cand[0]);
  // Triangle: a point beyond an edge goes onto the edge, beyond a corner to the corner.
  const double t0[3] = {0, 0, 0}, t1[3] = {1, 0, 0}, t2[3] = {0, 1, 0}, n[3] = {0, 0, 1};
  const double edge[3] = {0.5, -0.5, 0}, corner[3] = {-1, -1, 0}, in[3] = {0.2, 0.2, 0};
  TriangleNearestPoint(t0, t1, t2, edge, n, out);
  EXPECT_DOUBLE_EQ(out[0], 0.5);
  EXPECT_DOUBLE_EQ(out[1], 0.0);
  TriangleNearestPoint(t0, t1, t2, corner, n, out);
  EXPECT_DOUBLE_EQ(out[0], 0.0);
  EXPECT_DOUBLE_EQ(out[1], 0.0);
  TriangleNearestPoint(t0, t1, t2, in, n, out);
  EXPECT_DOUBLE_EQ(out[0], 0.2);
}

TEST_F(ZonePointsTest, ClipSegmentStopsAtTheNearestFacePlane) {
  Zone* z = Shape(kBrick);
  const double a[3] = {0.5, 0.5, 0.5};
  double b[3] = {3.0, 0.5, 0.75};
  ASSERT_TRUE(z->ClipSegment(a, b));
  EXPECT_DOUBLE_EQ(b[0], 1.0);
  EXPECT_DOUBLE_EQ(b[2], 0.55);
  double inside[3] = {0.6, 0.6, 0.6};
  EXPECT_FALSE(z->ClipSegment(a, inside));
}

struct ExitCase {
  double b[3];
  int face;
  double exit[3];
};

TEST_F(ZonePointsTest, ExitFacesOfTheUnitCube) {
  Zone* z = Shape(kBrick);
  z->UpdateMinEdgeLen();
  const double a[3] = {0.5, 0.5, 0.5};
  // Faces: 0 z=0, 1 z=1, 2 x=0, 3 x=1, 4 y=1, 5 y=0.
  const ExitCase cases[] = {
      {{0.5, 0.5, -1.5}, 0, {0.5, 0.5, 0.0}}, {{0.5, 0.5, 2.5}, 1, {0.5, 0.5, 1.0}},
      {{-0.5, 0.5, 0.5}, 2, {0.0, 0.5, 0.5}}, {{1.5, 0.75, 0.25}, 3, {1.0, 0.625, 0.375}},
      {{0.5, 0.96, 0.5}, 4, {0.5, 1.0, 0.5}},  // the end lies inside, but the face within t = 1.1
      {{0.5, -4.5, 0.5}, 5, {0.5, 0.0, 0.5}},
  };
  for (const ExitCase& c : cases) {
    double x[3], n[3];
    const int face = GetExitFace(*z, a, c.b, x, n, false);
    ASSERT_EQ(face, c.face);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(x[i], c.exit[i], 1e-12) << "face " << c.face;
    double expected[3];
    z->FaceNormal(face, expected, true);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(n[i], expected[i]);
  }
  // A segment that starts on a face and points outward leaves through it.
  const double onFace[3] = {1.0, 0.5, 0.5}, outward[3] = {1.5, 0.5, 0.5};
  double x[3], n[3];
  EXPECT_EQ(GetExitFace(*z, onFace, outward, x, n, false), 3);
  EXPECT_DOUBLE_EQ(x[0], 1.0);
  // An end well inside, or a segment far away: no face in ten attempts.
  const double short1[3] = {0.5, 0.7, 0.5};
  EXPECT_EQ(GetExitFace(*z, a, short1, x, n, false), -1);
  const double far1[3] = {5, 5, 5}, far2[3] = {6, 6, 6};
  EXPECT_EQ(GetExitFace(*z, far1, far2, x, n, false), -1);
  try {
    GetExitFace(*z, a, a, x, n, false);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Zero length line segment in GetExitFace.");
  }
}

TEST_F(ZonePointsTest, ParallelSegmentInAFacePlane) {
  Zone* z = Shape(kBrick);
  z->UpdateMinEdgeLen();
  const double a[3] = {1.0, 0.5, 0.5}, b[3] = {1.0, 0.6, 0.5};
  double x[3], n[3];
  // With the flag the face whose plane holds the start is taken at the start.
  ASSERT_EQ(GetExitFace(*z, a, b, x, n, true), 3);
  EXPECT_EQ(x[0], 1.0);
  EXPECT_EQ(x[1], 0.5);
  EXPECT_EQ(x[2], 0.5);
  // Without it the parallel face is never taken at once: only after the
  // segment was tilted by shrinking the start and stretching the end.
  ASSERT_EQ(GetExitFace(*z, a, b, x, n, false), 3);
  EXPECT_GT(x[1], 0.5);
  // A start off the plane by more than 1% of the shortest edge is not in it.
  const double off[3] = {0.98, 0.5, 0.5}, offEnd[3] = {0.98, 0.6, 0.5};
  ASSERT_EQ(GetExitFace(*z, off, offEnd, x, n, true), 3);
  EXPECT_GT(x[1], 0.5);
}

TEST_F(ZonePointsTest, FacesWithMarkedGridPointsComeLast) {
  Zone* z = Shape(kBrick);
  z->UpdateMinEdgeLen();
  // Through the edge x = 1, y = 1 shared by faces 3 and 4.
  const double a[3] = {0.5, 0.5, 0.5}, b[3] = {1.5, 1.5, 0.5};
  double x[3], n[3];
  EXPECT_EQ(GetExitFace(*z, a, b, x, n, false), 3);
  z->Gp(6)->flags |= NodeBase::kFixPorePressure;  // on face 3, not on face 4
  EXPECT_EQ(GetExitFace(*z, a, b, x, n, false), 4);
}

// A chemistry record that counts what the particle upkeep tells it.
class CountingRecord : public ZoneRecord {
 public:
  int changed = 0;
  uint32_t left = 0;
  std::unique_ptr<ZoneRecord> Clone() const override { return std::make_unique<CountingRecord>(*this); }
  void Save(SaveStream&) const override {}
  void Restore(SaveStream&) override {}
  void MarkParticlesChanged() override { ++changed; }
  void AddParticlesLeft(uint32_t count) override { left += count; }
};

std::vector<Particle*> g_removed;

TEST_F(ZonePointsTest, ParticleUpkeep) {
  Zone* z = Shape(kBrick);
  auto record = std::make_unique<CountingRecord>();
  CountingRecord* chem = record.get();
  z->chemistry = std::move(record);
  int tokens[3];
  Particle* p[3] = {reinterpret_cast<Particle*>(&tokens[0]), reinterpret_cast<Particle*>(&tokens[1]),
                    reinterpret_cast<Particle*>(&tokens[2])};
  z->particles = {p[0], p[1], p[2]};
  z->RemoveParticle(p[1]);
  EXPECT_EQ(z->particles, (std::vector<Particle*>{p[0], p[2]}));
  EXPECT_EQ(chem->left, 1u);
  try {
    z->RemoveParticle(p[1]);
    FAIL();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Particle not found in zone.");
  }
  EXPECT_EQ(chem->changed, 2);
  g_removed.clear();
  ParticleListRemover() = [](Particle* q) { g_removed.push_back(q); };
  EXPECT_EQ(z->DeleteParticles(), 2u);
  ParticleListRemover() = nullptr;
  EXPECT_TRUE(z->particles.empty());
  EXPECT_EQ(g_removed, (std::vector<Particle*>{p[0], p[2]}));
  EXPECT_EQ(chem->left, 3u);
}

TEST_F(ZonePointsTest, PointQueriesAllocateNothing) {
  Zone* z = Shape(kBrick);
  z->UpdateMinEdgeLen();
  const double p[3] = {0.3, 0.6, 0.2}, far[3] = {4, 0.5, 0.5}, near[3] = {1.0001, 0.5, 0.5};
  double x[3], n[3];
  ZoneWeights w;
  const size_t start = TestAllocations();
  bool all = z->IsInside(p) && z->ContainsPointTol(near, 1e-3) && FindZoneContaining(p) == z &&
             FindZoneAt(near, true, 1e-3) == z && GetExitFace(*z, p, far, x, n, true) == 3;
  z->GetWeights(w, p, 0.0);
  EXPECT_EQ(TestAllocations(), start);
  EXPECT_TRUE(all);
}

}  // namespace
