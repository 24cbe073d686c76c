// Every block either builder writes tiles its aggregate triangle and cuts its borders as the
// lattice does, so that neighbouring blocks built by either kind meet without cracks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "aggregate_blocks.h"
#include "support/test_terrain.h"
#include "terrain/terrain.h"

namespace {

// Every aggregate triangle of levels 0 to min(maxLevel, n), finest size included, built by both
// kinds and by the base lattice operations (which CABTT uses at the finest size).
void CheckAllLevels(const HeightField& field, const ErrorMetric& metric, int maxLevel) {
  for (int level = 0; level <= std::min(maxLevel, field.n); ++level) {
    const auto uniform = MakeBuilder(level, false, field, metric);
    const auto adaptive = MakeBuilder(level, true, field, metric);
    for (const AggregateCorners& t : AggregateTriangles(field, level, true)) {
      ASSERT_TRUE(IsSoundTessellation(field, BuildBlock(*uniform, t), level, t)) << "uniform level " << level;
      ASSERT_TRUE(IsSoundTessellation(field, BuildBlock(*adaptive, t), level, t)) << "adaptive level " << level;
      ASSERT_TRUE(IsSoundTessellation(field, BuildBlock(*adaptive, t, true), level, t)) << "lattice level " << level;
    }
  }
}

TEST(TessellationPropertyTest, RoughTerrainOf257AtLevelsZeroToSix) {
  const Terrain terrain = RoughTerrain(8, 77);
  CheckAllLevels(terrain.field, terrain.metric, 6);
}

// Sizes from a single cell up, so that levels 0 and n both occur; tiny and large metric values.
TEST(TessellationPropertyTest, SmallRandomTerrainsAndMetricsAtEveryLevel) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    const HeightField field = NoiseField(static_cast<int>(seed % 6), seed);
    const ErrorMetric metric = RandomMetric(field, seed * 7, seed % 2 == 0 ? 0.001f : 1.0f);
    SCOPED_TRACE(testing::Message() << "n " << field.n << " seed " << seed);
    CheckAllLevels(field, metric, 6);
    if (HasFatalFailure()) return;
  }
}

// Vertices of a block that lie on the line through a and b, in grid coordinates.
std::vector<uint64_t> VerticesOnLine(const HeightField& field, const AggregateBlock& block, GridVertex a, GridVertex b) {
  std::vector<uint64_t> on;
  for (const CacheVertex& v : block.vertices) {
    const GridVertex g = ToGrid(field, v);
    const int64_t cross = static_cast<int64_t>(b.x - a.x) * (g.y - a.y) - static_cast<int64_t>(b.y - a.y) * (g.x - a.x);
    if (cross == 0) on.push_back(static_cast<uint64_t>(g.x) << 32 | static_cast<uint32_t>(g.y));
  }
  std::sort(on.begin(), on.end());
  return on;
}

TEST(TessellationPropertyTest, DiamondHalvesBuiltByDifferentKindsShareTheirHypotenuseVertices) {
  const Terrain terrain = RoughTerrain(6, 5);
  const HeightField& field = terrain.field;
  for (int level = 1; level <= 4; ++level) {
    const auto uniform = MakeBuilder(level, false, field, terrain.metric);
    const auto adaptive = MakeBuilder(level, true, field, terrain.metric);
    for (const AggregateCorners& t : AggregateTriangles(field, level, true)) {
      const GridVertex p{field.GridX(t.left), field.GridY(t.left)};
      const GridVertex q{field.GridX(t.right), field.GridY(t.right)};
      const GridVertex a{field.GridX(t.apex), field.GridY(t.apex)};
      const GridVertex mirrored{p.x + q.x - a.x, p.y + q.y - a.y};
      if (mirrored.x < 0 || mirrored.x > field.N || mirrored.y < 0 || mirrored.y > field.N) continue;
      const AggregateCorners other{t.right, t.left, field.Id(mirrored.x, mirrored.y)};
      const std::vector<uint64_t> mine = VerticesOnLine(field, BuildBlock(*uniform, t), p, q);
      const std::vector<uint64_t> theirs = VerticesOnLine(field, BuildBlock(*adaptive, other), p, q);
      ASSERT_EQ(mine.size(), static_cast<size_t>((1 << level) + 1));
      ASSERT_EQ(mine, theirs) << "level " << level;
    }
  }
}

}  // namespace
