// Streaming the leaves through the recording cache: the blocks as written, vertex sharing with the
// previous triangle, culling down to the depth of the culling level, failures of the cache.
#include "roam/roam_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>
#include <vector>

#include "roam_fixture.h"
#include "support/bintree_invariants.h"
#include "support/recording_cache.h"

namespace {

using IdTriangle = std::array<VertexId, 3>;  // apex, left, right

class RoamDrawTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(cache_.Init(kRoamBlockVertices, kRoamBlockIndices).ok()); }

  // A tree refined for the eye at (x, y) with the given clearance.
  void RefineFor(Terrain terrain, float x, float y, float clearance) {
    roam_ = std::make_unique<RoamTreeOnTerrain>(std::move(terrain));
    eye_ = roam_->EyeAbove(x, y, clearance);
    roam_->Start(eye_);
    roam_->Refine(eye_);
  }

  // One pass; the pass must succeed and the cache see nothing wrong.
  int Draw(const ViewWedge& wedge, int depth) {
    cache_.closed.clear();
    const Result<int> drawn = streamer_.DrawPass(roam_->tree, roam_->terrain.field, cache_, wedge, depth);
    EXPECT_TRUE(drawn.ok()) << drawn.failure().message;
    EXPECT_TRUE(cache_.faults.empty()) << Describe(cache_.faults);
    EXPECT_TRUE(cache_.live.empty()) << "every block is given back in the pass";
    return drawn.ok() ? drawn.value() : -1;
  }

  VertexId IdOf(const CacheVertex& v) const {
    const HeightField& field = roam_->terrain.field;
    const int gx = static_cast<int>(std::lround(v.x / field.spacing));
    const int gy = static_cast<int>(std::lround(v.y / field.spacing));
    EXPECT_EQ(v.x, static_cast<float>(gx) * field.spacing);
    EXPECT_EQ(v.y, static_cast<float>(gy) * field.spacing);
    EXPECT_EQ(v.z, field.Height(gx, gy));
    return field.Id(gx, gy);
  }

  // Every triangle drawn, as grid vertices, in drawing order.
  std::vector<IdTriangle> DrawnTriangles() const {
    std::vector<IdTriangle> drawn;
    for (const RecordingCache::Block& block : cache_.closed)
      for (size_t i = 0; i + 2 < block.indices.size(); i += 3)
        drawn.push_back({IdOf(block.vertices.at(block.indices[i])), IdOf(block.vertices.at(block.indices[i + 1])),
                         IdOf(block.vertices.at(block.indices[i + 2]))});
    return drawn;
  }

  std::vector<IdTriangle> LeafTriangles() const {
    std::vector<IdTriangle> leaves;
    for (const auto& leaf : CollectLeaves(roam_->tree)) leaves.push_back({leaf.apex, leaf.left, leaf.right});
    return leaves;
  }

  RecordingCache cache_{true};
  RoamStreamer streamer_;
  std::unique_ptr<RoamTreeOnTerrain> roam_;
  Point3 eye_{};
  ViewWedge anyWedge_ = ComputeViewWedge({{0, 0, 0}, {1, 0, 0}, 45.0f, {0, 0, 1}}, 640, 480);
};

