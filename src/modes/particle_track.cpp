// The move of particles through the fluid-velocity field, injection through
// inflow faces, and the step participant and save section of the particles.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>

#include "base/except.h"
#include "base/random.h"
#include "base/savestream.h"
#include "model/cell_space.h"
#include "model/gp_fluid.h"
#include "model/gp_zone_index.h"
#include "model/grid_point.h"
#include "model/grid_services.h"
#include "model/model.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/step_participant.h"
#include "model/zone.h"
#include "model/zone_chem.h"
#include "model/zone_tables.h"
#include "modes/chem_module.h"
#include "modes/fluid_model.h"
#include "modes/fluid_module.h"
#include "modes/particles.h"

namespace {

// Bounds of the loops that have no natural end on a degenerate zone or face.
constexpr int kMaxPulls = 100;
constexpr int kMaxDraws = 10000;
constexpr int kMaxCrossings = 100000;

// The first Newton step of the inverse brick map starts at the brick's
// centre whatever the point: the map there and the Jacobian, decomposed.
struct BrickStart {
  double at[3];
  double lu[3][3];
  int index[3];
};

// A brick zone's corners before and after a large-strain step, with the
// first step of the inverse map on the corners before.
struct RideCorners {
  const Zone* zone = nullptr;
  uint64_t ride = 0;
  double old[8][3];
  double now[8][3];
  BrickStart start;
};

struct ParticlePart {
  ParticleList list;
  // The fractional particle carried over by each injecting zone, by zone id.
  std::unordered_map<uint32_t, double> carry;
  bool velocitiesStale = true;
  // The count of the keepings of the fluid velocities' inputs: a grid-point
  // velocity gathered under another count is gathered again at its next use.
  uint64_t velocityStamp = 0;
  // The zones by cells of space, for the points that leave the zones
  // around their nearest grid-point; rebuilt when the grid may have changed.
  CellSpace cells{8};
  bool cellsStale = true;
  // The faces of fluid zones that lie on the grid's boundary, zone by zone
  // in list order: the faces that injection may use; listed at the start of
  // a run. Their grid-points are listed once each, and a face names its
  // corners by their places in that list: a step reads each grid-point's
  // fixity once, walking the list in order.
  struct BoundaryFace {
    Zone* zone;
    int face;
    int corners;
    uint32_t corner[4];
  };
  std::vector<BoundaryFace> boundaryFaces;
  std::vector<GridPoint*> boundaryGps;
  std::vector<uint8_t> boundaryFixed;
  // The first face of each zone with a fixed-pressure face, in this step.
  std::vector<uint32_t> injecting;
  bool facesStale = true;
  // The zones' least edges after a large-strain step: worked out when a
  // move first needs one, from the grid-point positions kept with the
  // velocities' inputs (those the step ended with), and held in a small
  // table by the zone's address; a zone pushed out is worked out again.
  // Fresh (the zones' own values) from the start of a run until then.
  struct EdgeEntry {
    const Zone* zone = nullptr;
    uint64_t generation = 0;
    double length = 0.0;
  };
  static constexpr size_t kEdgeSlots = size_t{1} << 14;
  std::vector<EdgeEntry> edges;
  uint64_t edgeGeneration = 0;
  bool edgesKept = false;
  // Grid-point velocities gathered many at once: the grid-points of the
  // batch, the zones around them with their places in the zone list, and
  // a table of those zones by address for the batch under way.
  struct BatchSlot {
    const Zone* zone = nullptr;
    uint32_t batch = 0;
    uint32_t sequence = 0;
  };
  std::vector<GridPoint*> batchGps;
  std::vector<std::pair<uint32_t, Zone*>> batchZones;
  std::vector<Zone*> batchOrder;
  std::vector<BatchSlot> batchTable;
  uint32_t batchCount = 0;
  // The corners of the brick zones lately met by a ride, by zone address,
  // valid within one ride: the particles of a zone come together or a few
  // zones apart.
  static constexpr size_t kRideSlots = 64;
  std::vector<RideCorners> rideCorners;
  uint64_t rideCount = 0;
  StepParticipant* participant = nullptr;

  ParticlePart() = default;
  ParticlePart(const ParticlePart&) = delete;
  ParticlePart& operator=(const ParticlePart&) = delete;
  // The model destroys its parts before its grid: the zones let go of the
  // particles first.
  ~ParticlePart() {
    for (uint32_t i = 0; i < list.Count(); ++i)
      if (Zone* z = list.At(i)->zone) z->particles.clear();
  }
};
ParticlePart& ThePart() { return CurrentModel().Part<ParticlePart>(); }

void BuildZoneCells(ParticlePart& part) {
  part.cellsStale = false;
  double lo[3] = {1.7976931348623157e308, 1.7976931348623157e308, 1.7976931348623157e308};
  double hi[3] = {-lo[0], -lo[1], -lo[2]};
  for (const GridPoint* gp : GridPointList())
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], gp->position[a]);
      hi[a] = std::max(hi[a], gp->position[a]);
    }
  if (ZoneList().Count() == 0) {
    part.cells.FreeCells();
    return;
  }
  part.cells.Build(lo, hi, ZoneList().Count());
  for (Zone* z : ZoneList()) {
    double zlo[3], zhi[3];
    z->BoundingBox(zlo, zhi);
    part.cells.AddBox(z, zlo, zhi);
  }
}

// The first zone in list order without the null model that holds the point,
// found through the cells: each cell lists its zones in list order.
Zone* IndexedZoneContaining(const double p[3]) {
  ParticlePart& part = ThePart();
  if (part.cellsStale) BuildZoneCells(part);
  int32_t at[3];
  part.cells.CellIndex(p, at);
  for (void* const* it = part.cells.GetCellFirst(at); it != part.cells.GetCell(at); ++it) {
    Zone* z = static_cast<Zone*>(*it);
    if (!z->IsNull() && z->IsInside(p)) return z;
  }
  return nullptr;
}

FluidModule* Fluid() { return static_cast<FluidModule*>(Modes().fluid); }
bool FluidOn() { return Modes().fluid && Modes().fluid->On(); }
double FluidTime() { return Modes().fluid ? Modes().fluid->Time() : 0.0; }

bool FluidZone(const Zone* z) {
  const FluidModel* r = z ? FluidRecord(*z) : nullptr;
  return r && r->modelType != 0;
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double Norm(const double a[3]) { return std::sqrt(Dot(a, a)); }

const double* KeptPosition(const GridPoint& gp) { return gp.fluid ? gp.fluid->keptPosition : gp.position; }

// The zone's least edge on the grid the last step ended with, worked out as
// Zone::UpdateMinEdgeLen does.
double KeptMinEdgeLength(const Zone& zone) {
  double best = 1.7976931348623157e308;
  const int type = zone.Type();
  for (int e = 0; e < zone_tables::kEdgeCount[type]; ++e) {
    const double* a = KeptPosition(*zone.Gp(zone_tables::kEdges[type][e][0]));
    const double* b = KeptPosition(*zone.Gp(zone_tables::kEdges[type][e][1]));
    double d = (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]);
    if (d > 0.0 && d < best) best = d;
  }
  if (best == 1.7976931348623157e308) throw QJExcept("Degenerate zone found in UpdateMinEdgeLen().");
  return std::sqrt(best);
}

