#pragma once
#include <memory>

#include "aggregate/aggregation_builder.h"

// "uniform": every aggregate triangle is the regular lattice of 4^L sub-triangles.
class UniformBuilder final : public AggregationBuilder {
 public:
  UniformBuilder(int level, const HeightField& field, const ErrorMetric& metric)
      : AggregationBuilder(level, field, metric) {}

  float AggregateError(VertexId left, VertexId right, VertexId apex) override {
    return OmittedVertexError(left, right, apex);
  }
  int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) override {
    return UniformVertices(left, right, apex, out);
  }
  void GenerateIndices(BlockOutput& out) override { UniformIndices(out); }
  bool IsAdaptive() const override { return false; }

  // Largest contribution, around the split vertex, of the grid vertices the lattice omits. Reads
  // nothing but the field and the metric, so any number of threads evaluate it at once.
  float OmittedVertexError(VertexId left, VertexId right, VertexId apex) const;

 protected:
  std::unique_ptr<ErrorEvaluator> NewErrorEvaluator() const override;
};
