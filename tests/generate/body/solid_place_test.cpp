// The ready-made arrangements, and placing one solid into another through
// number maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "generate/body/solid.h"
#include "generate/gen_math.h"
#include "solid_check.h"
#include "support/alloc_counter.h"

namespace {

struct Template {
  const char* name;
  void (Solid::*make)();
};
const Template kTemplates[] = {
    {"cylinder", &Solid::MakeCylinder},       {"radbrick", &Solid::MakeRadBrick}, {"radtunnel", &Solid::MakeRadTunnel},
    {"radcylinder", &Solid::MakeRadCylinder}, {"cshell", &Solid::MakeCShell},     {"cylint", &Solid::MakeCylInt},
    {"tunint", &Solid::MakeTunInt},
};

void ExpectAt(const Solid& solid, int32_t v, const Vec3& expected, const std::string& what) {
  const Vec3 p = solid.VertexPosition(v);
  EXPECT_NEAR(p.x, expected.x, 1e-14) << what << " vertex " << v;
  EXPECT_NEAR(p.y, expected.y, 1e-14) << what << " vertex " << v;
  EXPECT_NEAR(p.z, expected.z, 1e-14) << what << " vertex " << v;
}

void Refresh(Solid& solid) {
  solid.ComputeFixedVertices();
  solid.UpdateEdges();
}

// The largest and smallest distance from a point of the edges points along it.
void ExpectArcRadius(const Solid& solid, int32_t a, int32_t b, int32_t centre, double radius) {
  const int32_t e = solid.FindEdge(a, b);
  ASSERT_NE(e, 0);
  EXPECT_TRUE(solid.Edge(e).arc);
  EXPECT_EQ(solid.Edge(e).centreVertex, centre);
  for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
    EXPECT_NEAR(GenLength(solid.Edge(e).Point(t) - solid.VertexPosition(centre)), radius, 1e-14)
        << "edge " << a << "-" << b << " at " << t;
  }
}

TEST(SolidTemplateTest, FixedVerticesAndArcs) {
  Solid solid;
  solid.MakeRadBrick();
  Refresh(solid);
  ExpectAt(solid, 14, {0.4, 0.4, 0.4}, "radbrick");
  ExpectAt(solid, 8, {0.4, 0, 0}, "radbrick");
  ExpectAt(solid, 11, {0.4, 0.4, 0}, "radbrick");

  solid.MakeRadTunnel();
  Refresh(solid);
  ExpectAt(solid, 12, {0.4, 0, 0.4}, "radtunnel");
  ExpectAt(solid, 13, {0.4, 1, 0.4}, "radtunnel");

  solid.MakeCShell();
  Refresh(solid);
  ExpectArcRadius(solid, 6, 7, 0, 0.2);
  ExpectArcRadius(solid, 1, 3, 0, 1.0);
  ExpectArcRadius(solid, 8, 9, 2, 0.2);

  solid.MakeRadCylinder();
  Refresh(solid);
  const double r = 0.2 * std::numbers::sqrt2 / 2.0;
  ExpectAt(solid, 12, {r, 0, r}, "radcylinder");
  ExpectAt(solid, 13, {r, 1, r}, "radcylinder");
  ExpectArcRadius(solid, 8, 12, 0, 0.2);
  ExpectArcRadius(solid, 12, 9, 0, 0.2);
}

TEST(SolidTemplateTest, EveryTemplateMakesSoundCells) {
  for (const Template& t : kTemplates) {
    Solid solid;
    (solid.*t.make)();
    Refresh(solid);
    ExpectSoundCells(solid, t.name);
    // Faces inside the arrangement are seen from both sides.
    for (int32_t f = 1; f <= solid.FaceCount(); ++f) {
      const SolidFace& face = solid.Face(f);
      if (face.CellCount() < 2) continue;
      EXPECT_EQ(solid.Cell(face.Cell(0)).FaceSense(face.Side(0)), -solid.Cell(face.Cell(1)).FaceSense(face.Side(1)))
          << t.name << " face " << f;
    }
  }
}

