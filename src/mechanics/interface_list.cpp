// Interface elements, interfaces and the model's interface list: creation
// and numbering, the duplicate and neighbour bookkeeping, areas and normals,
// the upkeep after zones are deleted, and the save form.
#include "mechanics/interface.h"
#include "model/grid_services.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/command.h"
#include "base/except.h"
#include "base/savestream.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/range_model.h"
#include "model/restore_fields.h"

namespace {

constexpr double kPi = 3.141592653589793;

void Sub(const double a[3], const double b[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = a[i] - b[i];
}
void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}
double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Length(const double a[3]) { return std::sqrt(Dot(a, a)); }
double Clamp(double v) { return v < -1.0 ? -1.0 : v > 1.0 ? 1.0 : v; }

double SquaredDistance(const double a[3], const double b[3]) {
  double d[3];
  Sub(a, b, d);
  return Dot(d, d);
}

// The distance below which a node stands at the point.
double PositionTolerance(const double p[3]) {
  const double r = Length(p);
  return r > 0.0 ? 1e-6 * r : 1e-12;
}

// Hash combining with the 64-bit finaliser of MurmurHash3: addresses of
// neighbouring objects differ only in a few low bits.
uint64_t Mix(uint64_t h, uint64_t v) {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ull;
  h ^= h >> 33;
  return h;
}

uintptr_t Key(const void* p) { return reinterpret_cast<uintptr_t>(p); }

}  // namespace

// ---------------------------------------------------------------------------
// The look-ups of the building commands

namespace {

// Nodes by position: a hash of cells whose size is twice the largest
// position tolerance of the points it answers for, so that a search looks
// at no more than two cells along each axis.
class NodeGrid {
 public:
  bool Covers(const double p[3]) const { return built_ && Length(p) <= radius_; }

  void Build(const InterfaceNodeList& nodes, const double p[3]) {
    double r = Length(p);
    for (const InterfaceNode* n = nodes.Head(); n; n = InterfaceNodeList::Next(n)) r = std::max(r, Length(n->position));
    radius_ = 2.0 * std::max(r, 1e-6);
    cell_ = 2e-6 * radius_;
    cells_.clear();
    cells_.reserve(nodes.Count() * 2 + 16);
    for (InterfaceNode* n = nodes.Head(); n; n = InterfaceNodeList::Next(n)) Insert(n);
    built_ = true;
  }

  void Insert(InterfaceNode* n) { cells_[CellOf(n->position)].push_back(n); }

  void Remove(InterfaceNode* n, const double oldPosition[3]) {
    auto it = cells_.find(CellOf(oldPosition));
    if (it == cells_.end()) return;
    auto& v = it->second;
    v.erase(std::remove(v.begin(), v.end(), n), v.end());
  }

  // The nearest node closer than the tolerance (the first made on ties).
  InterfaceNode* Find(const double p[3], double tolerance) const {
    int64_t lo[3], hi[3];
    for (int i = 0; i < 3; ++i) {
      lo[i] = Index(p[i] - tolerance);
      hi[i] = Index(p[i] + tolerance);
    }
    InterfaceNode* best = nullptr;
    double bestD2 = 0.0;
    for (int64_t i = lo[0]; i <= hi[0]; ++i)
      for (int64_t j = lo[1]; j <= hi[1]; ++j)
        for (int64_t k = lo[2]; k <= hi[2]; ++k) {
          auto it = cells_.find(Cell{i, j, k});
          if (it == cells_.end()) continue;
          for (InterfaceNode* n : it->second) {
            const double d2 = SquaredDistance(n->position, p);
            if (!best || d2 < bestD2 || (d2 == bestD2 && n->sequence < best->sequence)) {
              best = n;
              bestD2 = d2;
            }
          }
        }
    return best && std::sqrt(bestD2) < tolerance ? best : nullptr;
  }

