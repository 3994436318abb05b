// The generation of a primitive: cells made plane by plane, row by row, each
// a zone over the grid-points of its eight nodes. Nodes on the primitive's
// surface merge with grid-points on the free faces of the grid that was
// there, and the primitive's surface faces join that grid's free faces that
// hold the same grid-points (see generation_set.h).
//
// The wedge, pyramid, cylinder, degenerate brick and tetrahedron are bricks
// with faces or edges collapsed: several nodes (i, j, k) fold onto one, and
// after the last plane the cells along the collapsed parts take the zone
// type of the grid-points they keep.
#include <algorithm>
#include <new>
#include <unordered_set>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/message.h"
#include "generate/generation_set.h"
#include "generate/primitive_builders.h"
#include "model/grid.h"
#include "platform/os_services.h"

namespace {

// The highest number of zones or nodes of one primitive (ids are 32 bits).
constexpr uint64_t kMostObjects = 0x7fffffffu;
// Counts are capped here, far above anything that fits.
constexpr uint64_t kCountCap = uint64_t(1) << 62;

[[noreturn]] void ThrowNoMemory() { throw QJExcept("Memory allocation error."); }

uint64_t CappedProduct(uint64_t a, uint64_t b, uint64_t c) {
  uint64_t r = 1;
  for (uint64_t f : {a, b, c}) {
    if (f != 0 && r > kCountCap / f) return kCountCap;
    r *= f;
  }
  return r;
}

uint64_t CellsOf(const MeshPrimitive& p) { return CappedProduct(p.size[0], p.size[1], p.size[2]); }
uint64_t NodesOf(const MeshPrimitive& p) {
  return CappedProduct(uint64_t(p.size[0]) + 1, uint64_t(p.size[1]) + 1, uint64_t(p.size[2]) + 1);
}

// The zones and nodes that the primitive and all its pieces make at most.
void AddCounts(const MeshPrimitive& p, uint64_t& cells, uint64_t& nodes) {
  for (const MeshPrimitive& piece : RadialPieces(p)) AddCounts(piece, cells, nodes);
  uint64_t c = 0, n = 0;
  switch (p.type) {
    case kPrimRadTunnel:
    case kPrimRadBrick:
    case kPrimCylInt:
    case kPrimTunInt:
      return;  // all in the pieces
    case kPrimRadCylinder:
      c = CellsOf(RadCylinderGradedPart(p));
      n = NodesOf(RadCylinderGradedPart(p));
      break;
    case kPrimUWedge: {
      const int nBig = std::max(p.size[0], p.size[2]), nSmall = std::min(p.size[0], p.size[2]);
      uint64_t zones = 0, points = 0;
      UWedgeSectionCounts(nBig, nSmall, zones, points);
      c = CappedProduct(zones, uint64_t(p.size[1]), 1);
      n = CappedProduct(points, uint64_t(p.size[1]) + 1, 1);
      break;
    }
    default:
      c = CellsOf(p);
      n = NodesOf(p);
      break;
  }
  cells = std::min(kCountCap, cells + c);
  nodes = std::min(kCountCap, nodes + n);
}

// A primitive that could never fit is refused before anything is made: more
// zones or nodes than ids, or more memory than the machine has (a mistyped
// size would otherwise take all of it). A radial primitive counts all its
// pieces.
void CheckFits(const MeshPrimitive& p) {
  uint64_t cells = 0, nodes = 0;
  AddCounts(p, cells, nodes);
  if (cells > kMostObjects || nodes > kMostObjects) ThrowNoMemory();
  // Each object with its pool header, its table entry and its id-map entry.
  const uint64_t bytes = cells * (sizeof(Zone) + 64) + nodes * (sizeof(GridPoint) + 64);
  const uint64_t physical = PhysicalMemoryBytes();
  if (physical && bytes > physical) ThrowNoMemory();
}

// ---------------------------------------------------------------------------
// The cells of one primitive.

class CellGeneration {
 public:
  explicit CellGeneration(const MeshPrimitive& primitive)
      : p_(primitive), n1_(primitive.size[0]), n2_(primitive.size[1]), n3_(primitive.size[2]), mapping_(primitive) {
    try {
      zones_.assign(CellsOf(primitive), nullptr);
      nodes_.assign(NodesOf(primitive), nullptr);
    } catch (const std::bad_alloc&) {
      ThrowNoMemory();
    }
  }