TEST(SolidTemplateTest, CylIntDiffersFromTunIntOnlyRoundItsThreeArcs) {
  Solid tunint, cylint;
  tunint.MakeTunInt();
  cylint.MakeCylInt();
  Refresh(tunint);
  Refresh(cylint);
  ASSERT_EQ(cylint.VertexCount(), tunint.VertexCount());
  ASSERT_EQ(cylint.EdgeCount(), tunint.EdgeCount());
  ASSERT_EQ(cylint.FixCount(), tunint.FixCount());
  for (int32_t c = 1; c <= 7; ++c) {
    for (int32_t k = 0; k < 8; ++k) EXPECT_EQ(cylint.Cell(c).Vertex(k), tunint.Cell(c).Vertex(k));
  }
  std::vector<int32_t> moved;
  for (int32_t v = 0; v < tunint.VertexCount(); ++v) {
    if (!Vec3::IsEqual(cylint.VertexPosition(v), tunint.VertexPosition(v))) moved.push_back(v);
    EXPECT_EQ(cylint.Vertex(v).fix, tunint.Vertex(v).fix) << v;
  }
  EXPECT_EQ(moved, (std::vector<int32_t>{10, 13, 16}));
  int32_t arcs = 0;
  for (int32_t e = 1; e <= tunint.EdgeCount(); ++e) {
    EXPECT_FALSE(tunint.Edge(e).arc);
    arcs += cylint.Edge(e).arc;
  }
  EXPECT_EQ(arcs, 6);
  // Vertex 10 lies halfway along the quarter ellipse from 8 to 9 about 0.
  EXPECT_TRUE(cylint.Fix(cylint.Vertex(10).fix).arc);
  EXPECT_EQ(cylint.Fix(cylint.Vertex(10).fix).axisVertex, -1);
  ExpectAt(cylint, 10, cylint.Edge(cylint.FindEdge(8, 10)).Point(1.0), "cylint, end of its arc");
}

// Maps that ask for new records everywhere.
struct Maps {
  explicit Maps(const Solid& source)
      : cells(static_cast<size_t>(source.CellCount()), 0),
        vertices(static_cast<size_t>(source.VertexCount()), -1),
        sizes(static_cast<size_t>(source.SizeCount()), 0),
        ratios(static_cast<size_t>(source.RatioCount()), 0),
        dims(static_cast<size_t>(source.DimCount()), 0) {}
  void Place(Solid& destination, const Solid& source) {
    destination.setsolid(&source, cells, vertices, sizes, ratios, dims);
  }
  std::vector<int32_t> cells, vertices, sizes, ratios, dims;
};

