// The attach section of the save file: ties of the three kinds come back
// with their slaves' flags and pointers and save to the same bytes, and a
// file whose ties do not hold together is a read error that leaves an empty
// model, never a tie with a dangling pointer.
#include <cstring>
#include <string>
#include <vector>

#include "base/app.h"
#include "base/linklist.h"
#include "base/temp_dir.h"
#include "mechanics/attach_condition.h"
#include "model/grid_fixture.h"
#include "model/model_app.h"
#include "support/memory_stream.h"
#include "support/untimed_save.h"

namespace {

// Where the fields of one tie lie in the section.
struct TieBytes {
  uint32_t kind;
  size_t at;  // its type code
  size_t slave() const { return at + 4; }
  size_t snap() const { return at + 8; }
  size_t master() const { return at + 9; }  // Gp: the master; Edge: end A; Face: the face number
};

uint32_t ReadU32(const std::string& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

void WriteU32(std::string& bytes, size_t at, uint32_t v) { std::memcpy(bytes.data() + at, &v, 4); }

class AttachSaveTest : public GridTest {
 protected:
  ModelApp app{&interp};
  TempDir dir;

  void SetUp() override {
    GridTest::SetUp();
    app.Identity();
    interp.SetApp(&app);
    app.New();
    // The end of each run's input runs the exit hooks once, the release of
    // the ties among them: the first run takes them away.
    Run({});
  }
  void TearDown() override {
    app.New();
    ResetRestoreVersions();
    GridTest::TearDown();
  }

  // A half-size zone column on a unit zone, tied at the seam by the search:
  // four Gp, four Edge and one Face tie.
  void BuildModel() {
    const std::string out =
        Run({"gen zone brick size 1 1 1", "gen zone brick size 2 2 2 p0 0 0 1 p1 1 0 1 p2 0 1 1 p3 0 0 2 nomerge",
             "model elastic", "prop bulk 5e7 shear 3e7 density 2000", "set gravity 10", "fix z range z -0.1 0.1",
             "attach face"});
    ASSERT_EQ(GlobalAttachList().Count(), 9u) << out;
  }

  std::string Restore(const char* name) {
    try {
      interp.Restore(String(name));
    } catch (const KWRExcept& e) {
      return e.Text();
    }
    return "";
  }

  static bool ModelIsEmpty() {
    return ZoneList().Count() == 0 && GridPointList().Count() == 0 && GlobalAttachList().Count() == 0;
  }

  // The attach section as the file holds it, and the place of each tie.
  static std::string Section(std::vector<TieBytes>* ties) {
    NumberAllLists();
    MemoryStream s;
    SaveAttachSection(s);
    size_t at = 4;
    for (const AttachCondition* t = GlobalAttachList().Head(); t; t = AttachList::Next(t)) {
      ties->push_back(TieBytes{t->TypeCode(), at});
      at += 9 + (t->TypeCode() == AttachCondition::kGp ? 4 : t->TypeCode() == AttachCondition::kEdge ? 16 : 39);
    }
    EXPECT_EQ(at, s.bytes.size());
    return s.bytes;
  }

  static const TieBytes& First(const std::vector<TieBytes>& ties, uint32_t kind) {
    for (const TieBytes& t : ties)
      if (t.kind == kind) return t;
    ADD_FAILURE() << "no tie of kind " << kind;
    return ties.front();
  }
};

TEST_F(AttachSaveTest, TiesComeBackWithTheirSlavesAndSaveToTheSameBytes) {
  BuildModel();
  const std::string listing = Run({"print attach"});
  interp.Save(String("m.sav"), true);
  ASSERT_EQ(Restore("m.sav"), "");
  device.Take();
  EXPECT_EQ(Run({"print attach"}), listing);
  uint32_t slaves = 0;
  for (const GridPoint* gp : GridPointList()) {
    if (!(gp->flags & NodeBase::kAttached)) continue;
    ++slaves;
    ASSERT_NE(gp->attach, nullptr);
    EXPECT_EQ(static_cast<const AttachCondition*>(gp->attach)->Slave(), gp);
  }
  EXPECT_EQ(slaves, 9u);
  interp.Save(String("again.sav"), true);
  EXPECT_EQ(UntimedSave(TempDir::Read("again.sav")), UntimedSave(TempDir::Read("m.sav")));
}

// Ties that name no grid-point or zone, two ties of one slave, an unknown
// kind and a tie on itself; a face number or snap byte out of its range is
// refused by the stream as it reads the record.
TEST_F(AttachSaveTest, TiesThatDoNotHoldTogetherAreAReadError) {
  BuildModel();
  std::vector<TieBytes> ties;
  const std::string section = Section(&ties);
  interp.Save(String("m.sav"), true);
  const std::string good = TempDir::ReadSections("m.sav");
  const size_t start = good.find(section);
  ASSERT_NE(start, std::string::npos);
  ASSERT_EQ(good.find(section, start + 1), std::string::npos);

  const TieBytes& gp = First(ties, AttachCondition::kGp);
  const TieBytes& edge = First(ties, AttachCondition::kEdge);
  const TieBytes& face = First(ties, AttachCondition::kFace);
  struct Patch {
    const char* what;
    size_t at;
    uint32_t value;
    int bytes;
    const char* message;
  };
  const char* const kSaveFile = "Error reading save file";
  const char* const kStream = "Error reading file bad.sav";  // a record that the stream itself refuses
  for (const Patch p : {
           Patch{"slave of none", gp.slave(), 0, 4, kSaveFile},
           Patch{"slave beyond the list", edge.slave(), 9999, 4, kSaveFile},
           Patch{"master beyond the list", gp.master(), 9999, 4, kSaveFile},
           Patch{"edge end of none", edge.master() + 4, 0, 4, kSaveFile},
           Patch{"face of no zone", face.master() + 1, 0, 4, kSaveFile},
           Patch{"a second tie of one slave", edge.slave(), ReadU32(section, gp.slave()), 4, kSaveFile},
           Patch{"unknown kind", face.at, 7, 4, kSaveFile},
           Patch{"tied to itself", gp.master(), ReadU32(section, gp.slave()), 4, kSaveFile},
           Patch{"face number 6", face.master(), 6, 1, kStream},
           Patch{"snap of 2", edge.snap(), 2, 1, kStream},
       }) {
    ASSERT_EQ(Restore("m.sav"), "") << p.what;
    std::string bad = good;
    if (p.bytes == 4)
      WriteU32(bad, start + p.at, p.value);
    else
      bad[start + p.at] = static_cast<char>(p.value);
    TempDir::Write("bad.sav", bad);
    EXPECT_EQ(Restore("bad.sav"), p.message) << p.what;
    EXPECT_TRUE(ModelIsEmpty()) << p.what;
  }
}

// Every byte of the section changed in turn: the file restores to a model
// whose ties work, or fails and leaves nothing.
TEST_F(AttachSaveTest, ADamagedSectionNeverLeavesAHalfReadModel) {
  BuildModel();
  std::vector<TieBytes> ties;
  const std::string section = Section(&ties);
  interp.Save(String("m.sav"), true);
  const std::string good = TempDir::ReadSections("m.sav");
  const size_t start = good.find(section);
  ASSERT_NE(start, std::string::npos);
  int failed = 0;
  for (size_t at = 0; at < section.size(); ++at) {
    std::string bad = good;
    bad[start + at] = static_cast<char>(~bad[start + at]);
    TempDir::Write("bad.sav", bad);
    if (Restore("bad.sav").empty()) {
      for (const AttachCondition* t = GlobalAttachList().Head(); t; t = AttachList::Next(t))
        ASSERT_EQ(t->Slave()->attach, t) << at;
      Run({"print attach", "step 2"});
    } else {
      ++failed;
      ASSERT_TRUE(ModelIsEmpty()) << at;
    }
    device.Take();
  }
  EXPECT_GT(failed, 0);
}

}  // namespace
