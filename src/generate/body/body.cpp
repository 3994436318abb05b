// The body: its stack and library of solids, and the grid of its blocks.
#include "generate/body/body.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "generate/body/body_interp.h"
#include "generate/gen_math.h"

namespace {

std::unique_ptr<Body> g_body;

// Local corners and edges of the six faces of a cell as Coons patches:
// corners A1 ... A4 in cyclic order and the local edges E1 (v = 0), E2
// (u = 1), E3 (v = 1), E4 (u = 0), for the planes x = 0, x = 1, y = 0,
// y = 1, z = 0, z = 1. The patch's u and v run along the directions given.
struct CellFacePatch {
  int corner[4];
  int edge[4];
  int uAxis, vAxis;  // 0 i, 1 j, 2 k
};
constexpr CellFacePatch kCellFacePatch[6] = {
    {{0, 2, 5, 3}, {2, 9, 8, 3}, 1, 2},   {{1, 4, 7, 6}, {5, 12, 11, 6}, 1, 2}, {{0, 1, 6, 3}, {1, 6, 7, 3}, 0, 2},
    {{2, 4, 7, 5}, {4, 12, 10, 9}, 0, 2}, {{0, 1, 4, 2}, {1, 5, 4, 2}, 0, 1},   {{3, 6, 7, 5}, {7, 11, 10, 8}, 0, 1},
};

// The local cell edge's position across its direction: which end of the two
// other axes it lies at (class 1 edges: j and k; class 2: i and k; class 3: i and j).
constexpr int kEdgeCross[12][2] = {{0, 0}, {0, 0}, {0, 0}, {1, 0}, {1, 0}, {1, 0},
                                   {0, 1}, {0, 1}, {0, 1}, {1, 1}, {1, 1}, {1, 1}};

// The ten tetrahedra of the two overlays of a zone, by corner.
constexpr int kOverlayTets[10][4] = {{0, 4, 5, 6}, {1, 4, 0, 6}, {2, 0, 4, 5}, {3, 5, 6, 0}, {7, 6, 5, 4},
                                     {7, 2, 1, 3}, {0, 1, 2, 3}, {4, 2, 1, 7}, {5, 7, 3, 2}, {6, 3, 7, 1}};

}  // namespace

Body::Body()
    : top_(std::make_unique<BodySolid>()),
      parameters_(static_cast<size_t>(kSolidEdges) * kEdgeParameters, 0.0),
      faceVectors_(static_cast<size_t>(kSolidFaces)) {}

Body& TheBody() {
  if (!g_body) g_body = std::make_unique<Body>();
  return *g_body;
}

void ResetBody() {
  if (g_body)
    g_body->Reset();
  else
    g_body = std::make_unique<Body>();
}

void Body::Reset() {
  StackClear();
  LibraryClear();
  Working().Clear();
  currentCell_ = 0;
}

// ---- stack ----

void Body::StackPut() {
  auto fresh = std::make_unique<BodySolid>();
  fresh->next = std::move(top_);
  top_ = std::move(fresh);
}

void Body::StackCopy() {
  auto copy = std::make_unique<BodySolid>();
  copy->solid = top_->solid;
  copy->next = std::move(top_->next);
  top_->next = std::move(copy);
}

void Body::StackDrop() {
  if (top_->next) top_->next = std::move(top_->next->next);
}

void Body::StackGet() {
  if (!top_->next) return;
  std::unique_ptr<BodySolid> below = std::move(top_->next);
  top_ = std::move(below);
}

void Body::StackSwap() {
  if (!top_->next) return;
  std::unique_ptr<BodySolid> below = std::move(top_->next);
  top_->next = std::move(below->next);
  below->next = std::move(top_);
  top_ = std::move(below);
}

void Body::StackClear() {
  // One entry at a time: a long chain is not freed by recursion.
  while (top_->next) top_->next = std::move(top_->next->next);
}

