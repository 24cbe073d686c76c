#pragma once
#include "aggregate/aggregation_builder.h"

// "uniform": every aggregate triangle is the regular lattice of 4^L sub-triangles.
class UniformBuilder final : public AggregationBuilder {
 public:
  UniformBuilder(int level, const HeightField& field, const ErrorMetric& metric)
      : AggregationBuilder(level, field, metric) {}

  // Largest contribution, around the split vertex, of the grid vertices the lattice omits.
  float AggregateError(VertexId left, VertexId right, VertexId apex) override;
  int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) override {
    return UniformVertices(left, right, apex, out);
  }
  void GenerateIndices(BlockOutput& out) override { UniformIndices(out); }
  bool IsAdaptive() const override { return false; }
};
