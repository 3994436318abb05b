// The zone and grid-point intrinsics on small grids built directly: states
// through ZOLT files (and files that do not hold a sound state), pointers
// to zones and grid-points removed since, and the refusals of the sets.
#include <cstdio>
#include <string>

#include "../base/temp_dir.h"
#include "cmodels/constitutive_model.h"
#include "model/grid.h"
#include "model/zone.h"
#include "model/zone_shapes.h"
#include "zolt/zolt_fixture.h"
#include "zolt/zolt_intrinsics.h"
#include "zolt/zolt_model_pointers.h"

namespace {

class ZoneIntrinsicsTest : public ZoltFixture {
 protected:
  ZoneIntrinsicsTest() {
    InstallZoltZoneIntrinsics();
    ClearGrid();
    a = zone_shapes::Shape(kBrick);
    b = zone_shapes::Shape(kBrick, 1.0, 3.0);
    w = zone_shapes::Shape(kWedge, 1.0, 6.0);
    for (Zone* z : {a, b, w}) z->SetModelByName("elastic");
  }
  ~ZoneIntrinsicsTest() override {
    SetZoltIntrinsicSet(2, nullptr);
    SetZoltIntrinsicSet(3, nullptr);
    ClearGrid();
    std::remove(kFile);
  }
  static constexpr const char* kFile = "zone_intrinsics_test.bin";
  // The tests run side by side in separate processes: each writes its file
  // in a folder of its own.
  TempDir folder;
  Zone* a = nullptr;
  Zone* b = nullptr;
  Zone* w = nullptr;
};

TEST_F(ZoneIntrinsicsTest, ZoneStateThroughAFileRestoresModelStressesAndStates) {
  a->SetModelByName("mohr");
  a->SetProperty("friction", 30.0);
  a->SetStress(-5.0, 4);
  a->SetTetraState(3);
  a->SetDensity(1800.0);
  a->SetGroupByName("wall");
  a->dynamicMultiplier = std::make_unique<double>(4.0);
  EXPECT_EQ(ValueOf({"s = open('zone_intrinsics_test.bin', 1, 0)", "x = z_statesave(find_zone(1))", "c = close"}),
            "x = 0\n");
  EXPECT_EQ(ValueOf({"s = open('zone_intrinsics_test.bin', 0, 0)", "x = z_staterest(find_zone(2))", "c = close"}),
            "x = 0\n");
  ASSERT_NE(b->Model(), nullptr);
  EXPECT_STREQ(b->Model()->Name(), "mohr");
  double friction = 0.0;
  EXPECT_TRUE(b->GetProperty("friction", &friction));
  EXPECT_EQ(friction, 30.0);
  EXPECT_EQ(b->GetStress(4), -5.0);
  EXPECT_EQ(b->GetStress(5), 0.0);
  EXPECT_EQ(b->GetState(nullptr, false), 3);
  EXPECT_EQ(b->Density(), 1800.0);
  EXPECT_EQ(b->GroupName(), String("wall"));
  ASSERT_TRUE(b->dynamicMultiplier);
  EXPECT_EQ(*b->dynamicMultiplier, 4.0);
  EXPECT_EQ(b->OverlayCount(), a->OverlayCount());
}

TEST_F(ZoneIntrinsicsTest, GridPointStateThroughAFile) {
  GridPoint* from = a->Gp(1);
  from->velocity[2] = 1.5;
  from->displacement[0] = -2.0;
  from->porePressure = 7.0;
  from->dampingKind = kCombinedDamping;
  EXPECT_EQ(ValueOf({"s = open('zone_intrinsics_test.bin', 1, 0)", "x = gp_statesave(z_gp(find_zone(1), 2))",
                     "c = close", "s = open('zone_intrinsics_test.bin', 0, 0)",
                     "x = x + gp_staterest(z_gp(find_zone(2), 8))", "c = close"}),
            "x = 0\n");
  const GridPoint* to = b->Gp(7);
  EXPECT_EQ(to->velocity[2], 1.5);
  EXPECT_EQ(to->displacement[0], -2.0);
  EXPECT_EQ(to->porePressure, 7.0);
  EXPECT_EQ(to->dampingKind, static_cast<uint32_t>(kCombinedDamping));
  EXPECT_EQ(to->position[0], 4.0);  // the position is not part of the state
}

TEST_F(ZoneIntrinsicsTest, AStateThatDoesNotFitItsTablesChangesNothing) {
  // Zone heads written by hand: density 9, group 'g', brick, overlay counts,
  // model flag and property count, thermal, fluid and dynamic flags; then
  // the model record (elastic, type 2, has two properties) when flagged.
  const struct {
    const char* records;
    const char* error;  // "" : the read stops with the file's code
  } kCases[] = {
      {"h(4) = 3", "Model read error in ZoltIO"},           // not 0 nor 5 tetrahedra
      {"h(6) = 0", "Model read error in ZoltIO"},           // property count of no model
      {"h(8) = 1", "Model read error in ZoltIO"},           // thermal without thermal tables
      {"m(1) = 99", "Model read error in ZoltIO"},          // no such model type
      {"m(2) = 3", "Model read error in ZoltIO"},           // count unlike the model's
      {"h(3) = 1", "Zone type mismatch in ZoltIO"},         // a wedge's state
      {"h(5) = 2", "Model read error in ZoltIO"},           // a flag that is no flag
      {"n = 1", ""},                                        // the tetrahedra are missing
      {"h(1) = 'dense'", "Bad floating point conversion"},  // a text for the density
  };
  Run({"define arrays", "array h(10)", "array m(4)", "array t(7)", "end"});
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.records);
    const double before = b->GetStress(0);
    const std::string out = Run({"define fn",
                                 "n = 5",
                                 "h(1) = 9.0",
                                 "h(2) = 'g'",
                                 "h(3) = 0",
                                 "h(4) = 5",
                                 "h(5) = 0",
                                 "h(6) = 1",
                                 "h(7) = 2",
                                 "h(8) = 0",
                                 "h(9) = 0",
                                 "h(10) = 0",
                                 "m(1) = 2",
                                 "m(2) = 2",
                                 "m(3) = 1e8",
                                 "m(4) = 5e7",
                                 "loop k (1, 6)",
                                 "t(k) = -1.0",
                                 "end_loop",
                                 "t(7) = 0",
                                 c.records,
                                 "s = open('zone_intrinsics_test.bin', 1, 0)",
                                 "s = write(h, 10)",
                                 "s = write(m, 4)",
                                 "loop k (1, n)",
                                 "s = write(t, 7)",
                                 "end_loop",
                                 "c = close",
                                 "s = open('zone_intrinsics_test.bin', 0, 0)",
                                 "x = z_staterest(find_zone(2))",
                                 "c = close",
                                 "end",
                                 "fn",
                                 "print x"});
    if (*c.error) {
      EXPECT_EQ(Error(out), c.error) << out;
    } else {
      EXPECT_EQ(Error(out), "");
      EXPECT_NE(out.find("x = -1\n"), std::string::npos) << out;
    }
    Run({"define shut", "c = close", "end", "shut"});
    EXPECT_EQ(b->Density(), 0.0);
    EXPECT_EQ(b->GetGroup(), nullptr);
    EXPECT_STREQ(b->Model()->Name(), "elastic");
    EXPECT_EQ(b->GetStress(0), before);
  }
}

