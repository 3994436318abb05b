// GENERATE ZONE and GRID through the model interpreter: what the primitives
// make, how they merge with and join the grid that is there, their groups,
// their errors, and the grid's look-ups afterwards.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "generate/gen_zone_fixture.h"

namespace {

TEST_F(GenZoneTest, PrimitivesMakeTheirZonesAndGridPoints) {
  struct Case {
    std::vector<const char*> lines;
    uint32_t zones, gps;
  };
  const Case cases[] = {
      {{"gen zone brick"}, 1000, 1331},
      {{"gen zone brick size 4"}, 400, 605},
      {{"gen zone brick size 3 4 5"}, 60, 120},
      {{"gen zone wedge size 3 3 3"}, 27, 52},
      {{"grid 10 10 10"}, 1000, 1331},
      {{"gen zone brick size 2 2 2", "gen zone brick size 2 2 2 p0 2 0 0"}, 16, 45},
      {{"gen zone brick size 2 2 2", "gen zone brick size 2 2 2 p0 2 0 0 nomerge"}, 16, 54},
      // Along an edge only: its three grid-points merge, no face joins.
      {{"gen zone brick size 2 2 2", "gen zone brick size 2 2 2 p0 2 2 0"}, 16, 51},
      // A brick whose inside meets the boundary of the first: only its own
      // surface nodes may merge, and none lies on the first brick.
      {{"gen zone brick size 2 2 2", "gen zone brick size 4 4 4 p0 -1 -1 -1"}, 72, 152},
      // A wedge on top of a brick: the shared square merges.
      {{"gen zone brick size 2 2 2", "gen zone wedge size 2 2 2 p0 0 0 2"}, 16, 27 + 12},
  };
  for (const Case& c : cases) {
    ClearGrid();
    for (const char* line : c.lines) {
      const std::string out = Run({line});
      EXPECT_EQ(out.find("***"), std::string::npos) << out;
    }
    EXPECT_EQ(Zones(), c.zones) << c.lines.back();
    EXPECT_EQ(Gps(), c.gps) << c.lines.back();
    ExpectLinksConsistent();
  }
}

TEST_F(GenZoneTest, ProgressLinesEndInCarriageReturns) {
  EXPECT_EQ(Run({"generate", "zone brick size 1 1 3", ""}),
            "Terrax>generate\n"
            "   Gen>zone brick size 1 1 3\n"
            "Generating Plane 1 of 3\rGenerating Plane 2 of 3\rGenerating Plane 3 of 3\r\n"
            "   Gen>\n");
  EXPECT_TRUE(interp.CommandPrefix().IsEmpty());
  EXPECT_EQ(Run({"grid 1 1 1"}), "Terrax>grid 1 1 1\nGenerating Plane 1 of 1\r\n");
}

TEST_F(GenZoneTest, IdsRunCellByCellAndCornerByCorner) {
  Run({"gen zone brick size 3 2 2"});
  EXPECT_EQ(GpIds(FindZone(1)), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  // i fastest, then j, then k.
  const double centroids[][3] = {{0.5, 0.5, 0.5}, {1.5, 0.5, 0.5}, {0.5, 1.5, 0.5}, {0.5, 0.5, 1.5}};
  const uint32_t ids[] = {1, 2, 4, 7};
  for (int n = 0; n < 4; ++n) {
    double c[3];
    FindZone(ids[n])->Centroid(c);
    for (int a = 0; a < 3; ++a) EXPECT_DOUBLE_EQ(c[a], centroids[n][a]) << "zone " << ids[n];
  }
  // Zone 2 takes its new grid-points after the ones it shares with zone 1.
  EXPECT_EQ(GpIds(FindZone(2)), (std::vector<uint32_t>{2, 9, 5, 7, 10, 8, 11, 12}));
  for (Zone* z : ZoneList()) EXPECT_DOUBLE_EQ(z->Volume(), 1.0);
}

TEST_F(GenZoneTest, AGluedBrickSharesTheFaceAndJoinsAcrossIt) {
  Run({"gen zone brick size 1 1 1", "gen zone brick size 1 1 1 p0 1 0 0"});
  Zone* first = FindZone(1);
  Zone* second = FindZone(2);
  EXPECT_EQ(first->Neighbour(3), second);
  EXPECT_EQ(second->Neighbour(2), first);
  EXPECT_EQ(second->Gp(0), first->Gp(1));
  EXPECT_EQ(second->Gp(5), first->Gp(7));

  Run({"gen zone brick size 1 1 1 p0 0 1 0 nomerge"});
  Zone* third = FindZone(3);
  EXPECT_EQ(third->Neighbour(5), nullptr);
  EXPECT_EQ(first->Neighbour(4), nullptr);
  EXPECT_EQ(Gps(), 12u + 8u);
}

TEST_F(GenZoneTest, MergingTakesTheGridPointOfTheEarliestZone) {
  // Two coincident cubes, then a third beside them: its face merges with the
  // grid-points of the first cube and joins the first cube's face.
  Run({"gen zone brick size 1 1 1", "gen zone brick size 1 1 1 nomerge", "gen zone brick size 1 1 1 p0 1 0 0"});
  Zone* first = FindZone(1);
  Zone* third = FindZone(3);
  EXPECT_EQ(third->Gp(0), first->Gp(1));
  EXPECT_EQ(third->Gp(2), first->Gp(4));
  EXPECT_EQ(third->Neighbour(2), first);
  EXPECT_EQ(FindZone(2)->Neighbour(3), nullptr);
  ExpectLinksConsistent();
}

TEST_F(GenZoneTest, MergingNeedsTheRelativeTolerance) {
  // 4e-6 away at a norm of about 10: within 1e-6 relative.
  Run({"gen zone brick size 1 1 1 p0 10 0 0", "gen zone brick size 1 1 1 p0 11.000004 0 0"});
  EXPECT_EQ(Gps(), 12u);
  // 4e-5 away: two faces that only nearly touch.
  ClearGrid();
  Run({"gen zone brick size 1 1 1 p0 10 0 0", "gen zone brick size 1 1 1 p0 11.00004 0 0"});
  EXPECT_EQ(Gps(), 16u);
  EXPECT_EQ(FindZone(1)->Neighbour(3), nullptr);
}

TEST_F(GenZoneTest, TheWedgeCollapsesItsTopIntoOneRowOfGridPoints) {
  Run({"gen zone wedge size 3 2 2"});
  ASSERT_EQ(Zones(), 12u);
  double volume = 0.0;
  for (Zone* z : ZoneList()) {
    double c[3];
    z->Centroid(c);
    const bool top = z->Id() > 6;
    EXPECT_EQ(z->Type(), top ? kWedge : kBrick) << "zone " << z->Id();
    if (top) {
      EXPECT_EQ(z->Gp(3), z->Gp(6));
      EXPECT_EQ(z->Gp(5), z->Gp(7));
    }
    volume += z->Volume();
  }
  // Half of the 3 x 2 x 2 box.
  EXPECT_NEAR(volume, 6.0, 1e-12);
  EXPECT_EQ(Gps(), 4u * 3u * 2u + 3u);
  ExpectLinksConsistent();
  String report;
  for (Zone* z : ZoneList()) EXPECT_FALSE(z->CheckDegenerate(report)) << report.c_str();
}

TEST_F(GenZoneTest, PointsMayBeGivenRelativeOrByReferencePoint) {
  Run({"gen point id 4 5 5 5", "gen zone brick size 1 1 1 p0 point 4 p1 add 2 0 0 p2 add 0 3 0 p3 add 0 0 4"});
  ASSERT_EQ(Zones(), 1u);
  const Zone* z = FindZone(1);
  EXPECT_EQ(z->Gp(0)->position[0], 5.0);
  EXPECT_EQ(z->Gp(7)->position[0], 7.0);
  EXPECT_EQ(z->Gp(7)->position[1], 8.0);
  EXPECT_EQ(z->Gp(7)->position[2], 9.0);
  EXPECT_NEAR(z->Volume(), 24.0, 1e-12);
}

TEST_F(GenZoneTest, RatiosGradeTheZones) {
  Run({"gen zone brick size 3 1 1 ratio 2"});
  const double expected[] = {0.0, 3.0 / 7.0, 9.0 / 7.0, 3.0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_DOUBLE_EQ(FindZone(uint32_t(i + 1))->Gp(0)->position[0], expected[i]);
    EXPECT_DOUBLE_EQ(FindZone(uint32_t(i + 1))->Gp(1)->position[0], expected[i + 1]);
  }
}

TEST_F(GenZoneTest, GroupsReachTheZonesAndTheirGridPoints) {
  Run({"gen zone brick size 2 1 1 group soil", "gen zone brick size 1 1 1 p0 2 0 0 region rock fill group clay"});
  const Group* soil = FindGroup(String("soil"));
  const Group* rock = FindGroup(String("rock"));
  ASSERT_NE(soil, nullptr);
  ASSERT_NE(rock, nullptr);
  EXPECT_EQ(FindZone(1)->GetGroup(), soil);
  EXPECT_EQ(FindZone(3)->GetGroup(), rock);
  // The shared face carries both groups.
  const GridPoint* shared = FindZone(3)->Gp(0);
  EXPECT_TRUE(shared->InGroup(soil));
  EXPECT_TRUE(shared->InGroup(rock));
  EXPECT_FALSE(FindZone(1)->Gp(0)->InGroup(rock));
  // The brick has no fill; its fill group is made but holds nothing.
  EXPECT_NE(FindGroup(String("clay")), nullptr);
}

TEST_F(GenZoneTest, BadInputGivesClearMessagesAndAddsNothing) {
  Run({"gen zone brick size 1 1 1"});
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"gen zone brick p1 0 4 0 p2 3 0 0 group lost",
       "*** Mesh primitive does not conform to node numbering convention."},
      {"gen zone brick p3 point 7", "*** Node 7 not found"},
      // p2 and p3 the same point: edges in one plane
      {"gen zone brick size 1 1 1 p0 0.515 0.5 2 p1 0 1 0 p2 0 0 3 p3 0 0 3",
       "*** Mesh primitive does not conform to node numbering convention."},
      {"gen zone brick size x", "*** Bad conversion parameter 4 (x)"},
      {"gen zone brick size 2 0", "*** Bad conversion parameter 5 (0)"},
      {"gen zone brick ratio 1 -2", "*** Bad conversion parameter 5 (-2)"},
      {"gen zone brick size 40 ratio 1e10", "*** Bad conversion parameter 6 (1e10)"},
      // the last zones would have no width, the first none beside the rest
      {"gen zone brick size 1 1 10 ratio 1 1 0.01", "*** Bad conversion parameter 10 (0.01)"},
      {"gen zone brick size 2 1 1 ratio 1e-300", "*** Bad conversion parameter 8 (1e-300)"},
      {"gen zone brick p1 1e999 0 0", "*** Bad conversion parameter 4 (1e999)"},
      {"gen zone brick p1 1 0", "*** Missing parameter 6"},
      {"gen zone brick colour red", "*** Unrecognized parameter 3 (colour)"},
      {"gen zone brick edge", "*** Missing parameter 4"},
      {"gen zone", "*** Missing parameter 2"},
      // The first zone of a growing edge as small against the edge as the
      // last of a shrinking one is refused too.
      {"gen zone brick size 400 1 1 ratio 2", "*** Bad conversion parameter 8 (2)"},
      {"gen zone brick size 400 1 1 ratio 0.5", "*** Bad conversion parameter 8 (0.5)"},
      // n4 and r4 of the radial band, n5 and r5 of the radial pieces, and the
      // inverted r1 of the pieces along i; a shell uses n4 for its fill only.
      {"gen zone radtunnel ratio 1 1 1 0.01", "*** Bad conversion parameter 7 (0.01)"},
      {"gen zone radbrick size 10 10 10 400 ratio 1 1 1 2", "*** Bad conversion parameter 12 (2)"},
      {"gen zone cshell fill ratio 1 1 1 0.01", "*** Bad conversion parameter 8 (0.01)"},
      {"gen zone tunint size 10 10 10 10 20 ratio 1 1 1 1 1e20", "*** Bad conversion parameter 14 (1e20)"},
      {"gen zone uwedge size 4 1 3", "*** Sizes n1 and n3 must be an even multiple of each other."},
      {"gen zone uwedge size 4 1 0", "*** Bad conversion parameter 6 (0)"},
      {"gen zone cylint size 10 10 1", "*** Size n3 of cylint must be at least 2."},
      {"gen zone reflect nomerge origin 0 0", "*** Missing parameter 7"},
      {"gen zone copy", "*** Missing parameter 3"},
      {"grid 2 2", "*** Missing parameter 3"},
      {"grid 2 0 2", "*** Bad conversion parameter 2 (0)"},
      // More zones than ids; more memory than any machine has.
      {"gen zone brick size 5000 5000 5000", "*** Memory allocation error."},
      {"gen zone brick size 1000 1000 1000", "*** Memory allocation error."},
      // All pieces of a radial primitive together, before the first is made.
      {"gen zone radtunnel size 1000 1000 1000 1000 fill", "*** Memory allocation error."},
      {"gen zone uwedge size 3000 1000 3000", "*** Memory allocation error."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n" + c.message + "\n") << c.line;
    EXPECT_EQ(Zones(), 1u) << c.line;
    EXPECT_EQ(Gps(), 8u) << c.line;
  }
  EXPECT_EQ(FindGroup(String("lost")), nullptr);
}

TEST_F(GenZoneTest, EscStopsBetweenRowsAndKeepsAWholeResult) {
  device.escAtPoll = 2;  // the second row of the only plane
  EXPECT_EQ(Run({"gen zone wedge size 2 2 1 group top"}),
            "Terrax>gen zone wedge size 2 2 1 group top\nGenerating Plane 1 of 1\r\n*** ESC key pressed to halt\n");
  ASSERT_EQ(Zones(), 2u);
  const Group* top = FindGroup(String("top"));
  for (Zone* z : ZoneList()) {
    EXPECT_EQ(z->Type(), kWedge);
    for (int c = 0; c < z->GpCount(); ++c) EXPECT_TRUE(z->Gp(c)->InGroup(top));
  }
}

TEST_F(GenZoneTest, ALockedPoolStopsTheGenerationWithACompleteGrid) {
  Run({"gen zone brick size 2 2 2", "set memory lock on"});
  const std::string out = Run({"gen zone brick size 30 30 30 p0 2 0 0"});
  Run({"set memory lock off"});
  EXPECT_NE(out.find("*** Out of memory - model memory locked\n"), std::string::npos) << out;
  EXPECT_LT(Zones(), 8u + 27000u);
  for (Zone* z : ZoneList())
    for (int c = 0; c < 8; ++c) ASSERT_NE(z->Gp(c), nullptr) << "zone " << z->Id();
  ExpectLinksConsistent();
  // The grid goes on from there.
  Run({"gen zone brick size 1 1 1 p0 -1 0 0"});
  EXPECT_EQ(FindZone(Zones())->Neighbour(3), FindZone(1));
}

TEST_F(GenZoneTest, TheGridLookUpsKnowWhatWasGenerated) {
  Run({"gen zone brick size 1 1 1", "gen zone brick size 1 1 1 p0 1 0 0"});
  EXPECT_NE(FindGridpoint(12), nullptr);
  EXPECT_EQ(FindZone(2)->Id(), 2u);
  EXPECT_EQ(Run({"gp 2 1 1"}), "Terrax>gp 2 1 1\n*** Gp 12 already exists at location (2,1,1)\n");
  const double at[3] = {1.9, 0.1, 0.1};
  EXPECT_EQ(NearestGridpointAny(at), FindZone(2)->Gp(1));
  // A zone over the first cube's grid-points joins the first cube on its five
  // free faces, not across the face the generation joined already.
  Run({"zone brick id 1 id 2 id 3 id 4 id 5 id 6 id 7 id 8"});
  Zone* copy = FindZone(3);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Neighbour(3), nullptr);
  EXPECT_EQ(copy->Neighbour(0), FindZone(1));
  EXPECT_EQ(FindZone(1)->Neighbour(3), FindZone(2));
}

}  // namespace
