// The zone's record in the save file, field by field, and the older forms
// that restore reads under the version gates.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/app.h"
#include "cmodels/constitutive_model.h"
#include "model/grid_fixture.h"
#include "model/module_doubles.h"

namespace {

constexpr size_t kTetraBytes = 154;

// Reads the fields of a record in order.
class Fields {
 public:
  explicit Fields(const std::string& b) : b_(b) {}
  uint8_t U8() { return static_cast<uint8_t>(b_.at(at_++)); }
  uint32_t U32() { return Take<uint32_t>(); }
  double F64() { return Take<double>(); }
  void Skip(size_t n) { at_ += n; }
  size_t Left() const { return b_.size() - at_; }

 private:
  template <class T>
  T Take() {
    T v;
    EXPECT_LE(at_ + sizeof(T), b_.size());
    std::memcpy(&v, b_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return v;
  }
  const std::string& b_;
  size_t at_ = 0;
};

class ZoneRecordTest : public GridTest {
 protected:
  void TearDown() override {
    ResetRestoreVersions();
    GridTest::TearDown();
  }
  static std::string Record(const Zone& z) {
    NumberAllLists();
    MemoryStream s;
    z.Save(s);
    return s.bytes;
  }
};

TEST_F(ZoneRecordTest, FieldsInTheirOrder) {
  Zone* z = UnitBrick();
  z->SetModelByName("elastic");
  z->Model()->SetPropertyValue("bulk", 3e8);
  z->SetDensity(1500);
  z->Vector()[1] = 2.5;
  z->SetFlags(0x100);
  z->SetGroupByName("g");
  z->Tetra(1)[0].stress[5] = 7.0;
  const std::string b = Record(*z);
  Fields f(b);
  EXPECT_EQ(f.U32(), 1u);     // id
  EXPECT_EQ(f.U8(), kBrick);  // type
  EXPECT_EQ(f.U32(), 0x100u);
  EXPECT_EQ(f.U8(), 1);  // a model follows
  EXPECT_EQ(f.U32(), ConstitutiveModel::kElasticType);
  f.U32();  // the model's own word
  const uint32_t doubles = f.U32();
  const uint32_t ints = f.U32();
  ASSERT_GE(doubles, 1u);
  EXPECT_EQ(f.F64(), 3e8);  // bulk, the first property
  f.Skip((doubles - 1) * 8 + ints * 4);
  EXPECT_EQ(f.F64(), 0.0);  // volume (before any cycling)
  EXPECT_EQ(f.F64(), 1500.0);
  EXPECT_EQ(f.F64(), 0.0);  // the three-vector
  EXPECT_EQ(f.F64(), 2.5);
  EXPECT_EQ(f.F64(), 0.0);
  EXPECT_EQ(f.U32(), 1u);  // the group's save index
  for (int overlay = 0; overlay < 2; ++overlay) {
    for (int k = 0; k < 5; ++k) {
      ASSERT_EQ(f.U8(), 1);
      f.Skip(kTetraBytes);
    }
    EXPECT_EQ(f.U8(), 0);
  }
  for (uint32_t slot = 1; slot <= 8; ++slot) EXPECT_EQ(f.U32(), slot);
  for (int face = 0; face < 6; ++face) EXPECT_EQ(f.U32(), 0u);
  for (int record = 0; record < 4; ++record) EXPECT_EQ(f.U8(), 0);  // thermal, fluid, dynamic, chemistry
  EXPECT_EQ(f.U32(), 0u);                                           // extra variables
  EXPECT_EQ(f.U8(), 0);                                             // no damping
  EXPECT_EQ(f.Left(), 0u);
}

// SAVE measures its file before writing it: the measure of a record is its
// length, whichever overlays and records the zone has.
TEST_F(ZoneRecordTest, TheMeasureOfARecordIsItsLength) {
  Zone* a = UnitBrick();
  a->SetModelByName("mohr");
  Zone* b = UnitBrick(1, 0, 0);
  b->SetModelByName("elastic");
  b->UseOverlays(false, true);
  Zone* c = UnitBrick(2, 0, 0);
  for (const Zone* z : {a, b, c}) {
    CountFile count;
    NumberAllLists();
    z->Save(count);
    EXPECT_EQ(count.Count(), Record(*z).size()) << z->Id();
  }
}

TEST_F(ZoneRecordTest, ReducedTypesWriteNoRepeatedCorners) {
  Zone* brick = UnitBrick();
  GridPoint* top[2] = {Gp(0, 0, 2), Gp(0, 1, 2)};
  GridPoint* corners[6] = {brick->Gp(3), brick->Gp(6), brick->Gp(5), top[0], brick->Gp(7), top[1]};
  Zone* wedge = CreateZone(kWedge, corners);
  const std::string b = Record(*wedge);
  Fields f(b);
  f.Skip(4 + 1 + 4);
  EXPECT_EQ(f.U8(), 0);  // no model: the volume follows at once
  f.Skip(5 * 8 + 4);
  EXPECT_EQ(f.U8(), 0);  // no overlays without a model
  EXPECT_EQ(f.U8(), 0);
  for (int slot = 0; slot < 6; ++slot) EXPECT_NE(f.U32(), 0u);
  EXPECT_EQ(f.U32(), 0u);
  EXPECT_EQ(f.U32(), 0u);
  EXPECT_EQ(f.U32(), 1u);  // face 0 joins the brick
}

TEST_F(ZoneRecordTest, DampingFollowsItsByte) {
  Zone* z = UnitBrick();
  z->SetModelByName("elastic");
  z->dampingOn = 1;
  NumberAllLists();
  MemoryStream broken;
  EXPECT_THROW(z->Save(broken), QJExcept);
  z->damping = std::make_unique<HystDamping>();
  const double de[6] = {0, 0, 0, 1e-3, 0, 0};
  z->damping->Update(de);
  const std::string b = Record(*z);
  MemoryStream state;
  z->damping->Save(state);
  ASSERT_GT(b.size(), state.bytes.size());
  EXPECT_EQ(b.substr(b.size() - state.bytes.size()), state.bytes);
  EXPECT_EQ(b[b.size() - state.bytes.size() - 1], 1);

  MemoryStream in;
  in.bytes = b;
  std::unique_ptr<Zone> back(Zone::NewForRestore());
  PendingLinks().Restore([&] { back->Restore(in); });
  EXPECT_EQ(in.Remaining(), 0u);
  ASSERT_NE(back->damping, nullptr);
  EXPECT_EQ(back->damping->Strain()[0], 1e-3);
}

// A record of sub-version 309: volume, density, vector and the dynamic
// multiplier as floats; chemistry and damping present; then the skipped byte.
std::string Record309() {
  MemoryStream s;
  s.WriteU32(77);
  s.WriteU8(kTetrahedron);
  s.WriteU32(0);
  s.WriteU8(0);
  s.WriteF32(0.25f);
  s.WriteF32(1800.5f);
  for (float v : {1.5f, -2.0f, 0.1f}) s.WriteF32(v);
  s.WriteU32(0);
  s.WriteU8(0);
  s.WriteU8(0);
  for (int i = 0; i < 14; ++i) s.WriteU32(0);
  s.WriteU8(0);  // thermal
  s.WriteU8(0);  // fluid
  s.WriteU8(1);  // dynamic
  s.WriteF32(3.0f);
  s.WriteU8(0);  // chemistry (from 308)
  s.WriteU32(0);
  s.WriteU8(0);  // damping (from 300)
  s.WriteU8(0);  // the byte of 302 to 311
  return s.bytes;
}

TEST_F(ZoneRecordTest, OlderRecordsAreReadThroughTheirGates) {
  CurrentRestoreVersions().program = 309;
  MemoryStream in;
  in.bytes = Record309();
  std::unique_ptr<Zone> z(Zone::NewForRestore());
  PendingLinks().Restore([&] { z->Restore(in); });
  EXPECT_EQ(in.Remaining(), 0u);
  EXPECT_EQ(z->Id(), 77u);
  EXPECT_EQ(z->Type(), kTetrahedron);
  EXPECT_EQ(z->StoredVolume(), 0.25);
  EXPECT_EQ(z->Density(), 1800.5);
  EXPECT_EQ(z->Vector()[2], static_cast<double>(0.1f));
  ASSERT_NE(z->dynamicMultiplier, nullptr);
  EXPECT_EQ(*z->dynamicMultiplier, 3.0);

  // Sub-version 299: no chemistry byte, no damping byte and no skipped byte.
  std::string old = Record309();
  old.erase(old.size() - 1);     // the byte of 302 to 311
  old.erase(old.size() - 1);     // damping
  old.erase(old.size() - 5, 1);  // chemistry, before the extra-variable count
  CurrentRestoreVersions().program = 299;
  MemoryStream in299;
  in299.bytes = old;
  std::unique_ptr<Zone> z299(Zone::NewForRestore());
  PendingLinks().Restore([&] { z299->Restore(in299); });
  EXPECT_EQ(in299.Remaining(), 0u);
  EXPECT_EQ(*z299->dynamicMultiplier, 3.0);

  // Below sub-version 82 nothing past the first three fields is read.
  CurrentRestoreVersions().program = 81;
  MemoryStream in81;
  in81.bytes = Record309();
  std::unique_ptr<Zone> z81(Zone::NewForRestore());
  try {
    PendingLinks().Restore([&] { z81->Restore(in81); });
    ADD_FAILURE();
  } catch (const QJExcept& e) {
    EXPECT_STREQ(e.Text(), "Cannot read save files lower than sub-ver 82");
  }
  EXPECT_EQ(in81.pos, 9u);
}

}  // namespace
