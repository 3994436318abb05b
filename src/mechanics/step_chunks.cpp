// The chunks of the threaded step and the checks that let the threaded passes
// run. Everything here is laid out when the grid changes, never per step.
#include "mechanics/step_chunks.h"

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/linklist.h"
#include "cmodels/constitutive_model.h"
#include "model/grid.h"
#include "model/grid_point.h"
#include "model/model.h"
#include "model/zone.h"

namespace {

// Threads without work sleep instead of spinning: the machine may be shared,
// and between the passes of a step and between commands they have nothing to
// do (spinning threads, on a machine with more threads than free cores, slow
// the step down many times over). This runs before the OpenMP runtime reads
// its settings; an OMP_WAIT_POLICY of the user's own is kept.
void SleepingWorkers(int, char**, char**) { setenv("OMP_WAIT_POLICY", "passive", 0); }
__attribute__((section(".preinit_array"), used)) void (*const g_sleepingWorkers)(int, char**,
                                                                                 char**) = &SleepingWorkers;

uint32_t g_prepared = 0;
uint32_t g_minimumZones = kStepChunkZones, g_minimumGps = kStepChunkGps;

// What the layouts were made from: a change of any of these lays them out anew.
struct GridKey {
  uint32_t stamp = 0, zones = 0, gps = 0, removals = 0;
  const void* zoneEnds[2] = {nullptr, nullptr};
  const void* gpEnds[2] = {nullptr, nullptr};
  int threads = 0;
  uint32_t minimum = 0;
  bool operator==(const GridKey&) const = default;
};

GridKey KeyNow(int threads, uint32_t minimum) {
  GridKey k;
  k.minimum = minimum;
  k.stamp = GridGeometryStamp();
  k.zones = ZoneList().Count();
  k.gps = GridPointList().Count();
  k.removals = ListRemovalCount();
  k.zoneEnds[0] = ZoneList().Head();
  k.zoneEnds[1] = ZoneList().Tail();
  k.gpEnds[0] = GridPointList().Head();
  k.gpEnds[1] = GridPointList().Tail();
  k.threads = threads;
  return k;
}

// The first place of chunk c of n over count objects.
uint32_t ChunkBegin(uint32_t c, uint32_t n, uint32_t count) {
  return static_cast<uint32_t>(static_cast<uint64_t>(c) * count / n);
}

class StepChunks {
 public:
  static constexpr int kMaxChunks = kMaxStepChunks;
  const ZoneChunks* Zones(int threads) {
    threads = std::min(threads * kZoneChunksPerThread, kMaxChunks);
    const GridKey key = KeyNow(threads, g_minimumZones);
    if (!(zoneKey_ == key)) {
      zoneKey_ = key;
      zonesChecked_ = false;
      rebalance_ = false;
      sinceBalance_ = 0;
      const uint32_t count = ZoneList().Count();
      const uint32_t n = std::min(static_cast<uint32_t>(threads), count / std::max(g_minimumZones, 1u));
      begins_.clear();
      for (uint32_t c = 0; n >= 2 && c <= n; ++c) begins_.push_back(ChunkBegin(c, n, count));
      LayOutZones();
    } else if (rebalance_) {
      rebalance_ = false;
      LayOutZones();
    }
    return zones_.chunks.size() >= 2 ? &zones_ : nullptr;
  }

  // The chunks' times in the last pass: where one took much longer than the
  // mean (the zones that yield are seldom spread evenly), the next pass
  // cuts the list anew at equal shares of the time, each chunk's time taken
  // as spread evenly over its zones. At most once in 10 passes.
  void ZoneTimes(const double* seconds) {
    const size_t n = zones_.chunks.size();
    if (n < 2 || ++sinceBalance_ < 10) return;
    double total = 0.0, most = 0.0;
    for (size_t k = 0; k < n; ++k) {
      total += seconds[k];
      most = std::max(most, seconds[k]);
    }
    if (!(total > 0.0) || !(most > 1.25 * total / static_cast<double>(n))) return;
    sinceBalance_ = 0;
    rebalance_ = true;
    const uint32_t count = zones_.chunks.back().end;
    size_t k = 0;
    double before = 0.0;  // the time of the chunks before chunk k
    for (size_t j = 1; j < n; ++j) {
      const double target = total * static_cast<double>(j) / static_cast<double>(n);
      while (k + 1 < n && before + seconds[k] < target) before += seconds[k++];
      const ZoneChunks::Chunk& old = zones_.chunks[k];
      const double part = seconds[k] > 0.0 ? std::clamp((target - before) / seconds[k], 0.0, 1.0) : 0.0;
      uint32_t at = old.begin + static_cast<uint32_t>(part * static_cast<double>(old.end - old.begin));
      // Every chunk keeps a zone at least.
      at = std::clamp(at, begins_[j - 1] + 1, count - static_cast<uint32_t>(n - j));
      begins_[j] = at;
    }
  }

