#include "aggregate/adaptive_builder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "aggregate/uniform_builder.h"
#include "support/aggregate_block_check.h"
#include "support/aggregate_fixture.h"

namespace {

class AdaptiveBuilderTest : public AggregateTest {
 protected:
  // Hypotenuse along the bottom border of the 17 x 17 grid, split vertex (8, 0).
  AggregateCorners wide_{};
  void SetUp() override {
    InstallRoughTerrain(4, 21);
    InstallRandomErrorMetric(8, 0.02f);
    wide_ = {Id(0, 0), Id(16, 0), Id(8, 8)};
  }

  static void SetMetric(int x, int y, float value) { CurrentErrorMetric->values[x + y * 17] = value; }
};

int LeafCount(const AdaptiveBuilder& builder) {
  int leaves = 0;
  for (int i = 0; i < builder.nextFreeNode; ++i) leaves += builder.nodes[i].IsSplit() ? 0 : 1;
  return leaves;
}

// A sub-triangle as three grid vertices, rotated so that the smallest comes first.
using GridTriangle = std::array<uint64_t, 3>;
std::vector<GridTriangle> GridTriangles(const AggregateBlock& block) {
  std::vector<GridTriangle> out;
  for (size_t i = 0; i < block.indices.size(); i += 3) {
    GridTriangle t;
    for (size_t c = 0; c < 3; ++c) {
      const GridVertex g = ToGrid(block.vertices[block.indices[i + c]]);
      t[c] = static_cast<uint64_t>(g.x) * 100000 + static_cast<uint64_t>(g.y);
    }
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    out.push_back(t);
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(AdaptiveBuilderTest, LevelZeroHasNoRoomAndKeepsTheTriangle) {
  AdaptiveBuilder builder(0);
  EXPECT_EQ(builder.nodeBudget, 2);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 1);
  ASSERT_EQ(block.vertices.size(), 3u);
  EXPECT_EQ(ToGrid(block.vertices[0]), (GridVertex{0, 0}));  // left, right, apex
  EXPECT_EQ(ToGrid(block.vertices[1]), (GridVertex{16, 0}));
  EXPECT_EQ(ToGrid(block.vertices[2]), (GridVertex{8, 8}));
  EXPECT_EQ(block.indices, (std::vector<uint16_t>{0, 1, 2}));
  EXPECT_EQ(builder.AggregateError(wide_.left, wide_.right, wide_.apex), CurrentErrorMetric->At(8, 0));
}

TEST_F(AdaptiveBuilderTest, LevelOneEqualsTheUniformLattice) {
  AdaptiveBuilder adaptive(1);
  UniformBuilder uniform(1);
  for (const AggregateCorners& t : AggregateTriangles(1, false)) {
    const AggregateBlock a = BuildAggregateBlock(adaptive, t);
    const AggregateBlock u = BuildAggregateBlock(uniform, t);
    EXPECT_EQ(adaptive.nextFreeNode, 7);
    EXPECT_EQ(GridTriangles(a), GridTriangles(u));
    EXPECT_EQ(adaptive.AggregateError(t.left, t.right, t.apex), uniform.AggregateError(t.left, t.right, t.apex));
  }
}

TEST_F(AdaptiveBuilderTest, LevelOneWritesSplitVerticesInSplitOrderAndLeavesInWalkOrder) {
  AdaptiveBuilder builder(1);
  const AggregateCorners t{Id(0, 0), Id(4, 0), Id(2, 2)};
  const AggregateBlock block = BuildAggregateBlock(builder, t);
  // Corners, then the hypotenuse, left leg and right leg midpoints.
  const std::vector<GridVertex> expected{{0, 0}, {4, 0}, {2, 2}, {2, 0}, {1, 1}, {3, 1}};
  ASSERT_EQ(block.vertices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(ToGrid(block.vertices[i]), expected[i]) << i;
  // Left child's half right then left, then the right child's half right then left; each leaf
  // as (left, right, apex), sharing an edge with the one before.
  EXPECT_EQ(block.indices, (std::vector<uint16_t>{0, 3, 4, 3, 2, 4, 2, 3, 5, 3, 1, 5}));
}

TEST_F(AdaptiveBuilderTest, LevelTwoPreSplitAndBudget) {
  AdaptiveBuilder builder(2);
  EXPECT_EQ(builder.nodeBudget, 32);
  builder.StartBuild(wide_.left, wide_.right, wide_.apex, false);
  builder.SplitBorders();
  EXPECT_EQ(builder.nextFreeNode, 23);
  EXPECT_EQ(LeafCount(builder), 12);
  builder.Refine();
  EXPECT_LE(builder.nextFreeNode, 31);  // at most two more diamond splits
  EXPECT_EQ(builder.lastLeaves, LeafCount(builder));
}

TEST_F(AdaptiveBuilderTest, BuildsWriteNothingForTheErrorAndNothingBeyondTheBlock) {
  AdaptiveBuilder builder(3);
  BlockVertexStart = BlockVertexCursor = nullptr;
  BlockIndexCursor = nullptr;
  builder.AggregateError(wide_.left, wide_.right, wide_.apex);  // would crash on a write
  EXPECT_EQ(BlockVertexCursor, nullptr);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_TRUE(IsSoundTessellation(block, 3, wide_));
}

TEST_F(AdaptiveBuilderTest, BorderLeafOnTopStopsAtOnce) {
  InstallZeroErrorMetric();
  SetMetric(2, 0, 5.0f);  // split vertex of the border segment (0,0)-(4,0)
  AdaptiveBuilder builder(2);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 12);
  EXPECT_EQ(block.vertices.size(), 13u);  // the 12 border vertices and the centre
  EXPECT_TRUE(IsSoundTessellation(block, 2, wide_));
  EXPECT_NEAR(builder.AggregateError(wide_.left, wide_.right, wide_.apex), ContributionOf(2, 0, 8, 0), 1e-5);
}

TEST_F(AdaptiveBuilderTest, ForcedSplitBeyondTheRoomEndsTheRefinement) {
  InstallZeroErrorMetric();
  SetMetric(6, 2, 10.0f);  // a leaf diamond: splits without forcing, leaving room for one more
  SetMetric(12, 2, 5.0f);  // its leaf's base neighbour is coarser: needs two diamond splits
  AdaptiveBuilder builder(2);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 14);
  EXPECT_TRUE(IsSoundTessellation(block, 2, wide_));
  EXPECT_NEAR(builder.AggregateError(wide_.left, wide_.right, wide_.apex), ContributionOf(12, 2, 8, 0), 1e-5);
}

TEST_F(AdaptiveBuilderTest, FullBudgetReportsTheLargestRemainingLeaf) {
  InstallZeroErrorMetric();
  SetMetric(6, 2, 10.0f);
  SetMetric(8, 6, 9.0f);   // a second diamond that fits: the budget is then used up
  SetMetric(12, 2, 5.0f);  // the largest leaf left
  AdaptiveBuilder builder(2);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 16);
  EXPECT_EQ(builder.nextFreeNode, 31);
  EXPECT_TRUE(IsSoundTessellation(block, 2, wide_));
  EXPECT_NEAR(builder.AggregateError(wide_.left, wide_.right, wide_.apex), ContributionOf(12, 2, 8, 0), 1e-5);
}

