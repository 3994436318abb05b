// INTERFACE: the interface number, then keywords one after another, each
// acting on the interface with the command's range: elements on zone faces
// (by range or by wrapping a group), elements and free nodes from positions,
// refinement to a maximum edge, deletion, and the nodes' properties, stresses
// and settings.
#include "mechanics/cmd_interface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/message.h"
#include "base/range.h"
#include "mechanics/interface.h"
#include "model/grid_point.h"
#include "model/group.h"
#include "model/model_interpreter.h"
#include "model/zone.h"

namespace {

const char* const kEditWords =
    "node element grid property maxedge face delete ctolerance update sstress nstress smalldisp permeability "
    "effective wrap";
enum EditWord {
  kNode = 1,
  kElement,
  kGrid,
  kProperty,
  kMaxEdge,
  kFace,
  kDelete,
  kCTolerance,
  kUpdate,
  kSStress,
  kNStress,
  kSmallDisp,
  kPermeability,
  kEffective,
  kWrap
};

// The node at the position, or a new one there.
InterfaceNode* NodeThere(Interface& iface, const double p[3]) {
  InterfaceNode* n = iface.NodeAt(p);
  return n ? n : iface.CreateNode(0, p);
}

std::vector<InterfaceNode*> NodesIn(Interface& iface, const Range& range) {
  std::vector<InterfaceNode*> nodes;
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n))
    if (range.IsIn(n)) nodes.push_back(n);
  return nodes;
}

// Whether a zone of the model would hide the face (a neighbour that is not null).
bool Covered(const Zone& zone, int face) {
  const Zone* n = zone.Neighbour(face);
  return n && !n->IsNull();
}

// ---------------------------------------------------------------------------
// Wrapping: faces found by the exact positions of their corners

struct Point {
  double x = 0.0, y = 0.0, z = 0.0;
  Point() = default;
  explicit Point(const double p[3]) : x(p[0] + 0.0), y(p[1] + 0.0), z(p[2] + 0.0) {}  // -0 is 0
  bool operator==(const Point& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator<(const Point& o) const { return x != o.x ? x < o.x : y != o.y ? y < o.y : z < o.z; }
};

size_t HashOf(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return std::hash<uint64_t>()(bits);
}

struct PointHash {
  size_t operator()(const Point& p) const { return HashOf(p.x) * 31 * 31 + HashOf(p.y) * 31 + HashOf(p.z); }
};

// The corner positions of a face, sorted.
struct FaceShape {
  int count = 0;
  std::array<Point, 4> corners;

