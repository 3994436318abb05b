// The cell space: sizing, cell indices, adding items and walking cells.
#include "model/cell_space.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "model/zone_shapes.h"

namespace {

std::vector<void*> Walk(const CellSpace& cells, int32_t i, int32_t j, int32_t k) {
  const int32_t at[3] = {i, j, k};
  return std::vector<void*>(cells.GetCellFirst(at), cells.GetCell(at));
}

TEST(CellSpaceTest, SizingFollowsTheItemCount) {
  CellSpace cells(10);
  const double a[3] = {1, 1, 1}, b[3] = {0, 0, 0};
  cells.Build(a, b, 1000);  // h = 3 / (3 * 100^(1/3)) = 0.215
  EXPECT_EQ(cells.Counts()[0], 5);
  EXPECT_EQ(cells.Counts()[1], 5);
  EXPECT_EQ(cells.Counts()[2], 5);
  EXPECT_DOUBLE_EQ(cells.CellSize()[0], 0.2);
  EXPECT_EQ(cells.Min()[0], 0.0);
  EXPECT_EQ(cells.Max()[0], 1.0);
  // Fewer items than one cell's worth: one cell's edge is the mean extent.
  cells.Build(b, a, 3);
  EXPECT_EQ(cells.Counts()[0], 1);
  // A target of nothing per cell counts as one.
  CellSpace zero(0);
  zero.Build(b, a, 8);
  EXPECT_EQ(zero.Counts()[0], 2);
}

TEST(CellSpaceTest, FlatAndEmptyBoxes) {
  CellSpace cells(1);
  const double a[3] = {0, 0, 2}, b[3] = {4, 4, 2};
  cells.Build(a, b, 64);
  EXPECT_EQ(cells.Counts()[2], 1);
  EXPECT_GT(cells.Counts()[0], 1);
  const double p[3] = {1, 1, 7};
  int32_t at[3];
  cells.CellIndex(p, at);
  EXPECT_EQ(at[2], 0);  // any z maps to the one cell
  cells.Build(a, a, 100);
  EXPECT_EQ(cells.Counts()[0] * cells.Counts()[1] * cells.Counts()[2], 1);
  cells.CellIndex(p, at);
  EXPECT_EQ(at[0] + at[1] + at[2], 0);
}

TEST(CellSpaceTest, PointsOfTheBoxFallInCellsOfTheGrid) {
  CellSpace cells(10);
  const double a[3] = {0, 0, 0}, b[3] = {1, 1, 1};
  cells.Build(a, b, 1000);
  int32_t at[3];
  cells.CellIndex(b, at);
  EXPECT_EQ(at[0], 4);
  const double below[3] = {-0.1, 0.5, 1.1};
  cells.CellIndex(below, at);
  EXPECT_EQ(at[0], -1);
  EXPECT_EQ(at[1], 2);
  EXPECT_EQ(at[2], 5);
  // Whatever the rounding of the cell size, the upper face lies in the last
  // cell and no point of the box falls outside the grid.
  std::mt19937 random(7);
  std::uniform_real_distribution<double> extent(0.01, 10.0);
  for (int trial = 0; trial < 2000; ++trial) {
    const double lo[3] = {extent(random) - 5, extent(random) - 5, extent(random) - 5};
    const double hi[3] = {lo[0] + extent(random), lo[1] + extent(random), lo[2] + extent(random)};
    cells.Build(lo, hi, 1 + trial % 997);
    cells.CellIndex(hi, at);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(at[i], cells.Counts()[i] - 1) << "trial " << trial;
    const double justBelow[3] = {std::nextafter(hi[0], lo[0]), std::nextafter(hi[1], lo[1]),
                                 std::nextafter(hi[2], lo[2])};
    cells.CellIndex(justBelow, at);
    for (int i = 0; i < 3; ++i) ASSERT_LT(at[i], cells.Counts()[i]) << "trial " << trial;
  }
}

TEST(CellSpaceTest, AddingItemsAndWalkingCells) {
  CellSpace cells(10);
  const double a[3] = {0, 0, 0}, b[3] = {1, 1, 1};
  cells.Build(a, b, 1000);
  int items[3];
  const int32_t origin[3] = {0, 0, 0}, outside[3] = {5, 0, 0}, negative[3] = {-1, 0, 0};
  EXPECT_EQ(cells.AddToCell(&items[0], origin), 0);
  EXPECT_EQ(cells.AddToCell(&items[0], outside), 1);
  EXPECT_EQ(cells.AddToCell(&items[0], negative), 1);
  EXPECT_EQ(Walk(cells, 0, 0, 0), std::vector<void*>{&items[0]});
  // Cells outside the grid visit nothing, even with items in cell (0, 0, 0).
  EXPECT_TRUE(Walk(cells, -1, 0, 0).empty());
  EXPECT_TRUE(Walk(cells, 0, 5, 0).empty());
  EXPECT_TRUE(Walk(cells, 0, 0, 99).empty());

  // A box across four cells in x and y, one in z.
  const double c1[3] = {0.1, 0.1, 0.5}, c2[3] = {0.7, 0.3, 0.5};
  EXPECT_FALSE(cells.AddBox(&items[1], c1, c2));
  int filled = 0;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k)
        for (void* item : Walk(cells, i, j, k)) filled += item == &items[1];
  EXPECT_EQ(filled, 4 * 2);
  // A box reaching outside reports it and still fills the cells inside.
  const double d1[3] = {0.9, 0.9, 0.9}, d2[3] = {1.5, 0.95, 0.95};
  EXPECT_TRUE(cells.AddBox(&items[2], d1, d2));
  EXPECT_EQ(Walk(cells, 4, 4, 4), std::vector<void*>{&items[2]});
  // Corners in the wrong order along an axis fill nothing.
  EXPECT_FALSE(cells.AddBox(&items[2], d2, d1));
  // Far outside: only reported.
  const double e1[3] = {-1e300, 0, 0}, e2[3] = {1e300, 0, 0};
  EXPECT_TRUE(cells.AddBox(&items[2], e1, e2));
  EXPECT_EQ(Walk(cells, 2, 0, 0), std::vector<void*>{&items[2]});

  cells.ClearCells();
  EXPECT_TRUE(Walk(cells, 0, 0, 0).empty());
  EXPECT_EQ(cells.Counts()[0], 5);
  cells.FreeCells();
  EXPECT_TRUE(Walk(cells, 0, 0, 0).empty());  // no grid: nothing to visit
}

TEST(CellSpaceTest, LookupAllocatesNothing) {
  CellSpace cells(4);
  const double a[3] = {0, 0, 0}, b[3] = {1, 1, 1};
  cells.Build(a, b, 100);
  int item;
  cells.AddBox(&item, a, b);
  const size_t start = TestAllocations();
  int visited = 0;
  for (double x = 0; x <= 1.0; x += 0.125) {
    const double p[3] = {x, 0.5 * x, 1 - x};
    int32_t at[3];
    cells.CellIndex(p, at);
    for (void* const* it = cells.GetCellFirst(at); it != cells.GetCell(at); ++it) visited += *it == &item;
  }
  EXPECT_EQ(TestAllocations(), start);
  EXPECT_EQ(visited, 9);
}

}  // namespace