// The least edge of the zone for the path a move stores points by.
double EdgeLength(const Zone& zone) {
  ParticlePart& part = ThePart();
  if (!part.edgesKept) return zone.MinEdgeLength();
  if (part.edges.empty()) part.edges.resize(ParticlePart::kEdgeSlots);
  const size_t slot = (reinterpret_cast<uintptr_t>(&zone) >> 4) * 0x9E3779B97F4A7C15ull >> 50;
  ParticlePart::EdgeEntry& e = part.edges[slot % ParticlePart::kEdgeSlots];
  if (e.zone != &zone || e.generation != part.edgeGeneration) {
    e.zone = &zone;
    e.generation = part.edgeGeneration;
    e.length = KeptMinEdgeLength(zone);
  }
  return e.length;
}

double TetVolume6(const double* p0, const double* p1, const double* p2, const double* p3) {
  const double a[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
  const double b[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
  const double c[3] = {p3[0] - p0[0], p3[1] - p0[1], p3[2] - p0[2]};
  return a[0] * (b[1] * c[2] - b[2] * c[1]) + a[1] * (b[2] * c[0] - b[0] * c[2]) + a[2] * (b[0] * c[1] - b[1] * c[0]);
}

// Takes the particle out of its zone's vector.
void LeaveZone(Particle& p) {
  if (!p.zone) return;
  auto& v = p.zone->particles;
  auto it = std::find(v.begin(), v.end(), &p);
  if (it != v.end()) v.erase(it);
}
void EnterZone(Particle& p, Zone* z) {
  p.zone = z;
  z->particles.push_back(&p);
  if (z->chemistry) z->chemistry->MarkParticlesChanged();
}

// Records the point reached with the path s since the last stored point.
void Record(Particle& p, const double at[3], double s, double h) {
  const double t = FluidTime();
  if (s <= h) {
    p.sinceStored = s;
  } else {
    p.sinceStored = 0.0;
    p.AddTrackPoint(t, at);
    p.pathLength += s;
  }
  p.SetCurrentPoint(t, at);
}

// Pulls the point towards the zone's centroid until it lies inside.
void MoveInsideZone(const Zone& zone, double x[3]) {
  double c[3];
  zone.Centroid(c);
  for (int k = 0; k < kMaxPulls; ++k) {
    if (zone.IsInside(x)) return;
    for (int a = 0; a < 3; ++a) x[a] = c[a] + 0.999 * (x[a] - c[a]);
  }
  if (!zone.IsInside(x)) throw QJExcept("Particle could not be moved inside zone.");
}

// The face through which the segment from a point of the zone to a point
// beyond it leaves the zone, with the crossing point (inside the zone) and
// the face's unit normal; -1 when there is none. Along an edge between
// warped faces their polygons may leave a seam that the segment slips
// through: then the face whose plane the end lies farthest beyond is taken,
// crossed where the segment meets that plane.
int ExitFace(const Zone& zone, const double from[3], const double to[3], double exit[3], double normal[3]) {
  const int found = GetExitFace(zone, from, to, exit, normal, false);
  if (found >= 0) return found;
  int face = -1;
  double farthest = -1.7976931348623157e308;
  for (int f = 0; f < kZoneFaces; ++f) {
    double n[3];
    if (zone.FaceGpCount(f) < 3 || !zone.FaceNormal(f, n, true)) continue;
    const double* c = zone.GetFaceGp(f, 0)->position;
    const double beyond = n[0] * (to[0] - c[0]) + n[1] * (to[1] - c[1]) + n[2] * (to[2] - c[2]);
    if (beyond > farthest) {
      farthest = beyond;
      face = f;
      std::copy(n, n + 3, normal);
    }
  }
  if (face < 0) return -1;
  const double* c = zone.GetFaceGp(face, 0)->position;
  const double d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
  const double along = Dot(normal, d);
  double t = 0.0;
  if (along > 0.0) {
    const double gap[3] = {c[0] - from[0], c[1] - from[1], c[2] - from[2]};
    t = std::clamp(Dot(normal, gap) / along, 0.0, 1.0);
  }
  for (int a = 0; a < 3; ++a) exit[a] = from[a] + t * d[a];
  MoveInsideZone(zone, exit);
  return face;
}

void FinishAtBoundary(Particle& p, const double to[3]) {
  LeaveZone(p);
  p.sinceStored = 0.0;
  if (p.zone && !p.track.empty()) {
    const double* last = p.track.back().position;
    double end[3] = {to[0], to[1], to[2]};
    if (p.zone->ClipSegment(last, end)) {
      const double d[3] = {end[0] - last[0], end[1] - last[1], end[2] - last[2]};
      p.pathLength += Norm(d);
      p.AddTrackPoint(FluidTime(), end);
      p.SetCurrentPoint(FluidTime(), end);
    }
  }
  p.active = 0;
  p.zone = nullptr;
}

// A regenerated particle on the line of travel where it enters the zone upstream.
void Regenerate(Particle& p, const double from[3], const double to[3], const double d[3], double length) {
  Zone& zone = *p.zone;
  const double e = EdgeLength(zone);
  double up[3], exitUp[3], exitDown[3], n[3];
  for (int a = 0; a < 3; ++a) up[a] = from[a] - 1000.0 * e * d[a] / length;
  if (ExitFace(zone, from, up, exitUp, n) < 0) return;
  if (ExitFace(zone, from, to, exitDown, n) < 0) return;
  const double te[3] = {to[0] - exitUp[0], to[1] - exitUp[1], to[2] - exitUp[2]};
  const double xe[3] = {exitDown[0] - exitUp[0], exitDown[1] - exitUp[1], exitDown[2] - exitUp[2]};
  const double lte = Norm(te);
  if (lte == 0.0) return;
  double at[3];
  for (int a = 0; a < 3; ++a) at[a] = to[a] - te[a] / lte * Norm(xe);
  Zone* holder = zone.IsInside(at) ? &zone : particle_track::FindZoneNear(zone, at);
  if (FluidZone(holder)) {
    auto q = std::make_unique<Particle>();
    q->keepTail = p.keepTail;
    q->Init(holder, at, p.tortuosity, p.current.time, true);
    q->moveThisStep = 0;
    EnterZone(*TheParticleList().Append(std::move(q)), holder);
  }
  p.regen = 0;
}

// The velocity at the point in the zone, found from the particle's zone.
bool LocateVelocity(Zone* zone, const double p[3], double v[3], Zone** found) {
  if (!zone->IsInside(p)) zone = particle_track::FindZoneNear(*zone, p);
  if (!FluidZone(zone)) return false;
  particle_track::ZoneVelocity(*zone, p, v);
  *found = zone;
  return true;
}

void Displacement(const Zone& zone, const double v[3], double tortuosity, double dt, double out[3]) {
  const double n = Modes().fluid->ZonePorosity(zone);
  const double f = n > 0.0 ? dt * tortuosity / n : dt * tortuosity;
  for (int a = 0; a < 3; ++a) out[a] = v[a] * f;
}

// A displacement at a point, located from the particle's zone; false when no fluid zone holds it.
bool StageAt(const Particle& p, const double at[3], double dt, double out[3]) {
  double v[3];
  Zone* z = nullptr;
  if (!LocateVelocity(p.zone, at, v, &z)) return false;
  Displacement(*z, v, p.tortuosity, dt, out);
  return true;
}

void MoveOne(Particle& p, double dt) {
  if (!p.zone) throw QJExcept("End of particle path not in a zone.");
  const double* x = p.current.position;
  double v[3], k1[3], d[3];
  particle_track::ZoneVelocity(*p.zone, x, v);
  Displacement(*p.zone, v, p.tortuosity, dt, k1);
  std::copy(k1, k1 + 3, d);
  const int order = Settings().trackCount;
  if (order == 2) {
    const double m[3] = {x[0] + 0.5 * k1[0], x[1] + 0.5 * k1[1], x[2] + 0.5 * k1[2]};
    StageAt(p, m, dt, d) || (std::copy(k1, k1 + 3, d), true);
  } else if (order == 4) {
    double K1[3], K2[3], K3[3], K4[3], at[3];
    for (int a = 0; a < 3; ++a) at[a] = x[a] + k1[a];
    bool ok = StageAt(p, at, dt, K1);
    if (ok) {
      for (int a = 0; a < 3; ++a) at[a] = x[a] + 0.5 * K1[a];
      ok = StageAt(p, at, dt, K2);
    }
    if (ok) {
      for (int a = 0; a < 3; ++a) at[a] = x[a] + 0.5 * K2[a];
      ok = StageAt(p, at, dt, K3);
    }
    if (ok) {
      for (int a = 0; a < 3; ++a) at[a] = x[a] + K3[a];
      ok = StageAt(p, at, dt, K4);
    }
    if (ok)
      for (int a = 0; a < 3; ++a) d[a] = (K1[a] + 2.0 * K2[a] + 2.0 * K3[a] + K4[a]) / 6.0;
  }
  particle_track::Move(p, d);
}

// A point drawn uniformly over a face of three or four corners.
void FacePoint(const Zone& zone, int face, double out[3]) {
  const int n = zone.FaceGpCount(face);
  const double* c[4] = {};
  for (int k = 0; k < n; ++k) c[k] = zone.GetFaceGp(face, k)->position;
  const double* t[3] = {c[0], c[1], c[2]};
  if (n == 4) {
    double u[3], w[3], x1[3], x2[3];
    for (int a = 0; a < 3; ++a) {
      u[a] = c[1][a] - c[0][a];
      w[a] = c[2][a] - c[0][a];
    }
    x1[0] = u[1] * w[2] - u[2] * w[1];
    x1[1] = u[2] * w[0] - u[0] * w[2];
    x1[2] = u[0] * w[1] - u[1] * w[0];
    for (int a = 0; a < 3; ++a) {
      u[a] = c[2][a] - c[0][a];
      w[a] = c[3][a] - c[0][a];
    }
    x2[0] = u[1] * w[2] - u[2] * w[1];
    x2[1] = u[2] * w[0] - u[0] * w[2];
    x2[2] = u[0] * w[1] - u[1] * w[0];
    const double area1 = Norm(x1), area2 = Norm(x2);
    if (area1 + area2 > 0.0 && RandomUniform() * (area1 + area2) >= area1) {
      t[1] = c[2];
      t[2] = c[3];
    }
  }
  double r1 = RandomUniform(), r2 = RandomUniform();
  if (r1 + r2 > 1.0) {
    r1 = 1.0 - r1;
    r2 = 1.0 - r2;
  }
  for (int a = 0; a < 3; ++a) out[a] = t[0][a] + r1 * (t[1][a] - t[0][a]) + r2 * (t[2][a] - t[0][a]);
}

// A face of at least three grid-points without a zone across it.
bool BoundaryFace(const Zone& zone, int face) { return zone.FaceGpCount(face) >= 3 && !zone.Neighbour(face); }

// Whether every grid-point of the boundary face has a fixed pore pressure,
// from the fixities read in this step.
bool FixedPressureFace(const ParticlePart& part, const ParticlePart::BoundaryFace& face) {
  for (int c = 0; c < face.corners; ++c)
    if (!part.boundaryFixed[face.corner[c]]) return false;
  return true;
}

void BuildBoundaryFaces(ParticlePart& part) {
  part.facesStale = false;
  part.boundaryFaces.clear();
  part.boundaryGps.clear();
  std::unordered_map<const GridPoint*, uint32_t> place;
  for (Zone* z : ZoneList())
    if (FluidZone(z))
      for (int f = 0; f < kZoneFaces; ++f) {
        if (!BoundaryFace(*z, f)) continue;
        ParticlePart::BoundaryFace face{z, f, std::min(z->FaceGpCount(f), 4), {}};
        for (int c = 0; c < face.corners; ++c) {
          GridPoint* gp = z->GetFaceGp(f, c);
          auto [it, added] = place.emplace(gp, static_cast<uint32_t>(part.boundaryGps.size()));
          if (added) part.boundaryGps.push_back(gp);
          face.corner[c] = it->second;
        }
        part.boundaryFaces.push_back(face);
      }
  part.boundaryFixed.assign(part.boundaryGps.size(), 0);
}

// Reads the fixity of every boundary grid-point.
void ReadBoundaryFixities(ParticlePart& part) {
  constexpr size_t kAhead = 16;
  GridPoint* const* gps = part.boundaryGps.data();
  const size_t count = part.boundaryGps.size();
  for (size_t k = 0; k < count; ++k) {
    if (k + kAhead < count) __builtin_prefetch(&gps[k + kAhead]->flags, 0);
    part.boundaryFixed[k] = (gps[k]->flags & GridPoint::kFixPorePressure) ? 1 : 0;
  }
}

// The lines a zone's flow vector reads, asked for in stages some zones
// ahead: the zone itself, then what it points to (its record, its
// tetrahedra and its grid-points), then the grid-points' blocks.
constexpr size_t kZoneAhead = 8, kPartsAhead = 4, kBlocksAhead = 2;

void PrefetchFlowZone(const Zone& zone) {
  __builtin_prefetch(&zone.fluid, 0);
  __builtin_prefetch(zone.Gps(), 0);
}

void PrefetchFlowParts(Zone& zone) {
  __builtin_prefetch(zone.fluid.get(), 0);
  for (int o = 1; o <= 2; ++o) {
    const ZoneTetra* block = zone.GetTetra(o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) __builtin_prefetch(&block[k].area[1][0], 0);
  }
  for (int c = 0; c < zone.GpCount(); ++c) {
    const GridPoint* gp = zone.Gp(c);
    __builtin_prefetch(gp->position, 0);
    __builtin_prefetch(&gp->porePressure, 0);
    __builtin_prefetch(&gp->fluid, 0);
  }
}

void PrefetchFlowBlocks(const Zone& zone) {
  for (int c = 0; c < zone.GpCount(); ++c)
    if (const GpFluidData* f = zone.Gp(c)->fluid.get()) __builtin_prefetch(&f->saturation, 0);
}

// The particles, their zones, the zones' grid-points and the grid-points'
// blocks lie apart in memory: a walk over the list asks for each of them
// some particles ahead of particle i. `position` asks for the particle's
// position too; `block` gives the field of a block that the walk reads.
template <class BlockField>
inline void AskAheadOfParticle(const ParticleList& list, uint32_t i, uint32_t count, bool position, BlockField block) {
  constexpr uint32_t kParticle = 8, kZone = 6, kCorners = 4, kBlocks = 2;
  if (i + kParticle < count) {
    const Particle* q = list.At(i + kParticle);
    __builtin_prefetch(&q->zone, 0);
    if (position) __builtin_prefetch(q->current.position, 0);
  }
  if (i + kZone < count)
    if (const Zone* z = list.At(i + kZone)->zone) __builtin_prefetch(z->Gps(), 0);
  if (i + kCorners < count)
    if (const Zone* z = list.At(i + kCorners)->zone)
      for (int c = 0; c < z->GpCount(); ++c) __builtin_prefetch(&z->Gp(c)->fluid, 0);
  if (i + kBlocks < count)
    if (const Zone* z = list.At(i + kBlocks)->zone)
      for (int c = 0; c < z->GpCount(); ++c)
        if (const GpFluidData* f = z->Gp(c)->fluid.get()) __builtin_prefetch(block(*f), 0);
}

void InjectFace(Zone& zone, int face, const double q[3], double dt, double rate) {
  double normal[3], area = 0.0;
  if (!zone.FaceNormalArea(face, normal, &area)) return;
  const double flux = -Dot(q, normal) * area * dt;
  if (!(flux > 0.0)) return;
  double& carry = ThePart().carry[zone.Id()];
  const double c = flux * rate + carry;
  const double whole = std::floor(c);
  carry = c - whole;
  const int count = static_cast<int>(std::min(whole, 1e6));
  const double n = Modes().fluid->ZonePorosity(zone);
  for (int k = 0; k < count; ++k) {
    double p[3];
    FacePoint(zone, face, p);
    const double f = RandomUniform() * dt / (n > 0.0 ? n : 1.0);
    for (int a = 0; a < 3; ++a) p[a] += f * q[a];
    if (Zone* holder = IndexedZoneContaining(p))
      particle_track::CreateParticle(p, 1.0, FluidTime(), false, false, holder);
  }
}

class ParticleParticipant : public StepParticipant {
 public:
  void BeginRun(CommandType&) override {
    if (Settings().tracking) particle_track::KeepGridPositions();
    ThePart().velocitiesStale = true;
    ThePart().cellsStale = true;
    ThePart().facesStale = true;
    // The run's start has just worked out every zone's least edge.
    ThePart().edgesKept = false;
    ++ThePart().edgeGeneration;
  }
  // The velocities of the next step come from the zones' geometry of this
  // one: before a preparation of a moving grid works that out anew, those
  // the particles will ask for are gathered.
  void BeforePrepare() override {
    const ModelSettings& s = Settings();
    if (s.mechanical && s.largeStrain && !ThePart().velocitiesStale && FluidOn())
      particle_track::GatherParticleVelocities();
  }
  // The particles ride with the moving grid whether the flow runs or not:
  // a particle left behind would lie outside its zone when the flow resumes.
  void AfterMechanical() override {
    const ModelSettings& s = Settings();
    if (s.tracking && s.largeStrain) particle_track::Step(true, s.timestep);
  }
  void AfterModes() override {
    const ModelSettings& s = Settings();
    if (!s.tracking) return;
    if (FluidOn()) particle_track::Step(false, s.timestep);
    particle_track::EndStep(s.largeStrain);
  }
};

}  // namespace

ParticleList& TheParticleList() { return ThePart().list; }

namespace particle_track {

void EndStep(bool largeStrain) {
  // Ready for the next step: the velocities; and where the grid moves, the
  // edge lengths and the zone cells (a run starts with them fresh, and in
  // small strain they stay so). The zones around each grid-point are built
  // at the start of the run: a step moves grid-points but joins none anew.
  // The edge lengths of a moving grid come from the positions kept with the
  // velocities' inputs, zone by zone as the moves need them.
  ParticlePart& part = ThePart();
  const bool fluid = FluidOn();
  if (largeStrain) {
    part.cellsStale = true;
    if (fluid) {
      part.edgesKept = true;
      ++part.edgeGeneration;
    } else {
      MinimumEdgeLength() = 1.7976931348623157e308;
      for (Zone* z : ZoneList()) z->UpdateMinEdgeLen();
      part.edgesKept = false;
      KeepGridPositions();
    }
  }
  if (fluid) PostStep();
}

void KeepGridPositions() {
  for (GridPoint* gp : GridPointList())
    if (GpFluidData* f = gp->fluid.get()) std::copy(gp->position, gp->position + 3, f->keptPosition);
}

void PostStep() {
  FluidModule* fluid = Fluid();
  if (!fluid) return;
  // The velocities of a step are those of the pressures the step before left:
  // those are kept here, and each grid-point's velocity is gathered from them
  // when a particle first needs it.
  fluid->KeepVelocityInputs();
  ParticlePart& part = ThePart();
  ++part.velocityStamp;
  part.velocitiesStale = false;
}

namespace {

// The velocity stamp of a grid-point whose velocity a batch is gathering.
constexpr uint64_t kGathering = uint64_t{1} << 63;

// Grid-point velocities gathered zone by zone: each zone around the
// grid-points of the batch is worked once, not once for each of its
// corners. A grid-point's sums are those of the sweep when its zones are
// added in the order the zone index lists them; the batch adds the zones
// in the order of their places in the zone list, so a grid-point joins it
// only when the index lists its zones in that order. Any other is left to
// its first use.
class VelocityBatch {
 public:
  explicit VelocityBatch(ParticlePart& part)
      : part_(part), stamp_(part.velocityStamp), mark_(part.velocityStamp | kGathering) {
    part.batchGps.clear();
    part.batchZones.clear();
    if (part.batchTable.empty()) part.batchTable.resize(size_t{1} << 15);
    if (++part.batchCount == 0) {
      std::fill(part.batchTable.begin(), part.batchTable.end(), ParticlePart::BatchSlot{});
      part.batchCount = 1;
    }
  }

  void Add(GridPoint& gp) {
    GpFluidData* f = gp.fluid.get();
    if (!f || f->velocityStamp == stamp_ || f->velocityStamp == mark_) return;
    const std::vector<Zone*>* zones = index_.ZonesOf(gp.id);
    if (!zones || zones->empty()) return;
    const Zone* previous = nullptr;
    uint32_t last = 0;
    for (Zone* z : *zones) {
      if (z == previous) continue;
      const uint32_t sequence = Enter(z);
      if (previous && sequence <= last) return;
      previous = z;
      last = sequence;
    }
    f->velocitySum[0] = f->velocitySum[1] = f->velocitySum[2] = 0.0;
    f->velocityWeight = 0.0;
    f->velocityStamp = mark_;
    part_.batchGps.push_back(&gp);
  }

  void AddCorners(const Zone& zone) {
    for (int c = 0; c < zone.GpCount(); ++c) Add(*zone.Gp(c));
  }

  void Gather(FluidModule& fluid) {
    std::vector<std::pair<uint32_t, Zone*>>& zones = part_.batchZones;
    if (!std::is_sorted(zones.begin(), zones.end())) std::sort(zones.begin(), zones.end());
    part_.batchOrder.clear();
    for (const auto& z : zones) part_.batchOrder.push_back(z.second);
    fluid.GridPointVelocities(part_.batchOrder, mark_);
    for (GridPoint* gp : part_.batchGps) {
      GpFluidData* f = gp->fluid.get();
      if (f->velocityWeight != 0.0)
        for (double& v : f->velocitySum) v /= f->velocityWeight;
      f->velocityStamp = stamp_;
    }
  }

 private:
  // The zone's place in the zone list; the zone joins the batch's zones on first sight.
  uint32_t Enter(Zone* z) {
    std::vector<ParticlePart::BatchSlot>& table = part_.batchTable;
    if (2 * (part_.batchZones.size() + 1) > table.size()) Grow();
    const size_t mask = table.size() - 1;
    for (size_t slot = (reinterpret_cast<uintptr_t>(z) >> 4) * 0x9E3779B97F4A7C15ull >> 40;; ++slot) {
      ParticlePart::BatchSlot& e = table[slot & mask];
      if (e.batch != part_.batchCount) {
        e = {z, part_.batchCount, z->ListSequence()};
        part_.batchZones.emplace_back(e.sequence, z);
        return e.sequence;
      }
      if (e.zone == z) return e.sequence;
    }
  }

  void Grow() {
    std::vector<ParticlePart::BatchSlot>& table = part_.batchTable;
    table.assign(table.size() * 2, ParticlePart::BatchSlot{});
    const size_t mask = table.size() - 1;
    for (const auto& [sequence, z] : part_.batchZones)
      for (size_t slot = (reinterpret_cast<uintptr_t>(z) >> 4) * 0x9E3779B97F4A7C15ull >> 40;; ++slot) {
        ParticlePart::BatchSlot& e = table[slot & mask];
        if (e.batch != part_.batchCount) {
          e = {z, part_.batchCount, sequence};
          break;
        }
      }
  }

  ParticlePart& part_;
  const GpZoneIndex& index_ = TheGpZoneIndex();
  const uint64_t stamp_;
  const uint64_t mark_;
};

// The velocities at the corners of the active particles' zones, and with
// around those of the zones around them, gathered at once.
void GatherAroundParticles(bool around) {
  FluidModule* fluid = Fluid();
  if (!fluid) return;
  ParticlePart& part = ThePart();
  VelocityBatch batch(part);
  const GpZoneIndex& index = TheGpZoneIndex();
  const Zone* last = nullptr;
  ParticleList& list = part.list;
  const uint32_t count = list.Count();
  for (uint32_t i = 0; i < count; ++i) {
    AskAheadOfParticle(list, i, count, false, [](const GpFluidData& f) { return &f.velocityStamp; });
    const Particle& p = *list.At(i);
    if (!p.active || !p.zone || p.zone == last) continue;
    last = p.zone;
    batch.AddCorners(*last);
    if (!around) continue;
    for (int c = 0; c < last->GpCount(); ++c)
      if (const std::vector<Zone*>* zones = index.ZonesOf(last->Gp(c)->id))
        for (const Zone* z : *zones)
          if (z != last) batch.AddCorners(*z);
  }
  batch.Gather(*fluid);
}

}  // namespace

const double* GridPointVelocity(GridPoint& gp) {
  GpFluidData* f = gp.fluid.get();
  if (!f) return nullptr;
  const uint64_t stamp = ThePart().velocityStamp;
  if (f->velocityStamp == stamp) return f->velocitySum;
  FluidModule* fluid = Fluid();
  if (const std::vector<Zone*>* zones = TheGpZoneIndex().ZonesOf(gp.id)) {
    fluid->GridPointVelocity(gp, *zones);
    if (f->velocityWeight != 0.0)
      for (double& v : f->velocitySum) v /= f->velocityWeight;
    f->velocityStamp = stamp;
    return f->velocitySum;
  }
  // A grid-point the zone index does not know: every velocity at once.
  GatherAllVelocities();
  return f->velocitySum;
}

void GatherParticleVelocities() {
  // A move asks for the velocities at the corners of its particle's zone;
  // a higher order also at points a step's displacement away, which lie in
  // the zones around those corners unless the step crosses a whole zone.
  GatherAroundParticles(Settings().trackCount == 2 || Settings().trackCount == 4);
}

void GatherAllVelocities() {
  FluidModule* fluid = Fluid();
  if (!fluid) return;
  const uint64_t stamp = ThePart().velocityStamp;
  for (GridPoint* g : GridPointList())
    if (GpFluidData* b = g->fluid.get()) {
      b->velocitySum[0] = b->velocitySum[1] = b->velocitySum[2] = 0.0;
      b->velocityWeight = 0.0;
    }
  fluid->GridPointVelocities();
  for (GridPoint* g : GridPointList())
    if (GpFluidData* b = g->fluid.get()) {
      if (b->velocityWeight != 0.0)
        for (double& v : b->velocitySum) v /= b->velocityWeight;
      b->velocityStamp = stamp;
    }
}

void ZoneVelocity(const Zone& zone, const double p[3], double out[3]) {
  Zone& z = const_cast<Zone&>(zone);
  double best = -1.7976931348623157e308;
  double remembered[3] = {0, 0, 0};
  for (int o = 0; o < 2; ++o) {
    z.GetTetra(o + 1);
    const TetraDef* defs = OverlayDefinitions(zone.Type(), o);
    for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
      GridPoint* g[4];
      for (int c = 0; c < 4; ++c) g[c] = zone.Gp(defs[k].gp[c]);
      const double *a = g[0]->position, *b = g[1]->position, *c = g[2]->position, *d = g[3]->position;
      const double V = TetVolume6(a, b, c, d);
      if (V == 0.0) continue;
      const double w[4] = {TetVolume6(b, d, c, p), TetVolume6(c, d, a, p), TetVolume6(a, d, b, p),
                           TetVolume6(a, b, c, p)};
      const double m = std::min({0.0, w[0], w[1], w[2], w[3]});
      // The corners' velocities are asked for only when this tetrahedron
      // gives the answer, or may.
      if (m != 0.0 && !(m / V > best)) continue;
      double v[3] = {0, 0, 0};
      for (int i = 0; i < 4; ++i)
        if (const double* u = GridPointVelocity(*g[i]))
          for (int x = 0; x < 3; ++x) v[x] += w[i] * u[x];
      for (double& x : v) x /= V;
      if (m == 0.0) {
        std::copy(v, v + 3, out);
        return;
      }
      best = m / V;
      std::copy(v, v + 3, remembered);
    }
  }
  std::copy(remembered, remembered + 3, out);
}

Zone* FindZoneNear(const Zone& zone, const double p[3]) {
  const GridPoint* gp = zone.Gp(zone.NearestGp(p));
  if (const std::vector<Zone*>* around = TheGpZoneIndex().ZonesOf(gp->id))
    for (Zone* z : *around)
      if (z != &zone && !z->IsNull() && z->IsInside(p)) return z;
  return IndexedZoneContaining(p);
}

void Move(Particle& p, const double d0[3]) {
  double d[3] = {d0[0], d0[1], d0[2]};
  int slides = 0, bounces = 0;
  // The last zones this move has crossed out of.
  constexpr int kVisited = 4;
  const Zone* visited[kVisited] = {};
  for (int crossing = 0; crossing < kMaxCrossings; ++crossing) {
    Zone* zone = p.zone;
    const double from[3] = {p.current.position[0], p.current.position[1], p.current.position[2]};
    const double to[3] = {from[0] + d[0], from[1] + d[1], from[2] + d[2]};
    const double length = Norm(d);
    if (length == 0.0) return;
    const double h = 0.25 * EdgeLength(*zone);
    const double s = p.sinceStored + length;
    if (zone->IsInside(to)) {
      Record(p, to, s, h);
      return;
    }
    if (p.regen) Regenerate(p, from, to, d, length);
    Zone* next = FindZoneNear(*zone, to);
    auto finishIn = [&](Zone* z) {
      LeaveZone(p);
      EnterZone(p, z);
      Record(p, to, s, 0.25 * EdgeLength(*z));
    };
    if (next && FluidZone(next)) return finishIn(next);
    double exit[3], normal[3];
    const int face = ExitFace(*zone, from, to, exit, normal);
    if (face < 0) throw QJExcept("Error finding exit face for particle.");
    if (!next && zone->FaceHasMarkedGp(face)) return FinishAtBoundary(p, to);
    const double fx[3] = {exit[0] - from[0], exit[1] - from[1], exit[2] - from[2]};
    Record(p, exit, p.sinceStored + Norm(fx), h);
    Zone* across = zone->Neighbour(face);
    if (FluidZone(across) && std::find(std::begin(visited), std::end(visited), across) != std::end(visited)) {
      // Back into a zone this move has left: the end lies in the sliver
      // that two zones' tests of their shared warped face both leave out.
      // The particle stays in this zone and slides along that face.
      MoveInsideZone(*zone, exit);
      p.SetCurrentPoint(p.current.time, exit);
      for (int a = 0; a < 3; ++a) d[a] = to[a] - exit[a];
      const double dn = Dot(d, normal);
      for (int a = 0; a < 3; ++a) d[a] -= dn * normal[a];
      if (++bounces > 2 || Norm(d) == 0.0) return;
      continue;
    }
    if (FluidZone(across)) {
      MoveInsideZone(*across, exit);
      for (int a = 0; a < 3; ++a) d[a] = to[a] - exit[a];
      p.SetCurrentPoint(p.current.time, exit);
      visited[crossing % kVisited] = zone;
      LeaveZone(p);
      EnterZone(p, across);
      continue;
    }
    if (++slides <= 2) {
      const double dn = Dot(d, normal);
      for (int a = 0; a < 3; ++a) d[a] -= dn * normal[a];
      if (Norm(d) != 0.0) continue;
    }
    if (next) return finishIn(next);
    return FinishAtBoundary(p, to);
  }
  throw QJExcept("Particle path crosses too many zones in one step.");
}

uint32_t CreateParticle(const double p[3], double tortuosity, double time, bool regen, bool keepTail, Zone* zone) {
  if (!FluidOn()) return 0;
  if (!zone) zone = FindZoneContaining(p);
  if (!FluidZone(zone)) return 0;
  auto q = std::make_unique<Particle>();
  q->keepTail = keepTail ? 1 : 0;
  q->Init(zone, p, tortuosity, time, regen);
  Particle* made = TheParticleList().Append(std::move(q));
  if (ZoneChem* chem = ChemRecord(*zone)) chem->reequilibrate = 1;
  EnterZone(*made, zone);
  return made->id;
}

void Step(bool largeStrain, double dt) {
  if (largeStrain) return LargeStrainUpdate(dt);
  if (ThePart().velocitiesStale) PostStep();
  // Each move asks first for the velocities at its particle's zone's corners.
  GatherAroundParticles(false);
  if (ChemModule* chem = TheChemModule()) chem->MixParticles();
  ParticleList& list = TheParticleList();
  for (uint32_t i = 0; i < list.Count(); ++i) {
    Particle& p = *list.At(i);
    if (p.active && p.moveThisStep) MoveOne(p, dt);
    p.moveThisStep = 1;
  }
  InjectPerVolume(dt);
}

void InjectPerVolume(double dt) {
  const double rate = Settings().trackReal;
  if (!(rate > 0.0) || !FluidOn()) return;
  FluidModule& fluid = *Fluid();
  if (ZoneFace* pif = ZoneFaceListHead()) {
    for (ZoneFace* f = pif; f; f = f->next) {
      Zone* z = f->GetZone();
      if (!FluidZone(z)) continue;
      double q[3];
      fluid.FluidFlowVector(*z, q);
      InjectFace(*z, f->Face(), q, dt, rate);
    }
    return;
  }
  // Every zone in list order with a boundary face whose grid-points all have
  // a fixed pressure: such faces of the zone in face order. The boundary
  // faces are known from the start of the run; the fixities may change.
  ParticlePart& part = ThePart();
  if (part.facesStale) BuildBoundaryFaces(part);
  ReadBoundaryFixities(part);
  const std::vector<ParticlePart::BoundaryFace>& faces = part.boundaryFaces;
  std::vector<uint32_t>& injecting = part.injecting;
  injecting.clear();
  for (size_t first = 0, end = 0; first < faces.size(); first = end) {
    const Zone* z = faces[first].zone;
    bool any = false;
    for (end = first; end < faces.size() && faces[end].zone == z; ++end)
      any = any || FixedPressureFace(part, faces[end]);
    if (any) injecting.push_back(static_cast<uint32_t>(first));
  }
  const size_t count = injecting.size();
  for (size_t i = 0; i < count; ++i) {
    if (i + kZoneAhead < count) PrefetchFlowZone(*faces[injecting[i + kZoneAhead]].zone);
    if (i + kPartsAhead < count) PrefetchFlowParts(*faces[injecting[i + kPartsAhead]].zone);
    if (i + kBlocksAhead < count) PrefetchFlowBlocks(*faces[injecting[i + kBlocksAhead]].zone);
    Zone* z = faces[injecting[i]].zone;
    double q[3];
    fluid.FluidFlowVector(*z, q);
    for (size_t k = injecting[i]; k < faces.size() && faces[k].zone == z; ++k)
      if (FixedPressureFace(part, faces[k])) InjectFace(*z, faces[k].face, q, dt, rate);
  }
}

void ZonePoints(const Zone& zone, int n, std::vector<TrackPoint>& out) {
  out.clear();
  const int k = static_cast<int>(zone.particles.size());
  if (k >= n) return;
  // A frame whose first axis follows the flow.
  double e[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double q[3] = {0, 0, 0};
  if (FluidModule* fluid = Fluid()) fluid->FluidFlowVector(const_cast<Zone&>(zone), q);
  if (const double lq = Norm(q); lq > 0.0) {
    for (int a = 0; a < 3; ++a) e[0][a] = q[a] / lq;
    const int least = std::fabs(e[0][0]) <= std::fabs(e[0][1]) && std::fabs(e[0][0]) <= std::fabs(e[0][2]) ? 0
                      : std::fabs(e[0][1]) <= std::fabs(e[0][2])                                           ? 1
                                                                                                           : 2;
    double t[3] = {0, 0, 0};
    t[least] = 1.0;
    e[1][0] = e[0][1] * t[2] - e[0][2] * t[1];
    e[1][1] = e[0][2] * t[0] - e[0][0] * t[2];
    e[1][2] = e[0][0] * t[1] - e[0][1] * t[0];
    const double l1 = Norm(e[1]);
    for (double& v : e[1]) v /= l1;
    e[2][0] = e[0][1] * e[1][2] - e[0][2] * e[1][1];
    e[2][1] = e[0][2] * e[1][0] - e[0][0] * e[1][2];
    e[2][2] = e[0][0] * e[1][1] - e[0][1] * e[1][0];
  }
  auto toFrame = [&e](const double* x, double* f) {
    for (int i = 0; i < 3; ++i) f[i] = Dot(e[i], x);
  };
  double lo[3] = {1.7976931348623157e308, 1.7976931348623157e308, 1.7976931348623157e308};
  double hi[3] = {-lo[0], -lo[1], -lo[2]};
  for (int c = 0; c < zone.GpCount(); ++c) {
    double f[3];
    toFrame(zone.Gp(c)->position, f);
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], f[a]);
      hi[a] = std::max(hi[a], f[a]);
    }
  }
  // Cells m x m x m, slab i along the flow; the particles held counted per cell.
  const int m = std::min(n, 12);
  std::vector<int> count(static_cast<size_t>(m * m * m), 0);
  auto cellOf = [&](const double* f, int a) {
    const double w = hi[a] - lo[a];
    const int i = w > 0.0 ? static_cast<int>((f[a] - lo[a]) / w * m) : 0;
    return std::clamp(i, 0, m - 1);
  };
  for (const Particle* p : zone.particles) {
    double f[3];
    toFrame(p->current.position, f);
    ++count[static_cast<size_t>((cellOf(f, 0) * m + cellOf(f, 1)) * m + cellOf(f, 2))];
  }
  int remaining = n - k;
  int draws = 0;
  for (int level = std::max(1, n / m); remaining > 0; ++level) {
    for (int slab = 0; slab < m && remaining > 0; ++slab) {
      int* cells = &count[static_cast<size_t>(slab * m * m)];
      int inSlab = 0;
      for (int c = 0; c < m * m; ++c) inSlab += cells[c];
      while (inSlab < level && remaining > 0) {
        if (++draws > kMaxDraws) throw QJExcept("Could not place particles in zone " + std::to_string(zone.Id()) + ".");
        int best = std::min(static_cast<int>(RandomUniform() * m * m), m * m - 1);
        for (int step = 1, c = best; step < m * m; ++step) {
          c = (c + 1) % (m * m);
          if (cells[c] < cells[best]) best = c;
        }
        const int cell[3] = {slab, best / m, best % m};
        double f[3];
        for (int a = 0; a < 3; ++a) f[a] = lo[a] + (cell[a] + RandomUniform()) * (hi[a] - lo[a]) / m;
        TrackPoint t;
        for (int a = 0; a < 3; ++a) t.position[a] = f[0] * e[0][a] + f[1] * e[1][a] + f[2] * e[2][a];
        if (zone.IsInside(t.position)) {
          out.push_back(t);
          --remaining;
        }
        ++cells[best];
        ++inSlab;
      }
    }
  }
}