 private:
  struct Cell {
    int64_t i, j, k;
    bool operator==(const Cell& o) const { return i == o.i && j == o.j && k == o.k; }
  };
  struct CellHash {
    size_t operator()(const Cell& c) const {
      return static_cast<size_t>(
          Mix(Mix(static_cast<uint64_t>(c.i), static_cast<uint64_t>(c.j)), static_cast<uint64_t>(c.k)));
    }
  };
  int64_t Index(double x) const {
    const double q = std::floor(x / cell_);
    // Points far outside the grid's radius share the outermost cells.
    return static_cast<int64_t>(std::clamp(q, -4e15, 4e15));
  }
  Cell CellOf(const double p[3]) const { return Cell{Index(p[0]), Index(p[1]), Index(p[2])}; }

  bool built_ = false;
  double radius_ = 0.0;
  double cell_ = 1.0;
  std::unordered_map<Cell, std::vector<InterfaceNode*>, CellHash> cells_;
};

// Three nodes in any order.
struct Triple {
  uintptr_t a, b, c;
  Triple(const InterfaceNode* x, const InterfaceNode* y, const InterfaceNode* z) : a(Key(x)), b(Key(y)), c(Key(z)) {
    if (a > b) std::swap(a, b);
    if (b > c) std::swap(b, c);
    if (a > b) std::swap(a, b);
  }
  bool operator==(const Triple& o) const { return a == o.a && b == o.b && c == o.c; }
};
struct TripleHash {
  size_t operator()(const Triple& t) const { return static_cast<size_t>(Mix(Mix(t.a, t.b), t.c)); }
};

// Two nodes in any order.
struct Pair {
  uintptr_t a, b;
  Pair(const InterfaceNode* x, const InterfaceNode* y) : a(std::min(Key(x), Key(y))), b(std::max(Key(x), Key(y))) {}
  bool operator==(const Pair& o) const { return a == o.a && b == o.b; }
};
struct PairHash {
  size_t operator()(const Pair& p) const { return static_cast<size_t>(Mix(p.a, p.b)); }
};

struct FreeEdge {
  InterfaceElem* element;
  int edge;
};

}  // namespace

// Each part is built on first use and then follows every change the
// interface makes; a change it cannot follow cheaply drops the part, which
// the next use builds again.
struct InterfaceLookups {
  NodeGrid grid;
  bool facesBuilt = false;
  std::unordered_set<uintptr_t> faces;  // zone address x 8 + face
  bool triplesBuilt = false;
  std::unordered_map<Triple, uint32_t, TripleHash> triples;  // elements on each node triple
  bool edgesBuilt = false;
  std::unordered_map<Pair, std::vector<FreeEdge>, PairHash> freeEdges;

  static uintptr_t FaceKey(const Zone* zone, int face) { return Key(zone) * 8 + static_cast<uintptr_t>(face); }
  void AddTriple(const InterfaceElem& e) { ++triples[Triple(e.Node(0), e.Node(1), e.Node(2))]; }
  void RemoveTriple(const InterfaceElem& e) {
    auto it = triples.find(Triple(e.Node(0), e.Node(1), e.Node(2)));
    if (it != triples.end() && --it->second == 0) triples.erase(it);
  }
  void AddFreeEdges(InterfaceElem* e) {
    for (int k = 0; k < 3; ++k)
      if (!e->Neighbour(k)) freeEdges[Pair(e->Node(k), e->Node((k + 1) % 3))].push_back({e, k});
  }
  void RemoveFreeEdge(const InterfaceElem* e, int k) {
    auto it = freeEdges.find(Pair(e->Node(k), e->Node((k + 1) % 3)));
    if (it == freeEdges.end()) return;
    auto& v = it->second;
    v.erase(std::remove_if(v.begin(), v.end(), [&](const FreeEdge& f) { return f.element == e && f.edge == k; }),
            v.end());
    if (v.empty()) freeEdges.erase(it);
  }
  // Built again when next needed (clearing a large empty table is not free).
  void DropFreeEdges() {
    if (!edgesBuilt) return;
    edgesBuilt = false;
    freeEdges = {};
  }
  // Everything that depends on the element list.
  void ElementsChanged() {
    facesBuilt = triplesBuilt = false;
    faces = {};
    triples = {};
    DropFreeEdges();
  }
};

