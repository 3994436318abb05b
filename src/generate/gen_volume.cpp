// Queries on a GENERATE volume: whether a position lies inside, and the
// point of its surface closest to a position.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "generate/gen_geometry.h"
#include "generate/gen_math.h"

// For the ray along each axis a, a grid of cells over the other two axes b
// and c. A cell lists, in chain order, the triangles that the ray can cross
// (|n_a| at least 1e-6) whose box overlaps the cell in b and c. Cells are
// found by a rule that never decreases along an axis, so a position's cell
// lists every triangle whose box holds the position: the ray meets the same
// triangles in the same order as a walk along the whole chain would, and
// the reduction of its hits to distinct crossings is unchanged.
struct GenVolumeIndex {
  struct Axis {
    double origin[2] = {0.0, 0.0};
    double scale[2] = {0.0, 0.0};  // cells per unit length
    int32_t cells[2] = {1, 1};
    std::vector<uint32_t> start;  // where each cell's list begins in `items`; one entry more than cells
    std::vector<const GenTriangle*> items;

    int32_t CellOf(int k, double v) const {
      const double f = (v - origin[k]) * scale[k];
      if (!(f >= 0.0)) return 0;
      if (f >= cells[k]) return cells[k] - 1;
      return static_cast<int32_t>(f);
    }
  };
  Axis axes[3];
};

