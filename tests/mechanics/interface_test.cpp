// Interfaces built on zone faces and from nodes: shared nodes, joined
// neighbours, refinement, wrapping, deletion and the upkeep after zones go,
// areas, and the range subjects.
#include <cmath>
#include <set>

#include "mechanics/interface_fixture.h"
#include "model/range_model.h"

namespace {

TEST_F(InterfaceTest, FacesShareTheirCornerNodesAndJoinAcrossEdges) {
  Run({"interface 1 face range z 0.9 1.1"});
  Interface& iface = Iface(1);
  ASSERT_EQ(iface.Nodes().Count(), 9u);
  ASSERT_EQ(iface.Elements().Count(), 8u);
  const std::vector<InterfaceElem*> elements = Elements(iface);
  // Each face gives (0, 1, 2) and (0, 2, 3) of its corners.
  EXPECT_EQ(CornerIds(*elements[0]), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(CornerIds(*elements[1]), (std::vector<uint32_t>{1, 3, 4}));
  CheckMesh(iface);
  int joined = 0;
  for (InterfaceElem* e : elements) {
    double n[3];
    e->Normal(n);
    EXPECT_EQ(n[2], 1.0);  // out of the host zone
    EXPECT_EQ(e->Host().Face(), 1);
    for (int k = 0; k < 3; ++k) joined += e->Neighbour(k) ? 1 : 0;
  }
  EXPECT_EQ(joined, 2 * 8);  // 8 inner edges, each seen from both sides
  EXPECT_DOUBLE_EQ(TotalArea(iface), 4.0);
  // Every node stands on its host face where its weights put it.
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
    ASSERT_TRUE(n->HasHost());
    const double before[3] = {n->position[0], n->position[1], n->position[2]};
    n->UpdatePosition();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(n->position[i], before[i], 1e-12);
  }
  // Faces of the same zone in another interface are free to use.
  Run({"interface 2 face range z 0.9 1.1 x 0 1 y 0 1"});
  EXPECT_EQ(Iface(2).Elements().Count(), 2u);
}

// The look-ups of a command only speed it up: the same faces, nodes and
// links come out when every search walks the lists.
TEST_F(InterfaceTest, LookupsGiveWhatTheListWalksGive) {
  Reset();
  Run({"gen zone brick size 3 2 2", "model elastic"});
  Interfaces().CreateInterface(1);
  Interfaces().CreateInterface(2);
  Iface(1).AddFacesInRange(Range());
  {
    InterfaceLookupScope scope(Iface(2));
    Iface(2).AddFacesInRange(Range());
    Iface(2).maxEdge = 0.4;
    Iface(2).Refine(Range(), interp);
  }
  Iface(1).maxEdge = 0.4;
  Iface(1).Refine(Range(), interp);
  const std::vector<InterfaceElem*> a = Elements(Iface(1));
  const std::vector<InterfaceElem*> b = Elements(Iface(2));
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GT(a.size(), 100u);
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(CornerIds(*a[i]), CornerIds(*b[i])) << i;
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(a[i]->Neighbour(k) ? a[i]->Neighbour(k)->Id() : 0u, b[i]->Neighbour(k) ? b[i]->Neighbour(k)->Id() : 0u);
  }
  EXPECT_LT(CheckMesh(Iface(2)), 0.4);
}

TEST_F(InterfaceTest, ANodeStandsAtAPointWithinItsRelativeTolerance) {
  Interface& iface = *Interfaces().CreateInterface(1);
  const double origin[3] = {0, 0, 0};
  const double far[3] = {1000, 0, 0};
  iface.CreateNode(0, origin);
  iface.CreateNode(0, far);
  const double twin[3] = {1000 + 0.00048828125, 0, 0};
  iface.CreateNode(0, twin);  // as near to the probe half-way as node 2
  struct Case {
    double p[3];
    uint32_t id;  // 0: none
  } cases[] = {
      {{0, 0, 0}, 1},                      // at the origin the tolerance is 1e-12
      {{1e-13, 0, 0}, 0},                  // elsewhere it is relative to the point
      {{1000 + 0.000244140625, 0, 0}, 2},  // equal distances: the first made
      {{1000 + 2.5e-3, 0, 0}, 0},
      {{1000, 0, 9.9e-4}, 2},
      {{1000, 0, 1.01e-3}, 0},
  };
  for (int scoped = 0; scoped < 2; ++scoped) {
    std::unique_ptr<InterfaceLookupScope> scope;
    if (scoped) scope = std::make_unique<InterfaceLookupScope>(iface);
    for (const Case& c : cases) {
      const InterfaceNode* n = iface.NodeAt(c.p);
      EXPECT_EQ(n ? n->id : 0u, c.id) << c.p[0] << " " << c.p[2] << " scoped " << scoped;
    }
  }
  // The nearest node beyond any tolerance.
  const double p[3] = {600, 0, 0};
  EXPECT_EQ(iface.FindNearestNode(p)->id, 2u);
}

