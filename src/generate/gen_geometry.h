// The GENERATE geometry store: reference points, surface triangles and the
// closed volumes that the triangles enclose, with their listings and save
// form. One store is active at a time; NEW replaces it by an empty one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <unordered_map>
#include <vector>

#include "base/linklist.h"
#include "base/matrix.h"
#include "base/memory.h"
#include "base/range.h"
#include "base/string.h"
#include "model/grid_point.h"

class CommandType;
class GenGeometry;
class SaveStream;

// A reference point: a named vertex for surface definitions. Its save record
// is the node record shared with grid-points (identity, flags, masses and
// the kinematic vectors, damping), followed by one double of its own.
class GenPoint : public NodeBase, public ModelObject {
 public:
  void Restore(SaveStream& stream) override;
  void Save(SaveStream& stream) const override;
  void RemapPointers() override {}

  int32_t Id() const { return static_cast<int32_t>(id); }
  Vec3 Position() const { return {position[0], position[1], position[2]}; }

 private:
  friend class GenGeometry;
  void SetPosition(const Vec3& p) {
    position[0] = p.x;
    position[1] = p.y;
    position[2] = p.z;
  }

  double extra_ = 0.0;  // carried through save and restore only

  // The store's search structures.
  uint64_t order_ = 0;  // rank in list order
  bool indexed_ = false;
  int32_t cellLevel_ = 0;
  int64_t cell_[3] = {0, 0, 0};
};

class GenVolume;

// A surface triangle. Its corners are reference points in counter-clockwise
// order seen from +z; edge k joins corner k and corner k+1, and neighbour k
// is the triangle across that edge. The triangles of one volume are chained
// through `Next`. As a range subject its position is its centroid.
class GenTriangle : public LinkListNode, public LocatedObject {
 public:
  GenTriangle();

  void Restore(SaveStream& stream) override;
  void Save(SaveStream& stream) const override;
  // The store resolves the saved references of its objects itself
  // (GenGeometry::AfterRestore), against its own lists.
  void RemapPointers() override {}
  void GetPosition(double position[3]) const override;

  int32_t Id() const { return id_; }
  // 0 for a free surface, else the number of the volume that owns it.
  int32_t VolumeNumber() const { return volume_; }
  double PlaneConstant() const { return d_; }
  const Vec3& Normal() const { return normal_; }
  const Vec3& BoxMin() const { return boxMin_; }
  const Vec3& BoxMax() const { return boxMax_; }
  const Vec3& Edge(int k) const { return edges_[k]; }
  GenPoint* Point(int k) const { return points_[k]; }
  GenTriangle* Neighbour(int k) const { return neighbours_[k]; }
  GenTriangle* Next() const { return next_; }

  void SetName(const String& name) { name_ = name; }
  const String& GetName() const { return name_; }
  void SetSurfaceId(int32_t id) { surfaceId_ = id; }
  int32_t GetSurfaceId() const { return surfaceId_; }

 private:
  friend class GenGeometry;
  friend class GenVolume;

  int32_t id_ = 0;
  int32_t volume_ = 0;
  int32_t reserved_ = 0;
  double d_ = 0.0;
  Vec3 normal_;
  Vec3 boxMin_;
  Vec3 boxMax_;
  Vec3 edges_[3];
  GenPoint* points_[3] = {nullptr, nullptr, nullptr};
  GenTriangle* neighbours_[3] = {nullptr, nullptr, nullptr};
  GenTriangle* next_ = nullptr;
  String name_;
  int32_t surfaceId_ = 1;

  uint64_t order_ = 0;  // rank in list order
};

// Candidate lists of a volume's triangles for the rays of the inside test.
struct GenVolumeIndex;

// A closed set of surface triangles.
class GenVolume : public LinkListNode {
 public:
  GenVolume();
  ~GenVolume() override;

  void Restore(SaveStream& stream) override;
  void Save(SaveStream& stream) const override;
  void RemapPointers() override {}  // see GenTriangle::RemapPointers

