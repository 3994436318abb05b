// The GENERATE geometry store: creation of points and triangles, neighbour
// links, volume building, the save records and the active store.
#include "generate/gen_geometry.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

#include "base/except.h"
#include "base/message.h"
#include "base/savestream.h"
#include "base/stream.h"
#include "generate/gen_math.h"
#include "model/model.h"
#include "model/model_settings.h"

namespace {
constexpr double kLargest = 1.7976931348623157e308;

// Every store gets a generation of its own; a restore starts a new one.
uint64_t g_generation = 0;

void WriteVector(SaveStream& stream, const Vec3& v) {
  stream.WriteF64(v.x);
  stream.WriteF64(v.y);
  stream.WriteF64(v.z);
}

Vec3 ReadVector(SaveStream& stream) {
  Vec3 v;
  v.x = stream.ReadF64();
  v.y = stream.ReadF64();
  v.z = stream.ReadF64();
  return v;
}

// The largest absolute coordinate.
double MaxAbs(const Vec3& p) { return std::max({std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)}); }

bool IsFinite(const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

double L1Distance(const Vec3& a, const Vec3& b) {
  return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z);
}

// The point index files points by the size of the search tolerance around
// them: a point of level e lies in a grid of cells 2^(e+2) wide, where 2^e
// is the next power of two above 1e-6 times its largest coordinate (or 1).
// A point that matches a query lies within one level of the query's own.
double IndexTolerance(const Vec3& p) {
  double m = MaxAbs(p);
  return 1e-6 * (m > 1.0 ? m : 1.0);
}

int32_t LevelOf(double tolerance) {
  int e = 0;
  std::frexp(tolerance, &e);
  return e;
}

// The cell of a coordinate; bounded, so that a search box that runs past the
// largest double still gives a cell.
int64_t CellOf(double x, int32_t level) {
  const double cell = std::floor(std::ldexp(x, -(level + 2)));
  return static_cast<int64_t>(std::clamp(cell, -4e18, 4e18));
}

[[noreturn]] void ThrowDegenerate() { throw GenExcept(MessageText("Attempted to create a degenerate triangle")); }
}  // namespace

// ---------------------------------------------------------------------------
// Reference points

// The node record shared with grid-points, then the point's own double.
void GenPoint::Save(SaveStream& stream) const {
  SaveNode(stream);
  stream.WriteF64(extra_);
}

void GenPoint::Restore(SaveStream& stream) {
  RestoreNode(stream);
  // A reference point carries neither a dynamic block nor extra variables.
  if (dynamicBlock || extra.Count() != 0) stream.ReadFailure();
  extra_ = stream.ReadF64();
}

// ---------------------------------------------------------------------------
// Triangles

GenTriangle::GenTriangle() : LocatedObject(kGenerateTriangle) {
  boxMin_ = {kLargest, kLargest, kLargest};
  boxMax_ = {-kLargest, -kLargest, -kLargest};
}

void GenTriangle::Save(SaveStream& stream) const {
  stream.WriteI32(id_);
  stream.WriteI32(volume_);
  stream.WriteI32(reserved_);
  stream.WriteF64(d_);
  WriteVector(stream, normal_);
  WriteVector(stream, boxMin_);
  WriteVector(stream, boxMax_);
  for (const Vec3& e : edges_) WriteVector(stream, e);
  for (const GenPoint* p : points_) SavePointer(stream, p);
  for (const GenTriangle* j : neighbours_) SavePointer(stream, j);
  SavePointer(stream, next_);
}

// Name and surface id are not part of the record: a restored triangle has
// an empty name and surface id 1.
void GenTriangle::Restore(SaveStream& stream) {
  id_ = stream.ReadI32();
  volume_ = stream.ReadI32();
  reserved_ = stream.ReadI32();
  d_ = stream.ReadF64();
  normal_ = ReadVector(stream);
  boxMin_ = ReadVector(stream);
  boxMax_ = ReadVector(stream);
  for (Vec3& e : edges_) e = ReadVector(stream);
  for (GenPoint*& p : points_) RestorePointer(stream, p);
  for (GenTriangle*& j : neighbours_) RestorePointer(stream, j);
  RestorePointer(stream, next_);
  name_ = String();
  surfaceId_ = 1;
}

void GenTriangle::GetPosition(double position[3]) const {
  Vec3 c;
  for (const GenPoint* p : points_)
    if (p) c += p->Position();
  position[0] = c.x / 3.0;
  position[1] = c.y / 3.0;
  position[2] = c.z / 3.0;
}

