// The tables of a solid: numbering, reuse of free records, overflow, index
// checks, the name rule, clearing entries still in use, purging and compaction.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "generate/body/solid.h"

namespace {

template <typename Except, typename F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const Except& e) {
    return e.Text();
  }
  return "(nothing thrown)";
}

constexpr int32_t kNew[8] = {-1, -1, -1, -1, -1, -1, -1, -1};

TEST(SolidTableTest, AdderTakesTheLowestFreeNumberAndKeepsTheCount) {
  Solid solid;
  solid.SetVertex(0, 0, 0, 0);
  solid.SetVertex(1, 1, 0, 0);
  solid.SetVertex(3, 3, 0, 0);
  EXPECT_EQ(solid.VertexCount(), 4);
  EXPECT_EQ(solid.AddVertex(2, 0, 0), 2);
  EXPECT_EQ(solid.VertexCount(), 4);
  EXPECT_EQ(solid.AddVertex(4, 0, 0), 4);
  EXPECT_EQ(solid.VertexCount(), 5);

  // Tables numbered from 1 count the highest number in use.
  solid.SetDim(7, 0.5);
  EXPECT_EQ(solid.DimCount(), 7);
  EXPECT_EQ(solid.AddDim(0.1), 1);
  EXPECT_EQ(solid.DimCount(), 7);
}

TEST(SolidTableTest, EachFullTableRaisesItsOwnMessage) {
  struct Case {
    const char* message;
    int32_t capacity;
    std::function<void(Solid&)> add;
  };
  const Case cases[] = {
      {"Vertex list overflow!", kSolidVertices, [](Solid& s) { s.AddVertex(0, 0, 0); }},
      {"size list overflow!", kSolidSizes, [](Solid& s) { s.AddSize(3); }},
      {"rat list overflow!", kSolidRatios, [](Solid& s) { s.AddRatio(1.0); }},
      {"dim list overflow!", kSolidDims, [](Solid& s) { s.AddDim(0.0); }},
      {"Edge list overflow!", kSolidEdges, [](Solid& s) { s.NewEdge(); }},
      {"face list overflow!", kSolidFaces, [](Solid& s) { s.NewFace(); }},
      {"Cell list overflow!", kSolidCells, [](Solid& s) { s.NewCell(); }},
      {"fix list overflow!", kSolidFixes, [](Solid& s) { s.NewFix(); }},
  };
  Solid solid;
  for (const Case& c : cases) {
    solid.Clear();
    for (int32_t i = 0; i < c.capacity; ++i) c.add(solid);
    EXPECT_EQ(MessageOf<SolidExcept>([&] { c.add(solid); }), c.message);
  }
}

TEST(SolidTableTest, NumbersOutsideTheirTableAreRefused) {
  Solid solid;
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { solid.Vertex(600); }, "Solid index 600 out of range"},
      {[&] { solid.Vertex(-1); }, "Solid index -1 out of range"},
      {[&] { solid.Edge(0); }, "Solid index 0 out of range"},
      {[&] { solid.Edge(1001); }, "Solid index 1001 out of range"},
      {[&] { solid.Face(801); }, "Solid index 801 out of range"},
      {[&] { solid.Cell(301); }, "Solid index 301 out of range"},
      {[&] { solid.Size(151); }, "Solid index 151 out of range"},
      {[&] { solid.SetRatio(101, 1.0); }, "Solid index 101 out of range"},
      {[&] { solid.SetDim(0, 1.0); }, "Solid index 0 out of range"},
      {[&] { solid.Fix(101); }, "Solid index 101 out of range"},
      {[&] { solid.Cell(1).Vertex(8); }, "Solid index 8 out of range"},
      {[&] { solid.Cell(1).Edge(0); }, "Solid index 0 out of range"},
      {[&] { solid.Cell(1).FaceSense(7); }, "Solid index 7 out of range"},
  };
  for (const auto& [call, message] : cases) EXPECT_EQ(MessageOf<IndexRangeExcept>(call), message);
  EXPECT_NO_THROW(solid.Vertex(599));
  EXPECT_NO_THROW(solid.Size(150));
}

TEST(SolidTableTest, RatioWithANegativeNumberStoresTheReciprocal) {
  Solid solid;
  solid.SetRatio(-4, 2.0);
  EXPECT_TRUE(solid.Ratio(4).defined);
  EXPECT_EQ(solid.Ratio(4).value, 0.5);
  EXPECT_EQ(solid.RatioCount(), 4);
}

