#pragma once
#include <cstdint>
#include <vector>

#include "cache/geometry_cache.h"

// A minimal GeometryCache over plain GL client arrays for the ROAM GL tests: each block keeps
// its own buffers until it is released.
class RoamClientArrayCache : public GeometryCache {
 public:
  void Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  void BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;

  int LiveBlocks() const;

 private:
  struct Block {
    std::vector<CacheVertex> vertices;
    std::vector<uint16_t> indices;
    int indexCount = 0;
    bool live = false;
  };
  void Point(const Block& block) const;

  int blockVertices_ = 0;
  int maxIndices_ = 0;
  std::vector<Block> blocks_;
  std::vector<BlockHandle> spare_;
  BlockHandle current_ = kNoBlock;
};
