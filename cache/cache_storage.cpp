#include "cache/cache_storage.h"

void* CacheStorage::Allocate(size_t bytes) {
  // A zero-byte request may legally come back null; ask for one byte so null always means failure.
  void* storage = allocate_(bytes == 0 ? 1 : bytes);
  if (storage != nullptr) ++inUse_;
  return storage;
}

void CacheStorage::Free(void* storage) {
  if (storage == nullptr) return;
  --inUse_;
  std::free(storage);
}

Failure OutOfCacheMemory() { return {"Out of memory for a cache block\n", Channel::kLogAndConsole, 2}; }
