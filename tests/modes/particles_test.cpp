// Particle tracking: the TRACK command and its listings, advection against
// the seepage velocity, leaving the model, the particle-track file,
// injection, and the save form of the particles.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "../base/temp_dir.h"
#include "base/except.h"
#include "base/savefile.h"
#include "gui/install_subsystems.h"
#include "model/gp_fluid.h"
#include "model/gp_zone_index.h"
#include "model/grid_point.h"
#include "model/model_app.h"
#include "model/model_interpreter.h"
#include "model/model_settings.h"
#include "model/zone.h"
#include "modes/fluid_module.h"
#include "modes/install_modes.h"
#include "modes/mode_fixture.h"
#include "modes/particles.h"
#include "support/alloc_counter.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"
#include "support/untimed_save.h"

namespace {

class ParticlesTest : public ModeTest {
 protected:
  void Brick() {
    Run({"config fluid", "gen zone brick size 2 2 2", "model elastic", "model fl_isotropic",
         "prop perm 1e-10 poros 0.3"});
  }
  // A column 10 high under steady upward seepage: q = k dp / L = 1e-6, n = 0.3.
  void Column() {
    Run({"config fluid", "gen zone brick size 1 1 10", "model elastic", "model fl_isotropic",
         "prop perm 1e-10 poros 0.3", "initial fmodulus 1e4", "initial pp 1e5 grad 0 0 -1e4",
         "fix pp 1e5 range z -0.1 0.1", "fix pp 0 range z 9.9 10.1", "set mech off", "set track on"});
  }
  static std::string FileText(const char* name) {
    std::ifstream f(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  }
};

constexpr double kSeepage = 1e-6;
constexpr double kPorosity = 0.3;

TEST_F(ParticlesTest, CreationFormsAndTable) {
  Brick();
  const std::string empty = Run({"track list"});
  EXPECT_NE(empty.find("There are currently 0 particles ...\n"
                       "               Coordinates                 Tortuosity    In    Stored    Path\n"
                       "      X             Y             Z                      Zone  Points    Length\n"),
            std::string::npos)
      << empty;
  const std::string one = Run({"track 0.5 0.5 0.5 tortuosity 2 list"});
  EXPECT_NE(one.find("  5.00000e-01   5.00000e-01   5.00000e-01   2.00000e+00      1      1   0.00000e+00\n"),
            std::string::npos)
      << one;

  struct Case {
    const char* command;
    uint32_t made;
  };
  const Case cases[] = {
      {"track line 0 0 0 1 0 0 1", 1},  // a count of one: the midpoint
      {"track line 0 0 0 4 0 0 5", 3},  // x = 3 and 4 lie outside and are skipped
      {"track plane 0 0 0 2 0 0 0 2 0 3 3", 9},
      {"track plane 0 0 0 2 0 0 0 2 0 1 1", 1},  // a single row at the midpoint
      {"track plane 0 0 0 2 0 0 0 2 0 0 4", 0},
      {"track 9 9 9", 0},
  };
  for (const Case& c : cases) {
    const uint32_t before = TheParticleList().Count();
    Run({c.command});
    EXPECT_EQ(TheParticleList().Count() - before, c.made) << c.command;
  }
  const Particle& mid = *TheParticleList().At(1);
  EXPECT_EQ(mid.current.position[0], 0.5);
  EXPECT_EQ(mid.current.position[1], 0.0);
  const Particle& centre = *TheParticleList().At(TheParticleList().Count() - 1);
  EXPECT_EQ(centre.current.position[0], 1.0);
  EXPECT_EQ(centre.current.position[1], 1.0);
  EXPECT_EQ(centre.id, TheParticleList().Count());

  const size_t first = ZoneList().First() ? static_cast<Zone*>(ZoneList().First())->particles.size() : 0;
  ASSERT_GT(first, 5u);
  Run({"track uniform 5"});
  // Zone 1 already holds more than five and gets none.
  for (Zone* z : ZoneList()) EXPECT_EQ(z->particles.size(), z->Id() == 1 ? first : 5u) << z->Id();
  for (uint32_t i = 0; i < TheParticleList().Count(); ++i) {
    const Particle& p = *TheParticleList().At(i);
    EXPECT_TRUE(p.zone->IsInside(p.current.position));
  }
  const uint32_t total = TheParticleList().Count();
  Run({"track uniform 5"});
  EXPECT_EQ(TheParticleList().Count(), total);
  EXPECT_EQ(total, first + 7 * 5);
  EXPECT_NE(Run({"print track"}).find("There are currently " + std::to_string(total) + " particles ..."),
            std::string::npos);
}

TEST_F(ParticlesTest, BadInput) {
  Brick();
  const char* const cases[][2] = {
      {"track pcorder 3", "*** Valid predictor-corrector order must be specified (0, 2, or 4)."},
      {"track pcorder", "*** Valid predictor-corrector order must be specified (0, 2, or 4)."},
      {"track tortuosity 0", "*** Tortuosity value must be > 0"},
      {"track tortuosity", "*** Tortuosity value must be specified"},
      {"track line 0 0 0", "*** Line must have 2 xyz coordinates specified"},
      {"track line 0 0 0 1 0 0", "*** Line must have number of particles specified"},
      {"track plane 0 0 0 1 0 0", "*** Plane must have 3 xyz coordinates specified"},
      {"track plane 0 0 0 1 0 0 0 1 0 4", "*** Plane must have number of particles specified in two directions"},
      {"track uniform", "*** Number of points in zone must be specified with uniform keyword"},
      {"track ppervol", "*** Number of particles per volume must be specified."},
      {"track pifface 99 1 2 3", "*** Zone not found for PIF face"},
      {"track pifface 1 1 2 27", "*** PIF face not found on zone"},
      {"track pifface", "*** Zone ID must be specified"},
      {"track pifface 1 2", "*** Gridpoint ID must be specified"},
  };
  for (const auto& c : cases) EXPECT_NE(Run({c[0]}).find(c[1]), std::string::npos) << c[0];
  EXPECT_EQ(TheParticleList().Count(), 0u);

  // Settings are stored as they are read, even when a later word fails.
  Run({"track pcorder 4 ppervol -3 tortuosity 0"});
  EXPECT_EQ(Settings().trackCount, 4);
  EXPECT_EQ(Settings().trackReal, 0.0);
  app.New();
  EXPECT_EQ(Settings().trackCount, 0);
  EXPECT_NE(
      Run({"gen zone brick size 1 1 1", "track list"}).find("Fluid flow must be turned on for particle tracking."),
      std::string::npos);
}

// Under steady upward seepage of specific discharge q the pore water moves
// at q / n (Darcy's law, e.g. J. Bear, Dynamics of Fluids in Porous Media,
// 1972): a particle released at z0 lies at z0 + q t / n.
TEST_F(ParticlesTest, AdvectionFollowsSeepageVelocity) {
  Column();
  for (int order : {0, 2, 4}) {
    Run({"track 0.5 0.5 2"});
    Particle& p = *TheParticleList().At(TheParticleList().Count() - 1);
    Settings().trackCount = order;
    const double t0 = Modes().fluid->Time();
    Run({"step 30"});
    const double t = Modes().fluid->Time() - t0;
    const double expected = 2.0 + kSeepage * t / kPorosity;
    ASSERT_GT(expected, 5.0);
    EXPECT_NEAR(p.current.position[2], expected, 0.01 * (expected - 2.0)) << order;
    EXPECT_NEAR(p.current.position[0], 0.5, 1e-9);
    EXPECT_TRUE(p.active);
    // Points are stored once the path since the last one passes a quarter of the edge.
    const TrackPoint* previous = nullptr;
    for (const TrackPoint& t : p.track) {
      if (previous) {
        EXPECT_GT(t.position[2] - previous->position[2], 0.25) << order;
      }
      previous = &t;
    }
    EXPECT_NEAR(p.pathLength + p.sinceStored, p.current.position[2] - 2.0, 1e-9);
    EXPECT_LE(p.sinceStored, 0.25);
    EXPECT_EQ(p.zone->IsInside(p.current.position), true);
  }
}

TEST_F(ParticlesTest, LeavingTheModelEndsOnTheBoundary) {
  Column();
  Run({"track 0.5 0.5 8.5 regen", "track 0.3 0.3 8.5 notail", "step 40"});
  ASSERT_GT(TheParticleList().Count(), 2u);
  const Particle& left = *TheParticleList().At(0);
  EXPECT_FALSE(left.active);
  EXPECT_EQ(left.zone, nullptr);
  EXPECT_DOUBLE_EQ(left.track.back().position[2], 10.0);
  EXPECT_DOUBLE_EQ(left.pathLength, 1.5);
  const Particle& notail = *TheParticleList().At(1);
  EXPECT_FALSE(notail.active);
  EXPECT_EQ(notail.track.size(), 1u);
  // Leaving zone 9 (8 < z < 9) across z = 9 in its fourth step (to 9.14), it
  // left a follower that entered that zone at z = 8 as far as it had gone on.
  const Particle& follower = *TheParticleList().At(2);
  EXPECT_EQ(follower.regen, 0);
  EXPECT_NEAR(follower.track.front().position[0], 0.5, 1e-9);
  EXPECT_NEAR(follower.track.front().position[2], 8.14, 1e-6);
  EXPECT_GT(follower.current.position[2], follower.track.front().position[2]);
  const std::string table = Run({"track list"});
  EXPECT_NE(table.find("   1.00000e+01   1.00000e+00      0      1   1.50000e+00 inactive\n"), std::string::npos)
      << table;
}

TEST_F(ParticlesTest, TrackFileAndDump) {
  Column();
  Run({"track 0.5 0.5 1", "step 3"});
  ASSERT_GT(TheParticleList().At(0)->sinceStored, 0.0);
  const std::string dump = Run({"track dump write"});
  const std::string file = FileText("Terrax.trk");
  EXPECT_EQ(file.rfind("Track 1 (active)\n       Time             X              Y              Z\n"
                       "    0.00000e+00    5.00000e-01    5.00000e-01    1.00000e+00\n",
                       0),
            0u)
      << file;
  EXPECT_NE(dump.find(file), std::string::npos) << dump;
  // Steps of 0.16 against a quarter edge of 0.25: the start, the point
  // stored after two steps, and the current point.
  EXPECT_EQ(std::count(file.begin(), file.end(), '\n'), 5);
  // Without a terminal to ask, the file is appended to, numbered from 1 again.
  EXPECT_NE(Run({"track write"}).find("File Terrax.trk appended"), std::string::npos);
  EXPECT_EQ(FileText("Terrax.trk"), file + file);
}

TEST_F(ParticlesTest, InjectionPerInflowVolume) {
  Column();
  Run({"track ppervol 100", "step 10"});
  // Inflow through the fixed-pressure base only: q A t particles per volume.
  const double expected = kSeepage * 1.0 * Modes().fluid->Time() * 100;
  ASSERT_GT(expected, 20.0);
  const double made = TheParticleList().Count();
  EXPECT_NEAR(made, expected, 1.0 + 0.02 * expected);
  for (uint32_t i = 0; i < TheParticleList().Count(); ++i) {
    const Particle& p = *TheParticleList().At(i);
    // Each moves at most ten steps of 0.16 from the base.
    EXPECT_LT(p.current.position[2], 1.7);
  }
  // PIF faces limit injection to themselves: the top face makes no inflow.
  app.New();
  Column();
  Run({"track ppervol 100 pifface 10 41 42 43", "step 10"});
  EXPECT_EQ(TheParticleList().Count(), 0u);
}

TEST_F(ParticlesTest, SaveRestoreSaveIsByteIdentical) {
  Column();
  Run({"track 0.5 0.5 1 pcorder 2 ppervol 10 pifface 1 1 2 3", "track 0.5 0.5 9.9 notail", "step 20"});
  TheParticleList().At(0)->SetAqueousMoles(3, 0.5);
  TheParticleList().At(1)->SetAqueousMoles(2, 0.0);
  const uint32_t count = TheParticleList().Count();
  ASSERT_GT(count, 2u);
  Run({"save p1", "restore p1", "save p2"});
  EXPECT_EQ(UntimedSave(FileText("p1.sav")), UntimedSave(FileText("p2.sav")));
  ASSERT_EQ(TheParticleList().Count(), count);
  EXPECT_EQ(TheParticleList().Counter(), count);
  EXPECT_EQ(Settings().trackCount, 2);
  EXPECT_EQ(Settings().trackReal, 10.0);
  EXPECT_NE(ZoneFaceListHead(), nullptr);
  const Particle& p = *TheParticleList().At(0);
  EXPECT_EQ(p.GetAqueousMoles(3), 0.5);
  EXPECT_EQ(TheParticleList().At(1)->aqueous, nullptr);
  EXPECT_FALSE(TheParticleList().At(1)->active);
  ASSERT_NE(p.zone, nullptr);
  EXPECT_NE(std::find(p.zone->particles.begin(), p.zone->particles.end(), &p), p.zone->particles.end());
  // The particles go on moving after the restore.
  Run({"step 5"});
  EXPECT_GT(TheParticleList().Count(), count);
}

// A synthetic particle record of a file version: the id from 301, keepTail
// from 302, the aqueous flag from 304 (before it the list always follows).
TEST_F(ParticlesTest, RecordVersionGates) {
  Brick();
  for (int32_t version : {300, 301, 302, 304, 316}) {
    MemoryStream s;
    s.WriteU32(3);
    if (version >= 301) s.WriteU32(17);
    s.WriteF64(1.5);
    s.WriteU8(1);
    s.WriteU8(0);
    s.WriteF64(2.0);
    s.WriteF64(0.1);
    for (double v : {4.0, 0.5, 0.5, 0.5}) s.WriteF64(v);
    s.WriteU32(2);
    for (double t : {0.0, 3.0}) {
      s.WriteU32(1);
      for (double v : {t, 0.5, 0.5, t / 6}) s.WriteF64(v);
    }
    if (version >= 304) s.WriteU8(1);
    s.WriteU32(1);
    s.WriteU32(1);
    s.WriteU32(7);
    s.WriteF64(0.25);
    if (version >= 302) s.WriteU8(1);
    RestoreVersionGuard guard;
    CurrentRestoreVersions().program = version;
    Particle p;
    const uint32_t fresh = p.id;
    p.Restore(s);
    EXPECT_EQ(s.pos, s.bytes.size()) << version;
    EXPECT_EQ(p.id, version >= 301 ? 17u : fresh) << version;
    EXPECT_EQ(p.keepTail, version >= 302 ? 1 : 0) << version;
    EXPECT_EQ(p.GetAqueousMoles(7), 0.25) << version;
    EXPECT_EQ(p.track.size(), 2u);
    p.RemapPointers();
    EXPECT_EQ(p.zone, ZoneList().GetByIndex(3));

    // Cut short, or with a zone index past the zone list: the read error.
    for (size_t cut : {size_t{1}, size_t{20}, s.bytes.size() - 1}) {
      MemoryStream d;
      d.bytes = s.bytes.substr(0, cut);
      EXPECT_THROW(Particle().Restore(d), std::exception) << version << " " << cut;
    }
    MemoryStream far;
    far.bytes = s.bytes;
    far.bytes[0] = 99;
    EXPECT_THROW(Particle().Restore(far), std::exception);
  }
}

TEST_F(ParticlesTest, RemovalAndAqueousAmounts) {
  Brick();
  Run({"track line 0.5 0.5 0.5 1.5 1.5 1.5 2"});
  Particle* p = TheParticleList().At(0);
  EXPECT_THROW(p->SetAqueousMoles(1, -1.0), QJExcept);
  p->SetAqueousMoles(1, 2.0);
  p->SetAqueousMoles(1, 3.0);
  EXPECT_EQ(p->aqueous->size(), 1u);
  EXPECT_EQ(p->GetAqueousMoles(1), 3.0);
  EXPECT_EQ(p->GetAqueousMoles(2), 0.0);
  Zone* z = p->zone;
  EXPECT_EQ(z->DeleteParticles(), 1u);
  EXPECT_EQ(TheParticleList().Count(), 1u);
  Particle stray;
  EXPECT_THROW(TheParticleList().RemoveParticle(&stray), QJExcept);
  EXPECT_NE(Run({"pdelete range id 8"}).find("Deleted 1 particles."), std::string::npos);
  EXPECT_EQ(TheParticleList().Count(), 0u);
  // A deleted zone leaves its particles where they are, inactive, without a zone.
  Run({"track 0.5 0.5 0.5", "delete range id 1"});
  ASSERT_EQ(TheParticleList().Count(), 1u);
  EXPECT_EQ(TheParticleList().At(0)->zone, nullptr);
  EXPECT_FALSE(TheParticleList().At(0)->active);
  EXPECT_NE(Run({"track list"}).find("      0      1   0.00000e+00 inactive\n"), std::string::npos);
}

// Track points come from the list's pool: points given back by cleared or
// deleted tracks are taken again before the pool grows, and NEW frees it.
TEST_F(ParticlesTest, TrackPointsComeFromThePool) {
  TrackPointPool& pool = TheParticleList().Pool();
  ASSERT_EQ(pool.Blocks(), 0u);
  const size_t n = TrackPointPool::kBlockNodes + 10;
  {
    Track a(pool), b(pool);
    for (size_t i = 0; i < n; ++i) {
      TrackPoint t;
      t.time = static_cast<double>(i);
      (i % 2 ? a : b).push_back(t);
    }
    EXPECT_EQ(pool.Blocks(), 2u);
    EXPECT_EQ(pool.NodesInUse(), n);
    // Taken in turns, each track keeps its own points in order.
    double expected = 1.0;
    for (const TrackPoint& t : a) {
      EXPECT_EQ(t.time, expected);
      expected += 2.0;
    }
    EXPECT_EQ(a.size(), n / 2);
    EXPECT_EQ(a.front().time, 1.0);
    EXPECT_EQ(a.back().time, static_cast<double>(n - 1));
    a.clear();
    EXPECT_TRUE(a.empty());
    const size_t allocations = TestAllocations();
    for (size_t i = 0; i < n / 2; ++i) b.push_back(TrackPoint{});
    EXPECT_EQ(TestAllocations(), allocations);
    EXPECT_EQ(pool.Blocks(), 2u);
    // Refused while a track holds points.
    pool.Release();
    EXPECT_EQ(pool.Blocks(), 2u);
  }
  EXPECT_EQ(pool.NodesInUse(), 0u);
  // Particles give their points back when they are deleted.
  Column();
  Run({"track 0.5 0.5 1 notail", "track 0.5 0.5 2", "step 10"});
  const size_t held = TheParticleList().At(0)->track.size() + TheParticleList().At(1)->track.size();
  EXPECT_EQ(TheParticleList().Pool().NodesInUse(), held);
  EXPECT_EQ(Run({"pdelete"}).find("***"), std::string::npos);
  EXPECT_EQ(TheParticleList().Count(), 0u);
  EXPECT_EQ(TheParticleList().Pool().NodesInUse(), 0u);
  app.New();
  EXPECT_EQ(TheParticleList().Pool().Blocks(), 0u);
}

// Spread through a zone, the points fill the slabs across the flow evenly:
// five particles in a zone of upward flow lie in five different fifths of it.
TEST_F(ParticlesTest, UniformPointsFillTheSlabsAlongTheFlow) {
  Column();
  Run({"step 1", "track uniform 5 range id 1"});
  ASSERT_EQ(TheParticleList().Count(), 5u);
  bool slab[5] = {};
  for (uint32_t i = 0; i < 5; ++i) {
    const Particle& p = *TheParticleList().At(i);
    EXPECT_EQ(p.zone->Id(), 1u);
    slab[std::clamp(static_cast<int>(p.current.position[2] * 5), 0, 4)] = true;
  }
  for (bool b : slab) EXPECT_TRUE(b);
}

// In large strain a particle keeps its place in its deforming zone: under
// the simple shear u_x = g z of a brick, and of a wedge (by volume
// coordinates in its tetrahedra), it moves by g z.
TEST_F(ParticlesTest, LargeStrainParticlesRideWithTheirZones) {
  Run({"config fluid", "gen zone brick size 1 1 1", "gen zone wedge p0 2 0 0 size 1 1 1", "model elastic",
       "model fl_isotropic", "prop perm 1e-10 poros 0.3", "track 0.3 0.4 0.5", "track 2.2 0.4 0.3"});
  ASSERT_EQ(TheParticleList().Count(), 2u);
  const double dt = 0.5, rate = 0.2;  // g = rate dt = 0.1
  particle_track::KeepGridPositions();
  for (GridPoint* gp : GridPointList()) {
    gp->velocity[0] = rate * gp->position[2];
    gp->position[0] += dt * gp->velocity[0];
  }
  particle_track::LargeStrainUpdate(dt);
  const double expected[2][3] = {{0.35, 0.4, 0.5}, {2.23, 0.4, 0.3}};
  for (int k = 0; k < 2; ++k)
    for (int a = 0; a < 3; ++a)
      EXPECT_NEAR(TheParticleList().At(k)->current.position[a], expected[k][a], 1e-9) << k << " " << a;

  // The inverse brick map: the corners of a skewed brick and their images.
  const double corners[8][3] = {{0, 0, 0},   {2, 0, 0},   {0.5, 1, 0}, {0, 0, 1},
                                {2.5, 1, 0}, {0.5, 1, 1}, {2, 0, 1},   {2.5, 1, 1.5}};
  for (const auto& r :
       {std::array<double, 3>{0.25, 0.5, 0.75}, std::array<double, 3>{0, 1, 0}, std::array<double, 3>{1, 1, 1}}) {
    double p[3], back[3];
    particle_track::BrickMap(corners, r.data(), p);
    particle_track::SolveBrickCoordinates(corners, p, back);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(back[a], r[a], 1e-6);
  }
  const double flat[8][3] = {};
  double back[3];
  EXPECT_THROW(particle_track::SolveBrickCoordinates(flat, corners[1], back), QJExcept);
}

// The velocities gathered at once for the particles' zones and the zones
// around them are those of the sweep over every zone, to the last bit, on a
// grid of bricks and wedges, isotropic and anisotropic, with a null zone
// and partly saturated grid-points; grid-points far from the particles are
// left to their first use.
TEST_F(ParticlesTest, VelocitiesGatheredAtOnceAreTheSweep) {
  Run({"config fluid", "water density 1000", "gen zone brick size 6 2 2", "gen zone wedge p0 0 0 2 size 3 2 1",
       "model elastic", "model fl_isotropic", "property permeability 1e-10 porosity 0.3",
       "model fl_anisotropic range x 0 1", "property k1 2e-10 k2 1e-10 k3 5e-11 fdip 30 porosity 0.3 range x 0 1",
       "model fl_null range x 2 3 y 1 2 z 0 1", "set gravity 0 0 -10", "initial pp 1e5 grad 2e3 -1e3 -1e4",
       "initial fmodulus 1e4", "set mech off", "step 1", "track line 0.5 0.5 0.5 2.5 1.5 2.5 9", "track pcorder 2",
       "set track on"});
  for (GridPoint* gp : GridPointList())
    if (gp->position[1] == 0.0) gp->fluid->saturation = 0.6;
  BuildGpZoneIndex();
  particle_track::PostStep();
  particle_track::GatherParticleVelocities();
  std::vector<std::array<double, 4>> batch;
  std::vector<uint64_t> stamps;
  for (GridPoint* gp : GridPointList()) {
    const GpFluidData& f = *gp->fluid;
    batch.push_back({f.velocitySum[0], f.velocitySum[1], f.velocitySum[2], f.velocityWeight});
    stamps.push_back(f.velocityStamp);
  }
  particle_track::GatherAllVelocities();
  size_t i = 0, gathered = 0;
  for (GridPoint* gp : GridPointList()) {
    const GpFluidData& f = *gp->fluid;
    if (stamps[i] == f.velocityStamp) {
      ++gathered;
      for (int a = 0; a < 3; ++a) EXPECT_EQ(batch[i][a], f.velocitySum[a]) << gp->id;
      EXPECT_EQ(batch[i][3], f.velocityWeight) << gp->id;
    }
    ++i;
  }
  EXPECT_GT(gathered, 20u);
  EXPECT_LT(gathered, GridPointList().Count());
}

// Counts the active particles, each of which must lie in its zone.
int ActiveParticlesInTheirZones() {
  int active = 0;
  for (uint32_t i = 0; i < TheParticleList().Count(); ++i) {
    const Particle& p = *TheParticleList().At(i);
    if (!p.active) continue;
    ++active;
    EXPECT_TRUE(p.zone->IsInside(p.current.position)) << p.id;
  }
  return active;
}

// A deforming grid under seepage carries particles that sit on faces, edges
// and corners of its zones, and that lie in the seams two warped faces leave
// between their zones: every step ends with each particle inside its zone.
// The second run rides the particles while the flow is off.
TEST_F(ParticlesTest, LargeStrainKeepsParticlesInTheirDeformingZones) {
  const std::initializer_list<const char*> column = {"config fluid",
                                                     "gen zone brick size 2 2 3",
                                                     "model elastic",
                                                     "prop bulk 1e6 shear 3e5 density 2000",
                                                     "model fl_isotropic",
                                                     "prop perm 1e-9 poros 0.3",
                                                     "initial fmodulus 1e7",
                                                     "set gravity 0 0 -10",
                                                     "fix x y z range z -0.1 0.1",
                                                     "fix pp 1e5 range z -0.1 0.1",
                                                     "fix pp 0 range z 2.9 3.1",
                                                     "set large",
                                                     "set track on"};
  Run(column);
  const std::string sheared =
      Run({"apply sxz 3e4 range z 2.9 3.1", "apply szz -1e5 range z 2.9 3.1 x 0 1", "track plane 0 0 1 2 0 1 0 2 1 5 5",
           "track plane 0 0 2 2 0 2 0 2 2 5 5", "track line 0 0 0 2 2 3 7", "step 400"});
  EXPECT_EQ(sheared.find("***"), std::string::npos) << sheared;
  EXPECT_EQ(Settings().totalCycles, 400);
  EXPECT_GT(ActiveParticlesInTheirZones(), 30);
  // The top has moved by a good part of a zone.
  double most = 0.0;
  for (GridPoint* gp : GridPointList()) most = std::max(most, std::fabs(gp->displacement[0]));
  EXPECT_GT(most, 0.1);

  Fresh();
  Run(column);
  const std::string resumed = Run({"track plane 0.05 0.05 2.95 1.95 0.05 2.95 0.05 1.95 2.95 4 4", "set fluid off",
                                   "apply szz -1e5 range z 2.9 3.1 x 0 1", "step 100", "set fluid on", "step 100"});
  EXPECT_EQ(resumed.find("***"), std::string::npos) << resumed;
  EXPECT_GT(ActiveParticlesInTheirZones(), 4);
}

// A brick sheared at its top by a fixed velocity at a step of one second,
// with seepage, regeneration and the second order: the top moves 2e-4 a
// step (0.2 in all) and every particle ends in its zone.
TEST_F(ParticlesTest, LargeStrainShearAtAFixedVelocity) {
  const std::string out =
      Run({"config fluid", "gen zone brick size 4 4 6", "model elastic", "prop bulk 1e8 shear 5e7 density 2000",
           "model fl_isotropic", "prop perm 1e-7 poros 0.3", "initial fmodulus 1e4", "initial pp 1e5 grad 0 0 -1e4",
           "fix pp 1e5 range z -0.1 0.1", "fix pp 4e4 range z 5.9 6.1", "set large", "fix x y z range z -0.1 0.1",
           "fix x 2e-4 range z 5.9 6.1", "track uniform 2 regen", "track pcorder 2", "set track on", "set fluid dt 1",
           "step 1000"});
  EXPECT_EQ(out.find("***"), std::string::npos) << out;
  EXPECT_EQ(Settings().totalCycles, 1000);
  EXPECT_GT(ActiveParticlesInTheirZones(), 150);
  // Particles have crossed into other zones and regenerated behind.
  EXPECT_GT(TheParticleList().Count(), 250u);
  for (GridPoint* gp : GridPointList())
    if (gp->position[2] > 5.9) {
      EXPECT_NEAR(gp->displacement[0], 0.2, 1e-9);
    }
}

// A segment that leaves a zone along the edge between two warped faces,
// where neither face polygon holds its crossing, still finds its face.
TEST_F(ParticlesTest, ExitAlongTheSeamOfTwoWarpedFaces) {
  Run({"config fluid", "gen zone brick size 1 1 1", "model elastic", "model fl_isotropic", "prop perm 1e-10 poros 0.3",
       "set track on"});
  const double corners[8][3] = {{1, 3, 0},
                                {2, 3, 0},
                                {1, 4, 0},
                                {0.99998806705929966, 3.0000040216030097, 1.0002899080351169},
                                {2, 4, 0},
                                {0.99998807788701549, 4.0006953512287087, 1.0002900853651187},
                                {1.999999894265148, 3.0000040316700369, 1.000289708238479},
                                {1.9999998871348164, 4.0006992336888487, 1.0002898911299514}};
  Zone& zone = **ZoneList().begin();
  for (int k = 0; k < 8; ++k) std::copy(corners[k], corners[k] + 3, zone.Gp(k)->position);
  const double from[3] = {1.9999999991305859, 4.0000038975587957, 0.0077053559179342101};
  const double to[3] = {1.9999999991305859, 4.0000104822542033, 0.0098177576160401389};
  ASSERT_TRUE(zone.IsInside(from));
  ASSERT_NE(particle_track::CreateParticle(from, 1.0, 0.0, false, true, &zone), 0u);
  Particle& p = *TheParticleList().At(0);
  const double d[3] = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
  double exit[3], normal[3];
  ASSERT_LT(GetExitFace(zone, from, to, exit, normal, false), 0);
  ASSERT_NO_THROW(particle_track::Move(p, d));
  // No face of a zone that has not run is flagged as the grid's boundary:
  // the particle slides along the face and stays.
  EXPECT_TRUE(p.active);
  EXPECT_TRUE(zone.IsInside(p.current.position));
}

}  // namespace