// ---------------------------------------------------------------------------
// InterfaceElem

InterfaceElem::InterfaceElem() : LocatedObject(kInterfaceElement) {}

InterfaceElem::~InterfaceElem() { ForgetInterfaceObject(this); }

void InterfaceElem::GetPosition(double out[3]) const {
  out[0] = out[1] = out[2] = 0.0;
  for (InterfaceNode* n : nodes_) {
    if (!n) continue;
    n->UpdatePosition();
    for (int i = 0; i < 3; ++i) out[i] += n->position[i] / 3.0;
  }
}

bool InterfaceElem::RangeAnswer(const RangeElement& element, const double*, bool* inside) const {
  if (element.Kind() == CidRangeElement::kKind) {
    *inside = static_cast<const CidRangeElement&>(element).Contains(id_);
    return true;
  }
  if (element.Kind() == DirectionRangeElement::kKind) {
    double n[3];
    Normal(n);
    *inside = static_cast<const DirectionRangeElement&>(element).Accepts(n);
    return true;
  }
  return false;
}

double InterfaceElem::Area() const {
  double a[3], b[3], c[3];
  Sub(nodes_[1]->position, nodes_[0]->position, a);
  Sub(nodes_[2]->position, nodes_[0]->position, b);
  Cross(a, b, c);
  return 0.5 * Length(c);
}

void InterfaceElem::Normal(double out[3]) const {
  double a[3], b[3];
  Sub(nodes_[2]->position, nodes_[0]->position, a);
  Sub(nodes_[1]->position, nodes_[0]->position, b);
  Cross(a, b, out);
  const double len = Length(out);
  for (int i = 0; i < 3; ++i) out[i] = len > 0.0 ? out[i] / len + 0.0 : 0.0;  // never -0
}

void InterfaceElem::CornerShares(double shares[3]) const {
  shares[0] = shares[1] = shares[2] = 1.0 / 3.0;
  if (host_.GetZone() && host_.GpCount() == 3) return;
  const double* p1 = nodes_[0]->position;
  const double* p2 = nodes_[1]->position;
  const double* p3 = nodes_[2]->position;
  double e12[3], e13[3], e23[3], e31[3], e32[3];
  Sub(p2, p1, e12);
  Sub(p3, p1, e13);
  Sub(p3, p2, e23);
  Sub(p1, p3, e31);
  Sub(p2, p3, e32);
  const double l12 = Length(e12), l13 = Length(e13), l23 = Length(e23);
  // An element without area has no angles: its corners share equally.
  if (!(l12 > 0.0 && l13 > 0.0 && l23 > 0.0)) return;
  const double angle1 = std::acos(Clamp(Dot(e12, e13) / (l12 * l13)));
  double angle3 = std::asin(Clamp(l12 * std::sin(angle1) / l23));
  if (Dot(e31, e32) < 0.0) angle3 = kPi - angle3;  // obtuse at corner 3
  shares[0] = angle1 / kPi;
  shares[2] = angle3 / kPi;
  shares[1] = 1.0 - shares[0] - shares[2];
  const double sum = shares[0] + shares[1] + shares[2];
  if (sum != 0.0)
    for (int k = 0; k < 3; ++k) shares[k] /= sum;
}

int InterfaceElem::EdgeOf(const InterfaceNode* a, const InterfaceNode* b) const {
  for (int k = 0; k < 3; ++k) {
    const InterfaceNode* p = nodes_[k];
    const InterfaceNode* q = nodes_[(k + 1) % 3];
    if ((p == a && q == b) || (p == b && q == a)) return k;
  }
  return -1;
}

void InterfaceElem::Save(SaveStream& s) const {
  s.WriteU8(splitMark);
  s.WriteU32(id_);
  for (const InterfaceNode* n : nodes_) SavePointer(s, n);
  for (const InterfaceElem* e : neighbours_) SavePointer(s, e);
  host_.Save(s);
}