TEST_F(InterfaceTest, RefinementLeavesNoLongEdgeAndKeepsTheMeshWhole) {
  Run({"interface 1 face range z 0.9 1.1"});
  const std::string out = Run({"interface 1 maxedge 0.6"});
  EXPECT_NE(
      out.find("*** This will make interfaces impermeable to fluid flow and override permeability flag if set \n"),
      std::string::npos);
  Interface& iface = Iface(1);
  EXPECT_LT(CheckMesh(iface), 0.6);
  EXPECT_DOUBLE_EQ(TotalArea(iface), 4.0);
  EXPECT_EQ(iface.permeability, 0);
  // The nodes made at midpoints sit on their host faces, with the mean law
  // of the edge's ends.
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
    EXPECT_TRUE(n->HasHost()) << n->id;
    EXPECT_EQ(n->position[2], 1.0);
  }
  EXPECT_EQ(Run({"interface 1 permeability on"}),
            "Terrax>interface 1 permeability on\n*** MaxEdge has been specified. Permeability will default to OFF \n");
  EXPECT_EQ(iface.permeability, 0);

  // A maximum above every edge splits nothing, and still turns permeability off.
  Run({"interface 2 face range z 0.9 1.1", "interface 2 maxedge 5"});
  EXPECT_EQ(Iface(2).Elements().Count(), 8u);
  EXPECT_EQ(Iface(2).permeability, 0);
  // A maximum of 0 would never end.
  EXPECT_EQ(Run({"interface 2 maxedge 0"}),
            "Terrax>interface 2 maxedge 0\n*** Maximum edge length must be greater than 0\n");
  EXPECT_EQ(Iface(2).maxEdge, 5.0);
}

// The grid moved since the nodes were last placed (a large-strain step):
// refinement finds the nodes where their faces are now, and makes no second
// node where one stands.
TEST_F(InterfaceTest, RefinementFollowsTheFacesWhereTheyAreNow) {
  // Beside the faces, a free element whose long edge has a face node at its middle.
  Run({"interface 1 face range z 0.9 1.1", "interface 1 element p1 0 0 1 p2 2 0 1 p3 1 -1 1.5"});
  for (GridPoint* gp : GridPointList()) gp->position[2] += 0.5;
  Run({"interface 1 maxedge 0.6 range z 1.4 1.6"});
  Interface& iface = Iface(1);
  std::set<std::vector<double>> places;
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
    EXPECT_EQ(n->position[2], 1.5);
    places.insert({n->position[0], n->position[1]});
  }
  EXPECT_EQ(places.size(), iface.Nodes().Count());
  for (InterfaceElem* e : Elements(iface))
    for (int k = 0; k < 3; ++k) EXPECT_LT(EdgeLength(*e, k), 0.6);
}