  GpChunks* Gps(int threads) {
    threads = std::min(threads * kGpChunksPerThread, kMaxChunks);
    const GridKey key = KeyNow(threads, g_minimumGps);
    if (!(gpKey_ == key)) {
      gpKey_ = key;
      gpsChecked_ = false;
      LayOutGps(static_cast<uint32_t>(threads));
    }
    return gps_.chunks.size() >= 2 ? &gps_ : nullptr;
  }

  bool ZonesThreadable() {
    if (!zonesChecked_ || zonesPrepared_ != g_prepared || !(zoneCheckKey_ == zoneKey_)) {
      zonesChecked_ = true;
      zonesPrepared_ = g_prepared;
      zoneCheckKey_ = zoneKey_;
      zonesOk_ = CheckZones();
    }
    return zonesOk_;
  }

  StepArrays& Arrays() {
    const GridKey key = KeyNow(0, 0);
    if (!(arraysKey_ == key)) {
      arraysKey_ = key;
      LayOutArrays();
    }
    return arrays_;
  }

  // Whether no grid-point has grid-points slaved to it, checked once per
  // preparation and layout.
  bool NoLinks() {
    if (linksPrepared_ != g_prepared || !(linksKey_ == arraysKey_)) {
      linksPrepared_ = g_prepared;
      linksKey_ = arraysKey_;
      noLinks_ = true;
      for (GridPoint* gp : GridPointList())
        if (gp->linked) {
          noLinks_ = false;
          break;
        }
    }
    return noLinks_;
  }

  bool GpsThreadable(double dt) {
    if (!gpsChecked_ || gpsPrepared_ != g_prepared || gpsDt_ != dt || !(gpCheckKey_ == gpKey_)) {
      gpsChecked_ = true;
      gpsPrepared_ = g_prepared;
      gpsDt_ = dt;
      gpCheckKey_ = gpKey_;
      gpsOk_ = CheckGps(dt);
    }
    return gpsOk_;
  }

 private:
  // Lays the zone chunks out from their first places in begins_, from the
  // step's arrays (the zones and their corners' places in list order): the
  // arrays are walked in order, the lists not at all, so that cutting the
  // chunks anew in the middle of a run costs little.
  void LayOutZones() {
    ZoneChunks& z = zones_;
    z.chunks.clear();
    z.masked.clear();
    z.shared.clear();
    z.sharedPlace.clear();
    z.sharedStart.clear();
    z.entries.clear();
    if (begins_.size() < 3) return;
    const StepArrays& a = Arrays();
    const uint32_t n = static_cast<uint32_t>(begins_.size() - 1);
    const uint32_t gpCount = static_cast<uint32_t>(a.gps.size());
    const uint32_t zoneCount = static_cast<uint32_t>(a.zones.size());
    constexpr uint16_t kNone = 0xFFFF;
    std::vector<uint16_t>& first = first_;
    std::vector<uint32_t>& later = later_;  // entries from later chunks
    first.assign(gpCount, kNone);
    later.assign(gpCount, 0);
    z.chunks.assign(n, ZoneChunks::Chunk());
    uint32_t c = 0;
    for (uint32_t index = 0; index < zoneCount; ++index) {
      while (c + 1 < n && index >= begins_[c + 1]) ++c;
      ZoneChunks::Chunk& chunk = z.chunks[c];
      if (!chunk.first) {
        chunk.first = a.zones[index];
        chunk.begin = index;
        chunk.maskedBegin = chunk.maskedEnd = static_cast<uint32_t>(z.masked.size());
      }
      chunk.end = index + 1;
      const uint32_t* corner = a.corners.data() + static_cast<size_t>(index) * kZoneSlots;
      const int count = a.zoneGps[index];
      uint8_t corners = 0;
      for (int k = 0; k < count; ++k) {
        const uint32_t g = corner[k];
        if (first[g] == kNone)
          first[g] = static_cast<uint16_t>(c);
        else if (first[g] < c) {
          corners |= static_cast<uint8_t>(1u << k);
          ++later[g];
        }
      }
      if (corners) {
        z.masked.push_back({index, corners});
        chunk.maskedEnd = static_cast<uint32_t>(z.masked.size());
      }
    }
    // The shared grid-points in list order, their entries in zone order.
    std::vector<uint32_t>& slot = later;  // where each one's next entry goes
    z.sharedStart.push_back(0);
    for (uint32_t i = 0; i < gpCount; ++i)
      if (const uint32_t entries = later[i]) {
        slot[i] = z.sharedStart.back();
        z.shared.push_back(a.gps[i]);
        z.sharedPlace.push_back(i);
        z.sharedStart.push_back(z.sharedStart.back() + entries);
      }
    z.entries.resize(z.sharedStart.back());
    for (const ZoneChunks::Masked& m : z.masked) {
      const uint32_t* corner = a.corners.data() + static_cast<size_t>(m.index) * kZoneSlots;
      for (int k = 0; k < kZoneSlots; ++k)
        if (m.corners & (1u << k)) z.entries[slot[corner[k]]++] = {a.zones[m.index], static_cast<uint8_t>(k)};
    }
  }

