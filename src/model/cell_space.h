// A uniform spatial index: a box cut into nx x ny x nz equal cells, each
// holding a list of item pointers. It tells which items may lie near a point
// or a box (attach conditions, interfaces, merging of grid-points). The items
// are the caller's; the cell space only stores pointers.
//
// A walk over the items of one cell:
//   int32_t at[3];
//   cells.CellIndex(p, at);
//   for (void* const* it = cells.GetCellFirst(at); it != cells.GetCell(at); ++it) ...
// Looking up a point and walking a cell allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CellSpace {
 public:
  explicit CellSpace(uint32_t itemsPerCell) : itemsPerCell_(itemsPerCell) {}

  // Sizes the grid over the box of the two corners for about n items (the
  // target number per cell given at construction) and makes every cell
  // empty. A box of no extent along an axis gets one cell along it.
  void Build(const double a[3], const double b[3], uint32_t n);
  // The cell indices of a point. Points outside the box get indices outside
  // 0..count-1; a point on the upper face of the box lies in the last cell.
  void CellIndex(const double p[3], int32_t index[3]) const;
  // Appends the item to the cell; 1 (nothing stored) when the cell lies
  // outside the grid, else 0.
  int AddToCell(void* item, const int32_t index[3]);
  // Adds the item to every cell from the first corner's cell to the second's;
  // true when some of those cells lie outside the grid (the others still get it).
  bool AddBox(void* item, const double corner1[3], const double corner2[3]);
  // Empties every cell, keeping the grid.
  void ClearCells();
  // Destroys the cells; Build makes them again.
  void FreeCells();

  // The first item of the cell and one past its last; for a cell outside
  // the grid (or before the grid is built) both are the same position, so
  // the walk visits nothing.
  void* const* GetCellFirst(const int32_t index[3]) const;
  void* const* GetCell(const int32_t index[3]) const;

  uint32_t ItemsPerCell() const { return itemsPerCell_; }
  const double* Min() const { return min_; }
  const double* Max() const { return max_; }
  const double* CellSize() const { return cellSize_; }
  const int32_t* Counts() const { return count_; }

 private:
  bool Inside(const int32_t index[3]) const;
  size_t At(const int32_t index[3]) const;

  uint32_t itemsPerCell_;
  double max_[3] = {0, 0, 0};
  double min_[3] = {0, 0, 0};
  double cellSize_[3] = {0, 0, 0};
  int32_t count_[3] = {0, 0, 0};
  std::vector<std::vector<void*>> cells_;  // cell (i, j, k) at (k ny + j) nx + i
};
