// INTERFACE and PRINT INTERFACE as typed: the keywords, their refusals and
// the listings.
#include <cmath>
#include <string>

#include "mechanics/interface_fixture.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

class InterfaceCommandTest : public InterfaceTest {
 protected:
  void SetUp() override {
    InterfaceTest::SetUp();
    Run({"interface 1 face range z 0.9 1.1"});
  }
  // What a command printed after its own echo.
  std::string Listing(const char* line) {
    const std::string out = Run({line});
    const std::string echo = std::string("Terrax>") + line + "\n";
    EXPECT_EQ(out.rfind(echo, 0), 0u) << out;
    return out.substr(echo.size());
  }
};

TEST_F(InterfaceCommandTest, RefusedInput) {
  struct Case {
    const char* line;
    const char* message;
  } cases[] = {
      {"interface", "*** Must specify interface ID number"},
      {"interface face", "*** Must specify interface ID number"},
      {"interface 1 face range z 0.9 1.1", "*** Zone face (1,1) already has an interface"},
      {"interface 2 node 0 0 1", nullptr},
      {"interface 2 node 0 0 1.0000001", "*** Interface node 1 already exists"},
      {"interface 2 node id 1 5 5 5", "*** Interface node 1 already exists"},
      {"interface 2 element p1 node 99 p2 1 1 1 p3 0 1 1", "*** Interface node 99 not found"},
      {"interface 2 element p1 node 1 p3 1 0 1", "*** Insufficient number of interface nodes specified"},
      {"interface 2 element p1 node 1 p2 1 0 1 p3 1 1 1", nullptr},
      {"interface 2 element p2 node 1 p3 1 0 1 p1 1 1 1", "*** Interface element already exists"},
      {"interface 1 wrap nosuch", "*** Must specify at least one valid group."},
      {"interface 1 wrap", "*** Must specify at least one valid group."},
      {"print interface 9", "*** Interface 9 not found"},
      {"interface 1 property bogus 1", "*** Unrecognized parameter 3 (bogus)"},
      {"interface 1 property kn 1 range x 7 8", "*** Unrecognized parameter 3 (kn)"},
      {"interface 1 property kn", "*** Missing parameter 4"},
      {"interface 1 bogus", "*** Unrecognized parameter 2 (bogus)"},
      {"interface 1 maxedge -1", "*** Maximum edge length must be greater than 0"},
  };
  for (const Case& c : cases) {
    const std::string out = Run({c.line});
    const std::string expected =
        std::string("Terrax>") + c.line + "\n" + (c.message ? c.message + std::string("\n") : "");
    EXPECT_EQ(out, expected) << c.line;
  }
  // What the refused lines made before failing stays; nothing else was made.
  EXPECT_EQ(Iface(1).Elements().Count(), 8u);
  EXPECT_EQ(Iface(2).Nodes().Count(), 3u);  // the free node and the two made by position
  EXPECT_EQ(Iface(2).Elements().Count(), 1u);
  EXPECT_EQ(Iface(1).maxEdge, 1.7976931348623157e308);
}

