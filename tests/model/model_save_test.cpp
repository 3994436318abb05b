// Whole-model SAVE and RESTORE through the interpreter: every kind of object
// comes back with the same listings, a second save gives the same bytes, and
// a damaged or shortened file leaves an empty model, never a half-read one.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/file.h"
#include "base/range_named.h"
#include "base/savefile.h"
#include "base/temp_dir.h"
#include "model/grid_fixture.h"
#include "model/hyst_damping.h"
#include "model/model_app.h"
#include "model/module_doubles.h"
#include "support/link_doubles.h"
#include "support/untimed_save.h"

namespace {

const char kCheckBytes[] = "\xD1\xCD\x95\x49";

// The file without its save time, which differs from one SAVE to the next.

std::vector<size_t> CheckValueOffsets(const std::string& bytes) {
  std::vector<size_t> at;
  for (size_t p = bytes.find(kCheckBytes, 0, 4); p != std::string::npos; p = bytes.find(kCheckBytes, p + 1, 4))
    at.push_back(p);
  return at;
}

// Zones of the five types, joined where they share faces.
const std::initializer_list<const char*> kGrid = {
    "config zextra 1 gpextra 1",
    "gp 0 0 0",
    "gp 1 0 0",
    "gp 0 1 0",
    "gp 0 0 1",
    "gp 1 1 0",
    "gp 0 1 1",
    "gp 1 0 1",
    "gp 1 1 1",
    "zone brick 0 0 0 1 0 0 0 1 0 0 0 1 1 1 0 0 1 1 1 0 1 1 1 1",
    "gp 0 0 2",
    "gp 0 1 2",
    "zone wedge (0,0,1) (1,0,1) (0,1,1) (0,0,2) (1,1,1) (0,1,2)",
    "gp 2 0 0",
    "zone pyramid id 2 id 5 id 7 id 11 id 8",
    "gp 1.5 -1 0.5",
    "zone id 20 tetra id 2 id 11 id 7 id 12",
    "gp 1.5 -1 -1",
    "zone tetra id 2 id 11 id 12 id 13",
    "gp -1 0 0",
    "gp -1 1 0",
    "gp -1 0.5 1",
    "zone dbrick id 3 id 15 id 1 id 6 id 14 id 4 id 16",
    "group soil red range x -1 1",
    "group rock range id 3",
    "group remainder clay",
    "title my job",
    "macro mm 'print zone gp'",
    "range name left x 0 1",
    "range name both left any group rock",
    "set pinterval 5 hist_rep 7 geom_rep 3 gravity 0 0 -9.81 large",
};

// The listings that must read the same after a restore.
const std::initializer_list<const char*> kListings = {
    "print zone gp",      "print zone join",      "print zone information",
    "print zone density", "print zone extra 1",   "print zone stress",
    "print zone state",   "print zone volume",    "print gp position",
    "print gp velocity",  "print gp information", "print gp damping",
    "print group",        "print rlist",          "print rlist both",
    "print mech",         "print information",    "mm",
};

class ModelSaveTest : public GridTest {
 protected:
  ModelApp app{&interp};
  TempDir dir;

  void SetUp() override {
    GridTest::SetUp();
    app.Identity();
    interp.SetApp(&app);
    InstallTestModules();
    app.New();
  }
  void TearDown() override {
    app.New();
    HystDamping::FreePool();
    ResetRestoreVersions();
    GridTest::TearDown();
  }

  // The grid with models, stresses, damping, extras, links, faces, a module
  // and settings away from their defaults.
  void BuildModel() {
    Run(kGrid);
    Zone* brick = FindZone(1);
    brick->SetModelByName("mohr");
    brick->Model()->SetPropertyValue("cohesion", 2e5);
    brick->Model()->SetPropertyValue("friction", 30);
    brick->Tetra(0)[2].stress[0] = -1.5e4;
    brick->Tetra(1)[4].state = 1;
    brick->SetDensity(2000);
    brick->damping = std::make_unique<HystDamping>();
    const double p[4] = {1.0, -0.5, -1.5, 0.0};
    brick->damping->SetParameters(HystDamping::kSig3, p);
    for (double g : {1e-3, -4e-4, -2e-4, 1e-4}) {
      const double de[6] = {0, 0, 0, g, 0, 0};
      brick->damping->Update(de);
    }
    brick->dampingOn = 1;
    FindZone(2)->SetModelByName("elastic");
    FindZone(2)->Extra().At(0).SetString("wet");
    FindZone(3)->SetModelByName("mohr");
    FindZone(3)->dynamicMultiplier = std::make_unique<double>(4.0);
    FindZone(20)->SetModelByName("null");
    FindZone(6)->SetModelByName("elastic");
    GridPoint* gp = FindGridpoint(1);
    gp->flags |= NodeBase::kFixX | NodeBase::kFixZ;
    gp->velocity[1] = 0.5;
    gp->displacement[2] = -1e-3;
    gp->extra.At(0).SetFloat(2.5);
    gp->AddLinked(FindGridpoint(2));
    ZoneFace* face = new ZoneFace(FindZone(5), 3);
    InsertUniqueRecord(ZoneFaceListHead(), face);
    CalcModule* fluid = TheModules().Add(CreateModule(CalcModule::kFluid));
    fluid->SetTime(12.5);
    Settings().totalCycles = 7;
    Settings().fosKnown = true;
    Settings().fos = 1.3;
  }

