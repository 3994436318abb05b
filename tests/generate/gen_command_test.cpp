// GENERATE through the model interpreter: the sub-mode, its sub-commands
// and their errors, PRINT GENERATE, NEW, and the range element "volume".
#include <gtest/gtest.h>

#include <string>

#include "base/range.h"
#include "base/range_named.h"
#include "generate/cmd_generate.h"
#include "generate/gen_geometry.h"
#include "generate/gen_zone.h"
#include "generate/install_generate.h"
#include "generate/range_volume.h"
#include "model/model_interpreter.h"
#include "model/services.h"
#include "support/interp_fixture.h"
#include "support/memory_stream.h"

namespace {

const char* const kTetrahedron[] = {
    "gen surface triangle vertex 0 0 0 vertex 1 0 0 vertex 0 1 0",
    "gen surface triangle vertex 0 0 0 vertex 0 0 1 vertex 1 0 0",
    "gen surface triangle vertex 0 0 0 vertex 0 1 0 vertex 0 0 1",
    "gen surface triangle vertex 1 0 0 vertex 0 0 1 vertex 0 1 0",
};

class GenerateCommandTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  ModelInterpreter interp{&macros, &device};

  void SetUp() override {
    InstallGenerate();
    ResetGenGeometry();
  }
  void TearDown() override {
    // A test may replace GENERATE ZONE; the next one finds it again.
    InstallGenerateSubCommand("zone", &GenerateZoneCommand);
    PrintRange().Clear();
    ClearNamedRanges();
    ResetGenGeometry();
  }
  std::string Run(std::initializer_list<const char*> lines) {
    RunLines(interp, device, lines);
    return device.Take();
  }
  void Tetrahedron() {
    for (const char* line : kTetrahedron) Run({line});
  }
};

TEST_F(GenerateCommandTest, TheSubModeReadsEveryLineAsAGenerateCommand) {
  EXPECT_EQ(Run({"generate", "point id 3 0 0 0", "point 1 0 0", "point 0 1 0", "point 0 0 1", "print point", "",
                 "print gen point"}),
            "Terrax>generate\n"
            "   Gen>point id 3 0 0 0\n"
            "   Gen>point 1 0 0\n"
            "   Gen>point 0 1 0\n"
            "   Gen>point 0 0 1\n"
            "   Gen>print point\n"
            "Reference Point List\n"
            " ID       X           Y           Z\n"
            "---  ----------- ----------- -----------\n"
            "  3 (  0.000e+00,  0.000e+00,  0.000e+00)\n"
            "  1 (  1.000e+00,  0.000e+00,  0.000e+00)\n"
            "  2 (  0.000e+00,  1.000e+00,  0.000e+00)\n"
            "  4 (  0.000e+00,  0.000e+00,  1.000e+00)\n"
            "   Gen>\n"
            "Terrax>print gen point\n"
            "Reference Point List\n"
            " ID       X           Y           Z\n"
            "---  ----------- ----------- -----------\n"
            "  3 (  0.000e+00,  0.000e+00,  0.000e+00)\n"
            "  1 (  1.000e+00,  0.000e+00,  0.000e+00)\n"
            "  2 (  0.000e+00,  1.000e+00,  0.000e+00)\n"
            "  4 (  0.000e+00,  0.000e+00,  1.000e+00)\n");
  // QUIT and STOP end the sub-mode too; an error inside it keeps it on.
  EXPECT_EQ(Run({"generate", "foo", "quit", "gen", "stop", "gen"}),
            "Terrax>generate\n   Gen>foo\n*** Unrecognized parameter 1 (foo)\n   Gen>quit\n"
            "Terrax>gen\n   Gen>stop\nTerrax>gen\n");
  EXPECT_EQ(interp.CommandPrefix().str(), "generate");
  Run({""});
  EXPECT_TRUE(interp.CommandPrefix().IsEmpty());
}

