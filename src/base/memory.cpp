#include "base/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/except.h"
#include "platform/os_services.h"

namespace {

// Every block starts with a header of one alignment unit whose first word
// holds the block's full size; a block on a free list keeps the link to the
// next free block just after the header.
constexpr size_t kAlign = 16;
constexpr size_t kHeader = kAlign;
// Requests above this are refused before the system is asked.
constexpr uint64_t kLargest = uint64_t{1} << 40;

size_t RoundUp(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }

void*& NextFree(char* block) { return *reinterpret_cast<void**>(block + kHeader); }
uint64_t& BlockSize(char* block) { return *reinterpret_cast<uint64_t*>(block); }

void* AlignedSystemAlloc(size_t bytes) {
  if (bytes == 0 || bytes > kLargest) throw MemExcept();
  void* p = std::aligned_alloc(kAlign, RoundUp(bytes));
  if (!p) throw MemExcept();
  return p;
}

// Free lists indexed by block size in units of the alignment; sizes beyond
// the table keep their own (rare) entries.
class FreeLists {
 public:
  void* Pop(size_t blockSize) {
    void** head = Find(blockSize, false);
    if (!head || !*head) return nullptr;
    char* block = static_cast<char*>(*head);
    *head = NextFree(block);
    return block;
  }
  void Push(char* block, size_t blockSize) {
    void** head = Find(blockSize, true);
    NextFree(block) = *head;
    *head = block;
  }
  void Clear() {
    std::fill(small_.begin(), small_.end(), nullptr);
    large_.clear();
  }

 private:
  static constexpr size_t kTable = 4096;  // blocks up to 64 KiB
  void** Find(size_t blockSize, bool make) {
    size_t cls = blockSize / kAlign;
    if (cls < kTable) {
      if (small_.empty()) {
        if (!make) return nullptr;
        small_.assign(kTable, nullptr);
      }
      return &small_[cls];
    }
    for (auto& e : large_)
      if (e.first == blockSize) return &e.second;
    if (!make) return nullptr;
    large_.push_back({blockSize, nullptr});
    return &large_.back().second;
  }
  std::vector<void*> small_;
  std::vector<std::pair<size_t, void*>> large_;
};

// ---------------------------------------------------------------------------
// Small-block pool

struct SmallPool {
  FreeLists lists;
  uint64_t freeBytes = 0;
};

SmallPool& Small() {
  // Never destroyed: blocks may be returned while statics are torn down.
  static SmallPool* pool = new SmallPool;
  return *pool;
}

// ---------------------------------------------------------------------------
// Model memory pool

struct Chunk {
  char* base;
  size_t size;
  size_t used;  // offset of the first byte not handed out since the last emptying
  size_t high;  // offset of the first byte never handed out: the rest is still the system's zeros
};

// The address space that model chunks are cut from, in order: large areas
// taken from the system one after another, which the kernel may back with
// huge pages, so that filling a model touches few pages and asks the system
// for memory once per area, not per chunk or object.
class ChunkArena {
 public:
  char* Take(size_t bytes) {
    if (bytes > left_) {
      const size_t size = std::max(kArea, bytes);
      char* area = static_cast<char*>(MapLargeArea(size));
      if (!area) throw MemExcept();
      next_ = area;
      left_ = size;
    }
    char* p = next_;
    next_ += bytes;
    left_ -= bytes;
    return p;
  }

 private:
  static constexpr size_t kArea = size_t{64} << 20;
  char* next_ = nullptr;
  size_t left_ = 0;
};

struct ModelPool {
  ChunkArena arena;
  std::vector<Chunk> chunks;   // creation order
  std::vector<size_t> byBase;  // chunk numbers ordered by base address
  size_t cursor = 0;           // the chunk that blocks are cut from
  uint64_t chunkSize = 0x100000;
  uint64_t inUse = 0;
  bool locked = false;
  bool discarding = false;
  FreeLists lists;

  Chunk& Append(size_t bytes) {
    if (bytes == 0 || bytes > kLargest) throw MemExcept();
    char* base = arena.Take(RoundUp(bytes));
    chunks.push_back({base, RoundUp(bytes), 0, 0});
    size_t n = chunks.size() - 1;
    auto at = std::upper_bound(byBase.begin(), byBase.end(), base,
                               [this](const char* b, size_t i) { return b < chunks[i].base; });
    byBase.insert(at, n);
    return chunks.back();
  }