// Within a block a triangle takes a vertex of the previous triangle by its index, and writes every
// other vertex anew, in order; a block's first triangle writes all three.
TEST_F(RoamDrawTest, BlocksWriteOnlyVerticesThePreviousTriangleLacks) {
  RefineFor(MetricTerrain(8, 17), 0.5f, 0.5f, 0.003f);
  Draw(anyWedge_, 0);
  ASSERT_GT(cache_.closed.size(), 10u) << "a large mesh needs many blocks";
  for (const RecordingCache::Block& block : cache_.closed) {
    EXPECT_LE(block.vertexCount, kRoamBlockVertices - 1);
    EXPECT_LE(block.indexCount, 3 * (kRoamBlockVertices - 3));
    ASSERT_GE(block.indexCount, 3);
    int written = 0;
    std::array<VertexId, 3> previousIds = {-1, -1, -1};
    std::array<uint16_t, 3> previousIndices = {};
    for (int i = 0; i < block.indexCount; i += 3) {
      std::array<VertexId, 3> ids;
      for (int k = 0; k < 3; ++k) {
        const uint16_t index = block.indices[i + k];
        ids[k] = IdOf(block.vertices.at(index));
        const auto shared = std::find(previousIds.begin(), previousIds.end(), ids[k]);
        if (shared != previousIds.end()) {
          ASSERT_EQ(index, previousIndices[shared - previousIds.begin()]) << "triangle " << i / 3;
        } else {
          ASSERT_EQ(index, written) << "triangle " << i / 3 << " writes a vertex out of order or again";
          ++written;
        }
      }
      for (int k = 0; k < 3; ++k) {
        previousIds[k] = ids[k];
        previousIndices[k] = block.indices[i + k];
      }
    }
    EXPECT_EQ(written, block.vertexCount) << "a vertex written and never used";
  }
}

TEST_F(RoamDrawTest, EveryLeafIsDrawnOnceCounterClockwiseFromAbove) {
  RefineFor(MetricTerrain(7, 17), 0.3f, 0.6f, 0.005f);
  const int count = Draw(anyWedge_, 0);
  std::vector<IdTriangle> drawn = DrawnTriangles();
  std::vector<IdTriangle> leaves = LeafTriangles();
  const HeightField& field = roam_->terrain.field;
  for (const IdTriangle& t : drawn) {
    const Point3 a = field.WorldPosition(t[0]), b = field.WorldPosition(t[1]), c = field.WorldPosition(t[2]);
    ASSERT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0.0f);
  }
  std::sort(drawn.begin(), drawn.end());
  std::sort(leaves.begin(), leaves.end());
  EXPECT_EQ(drawn, leaves);
  EXPECT_EQ(count, static_cast<int>(leaves.size()));
}

// Consecutive leaves share an edge: on a uniformly refined grid nearly every triangle writes one
// vertex.
TEST_F(RoamDrawTest, TheLeafOrderSharesAnEdgeWithThePreviousTriangle) {
  RefineFor(RandomErrorTerrain(7, 3, 1.0f, 2.0f), 0.5f, 0.5f, 0.01f);
  const int count = Draw(anyWedge_, 0);
  long long vertices = 0;
  for (const RecordingCache::Block& block : cache_.closed) vertices += block.vertexCount;
  EXPECT_EQ(count, 2 * 128 * 128);
  EXPECT_LT(static_cast<double>(vertices) / count, 1.1);
}