  size_t CellCount() const { return zones_.size(); }
  size_t NodeCount() const { return nodes_.size(); }

  // The free faces of every listed zone and the grid-points on them; none
  // when nothing will be merged or joined.
  void CollectBoundary() {
    if (p_.merge) boundary_.CollectBoundary(p_.boundaryZones);
  }

  void Run(CommandType& interp) {
    for (int k = 0; k < n3_; ++k) {
      const String line = MessageText("Generating Plane %s of %s", IntToString(k + 1), IntToString(n3_)) + "\r";
      interp.ConsoleStream::Write(line.c_str());
      for (int j = 0; j < n2_; ++j) {
        if (interp.EscPressed()) throw ESCInterrupt();
        for (int i = 0; i < n1_; ++i) CreateCellZone(i, j, k);
      }
    }
  }

  // The post-pass of the type and the groups, over the cells made.
  void Finish() {
    switch (p_.type) {
      case kPrimWedge:
        RetypeLayer(kWedge);
        break;
      case kPrimPyramid:
        RetypeLayer(kPyramid);
        break;
      case kPrimCylinder:
        RetypeCylinderAxis();
        break;
      case kPrimDBrick:
        RetypeDBrickEdge();
        break;
      case kPrimTetrahedron:
        RetypeTetrahedron();
        break;
      default:
        break;
    }
    ApplyGroups();
  }

 private:
  size_t CellIndex(int i, int j, int k) const {
    return (size_t(k) * size_t(n2_) + size_t(j)) * size_t(n1_) + size_t(i);
  }
  Zone* CellZone(int i, int j, int k) const { return zones_[CellIndex(i, j, k)]; }

  // The representative of a node: the wedge's top plane is one row of nodes,
  // the pyramid's and the tetrahedron's one apex, the cylinder's inner face
  // one axis, the degenerate brick's far top edge one point, and the
  // tetrahedron's far j face one edge up to the apex.
  void Fold(int& i, int& j, int& k) const {
    switch (p_.type) {
      case kPrimWedge:
        if (k == n3_) i = 0;
        break;
      case kPrimPyramid:
        if (k == n3_) i = j = 0;
        break;
      case kPrimCylinder:
        if (i == 0) k = 0;
        break;
      case kPrimDBrick:
        if (i == n1_ && k == n3_) j = 0;
        break;
      case kPrimTetrahedron:
        if (k == n3_)
          i = j = 0;
        else if (j == n2_)
          i = 0;
        break;
      default:
        break;
    }
  }

  bool Inside(int i, int j, int k) const { return i >= 0 && i <= n1_ && j >= 0 && j <= n2_ && k >= 0 && k <= n3_; }

  size_t NodeIndex(int i, int j, int k) const {
    return (size_t(n2_ + 1) * size_t(k) + size_t(j)) * size_t(n1_ + 1) + size_t(i);
  }

  GridPoint* NodeAt(int i, int j, int k) const {
    Fold(i, j, k);
    return Inside(i, j, k) ? nodes_[NodeIndex(i, j, k)] : nullptr;
  }

  void SetNode(int i, int j, int k, GridPoint* gp) {
    Fold(i, j, k);
    if (Inside(i, j, k)) nodes_[NodeIndex(i, j, k)] = gp;
  }

  bool OnSurface(int i, int j, int k) const { return i == 0 || i == n1_ || j == 0 || j == n2_ || k == 0 || k == n3_; }

  // The grid-point of a node that has none yet: a boundary grid-point of the
  // old grid at its position when the node is on the surface, else a new one.
  // A grid-point that another node took already is not taken again: two
  // nodes closer than the merge reach would give one zone a corner twice.
  GridPoint* NodeGridPoint(const Vec3& at, int i, int j, int k) {
    const double position[3] = {at.x, at.y, at.z};
    GridPoint* gp = nullptr;
    if (p_.merge && OnSurface(i, j, k)) gp = boundary_.FindBoundaryGridPoint(position);
    if (gp && !merged_.insert(gp).second) gp = nullptr;
    if (!gp) gp = GridBatch::NewGridPoint(position);
    SetNode(i, j, k, gp);
    return gp;
  }

