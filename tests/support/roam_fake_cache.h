#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "cache/geometry_cache.h"

// A GeometryCache without GL for the ROAM tests and benchmarks: records every closed block and
// every breach of the calling order or of the block storage.
class RoamFakeCache : public GeometryCache {
 public:
  struct Block {
    std::vector<CacheVertex> vertices;  // the vertexCount vertices written
    std::vector<uint16_t> indices;      // the indexCount indices written
    int vertexCount = 0;
    int indexCount = 0;
    bool released = false;
  };

  // keepGeometry false: blocks are only counted (benchmarks).
  explicit RoamFakeCache(bool keepGeometry = true);

  void Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  void BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;

  // Forgets the recorded blocks (for example between frames).
  void ClearBlocks();
  int UnreleasedBlocks() const;

  int initCalls = 0;
  int shutdownCalls = 0;
  int drawCalls = 0;
  int blockVertices = 0;
  int maxIndices = 0;
  long long blocksClosed = 0;
  std::vector<Block> blocks;
  std::vector<std::string> faults;

 private:
  bool keepGeometry_;
  bool filling_ = false;
  std::vector<CacheVertex> vertexStorage_;
  std::vector<uint16_t> indexStorage_;
};