TEST_F(AdaptiveBuilderTest, ForcedSplitsWithinTheRoomSucceed) {
  InstallZeroErrorMetric();
  SetMetric(12, 2, 5.0f);  // the first split: one forced split, two diamonds in all
  SetMetric(2, 0, 1.0f);   // the largest leaf once the budget is used up
  AdaptiveBuilder builder(2);
  const AggregateBlock block = BuildAggregateBlock(builder, wide_);
  EXPECT_EQ(block.triangles, 16);  // 12 + 2 diamonds of two new leaves each
  EXPECT_TRUE(IsSoundTessellation(block, 2, wide_));
  EXPECT_NEAR(builder.AggregateError(wide_.left, wide_.right, wide_.apex), ContributionOf(2, 0, 8, 0), 1e-5);
}

// Walks a leaf's chain of coarser base neighbours the way a split would have to force them.
// Returns the diamond splits needed, or -1 when the chain reaches the aggregate border.
int DiamondSplitsNeeded(const AdaptiveBuilder& builder, int leaf) {
  int splits = 1;
  for (int node = leaf;;) {
    const int base = builder.nodes[node].baseNeighbour;
    if (base < 0) return -1;
    if (builder.nodes[base].baseNeighbour == node) return splits;
    ++splits;
    node = base;
  }
}

TEST_F(AdaptiveBuilderTest, RefinementStopsOnlyWhenTheLargestLeafCannotBeSplit) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    InstallNoiseTerrain(5, seed);
    InstallRandomErrorMetric(seed, 0.05f);
    for (int level = 1; level <= 4; ++level) {
      AdaptiveBuilder builder(level);
      for (const AggregateCorners& t : AggregateTriangles(level, false)) {
        const float error = builder.AggregateError(t.left, t.right, t.apex);
        const HeightField& field = *CurrentHeightField;
        const VertexId middle = (t.left + t.right) >> 1;
        int largestLeaf = -1;
        double largest = 0.0;
        for (int i = 0; i < builder.nextFreeNode; ++i) {
          const AdaptiveNode& n = builder.nodes[i];
          if (n.IsSplit() || n.splitVertex < 0) continue;
          const double c = ContributionOf(field.GridX(n.splitVertex), field.GridY(n.splitVertex), field.GridX(middle),
                                          field.GridY(middle));
          if (c > largest) largest = c, largestLeaf = i;
        }
        ASSERT_NEAR(error, largest, 1e-5 * (1 + largest));
        ASSERT_LE(LeafCount(builder), 1 << (2 * level));
        const int room = (builder.nodeBudget - builder.nextFreeNode) >> 2;
        if (room == 0 || largestLeaf < 0) continue;
        const int needed = DiamondSplitsNeeded(builder, largestLeaf);
        EXPECT_TRUE(needed < 0 || needed > room) << "stopped with room " << room << " for " << needed;
      }
    }
  }
}

}  // namespace
