// The video-memory cache's range: the doubling series, the fall-back to AGP memory, the block
// size check, the GL state it sets, and what Shutdown gives back and logs.
#include <gtest/gtest.h>

#include "cache/cache_storage.h"
#include "cache/video_memory_cache.h"
#include "support/cache_probe.h"
#include "support/cache_test_fixture.h"

namespace {

class VideoMemoryRangeTest : public CacheGLTest {
 protected:
  VideoMemoryCache cache;
};

using Probe = VideoMemoryCacheProbe;

TEST_F(VideoMemoryRangeTest, GrantingEverythingDoublesPastFortyEightMebibytes) {
  cache.Init(1024, 3066);
  ASSERT_EQ(nv->allocations.size(), 14u);
  for (size_t i = 0; i < nv->allocations.size(); ++i) {
    const auto& request = nv->allocations[i];
    EXPECT_EQ(request.size, 12288 << i);
    EXPECT_EQ(request.priority, 1.0f);
    EXPECT_EQ(request.readFrequency, 0.0f);
    EXPECT_EQ(request.writeFrequency, 0.0f);
  }
  EXPECT_EQ(nv->allocations.back().size, 100663296);
  EXPECT_EQ(Probe::BlockCapacity(cache), 8192);
  // Every smaller grant was given back before the next request.
  EXPECT_EQ(nv->OutstandingGrants(), 1);
  EXPECT_EQ(nv->GrantedBytes(Probe::RangeBase(cache)), 100663296u);
  EXPECT_EQ(ReadTerrainLog(), "Successfully got 100663296 bytes (98304k) of video memory\n");
  ASSERT_EQ(nv->rangeCalls.size(), 1u);
  EXPECT_EQ(nv->rangeCalls[0].size, 100663296);
  EXPECT_EQ(nv->rangeCalls[0].pointer, Probe::RangeBase(cache));
  EXPECT_EQ(nv->rangeEnables, std::vector<bool>{true});
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, SmallSlotsTakeOneMoreDoubling) {
  cache.Init(45, 192);
  EXPECT_EQ(nv->allocations.back().size, 70778880);
  EXPECT_EQ(Probe::BlockCapacity(cache), 131072);
  EXPECT_EQ(ReadTerrainLog(), "Successfully got 70778880 bytes (69120k) of video memory\n");
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, RefusalAtTheLastDoublingAsksAgainForThePreviousSize) {
  nv->RefuseAbove(50331648);
  cache.Init(1024, 3066);
  const auto& requests = nv->allocations;
  ASSERT_GE(requests.size(), 3u);
  const size_t last = requests.size() - 1;
  EXPECT_EQ(requests[last - 2].size, 50331648);
  EXPECT_TRUE(requests[last - 2].granted);
  EXPECT_EQ(requests[last - 1].size, 100663296);
  EXPECT_FALSE(requests[last - 1].granted);
  EXPECT_EQ(requests[last].size, 50331648);
  EXPECT_TRUE(requests[last].granted);
  EXPECT_EQ(Probe::BlockCapacity(cache), 4096);
  EXPECT_EQ(nv->OutstandingGrants(), 1);
  EXPECT_EQ(ReadTerrainLog(), "Successfully got 50331648 bytes (49152k) of video memory\n");
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, RefusedVideoMemoryRestartsInAgpMemoryAtOneSlot) {
  nv->RefuseVideoMemory();
  cache.Init(1024, 3066);
  ASSERT_GE(nv->allocations.size(), 2u);
  EXPECT_EQ(nv->allocations[0].size, 12288);
  EXPECT_EQ(nv->allocations[0].priority, 1.0f);
  EXPECT_FALSE(nv->allocations[0].granted);
  EXPECT_EQ(nv->allocations[1].size, 12288);
  EXPECT_EQ(nv->allocations[1].priority, 0.5f);
  EXPECT_EQ(nv->allocations.back().size, 100663296);
  EXPECT_EQ(nv->allocations.back().priority, 0.5f);
  EXPECT_EQ(ReadTerrainLog(),
            "Could not allocate video memory, switching to AGP memory.\n"
            "Successfully got 100663296 bytes (98304k) of video memory\n");
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, NoMemoryAnywhereEndsTheProgramWithStatusTwo) {
  nv->RefuseEverything();
  EXPECT_EXIT(
      {
        StdoutToStderr();
        cache.Init(1024, 3066);
      },
      ::testing::ExitedWithCode(2),
      "^Could not allocate video memory, switching to AGP memory.\nFailure to allocate cache memory.\n$");
}

TEST_F(VideoMemoryRangeTest, LargestIndexableBlockIsAccepted) {
  cache.Init(65536, 3);
  EXPECT_EQ(nv->allocations.front().size, 65536 * 12);
  EXPECT_EQ(Probe::DrawsPerFence(cache), 2);
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, BlockBeyondTheIndexRangeExitsBeforeAskingForMemory) {
  // Anchored: any log line (the range is logged once acquired) would break the match.
  EXPECT_EXIT(
      {
        StdoutToStderr();
        cache.Init(65537, 3);
      },
      ::testing::ExitedWithCode(2), "^Block size greater than maximum index range\n$");
  EXPECT_TRUE(nv->allocations.empty());
}

TEST_F(VideoMemoryRangeTest, EmptyBlockSizeExitsInsteadOfDividingByZero) {
  EXPECT_EXIT(
      {
        StdoutToStderr();
        cache.Init(0, 3);
      },
      ::testing::ExitedWithCode(2), "^Block size out of range\n$");
}

TEST_F(VideoMemoryRangeTest, InitEnablesClientArraysAtTheRangeAndShutdownKeepsThem) {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  cache.Init(1024, 3066);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  void* pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, Probe::RangeBase(cache));
  cache.Shutdown();
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
}

