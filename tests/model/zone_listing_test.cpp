// The zone listings of PRINT ZONE, PRINT TETRA and PRINT CHEM, and the model
// summary of PRINT INFORMATION.
#include "model/zone_model_fixture.h"

namespace {

using ZoneListingTest = ZoneModelTest;

// A chemistry link whose table holds one component, "ca", with two moles in
// every zone that has a chemistry record.
class ReadyChem : public ChemCalcModule {
 public:
  bool Connect() override { return true; }
  bool SetApplicationPath(const String*) override { return true; }
  bool ReadResultFile(const String*) override { return true; }
  void SetGibbsOptions(const String*) override {}
  bool IsReady() const override { return ready; }
  int FindComponent(const String& name) const override { return name == "ca" ? 1 : 0; }
  double ZoneComponentMoles(const Zone&, int component) const override { return component == 1 ? 2.0 : 0.0; }
  bool ready = false;
};

// The text of a listing after its command line.
std::string After(const std::string& out, const char* marker) {
  size_t at = out.find(marker);
  return at == std::string::npos ? std::string() : out.substr(at + std::string(marker).size());
}

TEST_F(ZoneListingTest, PropertyListingShowsModelNameAndValue) {
  TwoBricks();
  Run({"model elastic", "property bulk 1e8 shear 3e7", "model null range id 2"});
  EXPECT_EQ(Run({"print zone property bulk"}),
            "Terrax>print zone property bulk\nZone Property ...\n"
            "   ID      Model      Property       Value\n"
            " ------ ----------- ------------ -------------\n"
            "      1 elastic     Bulk           1.00000e+08\n"
            "      2 \n");  // the null model has no bulk modulus
  EXPECT_EQ(Run({"print zone property xyz", "print zone property"}),
            "Terrax>print zone property xyz\n*** Unrecognized parameter 3 (xyz)\n"
            "Terrax>print zone property\n*** Missing parameter 3\n");

  // With both modes the model names of each mode get a column.
  ConfigureModes();
  Run({"model th_iso fl_iso range id 1", "property cond 2.5"});
  EXPECT_EQ(After(Run({"print zone property sh", "print zone prop cond"}), "Terrax>print zone property sh\n"),
            "Zone Property ...\n"
            "   ID      Model    Therm Model Fluid Model   Property       Value\n"
            " ------ ----------- ----------- ----------- ------------ -------------\n"
            "      1 elastic     Th_isotropi Fl_isotropi Shear          3.00000e+07\n"
            "      2 \n"
            "Terrax>print zone prop cond\nZone Property ...\n"
            "   ID      Model    Therm Model Fluid Model   Property       Value\n"
            " ------ ----------- ----------- ----------- ------------ -------------\n"
            "      1 elastic     Th_isotropi Fl_isotropi Conductivity   2.50000e+00\n"
            "      2 \n");
}

TEST_F(ZoneListingTest, StressStateAndStrainListings) {
  Zone* z = UnitBrick();
  Run({"model mohr"});
  for (int c = 0; c < 6; ++c) z->SetStress(-1e6 * (c + 1), c);
  // Shear-now and tension-past in one tetrahedron of a sixth of the volume:
  // set, but not on average, also before the zone was prepared for cycling.
  z->Tetra(0)[1].state = 0x9;
  Settings().porePressure = true;
  for (int i = 0; i < 8; ++i) z->Gp(i)->porePressure = 5e5;
  z->Gp(7)->velocity[2] = 1.0;
  EXPECT_EQ(Run({"print zone stress", "print zone stress effective", "print zone principal", "print zone state",
                 "print zone state average", "print zone pp"}),
            "Terrax>print zone stress\nZone Average Stresses ...\n"
            "   id      S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
            " ------ ---------- ---------- ---------- ---------- ---------- ----------\n"
            "      1  -1.00e+06  -2.00e+06  -3.00e+06  -4.00e+06  -6.00e+06  -5.00e+06\n"
            "Terrax>print zone stress effective\nZone Average Effective Stresses ...\n"
            "   id      S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
            " ------ ---------- ---------- ---------- ---------- ---------- ----------\n"
            "      1  -5.00e+05  -1.50e+06  -2.50e+06  -4.00e+06  -6.00e+06  -5.00e+06\n"
            "Terrax>print zone principal\nZone Principal Stresses ...\n"
            "   id      Maximum    Intermediate     Minimum\n ------ ------------- ------------- -------------\n"
            "      1   4.09460e+06   2.03379e+06  -1.21284e+07\n"
            "Terrax>print zone state\nZone State Indicators ...\n   id   States...\n ------ ------------\n"
            "      1 shear-now tension-past \n"
            "Terrax>print zone state average\nZone Average State Indicators ...\n"
            "   id   States...\n ------ ------------\n      1 None\n"
            "Terrax>print zone pp\nZone Pore Pressures ...\n   id          PP\n ------ -------------\n"
            "      1 5.00000e+05\n");
  std::string out = Run({"print zone strain", "print zone fsr", "print zone fsi"});
  EXPECT_NE(out.find("Zone Strain Values...\n"), std::string::npos);
  EXPECT_NE(out.find("\n      1   0.00000e+00    0.00000e+00    0.00000e+00    0.00000e+00\n"), std::string::npos);
  EXPECT_NE(out.find("Zone Full Strain Rate Tensor...\n"
                     "  ID       XX          YY          ZZ          XY          YZ          XZ\n"
                     "------ ----------- ----------- ----------- ----------- ----------- -----------\n"),
            std::string::npos);
  EXPECT_NE(out.find("Zone Full Strain Increment Tensor...\n"), std::string::npos);
}

TEST_F(ZoneListingTest, ZoneListingsRefuseWhatTheyCannotList) {
  UnitBrick();
  EXPECT_EQ(Run({"print zone foo", "print zone fdensity"}),
            "Terrax>print zone foo\n*** Unrecognized parameter 2 (foo)\n"
            "Terrax>print zone fdensity\n*** Not configured for fluid flow calculation\n");
  ConfigureModes();
  fluidModels.Record(*FindZone(1));  // none yet: the listing asks the mode to make it
  EXPECT_EQ(Run({"print zone fdensity"}),
            "Terrax>print zone fdensity\nZone Fluid Densities....\n   ID   Fluid Density\n ------ -------------\n"
            "      1   0.00000e+00\n");
  EXPECT_NE(FindZone(1)->fluid, nullptr);
}

TEST_F(ZoneListingTest, TetraListingsWalkTheOverlaysInDefinitionOrder) {
  TwoBricks();
  Run({"model elastic range id 1", "model null range id 2"});
  EXPECT_EQ(Run({"print tetra gp"}),
            "Terrax>print tetra gp\nTetra Gp Connections ...\n"
            "  Zone  Ov.   g0     g1     g2     g3\n ------ --- ------ ------ ------ ------\n"
            "      1  1       1      5      6      7 \n"
            "      1  1       8      5      7      6 \n"
            "      1  1       4      1      6      7 \n"
            "      1  1       3      1      5      6 \n"
            "      1  1       2      1      7      5 \n"
            "      1  2       8      2      4      3 \n"
            "      1  2       5      2      8      3 \n"
            "      1  2       6      3      8      4 \n"
            "      1  2       7      2      4      8 \n"
            "      1  2       1      2      3      4 \n");
  Zone* z = FindZone(1);
  z->SetStress(-2e5, 0);
  z->SetStress(1e5, 3);
  Run({"model elastic overlay 1 range id 1"});  // keeps overlay A's records
  EXPECT_EQ(Run({"print tetra", "print tetra stress", "print tetra principal"}),
            "Terrax>print tetra\nTetra Information ...\n"
            "  Zone  Ov.    Volume                      Centroid\n"
            " ------ --- -------------  ------------- ------------- -------------\n"
            "      1  1    3.33333e-01 (  5.00000e-01,  5.00000e-01,  5.00000e-01)\n"
            "      1  1    1.66667e-01 (  7.50000e-01,  7.50000e-01,  7.50000e-01)\n"
            "      1  1    1.66667e-01 (  2.50000e-01,  2.50000e-01,  7.50000e-01)\n"
            "      1  1    1.66667e-01 (  2.50000e-01,  7.50000e-01,  2.50000e-01)\n"
            "      1  1    1.66667e-01 (  7.50000e-01,  2.50000e-01,  2.50000e-01)\n"
            "Terrax>print tetra stress\nTetra Stresses ...\n"
            "  Zone  Ov.    S-XX       S-YY       S-ZZ       S-XY       S-XZ       S-YZ\n"
            " ------ --- ---------- ---------- ---------- ---------- ---------- ----------\n"
            "      1  1   -2.00e+05   0.00e+00   0.00e+00   1.00e+05   0.00e+00   0.00e+00\n"
            "      1  1   -2.00e+05   0.00e+00   0.00e+00   1.00e+05   0.00e+00   0.00e+00\n"
            "      1  1   -2.00e+05   0.00e+00   0.00e+00   1.00e+05   0.00e+00   0.00e+00\n"
            "      1  1   -2.00e+05   0.00e+00   0.00e+00   1.00e+05   0.00e+00   0.00e+00\n"
            "      1  1   -2.00e+05   0.00e+00   0.00e+00   1.00e+05   0.00e+00   0.00e+00\n"
            "Terrax>print tetra principal\nTetra Principal Stresses ... \n"
            "  Zone  Ov.    Maximum    Intermediate     Minimum\n"
            " ------ --- ------------- ------------- -------------\n"
            "      1  1    4.14214e+04   0.00000e+00  -2.41421e+05\n"
            "      1  1    4.14214e+04   0.00000e+00  -2.41421e+05\n"
            "      1  1    4.14214e+04   0.00000e+00  -2.41421e+05\n"
            "      1  1    4.14214e+04   0.00000e+00  -2.41421e+05\n"
            "      1  1    4.14214e+04   0.00000e+00  -2.41421e+05\n");
  EXPECT_EQ(Run({"print tetra foo"}), "Terrax>print tetra foo\n*** Unrecognized parameter 2 (foo)\n");
}

TEST_F(ZoneListingTest, ChemistryListingNeedsTheModeItsTableAndTheComponent) {
  TwoBricks();
  EXPECT_EQ(Run({"print chem ca"}), "Terrax>print chem ca\n*** Not configured for chemistry calculations.\n");
  ReadyChem chem;
  EXPECT_EQ(Run({"print chem ca"}), "Terrax>print chem ca\n*** ST table not set.\n");
  chem.ready = true;
  EXPECT_EQ(Run({"print chem", "print chem mg"}),
            "Terrax>print chem\n*** Missing parameter 2\n"
            "Terrax>print chem mg\n*** Chemical component not found in ST table.\n");
  FindZone(2)->chemistry = std::make_unique<ModeRecord>();  // zone 1 has no chemistry record
  EXPECT_EQ(Run({"print chem ca"}),
            "Terrax>print chem ca\n  Zone   Concentration\n  id     [moles/vol]\n     2     2.00000e+00\n");
}

TEST_F(ZoneListingTest, SummaryOfAnEmptyModel) {
  EXPECT_EQ(After(Run({"print information"}), "        Safe Mode : Off\n"),
            "--------------------------------------------\n"
            "              Gravity : (  0.00000e+00,  0.00000e+00,  0.00000e+00)\n"
            "     History Interval :            10\n"
            "        Plot Interval :            20\n"
            "       Plot Animation : Off\n"
            "           Ratio Type : Average\n"
            "         Total Cycles :             0\n"
            "        Cycle Display : Off\n"
            "-------------------------------------\n"
            "... Gathering Gridpoint Information...\r                                      \r"
            "        Number of Gps :             0\n"
            "    Gp ExtraVariables :             0\n"
            "-------------------------------------\n"
            "... Gathering Zone Information...\r                                 \r"
            "      Number of Zones :             0\n"
            "  Zone Extra Variables :             0\n"
            "-------------------------------------\n"
            " Mechanical Material Models Present :\n");
}

TEST_F(ZoneListingTest, SummaryOfAModel) {
  TwoBricks();
  Run({"model null", "set gravity 0 0 -10 ratio max"});
  FindGridpoint(2)->displacement[0] = 3.0;
  FindGridpoint(2)->displacement[1] = 4.0;
  std::string out = Run({"print information"});
  EXPECT_NE(out.find("              Gravity : (  0.00000e+00,  0.00000e+00, -1.00000e+01)\n"), std::string::npos);
  EXPECT_NE(out.find("           Ratio Type : Maximum\n"), std::string::npos);
  EXPECT_EQ(After(out, "Cycle Display : Off\n-------------------------------------\n"),
            "... Gathering Gridpoint Information...\r                                      \r"
            "        Number of Gps :            12\n"
            "    Gp ExtraVariables :             0\n"
            "       Maximum Extent : (  2.00000e+00,  1.00000e+00,  1.00000e+00)\n"
            "       Minimum Extent : (  0.00000e+00,  0.00000e+00,  0.00000e+00)\n"
            " Maximum Displacement :   5.00000e+00\n"
            "-------------------------------------\n"
            "... Gathering Zone Information...\r                                 \r"
            "      Number of Zones :             2\n"
            "  Zone Extra Variables :             0\n"
            "  Maximum Zone Volume :   1.00000e+00\n"
            "  Minimum Zone Volume :   1.00000e+00\n"
            "-------------------------------------\n"
            " Mechanical Material Models Present :\n");

  ConfigureModes();
  Run({"model mohr elastic th_iso range id 1", "model mohr fl_iso range id 2"});
  FindZone(2)->SetStress(-4.0, 2);
  out = After(Run({"print information"}), "  Minimum Zone Volume :   1.00000e+00\n");
  EXPECT_EQ(out,
            "  Maximum Zone Stress :   0.00000e+00\n"
            "  Minimum Zone Stress :  -4.00000e+00\n"
            "-------------------------------------\n"
            " Mechanical Material Models Present :\n"
            "    elastic\n"
            "    mohr\n"
            " Fluid Models Present :\n"
            "    Fl_null\n"
            "    Fl_isotropic\n"
            " Thermal Models Present :\n"
            "    Th_null\n"
            "    Th_isotropic\n");
}

}  // namespace
