#include "cabtt/cabtt_draw.h"

#include <gtest/gtest.h>

#include <set>

#include "aggregate/block_output.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"

namespace {

class CabttDrawTest : public CabttTest {
 protected:
  // Every leaf below t, with its apex.
  void Leaves(AggregateTriangle* t, std::vector<AggregateTriangle*>& out) {
    if (t->IsLeaf()) {
      out.push_back(t);
      return;
    }
    Leaves(t->LeftChild(), out);
    Leaves(t->RightChild(), out);
  }
  std::vector<AggregateTriangle*> AllLeaves() {
    std::vector<AggregateTriangle*> out;
    Leaves(CabttRoots[0].Top(), out);
    Leaves(CabttRoots[1].Top(), out);
    return out;
  }
};

int Passes = 0;
void CountPass() { ++Passes; }

class LevelNTest : public CabttDrawTest {
 protected:
  LevelNTest() { n_ = 4; }
};

TEST_F(LevelNTest, FinestTopTrianglesAreBuiltAtFullResolutionAndBookedOnce) {
  FakeAggregationBuilder* builder = Start(4, true);
  Frame({0.5f, 0.5f, 0.3f});
  EXPECT_EQ(CabttCounters.aggregateTrianglesDrawn, 2u);
  EXPECT_EQ(builder->generateCalls, 0);  // adaptive, yet the lattice is used
  EXPECT_EQ(Stats.triangles, 512.0);
  EXPECT_EQ(Stats.bytes, 2 * 6156.0 + 2 * 1536.0);
  for (const auto& [handle, block] : cache_->live) {
    EXPECT_EQ(block.indexCount, 768);
    EXPECT_EQ(block.vertexCount, 153);
  }
  Frame({0.5f, 0.5f, 0.3f}, 1.0f);
  EXPECT_EQ(cache_->blocksBuilt, 2);
  EXPECT_EQ(cache_->blocksRedrawn, 2);
  EXPECT_EQ(Stats.bytes, 2 * 6156.0 + 4 * 1536.0);
  EXPECT_EQ(FrameSubTriangles, 0);
}

TEST_F(CabttDrawTest, BuiltBlocksUseTheBuilderExceptAtTheFinestSize) {
  FakeAggregationBuilder* builder = Start(2, true, FakeErrors::kNested, 1, 3.0f);
  CullingLevel = 0;
  double expectedBytes = 0.0;
  int builtByBuilder = 0;
  cache_->onDraw = [&](BlockHandle handle, bool built) {
    const int t = cache_->live.at(handle).indexCount / 3;
    if (built) {
      expectedBytes += 12.0 * (((t + 48) >> 1) + 1);
      if (t < 16) ++builtByBuilder;
    }
    expectedBytes += 6.0 * t;
  };
  Frame({0.3f, 0.3f, 0.02f});
  Frame({0.31f, 0.3f, 0.02f});
  EXPECT_EQ(Stats.bytes, expectedBytes);
  EXPECT_EQ(builtByBuilder, builder->generateCalls);
  EXPECT_EQ(builder->callsWithoutEmit, 0);
  EXPECT_FALSE(EmitVertices);
  int finest = 0;
  for (AggregateTriangle* leaf : AllLeaves()) {
    ASSERT_NE(leaf->block, kNoBlock);
    if (leaf->splitVertex == -1) {
      ++finest;
      EXPECT_EQ(leaf->subTriangles, 16);
    } else {
      EXPECT_LT(leaf->subTriangles, 16);
    }
  }
  EXPECT_GT(finest, 0);
  EXPECT_GT(builder->generateCalls, 0);
}

TEST_F(CabttDrawTest, TheSecondPassRedrawsEveryVisibleLeafFromTheCache) {
  Start(1);
  const Point3 eye = {0.2f, 0.5f, 0.03f};
  Frame(eye);
  const uint32_t onePassLeaves = CabttCounters.aggregateTrianglesDrawn;
  const double onePassTriangles = Stats.triangles;
  ASSERT_GT(onePassLeaves, 10u);
  ResetFrameLoop();
  CabttCounters = {};
  DestroyCabtt();
  ActivateCabtt();
  Passes = 0;
  const int builtBefore = cache_->blocksBuilt;
  Frame(eye, 0.0f, CountPass);
  EXPECT_EQ(Passes, 1);
  EXPECT_EQ(CabttCounters.aggregateTrianglesDrawn, 2 * onePassLeaves);
  EXPECT_EQ(Stats.triangles, 2 * onePassTriangles);
  EXPECT_EQ(cache_->blocksBuilt - builtBefore, static_cast<int>(onePassLeaves));
  EXPECT_EQ(cache_->blocksRedrawn, static_cast<int>(onePassLeaves));
}

TEST_F(CabttDrawTest, ATurnReleasesTheBlocksLeftBehindAndTurningBackRebuildsThem) {
  Start(1);
  const Point3 eye = {0.5f, 0.5f, 0.03f};
  Frame(eye, 0.0f);  // looking along +x
  auto ahead = [](AggregateTriangle* leaf) {
    const HeightField& f = *CurrentHeightField;
    const int half = f.N / 2;
    for (VertexId v : {leaf->leftCorner, leaf->rightCorner, leaf->Apex()}) {
      if (f.GridX(v) <= half) return false;
    }
    return true;
  };
  std::set<AggregateTriangle*> aheadLeaves;  // in front of the eye and drawn
  for (AggregateTriangle* leaf : AllLeaves()) {
    if (ahead(leaf) && leaf->block != kNoBlock) aheadLeaves.insert(leaf);
  }
  ASSERT_GT(aheadLeaves.size(), 5u);
  const int builtBefore = cache_->blocksBuilt;
  Frame(eye, 3.14159265f);  // now those leaves lie behind the eye
  for (AggregateTriangle* leaf : AllLeaves()) {
    if (ahead(leaf)) {
      EXPECT_EQ(leaf->block, kNoBlock);
    }
  }
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_));
  const int builtTurned = cache_->blocksBuilt;
  Frame(eye, 0.0f);  // the tree does not depend on the heading, so the leaves are the same
  for (AggregateTriangle* leaf : aheadLeaves) EXPECT_NE(leaf->block, kNoBlock);
  EXPECT_GE(cache_->blocksBuilt - builtTurned, static_cast<int>(aheadLeaves.size()));
  EXPECT_GT(builtTurned, builtBefore);
}

