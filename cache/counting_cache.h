#pragma once
#include <functional>

#include "cache/geometry_cache.h"

// Forwards every call to the cache it wraps (and owns) and counts them, so that the headless
// benchmark, tests and micro benchmarks can see how a drawing method used a real cache.
class CountingCache : public GeometryCache {
 public:
  explicit CountingCache(GeometryCache* inner) : inner_(inner) {}
  ~CountingCache() override { delete inner_; }
  CountingCache(const CountingCache&) = delete;
  CountingCache& operator=(const CountingCache&) = delete;

  void Init(int blockVertices, int maxIndices) override { inner_->Init(blockVertices, maxIndices); }
  void Shutdown() override { inner_->Shutdown(); }
  void BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;

  int blocksBuilt = 0;    // EndBlock calls
  int blocksRedrawn = 0;  // DrawBlock calls
  int blocksReleased = 0;
  // Called at EndBlock with the block's storage (as BeginBlock gave it) before it goes on, so
  // that a test can alter what is drawn; returns the index count to pass on.
  std::function<int(CacheVertex* vertices, int vertexCount, uint16_t* indices, int indexCount)> onEndBlock;

 private:
  GeometryCache* inner_;
  CacheVertex* vertices_ = nullptr;
  uint16_t* indices_ = nullptr;
};

// Wraps the ActiveCache in a CountingCache, which becomes the ActiveCache.
CountingCache* CountActiveCache();