// ---- library ----

BodySolid* Body::FindInLibrary(const String& name) const {
  if (name.Length() < 3) return nullptr;
  for (BodySolid* entry = library_.get(); entry; entry = entry->next.get()) {
    const std::string& have = entry->libraryName.str();
    if (have.compare(0, name.str().size(), name.str()) == 0) return entry;
  }
  return nullptr;
}

void Body::LibraryAdd(const String& name) {
  auto entry = std::make_unique<BodySolid>();
  entry->solid = Working();
  entry->libraryName = name;
  entry->next = std::move(library_);
  library_ = std::move(entry);
}

bool Body::LibraryDelete(const String& name) {
  for (std::unique_ptr<BodySolid>* link = &library_; *link; link = &(*link)->next) {
    if ((*link)->libraryName == name) {
      *link = std::move((*link)->next);
      return true;
    }
  }
  return false;
}

// ---- edge parameters ----

int32_t Body::EdgeSize(const SolidEdge& edge) const {
  if (edge.size < 1 || edge.size > kSolidSizes) return 0;
  const SolidCount& size = Working().Size(edge.size);
  return size.defined ? size.value : 0;
}

void Body::SetEdgeParameter(int32_t edge, int32_t i, double value) {
  SolidIndexCheck(edge, 1, Working().EdgeCount());
  SolidIndexCheck(i, 0, std::min(EdgeSize(Working().Edge(edge)), kEdgeParameters - 1));
  parameters_[static_cast<size_t>(edge - 1) * kEdgeParameters + static_cast<size_t>(i)] = value;
}

double Body::EdgeParameter(int32_t edge, int32_t i) const {
  SolidIndexCheck(edge, 1, Working().EdgeCount());
  SolidIndexCheck(i, 0, std::min(EdgeSize(Working().Edge(edge)), kEdgeParameters - 1));
  return parameters_[static_cast<size_t>(edge - 1) * kEdgeParameters + static_cast<size_t>(i)];
}

void Body::ComputeEdgeParameters(int32_t e) {
  const Solid& solid = Working();
  const SolidEdge& edge = solid.Edge(e);
  const int32_t n = std::min(EdgeSize(edge), kEdgeParameters - 1);
  if (n < 1) return;
  double* t = &parameters_[static_cast<size_t>(e - 1) * kEdgeParameters];
  double r = 1.0;
  if (edge.ratio >= 1 && edge.ratio <= kSolidRatios && solid.Ratio(edge.ratio).defined)
    r = solid.Ratio(edge.ratio).value;
  const bool graded = std::fabs(r - 1.0) >= 1e-6;
  if (graded) {
    double d = (r - 1.0) / (std::pow(r, n) - 1.0);
    t[0] = 0.0;
    for (int32_t i = 1; i <= n; ++i) {
      t[i] = t[i - 1] + d;
      d = d * r;
    }
  } else {
    for (int32_t i = 0; i <= n; ++i) t[i] = static_cast<double>(i) / n;
  }
  if (edge.startVertex == edge.endVertex) {
    for (int32_t i = 0; i <= n; ++i) t[i] = 0.0;
    return;
  }
  if (!edge.arc || edge.straight || n < 2) return;

  // On an arc the lengths between the points, not the parameters, follow
  // the grading. The tolerance has a floor and the rounds a bound: an arc
  // whose ends lie at the origin would otherwise never settle.
  const double reach =
      std::max(GenLength(solid.VertexPosition(edge.startVertex)), GenLength(solid.VertexPosition(edge.endVertex)));
  const double tolerance = std::max(1e-4 * reach, 1e-12);
  double length[kEdgeParameters];
  double updated[kEdgeParameters];
  for (int round = 0; round < 100; ++round) {
    length[0] = 0.0;
    Vec3 previous = edge.Point(t[0]);
    for (int32_t i = 1; i <= n; ++i) {
      const Vec3 p = edge.Point(t[i]);
      length[i] = length[i - 1] + GenLength(p - previous);
      previous = p;
    }
    double step = graded ? length[n] * (r - 1.0) / (std::pow(r, n) - 1.0) : length[n] / n;
    double target = 0.0;
    double largest = 0.0;
    int32_t m = 0;
    for (int32_t i = 1; i < n; ++i) {
      target = target + step;
      if (graded) step = step * r;
      while (m < n - 1 && length[m + 1] < target) ++m;
      const double span = length[m + 1] - length[m];
      const double f = span > 0.0 ? (target - length[m]) / span : 0.0;
      updated[i] = (1.0 - f) * t[m] + f * t[m + 1];
      largest = std::max(largest, std::fabs(updated[i] - t[i]));
    }
    for (int32_t i = 1; i < n; ++i) t[i] = updated[i];
    if (!(largest > tolerance)) break;
  }
}