  int32_t Number() const { return number_; }
  const Vec3& MinExtent() const { return min_; }
  const Vec3& MaxExtent() const { return max_; }
  GenTriangle* First() const { return first_; }
  // The number of triangles in its chain.
  int32_t TriangleCount() const;

  // Whether the position lies inside: rays along the axes, counted by the
  // parity of their distinct crossings with the surface.
  static bool Contains(const GenVolume* volume, const double p[3]);
  // The point of the surface closest to the position. `remembered` names a
  // triangle of this volume found by an earlier query, or null; on return it
  // names the triangle of the result.
  Vec3 Closest(const Vec3& p, GenTriangle** remembered) const;

 private:
  friend class GenGeometry;

  // The candidate lists follow the chain: they go whenever it changes.
  void DropIndex() const;
  const GenVolumeIndex& Index() const;

  int32_t number_ = 0;
  Vec3 min_;
  Vec3 max_;
  GenTriangle* first_ = nullptr;
  mutable std::unique_ptr<GenVolumeIndex> index_;  // built at the first inside test
};

// An intrusive list of one kind of GENERATE object; every record it restores
// is an object of that kind, whatever its type code.
template <class T>
class GenList : public LinkListBase {
 public:
  LinkListNode* Create(uint32_t) override { return new T; }

  class Iterator {
   public:
    explicit Iterator(LinkListNode* n) : n_(n) {}
    T* operator*() const { return static_cast<T*>(n_); }
    Iterator& operator++() {
      n_ = n_->NextNode();
      return *this;
    }
    bool operator!=(const Iterator& o) const { return n_ != o.n_; }

   private:
    LinkListNode* n_;
  };
  Iterator begin() const { return Iterator(First()); }
  Iterator end() const { return Iterator(nullptr); }
};

class GenPointList : public GenList<GenPoint> {};
class GenTriangleList : public GenList<GenTriangle> {};
class GenVolumeList : public GenList<GenVolume> {};

class GenGeometry {
 public:
  GenGeometry();
  // The lists go in the order volumes, triangles, points.
  ~GenGeometry();
  GenGeometry(const GenGeometry&) = delete;
  GenGeometry& operator=(const GenGeometry&) = delete;

  const GenPointList& Points() const { return points_; }
  const GenTriangleList& Triangles() const { return triangles_; }
  const GenVolumeList& Volumes() const { return volumes_; }

  // The first point in list order with that id, or null.
  GenPoint* FindPoint(int32_t id) const;
  // GENERATE POINT: with an id, moves the point of that id or creates it;
  // without, moves the point that lies at the position or creates one with
  // the smallest free id.
  GenPoint* PlacePoint(const Vec3& position, bool hasId, int32_t id);
  // The first point within a small relative distance of the position, or a
  // new one there numbered after the points present.
  GenPoint* FindOrCreatePoint(const Vec3& position);
  // A new free triangle; GenExcept for a degenerate or duplicate one. The
  // console, when given, hears that the corners were reordered.
  GenTriangle* CreateTriangle(const Vec3& a, const Vec3& b, const Vec3& c, int32_t surfaceId, const String& name,
                              std::ostream* console);
  // Takes the triangle out of the store: no neighbour and no volume keeps it.
  void DeleteTriangle(GenTriangle* triangle);
  // One volume-building pass over the free triangles. True when free
  // triangles remain that do not close (reported only with `report`).
  bool BuildVolumes(std::ostream* console, bool report);
  // The triangles that quiet passes marked open become free again; answers
  // how many there were.
  int32_t ReleaseOpenTriangles();
  // The first volume with that number, or null.
  GenVolume* FindVolume(int32_t number) const;

  // PRINT GENERATE: reads "surface", "point" or "volume" and lists them.
  void Print(CommandType& interp) const;
  void PrintSurfaces(CommandType& interp) const;
  void PrintPoints(CommandType& interp) const;
  void PrintVolumes(CommandType& interp) const;