void AddPifFace(uint32_t zoneId, const uint32_t gpIds[3]) {
  Zone* zone = nullptr;
  for (Zone* z : ZoneList())
    if (z->Id() == zoneId) {
      zone = z;
      break;
    }
  if (!zone) throw QJExcept("Zone not found for PIF face");
  int found = -1;
  for (int f = 0; f < kZoneFaces && found < 0; ++f) {
    const int n = zone->FaceGpCount(f);
    if (n < 3) continue;
    int hits = 0;
    for (int i = 0; i < 3; ++i)
      for (int c = 0; c < n; ++c)
        if (zone->GetFaceGp(f, c)->id == gpIds[i]) {
          ++hits;
          break;
        }
    if (hits == 3) found = f;
  }
  if (found < 0) throw QJExcept("PIF face not found on zone");
  ZoneFace* record = new ZoneFace(zone, found);
  InsertUniqueRecord(ZoneFaceListHead(), record);
}

void BrickMap(const double c[8][3], const double rst[3], double out[3]) {
  const double r = rst[0], s = rst[1], t = rst[2];
  const double w[8] = {(1 - r) * (1 - s) * (1 - t),
                       r * (1 - s) * (1 - t),
                       (1 - r) * s * (1 - t),
                       (1 - r) * (1 - s) * t,
                       r * s * (1 - t),
                       (1 - r) * s * t,
                       r * (1 - s) * t,
                       r * s * t};
  for (int a = 0; a < 3; ++a) {
    out[a] = 0.0;
    for (int k = 0; k < 8; ++k) out[a] += w[k] * c[k][a];
  }
}