TEST_F(ZoneIntrinsicsTest, PointersToRemovedZonesAndGridPointsAnswerNull) {
  Run({"define keep", "z = find_zone(2)", "g = z_gp(find_zone(2), 8)", "h = z_gp(find_zone(1), 1)", "end", "keep"});
  DeleteZone(b);
  // The freed zone's memory goes to the next zone of the same size.
  zone_shapes::Shape(kBrick, 1.0, 9.0);
  EXPECT_EQ(Error(Run({"define fn", "x = z_id(z)", "end", "fn"})), "Null pointer as first argument to zone intrinsic");
  EXPECT_EQ(ValueOf({"x = gp_id(h)"}), "x = 1\n");
  // The removed zone's grid-point goes too.
  GridPoint* lone = nullptr;
  for (GridPoint* g : GridPointList())
    if (g->id == 16) lone = g;
  if (lone) {
    GridPointList().Remove(lone);
    delete lone;
  }
  EXPECT_EQ(Error(Run({"define fn", "x = gp_xpos(g)", "end", "fn"})),
            "Null pointer as first argument to gridpoint intrinsic");
}

// Positions set by a function move the grid-point in the nearest-object
// look-ups too.
TEST_F(ZoneIntrinsicsTest, NearestLookUpsFollowPositionsSetByAFunction) {
  EXPECT_EQ(ValueOf({"x = gp_id(gp_near(50, 0, 0)) + 100 * z_id(z_near(50, 0, 0))"}), "x = 318\n");
  EXPECT_EQ(ValueOf({"g = z_gp(find_zone(1), 1)", "gp_xpos(g) = 50", "x = gp_id(gp_near(50, 0, 0))"}), "x = 1\n");
  // The first zone's centroid moved 50 / 8 along x, to (6.75, 0.5, 0.5).
  EXPECT_EQ(ValueOf({"x = z_id(z_near(6.75, 0.5, 0.5))"}), "x = 1\n");
}

