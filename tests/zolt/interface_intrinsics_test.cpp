// The interface intrinsics on free interfaces (no host zones): walking the
// lists, reading and setting node quantities, the errors, and pointers to
// nodes and elements that were destroyed.
#include <string>

#include "mechanics/interface.h"
#include "zolt/zolt_fixture.h"
#include "zolt/zolt_intrinsics.h"

namespace {

class InterfaceIntrinsicsTest : public ZoltFixture {
 protected:
  InterfaceIntrinsicsTest() {
    InstallZoltInterfaceIntrinsics();
    ClearInterfaces();
    // Interface 3: two elements on four nodes (a unit square at z = 1);
    // interface 7: one element.
    Interface& a = *Interfaces().CreateInterface(3);
    InterfaceNode* n[4];
    const double p[4][3] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (int k = 0; k < 4; ++k) n[k] = a.CreateNode(0, p[k]);
    a.CreateElement(n[0], n[1], n[2], ZoneFace());
    a.CreateElement(n[0], n[2], n[3], ZoneFace());
    n[1]->hostWeights.weight[0] = 0.25;
    n[1]->hostWeights.weight[1] = 0.5;
    n[1]->targetWeights.weight[0] = 0.125;
    n[1]->targetWeights.weight[1] = 0.75;
    Interface& b = *Interfaces().CreateInterface(7);
    const double q[3][3] = {{0, 0, 5}, {2, 0, 5}, {0, 2, 5}};
    b.CreateElement(b.CreateNode(0, q[0]), b.CreateNode(0, q[1]), b.CreateNode(0, q[2]), ZoneFace());
  }
  ~InterfaceIntrinsicsTest() override { ClearInterfaces(); }
};

TEST_F(InterfaceIntrinsicsTest, WalksEveryInterfaceNodeAndElement) {
  // Ids of interfaces, nodes and elements in list order, and the walk ends
  // with the null pointer.
  EXPECT_EQ(ValueOf({"s = ''", "i = i_head", "loop while i # null", "s = s + 'I' + string(i_id(i))",
                     "n = i_node_head(i)", "loop while n # null", "s = s + 'n' + string(in_id(n))", "n = in_next(n)",
                     "end_loop", "e = i_elem_head(i)", "loop while e # null", "s = s + 'e' + string(ie_id(e))",
                     "e = ie_next(e)", "end_loop", "i = i_next(i)", "end_loop", "x = s"}),
            "x = I3n1n2n3n4e1e2I7n1n2n3e1\n");
  EXPECT_EQ(ValueOf({"x = 0", "if i_find(99) = null then", "x = i_id(i_find(7))", "end_if"}), "x = 7\n");
  // The vertices of an element, its area and normal; the elements were
  // never joined.
  EXPECT_EQ(ValueOf({"e = i_elem_head(i_find(3))", "x = in_id(ie_vert(e,3)) * 100 + ie_area(e) * 2"}), "x = 301\n");
  EXPECT_EQ(ValueOf({"x = 0", "if ie_join(i_elem_head(i_find(3)), 3) = null then", "x = 1", "end_if"}), "x = 1\n");
  EXPECT_EQ(ValueOf({"x = abs(ie_norm(i_elem_head(i_find(7)), 3))"}), "x = 1\n");
}

TEST_F(InterfaceIntrinsicsTest, ReadsAndSetsNodeQuantities) {
  // Component 2 of the shear stress alone changes.
  EXPECT_EQ(ValueOf({"n = in_next(i_node_head(i_find(3)))", "in_sstr(n,1) = 1", "in_sstr(n,3) = 3", "in_sstr(n,2) = 7",
                     "x = in_sstr(n,1) * 100 + in_sstr(n,2) * 10 + in_sstr(n,3)"}),
            "x = 173\n");
  const InterfaceNode* n2 = InterfaceNodeList::Next(Interfaces().Find(3)->Nodes().Head());
  EXPECT_EQ(n2->shearStress[1], 7.0);
  // No target: no penetration, no target zone, face 0.
  EXPECT_EQ(ValueOf({"n = i_node_head(i_find(3))", "x = in_pen(n) + in_ftarget(n) + 5", "if in_ztarget(n) # null then",
                     "x = 'zone'", "end_if"}),
            "x = 5\n");
  // Host weight i and target weight i of one node.
  EXPECT_EQ(
      ValueOf({"n = in_next(i_node_head(i_find(3)))",
               "x = in_hweight(n,1) * 1000 + in_hweight(n,2) * 100 + in_tweight(n,1) * 80 + in_tweight(n,2) * 4"}),
      "x = 313\n");
  // Properties by name: friction is read in degrees and set from the value's text.
  EXPECT_EQ(ValueOf({"n = i_node_head(i_find(3))", "in_prop(n,'kn') = 2e9", "in_prop(n,'friction') = 30",
                     "x = in_prop(n,'Normal Stiffness') / 1e9 + in_prop(n,'friction')"}),
            "x = 32\n");
  EXPECT_EQ(ValueOf({"n = i_node_head(i_find(3))", "in_pos(n,3) = 4", "in_vel(n,1) = -2",
                     "x = in_pos(n,3) + in_vel(n,1) + in_disp(n,1)"}),
            "x = 2\n");
}

TEST_F(InterfaceIntrinsicsTest, BadInputIsAScriptError) {
  const struct {
    const char* line;
    const char* error;
  } kCases[] = {
      {"x = in_prop(i_node_head(i_find(3)), 'stiffness')", "Property does not match model"},
      {"in_prop(i_node_head(i_find(3)), 'nonsense') = 1", "Property does not match model"},
      {"x = in_id(i_head)", "Bad pointer conversion"},
      {"x = i_id(i_elem_head(i_head))", "Bad pointer conversion"},
      {"x = in_id(3)", "Bad pointer conversion"},
      {"x = i_next(i_find(99))", "Null pointer in i_next"},
      {"x = in_area(null)", "Null pointer in in_area"},
      {"x = in_sstr(i_node_head(i_head), 4)", "Index outside 1 to 3 in in_sstr"},
      {"in_sdisp(i_node_head(i_head), 0) = 1", "Index outside 1 to 3 in in_sdisp"},
      {"x = ie_vert(i_elem_head(i_head), -1)", "Index outside 1 to 3 in ie_vert"},
      {"x = in_hweight(i_node_head(i_head), 5)", "Index outside 1 to 4 in in_hweight"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(Error(Run({"define fn", c.line, "end", "fn"})), c.error);
  }
}

TEST_F(InterfaceIntrinsicsTest, DestroyedNodesAndElementsAnswerTheNullPointerError) {
  Run({"define keep", "e = i_elem_head(i_find(7))", "n = i_node_head(i_find(7))", "j = i_find(7)", "end", "keep"});
  // The second interface's element and nodes go; so, with NEW, do both interfaces.
  Interface& b = *Interfaces().Find(7);
  b.DestroyElements([](const InterfaceElem&, void*) { return true; }, nullptr);
  b.RemoveUnusedNodes();
  EXPECT_EQ(Error(Run({"define fn", "x = ie_area(e)", "end", "fn"})), "Null pointer in ie_area");
  EXPECT_EQ(Error(Run({"define fn", "x = in_next(n)", "end", "fn"})), "Null pointer in in_next");
  EXPECT_EQ(ValueOf({"x = i_id(j)"}), "x = 7\n");
  ClearInterfaces();
  EXPECT_EQ(Error(Run({"define fn", "x = i_id(j)", "end", "fn"})), "Null pointer in i_id");
}

}  // namespace