// ---------------------------------------------------------------------------
// Volumes

void GenVolume::Save(SaveStream& stream) const {
  stream.WriteI32(number_);
  WriteVector(stream, min_);
  WriteVector(stream, max_);
  SavePointer(stream, first_);
}

void GenVolume::Restore(SaveStream& stream) {
  number_ = stream.ReadI32();
  min_ = ReadVector(stream);
  max_ = ReadVector(stream);
  RestorePointer(stream, first_);
}

int32_t GenVolume::TriangleCount() const {
  int32_t n = 0;
  for (const GenTriangle* t = first_; t; t = t->next_) ++n;
  return n;
}

// ---------------------------------------------------------------------------
// The store

size_t GenGeometry::CellKeyHash::operator()(const CellKey& c) const {
  uint64_t h = static_cast<uint64_t>(c.level) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<uint64_t>(c.i) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(c.j) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h ^= static_cast<uint64_t>(c.k) + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  return static_cast<size_t>(h);
}

size_t GenGeometry::EdgeKeyHash::operator()(const EdgeKey& e) const {
  uint64_t a = reinterpret_cast<uintptr_t>(e.a);
  uint64_t b = reinterpret_cast<uintptr_t>(e.b);
  return static_cast<size_t>(a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2)));
}

GenGeometry::EdgeKey GenGeometry::KeyOf(const GenPoint* a, const GenPoint* b) {
  return std::less<const GenPoint*>()(a, b) ? EdgeKey{a, b} : EdgeKey{b, a};
}

GenGeometry::GenGeometry() : generation_(++g_generation) {}

GenGeometry::~GenGeometry() {
  volumes_.Clear();
  triangles_.Clear();
  points_.Clear();
}

GenPoint* GenGeometry::FindPoint(int32_t id) const {
  auto it = pointById_.find(id);
  return it == pointById_.end() ? nullptr : it->second;
}

void GenGeometry::IndexPoint(GenPoint* point) {
  const Vec3& p = point->Position();
  point->indexed_ = false;
  if (!IsFinite(p)) return;  // such a point never lies within a tolerance of anything
  point->cellLevel_ = LevelOf(IndexTolerance(p));
  point->cell_[0] = CellOf(p.x, point->cellLevel_);
  point->cell_[1] = CellOf(p.y, point->cellLevel_);
  point->cell_[2] = CellOf(p.z, point->cellLevel_);
  cells_[CellKey{point->cellLevel_, point->cell_[0], point->cell_[1], point->cell_[2]}].push_back(point);
  point->indexed_ = true;
}

void GenGeometry::UnindexPoint(GenPoint* point) {
  if (!point->indexed_) return;
  auto it = cells_.find(CellKey{point->cellLevel_, point->cell_[0], point->cell_[1], point->cell_[2]});
  if (it != cells_.end()) {
    auto& bucket = it->second;
    auto at = std::find(bucket.begin(), bucket.end(), point);
    if (at != bucket.end()) {
      *at = bucket.back();
      bucket.pop_back();
    }
    if (bucket.empty()) cells_.erase(it);
  }
  point->indexed_ = false;
}

GenPoint* GenGeometry::NearestInOrder(const Vec3& p, double tolerance) const {
  if (!IsFinite(p) || !(tolerance > 0.0)) return nullptr;
  const double t = IndexTolerance(p);  // never below the tolerances asked for
  const int32_t level = LevelOf(t);
  GenPoint* best = nullptr;
  for (int32_t l = level - 1; l <= level + 1; ++l) {
    // The box is narrower than a cell: it spans the cell of p and at most
    // one neighbour on each axis.
    int64_t lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
      const int64_t c = CellOf(p.Component(a), l);
      lo[a] = std::max(CellOf(p.Component(a) - t, l), c - 1);
      hi[a] = std::min(CellOf(p.Component(a) + t, l), c + 1);
    }
    for (int64_t i = lo[0]; i <= hi[0]; ++i) {
      for (int64_t j = lo[1]; j <= hi[1]; ++j) {
        for (int64_t k = lo[2]; k <= hi[2]; ++k) {
          auto it = cells_.find(CellKey{l, i, j, k});
          if (it == cells_.end()) continue;
          for (GenPoint* q : it->second) {
            if (L1Distance(q->Position(), p) < tolerance && (!best || q->order_ < best->order_)) best = q;
          }
        }
      }
    }
  }
  return best;
}

