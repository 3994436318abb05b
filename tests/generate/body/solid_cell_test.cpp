// Cells: a brick on an empty solid, bricks that share a face, edges that run
// against a cell's direction, the block forms, refusals and deletion.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "generate/body/solid.h"
#include "solid_check.h"

namespace {

constexpr int32_t kNew[8] = {-1, -1, -1, -1, -1, -1, -1, -1};

template <typename F>
std::string SolidMessage(F&& f) {
  try {
    f();
  } catch (const SolidExcept& e) {
    return e.Text();
  }
  return "(nothing thrown)";
}

// A second brick on the x = 1 face of the first: its local vertices 0, 2, 3, 5
// are the first one's 1, 4, 6, 7; its new vertices go to x = 2.
void AddNeighbour(Solid& solid) {
  const int32_t cell = solid.setcell(0, kFormBrick, {1, -1, 4, 6, -1, 7, -1, -1}, 0, 0, 0, 0, 0, 0);
  for (int32_t k : {1, 4, 6, 7}) {
    solid.SetVertex(solid.Cell(cell).Vertex(k), 2, kSolidCellCorner[k][1], kSolidCellCorner[k][2]);
  }
}

TEST(SolidCellTest, FirstBrickFillsEveryTableInLocalOrder) {
  Solid solid;
  EXPECT_EQ(solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0), 1);
  EXPECT_EQ(solid.VertexCount(), 8);
  for (int32_t v = 0; v < 8; ++v) {
    const Vec3 corner{kSolidCellCorner[v][0], kSolidCellCorner[v][1], kSolidCellCorner[v][2]};
    EXPECT_TRUE(Vec3::IsEqual(solid.VertexPosition(v), corner)) << v;
  }
  ASSERT_EQ(solid.SizeCount(), 3);
  ASSERT_EQ(solid.RatioCount(), 3);
  for (int32_t j = 1; j <= 3; ++j) {
    EXPECT_EQ(solid.Size(j).value, 3);
    EXPECT_EQ(solid.Ratio(j).value, 1.0);
  }
  const SolidCell& cell = solid.Cell(1);
  EXPECT_EQ(solid.CellCount(), 1);
  EXPECT_EQ(cell.form, kFormBrick);
  EXPECT_TRUE(cell.shown);
  ASSERT_EQ(solid.EdgeCount(), 12);
  for (int32_t k = 1; k <= 12; ++k) {
    const SolidEdge& edge = solid.Edge(k);
    EXPECT_EQ(cell.Edge(k), k);
    EXPECT_EQ(edge.startVertex, kSolidCellEdgeEnds[k - 1][0]) << k;
    EXPECT_EQ(edge.endVertex, kSolidCellEdgeEnds[k - 1][1]) << k;
    EXPECT_EQ(edge.size, SolidEdgeClass(k)) << k;
    EXPECT_EQ(edge.ratio, SolidEdgeClass(k)) << k;
  }
  ASSERT_EQ(solid.FaceCount(), 6);
  for (int32_t f = 1; f <= 6; ++f) {
    EXPECT_EQ(cell.Face(f), f);
    EXPECT_EQ(cell.FaceSense(f), kSolidCellFirstSense[f - 1]);
    EXPECT_EQ(solid.Face(f).CellCount(), 1);
    EXPECT_EQ(solid.Face(f).Side(0), f);
  }
  EXPECT_DOUBLE_EQ(CornerVolume(solid, 1), 1.0);
  ExpectFacesPointOut(solid, 1, "unit brick");
}

TEST(SolidCellTest, NeighbourSharesFourEdgesAndOneFace) {
  Solid solid;
  solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
  solid.SetSize(2, 7);
  AddNeighbour(solid);
  EXPECT_EQ(solid.CellCount(), 2);
  EXPECT_EQ(solid.VertexCount(), 12);
  EXPECT_EQ(solid.EdgeCount(), 20);
  EXPECT_EQ(solid.FaceCount(), 11);
  // Only the x direction needs a new size and ratio.
  EXPECT_EQ(solid.SizeCount(), 4);
  EXPECT_EQ(solid.RatioCount(), 4);

  const SolidCell& second = solid.Cell(2);
  EXPECT_EQ(second.Edge(2), 5);  // local 0-2 is the first cell's 1-4
  EXPECT_EQ(second.Edge(3), 6);
  EXPECT_EQ(second.Edge(8), 11);
  EXPECT_EQ(second.Edge(9), 12);
  EXPECT_EQ(solid.Edge(second.Edge(5)).size, 2);  // parallel to a reused edge
  EXPECT_EQ(solid.Edge(second.Edge(4)).size, 4);

  const int32_t shared = solid.Cell(1).Face(2);
  EXPECT_EQ(second.Face(1), shared);
  const SolidFace& face = solid.Face(shared);
  EXPECT_EQ(face.CellCount(), 2);
  EXPECT_EQ(face.Cell(0), 1);
  EXPECT_EQ(face.Cell(1), 2);
  EXPECT_EQ(face.Side(1), 1);
  EXPECT_EQ(solid.Cell(1).FaceSense(2), 1);
  EXPECT_EQ(second.FaceSense(1), -1);
  ExpectSoundCells(solid, "two bricks");
}

