// Particle tracking: massless markers carried by the seepage, each with its
// zone, tortuosity, stored track points and path length; the global list of
// them with its listings and save form; the move of every particle through
// the grid-point fluid velocities in each step; injection through inflow
// faces; and the TRACK command.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

class CommandType;
class File;
class GridPoint;
class ModelInterpreter;
class SaveStream;
class Zone;

struct TrackPoint {
  double time = 0.0;
  double position[3] = {0, 0, 0};
};

class TrackPointPool;

// The stored points of one particle's track in the order recorded: a chain
// of nodes from the particle list's pool, so that recording a point takes
// no allocation once the pool has room. Not copyable.
class Track {
 public:
  struct Node {
    TrackPoint point;
    Node* next = nullptr;
  };
  class Iterator {
   public:
    explicit Iterator(Node* node) : node_(node) {}
    TrackPoint& operator*() const { return node_->point; }
    TrackPoint* operator->() const { return &node_->point; }
    Iterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    bool operator==(const Iterator& o) const { return node_ == o.node_; }
    bool operator!=(const Iterator& o) const { return node_ != o.node_; }

   private:
    Node* node_;
  };

  explicit Track(TrackPointPool& pool) : pool_(&pool) {}
  ~Track() { clear(); }
  Track(const Track&) = delete;
  Track& operator=(const Track&) = delete;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  TrackPoint& front() { return head_->point; }
  const TrackPoint& front() const { return head_->point; }
  TrackPoint& back() { return tail_->point; }
  const TrackPoint& back() const { return tail_->point; }
  Iterator begin() const { return Iterator(head_); }
  Iterator end() const { return Iterator(nullptr); }
  void push_back(const TrackPoint& point);
  // Every node back to the pool.
  void clear();

 private:
  TrackPointPool* pool_;
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  size_t size_ = 0;
};

// The nodes of all tracks: cut from blocks, kept on a free list once given back.
class TrackPointPool {
 public:
  static constexpr size_t kBlockNodes = 1024;

  TrackPointPool() = default;
  TrackPointPool(const TrackPointPool&) = delete;
  TrackPointPool& operator=(const TrackPointPool&) = delete;

  Track::Node* Take();
  // A chain of nodes, first to last, back to the free list.
  void Give(Track::Node* first, Track::Node* last, size_t count);
  // Frees the blocks when no track holds a node.
  void Release();
  size_t Blocks() const { return blocks_.size(); }
  size_t NodesInUse() const { return inUse_; }

 private:
  std::vector<std::unique_ptr<Track::Node[]>> blocks_;
  Track::Node* free_ = nullptr;
  size_t cut_ = kBlockNodes;  // nodes of the last block handed out
  size_t inUse_ = 0;
};

// The amount of one aqueous chemistry component that a particle carries.
struct AqueousAmount {
  uint32_t component = 0;
  double moles = 0.0;
};

class Particle {
 public:
  // Takes the next id of the model's counter.
  Particle();

  void Init(Zone* zone, const double p[3], double tortuosity, double time, bool regen);
  // Nothing when not active; keepTail appends, else the single point is overwritten.
  void AddTrackPoint(double time, const double p[3]);
  void SetCurrentPoint(double time, const double p[3]);
  // The position the listings show: current once it has moved past the last stored point.
  const double* ShownPosition() const;

  // QJExcept for a solid phase of the chemistry table or a negative amount.
  void SetAqueousMoles(uint32_t component, double moles);
  double GetAqueousMoles(uint32_t component) const;
  void GetAqueousArrays(std::vector<uint32_t>& indices, std::vector<double>& values) const;
  void GetTrackPositions(std::vector<TrackPoint>& points) const;

  void Save(SaveStream& s) const;
  void Restore(SaveStream& s);
  // The saved zone index back into the zone.
  void RemapPointers();

  uint32_t id = 0;
  Zone* zone = nullptr;
  double tortuosity = 1.0;
  Track track;
  uint8_t active = 0;
  uint8_t regen = 0;
  double pathLength = 0.0;
  double sinceStored = 0.0;
  TrackPoint current;
  std::unique_ptr<std::vector<AqueousAmount>> aqueous;
  uint8_t keepTail = 0;
  uint8_t moveThisStep = 1;
  uint32_t savedZone = 0;  // between restore and remap
};

class ParticleList {
 public:
  uint32_t Count() const { return static_cast<uint32_t>(list_.size()); }
  Particle* At(uint32_t i) const { return list_[i].get(); }
  Particle* Append(std::unique_ptr<Particle> p);
  // QJExcept "Particle not found in list." when it is not there.
  void RemoveParticle(Particle* p);
  // Deletes the inactive particles; answers how many.
  uint32_t DeleteInactive();
  void Clear();
  // Every active particle back into its zone's vector (after a restore).
  void AttachToZones();

  void Print(CommandType& out) const;
  void PrintTracks(CommandType& out) const;
  void WriteTracks(std::ostream& out) const;
  void WriteTracks(File& out) const;

  // The id counter, then the list: count, and per particle a type code and its fields.
  void Save(SaveStream& s) const;
  void Restore(SaveStream& s);
  void Remap();

  uint32_t& Counter() { return counter_; }
  TrackPointPool& Pool() { return pool_; }

 private:
  // Before the particles: they give their points back when they go.
  TrackPointPool pool_;
  std::vector<std::unique_ptr<Particle>> list_;
  uint32_t counter_ = 0;
};

// The model's particle list.
ParticleList& TheParticleList();

namespace particle_track {

// The end of a step's particle work: ready for the next step.
void EndStep(bool largeStrain);
// Grid-point fluid velocities for the next step: what they are taken from
// is kept now, and each is gathered at its first use.
void PostStep();
// The grid-point's fluid velocity for this step (null without a fluid block).
const double* GridPointVelocity(GridPoint& gp);
// Keeps every grid-point's position as the particles stand against it now:
// the next large-strain ride starts from there. (The flow keeps them too at
// the end of each of its steps.)
void KeepGridPositions();
// The fluid velocities the particles will ask for in this step, at once.
void GatherParticleVelocities();
// Every grid-point's fluid velocity for this step at once.
void GatherAllVelocities();
// Moves every active particle by one step (largeStrain: rides with the zones).
void Step(bool largeStrain, double dt);
// The velocity at a point of the zone, from its overlay tetrahedra.
void ZoneVelocity(const Zone& zone, const double p[3], double out[3]);
// The zone holding the point, looked up around the zone's nearest grid-point first.
Zone* FindZoneNear(const Zone& zone, const double p[3]);
void Move(Particle& particle, const double d[3]);
// The new particle's id, or 0 when no fluid zone holds the point.
uint32_t CreateParticle(const double p[3], double tortuosity, double time, bool regen, bool keepTail, Zone* zone);
void InjectPerVolume(double dt);
// The points that bring the zone up to n particles.
void ZonePoints(const Zone& zone, int n, std::vector<TrackPoint>& out);
void AddPifFace(uint32_t zoneId, const uint32_t gpIds[3]);
// The trilinear brick map and its inverse by Newton iteration.
void BrickMap(const double corners[8][3], const double rst[3], double out[3]);
void SolveBrickCoordinates(const double corners[8][3], const double p[3], double rst[3]);
void LargeStrainUpdate(double dt);
void WriteTrackFile(CommandType& interp);

}  // namespace particle_track

void TrackCommand(ModelInterpreter& interp);
// The command words, the step participant and the save section.
void InstallParticles();
