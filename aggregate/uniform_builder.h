#pragma once
#include "aggregate/aggregation_builder.h"

// "uniform": every aggregate triangle is the regular lattice of 4^L sub-triangles.
class UniformBuilder final : public AggregationBuilder {
 public:
  // Builds the error grid (prints the "Aggregation level" line).
  explicit UniformBuilder(int level);

  // Largest contribution, around the split vertex, of the grid vertices the lattice omits.
  float AggregateError(VertexId left, VertexId right, VertexId apex) override;
  int GenerateVertices(VertexId left, VertexId right, VertexId apex) override {
    return UniformVertices(left, right, apex);
  }
  void GenerateIndices() override { UniformIndices(); }
  bool IsAdaptive() const override { return false; }
};
