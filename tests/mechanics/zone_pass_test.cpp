// The zone stress pass: null zones, rigid rotation in small and large
// strain, the mixed volumetric treatment, pore pressure around the model
// call, model errors and illegal geometry.
#include <cstring>
#include <new>
#include <vector>

#include "mechanics/cycle_fixture.h"
#include "mechanics/step_chunks.h"
#include "model/module_doubles.h"

namespace {

// A model that records what it is handed and returns a fixed stress change.
class ProbeModel final : public ConstitutiveModel {
 public:
  ProbeModel() : ConstitutiveModel(77) {}
  const char* Name() const override { return "probe"; }
  const char* Title() const override { return "Probe"; }
  const char* const* Properties() const override {
    static const char* const none[] = {nullptr};
    return none;
  }
  const char* const* States() const override { return Properties(); }
  double GetPropertyByIndex(int) const override { return 0.0; }
  std::unique_ptr<ConstitutiveModel> Clone() const override {
    return std::unique_ptr<ConstitutiveModel>(new (std::nothrow) ProbeModel(*this));
  }
  double StiffnessModulus() const override { return 1e6; }
  double ShearModulus() const override { return 1e6; }
  int Version() const override { return 1; }
  bool SetPropertyByIndex(int, double) override { return false; }
  bool Copy(const ConstitutiveModel&) override { return true; }
  const char* Initialize(uint32_t, ModelState&) override { return nullptr; }
  const char* UpdateStress(uint32_t dims, ModelState& s) override {
    ++calls;
    seen = s;
    seenDims = dims;
    if (error) return error;
    s.stress[0] += 10.0;
    s.state = 0x12345;
    return nullptr;
  }
  const char* SaveRestore(ModelSaveObject&) override { return nullptr; }

  static inline int calls = 0;
  static inline ModelState seen;
  static inline uint32_t seenDims = 0;
  static inline const char* error = nullptr;
};

class ZonePassTest : public CycleTest {
 protected:
  Zone* zone = nullptr;
  void SetUp() override {
    CycleTest::SetUp();
    zone = UnitBrick();
    Assign(zone, "elastic", {{"bulk", 2e6}, {"shear", 1e6}}, 1000);
    Settings().timestep = 1.0;
    ASSERT_TRUE(zone->CheckBeforeCycle(interp));
  }
  void SetStress(const double s[6]) {
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 6; ++i) zone->Tetra(o)[k].stress[i] = s[i];
  }
  void ExpectStress(const double s[6], double tolerance) {
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < 5; ++k)
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(zone->Tetra(o)[k].stress[i], s[i], tolerance) << o << k << i;
  }
  // A rigid rotation about the z axis through the centroid.
  void Rotate(double omega) {
    for (GridPoint* gp : GridPointList()) {
      gp->velocity[0] = -omega * (gp->position[1] - 0.5);
      gp->velocity[1] = omega * (gp->position[0] - 0.5);
      gp->velocity[2] = 0.0;
    }
  }
  void ProbeZone() {
    zone->SetModel(std::make_unique<ProbeModel>());
    ProbeModel::calls = 0;
    ProbeModel::error = nullptr;
  }
};

TEST_F(ZonePassTest, NullZoneGivesNoForceAndKeepsItsStress) {
  const double s[6] = {-5, -6, -7, 1, 2, 3};
  SetStress(s);
  // The model alone is replaced: the tetrahedra stay with their stresses.
  zone->SetModel(ConstitutiveModel::FindByMatch("null")->Clone());
  for (GridPoint* gp : GridPointList()) gp->velocity[0] = gp->position[0];
  ZoneStressPass();
  for (GridPoint* gp : GridPointList())
    for (int i = 0; i < 3; ++i) EXPECT_EQ(gp->unbalancedForce[i], 0.0);
  ExpectStress(s, 0.0);
}

