// The zone whose centroid is nearest to a point, through a cell grid over
// the zones' centroids. The grid is laid out from the zone list at its first
// use after the grid changed (zones made or removed, grid-points moved by a
// command or a large-strain step); a look-up then reads only the cells near the point.
#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <vector>

#include "base/linklist.h"
#include "model/cell_space.h"
#include "model/grid.h"
#include "model/model.h"
#include "model/model_settings.h"

namespace {

double Distance2(const double a[3], const double b[3]) {
  const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return dx * dx + dy * dy + dz * dz;
}

struct Centroid {
  Zone* zone;
  double at[3];
  uint32_t order;  // place in the zone list
};

class ZoneCentroids {
 public:
  Zone* Nearest(const double p[3], bool skipNull) {
    if (!Current()) Build();
    if (entries_.empty()) return nullptr;
    // A point that is no place is as far from every zone: the first one wins.
    if (p[0] != p[0] || p[1] != p[1] || p[2] != p[2]) {
      for (const Centroid& c : entries_)
        if (!skipNull || !c.zone->IsNull()) return c.zone;
      return nullptr;
    }
    int32_t q[3];
    cells_.CellIndex(p, q);
    const int32_t* n = cells_.Counts();
    // Rings of cells around the query's cell, from the first that reaches
    // the grid to the last that still lies in it.
    int64_t first = 0, last = 0;
    for (int a = 0; a < 3; ++a) {
      const int64_t below = -int64_t{q[a]}, above = int64_t{q[a]} - (n[a] - 1);
      first = std::max({first, below, above});
      last = std::max({last, int64_t{q[a]}, int64_t{n[a] - 1} - q[a]});
    }
    // Entries in ring r + 1 and beyond lie at least r cells away along some
    // axis; the margin covers the rounding of the cell indices.
    const double* h = cells_.CellSize();
    double step = DBL_MAX, span = 0.0;
    for (int a = 0; a < 3; ++a) {
      if (h[a] > 0.0) step = std::min(step, h[a]);
      span += cells_.Max()[a] - cells_.Min()[a];
    }
    const Centroid* best = nullptr;
    double bestD = 0.0;
    for (int64_t r = first; r <= last; ++r) {
      VisitRing(q, r, [&](const Centroid& c) {
        if (skipNull && c.zone->IsNull()) return;
        const double d = Distance2(p, c.at);
        if (!best || d < bestD || (d == bestD && c.order < best->order)) {
          best = &c;
          bestD = d;
        }
      });
      if (best && step != DBL_MAX) {
        const double reach = static_cast<double>(r) * step * (1.0 - 1e-9) - 1e-12 * span;
        if (reach > 0.0 && bestD < reach * reach) break;
      }
    }
    return best ? best->zone : nullptr;
  }

 private:
  struct Key {
    uint32_t stamp, count, removals;
    int32_t step;
    bool operator==(const Key&) const = default;
  };
  static Key KeyNow() {
    // Only a large-strain step moves the grid-points.
    return {GridGeometryStamp(), ZoneList().Count(), ListRemovalCount(),
            Settings().largeStrain ? Settings().totalCycles : -1};
  }
  bool Current() const { return built_ && key_ == KeyNow(); }

  void Build() {
    entries_.clear();
    cells_.FreeCells();
    key_ = KeyNow();
    built_ = true;
    entries_.reserve(ZoneList().Count());
    double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX}, hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    uint32_t order = 0;
    for (Zone* z : ZoneList()) {
      Centroid c{z, {0, 0, 0}, order++};
      z->GetPosition(c.at);
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], c.at[a]);
        hi[a] = std::max(hi[a], c.at[a]);
      }
      entries_.push_back(c);
    }
    if (entries_.empty()) return;
    cells_.Build(lo, hi, static_cast<uint32_t>(entries_.size()));
    // Each cell lists its entries in list order.
    for (Centroid& c : entries_) {
      int32_t at[3];
      cells_.CellIndex(c.at, at);
      cells_.AddToCell(&c, at);
    }
  }

  template <class F>
  void VisitCell(int64_t x, int64_t y, int64_t z, F& f) const {
    const int32_t at[3] = {static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(z)};
    for (void* const* it = cells_.GetCellFirst(at); it != cells_.GetCell(at); ++it)
      f(*static_cast<const Centroid*>(*it));
  }

  // The cells of the grid at Chebyshev distance r from q.
  template <class F>
  void VisitRing(const int32_t q[3], int64_t r, F&& f) const {
    const int32_t* n = cells_.Counts();
    int64_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::max<int64_t>(int64_t{q[a]} - r, 0);
      hi[a] = std::min<int64_t>(int64_t{q[a]} + r, n[a] - 1);
    }
    for (int64_t x = lo[0]; x <= hi[0]; ++x)
      for (int64_t y = lo[1]; y <= hi[1]; ++y) {
        const bool side = x == q[0] - r || x == q[0] + r || y == q[1] - r || y == q[1] + r;
        if (side) {
          for (int64_t z = lo[2]; z <= hi[2]; ++z) VisitCell(x, y, z, f);
        } else {
          if (q[2] - r >= 0 && q[2] - r < n[2]) VisitCell(x, y, q[2] - r, f);
          if (r > 0 && q[2] + r >= 0 && q[2] + r < n[2]) VisitCell(x, y, q[2] + r, f);
        }
      }
  }

  std::vector<Centroid> entries_;
  CellSpace cells_{2};
  Key key_{};
  bool built_ = false;
};

ZoneCentroids& Centroids() { return CurrentModel().Part<ZoneCentroids>(); }

}  // namespace

Zone* NearestZoneAny(const double position[3]) { return Centroids().Nearest(position, false); }
Zone* NearestZone(const double position[3]) { return Centroids().Nearest(position, true); }