TEST_F(InterfaceCommandTest, Listings) {
  EXPECT_EQ(Listing("print interface"),
            "  ID     Nodes  Elements\n"
            "------  ------- --------\n"
            "     1       9        8\n");
  EXPECT_EQ(Listing("print interface 1"),
            "  ID     Nodes  Elements  Effective  Permeability \n"
            "------  ------- --------  ---------  ------------ \n"
            "     1       9        8        Yes        Yes\n");
  Run({"interface 1 effective off"});
  EXPECT_NE(Listing("print interface 1").find("         No        Yes\n"), std::string::npos);
  EXPECT_EQ(Listing("moo"), "\n");

  const std::string elements = Listing("print interface 1 elements");
  EXPECT_EQ(elements.substr(0, elements.find('\n', elements.find('\n') + 1) + 1),
            "  ID    Node-1 Node-2 Node-3     Area              Normal\n"
            "------  ------ ------ ------  -----------  ------- ------- -------\n");
  EXPECT_NE(elements.find("     1       1      2      3   5.000e-01 ( 0.0000, 0.0000, 1.0000)\n"), std::string::npos);
  const std::string join = Listing("print interface 1 join");
  EXPECT_NE(join.find("     1              6      2\n"), std::string::npos);
  EXPECT_NE(join.find("     4       3              \n"), std::string::npos);

  EXPECT_EQ(Listing("print interface 1 position range cid 3"),
            "  ID         X           Y           Z\n"
            "------  ----------- ----------- -----------\n"
            "     3 (  1.000e+00,  1.000e+00,  1.000e+00)\n");
  EXPECT_EQ(Listing("print interface 1 target range cid 3"),
            "  ID    Zone--Face Penetration         Weighting Factors        Update\n"
            "------  ---------- ------------ ------- ------- ------- ------- ------\n"
            "     3 " +
                std::string(55, ' ') + " Yes\n");
  EXPECT_EQ(Listing("print interface 1 model range cid 3"),
            "  ID   Model Name\n------ -------------------\n     3 Default\n");
  EXPECT_EQ(Listing("print interface 1 states range cid 3"),
            "  ID   States\n------ --------------------\n     3 Not in contact.\n");
  EXPECT_EQ(Listing("print interface 1 host range cid 3"),
            "  ID    Zone--Face        Weighting Factors\n"
            "------  -------- - ------- ------- ------- -------\n"
            "     3        4 1  1.0000  0.0000  0.0000  0.0000\n");
  const std::string property = Listing("print interface 1 property range cid 3");
  EXPECT_EQ(property.rfind("  ID   Property             Value\n------ -------------------- -----------\n", 0), 0u);
  EXPECT_NE(property.find("     3 Friction             0.000000e+00\n"), std::string::npos);
  EXPECT_NE(property.find("     3 Bonded-slip allow-flag Off\n"), std::string::npos);
}

TEST_F(InterfaceCommandTest, PropertiesReachOnlyTheNodesInTheRange) {
  Run({"interface 1 property kn 1e9 ks 1e9 friction 30 bslip on range x 0 1.1"});
  int set = 0;
  for (InterfaceNode* n = Iface(1).Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
    const auto& law = static_cast<const InterfaceModel&>(*n->Model());
    const bool in = n->position[0] <= 1.1;
    set += in ? 1 : 0;
    EXPECT_EQ(law.kn, in ? 1e9 : 0.0) << n->id;
    EXPECT_EQ(law.friction, in ? std::tan(30 * kDegree) : 0.0) << n->id;
    EXPECT_EQ(law.bslip, in ? 1 : 0) << n->id;
  }
  EXPECT_EQ(set, 6);
  EXPECT_NE(Listing("print interface 1 property range cid 3").find("     3 Friction             3.000000e+01\n"),
            std::string::npos);
}

TEST_F(InterfaceCommandTest, StressesTolerancesAndUpdate) {
  Run({"interface 1 sstress 1 2 2 nstress -5 ctolerance 0.01 update off range cid 3",
       "interface 1 ctolerance 0.5 range cid 4"});
  const InterfaceNode& n3 = *Iface(1).FindNode(3);
  EXPECT_EQ(n3.shearStress[2], 2.0);
  EXPECT_EQ(n3.stressAddition, -5.0);
  EXPECT_EQ(n3.contactTolerance, 0.01);
  EXPECT_EQ(n3.flags & InterfaceNode::kKeepTarget, InterfaceNode::kKeepTarget);
  EXPECT_EQ(Iface(1).FindNode(4)->contactTolerance, 0.5);
  EXPECT_EQ(Iface(1).FindNode(2)->shearStress[2], 0.0);
  EXPECT_EQ(Listing("print interface 1 stress range cid 3"),
            "  ID   Norm. Stress Shear Stress  Shear Stress Direction\n"
            "------ ------------ ------------  ------- ------- -------\n"
            "     3   0.0000e+00   3.0000e+00 ( 0.3333, 0.6667, 0.6667)\n");
  EXPECT_EQ(Listing("print interface 1 prestress range cid 3"),
            "  ID    Pre-Stress\n------  ------------\n     3  -5.0000e+00\n");
  EXPECT_EQ(Listing("print interface 1 ctolerance range cid 3"),
            "  ID    Contact Tolerance\n------  ------------\n     3  1.0000e-02\n");
  EXPECT_NE(Listing("print interface 1 target range cid 3").find(" No\n"), std::string::npos);
  Run({"interface 1 update on range cid 3"});
  EXPECT_EQ(n3.flags & InterfaceNode::kKeepTarget, 0u);
}

