// CABTT's drawing: which blocks are built and by whom, what they are booked at, what the view
// wedge releases, the GL state of each wireframe pass, and the camera it draws from.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

#include "cabtt_world.h"
#include "support/bintree_invariants.h"
#include "support/gl_pass_state.h"

namespace {

void LeavesBelow(const CabttNode* t, std::vector<const CabttNode*>& out) {
  if (t->IsLeaf()) {
    out.push_back(t);
    return;
  }
  LeavesBelow(t->LeftChild(), out);
  LeavesBelow(t->RightChild(), out);
}

std::vector<const CabttNode*> LeavesOfRoot(const CabttTree& tree, int root) {
  std::vector<const CabttNode*> out;
  LeavesBelow(tree.root(root).Top(), out);
  return out;
}

class LevelNTest : public CabttTest {
 protected:
  LevelNTest() : CabttTest(4) {}
};

// 12 bytes per booked vertex of a new block, (t + 3 x 4^L) / 2 + 1 of them, and 6 bytes of
// indices per sub-triangle drawn.
TEST_F(LevelNTest, FinestTopTrianglesAreBuiltAtFullResolutionAndBookedOnce) {
  Start(4, true);
  Frame({0.5f, 0.5f, 0.3f});
  EXPECT_EQ(method_->Counters().aggregateTrianglesDrawn, 2u);
  EXPECT_EQ(Fake().generateCalls, 0);  // adaptive, yet the lattice is used
  EXPECT_EQ(stats_.triangles, 512.0);
  EXPECT_EQ(stats_.bytes, 2 * 12.0 * 513 + 2 * 6.0 * 256);
  for (const auto& [handle, block] : cache_->live) {
    EXPECT_EQ(block.indexCount, 768);
    EXPECT_EQ(block.vertexCount, 153);
  }
  Frame({0.5f, 0.5f, 0.3f}, 1.0f);
  EXPECT_EQ(cache_->blocksBuilt, 2);
  EXPECT_EQ(cache_->blocksRedrawn, 2);
  EXPECT_EQ(stats_.bytes, 2 * 12.0 * 513 + 4 * 6.0 * 256);
}

TEST_F(CabttTest, BuiltBlocksUseTheBuilderExceptAtTheFinestSize) {
  scale_ = 3.0f;
  cullingLevel_ = 0;
  Start(2, true);
  double expectedBytes = 0.0;
  int builtByBuilder = 0;
  cache_->onDraw = [&](BlockHandle handle, bool built) {
    const int t = cache_->live.at(handle).indexCount / 3;
    if (built) {
      expectedBytes += 12.0 * (((t + 48) >> 1) + 1);
      if (t < 16) ++builtByBuilder;  // the fake writes fewer than 4^L
    }
    expectedBytes += 6.0 * t;
  };
  Frame({0.3f, 0.3f, 0.02f});
  Frame({0.31f, 0.3f, 0.02f});
  EXPECT_EQ(stats_.bytes, expectedBytes);
  EXPECT_EQ(builtByBuilder, Fake().generateCalls);
  int finest = 0;
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(method_->tree())) {
    ASSERT_NE(leaf.node->leaf.block, kNoBlock);
    if (leaf.node->splitVertex == -1) {
      ++finest;
      EXPECT_EQ(leaf.node->leaf.subTriangles, 16);
    } else {
      EXPECT_LT(leaf.node->leaf.subTriangles, 16);
    }
  }
  EXPECT_GT(finest, 0);
  EXPECT_GT(Fake().generateCalls, 0);
}

TEST_F(CabttTest, ATurnReleasesTheBlocksLeftBehindAndTurningBackRebuildsThem) {
  const Point3 eye = {0.5f, 0.5f, 0.03f};
  Start(1, true, eye);
  Frame(eye, 0.0f);  // looking along +x
  const int half = field().N / 2;
  const auto ahead = [this, half](const TreeLeaf<CabttNode>& leaf) {
    for (VertexId v : {leaf.left, leaf.right, leaf.apex})
      if (field().GridX(v) <= half) return false;
    return true;
  };
  std::set<const CabttNode*> aheadLeaves;  // in front of the eye and drawn
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(method_->tree()))
    if (ahead(leaf) && leaf.node->leaf.block != kNoBlock) aheadLeaves.insert(leaf.node);
  ASSERT_GT(aheadLeaves.size(), 5u);
  const int64_t builtBefore = cache_->blocksBuilt;
  Frame(eye, 3.14159265f);  // now those leaves lie behind the eye
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(method_->tree())) {
    if (ahead(leaf)) {
      EXPECT_EQ(leaf.node->leaf.block, kNoBlock);
    }
  }
  EXPECT_EQ(Check(), "");
  const int64_t builtTurned = cache_->blocksBuilt;
  Frame(eye, 0.0f);  // the tree does not depend on the heading, so the leaves are the same
  for (const CabttNode* leaf : aheadLeaves) EXPECT_NE(leaf->leaf.block, kNoBlock);
  EXPECT_GE(cache_->blocksBuilt - builtTurned, static_cast<int64_t>(aheadLeaves.size()));
  EXPECT_GT(builtTurned, builtBefore);
}

