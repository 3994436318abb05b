// GP, ZONE and the grid listings as typed commands.
#include <sys/resource.h>

#include <algorithm>

#include "model/grid_fixture.h"

namespace {

TEST_F(GridTest, GpAndZoneCommandsRefuseBadInput) {
  std::string out = Run({"gp 0 0 0", "gp 0 0 0", "gp id 1 5 5 5", "gp id 0 5 5 5", "gp id 7 (1,2,3)", "gp 1",
                         "zone tetra id 1 id 7 id 99 id 1", "zone tetra 0 0 0 (1,2,3) 9 9 9 id 1",
                         "zone id 4 tetra id 1 id 7 (0,0,9) (0,5,0)", "zone id 4 brick", "zone pyramid id 1"});
  EXPECT_EQ(out,
            "Terrax>gp 0 0 0\n"
            "Terrax>gp 0 0 0\n*** Gp 1 already exists at location (0,0,0)\n"
            "Terrax>gp id 1 5 5 5\n*** Gp with ID 1 already exists\n"
            "Terrax>gp id 0 5 5 5\n*** Bad conversion parameter 2 (0)\n"
            "Terrax>gp id 7 (1,2,3)\n"
            "Terrax>gp 1\n*** Missing parameter 2\n"
            "Terrax>zone tetra id 1 id 7 id 99 id 1\n*** Gridpoint 99 not found\n"
            "Terrax>zone tetra 0 0 0 (1,2,3) 9 9 9 id 1\n*** Illegal geometry in zone 1\n"
            "Terrax>zone id 4 tetra id 1 id 7 (0,0,9) (0,5,0)\n*** Illegal geometry in zone 4\n"
            "Terrax>zone id 4 brick\n*** Missing parameter 4\n"
            "Terrax>zone pyramid id 1\n*** Missing parameter 4\n");
  EXPECT_EQ(ZoneList().Count(), 0u);
  EXPECT_EQ(GridPointList().Count(), 2u);
  ClearGrid();
  EXPECT_EQ(Run({"zone tetra 0 0 0 0 0 0 0 0 0 0 0 0"}),
            "Terrax>zone tetra 0 0 0 0 0 0 0 0 0 0 0 0\n*** Gp not found at location (0,0,0)\n");
}

TEST_F(GridTest, ZoneListingsOfAReducedType) {
  Run({"gp 0 0 0", "gp 1 0 0", "gp 0 1 0", "gp 0 0 1", "gp 1 1 0", "gp 0 1 1",
       "zone id 5 wedge 0 0 0 1 0 0 0 1 0 0 0 1 1 1 0 0 1 1", "config zextra 2"});
  std::string out =
      Run({"print zone gp", "print zone information", "print zone extra 2", "print zone extra 3", "print zone density",
           "print zone stress", "print zone extra -2147483648", "print gp extra -2147483648 range id 1"});
  EXPECT_EQ(out,
            "Terrax>print zone gp\nZone Gp Connections ...\n"
            "   id     g0     g1     g2     g3     g4     g5     g6     g7\n"
            " ------ ------ ------ ------ ------ ------ ------ ------ ------\n"
            "      5      1      2      3      4      5      6   NULL   NULL \n"
            "Terrax>print zone information\nZone Information ...\n"
            "   ID   Type  Model       Group               Centroid\n"
            " ------ ----- ----------- ------  ----------- ----------- -----------\n"
            "      5 Wedge Undefined          (  3.333e-01,  5.000e-01,  3.333e-01)\n"
            "Terrax>print zone extra 2\nZone Extra Variable 2\n   id   Extra Variable\n ------ --------------\n"
            "      5 0\n"
            "Terrax>print zone extra 3\nZone Extra Variable 3\n   id   Extra Variable\n ------ --------------\n"
            "      5 *** Parameter array index out of range\n"
            "Terrax>print zone density\nZone Densities ...\n   id   Density\n ------ -------------\n"
            "      5   0.00000e+00\n"
            "Terrax>print zone stress\nZone Average Stresses ...\n"
            "   id      S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
            " ------ ---------- ---------- ---------- ---------- ---------- ----------\n"
            "      5   0.00e+00   0.00e+00   0.00e+00   0.00e+00   0.00e+00   0.00e+00\n"
            // The lowest integer names no variable either; it is no overflow.
            "Terrax>print zone extra -2147483648\nZone Extra Variable -2147483648\n"
            "   id   Extra Variable\n ------ --------------\n"
            "      5 *** Parameter array index out of range\n"
            "Terrax>print gp extra -2147483648 range id 1\nGp Extra Variable -2147483648\n"
            "   id   Extra Variable\n ------ --------------\n"
            "      1 *** Parameter array index out of range\n");
}

TEST_F(GridTest, GridPointListings) {
  Run({"gp 0 0 0", "gp id 4 1 0 0"});
  GridPoint* gp = FindGridpoint(4);
  gp->flags |= NodeBase::kFixX | NodeBase::kFixZ | NodeBase::kFixPorePressure;
  gp->porePressure = 2.5;
  gp->velocity[1] = -1.0;
  FindGridpoint(1)->flags |= NodeBase::kNoMechanicalZone;  // never listed
  std::string out = Run(
      {"print gp", "print gp velocity gp pp", "print gp damping", "print gp temp", "print gp biot", "print gp bogus"});
  EXPECT_EQ(out,
            "Terrax>print gp\nGridpoint Information ...\n"
            "   id       Mass      Stiffness   Fix   Ap. Vel. Attach\n"
            " ------ ------------ ------------ -----    ---   ------\n"
            "      4   0.0000e+00   0.0000e+00 X-Z-P    ---   No\n"
            "Terrax>print gp velocity gp pp\nGridpoint Velocity ...\n"
            "   id        X-Vel         Y-Vel         Z-Vel\n"
            " ------  ------------- ------------- -------------\n"
            "      4 (   0.0000e+00,  -1.0000e+00,   0.0000e+00)\n"
            "Gridpoint Pore Pressure ...\n   id        PP\n ------ -------------\n"
            "      4    2.5000e+00  Fixed\n"
            "Terrax>print gp damping\nGridpoint damping settings ...\n"
            "   ID   Damping   Value   R. Alpha    R. Beta   \n ------ -------- ------- ----------- ----------- \n"
            "      4    Local  0.8000\n"
            "Terrax>print gp temp\n*** Thermal mode not available\n"
            "Terrax>print gp biot\n*** Not configured for fluid flow calculation\n"
            "Terrax>print gp bogus\n*** Unrecognized parameter 2 (bogus)\n");
}

TEST_F(GridTest, PrintRangeSelectsRows) {
  Run({"gp 0 0 0", "gp 1 0 0", "gp 0 1 0", "gp 0 0 1", "gp 1 1 0", "gp 0 1 1", "gp 1 0 1", "gp 1 1 1",
       "zone brick id 1 id 2 id 3 id 4 id 5 id 6 id 7 id 8", "group soil"});
  std::string out = Run({"print gp position range x 0.5 2 id 5 not"});
  EXPECT_NE(out.find("      2 ("), std::string::npos);
  EXPECT_NE(out.find("      7 ("), std::string::npos);
  EXPECT_EQ(out.find("      5 ("), std::string::npos);
  EXPECT_EQ(out.find("      1 ("), std::string::npos);
  out = Run({"print zone volume range group soil"});
  EXPECT_NE(out.find("      1   1.00000e+00\n"), std::string::npos);
  out = Run({"print zone volume range group clay"});
  EXPECT_NE(out.find("*** Unrecognized parameter"), std::string::npos);
}

// An extra-variable count that memory cannot hold fails the command that asks
// for it with the model's allocation error; the program and the grid go on.
TEST_F(GridTest, ExtraVariablesBeyondMemoryAreAnAllocationError) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer ends the run at a failed allocation";
#endif
  // A machine with much memory must fail the request all the same.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
  rlimit capped = saved;
  capped.rlim_cur = std::min<rlim_t>(saved.rlim_cur, rlim_t{8} << 30);
  ASSERT_EQ(setrlimit(RLIMIT_AS, &capped), 0);
  const std::string out = Run({"config gpextra 2147483647", "gp 0 0 0", "config gpextra 0", "gp 0 0 0", "gp 1 0 0",
                               "gp 0 1 0", "gp 0 0 1", "config gpextra 2147483647", "config zextra 2147483647",
                               "zone tetra id 1 id 2 id 3 id 4", "config zextra 1 gpextra 1",
                               "zone tetra id 1 id 2 id 3 id 4", "print zone extra 1", "print gp extra 1 range id 1"});
  setrlimit(RLIMIT_AS, &saved);
  // What could not be made took no id.
  EXPECT_EQ(out,
            "Terrax>config gpextra 2147483647\n2147483647 Extra variables in all grid-points\n"
            "Terrax>gp 0 0 0\n*** Memory allocation error\n"
            "Terrax>config gpextra 0\n0 Extra variables in all grid-points\n"
            "Terrax>gp 0 0 0\nTerrax>gp 1 0 0\nTerrax>gp 0 1 0\nTerrax>gp 0 0 1\n"
            "Terrax>config gpextra 2147483647\n*** Memory allocation error\n"
            "Terrax>config zextra 2147483647\n2147483647 Extra variables in all zones\n"
            "Terrax>zone tetra id 1 id 2 id 3 id 4\n*** Memory allocation error\n"
            "Terrax>config zextra 1 gpextra 1\n1 Extra variables in all zones\n"
            "1 Extra variables in all grid-points\n"
            "Terrax>zone tetra id 1 id 2 id 3 id 4\n"
            "Terrax>print zone extra 1\nZone Extra Variable 1\n   id   Extra Variable\n ------ --------------\n"
            "      1 0\n"
            "Terrax>print gp extra 1 range id 1\nGp Extra Variable 1\n   id   Extra Variable\n"
            " ------ --------------\n      1 0\n");
  EXPECT_EQ(GridPointList().Count(), 4u);
  EXPECT_EQ(ZoneList().Count(), 1u);
}

}  // namespace