namespace {
constexpr double kLargest = 1.7976931348623157e308;

// The cells of the triangle's box in b and c, or false when no position can
// lie in the box. A bound that is not a number rejects no position (the
// box test of the ray lets it through), so it reaches the end of the grid.
bool CellSpan(const GenVolumeIndex::Axis& g, const GenTriangle* t, int b, int c, int32_t lo[2], int32_t hi[2]) {
  const int axis[2] = {b, c};
  for (int k = 0; k < 2; ++k) {
    const double l = t->BoxMin().Component(axis[k]);
    const double h = t->BoxMax().Component(axis[k]);
    if (l > h) return false;
    lo[k] = std::isnan(l) ? 0 : g.CellOf(k, l);
    hi[k] = std::isnan(h) ? g.cells[k] - 1 : g.CellOf(k, h);
  }
  return true;
}

// About one cell per triangle, shaped like the volume's extent in b and c.
void SizeGrid(GenVolumeIndex::Axis& g, const Vec3& lo, const Vec3& hi, int b, int c, size_t count) {
  const int axis[2] = {b, c};
  double width[2];
  for (int k = 0; k < 2; ++k) {
    width[k] = hi.Component(axis[k]) - lo.Component(axis[k]);
    if (!(width[k] > 0.0) || !std::isfinite(width[k])) width[k] = 0.0;
  }
  const double n = static_cast<double>(std::min<size_t>(count, 1u << 22));
  double cells[2] = {1.0, 1.0};
  if (n > 8.0) {
    if (width[0] > 0.0 && width[1] > 0.0) {
      const double ratio = std::clamp(width[0] / width[1], 1.0 / n, n);
      cells[0] = std::clamp(std::round(std::sqrt(n * ratio)), 1.0, n);
      cells[1] = std::clamp(std::round(n / cells[0]), 1.0, n);
    } else if (width[0] > 0.0) {
      cells[0] = n;
    } else if (width[1] > 0.0) {
      cells[1] = n;
    }
  }
  for (int k = 0; k < 2; ++k) {
    g.cells[k] = static_cast<int32_t>(cells[k]);
    g.origin[k] = lo.Component(axis[k]);
    g.scale[k] = width[k] > 0.0 ? g.cells[k] / width[k] : 0.0;
    if (!std::isfinite(g.origin[k]) || !std::isfinite(g.scale[k])) {
      g.cells[k] = 1;
      g.origin[k] = 0.0;
      g.scale[k] = 0.0;
    }
  }
}

// The candidate lists of the ray along `axis`. Triangles that span many
// cells could make the lists far longer than the chain: the grid is then
// made coarser until they fit.
void BuildAxis(GenVolumeIndex::Axis& g, const std::vector<const GenTriangle*>& chain, const Vec3& lo, const Vec3& hi,
               int axis) {
  const int b = (axis + 1) % 3;
  const int c = (axis + 2) % 3;
  std::vector<const GenTriangle*> crossing;
  for (const GenTriangle* t : chain)
    if (!(std::fabs(t->Normal().Component(axis)) < 1e-6)) crossing.push_back(t);
  SizeGrid(g, lo, hi, b, c, crossing.size());
  const uint64_t limit = 8 * static_cast<uint64_t>(crossing.size()) + 64;
  for (;;) {
    uint64_t total = 0;
    for (const GenTriangle* t : crossing) {
      int32_t l[2], h[2];
      if (CellSpan(g, t, b, c, l, h)) total += static_cast<uint64_t>(h[0] - l[0] + 1) * (h[1] - l[1] + 1);
    }
    if (total <= limit || (g.cells[0] == 1 && g.cells[1] == 1)) break;
    for (int k = 0; k < 2; ++k) {
      const int32_t fewer = std::max(1, g.cells[k] / 2);
      if (fewer != g.cells[k]) g.scale[k] *= static_cast<double>(fewer) / g.cells[k];
      g.cells[k] = fewer;
    }
  }
  const size_t cellCount = static_cast<size_t>(g.cells[0]) * static_cast<size_t>(g.cells[1]);
  g.start.assign(cellCount + 1, 0);
  auto each = [&](auto&& visit) {
    for (const GenTriangle* t : crossing) {
      int32_t l[2], h[2];
      if (!CellSpan(g, t, b, c, l, h)) continue;
      for (int32_t j = l[1]; j <= h[1]; ++j)
        for (int32_t i = l[0]; i <= h[0]; ++i) visit(static_cast<size_t>(j) * g.cells[0] + i, t);
    }
  };
  each([&](size_t cell, const GenTriangle*) { ++g.start[cell + 1]; });
  for (size_t k = 0; k < cellCount; ++k) g.start[k + 1] += g.start[k];
  g.items.resize(g.start[cellCount]);
  std::vector<uint32_t> fill(g.start.begin(), g.start.end() - 1);
  each([&](size_t cell, const GenTriangle* t) { g.items[fill[cell]++] = t; });
}

struct Hit {
  Vec3 at;
  double distance;  // from the origin
};

// Whether Q, a point of the triangle's plane, lies in the triangle: on the
// line of an edge or at a corner counts as in.
bool RayHitsTriangle(const GenTriangle* t, const Vec3& q) {
  Vec3 c[3];
  for (int i = 0; i < 3; ++i) {
    c[i] = Vec3::Cross(GenUnit(q - t->Point(i)->Position()), t->Edge(i));
    if (GenLength(c[i]) < 1e-6) return true;
  }
  return Vec3::Dot(c[0], c[1]) >= 0.0 && Vec3::Dot(c[2], c[0]) >= 0.0 && Vec3::Dot(c[2], c[1]) >= 0.0;
}

// The number of distinct crossings of the ray from p along +axis with the
// volume's surface, among the candidates of the ray's cell. A hit closer to
// a kept hit than 1e-6 times its own distance from the origin is the same
// crossing (a ray through a shared edge or corner meets two or more
// triangles there).
int CountCrossings(const GenVolumeIndex& index, const double p[3], int axis, std::vector<Hit>& hits) {
  const int b = (axis + 1) % 3;
  const int c = (axis + 2) % 3;
  const GenVolumeIndex::Axis& g = index.axes[axis];
  const size_t cell = static_cast<size_t>(g.CellOf(1, p[c])) * g.cells[0] + g.CellOf(0, p[b]);
  hits.clear();
  for (uint32_t k = g.start[cell]; k < g.start[cell + 1]; ++k) {
    const GenTriangle* t = g.items[k];
    const Vec3& n = t->Normal();
    const double na = n.Component(axis);
    if (std::fabs(na) < 1e-6) continue;
    const Vec3& lo = t->BoxMin();
    const Vec3& hi = t->BoxMax();
    if (p[b] < lo.Component(b) || p[b] > hi.Component(b)) continue;
    if (p[c] < lo.Component(c) || p[c] > hi.Component(c)) continue;
    const double h = (t->PlaneConstant() - n.Component(b) * p[b] - n.Component(c) * p[c]) / na;
    if (p[axis] - h > 1e-6 * std::max(h, p[axis])) continue;
    if (h < lo.Component(axis) || h > hi.Component(axis)) continue;
    Vec3 q;
    q.Component(axis) = h;
    q.Component(b) = p[b];
    q.Component(c) = p[c];
    if (RayHitsTriangle(t, q)) hits.push_back({q, GenLength(q)});
  }
  int distinct = 0;
  for (size_t i = 0; i < hits.size(); ++i) {
    const double tolerance = 1e-6 * hits[i].distance;
    bool repeated = false;
    for (size_t k = 0; k < i && !repeated; ++k) {
      if (hits[k].distance < 0) continue;  // dropped
      repeated = GenLength(hits[i].at - hits[k].at) < tolerance;
    }
    if (repeated)
      hits[i].distance = -1.0;
    else
      ++distinct;
  }
  return distinct;
}

// Q in T's plane lies in T, boundary included.
bool PointInTriangle(const GenTriangle* t, const Vec3& q) {
  Vec3 k[3];
  for (int i = 0; i < 3; ++i) {
    const Vec3& a = t->Point(i)->Position();
    const Vec3& b = t->Point((i + 1) % 3)->Position();
    k[i] = Vec3::Cross(b - a, q - a);
  }
  return Vec3::Dot(k[0], k[1]) >= 0.0 && Vec3::Dot(k[0], k[2]) >= 0.0 && Vec3::Dot(k[1], k[2]) >= 0.0;
}

// The foot of the perpendicular from p on the segment a-b, when it falls on
// the segment.
bool EdgeFoot(const Vec3& a, const Vec3& b, const Vec3& p, Vec3* foot) {
  const double length = GenLength(a - b);
  const double t = std::max(std::fabs(1e-14 * (std::fabs(b.x) + std::fabs(b.y) + std::fabs(b.z))), 1e-14);
  if (length < t) return false;
  const Vec3 u = (a - b) * (1.0 / length);
  const double da = Vec3::Dot(u, a) - Vec3::Dot(u, p);
  const double db = Vec3::Dot(u, b) - Vec3::Dot(u, p);
  if (da * db > 0.0) return false;
  *foot = a + (b - a) * (std::fabs(da) / (std::fabs(da) + std::fabs(db)));
  return true;
}
}  // namespace

