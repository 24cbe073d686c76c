#include "roam/roam_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cache/geometry_cache.h"
#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "support/roam_fake_cache.h"
#include "support/roam_fixture.h"
#include "support/roam_invariants.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

namespace {

using IdTriangle = std::array<VertexId, 3>;  // apex, left, right

class RoamDrawTest : public RoamTreeTest {
 protected:
  void SetUp() override {
    savedCache_ = ActiveCache;
    ActiveCache = &cache_;
    cache_.Init(kRoamBlockVertices, kRoamBlockIndices);
    Stats = {};
  }
  void TearDown() override {
    ActiveCache = savedCache_;
    Stats = {};
    CullingLevel = 14;
    Cameras[0] = {{0, 0, 0}, {1, 0, 0}, 45.0f};
    RoamTreeTest::TearDown();
  }

  // A refined tree for an eye at (x, y) with the given clearance.
  void RefineFor(int n, float x, float y, float clearance) {
    UseMetricTerrain(n, 17, 0.1f);
    const Point3 eye = EyeAbove(x, y, clearance);
    StartRoamTree(eye);
    RoamUpdate(eye);
  }

  // Every triangle drawn, as grid vertices, in drawing order.
  std::vector<IdTriangle> DrawnTriangles() const {
    const HeightField& field = *CurrentHeightField;
    std::vector<IdTriangle> drawn;
    for (const RoamFakeCache::Block& block : cache_.blocks) {
      for (size_t i = 0; i + 2 < block.indices.size(); i += 3) {
        IdTriangle t;
        for (int k = 0; k < 3; ++k) {
          const CacheVertex& v = block.vertices.at(block.indices[i + k]);
          const int gx = static_cast<int>(std::lround(v.x / field.spacing));
          const int gy = static_cast<int>(std::lround(v.y / field.spacing));
          t[k] = field.Id(gx, gy);
          EXPECT_EQ(v.z, field.Height(gx, gy));
        }
        drawn.push_back(t);
      }
    }
    return drawn;
  }

  static std::vector<IdTriangle> LeafTriangles() {
    std::vector<IdTriangle> leaves;
    for (const RoamLeaf& leaf : CollectRoamLeaves()) leaves.push_back({leaf.apex, leaf.left, leaf.right});
    return leaves;
  }

  RoamFakeCache cache_;
  GeometryCache* savedCache_ = nullptr;
};

TEST_F(RoamDrawTest, BlocksStayWithinTheirRoomAndAreAllGivenBack) {
  RefineFor(8, 0.5f, 0.5f, 0.003f);
  DrawRoamPass(0);
  EXPECT_TRUE(cache_.faults.empty()) << cache_.faults.front();
  ASSERT_GT(cache_.blocks.size(), 10u);  // a large mesh needs many blocks
  for (const RoamFakeCache::Block& block : cache_.blocks) {
    EXPECT_LE(block.vertexCount, 1023);
    EXPECT_LE(block.indexCount, 3063);
    EXPECT_EQ(block.indexCount % 3, 0);
    for (uint16_t index : block.indices) ASSERT_LT(index, block.vertexCount);
    EXPECT_TRUE(block.released);
    // A block's first triangle writes all three of its vertices.
    ASSERT_GE(block.indices.size(), 3u);
    EXPECT_EQ(block.indices[0], 0);
    EXPECT_EQ(block.indices[1], 1);
    EXPECT_EQ(block.indices[2], 2);
  }
}

TEST_F(RoamDrawTest, EveryLeafIsDrawnOnceCounterClockwiseFromAbove) {
  RefineFor(7, 0.3f, 0.6f, 0.005f);
  DrawRoamPass(0);
  std::vector<IdTriangle> drawn = DrawnTriangles();
  std::vector<IdTriangle> leaves = LeafTriangles();
  const HeightField& field = *CurrentHeightField;
  for (const IdTriangle& t : drawn) {
    const Point3 a = field.WorldPosition(t[0]), b = field.WorldPosition(t[1]), c = field.WorldPosition(t[2]);
    ASSERT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0.0f);
  }
  std::sort(drawn.begin(), drawn.end());
  std::sort(leaves.begin(), leaves.end());
  EXPECT_EQ(drawn, leaves);
  EXPECT_EQ(Stats.triangles, static_cast<double>(leaves.size()));
  EXPECT_EQ(Stats.bytes, 18.0 * static_cast<double>(leaves.size()));
}

