// The video-memory cache's slot recycling: released blocks pending until the fence of their latest
// draw, streaming without waits, waiting when the range is full, and running out of slots.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

#include "cache/video_memory_cache.h"
#include "cache_stress.h"
#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

using Probe = VideoMemoryCacheProbe;

class VideoMemoryFenceTest : public CacheGLTest {
 protected:
  void TearDown() override {
    if (Probe::IntervalCount(cache) != 0) cache.Shutdown();  // between Init and Shutdown
    EXPECT_EQ(env.nv.OutstandingGrants(), 0);
    EXPECT_EQ(cache.StorageInUse(), 0);
    CacheGLTest::TearDown();
  }

  // A block of no indices (its EndBlock still counts as a draw).
  int Begin() {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    EXPECT_TRUE(cache.BeginBlock(&vertices, &indices).ok());
    return static_cast<int>(cache.EndBlock(0, 0));
  }

  VideoMemoryCache cache{env.nv, env.log, env.allocator.Make()};
};

// Blocks streamed through (built, drawn once, released), the GPU at once or some intervals late:
// the cache settles on a fixed number of slots and never has to wait.
TEST_F(VideoMemoryFenceTest, StreamedBlocksSettleOnAFixedNumberOfSlotsWithoutWaiting) {
  for (int lag : {0, 3}) {
    env.nv.SetFenceLag(lag);
    ASSERT_TRUE(cache.Init(1024, 3066).ok());
    for (int i = 0; i < 3000; ++i) cache.ReleaseBlock(Begin());
    const int settled = Probe::BlockCount(cache);
    for (int i = 0; i < 20000; ++i) cache.ReleaseBlock(Begin());
    EXPECT_EQ(Probe::BlockCount(cache), settled) << "lag " << lag;
    EXPECT_TRUE(env.nv.fencesFinished.empty()) << "lag " << lag;
    EXPECT_TRUE(Probe::CheckMembership(cache, {}));
    cache.Shutdown();
  }
}

TEST_F(VideoMemoryFenceTest, FullRangeWithOnlyTheOpenIntervalClosesItWaitsAndFailsWhenNothingIsFreed) {
  env.nv.HoldFences();
  env.nv.RefuseAbove(4 * 12288);  // four slots
  ASSERT_TRUE(cache.Init(1024, 3066).ok());
  for (int i = 0; i < 4; ++i) Begin();
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache.BeginBlock(&vertices, &indices);
  EXPECT_EQ(env.nv.fencesSet, std::vector<GLuint>{1});
  EXPECT_EQ(env.nv.fencesFinished, std::vector<GLuint>{1});
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.failure().message, "Ran out of video memory.\n");
  EXPECT_EQ(begun.failure().channel, Channel::kLog);
  EXPECT_EQ(begun.failure().exitStatus, 1);
  EXPECT_TRUE(Probe::CheckMembership(cache, {0, 1, 2, 3}));
  cache.ReleaseBlock(2);  // its interval is retired: free at once
  EXPECT_EQ(Begin(), 2);
  EXPECT_TRUE(Probe::CheckMembership(cache, {0, 1, 2, 3}));
}

// Random calls on a range of 16 slots with a fence every 8 draws, fences completing only at
// random or when waited for: a slot is never handed out before the fence of its latest draw.
TEST_F(VideoMemoryFenceTest, RandomCallsNeverHandOutASlotBeforeTheFenceOfItsLatestDraw) {
  constexpr int kBlockVertices = 16384;
  env.nv.RefuseAbove(16 * kBlockVertices * 12);
  env.nv.HoldFences();
  CacheStress stress(cache, env.allocator, 20240612, [this](std::mt19937& random) {
    if (!env.nv.fencesSet.empty())
      env.nv.CompleteFencesThrough(std::uniform_int_distribution<GLuint>(1, env.nv.fencesSet.back())(random));
  });
  // Fence names run 1, 2, 3, ... in the order set, one per interval: a draw's interval will be
  // closed by the next fence set after it.
  GLuint drawFence = 0;
  stress.beforeDraw = [&] { drawFence = static_cast<GLuint>(env.nv.fencesSet.size()) + 1; };
  for (int session = 0; session < 3; ++session) {
    std::map<BlockHandle, GLuint> lastDrawFence;
    const size_t waitsBefore = env.nv.fencesFinished.size();
    ASSERT_TRUE(stress.Start(kBlockVertices, std::uniform_int_distribution<int>(6, 300)(stress.random())).ok());
    ASSERT_EQ(Probe::BlockCapacity(cache), 16);
    for (int step = 0; step < 4000; ++step) {
      ASSERT_TRUE(stress.Step()) << "step " << step;
      const BlockHandle block = stress.lastBlock();
      if (stress.lastAction() == CacheStress::Action::kBuild) {
        auto previous = lastDrawFence.find(block);
        if (previous != lastDrawFence.end()) {
          ASSERT_TRUE(env.nv.FenceComplete(previous->second))
              << "slot " << block << " reused before fence " << previous->second << ", step " << step;
        }
      }
      if (stress.lastAction() == CacheStress::Action::kBuild || stress.lastAction() == CacheStress::Action::kRedraw)
        lastDrawFence[block] = drawFence;
      std::set<int> live;
      for (BlockHandle handle : stress.history().LiveHandles()) live.insert(static_cast<int>(handle));
      ASSERT_TRUE(Probe::CheckMembership(cache, live)) << "step " << step;
    }
    EXPECT_GT(env.nv.fencesFinished.size(), waitsBefore) << "the range never filled up: the waits went untested";
    stress.Stop();
    EXPECT_EQ(env.nv.OutstandingGrants(), 0);
  }
}

}  // namespace
