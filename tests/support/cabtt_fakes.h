#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "aggregate/aggregation_builder.h"
#include "cache/geometry_cache.h"

// A GeometryCache that draws nothing and keeps account: live blocks, calls, and every breach
// of the calling order or the block limits (in faults).
class RecordingGeometryCache : public GeometryCache {
 public:
  struct Block {
    int vertexCount;
    int indexCount;
  };

  void Init(int blockVertices, int maxIndices) override;
  void Shutdown() override;
  void BeginBlock(CacheVertex** vertices, uint16_t** indices) override;
  BlockHandle EndBlock(int vertexCount, int indexCount) override;
  void DrawBlock(BlockHandle handle) override;
  void ReleaseBlock(BlockHandle handle) override;

  int blockVertices = 0;
  int maxIndices = 0;
  int initCalls = 0;
  int shutdownCalls = 0;
  int blocksBuilt = 0;
  int blocksRedrawn = 0;
  int blocksReleased = 0;
  std::map<BlockHandle, Block> live;
  std::vector<std::string> faults;
  // Called after each block is drawn, built (true) or redrawn (false).
  std::function<void(BlockHandle handle, bool built)> onDraw;

 private:
  void Fault(const std::string& what) { faults.push_back(what); }

  bool initialised_ = false;
  bool filling_ = false;
  BlockHandle nextHandle_ = 1;
  std::vector<CacheVertex> vertices_;
  std::vector<uint16_t> indices_;
};

// How a FakeAggregationBuilder bounds its aggregate triangles.
enum class FakeErrors {
  // Each error covers its descendants' errors plus the distance to them, as a sound bound
  // does: a diamond never needs a split that a coarser neighbour would refuse.
  kNested,
  // Independent random errors proportional to the triangle's size.
  kRandom,
};

// An aggregation builder with chosen errors whose blocks are stand-in tessellations of fewer
// than 4^L sub-triangles (so they can be told apart from the uniform lattice).
class FakeAggregationBuilder : public AggregationBuilder {
 public:
  FakeAggregationBuilder(int level, bool adaptive, FakeErrors errors = FakeErrors::kNested,
                         uint32_t seed = 1, float scale = 1.0f);

  float AggregateError(VertexId left, VertexId right, VertexId apex) override;
  int GenerateVertices(VertexId left, VertexId right, VertexId apex) override;
  void GenerateIndices() override;
  bool IsAdaptive() const override { return adaptive_; }

  // Overwrites the error grid entry of a vertex on the grid of multiples of 2^level.
  void SetError(VertexId v, float error);
  void ClearErrors();

  int generateCalls = 0;
  int callsWithoutEmit = 0;  // GenerateVertices called while EmitVertices was false

 private:
  float NestedError(VertexId left, VertexId right, VertexId apex);
  float Noise(VertexId v) const;

  bool adaptive_;
  FakeErrors errors_;
  uint32_t seed_;
  float scale_;
  std::unordered_map<VertexId, float> nested_;
  int pendingTriangles_ = 0;
  int pendingVertices_ = 0;
};

// Replaces the current builder by a fake; SelectAggregationBuilder keeps it for its level and
// kind.
FakeAggregationBuilder* InstallFakeBuilder(int level, bool adaptive,
                                          FakeErrors errors = FakeErrors::kNested,
                                          uint32_t seed = 1, float scale = 1.0f);

// A CABTT world without GL: view state, frame statistics and CABTT globals at their start
// values, a 640 x 480 window, a rough test terrain and a recording cache as ActiveCache.
RecordingGeometryCache* InstallCabttTestWorld(int n);

// Tears down the tree, the builder, the cache and the height field.
void RemoveCabttTestWorld();
