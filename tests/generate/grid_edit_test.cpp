// Editing the grid through the model interpreter: REFLECT and COPY, MERGE,
// SEPARATE, DELETE and PDELETE: what each makes, joins and removes, the
// links that must run both ways afterwards, and the input each refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "generate/gen_zone_fixture.h"
#include "generate/grid_edit.h"

namespace {

// Every zone of the grid sound: positive volume, right-handed numbering.
void ExpectSoundZones(const char* what) {
  String report;
  for (Zone* z : ZoneList()) {
    EXPECT_FALSE(z->CheckDegenerate(report)) << what << ": " << report.c_str();
    EXPECT_TRUE(z->CheckNumbering(report)) << what << ": " << report.c_str();
  }
}

double Lowest(int axis) {
  double low = HUGE_VAL;
  for (GridPoint* gp : GridPointList()) low = std::min(low, gp->position[axis]);
  return low;
}

double Highest(int axis) {
  double high = -HUGE_VAL;
  for (GridPoint* gp : GridPointList()) high = std::max(high, gp->position[axis]);
  return high;
}

int Links() {
  int n = 0;
  for (Zone* z : ZoneList())
    for (int f = 0; f < kZoneFaces; ++f) n += z->Neighbour(f) ? 1 : 0;
  return n;
}

using GridEditTest = GenZoneTest;

TEST_F(GridEditTest, ReflectAndCopyMakeSoundJoinedCopies) {
  Run({"gen zone brick size 2 2 2", "gen zone reflect"});
  EXPECT_EQ(Zones(), 16u);
  EXPECT_EQ(Gps(), 45u);
  EXPECT_DOUBLE_EQ(Lowest(2), -2.0);
  // The halves are joined across the plane: 8 + 8 internal links doubled
  // plus 4 pairs across z = 0.
  EXPECT_EQ(Links(), 2 * (12 + 12 + 4));
  ExpectLinksConsistent();
  ExpectSoundZones("reflect");

  const std::string out = Run({"gen zone copy 2 0 0"});
  EXPECT_NE(out.find("     16 Zones Created        \n"), std::string::npos) << out;
  EXPECT_EQ(Zones(), 32u);
  EXPECT_EQ(Gps(), 75u);
  EXPECT_DOUBLE_EQ(Highest(0), 4.0);
  ExpectLinksConsistent();
  ExpectSoundZones("copy");

  ClearGrid();
  Run({"gen zone brick size 2 2 2", "gen zone reflect nomerge"});
  EXPECT_EQ(Gps(), 54u);
  EXPECT_EQ(Links(), 2 * (12 + 12));
  ExpectLinksConsistent();
}

TEST_F(GridEditTest, TheProgressLinesEndInCarriageReturns) {
  Run({"gen zone brick size 1 1 1"});
  const std::string out = Run({"gen zone copy 0 0 1"});
  const char* lines[] = {"     Preparing Grid          \r", "     Scanning Grid           \r",
                         "     Copying GridPoints      \r", "     Copying Zones           \r",
                         "     Connecting Faces        \r", "     1 Zones Created        \n"};
  size_t at = 0;
  for (const char* line : lines) {
    at = out.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << " in " << out;
  }
  // A copy onto the top face: four grid-points merged, one face joined.
  EXPECT_EQ(Gps(), 12u);
  EXPECT_EQ(Links(), 2);
}

TEST_F(GridEditTest, EveryZoneTypeReflectsIntoASoundZone) {
  for (const char* shape :
       {"gen zone wedge size 2 2 2", "gen zone pyramid size 2 2 2", "gen zone tetrahedron size 2 2 2",
        "gen zone cylinder size 2 2 2", "gen zone radtunnel size 2 2 2 2"}) {
    ClearGrid();
    Run({shape});
    const uint32_t zones = Zones();
    const std::string out = Run({"gen zone reflect dip 90 dd 90"});
    ASSERT_EQ(out.find("***"), std::string::npos) << shape << out;
    EXPECT_EQ(Zones(), 2 * zones) << shape;
    ExpectSoundZones(shape);
    ExpectLinksConsistent();
  }
}

TEST_F(GridEditTest, APlaneThroughTheSelectionWarnsOnceAndStillCopies) {
  Run({"gen zone brick size 2 2 2"});
  const std::string out = Run({"gen zone reflect origin 0 0 1"});
  const std::string warning = "\n+++ WARNING!  Copying GridPoints on either side of plane!! (Gp 19)\n";
  const size_t at = out.find(warning);
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_EQ(out.find("+++ WARNING", at + warning.size()), std::string::npos) << out;
  EXPECT_EQ(Zones(), 16u);
}

TEST_F(GridEditTest, RefusedCopiesMakeNothing) {
  Run({"gen zone dbrick size 2 4 2"});
  const uint32_t gps = Gps();
  std::string out = Run({"gen zone reflect"});
  EXPECT_NE(out.find("*** Cannot reflect DBrick zones (10)"), std::string::npos) << out;
  out = Run({"gen zone copy", "gen zone copy 1 0", "gen zone copy 1 0 0 bogus"});
  EXPECT_NE(out.find("*** Missing parameter 3"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Missing parameter 5"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Unrecognized parameter 6 (bogus)"), std::string::npos) << out;
  EXPECT_EQ(Zones(), 16u);
  EXPECT_EQ(Gps(), gps);
  // An empty selection copies nothing.
  out = Run({"gen zone copy 5 0 0 range x 100 200"});
  EXPECT_NE(out.find("     0 Zones Created        \n"), std::string::npos) << out;
}

// ESC is pressed at the n-th poll of the copy (1 after the scan, 2 after the
// grid-point pass).
class EscAtPoll : public FakeDevice {
 public:
  int at = 0;
  int polls = 0;
  bool KeyPressed(int key) override {
    if (key != 27 || at == 0 || output.find("Preparing Grid") == std::string::npos) return false;
    return ++polls == at;
  }
};

TEST(GridEditEsc, EscAfterTheGridPointsWarnsThatTheCopyIsIncomplete) {
  InstallGrid();
  InstallGenerate();
  for (int at : {1, 2}) {
    ClearGrid();
    EscAtPoll device;
    MacroTable macros;
    ModelInterpreter interp{&macros, &device};
    RunLines(interp, device, {"gen zone brick size 2 2 2"});
    device.at = at;
    RunLines(interp, device, {"gen zone copy 0 0 2"});
    const std::string out = device.Take();
    EXPECT_NE(out.find("*** ESC key pressed to halt"), std::string::npos) << out;
    const bool warned = out.find("\n+++ WARNING!  Copy incomplete, model in unstable state!\n") != std::string::npos;
    EXPECT_EQ(warned, at == 2) << out;
    EXPECT_EQ(ZoneList().Count(), 8u);
    EXPECT_EQ(GridPointList().Count(), at == 1 ? 27u : 45u) << "the new grid-points stay";
  }
  ClearGrid();
}

TEST_F(GridEditTest, MergeJoinsTwoBricksOnce) {
  Run({"gen zone brick size 2 2 2", "gen zone brick size 2 2 2 p0 2 0 0 nomerge"});
  std::string out = Run({"gen merge 1e-4"});
  EXPECT_EQ(out.substr(out.find("checking")),
            "checking zone geometry before merging\nzone geometry tests passed, commencing merge\n"
            "9 gridpoints merged\n8 surface faces removed\nchecking zone geometry\n"
            "zone geometry tests passed, merge finished\n");
  EXPECT_EQ(Gps(), 45u);
  EXPECT_EQ(Links(), 2 * (12 + 12 + 4));
  ExpectLinksConsistent();
  int second = 0;
  for (GridPoint* gp : GridPointList()) second += gp->id > 27 ? 1 : 0;
  EXPECT_EQ(second, 18) << "the merged grid-points of the second brick leave the grid";
  // The indexes know what is left.
  const double p[3] = {2, 0, 0};
  ASSERT_NE(NearestGridpointAny(p), nullptr);
  EXPECT_LE(NearestGridpointAny(p)->id, 27u);
  EXPECT_EQ(FindGridpoint(28), nullptr);

  out = Run({"gen merge 1e-4"});
  EXPECT_NE(out.find("0 gridpoints merged\n0 surface faces removed\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("merge finished"), std::string::npos) << out;
  out = Run({"gen merge findtol", "gen merge findtol range x 10 20"});
  EXPECT_NE(out.find("Merging tolerance should be less than 1.000000e+00\n"), std::string::npos) << out;
  EXPECT_NE(out.find("No mergeable gps in this range.\n"), std::string::npos) << out;
}

TEST_F(GridEditTest, MergeLeavesTheCornersOfOneZoneAndTheGridOutsideTheRange) {
  Run({"gen zone brick size 1 1 1"});
  std::string out = Run({"gen merge 5"});
  EXPECT_NE(out.find("0 gridpoints merged"), std::string::npos) << out;
  EXPECT_EQ(Gps(), 8u);

  ClearGrid();
  Run({"gen zone brick size 2 2 2", "gen zone brick size 2 2 2 p0 2 0 0 nomerge"});
  out = Run({"gen merge 1e-4 range y 0.5 2.5"});
  EXPECT_NE(out.find("6 gridpoints merged"), std::string::npos) << out;
  EXPECT_EQ(Gps(), 48u);
  ExpectLinksConsistent();
}

TEST_F(GridEditTest, AMergeThatWouldInvertAZoneIsRefusedBeforeAnythingChanges) {
  // A slab 0.0008 thick beside a cube 0.0002 away: its far corners are the
  // first the cube's corners reach, and would turn it inside out.
  Run({"gen zone brick size 1 1 1 p0 -1 0 0 p1 -0.0002 0 0 p2 -1 1 0 p3 -1 0 1",
       "gen zone brick size 1 1 1 p0 0 0 0 p1 0.0008 0 0 p2 0 1 0 p3 0 0 1 nomerge"});
  const std::string out = Run({"gen merge 0.0011"});
  EXPECT_NE(out.find("commencing merge\n*** "), std::string::npos) << out;
  EXPECT_EQ(out.find("gridpoints merged"), std::string::npos) << out;
  EXPECT_EQ(Gps(), 16u);
  ExpectSoundZones("after the refused merge");
  for (Zone* z : ZoneList())
    for (int c = 0; c < 8; ++c) EXPECT_EQ(z->Gp(c)->id, (z->Id() - 1) * 8 + c + 1);
}

TEST_F(GridEditTest, MergeInputErrors) {
  const std::string out = Run({"gen merge", "gen merge -1", "gen merge foo"});
  EXPECT_NE(out.find("*** Missing parameter 2"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Bad conversion parameter 2 (-1)"), std::string::npos) << out;
}

TEST_F(GridEditTest, SeparateCutsAGroupLoose) {
  Run({"gen zone brick size 1 1 1 group a", "gen zone brick size 1 1 1 p0 1 0 0 group b"});
  Run({"gen separate a"});
  EXPECT_EQ(Gps(), 16u);
  EXPECT_EQ(Links(), 0);
  Zone* a = FindZone(1);
  Zone* b = FindZone(2);
  for (int c = 0; c < 8; ++c) EXPECT_LE(b->Gp(c)->id, 12u) << "the other group keeps its grid-points";
  EXPECT_NE(a->Gp(1), b->Gp(0));
  EXPECT_DOUBLE_EQ(a->Gp(1)->position[0], 1.0);
  ExpectSoundZones("separate");
  // A group touching no other group changes nothing.
  Run({"gen separate a"});
  EXPECT_EQ(Gps(), 16u);
  const std::string out = Run({"gen separate zz", "gen separate"});
  EXPECT_NE(out.find("*** Must specify a valid group."), std::string::npos) << out;
  EXPECT_NE(out.find("*** Missing parameter 2"), std::string::npos) << out;
}

TEST_F(GridEditTest, SeparateLeavesNullZonesOnTheOldGridPoints) {
  Run({"gen zone brick size 2 1 1 group a", "gen zone brick size 1 1 1 p0 2 0 0 group b", "model null range x 1 2"});
  Run({"gen separate a"});
  EXPECT_EQ(Gps(), 20u);
  EXPECT_EQ(FindZone(1)->Neighbour(3), FindZone(2)) << "faces inside the group stay joined";
  EXPECT_EQ(FindZone(3)->Neighbour(2), nullptr);
  EXPECT_EQ(FindZone(2)->Gp(1), FindZone(3)->Gp(0)) << "null zone keeps the old grid-point";
}

TEST_F(GridEditTest, DeleteTakesTheZonesOfTheRangeAndTheirOwnGridPoints) {
  Run({"gen zone brick size 4 2 2", "group left range x 0 2", "group right range x 2 4"});
  std::string out = Run({"delete range x 2 4"});
  EXPECT_NE(out.find("Deleted 8 zones and 18 grid-points\n"), std::string::npos) << out;
  EXPECT_EQ(Zones(), 8u);
  EXPECT_EQ(Gps(), 27u);
  ExpectLinksConsistent();
  EXPECT_EQ(FindZone(3), nullptr);
  const double shared[3] = {2, 0, 0};
  GridPoint* kept = NearestGridpointAny(shared);
  ASSERT_NE(kept, nullptr);
  EXPECT_DOUBLE_EQ(kept->position[0], 2.0);
  EXPECT_EQ(kept->GroupSlotCount(), 1) << "the shared face keeps only the group of the zones left";
  // New zones join the faces the deleted zones left.
  Run({"gen zone brick size 2 2 2 p0 2 0 0"});
  EXPECT_EQ(Gps(), 45u);
  out = Run({"delete"});
  EXPECT_NE(out.find("Deleted 16 zones and 45 grid-points\n"), std::string::npos) << out;
  EXPECT_EQ(Gps(), 0u);
  out = Run({"delete bogus"});
  EXPECT_NE(out.find("*** Unrecognized parameter 1 (bogus)"), std::string::npos) << out;
}

TEST_F(GridEditTest, DeleteNamedRangesVolumesAndParticles) {
  std::string out = Run({"delete namedrange foo", "range name foo x 0 1", "range name bar foo", "delete namedrange foo",
                         "delete namedrange bar", "delete namedrange foo"});
  // Refused before it exists and while bar uses it; deleted afterwards.
  const std::string refused = "\n*** Could not delete named range foo\n";
  const size_t first = out.find(refused);
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_NE(out.find(refused, first + 1), std::string::npos) << out;
  EXPECT_NE(out.find("\n*** Deleted named range bar\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\n*** Deleted named range foo\n"), std::string::npos) << out;
  Run({"gen surface brick edge 2"});
  ASSERT_FALSE(ActiveGenGeometry()->Volumes().IsEmpty());
  Run({"delete volumes"});
  EXPECT_TRUE(ActiveGenGeometry()->Volumes().IsEmpty());
  out = Run({"pdelete", "pdelete inactive", "pdelete range x 0 1"});
  size_t count = 0;
  for (size_t at = out.find("Deleted 0 particles.\n"); at != std::string::npos;
       at = out.find("Deleted 0 particles.\n", at + 1))
    ++count;
  EXPECT_EQ(count, 3u) << out;
}

}  // namespace

namespace {

TEST_F(GridEditTest, DipsAreBroughtIntoOneTurn) {
  // dip -90 is 270: the normal (0, -1, 0) mirrors across y = 0; 720 is 360,
  // the plane z = 0 like no dip at all.
  struct Case {
    const char* line;
    int axis;
  };
  for (const Case& c : {Case{"gen zone reflect dip -90 nomerge", 1}, Case{"gen zone reflect dip 270 nomerge", 1},
                        Case{"gen zone reflect dip 720 nomerge", 2}, Case{"gen zone reflect normal 1 0 0", 0}}) {
    ClearGrid();
    Run({"gen zone brick size 1 1 1"});
    const std::string out = Run({c.line});
    ASSERT_EQ(out.find("***"), std::string::npos) << out;
    for (int axis = 0; axis < 3; ++axis)
      EXPECT_NEAR(Lowest(axis), axis == c.axis ? -1.0 : 0.0, 1e-12) << c.line << " axis " << axis;
    ExpectSoundZones(c.line);
  }
}

}  // namespace