namespace {

// LU decomposition of a 3 x 3 matrix with partial pivoting and implicit row
// scaling; false for a zero pivot.
bool Decompose(double a[3][3], int index[3]) {
  double scale[3];
  for (int i = 0; i < 3; ++i) {
    double big = 0.0;
    for (int j = 0; j < 3; ++j) big = std::max(big, std::fabs(a[i][j]));
    if (big == 0.0) throw QJExcept("Singular matrix in ludcmp.");
    scale[i] = 1.0 / big;
  }
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < j; ++i)
      for (int k = 0; k < i; ++k) a[i][j] -= a[i][k] * a[k][j];
    double big = 0.0;
    int imax = j;
    for (int i = j; i < 3; ++i) {
      for (int k = 0; k < j; ++k) a[i][j] -= a[i][k] * a[k][j];
      const double v = scale[i] * std::fabs(a[i][j]);
      if (v >= big) {
        big = v;
        imax = i;
      }
    }
    if (imax != j) {
      std::swap(a[imax], a[j]);
      scale[imax] = scale[j];
    }
    index[j] = imax;
    if (a[j][j] == 0.0) return false;
    for (int i = j + 1; i < 3; ++i) a[i][j] /= a[j][j];
  }
  return true;
}

void BackSubstitute(const double a[3][3], const int index[3], double b[3]) {
  for (int i = 0; i < 3; ++i) {
    std::swap(b[i], b[index[i]]);
    for (int k = 0; k < i; ++k) b[i] -= a[i][k] * b[k];
  }
  for (int i = 2; i >= 0; --i) {
    for (int k = i + 1; k < 3; ++k) b[i] -= a[i][k] * b[k];
    b[i] /= a[i][i];
  }
}