  std::string Listings() { return Run(kListings); }

  bool ModelIsEmpty() {
    return ZoneList().Count() == 0 && GridPointList().Count() == 0 && GroupList().Count() == 0 &&
           NamedRangeCount() == 0 && PrintRange().ElementCount() == 0 && macros.Count() == 0 && JobTitle().IsEmpty() &&
           TheModules().Count() == 0 && !Modes().fluid && !ZoneFaceListHead() && Settings().plotInterval == 20 &&
           Settings().totalCycles == 0;
  }

  void Save(const char* name) { interp.Save(String(name), true); }
  // RESTORE from bytes in memory, as the command runs it from a file.
  std::string RestoreBytes(const std::string& bytes) {
    MemoryStream in;
    in.bytes = bytes;
    RestoreVersionGuard versions;
    interp.ClearForRestore();
    try {
      interp.RestoreState(in, true);
      interp.AfterRestore();
      ReleaseIndexArrays();
    } catch (const KWRExcept& e) {
      ReleaseIndexArrays();
      interp.ClearForRestore();
      return e.Text();
    }
    return "";
  }
  // RESTORE as the command loop runs it: the failure's message, or none.
  std::string Restore(const char* name) {
    try {
      interp.Restore(String(name));
    } catch (const KWRExcept& e) {
      return e.Text();
    }
    return "";
  }
};

TEST_F(ModelSaveTest, EveryObjectComesBackAndSavesToTheSameBytes) {
  BuildModel();
  const std::string before = Listings();
  Run({"print zone range group soil"});
  const String printRange = PrintRange().CommandText();
  Save("m.sav");
  const std::string first = TempDir::Read("m.sav");
  ASSERT_EQ(CheckValueOffsets(first).size(), 18u);

  app.New();
  ASSERT_TRUE(ModelIsEmpty());
  device.Take();
  EXPECT_EQ(Restore("m.sav"), "");
  EXPECT_EQ(PrintRange().CommandText().str(), printRange.str());
  Save("again.sav");
  EXPECT_EQ(UntimedSave(TempDir::Read("again.sav")), UntimedSave(first));

  PrintRange().Clear();
  device.Take();
  EXPECT_EQ(Listings(), before);
  EXPECT_EQ(JobTitle().str(), "my job");
  EXPECT_EQ(Settings().plotInterval, 5);
  EXPECT_EQ(Settings().historyInterval, 7);
  EXPECT_EQ(Settings().fos, 1.3);
  ASSERT_NE(Modes().fluid, nullptr);
  EXPECT_EQ(Modes().fluid->Time(), 12.5);
  Zone* brick = FindZone(1);
  ASSERT_NE(brick->damping, nullptr);
  EXPECT_EQ(brick->damping->Reversals(), 2);
  EXPECT_EQ(brick->damping->RisingDepth(), 1);
  EXPECT_EQ(brick->Model()->GetPropertyByIndex(brick->Model()->GetPropertyIndex("cohesion")), 2e5);
  EXPECT_EQ(*FindZone(3)->dynamicMultiplier, 4.0);
  ASSERT_NE(FindGridpoint(1)->linked, nullptr);
  EXPECT_EQ(FindGridpoint(1)->linked->gp, FindGridpoint(2));
  ASSERT_NE(ZoneFaceListHead(), nullptr);
  EXPECT_EQ(ZoneFaceListHead()->GetZone(), FindZone(5));
  EXPECT_EQ(FindGroup("soil")->GetColor()->Name().str(), "Red");
  // New objects take ids after the restored ones.
  EXPECT_EQ(Gp(9, 9, 9)->id, 17u);
}

TEST_F(ModelSaveTest, RestoredZonesPassTheirChecks) {
  BuildModel();
  Save("m.sav");
  app.New();
  EXPECT_EQ(Restore("m.sav"), "");
  std::ostringstream report;
  for (Zone* z : ZoneList()) {
    String text;
    EXPECT_FALSE(z->CheckDegenerate(text)) << z->Id();
    EXPECT_TRUE(z->CheckNumbering(text)) << z->Id();
    // The reduced types hold their repeated corners again.
    for (int slot = 0; slot < kZoneSlots; ++slot) EXPECT_NE(z->Gp(slot), nullptr) << z->Id() << " " << slot;
    if (z->Model()) {
      EXPECT_TRUE(z->CheckBeforeCycle(report)) << z->Id() << report.str();
    }
  }
  EXPECT_EQ(FindZone(2)->Gp(6), FindZone(2)->Gp(3));
  EXPECT_EQ(FindZone(20)->Gp(4), FindZone(20)->Gp(2));
  EXPECT_EQ(FindZone(3)->Gp(7), FindZone(3)->Gp(3));
}

TEST_F(ModelSaveTest, RestoreReportsTheFileAndTheModel) {
  BuildModel();
  Save("m.sav");
  app.New();
  device.Take();
  Restore("m.sav");
  const std::string out = device.Take();
  EXPECT_EQ(out.rfind("Restoring from TERRAX Version: R261 B261 A316\nFile Created on ", 0), 0u) << out;
  EXPECT_NE(out.find("\n Heading: my job\nRestoring file... please wait\r" + std::string(29, ' ') +
                     "\rModel has 6 zones and 16 grid-points\n          at cycle 7.\n"),
            std::string::npos)
      << out;
  // A quiet restore reports nothing and checks nothing.
  app.New();
  File file(String("m.sav"), File::kIn | File::kBinary);
  file.Open();
  interp.RestoreState(file, true);
  interp.AfterRestore(true);
  ReleaseIndexArrays();
  ResetRestoreVersions();
  EXPECT_EQ(device.Take(), "");
  EXPECT_EQ(ZoneList().Count(), 6u);
}

TEST_F(ModelSaveTest, EveryCheckValueIsChecked) {
  BuildModel();
  Save("m.sav");
  const std::string good = TempDir::ReadSections("m.sav");
  const std::vector<size_t> checks = CheckValueOffsets(good);
  ASSERT_EQ(checks.size(), 18u);
  for (size_t n = 0; n < checks.size(); ++n) {
    ASSERT_EQ(Restore("m.sav"), "");
    ASSERT_FALSE(ModelIsEmpty());
    std::string bad = good;
    bad[checks[n] + n % 4] ^= 0x01;
    TempDir::Write("bad.sav", bad);
    EXPECT_EQ(Restore("bad.sav"), "Error reading save file (checkbit mismatch).") << "check value " << n + 1;
    EXPECT_TRUE(ModelIsEmpty()) << "check value " << n + 1;
  }
}

TEST_F(ModelSaveTest, AShortFileIsAReadErrorAndLeavesNoModel) {
  BuildModel();
  Save("m.sav");
  const std::string good = TempDir::Read("m.sav");
  for (size_t cut = 32; cut < good.size(); cut += good.size() / 30) {
    ASSERT_EQ(Restore("m.sav"), "");
    TempDir::Write("short.sav", good.substr(0, cut));
    EXPECT_EQ(Restore("short.sav"), "Error reading file short.sav") << cut;
    EXPECT_TRUE(ModelIsEmpty()) << cut;
  }
}

// Damaged counts, type bytes and indices: each byte of the file in turn is
// changed. A restore either succeeds with a usable model or fails and leaves
// an empty one; it never crashes or reads past what it made.
TEST_F(ModelSaveTest, ADamagedByteNeverLeavesAHalfReadModel) {
  // Every kind of record once: fewer zones, grid-points and tetrahedra,
  // whose numbers hold no counts or indices.
  BuildModel();
  for (uint32_t id : {5u, 6u}) DeleteZone(FindZone(id));
  for (uint32_t id : {13u, 14u, 15u, 16u}) DeleteGridPoint(FindGridpoint(id));
  for (uint32_t id : {1u, 2u}) {
    FindZone(id)->SetModel(nullptr);
    FindZone(id)->Overlay(0);
  }
  ZoneFace* face = new ZoneFace(FindZone(20), 2);
  InsertUniqueRecord(ZoneFaceListHead(), face);
  Save("m.sav");
  const std::string good = TempDir::Read("m.sav");
  int failed = 0;
  for (size_t at = 32; at < good.size(); ++at) {
    std::string bad = good;
    bad[at] = static_cast<char>(~bad[at]);
    if (RestoreBytes(bad).empty()) {
      for (Zone* z : ZoneList())
        for (int slot = 0; slot < z->GpCount(); ++slot) ASSERT_NE(z->Gp(slot), nullptr) << at;
      Run({"print zone gp", "print zone information", "print gp position", "print group", "print rlist"});
      app.New();
    } else {
      ++failed;
      ASSERT_TRUE(ModelIsEmpty()) << at;
    }
    device.Take();
  }
  EXPECT_GT(failed, 0);
}

TEST_F(ModelSaveTest, AZoneWithoutItsGridPointsIsNotKept) {
  UnitBrick();
  Save("m.sav");
  std::string bytes = TempDir::ReadSections("m.sav");
  // The zone record ends before the zone id counter and the zone section's
  // check value; back from its end: the damping byte, the extra-variable
  // count, the chemistry, dynamic, fluid and thermal bytes and the six
  // neighbours lie after the eighth grid-point index.
  const std::vector<size_t> checks = CheckValueOffsets(bytes);
  ASSERT_EQ(checks.size(), 18u);
  const size_t zoneEnd = checks[5] - 4;
  const size_t lastGp = zoneEnd - 1 - 4 - 4 - 24 - 4;
  uint32_t index;
  std::memcpy(&index, bytes.data() + lastGp, 4);
  ASSERT_EQ(index, 8u);
  index = 99;
  std::memcpy(bytes.data() + lastGp, &index, 4);
  TempDir::Write("bad.sav", bytes);
  EXPECT_EQ(Restore("bad.sav"), "Error reading save file");
  EXPECT_TRUE(ModelIsEmpty());
}

TEST_F(ModelSaveTest, NewClearsEverythingButCppudm) {
  Save("fresh.sav");
  BuildModel();
  Run({"config cppudm"});
  Run({"range name left x 0 1", "print zone range left"});
  // A closed loop leaves its two records in the pool.
  HystDamping spare;
  for (double g : {1e-3, -4e-4, -2e-4, 1e-4, 2e-4}) {
    const double de[6] = {0, 0, 0, g, 0, 0};
    spare.Update(de);
  }
  EXPECT_EQ(HystDamping::PoolCount(), 2);
  app.New();
  EXPECT_TRUE(ModelIsEmpty());
  EXPECT_EQ(HystDamping::PoolCount(), 0);
  EXPECT_TRUE(Settings().cppudm);
  // Every saved setting and section is back as at the start.
  Settings().cppudm = false;
  Save("new.sav");
  EXPECT_EQ(UntimedSave(TempDir::Read("new.sav")), UntimedSave(TempDir::Read("fresh.sav")));
  EXPECT_EQ(Gp(0, 0, 0)->id, 1u);
}

TEST_F(ModelSaveTest, QuitReleasesAttachTiesAndTheDampingPool) {
  static bool attachCleared = false;
  attachCleared = false;
  ModelInterpreter quitting{&macros, &device};
  ModelApp quittingApp{&quitting};
  quitting.SetApp(&quittingApp);
  quittingApp.Identity();
  quitting.TheModel().Sections().Install(
      "attach", [](SaveStream& s) { s.WriteU32(0); }, [](SaveStream& s) { s.ReadU32(); }, nullptr,
      [] { attachCleared = true; });
  HystDamping h;
  for (double g : {1e-3, -4e-4, -2e-4, 1e-4, 2e-4}) {
    const double de[6] = {0, 0, 0, g, 0, 0};
    h.Update(de);
  }
  ASSERT_EQ(HystDamping::PoolCount(), 2);
  EXPECT_EQ(RunLines(quitting, device, {"quit"}), 0);
  EXPECT_TRUE(attachCleared);
  EXPECT_EQ(HystDamping::PoolCount(), 0);
}

TEST_F(ModelSaveTest, AppliedValuesFindTheirSymbolAndTimeBase) {
  ResetBadPointerCount();
  EXPECT_EQ(SymbolOfSavedIndex(0), nullptr);
  EXPECT_EQ(BadPointerCount(), 0u);
  // Without scripting no index names a symbol.
  EXPECT_EQ(SymbolOfSavedIndex(3), nullptr);
  EXPECT_EQ(BadPointerCount(), 1u);
  static ZoltSymbol* const kSymbol = reinterpret_cast<ZoltSymbol*>(uintptr_t{0x40});
  {
    FakeScript script;
    script.symbolByIndex = [](uint32_t index) { return index == 2 ? kSymbol : nullptr; };
    EXPECT_EQ(SymbolOfSavedIndex(2), kSymbol);
    EXPECT_EQ(SymbolOfSavedIndex(5), nullptr);
    EXPECT_EQ(BadPointerCount(), 2u);
  }
  ResetBadPointerCount();

  CalcModule* thermal = TheModules().Add(CreateModule(CalcModule::kThermal));
  EXPECT_EQ(TimeBaseOfSavedCode(0x104), thermal);
  EXPECT_EQ(TimeBaseOfSavedCode(CalcModule::kCreep), nullptr);  // not configured
  EXPECT_EQ(TimeBaseOfSavedCode(CalcModule::kChemistry), nullptr);
  EXPECT_EQ(TimeBaseOfSavedCode(0), nullptr);
}

}  // namespace
