#pragma once
#include <memory>

#include "aggregate/adaptive_build.h"
#include "aggregate/aggregation_builder.h"

// "adaptive": each aggregate triangle is refined greedily, largest error first, within a
// budget of 2 x 4^L nodes; its borders are cut into 2^L equal segments like the lattice's, so
// neighbours built by either kind meet without cracks (see AdaptiveBuild). The drawing's blocks
// and AggregateError use the builder's own build; each thread of the error grid has one of its
// own. A block build allocates nothing.
class AdaptiveBuilder final : public AggregationBuilder {
 public:
  AdaptiveBuilder(int level, const HeightField& field, const ErrorMetric& metric);

  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    return build.Error(left, right, apex);
  }
  int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) override {
    return build.Vertices(left, right, apex, out);
  }
  // Leaves of the last build in the alternating walk order, as (left, right, apex).
  void GenerateIndices(BlockOutput& out) override { build.Indices(out); }
  bool IsAdaptive() const override { return true; }

  AdaptiveBuild build;  // the drawing's

 protected:
  bool Allocate() override { return build.Allocate(); }
  std::unique_ptr<ErrorEvaluator> NewErrorEvaluator() const override;
};