void InterfaceElem::Restore(SaveStream& s) {
  splitMark = s.ReadU8();
  id_ = s.ReadU32();
  for (InterfaceNode*& n : nodes_) RestorePointer(s, n);
  for (InterfaceElem*& e : neighbours_) RestorePointer(s, e);
  host_.Restore(s);
}

void InterfaceElem::Remap(const LinkListBase& nodes, const LinkListBase& elements) {
  for (InterfaceNode*& n : nodes_) {
    const uint32_t index = SkipPending();
    // Every corner must name a node of the interface.
    if (index == 0 || index > nodes.Count()) InterfaceReadError();
    n = static_cast<InterfaceNode*>(nodes.GetByIndex(index));
  }
  for (InterfaceElem*& e : neighbours_) {
    const uint32_t index = SkipPending();
    if (index > elements.Count()) InterfaceReadError();
    e = static_cast<InterfaceElem*>(elements.GetByIndex(index));
    if (e == this) e = nullptr;  // an element is never its own neighbour
  }
  const uint32_t zone = host_.SavedIndex();
  host_.Resolve();
  if (zone != 0 && !host_.GetZone()) InterfaceReadError();
}

// ---------------------------------------------------------------------------
// Interface

Interface::Interface(uint32_t id) : LocatedObject(kInterface), id_(id) {}

Interface::~Interface() {
  ForgetInterfaceObject(this);
  // The elements go without following their links.
  for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    for (InterfaceElem*& n : e->neighbours_) n = nullptr;
}

void Interface::GetPosition(double out[3]) const {
  out[0] = out[1] = out[2] = 0.0;
  if (nodes_.IsEmpty()) return;
  for (const InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n))
    for (int i = 0; i < 3; ++i) out[i] += n->position[i];
  for (int i = 0; i < 3; ++i) out[i] /= nodes_.Count();
}

bool Interface::RangeAnswer(const RangeElement& element, const double*, bool* inside) const {
  if (element.Kind() != IdRangeElement::kKind) return false;
  *inside = static_cast<const IdRangeElement&>(element).Contains(id_);
  return true;
}

void Interface::OpenLookups() {
  if (lookupDepth_++ == 0) lookups_ = std::make_unique<InterfaceLookups>();
}

void Interface::CloseLookups() {
  if (lookupDepth_ > 0 && --lookupDepth_ == 0) lookups_.reset();
}

void Interface::Appended(InterfaceNode* node) {
  node->sequence = ++nodeSequence_;
  if (lookups_ && lookups_->grid.Covers(node->position))
    lookups_->grid.Insert(node);
  else if (lookups_)
    lookups_->grid = NodeGrid();  // rebuilt with a larger radius when next used
}

void Interface::Appended(InterfaceElem* element) {
  element->sequence = ++elementSequence_;
  if (!lookups_) return;
  InterfaceLookups& l = *lookups_;
  if (l.facesBuilt && element->host_.GetZone())
    l.faces.insert(InterfaceLookups::FaceKey(element->host_.GetZone(), element->host_.Face()));
  if (l.triplesBuilt) l.AddTriple(*element);
  if (l.edgesBuilt) l.AddFreeEdges(element);
}

InterfaceNode* Interface::CreateNode(uint32_t id, const double position[3]) {
  auto* node = new InterfaceNode();
  if (id == 0) id = nodes_.nextId;
  if (id >= nodes_.nextId) nodes_.nextId = id + 1;
  node->id = id;
  for (int i = 0; i < 3; ++i) node->position[i] = position[i];
  nodes_.Append(node);
  Appended(node);
  return node;
}

InterfaceNode* Interface::FindNode(uint32_t id) const {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n))
    if (n->id == id) return n;
  return nullptr;
}

InterfaceNode* Interface::FindNearestNode(const double p[3]) const {
  InterfaceNode* best = nullptr;
  double bestD2 = 0.0;
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) {
    const double d2 = SquaredDistance(n->position, p);
    if (!best || d2 < bestD2) {
      best = n;
      bestD2 = d2;
    }
  }
  return best;
}