void GenGeometry::AppendPoint(GenPoint* point) {
  point->order_ = nextPointOrder_++;
  points_.Append(point);
  pointById_.emplace(point->Id(), point);
  IndexPoint(point);
}

void GenGeometry::MovePoint(GenPoint* point, const Vec3& position) {
  UnindexPoint(point);
  point->SetPosition(position);
  IndexPoint(point);
}

// Ids are never taken away one by one, so the smallest free id only grows.
int32_t GenGeometry::SmallestFreeId() {
  while (lowestFreeId_ < INT32_MAX && pointById_.count(lowestFreeId_)) ++lowestFreeId_;
  return lowestFreeId_;
}

GenPoint* GenGeometry::PlacePoint(const Vec3& position, bool hasId, int32_t id) {
  GenPoint* point = nullptr;
  if (hasId) {
    point = FindPoint(id);
  } else {
    double m = MaxAbs(position);
    point = NearestInOrder(position, std::max(1e-14 * m, 1e-14));
    id = point ? point->Id() : SmallestFreeId();
  }
  if (point) {
    MovePoint(point, position);
    return point;
  }
  auto created = std::make_unique<GenPoint>();
  created->id = static_cast<uint32_t>(id);
  created->SetPosition(position);
  point = created.release();
  AppendPoint(point);
  return point;
}

GenPoint* GenGeometry::FindOrCreatePoint(const Vec3& position) {
  double m = MaxAbs(position);
  if (m == 0.0) m = 1.0;
  if (GenPoint* found = NearestInOrder(position, 1e-6 * m)) return found;
  auto created = std::make_unique<GenPoint>();
  created->id = points_.Count() + 1;
  created->SetPosition(position);
  GenPoint* point = created.release();
  AppendPoint(point);
  return point;
}

GenTriangle* GenGeometry::CreateTriangle(const Vec3& a, const Vec3& b, const Vec3& c, int32_t surfaceId,
                                         const String& name, std::ostream* console) {
  Vec3 pa = a, pb = b, pc = c;
  const double m = std::max({MaxAbs(pa), MaxAbs(pb), MaxAbs(pc)});
  if (!std::isfinite(m)) ThrowDegenerate();
  // Corners beyond about 1e154 would overflow the cross product: it is taken
  // of corners scaled by a power of two, which changes no bit of the normal,
  // and the size test scales its tolerance alike.
  int exponent = 0;
  std::frexp(m, &exponent);
  const double scale = exponent > 500 ? std::ldexp(1.0, -exponent) : 1.0;
  auto cross = [scale](const Vec3& p, const Vec3& q, const Vec3& r) {
    return Vec3::Cross(q * scale - p * scale, r * scale - p * scale);
  };
  Vec3 n = cross(pa, pb, pc);
  const double t = std::max(std::fabs(1e-14 * m), 1e-14) * scale * scale;
  const double size = std::fabs(n.x) + std::fabs(n.y) + std::fabs(n.z);
  if (!(size >= t)) ThrowDegenerate();
  // Counter-clockwise seen from +z: every normal points upwards or lies flat.
  if (n.z < 0.0) {
    std::swap(pb, pc);
    if (console)
      *console << MessageText("Triangle: switching points 2 and 3 to maintain counter clockwise orderering") << "\n";
  }
  n = GenUnit(cross(pa, pb, pc));
  GenPoint* p0 = FindOrCreatePoint(pa);
  GenPoint* p1 = FindOrCreatePoint(pb);
  GenPoint* p2 = FindOrCreatePoint(pc);
  // Corners so close that they fall on one reference point leave no triangle.
  if (p0 == p1 || p1 == p2 || p2 == p0) ThrowDegenerate();
  auto uses = edgeUses_.find(KeyOf(p0, p1));
  if (uses != edgeUses_.end()) {
    for (const EdgeUse& use : uses->second) {
      const GenTriangle* u = use.triangle;
      if (u->volume_ == 0 && u->points_[(use.edge + 2) % 3] == p2)
        throw GenExcept(MessageText("Free surface already exists at that location"));
    }
  }

  auto created = std::make_unique<GenTriangle>();
  GenTriangle* tri = created.get();
  tri->id_ = static_cast<int32_t>(triangles_.Count()) + 1;
  tri->normal_ = n;
  tri->d_ = Vec3::Dot(n, pa);
  tri->points_[0] = p0;
  tri->points_[1] = p1;
  tri->points_[2] = p2;
  for (const GenPoint* p : tri->points_) {
    tri->boxMin_ = MinVect3(tri->boxMin_, p->Position());
    tri->boxMax_ = MaxVect3(tri->boxMax_, p->Position());
  }
  for (int k = 0; k < 3; ++k)
    tri->edges_[k] = GenUnit(tri->points_[(k + 1) % 3]->Position() - tri->points_[k]->Position());
  tri->name_ = name;
  tri->surfaceId_ = surfaceId;
  for (int k = 0; k < 3; ++k) LinkTriangleNeighbour(tri, k);
  tri->next_ = nullptr;
  AppendTriangle(created.release());
  return tri;
}