TEST_F(VideoMemoryRangeTest, ShutdownRightAfterInitLogsNothingUsedAndGivesTheRangeBack) {
  cache.Init(1024, 3066);
  cache.Shutdown();
  EXPECT_EQ(ReadTerrainLog(),
            "Successfully got 100663296 bytes (98304k) of video memory\n"
            "Actually used 0k video memory\n");
  EXPECT_EQ(nv->OutstandingGrants(), 0);
  ASSERT_EQ(nv->rangeCalls.size(), 2u);
  EXPECT_EQ(nv->rangeCalls[1].size, 0);
  EXPECT_EQ(nv->rangeCalls[1].pointer, nullptr);
  EXPECT_EQ(nv->rangeEnables, (std::vector<bool>{true, false}));
  EXPECT_TRUE(nv->fencesDeleted.empty());
}

TEST_F(VideoMemoryRangeTest, ShutdownThenInitStartsAfresh) {
  nv->HoldFences();
  cache.Init(1024, 3066);
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  for (int i = 0; i < 300; ++i) {  // two closed intervals, one open
    cache.BeginBlock(&vertices, &indices);
    cache.ReleaseBlock(cache.EndBlock(0, 0));
  }
  ASSERT_EQ(Probe::IntervalCount(cache), 3);
  cache.Shutdown();
  EXPECT_EQ(nv->fencesDeleted, nv->fencesSet);  // both closed intervals' fences
  EXPECT_EQ(nv->OutstandingGrants(), 0);
  EXPECT_EQ(CacheStorageInUse(), storageBefore);

  cache.Init(45, 192);
  EXPECT_EQ(Probe::BlockCount(cache), 0);
  EXPECT_EQ(Probe::RetiredIntervals(cache), 0);
  EXPECT_EQ(Probe::IntervalCount(cache), 1);
  EXPECT_TRUE(Probe::FreeList(cache).empty());
  cache.BeginBlock(&vertices, &indices);
  EXPECT_EQ(cache.EndBlock(0, 0), 0);
  EXPECT_EQ(Probe::DrawsPerFence(cache), 2912);
  const std::string log = ReadTerrainLog();
  EXPECT_NE(log.find("Actually used 3600k video memory\n"), std::string::npos) << log;  // 300 blocks of 12 KiB
  EXPECT_NE(log.find("Successfully got 70778880 bytes (69120k) of video memory\n"), std::string::npos) << log;
  cache.Shutdown();
}

TEST_F(VideoMemoryRangeTest, RefusedIndexBufferEndsTheProgramWithStatusTwo) {
  cache.Init(1024, 3066);
  EXPECT_EXIT(
      {
        StdoutToStderr();
        SetCacheAllocatorForTesting([](size_t) -> void* { return nullptr; });
        CacheVertex* vertices = nullptr;
        uint16_t* indices = nullptr;
        cache.BeginBlock(&vertices, &indices);
      },
      ::testing::ExitedWithCode(2), "Out of memory for a cache block\n");
  cache.Shutdown();
}

}  // namespace
