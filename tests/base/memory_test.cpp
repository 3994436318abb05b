#include "base/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/except.h"

namespace {

bool Aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % 16 == 0; }

TEST(MemoryTest, SmallBlocksAreReusedBySizeClass) {
  EXPECT_EQ(PoolAlloc(0), nullptr);
  void* a = PoolAlloc(5);
  ASSERT_TRUE(Aligned(a));
  uint64_t before = PoolFreeBytes();
  PoolFree(a);
  EXPECT_GT(PoolFreeBytes(), before);
  // The same size class comes back for 6, 7 or 8 bytes.
  void* b = PoolAlloc(8);
  EXPECT_EQ(a, b);
  EXPECT_EQ(PoolFreeBytes(), before);
  void* big = PoolAlloc(100);
  PoolFree(b);
  PoolFree(big);
  uint64_t two = PoolFreeBytes() - before;
  EXPECT_EQ(PoolAlloc(100), big);
  EXPECT_LT(PoolFreeBytes() - before, two);
  PoolFree(big);
  PoolFree(nullptr);
}

class ModelPoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BeginModelDiscard();
    EmptyModelMemory();
    SetModelMemoryLock(false);
    SetModelChunkSize(0);
  }
  void TearDown() override { SetUp(); }
};

TEST_F(ModelPoolTest, BlocksAreAlignedAndReusedForTheSameSize) {
  std::vector<void*> blocks;
  for (size_t n : {1, 7, 16, 17, 100, 333}) {
    void* p = ModelAlloc(n);
    EXPECT_TRUE(Aligned(p)) << n;
    blocks.push_back(p);
  }
  uint64_t inUse = ModelMemoryInUse();
  ModelFree(blocks[4]);
  EXPECT_LT(ModelMemoryInUse(), inUse);
  EXPECT_EQ(ModelAlloc(100), blocks[4]);
  EXPECT_EQ(ModelMemoryInUse(), inUse);
  // Another size comes from the chunk's tail.
  void* other = ModelAlloc(500);
  EXPECT_GT(other, blocks[5]);
}

TEST_F(ModelPoolTest, ChunksGrowAndEmptyInOneGo) {
  uint64_t size0 = ModelMemorySize();
  ModelAlloc(10);
  EXPECT_GE(ModelMemorySize(), size0);
  uint64_t before = ModelMemorySize();
  ModelAlloc(2 * 1024 * 1024);  // larger than a chunk: a chunk of its own
  EXPECT_GE(ModelMemorySize() - before, 2u * 1024 * 1024);
  EXPECT_LE(ModelMemorySize() - before, 2u * 1024 * 1024 + 32);
  // Freeing during the discard state does nothing, whatever the address.
  int local = 0;
  BeginModelDiscard();
  EXPECT_NO_THROW(ModelFree(&local));
  uint64_t reserved = ModelMemorySize();
  EmptyModelMemory();
  EXPECT_EQ(ModelMemoryInUse(), 0u);
  EXPECT_EQ(ModelMemorySize(), reserved);
  EXPECT_FALSE(ModelDiscarding());
}

TEST_F(ModelPoolTest, ForeignAddressIsRefused) {
  ModelAlloc(8);
  int local = 0;
  EXPECT_THROW(ModelFree(&local), MemExcept);
}

TEST_F(ModelPoolTest, LockedPoolDoesNotGrow) {
  AddModelChunk(0);
  uint64_t size = ModelMemorySize();
  SetModelMemoryLock(true);
  std::vector<void*> got;
  try {
    for (;;) got.push_back(ModelAlloc(4096));
  } catch (const KWRExcept& e) {
    EXPECT_STREQ(e.Text(), "Out of memory - model memory locked");
  }
  EXPECT_FALSE(got.empty());
  EXPECT_EQ(ModelMemorySize(), size);
  // A freed block is still served while locked.
  ModelFree(got.back());
  EXPECT_EQ(ModelAlloc(4096), got.back());
}

