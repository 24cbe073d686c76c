#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "aggregate/adaptive_builder.h"
#include "aggregate/aggregation_builder.h"
#include "cache/geometry_cache.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// What the builder tests share: the aggregate triangles of a level, blocks written the way CABTT
// writes them, and the check that a block tiles its triangle soundly.

// An aggregate triangle: hypotenuse corners and apex.
struct AggregateCorners {
  VertexId left;
  VertexId right;
  VertexId apex;
};

enum class RootOrientation {
  kCabtt,      // the drawing method's top triangles, counter-clockwise seen from above
  kErrorGrid,  // the error grid's two starting triangles: the same areas, mirrored
};

// The aggregate triangles of level L, from the two base triangles down: every triangle CABTT can
// split and, with finest set, also those of the finest aggregate size (legs of 2^L cells along the
// axes), which it never splits.
std::vector<AggregateCorners> AggregateTriangles(const HeightField& field, int level, bool finest,
                                                 RootOrientation roots = RootOrientation::kCabtt);

// A builder made as CABTT makes it (error grid built, its message dropped); a failure aborts.
std::unique_ptr<AggregationBuilder> MakeBuilder(int level, bool adaptive, const HeightField& field,
                                                const ErrorMetric& metric);
AdaptiveBuilder& AsAdaptive(AggregationBuilder& builder);

// The contents of one block as a builder wrote it.
struct AggregateBlock {
  std::vector<CacheVertex> vertices;
  std::vector<uint16_t> indices;
  int triangles = 0;  // as the vertex generation returned it
};

// Fills a block as CABTT does: vertices, then indices, through one BlockOutput. With lattice set
// the base lattice operations are used instead of the builder's own.
AggregateBlock BuildBlock(AggregationBuilder& builder, const AggregateCorners& t, bool lattice = false);

// Grid coordinates of a block vertex (its x and y times N).
struct GridVertex {
  int x;
  int y;
  bool operator==(const GridVertex&) const = default;
};
GridVertex ToGrid(const HeightField& field, const CacheVertex& v);

// A sound tessellation of t at the level: sizes within the block limits, every vertex a distinct
// grid vertex in use, every sub-triangle counter-clockwise and not degenerate, the sub-triangles
// tiling t without overlap, and each border of t cut into exactly 2^level equal segments.
::testing::AssertionResult IsSoundTessellation(const HeightField& field, const AggregateBlock& block, int level,
                                               const AggregateCorners& t);

// Distance between two grid vertices' world positions plus the metric value of the first, in
// double precision: what a vertex left out adds to the error of a triangle split at (mx, my).
double ContributionOf(const HeightField& field, const ErrorMetric& metric, int x, int y, int mx, int my);
