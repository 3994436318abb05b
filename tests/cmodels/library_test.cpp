// The library interface: prototypes, names, properties, states, copies, the
// save object, table rounding and principal stresses.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/except.h"
#include "cmodels/constitutive_model.h"
#include "cmodels/elastic_model.h"
#include "cmodels/model_support.h"
#include "cmodels/mohr_model.h"
#include "cmodels/stensor.h"
#include "support/memory_stream.h"

namespace {

std::unique_ptr<ConstitutiveModel> NewModel(const char* name) {
  const ConstitutiveModel* proto = ConstitutiveModel::FindByMatch(name);
  EXPECT_NE(proto, nullptr) << name;
  return proto ? proto->Clone() : nullptr;
}

std::unique_ptr<ConstitutiveModel> NewMohr() {
  auto m = NewModel("mohr");
  const double props[] = {2e8, 1e8, 1e5, 30, 10, 2e4};
  for (int i = 1; i <= 6; ++i) m->SetPropertyByIndex(i, props[i - 1]);
  return m;
}

TEST(LibraryTest, PrototypesByIndexTypeAndName) {
  ASSERT_EQ(ConstitutiveModel::NumberAvailable(), 4);
  const char* names[] = {"null", "elastic", "mohr", "viscous"};
  const uint32_t types[] = {1, 2, 3, 4};
  for (int i = 0; i < 4; ++i) {
    const ConstitutiveModel* m = ConstitutiveModel::FindByIndex(i);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m->Name(), names[i]);
    EXPECT_EQ(m->Type(), types[i]);
    EXPECT_EQ(ConstitutiveModel::FindByType(types[i]), m);
    EXPECT_EQ(m->Version(), 1);
  }
  EXPECT_TRUE(ConstitutiveModel::FindByIndex(0)->IsNull());
  EXPECT_EQ(ConstitutiveModel::FindByIndex(4), nullptr);
  EXPECT_EQ(ConstitutiveModel::FindByIndex(-1), nullptr);
  EXPECT_EQ(ConstitutiveModel::FindByType(0), nullptr);
  EXPECT_EQ(ConstitutiveModel::FindByType(5), nullptr);

  struct Match {
    const char* typed;
    const char* found;  // nullptr: none
  };
  const Match matches[] = {{"mohr", "mohr"}, {"mo", "mohr"},     {"MOHR", "mohr"}, {"e", "elastic"},
                           {"n", "null"},    {"mohrs", nullptr}, {"x", nullptr},   {"", nullptr}};
  for (const Match& m : matches) {
    const ConstitutiveModel* p = ConstitutiveModel::FindByMatch(m.typed);
    if (m.found) {
      ASSERT_NE(p, nullptr) << m.typed;
      EXPECT_STREQ(p->Name(), m.found);
    } else {
      EXPECT_EQ(p, nullptr) << m.typed;
    }
  }
  EXPECT_EQ(ConstitutiveModel::FindByMatch(nullptr), nullptr);
}

