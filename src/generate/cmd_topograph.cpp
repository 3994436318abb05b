// GENERATE TOPOGRAPH: the grid-points of a range are moved in z so that the
// top (or the bottom) of the range follows the ground surface given by the
// GENERATE surface triangles, the grid-points between shifted in proportion.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "base/range.h"
#include "generate/gen_geometry.h"
#include "generate/topograph.h"
#include "model/grid.h"
#include "model/model_interpreter.h"
#include "model/services.h"

namespace {

const char* const kModeWords = "above below";
const char* const kTargetWords = "name surfid";
enum TargetWord { kName = 1, kSurfid };

constexpr uint32_t kPositionsChanged = 0x4;  // view change code

// A selected triangle as seen from above: its corners, the unit directions
// of its edges and the constants of the height interpolation in x and y.
struct Facet {
  double x[3], y[3], z[3];
  double ex[3], ey[3];
  double det;        // twice the signed area of the x-y projection
  double tolerance;  // how far outside an edge a position still counts as on it
  double box[4];     // x and y bounds, widened beyond the tolerance

  // Whether (px, py) lies on the inner side of each edge (the corners are
  // counter-clockwise seen from +z) or on an edge. A position on an edge
  // shared by two triangles must count for at least one of them whatever the
  // rounding, hence the small tolerance.
  bool Contains(double px, double py) const {
    for (int k = 0; k < 3; ++k) {
      const double side = ex[k] * (py - y[k]) - ey[k] * (px - x[k]);
      if (!(side >= -tolerance)) return false;
    }
    return true;
  }

  // The height of the triangle's plane at (px, py), by Cramer's rule.
  double HeightAt(double px, double py) const {
    const double l1 = ((px - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (py - y[0])) / det;
    const double l2 = ((x[1] - x[0]) * (py - y[0]) - (px - x[0]) * (y[1] - y[0])) / det;
    return z[0] + l1 * (z[1] - z[0]) + l2 * (z[2] - z[0]);
  }
};

// A triangle whose projection has no area gives no height (a vertical wall
// would otherwise pull the grid-points under it to z = 0); it is left out.
bool MakeFacet(const GenTriangle* t, Facet* f) {
  for (int k = 0; k < 3; ++k) {
    const Vec3 p = t->Point(k)->Position();
    f->x[k] = p.x;
    f->y[k] = p.y;
    f->z[k] = p.z;
  }
  f->det = (f->x[1] - f->x[0]) * (f->y[2] - f->y[0]) - (f->x[2] - f->x[0]) * (f->y[1] - f->y[0]);
  if (f->det == 0.0 || !std::isfinite(f->det)) return false;
  double scale = 0.0;
  for (int k = 0; k < 3; ++k) {
    const int n = (k + 1) % 3;
    const double dx = f->x[n] - f->x[k];
    const double dy = f->y[n] - f->y[k];
    const double length = std::hypot(dx, dy);
    f->ex[k] = dx / length;
    f->ey[k] = dy / length;
    scale = std::max({scale, std::fabs(f->x[k]), std::fabs(f->y[k]), length});
  }
  f->tolerance = 1e-12 * scale;
  const double pad = 1e-9 * scale;
  f->box[0] = std::min({f->x[0], f->x[1], f->x[2]}) - pad;
  f->box[1] = std::max({f->x[0], f->x[1], f->x[2]}) + pad;
  f->box[2] = std::min({f->y[0], f->y[1], f->y[2]}) - pad;
  f->box[3] = std::max({f->y[0], f->y[1], f->y[2]}) + pad;
  return true;
}

// The selected triangles in list order, filed in an x-y grid of cells by
// their boxes; each cell keeps list order.
class FacetGrid {
 public:
  explicit FacetGrid(std::vector<Facet> facets) : facets_(std::move(facets)) {
    if (facets_.empty()) return;
    for (const Facet& f : facets_) {
      lo_[0] = std::min(lo_[0], f.box[0]);
      hi_[0] = std::max(hi_[0], f.box[1]);
      lo_[1] = std::min(lo_[1], f.box[2]);
      hi_[1] = std::max(hi_[1], f.box[3]);
    }
    Size();
    const uint64_t limit = 8 * static_cast<uint64_t>(facets_.size()) + 64;
    while (Entries() > limit && (cells_[0] > 1 || cells_[1] > 1)) {
      for (int k = 0; k < 2; ++k) {
        const int32_t fewer = std::max(1, cells_[k] / 2);
        scale_[k] *= static_cast<double>(fewer) / cells_[k];
        cells_[k] = fewer;
      }
    }
    const size_t count = static_cast<size_t>(cells_[0]) * static_cast<size_t>(cells_[1]);
    start_.assign(count + 1, 0);
    Each([&](size_t cell, uint32_t) { ++start_[cell + 1]; });
    for (size_t k = 0; k < count; ++k) start_[k + 1] += start_[k];
    items_.resize(start_[count]);
    std::vector<uint32_t> fill(start_.begin(), start_.end() - 1);
    Each([&](size_t cell, uint32_t facet) { items_[fill[cell]++] = facet; });
  }

  // The last facet in list order that holds (x, y), or null.
  const Facet* LastHolding(double x, double y) const {
    if (facets_.empty() || !(x >= lo_[0] && x <= hi_[0] && y >= lo_[1] && y <= hi_[1])) return nullptr;
    const size_t cell = static_cast<size_t>(CellOf(1, y)) * cells_[0] + CellOf(0, x);
    for (uint32_t k = start_[cell + 1]; k > start_[cell]; --k) {
      const Facet& f = facets_[items_[k - 1]];
      if (f.Contains(x, y)) return &f;
    }
    return nullptr;
  }