TEST(SolidCellTest, ReusedEdgeRunningBackwardsTurnsItsClassRound) {
  Solid solid;
  solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
  // Local 0-1 of the new cell is the first cell's edge 2 (0 -> 2) taken from 2 to 0.
  solid.setcell(0, kFormBrick, {2, 0, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
  const SolidCell& cell = solid.Cell(2);
  EXPECT_EQ(cell.Edge(1), 2);
  for (int32_t k : {4, 7, 10}) {
    const SolidEdge& edge = solid.Edge(cell.Edge(k));
    const int32_t a = cell.Vertex(kSolidCellEdgeEnds[k - 1][0]), b = cell.Vertex(kSolidCellEdgeEnds[k - 1][1]);
    EXPECT_EQ(edge.startVertex, b) << k;
    EXPECT_EQ(edge.endVertex, a) << k;
    EXPECT_EQ(edge.ratio, solid.Edge(2).ratio) << k;
    EXPECT_EQ(edge.size, solid.Edge(2).size) << k;
  }
  // Other classes keep the local direction.
  EXPECT_EQ(solid.Edge(cell.Edge(2)).startVertex, 2);

  // A negative ratio asks for the reversal without a shared edge.
  Solid graded;
  graded.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, -5);
  EXPECT_EQ(graded.Ratio(5).value, 1.0);
  EXPECT_EQ(graded.Edge(graded.Cell(1).Edge(3)).startVertex, 3);
  EXPECT_EQ(graded.Edge(graded.Cell(1).Edge(3)).ratio, 5);
  EXPECT_EQ(graded.Edge(graded.Cell(1).Edge(1)).startVertex, 0);
}

TEST(SolidCellTest, FormsRepeatVerticesAndMakeNewOnesByPlace) {
  struct Case {
    int32_t form;
    int32_t distinct;
    std::function<int32_t(Solid&)> build;
  };
  const Case cases[] = {
      {kFormBrick, 8, [](Solid& s) { return s.SetBrick(0, kNew, 0, 0, 0, 0, 0, 0); }},
      {kFormDBrick, 7,
       [](Solid& s) {
         return s.SetDBrick(0, {-1, -1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
       }},
      {kFormWedge, 6,
       [](Solid& s) {
         return s.SetWedge(0, {-1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
       }},
      {kFormWedge2, 6,
       [](Solid& s) {
         return s.SetWedge2(0, {-1, -1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
       }},
      {kFormPyramid, 5,
       [](Solid& s) {
         return s.SetPyramid(0, {-1, -1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
       }},
      {kFormTetra, 4,
       [](Solid& s) {
         return s.SetTetra(0, {-1, -1, -1, -1}, 0, 0, 0, 0, 0, 0);
       }},
  };
  for (const Case& c : cases) {
    Solid solid;
    const int32_t cell = c.build(solid);
    const std::string what = SolidFormName(c.form);
    EXPECT_EQ(cell, 1) << what;
    EXPECT_EQ(solid.Cell(1).form, c.form) << what;
    EXPECT_EQ(solid.VertexCount(), c.distinct) << what;
    for (int32_t v = 0; v < c.distinct; ++v) {
      const Vec3 place{kSolidCellCorner[v][0], kSolidCellCorner[v][1], kSolidCellCorner[v][2]};
      EXPECT_TRUE(Vec3::IsEqual(solid.VertexPosition(v), place)) << what << " vertex " << v;
    }
    EXPECT_EQ(solid.SizeCount(), 3) << what;
    // Collapsed edges are still edges, with a size and a ratio.
    for (int32_t k = 1; k <= 12; ++k) EXPECT_NE(solid.Cell(1).Edge(k), 0) << what << " edge " << k;
    for (int32_t f = 1; f <= 6; ++f) EXPECT_NE(solid.Cell(1).Face(f), 0) << what << " face " << f;
    ExpectSoundCells(solid, what);
  }
  // The wedge2 takes its fourth vertex at local 6 and its fifth at local 4.
  Solid wedge2;
  wedge2.SetWedge2(0, {0, 1, 2, 3, 4, 5}, 0, 0, 0, 0, 0, 0);
  const SolidCell& cell = wedge2.Cell(1);
  const int32_t local[8] = {0, 1, 2, 0, 4, 2, 3, 5};
  for (int32_t k = 0; k < 8; ++k) EXPECT_EQ(cell.Vertex(k), local[k]) << k;
}

TEST(SolidCellTest, Refusals) {
  Solid solid;
  solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
  AddNeighbour(solid);
  EXPECT_EQ(SolidMessage([&] {
              solid.setcell(2, kFormBrick, {0, 1, 2, 3, 4, 5, 6, 7}, 0, 0, 0, 0, 0, 0);
            }),
            "setcell-cell already set!");
  EXPECT_EQ(SolidMessage([&] {
              solid.setcell(0, kFormBrick, {0, 1, 2, 3, 4, 5, 6, 600}, 0, 0, 0, 0, 0, 0);
            }),
            "setcell-Vertex indices exceeded maximum.");
  // Edges 1 (0-1) and 2 (0-2) meet, but 9 (2-5) does not continue from 1.
  EXPECT_EQ(SolidMessage([&] { solid.Makeface(0, 1, 1, 9, 8, 3); }), "Makeface-face vertices not found on edges?");
  const int32_t faces = solid.FaceCount();

  // A third brick on the face the first two share.
  EXPECT_EQ(SolidMessage([&] { AddNeighbour(solid); }), "Can not add cell to internal face!");
  // The cell made part-way can still be taken away, and the first two are whole.
  ASSERT_TRUE(solid.Cell(3).defined);
  solid.DeleteCell(3);
  EXPECT_EQ(solid.CellCount(), 2);
  EXPECT_EQ(solid.FaceCount(), faces);
  EXPECT_EQ(solid.VertexCount(), 12);
  ExpectSoundCells(solid, "after the refused brick");
  EXPECT_EQ(solid.Face(solid.Cell(1).Face(2)).CellCount(), 2);

  // A reused record starts as a new cell: shown, whatever the deleted one was.
  solid.Cell(2).shown = false;
  solid.DeleteCell(2);
  AddNeighbour(solid);
  EXPECT_TRUE(solid.Cell(2).shown);
}

TEST(SolidCellTest, DeletingOneOfTwoKeepsTheSharedFaceAndTheSurvivor) {
  for (int32_t gone : {1, 2}) {
    Solid solid;
    solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
    AddNeighbour(solid);
    const int32_t survivor = 3 - gone;
    const int32_t shared = solid.Cell(1).Face(2);
    int32_t edges[12];
    for (int32_t k = 1; k <= 12; ++k) edges[k - 1] = solid.Cell(survivor).Edge(k);

    solid.DeleteCell(gone);
    EXPECT_FALSE(solid.Cell(gone).defined);
    const SolidFace& face = solid.Face(shared);
    EXPECT_TRUE(face.defined);
    EXPECT_EQ(face.CellCount(), 1);
    EXPECT_EQ(face.Cell(0), survivor);
    EXPECT_EQ(face.Side(0), survivor == 1 ? 2 : 1);
    for (int32_t e : edges) EXPECT_TRUE(solid.Edge(e).defined) << "gone " << gone << " edge " << e;
    int32_t definedEdges = 0, definedFaces = 0;
    for (int32_t e = 1; e <= solid.EdgeCount(); ++e) definedEdges += solid.Edge(e).defined;
    for (int32_t f = 1; f <= solid.FaceCount(); ++f) definedFaces += solid.Face(f).defined;
    EXPECT_EQ(definedEdges, 12);
    EXPECT_EQ(definedFaces, 6);
    for (int32_t s = 1; s <= solid.SizeCount(); ++s) {
      if (solid.Size(s).defined) {
        EXPECT_NE(solid.EdgeUsingSize(s), 0) << s;
      }
    }
  }
  // Deleting a cell that is not there does nothing.
  Solid empty;
  EXPECT_NO_THROW(empty.DeleteCell(5));
  EXPECT_THROW(empty.DeleteCell(0), IndexRangeExcept);
}

}  // namespace
