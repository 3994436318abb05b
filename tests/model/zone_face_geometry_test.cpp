// Zone-face geometry: normals (also at magnified displacements), line
// crossings and the projection weights on four- and three-cornered faces.
#include <cmath>

#include "model/grid_fixture.h"
#include "model/zone_shapes.h"

namespace {

using zone_shapes::Shape;

using ZoneFaceGeometryTest = GridTest;

double Sum(const FaceWeights& w) { return w.weight[0] + w.weight[1] + w.weight[2] + w.weight[3]; }

// The unit square in z = 0, corners in the order the projection takes them.
const double kC0[3] = {0, 0, 0}, kC1[3] = {1, 0, 0}, kC2[3] = {1, 1, 0}, kC3[3] = {0, 1, 0};

TEST_F(ZoneFaceGeometryTest, SquareFaceWeights) {
  struct Case {
    double p[3];
    double w[4];
  };
  const Case cases[] = {
      {{0.5, 0.5, 0.0}, {0.25, 0.25, 0.25, 0.25}},
      {{0.5, 0.5, 3.0}, {0.25, 0.25, 0.25, 0.25}},  // off the plane: projected first
      {{0.0, 0.0, 0.0}, {1, 0, 0, 0}},
      {{1.0, 1.0, -2.0}, {0, 0, 1, 0}},
      {{0.5, 0.0, 0.0}, {0.5, 0.5, 0, 0}},
      {{0.25, 0.75, 0.0}, {0.125, 0.125, 0.125, 0.625}},  // the mean of the two splits
  };
  for (const Case& c : cases) {
    FaceWeights w;
    EXPECT_TRUE(ZoneFace::ProjectPointQuad(w, c.p, kC0, kC1, kC2, kC3, 1.0));
    EXPECT_EQ(w.inside, 1);
    EXPECT_EQ(w.warped, 0);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(w.weight[k], c.w[k], 1e-15) << c.p[0] << "," << c.p[1] << " corner " << k;
  }
}

TEST_F(ZoneFaceGeometryTest, PointsOutsideASquareAndTheMissValue) {
  FaceWeights w;
  // Within 1e-5 x tolerance of the edge x = 0: still inside.
  const double close[3] = {-0.5e-5, 0.5, 0.0};
  EXPECT_TRUE(ZoneFace::ProjectPointQuad(w, close, kC0, kC1, kC2, kC3, 1.0));
  EXPECT_NEAR(Sum(w), 1.0, 1e-15);
  // Beyond it: outside, and the miss value holds the least negative triangle minimum.
  const double beyond[3] = {-2e-5, 0.5, 0.0};
  FaceMissValue() = 0.0;
  EXPECT_FALSE(ZoneFace::ProjectPointQuad(w, beyond, kC0, kC1, kC2, kC3, 1.0));
  EXPECT_EQ(w.inside, 0);
  EXPECT_NEAR(FaceMissValue(), -2e-5, 1e-15);
  EXPECT_NEAR(Sum(w), 1.0, 1e-15);
  // A larger tolerance takes it in.
  EXPECT_TRUE(ZoneFace::ProjectPointQuad(w, beyond, kC0, kC1, kC2, kC3, 10.0));
  // Far out: the miss value is replaced by this projection's own.
  const double far[3] = {-0.5, 0.5, 0.0};
  EXPECT_FALSE(ZoneFace::ProjectPointQuad(w, far, kC0, kC1, kC2, kC3, 1.0));
  EXPECT_NEAR(FaceMissValue(), -0.5, 1e-15);
}

TEST_F(ZoneFaceGeometryTest, WarpedQuadrilateral) {
  const double lifted[3] = {0, 1, 0.1};
  const double points[][3] = {{0.5, 0.5, 0.0}, {0.2, 0.7, 0.3}, {0.9, 0.1, -0.2}};
  for (const auto& p : points) {
    FaceWeights w;
    ZoneFace::ProjectPointQuad(w, p, kC0, kC1, kC2, lifted, 1.0);
    EXPECT_EQ(w.warped, 1);
    EXPECT_EQ(w.inside, 1);
    EXPECT_NEAR(Sum(w), 1.0, 1e-14);
  }
  // A flat but not square face is not warped.
  const double c2[3] = {3, 2, 0}, c3[3] = {0, 1, 0};
  FaceWeights w;
  const double p[3] = {1, 0.5, 0};
  ZoneFace::ProjectPointQuad(w, p, kC0, kC1, c2, c3, 1.0);
  EXPECT_EQ(w.warped, 0);
  EXPECT_NEAR(Sum(w), 1.0, 1e-14);
}

TEST_F(ZoneFaceGeometryTest, TriangleFaceWeights) {
  FaceWeights w;
  const double p[3] = {0.25, 0.25, 5.0};
  EXPECT_TRUE(ZoneFace::ProjectPointTriangle(w, p, kC0, kC1, kC3, 1.0));
  EXPECT_NEAR(w.weight[0], 0.5, 1e-15);
  EXPECT_NEAR(w.weight[1], 0.25, 1e-15);
  EXPECT_NEAR(w.weight[2], 0.25, 1e-15);
  EXPECT_EQ(w.weight[3], 0.0);
  EXPECT_EQ(w.warped, 0);
  // Inside down to a weight of -1e-6, whatever the tolerance; the miss value stays.
  FaceMissValue() = -3.0;
  const double edge[3] = {-0.5e-6, 0.5, 0.0}, out[3] = {-2e-6, 0.5, 0.0};
  for (double tol : {1e-3, 1.0, 1e6}) {
    EXPECT_TRUE(ZoneFace::ProjectPointTriangle(w, edge, kC0, kC1, kC3, tol));
    EXPECT_FALSE(ZoneFace::ProjectPointTriangle(w, out, kC0, kC1, kC3, tol));
    EXPECT_NEAR(Sum(w), 1.0, 1e-15);
  }
  EXPECT_EQ(FaceMissValue(), -3.0);
  // A triangle of no area has no coordinates: missed, with no NaN weights.
  const double line[3] = {2, 0, 0};
  EXPECT_FALSE(ZoneFace::ProjectPointTriangle(w, p, kC0, kC1, line, 1.0));
  for (double x : w.weight) EXPECT_FALSE(std::isnan(x));
}

TEST_F(ZoneFaceGeometryTest, ProjectPointThroughFaceReferences) {
  Zone* brick = Shape(kBrick);
  Zone* wedge = Shape(kWedge, 1.0, 3, 0, 0);
  FaceWeights w;
  const double p[3] = {1.5, 0.5, 0.5};  // beside face 3 (x = 1) of the brick
  ZoneFace side(brick, 3);
  EXPECT_TRUE(ZoneFace::ProjectPoint(w, p, &side, 1.0));
  for (double x : w.weight) EXPECT_NEAR(x, 0.25, 1e-15);
  // Face 4 of a wedge has three corners: (x=3+0, y=1), (x=4, y=1), (x=3, y=1, z=1).
  ZoneFace triangle(wedge, 4);
  ASSERT_EQ(triangle.GpCount(), 3);
  const double q[3] = {3.25, 1.0, 0.25};
  EXPECT_TRUE(ZoneFace::ProjectPoint(w, q, &triangle, 1.0));
  EXPECT_NEAR(Sum(w), 1.0, 1e-15);
  EXPECT_EQ(w.weight[3], 0.0);
  // No face or no zone: zeros and false.
  w.weight[0] = 5;
  w.inside = w.warped = 1;
  ZoneFace none;
  EXPECT_FALSE(ZoneFace::ProjectPoint(w, p, &none, 1.0));
  EXPECT_FALSE(ZoneFace::ProjectPoint(w, p, nullptr, 1.0));
  EXPECT_EQ(w.weight[0], 0.0);
  EXPECT_EQ(w.inside + w.warped, 0);
}

TEST_F(ZoneFaceGeometryTest, NormalsAndLineCrossings) {
  Zone* brick = Shape(kBrick);
  Zone* tetra = Shape(kTetrahedron, 1.0, 5, 0, 0);
  double n[3];
  const double expect[6][3] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, -1, 0}};
  for (int f = 0; f < 6; ++f) {
    ZoneFace(brick, f).Normal(n);
    for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(n[i], expect[f][i]) << "face " << f;
  }
  ZoneFace(tetra, 3).Normal(n);  // the slanted triangle 1-3-2
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(n[i], 1.0 / std::sqrt(3.0), 1e-15);

  // Magnified displacements: corner 6 (on face 3) moved along x tilts the face.
  GridPoint* gp = brick->Gp(6);
  gp->displacement[0] = 0.5;
  ZoneFace face(brick, 3);
  face.Evaluate(n, 0.0);
  EXPECT_DOUBLE_EQ(n[0], 1.0);
  face.Evaluate(n, 2.0);  // corner 6 at (2, 0, 1): (-1,1,-1) x (0,1,1) = (2,1,-1)
  EXPECT_NEAR(n[0], 2.0 / std::sqrt(6.0), 1e-15);
  EXPECT_NEAR(n[1], 1.0 / std::sqrt(6.0), 1e-15);
  EXPECT_NEAR(n[2], -1.0 / std::sqrt(6.0), 1e-15);
  // Large strain: the position already holds the displacement.
  Settings().largeStrain = true;
  gp->position[0] += 0.5;
  face.Evaluate(n, 0.0);
  EXPECT_DOUBLE_EQ(n[0], 1.0);
  gp->position[0] -= 0.5;
  Settings().largeStrain = false;

  const double p[3] = {0.2, 0.3, 5.0}, down[3] = {0, 0, -2}, along[3] = {1, 1, 0};
  double x[3];
  ZoneFace bottom(brick, 0);
  ASSERT_TRUE(bottom.IntersectLine(p, down, x));
  EXPECT_DOUBLE_EQ(x[0], 0.2);
  EXPECT_DOUBLE_EQ(x[2], 0.0);
  EXPECT_FALSE(bottom.IntersectLine(p, along, x));  // parallel: the out point stays P
  EXPECT_DOUBLE_EQ(x[2], 5.0);
  EXPECT_FALSE(bottom.IntersectLine(p, down, nullptr));
}

TEST_F(ZoneFaceGeometryTest, ProjectionAllocatesNothing) {
  Zone* brick = Shape(kBrick);
  ZoneFace face(brick, 3);
  FaceWeights w;
  const double p[3] = {1.2, 0.3, 0.4};
  const size_t start = TestAllocations();
  for (int f = 0; f < 6; ++f) {
    ZoneFace each(brick, f);
    ZoneFace::ProjectPoint(w, p, &each, 1.0);
  }
  double n[3];
  face.Normal(n);
  EXPECT_EQ(TestAllocations(), start);
}

}  // namespace
