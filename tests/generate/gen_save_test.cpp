// The save form of the GENERATE store: a round trip keeps every record byte
// for byte, and a damaged file never leaves a store that crashes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/except.h"
#include "base/linklist.h"
#include "generate/gen_fixture.h"
#include "generate/gen_geometry.h"
#include "support/memory_stream.h"

namespace {

// Record sizes, type codes included: a point (node record and its own
// double), a triangle and a volume.
constexpr size_t kPointSize = 4 + 249;
constexpr size_t kTriangleSize = 4 + 192;

// The store of the round trip: a closed tetrahedron, a point given by id and
// a free triangle with a name and a surface id.
void Fill(GenGeometry& g) {
  AddTetrahedron(g);
  g.BuildVolumes(nullptr, true);
  g.PlacePoint(V(5, 5, 5), true, 7);
  g.CreateTriangle(V(3, 0, 0), V(4, 0, 0), V(3, 1, 0.5), 5, String("lid"), nullptr);
}

std::string Saved(GenGeometry& g) {
  MemoryStream out;
  g.Save(out);
  return out.bytes;
}

void RestoreFrom(GenGeometry& g, const std::string& bytes) {
  MemoryStream in;
  in.bytes = bytes;
  g.Restore(in);
  g.AfterRestore();
  ReleaseIndexArrays();
}

// Offset of a field of the k-th triangle record (after its type code).
size_t TriangleField(const GenGeometry& g, int k, size_t field) {
  return 4 + g.Points().Count() * kPointSize + 4 + k * kTriangleSize + 4 + field;
}
constexpr size_t kPointIndices = 12 + 8 + 6 * 24;
constexpr size_t kNextIndex = kPointIndices + 24;

void PutU32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(v >> (8 * i));
}

GenTriangle* TriangleById(const GenGeometry& g, int32_t id) {
  for (GenTriangle* t : g.Triangles())
    if (t->Id() == id) return t;
  return nullptr;
}

TEST(GenSave, SaveRestoreSaveGivesTheSameBytes) {
  GenGeometry g;
  Fill(g);
  const std::string first = Saved(g);
  ASSERT_EQ(first.size(), 4 + 8 * kPointSize + 4 + 5 * kTriangleSize + 4 + 60);

  GenGeometry r;
  RestoreFrom(r, first);
  EXPECT_EQ(BadPointerCount(), 0u);
  EXPECT_EQ(Saved(r), first);

  // Ids, neighbours, chains and extents come back; names and surface ids do not.
  ASSERT_EQ(r.Triangles().Count(), 5u);
  ASSERT_EQ(r.Volumes().Count(), 1u);
  const GenVolume* v = r.FindVolume(1);
  EXPECT_EQ(v->TriangleCount(), 4);
  EXPECT_EQ(v->First()->Id(), 4);
  EXPECT_EQ(v->MaxExtent().y, 1.0);
  const GenTriangle* t1 = TriangleById(r, 1);
  EXPECT_EQ(t1->Neighbour(0)->Id(), 2);
  EXPECT_EQ(t1->Neighbour(1)->Id(), 4);
  EXPECT_EQ(t1->Point(2)->Id(), 3);
  const GenTriangle* lid = TriangleById(r, 5);
  EXPECT_EQ(lid->VolumeNumber(), 0);
  EXPECT_TRUE(lid->GetName().IsEmpty());
  EXPECT_EQ(lid->GetSurfaceId(), 1);
  EXPECT_EQ(r.FindPoint(7)->Position().x, 5.0);

  // The restored store goes on working: its points are found, its free
  // triangle is known, new points take the next free id.
  EXPECT_EQ(r.FindOrCreatePoint(V(1, 0, 0)), t1->Point(1));
  EXPECT_THROW(r.CreateTriangle(V(4, 0, 0), V(3, 0, 0), V(3, 1, 0.5), 1, String(), nullptr), GenExcept);
  EXPECT_EQ(r.PlacePoint(V(9, 9, 9), false, 0)->Id(), 5);  // ids 1-4, 6-8 and 7 are taken
  EXPECT_NE(r.Generation(), g.Generation());
}