TEST_F(ModelPoolTest, ChunkSizeAndAddedChunks) {
  SetModelChunkSize(2 * 1024000);
  EXPECT_EQ(ModelChunkSize(), 2048000u);
  uint64_t before = ModelMemorySize();
  AddModelChunk(0);
  uint64_t grown = ModelMemorySize();
  EXPECT_TRUE(grown - before == 2048000u || before == 2048000u);
}

// Zeroed blocks are zero however they are served: fresh memory, a block
// freed and given again, and memory used before the pool was emptied.
TEST_F(ModelPoolTest, ZeroedBlocksAreZeroWhenMemoryIsReused) {
  constexpr size_t kBytes = 800;
  auto allZero = [](const void* p) {
    const unsigned char* c = static_cast<const unsigned char*>(p);
    return std::all_of(c, c + kBytes, [](unsigned char x) { return x == 0; });
  };
  std::vector<void*> blocks;
  for (int i = 0; i < 3000; ++i) {  // more than one chunk
    void* p = ModelAllocZeroed(kBytes);
    ASSERT_TRUE(allZero(p));
    std::fill_n(static_cast<unsigned char*>(p), kBytes, 0xA5);
    blocks.push_back(p);
  }
  ModelFree(blocks[7]);
  void* again = ModelAllocZeroed(kBytes);
  EXPECT_EQ(again, blocks[7]);
  EXPECT_TRUE(allZero(again));
  // A block of another size cut where written blocks lay.
  BeginModelDiscard();
  EmptyModelMemory();
  for (int i = 0; i < 3000; ++i) {
    void* p = ModelAllocZeroed(kBytes + 48);
    ASSERT_TRUE(allZero(p)) << i;
    std::fill_n(static_cast<unsigned char*>(p), kBytes, 0x5A);
  }
}

struct Pooled : ModelObject {
  double values[6] = {};
};

TEST_F(ModelPoolTest, ModelObjectsComeFromThePool) {
  uint64_t before = ModelMemoryInUse();
  auto* p = new Pooled;
  EXPECT_TRUE(Aligned(p));
  EXPECT_GT(ModelMemoryInUse(), before);
  delete p;
  EXPECT_EQ(ModelMemoryInUse(), before);
  // Many objects, then the whole model dropped at once.
  for (int i = 0; i < 100000; ++i) new Pooled;
  EXPECT_GT(ModelMemoryInUse(), 100000u * sizeof(Pooled));
  BeginModelDiscard();
  EmptyModelMemory();
  EXPECT_EQ(ModelMemoryInUse(), 0u);
}

}  // namespace

namespace {

// Objects that give their size back: freed blocks serve the same size again,
// sizes of one 16-byte class share blocks, and no block overlaps another.
TEST(SmallObjectTest, BlocksAreReusedBySize) {
  void* a = SmallObjectAlloc(40);
  void* b = SmallObjectAlloc(40);
  EXPECT_TRUE(Aligned(a) && Aligned(b));
  EXPECT_GE(std::max(a, b), static_cast<void*>(static_cast<char*>(std::min(a, b)) + 48));
  SmallObjectFree(a, 40);
  EXPECT_EQ(SmallObjectAlloc(33), a);  // the same class of 48 bytes
  void* c = SmallObjectAlloc(64);
  EXPECT_NE(c, a);
  SmallObjectFree(b, 40);
  SmallObjectFree(c, 64);
  EXPECT_EQ(SmallObjectAlloc(64), c);
  // Beyond the pool's sizes the runtime serves, and takes the block back.
  void* big = SmallObjectAlloc(5000);
  ASSERT_NE(big, nullptr);
  SmallObjectFree(big, 5000);
}

// Arrays of several megabytes live in areas of their own and grow like any.
TEST(LargeArrayTest, VectorsGrowAndKeepTheirValues) {
  std::vector<uint32_t, LargeArrayAllocator<uint32_t>> v;
  for (uint32_t i = 0; i < 3000000; ++i) v.push_back(i * 7);
  EXPECT_EQ(v[2999999], 2999999u * 7);
  EXPECT_EQ(v[12345], 12345u * 7);
  v = decltype(v)();
  EXPECT_TRUE(v.empty());
}

}  // namespace
