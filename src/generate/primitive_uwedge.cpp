// The uniform wedge: a wedge whose triangular cross-section has n1 zones
// along one graded side and n3 along the other, the larger a whole multiple
// s of the smaller. The triangle is filled with rows of nodes that run from
// the big side towards the third side; every s-th row has one node fewer,
// and the zone at the end of that step is a wedge. The cross-section is
// extruded through n2 planes along the wedge's axis p0 - p2.
//
// Nodes are found again by position: the rows of neighbouring planes and
// neighbouring rows share their grid-points through a hash of the
// grid-points made so far (the first made within reach wins), and merge
// with the boundary of the grid that was there. Faces are joined at the end
// through a hash of the new zones' faces by their grid-points.
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "generate/gen_math.h"
#include "generate/generation_set.h"
#include "generate/primitive_builders.h"
#include "model/grid.h"

namespace {

[[noreturn]] void ThrowGeneratorError() { throw QJExcept("UWedge grid generator error."); }

// The nodes of row m (0 ... nBig) of a cross-section: nSmall + 1 in row 0,
// one fewer at every multiple of s, one in the last row.
int RowNodes(int m, int nBig, int nSmall) {
  if (nBig == nSmall) return nSmall - m + 1;
  if (nSmall == 1) return m == nBig ? 1 : 2;
  return nSmall + 2 - (m / (nBig / nSmall) + 1);
}

std::vector<double> Fractions(int n, double r) {
  std::vector<double> f(static_cast<size_t>(n) + 1);
  for (int i = 0; i <= n; ++i) f[static_cast<size_t>(i)] = GradedFraction(i, n, r);
  return f;
}

class UWedgeBuilder {
 public:
  UWedgeBuilder(const MeshPrimitive& primitive, CommandType& interp) : p_(primitive), interp_(interp) {
    const int n1 = p_.size[0], n3 = p_.size[2];
    nBig_ = std::max(n1, n3);
    nSmall_ = std::min(n1, n3);
    step_ = nBig_ / nSmall_;
    // The working corners: with n1 < n3 the roles of i and k change and the
    // axis runs from the far end.
    static constexpr int kStraight[6] = {0, 1, 2, 3, 4, 5}, kSwapped[6] = {2, 5, 0, 4, 3, 1};
    const int* order = n1 >= n3 ? kStraight : kSwapped;
    for (int c = 0; c < 6; ++c) corner_[c] = p_.point[order[c]];
    const double bigRatio = n1 >= n3 ? p_.ratio[0] : p_.ratio[2];
    const double smallRatio = n1 >= n3 ? p_.ratio[2] : p_.ratio[0];
    const double axisRatio = n1 >= n3 ? p_.ratio[1] : 1.0 / p_.ratio[1];
    big_ = Fractions(nBig_, bigRatio);
    small_ = Fractions(nSmall_, smallRatio);
    axis_ = Fractions(p_.size[1], axisRatio);
    // Every node lies in the hull of the corners.
    double scale = 0.0;
    for (const Vec3& c : corner_) scale = std::max(scale, GenLength(c));
    made_.Reset(scale);
    uint64_t zones = 0, nodes = 0;
    UWedgeSectionCounts(nBig_, nSmall_, zones, nodes);
    made_.Reserve(nodes * (uint64_t(p_.size[1]) + 1));
  }

  void Run() {
    if (p_.merge) boundary_.CollectBoundary();
    const int n2 = p_.size[1];
    std::vector<GridPoint*> r1, r2, r3, r4;
    for (int j = 1; j <= n2; ++j) {
      const String line = MessageText("Generating Plane %s of %s", IntToString(j), IntToString(n2)) + "\r";
      interp_.ConsoleStream::Write(line.c_str());
      const Section below = SectionAt(j - 1), above = SectionAt(j);
      BuildRow(below, 0, r2);
      BuildRow(above, 0, r1);
      for (int m = 1; m <= nBig_; ++m) {
        BuildRow(below, m, r3);
        BuildRow(above, m, r4);
        if (r3.size() != r4.size() || r1.size() != r2.size()) ThrowGeneratorError();
        // Bricks: the i step to the next row, j to the next plane, k along the row.
        for (size_t q = 0; q + 1 < r3.size(); ++q) {
          GridPoint* const gps[8] = {r2[q], r3[q], r1[q], r2[q + 1], r4[q], r1[q + 1], r3[q + 1], r4[q + 1]};
          MakeZone(gps, kBrick);
        }
        // The row lost a node: a wedge closes it.
        if (r2.size() == r3.size() + 1 && !r3.empty()) {
          const size_t e = r3.size() - 1;
          GridPoint* const gps[8] = {r2[e], r3[e], r1[e], r2[e + 1], r4[e], r1[e + 1], r2[e + 1], r1[e + 1]};
          MakeZone(gps, kWedge);
        }
        std::swap(r2, r3);
        std::swap(r1, r4);
      }
    }
  }

