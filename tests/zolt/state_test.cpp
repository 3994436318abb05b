// The scripting state's save section: the round trip of every kind of
// statement and value, sections saved before the language existed, and
// damaged sections.
#include <gtest/gtest.h>

#include <cstring>

#include "model/zone.h"
#include "support/memory_stream.h"
#include "zolt/zolt_fixture.h"

namespace {

class StateTest : public ZoltFixture {
 protected:
  // Functions that use every kind of statement: arithmetic of each
  // operation, moves into variables, array elements and argument slots,
  // calls (typed, and inserted for a function used as a value), counted and
  // conditional loops, IF and ELSE, a case table, a section with its exit, a
  // COMMAND block with a nested block, EXIT, and the WHILE_STEPPING mark.
  void DefineEverything() {
    Run({"define helper",
         "helper = 2",
         "end",
         "define prog",
         "while_stepping",
         "array grid(2,3)",
         "s = 'x' + 'y'",
         "total = 0",
         "big = 123456789",
         "loop i (1, 3)",
         "grid(1, i) = i ^ 2 - 1 / 2 * 3 + 0.5",
         "end_loop",
         "n = 0",
         "loop while n < 5",
         "n = n + helper",
         "end_loop",
         "case_of n - 4",
         "total = -1",
         "case 0",
         "total = 10",
         "case 2",
         "total = 20",
         "end_case",
         "section",
         "if total > 5 then",
         "exit section",
         "else",
         "total = 0",
         "end_if",
         "end_section",
         "command",
         "print total",
         "command",
         "end_command",
         "end_command",
         "helper",
         "exit",
         "total = 99",
         "end"});
  }
  std::string Saved() {
    MemoryStream s;
    zolt.SaveState(interp, s);
    return s.bytes;
  }
  // Restores the bytes into the state: "" when it worked, else the error.
  std::string Restore(const std::string& bytes) {
    MemoryStream s;
    s.bytes = bytes;
    try {
      zolt.RestoreState(interp, s);
      zolt.RemapPointers(interp);
    } catch (const KWRExcept& e) {
      return e.Text();
    }
    return "";
  }
  static uint32_t U32(const std::string& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
  }
  static void Put(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
  // Where a run of 32-bit words begins in the bytes.
  static size_t Find(const std::string& b, std::initializer_list<uint32_t> words) {
    std::string pattern;
    for (uint32_t w : words) pattern.append(reinterpret_cast<const char*>(&w), 4);
    const size_t at = b.find(pattern);
    EXPECT_NE(at, std::string::npos);
    return at;
  }
};

TEST_F(StateTest, SaveNewRestoreSaveIsByteIdenticalAndRunsTheSame) {
  DefineEverything();
  const std::string before = Run({"prog", "print total n s grid 1 3"});
  EXPECT_NE(before.find("Zolt>print total\ntotal = 20\nZolt>command\n"), std::string::npos) << before;
  const std::string saved = Saved();
  zolt.Clear(interp);
  EXPECT_EQ(Run({"print total"}), "Terrax>print total\n*** Unrecognized parameter 1 (total)\n");
  ASSERT_EQ(Restore(saved), "");
  EXPECT_EQ(Saved(), saved);
  EXPECT_EQ(Run({"prog", "print total n s grid 1 3"}), before);
  EXPECT_EQ(Symbol("prog")->function->a.TypeTag(), 1u);  // the WHILE_STEPPING mark
}

// The model answers for the pointers of its kinds once it is restored.
class ModelZolt : public ZoltInterpreter {
 public:
  bool RemapPointer(ZoltValue& value, uint32_t index) override {
    if (value.KindWord() != ZoltValue::kZonePointer || index != 7) return false;
    value.SetModelObject(&zone);
    return true;
  }
  Zone zone;  // a real zone: the save path checks that the object is one
};

TEST_F(StateTest, PointersComeBackThroughTheirLists) {
  ModelZolt model;
  interp.SetScriptLevel(&model);
  ZoltState& state = model.State();
  auto* block = new ZoltMemBlock(3);
  state.blocks.Append(block);
  state.liveBlocks.insert(block);
  block->Elements()[2].SetText("in a block");
  state.symbols.FindOrCreate(String("mem"))->value.SetMemoryPointer(block, block->Elements() + 2);
  model.zone.SetSaveIndex(7);
  state.symbols.FindOrCreate(String("zone"))
      ->value.SetPointer(static_cast<LinkListNode*>(&model.zone), ZoltValue::kZonePointer);
  MemoryStream s;
  model.SaveState(interp, s);
  const std::string saved = s.bytes;
  model.Clear(interp);
  s.pos = 0;
  model.RestoreState(interp, s);
  model.RemapPointers(interp);
  const ZoltValue& mem = state.symbols.Find(String("mem"))->value;
  ASSERT_EQ(mem.KindWord(), ZoltValue::kMemoryPointer);
  EXPECT_EQ(mem.Element()->GetString().str(), "in a block");
  EXPECT_EQ(mem.Block(), state.blocks.First());
  EXPECT_EQ(state.symbols.Find(String("zone"))->value.GetPointer(ZoltValue::kZonePointer), &model.zone);
  // Without the model's answer the restore fails.
  interp.SetScriptLevel(&zolt);
  s.pos = 0;
  zolt.RestoreState(interp, s);
  try {
    zolt.RemapPointers(interp);
    ADD_FAILURE();
  } catch (const ZoltExcept& e) {
    EXPECT_STREQ(e.Text(), "Error remapping user defined pointer parameter");
  }
  EXPECT_EQ(saved, s.bytes);
}

TEST_F(StateTest, AnEmptySectionOfEarlierFilesRestores) {
  std::string empty(53 * 4 + 4, '\0');
  Run({"define fn", "x = 1", "end"});
  ASSERT_EQ(Restore(empty), "");
  EXPECT_EQ(zolt.State().symbols.List().Count(), 0u);
  EXPECT_EQ(Saved(), empty);
  empty[53 * 4 + 2] = 1;  // the run-time check switch is kept
  ASSERT_EQ(Restore(empty), "");
  EXPECT_EQ(Saved(), empty);
}

TEST_F(StateTest, DamagedSectionsAreTheReadError) {
  DefineEverything();
  const std::string good = Saved();
  const std::string error = "Error reading save file";
  auto damaged = [&](const char* what, auto patch) {
    std::string b = good;
    patch(b);
    EXPECT_EQ(Restore(b), error) << what;
    EXPECT_EQ(zolt.State().statements.Count(), 0u) << what;  // nothing half restored
  };
  // The symbol "prog" names a statement past the list as its function.
  damaged("function index", [&](std::string& b) { Put(b, Find(b, {4, 0x676f7270}) - 4, 100000); });
  // A case table of 257 entries.
  damaged("case number", [&](std::string& b) { Put(b, Find(b, {15, 0, 18}) + 12, 256); });
  // The array grid(65536, 65536): the element count overflows.
  damaged("array sizes", [&](std::string& b) {
    const size_t at = Find(b, {4, 2, 2, 3});
    Put(b, at + 8, 65536);
    Put(b, at + 12, 65536);
  });
  // A constant whose tag no value has.
  damaged("tag", [&](std::string& b) { Put(b, Find(b, {0, 123456789}), 5); });
  // A count that the bytes cannot hold, and a section cut short.
  damaged("count", [&](std::string& b) { Put(b, 0, 0x7fffffff); });
  damaged("cut", [&](std::string& b) { b.resize(b.size() - 3); });
  ASSERT_EQ(Restore(good), "");
}

TEST_F(StateTest, StatementsThatCannotHaveBeenCompiledAreRefused) {
  DefineEverything();
  ZoltStatementList& list = zolt.State().statements;
  auto restoredAfter = [&](auto edit) {
    const std::string good = Saved();
    edit();
    const std::string bad = Saved();
    const std::string result = Restore(bad);
    EXPECT_EQ(Restore(good), "");
    return result;
  };
  auto first = [&](uint32_t op, ZoltSymbol* in) {
    for (ZoltStatement* s = in->function; s; s = s->Next())
      if (s->op == op) return s;
    return static_cast<ZoltStatement*>(nullptr);
  };
  // A jump into another function.
  EXPECT_NE(restoredAfter([&] { first(kOpJmp, Symbol("prog"))->t.SetTarget(Symbol("helper")->function); }), "");
  // A function without its end.
  EXPECT_NE(restoredAfter([&] { delete list.Remove(first(kOpEnd, Symbol("helper"))); }), "");
  // A move that writes into a jump's control word.
  EXPECT_NE(restoredAfter([&] { first(kOpMov, Symbol("prog"))->t.SetControl(ZoltValue::kJumpTarget); }), "");
  // A call of a statement that is no HEAD.
  EXPECT_NE(restoredAfter([&] {
              ZoltStatement* call = first(kOpJsr, Symbol("prog"));
              call->a.SetNode(ZoltValue::kCallee, call->Next());
            }),
            "");
}

TEST_F(StateTest, NoSingleByteChangeCrashesTheRestore) {
  DefineEverything();
  const std::string good = Saved();
  int restored = 0;
  for (size_t i = 0; i < good.size(); ++i) {
    for (unsigned char flip : {0x01, 0x80, 0xff}) {
      std::string b = good;
      b[i] = static_cast<char>(b[i] ^ flip);
      const std::string result = Restore(b);
      if (result.empty()) {
        ++restored;
        Saved();  // what was restored can be saved again
      }
    }
  }
  EXPECT_GT(restored, 0);
  for (size_t n = 0; n < good.size(); n += 7) EXPECT_NE(Restore(good.substr(0, n)), "") << n;
}

}  // namespace
