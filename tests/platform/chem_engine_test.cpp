// The ST table reader and the stand-in chemistry engine.
#include "platform/chem_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "../base/temp_dir.h"
#include "support/source_file.h"

namespace {

// The pair the end-to-end case uses, beside this folder.
std::string TestTable() { return SourceTreeFile(__FILE__, "../cases/chem_standin.files/st1"); }

class EngineEnv {
 public:
  explicit EngineEnv(const char* value) {
    if (value)
      setenv("TERRAX_CHEM_ENGINE", value, 1);
    else
      unsetenv("TERRAX_CHEM_ENGINE");
  }
  ~EngineEnv() { unsetenv("TERRAX_CHEM_ENGINE"); }
};

TEST(StFile, ReadsElementsPhasesAndAqueousRows) {
  StFileTable t;
  ASSERT_EQ(ReadStFile(TestTable() + "A", t), StFileStatus::kOk);
  EXPECT_EQ(t.elements, (std::vector<std::string>{"Ca", "C", "O", "H"}));
  EXPECT_EQ(t.phases, 2);
  EXPECT_EQ(t.aqueous, 6);
  ASSERT_EQ(t.rows.size(), 8u);
  EXPECT_EQ(t.rows[0].name, "calcite");
  EXPECT_EQ(t.rows[0].coefficients, (std::vector<int32_t>{1, 1, 3, 0}));
  EXPECT_EQ(t.rows[2].name, "H2O");  // water leads the aqueous rows
  EXPECT_EQ(t.rows[2].coefficients, (std::vector<int32_t>{0, 0, 1, 2}));
  EXPECT_EQ(t.rows[4].name, "CO3-2");
  EXPECT_EQ(t.rows[4].coefficients, (std::vector<int32_t>{0, 1, 3, 0}));
}

TEST(StFile, ShapesAndFaults) {
  TempDir dir;
  struct Case {
    const char* text;
    StFileStatus status;
    int elements, phases, aqueous;
  } cases[] = {
      // Windows line ends, and no end line: the aqueous rows run to the end.
      {"title\r\n X Y   z   a\r\n* * * Individual phases * * *\r\n 1 1 0 xa\r\n* * * Aqueous solution * * *\r\n"
       " 1 0 1 t t w\r\n",
       StFileStatus::kOk, 2, 1, 1},
      // Lines after the end line are not read.
      {" X   z   a\n* * * Aqueous solution * * *\n 1 0 t t w\n 2 1 t t xa\n======= End of file\n 3 1 t t no\n",
       StFileStatus::kOk, 1, 0, 2},
      // "z   a" must close the header line exactly.
      {" X Y   z   a b\n* * * Aqueous solution * * *\n 1 t t w\n", StFileStatus::kOk, 0, 0, 1},
      {" X Y   z   a\n* * * Individual phases * * *\n 1 1 xa\n", StFileStatus::kColumnMismatch, 0, 0, 0},
      {" X Y   z   a\n* * * Aqueous solution * * *\n 1 1 0 t w\n", StFileStatus::kColumnMismatch, 0, 0, 0},
      {" X Y   z   a\n* * * Individual phases * * *\n 1 1 q xa\n", StFileStatus::kColumnMismatch, 0, 0, 0},
  };
  for (const Case& c : cases) {
    TempDir::Write("tA", c.text);
    StFileTable t;
    ASSERT_EQ(ReadStFile("tA", t), c.status) << c.text;
    EXPECT_EQ(static_cast<int>(t.elements.size()), c.elements) << c.text;
    EXPECT_EQ(t.phases, c.phases) << c.text;
    EXPECT_EQ(t.aqueous, c.aqueous) << c.text;
  }
  StFileTable t;
  EXPECT_EQ(ReadStFile("missingA", t), StFileStatus::kNotFound);
}

TEST(ChemEngine, NoneUnlessTheStandinIsChosen) {
  {
    EngineEnv env(nullptr);
    EXPECT_EQ(StartChemEngine(), nullptr);
  }
  {
    EngineEnv env("unitherm");
    EXPECT_EQ(StartChemEngine(), nullptr);
  }
  EngineEnv env("standin");
  EXPECT_NE(StartChemEngine(), nullptr);
}

class StandinTest : public ::testing::Test {
 protected:
  EngineEnv env{"standin"};
  std::unique_ptr<ChemEngine> engine = StartChemEngine();
  double pair[2] = {0, 0};
  std::vector<double> inputs = std::vector<double>(5, 0.0);
  std::vector<double> amounts = std::vector<double>(9, -1.0);
  std::vector<float> values = std::vector<float>(9, -1.0f);

  int16_t Run() {
    ChemExchange x;
    x.temperature = 25.0f;
    x.pressure = 1.0f;
    x.pair = pair;
    x.inputs = inputs.data();
    x.inputCount = static_cast<int32_t>(inputs.size());
    x.amounts = amounts.data();
    x.values = values.data();
    x.componentCount = static_cast<int32_t>(amounts.size());
    return engine->Equilibrate(x);
  }
};

TEST_F(StandinTest, EchoesTheTexts) {
  engine->PutFolder("C:\\Gibbs\\");
  engine->PutStFile(TestTable());
  EXPECT_EQ(engine->GetFolder(), "C:\\Gibbs\\");
  EXPECT_EQ(engine->GetStFile(), TestTable());
}

// Components in table order take what the elements left allow: calcite
// (Ca C O3) first, then portlandite (Ca O2 H2); water takes the water term;
// Ca+2, CO3-2, Caq, O2aq and H2aq share the rest.
TEST_F(StandinTest, TakesTheMostEachComponentAllowsInTableOrder) {
  engine->PutStFile(TestTable());
  inputs = {7.5, 5.0, 2.0, 13.0, 3.0};  // water; Ca, C, O, H
  ASSERT_EQ(Run(), 0) << engine->ResultText();
  const std::vector<double> want = {0.0, 2.0, 1.5, 7.5, 1.5, 0.0, 0.0, 2.0, 0.0};
  for (size_t k = 0; k < want.size(); ++k) EXPECT_DOUBLE_EQ(amounts[k], want[k]) << k;
  EXPECT_EQ(values[3], 7.5f);
  EXPECT_NE(engine->ResultText().find("Stand-in chemistry engine"), std::string::npos);
  EXPECT_EQ(engine->ResultText().find("Options"), std::string::npos);
  engine->PutOptions("fast");
  ASSERT_EQ(Run(), 0);
  EXPECT_NE(engine->ResultText().find("Options: \"fast\""), std::string::npos);
}

TEST_F(StandinTest, RefusesBadInputsWithStatusOne) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  engine->PutStFile(TestTable());
  for (double bad : {-1.0, nan, inf}) {
    for (size_t at : {size_t{0}, size_t{3}}) {
      inputs.assign(5, 1.0);
      inputs[at] = bad;
      EXPECT_EQ(Run(), 1) << bad << " at " << at;
      EXPECT_NE(engine->ResultText().find("input " + std::to_string(at)), std::string::npos) << engine->ResultText();
    }
  }
  // Arrays that do not fit the table it read, or no table at all.
  inputs.assign(4, 1.0);
  EXPECT_EQ(Run(), 1);
  engine->PutStFile("");
  inputs.assign(5, 1.0);
  EXPECT_EQ(Run(), 1);
}

}  // namespace