  FaceShape(const Zone& zone, int face) : count(zone.FaceGpCount(face)) {
    for (int c = 0; c < count; ++c) corners[c] = Point(zone.GetFaceGp(face, c)->position);
    std::sort(corners.begin(), corners.begin() + count);
  }
  bool operator==(const FaceShape& o) const {
    if (count != o.count) return false;
    for (int c = 0; c < count; ++c)
      if (!(corners[c] == o.corners[c])) return false;
    return true;
  }
};

struct FaceShapeHash {
  size_t operator()(const FaceShape& f) const {
    size_t h = static_cast<size_t>(f.count);
    for (int c = 0; c < f.count; ++c) h = h * 1000003 + PointHash()(f.corners[c]);
    return h;
  }
};

// Whether each corner of face A coincides with exactly one corner of face B.
bool CornersMatch(const Zone& a, int faceA, const Zone& b, int faceB) {
  const int n = a.FaceGpCount(faceA);
  if (b.FaceGpCount(faceB) != n) return false;
  for (int i = 0; i < n; ++i) {
    const Point p(a.GetFaceGp(faceA, i)->position);
    int hits = 0;
    for (int j = 0; j < n; ++j) hits += Point(b.GetFaceGp(faceB, j)->position) == p ? 1 : 0;
    if (hits != 1) return false;
  }
  return true;
}

// Reads a group name, else a word that is not a keyword of the command.
bool SecondGroupName(ModelInterpreter& interp, String* name) {
  if (!interp.HasToken()) return false;
  const String word = interp.Token();
  int probe = interp.TokenIndex();
  int keyword = 0;
  if (!FindGroup(word) && interp.MatchKeyword(kEditWords, keyword, &probe) == CommandType::kOk) return false;
  *name = interp.GetString();
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Faces

void Interface::AddFace(const ZoneFace& face) {
  const int corners = face.GpCount();
  if (corners < 3) return;
  Zone* zone = face.GetZone();
  if (HasHostFace(zone, face.Face()))
    throw InterfaceExcept(
        MessageText("Zone face (%s,%s) already has an interface", UIntToString(zone->Id()), IntToString(face.Face())));
  InterfaceNode* node[4] = {nullptr, nullptr, nullptr, nullptr};
  for (int c = 0; c < 3; ++c) {
    node[c] = NodeThere(*this, face.GetGp(c)->position);
    node[c]->AttachToHostFace(face);
  }
  InterfaceElem* first = CreateElement(node[0], node[1], node[2], face);
  for (int k = 0; k < 3; ++k) Join(first, k);
  if (corners < 4) return;
  node[3] = NodeThere(*this, face.GetGp(3)->position);
  node[3]->AttachToHostFace(face);
  InterfaceElem* second = CreateElement(node[0], node[2], node[3], face);
  for (int k = 0; k < 3; ++k) Join(second, k);
}

void Interface::AddFacesInRange(const Range& range) {
  for (Zone* z : ZoneList()) {
    if (z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      if (z->FaceGpCount(f) < 3 || Covered(*z, f)) continue;
      const ZoneFace face(z, f);
      if (range.IsIn(&face)) AddFace(face);
    }
  }
}

void Interface::Wrap(const String& name1, const String& name2, const Range& range) {
  Group* group1 = name1.IsEmpty() ? nullptr : FindGroup(name1);
  if (!group1) throw InterfaceExcept("Must specify at least one valid group.");
  Group* group2 = name2.IsEmpty() ? nullptr : FindGroup(name2);

  // Exposed corners of group 1 that no other group holds; those that may be
  // wrapped: all of them alone, only those on a grid-point of group 2 else.
  constexpr uint8_t kExposed = 1, kWrappable = 2;
  std::unordered_map<const GridPoint*, uint8_t> marks;
  for (Zone* z : ZoneList()) {
    if (z->GetGroup() != group1 || z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      if (z->Neighbour(f) || z->FaceGpCount(f) < 3) continue;
      for (int c = 0; c < z->FaceGpCount(f); ++c) {
        const GridPoint* gp = z->GetFaceGp(f, c);
        if (!gp->HasOtherGroup(group1)) marks[gp] |= group2 ? kExposed : kExposed | kWrappable;
      }
    }
  }
  std::unordered_map<FaceShape, std::vector<std::pair<const Zone*, int>>, FaceShapeHash> faces2;
  if (group2) {
    std::unordered_set<Point, PointHash> points2;
    for (const GridPoint* gp : GridPointList())
      if (gp->InGroup(group2)) points2.insert(Point(gp->position));
    for (auto& [gp, mark] : marks)
      if (points2.count(Point(gp->position))) mark |= kWrappable;
    for (const Zone* z : ZoneList()) {
      if (z->GetGroup() != group2) continue;
      for (int f = 0; f < kZoneFaces; ++f)
        if (!z->Neighbour(f) && z->FaceGpCount(f) >= 3) faces2[FaceShape(*z, f)].push_back({z, f});
    }
  }

  for (Zone* z : ZoneList()) {
    if (z->GetGroup() != group1 || z->IsNull()) continue;
    for (int f = 0; f < kZoneFaces; ++f) {
      const int corners = z->FaceGpCount(f);
      if (corners < 3 || Covered(*z, f)) continue;
      bool wrappable = true;
      for (int c = 0; c < corners && wrappable; ++c) {
        auto it = marks.find(z->GetFaceGp(f, c));
        wrappable = it != marks.end() && (it->second & kWrappable);
      }
      if (!wrappable) continue;
      if (group2) {
        auto it = faces2.find(FaceShape(*z, f));
        bool matched = false;
        if (it != faces2.end())
          for (const auto& [other, face] : it->second) matched = matched || CornersMatch(*z, f, *other, face);
        if (!matched) continue;
      }
      const ZoneFace face(z, f);
      if (range.IsIn(&face)) AddFace(face);
    }
  }
}

// ---------------------------------------------------------------------------
// Nodes and elements one by one

void Interface::AddFreeNode(ModelInterpreter& interp) {
  int32_t id = 0;
  int word = 0;
  if (interp.MatchKeyword("id", word) == CommandType::kOk) {
    if (int code = interp.CheckNonNegInt(&id)) interp.ThrowParamError(code);
  }
  double p[3];
  interp.GetVector(p);
  const InterfaceNode* there = NodeAt(p);
  if (!there && id != 0) there = FindNode(static_cast<uint32_t>(id));  // an id is never given twice
  if (there) throw InterfaceExcept(MessageText("Interface node %s already exists", UIntToString(there->id)));
  CreateNode(static_cast<uint32_t>(id), p);
}

void Interface::AddElementFromNodes(ModelInterpreter& interp) {
  InterfaceNode* corner[3] = {nullptr, nullptr, nullptr};
  int which = 0;
  while (interp.MatchKeyword("p1 p2 p3", which) == CommandType::kOk) {
    int word = 0;
    if (interp.MatchKeyword("node", word) == CommandType::kOk) {
      const int32_t id = interp.GetInt();
      InterfaceNode* n = id > 0 ? FindNode(static_cast<uint32_t>(id)) : nullptr;
      if (!n) throw InterfaceExcept(MessageText("Interface node %s not found", IntToString(id)));
      corner[which - 1] = n;
    } else {
      double p[3];
      interp.GetVector(p);
      corner[which - 1] = NodeThere(*this, p);
    }
  }
  if (!corner[0] || !corner[1] || !corner[2]) throw InterfaceExcept("Insufficient number of interface nodes specified");
  InterfaceElem* e = CreateElement(corner[0], corner[1], corner[2], ZoneFace());
  for (int k = 0; k < 3; ++k) Join(e, k);
}

// ---------------------------------------------------------------------------
// Properties

void Interface::SetProperties(ModelInterpreter& interp, const Range& range) {
  const std::vector<InterfaceNode*> nodes = NodesIn(*this, range);
  while (interp.HasToken()) {
    int nameAt = interp.TokenIndex();
    // The property's index in each kind of model the nodes have, found once per kind.
    std::unordered_map<int32_t, int> indexOfType;
    bool known = false;
    for (const InterfaceNode* n : nodes) {
      const InterfaceModelBase* model = n->Model();
      if (!model) continue;
      auto [it, fresh] = indexOfType.try_emplace(model->TypeCode(), -1);
      if (fresh) {
        interp.TokenIndex() = nameAt;
        it->second = model->PropertyIndex(interp);
      }
      known = known || it->second >= 0;
    }
    if (!known) interp.ThrowParamError(CommandType::kUnrecognized, &nameAt);
    interp.TokenIndex() = nameAt + 1;
    const String value = interp.GetString();
    for (InterfaceNode* n : nodes) {
      InterfaceModelBase* model = n->Model();
      if (!model) continue;
      const int index = indexOfType[model->TypeCode()];
      if (index >= 0) model->SetProperty(index, value);
    }
  }
}

// ---------------------------------------------------------------------------
// Refinement

namespace {

double EdgeLength(const InterfaceElem& e, int k) {
  const double* a = e.Node(k)->position;
  const double* b = e.Node((k + 1) % 3)->position;
  const double d[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// The neighbour across the edge from p to q that points at `from` points at `to`.
void Repoint(InterfaceElem* outer, const InterfaceElem* from, InterfaceElem* to, const InterfaceNode* p,
             const InterfaceNode* q) {
  if (!outer) return;
  const int k = outer->EdgeOf(p, q);
  if (k >= 0 && outer->Neighbour(k) == from) outer->SetNeighbour(k, to);
}

void Link(InterfaceElem* a, int edgeA, InterfaceElem* b, int edgeB) {
  a->SetNeighbour(edgeA, b);
  b->SetNeighbour(edgeB, a);
}

}  // namespace

bool InterfaceElem::Split(Interface& owner, CommandType& out) {
  owner.RefreshNodes(*this);
  int k = 0;
  for (int j = 1; j < 3; ++j)
    if (EdgeLength(*this, j) > EdgeLength(*this, k)) k = j;
  const int k1 = (k + 1) % 3, k2 = (k + 2) % 3;
  InterfaceNode* a = nodes_[k];
  InterfaceNode* b = nodes_[k1];
  InterfaceNode* c = nodes_[k2];
  InterfaceElem* mate = neighbours_[k];
  const int j = mate && mate != this ? mate->EdgeOf(a, b) : -1;
  if (j < 0) mate = nullptr;
  const int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
  // Two elements on the same three nodes (only a damaged file holds them)
  // cannot both be cut at one node.
  if (mate && mate->nodes_[j2] == c) return false;

  double middle[3];
  for (int i = 0; i < 3; ++i) middle[i] = 0.5 * (a->position[i] + b->position[i]);
  InterfaceNode* m = owner.NodeAt(middle);
  if (m) {
    // An edge too short to hold a node of its own stays whole; a node that
    // is there already must not make an element the interface has.
    if (m == a || m == b || m == c || (mate && m == mate->nodes_[j2])) return false;
    bool taken = owner.HasElementOn(a, m, c) || owner.HasElementOn(m, b, c);
    if (mate) {
      InterfaceNode* far = mate->nodes_[j2];
      taken = taken || owner.HasElementOn(mate->nodes_[j], m, far) || owner.HasElementOn(m, mate->nodes_[j1], far);
    }
    if (taken) throw InterfaceExcept("Interface element already exists");
  } else {
    m = owner.CreateNode(0, middle);
    m->CopyModel(*a, *b);
    if (!m->AttachToHostFace(host_) && host_.GetZone()) out << "Warning! failed to attach new node " << m->id << "\n";
  }

  // This element keeps (a, m, c); the far half (m, b, c) is new.
  InterfaceElem* outerK1 = neighbours_[k1];
  InterfaceElem* far = owner.CreateElement(m, b, c, host_);
  owner.SetCorner(*this, k1, m);
  Link(this, k1, far, 2);
  far->SetNeighbour(1, outerK1);
  Repoint(outerK1, this, far, b, c);
  splitMark = far->splitMark = 1;
  if (!mate) {
    neighbours_[k] = nullptr;
    return true;
  }
  // The neighbour keeps (x, m, z) and gives (m, y, z) to its new partner,
  // where x-y is the shared edge in its own order.
  InterfaceNode* x = mate->nodes_[j];
  InterfaceNode* y = mate->nodes_[j1];
  InterfaceNode* z = mate->nodes_[j2];
  InterfaceElem* mateOuter = mate->neighbours_[j1];
  InterfaceElem* mateFar = owner.CreateElement(m, y, z, mate->host_);
  owner.SetCorner(*mate, j1, m);
  Link(mate, j1, mateFar, 2);
  mateFar->SetNeighbour(1, mateOuter);
  Repoint(mateOuter, mate, mateFar, y, z);
  if (x == a) {  // both halves run the same way: a-m and m-b
    Link(this, k, mate, j);
    Link(far, 0, mateFar, 0);
  } else {
    Link(this, k, mateFar, 0);
    Link(far, 0, mate, j);
  }
  mate->splitMark = mateFar->splitMark = 1;
  return true;
}

void Interface::Refine(const Range& range, CommandType& out) {
  // The nodes where their host faces are now, before any range test or
  // search looks at them.
  UpdateNodePositions();
  for (bool split = true; split;) {
    split = false;
    for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) e->splitMark = 0;
    for (InterfaceElem* e = elements_.Head(); e; e = InterfaceElemList::Next(e)) {
      if (e->splitMark || !range.IsIn(e)) continue;
      const double longest = std::max({EdgeLength(*e, 0), EdgeLength(*e, 1), EdgeLength(*e, 2)});
      if (longest >= maxEdge && e->Split(*this, out)) split = true;
    }
  }
}

void Interface::DeleteInRange(const Range& range) {
  UpdateNodePositions();
  DestroyElements([](const InterfaceElem& e, void* r) { return static_cast<const Range*>(r)->IsIn(&e); },
                  const_cast<Range*>(&range));
  RemoveUnusedNodes();
}

// ---------------------------------------------------------------------------
// The command

void Interface::Edit(ModelInterpreter& interp, const Range& range) {
  while (interp.HasToken()) {
    int word = 0;
    if (int code = interp.MatchKeyword(kEditWords, word)) interp.ThrowParamError(code);
    switch (word) {
      case kNode:
        AddFreeNode(interp);
        break;
      case kElement:
        AddElementFromNodes(interp);
        break;
      case kGrid:
        break;
      case kProperty:
        SetProperties(interp, range);
        break;
      case kMaxEdge: {
        const double length = interp.GetReal();
        // Halving would never end below a length of 0.
        if (!(length > 0.0)) throw InterfaceExcept("Maximum edge length must be greater than 0");
        maxEdge = length;
        maxEdgeFlag = 1;
        permeability = 0;
        Refine(range, interp);
        interp << "*** This will make interfaces impermeable to fluid flow and override permeability flag if set "
               << "\n";
        break;
      }
      case kFace:
        AddFacesInRange(range);
        break;
      case kDelete:
        DeleteInRange(range);
        break;
      case kCTolerance:
        SetContactTolerance(range, interp.GetReal());
        break;
      case kUpdate: {
        const bool on = interp.GetBool();
        for (InterfaceNode* n : NodesIn(*this, range)) {
          if (on)
            n->flags &= ~InterfaceNode::kKeepTarget;
          else
            n->flags |= InterfaceNode::kKeepTarget;
        }
        break;
      }
      case kSStress: {
        double v[3];
        interp.GetVector(v);
        for (InterfaceNode* n : NodesIn(*this, range))
          for (int i = 0; i < 3; ++i) n->shearStress[i] = v[i];
        break;
      }
      case kNStress: {
        const double v = interp.GetReal();
        for (InterfaceNode* n : NodesIn(*this, range)) n->stressAddition = v;
        break;
      }
      case kSmallDisp: {
        const double factor = interp.GetReal();
        // Each host face's corners once per face, each node's own offset once.
        std::unordered_set<const void*> faces;
        for (InterfaceNode* n : NodesIn(*this, range)) {
          if (n->HasHost()) {
            const Zone* zone = n->host.GetZone();
            const char* key = reinterpret_cast<const char*>(zone) + n->host.Face();
            if (faces.insert(key).second)
              for (int c = 0; c < n->host.GpCount(); ++c)
                for (double& s : n->host.GetGp(c)->smallDisplacement) s *= factor;
          }
          for (double& s : n->smallDisplacement) s *= factor;
        }
        break;
      }
      case kPermeability: {
        const bool on = interp.GetBool();
        if (!maxEdgeFlag) {
          permeability = on ? 1 : 0;
        } else {
          permeability = 0;
          interp << "*** MaxEdge has been specified. Permeability will default to OFF "
                 << "\n";
        }
        break;
      }
      case kEffective:
        effective = interp.GetBool() ? 1 : 0;
        break;
      case kWrap: {
        String first, second;
        if (interp.HasToken()) first = interp.GetString();
        SecondGroupName(interp, &second);
        Wrap(first, second, range);
        break;
      }
      default:
        break;
    }
  }
}

void InterfaceCommand(ModelInterpreter& interp) {
  Range range;
  range.Parse(interp);
  int32_t id = 0;
  int word = 0;
  bool given = interp.CheckInt(&id) == CommandType::kOk;
  if (!given && interp.MatchKeyword("id", word) == CommandType::kOk) given = interp.CheckInt(&id) == CommandType::kOk;
  if (!given || id < 0) throw InterfaceExcept("Must specify interface ID number");
  InterfaceList& list = Interfaces();
  Interface* iface = list.Find(static_cast<uint32_t>(id));
  if (!iface) iface = list.CreateInterface(static_cast<uint32_t>(id));
  InterfaceLookupScope lookups(*iface);
  iface->Edit(interp, range);
}
