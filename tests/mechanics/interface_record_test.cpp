// The interfaces' section of the save file: interfaces, nodes with their
// laws and elements come back as they were; old records through their
// version gates; damaged records are read errors, never dangling pointers.
#include <string>

#include "base/app.h"
#include "mechanics/interface_fixture.h"
#include "support/memory_stream.h"

namespace {

class InterfaceRecordTest : public InterfaceTest {
 protected:
  void TearDown() override {
    ClearInterfaces();
    ReleaseIndexArrays();
    ResetRestoreVersions();
    InterfaceTest::TearDown();
  }

  static void SaveModel(SaveStream& s) {
    NumberAllLists();
    GroupList().Save(s);
    GridPointList().Save(s);
    ZoneList().Save(s);
    SaveInterfaceSection(s);
  }

  // As RESTORE does: everything cleared, the lists read, then remapped.
  static void RestoreModel(SaveStream& s) {
    ClearInterfaces();
    Reset();
    GroupList().Restore(s);
    GridPointList().Restore(s);
    ZoneList().Restore(s);
    RestoreInterfaceSection(s);
    GroupList().RemapAll();
    GridPointList().RemapAll();
    ZoneList().RemapAll();
    RemapInterfaceSection();
    ReleaseIndexArrays();
  }

  // The section alone, read and remapped; throws what the restore throws.
  static void RestoreSection(const std::string& bytes) {
    MemoryStream s;
    s.bytes = bytes;
    try {
      RestoreInterfaceSection(s);
      RemapInterfaceSection();
    } catch (...) {
      ReleaseIndexArrays();
      throw;
    }
    ReleaseIndexArrays();
  }

  // One interface of three free nodes and one element: its element record
  // is the last 34 bytes of the section.
  static std::string OneFreeElement() {
    Interface& iface = *Interfaces().CreateInterface(4);
    const double a[3] = {0, 0, 5}, b[3] = {1, 0, 5}, c[3] = {0, 1, 5};
    iface.CreateElement(iface.CreateNode(0, a), iface.CreateNode(0, b), iface.CreateNode(0, c), ZoneFace());
    NumberAllLists();
    MemoryStream s;
    SaveInterfaceSection(s);
    ClearInterfaces();
    return s.bytes;
  }