void ExpectSameSolid(const Solid& a, const Solid& b, const std::string& what) {
  ASSERT_EQ(a.VertexCount(), b.VertexCount()) << what;
  ASSERT_EQ(a.EdgeCount(), b.EdgeCount()) << what;
  ASSERT_EQ(a.FaceCount(), b.FaceCount()) << what;
  ASSERT_EQ(a.CellCount(), b.CellCount()) << what;
  ASSERT_EQ(a.DimCount(), b.DimCount()) << what;
  ASSERT_EQ(a.FixCount(), b.FixCount()) << what;
  for (int32_t v = 0; v < a.VertexCount(); ++v) {
    EXPECT_TRUE(Vec3::IsEqual(a.VertexPosition(v), b.VertexPosition(v))) << what << " vertex " << v;
    EXPECT_EQ(a.Vertex(v).fix, b.Vertex(v).fix) << what << " vertex " << v;
  }
  for (int32_t e = 1; e <= a.EdgeCount(); ++e) {
    const SolidEdge &x = a.Edge(e), &y = b.Edge(e);
    EXPECT_EQ(x.startVertex, y.startVertex) << what << " edge " << e;
    EXPECT_EQ(x.endVertex, y.endVertex) << what << " edge " << e;
    // Size and ratio entries are made as the cells need them, so their
    // numbers may differ; the values may not.
    EXPECT_EQ(a.Size(x.size).value, b.Size(y.size).value) << what << " edge " << e;
    EXPECT_EQ(a.Ratio(x.ratio).value, b.Ratio(y.ratio).value) << what << " edge " << e;
    EXPECT_EQ(x.arc, y.arc) << what << " edge " << e;
    EXPECT_EQ(x.axisVertex, y.axisVertex) << what << " edge " << e;
    if (x.arc) {
      EXPECT_EQ(x.centreVertex, y.centreVertex) << what << " edge " << e;
    }
  }
  for (int32_t f = 1; f <= a.FaceCount(); ++f) {
    const SolidFace &x = a.Face(f), &y = b.Face(f);
    ASSERT_EQ(x.CellCount(), y.CellCount()) << what << " face " << f;
    for (int32_t i = 0; i < 4; ++i) {
      EXPECT_EQ(x.Vertex(i), y.Vertex(i)) << what << " face " << f;
      EXPECT_EQ(x.Edge(i), y.Edge(i)) << what << " face " << f;
    }
    for (int32_t i = 0; i < x.CellCount(); ++i) {
      EXPECT_EQ(x.Cell(i), y.Cell(i)) << what << " face " << f;
      EXPECT_EQ(x.Side(i), y.Side(i)) << what << " face " << f;
    }
  }
  for (int32_t c = 1; c <= a.CellCount(); ++c) {
    const SolidCell &x = a.Cell(c), &y = b.Cell(c);
    EXPECT_EQ(x.form, y.form) << what << " cell " << c;
    for (int32_t k = 0; k < 8; ++k) EXPECT_EQ(x.Vertex(k), y.Vertex(k)) << what << " cell " << c << " vertex " << k;
    for (int32_t k = 1; k <= 12; ++k) EXPECT_EQ(x.Edge(k), y.Edge(k)) << what << " cell " << c << " edge " << k;
    for (int32_t f = 1; f <= 6; ++f) {
      EXPECT_EQ(x.Face(f), y.Face(f)) << what << " cell " << c << " face " << f;
      EXPECT_EQ(x.FaceSense(f), y.FaceSense(f)) << what << " cell " << c << " face " << f;
    }
  }
  for (int32_t d = 1; d <= a.DimCount(); ++d) EXPECT_EQ(a.Dim(d).value, b.Dim(d).value) << what;
  for (int32_t f = 1; f <= a.FixCount(); ++f) {
    const SolidFix &x = a.Fix(f), &y = b.Fix(f);
    EXPECT_EQ(x.kind, y.kind) << what << " fix " << f;
    EXPECT_EQ(x.arc, y.arc) << what << " fix " << f;
    for (int32_t i = 0; i <= x.kind; ++i) EXPECT_EQ(x.vertices[i], y.vertices[i]) << what << " fix " << f;
    for (int32_t i = 0; i < x.kind; ++i) EXPECT_EQ(x.dims[i], y.dims[i]) << what << " fix " << f;
    if (x.arc) {
      EXPECT_EQ(x.centreVertex, y.centreVertex) << what << " fix " << f;
      EXPECT_EQ(x.axisVertex, y.axisVertex) << what << " fix " << f;
    }
  }
}

std::vector<int32_t> Counting(int32_t from, int32_t n) {
  std::vector<int32_t> numbers;
  for (int32_t i = 0; i < n; ++i) numbers.push_back(from + i);
  return numbers;
}

TEST(SolidPlaceTest, EmptyMapsCopyEveryTemplateWithItsOwnNumbers) {
  for (const Template& t : kTemplates) {
    Solid source, copy;
    (source.*t.make)();
    Maps maps(source);
    maps.Place(copy, source);
    ExpectSameSolid(copy, source, t.name);
    EXPECT_EQ(maps.cells, Counting(1, source.CellCount())) << t.name;
    EXPECT_EQ(maps.vertices, Counting(0, source.VertexCount())) << t.name;
    EXPECT_EQ(maps.dims, Counting(1, source.DimCount())) << t.name;
    Refresh(source);
    Refresh(copy);
    for (int32_t v = 0; v < source.VertexCount(); ++v) {
      EXPECT_TRUE(Vec3::IsEqual(copy.VertexPosition(v), source.VertexPosition(v))) << t.name << " vertex " << v;
    }
  }
}