// Every triangle already in the list whose matching edge is still open takes
// the new triangle as its neighbour, in list order; the new triangle keeps
// the last of them.
void GenGeometry::LinkTriangleNeighbour(GenTriangle* t, int k) {
  auto it = edgeUses_.find(EdgeOf(t, k));
  if (it == edgeUses_.end()) return;
  for (const EdgeUse& use : it->second) {
    if (use.triangle->neighbours_[use.edge]) continue;
    t->neighbours_[k] = use.triangle;
    use.triangle->neighbours_[use.edge] = t;
  }
}

void GenGeometry::AppendTriangle(GenTriangle* triangle) {
  triangle->order_ = nextTriangleOrder_++;
  triangles_.Append(triangle);
  for (int k = 0; k < 3; ++k) edgeUses_[EdgeOf(triangle, k)].push_back(EdgeUse{triangle, k});
  if (triangle->volume_ == 0)
    free_.emplace(triangle->order_, triangle);
  else if (triangle->volume_ == -1)
    open_.emplace(triangle->order_, triangle);
}

void GenGeometry::SetVolume(GenTriangle* triangle, int32_t volume) {
  const int32_t old = triangle->volume_;
  if (old == volume) return;
  if (old == 0)
    free_.erase(triangle->order_);
  else if (old == -1)
    open_.erase(triangle->order_);
  triangle->volume_ = volume;
  if (volume == 0)
    free_.emplace(triangle->order_, triangle);
  else if (volume == -1)
    open_.emplace(triangle->order_, triangle);
}

// Takes the triangle out of the chain of the volume that holds it.
void GenGeometry::UnchainTriangle(GenTriangle* triangle) {
  auto unlink = [triangle](GenVolume* v) {
    for (GenTriangle** link = &v->first_; *link; link = &(*link)->next_) {
      if (*link == triangle) {
        *link = triangle->next_;
        v->DropIndex();
        return true;
      }
    }
    return false;
  };
  GenVolume* owner = triangle->volume_ > 0 ? FindVolume(triangle->volume_) : nullptr;
  if (owner && unlink(owner)) return;
  for (GenVolume* v : volumes_)
    if (unlink(v)) return;
}

void GenGeometry::DeleteTriangle(GenTriangle* triangle) {
  if (!triangle) return;
  for (int k = 0; k < 3; ++k) {
    auto it = edgeUses_.find(EdgeOf(triangle, k));
    if (it == edgeUses_.end()) continue;
    auto& bucket = it->second;
    for (const EdgeUse& use : bucket)
      if (use.triangle->neighbours_[use.edge] == triangle) use.triangle->neighbours_[use.edge] = nullptr;
    bucket.erase(std::remove_if(bucket.begin(), bucket.end(),
                                [triangle](const EdgeUse& use) { return use.triangle == triangle; }),
                 bucket.end());
    if (bucket.empty()) edgeUses_.erase(it);
  }
  UnchainTriangle(triangle);
  triangle->next_ = nullptr;
  free_.erase(triangle->order_);
  open_.erase(triangle->order_);
  triangles_.Remove(triangle);
  delete triangle;
}

GenVolume* GenGeometry::FindVolume(int32_t number) const {
  for (GenVolume* v : volumes_)
    if (v->number_ == number) return v;
  return nullptr;
}

// Gathers the free triangles reachable from `start` across their edges into
// the volume's chain. It fails as soon as one of them lacks a neighbour or
// has one that this pass already found open: such a set does not close. The
// walk is depth first, neighbours in edge order, each triangle put at the
// head of the chain when it is reached.
bool GenGeometry::CollectVolume(GenVolume* volume, GenTriangle* start) {
  auto closed = [](const GenTriangle* t) { return t->neighbours_[0] && t->neighbours_[1] && t->neighbours_[2]; };
  auto take = [this, volume](GenTriangle* t) {
    t->next_ = volume->first_;
    volume->first_ = t;
    SetVolume(t, volume->number_);
  };
  if (!closed(start)) return false;
  take(start);
  struct Frame {
    GenTriangle* triangle;
    int next;
  };
  std::vector<Frame> stack{{start, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == 3) {
      stack.pop_back();
      continue;
    }
    GenTriangle* j = top.triangle->neighbours_[top.next++];
    if (j->volume_ == -1) return false;
    if (j->volume_ != 0) continue;
    if (!closed(j)) return false;
    take(j);
    stack.push_back({j, 0});
  }
  return true;
}

