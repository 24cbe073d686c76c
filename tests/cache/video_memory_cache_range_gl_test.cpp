// The video-memory cache's range: the doubling series, the fall-back to AGP memory, a refusal
// everywhere, the GL state Init sets, and what Shutdown gives back and logs.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "cache/video_memory_cache.h"
#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

using Probe = VideoMemoryCacheProbe;

// The requests of one priority run slot, 2 slots, 4 slots, ... and, after a refusal, ask once
// more for the size granted before it.
::testing::AssertionResult FollowsTheSeries(const std::vector<FakeNvPlatform::AllocationRequest>& requests,
                                            GLsizei slotBytes) {
  for (size_t i = 0; i < requests.size(); ++i) {
    const auto& request = requests[i];
    if (request.readFrequency != 0.0f || request.writeFrequency != 0.0f)
      return ::testing::AssertionFailure() << "request " << i << " asks for other frequencies";
    const bool first = i == 0 || requests[i - 1].priority != request.priority;
    GLsizei expected = slotBytes;
    if (!first) expected = requests[i - 1].granted ? 2 * requests[i - 1].size : requests[i - 1].size / 2;
    if (request.size != expected)
      return ::testing::AssertionFailure() << "request " << i << " asks for " << request.size << ", not " << expected;
  }
  return ::testing::AssertionSuccess();
}

class VideoMemoryRangeTest : public CacheGLTest {};

TEST_F(VideoMemoryRangeTest, RangeIsTheLargestGrantOfTheSeriesUpToTheFirstAboveFortyEightMebibytes) {
  const struct {
    const char* what;
    int blockVertices;
    std::function<void(FakeNvPlatform&)> script;
    GLsizei bytes;
    int slots;
    GLfloat priority;
    std::string log;
  } cases[] = {
      {"everything granted", 1024, [](FakeNvPlatform&) {}, 100663296, 8192, 1.0f, ""},
      {"small slots double once more", 45, [](FakeNvPlatform&) {}, 70778880, 131072, 1.0f, ""},
      {"the largest indexable block", 65536, [](FakeNvPlatform&) {}, 100663296, 128, 1.0f, ""},
      {"the last doubling refused", 1024, [](FakeNvPlatform& nv) { nv.RefuseAbove(50331648); }, 50331648, 4096, 1.0f,
       ""},
      {"one slot only", 1024, [](FakeNvPlatform& nv) { nv.RefuseAbove(12288 * 2 - 1); }, 12288, 1, 1.0f, ""},
      {"no video memory", 1024,
       [](FakeNvPlatform& nv) { nv.grants = [](GLsizei, GLfloat priority) { return priority < 1.0f; }; }, 100663296,
       8192, 0.5f, "Could not allocate video memory, switching to AGP memory.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeNvPlatform nv;
    BufferLogSink log;
    c.script(nv);
    VideoMemoryCache cache(nv, log);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    ASSERT_TRUE(cache.Init(c.blockVertices, 3).ok());

    EXPECT_TRUE(FollowsTheSeries(nv.allocations, c.blockVertices * 12));
    EXPECT_EQ(nv.allocations.back().size, c.bytes);
    EXPECT_EQ(nv.allocations.back().priority, c.priority);
    EXPECT_EQ(Probe::BlockCapacity(cache), c.slots);
    EXPECT_EQ(nv.OutstandingGrants(), 1) << "every smaller grant is given back";
    const void* base = Probe::RangeBase(cache);
    ASSERT_EQ(nv.rangeCalls.size(), 1u);
    EXPECT_EQ(nv.rangeCalls[0].size, c.bytes);
    EXPECT_EQ(nv.rangeCalls[0].pointer, base);
    EXPECT_EQ(nv.rangeEnables, std::vector<bool>{true});
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    void* pointer = nullptr;
    glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
    EXPECT_EQ(pointer, base);
    const std::string granted = c.log + "Successfully got " + std::to_string(c.bytes) + " bytes (" +
                                std::to_string(c.bytes / 1024) + "k) of video memory\n";
    EXPECT_EQ(log.log, granted);

    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    ASSERT_TRUE(cache.BeginBlock(&vertices, &indices).ok());
    cache.ReleaseBlock(cache.EndBlock(0, 0));
    cache.Shutdown();
    EXPECT_EQ(log.log, granted + "Actually used " + std::to_string(c.blockVertices * 12 / 1024) + "k video memory\n");
    EXPECT_EQ(nv.OutstandingGrants(), 0);
    ASSERT_EQ(nv.rangeCalls.size(), 2u);
    EXPECT_EQ(nv.rangeCalls[1].size, 0);
    EXPECT_EQ(nv.rangeCalls[1].pointer, nullptr);
    EXPECT_EQ(nv.rangeEnables, (std::vector<bool>{true, false}));
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY)) << "Shutdown leaves the client arrays on";
    EXPECT_EQ(nv.misuses, 0);
  }
}

class VideoMemoryCacheTest : public CacheGLTest {
 protected:
  VideoMemoryCache cache{env.nv, env.log, env.allocator.Make()};
};

TEST_F(VideoMemoryCacheTest, NoMemoryAnywhereFailsInitUntilMemoryIsGranted) {
  env.nv.grants = [](GLsizei, GLfloat) { return false; };
  const Status init = cache.Init(1024, 3066);
  ASSERT_FALSE(init.ok());
  EXPECT_EQ(init.failure().message, "Failure to allocate cache memory.\n");
  EXPECT_EQ(init.failure().channel, Channel::kLog);
  EXPECT_EQ(init.failure().exitStatus, 2);
  EXPECT_EQ(env.log.log, "Could not allocate video memory, switching to AGP memory.\n");
  EXPECT_EQ(env.nv.allocations.size(), 2u);  // one slot, in video memory and in AGP memory
  EXPECT_TRUE(env.nv.rangeCalls.empty());

  env.nv.grants = [](GLsizei, GLfloat) { return true; };
  ASSERT_TRUE(cache.Init(1024, 3066).ok());
  EXPECT_EQ(Probe::IntervalCount(cache), 1);
  cache.Shutdown();
  EXPECT_EQ(env.nv.OutstandingGrants(), 0);
}

}  // namespace
