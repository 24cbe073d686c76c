// Streaming the leaves through the recording cache: the blocks as written, vertex sharing with the
// previous triangle, culling down to the depth of the culling level, failures of the cache.
#include "roam/roam_draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "roam_fixture.h"
#include "support/bintree_invariants.h"
#include "support/recording_cache.h"

namespace {

using IdTriangle = std::array<VertexId, 3>;  // apex, left, right

class RoamDrawTest : public ::testing::Test {
 protected:
  // A cache, and a tree over a terrain of side 2^n + 1 refined for an eye at (x, y).
  void RefineFor(int n, float x, float y, float clearance) {
    ASSERT_TRUE(cache_.Init(kRoamBlockVertices, kRoamBlockIndices).ok());
    roam_ = std::make_unique<RoamTreeOnTerrain>(RoughTerrain(n, 17));
    eye_ = roam_->EyeAbove(x, y, clearance);
    roam_->Start(eye_);
    roam_->Refine(eye_);
  }

  // One pass; it must succeed, the cache see nothing wrong, and every block be given back.
  int Draw(const ViewWedge& wedge, int depth) {
    cache_.closed.clear();
    const Result<int> drawn = streamer_.DrawPass(roam_->tree, roam_->terrain.field, cache_, wedge, depth);
    EXPECT_TRUE(drawn.ok()) << drawn.failure().message;
    EXPECT_TRUE(cache_.faults.empty()) << Describe(cache_.faults);
    EXPECT_TRUE(cache_.live.empty());
    EXPECT_EQ(cache_.unflushedDraws, 0) << "the pass must end with its draws issued";
    return drawn.ok() ? drawn.value() : -1;
  }

  // The grid vertex a cache vertex was written for, which must be exactly its position.
  VertexId IdOf(const CacheVertex& v) const {
    const HeightField& field = roam_->terrain.field;
    const int gx = static_cast<int>(std::lround(v.x / field.spacing));
    const int gy = static_cast<int>(std::lround(v.y / field.spacing));
    const Point3 exact = field.GridPosition(gx, gy);
    EXPECT_TRUE(v.x == exact.x && v.y == exact.y && v.z == exact.z) << "not a grid vertex";
    return field.Id(gx, gy);
  }

  // Every triangle drawn, sorted.
  std::vector<IdTriangle> DrawnTriangles() const {
    std::vector<IdTriangle> drawn;
    for (const RecordingCache::Block& block : cache_.closed)
      for (size_t i = 0; i + 2 < block.indices.size(); i += 3)
        drawn.push_back({IdOf(block.vertices.at(block.indices[i])), IdOf(block.vertices.at(block.indices[i + 1])),
                         IdOf(block.vertices.at(block.indices[i + 2]))});
    std::sort(drawn.begin(), drawn.end());
    return drawn;
  }

  RecordingCache cache_{true};
  RoamStreamer streamer_;
  std::unique_ptr<RoamTreeOnTerrain> roam_;
  Point3 eye_{};
  ViewWedge anyWedge_ = ComputeViewWedge({{0, 0, 0}, {1, 0, 0}, 45.0f, {0, 0, 1}}, 640, 480);
};

// Every leaf is drawn once, counter-clockwise from above. Within a block a triangle takes a vertex
// of the previous triangle by its index and writes every other vertex anew, in order (a block's
// first triangle writes all three); and since consecutive leaves share an edge, nearly every
// triangle writes a single vertex.
TEST_F(RoamDrawTest, BlocksHoldEveryLeafOnceWritingOnlyWhatThePreviousTriangleLacks) {
  RefineFor(8, 0.5f, 0.5f, 0.003f);
  const int count = Draw(anyWedge_, 0);
  ASSERT_GT(cache_.closed.size(), 10u) << "a large mesh needs many blocks";
  int vertices = 0;
  for (const RecordingCache::Block& block : cache_.closed) {
    EXPECT_LE(block.vertexCount, kRoamBlockVertices - 1);
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
          ASSERT_EQ(index, written++) << "triangle " << i / 3 << " writes a vertex out of order or again";
        }
      }
      std::copy(ids.begin(), ids.end(), previousIds.begin());
      std::copy(&block.indices[i], &block.indices[i] + 3, previousIndices.begin());
      const Point3 a = block.vertices[block.indices[i]], b = block.vertices[block.indices[i + 1]],
                   c = block.vertices[block.indices[i + 2]];
      ASSERT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0.0f) << "clockwise from above";
    }
    EXPECT_EQ(written, block.vertexCount) << "a vertex written and never used";
    vertices += written;
  }
  std::vector<IdTriangle> leaves;
  for (const auto& leaf : CollectLeaves(roam_->tree)) leaves.push_back({leaf.apex, leaf.left, leaf.right});
  std::sort(leaves.begin(), leaves.end());
  EXPECT_EQ(DrawnTriangles(), leaves);
  EXPECT_EQ(count, static_cast<int>(leaves.size()));
  EXPECT_LT(static_cast<double>(vertices) / count, 1.1);
}