TEST_F(ZoneIntrinsicsTest, IndicesPastTheZoneTypeAreRefused) {
  const struct {
    const char* line;
    const char* answer;
  } kCases[] = {
      {"x = gp_id(z_gp(find_zone(3), 6))", "x = 22\n"},
      {"x = z_gp(find_zone(3), 7)", "Gp index out of range"},
      {"x = z_facesize(find_zone(3), 2)", "x = 0\n"},
      {"x = z_facesize(find_zone(3), 5)", "x = 3\n"},
      {"x = z_facegp(find_zone(3), 5, 4)", "Face vertex index out of range"},
      {"x = z_facegp(find_zone(3), 2, 1)", "Face vertex index out of range"},
      {"x = z_facegp(find_zone(1), 0, 1)", "Face index out of range"},
      {"x = z_extra(find_zone(1), 1)", "Parameter array index out of range"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    if (std::string(c.answer).rfind("x = ", 0) == 0)
      EXPECT_EQ(ValueOf({c.line}), c.answer);
    else
      EXPECT_EQ(Error(Run({"define fn", c.line, "end", "fn"})), c.answer);
  }
}

TEST_F(ZoneIntrinsicsTest, ReadOnlyAndRetiredCodesAreRefusedBySets) {
  // Assigning through the set itself (the compiler refuses it earlier).
  ZoltIntrinsicCall call;
  ZoltValue args[2];
  ZoltSetZone(args[0], a);
  call.arguments = args;
  call.mode = ZoltIntrinsicCall::kAssign;
  call.value.SetInt(3);
  const struct {
    int code;
    const char* error;
  } kCases[] = {
      {2002, "Obsolete ZOLT zone variable used"},
      {2003, "Obsolete ZOLT zone variable used"},
      {3001, "Obsolete ZOLT gridpoint variable used"},
  };
  ZoltSetGridPoint(args[1], a->Gp(0));
  for (const auto& c : kCases) {
    call.code = c.code;
    if (c.code >= 3000) args[0] = args[1];
    try {
      DispatchZoltIntrinsic(zolt, call);
      ADD_FAILURE() << c.code;
    } catch (const ZoltExcept& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
  }
  // Retired names are never found.
  ZoltIntrinsicCall find;
  find.mode = ZoltIntrinsicCall::kFind;
  find.name = "@@@";
  EXPECT_FALSE(DispatchZoltIntrinsic(zolt, find));
  find.name = "z_chMix";
  EXPECT_TRUE(DispatchZoltIntrinsic(zolt, find));
  EXPECT_EQ(find.code, 2099);
}

}  // namespace
