#include "base/linklist.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include <memory>
#include <string>
#include <vector>

#include "base/except.h"
#include "base/file.h"
#include "base/memory.h"
#include "base/savestream.h"
#include "base/temp_dir.h"

namespace {

// Two kinds of node in one list: a point with a value, and a link that
// points at another node of the same list.
struct Point : LinkListNode, ModelObject {
  int32_t value = 0;
  Point() { SetTypeCode(5); }
  explicit Point(int32_t v) : Point() { value = v; }
  void Save(SaveStream& s) const override { s.WriteI32(value); }
  void Restore(SaveStream& s) override { value = s.ReadI32(); }
};

struct List;
struct Link : LinkListNode, ModelObject {
  Point* target = nullptr;
  const List* owner = nullptr;
  Link() { SetTypeCode(7); }
  void Save(SaveStream& s) const override { SavePointer(s, target); }
  void Restore(SaveStream& s) override { RestorePointer(s, target); }
  void RemapPointers() override;
};

struct List : LinkListBase {
  std::vector<uint32_t> created;
  LinkListNode* Create(uint32_t code) override {
    created.push_back(code);
    if (code == 5) return new Point;
    if (code == 7) {
      auto* l = new Link;
      l->owner = this;
      return l;
    }
    return nullptr;
  }
};

void Link::RemapPointers() { RemapPointer(*owner, target); }

std::vector<LinkListNode*> Nodes(const LinkListBase& l) {
  std::vector<LinkListNode*> v;
  for (LinkListNode* n : l) v.push_back(n);
  return v;
}

TEST(LinkListTest, Editing) {
  List l;
  auto* a = new Point(1);
  auto* b = new Point(2);
  auto* c = new Point(3);
  l.Append(b);
  l.Prepend(a);
  l.InsertBefore(a, c);  // before the first: becomes first
  EXPECT_EQ(Nodes(l), (std::vector<LinkListNode*>{c, a, b}));
  EXPECT_EQ(l.Count(), 3u);
  EXPECT_EQ(l.Remove(c), c);
  EXPECT_EQ(l.First(), a);
  EXPECT_FALSE(c->InList());
  delete c;
  l.Remove(b);
  l.Remove(a);
  EXPECT_TRUE(l.IsEmpty());
  EXPECT_EQ(l.First(), nullptr);
  delete a;
  delete b;
}

TEST(LinkListTest, EmptyListSavesAsACountOfZero) {
  List l;
  BufferStream s;
  l.Save(s);
  EXPECT_EQ(s.bytes, std::string(4, '\0'));
  List r;
  r.Restore(s);
  EXPECT_TRUE(r.IsEmpty());
  EXPECT_EQ(r.GetByIndex(0), nullptr);
  EXPECT_EQ(BadPointerCount(), 0u);
}

TEST(LinkListTest, SeveralNodeTypesSaveRestoreAndRemap) {
  List l;
  auto* p1 = new Point(10);
  auto* link = new Link;
  auto* p2 = new Point(20);
  l.Append(p1);
  l.Append(link);
  l.Append(p2);
  link->target = p2;
  NumberAllLists();
  BufferStream s;
  l.Save(s);
  const std::string expected(
      "\x03\0\0\0"
      "\x05\0\0\0"
      "\x0a\0\0\0"
      "\x07\0\0\0"
      "\x03\0\0\0"
      "\x05\0\0\0"
      "\x14\0\0\0",
      28);
  EXPECT_EQ(s.bytes, expected);

  List r;
  r.Restore(s);
  EXPECT_EQ(r.created, (std::vector<uint32_t>{5, 7, 5}));
  // Until the lists are remapped the saved index waits beside the field.
  EXPECT_EQ(static_cast<Link*>(Nodes(r)[1])->target, nullptr);
  r.RemapAll();
  std::vector<LinkListNode*> n = Nodes(r);
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(static_cast<Point*>(n[0])->value, 10);
  EXPECT_EQ(static_cast<Link*>(n[1])->target, n[2]);
  EXPECT_EQ(static_cast<Point*>(n[2])->value, 20);
  EXPECT_EQ(r.GetByIndex(0), nullptr);
  EXPECT_EQ(r.GetByIndex(3), n[2]);
  EXPECT_EQ(r.GetByIndex(4), nullptr);
  EXPECT_EQ(BadPointerCount(), 1u);
  ReleaseIndexArrays();
  EXPECT_EQ(BadPointerCount(), 0u);
}

// An object's remapping must take exactly the indices its restore read: a
// field left out is a programming error, never a pointer to a wrong object.
TEST(LinkListTest, RemappingOutOfStepWithTheRestoreIsAnError) {
  struct Lazy : Link {
    void RemapPointers() override {}
  };
  struct LazyList : List {
    LinkListNode* Create(uint32_t code) override { return code == 7 ? new Lazy : List::Create(code); }
  };
  List l;
  auto* point = new Point(1);
  auto* link = new Link;
  l.Append(point);
  l.Append(link);
  link->target = point;
  NumberAllLists();
  BufferStream s;
  l.Save(s);
  LazyList r;
  r.Restore(s);
  EXPECT_THROW(r.RemapAll(), std::logic_error);
  // Reading an index outside any object's restore is refused too.
  Point* stray = nullptr;
  BufferStream one;
  one.WriteU32(1);
  EXPECT_THROW(RestorePointer(one, stray), std::logic_error);
  ReleaseIndexArrays();
}

TEST(LinkListTest, BadIndicesResolveToNullAndAreCounted) {
  List l;
  l.Append(new Point(1));
  auto* link = new Link;
  l.Append(link);
  NumberAllLists();
  BufferStream s;
  l.Save(s);
  // The link points past the list; then at a link instead of a point.
  for (char target : {char(9), char(2)}) {
    BufferStream t;
    t.bytes = s.bytes;
    t.bytes[16] = target;
    List r;
    r.Restore(t);
    r.RemapAll();
    EXPECT_EQ(static_cast<Link*>(Nodes(r)[1])->target, nullptr);
    EXPECT_EQ(BadPointerCount(), 1u);
    ReleaseIndexArrays();
  }
}

TEST(LinkListTest, CorruptStreamsAreReadErrors) {
  List l;
  l.Append(new Point(1));
  l.Append(new Point(2));
  BufferStream good;
  l.Save(good);
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::vector<Case> cases = {
      {"huge count", std::string("\xff\xff\xff\x7f", 4) + good.bytes.substr(4)},
      {"unknown type code", good.bytes.substr(0, 4) + std::string("\x63\0\0\0", 4) + good.bytes.substr(8)},
      {"truncated", good.bytes.substr(0, good.bytes.size() - 2)},
      {"empty", std::string()},
  };
  for (const Case& c : cases) {
    BufferStream s;
    s.bytes = c.bytes;
    List r;
    EXPECT_THROW(r.Restore(s), KWRExcept) << c.what;
    // What was read before the failure is still owned by the list.
    EXPECT_LE(r.Count(), 2u) << c.what;
  }
}

TEST(LinkListTest, TruncatedFileGivesTheFileReadError) {
  TempDir dir;
  List l;
  for (int i = 0; i < 100; ++i) l.Append(new Point(i));
  {
    File f("list.sav", File::kOut | File::kBinary);
    f.Open();
    l.Save(f);
    f.Close();
  }
  std::string bytes = TempDir::Read("list.sav");
  TempDir::Write("list.sav", bytes.substr(0, bytes.size() / 2));
  File f("list.sav", File::kIn | File::kBinary);
  f.Open();
  List r;
  EXPECT_THROW(r.Restore(f), File::ReadExcept);
}

TEST(LinkListTest, NumberingIsPerList) {
  List a, b;
  auto* a1 = new Point;
  auto* a2 = new Point;
  auto* b1 = new Point;
  a.Append(a1);
  a.Append(a2);
  b.Append(b1);
  NumberAllLists();
  EXPECT_EQ(a1->SaveIndex(), 1u);
  EXPECT_EQ(a2->SaveIndex(), 2u);
  EXPECT_EQ(b1->SaveIndex(), 1u);
}

TEST(LinkListTest, Registry) {
  List other;
  auto l = std::make_unique<List>();
  EXPECT_TRUE(IsListRegistered(l.get()));
  UnregisterList(l.get());
  EXPECT_FALSE(IsListRegistered(l.get()));
  try {
    UnregisterList(l.get());
    FAIL();
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.Text(), "LinkListBase not found");
  }
  // Destroying a list that is no longer registered does not throw.
  l->Append(new Point);
  EXPECT_NO_THROW(l.reset());
  // With nothing registered, removal does nothing.
  UnregisterList(&other);
  List stray;
  UnregisterList(&stray);
  EXPECT_NO_THROW(UnregisterList(&stray));
}

TEST(LinkListTest, ClearingInTheDiscardStateLeavesThePoolToBeEmptied) {
  List l;
  for (int i = 0; i < 1000; ++i) l.Append(new Point(i));
  BeginModelDiscard();
  l.Clear();
  EmptyModelMemory();
  EXPECT_EQ(ModelMemoryInUse(), 0u);
  EXPECT_TRUE(l.IsEmpty());
}

}  // namespace
