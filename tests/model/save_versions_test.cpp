// Files of older program versions: the sections, counters and check values
// that each version holds, read through the gates of the whole-model restore.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/savefile.h"
#include "model/grid_fixture.h"
#include "model/model_app.h"
#include "model/module_doubles.h"

namespace {

// The file of an empty model as a program of version v writes it: no grid,
// every other subsystem empty, the counters and a few settings given, and
// a fluid module when the version can hold one beside chemistry.
struct OldFile {
  int32_t version;
  MemoryStream s;

  explicit OldFile(int32_t v) : version(v) {
    s.WriteI32(29572024);
    s.WriteI32(134);  // format version
    s.WriteI32(v);    // program version
    s.WriteI32(261);
    s.WriteI32(261);
    s.WriteI32(0);
    s.WriteF32(3.0f);
    s.WriteI32(0);  // save time
    SaveString(s, String("old"));
    SaveString(s, String());
    SaveString(s, String());
    s.WriteI32(0);  // macros
    Check();
    s.WriteU32(0);  // tables
    Check();
    for (int i = 0; i < 3; ++i) s.WriteU32(0);  // GENERATE points, triangles, volumes
    Check();
    s.WriteU32(0);  // groups
    Check();
    s.WriteU32(0);  // grid-points
    if (v >= 5) s.WriteU32(41);
    Check();
    s.WriteU32(0);  // zones
    if (v >= 5) s.WriteU32(42);
    Check();
    if (v >= 16) {  // structural elements, nodes, links and their settings
      for (int i = 0; i < 7; ++i) s.WriteU32(0);
      s.WriteU8(0);
      s.WriteI32(1);
      for (int i = 0; i < 4; ++i) s.WriteF64(1.0);
      if (v >= 157)
        for (int i = 0; i < 3; ++i) s.WriteF64(0.1);
      if (v >= 159) s.WriteU8(0);
      Check();
    }
    s.WriteU32(0);  // apply conditions
    Check();
    s.WriteU32(0);  // histories
    s.WriteU32(0);  // their samples
    Check();
    for (int i = 0; i < 3; ++i) s.WriteU32(0);  // views, current, base
    Check();
    s.WriteU32(3);  // the next interface id
    s.WriteU32(0);
    Check();
    s.WriteU32(0);  // attach ties
    Check();
    s.WriteF64(1000.0);  // water table: density, plane switch, origin, normal, triangles
    s.WriteU8(0);
    for (int i = 0; i < 6; ++i) s.WriteF64(0.5);
    s.WriteI32(0);
    Check();
    SaveString(s, String());  // the print range: no name, no elements
    s.WriteI32(0);
    s.WriteI32(0);  // named ranges
    Check();
    if (v >= 301) s.WriteI32(9);  // particle id counter
    if (v >= 300) s.WriteU32(0);  // particles
    if (v >= 316) {
      Check();
      s.WriteU32(0);  // zone faces
      Check();
    }
    Settings(v);
    Check();
    Modules(v);
    Check();
  }

  void Check() {
    if (version >= 312) s.WriteU32(kSaveCheckValue);
  }

