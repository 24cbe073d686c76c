#include "cabtt/cabtt_tree.h"

#include <gtest/gtest.h>

#include "aggregate/aggregation_builder.h"
#include "app/camera.h"
#include "cabtt/cabtt_state.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"

namespace {

using CabttTreeTest = CabttTest;

TEST_F(CabttTreeTest, SplitVertexIsTheMidpointExceptOnTheDiagonalOfOneCoarseCell) {
  const HeightField& f = *CurrentHeightField;
  AggregationLevel = 2;  // coarse cells of 4 x 4
  EXPECT_EQ(CabttSplitVertex(f.Id(0, 0), f.Id(4, 4)), -1);
  EXPECT_EQ(CabttSplitVertex(f.Id(12, 8), f.Id(8, 12)), -1);  // the other diagonal, reversed
  EXPECT_EQ(CabttSplitVertex(f.Id(8, 4), f.Id(4, 8)), -1);
  EXPECT_EQ(CabttSplitVertex(f.Id(0, 0), f.Id(8, 0)), f.Id(4, 0));
  EXPECT_EQ(CabttSplitVertex(f.Id(8, 8), f.Id(0, 0)), f.Id(4, 4));
  EXPECT_EQ(CabttSplitVertex(f.Id(4, 12), f.Id(12, 4)), f.Id(8, 8));
  AggregationLevel = 0;
  EXPECT_EQ(CabttSplitVertex(f.Id(4, 4), f.Id(12, 4)), f.Id(8, 4));
  EXPECT_EQ(CabttSplitVertex(f.Id(5, 5), f.Id(6, 6)), -1);
  EXPECT_EQ(CabttSplitVertex(f.Id(6, 6), f.Id(6, 8)), f.Id(6, 7));
}

TEST_F(CabttTreeTest, ActivationFilesOnlyRootZerosTopTriangleAndSizesTheCache) {
  Cameras[0].eye = {0.25f, 0.75f, 0.5f};
  Start(4);
  const HeightField& f = *CurrentHeightField;
  ASSERT_NE(CabttRoots, nullptr);
  EXPECT_EQ(CabttSplitQueue.Size(), 1u);
  EXPECT_EQ(CabttSplitQueue.AllEntries().begin()->second, CabttRoots[0].Top());
  EXPECT_TRUE(CabttMergeQueue.Empty());
  EXPECT_EQ(CabttRoots[1].Top()->key, NotQueued);
  EXPECT_EQ(CabttRoots[0].Top()->splitVertex, f.Id(32, 32));
  EXPECT_EQ(CabttRoots[0].node.splitVertex, f.Id(0, 64));
  EXPECT_EQ(CabttRoots[1].node.splitVertex, f.Id(64, 0));
  EXPECT_EQ(CabttRoots[1].topLeftCorner, f.Id(64, 64));
  EXPECT_EQ(CabttTravel, -1024.0f);
  EXPECT_EQ(CabttLastEye.y, 0.75f);
  EXPECT_EQ(cache_->blockVertices, 153);
  EXPECT_EQ(cache_->maxIndices, 768);
  EXPECT_EQ(cache_->initCalls, 1);
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_));
}

TEST_F(CabttTreeTest, AtLevelNTheTopTrianglesAreFinestAndNothingIsQueued) {
  Start(6);
  EXPECT_EQ(CabttRoots[0].Top()->splitVertex, -1);
  EXPECT_EQ(CabttRoots[1].Top()->splitVertex, -1);
  EXPECT_TRUE(CabttSplitQueue.Empty());
  EXPECT_EQ(cache_->blockVertices, 65 * 66 / 2);
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty()) << Describe(CabttInvariantViolations(cache_));
}

class SmallTerrainTest : public CabttTest {
 protected:
  SmallTerrainTest() { n_ = 2; }
};

TEST_F(SmallTerrainTest, LevelIsClampedToTheGridExponent) {
  EXPECT_EQ(AggregationLevel, 4);
  Start(4);  // the fake builder is made for level 2, the clamped level
  EXPECT_EQ(AggregationLevel, 2);
  EXPECT_EQ(cache_->blockVertices, 15);
  EXPECT_EQ(cache_->maxIndices, 48);
  EXPECT_EQ(CabttRoots[0].Top()->splitVertex, -1);
  RebuildCabtt(9, true);
  EXPECT_EQ(AggregationLevel, 2);
  FakeAggregationBuilder* finest = InstallFakeBuilder(0, true);
  RebuildCabtt(-3, true);
  EXPECT_EQ(AggregationLevel, 0);
  EXPECT_EQ(CurrentAggregationBuilder, finest);
}

TEST_F(CabttTreeTest, DestroyReleasesEveryBlockAndShutsTheCacheDown) {
  Start(2);
  Frame({0.5f, 0.5f, 0.05f});
  ASSERT_GT(cache_->live.size(), 2u);
  DestroyCabtt();
  EXPECT_TRUE(CabttTornDownViolations(*cache_).empty()) << Describe(CabttTornDownViolations(*cache_));
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_EQ(cache_->blocksReleased, cache_->blocksBuilt);
  DestroyCabtt();  // a second deactivation touches nothing
  EXPECT_EQ(cache_->shutdownCalls, 1);
}

TEST_F(CabttTreeTest, RebuildAtTheSameLevelKeepsTheBuilderButStartsAfresh) {
  AggregationBuilder* builder = Start(3);
  Frame({0.3f, 0.4f, 0.05f});
  ASSERT_GT(cache_->live.size(), 0u);
  Cameras[0].eye = {0.6f, 0.1f, 0.2f};
  RebuildCabtt(3, true);
  EXPECT_EQ(CurrentAggregationBuilder, builder);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_EQ(cache_->initCalls, 2);
  EXPECT_EQ(CabttTravel, -1024.0f);
  EXPECT_EQ(CabttLastEye.x, 0.6f);
  EXPECT_EQ(CabttSplitQueue.Size(), 1u);
  EXPECT_TRUE(CabttMergeQueue.Empty());
}

TEST_F(CabttTreeTest, DeactivationKeepsLevelKindAndCounters) {
  Start(3, false);
  Frame({0.5f, 0.5f, 0.05f});
  const uint32_t splits = CabttCounters.splits;
  ASSERT_GT(splits, 0u);
  DestroyCabtt();
  ActivateCabtt();
  EXPECT_EQ(AggregationLevel, 3);
  EXPECT_FALSE(AdaptiveAggregation);
  EXPECT_EQ(CabttCounters.splits, splits);
}

}  // namespace