TEST_F(CabttTest, TheCullingLevelSetsHowDeepTheWedgeIsTested) {
  // Looking up and to the left from near the top-left corner: root 1's top triangle (the
  // lower-right half of the terrain) lies wholly behind the eye.
  const Point3 eye = {0.2f, 0.9f, 0.05f};
  const float heading = 3.0f * 3.14159265f / 4.0f;
  Start(1, true, eye);
  cullingLevel_ = 0;
  Frame(eye, heading);
  for (const TreeLeaf<CabttNode>& leaf : CollectLeaves(method_->tree())) EXPECT_NE(leaf.node->leaf.block, kNoBlock);
  cullingLevel_ = 1;
  Frame(eye, heading);
  for (const CabttNode* leaf : LeavesOfRoot(method_->tree(), 1)) EXPECT_EQ(leaf->leaf.block, kNoBlock);
  // One level of tests cannot cut into root 0's half, which the wedge only partly covers.
  for (const CabttNode* leaf : LeavesOfRoot(method_->tree(), 0)) EXPECT_NE(leaf->leaf.block, kNoBlock);
  cullingLevel_ = 30;
  Frame(eye, heading);
  int culledInFront = 0;
  for (const CabttNode* leaf : LeavesOfRoot(method_->tree(), 0)) culledInFront += leaf->leaf.block == kNoBlock;
  EXPECT_GT(culledInFront, 0);
  EXPECT_EQ(Check(), "");
}

constexpr std::array<GLfloat, 4> kBlack = {0, 0, 0, 1};
constexpr std::array<GLfloat, 4> kWhite = {1, 1, 1, 1};

class CabttPassTest : public CabttTest {
 protected:
  // Draws one frame in the mode, from the opposite of the state its first pass wants, and returns
  // the state at every block drawn.
  std::vector<PassState> DrawInMode(int mode) {
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(3.0f);
    glColor4f(0.2f, 0.4f, 0.6f, 0.8f);
    glPolygonMode(GL_FRONT, mode == 3 ? GL_FILL : GL_LINE);
    glPolygonOffset(1.0f, 1.0f);
    mode == 0 || mode == 1 ? glDisable(GL_TEXTURE_2D) : glEnable(GL_TEXTURE_2D);
    wireframeMode_ = mode;
    std::vector<PassState> states;
    cache_->onDraw = [&states](BlockHandle, bool) { states.push_back(CurrentPassState()); };
    Frame({0.5f, 0.2f, 0.04f}, 1.5708f);
    cache_->onDraw = nullptr;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    return states;
  }
};

TEST_F(CabttPassTest, EachWireframeModeDrawsItsPassesInItsState) {
  Start(2, true, {0.5f, 0.2f, 0.04f});
  const size_t leaves = DrawInMode(0).size();
  ASSERT_GT(leaves, 4u);
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    const std::vector<PassState> states = DrawInMode(mode);
    const bool twoPasses = mode == 1 || mode == 2;
    ASSERT_EQ(states.size(), twoPasses ? 2 * leaves : leaves);
    const PassState& first = states.front();
    const PassState& second = states.back();
    EXPECT_FALSE(first.lineSmooth);
    EXPECT_EQ(first.lineWidth, 1.0f);
    switch (mode) {
      case 0:
        EXPECT_TRUE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_FALSE(first.lineOffset);
        break;
      // The lines of the second pass are pulled towards the eye (negative offset units), or the
      // surface drawn first hides them.
      case 1:
        EXPECT_TRUE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_EQ(first.colour, kBlack);
        EXPECT_FALSE(second.texture);
        EXPECT_EQ(second.frontMode, GL_LINE);
        break;
      case 2:
        EXPECT_FALSE(first.texture);
        EXPECT_EQ(first.frontMode, GL_FILL);
        EXPECT_EQ(first.colour, kWhite);
        EXPECT_FALSE(second.texture);
        EXPECT_EQ(second.frontMode, GL_LINE);
        EXPECT_EQ(second.colour, kBlack);
        break;
      case 3:
        EXPECT_FALSE(first.texture);
        EXPECT_EQ(first.frontMode, GL_LINE);
        EXPECT_FALSE(first.lineOffset);
        EXPECT_EQ(first.colour, kBlack);
        break;
    }
    if (twoPasses) {
      EXPECT_TRUE(second.lineOffset);
      EXPECT_EQ(second.offsetFactor, 0.0f);
      EXPECT_EQ(second.offsetUnits, -4.0f);
    }
    // Within a pass the state does not change.
    for (size_t i = 0; i < leaves; ++i) EXPECT_EQ(states[i].frontMode, first.frontMode) << i;
    for (size_t i = leaves; i < states.size(); ++i) EXPECT_EQ(states[i].frontMode, second.frontMode) << i;
  }
}

// The picture is drawn from the frame's camera; the tree is refined for camera 0's eye.
TEST_F(CabttTest, TheViewFollowsTheDrawingCameraWhileRefinementFollowsTheEye) {
  const CameraView overhead = {{0.5f, 0.5f, 30.0f}, {0.5f, 0.5f, 0.0f}, 1.9f, {0.0f, 1.0f, 0.0f}};
  Start(3, true, overhead.eye);
  Frame(overhead.eye);
  ASSERT_EQ(method_->Counters().splits, 0u) << "from the overhead camera nothing needs splitting";
  method_->Deactivate();

  const Point3 eye = {0.35f, 0.3f, 0.05f};
  Start(3, true, eye);
  FrameView view = View(eye);
  view.camera = overhead;
  ASSERT_TRUE(method_->Draw(view, stats_).ok());
  EXPECT_GT(method_->Counters().splits, 0u);
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_NEAR(m[12], -0.5f, 1e-5);
  EXPECT_NEAR(m[13], -0.5f, 1e-5);
  EXPECT_NEAR(m[14], -30.0f, 1e-4);
}

}  // namespace
