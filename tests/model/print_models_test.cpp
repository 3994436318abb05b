#include "model/print_models.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/interp_fixture.h"

namespace {

class PrintModelsTest : public ::testing::Test {
 protected:
  FakeDevice device;
  MacroTable macros;
  CommandType interp{0, &macros, true, &device};

  void TearDown() override {
    SetFluidModelList(nullptr);
    SetThermalModelList(nullptr);
  }

  // Runs PRINT MODEL with the words after "model"; answers the listing.
  std::string Print(std::vector<const char*> words) {
    interp.ClearTokens();
    interp.AddToken(String("print"));
    interp.AddToken(String("model"));
    for (const char* w : words) interp.AddToken(String(w));
    interp.TokenIndex() = 2;
    EXPECT_EQ(PrintModels(interp), 0);
    return device.Take();
  }
};

const char* const kModelLines =
    "               Null Model:  Type =   1   Version =   1\n"
    "        Elastic Isotropic:  Type =   2   Version =   1\n"
    "             Mohr-Coulomb:  Type =   3   Version =   1\n"
    "          Viscous Maxwell:  Type =   4   Version =   1\n";

TEST_F(PrintModelsTest, ListsTheAvailableModels) {
  std::string expected = std::string("Constitutive Models Available\n-----------------------------\n") + kModelLines;
  EXPECT_EQ(Print({}), expected);
  EXPECT_EQ(Print({"list"}), expected);
  // A word that is no choice of this listing stays for the next PRINT item.
  EXPECT_EQ(Print({"zone"}), expected);
  EXPECT_EQ(interp.TokenIndex(), 2);
  EXPECT_EQ(Print({"l"}), expected);
  EXPECT_EQ(interp.TokenIndex(), 3);
}

TEST_F(PrintModelsTest, ListsPropertyNames) {
  const std::string blanks(21, ' ');
  std::string expected =
      "Constitutive Model Properties\n-----------------------------\n"
      "               Null Model:  Type =   1   Version =   1\n" +
      blanks + "\n" + "        Elastic Isotropic:  Type =   2   Version =   1\n" + blanks + " bulk shear\n" +
      "             Mohr-Coulomb:  Type =   3   Version =   1\n" + blanks +
      " bulk shear cohesion friction dilation tension\n" + "          Viscous Maxwell:  Type =   4   Version =   1\n" +
      blanks + " bulk shear viscosity\n";
  EXPECT_EQ(Print({"properties"}), expected);
  EXPECT_EQ(Print({"P"}), expected);
}

TEST_F(PrintModelsTest, ListsStateNames) {
  const std::string blanks(21, ' ');
  std::string expected =
      "Mechanical Constitutive Model States\n------------------------------------\n"
      "               Null Model:  Type =   1   Version =   1\n" +
      blanks + "\n" + "        Elastic Isotropic:  Type =   2   Version =   1\n" + blanks + "\n" +
      "             Mohr-Coulomb:  Type =   3   Version =   1\n" + blanks +
      " shear-now tension-now shear-past tension-past\n" + "          Viscous Maxwell:  Type =   4   Version =   1\n" +
      blanks + "\n";
  EXPECT_EQ(Print({"states"}), expected);
}

// A coupled mode's material models with long keyword lists.
class FakeMaterials : public MaterialModelList {
 public:
  FakeMaterials(std::vector<std::string> names, std::vector<std::string> keywords)
      : names_(std::move(names)), keywords_(std::move(keywords)) {}
  int Count() const override { return static_cast<int>(names_.size()); }
  String Name(int type) const override { return String(names_[static_cast<size_t>(type)]); }
  String Keywords(int type) const override { return String(keywords_[static_cast<size_t>(type)]); }

 private:
  std::vector<std::string> names_, keywords_;
};

TEST_F(PrintModelsTest, ListsTheModelsOfConfiguredModes) {
  // Twelve 9-letter keywords: lines break before reaching 78 characters.
  std::string longList;
  for (int i = 0; i < 12; ++i) longList += "keyword_" + std::string(1, static_cast<char>('a' + i)) + " ";
  FakeMaterials fluid({"fl_null", "fl_isotropic"}, {"", "permeability porosity " + longList});
  FakeMaterials thermal({"th_null"}, {""});
  SetFluidModelList(&fluid);
  SetThermalModelList(&thermal);

  std::string list = Print({});
  EXPECT_EQ(list, std::string("Constitutive Models Available\n-----------------------------\n") + kModelLines +
                      "                  fl_null:\n"
                      "             fl_isotropic:\n"
                      "                  th_null:\n");

  std::string props = Print({"properties"});
  std::string tail = props.substr(props.find("                  fl_null:"));
  EXPECT_EQ(tail,
            "                  fl_null:\n"
            "             fl_isotropic:\n"
            "  permeability porosity keyword_a keyword_b keyword_c keyword_d keyword_e\n"
            "  keyword_f keyword_g keyword_h keyword_i keyword_j keyword_k keyword_l\n"
            "                  th_null:\n");

  // The states listing is about mechanical models only.
  std::string states = Print({"states"});
  EXPECT_EQ(states.find("fl_"), std::string::npos);
  EXPECT_EQ(states.find("th_"), std::string::npos);
}

}  // namespace
