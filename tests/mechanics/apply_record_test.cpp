// The apply section of the save file: records of every kind with their
// chains and blocks come back as they were, and bad bytes are read errors.
#include "base/app.h"
#include "mechanics/apply_fixture.h"
#include "model/module_doubles.h"

namespace {

ZoltSymbol* const kWave = reinterpret_cast<ZoltSymbol*>(0x40);

class ApplyRecordTest : public ApplyTest {
 protected:
  void SetUp() override {
    ApplyTest::SetUp();
    InstallSymbols();
    BrickGrid(2, 2, 2);
    SetModels("elastic");
  }
  void TearDown() override {
    script.symbolIndex = nullptr;
    script.symbolByIndex = nullptr;
    ResetRestoreVersions();
    ApplyTest::TearDown();
  }

  // One scripting symbol with the save index 3.
  void InstallSymbols() {
    script.symbolIndex = [](const ZoltSymbol* s) -> uint32_t { return s == kWave ? 3 : 0; };
    script.symbolByIndex = [](uint32_t i) -> ZoltSymbol* { return i == 3 ? kWave : nullptr; };
  }

  static void SaveModel(SaveStream& s) {
    NumberAllLists();
    GroupList().Save(s);
    GridPointList().Save(s);
    ZoneList().Save(s);
    SaveApplySection(s);
  }

  // As RESTORE does: everything cleared, the lists read, then remapped.
  void RestoreModel(SaveStream& s) {
    ClearApplyList();
    Reset();
    InstallMechanicsApply();
    InstallSymbols();
    TheModules().Add(MakeModeModule(CalcModule::kThermal));
    GroupList().Restore(s);
    GridPointList().Restore(s);
    ZoneList().Restore(s);
    RestoreApplySection(s);
    GroupList().RemapAll();
    GridPointList().RemapAll();
    ZoneList().RemapAll();
    RemapApplySection();
    ReleaseIndexArrays();
  }