// The culling depth is how many levels from the top triangles down are tested: a leaf is dropped
// exactly when it or an ancestor within those levels lies wholly outside a line of the wedge.
TEST_F(RoamDrawTest, CullingDropsExactlyWhatLiesOutsideTheWedgeDownToTheDepth) {
  RefineFor(7, 0.2f, 0.2f, 0.01f);
  const CameraView camera = {eye_, {eye_.x + 0.8f * std::cos(0.7f), eye_.y + 0.8f * std::sin(0.7f), eye_.z}, 45.0f, {0, 0, 1}};
  const ViewWedge wedge = ComputeViewWedge(camera, 640, 480);
  const HeightField& field = roam_->terrain.field;
  const auto whollyOutside = [&](const IdTriangle& t) {
    return std::any_of(std::begin(wedge.line), std::end(wedge.line), [&](const float* line) {
      return std::all_of(t.begin(), t.end(), [&](VertexId v) {
        const float x = static_cast<float>(field.GridX(v)) * field.spacing;
        const float y = static_cast<float>(field.GridY(v)) * field.spacing;
        return line[0] * x + line[1] * y + line[2] > 0.0f;
      });
    });
  };
  size_t allLeaves = 0;
  for (int level : {0, 3, 4, 8, 14, 30}) {
    SCOPED_TRACE("culling level " + std::to_string(level));
    const int depth = RoamCullingDepth(level);
    EXPECT_EQ(depth, std::max(level - 3, 0));
    std::vector<IdTriangle> expected;
    std::function<void(const RoamNode*, VertexId, VertexId, VertexId, int)> walk =
        [&](const RoamNode* t, VertexId apex, VertexId left, VertexId right, int d) {
          if (d < depth && whollyOutside({apex, left, right})) return;
          if (t->IsLeaf()) {
            expected.push_back({apex, left, right});
            return;
          }
          walk(t->LeftChild(), t->splitVertex, apex, left, d + 1);
          walk(t->RightChild(), t->splitVertex, right, apex, d + 1);
        };
    for (int i = 0; i < 2; ++i) {
      const RoamRoot& root = roam_->tree.root(i);
      walk(root.Top(), root.node.splitVertex, root.topLeftCorner, root.topRightCorner, 0);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Draw(wedge, depth), static_cast<int>(expected.size()));
    EXPECT_EQ(DrawnTriangles(), expected);
    if (level == 0) allLeaves = expected.size();
    if (level >= 8) {
      EXPECT_LT(expected.size(), allLeaves * 3 / 4) << "most of the square lies behind the eye";
    }
  }
  // Nothing in view: each tree still begins and ends its (empty) block.
  const ViewWedge away = ComputeViewWedge({{-0.5f, 0.5f, 0.1f}, {-1.3f, 0.5f, 0.1f}, 45.0f, {0, 0, 1}}, 640, 480);
  EXPECT_EQ(Draw(away, RoamCullingDepth(14)), 0);
  ASSERT_EQ(cache_.closed.size(), 2u);
  for (const RecordingCache::Block& block : cache_.closed) EXPECT_EQ(block.vertexCount + block.indexCount, 0);
}

// A cache that can give no block, at the start or in the middle of a pass: the pass ends with its
// failure, every block it began is closed and given back, and the next pass draws again.
TEST_F(RoamDrawTest, ACacheThatGivesNoBlockEndsThePassWithItsFailure) {
  RefineFor(8, 0.5f, 0.5f, 0.003f);
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
    EXPECT_EQ(cache_.blocksReleased - released, blocksGiven);
    EXPECT_TRUE(cache_.faults.empty()) << Describe(cache_.faults);
    EXPECT_TRUE(cache_.live.empty());
    EXPECT_EQ(cache_.unflushedDraws, 0) << "the pass must end with its draws issued";
  }
  cache_.onDraw = nullptr;
  cache_.failBeginBlock.reset();
  EXPECT_EQ(Draw(anyWedge_, 0), static_cast<int>(CollectLeaves(roam_->tree).size()));
}

}  // namespace