// Where a grid-point stood when the particles were last placed: the
// position kept at the end of the last step (or at the start of the run).
// A grid-point without a fluid block is taken back along its velocity.
void OldPosition(const GridPoint& gp, double dt, double out[3]) {
  for (int a = 0; a < 3; ++a) out[a] = gp.fluid ? gp.fluid->keptPosition[a] : gp.position[a] - dt * gp.velocity[a];
}

// Brings a point that a ride left just outside its zone's new shape back
// in: pulled along the line to the zone's centroid, first by a hundred
// thousandth of the way and then by twice as much each time, at most the
// whole way. A zone whose centroid tests outside cannot hold it.
void PullInside(const Zone& zone, double x[3]) {
  if (zone.IsInside(x)) return;
  double c[3];
  zone.Centroid(c);
  const double from[3] = {x[0], x[1], x[2]};
  for (double f = 1e-5;; f *= 2.0) {
    const double keep = std::max(0.0, 1.0 - f);
    for (int a = 0; a < 3; ++a) x[a] = c[a] + keep * (from[a] - c[a]);
    if (zone.IsInside(x)) return;
    if (keep == 0.0) throw QJExcept("Large strain update error, particle not in zone after update.");
  }
}

// Volume coordinates of the point in a tetrahedron.
void TetraWeights(const double* c[4], const double p[3], double w[4]) {
  const double v = TetVolume6(c[0], c[1], c[2], c[3]);
  w[0] = TetVolume6(p, c[1], c[2], c[3]) / v;
  w[1] = TetVolume6(c[0], p, c[2], c[3]) / v;
  w[2] = TetVolume6(c[0], c[1], p, c[3]) / v;
  w[3] = 1.0 - w[0] - w[1] - w[2];
}

