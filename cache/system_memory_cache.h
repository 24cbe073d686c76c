#pragma once
#include <cstdint>
#include <utility>

#include "cache/cache_storage.h"
#include "cache/geometry_cache.h"

// One block of the system-memory cache: its own heap buffers while live, none while spare.
struct StoredBlock {
  CacheVertex* vertices;
  uint16_t* indices;
  int vertexCount;
  int indexCount;
  StoredBlock* next;  // next record in liveBlocks or in spareRecords
  StoredBlock* prev;  // previous record in liveBlocks; null at the head
};

// Every block in its own pair of heap buffers, drawn at once as plain client arrays (so Flush has
// nothing to do). The GL has read client arrays before a draw call returns, so a released block's
// buffers are freed at once; every draw hands the block's vertices and indices to the driver.
// The handle of a block is the address of its record; a released record waits, last released
// first, for the next block.
class SystemMemoryCache final : public GeometryCache {
 public:
  explicit SystemMemoryCache(CacheStorage::Allocator allocate = std::malloc) : storage(std::move(allocate)) {}
  ~SystemMemoryCache() override { Shutdown(); }
  SystemMemoryCache(const SystemMemoryCache&) = delete;
  SystemMemoryCache& operator=(const SystemMemoryCache&) = delete;

  Status Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;
  void Flush() override {}
  CacheTraffic Traffic() const override { return traffic; }
  long StorageInUse() const override { return storage.InUse(); }

 private:
  friend struct SystemMemoryCacheProbe;  // tests walk the lists

  static StoredBlock* RecordOf(BlockHandle handle) { return reinterpret_cast<StoredBlock*>(handle); }
  void Draw(const StoredBlock& record);

  CacheStorage storage;
  int blockVertices = 0;
  int maxIndices = 0;
  StoredBlock* liveBlocks = nullptr;    // doubly linked, newest first
  StoredBlock* spareRecords = nullptr;  // singly linked through next, last released first
  StoredBlock* currentBlock = nullptr;
  CacheVertex* currentVertices = nullptr;
  uint16_t* currentIndices = nullptr;
  CacheTraffic traffic;
};
