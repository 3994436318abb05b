// Tables: interpolation, insertion, positions, the save form. The history
// store: samples read back, the reader's window and thinning, purge, and the
// save form with old entry counting and damaged files.
#include <gtest/gtest.h>

#include <cmath>

#include "support/memory_stream.h"
#include "zolt/history.h"
#include "zolt/table.h"

namespace {

TEST(TableTest, InterpolatesClampsAndFollowsJumps) {
  Table t(1, "UnNamed");
  EXPECT_EQ(t.Interpolate(3.0), 0.0);
  t.Append(0, 0);
  EXPECT_EQ(t.Interpolate(-5), 0.0);
  EXPECT_EQ(t.Slope(5), 0.0);
  t.Append(10, 1);
  t.Append(10, 5);  // a jump at x = 10
  t.Append(20, 5);
  struct Case {
    double x, y, slope;
  } cases[] = {{-1, 0, 0}, {0, 0, 0.1}, {2.5, 0.25, 0.1}, {10, 5, 0}, {15, 5, 0}, {25, 5, 0}, {5, 0.5, 0.1}};
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(t.Interpolate(c.x), c.y) << c.x;
    EXPECT_DOUBLE_EQ(t.Slope(c.x), c.slope) << c.x;
  }
}

TEST(TableTest, InsertReplacesWithinTheToleranceOnly) {
  for (bool ascending : {true, false}) {
    Table t(1, "UnNamed");
    if (!ascending) t.Append(50, 50);  // out of order: the walk of the entries
    t.Append(0, 0);
    t.Append(1 + 1e-15, 1);
    t.Append(10, 1);
    t.Insert(1, 7);
    t.Insert(1 + 1e-13, 8);
    t.Insert(-1, 9);
    const size_t base = ascending ? 0 : 1;
    if (ascending) {
      ASSERT_EQ(t.Count(), 5u);
      EXPECT_EQ(t.Entry(0).x, -1);
      EXPECT_EQ(t.Entry(2).x, 1.0);
      EXPECT_EQ(t.Entry(2).y, 7.0);
      EXPECT_EQ(t.Entry(3).y, 8.0);
    } else {
      // Before 50 every x is smaller: all go in front of the first entry.
      EXPECT_EQ(t.Entry(base - 1).y, 9.0);
    }
  }
}