TEST_F(InterfaceCommandTest, SmallDispScalesEachHostFaceOnceAndEachNodeOnce) {
  for (GridPoint* gp : GridPointList()) gp->smallDisplacement[0] = 1.0;
  for (InterfaceNode* n = Iface(1).Nodes().Head(); n; n = InterfaceNodeList::Next(n)) n->smallDisplacement[0] = 1.0;
  // Nodes 1 and 4 stand on faces of zones 1 and 2; node 3 on zone 4.
  Run({"interface 1 smalldisp 3 range y -0.1 0.1 x -0.1 1.1"});
  int tripled = 0, ninefold = 0;
  for (GridPoint* gp : GridPointList()) {
    tripled += gp->smallDisplacement[0] == 3.0 ? 1 : 0;
    ninefold += gp->smallDisplacement[0] == 9.0 ? 1 : 0;
  }
  EXPECT_EQ(ninefold, 2);  // the two corners the faces of zones 1 and 2 share
  EXPECT_EQ(tripled, 4);
  EXPECT_EQ(Iface(1).FindNode(1)->smallDisplacement[0], 3.0);
  EXPECT_EQ(Iface(1).FindNode(3)->smallDisplacement[0], 1.0);
  Run({"interface 1 smalldisp 0"});
  for (GridPoint* gp : GridPointList()) {
    if (gp->position[2] == 1.0) {
      EXPECT_EQ(gp->smallDisplacement[0], 0.0);
    }
  }
}

TEST_F(InterfaceCommandTest, FreeNodesAndElementsFromThem) {
  Run({"interface id 2 node 0.5 0.5 3", "interface 2 node id 7 1.5 0.5 3", "interface 2 node 3 3 3",
       "interface 2 element p3 node 1 p1 node 7 p2 1 1.5 3", "interface 2 element p1 1 1.5 3 p2 node 7 p3 3 0 3",
       "interface 2 grid"});
  Interface& iface = Iface(2);
  EXPECT_EQ(iface.Nodes().Count(), 5u);
  EXPECT_EQ(iface.FindNode(8)->position[0], 3.0);  // the counter moved past the id given
  const std::vector<InterfaceElem*> e = Elements(iface);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(CornerIds(*e[0]), (std::vector<uint32_t>{7, 9, 1}));
  EXPECT_EQ(CornerIds(*e[1]), (std::vector<uint32_t>{9, 7, 10}));
  EXPECT_EQ(e[0]->Neighbour(0), e[1]);
  EXPECT_EQ(e[1]->Neighbour(0), e[0]);
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) EXPECT_FALSE(n->HasHost());
  EXPECT_EQ(e[0]->Host().GetZone(), nullptr);
}

TEST_F(InterfaceCommandTest, TheIntegrityCheckNamesBrokenLinks) {
  Run({"interface 2 face range z 0.9 1.1 x 0 1 y 0 1"});
  InterfaceElem* first = Elements(Iface(1))[0];
  InterfaceElem* third = Elements(Iface(1))[2];
  first->SetNeighbour(0, third);  // third does not name it back
  EXPECT_EQ(Listing("moo"),
            "\n"
            "Elem 1 has neighbor 3 on edge 0\n"
            "Elem 3 has neighbors 2 8 4\n"
            " *** Element 1 fails test\n"
            "Interface 1 is corrupted \n");
  first->SetNeighbour(0, nullptr);
}

}  // namespace