  // The three lists in order. References are written as save indices.
  void Save(SaveStream& stream);
  void Restore(SaveStream& stream);
  // After every list of the model is read: the saved indices become pointers
  // again, and whatever a damaged file left inconsistent is dropped.
  void AfterRestore();

  // Changes whenever the store's volumes may have been destroyed: objects
  // that hold a volume keep the generation they saw it in.
  uint64_t Generation() const { return generation_; }

 private:
  struct CellKey {
    int32_t level;
    int64_t i, j, k;
    bool operator==(const CellKey& o) const { return level == o.level && i == o.i && j == o.j && k == o.k; }
  };
  struct CellKeyHash {
    size_t operator()(const CellKey& c) const;
  };
  struct EdgeKey {
    const GenPoint* a;
    const GenPoint* b;
    bool operator==(const EdgeKey& o) const { return a == o.a && b == o.b; }
  };
  struct EdgeKeyHash {
    size_t operator()(const EdgeKey& e) const;
  };
  struct EdgeUse {
    GenTriangle* triangle;
    int edge;
  };

  static EdgeKey KeyOf(const GenPoint* a, const GenPoint* b);
  static EdgeKey EdgeOf(const GenTriangle* t, int k) { return KeyOf(t->points_[k], t->points_[(k + 1) % 3]); }

  void AppendPoint(GenPoint* point);
  void MovePoint(GenPoint* point, const Vec3& position);
  void IndexPoint(GenPoint* point);
  void UnindexPoint(GenPoint* point);
  // The first point in list order whose L1 distance from p is below `tolerance`.
  GenPoint* NearestInOrder(const Vec3& p, double tolerance) const;
  int32_t SmallestFreeId();
  void AppendTriangle(GenTriangle* triangle);
  void LinkTriangleNeighbour(GenTriangle* t, int k);
  bool CollectVolume(GenVolume* volume, GenTriangle* start);
  // Every change of a triangle's volume number goes through here, so that
  // the free and the open triangles are known without a walk over the list.
  void SetVolume(GenTriangle* triangle, int32_t volume);
  void UnchainTriangle(GenTriangle* triangle);
  void RebuildIndexes();
  void ClearIndexes();

  // Destroyed in reverse order: volumes first, then triangles, then points.
  GenPointList points_;
  GenTriangleList triangles_;
  GenVolumeList volumes_;

  std::unordered_map<int32_t, GenPoint*> pointById_;  // the first point of each id
  std::unordered_map<CellKey, std::vector<GenPoint*>, CellKeyHash> cells_;
  std::unordered_map<EdgeKey, std::vector<EdgeUse>, EdgeKeyHash> edgeUses_;  // in list order
  std::map<uint64_t, GenTriangle*> free_;                                    // volume 0, in list order
  std::map<uint64_t, GenTriangle*> open_;                                    // volume -1, in list order
  int32_t lowestFreeId_ = 1;
  uint64_t nextPointOrder_ = 0;
  uint64_t nextTriangleOrder_ = 0;
  uint64_t generation_;
};

// "(x,y,z)" with each component written alike (DoubleToString's precision,
// width and notation), as the GENERATE listings and tests write positions.
String GenVectorText(const Vec3& v, int precision, int width, int notation);

// The active store (null only while it is being replaced).
GenGeometry* ActiveGenGeometry();
// NEW and DELETE VOLUMES: the store is replaced by an empty one.
void ResetGenGeometry();

// The operations of the active store.
GenPoint* FindGenPoint(int32_t id);
GenPoint* FindOrCreateGenPoint(const Vec3& position);
GenTriangle* CreateGenTriangle(const Vec3& a, const Vec3& b, const Vec3& c, int32_t surfaceId, const String& name,
                               std::ostream* console);
void DeleteGenTriangle(GenTriangle* triangle);
bool BuildVolumes(std::ostream* console, bool report);