  // The settings block as version v holds it, with a plot interval of 33.
  void Settings(int32_t v) {
    for (int i = 0; i < (v >= 310 ? 4 : 2); ++i) s.WriteF64(0.0);
    s.WriteU8(0);
    for (int i = 0; i < 3; ++i) s.WriteF64(0.0);
    s.WriteU8(0);
    for (int i = 0; i < 3; ++i) s.WriteF64(0.0);
    s.WriteI32(0);
    s.WriteU8(1);
    if (v >= 96) s.WriteU8(0);
    s.WriteI32(0);
    for (int i = 0; i < 2; ++i) s.WriteF64(0.0);
    s.WriteU8(0);
    for (int i = 0; i < 4; ++i) s.WriteF64(0.0);
    s.WriteF64(0.8);
    s.WriteI32(0);
    s.WriteI32(55);  // total cycles
    if (v >= 130) s.WriteI32(0);
    s.WriteI32(10);
    s.WriteI32(10);
    s.WriteI32(1000000000);
    s.WriteI32(33);  // plot interval
    s.WriteF64(0.0);
    s.WriteF64(0.0);
    s.WriteI32(0);
    s.WriteU8(0);
    s.WriteI32(0);
    s.WriteI32(0);
    if (v >= 14) {
      s.WriteU8(0);
      s.WriteU32(0);
      s.WriteU32(0);
    }
    if (v >= 138) s.WriteU8(0);
    if (v >= 310) {
      s.WriteU8(0);
      s.WriteF64(0.0);
    } else if (v >= 152) {
      s.WriteU8(0);
      s.WriteF32(0.0f);
    }
    if (v >= 198) s.WriteF64(0.0);
    if (v >= 302) s.WriteU8(0);
    if (v >= 313) s.WriteI32(0);
    if (v >= 314) s.WriteF64(0.0);
  }

  // Dynamic, creep and thermal absent; fluid present; chemistry absent.
  void Modules(int32_t v) {
    s.WriteU8(0);
    s.WriteU8(0);
    s.WriteU8(0);
    s.WriteU8(1);
    s.WriteU8(1);  // on
    s.WriteU8(CalcModule::kFluid);
    s.WriteF64(2.0);
    s.WriteF64(0.0);
    s.WriteF64(1e20);
    if (v >= 300) s.WriteU8(0);
  }
};

class SaveVersionsTest : public GridTest {
 protected:
  ModelApp app{&interp};

  void SetUp() override {
    GridTest::SetUp();
    app.Identity();
    interp.SetApp(&app);
    InstallTestModules();
  }
  void TearDown() override {
    app.New();
    ResetRestoreVersions();
    GridTest::TearDown();
  }