// A zone of fewer than eight distinct grid-points: the point keeps its
// volume coordinates in the overlay tetrahedron that held it (the one it
// lies least outside).
void TetraRide(const Zone& zone, double dt, double p[3]) {
  const TetraDef* defs = OverlayDefinitions(zone.Type(), 0);
  double best = -1.7976931348623157e308, bestW[4] = {0.25, 0.25, 0.25, 0.25};
  int bestK = 0;
  for (int k = 0; k < zone.TetraPerOverlay(); ++k) {
    double old[4][3];
    const double* c[4];
    for (int i = 0; i < 4; ++i) {
      OldPosition(*zone.Gp(defs[k].gp[i]), dt, old[i]);
      c[i] = old[i];
    }
    if (TetVolume6(c[0], c[1], c[2], c[3]) == 0.0) continue;
    double w[4];
    TetraWeights(c, p, w);
    const double m = std::min({w[0], w[1], w[2], w[3]});
    if (m > best) {
      best = m;
      bestK = k;
      std::copy(w, w + 4, bestW);
    }
  }
  // A point just outside the tetrahedron stays on its surface.
  double sum = 0.0;
  for (double& w : bestW) {
    w = std::max(w, 0.0);
    sum += w;
  }
  for (double& w : bestW) w /= sum;
  for (int a = 0; a < 3; ++a) {
    p[a] = 0.0;
    for (int i = 0; i < 4; ++i) p[a] += bestW[i] * zone.Gp(defs[bestK].gp[i])->position[a];
  }
}

}  // namespace