  void LayOutArrays() {
    StepArrays& a = arrays_;
    a.sumsPending = a.keepVelocities = a.velocitiesLeft = false;
    const uint32_t gpCount = GridPointList().Count();
    a.gps.resize(gpCount);
    a.hot.resize(gpCount);
    uint32_t i = 0;
    for (GridPoint* gp : GridPointList()) {
      a.gps[i] = gp;
      gp->forceStamp = i++;
    }
    a.corners.resize(static_cast<size_t>(ZoneList().Count()) * kZoneSlots);
    a.zones.resize(ZoneList().Count());
    a.zoneGps.resize(ZoneList().Count());
    uint32_t* corner = a.corners.data();
    size_t z = 0;
    for (Zone* zone : ZoneList()) {
      const int n = zone->GpCount();
      a.zones[z] = zone;
      a.zoneGps[z++] = static_cast<uint8_t>(n);
      for (int k = 0; k < kZoneSlots; ++k) corner[k] = zone->Gp(k < n ? k : 0)->forceStamp;
      corner += kZoneSlots;
    }
    for (GridPoint* gp : GridPointList()) gp->forceStamp = 0;
  }

  void LayOutGps(uint32_t threads) {
    GpChunks& g = gps_;
    g = GpChunks();
    const uint32_t count = GridPointList().Count();
    const uint32_t n = std::min(threads, count / std::max(g_minimumGps, 1u));
    if (n < 2) return;
    g.chunks.resize(n);
    g.sums.assign(2 * static_cast<size_t>(count), 0.0);
    uint32_t c = 0, index = 0;
    for (GridPoint* gp : GridPointList()) {
      while (c + 1 < n && index >= ChunkBegin(c + 1, n, count)) ++c;
      GpChunks::Chunk& chunk = g.chunks[c];
      if (!chunk.first) {
        chunk.first = gp;
        chunk.begin = index;
      }
      chunk.end = ++index;
    }
  }

  static bool CheckZones() {
    for (Zone* zone : ZoneList()) {
      const ConstitutiveModel* model = zone->Model();
      if (!model || model->IsNull()) continue;
      if (zone->dampingOn && zone->damping) return false;
      for (int o = 0; o < 2; ++o)
        if (const ZoneTetra* block = zone->Tetra(o))
          for (int k = 0; k < zone->TetraPerOverlay(); ++k)
            if (!(block[k].volume > 0.0)) return false;
    }
    return true;
  }

  static bool CheckGps(double dt) {
    constexpr uint32_t kSkipped = NodeBase::kNoMechanicalZone | NodeBase::kAttached | NodeBase::kSlaved;
    for (GridPoint* gp : GridPointList()) {
      if (gp->flags & kSkipped) continue;
      if (gp->linked) return false;
      const double stiffness = gp->stiffness;
      if (!(stiffness > 0.0) || !(stiffness * dt * dt > 0.0)) return false;
    }
    return true;
  }

  ZoneChunks zones_;
  std::vector<uint32_t> begins_;  // the zone chunks' first places, and the count
  bool rebalance_ = false;        // begins_ moved: lay the chunks out again
  uint32_t sinceBalance_ = 0;
  std::vector<uint16_t> first_;  // scratch of the layout, kept for the next one
  std::vector<uint32_t> later_;
  GpChunks gps_;
  StepArrays arrays_;
  GridKey zoneKey_, gpKey_, zoneCheckKey_, gpCheckKey_, arraysKey_, linksKey_;
  uint32_t linksPrepared_ = 0;
  bool noLinks_ = false;
  bool zonesChecked_ = false, gpsChecked_ = false;
  bool zonesOk_ = false, gpsOk_ = false;
  uint32_t zonesPrepared_ = 0, gpsPrepared_ = 0;
  double gpsDt_ = 0.0;
};

StepChunks& Chunks() { return CurrentModel().Part<StepChunks>(); }

}  // namespace

int StepThreads() { return omp_get_max_threads(); }

void SetStepThreads(int count) { omp_set_num_threads(std::max(count, 1)); }

void SetStepChunkMinimum(uint32_t zones, uint32_t gps) {
  g_minimumZones = zones;
  g_minimumGps = gps;
}

void StepPrepared() { ++g_prepared; }

const ZoneChunks* CurrentZoneChunks(int threads) { return Chunks().Zones(threads); }

bool ZonesThreadable() { return Chunks().ZonesThreadable(); }

void ZoneChunkTimes(const double* seconds) { Chunks().ZoneTimes(seconds); }

GpChunks* CurrentGpChunks(int threads) { return Chunks().Gps(threads); }

bool GridPointsThreadable(double dt) { return Chunks().GpsThreadable(dt); }

StepArrays& CurrentStepArrays() { return Chunks().Arrays(); }

void VelocitiesLeft(StepArrays& arrays) {
  arrays.velocitiesLeft = true;
  arrays.velocitiesPrepared = g_prepared;
}

bool VelocitiesInSlots(const StepArrays& arrays) {
  return arrays.velocitiesLeft && arrays.velocitiesPrepared == g_prepared;
}

bool AnyLinkedGridPoints() {
  StepChunks& chunks = Chunks();
  chunks.Arrays();
  return !chunks.NoLinks();
}
