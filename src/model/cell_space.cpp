#include "model/cell_space.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "base/except.h"

namespace {

// floor(t) as a cell index, saturating beyond the range of int32 (NaN gives -1).
int32_t ToIndex(double t) {
  if (std::isnan(t)) return -1;
  const double f = std::floor(t);
  if (f <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  if (f >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  return static_cast<int32_t>(f);
}

// Cells along an axis of extent d for edge h: at least 1.
int32_t CellsAlong(double d, double h) {
  const double n = std::ceil(d / h);
  if (!(n >= 1.0)) return 1;
  return n >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(n);
}

}  // namespace

void CellSpace::Build(const double a[3], const double b[3], uint32_t n) {
  ClearCells();
  double extent[3];
  for (int i = 0; i < 3; ++i) {
    min_[i] = std::min(a[i], b[i]);
    max_[i] = std::max(a[i], b[i]);
    extent[i] = max_[i] - min_[i];
  }
  const double sum = extent[0] + extent[1] + extent[2];
  if (sum == 0.0 || !std::isfinite(sum)) {
    count_[0] = count_[1] = count_[2] = 1;
  } else {
    // A target of 0 items per cell would divide by zero: take 1.
    const uint32_t perCell = std::max<uint32_t>(itemsPerCell_, 1);
    const uint32_t k = std::max<uint32_t>(n / perCell, 1);
    const double h = sum / (3.0 * std::cbrt(static_cast<double>(k)));
    for (int i = 0; i < 3; ++i) count_[i] = CellsAlong(extent[i], h);
  }
  FreeCells();
  const size_t cells = static_cast<size_t>(count_[0]) * static_cast<size_t>(count_[1]) * static_cast<size_t>(count_[2]);
  try {
    cells_.resize(cells);
  } catch (const std::bad_alloc&) {
    count_[0] = count_[1] = count_[2] = 0;
    throw MemExcept();
  } catch (const std::length_error&) {
    count_[0] = count_[1] = count_[2] = 0;
    throw MemExcept();
  }
  for (int i = 0; i < 3; ++i) cellSize_[i] = extent[i] / count_[i];
}

void CellSpace::CellIndex(const double p[3], int32_t index[3]) const {
  for (int i = 0; i < 3; ++i) {
    if (cellSize_[i] == 0.0) {
      index[i] = 0;
      continue;
    }
    index[i] = ToIndex((p[i] - min_[i]) / cellSize_[i]);
    // A point of the box belongs to a cell of the grid, whatever the
    // rounding of the division: the upper face to the last cell.
    if (p[i] <= max_[i] && index[i] >= count_[i]) index[i] = count_[i] - 1;
  }
}

bool CellSpace::Inside(const int32_t index[3]) const {
  for (int i = 0; i < 3; ++i)
    if (index[i] < 0 || index[i] >= count_[i]) return false;
  return !cells_.empty();
}

size_t CellSpace::At(const int32_t index[3]) const {
  const size_t nx = static_cast<size_t>(count_[0]), ny = static_cast<size_t>(count_[1]);
  return (static_cast<size_t>(index[2]) * ny + static_cast<size_t>(index[1])) * nx + static_cast<size_t>(index[0]);
}

int CellSpace::AddToCell(void* item, const int32_t index[3]) {
  if (!Inside(index)) return 1;
  cells_[At(index)].push_back(item);
  return 0;
}

bool CellSpace::AddBox(void* item, const double corner1[3], const double corner2[3]) {
  int32_t from[3], to[3];
  CellIndex(corner1, from);
  CellIndex(corner2, to);
  // Only the cells of the grid are visited; the part of the box outside it
  // is only reported.
  bool outside = false;
  int32_t lo[3], hi[3];
  for (int i = 0; i < 3; ++i) {
    if (from[i] > to[i]) return false;  // no cell along this axis
    lo[i] = std::max(from[i], 0);
    hi[i] = std::min(to[i], count_[i] - 1);
    if (from[i] < 0 || to[i] >= count_[i]) outside = true;
  }
  int32_t at[3];
  for (at[0] = lo[0]; at[0] <= hi[0]; ++at[0])
    for (at[1] = lo[1]; at[1] <= hi[1]; ++at[1])
      for (at[2] = lo[2]; at[2] <= hi[2]; ++at[2]) AddToCell(item, at);
  return outside;
}

void CellSpace::ClearCells() {
  for (auto& cell : cells_) cell.clear();
}

void CellSpace::FreeCells() { std::vector<std::vector<void*>>().swap(cells_); }

void* const* CellSpace::GetCellFirst(const int32_t index[3]) const {
  if (cells_.empty()) return nullptr;
  if (!Inside(index)) return GetCell(index);
  return cells_[At(index)].data();
}

void* const* CellSpace::GetCell(const int32_t index[3]) const {
  if (cells_.empty()) return nullptr;
  static constexpr int32_t kOrigin[3] = {0, 0, 0};
  const std::vector<void*>& cell = cells_[At(Inside(index) ? index : kOrigin)];
  return cell.data() + cell.size();
}