namespace {

// The brick map at rst and its Jacobian there (added to jac).
void MapAndJacobian(const double c[8][3], const double rst[3], double at[3], double jac[3][3]) {
  const double r = rst[0], s = rst[1], t = rst[2];
  // Derivatives of the eight corner weights along r, s and t.
  const double dr[8] = {
      -(1 - s) * (1 - t), (1 - s) * (1 - t), -s * (1 - t), -(1 - s) * t, s * (1 - t), -s * t, (1 - s) * t, s * t};
  const double ds[8] = {
      -(1 - r) * (1 - t), -r * (1 - t), (1 - r) * (1 - t), -(1 - r) * t, r * (1 - t), (1 - r) * t, -r * t, r * t};
  const double dt[8] = {-(1 - r) * (1 - s), -r * (1 - s), -(1 - r) * s, (1 - r) * (1 - s), -r * s,
                        (1 - r) * s,        r * (1 - s),  r * s};
  particle_track::BrickMap(c, rst, at);
  for (int a = 0; a < 3; ++a)
    for (int q = 0; q < 8; ++q) {
      jac[a][0] += dr[q] * c[q][a];
      jac[a][1] += ds[q] * c[q][a];
      jac[a][2] += dt[q] * c[q][a];
    }
}

void StartBrick(const double c[8][3], BrickStart& start) {
  const double centre[3] = {0.5, 0.5, 0.5};
  double jac[3][3] = {};
  MapAndJacobian(c, centre, start.at, jac);
  if (!Decompose(jac, start.index)) throw QJExcept("Singular matrix in large strain particle update.");
  std::copy(&jac[0][0], &jac[0][0] + 9, &start.lu[0][0]);
}

// Newton's iteration from the brick's centre, its first step given.
void SolveFrom(const double c[8][3], const BrickStart& start, const double p[3], double rst[3]) {
  constexpr int kMaxIterations = 50;
  rst[0] = rst[1] = rst[2] = 0.5;
  for (int k = 1;; ++k) {
    double f[3];
    if (k == 1) {
      for (int a = 0; a < 3; ++a) f[a] = p[a] - start.at[a];
      BackSubstitute(start.lu, start.index, f);
    } else {
      double jac[3][3] = {}, at[3];
      MapAndJacobian(c, rst, at, jac);
      for (int a = 0; a < 3; ++a) f[a] = p[a] - at[a];
      int index[3];
      if (!Decompose(jac, index)) throw QJExcept("Singular matrix in large strain particle update.");
      BackSubstitute(jac, index, f);
    }
    const double d = std::max({std::fabs(f[0]), std::fabs(f[1]), std::fabs(f[2])});
    // Converged: a point just beyond a curved face of the brick, though
    // within the zone by its plane faces, keeps the nearest coordinates
    // of the brick itself.
    if (k > 3 && d < 1e-5) {
      for (int a = 0; a < 3; ++a) rst[a] = std::clamp(rst[a], 0.0, 1.0);
      return;
    }
    for (int a = 0; a < 3; ++a) rst[a] += f[a];
    if (k >= kMaxIterations) throw QJExcept("RST algorithm failed to converge.");
    // An iteration that has not settled is kept near the brick: no point of
    // the zone lies a whole brick beyond it.
    if (k >= 10)
      for (int a = 0; a < 3; ++a) rst[a] = std::clamp(rst[a], -1.0, 2.0);
  }
}

}  // namespace