TEST_F(ZonePassTest, UniformStressGivesBalancedForcesOnTheFaces) {
  // sxx = -1 in a unit cube: the faces x = 0 and x = 1 carry 1 each, pushed outward.
  const double s[6] = {-1, 0, 0, 0, 0, 0};
  SetStress(s);
  ZoneStressPass();
  double sum[3] = {0, 0, 0};
  for (GridPoint* gp : GridPointList()) {
    for (int i = 0; i < 3; ++i) sum[i] += gp->unbalancedForce[i];
    EXPECT_NEAR(gp->unbalancedForce[0], gp->position[0] == 0.0 ? -0.25 : 0.25, 1e-15);
    EXPECT_NEAR(gp->forceSum, 0.25, 1e-15);
  }
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(sum[i], 0.0, 1e-15);
}

TEST_F(ZonePassTest, RigidRotationInSmallStrainLeavesTheStress) {
  const double s[6] = {-100, -50, -20, 10, 5, 2};
  SetStress(s);
  Rotate(0.01);
  ZoneStressPass();
  ExpectStress(s, 1e-12);
  EXPECT_EQ(zone->Density(), 1000.0);
}

TEST_F(ZonePassTest, RigidRotationInLargeStrainRotatesTheStress) {
  Settings().largeStrain = true;
  // Without stiffness: the velocities of a finite rotation, taken at the
  // mid-step positions, carry a second-order strain that is not under test.
  zone->Model()->SetPropertyValue("bulk", 0.0);
  zone->Model()->SetPropertyValue("shear", 0.0);
  const double s[6] = {-100, -50, -20, 10, 5, 2};
  SetStress(s);
  const double omega = 1e-5;  // dt = 1
  Rotate(omega);
  ZoneStressPass();
  // The spin about z is -omega: s' = s + (w s - s w) to first order.
  const double w = -omega;
  const double want[6] = {s[0] + 2 * s[3] * w,      s[1] - 2 * s[3] * w, s[2],
                          s[3] + (s[1] - s[0]) * w, s[4] + s[5] * w,     s[5] - s[4] * w};
  ExpectStress(want, 1e-9);
  EXPECT_NEAR(zone->Density(), 1000.0, 1e-6);
}

TEST_F(ZonePassTest, UniformVolumetricStrainIsNotChangedByTheMixedTreatment) {
  ProbeZone();
  for (GridPoint* gp : GridPointList())
    for (int i = 0; i < 3; ++i) gp->velocity[i] = -1e-3 * gp->position[i];
  ZoneStressPass();
  ASSERT_EQ(ProbeModel::calls, 10);
  EXPECT_EQ(ProbeModel::seenDims, 3u);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(ProbeModel::seen.strain[i], -1e-3, 1e-15);
  for (int i = 3; i < 6; ++i) EXPECT_NEAR(ProbeModel::seen.strain[i], 0.0, 1e-15);
  EXPECT_EQ(ProbeModel::seen.tetIndex, 9);
  EXPECT_EQ(ProbeModel::seen.tetCount, 10);
  EXPECT_EQ(ProbeModel::seen.overlayCount, 2);
  EXPECT_DOUBLE_EQ(ProbeModel::seen.zoneVolume, 1.0);
  EXPECT_EQ(ProbeModel::seen.density, 1000.0);
  EXPECT_EQ(ProbeModel::seen.timeStep, 1.0);
  EXPECT_EQ(ProbeModel::seen.hystFactor, -1.0);
  // The state word goes back as its low 16 bits.
  EXPECT_EQ(zone->Tetra(1)[4].state, 0x2345);
}

TEST_F(ZonePassTest, PorePressureIsAddedForTheModelAndTakenOffAfter) {
  ProbeZone();
  Settings().porePressure = true;
  for (GridPoint* gp : GridPointList()) gp->porePressure = 100.0;
  const double s[6] = {-500, -400, -300, 0, 0, 0};
  SetStress(s);
  ZoneStressPass();
  EXPECT_EQ(ProbeModel::seen.porePressure, 100.0);
  EXPECT_EQ(ProbeModel::seen.stress[0], -500 + 100);  // what the model is handed
  EXPECT_EQ(ProbeModel::seen.stress[1], -400 + 100);
  // Stored: the model's result less p, then the zone-mean pressure.
  const double mean = (-490.0 - 400.0 - 300.0) / 3.0;
  const double want[6] = {
      -490 - (-490 - 400 - 300) / 3.0 + mean, -400 - (-1190.0) / 3.0 + mean, -300 - (-1190.0) / 3.0 + mean, 0, 0, 0};
  ExpectStress(want, 1e-9);
}

