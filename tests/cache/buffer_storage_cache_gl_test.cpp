// The buffer-storage cache's own behaviour: the storage it asks for and announces, and the draws it
// holds back: issued in the order asked, all of them before every fence, one call per Flush, and
// only a block's first writing handed to the driver.
#include "cache/buffer_storage_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

class BufferStorageCacheTest : public CacheGLTest {
 protected:
  void TearDown() override {
    cache.Shutdown();
    EXPECT_EQ(env.buffers.OutstandingBuffers() + env.buffers.OutstandingFences() + cache.StorageInUse(), 0);
    CacheGLTest::TearDown();
  }

  // A block of four vertices and one quad's indices; returns its slot.
  int Build() {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    EXPECT_TRUE(cache.BeginBlock(&vertices, &indices).ok());
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) indices[i] = quad[i];
    for (int i = 0; i < 4; ++i) vertices[i] = {0.0f, 0.0f, 0.0f};
    return static_cast<int>(cache.EndBlock(4, 6));
  }

  BufferStorageCache cache{env.buffers, env.log, env.allocator.Make()};
};

// The series starts at the first doubling of one slot above 48 MiB and halves on every refusal.
TEST_F(BufferStorageCacheTest, StorageIsTheLargestGrantOfTheHalvingSeriesAndIsAnnounced) {
  const struct {
    int blockVertices, maxIndices;
    GLsizeiptr largestGranted;
    int firstSlots, slots;  // slots 0: nothing granted
  } cases[] = {
      {1024, 3066, 1L << 40, 4096, 4096}, {1024, 3066, 50331648, 4096, 2048}, {45, 192, 2 * 924 - 1, 65536, 1},
      {65536, 6, 1L << 40, 64, 64},       {1024, 3066, 0, 4096, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.blockVertices) + " x " + std::to_string(c.largestGranted));
    FakeBufferPlatform gl;
    BufferLogSink log;
    gl.RefuseAbove(c.largestGranted);
    BufferStorageCache fresh(gl, log);
    const Status init = fresh.Init(c.blockVertices, c.maxIndices);
    const GLsizeiptr slotBytes = 12 * c.blockVertices + 2 * c.maxIndices;
    GLsizeiptr asked = c.firstSlots * slotBytes;
    EXPECT_TRUE(asked > 50331648 && asked / 2 <= 50331648);
    for (const auto& request : gl.storageRequests) {
      EXPECT_EQ(request.size, asked);
      EXPECT_EQ(request.flags, static_cast<GLbitfield>(GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT));
      asked /= 2;
    }
    EXPECT_EQ(gl.OutstandingBuffers(), c.slots > 0) << "every refused buffer is deleted";
    if (c.slots == 0) {
      ASSERT_FALSE(init.ok());
      EXPECT_EQ(init.failure().message, "Failure to allocate cache memory.\n");
      EXPECT_EQ(init.failure().exitStatus, 2);
      EXPECT_EQ(asked, slotBytes / 2) << "halved down to one slot";
      EXPECT_EQ(log.log + std::to_string(fresh.StorageInUse()), "0");
      continue;
    }
    ASSERT_TRUE(init.ok());
    EXPECT_EQ(gl.storageRequests.back().size, c.slots * slotBytes);
    EXPECT_EQ(fresh.slots().capacity(), c.slots);
    const GLsizeiptr granted = c.slots * slotBytes;
    const std::string announced = "Successfully got " + std::to_string(granted) + " bytes (" +
                                  std::to_string(granted / 1024) + "k) of video memory\n";
    EXPECT_EQ(log.log, announced);
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    ASSERT_TRUE(fresh.BeginBlock(&vertices, &indices).ok());
    fresh.ReleaseBlock(fresh.EndBlock(0, 0));
    fresh.Shutdown();
    EXPECT_EQ(log.log, announced + "Actually used " + std::to_string(slotBytes / 1024) + "k video memory\n");
    EXPECT_EQ(gl.OutstandingBuffers() + gl.misuses, 0);
  }
}

// Random builds, redraws, releases and flushes, fences a few intervals late: at every fence and
// every Flush, exactly the draws asked for so far have been issued, in order; a Flush costs one call
// when anything was held; and only the writing of new blocks is handed to the driver.
TEST_F(BufferStorageCacheTest, HeldDrawsAreIssuedInOrderBeforeEveryFenceAndOnePerFlush) {
  constexpr int kBlockVertices = 4096;  // 32 draws per fence
  env.buffers.SetFenceLag(3);
  ASSERT_TRUE(cache.Init(kBlockVertices, 6).ok());
  std::mt19937 random(20240613);
  std::vector<int> live;
  std::vector<GLint> asked;  // base vertex of every draw asked for
  int64_t builds = 0;
  for (int step = 0; step < 20000; ++step) {
    const int action = std::uniform_int_distribution<int>(0, 9)(random);
    const int fencesBefore = env.buffers.FencesSet(), callsBefore = env.buffers.multiDraws, held = cache.HeldDraws();
    const size_t pick = live.empty() ? 0 : std::uniform_int_distribution<size_t>(0, live.size() - 1)(random);
    if (action < 3 && live.size() < 40) {
      live.push_back(Build());
      asked.push_back(live.back() * kBlockVertices);
      ++builds;
    } else if (action < 7 && !live.empty()) {
      cache.DrawBlock(live[pick]);
      asked.push_back(live[pick] * kBlockVertices);
    } else if (action < 9 && !live.empty()) {
      cache.ReleaseBlock(live[pick]);
      live.erase(live.begin() + static_cast<long>(pick));
    } else {
      cache.Flush();
      ASSERT_EQ(env.buffers.multiDraws - callsBefore, held > 0 ? 1 : 0);
    }
    if (action >= 9 || env.buffers.FencesSet() != fencesBefore) {
      ASSERT_EQ(env.buffers.drawnBases, asked) << "step " << step;
    }
  }
  EXPECT_GT(env.buffers.FencesSet(), 100);
  EXPECT_EQ(cache.Traffic().drawCalls, env.buffers.multiDraws);
  EXPECT_EQ(cache.Traffic().driverBytes, (12 * 4 + 2 * 6) * builds);
}

}  // namespace
