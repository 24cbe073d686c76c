#include "cabtt/cabtt_controls.h"

#include <gtest/gtest.h>

#include "aggregate/aggregation_builder.h"
#include "app/camera.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "support/cabtt_invariants.h"
#include "support/cabtt_test_fixture.h"

namespace {

class CabttControlsTest : public CabttTest {
 protected:
  CabttControlsTest() { n_ = 5; }
};

TEST_F(CabttControlsTest, LevelKeysRebuildWithinZeroToNOnly) {
  Start(5);
  Frame({0.5f, 0.5f, 0.1f});
  CabttKeyHandler('>', 0, 0);  // already at n
  EXPECT_EQ(AggregationLevel, 5);
  EXPECT_EQ(cache_->initCalls, 1);
  FakeAggregationBuilder* coarser = InstallFakeBuilder(4, true);
  Flight.moved = false;
  CabttKeyHandler('<', 3, 4);
  EXPECT_EQ(AggregationLevel, 4);
  EXPECT_EQ(CurrentAggregationBuilder, coarser);
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_EQ(cache_->blockVertices, 153);
  EXPECT_EQ(cache_->maxIndices, 768);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(CabttTravel, -1024.0f);
  EXPECT_TRUE(Flight.moved);  // the rebuilt tree must be drawn
  InstallFakeBuilder(0, true);
  RebuildCabtt(0, true);
  CabttKeyHandler('<', 0, 0);
  EXPECT_EQ(AggregationLevel, 0);
  EXPECT_EQ(cache_->initCalls, 3);
}

TEST_F(CabttControlsTest, SlashTogglesTheBuilderKindAtTheSameLevel) {
  Start(2, true);
  CabttCounters.splits = 7;
  FakeAggregationBuilder* uniform = InstallFakeBuilder(2, false);
  CabttKeyHandler('/', 0, 0);
  EXPECT_FALSE(AdaptiveAggregation);
  EXPECT_EQ(AggregationLevel, 2);
  EXPECT_EQ(CurrentAggregationBuilder, uniform);
  EXPECT_EQ(cache_->initCalls, 2);
  EXPECT_EQ(CabttCounters.splits, 7u);  // counters run on across rebuilds
  EXPECT_TRUE(CabttInvariantViolations(cache_).empty());
}

TEST_F(CabttControlsTest, EveryKeyGoesOnToTheGeneralHandler) {
  Start(2);
  ASSERT_EQ(WireframeMode, 0);
  CabttKeyHandler('w', 0, 0);
  EXPECT_EQ(WireframeMode, 1);
  EXPECT_EQ(cache_->initCalls, 1);
}

// The sub-triangles per aggregate triangle are CABTT's own: the frame statistics' triangles also
// hold what the other method drew since the last reset. Counters run past 32 bits in a long flight.
TEST_F(CabttControlsTest, StatisticsArePrintedPerFrameAndReset) {
  CaptureTerrainLog();
  Stats.frames = 4;
  Stats.triangles = 5000.0;
  CabttCounters = {10'000'000'000, 3, 21, 9, 2, 12, 300};
  PrintCabttStats();
  EXPECT_EQ(ReadTerrainLog(),
            "2500000000.00 merge tests, 0.75 merges, 5.25 split tests, 2.25 splits, 0.50 force splits per frame\n"
            "3.00 aggregate tris per frame, 25.00 sub-triangles per aggregate tri\n");
  ResetCabttStats();
  EXPECT_EQ(CabttCounters.mergeTests + CabttCounters.merges + CabttCounters.splitTests + CabttCounters.splits +
                CabttCounters.forceSplits + CabttCounters.aggregateTrianglesDrawn + CabttCounters.subTrianglesDrawn,
            0u);
}

TEST_F(CabttControlsTest, StatisticsWithNothingCountedPrintZeros) {
  CaptureTerrainLog();
  Stats.frames = 0;
  Stats.triangles = 0.0;
  CabttCounters = {5, 0, 0, 0, 0, 0, 0};
  PrintCabttStats();
  EXPECT_EQ(ReadTerrainLog(),
            "0.00 merge tests, 0.00 merges, 0.00 split tests, 0.00 splits, 0.00 force splits per frame\n"
            "0.00 aggregate tris per frame, 0.00 sub-triangles per aggregate tri\n");
}

}  // namespace