// The culling depth is how many levels from the top triangles down are tested: a leaf is dropped
// exactly when it or an ancestor within those levels lies wholly outside a line of the wedge.
TEST_F(RoamDrawTest, CullingDropsExactlyWhatLiesOutsideTheWedgeDownToTheDepth) {
  RefineFor(MetricTerrain(7, 17), 0.2f, 0.2f, 0.01f);
  const CameraView camera = {eye_, {eye_.x + 0.8f * std::cos(0.7f), eye_.y + 0.8f * std::sin(0.7f), eye_.z}, 45.0f, {0, 0, 1}};
  const ViewWedge wedge = ComputeViewWedge(camera, 640, 480);
  const HeightField& field = roam_->terrain.field;
  const auto whollyOutside = [&](const IdTriangle& t) {
    for (const auto& line : wedge.line) {
      bool all = true;
      for (VertexId v : t) {
        const float x = static_cast<float>(field.GridX(v)) * field.spacing;
        const float y = static_cast<float>(field.GridY(v)) * field.spacing;
        all = all && line[0] * x + line[1] * y + line[2] > 0.0f;
      }
      if (all) return true;
    }
    return false;
  };
  for (int level : {0, 3, 4, 8, 14, 30}) {
    SCOPED_TRACE("culling level " + std::to_string(level));
    const int depth = RoamCullingDepth(level);
    EXPECT_EQ(depth, std::max(level - 3, 0));
    // The leaves expected: walk the tree, testing the levels above the culling depth.
    std::vector<IdTriangle> expected;
    struct Walker {
      const decltype(whollyOutside)& outside;
      int depth;
      std::vector<IdTriangle>& out;
      void Walk(const RoamNode* t, VertexId apex, VertexId left, VertexId right, int d) {
        if (d < depth && outside(IdTriangle{apex, left, right})) return;
        if (t->IsLeaf()) {
          out.push_back({apex, left, right});
          return;
        }
        Walk(t->LeftChild(), t->splitVertex, apex, left, d + 1);
        Walk(t->RightChild(), t->splitVertex, right, apex, d + 1);
      }
    } walker{whollyOutside, depth, expected};
    for (int i = 0; i < 2; ++i) {
      const RoamRoot& root = roam_->tree.root(i);
      walker.Walk(root.Top(), root.node.splitVertex, root.topLeftCorner, root.topRightCorner, 0);
    }
    const int count = Draw(wedge, depth);
    std::vector<IdTriangle> drawn = DrawnTriangles();
    std::sort(drawn.begin(), drawn.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(drawn, expected);
    EXPECT_EQ(count, static_cast<int>(drawn.size()));
    if (level >= 8) {
      EXPECT_LT(drawn.size(), LeafTriangles().size() * 3 / 4) << "most of the square lies behind the eye";
    }
  }
}

TEST_F(RoamDrawTest, NothingInViewStillBeginsAndEndsBothTreesBlocks) {
  RefineFor(MetricTerrain(5, 17), 0.5f, 0.5f, 0.02f);
  // Outside the square, looking away from it.
  const ViewWedge away = ComputeViewWedge({{-0.5f, 0.5f, 0.1f}, {-1.3f, 0.5f, 0.1f}, 45.0f, {0, 0, 1}}, 640, 480);
  EXPECT_EQ(Draw(away, RoamCullingDepth(14)), 0);
  ASSERT_EQ(cache_.closed.size(), 2u);
  for (const RecordingCache::Block& block : cache_.closed) {
    EXPECT_EQ(block.vertexCount, 0);
    EXPECT_EQ(block.indexCount, 0);
  }
}

// A cache that can give no block, at the start or in the middle of a pass: the pass ends with its
// failure, every block it began is closed and given back, and the next pass draws again.
TEST_F(RoamDrawTest, ACacheThatGivesNoBlockEndsThePassWithItsFailure) {
  RefineFor(MetricTerrain(8, 17), 0.5f, 0.5f, 0.003f);
  const Failure refused{"Out of memory for a cache block\n", Channel::kLogAndConsole, 2};
  for (int blocksGiven : {0, 1, 5}) {
    SCOPED_TRACE(std::to_string(blocksGiven) + " blocks given");
    int given = 0;
    cache_.failBeginBlock.reset();
    if (blocksGiven == 0) cache_.failBeginBlock = refused;
    cache_.onDraw = [&](BlockHandle, bool) {
      if (++given == blocksGiven) cache_.failBeginBlock = refused;
    };
    const int64_t released = cache_.blocksReleased;
    const Result<int> drawn = streamer_.DrawPass(roam_->tree, roam_->terrain.field, cache_, anyWedge_, 0);
    ASSERT_FALSE(drawn.ok());
    EXPECT_EQ(drawn.failure().message, refused.message);
    EXPECT_EQ(drawn.failure().exitStatus, 2);
    EXPECT_EQ(cache_.blocksReleased - released, blocksGiven);
    EXPECT_TRUE(cache_.faults.empty()) << Describe(cache_.faults);
    EXPECT_TRUE(cache_.live.empty());
  }
  cache_.onDraw = nullptr;
  cache_.failBeginBlock.reset();
  EXPECT_EQ(Draw(anyWedge_, 0), static_cast<int>(LeafTriangles().size()));
}

}  // namespace