TEST_F(InterfaceTest, RefinementCutsANeighbourThatRunsTheOtherWay) {
  // Two free elements on the edge 1-2, the second ordered against the first.
  Run({"interface 1 element p1 0 0 3 p2 2 0 3 p3 1 1 3", "interface 1 element p1 0 0 3 p2 2 0 3 p3 1 -1 3",
       "interface 2 element p1 0 0 3 p2 2 0 3 p3 1 1 3", "interface 2 element p1 2 0 3 p2 0 0 3 p3 1 -1 3"});
  for (uint32_t id : {1u, 2u}) {
    SCOPED_TRACE(id);
    Interface& iface = Iface(id);
    ASSERT_EQ(Elements(iface)[0]->Neighbour(0), Elements(iface)[1]);
    Run({("interface " + std::to_string(id) + " maxedge 1.5").c_str()});
    EXPECT_EQ(iface.Elements().Count(), 4u);
    EXPECT_EQ(iface.Nodes().Count(), 5u);
    EXPECT_LT(CheckMesh(iface), 1.5);
    EXPECT_DOUBLE_EQ(TotalArea(iface), 2.0);
    EXPECT_TRUE(iface.CheckElements(interp));
  }
}

TEST_F(InterfaceTest, AnEdgeTooShortForANodeOfItsOwnStaysWhole) {
  Interface& iface = *Interfaces().CreateInterface(1);
  const double a[3] = {1000, 0, 0}, b[3] = {1000 + 1e-3, 0, 0}, c[3] = {1000, 1e-3, 0};
  iface.CreateElement(iface.CreateNode(0, a), iface.CreateNode(0, b), iface.CreateNode(0, c), ZoneFace());
  iface.maxEdge = 1e-4;
  iface.Refine(Range(), interp);  // the midpoint of any edge is within 1e-3 of an end
  EXPECT_EQ(iface.Elements().Count(), 1u);
}

TEST_F(InterfaceTest, DeleteTakesTheElementsInTheRangeAndTheNodesLeftAlone) {
  Run({"interface 1 face range z 0.9 1.1", "interface 1 delete range x 0 1 y 0 1"});
  Interface& iface = Iface(1);
  EXPECT_EQ(iface.Elements().Count(), 6u);
  EXPECT_EQ(iface.Nodes().Count(), 8u);  // the corner at the origin goes
  CheckMesh(iface);
  const double origin[3] = {0, 0, 1};
  EXPECT_EQ(iface.NodeAt(origin), nullptr);
  Run({"interface 1 delete"});
  EXPECT_EQ(iface.Elements().Count(), 0u);
  EXPECT_EQ(iface.Nodes().Count(), 0u);
}

TEST_F(InterfaceTest, AfterZonesAreDeletedTheirElementsGoAndTheNodesMove) {
  Run({"interface 1 face range z 0.9 1.1", "interface 2 face range z 0.9 1.1 x 1 2 y 1 2"});
  Interface& iface = Iface(1);
  Zone* doomed = FindZone(4);
  // A node that touched the zone forgets it.
  InterfaceNode* toucher = iface.FindNode(1);
  toucher->target = ZoneFace(doomed, 0);
  std::vector<InterfaceNode*> moved;
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n))
    if (n->host.GetZone() == doomed) moved.push_back(n);
  ASSERT_EQ(moved.size(), 4u);
  doomed->SetFlags(doomed->Flags() | Zone::kDeleted);
  Interfaces().RemoveDeleted(interp);
  doomed->SetFlags(doomed->Flags() & ~Zone::kDeleted);
  interp.flush();
  EXPECT_EQ(device.Take(), "");  // every node found another face
  EXPECT_EQ(iface.Elements().Count(), 6u);
  EXPECT_EQ(iface.Nodes().Count(), 8u);  // the corner only the zone had is gone
  EXPECT_EQ(toucher->target.GetZone(), nullptr);
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) {
    EXPECT_TRUE(n->HasHost()) << n->id;
    EXPECT_NE(n->host.GetZone(), doomed) << n->id;
  }
  CheckMesh(iface);
  // Interface 2 lay only on the zone: nothing of it is left.
  EXPECT_EQ(Iface(2).Elements().Count(), 0u);
  EXPECT_EQ(Iface(2).Nodes().Count(), 0u);
}

