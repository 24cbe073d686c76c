// The video-memory cache's slot recycling when streaming: no waits (fence-guarded reuse, waiting
// and running out of slots are in the shared cache suite).
#include <gtest/gtest.h>

#include "cache/video_memory_cache.h"
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

}  // namespace