 private:
  // About one cell per facet, shaped like the facets' extent.
  void Size() {
    const double n = static_cast<double>(std::min<size_t>(facets_.size(), 1u << 22));
    const double w = hi_[0] - lo_[0];
    const double h = hi_[1] - lo_[1];
    double cells[2] = {1.0, 1.0};
    if (n > 8.0 && w > 0.0 && h > 0.0 && std::isfinite(w) && std::isfinite(h)) {
      const double ratio = std::clamp(w / h, 1.0 / n, n);
      cells[0] = std::clamp(std::round(std::sqrt(n * ratio)), 1.0, n);
      cells[1] = std::clamp(std::round(n / cells[0]), 1.0, n);
    }
    const double width[2] = {w, h};
    for (int k = 0; k < 2; ++k) {
      cells_[k] = static_cast<int32_t>(cells[k]);
      scale_[k] = cells_[k] / width[k];
      if (!(width[k] > 0.0) || !std::isfinite(scale_[k])) {
        cells_[k] = 1;
        scale_[k] = 0.0;
      }
    }
  }

  // A rule that never decreases along an axis: a box that holds a position
  // spans the position's cell.
  int32_t CellOf(int k, double v) const {
    const double f = (v - lo_[k]) * scale_[k];
    if (!(f >= 0.0)) return 0;
    if (f >= cells_[k]) return cells_[k] - 1;
    return static_cast<int32_t>(f);
  }

  template <class Visit>
  void Each(Visit&& visit) const {
    for (uint32_t n = 0; n < facets_.size(); ++n) {
      const Facet& f = facets_[n];
      const int32_t i0 = CellOf(0, f.box[0]), i1 = CellOf(0, f.box[1]);
      const int32_t j0 = CellOf(1, f.box[2]), j1 = CellOf(1, f.box[3]);
      for (int32_t j = j0; j <= j1; ++j)
        for (int32_t i = i0; i <= i1; ++i) visit(static_cast<size_t>(j) * cells_[0] + i, n);
    }
  }

  uint64_t Entries() const {
    uint64_t total = 0;
    for (const Facet& f : facets_) {
      total += static_cast<uint64_t>(CellOf(0, f.box[1]) - CellOf(0, f.box[0]) + 1) *
               static_cast<uint64_t>(CellOf(1, f.box[3]) - CellOf(1, f.box[2]) + 1);
    }
    return total;
  }

  std::vector<Facet> facets_;
  double lo_[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
  double hi_[2] = {-std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
  double scale_[2] = {0.0, 0.0};
  int32_t cells_[2] = {1, 1};
  std::vector<uint32_t> start_;
  std::vector<uint32_t> items_;
};

std::vector<Facet> SelectFacets(int32_t surfaceId, const String* name) {
  std::vector<Facet> facets;
  const GenGeometry* store = ActiveGenGeometry();
  if (!store) return facets;
  for (const GenTriangle* t : store->Triangles()) {
    if (surfaceId != 0 && t->GetSurfaceId() != surfaceId) continue;
    if (name && t->GetName().CompareString(*name) != 0) continue;
    Facet f;
    if (MakeFacet(t, &f)) facets.push_back(f);
  }
  return facets;
}

}  // namespace

void TopographCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  int mode = kTopographAbove;
  int word = 0;
  if (interp.MatchKeyword(kModeWords, word) == CommandType::kOk) mode = word;
  int32_t surfaceId = 0;
  String name;
  const bool byName = interp.GetKeyword(kTargetWords) == kName;
  if (byName)
    name = interp.GetString();
  else
    surfaceId = interp.GetInt();
  if (interp.HasToken()) interp.ThrowParamError(CommandType::kUnrecognized);
  ProjectToTopography(interp, range, surfaceId, byName ? &name : nullptr, mode);
}

void ProjectToTopography(ConsoleStream& console, const Range& range, int32_t surfaceId, const String* name, int mode) {
  console << MessageText("Generating topograph ...") << "\n";
  const bool everything = range.ElementCount() == 0;
  double zmin = std::numeric_limits<double>::infinity();
  double zmax = -zmin;
  std::vector<GridPoint*> waiting;  // in the range and not moved before
  for (GridPoint* gp : GridPointList()) {
    gp->flags &= ~NodeBase::kTopographRange;
    if (!everything && !range.IsInAt(gp->position, gp)) continue;
    gp->flags |= NodeBase::kTopographRange;
    zmin = std::min(zmin, gp->position[2]);
    zmax = std::max(zmax, gp->position[2]);
    if (!(gp->flags & NodeBase::kTopographMoved)) waiting.push_back(gp);
  }
  if (zmin <= zmax && !(zmax > zmin)) throw GenExcept(MessageText("Grid-points in the range must span a height"));
  const double a = mode == kTopographBelow ? zmax : zmin;
  const double b = mode == kTopographBelow ? zmin : zmax;

  const FacetGrid grid(SelectFacets(surfaceId, name));
  bool moved = false;
  for (GridPoint* gp : waiting) {
    const Facet* f = grid.LastHolding(gp->position[0], gp->position[1]);
    if (!f) continue;
    const double z0 = gp->position[2];
    const double zs = f->HeightAt(gp->position[0], gp->position[1]);
    gp->flags |= NodeBase::kTopographMoved;
    gp->position[2] = a + (zs - a) * std::fabs((z0 - a) / (b - a));
    moved = true;
  }
  if (moved) {
    GridIndexesChanged();
    NotifyAllViews(kPositionsChanged);
  }
  console << MessageText("Topograph generated...") << "\n";
}
