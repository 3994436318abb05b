// ATTACH typed as a user would: refused input leaves no trace, the
// automatic face search ties corners, edge points and face points, takes a
// point just off a face in its second pass, shows its progress, stops at
// ESC keeping what it made, and joins two columns of different zone sizes
// into one that carries its weight as a single column would.
#include <cmath>
#include <string>
#include <vector>

#include "mechanics/attach_condition.h"
#include "model/grid_fixture.h"

namespace {

class AttachCommandTest : public GridTest {
 protected:
  // Runs the lines and fails on any error the command loop reports.
  std::string Commands(std::initializer_list<const char*> lines) {
    const std::string out = Run(lines);
    EXPECT_EQ(out.find("***"), std::string::npos) << out;
    return out;
  }

  static std::vector<AttachCondition*> Ties() {
    std::vector<AttachCondition*> out;
    for (AttachCondition* t = GlobalAttachList().Head(); t; t = AttachList::Next(t)) out.push_back(t);
    return out;
  }

  static bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
};

TEST_F(AttachCommandTest, RefusedInputLeavesNoTrace) {
  Commands({"gen zone brick size 2 2 2", "model elastic", "attach gp 3 gp 1"});
  struct Case {
    const char* line;
    const char* message;
  };
  for (const Case c : {
           Case{"attach gp 999 gp 1", "*** Gp 999 does not exist"},
           Case{"attach gp 2 edge 1 999", "*** Gp 999 does not exist"},
           Case{"attach gp 2 face 1 6", "*** Illegal face number"},
           Case{"attach gp 2 face 99 0", "*** Zone 99 does not exist"},
           Case{"attach gp 3 edge 1 9", "*** Gp 3 already has an attach condition"},
           Case{"attach gp 2 edge 1 9 weight 1.1", "*** Illegal edge attach weighting"},
           Case{"attach gp 27 face 1 0", "*** Automatic weighting requested of point not on face 1,0"},
           Case{"attach gp 27 face 1 1 weight 1 -1 0 0", "*** Attach weights sum to zero"},
           Case{"attach bogus", "*** Unrecognized parameter 1 (bogus)"},
           Case{"attach gp 2 edge 1 9 weight 0.5 bogus", "*** Unrecognized parameter 8 (bogus)"},
       }) {
    const std::string out = Run({c.line});
    EXPECT_TRUE(Contains(out, c.message)) << c.line << "\n" << out;
    ASSERT_EQ(GlobalAttachList().Count(), 1u) << c.line;
    for (uint32_t id : {2u, 27u}) {
      EXPECT_EQ(FindGridpoint(id)->attach, nullptr) << c.line;
      EXPECT_EQ(FindGridpoint(id)->flags & NodeBase::kAttached, 0u) << c.line;
    }
  }
  // A tie on itself, or one that closes a cycle, is dropped without a word.
  for (const char* line : {"attach gp 5 gp 5", "attach gp 1 gp 3"}) {
    EXPECT_EQ(Run({line}), std::string("Terrax>") + line + "\n");
    EXPECT_EQ(GlobalAttachList().Count(), 1u);
  }
}

// A column of half-size zones on a unit zone: the nine grid-points of the
// seam tie to the four corners, the four edges and the face of the zone
// below, and the search tells what it does on the way.
TEST_F(AttachCommandTest, TheSearchTiesCornersEdgesAndFaces) {
  const std::string out =
      Commands({"gen zone brick size 1 1 1", "gen zone brick size 2 2 2 p0 0 0 1 p1 1 0 1 p2 0 1 1 p3 0 0 2 nomerge",
                "model elastic", "attach face"});
  for (const char* step : {"Building list of faces\r", "Found 30 faces                \n", "Creating cell space\r",
                           "Clearing markers...\r", "Scanning Faces... 0.0% done ...0 grid-points attached",
                           "Scanning Faces... 0.0% done ...0 grid-points attached                \r",
                           "9 grid-points attached                                    \n"})
    EXPECT_TRUE(Contains(out, step)) << step << "\n" << out;
  const std::vector<AttachCondition*> ties = Ties();
  ASSERT_EQ(ties.size(), 9u);
  int kinds[4] = {0, 0, 0, 0};
  for (const AttachCondition* t : ties) {
    const double* p = t->Slave()->position;
    EXPECT_EQ(p[2], 1.0);
    EXPECT_TRUE(t->Snap());
    const int halves = (p[0] == 0.5) + (p[1] == 0.5);
    ++kinds[t->TypeCode()];
    if (halves == 0) {
      ASSERT_EQ(t->TypeCode(), AttachCondition::kGp);
      const GridPoint* m = static_cast<const AttachGp*>(t)->Master();
      EXPECT_TRUE(m->position[0] == p[0] && m->position[1] == p[1] && m->position[2] == p[2]);
      EXPECT_EQ(m->id <= 8, true);  // a grid-point of the lower zone
    } else if (halves == 1) {
      ASSERT_EQ(t->TypeCode(), AttachCondition::kEdge);
      EXPECT_DOUBLE_EQ(static_cast<const AttachEdge*>(t)->Weight(), 0.5);
    } else {
      ASSERT_EQ(t->TypeCode(), AttachCondition::kFace);
      for (double w : static_cast<const AttachFace*>(t)->Weights().weight) EXPECT_DOUBLE_EQ(w, 0.25);
    }
  }
  EXPECT_EQ(kinds[AttachCondition::kGp], 4);
  EXPECT_EQ(kinds[AttachCondition::kEdge], 4);
  EXPECT_EQ(kinds[AttachCondition::kFace], 1);
  // Every grid-point of the seam is taken: a second search finds nothing more.
  EXPECT_TRUE(Contains(Commands({"attach face"}), "0 grid-points attached"));
}

// A zone shifted off the one below by 1e-7: two corners of the lower top
// face lie just outside the upper bottom face and are tied to it in the
// second pass, over the candidate they came closest to.
TEST_F(AttachCommandTest, APointJustOffEveryFaceIsTiedInTheSecondPass) {
  Commands({"gen zone brick size 1 1 1",
            "gen zone brick size 1 1 1 p0 1e-7 0 1 p1 1.0000001 0 1 p2 1e-7 1 1 p3 1e-7 0 2 nomerge", "model elastic",
            "attach face nosnap"});
  const std::vector<AttachCondition*> ties = Ties();
  ASSERT_EQ(ties.size(), 4u);
  for (const AttachCondition* t : ties) {
    ASSERT_EQ(t->TypeCode(), AttachCondition::kGp);
    EXPECT_FALSE(t->Snap());
    const GridPoint* s = t->Slave();
    const GridPoint* m = static_cast<const AttachGp*>(t)->Master();
    EXPECT_LE(s->id, 8u);  // the lower zone's grid-points come first: its faces are listed first
    EXPECT_NEAR(m->position[0], s->position[0] + 1e-7, 1e-15);
    EXPECT_EQ(m->position[1], s->position[1]);
  }
}

// With no outer face the search finds nothing; with one listed face its
// progress is the whole of the work.
TEST_F(AttachCommandTest, TheSearchCopesWithNoFaceAndWithOne) {
  std::string out = Commands({"attach face"});
  EXPECT_TRUE(Contains(out, "Found 0 faces")) << out;
  EXPECT_TRUE(Contains(out, "0 grid-points attached")) << out;
  out = Commands({"gen zone brick size 1 1 1", "model elastic", "attach face range x 0.4 0.6 y 0.4 0.6 z 0.9 1.1"});
  EXPECT_TRUE(Contains(out, "Found 1 faces")) << out;
  EXPECT_TRUE(Contains(out, "Scanning Faces...100.0% done ...0 grid-points attached")) << out;
  EXPECT_EQ(GlobalAttachList().Count(), 0u);
}

// A console whose ESC key is pressed once, when the search has shown its
// progress twice (after its tenth face).
class EscLaterDevice : public FakeDevice {
 public:
  bool armed = false;
  bool KeyPressed(int key) override {
    if (!armed || key != 27) return false;
    size_t shown = 0;
    for (size_t p = output.find("% done"); p != std::string::npos; p = output.find("% done", p + 1)) ++shown;
    if (shown < 2) return false;
    armed = false;  // one press
    return true;
  }
};

// ESC stops the search at its next look; the ties made so far stay, each
// with its slave's flag and pointer.
TEST_F(AttachCommandTest, EscStopsTheSearchKeepingItsTies) {
  EscLaterDevice esc;
  MacroTable escMacros;
  ModelInterpreter escInterp(&escMacros, &esc);
  InstallSubsystems(escInterp.TheModel());
  esc.armed = true;
  // 25 grid-points on the seam, over the bottom faces of 16 zones.
  RunLines(escInterp, esc,
           {"gen zone brick size 2 2 1", "gen zone brick size 4 4 1 p0 0 0 1 p1 2 0 1 p2 0 2 1 p3 0 0 2 nomerge",
            "model elastic", "attach face"});
  const std::string out = esc.Take();
  EXPECT_TRUE(Contains(out, "Found 64 faces")) << out;
  EXPECT_TRUE(Contains(out, "Scanning Faces...15.9% done ...12 grid-points attached")) << out;
  EXPECT_TRUE(Contains(out, "*** ESC key pressed to halt")) << out;
  const AttachList& list = GlobalAttachList();
  EXPECT_GE(list.Count(), 12u) << out;
  EXPECT_LT(list.Count(), 25u) << out;
  for (const AttachCondition* t = list.Head(); t; t = AttachList::Next(t)) {
    EXPECT_EQ(t->Slave()->attach, t);
    EXPECT_NE(t->Slave()->flags & NodeBase::kAttached, 0u);
  }
}

// Closed form of an elastic column on rollers with a fixed base under its
// own weight: szz = -rho g d at depth d below the top. A column of unit
// zones with one of half-size zones on it, joined only by the ties that
// ATTACH face makes, carries its weight as one merged column does.
TEST_F(AttachCommandTest, TiedColumnCarriesItsWeightAsOneColumn) {
  Commands({"gen zone brick size 1 1 5", "gen zone brick size 2 2 10 p0 0 0 5 p1 1 0 5 p2 0 1 5 p3 0 0 10 nomerge",
            "model elastic", "prop bulk 5e7 shear 3e7 density 2000", "attach face", "fix x range x -0.1 0.1",
            "fix x range x 0.9 1.1", "fix y range y -0.1 0.1", "fix y range y 0.9 1.1", "fix z range z -0.1 0.1",
            "set gravity 10", "solve ratio 1e-6"});
  ASSERT_EQ(ZoneList().Count(), 45u);
  const double rho = 2000.0, g = 10.0, height = 10.0;
  for (const Zone* zone : ZoneList()) {
    double c[3], s[6];
    zone->Centroid(c);
    zone->AverageStress(s, false);
    const double expected = -rho * g * (height - c[2]);
    EXPECT_NEAR(s[2], expected, 0.005 * std::fabs(expected)) << "zone " << zone->Id() << " at z = " << c[2];
  }
}

// A face of three corners: the search ties a point inside it with three
// weights, typed weights must leave the fourth at 0, and the passes of a
// step read the three corners only.
TEST_F(AttachCommandTest, AFaceOfThreeCornersUsesThreeCorners) {
  Commands({"gen zone wedge size 1 1 1", "gen zone brick size 3 1 3 p0 0 -1 0 p1 1 -1 0 p2 0 0 0 p3 0 -1 1 nomerge",
            "model elastic", "prop bulk 5e7 shear 3e7 density 2000", "attach face nosnap"});
  const AttachFace* tie = nullptr;
  for (const AttachCondition* t : Ties())
    if (t->TypeCode() == AttachCondition::kFace && static_cast<const AttachFace*>(t)->Face().GpCount() == 3)
      tie = static_cast<const AttachFace*>(t);
  ASSERT_NE(tie, nullptr);
  AttachMasters m;
  tie->Masters(m);
  ASSERT_EQ(m.count, 3);
  EXPECT_EQ(tie->Weights().weight[3], 0.0);
  EXPECT_NEAR(m.weight[0] + m.weight[1] + m.weight[2], 1.0, 1e-12);

  const ZoneFace& face = tie->Face();
  const std::string typed = "attach gp " + std::to_string(tie->Slave()->id) + " face " +
                            std::to_string(face.GetZone()->Id()) + " " + std::to_string(face.Face());
  const std::string out = Run({"attach delete", (typed + " weight 1 1 1 1").c_str()});
  EXPECT_TRUE(Contains(out, "has three corners: its fourth weight must be 0")) << out;
  Commands({(typed + " weight 1 1 2 0").c_str(), "set gravity 10", "fix x y z range z -0.1 0.1", "step 5"});
  const AttachFace& typedTie = *static_cast<const AttachFace*>(GlobalAttachList().Head());
  double v = 0.0;
  for (int k = 0; k < 3; ++k) v += typedTie.Weights().weight[k] * face.GetGp(k)->velocity[2];
  EXPECT_DOUBLE_EQ(typedTie.Slave()->velocity[2], v);
  EXPECT_NE(v, 0.0);
}

}  // namespace