  // A node record as a file of the version holds it, up to the law's name.
  static void WriteNode(SaveStream& s, int32_t version, uint32_t flags) {
    s.WriteU32(5);  // id
    s.WriteU32(flags);
    s.WriteF64(0.0);                               // mass
    for (int i = 0; i < 8; ++i) s.WriteF32(0.0f);  // stiffness, area sum, velocity, padding
    const double position[3] = {1.5, 2.5, 3.5};
    for (double v : position) s.WriteF64(v);
    for (int i = 0; i < 15; ++i) s.WriteF64(0.0);  // displacement, offset, force, force twice
    s.WriteU8(0);                                  // no dynamic block
    s.WriteU32(0);                                 // no extra variables
    s.WriteU32(0);                                 // damping kind
    s.WriteF32(0.8f);
    ASSERT_LT(version, 310);
    for (int i = 0; i < 16; ++i) s.WriteF64(i == 3 ? 9.0 : 0.0);  // area .. shear stress; addition 9
    for (int i = 0; i < 2; ++i) {
      s.WriteU8(0);   // face
      s.WriteU32(0);  // no zone
    }
    for (int i = 0; i < 2; ++i) {
      for (int k = 0; k < 4; ++k) s.WriteF64(0.0);
      s.WriteU8(0);
      s.WriteU8(0);
    }
  }
};

TEST_F(InterfaceRecordTest, SaveRestoreSaveIsByteIdentical) {
  Run({"interface 1 face range z 0.9 1.1", "interface 1 maxedge 0.8",
       "interface 1 property kn 1e9 ks 2e9 cohesion 1e4 friction 30 tension 1e5 dilation 5 sbratio 50 bslip on "
       "range x 0 1.1",
       "interface 1 sstress 1 2 3 nstress -4 ctolerance 0.25 update off range cid 2 5", "interface 7 node 9 9 9",
       "interface 7 element p1 node 1 p2 9 8 9 p3 8 9 9 effective off"});
  InterfaceNode* n = Iface(1).FindNode(3);
  n->target = ZoneFace(FindZone(2), 3);
  n->targetWeights.weight[1] = 0.5;
  n->targetWeights.inside = 1;
  n->Model()->SetState(0xA0);
  n->area = 0.75;
  Interfaces().nextId = 3;
  const uint32_t elements = Iface(1).Elements().Count();

  MemoryStream first;
  SaveModel(first);
  MemoryStream in;
  in.bytes = first.bytes;
  RestoreModel(in);
  EXPECT_EQ(in.Remaining(), 0u);
  MemoryStream second;
  SaveModel(second);
  EXPECT_EQ(second.bytes, first.bytes);

  ASSERT_EQ(Interfaces().Count(), 2u);
  EXPECT_EQ(Interfaces().nextId, 3u);
  Interface& iface = Iface(1);
  EXPECT_EQ(iface.Elements().Count(), elements);
  EXPECT_EQ(iface.maxEdgeFlag, 1);
  EXPECT_EQ(iface.permeability, 0);
  CheckMesh(iface);
  const InterfaceNode& back = *iface.FindNode(3);
  EXPECT_EQ(back.target.GetZone(), FindZone(2));
  EXPECT_EQ(back.target.Face(), 3);
  EXPECT_EQ(back.targetWeights.weight[1], 0.5);
  EXPECT_EQ(back.Model()->GetState(), 0xA0u);
  EXPECT_EQ(back.Model()->Owner(), &back);
  EXPECT_EQ(back.Model()->GetPropertyText(InterfaceModel::kDilation).str(), "5.000000e+00");
  EXPECT_EQ(iface.FindNode(2)->flags & InterfaceNode::kKeepTarget, InterfaceNode::kKeepTarget);
  EXPECT_EQ(iface.FindNode(5)->shearStress[2], 3.0);
  for (InterfaceElem* e : Elements(iface)) EXPECT_EQ(e->Host().Face(), 1);
  EXPECT_EQ(Iface(7).effective, 0);
  EXPECT_EQ(Elements(Iface(7))[0]->Host().GetZone(), nullptr);
  // The counters go on from where they were.
  Run({"interface 7 node 20 20 20"});
  EXPECT_NE(Iface(7).FindNode(4), nullptr);
}

TEST_F(InterfaceRecordTest, NoInterfacesIsTheCounterAndAnEmptyList) {
  MemoryStream s;
  SaveInterfaceSection(s);
  EXPECT_EQ(s.bytes, std::string(8, '\0'));
}

// Interfaces of files up to 187 hold no flag bytes.
TEST_F(InterfaceRecordTest, OldInterfacesTakeTheirFlagsOn) {
  for (int32_t version : {187, 188}) {
    SCOPED_TRACE(version);
    CurrentRestoreVersions().program = version;
    MemoryStream s;
    s.WriteU32(5);  // next id
    s.WriteU32(1);  // one interface
    s.WriteU32(0);  // its type code
    s.WriteU32(2);  // id
    s.WriteF64(0.5);
    if (version > 187) {
      s.WriteU8(1);
      s.WriteU8(0);
      s.WriteU8(0);
    }
    for (int i = 0; i < 2; ++i) {
      s.WriteU32(1);  // next id
      s.WriteU32(0);  // no items
    }
    RestoreSection(s.bytes);
    const Interface& iface = Iface(2);
    EXPECT_EQ(iface.maxEdge, 0.5);
    EXPECT_EQ(iface.permeability, version > 187 ? 0 : 1);
    EXPECT_EQ(iface.effective, version > 187 ? 0 : 1);
    EXPECT_EQ(iface.maxEdgeFlag, version > 187 ? 1 : 0);
  }
}

// Files up to 233 (and 300 to 302) kept the contact state in the node's
// flag word; a node without a law's name keeps its default law.
TEST_F(InterfaceRecordTest, OldNodesGiveTheirFlagsToTheLaw) {
  for (int32_t version : {233, 234, 301}) {
    SCOPED_TRACE(version);
    CurrentRestoreVersions().program = version;
    MemoryStream s;
    WriteNode(s, version, 0xA0);
    SaveString(s, "Default");
    if (version == 234) {
      s.WriteU32(0x100);
      s.WriteI32(1);
    }
    for (int i = 0; i < 7; ++i) s.WriteF64(i + 1.0);
    s.WriteU8(0);
    InterfaceNode node;
    node.Restore(s);
    EXPECT_EQ(s.Remaining(), 0u);
    EXPECT_EQ(node.position[1], 2.5);
    EXPECT_EQ(node.stressAddition, 9.0);
    const auto& law = static_cast<const InterfaceModel&>(*node.Model());
    EXPECT_EQ(law.sbratio, 7.0);
    EXPECT_EQ(law.GetState(), version == 234 ? 0x100u : 0xA0u);
    EXPECT_EQ(law.Owner(), &node);
  }
  CurrentRestoreVersions().program = 300;
  MemoryStream s;
  WriteNode(s, 300, 0);
  SaveString(s, "");
  InterfaceNode node;
  static_cast<InterfaceModel&>(*node.Model()).kn = 3.0;
  node.Restore(s);
  EXPECT_EQ(s.Remaining(), 0u);
  EXPECT_EQ(static_cast<const InterfaceModel&>(*node.Model()).kn, 3.0);
}

TEST_F(InterfaceRecordTest, DamagedRecordsAreReadErrors) {
  const std::string good = OneFreeElement();
  ASSERT_NO_THROW(RestoreSection(good));
  ASSERT_EQ(Iface(4).Elements().Count(), 1u);
  const size_t element = good.size() - 34;
  auto patch = [&](size_t at, uint32_t value, int bytes) {
    std::string bad = good;
    for (int i = 0; i < bytes; ++i) bad[at + i] = static_cast<char>(value >> (8 * i));
    return bad;
  };
  const size_t name = good.find("Default");
  ASSERT_NE(name, std::string::npos);
  std::string renamed = good;
  renamed.replace(name, 7, "Bogus!!");
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"a corner beyond the node list", patch(element + 5, 4, 4)},
      {"no corner", patch(element + 9, 0, 4)},
      {"a neighbour beyond the element list", patch(element + 17, 2, 4)},
      {"a face number above 5", patch(element + 29, 6, 1)},
      {"a host zone that is not there", patch(element + 30, 7, 4)},
      {"a law of another name", renamed},
      {"a cut record", good.substr(0, good.size() - 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      RestoreSection(c.bytes);
      ADD_FAILURE() << "restored";
    } catch (const KWRExcept& e) {
      EXPECT_STREQ(e.Text(), "Error reading save file");
    }
    ClearInterfaces();
  }
}

// NEW empties the list and its counter.
TEST_F(InterfaceRecordTest, NewClearsTheInterfaces) {
  Run({"interface 1 face range z 0.9 1.1", "interface 0 grid"});
  ASSERT_EQ(Interfaces().Count(), 2u);
  CurrentModel().Sections().Clear("interfaces");
  EXPECT_EQ(Interfaces().Count(), 0u);
  EXPECT_EQ(Interfaces().nextId, 0u);
}

}  // namespace