TEST(GenSave, AnEmptyStoreWritesThreeEmptyLists) {
  GenGeometry g;
  const std::string bytes = Saved(g);
  EXPECT_EQ(bytes, std::string(12, 0));
  GenGeometry r;
  RestoreFrom(r, bytes);
  EXPECT_EQ(Saved(r), bytes);
}

TEST(GenSave, AnUnresolvedCornerDropsItsTriangleAndEveryReferenceToIt) {
  GenGeometry g;
  Fill(g);
  std::string bytes = Saved(g);
  // Triangle 2 of the tetrahedron names a point beyond the list.
  PutU32(bytes, TriangleField(g, 1, kPointIndices), 99);
  GenGeometry r;
  MemoryStream in;
  in.bytes = bytes;
  r.Restore(in);
  r.AfterRestore();
  EXPECT_GT(BadPointerCount(), 0u);
  ReleaseIndexArrays();
  EXPECT_EQ(r.Triangles().Count(), 4u);
  EXPECT_EQ(TriangleById(r, 2), nullptr);
  EXPECT_EQ(r.FindVolume(1)->TriangleCount(), 3);
  for (const GenTriangle* t : r.Triangles())
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(!t->Neighbour(k) || t->Neighbour(k)->Id() != 2);
  const double p[3] = {0.1, 0.1, 0.1};
  GenVolume::Contains(r.FindVolume(1), p);
}

TEST(GenSave, AChainThatLoopsIsCut) {
  GenGeometry g;
  Fill(g);
  std::string bytes = Saved(g);
  // The chain runs 4, 3, 2, 1; triangle 1 is made to lead back to 4.
  PutU32(bytes, TriangleField(g, 0, kNextIndex), 4);
  GenGeometry r;
  RestoreFrom(r, bytes);
  EXPECT_EQ(r.FindVolume(1)->TriangleCount(), 4);
  const double p[3] = {0.2, 0.2, 0.2};
  EXPECT_TRUE(GenVolume::Contains(r.FindVolume(1), p));
}

// Triangle 3 of the chain 4, 3, 2, 1 claims to be free: it leaves the chain
// instead of being taken into a second volume while the first still runs
// through it.
TEST(GenSave, AChainedTriangleOfAnotherNumberLeavesTheChain) {
  GenGeometry g;
  Fill(g);
  std::string bytes = Saved(g);
  PutU32(bytes, TriangleField(g, 2, 4), 0);
  GenGeometry r;
  RestoreFrom(r, bytes);
  for (const GenVolume* v : r.Volumes())
    for (const GenTriangle* t = v->First(); t; t = t->Next()) EXPECT_EQ(t->VolumeNumber(), v->Number());
  EXPECT_EQ(r.FindVolume(1)->TriangleCount(), 3);
  GenTriangle* freed = TriangleById(r, 3);
  r.BuildVolumes(nullptr, true);
  r.DeleteTriangle(freed);
  EXPECT_EQ(r.FindVolume(1)->TriangleCount(), 3);
}

TEST(GenSave, ATruncatedOrForeignRecordIsAReadErrorAndLeavesNothing) {
  GenGeometry g;
  Fill(g);
  const std::string good = Saved(g);
  std::string shortened(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  std::string dynamic = good;
  dynamic[4 + 4 + 4 + 4 + 24 + 8 * 24] = 1;  // the first point claims a dynamic block
  std::string huge = good;
  PutU32(huge, 0, 0x7fffffff);  // a point count that the bytes cannot hold
  for (const auto& bytes : {shortened, dynamic, huge}) {
    GenGeometry r;
    MemoryStream in;
    in.bytes = bytes;
    EXPECT_THROW(r.Restore(in), KWRExcept);
    EXPECT_EQ(r.Points().Count() + r.Triangles().Count() + r.Volumes().Count(), 0u);
  }
  ReleaseIndexArrays();
}

}  // namespace
