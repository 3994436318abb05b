// The step on several threads: the zone list and the grid-point list cut into
// contiguous chunks, one per thread, laid out again only when the grid
// changes. Every grid-point's force sums take their terms in the order of the
// serial pass: a chunk adds directly to the grid-points that no earlier chunk
// reaches; the terms of a zone for a grid-point that an earlier chunk also
// reaches are added afterwards, zone by zone in list order. So the threaded
// step gives the same bits as the serial one, whatever the thread count.
#pragma once

#include <cstdint>
#include <vector>

class Zone;
class GridPoint;

// The zone list is cut into a chunk per thread (each cut costs the terms
// added afterwards); the grid-point list, which costs nothing to cut, into a
// few per thread, which the threads take as they come free. No list is cut
// into more than kMaxStepChunks.
constexpr int kZoneChunksPerThread = 1, kGpChunksPerThread = 4;
constexpr int kMaxStepChunks = 256;

// The threads of the step's passes: OMP_NUM_THREADS, by default the cores
// the process may use. One runs the serial passes.
int StepThreads();
// Sets the count for the passes that follow (at least 1).
void SetStepThreads(int count);

// The fewest zones and grid-points a chunk takes: a smaller grid is cut into
// fewer chunks, down to the serial passes, since waking the threads would cost
// more than they save. Tests lower them to run small grids on threads.
constexpr uint32_t kStepChunkZones = 2048, kStepChunkGps = 8192;  // the defaults
void SetStepChunkMinimum(uint32_t zones, uint32_t gps);

// A preparation recomputed the zones' geometry and the grid-points'
// stiffness: the threaded passes check them again before they run.
void StepPrepared();

struct ZoneChunks {
  struct Chunk {
    Zone* first = nullptr;
    uint32_t begin = 0, end = 0;              // places in the zone list
    uint32_t maskedBegin = 0, maskedEnd = 0;  // its entries of `masked`
  };
  // A zone with corners whose grid-points an earlier chunk reaches first:
  // its chunk leaves those corners alone; their terms are added afterwards.
  struct Masked {
    uint32_t index;  // place in the zone list
    uint8_t corners;
  };
  // A zone of a later chunk and its corner at a shared grid-point.
  struct Entry {
    Zone* zone;
    uint8_t corner;
  };
  std::vector<Chunk> chunks;
  std::vector<Masked> masked;  // in list order
  // The grid-points reached from more than one chunk (in grid-point list
  // order), and each one's entries from its second chunk on, in zone list order.
  std::vector<GridPoint*> shared;
  std::vector<uint32_t> sharedPlace;  // their places in the grid-point list
  std::vector<uint32_t> sharedStart;  // shared.size() + 1 bounds into entries
  std::vector<Entry> entries;
};

// The zone chunks for that many threads, laid out anew when the grid has
// changed; null when fewer than two chunks can be made. Uses the grid-points'
// pass marks as scratch while it lays them out (they are left at 0).
const ZoneChunks* CurrentZoneChunks(int threads);

// The time each zone chunk took in a pass (seconds, one per chunk): where
// they differ much, the chunks are cut anew before a later pass, at equal
// shares of the time. The results do not depend on where the cuts fall.
void ZoneChunkTimes(const double* seconds);

// Whether the threaded zone pass may run: every zone with a model has
// tetrahedra of positive volume (no zone can stop the pass) and none has
// hysteretic damping. Checked again after a preparation or a grid change.
bool ZonesThreadable();

struct GpChunks {
  struct Chunk {
    GridPoint* first = nullptr;
    uint32_t begin = 0, end = 0;  // places in the grid-point list
  };
  std::vector<Chunk> chunks;
  // Per grid-point its unbalanced force and force sum of the step, summed
  // afterwards in list order.
  std::vector<double> sums;
};

// The grid-point chunks for that many threads, as for the zones.
GpChunks* CurrentGpChunks(int threads);

// Whether the threaded law of motion may run with this time step: no moving
// grid-point has grid-points slaved to it, none would stop the pass for its
// stiffness or mass. Checked again after a preparation, a grid change or a
// new time step.
bool GridPointsThreadable(double dt);

// What the zone pass reads and writes of a grid-point, packed in one cache
// line: the velocity (the fourth lane 0) and the force sums (unbalanced force
// x, y, z and the sum of the force magnitudes).
struct alignas(64) GpHot {
  double v[4];
  double f[4];
};

// The grid in contiguous arrays, in list order, laid out again only when the
// grid changes: each zone's corners as places in the grid-point list (eight
// per zone, unused slots at the first corner), the zones and grid-points
// themselves and a packed slot per grid-point. The grid-point objects stay
// the owners: the zone pass fills the slots from them and hands the force
// sums back.
struct StepArrays {
  std::vector<uint32_t> corners;
  std::vector<Zone*> zones;
  std::vector<uint8_t> zoneGps;  // each zone's count of grid-points
  std::vector<GridPoint*> gps;
  std::vector<GpHot> hot;
  // Where nothing of the step reads or adds grid-point forces between the
  // zone pass and the law of motion, the zone pass leaves its force sums in
  // the slots and the law of motion hands them to each grid-point as it
  // moves it. Where besides nothing writes velocities between the law of
  // motion and the next zone pass, the law of motion leaves the new
  // velocities in the slots (their sums at zero), and the next zone pass
  // reads them there without filling the slots again.
  bool sumsPending = false;     // the zone pass's sums wait in the slots
  bool keepVelocities = false;  // the law of motion is to leave its velocities
  bool velocitiesLeft = false;  // it did, before the preparation of velocitiesPrepared
  uint32_t velocitiesPrepared = 0;
};

// The arrays of the present grid. Uses the grid-points' pass marks as scratch
// while it lays them out (they are left at 0).
StepArrays& CurrentStepArrays();

// Whether some grid-point has grid-points slaved to it: its move reads their
// forces and writes their velocities. Checked once per preparation and layout.
bool AnyLinkedGridPoints();

// The law of motion left every slot's velocity (and zero sums) since the
// last preparation; whether the slots still hold them now: no preparation
// since and the grid not laid out anew.
void VelocitiesLeft(StepArrays& arrays);
bool VelocitiesInSlots(const StepArrays& arrays);
