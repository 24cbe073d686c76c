#pragma once
#include <cstdint>
#include <unordered_map>

#include "aggregate/aggregation_builder.h"
#include "terrain/terrain.h"

// How a FakeAggregationBuilder bounds its aggregate triangles.
enum class FakeErrors {
  // Each error covers its descendants' errors plus the distance to them, as a sound bound does:
  // a diamond never needs a split that a coarser neighbour would refuse, so a refinement settles.
  kNested,
  // Independent random errors in proportion to the triangle's size.
  kRandom,
};

// An aggregation builder with chosen errors whose blocks are stand-in tessellations of fewer than
// 4^L sub-triangles (so that they can be told from the lattice CABTT draws at the finest size).
class FakeAggregationBuilder final : public AggregationBuilder {
 public:
  FakeAggregationBuilder(int level, bool adaptive, const Terrain& terrain, FakeErrors errors, uint32_t seed,
                         float scale);

  float AggregateError(VertexId left, VertexId right, VertexId apex) override;
  int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) override;
  void GenerateIndices(BlockOutput& out) override;
  bool IsAdaptive() const override { return adaptive_; }

  // Overwrites the error grid entry of a vertex on the grid of multiples of 2^level.
  void SetError(VertexId v, float error) { errorGrid[GridEntryIndex(v)] = error; }
  void ClearErrors();

  int generateCalls = 0;

 private:
  float NestedError(VertexId left, VertexId right, VertexId apex);
  float Noise(VertexId v) const;
  double Distance(VertexId a, VertexId b) const;

  bool adaptive_;
  FakeErrors errors_;
  uint32_t seed_;
  float scale_;
  std::unordered_map<VertexId, float> nested_;
  int pendingTriangles_ = 0;
  int pendingVertices_ = 0;
};