TEST_F(CabttDrawTest, CullingLevelSetsHowDeepTheWedgeIsTested) {
  Start(1);
  // Looking up and to the left from near the top-left corner: root 1's top triangle (the
  // lower-right half of the terrain) lies wholly behind the eye.
  const Point3 eye = {0.2f, 0.9f, 0.05f};
  const float heading = 3.0f * 3.14159265f / 4.0f;
  CullingLevel = 0;
  Frame(eye, heading);
  std::vector<AggregateTriangle*> behind;
  Leaves(CabttRoots[1].Top(), behind);
  for (AggregateTriangle* leaf : AllLeaves()) EXPECT_NE(leaf->block, kNoBlock);
  CullingLevel = 1;
  Frame(eye, heading);
  for (AggregateTriangle* leaf : behind) EXPECT_EQ(leaf->block, kNoBlock);
  std::vector<AggregateTriangle*> front;
  Leaves(CabttRoots[0].Top(), front);
  // One level of tests cannot cut into root 0's half, which the wedge only partly covers.
  for (AggregateTriangle* leaf : front) EXPECT_NE(leaf->block, kNoBlock);
  CullingLevel = 30;
  Frame(eye, heading);
  int culledInFront = 0;
  for (AggregateTriangle* leaf : front) culledInFront += leaf->block == kNoBlock;
  EXPECT_GT(culledInFront, 0);
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_));
}

}  // namespace
