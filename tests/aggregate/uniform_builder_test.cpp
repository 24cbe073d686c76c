// The uniform builder: the regular lattice of 4^L sub-triangles, and an error bound from the grid
// vertices the lattice leaves out.
#include "aggregate/uniform_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "aggregate_blocks.h"
#include "support/test_terrain.h"

namespace {

class UniformBuilderTest : public ::testing::Test {
 protected:
  VertexId Id(int x, int y) const { return field_.Id(x, y); }
  GridVertex At(const AggregateBlock& block, int index) const {
    return ToGrid(field_, block.vertices[static_cast<size_t>(index)]);
  }
  std::unique_ptr<AggregationBuilder> Uniform(int level, const ErrorMetric& metric) {
    return MakeBuilder(level, false, field_, metric);
  }

  HeightField field_ = RoughField(4, 11);
  ErrorMetric metric_ = RandomMetric(field_, 5, 0.02f);
};

std::vector<uint16_t> Triangles(std::initializer_list<std::initializer_list<int>> list) {
  std::vector<uint16_t> out;
  for (auto t : list)
    for (int i : t) out.push_back(static_cast<uint16_t>(i));
  return out;
}

// The lattice is numbered row by row: V(r, k) = P + r u + k w has index r (2^L + 1) - r (r - 1) / 2 + k.
TEST_F(UniformBuilderTest, WorkedLatticesOfLevelsZeroToTwo) {
  const auto level0 = Uniform(0, metric_);
  const AggregateCorners t0{Id(2, 2), Id(4, 2), Id(3, 3)};
  AggregateBlock block = BuildBlock(*level0, t0);
  EXPECT_EQ(block.triangles, 1);
  ASSERT_EQ(block.vertices.size(), 3u);
  EXPECT_EQ(At(block, 0), (GridVertex{2, 2}));  // left, apex, right
  EXPECT_EQ(At(block, 1), (GridVertex{3, 3}));
  EXPECT_EQ(At(block, 2), (GridVertex{4, 2}));
  EXPECT_EQ(block.indices, Triangles({{0, 2, 1}}));
  // The one omitted point is the split vertex itself.
  EXPECT_EQ(level0->AggregateError(t0.left, t0.right, t0.apex), metric_.At(3, 2));

  const auto level1 = Uniform(1, metric_);
  const AggregateCorners t1{Id(0, 0), Id(4, 0), Id(2, 2)};
  block = BuildBlock(*level1, t1);
  EXPECT_EQ(block.triangles, 4);
  const std::vector<GridVertex> expected{{0, 0}, {1, 1}, {2, 2}, {2, 0}, {3, 1}, {4, 0}};
  ASSERT_EQ(block.vertices.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(At(block, static_cast<int>(i)), expected[i]) << i;
  // A fan around the hypotenuse midpoint.
  EXPECT_EQ(block.indices, Triangles({{3, 1, 0}, {3, 2, 1}, {3, 4, 2}, {3, 5, 4}}));

  // Two half fans and one full fan around the vertices of the odd row.
  const auto level2 = Uniform(2, metric_);
  const AggregateCorners t2{Id(0, 0), Id(8, 0), Id(4, 4)};
  block = BuildBlock(*level2, t2);
  EXPECT_EQ(block.triangles, 16);
  ASSERT_EQ(block.vertices.size(), 15u);
  EXPECT_EQ(At(block, 4), (GridVertex{4, 4}));
  EXPECT_EQ(At(block, 5), (GridVertex{2, 0}));
  EXPECT_EQ(At(block, 7), (GridVertex{4, 2}));
  EXPECT_EQ(At(block, 12), (GridVertex{6, 0}));
  EXPECT_EQ(At(block, 14), (GridVertex{8, 0}));
  EXPECT_EQ(block.indices, Triangles({{5, 1, 0}, {5, 2, 1}, {5, 6, 2}, {5, 9, 6},
                                      {7, 2, 6}, {7, 6, 9}, {7, 9, 10}, {7, 10, 11},
                                      {7, 11, 8}, {7, 8, 4}, {7, 4, 3}, {7, 3, 2},
                                      {12, 10, 9}, {12, 11, 10}, {12, 13, 11}, {12, 14, 13}}));
}

// The omitted vertices are the midpoints of the lattice edges parallel to the hypotenuse, worked
// out here independently of the builder's row walk.
std::vector<GridVertex> HypotenuseParallelMidpoints(GridVertex p, GridVertex q, GridVertex a, int side) {
  std::vector<GridVertex> points;
  const int ux = (q.x - p.x) / side, uy = (q.y - p.y) / side;
  const int wx = (a.x - p.x) / side, wy = (a.y - p.y) / side;
  for (int k = 0; k < side; ++k)
    for (int r = 0; r + k < side; ++r) points.push_back({p.x + r * ux + k * wx + ux / 2, p.y + r * uy + k * wy + uy / 2});
  return points;
}

TEST_F(UniformBuilderTest, ErrorIsTheLargestContributionOfTheOmittedMidpoints) {
  for (int level = 0; level <= 3; ++level) {
    const auto builder = Uniform(level, metric_);
    const AggregateCorners triangles[] = {{Id(0, 0), Id(16, 0), Id(8, 8)}, {Id(16, 16), Id(0, 16), Id(8, 8)},
                                          {Id(8, 0), Id(8, 16), Id(0, 8)}, {Id(0, 0), Id(16, 16), Id(0, 16)}};
    for (const AggregateCorners& t : triangles) {
      const GridVertex p{field_.GridX(t.left), field_.GridY(t.left)};
      const GridVertex q{field_.GridX(t.right), field_.GridY(t.right)};
      const GridVertex a{field_.GridX(t.apex), field_.GridY(t.apex)};
      const std::vector<GridVertex> samples = HypotenuseParallelMidpoints(p, q, a, 1 << level);
      ASSERT_EQ(samples.size(), static_cast<size_t>((1 << level) * ((1 << level) + 1) / 2));
      double largest = 0.0;
      for (const GridVertex& s : samples)
        largest = std::max(largest, ContributionOf(field_, metric_, s.x, s.y, (p.x + q.x) / 2, (p.y + q.y) / 2));
      EXPECT_NEAR(builder->AggregateError(t.left, t.right, t.apex), largest, 1e-6 * (1 + largest)) << "level " << level;
    }
  }
}

TEST_F(UniformBuilderTest, LevelOneSamplesExactlyThreePoints) {
  ErrorMetric metric = ZeroMetric(field_);
  const auto builder = Uniform(1, metric);
  const AggregateCorners t{Id(0, 0), Id(4, 0), Id(2, 2)};
  // Lattice vertices and vertices outside the triangle do not count, however large.
  for (GridVertex v : {GridVertex{1, 1}, GridVertex{3, 1}, GridVertex{2, 0}, GridVertex{2, 3}, GridVertex{5, 0}})
    metric.values[v.x + v.y * 17] = 100.0f;
  EXPECT_LT(builder->AggregateError(t.left, t.right, t.apex), 1.0f);
  // Each of the half-hypotenuse midpoints and the midpoint of V(0,1)-V(1,1) does.
  for (GridVertex s : {GridVertex{1, 0}, GridVertex{3, 0}, GridVertex{2, 1}}) {
    metric.values[s.x + s.y * 17] = 50.0f;
    EXPECT_NEAR(builder->AggregateError(t.left, t.right, t.apex), ContributionOf(field_, metric, s.x, s.y, 2, 0), 1e-5);
    metric.values[s.x + s.y * 17] = 0.0f;
  }
}

TEST_F(UniformBuilderTest, TheFinestAggregateSizeIsTheFullGridAndOmitsNothing) {
  const ErrorMetric large = RandomMetric(field_, 9, 1000.0f);
  const auto builder = Uniform(2, large);
  const AggregateCorners t{Id(4, 4), Id(8, 8), Id(4, 8)};
  const AggregateBlock block = BuildBlock(*builder, t);
  ASSERT_TRUE(IsSoundTessellation(field_, block, 2, t));
  EXPECT_EQ(block.vertices.size(), 15u);  // every grid vertex of the triangle
  EXPECT_EQ(builder->AggregateError(t.left, t.right, t.apex), 0.0f);
}

}  // namespace