  void CreateCellZone(int i, int j, int k) {
    GridPoint* corner[8];
    Vec3 position[8];
    for (int c = 0; c < 8; ++c) {
      const int* d = kCornerOffsets[c];
      corner[c] = NodeAt(i + d[0], j + d[1], k + d[2]);
      if (!corner[c]) position[c] = mapping_.Position(i + d[0], j + d[1], k + d[2]);
    }
    // The grid-points before the zone: when memory runs out no zone stands
    // in the grid without its corners.
    for (int c = 0; c < 8; ++c) {
      if (corner[c]) continue;
      const int* d = kCornerOffsets[c];
      // A collapsed node may have been made for an earlier corner of this cell.
      corner[c] = NodeAt(i + d[0], j + d[1], k + d[2]);
      if (!corner[c]) corner[c] = NodeGridPoint(position[c], i + d[0], j + d[1], k + d[2]);
    }
    Zone* zone = nullptr;
    try {
      zone = GridBatch::NewZone();
    } catch (const MemExcept&) {
      ThrowNoMemory();
    }
    for (int c = 0; c < 8; ++c) zone->SetGp(c, corner[c]);
    zone->SetGroupPointer(p_.group);
    for (int f = 0; f < kZoneFaces; ++f) {
      const int* d = kFaceNeighbourOffsets[f];
      const int ci = i + d[0], cj = j + d[1], ck = k + d[2];
      if (ci < 0 || cj < 0 || ck < 0 || ci == n1_ || cj == n2_ || ck == n3_) {
        if (!p_.merge || !boundary_.HasFreeFaces()) continue;
        if (const FaceRecord* record = MatchingFreeFace(*zone, f)) GridBatch::Link(zone, f, record->zone, record->face);
      } else if (Zone* other = CellZone(ci, cj, ck)) {
        GridBatch::Link(zone, f, other, kOppositeFace[f]);
      }
    }
    zones_[CellIndex(i, j, k)] = zone;
  }

  // The free face of the old grid with the same grid-points as the face.
  const FaceRecord* MatchingFreeFace(const Zone& zone, int face) const {
    GridPoint* corners[4];
    for (int c = 0; c < 4; ++c) corners[c] = zone.GetFaceGp(face, c);
    FaceKey key;
    if (!MakeFaceKey(corners, 4, key)) return nullptr;
    return boundary_.FindMatchingFreeFace(key);
  }

  // The top layer of a wedge or pyramid: its cells hold six or five
  // distinct grid-points in the order of their type already.
  void RetypeLayer(int type) {
    for (int j = 0; j < n2_; ++j)
      for (int i = 0; i < n1_; ++i)
        if (Zone* z = CellZone(i, j, n3_ - 1)) z->SetType(type);
  }

  // The cells on the axis are wedges: their k+1 face becomes the wedge's
  // i-1 face, and the brick's face towards the axis has no area.
  void RetypeCylinderAxis() {
    for (int k = 0; k < n3_; ++k)
      for (int j = 0; j < n2_; ++j) {
        Zone* z = CellZone(0, j, k);
        if (!z) continue;
        z->SetType(kWedge);
        z->SetGp(3, z->Gp(6));
        z->SetGp(5, z->Gp(7));
        z->SetNeighbour(2, z->Neighbour(1));
        z->SetNeighbour(1, nullptr);
      }
  }

  // The cells along the collapsed top edge at i = n1.
  void RetypeDBrickEdge() {
    for (int j = 0; j < n2_; ++j)
      if (Zone* z = CellZone(n1_ - 1, j, n3_ - 1)) z->SetType(kDegenerateBrick);
  }