InterfaceNode* Interface::NodeAt(const double p[3]) {
  const double tolerance = PositionTolerance(p);
  if (lookups_) {
    NodeGrid& grid = lookups_->grid;
    if (!grid.Covers(p)) grid.Build(nodes_, p);
    return grid.Find(p, tolerance);
  }
  InterfaceNode* n = FindNearestNode(p);
  return n && std::sqrt(SquaredDistance(n->position, p)) < tolerance ? n : nullptr;
}

bool Interface::HasElementOn(const InterfaceNode* a, const InterfaceNode* b, const InterfaceNode* c) {
  const Triple key(a, b, c);
  if (lookups_) {
    InterfaceLookups& l = *lookups_;
    if (!l.triplesBuilt) {
      for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) l.AddTriple(*e);
      l.triplesBuilt = true;
    }
    return l.triples.count(key) != 0;
  }
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    if (Triple(e->nodes_[0], e->nodes_[1], e->nodes_[2]) == key) return true;
  return false;
}

void Interface::SetCorner(InterfaceElem& element, int slot, InterfaceNode* node) {
  if (lookups_ && lookups_->triplesBuilt) lookups_->RemoveTriple(element);
  element.nodes_[slot] = node;
  if (!lookups_) return;
  if (lookups_->triplesBuilt) lookups_->AddTriple(element);
  lookups_->DropFreeEdges();
}

InterfaceElem* Interface::CreateElement(InterfaceNode* a, InterfaceNode* b, InterfaceNode* c, const ZoneFace& host) {
  if (HasElementOn(a, b, c)) throw InterfaceExcept("Interface element already exists");
  auto* e = new InterfaceElem();
  e->id_ = elements_.nextId++;
  e->nodes_[0] = a;
  e->nodes_[1] = b;
  e->nodes_[2] = c;
  e->host_ = ZoneFace(host.GetZone(), host.Face());
  elements_.Append(e);
  Appended(e);
  return e;
}

bool Interface::HasHostFace(const Zone* zone, int face) {
  if (lookups_) {
    InterfaceLookups& l = *lookups_;
    if (!l.facesBuilt) {
      for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
        if (e->host_.GetZone()) l.faces.insert(InterfaceLookups::FaceKey(e->host_.GetZone(), e->host_.Face()));
      l.facesBuilt = true;
    }
    return l.faces.count(InterfaceLookups::FaceKey(zone, face)) != 0;
  }
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    if (e->host_.GetZone() == zone && e->host_.Face() == face) return true;
  return false;
}

bool Interface::Join(InterfaceElem* element, int k) {
  if (element->neighbours_[k]) return false;
  InterfaceNode* a = element->nodes_[k];
  InterfaceNode* b = element->nodes_[(k + 1) % 3];
  InterfaceElem* other = nullptr;
  int edge = -1;
  // The first element in list order, and its first matching free edge.
  auto consider = [&](InterfaceElem* e, int j) {
    if (e == element || e->neighbours_[j]) return;
    if (!other || e->sequence < other->sequence || (e == other && j < edge)) {
      other = e;
      edge = j;
    }
  };
  if (lookups_) {
    InterfaceLookups& l = *lookups_;
    if (!l.edgesBuilt) {
      for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) l.AddFreeEdges(e);
      l.edgesBuilt = true;
    }
    auto it = l.freeEdges.find(Pair(a, b));
    if (it != l.freeEdges.end())
      for (const FreeEdge& f : it->second) consider(f.element, f.edge);
  } else {
    for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
      for (int j = 0; j < 3; ++j) {
        const InterfaceNode* p = e->nodes_[j];
        const InterfaceNode* q = e->nodes_[(j + 1) % 3];
        if ((p == a && q == b) || (p == b && q == a)) consider(e, j);
      }
  }
  if (!other) return false;
  element->neighbours_[k] = other;
  other->neighbours_[edge] = element;
  if (lookups_ && lookups_->edgesBuilt) {
    lookups_->RemoveFreeEdge(element, k);
    lookups_->RemoveFreeEdge(other, edge);
  }
  return true;
}

