#pragma once
#include <cstdint>
#include <vector>

#include "cache/geometry_cache.h"

// A geometry cache without GL that keeps nothing: every block is written into the same scratch
// storage and forgotten, so that a benchmark measures the drawing method's work alone. Wrap it in
// a CountingCache to count the blocks.
class DiscardCache final : public GeometryCache {
 public:
  Status Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  Status BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle) override {}
  void ReleaseBlock(BlockHandle) override {}
  void Flush() override {}
  CacheTraffic Traffic() const override { return {}; }
  long StorageInUse() const override { return 0; }

 private:
  std::vector<CacheVertex> vertices_;
  std::vector<uint16_t> indices_;
  BlockHandle nextHandle_ = 0;
};