TEST(TableTest, ManyAscendingInsertsStaySortedAndDistinct) {
  Table t(1, "UnNamed");
  for (int i = 0; i < 1000; ++i) t.Insert(i * 0.5, i);
  for (int i = 0; i < 1000; ++i) t.Insert(i * 0.5, -i);  // replaces each
  ASSERT_EQ(t.Count(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(t.Entry(i).y, -i);
}

TEST(TableTest, PositionPadsAndRefusesFarIndices) {
  Table t(1, "UnNamed");
  t.Append(0, 0);
  t.Append(10, 1);
  t.SetAt(4, 3, 3);
  ASSERT_EQ(t.Count(), 5u);
  EXPECT_EQ(t.Entry(2).x, 0.0);
  EXPECT_EQ(t.Entry(4).y, 3.0);
  t.SetAt(-1, 9, 9);
  EXPECT_EQ(t.Count(), 5u);
  EXPECT_THROW(t.SetAt(5 + 1000001, 1, 1), IndexRangeExcept);
  EXPECT_EQ(t.Entry(99).x, 0.0);
}

TEST(TableListTest, NumbersNamesAndSaveRoundTrip) {
  Table2List list;
  list.GetOrCreateById(3).Append(1, 2);
  Table& named = list.GetOrCreateByName("stress");
  EXPECT_EQ(named.Id(), 4u);
  EXPECT_EQ(&list.GetOrCreateByName("stress"), &named);
  EXPECT_EQ(list.IndexOf(4), 2);
  EXPECT_THROW(list.FindById(9), Table2List::TableNotFoundExcept);
  MemoryStream s;
  list.Save(s);
  // count, then per table: entry count, number, name, entries
  EXPECT_EQ(s.bytes.size(), 4u + (4 + 4 + 4 + 7 + 16) + (4 + 4 + 4 + 6));
  Table2List back;
  back.GetOrCreateById(99);
  back.Restore(s);
  EXPECT_EQ(back.Count(), 2u);
  EXPECT_EQ(back.LookupId(99), nullptr);
  EXPECT_DOUBLE_EQ(back.FindById(3)->Interpolate(5), 2.0);
  MemoryStream again;
  back.Save(again);
  EXPECT_EQ(again.bytes, s.bytes);
  MemoryStream damaged;
  damaged.bytes = s.bytes.substr(0, s.bytes.size() - 3);
  EXPECT_ANY_THROW(back.Restore(damaged));
}

// A history that records what it is told.
class FakeHistory : public History {
 public:
  explicit FakeHistory(double* source) : source_(source) {}
  uint32_t TypeCode() const override { return kUnbal; }
  double Measure() override { return *source_; }

 private:
  double* source_;
};

double g_value = 0.0;

class FakeModule : public HistoryModule {
 public:
  std::unique_ptr<History> Create(uint32_t code) override {
    if (code != History::kUnbal) return nullptr;
    return std::make_unique<FakeHistory>(&g_value);
  }
};

TEST(HistoryModuleTest, NumbersFillTheSmallestFreeOne) {
  FakeModule m;
  auto make = [](uint32_t id) {
    auto h = std::make_unique<FakeHistory>(&g_value);
    h->id = id;
    return h;
  };
  m.Add(make(1));
  m.Add(make(3));
  EXPECT_EQ(m.Add(make(0)).id, 2u);
  EXPECT_EQ(m.Add(make(0)).number, 4u);
  EXPECT_THROW(m.Add(make(3)), QJExcept);
  EXPECT_EQ(m.FindByNumber(0), nullptr);
  EXPECT_EQ(m.FindByNumber(5), nullptr);
}

TEST(HistoryModuleTest, ReadsBackTheWindowWithSkipAndLaterHistories) {
  FakeModule m;
  m.Add(std::make_unique<FakeHistory>(&g_value));
  for (uint32_t step = 1; step <= 10; ++step) {
    g_value = step * 2.0;
    m.Sample(step);
  }
  m.Add(std::make_unique<FakeHistory>(&g_value));
  for (uint32_t step = 11; step <= 12; ++step) {
    g_value = step * 2.0;
    m.Sample(step);
  }
  HistorySelection sel;
  sel.entries.push_back({0, 0, m.At(0), 0, 0});
  sel.entries.push_back({1, 0, m.At(1), 0, 0});
  sel.begin = 2;
  sel.skip = 3;
  std::vector<double> xs;
  for (bool more = m.FirstSample(sel); more; more = m.NextSample(sel)) {
    xs.push_back(sel.x);
    EXPECT_EQ(sel.entries[0].value, sel.x * 2);
    EXPECT_EQ(sel.entries[1].hasValue, sel.x > 10 ? 1 : 0);
    if (sel.x > 10) {
      EXPECT_EQ(sel.entries[1].value, -sel.x * 2);
    }
  }
  EXPECT_EQ(xs, (std::vector<double>{2, 5, 8, 11}));
  EXPECT_EQ(m.At(0)->minStep, 1u);
  EXPECT_EQ(m.At(1)->minStep, 11u);
  EXPECT_EQ(m.At(1)->firstRecord, 10 * (8 + 9) + 1u);  // offset of record 11, plus 1

  // The reader of a history created later starts at its own first record.
  HistorySelection late;
  late.entries.push_back({0, 0, m.At(1), 0, 0});
  ASSERT_TRUE(m.FirstSample(late));
  EXPECT_EQ(late.x, 11.0);

  m.Purge();
  EXPECT_FALSE(m.FirstSample(sel));
  EXPECT_EQ(m.At(0)->maxStep, 0u);
  EXPECT_EQ(m.At(0)->minValue, 1e20);
  m.Sample(40);
  EXPECT_EQ(m.At(0)->minStep, 40u);
  EXPECT_EQ(m.Count(), 2u);
}

TEST(HistoryModuleTest, SaveRestoreOldCountingAndDamagedFiles) {
  FakeModule m;
  m.Add(std::make_unique<FakeHistory>(&g_value));
  m.Add(std::make_unique<FakeHistory>(&g_value));
  for (uint32_t step = 5; step <= 20; step += 5) m.Sample(step);
  MemoryStream s;
  m.Save(s);
  FakeModule back;
  back.Restore(s, 134);
  EXPECT_EQ(s.Remaining(), 0u);
  MemoryStream again;
  back.Save(again);
  EXPECT_EQ(again.bytes, s.bytes);

  // Format 18 and below: the stored total counts 12 bytes per entry.
  MemoryStream old;
  old.bytes = s.bytes;
  const size_t totalAt = s.bytes.size() - 4 * (8 + 2 * 9) - 4;
  const uint32_t oldTotal = 4 * (8 + 2 * 12);
  old.bytes.replace(totalAt, 4, std::string(reinterpret_cast<const char*>(&oldTotal), 4));
  FakeModule fromOld;
  fromOld.Restore(old, 18);
  EXPECT_EQ(old.Remaining(), 0u);
  EXPECT_EQ(fromOld.Store().End(), 4u * (8 + 2 * 9));

  // Damaged: a record count past the end, an unknown kind, a bad flag.
  std::vector<std::pair<size_t, char>> damages = {{totalAt + 8, 100}, {4, 77}, {totalAt + 12, 2}};
  for (auto [at, byte] : damages) {
    MemoryStream bad;
    bad.bytes = s.bytes;
    bad.bytes[at] = byte;
    FakeModule into;
    EXPECT_ANY_THROW(into.Restore(bad, 134)) << at;
  }
}

// A history of an object that may be destroyed.
class ObjectHistory : public History {
 public:
  const int* object = nullptr;
  uint32_t TypeCode() const override { return kGp; }
  double Measure() override { return *object; }  // read only while the object lives
  bool IsValid() override { return object != nullptr; }
  void Forget(const void* gone) override {
    if (gone == object) object = nullptr;
  }
};

TEST(HistoryModuleTest, ADeletedObjectIsNeverReadAgain) {
  FakeModule m;
  auto owned = std::make_unique<int>(7);
  auto h = std::make_unique<ObjectHistory>();
  h->object = owned.get();
  History& history = m.Add(std::move(h));
  m.Sample(1);
  m.ObjectDeleted(owned.get());
  owned.reset();
  m.Sample(2);
  EXPECT_EQ(history.active, 0);
  EXPECT_EQ(history.maxStep, 1u);
  HistorySelection sel;
  sel.entries.push_back({0, 0, &history, 0, 0});
  ASSERT_TRUE(m.FirstSample(sel));
  EXPECT_EQ(sel.entries[0].value, 7.0);
  ASSERT_TRUE(m.NextSample(sel));
  EXPECT_EQ(sel.entries[0].hasValue, 0);
}

}  // namespace
