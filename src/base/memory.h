// The program's allocators: the checked allocator, the small-block pool and
// the model memory pool from which model objects take their memory.
#pragma once

#include <cstddef>
#include <cstdint>

// The runtime's allocation; a failure raises MemExcept ("Memory allocation error").
void* MemAlloc(size_t bytes);
void MemFree(void* block);

// Refuses with MemExcept, before anything is changed, a request for more
// bytes than the machine can still give (a count times a size may be far
// past what memory can hold).
void CheckMemoryRequest(double bytes);

// Small blocks kept on one free list per block size; freed blocks stay in
// the pool for reuse. 0 bytes give null. Blocks are 16-byte aligned.
void* PoolAlloc(size_t bytes);
void PoolFree(void* block);
// Bytes (headers included) lying on the small-block free lists.
uint64_t PoolFreeBytes();

// Heap statistics of the runtime: bytes free and in use (either may be null);
// answers their sum.
uint64_t HeapUsage(uint64_t* freeBytes, uint64_t* usedBytes);

// The model memory pool. Blocks are cut from large chunks (1 MiB unless SET
// MEMORY says otherwise) and are 16-byte aligned; a freed block is reused for
// a request of the same size class. Allocation makes no system call unless a
// new chunk is needed; emptying the pool costs time in the number of chunks,
// not of objects.
void* ModelAlloc(size_t bytes);
// The same, with every byte of the block zero.
void* ModelAllocZeroed(size_t bytes);
// Returns a block; an address that never came from the pool raises MemExcept.
// Does nothing while the pool is being discarded (BeginModelDiscard).
void ModelFree(void* block);
// Bytes (headers included) handed out and not yet freed.
uint64_t ModelMemoryInUse();
// The sum of the chunk sizes, or the default chunk size while there is no chunk.
uint64_t ModelMemorySize();
uint64_t ModelChunkSize();
// The default size of the chunks that later growth appends (0: 1 MiB).
void SetModelChunkSize(uint64_t bytes);
// Appends a chunk of that size (0: the default chunk size).
void AddModelChunk(uint64_t bytes);
// When locked the pool never grows: a request that finds no room raises
// "Out of memory - model memory locked".
void SetModelMemoryLock(bool locked);
bool ModelMemoryLocked();
// The whole model is about to be discarded: freeing becomes a no-op.
void BeginModelDiscard();
bool ModelDiscarding();
// Empties every chunk at once and ends the discard state; the chunks stay
// for the next model.
void EmptyModelMemory();

// Small objects whose class gives their size back when they are freed (a
// sized class-level delete): blocks have no header, are 16-byte aligned, are
// cut in order from large areas and are reused by size after release. The
// memory never goes back to the system, so such objects may live anywhere,
// also beyond NEW. Blocks above 1 KiB come from the runtime.
void* SmallObjectAlloc(size_t bytes);
void SmallObjectFree(void* block, size_t bytes) noexcept;

// Large arrays (a table or a queue entry per object of a whole model): room
// of 2 MiB and more is mapped apart so that the kernel may back it with huge
// pages, and handed back when freed; smaller room comes from the runtime.
void* LargeArrayAlloc(size_t bytes);
void LargeArrayFree(void* block, size_t bytes) noexcept;

template <class T>
struct LargeArrayAllocator {
  using value_type = T;
  LargeArrayAllocator() = default;
  template <class U>
  LargeArrayAllocator(const LargeArrayAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(LargeArrayAlloc(n * sizeof(T))); }
  void deallocate(T* p, size_t n) noexcept { LargeArrayFree(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const LargeArrayAllocator<U>&) const {
    return true;
  }
};

// Model classes derive from this to take their memory from the model pool.
// Such objects must belong to a list or owner that NEW clears before the
// pool is emptied.
class ModelObject {
 public:
  static void* operator new(size_t bytes) { return ModelAlloc(bytes); }
  static void operator delete(void* block) noexcept;
};
