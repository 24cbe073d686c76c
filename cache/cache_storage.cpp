#include "cache/cache_storage.h"

#include <cstdlib>

#include "app/fatal.h"
#include "app/terrain_log.h"

namespace {

CacheAllocator allocator = std::malloc;
long storageInUse = 0;

}  // namespace

void* AllocateCacheStorage(size_t bytes) {
  // A zero-byte request may legally come back null; ask for one byte so null always means failure.
  void* storage = allocator(bytes == 0 ? 1 : bytes);
  if (storage == nullptr) {
    LogAndPrint("Out of memory for a cache block\n");
    FatalExit(2);
  }
  ++storageInUse;
  return storage;
}

void FreeCacheStorage(void* storage) {
  if (storage == nullptr) return;
  --storageInUse;
  std::free(storage);
}

long CacheStorageInUse() { return storageInUse; }

void SetCacheAllocatorForTesting(CacheAllocator replacement) {
  allocator = replacement ? replacement : std::malloc;
}