void Interface::DestroyElements(bool (*doomed)(const InterfaceElem&, void*), void* arg) {
  bool any = false;
  for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
    e->dying_ = doomed(*e, arg);
    any = any || e->dying_;
  }
  if (!any) return;
  for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    for (InterfaceElem*& n : e->neighbours_)
      if (n && n->dying_) n = nullptr;
  InterfaceElem* e = elements_.Head();
  while (e) {
    InterfaceElem* next = InterfaceElemList::Next(e);
    if (e->dying_) delete static_cast<InterfaceElem*>(elements_.Remove(e));
    e = next;
  }
  if (lookups_) lookups_->ElementsChanged();
}

void Interface::RemoveUnusedNodes() {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) n->flags &= ~InterfaceNode::kUsed;
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    for (InterfaceNode* n : e->nodes_) n->flags |= InterfaceNode::kUsed;
  bool removed = false;
  InterfaceNode* n = nodes_.Head();
  while (n) {
    InterfaceNode* next = InterfaceNodeList::Next(n);
    if (!(n->flags & InterfaceNode::kUsed)) {
      if (GridHooks().objectDeleted) GridHooks().objectDeleted(n);
      delete static_cast<InterfaceNode*>(nodes_.Remove(n));
      removed = true;
    }
    n = next;
  }
  if (removed && lookups_) lookups_->grid = NodeGrid();
}

void Interface::RefreshNodes(InterfaceElem& element) {
  for (InterfaceNode* n : element.nodes_) {
    double before[3] = {n->position[0], n->position[1], n->position[2]};
    n->UpdatePosition();
    if (!lookups_ || (before[0] == n->position[0] && before[1] == n->position[1] && before[2] == n->position[2]))
      continue;
    NodeGrid& grid = lookups_->grid;
    if (grid.Covers(before) && grid.Covers(n->position)) {
      grid.Remove(n, before);
      grid.Insert(n);
    } else {
      grid = NodeGrid();
    }
  }
}

void Interface::UpdateNodePositions() {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) n->UpdatePosition();
  if (lookups_) lookups_->grid = NodeGrid();
}

void Interface::SetContactTolerance(const Range& range, double value) {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n))
    if (range.IsIn(n)) n->contactTolerance = value;
}

void Interface::ClearNodeAreas() {
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) {
    n->area = 0.0;
    n->normal[0] = n->normal[1] = n->normal[2] = 0.0;
    n->elementCount = 0;
  }
}

void Interface::AccumulateAreas() {
  for (Zone* z : ZoneList()) z->SetFlags(z->Flags() & ~kInterfaceHostMark);
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    if (Zone* z = e->host_.GetZone()) z->SetFlags(z->Flags() | kInterfaceHostMark);
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
    const Zone* z = e->host_.GetZone();
    if (z && z->IsNull()) continue;
    const double area = e->Area();
    double shares[3], normal[3];
    e->CornerShares(shares);
    e->Normal(normal);
    for (int k = 0; k < 3; ++k) {
      InterfaceNode* n = e->nodes_[k];
      n->area += shares[k] * area;
      for (int i = 0; i < 3; ++i) n->normal[i] += normal[i];
      ++n->elementCount;
    }
  }
}

void Interface::RemoveDeleted(CommandType& out) {
  auto marked = [](const Zone* z) { return z && (z->Flags() & Zone::kDeleted); };
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) {
    n->corners_ = InterfaceNode::Corners();  // taken again at the next preparation
    n->UpdatePosition();
    // A target on a zone that goes is forgotten; the next preparation looks again.
    if (marked(n->target.GetZone())) {
      n->target = ZoneFace();
      n->targetWeights = FaceWeights();
    }
  }
  DestroyElements(
      [](const InterfaceElem& e, void*) {
        const Zone* z = e.Host().GetZone();
        return z && (z->Flags() & Zone::kDeleted) != 0;
      },
      nullptr);
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    for (InterfaceNode* n : e->nodes_) {
      if (!marked(n->host.GetZone())) continue;
      if (n->AttachToHostFace(e->host_)) continue;
      n->DetachHost();
      out << "Warning! Failed to re-attach interface node " << n->id << " to a zone face."
          << "\n";
    }
  RemoveUnusedNodes();
  if (lookups_) lookups_->grid = NodeGrid();
}

