#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "aggregate/adaptive_builder.h"
#include "aggregate/uniform_builder.h"
#include "support/aggregate_block_check.h"
#include "support/aggregate_fixture.h"

namespace {

class TessellationPropertyTest : public AggregateTest {
 protected:
  // Every aggregate triangle of every level, built by both kinds (and by the base lattice
  // operations, which CABTT uses for the finest size), must tile its triangle soundly.
  static void CheckAllLevels(int maxLevel) {
    const int n = CurrentHeightField->n;
    for (int level = 0; level <= std::min(maxLevel, n); ++level) {
      UniformBuilder uniform(level);
      AdaptiveBuilder adaptive(level);
      for (const AggregateCorners& t : AggregateTriangles(level, true)) {
        ASSERT_TRUE(IsSoundTessellation(BuildAggregateBlock(uniform, t), level, t)) << "uniform level " << level;
        ASSERT_TRUE(IsSoundTessellation(BuildAggregateBlock(adaptive, t), level, t)) << "adaptive level " << level;
        ASSERT_TRUE(IsSoundTessellation(BuildAggregateBlock(adaptive, t, true), level, t)) << "lattice level " << level;
      }
    }
  }
};

TEST_F(TessellationPropertyTest, RoughTerrainOf257AtLevelsZeroToSix) {
  InstallRoughTerrain(8, 77);
  ComputeErrorMetric(600.0f);
  CheckAllLevels(6);
}

TEST_F(TessellationPropertyTest, SmallRandomTerrainsAndMetrics) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    InstallNoiseTerrain(static_cast<int>(seed % 6), seed);
    InstallRandomErrorMetric(seed * 7, seed % 2 == 0 ? 0.001f : 1.0f);
    CheckAllLevels(6);
  }
}

// Vertices of a block that lie on the segment from a to b, in grid coordinates.
std::vector<uint64_t> VerticesOnSegment(const AggregateBlock& block, GridVertex a, GridVertex b) {
  std::vector<uint64_t> on;
  for (const CacheVertex& v : block.vertices) {
    const GridVertex g = ToGrid(v);
    const int64_t cross = static_cast<int64_t>(b.x - a.x) * (g.y - a.y) - static_cast<int64_t>(b.y - a.y) * (g.x - a.x);
    if (cross == 0) on.push_back(static_cast<uint64_t>(g.x) << 32 | static_cast<uint32_t>(g.y));
  }
  std::sort(on.begin(), on.end());
  return on;
}

TEST_F(TessellationPropertyTest, DiamondHalvesBuiltByDifferentKindsShareTheirHypotenuseVertices) {
  InstallRoughTerrain(6, 5);
  ComputeErrorMetric(600.0f);
  const HeightField& field = *CurrentHeightField;
  for (int level = 1; level <= 4; ++level) {
    UniformBuilder uniform(level);
    AdaptiveBuilder adaptive(level);
    for (const AggregateCorners& t : AggregateTriangles(level, true)) {
      const GridVertex p{field.GridX(t.left), field.GridY(t.left)};
      const GridVertex q{field.GridX(t.right), field.GridY(t.right)};
      const GridVertex a{field.GridX(t.apex), field.GridY(t.apex)};
      const GridVertex mirrored{p.x + q.x - a.x, p.y + q.y - a.y};
      if (mirrored.x < 0 || mirrored.x > field.N || mirrored.y < 0 || mirrored.y > field.N) continue;
      const AggregateCorners other{t.right, t.left, field.Id(mirrored.x, mirrored.y)};
      const std::vector<uint64_t> mine = VerticesOnSegment(BuildAggregateBlock(uniform, t), p, q);
      const std::vector<uint64_t> theirs = VerticesOnSegment(BuildAggregateBlock(adaptive, other), p, q);
      ASSERT_EQ(mine.size(), static_cast<size_t>((1 << level) + 1));
      ASSERT_EQ(mine, theirs) << "level " << level;
    }
  }
}

}  // namespace