  // The far j row below the top layer holds wedges (their grid-points put in
  // wedge order), the top layer pyramids, and the top cells of the far row
  // tetrahedra.
  void RetypeTetrahedron() {
    static constexpr int kWedgeSlots[8] = {3, 6, 0, 5, 1, 2, 7, 4};
    for (int k = 0; k + 1 < n3_; ++k)
      for (int i = 0; i < n1_; ++i) {
        Zone* z = CellZone(i, n2_ - 1, k);
        if (!z) continue;
        GridPoint* old[8];
        for (int c = 0; c < 8; ++c) old[c] = z->Gp(c);
        for (int c = 0; c < 8; ++c) z->SetGp(c, old[kWedgeSlots[c]]);
        Zone* nb[6];
        for (int f = 0; f < kZoneFaces; ++f) nb[f] = z->Neighbour(f);
        z->SetNeighbour(0, nb[5]);
        z->SetNeighbour(1, nb[4]);
        z->SetNeighbour(4, nb[0]);
        z->SetNeighbour(5, nb[1]);
        z->SetType(kWedge);
      }
    for (int j = 0; j + 1 < n2_; ++j)
      for (int i = 0; i < n1_; ++i)
        if (Zone* z = CellZone(i, j, n3_ - 1)) z->SetType(kPyramid);
    for (int i = 0; i < n1_; ++i)
      if (Zone* z = CellZone(i, n2_ - 1, n3_ - 1)) z->SetType(kTetrahedron);
  }

  // Each zone's group is set again so that its grid-points carry it. A
  // grid-point that cannot take one more group leaves that zone without
  // one; the first such error is raised when all zones are done.
  void ApplyGroups() {
    bool failed = false;
    String message;
    for (Zone* z : zones_) {
      if (!z || !z->GetGroup()) continue;
      Group* group = z->GetGroup();
      z->SetGroupPointer(nullptr);
      try {
        z->SetGroup(group);
      } catch (const KWRExcept& e) {
        if (!failed) message = e.Text();
        failed = true;
      }
    }
    if (failed) throw QJExcept(message);
  }

  const MeshPrimitive& p_;
  const int n1_, n2_, n3_;
  PrimitiveMapping mapping_;
  std::vector<Zone*> zones_;
  std::vector<GridPoint*> nodes_;
  GenerationSet boundary_;
  std::unordered_set<const GridPoint*> merged_;
};

}  // namespace

void GenerateCells(const MeshPrimitive& primitive, CommandType& interp) {
  for (int m = 0; m < 3; ++m)
    if (primitive.size[m] < 1) return;  // no cells (the commands refuse such sizes)
  CellGeneration cells(primitive);
  cells.CollectBoundary();
  // The progress line is ended whatever happens.
  struct EndLine {
    CommandType& interp;
    ~EndLine() {
      try {
        interp.ConsoleStream::Write("\n");
      } catch (...) {
      }
    }
  } endLine{interp};
  GridBatch batch(cells.NodeCount(), cells.CellCount());
  try {
    cells.Run(interp);
  } catch (...) {
    // What was made stays, typed and grouped as a whole primitive would be.
    try {
      cells.Finish();
    } catch (const KWRExcept&) {
    }
    throw;
  }
  cells.Finish();  // may raise a group error once every zone is done
}

void MeshPrimitive::Generate(CommandType& interp) const {
  if (!Available(type))
    throw QJExcept(MessageText("%s is not available in this version", String("GENERATE ZONE ") + TypeName(type)));
  // The two bricks of a cylint split its k range below the middle node.
  if (type == kPrimCylInt && size[2] < 2) throw QJExcept("Size n3 of cylint must be at least 2.");
  if (type == kPrimUWedge) CheckUWedgeSizes(*this);
  CheckFits(*this);
  switch (type) {
    case kPrimRadTunnel:
    case kPrimRadBrick:
    case kPrimCylInt:
    case kPrimTunInt:
      // Each piece merges with and joins the pieces made before it.
      for (const MeshPrimitive& piece : RadialPieces(*this)) piece.Generate(interp);
      break;
    case kPrimRadCylinder:
      for (const MeshPrimitive& piece : RadialPieces(*this)) piece.Generate(interp);
      GenerateCells(RadCylinderGradedPart(*this), interp);
      break;
    case kPrimCShell:
      for (const MeshPrimitive& piece : RadialPieces(*this)) piece.Generate(interp);
      GenerateCells(*this, interp);
      break;
    case kPrimUWedge:
      UWedge(*this, interp);
      break;
    default:
      GenerateCells(*this, interp);
      break;
  }
}