TEST_F(InterfaceTest, ANodeThatCannotMoveToAnotherFaceLosesItsHost) {
  Run({"interface 1 face range z 0.9 1.1 x 0 1 y 0 1"});
  Interface& iface = Iface(1);
  // A free element through a node of the face keeps that node when the zone goes.
  InterfaceNode* corner = iface.FindNode(3);
  const double p[3] = {5, 5, 5}, q[3] = {6, 5, 5};
  iface.CreateElement(corner, iface.CreateNode(0, p), iface.CreateNode(0, q), ZoneFace());
  Zone* doomed = corner->host.GetZone();
  doomed->SetFlags(doomed->Flags() | Zone::kDeleted);
  iface.RemoveDeleted(interp);
  doomed->SetFlags(doomed->Flags() & ~Zone::kDeleted);
  interp.flush();
  EXPECT_EQ(device.Take(), "Warning! Failed to re-attach interface node 3 to a zone face.\n");
  EXPECT_FALSE(corner->HasHost());
  EXPECT_EQ(iface.Nodes().Count(), 3u);
}

TEST_F(InterfaceTest, AreasGoToTheCornersByTheirAngles) {
  Run({"interface 1 face range z 0.9 1.1 x 0 1 y 0 1"});
  Interface& iface = Iface(1);
  double shares[3];
  Elements(iface)[0]->CornerShares(shares);  // right angle at corner 2
  EXPECT_NEAR(shares[0], 0.25, 1e-12);
  EXPECT_NEAR(shares[1], 0.5, 1e-12);
  EXPECT_NEAR(shares[2], 0.25, 1e-12);
  iface.ClearNodeAreas();
  iface.AccumulateAreas();
  double total = 0.0;
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) total += n->area;
  EXPECT_NEAR(total, 1.0, 1e-12);
  EXPECT_NEAR(iface.FindNode(1)->area, 0.25, 1e-12);  // two 45-degree corners
  EXPECT_NEAR(iface.FindNode(2)->area, 0.25, 1e-12);  // one right angle
  EXPECT_EQ(iface.FindNode(1)->elementCount, 2u);
  EXPECT_EQ(iface.FindNode(1)->normal[2], 2.0);
  // The host zone is marked as host, never as deleted.
  EXPECT_EQ(FindZone(1)->Flags() & (kInterfaceHostMark | Zone::kDeleted), kInterfaceHostMark);
  EXPECT_EQ(FindZone(2)->Flags() & kInterfaceHostMark, 0u);
  // An element on a null zone gives its corners nothing.
  FindZone(1)->SetModelByName("null");
  iface.ClearNodeAreas();
  iface.AccumulateAreas();
  for (InterfaceNode* n = iface.Nodes().Head(); n; n = InterfaceNodeList::Next(n)) EXPECT_EQ(n->area, 0.0);
  // An element without area shares equally, without NaN.
  const double a[3] = {7, 7, 7};
  InterfaceNode* x = iface.CreateNode(0, a);
  InterfaceElem* flat = iface.CreateElement(x, iface.CreateNode(0, a), iface.CreateNode(0, a), ZoneFace());
  flat->CornerShares(shares);
  EXPECT_EQ(shares[0], 1.0 / 3.0);
}

TEST_F(InterfaceTest, WrapLaysElementsOnTheExposedFacesOfAGroup) {
  // Two bricks one above the other, not glued: their touching faces have no neighbour.
  Reset();
  UnitBrick()->SetGroupByName("below");
  GridPoint* gps[8];
  static const double kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                       {1, 1, 0}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}};
  for (int i = 0; i < 8; ++i) {
    const double p[3] = {kCorner[i][0], kCorner[i][1], kCorner[i][2] + 1.0};
    gps[i] = CreateGridPoint(p);
  }
  CreateZone(kBrick, gps)->SetGroupByName("above");
  for (Zone* z : ZoneList()) z->SetModelByName("elastic");

  Run({"interface 1 wrap below above", "interface 2 wrap below", "interface 3 wrap above below",
       "interface 4 wrap below nosuch", "interface 5 wrap below above range z -0.1 0.1"});
  EXPECT_EQ(Iface(1).Elements().Count(), 2u);  // only the face on the other group
  EXPECT_EQ(Elements(Iface(1))[0]->Host().Face(), 1);
  EXPECT_EQ(Iface(2).Elements().Count(), 12u);  // the whole surface
  EXPECT_EQ(Iface(3).Elements().Count(), 2u);
  EXPECT_EQ(Elements(Iface(3))[0]->Host().GetZone()->GetGroup()->Name().str(), "above");
  EXPECT_EQ(Iface(4).Elements().Count(), 12u);  // an unknown second group is none
  EXPECT_EQ(Iface(5).Elements().Count(), 0u);
  EXPECT_EQ(Run({"interface 6 wrap nosuch"}),
            "Terrax>interface 6 wrap nosuch\n*** Must specify at least one valid group.\n");
  // A second word that is a keyword of the command stays one.
  Run({"interface 7 wrap below effective off"});
  EXPECT_EQ(Iface(7).Elements().Count(), 12u);
  EXPECT_EQ(Iface(7).effective, 0);
}

