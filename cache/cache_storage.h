#pragma once
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <utility>

#include "app/platform/failure.h"

// The heap storage of one cache (block buffers, index buffers, block records), counted, from an
// allocator that tests can replace. A refused allocation comes back null.
class CacheStorage {
 public:
  // Must hand out memory that free() accepts. A function object, so that a test's allocator can
  // keep its own script (refuse from the n-th request on, say).
  using Allocator = std::function<void*(size_t bytes)>;

  explicit CacheStorage(Allocator allocate = std::malloc) : allocate_(std::move(allocate)) {}

  void* Allocate(size_t bytes);
  void Free(void* storage);
  // Allocations made and not yet freed.
  long InUse() const { return inUse_; }

 private:
  Allocator allocate_;
  long inUse_ = 0;
};

// What a refused cache allocation ends the program with: "Out of memory for a cache block\n" in
// the Terrain log and on the console, status 2.
Failure OutOfCacheMemory();