TEST(SolidTableTest, SizeOutsideOneToNinetyNineIsRefused) {
  Solid solid;
  for (int32_t bad : {0, -1, 100}) {
    EXPECT_EQ(MessageOf<SolidExcept>([&] { solid.SetSize(2, bad); }), "Size must be between 1 and 99.") << bad;
    EXPECT_EQ(MessageOf<SolidExcept>([&] { solid.AddSize(bad); }), "Size must be between 1 and 99.") << bad;
  }
  EXPECT_FALSE(solid.Size(1).defined);
  EXPECT_FALSE(solid.Size(2).defined);
  EXPECT_EQ(solid.SizeCount(), 0);
  solid.SetSize(2, 99);
  EXPECT_EQ(solid.AddSize(1), 1);
  EXPECT_EQ(solid.Size(2).value, 99);
}

TEST(SolidTableTest, AddEdgeReturnsTheEdgeBetweenTheVerticesInEitherOrder) {
  Solid solid;
  solid.SetSize(2, 5);
  solid.SetRatio(1, 1.5);
  const int32_t e = solid.AddEdge(5, 7, 2, 1);
  EXPECT_EQ(solid.AddEdge(7, 5, 0, 0), e);
  EXPECT_EQ(solid.SizeCount(), 2);
  EXPECT_EQ(solid.RatioCount(), 1);
  EXPECT_FALSE(solid.Size(1).defined);
  const SolidEdge& edge = solid.Edge(e);
  EXPECT_EQ(edge.startVertex, 5);
  EXPECT_EQ(edge.endVertex, 7);
  EXPECT_EQ(edge.axisVertex, -1);
  EXPECT_FALSE(edge.arc);

  // A new edge without entries gets a size of 3 zones and a ratio of 1.
  const SolidEdge& other = solid.Edge(solid.AddEdge(1, 2, 0, 0));
  EXPECT_EQ(solid.Size(other.size).value, 3);
  EXPECT_EQ(solid.Ratio(other.ratio).value, 1.0);
  EXPECT_EQ(solid.FindEdge(2, 1), solid.AddEdge(1, 2, 0, 0));
  EXPECT_EQ(solid.FindEdge(1, 5), 0);
}

TEST(SolidTableTest, EntriesInUseAreNeitherClearedNorPurged) {
  Solid solid;
  const int32_t e = solid.AddEdge(0, 1, solid.AddSize(4), solid.AddRatio(2.0));
  const int32_t size = solid.Edge(e).size, ratio = solid.Edge(e).ratio;
  const int32_t spareSize = solid.AddSize(6);
  solid.SetVertex(0, 0, 0, 0);
  solid.SetVertex(1, 1, 0, 0);
  solid.SetDim(1, 0.5);
  solid.FixLine(2, 0, 1, 1);
  solid.SetVertex(3, 0, 0, 1);
  solid.FixPoint(4, 3);

  const std::pair<std::function<void()>, const char*> refused[] = {
      {[&] { solid.ClearSize(size); }, "Can not clear size: Part of existing edge."},
      {[&] { solid.ClearRatio(ratio); }, "Can not clear ratio: Part of existing edge."},
      {[&] { solid.ClearVertex(1); }, "Can not clear vertex: Part of existing edge."},
      {[&] { solid.ClearVertex(3); }, "Can not clear vertex: Part of existing fix-relation."},
      {[&] { solid.ClearDim(1); }, "Can not clear dimension: Part of existing fix-relation."},
  };
  for (const auto& [call, message] : refused) EXPECT_EQ(MessageOf<SolidExcept>(call), message);
  EXPECT_TRUE(solid.Size(size).defined);
  EXPECT_TRUE(solid.Ratio(ratio).defined);
  EXPECT_TRUE(solid.Vertex(3).defined);
  EXPECT_TRUE(solid.Dim(1).defined);

  solid.PurgeSizes();
  EXPECT_TRUE(solid.Size(size).defined);
  EXPECT_FALSE(solid.Size(spareSize).defined);

  // Clearing a fixed vertex frees its relation, and with it the vertex it used.
  const int32_t fix = solid.Vertex(4).fix;
  solid.ClearVertex(4);
  EXPECT_FALSE(solid.Vertex(4).defined);
  EXPECT_FALSE(solid.Fix(fix).defined);
  EXPECT_NO_THROW(solid.ClearVertex(3));
}

