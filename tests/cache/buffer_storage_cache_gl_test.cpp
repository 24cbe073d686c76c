// The buffer-storage cache's own behaviour: the storage it asks for and announces, running out of
// slots, and the draws it holds back: issued in the order asked, all of them before every fence,
// one call per Flush, and only a block's first writing handed to the driver.
#include "cache/buffer_storage_cache.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

constexpr GLbitfield kPersistentCoherentWrite = GL_MAP_WRITE_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;

class BufferStorageCacheTest : public CacheGLTest {
 protected:
  void TearDown() override {
    cache.Shutdown();
    EXPECT_EQ(env.buffers.OutstandingBuffers(), 0);
    EXPECT_EQ(env.buffers.OutstandingFences(), 0);
    EXPECT_EQ(cache.StorageInUse(), 0);
    CacheGLTest::TearDown();
  }

  // A block of four vertices and, unless empty, one quad's indices; returns its slot.
  int Build(bool empty = false) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    EXPECT_TRUE(cache.BeginBlock(&vertices, &indices).ok());
    for (int i = 0; i < 4; ++i) vertices[i] = {0.0f, 0.0f, 0.0f};
    const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < 6; ++i) indices[i] = quad[i];
    return static_cast<int>(cache.EndBlock(4, empty ? 0 : 6));
  }

  BufferStorageCache cache{env.buffers, env.log, env.allocator.Make()};
};

TEST_F(BufferStorageCacheTest, StorageIsTheLargestGrantOfTheHalvingSeriesAndIsAnnounced) {
  const struct {
    const char* what;
    int blockVertices, maxIndices;
    std::function<void(FakeBufferPlatform&)> script;
    int firstSlots, slots;
  } cases[] = {
      {"everything granted", 1024, 3066, [](FakeBufferPlatform&) {}, 4096, 4096},
      {"the first doubling above 48 MiB refused", 1024, 3066, [](FakeBufferPlatform& gl) { gl.RefuseAbove(50331648); },
       4096, 2048},
      {"one slot only", 45, 192, [](FakeBufferPlatform& gl) { gl.RefuseAbove(2 * (45 * 12 + 192 * 2) - 1); }, 65536, 1},
      {"the largest indexable block", 65536, 6, [](FakeBufferPlatform&) {}, 64, 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeBufferPlatform gl;
    BufferLogSink log;
    c.script(gl);
    BufferStorageCache fresh(gl, log);
    glDisableClientState(GL_VERTEX_ARRAY);
    ASSERT_TRUE(fresh.Init(c.blockVertices, c.maxIndices).ok());
    const GLsizeiptr slotBytes = 12 * c.blockVertices + 2 * c.maxIndices;
    ASSERT_FALSE(gl.storageRequests.empty());
    GLsizeiptr asked = c.firstSlots * slotBytes;
    EXPECT_GT(asked, 50331648);
    EXPECT_LE(asked / 2, 50331648) << "the series starts at the first doubling above 48 MiB";
    for (const auto& request : gl.storageRequests) {
      EXPECT_EQ(request.size, asked);
      EXPECT_EQ(request.flags, kPersistentCoherentWrite);
      asked /= 2;
    }
    const GLsizeiptr granted = c.slots * slotBytes;
    EXPECT_EQ(gl.storageRequests.back().size, granted);
    EXPECT_TRUE(gl.storageRequests.back().granted);
    EXPECT_EQ(fresh.slots().capacity(), c.slots);
    EXPECT_EQ(gl.OutstandingBuffers(), 1) << "every refused buffer is deleted";
    EXPECT_EQ(gl.MappedBuffers(), 1);
    EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
    const std::string announced = "Successfully got " + std::to_string(granted) + " bytes (" +
                                  std::to_string(granted / 1024) + "k) of video memory\n";
    EXPECT_EQ(log.log, announced);

    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    ASSERT_TRUE(fresh.BeginBlock(&vertices, &indices).ok());
    fresh.ReleaseBlock(fresh.EndBlock(0, 0));
    fresh.Shutdown();
    EXPECT_EQ(log.log, announced + "Actually used " + std::to_string(slotBytes / 1024) + "k video memory\n");
    EXPECT_EQ(gl.OutstandingBuffers(), 0);
    EXPECT_EQ(gl.MappedBuffers(), 0);
    EXPECT_EQ(gl.misuses, 0);
  }
}

TEST_F(BufferStorageCacheTest, NoStorageAtAllFailsInitAndKeepsNothing) {
  env.buffers.grants = [](GLsizeiptr) { return false; };
  const Status init = cache.Init(1024, 3066);
  ASSERT_FALSE(init.ok());
  EXPECT_EQ(init.failure().message, "Failure to allocate cache memory.\n");
  EXPECT_EQ(init.failure().channel, Channel::kLog);
  EXPECT_EQ(init.failure().exitStatus, 2);
  EXPECT_EQ(env.buffers.storageRequests.size(), 13u) << "4096 slots halved down to one";
  EXPECT_EQ(env.buffers.OutstandingBuffers(), 0);
  EXPECT_EQ(cache.StorageInUse(), 0);
  EXPECT_EQ(env.log.log, "");
}

TEST_F(BufferStorageCacheTest, FullStorageWithOnlyTheOpenIntervalClosesItWaitsAndFailsWhenNothingIsFreed) {
  env.buffers.HoldFences();
  env.buffers.RefuseAbove(4 * (1024 * 12 + 3066 * 2));  // four slots
  ASSERT_TRUE(cache.Init(1024, 3066).ok());
  for (int i = 0; i < 4; ++i) Build();
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache.BeginBlock(&vertices, &indices);
  EXPECT_EQ(env.buffers.FencesSet(), 1);
  EXPECT_EQ(env.buffers.waits, 1);
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.failure().message, "Ran out of video memory.\n");
  EXPECT_EQ(begun.failure().channel, Channel::kLog);
  EXPECT_EQ(begun.failure().exitStatus, 1);
  EXPECT_EQ(env.buffers.drawsBeforeFence, std::vector<std::size_t>{4}) << "the fence follows the four draws";
  EXPECT_TRUE(FencedSlotsProbe::CheckMembership(cache.slots(), {0, 1, 2, 3}));
  cache.ReleaseBlock(2);  // its interval is retired: free at once
  EXPECT_EQ(Build(), 2);
  EXPECT_TRUE(FencedSlotsProbe::CheckMembership(cache.slots(), {0, 1, 2, 3}));
}

