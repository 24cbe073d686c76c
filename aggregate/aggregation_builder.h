#pragma once
#include "terrain/height_field.h"

// Tessellation and error bound of aggregate triangles at one aggregation level.
// A triangle is named by its hypotenuse corners (left, right) and its apex; (apex, left, right)
// runs counter-clockwise seen from above.
class AggregationBuilder {
 public:
  // Needs the current height field; 0 <= level <= its n.
  explicit AggregationBuilder(int level);
  virtual ~AggregationBuilder();
  AggregationBuilder(const AggregationBuilder&) = delete;
  AggregationBuilder& operator=(const AggregationBuilder&) = delete;

  virtual float AggregateError(VertexId left, VertexId right, VertexId apex) = 0;
  // Writes the block's vertices through the block output cursors; returns the sub-triangle count.
  virtual int GenerateVertices(VertexId left, VertexId right, VertexId apex) = 0;
  // Writes three indices per sub-triangle of the triangle last passed to GenerateVertices.
  virtual void GenerateIndices() = 0;
  virtual bool IsAdaptive() const = 0;

  // The regular lattice of 4^L sub-triangles; used by both kinds.
  int UniformVertices(VertexId left, VertexId right, VertexId apex);
  void UniformIndices();

  // Fills the AggregateErrorGrid; the last step of constructing a builder.
  void BuildErrorGrid();

  // Position in the error grid of a vertex on the grid of multiples of 2^level.
  int GridEntryIndex(VertexId v) const {
    return ((v >> level) & (2 * coarseSide - 1)) + (v >> coarseRowShift) * (coarseSide + 1);
  }
  float GridError(VertexId v) const { return errorGrid[GridEntryIndex(v)]; }
  int GridEntries() const { return (coarseSide + 1) * (coarseSide + 1); }

  int level;
  float* errorGrid;  // the AggregateErrorGrid, (coarseSide + 1)^2 entries
  int subTriangleCapacity;
  int coarseSide;
  int coarseRowShift;

 private:
  void VisitForErrorGrid(VertexId apex, VertexId left, VertexId right);
};

extern AggregationBuilder* CurrentAggregationBuilder;

// Keeps the current builder if it has this level and kind, else replaces it.
void SelectAggregationBuilder(int level, bool adaptive);

// Deletes the current builder, if any.
void DiscardAggregationBuilder();