TEST(SolidTableTest, CompactPurgesAndLowersTheCounts) {
  Solid solid;
  solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
  solid.setcell(0, kFormBrick, {1, -1, 4, 6, -1, 7, -1, -1}, 0, 0, 0, 0, 0, 0);
  solid.setcell(0, kFormBrick, {8, -1, 9, 10, -1, 11, -1, -1}, 0, 0, 0, 0, 0, 0);
  solid.SetDim(3, 1.0);
  ASSERT_EQ(solid.CellCount(), 3);
  const int32_t vertices = solid.VertexCount(), edges = solid.EdgeCount(), faces = solid.FaceCount();

  solid.DeleteCell(3);
  EXPECT_EQ(solid.CellCount(), 2);
  EXPECT_EQ(solid.VertexCount(), vertices - 4);
  EXPECT_EQ(solid.EdgeCount(), edges - 8);
  EXPECT_EQ(solid.FaceCount(), faces - 5);
  EXPECT_EQ(solid.SizeCount(), 4);
  EXPECT_EQ(solid.RatioCount(), 4);
  EXPECT_EQ(solid.DimCount(), 0);  // nothing uses the dimension

  // A hole below the top stays counted.
  solid.DeleteCell(1);
  EXPECT_EQ(solid.CellCount(), 2);
  EXPECT_FALSE(solid.Cell(1).defined);
}

TEST(SolidTableTest, NameOfLettersAndDigitsOnly) {
  Solid solid;
  EXPECT_EQ(solid.Name(), "NoName");
  solid.SetName("Tunnel2b");
  EXPECT_EQ(solid.Name(), "Tunnel2b");
  const std::pair<const char*, const char*> refused[] = {
      {"", "Solid name can not be null."},
      {"my_solid", "Solid name can only have alpha-numerical characters."},
      {"my solid", "Solid name can only have alpha-numerical characters."},
      {"caf\xe9", "Solid name can only have alpha-numerical characters."},
  };
  for (const auto& [name, message] : refused) {
    EXPECT_EQ(MessageOf<SolidExcept>([&] { solid.SetName(name); }), message) << name;
  }
  EXPECT_EQ(solid.Name(), "Tunnel2b");
  solid.Clear();
  EXPECT_EQ(solid.Name(), "NoName");
}

TEST(SolidTableTest, ClearEmptiesAndACopyStandsApart) {
  Solid solid;
  solid.MakeTunInt();
  solid.SetName("Original");
  Solid copy(solid);
  solid.Clear();
  EXPECT_EQ(solid.VertexCount() + solid.EdgeCount() + solid.FaceCount() + solid.CellCount() + solid.SizeCount() +
                solid.RatioCount() + solid.DimCount() + solid.FixCount(),
            0);
  EXPECT_FALSE(solid.Vertex(0).defined);
  EXPECT_FALSE(solid.Cell(1).defined);
  EXPECT_EQ(solid.Cell(1).Vertex(0), -1);
  EXPECT_EQ(solid.Cell(1).form, kFormNone);
  EXPECT_EQ(solid.AddVertex(0, 0, 0), 0);

  EXPECT_EQ(copy.Name(), "Original");
  EXPECT_EQ(copy.CellCount(), 7);
  EXPECT_TRUE(copy.Cell(7).defined);
  EXPECT_NE(copy.Vertex(22).fix, 0);
}

TEST(SolidTableTest, FindFaceMatchesThreeEdgesInARowEitherWay) {
  Solid solid;
  solid.setcell(0, kFormBrick, kNew, 0, 0, 0, 0, 0, 0);
  // Face 5 of the cell holds the edge cycle 1, 5, 4, 2.
  const int32_t face = solid.Cell(1).Face(5);
  EXPECT_EQ(solid.FindFace(1, 5, 4), face);
  EXPECT_EQ(solid.FindFace(4, 5, 1), face);
  EXPECT_EQ(solid.FindFace(2, 1, 5), face);  // wraps round
  EXPECT_EQ(solid.FindFace(1, 4, 5), 0);
  EXPECT_EQ(solid.FaceUsingEdge(12), solid.Cell(1).Face(2));
  EXPECT_EQ(solid.EdgeUsingVertex(7), 10);
  EXPECT_EQ(solid.EdgeUsingVertex(7, 11), 11);
}

}  // namespace