// Random builds, redraws, releases and flushes, fences a few intervals late: whatever was asked is
// issued exactly once and in order, every fence comes after every draw asked before it, a Flush
// leaves nothing held and costs one call when anything was held, and only new blocks hand bytes
// to the driver.
TEST_F(BufferStorageCacheTest, HeldDrawsAreIssuedInOrderBeforeEveryFenceAndOnePerFlush) {
  constexpr int kBlockVertices = 4096;  // 32 draws per fence
  env.buffers.SetFenceLag(3);
  ASSERT_TRUE(cache.Init(kBlockVertices, 6).ok());
  std::mt19937 random(20240613);
  std::vector<int> live;
  std::vector<GLint> asked;  // base vertex of every draw asked for that draws something
  std::map<int, bool> drawsSomething;
  int64_t bytesHanded = 0, flushesWithDraws = 0;
  for (int step = 0; step < 20000; ++step) {
    const int fencesBefore = env.buffers.FencesSet();
    const int action = std::uniform_int_distribution<int>(0, 9)(random);
    if (action < 3 && live.size() < 40) {
      const bool empty = action == 0;
      const int slot = Build(empty);
      drawsSomething[slot] = !empty;
      live.push_back(slot);
      bytesHanded += 12 * 4 + (empty ? 0 : 2 * 6);
      if (!empty) asked.push_back(slot * kBlockVertices);
    } else if (action < 7 && !live.empty()) {
      const int slot = live[std::uniform_int_distribution<size_t>(0, live.size() - 1)(random)];
      cache.DrawBlock(slot);
      if (drawsSomething[slot]) asked.push_back(slot * kBlockVertices);
    } else if (action < 9 && !live.empty()) {
      const size_t at = std::uniform_int_distribution<size_t>(0, live.size() - 1)(random);
      cache.ReleaseBlock(live[at]);
      live.erase(live.begin() + static_cast<long>(at));
    } else {
      const int callsBefore = env.buffers.multiDraws;
      const bool held = cache.HeldDraws() > 0;
      flushesWithDraws += held;
      cache.Flush();
      ASSERT_EQ(env.buffers.multiDraws - callsBefore, held ? 1 : 0);
      ASSERT_EQ(cache.HeldDraws(), 0);
      ASSERT_EQ(env.buffers.drawnBases, asked) << "step " << step;
    }
    if (env.buffers.FencesSet() != fencesBefore) {
      ASSERT_EQ(env.buffers.FencesSet(), fencesBefore + 1);
      ASSERT_EQ(env.buffers.drawsBeforeFence.back(), asked.size()) << "a fence before a draw it guards, step " << step;
    }
    ASSERT_EQ(env.buffers.drawnBases.size() + static_cast<size_t>(cache.HeldDraws()), asked.size());
  }
  cache.Flush();
  EXPECT_EQ(env.buffers.drawnBases, asked);
  EXPECT_GT(env.buffers.FencesSet(), 100);
  EXPECT_GT(flushesWithDraws, 100);
  EXPECT_EQ(cache.Traffic().drawCalls, env.buffers.multiDraws);
  EXPECT_LE(env.buffers.multiDraws, flushesWithDraws + env.buffers.FencesSet() + 1);
  EXPECT_EQ(cache.Traffic().driverBytes, bytesHanded);
}

}  // namespace