void Body::ComputeAllEdgeParameters() {
  const Solid& solid = Working();
  for (int32_t e = 1; e <= solid.EdgeCount(); ++e)
    if (solid.Edge(e).defined) ComputeEdgeParameters(e);
}

Vec3 Body::EdgePoint(int32_t e, int32_t i) const {
  const SolidEdge& edge = Working().Edge(e);
  if (!edge.defined) return Vec3{};
  return edge.Point(EdgeParameter(e, i));
}

// ---- faces and cells ----

Vec3 Body::FaceVector(int32_t face) const {
  SolidIndexCheck(face, 1, Working().FaceCount());
  return faceVectors_[static_cast<size_t>(face - 1)];
}

Vec3 Body::FacePoints(int32_t f, int32_t i, int32_t j) const {
  const Solid& solid = Working();
  const SolidFace& face = solid.Face(f);
  if (!face.defined) return Vec3{};
  int32_t n[4];
  for (int s = 0; s < 4; ++s) n[s] = EdgeSize(solid.Edge(face.Edge(s)));
  SolidIndexCheck(i, 0, n[0]);
  SolidIndexCheck(j, 0, n[1]);
  Vec3 a[4];
  for (int c = 0; c < 4; ++c) a[c] = solid.VertexPosition(face.Vertex(c));
  // Each edge point counted from the corner where the patch parameter is 0:
  // edges 1 and 3 from corners 0 and 3 at i, edges 2 and 4 from corners 1 and 0 at j.
  auto point = [&](int side, int from, int32_t index) {
    const int32_t e = face.Edge(side);
    const SolidEdge& edge = solid.Edge(e);
    return EdgePoint(e, edge.startVertex == face.Vertex(from) ? index : EdgeSize(edge) - index);
  };
  const Vec3 e[4] = {point(0, 0, i), point(1, 1, j), point(2, 3, i), point(3, 0, j)};
  const double u = n[0] > 0 ? static_cast<double>(i) / n[0] : 0.0;
  const double v = n[1] > 0 ? static_cast<double>(j) / n[1] : 0.0;
  return CoonsPoint(a, e, u, v);
}

void Body::RefreshFaces() {
  const Solid& solid = Working();
  for (int32_t f = 1; f <= solid.FaceCount(); ++f) {
    const SolidFace& face = solid.Face(f);
    if (!face.defined) continue;
    const Vec3 d1 = solid.VertexPosition(face.Vertex(2)) - solid.VertexPosition(face.Vertex(0));
    const Vec3 d2 = solid.VertexPosition(face.Vertex(3)) - solid.VertexPosition(face.Vertex(1));
    faceVectors_[static_cast<size_t>(f - 1)] = Vec3::Cross(d1, d2) * 0.5;
  }
}