  // Reads the file as RESTORE does; false when it failed.
  bool Read(MemoryStream& s) { return ReadInto(interp, s); }
  static bool ReadInto(ModelInterpreter& reader, MemoryStream& s) {
    RestoreVersionGuard versions;
    reader.ClearForRestore();
    try {
      reader.RestoreState(s, true);
      reader.AfterRestore(true);
    } catch (const KWRExcept&) {
      ReleaseIndexArrays();
      reader.ClearForRestore();
      return false;
    }
    ReleaseIndexArrays();
    return true;
  }
};

TEST_F(SaveVersionsTest, EachVersionIsReadToItsEnd) {
  for (int32_t v : {130, 151, 156, 157, 199, 299, 300, 301, 302, 311, 312, 313, 314, 315, 316}) {
    OldFile file(v);
    ASSERT_TRUE(Read(file.s)) << v;
    EXPECT_EQ(file.s.Remaining(), 0u) << v;
    EXPECT_EQ(GridPointIdCounter(), 41u) << v;
    EXPECT_EQ(ZoneIdCounter(), 42u) << v;
    EXPECT_EQ(Settings().plotInterval, 33) << v;
    EXPECT_EQ(Settings().totalCycles, 55) << v;
    ASSERT_NE(Modes().fluid, nullptr) << v;
    EXPECT_EQ(Modes().fluid->Time(), 2.0) << v;
    EXPECT_EQ(JobTitle().str(), "old") << v;
  }
}

TEST_F(SaveVersionsTest, ANeighbouringVersionsFileDoesNotRead) {
  // Read under the wrong gates, the sections slip: 315 lacks the zone-face
  // section and its check values, 311 every check value.
  for (auto [written, claimed] : {std::pair{315, 316}, std::pair{311, 312}, std::pair{316, 315}}) {
    OldFile file(written);
    file.s.bytes.replace(8, 4, std::string(reinterpret_cast<const char*>(&claimed), 4));
    EXPECT_FALSE(Read(file.s)) << written << " as " << claimed;
    EXPECT_EQ(ZoneIdCounter(), 0u);
    EXPECT_EQ(Modes().fluid, nullptr);
  }
}

TEST_F(SaveVersionsTest, StandInSectionsReadOnlyWhatIsEmpty) {
  // A file that holds a table cannot be read while tables are missing.
  OldFile good(316);
  const std::string& bytes = good.s.bytes;
  // The table count directly follows the first check value.
  const size_t tables = bytes.find(std::string("\xD1\xCD\x95\x49", 4)) + 4;
  MemoryStream withTable;
  withTable.bytes = bytes;
  withTable.bytes[tables] = 1;
  EXPECT_FALSE(Read(withTable));
  // A section filled in by its subsystem is read by it.
  static int tablesRead = 0;
  ModelInterpreter withTables{&macros, &device};
  withTables.TheModel().Sections().Install(
      "tables", [](SaveStream& s) { s.WriteU32(0); },
      [](SaveStream& s) { tablesRead = static_cast<int>(s.ReadU32()); });
  InstallSubsystems(withTables.TheModel());
  InstallTestModules();  // the file's module records are the doubles' own
  withTable.pos = 0;
  EXPECT_TRUE(ReadInto(withTables, withTable));
  EXPECT_EQ(tablesRead, 1);
}

std::vector<std::string>& Log() {
  static std::vector<std::string> log;
  return log;
}

// A section that writes its own number and logs what it is asked to do.
template <int N>
void InstallLoggingSection(SaveSections& sections, const char* name) {
  sections.Install(
      name, [](SaveStream& s) { s.WriteU32(0xABC00000u + N); },
      [](SaveStream& s) {
        Log().push_back("read " + std::to_string(N));
        if (s.ReadU32() != 0xABC00000u + N) s.ReadFailure();
      },
      [] { Log().push_back("remap " + std::to_string(N)); });
}

TEST_F(SaveVersionsTest, SubsystemSectionsComeInTheirOrderEachWithItsCheckValue) {
  // A model whose subsystems above the grid are all stand-ins that log.
  ModelInterpreter logged{&macros, &device};
  SaveSections& sections = logged.TheModel().Sections();
  InstallLoggingSection<1>(sections, "tables");
  InstallLoggingSection<2>(sections, "generate");
  InstallLoggingSection<3>(sections, "structures");
  InstallLoggingSection<4>(sections, "apply");
  InstallLoggingSection<5>(sections, "histories");
  InstallLoggingSection<6>(sections, "views");
  InstallLoggingSection<7>(sections, "interfaces");
  InstallLoggingSection<8>(sections, "attach");
  InstallLoggingSection<9>(sections, "water");
  InstallLoggingSection<10>(sections, "particles");
  const std::vector<std::string> order = {"tables", "generate",  "groups",     "grid-points", "zones",  "structures",
                                          "apply",  "histories", "views",      "interfaces",  "attach", "water",
                                          "ranges", "particles", "zone faces", "settings",    "modules"};
  std::vector<std::string> names;
  for (const SaveSection& section : sections.List()) names.push_back(section.name);
  EXPECT_EQ(names, order);
  UnitBrick();
  NumberAllLists();
  MemoryStream file;
  logged.SaveState(file);
  size_t last = 0;
  for (uint32_t n = 1; n <= 10; ++n) {
    const uint32_t marker = 0xABC00000u + n;
    const size_t at = file.bytes.find(std::string(reinterpret_cast<const char*>(&marker), 4));
    ASSERT_NE(at, std::string::npos) << n;
    EXPECT_GT(at, last) << n;
    uint32_t check;
    std::memcpy(&check, file.bytes.data() + at + 4, 4);
    EXPECT_EQ(check, kSaveCheckValue) << n;
    last = at;
  }
  Log().clear();
  file.pos = 0;
  ASSERT_TRUE(ReadInto(logged, file));
  EXPECT_EQ(file.Remaining(), 0u);
  std::vector<std::string> expected;
  for (int n = 1; n <= 10; ++n) expected.push_back("read " + std::to_string(n));
  for (int n = 1; n <= 10; ++n) expected.push_back("remap " + std::to_string(n));
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(ZoneList().Count(), 1u);
}

}  // namespace
