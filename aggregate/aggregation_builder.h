#pragma once
#include "terrain/height_field.h"

// Tessellation and error bound of aggregate triangles at one aggregation level.
class AggregationBuilder {
 public:
  explicit AggregationBuilder(int level);
  virtual ~AggregationBuilder();
  AggregationBuilder(const AggregationBuilder&) = delete;
  AggregationBuilder& operator=(const AggregationBuilder&) = delete;

  virtual float AggregateError(VertexId left, VertexId right, VertexId apex) = 0;
  virtual int GenerateVertices(VertexId left, VertexId right, VertexId apex) = 0;
  virtual void GenerateIndices() = 0;
  virtual bool IsAdaptive() const = 0;

  // The regular lattice of 4^L sub-triangles; used by both kinds.
  int UniformVertices(VertexId left, VertexId right, VertexId apex);
  void UniformIndices();

  // Fills the AggregateErrorGrid; the last step of constructing a builder.
  void BuildErrorGrid();

  // Entry of the error grid for a vertex on the grid of multiples of 2^level.
  float GridError(VertexId v) const {
    return errorGrid[((v >> level) & (2 * coarseSide - 1)) + (v >> coarseRowShift) * (coarseSide + 1)];
  }

  int level;
  float* errorGrid;  // the AggregateErrorGrid, (coarseSide + 1)^2 entries
  int subTriangleCapacity;
  int coarseSide;
  int coarseRowShift;
};

extern AggregationBuilder* CurrentAggregationBuilder;

// Keeps the current builder if it has this level and kind, else replaces it.
void SelectAggregationBuilder(int level, bool adaptive);

// Deletes the current builder, if any.
void DiscardAggregationBuilder();