  // The faces of the new zones without neighbour join the first later new
  // zone with a free face over the same grid-points, else (merging) the
  // first free face of the old grid that is still free. A link joins two
  // faces of one key, so the faces are sorted by key and each key's faces
  // are taken in list order, as a walk of the whole list would take them.
  void ConnectFaces() {
    struct Entry {
      FaceKey key;
      uint32_t zone;
      int face;
    };
    const std::less<const GridPoint*> before;
    auto keyBefore = [&](const FaceKey& a, const FaceKey& b) {
      for (size_t c = 0; c < 4; ++c)
        if (a[c] != b[c]) return before(a[c], b[c]);
      return false;
    };
    std::vector<Entry> entries;
    entries.reserve(zones_.size() * kZoneFaces);
    for (uint32_t z = 0; z < zones_.size(); ++z) {
      for (int f = 0; f < kZoneFaces; ++f) {
        FaceKey key;
        if (zones_[z]->FaceGpCount(f) >= 3 && KeyOfZoneFace(*zones_[z], f, key)) entries.push_back(Entry{key, z, f});
      }
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
      if (keyBefore(a.key, b.key)) return true;
      if (keyBefore(b.key, a.key)) return false;
      return a.zone != b.zone ? a.zone < b.zone : a.face < b.face;
    });
    for (size_t first = 0; first < entries.size();) {
      size_t end = first + 1;
      while (end < entries.size() && entries[end].key == entries[first].key) ++end;
      for (size_t e = first; e < end; ++e) {
        Zone* zone = zones_[entries[e].zone];
        const int f = entries[e].face;
        if (zone->Neighbour(f)) continue;
        Zone* other = nullptr;
        int otherFace = -1;
        for (size_t c = e + 1; c < end && !other; ++c) {
          Zone* candidate = zones_[entries[c].zone];
          if (entries[c].zone == entries[e].zone || candidate->IsNull() || candidate->Neighbour(entries[c].face))
            continue;
          other = candidate;
          otherFace = entries[c].face;
        }
        if (!other && p_.merge) {
          if (const FaceRecord* record = boundary_.FindUnjoinedFreeFace(entries[e].key)) {
            other = record->zone;
            otherFace = record->face;
          }
        }
        if (other) GridBatch::Link(zone, f, other, otherFace);
      }
      first = end;
    }
  }

  // Each zone takes the primitive's group with its grid-points. A grid-point
  // that cannot take one more group leaves that zone without one; the first
  // such error is raised when all zones are done.
  void ApplyGroups() {
    if (!p_.group) return;
    bool failed = false;
    String message;
    for (Zone* z : zones_) {
      try {
        z->SetGroup(p_.group);
      } catch (const KWRExcept& e) {
        if (!failed) message = e.Text();
        failed = true;
      }
    }
    if (failed) throw QJExcept(message);
  }

 private:
  // The triangle a, b, c of one plane, with the points of its two graded
  // sides that the rows' inner nodes are lined up with: a - c in nSmall
  // zones, and every s-th node of c - b in nBig zones, from b back to c.
  struct Section {
    Vec3 a, b, c;
    std::vector<Vec3> small, big;
  };

  Section SectionAt(int j) const {
    const double t = axis_[static_cast<size_t>(j)];
    const Vec3* c = corner_;
    Section s;
    s.a = c[0] + (c[2] - c[0]) * t;
    s.b = c[1] + (c[4] - c[1]) * t;
    s.c = c[3] + (c[5] - c[3]) * t;
    s.small.resize(static_cast<size_t>(nSmall_) + 1);
    s.big.resize(static_cast<size_t>(nSmall_) + 1);
    for (int q = 0; q <= nSmall_; ++q) {
      s.small[static_cast<size_t>(q)] = s.a + (s.c - s.a) * small_[static_cast<size_t>(q)];
      s.big[static_cast<size_t>(nSmall_ - q)] = s.c + (s.b - s.c) * big_[static_cast<size_t>(q) * size_t(step_)];
    }
    return s;
  }