// The pass visits the triangles that are free when it starts, in list
// order; one that an earlier collection of the pass took is passed over.
bool GenGeometry::BuildVolumes(std::ostream* console, bool report) {
  std::vector<GenTriangle*> candidates;
  candidates.reserve(free_.size());
  for (const auto& entry : free_) candidates.push_back(entry.second);
  for (GenTriangle* t : candidates) {
    if (t->volume_ != 0) continue;
    auto volume = std::make_unique<GenVolume>();
    volume->number_ = static_cast<int32_t>(volumes_.Count()) + 1;
    if (!CollectVolume(volume.get(), t)) {
      for (GenTriangle* c = volume->first_; c;) {
        GenTriangle* next = c->next_;
        SetVolume(c, -1);
        c->next_ = nullptr;
        c = next;
      }
      SetVolume(t, -1);
      t->next_ = nullptr;
      continue;
    }
    if (!report) {
      // A quiet pass makes no volume: the set it found closed goes back to
      // free triangles, and the next reporting pass turns it into a volume.
      for (GenTriangle* c = volume->first_; c;) {
        GenTriangle* next = c->next_;
        SetVolume(c, 0);
        c->next_ = nullptr;
        c = next;
      }
      return false;
    }
    GenVolume* v = volume.release();
    if (console)
      *console << MessageText("Volume %s Created with %s Surfaces", IntToString(v->number_),
                              IntToString(v->TriangleCount()))
               << "\n";
    volumes_.Append(v);
    for (const GenTriangle* c = v->first_; c; c = c->next_) {
      for (const GenPoint* p : c->points_) {
        v->min_ = MinVect3(v->min_, p->Position());
        v->max_ = MaxVect3(v->max_, p->Position());
      }
    }
  }
  if (!report) return false;
  const int32_t open = ReleaseOpenTriangles();
  if (open == 0) return false;
  if (console) *console << "\n" << open << MessageText(" Surfaces present") << "\n";
  return true;
}

int32_t GenGeometry::ReleaseOpenTriangles() {
  const int32_t count = static_cast<int32_t>(open_.size());
  for (const auto& entry : open_) {
    entry.second->volume_ = 0;
    free_.insert(entry);
  }
  open_.clear();
  return count;
}

// ---------------------------------------------------------------------------
// Save and restore

void GenGeometry::Save(SaveStream& stream) {
  points_.Number();
  triangles_.Number();
  volumes_.Number();
  points_.Save(stream);
  triangles_.Save(stream);
  volumes_.Save(stream);
}

void GenGeometry::ClearIndexes() {
  pointById_.clear();
  cells_.clear();
  edgeUses_.clear();
  free_.clear();
  open_.clear();
  lowestFreeId_ = 1;
  nextPointOrder_ = 0;
  nextTriangleOrder_ = 0;
}

void GenGeometry::Restore(SaveStream& stream) {
  generation_ = ++g_generation;
  ClearIndexes();
  volumes_.Clear();
  triangles_.Clear();
  points_.Clear();
  try {
    points_.Restore(stream);
    triangles_.Restore(stream);
    volumes_.Restore(stream);
  } catch (...) {
    // Records read so far hold unresolved indices: none of them stays.
    volumes_.Clear();
    triangles_.Clear();
    points_.Clear();
    throw;
  }
}

namespace {
// Whether the triangle has an edge joining a and b.
bool HasEdge(const GenTriangle* t, const GenPoint* a, const GenPoint* b) {
  for (int j = 0; j < 3; ++j) {
    const GenPoint* p = t->Point(j);
    const GenPoint* q = t->Point((j + 1) % 3);
    if ((p == a && q == b) || (p == b && q == a)) return true;
  }
  return false;
}
}  // namespace