TEST(SolidPlaceTest, MappedVerticesShareTheirEdge) {
  Solid body, brick;
  body.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  brick.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  Maps maps(brick);
  maps.vertices[0] = 1;  // the body's edge 5 runs from 1 to 4
  maps.vertices[1] = 4;
  maps.Place(body, brick);

  EXPECT_EQ(maps.cells[0], 2);
  const SolidCell& cell = body.Cell(2);
  EXPECT_EQ(cell.Edge(1), 5);
  for (int32_t k : {4, 7, 10}) {
    EXPECT_EQ(body.Edge(cell.Edge(k)).size, body.Edge(5).size) << k;
    EXPECT_EQ(body.Edge(cell.Edge(k)).ratio, body.Edge(5).ratio) << k;
  }
  EXPECT_EQ(body.EdgeCount(), 12 + 11);
  EXPECT_EQ(body.VertexCount(), 8 + 6);
  EXPECT_EQ(maps.vertices[2], 8);  // new vertices follow the body's
}

TEST(SolidPlaceTest, RelationsReferToMappedVerticesAndReplaceEarlierOnes) {
  // Source vertex 0 hangs between two vertices of higher numbers.
  Solid source;
  source.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  source.SetDim(1, 0.5);
  source.FixLine(0, 6, 7, 1);

  Solid body;
  body.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  body.SetDim(1, 0.25);
  body.FixPoint(1, 0);
  Maps maps(source);
  maps.vertices[0] = 1;  // onto the body's fixed vertex
  maps.Place(body, source);

  const SolidFix& fix = body.Fix(body.Vertex(1).fix);
  EXPECT_EQ(body.Vertex(1).fix, 1);  // the earlier relation's record, freed and taken again
  EXPECT_EQ(body.FixCount(), 1);
  EXPECT_EQ(fix.kind, kFixLine);
  EXPECT_EQ(fix.vertices[0], maps.vertices[6]);
  EXPECT_EQ(fix.vertices[1], maps.vertices[7]);
  EXPECT_EQ(fix.dims[0], 2);
  EXPECT_EQ(maps.dims[0], 2);
  body.ComputeFixedVertices();
  const Vec3 expected = (body.VertexPosition(maps.vertices[6]) + body.VertexPosition(maps.vertices[7])) * 0.5;
  EXPECT_TRUE(Vec3::IsEqual(body.VertexPosition(1), expected));
}

TEST(SolidPlaceTest, Refusals) {
  Solid body, brick;
  body.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  brick.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  Maps maps(brick);
  maps.cells[0] = 1;
  try {
    maps.Place(body, brick);
    FAIL() << "no exception";
  } catch (const SolidExcept& e) {
    EXPECT_STREQ(e.Text(), "setsolid-cell already defined!");
  }
  // The vertices were copied before the cell was refused.
  EXPECT_EQ(body.VertexCount(), 16);
  EXPECT_EQ(maps.vertices[7], 15);

  EXPECT_THROW(body.setsolid(nullptr, maps.cells, maps.vertices, maps.sizes, maps.ratios, maps.dims), SolidExcept);
  // A map shorter than the source's table is an index error, not a read past its end.
  std::vector<int32_t> shortMap(3, -1);
  EXPECT_THROW(body.setsolid(&brick, maps.cells, shortMap, maps.sizes, maps.ratios, maps.dims), IndexRangeExcept);

  Solid tetra2;
  tetra2.setcell(0, kFormTetra2, {0, 2, 3, 6, 2, 3, 3, 3}, 0, 0, 0, 0, 0, 0);
  Maps tetraMaps(tetra2);
  Solid empty;
  try {
    tetraMaps.Place(empty, tetra2);
    FAIL() << "no exception";
  } catch (const SolidExcept& e) {
    EXPECT_STREQ(e.Text(), "setsolid-cell form not defined!");
  }
}

