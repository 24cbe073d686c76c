#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "cache/geometry_cache.h"

// Forwards every call to the cache it wraps (and owns) and counts them, so that the benchmark and
// the tests see how a drawing method used a real cache.
class CountingCache final : public GeometryCache {
 public:
  explicit CountingCache(std::unique_ptr<GeometryCache> inner) : inner_(std::move(inner)) {}

  Status Init(int blockVertices, int maxIndices) override { return inner_->Init(blockVertices, maxIndices); }
  void Shutdown() override { inner_->Shutdown(); }
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;
  void Flush() override { inner_->Flush(); }
  CacheTraffic Traffic() const override { return inner_->Traffic(); }
  long StorageInUse() const override { return inner_->StorageInUse(); }

  int64_t blocksBuilt = 0;    // EndBlock calls
  int64_t blocksRedrawn = 0;  // DrawBlock calls
  int64_t blocksReleased = 0;
  // Called at EndBlock with the block's storage (as BeginBlock gave it) before it goes on, so
  // that a test can alter what is drawn; returns the index count to pass on.
  std::function<int(CacheVertex* vertices, int vertexCount, uint16_t* indices, int indexCount)> onEndBlock;

 private:
  std::unique_ptr<GeometryCache> inner_;
  CacheVertex* vertices_ = nullptr;
  uint16_t* indices_ = nullptr;
};

// The caches of source, each wrapped in a counter; *latest names the last one made.
CacheSource CountedCaches(CacheSource source, CountingCache** latest);
