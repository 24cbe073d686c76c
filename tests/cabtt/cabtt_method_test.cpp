// CabttMethod as the frame loop drives it: activation, the level and kind keys, rebuilds and
// deactivation, the statistics, and the failures it hands back.
#include "cabtt/cabtt_method.h"

#include <gtest/gtest.h>

#include <string>

#include "cabtt_world.h"

namespace {

class CabttMethodTest : public CabttTest {
 protected:
  CabttMethodTest() : CabttTest(5) {}
  float Travel() const { return method_->tree().policy.Travel(); }
};

TEST_F(CabttMethodTest, ActivationFilesOnlyRootZerosTopTriangleAndSizesTheCache) {
  Start(4, true, {0.25f, 0.75f, 0.5f});
  const CabttTree& tree = method_->tree();
  ASSERT_EQ(tree.splitQueue().Size(), 1u);
  EXPECT_EQ(tree.splitQueue().AllEntries().begin()->second, tree.root(0).Top());
  EXPECT_TRUE(tree.mergeQueue().Empty());
  EXPECT_EQ(Travel(), -1024.0f);
  EXPECT_EQ(cache_->blockVertices, 153);  // (2^4 + 1)(2^4 + 2) / 2
  EXPECT_EQ(cache_->maxIndices, 768);     // 3 x 4^4
  EXPECT_EQ(cache_->initCalls, 1);
  EXPECT_EQ(builderRequests_, (std::vector<std::pair<int, bool>>{{4, true}}));
  EXPECT_EQ(Check(), "");
}

class SmallTerrainTest : public CabttTest {
 protected:
  SmallTerrainTest() : CabttTest(2) {}
};

TEST_F(SmallTerrainTest, TheLevelIsClampedToTheGridExponent) {
  EXPECT_EQ(method_->level(), CabttMethod::kDefaultLevel);
  Start(4);
  EXPECT_EQ(method_->level(), 2);
  EXPECT_EQ(builderRequests_.back(), std::make_pair(2, true));
  EXPECT_EQ(cache_->blockVertices, 15);
  EXPECT_EQ(cache_->maxIndices, 48);
  ASSERT_TRUE(method_->Rebuild(9, true, View({0.5f, 0.5f, 0.1f})).ok());
  EXPECT_EQ(method_->level(), 2);
  ASSERT_TRUE(method_->Rebuild(-3, true, View({0.5f, 0.5f, 0.1f})).ok());
  EXPECT_EQ(method_->level(), 0);
  EXPECT_EQ(builderRequests_.back(), std::make_pair(0, true));
  EXPECT_EQ(Check(), "");
}

// At level n the top triangles are finest and nothing is queued; '<' and '>' stay within 0..n, '/'
// toggles the kind at the same level, each a complete rebuild under which the counters run on.
TEST_F(CabttMethodTest, KeysRebuildWithinZeroToNAndToggleTheKind) {
  const FrameView view = View({0.5f, 0.5f, 0.1f});
  Start(5);
  EXPECT_EQ(method_->tree().root(0).Top()->splitVertex, -1);
  EXPECT_EQ(method_->tree().root(1).Top()->splitVertex, -1);
  EXPECT_TRUE(method_->tree().splitQueue().Empty());
  EXPECT_EQ(cache_->blockVertices, 33 * 34 / 2);
  Frame(view.eye);
  const auto press = [&](unsigned char key) {
    const Result<bool> handled = method_->HandleKey(key, view);
    EXPECT_TRUE(handled.ok());
    return handled.ok() && handled.value();
  };
  EXPECT_FALSE(press('>'));  // already at n
  EXPECT_EQ(method_->level(), 5);
  EXPECT_EQ(cache_->initCalls, 1);

  method_->Counters().splits = 7;
  EXPECT_TRUE(press('<'));  // the picture changes although the camera does not
  EXPECT_EQ(method_->level(), 4);
  EXPECT_EQ(builderRequests_.back(), std::make_pair(4, true));
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_EQ(cache_->blockVertices, 153);
  EXPECT_EQ(cache_->maxIndices, 768);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(Travel(), -1024.0f);
  EXPECT_EQ(Check(), "");

  EXPECT_TRUE(press('/'));
  EXPECT_FALSE(method_->adaptive());
  EXPECT_EQ(method_->level(), 4);
  EXPECT_FALSE(method_->builder()->IsAdaptive());
  EXPECT_EQ(builderRequests_.back(), std::make_pair(4, false));
  EXPECT_EQ(cache_->initCalls, 3);
  EXPECT_EQ(method_->Counters().splits, 7u);
  EXPECT_FALSE(press('w'));  // not the method's
  EXPECT_EQ(cache_->initCalls, 3);

  ASSERT_TRUE(method_->Rebuild(0, false, view).ok());
  EXPECT_FALSE(press('<'));
  EXPECT_EQ(method_->level(), 0);
  EXPECT_EQ(cache_->initCalls, 4);
}

// A block is drawn with 16-bit indices: level 9 blocks hold more vertices than they reach.
class LargeTerrainTest : public CabttTest {
 protected:
  LargeTerrainTest() : CabttTest(9) {}
};

TEST_F(LargeTerrainTest, TheGreaterKeyRefusesLevelsPast16BitIndices) {
  EXPECT_TRUE(LevelFitsIndexRange(8));
  EXPECT_FALSE(LevelFitsIndexRange(9));
  Start(8);
  log_.log.clear();
  log_.console.clear();
  const Result<bool> handled = method_->HandleKey('>', View({0.5f, 0.5f, 0.1f}));
  ASSERT_TRUE(handled.ok());
  EXPECT_FALSE(handled.value());
  EXPECT_EQ(method_->level(), 8);
  EXPECT_EQ(cache_->initCalls, 1);
  const std::string refusal =
      "Aggregation level 9 needs more vertices per block than 16-bit indices reach: staying at level 8\n";
  EXPECT_EQ(log_.log, refusal);
  EXPECT_EQ(log_.console, refusal);
}

// A rebuild at the same level and kind, and a reactivation, keep the builder with its error grid;
// the tree starts afresh from the new eye. Deactivation gives every block back, once.
TEST_F(CabttMethodTest, RebuildAndReactivationKeepTheBuilderLevelKindAndCounters) {
  Start(3, false);
  Frame({0.3f, 0.4f, 0.05f});
  ASSERT_GT(cache_->live.size(), 0u);
  const AggregationBuilder* builder = method_->builder();
  ASSERT_TRUE(method_->Rebuild(3, false, View({0.6f, 0.1f, 0.2f})).ok());
  EXPECT_EQ(method_->builder(), builder);
  EXPECT_TRUE(cache_->live.empty());
  EXPECT_EQ(cache_->shutdownCalls, 1);
  EXPECT_EQ(cache_->initCalls, 2);
  EXPECT_EQ(Travel(), -1024.0f);
  EXPECT_EQ(method_->tree().splitQueue().Size(), 1u);
  EXPECT_TRUE(method_->tree().mergeQueue().Empty());

  Frame({0.5f, 0.5f, 0.05f});
  const uint64_t splits = method_->Counters().splits;
  ASSERT_GT(splits, 0u);
  ASSERT_GT(cache_->live.size(), 2u);
  method_->Deactivate();
  EXPECT_FALSE(method_->tree().Started());
  EXPECT_EQ(Check(), "");  // no live block is left without its leaf
  EXPECT_EQ(cache_->shutdownCalls, 2);
  EXPECT_EQ(cache_->blocksReleased, cache_->blocksBuilt);
  method_->Deactivate();  // a second deactivation touches nothing
  EXPECT_EQ(cache_->shutdownCalls, 2);
  ASSERT_TRUE(method_->Activate(View({0.5f, 0.5f, 0.05f})).ok());
  EXPECT_EQ(method_->level(), 3);
  EXPECT_FALSE(method_->adaptive());
  EXPECT_EQ(method_->builder(), builder);
  EXPECT_EQ(builderRequests_.size(), 1u);
  EXPECT_EQ(method_->Counters().splits, splits);
}

// The sub-triangles per aggregate triangle are CABTT's own: the frame statistics' triangles also
// hold what the other method drew since the last reset. The counters run past 32 bits.
TEST_F(CabttMethodTest, StatisticsArePrintedPerFrameAndReset) {
  BufferLogSink out;
  FrameStats stats;
  stats.frames = 4;
  stats.triangles = 5000.0;
  method_->Counters() = {10'000'000'000, 3, 21, 9, 2, 12, 300};
  method_->PrintStats(out, stats);
  EXPECT_EQ(out.log,
            "2500000000.00 merge tests, 0.75 merges, 5.25 split tests, 2.25 splits, 0.50 force splits per frame\n"
            "3.00 aggregate tris per frame, 25.00 sub-triangles per aggregate tri\n");
  EXPECT_EQ(out.console, "");
  method_->ResetStats();
  const MethodCounters& c = method_->Counters();
  EXPECT_EQ(c.mergeTests + c.merges + c.splitTests + c.splits + c.forceSplits + c.aggregateTrianglesDrawn +
                c.subTrianglesDrawn,
            0u);

  out.log.clear();
  stats = {};
  method_->Counters().mergeTests = 5;
  method_->PrintStats(out, stats);
  EXPECT_EQ(out.log,
            "0.00 merge tests, 0.00 merges, 0.00 split tests, 0.00 splits, 0.00 force splits per frame\n"
            "0.00 aggregate tris per frame, 0.00 sub-triangles per aggregate tri\n");
}

TEST_F(CabttMethodTest, FailuresOfTheBuilderAndTheCacheComeBackAsTheyAre) {
  const Failure refused{"Out of memory for the aggregate error grid (9 entries)\n", Channel::kConsole, 2};
  CabttMethod method(*terrain_, {CacheKind::kSystemMemory, [] { return std::make_unique<RecordingCache>(); }}, log_,
                     [&refused](int, bool) -> Result<std::unique_ptr<AggregationBuilder>> { return refused; });
  const Status activated = method.Activate(View({0.5f, 0.5f, 0.1f}));
  ASSERT_FALSE(activated.ok());
  EXPECT_EQ(activated.failure().message, refused.message);
  EXPECT_EQ(activated.failure().exitStatus, 2);

  Start(2);
  cache_->failBeginBlock = Failure{"no block\n", Channel::kConsole, 2};
  const Status drawn = method_->Draw(View({0.5f, 0.5f, 0.05f}), stats_);
  ASSERT_FALSE(drawn.ok());
  EXPECT_EQ(drawn.failure().message, "no block\n");
  EXPECT_EQ(Check(), "");  // the blocks drawn before the failure are held by their leaves
}

}  // namespace
