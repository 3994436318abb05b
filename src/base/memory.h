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

// Model classes derive from this to take their memory from the model pool.
// Such objects must belong to a list or owner that NEW clears before the
// pool is emptied.
class ModelObject {
 public:
  static void* operator new(size_t bytes) { return ModelAlloc(bytes); }
  static void operator delete(void* block) noexcept;
};
