// The video-memory cache's slot recycling: intervals of draws closed by fences, released blocks
// pending until the fence of their latest draw, the order of the sources of a new slot, and
// running out of slots.
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

  // A range of this many 12 KiB slots.
  void InitWithSlots(int slots) {
    env.nv.RefuseAbove(slots * 12288);
    ASSERT_TRUE(cache.Init(1024, 3066).ok());
    ASSERT_EQ(Probe::BlockCapacity(cache), slots);
  }

  // A block of no indices (its EndBlock still counts as a draw).
  int Begin() {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    EXPECT_TRUE(cache.BeginBlock(&vertices, &indices).ok());
    return static_cast<int>(cache.EndBlock(0, 0));
  }

  void Redraw(int block, int times) {
    for (int i = 0; i < times; ++i) cache.DrawBlock(block);
  }

  VideoMemoryCache cache{env.nv, env.log, env.allocator.Make()};
};

TEST_F(VideoMemoryFenceTest, AFenceClosesEveryIntervalOfDrawsOfTwoMebibytesOfSlots) {
  const struct {
    int blockVertices, drawsPerFence;
  } sizes[] = {{1024, 128}, {45, 2912}, {65536, 2}};
  for (const auto& size : sizes) {
    SCOPED_TRACE(size.blockVertices);
    FakeNvPlatform nv;
    NullLogSink log;
    nv.HoldFences();
    VideoMemoryCache sized(nv, log);
    ASSERT_TRUE(sized.Init(size.blockVertices, 3).ok());
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    ASSERT_TRUE(sized.BeginBlock(&vertices, &indices).ok());
    const BlockHandle block = sized.EndBlock(0, 0);
    for (int draw = 2; draw <= 3 * size.drawsPerFence; ++draw) {
      sized.DrawBlock(block);
      ASSERT_EQ(nv.fencesSet.size(), static_cast<size_t>(draw / size.drawsPerFence)) << "draw " << draw;
    }
    EXPECT_EQ(Probe::IntervalCount(sized), 4);  // no fence completed: three closed, one open
    sized.Shutdown();
    EXPECT_EQ(nv.fencesDeleted, nv.fencesSet);
    EXPECT_EQ(nv.misuses, 0);
  }
}

TEST_F(VideoMemoryFenceTest, ReleasedBlockWaitsForTheFenceOfItsLatestDraw) {
  env.nv.HoldFences();
  ASSERT_TRUE(cache.Init(1024, 3066).ok());
  const int block = Begin();
  Redraw(block, 127);      // interval 0 closed
  cache.DrawBlock(block);  // drawn again in interval 1
  Redraw(Begin(), 126);    // interval 1 closed
  ASSERT_EQ(env.nv.fencesSet.size(), 2u);
  cache.ReleaseBlock(block);
  env.nv.CompleteFencesThrough(env.nv.fencesSet[0]);
  EXPECT_NE(Begin(), block) << "handed out while its latest draw may still be read";
  env.nv.CompleteFencesThrough(env.nv.fencesSet[1]);
  EXPECT_EQ(Begin(), block);
  EXPECT_EQ(env.nv.fencesDeleted, env.nv.fencesSet);
  EXPECT_TRUE(env.nv.fencesFinished.empty()) << "free slots were left: nobody needed to wait";
}

TEST_F(VideoMemoryFenceTest, BlockReleasedAfterItsIntervalRetiredIsFreeAtOnce) {
  ASSERT_TRUE(cache.Init(1024, 3066).ok());  // fences complete at once
  const int early = Begin();
  Redraw(Begin(), 126);  // interval 0 closed
  Begin();               // retires interval 0, takes a new slot
  ASSERT_EQ(Probe::RetiredIntervals(cache), 1);
  cache.ReleaseBlock(early);
  EXPECT_EQ(Probe::FreeList(cache), std::vector<int>{early});
  EXPECT_EQ(Begin(), early);
}

TEST_F(VideoMemoryFenceTest, StreamedBlocksSettleOnABoundedNumberOfSlotsWithoutWaiting) {
  ASSERT_TRUE(cache.Init(1024, 3066).ok());  // fences complete at once: one interval's worth
  for (int i = 0; i < 5000; ++i) cache.ReleaseBlock(Begin());
  EXPECT_EQ(Probe::BlockCount(cache), 128);
  EXPECT_TRUE(Probe::CheckMembership(cache, {}));
  cache.Shutdown();

  env.nv.SetFenceLag(3);  // the GPU finishes three intervals late
  ASSERT_TRUE(cache.Init(1024, 3066).ok());
  for (int i = 0; i < 3000; ++i) cache.ReleaseBlock(Begin());
  const int settled = Probe::BlockCount(cache);
  for (int i = 0; i < 20000; ++i) cache.ReleaseBlock(Begin());
  EXPECT_EQ(Probe::BlockCount(cache), settled);
  EXPECT_GT(settled, 128 * 3);
  EXPECT_LE(settled, 128 * 5);
  EXPECT_TRUE(env.nv.fencesFinished.empty()) << "never-used slots cover the lag";
  EXPECT_TRUE(Probe::CheckMembership(cache, {}));
}

TEST_F(VideoMemoryFenceTest, FullRangeWaitsForTheOldestIntervalFirst) {
  env.nv.HoldFences();
  InitWithSlots(4);
  const int live = Begin();
  Redraw(live, 127);  // interval 0 closed (fence 1)
  const int a = Begin(), b = Begin(), c = Begin();
  cache.ReleaseBlock(a);  // pending on interval 1, still open
  cache.ReleaseBlock(b);
  cache.ReleaseBlock(c);
  Redraw(live, 125);  // interval 1 closed (fence 2)
  ASSERT_EQ(env.nv.fencesSet.size(), 2u);
  // Every slot exists and none is free: wait for interval 0 (frees nothing), then interval 1.
  EXPECT_EQ(Begin(), c);
  EXPECT_EQ(env.nv.fencesFinished, (std::vector<GLuint>{1, 2}));
  EXPECT_TRUE(Probe::CheckMembership(cache, {live, c}));
}

TEST_F(VideoMemoryFenceTest, FullRangeWithOnlyTheOpenIntervalClosesItAndWaits) {
  env.nv.HoldFences();
  InitWithSlots(4);
  for (int i = 0; i < 4; ++i) cache.ReleaseBlock(Begin());
  ASSERT_TRUE(env.nv.fencesSet.empty());
  EXPECT_EQ(Begin(), 3);
  EXPECT_EQ(env.nv.fencesSet, std::vector<GLuint>{1});
  EXPECT_EQ(env.nv.fencesFinished, std::vector<GLuint>{1});
  EXPECT_EQ(Probe::FreeList(cache), (std::vector<int>{2, 1, 0}));
  EXPECT_TRUE(Probe::CheckMembership(cache, {3}));
}

TEST_F(VideoMemoryFenceTest, EverySlotLiveFailsBeginBlockAndTheCacheGoesOnAfterARelease) {
  env.nv.HoldFences();
  InitWithSlots(4);
  for (int i = 0; i < 4; ++i) Begin();
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache.BeginBlock(&vertices, &indices);
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.failure().message, "Ran out of video memory.\n");
  EXPECT_EQ(begun.failure().channel, Channel::kLog);
  EXPECT_EQ(begun.failure().exitStatus, 1);
  EXPECT_TRUE(Probe::CheckMembership(cache, {0, 1, 2, 3}));
  cache.ReleaseBlock(2);
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
          ASSERT_TRUE(env.nv.FenceComplete(previous->second)) << "slot " << block << " reused too early";
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
