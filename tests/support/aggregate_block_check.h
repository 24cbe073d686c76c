#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "aggregate/aggregation_builder.h"
#include "cache/geometry_cache.h"
#include "aggregate_triangle_walk.h"

// The contents of one block as an aggregation builder wrote it.
struct AggregateBlock {
  std::vector<CacheVertex> vertices;
  std::vector<uint16_t> indices;
  int triangles = 0;  // as returned by the vertex generation
};

// Fills a block the way CABTT does: cursors set, EmitVertices true, vertices then indices.
// With lattice set the base lattice operations are used instead of the builder's own.
AggregateBlock BuildAggregateBlock(AggregationBuilder& builder, const AggregateCorners& t, bool lattice = false);

// Checks that a block is a sound tessellation of t at the given level: sizes within the
// block limits, indices within the vertices written, every vertex a distinct grid vertex in
// use, every sub-triangle counter-clockwise and non-degenerate, the sub-triangles tiling t
// without overlap, and each border of t cut into exactly 2^level equal segments.
::testing::AssertionResult IsSoundTessellation(const AggregateBlock& block, int level, const AggregateCorners& t);

// Grid coordinates of a block vertex (its x and y times N).
struct GridVertex {
  int x;
  int y;
  bool operator==(const GridVertex&) const = default;
};
GridVertex ToGrid(const CacheVertex& v);