  // The chunk whose area holds the address, or null.
  Chunk* Owner(const void* p) {
    const char* c = static_cast<const char*>(p);
    auto it = std::upper_bound(byBase.begin(), byBase.end(), c,
                               [this](const char* b, size_t i) { return b < chunks[i].base; });
    if (it == byBase.begin()) return nullptr;
    Chunk& ch = chunks[*(it - 1)];
    return c < ch.base + ch.size ? &ch : nullptr;
  }

  // `fresh` tells whether the block lies wholly in memory never handed out.
  char* Cut(Chunk& ch, size_t blockSize, bool& fresh) {
    char* block = ch.base + ch.used;
    fresh = ch.used >= ch.high;
    ch.used += blockSize;
    ch.high = std::max(ch.high, ch.used);
    return block;
  }
};

ModelPool& Model() {
  static ModelPool* pool = new ModelPool;
  return *pool;
}

// ---------------------------------------------------------------------------
// Small objects of known size

constexpr size_t kLargestSmallObject = 1024;
constexpr size_t kLargeArray = size_t{2} << 20;

struct SmallObjects {
  ChunkArena arena;
  void* free[kLargestSmallObject / kAlign + 1] = {};
};

SmallObjects& Objects() {
  static SmallObjects* pool = new SmallObjects;
  return *pool;
}

}  // namespace

void* SmallObjectAlloc(size_t bytes) {
  if (bytes > kLargestSmallObject) return MemAlloc(bytes);
  const size_t size = RoundUp(bytes == 0 ? 1 : bytes);
  SmallObjects& pool = Objects();
  void*& head = pool.free[size / kAlign];
  if (head) {
    void* block = head;
    head = *static_cast<void**>(block);
    return block;
  }
  return pool.arena.Take(size);
}

void SmallObjectFree(void* block, size_t bytes) noexcept {
  if (!block) return;
  if (bytes > kLargestSmallObject) {
    MemFree(block);
    return;
  }
  void*& head = Objects().free[RoundUp(bytes == 0 ? 1 : bytes) / kAlign];
  *static_cast<void**>(block) = head;
  head = block;
}

void* LargeArrayAlloc(size_t bytes) {
  if (bytes < kLargeArray) return MemAlloc(bytes);
  if (bytes > kLargest) throw MemExcept();
  void* p = MapLargeArea(bytes);
  if (!p) throw MemExcept();
  return p;
}

void LargeArrayFree(void* block, size_t bytes) noexcept {
  if (bytes < kLargeArray)
    MemFree(block);
  else
    UnmapLargeArea(block, bytes);
}

void CheckMemoryRequest(double bytes) {
  const double available = static_cast<double>(AvailableMemoryBytes());
  if (!(bytes <= static_cast<double>(kLargest)) || (available > 0.0 && bytes > available)) throw MemExcept();
}

void* MemAlloc(size_t bytes) {
  if (bytes == 0) bytes = 1;
  if (bytes > kLargest) throw MemExcept();
  void* p = std::malloc(bytes);
  if (!p) throw MemExcept();
  return p;
}

void MemFree(void* block) { std::free(block); }

void* PoolAlloc(size_t bytes) {
  if (bytes == 0) return nullptr;
  if (bytes > kLargest) throw MemExcept();
  size_t blockSize = kHeader + RoundUp(bytes);
  SmallPool& pool = Small();
  char* block = static_cast<char*>(pool.lists.Pop(blockSize));
  if (block) {
    pool.freeBytes -= blockSize;
  } else {
    block = static_cast<char*>(AlignedSystemAlloc(blockSize));
  }
  BlockSize(block) = blockSize;
  return block + kHeader;
}

void PoolFree(void* p) {
  if (!p) return;
  char* block = static_cast<char*>(p) - kHeader;
  size_t blockSize = static_cast<size_t>(BlockSize(block));
  SmallPool& pool = Small();
  pool.lists.Push(block, blockSize);
  pool.freeBytes += blockSize;
}

uint64_t PoolFreeBytes() { return Small().freeBytes; }