bool Interface::CheckElements(CommandType& out) const {
  bool good = true;
  for (const InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
    bool fails = false;
    for (int k = 0; k < 3; ++k) {
      const InterfaceElem* n = e->neighbours_[k];
      if (!n || n->neighbours_[0] == e || n->neighbours_[1] == e || n->neighbours_[2] == e) continue;
      fails = true;
      out << "Elem " << e->id_ << " has neighbor " << n->id_ << " on edge " << k << "\n";
      out << "Elem " << n->id_ << " has neighbors";
      for (const InterfaceElem* m : n->neighbours_) {
        if (m)
          out << " " << m->id_;
        else
          out << " NULL";
      }
      out << "\n";
    }
    if (fails) {
      out << " *** Element " << e->id_ << " fails test"
          << "\n";
      good = false;
    }
  }
  return good;
}

void Interface::Save(SaveStream& s) const {
  s.WriteU32(id_);
  s.WriteF64(maxEdge);
  s.WriteU8(maxEdgeFlag);
  s.WriteU8(permeability);
  s.WriteU8(effective);
  s.WriteU32(nodes_.nextId);
  nodes_.Save(s);
  s.WriteU32(elements_.nextId);
  elements_.Save(s);
}

void Interface::Restore(SaveStream& s) {
  id_ = s.ReadU32();
  maxEdge = s.ReadF64();
  if (FileVersion() > 187) {
    maxEdgeFlag = s.ReadU8();
    permeability = s.ReadU8();
    effective = s.ReadU8();
  } else {
    maxEdgeFlag = 0;
    permeability = 1;
    effective = 1;
  }
  nodes_.nextId = s.ReadU32();
  nodes_.Restore(s);
  elements_.nextId = s.ReadU32();
  elements_.Restore(s);
  nodeSequence_ = elementSequence_ = 0;
  for (InterfaceNode* n = nodes_.Head(); n; n = InterfaceNodeList::Next(n)) n->sequence = ++nodeSequence_;
  for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) e->sequence = ++elementSequence_;
}

void Interface::RemapPointers() {
  nodes_.RemapAll();
  for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e))
    elements_.RemapNode(e, [&] { e->Remap(nodes_, elements_); });
}

// ---------------------------------------------------------------------------
// InterfaceList

Interface* InterfaceList::CreateInterface(uint32_t id) {
  if (id != 0 && Find(id)) return nullptr;
  if (id == 0) id = nextId++;
  auto* i = new Interface(id);
  Append(i);
  return i;
}

Interface* InterfaceList::Find(uint32_t id) const {
  for (Interface* i = Head(); i; i = Next(i))
    if (i->Id() == id) return i;
  return nullptr;
}

void InterfaceList::RemoveDeleted(CommandType& out) {
  cells_.Reset();  // it names zones that go
  for (Interface* i = Head(); i; i = Next(i)) i->RemoveDeleted(out);
}

InterfaceList& Interfaces() { return CurrentModel().Part<InterfaceList>(); }

void SaveInterfaceSection(SaveStream& s) {
  InterfaceList& list = Interfaces();
  s.WriteU32(list.nextId);
  list.Save(s);
}

void RestoreInterfaceSection(SaveStream& s) {
  InterfaceList& list = Interfaces();
  list.nextId = s.ReadU32();
  list.Restore(s);
}

void RemapInterfaceSection() { Interfaces().RemapAll(); }

void ClearInterfaces() {
  InterfaceList& list = Interfaces();
  list.Clear();
  list.ReleaseIndexArray();
  list.nextId = 0;
  list.Cells().Reset();
}

void InterfaceReadError() { throw KWRExcept("Error reading save file"); }
