// The adaptive builder: borders cut like the lattice's, then the largest errors split first within
// a budget of 2 x 4^L nodes.
#include "aggregate/adaptive_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "aggregate_blocks.h"
#include "support/test_terrain.h"

namespace {

class AdaptiveBuilderTest : public ::testing::Test {
 protected:
  VertexId Id(int x, int y) const { return field_.Id(x, y); }

  HeightField field_ = RoughField(4, 21);
  ErrorMetric metric_ = RandomMetric(field_, 8, 0.02f);
  // Hypotenuse along the bottom border of the 17 x 17 grid, split vertex (8, 0).
  const AggregateCorners wide_{Id(0, 0), Id(16, 0), Id(8, 8)};
};

int LeafCount(const AdaptiveBuild& build) {
  int leaves = 0;
  for (int i = 0; i < build.nextFreeNode; ++i) leaves += build.nodes[i].IsSplit() ? 0 : 1;
  return leaves;
}

// The sub-triangles of a block as sorted grid-vertex triples, each rotated to start at its
// smallest vertex: equal for two blocks exactly when they tile alike with the same winding.
using GridTriangle = std::array<uint64_t, 3>;
std::vector<GridTriangle> GridTriangles(const HeightField& field, const AggregateBlock& block) {
  std::vector<GridTriangle> out;
  for (size_t i = 0; i < block.indices.size(); i += 3) {
    GridTriangle t;
    for (size_t c = 0; c < 3; ++c) {
      const GridVertex g = ToGrid(field, block.vertices[block.indices[i + c]]);
      t[c] = static_cast<uint64_t>(g.x) * 100000 + static_cast<uint64_t>(g.y);
    }
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    out.push_back(t);
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(AdaptiveBuilderTest, LevelZeroHasNoRoomAndKeepsTheTriangle) {
  const auto made = MakeBuilder(0, true, field_, metric_);
  AdaptiveBuilder& builder = AsAdaptive(*made);
  EXPECT_EQ(builder.build.nodeBudget, 2);
  const AggregateBlock block = BuildBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 1);
  ASSERT_EQ(block.vertices.size(), 3u);
  EXPECT_EQ(ToGrid(field_, block.vertices[0]), (GridVertex{0, 0}));  // left, right, apex
  EXPECT_EQ(ToGrid(field_, block.vertices[1]), (GridVertex{16, 0}));
  EXPECT_EQ(ToGrid(field_, block.vertices[2]), (GridVertex{8, 8}));
  EXPECT_EQ(block.indices, (std::vector<uint16_t>{0, 1, 2}));
  EXPECT_EQ(builder.AggregateError(wide_.left, wide_.right, wide_.apex), metric_.At(8, 0));
}

TEST_F(AdaptiveBuilderTest, LevelOneEqualsTheUniformLattice) {
  const auto adaptive = MakeBuilder(1, true, field_, metric_);
  const auto uniform = MakeBuilder(1, false, field_, metric_);
  for (const AggregateCorners& t : AggregateTriangles(field_, 1, false)) {
    EXPECT_EQ(GridTriangles(field_, BuildBlock(*adaptive, t)), GridTriangles(field_, BuildBlock(*uniform, t)));
    EXPECT_EQ(adaptive->AggregateError(t.left, t.right, t.apex), uniform->AggregateError(t.left, t.right, t.apex));
  }
}

TEST_F(AdaptiveBuilderTest, LevelOneWritesSplitVerticesInSplitOrderAndLeavesInWalkOrder) {
  const auto builder = MakeBuilder(1, true, field_, metric_);
  const AggregateBlock block = BuildBlock(*builder, {Id(0, 0), Id(4, 0), Id(2, 2)});
  // Corners, then the hypotenuse, left leg and right leg midpoints.
  const std::vector<GridVertex> expected{{0, 0}, {4, 0}, {2, 2}, {2, 0}, {1, 1}, {3, 1}};
  ASSERT_EQ(block.vertices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ToGrid(field_, block.vertices[i]), expected[i]) << i;
  // Each leaf as (left, right, apex), sharing an edge with the one before.
  EXPECT_EQ(block.indices, (std::vector<uint16_t>{0, 3, 4, 3, 2, 4, 2, 3, 5, 3, 1, 5}));
}

TEST_F(AdaptiveBuilderTest, BordersAreCutFirstAndTheRefinementStaysWithinTheBudget) {
  const auto made = MakeBuilder(2, true, field_, metric_);
  AdaptiveBuild& build = AsAdaptive(*made).build;
  EXPECT_EQ(build.nodeBudget, 32);
  build.StartBuild(wide_.left, wide_.right, wide_.apex, nullptr);
  build.SplitBorders();
  EXPECT_EQ(LeafCount(build), 12);  // one leaf on each of the 12 border segments, none inside
  build.Refine();
  EXPECT_EQ(build.lastLeaves, LeafCount(build));
  EXPECT_LE(build.lastLeaves, 16);
}

// Flat-metric worked examples at level 2 over wide_: after the borders are cut (12 leaves, room for
// two diamond splits), the chosen metric values decide what is split and what bounds the error.
struct ChosenMetric {
  const char* what;
  struct Value {
    int x, y;
    float value;
  };
  std::vector<Value> values;
  int triangles;
  GridVertex errorAt;  // the vertex whose contribution is the error
};

TEST_F(AdaptiveBuilderTest, ChosenMetricsSplitLargestFirstAndForceOnlyWithinTheRoom) {
  const std::vector<ChosenMetric> cases = {
      {"a border leaf on top stops the refinement at once", {{2, 0, 5.0f}}, 12, {2, 0}},
      {"a forced split beyond the room ends the refinement", {{6, 2, 10.0f}, {12, 2, 5.0f}}, 14, {12, 2}},
      {"a full budget reports the largest leaf left", {{6, 2, 10.0f}, {8, 6, 9.0f}, {12, 2, 5.0f}}, 16, {12, 2}},
      {"forced splits within the room succeed", {{12, 2, 5.0f}, {2, 0, 1.0f}}, 16, {2, 0}},
  };
  for (const ChosenMetric& c : cases) {
    SCOPED_TRACE(c.what);
    ErrorMetric metric = ZeroMetric(field_);
    for (const auto& [x, y, value] : c.values) metric.values[x + y * 17] = value;
    const auto builder = MakeBuilder(2, true, field_, metric);
    const AggregateBlock block = BuildBlock(*builder, wide_);
    EXPECT_EQ(block.triangles, c.triangles);
    EXPECT_TRUE(IsSoundTessellation(field_, block, 2, wide_));
    EXPECT_NEAR(builder->AggregateError(wide_.left, wide_.right, wide_.apex),
                ContributionOf(field_, metric, c.errorAt.x, c.errorAt.y, 8, 0), 1e-5);
  }
}

// Walks a leaf's chain of coarser base neighbours as a split would have to force them. Returns the
// diamond splits needed, or -1 when the chain reaches the aggregate triangle's border.
int DiamondSplitsNeeded(const AdaptiveBuild& build, int leaf) {
  int splits = 1;
  for (int node = leaf;;) {
    const int base = build.nodes[node].baseNeighbour;
    if (base < 0) return -1;
    if (build.nodes[base].baseNeighbour == node) return splits;
    ++splits;
    node = base;
  }
}

// The error is the largest contribution of any leaf's split vertex, and the refinement stops only
// when the budget is used up or that leaf cannot be split within the room left.
TEST_F(AdaptiveBuilderTest, RefinementStopsOnlyWhenTheLargestLeafCannotBeSplit) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    const HeightField field = NoiseField(5, seed);
    const ErrorMetric metric = RandomMetric(field, seed, 0.05f);
    for (int level = 1; level <= 4; ++level) {
      const auto made = MakeBuilder(level, true, field, metric);
      AdaptiveBuild& build = AsAdaptive(*made).build;
      for (const AggregateCorners& t : AggregateTriangles(field, level, false)) {
        const float error = build.Error(t.left, t.right, t.apex);
        const VertexId middle = (t.left + t.right) >> 1;
        int largestLeaf = -1;
        double largest = 0.0;
        for (int i = 0; i < build.nextFreeNode; ++i) {
          const AdaptiveNode& n = build.nodes[i];
          if (n.IsSplit() || n.splitVertex < 0) continue;
          const double c = ContributionOf(field, metric, field.GridX(n.splitVertex), field.GridY(n.splitVertex),
                                          field.GridX(middle), field.GridY(middle));
          if (c > largest) largest = c, largestLeaf = i;
        }
        ASSERT_NEAR(error, largest, 1e-5 * (1 + largest));
        ASSERT_LE(LeafCount(build), 1 << (2 * level));
        const int room = (build.nodeBudget - build.nextFreeNode) >> 2;
        if (room == 0 || largestLeaf < 0) continue;
        const int needed = DiamondSplitsNeeded(build, largestLeaf);
        EXPECT_TRUE(needed < 0 || needed > room) << "stopped with room " << room << " for " << needed;
      }
    }
  }
}

}  // namespace