TEST(LibraryTest, PropertyAndStateNames) {
  const ConstitutiveModel* mohr = ConstitutiveModel::FindByType(3);
  const char* props[] = {"bulk", "shear", "cohesion", "friction", "dilation", "tension"};
  ASSERT_EQ(mohr->NumberOfProperties(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(mohr->GetPropertyIndex(props[i]), i + 1) << props[i];
  EXPECT_EQ(mohr->GetPropertyIndex("COHESION"), 3);
  EXPECT_EQ(mohr->GetPropertyIndex("coh"), 0);
  EXPECT_EQ(mohr->GetPropertyIndex("density"), 0);
  EXPECT_EQ(mohr->GetPropertyIndex(nullptr), 0);
  EXPECT_EQ(ConstitutiveModel::FindByType(2)->GetPropertyIndex("shear"), 2);
  EXPECT_EQ(ConstitutiveModel::FindByType(2)->GetPropertyIndex("cohesion"), 0);
  EXPECT_EQ(ConstitutiveModel::FindByType(1)->NumberOfProperties(), 0);

  // No property of any model may shadow the zone density.
  for (int i = 0; i < ConstitutiveModel::NumberAvailable(); ++i) {
    const char* const* list = ConstitutiveModel::FindByIndex(i)->Properties();
    for (int k = 0; list[k]; ++k) EXPECT_NE(std::string(list[k]).rfind("density", 0), 0u) << list[k];
  }

  ASSERT_EQ(mohr->NumberOfStates(), 4);
  EXPECT_STREQ(mohr->GetState(1), "shear-now");
  EXPECT_STREQ(mohr->GetState(2), "tension-now");
  EXPECT_STREQ(mohr->GetState(4), "shear-past");
  EXPECT_STREQ(mohr->GetState(8), "tension-past");
  EXPECT_STREQ(mohr->GetState(16), "");
  EXPECT_STREQ(mohr->GetState(3), "");
  EXPECT_STREQ(mohr->GetState(0), "");
  EXPECT_EQ(ConstitutiveModel::FindByType(2)->NumberOfStates(), 0);
  EXPECT_STREQ(ConstitutiveModel::FindByType(2)->GetState(1), "");
}

TEST(LibraryTest, PropertiesByNameAndIndex) {
  auto m = NewModel("mohr");
  EXPECT_TRUE(m->SetPropertyValue("bulk", 3e8));
  EXPECT_TRUE(m->SetPropertyValue("Shear", 1.5e8));
  EXPECT_FALSE(m->SetPropertyValue("density", 2000));
  EXPECT_FALSE(m->SetPropertyByIndex(7, 1.0));
  EXPECT_FALSE(m->SetPropertyByIndex(0, 1.0));
  EXPECT_EQ(m->GetPropertyByIndex(1), 3e8);
  EXPECT_EQ(m->GetPropertyByIndex(7), 0.0);
  EXPECT_DOUBLE_EQ(m->StiffnessModulus(), 3e8 + 4 * 1.5e8 / 3);
  EXPECT_EQ(m->ShearModulus(), 1.5e8);

  auto e = NewModel("elastic");
  e->SetPropertyValue("bulk", 5.0);
  e->SetPropertyValue("shear", 3.0);
  EXPECT_DOUBLE_EQ(e->StiffnessModulus(), 9.0);
  EXPECT_TRUE(e->SupportsHystDamp());
  EXPECT_FALSE(e->AlwaysUpdateGeom());
  EXPECT_FALSE(ConstitutiveModel::FindByType(1)->SupportsHystDamp());

  // Derived constants follow every change: the tension cap c / tan(phi).
  auto* mohr = static_cast<MohrModel*>(m.get());
  mohr->SetPropertyValue("tension", 1e9);
  mohr->SetPropertyValue("cohesion", 1e5);
  mohr->SetPropertyValue("friction", 45);
  EXPECT_NEAR(mohr->TensionLimit(), 1e5, 1e-6);
  mohr->SetPropertyValue("cohesion", 2e5);
  EXPECT_NEAR(mohr->TensionLimit(), 2e5, 1e-6);
  mohr->SetPropertyValue("friction", 0);
  EXPECT_EQ(mohr->TensionLimit(), 1e9);
  EXPECT_EQ(mohr->FrictionFactor(), 1.0);
}

TEST(LibraryTest, CloneAndCopy) {
  auto m = NewMohr();
  auto c = m->Clone();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Type(), 3u);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(c->GetPropertyByIndex(i), m->GetPropertyByIndex(i));
  auto fresh = NewModel("mohr");
  EXPECT_TRUE(fresh->Copy(*m));
  EXPECT_EQ(fresh->GetPropertyByIndex(4), 30.0);
  EXPECT_EQ(static_cast<MohrModel&>(*fresh).TensionLimit(), 2e4);
  auto e = NewModel("elastic");
  EXPECT_FALSE(e->Copy(*m));
  EXPECT_EQ(e->GetPropertyByIndex(1), 0.0);
}

// A zone's model comes from the small-object pool: the block of a model
// that was freed serves the next model of its size, through the base class.
TEST(LibraryTest, ClonesReuseTheBlocksOfFreedModels) {
  auto m = NewMohr();
  std::unique_ptr<ConstitutiveModel> a = m->Clone();
  std::unique_ptr<ConstitutiveModel> e = NewModel("elastic")->Clone();
  const void* where = a.get();
  a.reset();
  std::unique_ptr<ConstitutiveModel> b = m->Clone();
  EXPECT_EQ(b.get(), where);
  EXPECT_EQ(b->GetPropertyByIndex(4), 30.0);
  EXPECT_NE(static_cast<const void*>(e.get()), where);
}

TEST(LibraryTest, InitializeRefusesImpossibleProperties) {
  struct Case {
    int index;
    double value;
    const char* text;  // nullptr: accepted
  };
  const Case cases[] = {
      {4, 89.9, nullptr},
      {4, 0.0, nullptr},
      {5, -20.0, nullptr},
      {4, 90.0, "Friction angle must be at least 0 and below 90 degrees"},
      {4, -1.0, "Friction angle must be at least 0 and below 90 degrees"},
      {5, 90.0, "Dilation angle must lie between -90 and 90 degrees"},
      {1, -1.0, "Bulk and shear modulus must not be negative"},
      {2, -1.0, "Bulk and shear modulus must not be negative"},
      {4, std::numeric_limits<double>::quiet_NaN(), "Friction angle must be at least 0 and below 90 degrees"},
  };
  for (const Case& c : cases) {
    auto m = NewMohr();
    m->SetPropertyByIndex(c.index, c.value);
    ModelState st;
    const char* text = m->Initialize(3, st);
    if (c.text)
      EXPECT_STREQ(text, c.text) << c.index << " " << c.value;
    else
      EXPECT_EQ(text, nullptr) << c.index << " " << c.value;
  }
  auto e = NewModel("elastic");
  ModelState st;
  EXPECT_EQ(e->Initialize(3, st), nullptr);
  e->SetPropertyValue("shear", -1);
  EXPECT_STREQ(e->Initialize(3, st), "Bulk and shear modulus must not be negative");
}

// Saves a model the way the zone record does: through the save object and a stream.
MemoryStream SaveModel(ConstitutiveModel& m) {
  ModelSaveObject out(true);
  EXPECT_EQ(m.SaveRestore(out), nullptr);
  MemoryStream stream;
  out.Write(stream);
  return stream;
}

std::unique_ptr<ConstitutiveModel> RestoreModel(MemoryStream& stream) {
  ModelSaveObject in(false);
  in.Read(stream);
  const ConstitutiveModel* proto = ConstitutiveModel::FindByType(in.type);
  if (!proto) return nullptr;
  auto m = proto->Clone();
  EXPECT_EQ(m->SaveRestore(in), nullptr);
  return m;
}

TEST(LibraryTest, SaveAndRestoreGiveTheSameModel) {
  for (const char* name : {"null", "elastic", "mohr", "viscous"}) {
    auto m = NewModel(name);
    for (int i = 1; i <= m->NumberOfProperties(); ++i) m->SetPropertyByIndex(i, 1.5 * i + 0.25);
    MemoryStream first = SaveModel(*m);
    EXPECT_EQ(first.bytes.size(), 16u + 8u * static_cast<size_t>(m->NumberOfProperties())) << name;
    auto r = RestoreModel(first);
    ASSERT_NE(r, nullptr) << name;
    EXPECT_EQ(r->Type(), m->Type());
    for (int i = 1; i <= m->NumberOfProperties(); ++i) EXPECT_EQ(r->GetPropertyByIndex(i), m->GetPropertyByIndex(i));
    MemoryStream second = SaveModel(*r);
    EXPECT_EQ(first.bytes, second.bytes) << name;
  }
  // The restored Mohr-Coulomb model behaves as the saved one (derived constants rebuilt).
  auto m = NewMohr();
  MemoryStream s = SaveModel(*m);
  auto r = RestoreModel(s);
  EXPECT_EQ(static_cast<MohrModel&>(*r).TensionLimit(), static_cast<MohrModel&>(*m).TensionLimit());
  ModelState a, b;
  const double strain[6] = {-3e-3, 1e-3, 4e-4, 2e-3, -1e-3, 5e-4};
  for (int i = 0; i < 6; ++i) a.strain[i] = b.strain[i] = strain[i];
  m->UpdateStress(3, a);
  r->UpdateStress(3, b);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(a.stress[i], b.stress[i]);
  EXPECT_EQ(a.state, b.state);
  EXPECT_NE(a.state, 0u);
}

TEST(LibraryTest, RestoreRefusesForeignOrShortData) {
  auto mohr = NewMohr();
  ModelSaveObject saved(true);
  mohr->SaveRestore(saved);
  ModelSaveObject foreign(false);
  foreign.type = saved.type;
  foreign.doubles = saved.doubles;
  auto elastic = NewModel("elastic");
  EXPECT_STREQ(elastic->SaveRestore(foreign), "Constitutive model data does not match the model type");

  // Fewer values than properties (an older model): the rest keep their values.
  ModelSaveObject shortData(false);
  shortData.type = 3;
  shortData.Initialize(2, 0);
  shortData.doubles[0] = 7.0;
  shortData.doubles[1] = 8.0;
  auto target = NewMohr();
  EXPECT_EQ(target->SaveRestore(shortData), nullptr);
  EXPECT_EQ(target->GetPropertyByIndex(1), 7.0);
  EXPECT_EQ(target->GetPropertyByIndex(3), 1e5);

  // Counts larger than the bytes left are a read error, not an allocation.
  MemoryStream stream;
  stream.WriteU32(3);
  stream.WriteU32(1);
  stream.WriteU32(0x40000000u);
  stream.WriteU32(0);
  ModelSaveObject in(false);
  EXPECT_THROW(in.Read(stream), KWRExcept);
}

TEST(LibraryTest, LoadingLibrariesIsRefusedWithAText) {
  const char* text = ConstitutiveModel::Load("wqmohr.dll");
  ASSERT_NE(text, nullptr);
  EXPECT_GT(std::string(text).size(), 0u);
  EXPECT_EQ(ConstitutiveModel::NumberAvailable(), 4);
}

TEST(ConTableListTest, RoundHalfUp) {
  struct Case {
    double v;
    int32_t r;
  };
  const Case cases[] = {{2.5, 3},
                        {-2.5, -2},
                        {-2.6, -3},
                        {2.4, 2},
                        {0.5, 1},
                        {-0.5, 0},
                        {0.0, 0},
                        {7.0, 7},
                        {1e300, INT32_MAX},
                        {-1e300, INT32_MIN},
                        {2147483646.7, 2147483647},
                        {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const Case& c : cases) EXPECT_EQ(ConTableList::Round(c.v), c.r) << c.v;
}

TEST(ConTableListTest, TheProgramInstallsItsTables) {
  struct Tables : ConTableList {
    int FindTable(int number, int* position) override {
      *position = number + 100;
      return 0;
    }
    int ValueAt(int, double x, double* y) override {
      *y = 2 * x;
      return 0;
    }
    int SlopeAt(int, double, double* slope) override {
      *slope = 2;
      return 0;
    }
  };
  EXPECT_EQ(ConTableList::Instance(), nullptr);
  {
    Tables tables;
    ConTableList::Install(&tables);
    int pos = 0;
    double y = 0;
    EXPECT_EQ(ConTableList::Instance()->FindTable(5, &pos), 0);
    EXPECT_EQ(pos, 105);
    ConTableList::Instance()->ValueAt(pos, 1.5, &y);
    EXPECT_EQ(y, 3.0);
  }
  EXPECT_EQ(ConTableList::Instance(), nullptr);  // gone with the object
}

void ExpectPrincipal(const double s[6], const double values[3], const Axes& axes) {
  const double a[3][3] = {{s[0], s[3], s[4]}, {s[3], s[1], s[5]}, {s[4], s[5], s[2]}};
  double scale = std::fabs(values[0]) + std::fabs(values[2]) + 1e-300;
  for (int k = 0; k < 3; ++k) {
    const Vec3& v = axes[k];
    EXPECT_NEAR(v.Length(), 1.0, 1e-13);
    const double comp[3] = {v.x, v.y, v.z};
    for (int r = 0; r < 3; ++r) {
      double av = a[r][0] * comp[0] + a[r][1] * comp[1] + a[r][2] * comp[2];
      EXPECT_NEAR(av, values[k] * comp[r], 1e-12 * scale);
    }
  }
  // Right-handed: e1 x e2 = e3.
  Vec3 c = Vec3::Cross(axes[0], axes[1]);
  EXPECT_NEAR(Vec3::Dot(c, axes[2]), 1.0, 1e-12);
  EXPECT_LE(values[0], values[1]);
  EXPECT_LE(values[1], values[2]);
}

TEST(STensorTest, PrincipalValuesAndAxes) {
  const double tensors[][6] = {{-3e6, -1e6, -2e6, 0, 0, 0}, {1, 2, 3, 4, 5, 6},           {0, 0, 0, 0, 0, 0},
                               {5, 5, 5, 0, 0, 0},          {2, 2, 2, -1, -1, -1},        {1, 1, 1, 1, 1, 1},
                               {0, 0, 0, 1e-3, 0, 0},       {-1e7, -1e7, -4e6, 3e6, 0, 0}};
  for (const auto& s : tensors) {
    double values[3];
    Axes axes;
    STensor(s).Prin(values, &axes);
    ExpectPrincipal(s, values, axes);
    double only[3];
    STensor::PrinValues(s, only);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(only[i], values[i]);
  }
  const double bad[6] = {std::numeric_limits<double>::quiet_NaN(), 0, 0, 1, 0, 0};
  double values[3];
  Axes axes;
  STensor(bad).Prin(values, &axes);
  EXPECT_TRUE(std::isnan(values[0]));
  EXPECT_EQ(axes[2].z, 1.0);
}

TEST(STensorTest, AxesMakeIsRightHandedAndOrthonormal) {
  Axes a = Axes::Make({2, 0, 0}, {1, 3, 0});
  EXPECT_TRUE(Vec3::IsEqual(a[0], Vec3{1, 0, 0}));
  EXPECT_TRUE(Vec3::IsEqual(a[1], Vec3{0, 1, 0}));
  EXPECT_TRUE(Vec3::IsEqual(a[2], Vec3{0, 0, 1}));
  Axes parallel = Axes::Make({0, 0, 1}, {0, 0, 5});
  EXPECT_NEAR(Vec3::Dot(parallel[0], parallel[1]), 0.0, 1e-15);
  EXPECT_NEAR(parallel[1].Length(), 1.0, 1e-15);
  EXPECT_NEAR(Vec3::Dot(Vec3::Cross(parallel[0], parallel[1]), parallel[2]), 1.0, 1e-15);
}

}  // namespace

namespace {

// A model that offers only the per-tetrahedron update: it records what each
// call received and fails on a tetrahedron with a negative volume.
class RecordingModel final : public ConstitutiveModel {
 public:
  RecordingModel() : ConstitutiveModel(99) {}
  const char* Name() const override { return "recording"; }
  const char* Title() const override { return "Recording"; }
  const char* const* Properties() const override { return names_; }
  const char* const* States() const override { return names_; }
  double GetPropertyByIndex(int) const override { return 0.0; }
  std::unique_ptr<ConstitutiveModel> Clone() const override { return nullptr; }
  double StiffnessModulus() const override { return 1.0; }
  double ShearModulus() const override { return 1.0; }
  int Version() const override { return 1; }
  bool SetPropertyByIndex(int, double) override { return false; }
  bool Copy(const ConstitutiveModel&) override { return false; }
  const char* Initialize(uint32_t, ModelState&) override { return nullptr; }
  const char* UpdateStress(uint32_t, ModelState& s) override {
    if (s.tetVolume < 0.0) return "negative volume";
    seen.push_back(s);
    for (int j = 0; j < 6; ++j) s.stress[j] += s.strain[j] + s.spin[j % 3] + s.density;
    s.state |= 1u << s.tetIndex;
    s.stiffnessDamping = s.tetIndex & 1;
    return nullptr;
  }
  const char* SaveRestore(ModelSaveObject&) override { return nullptr; }
  std::vector<ModelState> seen;

 private:
  const char* const names_[1] = {nullptr};
};

// A zone of ten tetrahedra with strains of both signs and mixed earlier states.
struct ZoneArrays {
  double strain[10][6];
  double stress[10][6];
  uint32_t state[10];
  double volume[10];
  double spin[10][3];
  uint8_t damping[10] = {};
  ZoneArrays(double scale) {
    for (int i = 0; i < 10; ++i) {
      for (int j = 0; j < 6; ++j) {
        strain[i][j] = scale * std::sin(1.0 + 7 * i + j) * (j < 3 ? 1.0 : 0.5);
        stress[i][j] = -1e5 * (j < 3 ? 1.0 + 0.1 * i : 0.01 * std::cos(i + j));
      }
      state[i] = i % 3 == 0 ? MohrModel::kShearNow | MohrModel::kShearPast : 0;
      volume[i] = 0.1 + 0.01 * i;
      for (int j = 0; j < 3; ++j) spin[i][j] = 1e-4 * (i - j);
    }
  }
  ZoneStressBlock Block(const ModelState& zone, int count) {
    ZoneStressBlock b;
    b.zone = &zone;
    b.count = count;
    b.strain = strain;
    b.stress = stress;
    b.state = state;
    b.volume = volume;
    b.spin = spin;
    b.stiffnessDamping = damping;
    return b;
  }
};

}  // namespace

// A zone's tetrahedra in one call give the numbers of one call per
// tetrahedron, to the bit, for every built-in model and for a model that
// offers only the per-tetrahedron update.
TEST(LibraryTest, WholeZoneCallGivesThePerTetrahedronNumbers) {
  struct Case {
    const char* model;
    double props[6];
    double strainScale;
    double hyst;
  };
  const Case cases[] = {
      {"null", {}, 1e-3, -1.0},
      {"elastic", {2e8, 1e8}, 1e-3, -1.0},
      {"elastic", {2e8, 1e8}, 1e-3, 0.4},
      {"viscous", {2e8, 1e8, 1e9}, 1e-3, -1.0},
      {"mohr", {2e8, 1e8, 1e9, 30, 10, 1e9}, 1e-5, -1.0},  // elastic throughout
      {"mohr", {2e8, 1e8, 1e4, 30, 10, 2e3}, 1e-3, -1.0},  // shear and tension yielding
      {"mohr", {2e8, 1e8, 1e4, 30, 0, 1e9}, 1e-3, 0.5},
  };
  // The models' baseline code and, where the processor has it, their AVX2 code.
  const bool vector = cmodels::VectorKernels();
  for (int level = 0; level < 2; ++level) {
    if (!cmodels::SetVectorKernels(level == 1)) continue;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.model) + " " + std::to_string(c.strainScale) + " " + std::to_string(c.hyst) +
                   " level " + std::to_string(level));
      auto model = NewModel(c.model);
      ASSERT_NE(model, nullptr);
      for (int i = 1; i <= model->NumberOfProperties(); ++i) model->SetPropertyByIndex(i, c.props[i - 1]);
      ModelState zone;
      zone.timeStep = 1e-3;
      zone.hystFactor = c.hyst;
      ZoneArrays whole(c.strainScale), single(c.strainScale);
      ZoneStressBlock block = whole.Block(zone, 10);
      ASSERT_EQ(model->UpdateZoneStress(3, block), nullptr);
      int yielded = 0;
      for (int i = 0; i < 10; ++i) {
        ModelState r = zone;
        for (int j = 0; j < 6; ++j) r.strain[j] = single.strain[i][j];
        for (int j = 0; j < 6; ++j) r.stress[j] = single.stress[i][j];
        r.state = single.state[i];
        r.tetVolume = single.volume[i];
        ASSERT_EQ(model->UpdateStress(3, r), nullptr);
        for (int j = 0; j < 6; ++j) EXPECT_EQ(whole.stress[i][j], r.stress[j]) << i << " " << j;
        EXPECT_EQ(whole.state[i], r.state) << i;
        EXPECT_EQ(whole.damping[i], r.stiffnessDamping) << i;
        yielded += r.state & MohrModel::kShearNow ? 1 : 0;
      }
      if (std::string(c.model) == "mohr" && c.strainScale > 1e-4) EXPECT_GT(yielded, 0);
    }
  }
  cmodels::SetVectorKernels(vector);

  // Through the per-tetrahedron update: the record as for a call of its own.
  RecordingModel recording;
  ModelState zone;
  zone.density = 2000.0;
  zone.tetCount = 10;
  ZoneArrays a(1e-3);
  ZoneStressBlock block = a.Block(zone, 10);
  ASSERT_EQ(recording.UpdateZoneStress(3, block), nullptr);
  ASSERT_EQ(recording.seen.size(), 10u);
  const ZoneArrays before(1e-3);
  for (int i = 0; i < 10; ++i) {
    const ModelState& s = recording.seen[i];
    EXPECT_EQ(s.tetIndex, i);
    EXPECT_EQ(s.tetCount, 10);
    EXPECT_EQ(s.tetVolume, before.volume[i]);
    EXPECT_EQ(s.state, before.state[i]);
    EXPECT_EQ(s.spin[1], before.spin[i][1]);
    EXPECT_EQ(s.stiffnessDamping, 0);
    EXPECT_EQ(a.stress[i][4], before.stress[i][4] + (before.strain[i][4] + before.spin[i][1] + 2000.0));
    EXPECT_EQ(a.state[i], before.state[i] | 1u << i);
    EXPECT_EQ(a.damping[i], i & 1);
  }
  // An error stops the zone at that tetrahedron and comes back as it is.
  recording.seen.clear();
  ZoneArrays bad(1e-3);
  bad.volume[4] = -1.0;
  block = bad.Block(zone, 10);
  EXPECT_STREQ(recording.UpdateZoneStress(3, block), "negative volume");
  EXPECT_EQ(recording.seen.size(), 4u);
}