TEST_F(GenerateCommandTest, BadInputGivesClearMessages) {
  struct Case {
    const char* line;
    const char* message;
  };
  const Case cases[] = {
      {"gen foo", "*** Unrecognized parameter 1 (foo)"},
      {"gen zone reflect dip", "*** Missing parameter 4"},
      {"gen merge", "*** Missing parameter 2"},
      {"gen topo", "*** Missing parameter 2"},
      {"gen separate", "*** Missing parameter 2"},
      {"gen surface brick vertex 1 1 1", "*** Insufficient number of vertices defined"},
      {"gen surface", "*** Missing parameter 2"},
      {"gen point 1 2", "*** Missing parameter 4"},
      {"gen point id x 1 2 3", "*** Bad conversion parameter 3 (x)"},
      {"gen surface triangle vertex 0 0 0 vertex 1 0 0", "*** Insufficient number of vertices defined"},
      {"gen surface triangle surfid 0 vertex 0 0 0 vertex 1 0 0 vertex 0 1 0", "*** Surface Id must be greater than 0"},
      {"gen surface triangle vertex point 9", "*** Node 9 not found"},
      {"gen surface triangle vertex 0 0 0 vertex 1 1 1 vertex 2 2 2", "*** Attempted to create a degenerate triangle"},
      {"gen surface triangle vertex 0 0 0 colour red", "*** Unrecognized parameter 7 (colour)"},
      {"gen test", "*** Missing parameter 2"},
      {"gen test inv 1 2", "*** Missing parameter 5"},
      {"print generate", "*** Missing parameter 2"},
      {"print generate lines", "*** Unrecognized parameter 2 (lines)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run({c.line}), std::string("Terrax>") + c.line + "\n" + c.message + "\n") << c.line;
  }
  EXPECT_EQ(ActiveGenGeometry()->Triangles().Count(), 0u);
}

TEST_F(GenerateCommandTest, VerticesMayBeRelativeOrReferencePoints) {
  Run({"gen point id 5 2 0 0", "gen surface triangle vertex 1 1 0 vertex add 1 0 0 vertex point 5 vertex inc 0 9 0",
       "gen surface triangle vertex increment 1 0 1 vertex increment 1 0 0 vertex 1 0 0 name roof surfid 3"});
  ASSERT_EQ(ActiveGenGeometry()->Triangles().Count(), 2u);
  auto it = ActiveGenGeometry()->Triangles().begin();
  const GenTriangle* first = *it;
  EXPECT_EQ(first->Point(0)->Position().y, 1.0);
  EXPECT_EQ(first->Point(1)->Position().x, 2.0);  // the reference point, second once the corners turn
  const GenTriangle* second = *++it;
  EXPECT_EQ(second->GetSurfaceId(), 3);
  EXPECT_EQ(std::string(second->GetName().c_str()), "roof");
  EXPECT_EQ(second->Point(0)->Position().z, 1.0);
}

TEST_F(GenerateCommandTest, ATetrahedronClosesAndIsListed) {
  std::string out;
  for (const char* line : kTetrahedron) out += Run({line});
  EXPECT_EQ(out,
            "Terrax>gen surface triangle vertex 0 0 0 vertex 1 0 0 vertex 0 1 0\n\n1 Surfaces present\n"
            "Terrax>gen surface triangle vertex 0 0 0 vertex 0 0 1 vertex 1 0 0\n\n2 Surfaces present\n"
            "Terrax>gen surface triangle vertex 0 0 0 vertex 0 1 0 vertex 0 0 1\n\n3 Surfaces present\n"
            "Terrax>gen surface triangle vertex 1 0 0 vertex 0 0 1 vertex 0 1 0\n"
            "Triangle: switching points 2 and 3 to maintain counter clockwise orderering\n"
            "Volume 1 Created with 4 Surfaces\n");
  EXPECT_EQ(Run({"print gen surface volume"}),
            "Terrax>print gen surface volume\n"
            " ID  P0  P1  P2  Normal                 J0  J1  J2\n"
            "--- --- --- ---  ------ ------ ------  --- --- ---\n"
            "  1   1   2   3 ( 0.000, 0.000, 1.000)   2   4   3\n"
            "  2   1   4   2 ( 0.000, 1.000, 0.000)   3   4   1\n"
            "  3   1   3   4 ( 1.000, 0.000, 0.000)   1   4   2\n"
            "  4   2   3   4 ( 0.577, 0.577, 0.577)   1   3   2\n"
            "*** Unrecognized parameter 3 (volume)\n");
  EXPECT_EQ(Run({"gen print volume"}),
            "Terrax>gen print volume\n"
            "Volume List\n"
            " ID Surf.           Minimum Extent                     Maximum Extent\n"
            "--- -----  ---------- ---------- ----------   ---------- ---------- ----------\n"
            "  1     4 (  0.00e+00,  0.00e+00,  0.00e+00) (  1.00e+00,  1.00e+00,  1.00e+00)\n");
  EXPECT_EQ(Run({"gen test inv 0.2 0.2 0.2", "gen test inv 0.6 0.6 0.6", "gen test vclo 1 1 1"}),
            "Terrax>gen test inv 0.2 0.2 0.2\n Inside Volume 1!\n"
            "Terrax>gen test inv 0.6 0.6 0.6\nOutSide Volume 1!\n"
            "Terrax>gen test vclo 1 1 1\n Volume 1 Closest is (3.33333e-01,3.33333e-01,3.33333e-01) Surface 4\n");
}

TEST_F(GenerateCommandTest, InstalledSubCommandsRunAndNewEmptiesTheStore) {
  static int calls = 0;
  InstallGenerateSubCommand("zone", [](ModelInterpreter& in) {
    ++calls;
    in.GetKeyword("brick");
  });
  EXPECT_EQ(Run({"gen zone brick"}), "Terrax>gen zone brick\n");
  EXPECT_EQ(calls, 1);

  Run({"gen point 1 2 3"});
  ASSERT_NE(CurrentModel().Sections().Find("generate")->clear, nullptr);
  CurrentModel().Sections().Clear("generate");
  EXPECT_EQ(ActiveGenGeometry()->Points().Count(), 0u);
}

TEST_F(GenerateCommandTest, TheVolumeRangeElementTestsMembershipAndPositions) {
  Tetrahedron();
  Run({"gen surface triangle vertex 5 0 0 vertex 6 0 0 vertex 5 1 0"});
  EXPECT_EQ(Run({"range name inner volume 1", "print rlist inner", "range volume 7", "range volume"}),
            "Terrax>range name inner volume 1\n"
            "Terrax>print rlist inner\nContents of Range inner ...\n      Volume 1\n"
            "Terrax>range volume 7\n*** Unable to find volume 7\n"
            "Terrax>range volume\n");
  const Range* inner = FindNamedRange(String("inner"));
  ASSERT_NE(inner, nullptr);
  ASSERT_EQ(inner->ElementCount(), 1);
  EXPECT_EQ(std::string(inner->CommandText().c_str()), "range name 'inner' volume 1  ");

  struct Located : LocatedObject {
    double at[3];
    Located(double x, double y, double z) : LocatedObject(kGridPoint), at{x, y, z} {}
    void GetPosition(double p[3]) const override {
      for (int i = 0; i < 3; ++i) p[i] = at[i];
    }
  };
  const Located in(0.1, 0.2, 0.3), out(0.5, 0.5, 0.5);
  EXPECT_TRUE(inner->IsIn(&in));
  EXPECT_FALSE(inner->IsIn(&out));
  // Triangles belong by their volume number, not by their position.
  int members = 0;
  for (const GenTriangle* t : ActiveGenGeometry()->Triangles()) members += inner->IsIn(t) ? 1 : 0;
  EXPECT_EQ(members, 4);

  // Saved with the store and restored after it, the element finds the
  // restored volume again.
  MemoryStream stream;
  ActiveGenGeometry()->Save(stream);
  inner->Save(stream);
  ResetGenGeometry();
  ActiveGenGeometry()->Restore(stream);
  Range copy;
  copy.Restore(stream);
  ActiveGenGeometry()->AfterRestore();
  copy.RemapPointers();
  ReleaseIndexArrays();
  EXPECT_EQ(BadPointerCount(), 0u);
  EXPECT_TRUE(copy.IsIn(&in));
  EXPECT_FALSE(copy.IsIn(&out));
  EXPECT_FALSE(inner->IsIn(&in));  // the element of the replaced store holds nothing

  // Once the store is replaced the volume is gone and the element holds nothing.
  ResetGenGeometry();
  EXPECT_FALSE(inner->IsIn(&in));
  EXPECT_EQ(std::string(inner->CommandText().c_str()), "range name 'inner' volume  ");
  MemoryStream again;
  inner->Save(again);
  EXPECT_EQ(again.bytes.back(), 0);
}

}  // namespace