  // Conditions of every kind: point values and velocities in both axes, a
  // quiet block with free-field links, zone and face values with multipliers.
  void BuildConditions() {
    TheModules().Add(MakeModeModule(CalcModule::kThermal));
    script.tableExists = [](int32_t n) { return n == 2; };
    script.symbolAtToken = [](CommandType& interp) {
      ++interp.TokenIndex();
      return kWave;
    };
    Run({"apply xforce 1 range id 1", "apply yforce 2 range id 1", "apply xvel 0.5 range id 1",
         "apply nvel -1 plane normal 0 0 -1 range id 5", "apply svel 2 range id 9",
         "apply zbody -10 history table 2 thermal range id 3",
         "apply szz -1e6 gradients 0 0 1 history wave range id 8 z 1.9 2.1"});
    script.symbolAtToken = nullptr;
    ApplyCondition* record = RecordOf(2) ? RecordOf(2) : ApplyCondition::Create(FindGridpoint(2));
    ApplyQuietBlock* quiet = record->NewQuietBlock();
    quiet->quiet[0] = 1.5;
    quiet->gpA = FindGridpoint(3);
    quiet->gpB = FindGridpoint(4);
    quiet->ffA[2] = 2.5;
    quiet->ffSum[1] = -1.0;
    quiet->ffFace = std::make_unique<ZoneFace>(FindZone(6), 3);
  }
};

TEST_F(ApplyRecordTest, RecordsComeBackWithTheirChainsInOrder) {
  BuildConditions();
  MemoryStream first;
  SaveModel(first);
  MemoryStream in;
  in.bytes = first.bytes;
  RestoreModel(in);
  EXPECT_EQ(in.Remaining(), 0u);
  MemoryStream second;
  SaveModel(second);
  EXPECT_EQ(second.bytes, first.bytes);

  // Chains in their order, amounts and links as they were.
  const ApplyCondition* gp1 = RecordOf(1);
  ASSERT_NE(gp1, nullptr);
  EXPECT_EQ(gp1->Gp(), FindGridpoint(1));
  const ApplyValue* v = gp1->Values();
  ASSERT_TRUE(v && v->next && v->next->next);
  EXPECT_EQ(v->quantity, kApplyVelocity);
  EXPECT_EQ(v->value, 0.5);
  EXPECT_EQ(v->next->direction, 2);
  EXPECT_EQ(v->next->value, 2.0);
  EXPECT_EQ(v->next->next->value, 1.0);
  EXPECT_EQ(gp1->Local()->mask, 1u);
  const ApplyLocalBlock* local = RecordOf(5)->Local();
  EXPECT_EQ(local->planeGiven, 1);
  EXPECT_EQ(local->axes[2][2], -1.0);
  EXPECT_EQ(RecordOf(9)->Local()->planeGiven, 0);
  const ApplyQuietBlock* quiet = RecordOf(2)->Quiet();
  ASSERT_NE(quiet, nullptr);
  EXPECT_EQ(quiet->gpA, FindGridpoint(3));
  EXPECT_EQ(quiet->gpB, FindGridpoint(4));
  EXPECT_EQ(quiet->ffA[2], 2.5);
  EXPECT_EQ(quiet->ffSum[1], -1.0);
  ASSERT_NE(quiet->ffFace, nullptr);
  EXPECT_EQ(quiet->ffFace->GetZone(), FindZone(6));
  EXPECT_EQ(quiet->ffFace->Face(), 3);

  const ApplyCondition* zone = nullptr;
  const ApplyCondition* face = nullptr;
  for (const ApplyCondition* c : Records()) {
    if (c->TargetKind() == ApplyCondition::kZone) zone = c;
    if (c->TargetKind() == ApplyCondition::kFace) face = c;
  }
  ASSERT_TRUE(zone && face);
  EXPECT_EQ(zone->GetZone(), FindZone(3));
  EXPECT_EQ(zone->Values()->quantity, kApplyBodyForceHist);
  EXPECT_EQ(zone->Values()->table, 2u);
  EXPECT_EQ(zone->Values()->timeBase, Modes().thermal);
  EXPECT_EQ(face->GetZone(), FindZone(8));
  EXPECT_EQ(face->Face()->Face(), 1);
  EXPECT_EQ(face->Values()->function, kWave);
  EXPECT_EQ(face->Values()->gradient[2], 1.0);
  EXPECT_EQ(face->Values()->value, -1e6);
  // Every grid-point with a record points at it, and only those.
  for (GridPoint* gp : GridPointList()) {
    if (gp->apply) {
      EXPECT_EQ(static_cast<ApplyCondition*>(gp->apply)->Gp(), gp);
    }
  }
  EXPECT_EQ(GlobalApplyList().Count(), 6u);
}

TEST_F(ApplyRecordTest, AnEmptyListSavesItsCount) {
  MemoryStream s;
  SaveApplySection(s);
  EXPECT_EQ(s.bytes, std::string(4, '\0'));
}

TEST_F(ApplyRecordTest, BadBytesAreReadErrors) {
  Run({"apply xforce 1 range id 1"});
  NumberAllLists();
  MemoryStream good;
  SaveApplySection(good);
  // count 1, type code 0, kind 1, gp index, presence 1, quantity 1, direction 1 ...
  ASSERT_GE(good.bytes.size(), 16u);
  struct Case {
    size_t offset;
    char byte;
  } cases[] = {{8, 4}, {13, 2}, {14, 15}, {15, 4}, {13, 7}};
  for (const Case& c : cases) {
    MemoryStream bad;
    bad.bytes = good.bytes;
    bad.bytes[c.offset] = c.byte;
    EXPECT_THROW(RestoreApplySection(bad), KWRExcept) << c.offset;
    EXPECT_TRUE(GlobalApplyList().IsEmpty());
  }
  for (size_t cut = 0; cut < good.bytes.size(); cut += 3) {
    MemoryStream shortStream;
    shortStream.bytes = good.bytes.substr(0, cut);
    EXPECT_THROW(RestoreApplySection(shortStream), KWRExcept) << cut;
  }
}

TEST_F(ApplyRecordTest, OldFilesStoreTheQuietBlockInFloats) {
  CurrentRestoreVersions().program = 300;
  MemoryStream s;
  s.WriteU32(1);  // one record
  s.WriteU32(0);  // type code
  s.WriteU8(1);   // a grid-point
  s.WriteU32(0);  // no grid-point
  s.WriteU8(0);   // no values
  s.WriteU8(0);   // no local block
  s.WriteU8(1);   // the quiet block
  for (int i = 0; i < 3; ++i) s.WriteF32(0.5f * (i + 1));
  s.WriteU32(0);
  s.WriteU32(0);
  for (int i = 0; i < 9; ++i) s.WriteF32(1.0f);
  s.WriteU8(0);
  RestoreApplySection(s);
  EXPECT_EQ(s.Remaining(), 0u);
  RemapApplySection();
  ASSERT_EQ(GlobalApplyList().Count(), 1u);
  EXPECT_EQ(GlobalApplyList().Head()->Quiet()->quiet[2], 1.5);
}

TEST_F(ApplyRecordTest, UnknownSymbolsAndModesLeaveTheirPointersEmpty) {
  TheModules().Add(MakeModeModule(CalcModule::kThermal));
  MemoryStream s;
  s.WriteU32(1);  // one record
  s.WriteU32(0);
  s.WriteU8(2);  // a zone
  s.WriteU32(0);
  for (uint8_t mode : {uint8_t{6}, uint8_t{4}}) {
    s.WriteU8(1);
    s.WriteU8(kApplyBodyForceHist);
    s.WriteU8(3);
    s.WriteU8(kMultiplierFunction);
    s.WriteU32(0);
    s.WriteU32(mode == 6 ? 9 : 3);  // no symbol has the index 9
    for (int i = 0; i < 5; ++i) s.WriteF64(0.0);
    s.WriteU8(mode);
  }
  s.WriteU8(0);
  s.WriteU8(0);
  s.WriteU8(0);
  RestoreApplySection(s);
  ResetBadPointerCount();
  RemapApplySection();
  EXPECT_EQ(BadPointerCount(), 1u);
  const ApplyValue* first = GlobalApplyList().Head()->Values();
  EXPECT_EQ(first->function, nullptr);
  EXPECT_EQ(first->timeBase, nullptr);
  EXPECT_EQ(first->next->function, kWave);
  EXPECT_EQ(first->next->timeBase, Modes().thermal);
}

TEST_F(ApplyRecordTest, ASecondRecordOfAGridPointLosesItsTarget) {
  GridPoint* gp = FindGridpoint(1);
  ApplyCondition* a = ApplyCondition::Create(gp);
  a->NewValue()->value = 1.0;
  ApplyCondition* b = ApplyCondition::Create(gp);
  b->NewValue()->value = 2.0;
  RelinkApplyGridPoints();
  EXPECT_EQ(gp->apply, a);
  EXPECT_EQ(a->Gp(), gp);
  EXPECT_EQ(b->Gp(), nullptr);
  // Deleting the grid-point takes its one record; the other names nothing.
  ClearApplyList();
}

}  // namespace
