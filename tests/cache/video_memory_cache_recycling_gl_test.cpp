// The video-memory cache's slot recycling: intervals of drawsPerFence draws, fences, pending
// and free lists, and the order of the sources of a new block.
#include <gtest/gtest.h>

#include "cache/cache_storage.h"
#include "cache/video_memory_cache.h"
#include "support/cache_probe.h"
#include "support/cache_test_fixture.h"

namespace {

using Probe = VideoMemoryCacheProbe;

class VideoMemoryRecyclingTest : public CacheGLTest {
 protected:
  void TearDown() override {
    cache.Shutdown();
    EXPECT_EQ(nv->OutstandingGrants(), 0);
    EXPECT_EQ(CacheStorageInUse(), storageBefore);
    CacheGLTest::TearDown();
  }

  // Limits the range to the given number of 12 KiB slots.
  void InitWithSlots(int slots) {
    nv->RefuseAbove(slots * 12288);
    cache.Init(1024, 3066);
    ASSERT_EQ(Probe::BlockCapacity(cache), slots);
  }

  int Begin() {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    return static_cast<int>(cache.EndBlock(0, 0));
  }

  void Redraw(int block, int times) {
    for (int i = 0; i < times; ++i) cache.DrawBlock(block);
  }

  VideoMemoryCache cache;
};

TEST_F(VideoMemoryRecyclingTest, OneFencePerDrawsPerFenceDraws) {
  nv->HoldFences();
  cache.Init(1024, 3066);
  EXPECT_EQ(Probe::DrawsPerFence(cache), 128);
  const int block = Begin();  // an empty EndBlock counts as a draw
  Redraw(block, 126);
  EXPECT_TRUE(nv->fencesSet.empty());
  Redraw(block, 1);
  EXPECT_EQ(nv->fencesSet.size(), 1u);
  Redraw(block, 127);
  EXPECT_EQ(nv->fencesSet.size(), 1u);
  Redraw(block, 1);
  EXPECT_EQ(nv->fencesSet.size(), 2u);
  EXPECT_EQ(Probe::IntervalCount(cache), 3);
}

TEST_F(VideoMemoryRecyclingTest, CabttBlockSizesCloseAnIntervalEvery2912Draws) {
  nv->HoldFences();
  cache.Init(45, 192);
  const int block = Begin();
  Redraw(block, 2910);
  EXPECT_TRUE(nv->fencesSet.empty());
  Redraw(block, 1);
  EXPECT_EQ(nv->fencesSet.size(), 1u);
}

TEST_F(VideoMemoryRecyclingTest, BlockReleasedInTheOpenIntervalWaitsForItsFence) {
  nv->HoldFences();
  cache.Init(1024, 3066);
  const int released = Begin();
  cache.ReleaseBlock(released);
  const int other = Begin();
  EXPECT_NE(other, released);  // never-used slots come first
  Redraw(other, 126);          // 128 draws: the interval is closed, its fence not yet done
  ASSERT_EQ(nv->fencesSet.size(), 1u);
  const int third = Begin();
  EXPECT_NE(third, released);
  EXPECT_EQ(Probe::BlockCount(cache), 3);
  nv->CompleteFencesThrough(nv->fencesSet[0]);
  EXPECT_EQ(Begin(), released);
  EXPECT_EQ(nv->fencesDeleted, nv->fencesSet);
  EXPECT_TRUE(nv->fencesFinished.empty());  // nobody waited
}

TEST_F(VideoMemoryRecyclingTest, RedrawStampsTheBlockWithTheLaterInterval) {
  nv->HoldFences();
  cache.Init(1024, 3066);
  const int block = Begin();
  Redraw(block, 127);  // interval 0 closed
  cache.DrawBlock(block);  // drawn again in interval 1
  const int filler = Begin();
  Redraw(filler, 126);  // interval 1 closed
  ASSERT_EQ(nv->fencesSet.size(), 2u);
  cache.ReleaseBlock(block);
  nv->CompleteFencesThrough(nv->fencesSet[0]);
  EXPECT_NE(Begin(), block);  // interval 0 done, but the block was last drawn in interval 1
  nv->CompleteFencesThrough(nv->fencesSet[1]);
  EXPECT_EQ(Begin(), block);
}

TEST_F(VideoMemoryRecyclingTest, BlockReleasedAfterItsIntervalRetiredIsTheVeryNextBlock) {
  nv->CompleteFencesAtOnce();
  cache.Init(1024, 3066);
  const int early = Begin();  // stamped with interval 0
  const int filler = Begin();
  Redraw(filler, 126);  // interval 0 closed
  Begin();              // retires interval 0 (nothing pending), takes a new slot
  ASSERT_EQ(Probe::RetiredIntervals(cache), 1);
  cache.ReleaseBlock(early);
  EXPECT_EQ(Probe::FreeList(cache), std::vector<int>{early});
  EXPECT_EQ(Begin(), early);
}

TEST_F(VideoMemoryRecyclingTest, FreeBlocksComeBackLastReleasedFirst) {
  nv->HoldFences();
  cache.Init(1024, 3066);
  const int a = Begin(), b = Begin(), c = Begin();
  cache.ReleaseBlock(a);
  cache.ReleaseBlock(b);
  cache.ReleaseBlock(c);
  const int filler = Begin();
  Redraw(filler, 124);  // 128 draws
  ASSERT_EQ(nv->fencesSet.size(), 1u);
  nv->CompleteFencesThrough(nv->fencesSet[0]);
  EXPECT_EQ(Begin(), c);
  EXPECT_EQ(Begin(), b);
  EXPECT_EQ(Begin(), a);
}

TEST_F(VideoMemoryRecyclingTest, StreamingSettlesAtOneIntervalOfBlocksWhenFencesCompleteAtOnce) {
  nv->CompleteFencesAtOnce();
  cache.Init(1024, 3066);
  for (int i = 0; i < 5000; ++i) cache.ReleaseBlock(Begin());
  EXPECT_EQ(Probe::BlockCount(cache), 128);
  EXPECT_TRUE(nv->fencesFinished.empty());
  EXPECT_TRUE(Probe::CheckMembership(cache, {}));
}

TEST_F(VideoMemoryRecyclingTest, StreamingSettlesWhenTheGpuLagsBehind) {
  nv->SetFenceLag(3);  // a fence completes three intervals after it was set
  cache.Init(1024, 3066);
  for (int i = 0; i < 3000; ++i) cache.ReleaseBlock(Begin());
  const int settled = Probe::BlockCount(cache);
  for (int i = 0; i < 20000; ++i) cache.ReleaseBlock(Begin());
  EXPECT_EQ(Probe::BlockCount(cache), settled);
  EXPECT_GT(settled, 128 * 3);
  EXPECT_LE(settled, 128 * 5);
  EXPECT_TRUE(nv->fencesFinished.empty());  // never-used slots cover the lag: no waiting
}

TEST_F(VideoMemoryRecyclingTest, FullRangeWaitsForTheOldestIntervalFirst) {
  nv->HoldFences();
  InitWithSlots(4);
  const int live = Begin();
  Redraw(live, 127);  // interval 0 closed (fence 1)
  const int a = Begin(), b = Begin(), c = Begin();
  cache.ReleaseBlock(a);  // pending on interval 1, which is still open
  cache.ReleaseBlock(b);
  cache.ReleaseBlock(c);
  Redraw(live, 125);  // interval 1 closed (fence 2)
  ASSERT_EQ(nv->fencesSet.size(), 2u);
  // Every slot exists and none is free: wait for interval 0 (frees nothing), then interval 1.
  EXPECT_EQ(Begin(), c);
  EXPECT_EQ(nv->fencesFinished, (std::vector<GLuint>{1, 2}));
  EXPECT_TRUE(Probe::CheckMembership(cache, {live, c}));
}

TEST_F(VideoMemoryRecyclingTest, FullRangeWithOnlyTheOpenIntervalClosesItAndWaits) {
  nv->HoldFences();
  InitWithSlots(4);
  for (int i = 0; i < 4; ++i) cache.ReleaseBlock(Begin());
  ASSERT_TRUE(nv->fencesSet.empty());
  EXPECT_EQ(Begin(), 3);
  EXPECT_EQ(nv->fencesSet, std::vector<GLuint>{1});
  EXPECT_EQ(nv->fencesFinished, std::vector<GLuint>{1});
  EXPECT_EQ(Probe::RetiredIntervals(cache), 1);
  EXPECT_EQ(Probe::FreeList(cache), (std::vector<int>{2, 1, 0}));
  EXPECT_TRUE(Probe::CheckMembership(cache, {3}));
}

TEST_F(VideoMemoryRecyclingTest, EverySlotLiveEndsTheProgramWithStatusOne) {
  nv->HoldFences();
  InitWithSlots(4);
  for (int i = 0; i < 4; ++i) Begin();
  EXPECT_EXIT(
      {
        StdoutToStderr();
        Begin();
      },
      ::testing::ExitedWithCode(1), "^Ran out of video memory.\n$");
}

}  // namespace