void Body::RefreshCells() {
  Solid& solid = Working();
  for (int32_t c = 1; c <= solid.CellCount(); ++c) {
    SolidCell& cell = solid.Cell(c);
    if (!cell.defined) continue;
    // The centre of a twenty-node hexahedron: a quarter of the edge
    // mid-points less a quarter of the corners.
    Vec3 mid, corners;
    for (int32_t local = 1; local <= 12; ++local) {
      const int32_t e = cell.Edge(local);
      if (e > 0 && solid.Edge(e).defined) mid += solid.Edge(e).Point(0.5);
    }
    for (int32_t k = 0; k < 8; ++k) corners += solid.VertexPosition(cell.Vertex(k));
    const Vec3 centre = (mid - corners) * 0.25;
    cell.reals[0] = centre.x;
    cell.reals[1] = centre.y;
    cell.reals[2] = centre.z;
  }
}

void Body::Refresh() {
  Solid& solid = Working();
  solid.ComputeFixedVertices();
  solid.UpdateEdges();
  ComputeAllEdgeParameters();
  RefreshFaces();
  RefreshCells();
}

void Body::UpdateExtent(Vec3& lo, Vec3& hi) const {
  const Solid& solid = Working();
  for (int32_t v = 0; v < solid.VertexCount(); ++v) {
    const SolidVertex& vertex = solid.Vertex(v);
    if (!vertex.defined) continue;
    lo = MinVect3(lo, vertex.position);
    hi = MaxVect3(hi, vertex.position);
  }
}

void Body::CellSizes(int32_t c, int32_t n[3]) const {
  const Solid& solid = Working();
  const SolidCell& cell = solid.Cell(c);
  for (int32_t m = 0; m < 3; ++m) {
    const int32_t e = cell.Edge(m + 1);
    n[m] = e > 0 ? EdgeSize(solid.Edge(e)) : 0;
  }
}

Vec3 Body::CellEdgePoint(const SolidCell& cell, int32_t local, int32_t index) const {
  const int32_t e = cell.Edge(local);
  const SolidEdge& edge = Working().Edge(e);
  if (edge.startVertex == cell.Vertex(kSolidCellEdgeEnds[local - 1][0])) return EdgePoint(e, index);
  return EdgePoint(e, EdgeSize(edge) - index);
}

Vec3 Body::CellGrid(int32_t c, int32_t i, int32_t j, int32_t k) const {
  const Solid& solid = Working();
  const SolidCell& cell = solid.Cell(c);
  if (!cell.defined) return Vec3{};
  int32_t n[3];
  CellSizes(c, n);
  const int32_t index[3] = {i, j, k};
  for (int m = 0; m < 3; ++m) SolidIndexCheck(index[m], 0, n[m]);
  double f[3];
  for (int m = 0; m < 3; ++m) f[m] = n[m] > 0 ? static_cast<double>(index[m]) / n[m] : 0.0;
  const double u = f[0], v = f[1], w = f[2];

  Vec3 corner[8];
  for (int q = 0; q < 8; ++q) corner[q] = solid.VertexPosition(cell.Vertex(q));
  Vec3 edge[12];
  for (int32_t local = 1; local <= 12; ++local)
    edge[local - 1] = CellEdgePoint(cell, local, index[SolidEdgeClass(local) - 1]);
  Vec3 face[6];
  for (int s = 0; s < 6; ++s) {
    const CellFacePatch& patch = kCellFacePatch[s];
    const Vec3 a[4] = {corner[patch.corner[0]], corner[patch.corner[1]], corner[patch.corner[2]],
                       corner[patch.corner[3]]};
    const Vec3 p[4] = {edge[patch.edge[0] - 1], edge[patch.edge[1] - 1], edge[patch.edge[2] - 1],
                       edge[patch.edge[3] - 1]};
    face[s] = CoonsPoint(a, p, f[patch.uAxis], f[patch.vAxis]);
  }
  const double faceWeight[6] = {1.0 - u, u, 1.0 - v, v, 1.0 - w, w};
  // An edge of direction d is weighted by the two other fractions, each
  // taken as f or 1 - f by the end of that axis the edge lies at.
  double edgeWeight[12];
  for (int32_t local = 1; local <= 12; ++local) {
    const int d = SolidEdgeClass(local) - 1;
    const int a1 = d == 0 ? 1 : 0, a2 = d == 2 ? 1 : 2;
    const double w1 = kEdgeCross[local - 1][0] ? f[a1] : 1.0 - f[a1];
    const double w2 = kEdgeCross[local - 1][1] ? f[a2] : 1.0 - f[a2];
    edgeWeight[local - 1] = w1 * w2;
  }
  double cornerWeight[8];
  for (int q = 0; q < 8; ++q) {
    const double* at = kSolidCellCorner[q];
    cornerWeight[q] = (at[0] > 0 ? u : 1.0 - u) * (at[1] > 0 ? v : 1.0 - v) * (at[2] > 0 ? w : 1.0 - w);
  }
  return WeightedSum6(face, faceWeight) - WeightedSum12(edge, edgeWeight) + WeightedSum8(corner, cornerWeight);
}

