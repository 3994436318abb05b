// MODEL and PROPERTY as typed commands: model assignment over a range, the
// grid-point marks and view notices that follow it, property values with
// gradients and random deviations, and the thermal and fluid models.
#include "model/zone_model_fixture.h"

namespace {

constexpr uint32_t kModelChanged = 0x80000000u;
constexpr uint32_t kNullnessChanged = 0x80000004u;
constexpr uint32_t kPropertiesChanged = 0x2000000u;

double Prop(const Zone* z, const char* name) {
  double v = -1.0;
  EXPECT_TRUE(z->GetProperty(name, &v)) << name;
  return v;
}

TEST_F(ZoneModelTest, ModelGivesTheRangeItsModelAndTellsTheViews) {
  TwoBricks();
  Zone* a = FindZone(1);
  Zone* b = FindZone(2);
  EXPECT_EQ(Run({"model elastic"}), "Terrax>model elastic\n");
  EXPECT_EQ(a->ModelName().str(), "elastic");
  EXPECT_EQ(b->OverlayCount(), 2);
  // Zones without a model are not null zones: their nullness did not change.
  EXPECT_EQ(notices, (std::vector<uint32_t>{kModelChanged}));

  notices.clear();
  Run({"model null range x 1.2 2", "model m range id 2", "model mohr", "model n e"});
  EXPECT_EQ(notices, (std::vector<uint32_t>{kNullnessChanged, kNullnessChanged, kModelChanged, kNullnessChanged,
                                            kNullnessChanged}));
  EXPECT_EQ(a->ModelName().str(), "elastic");  // several names apply in turn, the last one stays
  EXPECT_EQ(b->ModelName().str(), "elastic");

  // Overlay codes: one overlay beside a neighbour that has both takes A; 0 takes none.
  Run({"model mohr overlay 1 range id 1"});
  EXPECT_NE(a->Tetra(0), nullptr);
  EXPECT_EQ(a->Tetra(1), nullptr);
  Run({"model mohr overlay -1 range id 2"});
  EXPECT_EQ(b->Tetra(0), nullptr);  // A is used by the neighbour: B
  EXPECT_NE(b->Tetra(1), nullptr);
  Run({"model elastic overlay 0"});
  EXPECT_EQ(a->OverlayCount() + b->OverlayCount(), 0);
  EXPECT_EQ(Run({"model null"}), "Terrax>model null\n");
  EXPECT_TRUE(a->IsNull() && b->IsNull() && a->OverlayCount() == 0);
}

TEST_F(ZoneModelTest, NullZonesLeaveTheirOwnGridPointsWithoutMechanicalState) {
  TwoBricks();
  Run({"model elastic"});
  for (GridPoint* gp : GridPointList()) {
    gp->mass = gp->stiffness = gp->areaSum = 2.0;
    gp->velocity[0] = gp->displacement[2] = gp->smallDisplacement[1] = 3.0;
    gp->unbalancedForce[1] = gp->appliedForce[0][0] = gp->appliedForce[1][2] = 4.0;
    gp->porePressure = 5.0;
  }
  Run({"model null range id 2"});
  for (GridPoint* gp : GridPointList()) {
    SCOPED_TRACE(gp->id);
    const bool alone = gp->position[0] > 1.5;  // only the null zone touches it
    EXPECT_EQ((gp->flags & NodeBase::kNoMechanicalZone) != 0, alone);
    const double kept = alone ? 0.0 : 1.0;
    EXPECT_EQ(gp->mass + gp->stiffness + gp->areaSum, 6.0 * kept);
    EXPECT_EQ(gp->velocity[0] + gp->displacement[2] + gp->smallDisplacement[1], 9.0 * kept);
    EXPECT_EQ(gp->unbalancedForce[1] + gp->appliedForce[0][0] + gp->appliedForce[1][2], 12.0 * kept);
    EXPECT_EQ(gp->porePressure, 5.0);  // fluid state is not mechanical
  }
  // A grid-point marked without a mechanical zone is no longer listed.
  std::string out = Run({"print gp position"});
  EXPECT_EQ(out.find("      9 ("), std::string::npos);
  EXPECT_NE(out.find("      5 ("), std::string::npos);
  Run({"model elastic"});
  for (GridPoint* gp : GridPointList()) EXPECT_EQ(gp->flags & NodeBase::kNoMechanicalZone, 0u);
}

// A model set on one zone by name marks the grid-points as MODEL does: a
// neighbour without a model is not null, so the shared face stays mechanical.
TEST_F(ZoneModelTest, AModelByNameMarksTheGridPointsAsModelDoes) {
  TwoBricks();
  Zone* second = FindZone(2);
  for (GridPoint* gp : GridPointList()) gp->velocity[0] = 3.0;
  second->SetModelByName("null");
  for (GridPoint* gp : GridPointList()) {
    SCOPED_TRACE(gp->id);
    const bool alone = gp->position[0] > 1.5;
    EXPECT_EQ((gp->flags & NodeBase::kNoMechanicalZone) != 0, alone);
    EXPECT_EQ(gp->velocity[0], alone ? 0.0 : 3.0);
  }
  second->SetModelByName("elastic");
  for (GridPoint* gp : GridPointList()) EXPECT_EQ(gp->flags & NodeBase::kNoMechanicalZone, 0u);
}

TEST_F(ZoneModelTest, ModelRefusesBadInput) {
  UnitBrick();
  struct Case {
    const char* line;
    const char* answer;
  };
  const Case cases[] = {
      {"model", "*** Missing parameter 1\n"},
      {"model foo", "*** This model name does not exist\n"},
      {"model elastic overlay 3", "*** Bad overlay code\n"},
      {"model elastic overlay -2", "*** Bad overlay code\n"},
      {"model elastic overlay", "*** Missing parameter 3\n"},
      {"model load x", "*** Not configured for CPPUDM \n"},
      {"model load", "*** Not configured for CPPUDM \n"},  // before the file name is read
      {"model mohr foo", "*** This model name does not exist\n"},
      {"model ?", "Checked against keywords...\nload null elastic mohr viscous\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run({c.line}), Transcript(c.line, c.answer));
  // The name before the bad one took effect.
  EXPECT_EQ(FindZone(1)->ModelName().str(), "mohr");
  Settings().cppudm = true;
  EXPECT_EQ(Run({"model load x", "model load"}),
            "Terrax>model load x\n*** Model libraries cannot be loaded\nTerrax>model load\n*** Missing parameter 2\n");
}

TEST_F(ZoneModelTest, AZoneWithoutAUsableOverlayIsReportedAndKeepsItsModel) {
  Zone* z = UnitBrick();
  for (int s : {3, 5, 6, 7}) z->Gp(s)->position[2] = 0.0;  // flattened
  EXPECT_EQ(Run({"model elastic"}), "Terrax>model elastic\n*** Warning!  Zone 1 has illegal geometry\n");
  EXPECT_EQ(z->ModelName().str(), "elastic");
  EXPECT_EQ(z->OverlayCount(), 0);
}

TEST_F(ZoneModelTest, PropertySetsModelPropertiesAndDensity) {
  TwoBricks();
  Zone* a = FindZone(1);
  Zone* b = FindZone(2);
  Run({"model mohr range id 1", "model elastic range id 2"});
  notices.clear();
  EXPECT_EQ(Run({"property bulk 1e8 shear 3e7", "property fric 30", "property de 2000", "property d 5"}),
            "Terrax>property bulk 1e8 shear 3e7\nTerrax>property fric 30\nTerrax>property de 2000\n"
            "Terrax>property d 5\n");
  EXPECT_EQ(Prop(a, "bulk"), 1e8);
  EXPECT_EQ(Prop(b, "shear"), 3e7);
  EXPECT_EQ(Prop(a, "friction"), 30.0);
  // "d" abbreviates the first property of the library that begins with it;
  // "de" abbreviates none, so it is the density.
  EXPECT_EQ(Prop(a, "dilation"), 5.0);
  EXPECT_EQ(a->Density(), 2000.0);
  EXPECT_EQ(b->Density(), 2000.0);
  EXPECT_EQ(notices, std::vector<uint32_t>(4, kPropertiesChanged));

  const char* const warning = "*** Warning - Property not available to any zone in range\n";
  EXPECT_EQ(Run({"property d 7 range id 2"}), Transcript("property d 7 range id 2", warning));
  EXPECT_EQ(Run({"property ten 1 range id 2"}), Transcript("property ten 1 range id 2", warning));
  Run({"model null"});
  EXPECT_EQ(Run({"property bulk 1"}), Transcript("property bulk 1", warning));
  EXPECT_EQ(Run({"property dens 3"}), "Terrax>property dens 3\n");  // a null zone still has a density
  EXPECT_EQ(b->Density(), 3.0);
}

TEST_F(ZoneModelTest, PropertyRefusesBadInputAndKeepsEarlierGroups) {
  TwoBricks();
  Run({"model elastic"});
  struct Case {
    const char* line;
    const char* answer;
  };
  const Case cases[] = {
      {"property", "*** Missing parameter 1\n"},
      {"property xyz 1", "*** Property bad, or does not correspond to model\n"},
      {"property densityx 1", "*** Property bad, or does not correspond to model\n"},
      {"property bulk", "*** Missing parameter 2\n"},
      {"property bulk 5 shear x", "*** Bad conversion parameter 4 (x)\n"},
      {"property bulk 1 gradient 1 2", "*** Missing parameter 6\n"},
      {"property ?", "Checked against keywords...\nbulk shear\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Run({c.line}), Transcript(c.line, c.answer));
  EXPECT_EQ(Prop(FindZone(2), "bulk"), 5.0);
}

TEST_F(ZoneModelTest, GradientsAndDeviationsGiveEachZoneItsValue) {
  TwoBricks();
  Run({"model elastic"});
  Zone* zones[2] = {FindZone(1), FindZone(2)};
  // Centroids (0.5, 0.5, 0.5) and (1.5, 0.5, 0.5).
  Run({"property bulk 10 gradient 1 2 3"});
  EXPECT_DOUBLE_EQ(Prop(zones[0], "bulk"), 13.0);
  EXPECT_DOUBLE_EQ(Prop(zones[1], "bulk"), 14.0);

  // Each zone draws its own numbers in zone order from the one generator.
  RandomSeed(7);
  Run({"property shear 100 gauss_dev 10"});
  RandomSeed(7);
  for (Zone* z : zones) EXPECT_DOUBLE_EQ(Prop(z, "shear"), 100.0 + 10.0 * RandomGauss());
  EXPECT_NE(Prop(zones[0], "shear"), Prop(zones[1], "shear"));

  // Both distributions with the deviation given last; the gradient first.
  RandomSeed(11);
  Run({"property shear 100 uniform_dev 4 gradient 0 0 2 gauss_dev 2"});
  RandomSeed(11);
  for (Zone* z : zones) {
    const double gauss = RandomGauss();
    const double uniform = RandomUniform();
    EXPECT_DOUBLE_EQ(Prop(z, "shear"), 100.0 + 1.0 + 2.0 * gauss + 2.0 * (2.0 * uniform - 1.0));
  }
  // The same seed gives the same values again.
  const double first = Prop(zones[1], "shear");
  RandomSeed(11);
  Run({"property shear 100 uniform_dev 4 gradient 0 0 2 gauss_dev 2"});
  EXPECT_EQ(Prop(zones[1], "shear"), first);

  // Zones out of range draw nothing.
  RandomSeed(3);
  Run({"property bulk 0 uniform_dev 1 range id 2"});
  RandomSeed(3);
  EXPECT_DOUBLE_EQ(Prop(zones[1], "bulk"), 2.0 * RandomUniform() - 1.0);
  EXPECT_DOUBLE_EQ(Prop(zones[0], "bulk"), 13.0);
}

TEST_F(ZoneModelTest, ThermalAndFluidModelsOfConfiguredModes) {
  TwoBricks();
  EXPECT_EQ(Run({"model th_iso"}), "Terrax>model th_iso\n*** This model name does not exist\n");
  EXPECT_FALSE(MatchPropertyName("cond"));
  ConfigureModes();
  Zone* a = FindZone(1);
  Zone* b = FindZone(2);
  notices.clear();
  Run({"model elastic th_iso range id 1", "model fl_iso"});
  EXPECT_EQ(notices, std::vector<uint32_t>(3, kModelChanged));
  // Every zone has its thermal record; only the range has the model.
  ASSERT_NE(b->thermal, nullptr);
  EXPECT_EQ(thermalModels.ZoneModel(*a), 1);
  EXPECT_EQ(thermalModels.ZoneModel(*b), 0);
  EXPECT_EQ(fluidModels.ZoneModel(*b), 1);
  for (GridPoint* gp : GridPointList()) {
    const bool alone = gp->position[0] > 1.5;
    EXPECT_EQ((gp->flags & NodeBase::kNoThermalZone) != 0, alone);
    EXPECT_EQ(gp->flags & NodeBase::kNoFluidZone, 0u);
    EXPECT_EQ(gp->flags & NodeBase::kNoMechanicalZone, 0u);  // a zone without a model is not null
  }

  String full;
  EXPECT_TRUE(MatchPropertyName("spe", &full));
  EXPECT_EQ(full.str(), "spec_heat");
  EXPECT_TRUE(MatchPropertyName("perm", &full));
  EXPECT_EQ(full.str(), "permeability");

  // The mechanical model first, then the thermal, then the fluid model.
  EXPECT_EQ(Run({"property cond 3 perm 1e-10 bulk 5"}), "Terrax>property cond 3 perm 1e-10 bulk 5\n");
  EXPECT_EQ(Prop(a, "conductivity"), 3.0);
  EXPECT_EQ(Prop(b, "permeability"), 1e-10);
  EXPECT_EQ(Prop(a, "bulk"), 5.0);
  EXPECT_EQ(b->Model(), nullptr);
  EXPECT_EQ(Run({"property thexp 1 range id 2"}),
            "Terrax>property thexp 1 range id 2\n*** Warning - Property not available to any zone in range\n");

  // Zone::SetProperty takes the same road by full name.
  EXPECT_TRUE(a->SetProperty("spec_heat", 7.0));
  EXPECT_EQ(thermalModels.Record(*a)->values[1], 7.0);
  EXPECT_TRUE(a->SetProperty("shear", 2.0));
  EXPECT_EQ(Prop(a, "shear"), 2.0);
  EXPECT_FALSE(b->SetProperty("spe", 1.0));  // full names only
  double v = 0.0;
  EXPECT_TRUE(a->GetNamedProperty("porosity", &v));

  // The fluid model null clears the pore pressure of grid-points it leaves alone.
  for (GridPoint* gp : GridPointList()) gp->porePressure = 1.0;
  Run({"model fl_null range id 2"});
  for (GridPoint* gp : GridPointList()) EXPECT_EQ(gp->porePressure, gp->position[0] > 1.5 ? 0.0 : 1.0);
}

}  // namespace