void GenGeometry::AfterRestore() {
  for (GenTriangle* t : triangles_) {
    triangles_.RemapNode(t, [&] {
      for (GenPoint*& p : t->points_) RemapPointer(points_, p);
      for (GenTriangle*& j : t->neighbours_) RemapPointer(triangles_, j);
      RemapPointer(triangles_, t->next_);
    });
  }
  for (GenVolume* v : volumes_) volumes_.RemapNode(v, [&] { RemapPointer(triangles_, v->first_); });

  // A damaged file must not leave a chain that loops, two chains that share
  // a triangle, or a chain holding a triangle of another number: such a
  // triangle (free, say) would be taken into a new volume while the old
  // chain still ran through it.
  std::unordered_set<const GenTriangle*> chained;
  for (GenVolume* v : volumes_) {
    v->DropIndex();
    for (GenTriangle** link = &v->first_; *link;) {
      GenTriangle* t = *link;
      if (!chained.insert(t).second) {
        *link = nullptr;
        break;
      }
      if (t->volume_ != v->number_) {
        *link = t->next_;
        t->next_ = nullptr;
        continue;
      }
      link = &t->next_;
    }
  }
  // Triangles whose corners did not resolve are dropped; a neighbour that
  // does not share the edge it stands for is no neighbour.
  std::unordered_set<const GenTriangle*> broken;
  for (GenTriangle* t : triangles_)
    if (!t->points_[0] || !t->points_[1] || !t->points_[2]) broken.insert(t);
  for (GenTriangle* t : triangles_) {
    if (broken.count(t)) continue;
    for (int k = 0; k < 3; ++k) {
      GenTriangle*& j = t->neighbours_[k];
      if (j && (broken.count(j) || !HasEdge(j, t->points_[k], t->points_[(k + 1) % 3]))) j = nullptr;
    }
  }
  if (!broken.empty()) {
    for (GenVolume* v : volumes_) {
      for (GenTriangle** link = &v->first_; *link;) {
        if (broken.count(*link))
          *link = (*link)->next_;
        else
          link = &(*link)->next_;
      }
    }
    for (GenTriangle* t : triangles_)
      if (t->next_ && broken.count(t->next_)) t->next_ = nullptr;
    for (const GenTriangle* b : broken) delete triangles_.Remove(const_cast<GenTriangle*>(b));
  }
  RebuildIndexes();
}

void GenGeometry::RebuildIndexes() {
  ClearIndexes();
  for (GenPoint* p : points_) {
    p->order_ = nextPointOrder_++;
    pointById_.emplace(p->Id(), p);
    IndexPoint(p);
  }
  for (GenTriangle* t : triangles_) {
    t->order_ = nextTriangleOrder_++;
    for (int k = 0; k < 3; ++k) edgeUses_[EdgeOf(t, k)].push_back(EdgeUse{t, k});
    if (t->volume_ == 0)
      free_.emplace(t->order_, t);
    else if (t->volume_ == -1)
      open_.emplace(t->order_, t);
  }
}

// ---------------------------------------------------------------------------
// The active store

namespace {
// The model's store; NEW and RESTORE replace it by another.
struct GeometryStore {
  std::unique_ptr<GenGeometry> store = std::make_unique<GenGeometry>();
};
std::unique_ptr<GenGeometry>& Store() { return CurrentModel().Part<GeometryStore>().store; }
}  // namespace

GenGeometry* ActiveGenGeometry() { return Store().get(); }

void ResetGenGeometry() {
  std::unique_ptr<GenGeometry>& store = Store();
  store.reset();
  store = std::make_unique<GenGeometry>();
}

GenPoint* FindGenPoint(int32_t id) {
  GenGeometry* store = ActiveGenGeometry();
  return store ? store->FindPoint(id) : nullptr;
}

GenPoint* FindOrCreateGenPoint(const Vec3& position) {
  GenGeometry* store = ActiveGenGeometry();
  return store ? store->FindOrCreatePoint(position) : nullptr;
}

GenTriangle* CreateGenTriangle(const Vec3& a, const Vec3& b, const Vec3& c, int32_t surfaceId, const String& name,
                               std::ostream* console) {
  GenGeometry* store = ActiveGenGeometry();
  return store ? store->CreateTriangle(a, b, c, surfaceId, name, console) : nullptr;
}

void DeleteGenTriangle(GenTriangle* triangle) {
  if (GenGeometry* store = ActiveGenGeometry()) store->DeleteTriangle(triangle);
}

bool BuildVolumes(std::ostream* console, bool report) {
  GenGeometry* store = ActiveGenGeometry();
  return store ? store->BuildVolumes(console, report) : false;
}