TEST_F(InterfaceTest, ANodeMeasuresItselfAgainstItsTargetFace) {
  InterfaceNode node;
  node.position[0] = 0.25;
  node.position[1] = 0.5;
  node.position[2] = 1.2;
  node.smallDisplacement[2] = 0.05;
  node.UpdatePosition();  // no host: nothing moves it
  EXPECT_EQ(node.position[2], 1.2);
  EXPECT_EQ(node.DistanceToTarget(), 0.0);
  node.target = ZoneFace(FindZone(1), 1);  // the top of zone 1, facing +z
  ASSERT_TRUE(ZoneFace::ProjectPoint(node.targetWeights, node.position, &node.target, 1.0));
  EXPECT_NEAR(node.DistanceToTarget(), 0.25, 1e-12);  // in front of the face, offset included
  for (GridPoint* gp : GridPointList()) gp->porePressure = 10.0;
  EXPECT_EQ(node.PorePressure(), 0.0);  // no area, no pressure
  node.area = 1.0;
  EXPECT_NEAR(node.PorePressure(), 10.0, 1e-12);
  // On a host face the node follows the face's corners.
  ASSERT_TRUE(node.AttachToHostFace(ZoneFace(FindZone(1), 1)));
  for (GridPoint* gp : GridPointList()) gp->velocity[0] = 2.0;
  node.UpdatePosition();
  EXPECT_NEAR(node.position[2], 1.0, 1e-12);
  EXPECT_NEAR(node.position[0], 0.25, 1e-12);
  EXPECT_NEAR(node.velocity[0], 2.0, 1e-12);
  EXPECT_FALSE(node.AttachToHostFace(ZoneFace(FindZone(2), 1)));  // beyond that face
  EXPECT_EQ(node.host.GetZone(), FindZone(1));
}

TEST_F(InterfaceTest, RangeSubjectsAnswerForThemselves) {
  Run({"interface 1 face range z 0.9 1.1 x 0 1 y 0 1", "interface 1 element p1 5 0 0 p2 5 1 0 p3 5 0 1"});
  Interface& iface = Iface(1);
  auto parse = [&](const char* phrase) {
    interp.ClearTokens();
    std::string text = std::string("x range ") + phrase;
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find(' ', at);
      if (end == std::string::npos) end = text.size();
      interp.AddToken(text.substr(at, end - at).c_str());
      at = end + 1;
    }
    interp.TokenIndex() = 1;
    Range r;
    r.Parse(interp);
    return r;
  };
  std::vector<InterfaceElem*> e = Elements(iface);
  EXPECT_TRUE(parse("cid 3").IsIn(iface.FindNode(3)));
  EXPECT_FALSE(parse("cid 3").IsIn(iface.FindNode(4)));
  EXPECT_TRUE(parse("cid 2").IsIn(e[1]));
  EXPECT_FALSE(parse("cid 2").IsIn(e[0]));
  EXPECT_TRUE(parse("id 1").IsIn(&iface));
  EXPECT_FALSE(parse("id 2").IsIn(&iface));
  // The face elements look up, the free one along -x.
  EXPECT_TRUE(parse("direction 0 0 1 angle 10").IsIn(e[0]));
  EXPECT_FALSE(parse("direction 0 0 1 angle 10").IsIn(e[2]));
  EXPECT_TRUE(parse("direction -1 0 0 angle 10").IsIn(e[2]));
  double centre[3];
  iface.GetPosition(centre);
  EXPECT_NEAR(centre[0], (0 + 0 + 1 + 1 + 5 * 3) / 7.0, 1e-12);
}

}  // namespace