TEST_F(RoamDrawTest, AlternatingLeafOrderSharesVertices) {
  // A uniformly refined 129 grid: nearly every triangle adds a single new vertex.
  UseRandomErrorTerrain(7, 3, 1.0f);
  for (int i = 0; i < 129 * 129; ++i) CurrentErrorMetric->values[i] += 2.0f;
  const Point3 eye = EyeAbove(0.5f, 0.5f, 0.01f);
  StartRoamTree(eye);
  RoamUpdate(eye);
  DrawRoamPass(0);
  long long vertices = 0;
  long long triangles = 0;
  for (const RoamFakeCache::Block& block : cache_.blocks) {
    vertices += block.vertexCount;
    triangles += block.indexCount / 3;
  }
  EXPECT_EQ(triangles, 2LL * 128 * 128);
  EXPECT_LT(static_cast<double>(vertices) / static_cast<double>(triangles), 1.1);
}

TEST_F(RoamDrawTest, AStillViewDrawsTheSameLeavesInTheSameOrder) {
  RefineFor(6, 0.7f, 0.2f, 0.01f);
  DrawRoamPass(0);
  const std::vector<IdTriangle> first = DrawnTriangles();
  cache_.ClearBlocks();
  RoamUpdate(EyeAbove(0.7f, 0.2f, 0.01f));
  DrawRoamPass(0);
  EXPECT_EQ(DrawnTriangles(), first);
}

TEST_F(RoamDrawTest, CullingDropsOnlyLeavesWhollyOutsideTheWedge) {
  RefineFor(7, 0.2f, 0.2f, 0.01f);
  Cameras[0].eye = RoamPreviousEye;
  Cameras[0].centre = {RoamPreviousEye.x + 0.8f * std::cos(0.7f), RoamPreviousEye.y + 0.8f * std::sin(0.7f), RoamPreviousEye.z};
  for (int level : {4, 8, 14, 30}) {
    SCOPED_TRACE("culling level " + std::to_string(level));
    CullingLevel = level;
    ComputeViewWedge();
    cache_.ClearBlocks();
    DrawRoamPass(RoamCullingDepth());
    EXPECT_TRUE(cache_.faults.empty());
    std::vector<IdTriangle> drawn = DrawnTriangles();
    std::vector<IdTriangle> leaves = LeafTriangles();
    std::sort(drawn.begin(), drawn.end());
    std::sort(leaves.begin(), leaves.end());
    std::vector<IdTriangle> dropped;
    std::set_difference(leaves.begin(), leaves.end(), drawn.begin(), drawn.end(), std::back_inserter(dropped));
    EXPECT_TRUE(std::includes(leaves.begin(), leaves.end(), drawn.begin(), drawn.end()));
    if (level >= 8) {
      EXPECT_GT(dropped.size(), leaves.size() / 4);  // most of the square lies behind or beside the eye
    }
    const HeightField& field = *CurrentHeightField;
    for (const IdTriangle& t : dropped) {
      bool outsideOneLine = false;
      for (const auto& line : CurrentViewWedge.line) {
        bool allOutside = true;
        for (VertexId v : t) {
          const Point3 p = field.WorldPosition(v);
          allOutside = allOutside && line[0] * p.x + line[1] * p.y + line[2] > 0.0f;
        }
        outsideOneLine = outsideOneLine || allOutside;
      }
      ASSERT_TRUE(outsideOneLine);
    }
  }
}

TEST_F(RoamDrawTest, LevelsUpTo3TestNothingAndATreeWithNothingVisibleStillClosesItsBlock) {
  RefineFor(5, 0.5f, 0.5f, 0.02f);
  for (int level : {0, 1, 2, 3}) {
    CullingLevel = level;
    EXPECT_EQ(RoamCullingDepth(), 0);
  }
  CullingLevel = 14;
  EXPECT_EQ(RoamCullingDepth(), 11);
  // Looking out of the square, away from it.
  Cameras[0].eye = {-0.5f, 0.5f, 0.1f};
  Cameras[0].centre = {-1.3f, 0.5f, 0.1f};
  ComputeViewWedge();
  DrawRoamPass(RoamCullingDepth());
  ASSERT_EQ(cache_.blocks.size(), 2u);
  for (const RoamFakeCache::Block& block : cache_.blocks) {
    EXPECT_EQ(block.vertexCount, 0);
    EXPECT_EQ(block.indexCount, 0);
    EXPECT_TRUE(block.released);
  }
  EXPECT_EQ(Stats.triangles, 0.0);
}

}  // namespace
