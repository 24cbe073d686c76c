#pragma once
#include <memory>

#include "aggregate/block_output.h"
#include "app/platform/failure.h"
#include "app/platform/log_sink.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// Tessellation and error bound of the aggregate triangles of one aggregation level L: large
// bintree triangles drawn as blocks of up to 4^L sub-triangles. A triangle is named by its
// hypotenuse corners (left, right) and its apex; (apex, left, right) runs counter-clockwise seen
// from above. The error bound of every splittable aggregate triangle is computed once, at
// construction, into the error grid, indexed by the triangle's split vertex on the grid of
// multiples of 2^L. However many threads build the grid, it holds the same values, bit for bit,
// as one thread evaluating every triangle in turn.
class AggregationBuilder {
 public:
  // Evaluates aggregate errors for one thread of the error-grid build, with scratch state of its
  // own, so that the evaluators of one builder run at once without touching the builder.
  class ErrorEvaluator {
   public:
    virtual ~ErrorEvaluator() = default;
    virtual float AggregateError(VertexId left, VertexId right, VertexId apex) = 0;
  };

  virtual ~AggregationBuilder() = default;
  AggregationBuilder(const AggregationBuilder&) = delete;
  AggregationBuilder& operator=(const AggregationBuilder&) = delete;

  // A builder of the kind for level L (0 <= L <= n), its error grid built over `threads` threads
  // (0: all the machine has): prints "Aggregation level L (adaptive|uniform):\n" to the log and
  // the console first. Fails with one line when its storage cannot be had. The field and metric
  // must outlive it.
  static Result<std::unique_ptr<AggregationBuilder>> Make(int level, bool adaptive, const HeightField& field,
                                                           const ErrorMetric& metric, LogSink& log,
                                                           int threads = 0);

  virtual float AggregateError(VertexId left, VertexId right, VertexId apex) = 0;
  // Writes the triangle's vertices; returns the sub-triangle count.
  virtual int GenerateVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) = 0;
  // Writes three indices per sub-triangle of the triangle last passed to GenerateVertices.
  virtual void GenerateIndices(BlockOutput& out) = 0;
  virtual bool IsAdaptive() const = 0;

  // The regular lattice of 4^L sub-triangles; used by both kinds.
  int UniformVertices(VertexId left, VertexId right, VertexId apex, BlockOutput& out) const;
  void UniformIndices(BlockOutput& out) const;

  // Position in the error grid of a vertex on the grid of multiples of 2^level.
  int GridEntryIndex(VertexId v) const {
    return ((v >> level) & (2 * coarseSide - 1)) + (v >> coarseRowShift) * (coarseSide + 1);
  }
  float GridError(VertexId v) const { return errorGrid[GridEntryIndex(v)]; }
  int GridEntries() const { return (coarseSide + 1) * (coarseSide + 1); }

  const int level;
  const int subTriangleCapacity;  // 4^L
  const int coarseSide;           // 2^(n-L)
  const int coarseRowShift;       // n + L + 1: a VertexId shifted by this gives y >> L

 protected:
  AggregationBuilder(int level, const HeightField& field, const ErrorMetric& metric);

  // The kind's own storage; false when it cannot be had.
  virtual bool Allocate() { return true; }
  // An evaluator for one more thread of the error grid, or null when none can be had. The
  // default has none: a kind without evaluators fills its grid on one thread, through
  // AggregateError on the builder itself.
  virtual std::unique_ptr<ErrorEvaluator> NewErrorEvaluator() const { return nullptr; }
  // Fills the error grid over up to `threads` threads (0: all the machine has), one evaluator
  // each; false when the grid cannot be allocated.
  bool BuildErrorGrid(int threads = 0);

  const HeightField& field;
  const ErrorMetric& metric;
  std::unique_ptr<float[]> errorGrid;  // (coarseSide + 1)^2 entries

 private:
  struct Corners {
    VertexId apex;
    VertexId left;
    VertexId right;
  };
  bool SplitsFurther(const Corners& t) const;
  void RaiseGridEntry(const Corners& t, ErrorEvaluator& evaluator);
  void VisitForErrorGrid(const Corners& t, ErrorEvaluator& evaluator);
};