TEST(SolidPlaceTest, MappedSizesAndRatiosTakeTheSourceValues) {
  Solid brick;
  brick.setcell(0, kFormBrick, {-1, -1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  brick.SetSize(1, 6);
  brick.SetRatio(3, 1.25);
  Solid body;
  Maps maps(brick);
  maps.sizes = {4, 5, 6};
  maps.ratios = {1, 2, -3};
  maps.Place(body, brick);
  EXPECT_EQ(body.Size(4).value, 6);
  EXPECT_EQ(body.Ratio(3).value, 1.25);
  const SolidCell& cell = body.Cell(1);
  EXPECT_EQ(body.Edge(cell.Edge(1)).size, 4);
  // A negative ratio entry grades the local z direction from its far end.
  EXPECT_EQ(body.Edge(cell.Edge(3)).ratio, 3);
  EXPECT_EQ(body.Edge(cell.Edge(3)).startVertex, cell.Vertex(3));
}

// A block of nx x ny x nz unit bricks, vertices numbered like a grid.
void FillGrid(Solid& solid, int32_t nx, int32_t ny, int32_t nz) {
  auto id = [&](int32_t i, int32_t j, int32_t k) { return i + (nx + 1) * (j + (ny + 1) * k); };
  for (int32_t k = 0; k <= nz; ++k) {
    for (int32_t j = 0; j <= ny; ++j) {
      for (int32_t i = 0; i <= nx; ++i) solid.SetVertex(id(i, j, k), i, j, k);
    }
  }
  for (int32_t k = 0; k < nz; ++k) {
    for (int32_t j = 0; j < ny; ++j) {
      for (int32_t i = 0; i < nx; ++i) {
        int32_t v[8];
        for (int32_t c = 0; c < 8; ++c) {
          v[c] = id(i + static_cast<int32_t>(kSolidCellCorner[c][0]), j + static_cast<int32_t>(kSolidCellCorner[c][1]),
                    k + static_cast<int32_t>(kSolidCellCorner[c][2]));
        }
        solid.setcell(0, kFormBrick, v, 0, 0, 0, 0, 0, 0);
      }
    }
  }
}

TEST(SolidPlaceTest, LargestBrickGridFillsTheTablesAndCopies) {
  // 6 x 6 x 6 bricks: 343 vertices, 882 edges, 756 faces.
  Solid grid;
  FillGrid(grid, 6, 6, 6);
  EXPECT_EQ(grid.CellCount(), 216);
  EXPECT_EQ(grid.VertexCount(), 343);
  EXPECT_EQ(grid.EdgeCount(), 882);
  EXPECT_EQ(grid.FaceCount(), 756);
  EXPECT_EQ(grid.SizeCount(), 18);  // one per row of bricks in each direction
  ExpectSoundCells(grid, "grid");
  Solid copy;
  Maps maps(grid);
  maps.Place(copy, grid);
  ExpectSameSolid(copy, grid, "grid copy");

  // One more layer of bricks needs 876 faces.
  Solid tooMany;
  try {
    FillGrid(tooMany, 7, 6, 6);
    FAIL() << "no exception";
  } catch (const SolidExcept& e) {
    EXPECT_STREQ(e.Text(), "face list overflow!");
  }
}

TEST(SolidPlaceTest, BuildingAllocatesNothing) {
  Solid source, body;
  const size_t before = TestAllocations();
  for (const Template& t : kTemplates) {
    (source.*t.make)();
    Refresh(source);
    body.Clear();
    int32_t cells[kSolidCells], vertices[kSolidVertices], sizes[kSolidSizes], ratios[kSolidRatios], dims[kSolidDims];
    std::fill(std::begin(cells), std::end(cells), 0);
    std::fill(std::begin(vertices), std::end(vertices), -1);
    std::fill(std::begin(sizes), std::end(sizes), 0);
    std::fill(std::begin(ratios), std::end(ratios), 0);
    std::fill(std::begin(dims), std::end(dims), 0);
    body.setsolid(&source, cells, vertices, sizes, ratios, dims);
    body.DeleteCell(1);
  }
  EXPECT_EQ(TestAllocations(), before);
}

}  // namespace