  // Row m runs from the big side a - b to the side c - b at the fraction of
  // m along both; its inner nodes lie where it crosses the lines from the
  // small side to the third.
  void BuildRow(const Section& s, int m, std::vector<GridPoint*>& row) {
    row.clear();
    const int n = RowNodes(m, nBig_, nSmall_);
    const double t = big_[static_cast<size_t>(m)];
    const Vec3 start = s.a + (s.b - s.a) * t;
    const Vec3 end = s.c + (s.b - s.c) * t;
    if (n > 0) row.push_back(GridPointAt(start));
    for (int q = 1; q <= n - 2; ++q) {
      Vec3 at;
      if (!IntersectSegments(start, end, s.small[static_cast<size_t>(q)], s.big[static_cast<size_t>(q)], at))
        ThrowGeneratorError();
      row.push_back(GridPointAt(at));
    }
    if (n > 1) row.push_back(GridPointAt(end));
  }

  // A grid-point this generation made within reach, else one of the old
  // grid's boundary (merging), else a new one.
  GridPoint* GridPointAt(const Vec3& at) {
    const double position[3] = {at.x, at.y, at.z};
    if (GridPoint* gp = made_.Find(position, PointHash::kFirstAdded)) return gp;
    if (p_.merge)
      if (GridPoint* gp = boundary_.FindBoundaryGridPoint(position)) return gp;
    GridPoint* gp = GridBatch::NewGridPoint(position);
    made_.Add(gp);
    return gp;
  }

  void MakeZone(GridPoint* const gps[8], int type) {
    Zone* zone = nullptr;
    try {
      zone = GridBatch::NewZone();
    } catch (const MemExcept&) {
      throw QJExcept("Memory allocation error.");
    }
    for (int c = 0; c < 8; ++c) zone->SetGp(c, gps[c]);
    zone->SetType(type);
    zones_.push_back(zone);
  }

  const MeshPrimitive& p_;
  CommandType& interp_;
  int nBig_ = 1, nSmall_ = 1, step_ = 1;
  Vec3 corner_[6];
  std::vector<double> big_, small_, axis_;
  GenerationSet boundary_;
  PointHash made_;
  std::vector<Zone*> zones_;
};

}  // namespace

void UWedgeSectionCounts(int nBig, int nSmall, uint64_t& zones, uint64_t& nodes) {
  // Row m has nSmall + 1 - floor(m / s) nodes; the steps lose nSmall nodes
  // in all, each closed by a wedge.
  const uint64_t big = uint64_t(nBig), small = uint64_t(nSmall);
  const uint64_t lost = big * (small - 1) / 2;  // s * nSmall (nSmall - 1) / 2
  zones = big * small - lost;
  nodes = (big + 1) * (small + 1) - lost - small;
}

void CheckUWedgeSizes(const MeshPrimitive& primitive) {
  const int n1 = primitive.size[0], n3 = primitive.size[2];
  if (n1 < 1 || primitive.size[1] < 1 || n3 < 1) throw QJExcept("Sizes n1 n2 n3 must be > 0.");
  if (std::max(n1, n3) % std::min(n1, n3) != 0)
    throw QJExcept("Sizes n1 and n3 must be an even multiple of each other.");
}

void UWedge(const MeshPrimitive& primitive, CommandType& interp) {
  CheckUWedgeSizes(primitive);
  UWedgeBuilder builder(primitive, interp);
  struct EndLine {
    CommandType& interp;
    ~EndLine() {
      try {
        interp.ConsoleStream::Write("\n");
      } catch (...) {
      }
    }
  } endLine{interp};
  uint64_t zones = 0, nodes = 0;
  UWedgeSectionCounts(std::max(primitive.size[0], primitive.size[2]), std::min(primitive.size[0], primitive.size[2]),
                      zones, nodes);
  GridBatch batch(nodes * (uint64_t(primitive.size[1]) + 1), zones * uint64_t(primitive.size[1]));
  try {
    builder.Run();
  } catch (...) {
    // What was made stays, joined and grouped.
    try {
      builder.ConnectFaces();
      builder.ApplyGroups();
    } catch (const KWRExcept&) {
    }
    throw;
  }
  builder.ConnectFaces();
  builder.ApplyGroups();
}