uint64_t HeapUsage(uint64_t* freeBytes, uint64_t* usedBytes) {
  uint64_t f = 0, u = 0;
  HeapStatistics(f, u);
  if (freeBytes) *freeBytes = f;
  if (usedBytes) *usedBytes = u;
  return f + u;
}

namespace {
// A model block; `fresh` tells whether it still holds the zeros of the system.
void* AllocModelBlock(size_t bytes, bool& fresh) {
  if (bytes > kLargest) throw MemExcept();
  size_t blockSize = kHeader + RoundUp(bytes == 0 ? 1 : bytes);
  ModelPool& pool = Model();
  char* block = static_cast<char*>(pool.lists.Pop(blockSize));
  fresh = false;
  if (!block) {
    // Cut from the current chunk, else from a later one with room (chunks
    // emptied by NEW, or chunks added by SET MEMORY add), else grow.
    for (size_t i = pool.cursor; i < pool.chunks.size() && !block; ++i) {
      Chunk& ch = pool.chunks[i];
      if (ch.size - ch.used >= blockSize) {
        block = pool.Cut(ch, blockSize, fresh);
        if (i != pool.cursor && blockSize <= pool.chunkSize) pool.cursor = i;
      }
    }
    if (!block) {
      if (pool.locked) throw KWRExcept("Out of memory - model memory locked");
      size_t size = static_cast<size_t>(std::max<uint64_t>(pool.chunkSize, blockSize));
      Chunk& ch = pool.Append(size);
      block = pool.Cut(ch, blockSize, fresh);
      // A chunk made for one large block does not take over from the current one.
      if (pool.chunks.size() == 1 || blockSize <= pool.chunkSize) pool.cursor = pool.chunks.size() - 1;
    }
  }
  BlockSize(block) = blockSize;
  pool.inUse += blockSize;
  return block + kHeader;
}
}  // namespace

void* ModelAlloc(size_t bytes) {
  bool fresh;
  return AllocModelBlock(bytes, fresh);
}

void* ModelAllocZeroed(size_t bytes) {
  bool fresh;
  void* block = AllocModelBlock(bytes, fresh);
  // Memory the pool has never handed out is the system's zeros: writing
  // them again would cost a pass over every new model object.
  if (!fresh) std::memset(block, 0, bytes);
  return block;
}

void ModelFree(void* p) {
  ModelPool& pool = Model();
  if (pool.discarding || !p) return;
  Chunk* ch = pool.Owner(p);
  char* block = static_cast<char*>(p) - kHeader;
  if (!ch || block < ch->base || block + kHeader > ch->base + ch->used) throw MemExcept();
  size_t blockSize = static_cast<size_t>(BlockSize(block));
  pool.lists.Push(block, blockSize);
  pool.inUse -= blockSize;
}

uint64_t ModelMemoryInUse() { return Model().inUse; }

uint64_t ModelMemorySize() {
  const ModelPool& pool = Model();
  if (pool.chunks.empty()) return pool.chunkSize;
  uint64_t total = 0;
  for (const Chunk& ch : pool.chunks) total += ch.size;
  return total;
}

uint64_t ModelChunkSize() { return Model().chunkSize; }

void SetModelChunkSize(uint64_t bytes) { Model().chunkSize = bytes ? RoundUp(bytes) : 0x100000; }

void AddModelChunk(uint64_t bytes) {
  ModelPool& pool = Model();
  if (bytes > kLargest) throw MemExcept();
  pool.Append(static_cast<size_t>(bytes ? bytes : pool.chunkSize));
}

void SetModelMemoryLock(bool locked) { Model().locked = locked; }
bool ModelMemoryLocked() { return Model().locked; }

void BeginModelDiscard() { Model().discarding = true; }
bool ModelDiscarding() { return Model().discarding; }

void EmptyModelMemory() {
  ModelPool& pool = Model();
  for (Chunk& ch : pool.chunks) ch.used = 0;
  pool.lists.Clear();
  pool.inUse = 0;
  pool.cursor = 0;
  pool.discarding = false;
}

void ModelObject::operator delete(void* block) noexcept {
  try {
    ModelFree(block);
  } catch (...) {
    // Only pool blocks reach here; a foreign address is dropped, never freed twice.
  }
}
