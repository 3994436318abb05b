// The scripting value that zones, grid-points and the scripting level keep.
#include "model/zolt_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "support/memory_stream.h"

namespace {

TEST(ZoltValueTest, ConversionsAndTheirErrors) {
  ZoltValue v;
  EXPECT_EQ(v.TypeTag(), ZoltValue::kInteger);
  EXPECT_EQ(v.GetInt(kZoltIntMin, kZoltIntMax), 0);
  struct Case {
    double value;
    int32_t expected;  // 0 with `message` for a failure
    const char* message;
  };
  const Case cases[] = {
      {2.9, 2, nullptr},
      {-2.9, -2, nullptr},
      {2.5e9, 0, "Integer out of range"},
      {std::numeric_limits<double>::quiet_NaN(), 0, "Integer out of range"},
      {-std::numeric_limits<double>::infinity(), 0, "Integer out of range"},
  };
  for (const Case& c : cases) {
    v.SetFloat(c.value);
    if (!c.message) {
      EXPECT_EQ(v.GetInt(kZoltIntMin, kZoltIntMax), c.expected) << c.value;
      continue;
    }
    try {
      v.GetInt(kZoltIntMin, kZoltIntMax);
      ADD_FAILURE() << c.value;
    } catch (const ZoltExcept& e) {
      EXPECT_STREQ(e.Text(), c.message);
    }
  }
  v.SetText("abc");
  EXPECT_THROW(v.GetInt(0, 1), ZoltExcept);
  EXPECT_THROW(v.GetFloat(), ZoltExcept);
  EXPECT_EQ(v.GetString().str(), "abc");
  v.SetFloat(1.5);
  EXPECT_EQ(v.GetString().str(), "1.50000000000e+00");
  EXPECT_EQ(v.ShortText().str(), "  1.5000e+00");
  // A null pointer has no kind, whatever kind it was given.
  v.SetPointer(nullptr, ZoltValue::kZonePointer);
  EXPECT_EQ(v.KindWord(), 0u);
  EXPECT_EQ(v.GetPointer(0), nullptr);
  EXPECT_THROW(v.GetPointer(ZoltValue::kZonePointer), ZoltExcept);
  EXPECT_THROW(v.GetString(), ZoltExcept);
  EXPECT_EQ(ZoltIntSign(-5, 1), 5);
  EXPECT_EQ(ZoltIntSign(5, -1), -5);
  EXPECT_EQ(ZoltIntSign(INT32_MIN, 1), INT32_MIN);
}

TEST(ZoltValueTest, CopiesOwnTheirTextsAndArrays) {
  ZoltValue a;
  a.SetText("text");
  ZoltValue& alias = a;
  a = alias;
  EXPECT_EQ(a.GetString().str(), "text");
  ZoltValue b = a;
  a.SetText("other");
  EXPECT_EQ(b.GetString().str(), "text");

  ZoltValue arr;
  arr.SetArray(std::make_unique<ZoltArray>(std::vector<int32_t>{2, 3}));
  const int32_t e21[] = {2, 1}, e12[] = {1, 2};
  EXPECT_EQ(arr.Array()->LinearIndex(e21), 1u);
  EXPECT_EQ(arr.Array()->LinearIndex(e12), 2u);
  arr.Array()->At(1).SetText("q");
  ZoltValue copy = arr;
  arr.Array()->At(1).SetInt(3);
  EXPECT_EQ(copy.Array()->At(1).GetString().str(), "q");
  EXPECT_THROW(ZoltArray(std::vector<int32_t>{65536, 65536}), MemExcept);
}

// Every kind and tag that a save section holds comes back as it went.
TEST(ZoltValueTest, SaveAndRestoreByKind) {
  std::vector<ZoltValue> values(14);
  values[0].SetInt(-7);
  values[1].SetFloat(0.25);
  values[2].SetText("a'b");
  values[3].SetPointer(nullptr, 0);
  values[4].SetArray(std::make_unique<ZoltArray>(std::vector<int32_t>{2}));
  values[4].Array()->At(1).SetText("e");
  values[5].SetWordTag(ZoltValue::kIntrinsic, 17);
  values[6].SetWordTag(ZoltValue::kSlot, 29);
  values[7].SetControl(ZoltValue::kEndB);
  values[8].SetJump(nullptr, 16);
  values[9].SetCaseHighest(255);
  values[10].SetCommandLines({String("print x"), String("")});
  values[11].SetControl(ZoltValue::kCommandT);
  values[12].SetNode(ZoltValue::kCalleeSymbol, nullptr);
  values[13].SetWordTag(ZoltValue::kKeyword, 3);
  MemoryStream s;
  for (const ZoltValue& v : values) v.Save(s);
  std::vector<ZoltValue> back(values.size());
  PendingLinks pending;
  pending.Restore([&] {
    for (ZoltValue& v : back) v.Restore(s);
  });
  EXPECT_EQ(s.Remaining(), 0u);
  MemoryStream again;
  for (const ZoltValue& v : back) v.Save(again);
  EXPECT_EQ(again.bytes, s.bytes);
  EXPECT_EQ(back[4].Array()->At(1).GetString().str(), "e");
  EXPECT_EQ(back[10].Lines().size(), 2u);
  EXPECT_EQ(back[9].TypeTag(), 255u);
}

TEST(ZoltValueTest, UnknownTagsAndCompiledFormsAreNoData) {
  auto restore = [](std::initializer_list<uint32_t> words) {
    MemoryStream s;
    for (uint32_t w : words) s.WriteU32(w);
    ZoltParamArray p;
    p.Restore(s);
    return p.At(0).TypeTag();
  };
  EXPECT_EQ(restore({1, 0, 0, 0, 1}), ZoltValue::kInteger);
  EXPECT_THROW(restore({1, 0, 0, 5}), KWRExcept);           // tag 5
  EXPECT_THROW(restore({1, 0, 0, 11, 30, 0}), KWRExcept);   // slot 30
  EXPECT_THROW(restore({1, 0, 0, 7, 1, 0}), KWRExcept);     // a symbol reference
  EXPECT_THROW(restore({1, 12, 0, 3, 17, 0}), KWRExcept);   // a jump's target word
  EXPECT_THROW(restore({1, 0, 0, 4, 0, 0, 0}), KWRExcept);  // an array of no dimension
  EXPECT_THROW(restore({1, 0, 0, 4, 2, 65536, 65536}), KWRExcept);
  EXPECT_THROW(restore({1000000, 0, 0}), KWRExcept);  // more values than bytes
}

}  // namespace