GenVolume::GenVolume() {
  min_ = {kLargest, kLargest, kLargest};
  max_ = {-kLargest, -kLargest, -kLargest};
}

GenVolume::~GenVolume() = default;

void GenVolume::DropIndex() const { index_.reset(); }

const GenVolumeIndex& GenVolume::Index() const {
  if (!index_) {
    std::vector<const GenTriangle*> chain;
    for (const GenTriangle* t = first_; t; t = t->Next()) chain.push_back(t);
    auto index = std::make_unique<GenVolumeIndex>();
    for (int axis = 0; axis < 3; ++axis) BuildAxis(index->axes[axis], chain, min_, max_, axis);
    index_ = std::move(index);
  }
  return *index_;
}

bool GenVolume::Contains(const GenVolume* volume, const double p[3]) {
  if (!volume) return false;
  for (int a = 0; a < 3; ++a)
    if (p[a] < volume->min_.Component(a) || p[a] > volume->max_.Component(a)) return false;
  const GenVolumeIndex& index = volume->Index();
  // One scratch list serves every query; the queries never nest.
  static std::vector<Hit> hits;
  const bool insideX = CountCrossings(index, p, 0, hits) % 2 == 1;
  const bool insideY = CountCrossings(index, p, 1, hits) % 2 == 1;
  if (insideX == insideY) return insideX;
  return CountCrossings(index, p, 2, hits) % 2 == 1;
}

Vec3 GenVolume::Closest(const Vec3& p, GenTriangle** remembered) const {
  GenTriangle* known = remembered ? *remembered : nullptr;
  if (known) {
    const double s = Vec3::Dot(known->Normal(), p) - known->PlaneConstant();
    const Vec3 q = p - known->Normal() * s;
    if (PointInTriangle(known, q)) return q;
  }
  double best = kLargest;
  Vec3 result = p;
  GenTriangle* found = nullptr;
  auto take = [&](const Vec3& q, double distance, GenTriangle* t) {
    best = distance;
    result = q;
    found = t;
  };
  for (GenTriangle* t = first_; t; t = t->Next()) {
    const double s = Vec3::Dot(t->Normal(), p) - t->PlaneConstant();
    if (!(std::fabs(s) <= best)) continue;
    const Vec3 q = p - t->Normal() * s;
    if (PointInTriangle(t, q)) {
      take(q, std::fabs(s), t);
      continue;
    }
    for (int i = 0; i < 3; ++i) {
      Vec3 foot;
      if (!EdgeFoot(t->Point(i)->Position(), t->Point((i + 1) % 3)->Position(), p, &foot)) continue;
      const double distance = GenLength(foot - p);
      if (distance < best) take(foot, distance, t);
    }
    for (int i = 0; i < 3; ++i) {
      const Vec3& corner = t->Point(i)->Position();
      const double distance = GenLength(corner - p);
      if (distance < best) take(corner, distance, t);
    }
  }
  if (remembered) *remembered = found;
  return result;
}