TEST_F(ZonePassTest, ModelErrorEndsStepWithItsText) {
  ProbeZone();
  ProbeModel::error = "Probe refuses this increment";
  const double s[6] = {-5, -6, -7, 0, 0, 0};
  SetStress(s);
  try {
    ZoneStressPass();
    FAIL() << "no exception";
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.Text(), "Probe refuses this increment");
  }
  ExpectStress(s, 0.0);  // the tetrahedron keeps the stress it had
  // Through STEP the run ends with the text and without the end line.
  const std::string out = Run({"step 3"});
  EXPECT_NE(out.find("*** Probe refuses this increment\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("Ending at:"), std::string::npos);
}

TEST_F(ZonePassTest, TetrahedronWithoutVolumeIsIllegalGeometry) {
  zone->Tetra(1)[2].volume = 0.0;
  try {
    ZoneStressPass();
    FAIL() << "no exception";
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Illegal geometry in zone 1");
  }
  // A collapsed zone is found when the cycle is prepared.
  FindGridpoint(8)->position[2] = -1.0;
  const std::string out = Run({"step 1"});
  EXPECT_NE(out.find("*** Illegal geometry in zone 1\n"), std::string::npos) << out;
}

TEST_F(ZonePassTest, HystereticDampingHandsItsFactorToTheModel) {
  ProbeZone();
  zone->damping = std::make_unique<HystDamping>();
  const double parameters[4] = {1.0, -3.0, 0.0, 0.0};
  zone->damping->SetParameters(HystDamping::kDefault, parameters);
  zone->dampingOn = 1;
  for (GridPoint* gp : GridPointList()) gp->velocity[0] = 1e-4 * gp->position[1];
  ZoneStressPass();
  EXPECT_GE(ProbeModel::seen.hystFactor, 0.0);
  EXPECT_LE(ProbeModel::seen.hystFactor, 1.0);
  EXPECT_EQ(ProbeModel::seen.hystFactor, zone->damping->Factor());
  zone->dampingOn = 0;
  ZoneStressPass();
  EXPECT_EQ(ProbeModel::seen.hystFactor, -1.0);
}

TEST_F(ZonePassTest, MultisteppedZoneIsUpdatedEveryFourthStepWithFourTimesTheStep) {
  ProbeZone();
  auto dynamic = std::make_unique<SteppedDynamic>();
  dynamic->settings.multistepping = true;
  TheModules().Add(std::move(dynamic));
  zone->dynamicMultiplier = std::make_unique<double>(4.0);
  for (GridPoint* gp : GridPointList()) gp->velocity[0] = 1e-3 * gp->position[0];
  std::vector<int> updated;
  for (int step = 1; step <= 9; ++step) {
    Settings().totalCycles = step;
    const int before = ProbeModel::calls;
    ZoneStressPass();
    if (ProbeModel::calls != before) updated.push_back(step);
  }
  EXPECT_EQ(updated, (std::vector<int>{1, 5, 9}));
  EXPECT_NEAR(ProbeModel::seen.strain[3], 0.0, 1e-15);
  // The mixed strain of a uniform stretch along x with h = 4 dt.
  EXPECT_NEAR(ProbeModel::seen.strain[0], 4e-3, 1e-15);
}

}  // namespace

namespace {

// Every stress, state and grid-point velocity, force and position.
std::vector<double> StepState() {
  std::vector<double> state;
  for (Zone* zone : ZoneList())
    for (int o = 0; o < 2; ++o)
      for (int k = 0; k < zone->TetraPerOverlay(); ++k) {
        const ZoneTetra& t = zone->Tetra(o)[k];
        state.insert(state.end(), t.stress, t.stress + 6);
        state.push_back(t.state);
      }
  for (GridPoint* gp : GridPointList()) {
    state.insert(state.end(), gp->velocity, gp->velocity + 3);
    state.insert(state.end(), gp->unbalancedForce, gp->unbalancedForce + 3);
    state.insert(state.end(), gp->position, gp->position + 3);
    state.push_back(gp->forceSum);
  }
  return state;
}

}  // namespace