CellStatistics Body::CellZoneStatistics(int32_t c) const {
  CellStatistics stats;
  int32_t n[3];
  CellSizes(c, n);
  if (n[0] < 1 || n[1] < 1 || n[2] < 1) {
    stats.zones = 0;
    return stats;
  }
  stats.zones = int64_t{n[0]} * n[1] * n[2];
  // The grid of the whole cell once; each zone reads its eight corners.
  const size_t ni = static_cast<size_t>(n[0]) + 1, nj = static_cast<size_t>(n[1]) + 1;
  gridBuffer_.resize(ni * nj * (static_cast<size_t>(n[2]) + 1));
  for (int32_t k = 0; k <= n[2]; ++k)
    for (int32_t j = 0; j <= n[1]; ++j)
      for (int32_t i = 0; i <= n[0]; ++i)
        gridBuffer_[(static_cast<size_t>(k) * nj + static_cast<size_t>(j)) * ni + static_cast<size_t>(i)] =
            CellGrid(c, i, j, k);
  for (int32_t k = 0; k < n[2]; ++k)
    for (int32_t j = 0; j < n[1]; ++j)
      for (int32_t i = 0; i < n[0]; ++i) {
        Vec3 p[8];
        for (int q = 0; q < 8; ++q) {
          const double* at = kSolidCellCorner[q];
          const size_t ii = static_cast<size_t>(i) + (at[0] > 0), jj = static_cast<size_t>(j) + (at[1] > 0),
                       kk = static_cast<size_t>(k) + (at[2] > 0);
          p[q] = gridBuffer_[(kk * nj + jj) * ni + ii];
        }
        double t[10];
        for (int q = 0; q < 10; ++q)
          t[q] = TetVolume(p[kOverlayTets[q][0]], p[kOverlayTets[q][1]], p[kOverlayTets[q][2]], p[kOverlayTets[q][3]]);
        double a = 0.0, b = 0.0;
        for (int q = 0; q < 5; ++q) a += t[q];
        for (int q = 5; q < 10; ++q) b += t[q];
        const double volume = (a + b) / 2.0;
        double tmin = t[0], tmax = t[0];
        for (int q = 1; q < 10; ++q) {
          if (std::fabs(t[q]) < std::fabs(tmin)) tmin = t[q];
          if (std::fabs(t[q]) > std::fabs(tmax)) tmax = t[q];
        }
        stats.tetraRatio = std::min(stats.tetraRatio, tmin / tmax);
        stats.delOverV = std::min(stats.delOverV, std::fabs(std::fabs(a) - std::fabs(b)) / std::fabs(volume));
        if (std::fabs(volume) < std::fabs(stats.minVol)) stats.minVol = volume;
        if (std::fabs(volume) > std::fabs(stats.maxVol)) stats.maxVol = volume;
        stats.totVol += volume;
      }
  return stats;
}