void SolveBrickCoordinates(const double c[8][3], const double p[3], double rst[3]) {
  BrickStart start;
  StartBrick(c, start);
  SolveFrom(c, start, p, rst);
}

void LargeStrainUpdate(double dt) {
  // Particle by particle, not zone by zone: the zones holding particles are
  // few. The particles of a zone come together or a few zones apart in the
  // list: the zone's corners and the first step of its inverse map are kept.
  ParticlePart& part = ThePart();
  ParticleList& list = part.list;
  if (part.rideCorners.empty()) part.rideCorners.resize(ParticlePart::kRideSlots);
  const uint64_t ride = ++part.rideCount;
  const uint32_t count = list.Count();
  for (uint32_t i = 0; i < count; ++i) {
    AskAheadOfParticle(list, i, count, true, [](const GpFluidData& f) { return f.keptPosition; });
    Particle* p = list.At(i);
    Zone* zone = p->zone;
    if (!p->active || !zone) continue;
    double x[3] = {p->current.position[0], p->current.position[1], p->current.position[2]};
    if (zone->Type() == 0) {
      const size_t slot = (reinterpret_cast<uintptr_t>(zone) >> 4) * 0x9E3779B97F4A7C15ull >> 58;
      RideCorners& e = part.rideCorners[slot % ParticlePart::kRideSlots];
      if (e.zone != zone || e.ride != ride) {
        e.zone = nullptr;
        for (int k = 0; k < 8; ++k) {
          const GridPoint* g = zone->Gp(k);
          OldPosition(*g, dt, e.old[k]);
          for (int a = 0; a < 3; ++a) e.now[k][a] = g->position[a];
        }
        StartBrick(e.old, e.start);
        e.zone = zone;
        e.ride = ride;
      }
      double rst[3];
      SolveFrom(e.old, e.start, x, rst);
      BrickMap(e.now, rst, x);
    } else {
      TetraRide(*zone, dt, x);
    }
    PullInside(*zone, x);
    p->SetCurrentPoint(p->current.time, x);
  }
}

}  // namespace particle_track

void InstallParticles() {
  Model& model = CurrentModel();
  ParticlePart& part = model.Part<ParticlePart>();
  if (!part.participant) part.participant = &model.Participants().Add(std::make_unique<ParticleParticipant>());
  ParticleListRemover() = [](Particle* p) { TheParticleList().RemoveParticle(p); };
  // A particle whose zone is deleted stops where it is, as one that left the model.
  ParticleZoneLost() = [](Particle* p) {
    p->zone = nullptr;
    p->active = 0;
  };
  GridHooks().deleteInactiveParticles = [] { return TheParticleList().DeleteInactive(); };
  model.Sections().Install(
      "particles", [](SaveStream& s) { TheParticleList().Save(s); },
      [](SaveStream& s) { TheParticleList().Restore(s); }, [] { TheParticleList().Remap(); },
      [] {
        TheParticleList().Clear();
        ThePart().carry.clear();
      });
  InstallModelCommand("track", [](ModelInterpreter& interp) { TrackCommand(interp); });
  InstallModelPrint("track", [](ModelInterpreter& interp) { TheParticleList().Print(interp); });
}