// The baseline kernels and the AVX2 ones give the same bits, and a run
// repeated gives the same bits again: elastic, Mohr-Coulomb yielding, large
// strain and stiffness-proportional damping through the general paths.
TEST_F(CycleTest, KernelLevelsGiveTheSameBits) {
  if (!SetKernelLevel(KernelLevel::kAvx2)) GTEST_SKIP() << "the processor lacks AVX2";
  struct Case {
    const char* what;
    std::vector<const char*> lines;
  };
  const char* grid[] = {
      "gen zone brick size 3 4 5", "fix x range x -0.1 0.1", "fix x range x 2.9 3.1", "fix y range y -0.1 0.1",
      "fix y range y 3.9 4.1",     "fix z range z -0.1 0.1", "set gravity 10"};
  const Case cases[] = {
      {"elastic", {"model elastic", "prop bulk 5e7 shear 3e7 density 2000", "step 40"}},
      {"mohr", {"model mohr", "prop bulk 5e7 shear 3e7 density 2000 cohesion 1e3 friction 10 tension 1e10", "step 40"}},
      {"large",
       {"model mohr", "prop bulk 5e7 shear 3e7 density 2000 cohesion 1e3 friction 10", "set large", "step 40"}},
      {"fixed velocity",
       {"model elastic", "prop bulk 5e7 shear 3e7 density 2000", "fix z 1e-4 range z 4.9 5.1",
        "ini xvel 1e-5 range z 2.9 5.1", "step 40"}},
      {"wedges beside the bricks",
       {"gen zone wedge size 2 2 2 p0 0 0 -3 p1 2 0 -3 p2 0 2 -3 p3 0 0 -1", "fix x y z range z -3.1 -2.9",
        "model mohr", "prop bulk 5e7 shear 3e7 density 2000 cohesion 1e3 friction 10 tension 1e10", "step 40"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<double> runs[3];
    const KernelLevel levels[3] = {KernelLevel::kBaseline, KernelLevel::kAvx2, KernelLevel::kAvx2};
    for (int r = 0; r < 3; ++r) {
      Reset();
      ASSERT_TRUE(SetKernelLevel(levels[r]));
      for (const char* line : grid) Run({line});
      for (const char* line : c.lines) Run({line});
      runs[r] = StepState();
    }
    SetKernelLevel(KernelLevel::kAvx2);
    ASSERT_GT(runs[0].size(), 1000u);
    ASSERT_EQ(runs[0].size(), runs[1].size());
    EXPECT_EQ(std::memcmp(runs[0].data(), runs[1].data(), runs[0].size() * sizeof(double)), 0);
    EXPECT_EQ(std::memcmp(runs[1].data(), runs[2].data(), runs[1].size() * sizeof(double)), 0);
    double moved = 0.0;
    for (GridPoint* gp : GridPointList()) moved += std::fabs(gp->velocity[2]);
    EXPECT_GT(moved, 0.0);
  }
}

namespace {

// Adds a force to every grid-point at the callback point before the zone pass.
class ForceBeforeZones final : public StepParticipant {
 public:
  explicit ForceBeforeZones(double force) : force_(force) {}
  void Callback(int point) override {
    if (point != kCallbackBeforeZones) return;
    for (GridPoint* gp : GridPointList()) gp->unbalancedForce[0] += force_;
  }
  bool HasCallback(int point) const override { return point == kCallbackBeforeZones; }

 private:
  double force_;
};

using StepSumsTest = CycleTest;

// The zone pass starts the step's force sums itself: nothing of the last
// step's sums survives, neither at the grid-points of null zones nor after a
// pass stopped by an error; a callback before the pass still adds its forces.
TEST_F(StepSumsTest, ThePassStartsTheForceSums) {
  auto build = [&] {
    Reset();
    for (const char* line : {"gen zone brick size 3 1 1", "model elastic", "prop bulk 5e7 shear 3e7 density 2000",
                             "model null range x 2 3", "fix z range z -0.1 0.1", "set gravity 10"})
      Run({line});
    ASSERT_TRUE(Cycle::Prepare(false, interp, true));
    for (GridPoint* gp : GridPointList()) {
      gp->unbalancedForce[0] = gp->unbalancedForce[1] = gp->unbalancedForce[2] = 123.0;
      gp->forceSum = 5.0;
    }
  };
  auto forces = [] {
    std::vector<double> f;
    for (GridPoint* gp : GridPointList()) {
      f.insert(f.end(), gp->unbalancedForce, gp->unbalancedForce + 3);
      f.push_back(gp->forceSum);
    }
    return f;
  };

  build();
  for (int i = 0; i < 3; ++i) Cycle::Step(interp);
  const std::vector<double> plain = forces();
  for (GridPoint* gp : GridPointList())
    if (gp->position[0] > 2.5) {  // grid-points of the null zone alone
      EXPECT_EQ(gp->unbalancedForce[0], 0.0) << gp->id;
      EXPECT_EQ(gp->forceSum, 0.0) << gp->id;
    }

  // The sums zeroed before the pass, as with a callback adding nothing: the same bits.
  build();
  interp.TheModel().Participants().Add(std::make_unique<ForceBeforeZones>(0.0));
  for (int i = 0; i < 3; ++i) Cycle::Step(interp);
  EXPECT_EQ(forces(), plain);

  // A callback's forces are kept.
  build();
  interp.TheModel().Participants().Add(std::make_unique<ForceBeforeZones>(7.0));
  Cycle::Step(interp);
  for (GridPoint* gp : GridPointList())
    if (gp->position[0] > 2.5) EXPECT_EQ(gp->unbalancedForce[0], 7.0) << gp->id;

  // A pass stopped by an error: the grid-points it did not reach have zero sums.
  build();
  Zone* second = nullptr;
  for (Zone* zone : ZoneList())
    if (zone->Id() == 2) second = zone;
  ASSERT_NE(second, nullptr);
  second->Tetra(0)[0].volume = 0.0;
  EXPECT_THROW(ZoneStressPass(true), QJExcept);
  for (GridPoint* gp : GridPointList())
    if (gp->position[0] > 1.5) {
      EXPECT_EQ(gp->unbalancedForce[0], 0.0) << gp->id;
      EXPECT_EQ(gp->forceSum, 0.0) << gp->id;
    }
}

// The step's packed arrays follow the grid: after zones are added (merging
// onto grid-points that exist) and deleted between steps, each zone's corner
// places name its own grid-points and the grid-points stand in list order.
TEST_F(StepSumsTest, PackedArraysFollowTheGridBetweenSteps) {
  auto expectLaidOut = [](const char* when) {
    const StepArrays& a = CurrentStepArrays();
    ASSERT_EQ(a.gps.size(), GridPointList().Count()) << when;
    size_t i = 0;
    for (GridPoint* gp : GridPointList()) EXPECT_EQ(a.gps[i++], gp) << when;
    ASSERT_EQ(a.corners.size(), ZoneList().Count() * size_t{kZoneSlots}) << when;
    const uint32_t* corner = a.corners.data();
    for (Zone* zone : ZoneList()) {
      for (int k = 0; k < zone->GpCount(); ++k)
        EXPECT_EQ(a.gps[corner[k]], zone->Gp(k)) << when << " zone " << zone->Id();
      corner += kZoneSlots;
    }
  };
  const char* const kProps = "prop bulk 5e7 shear 3e7 density 2000";
  for (const char* line :
       {"gen zone brick size 2 2 2", "model elastic", kProps, "fix z range z -0.1 0.1", "set gravity 10", "step 3"})
    Run({line});
  expectLaidOut("first");
  for (const char* line :
       {"gen zone brick size 2 2 1 p0 0 0 2 p1 2 0 2 p2 0 2 2 p3 0 0 3", "model elastic", kProps, "step 3"})
    Run({line});
  expectLaidOut("added");
  for (const char* line : {"delete range z 0 1 x 0 1 y 0 1", "step 3"}) Run({line});
  expectLaidOut("deleted");
  EXPECT_EQ(ZoneList().Count(), 11u);
}

}  // namespace
