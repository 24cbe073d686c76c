// What every GeometryCache does, run against each implementation: the block sizes Init accepts,
// refused allocations, Shutdown from any point and Init again, random call sequences with every
// draw checked on the screen and the invariants after every call, and, for the caches that
// recycle GPU-read slots behind fences, no slot handed out again before the fence of its latest
// draw while fences signal late, and running out of slots. Kind-specific behaviour (storage sizes,
// streaming, held draws) is tested in its own files.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cache/cache_storage.h"
#include "cache/counting_cache.h"
#include "cache/buffer_storage_cache.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "cache_stress.h"
#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

// What the suite needs of a cache that recycles slots behind fences, through its doubles.
struct FencedCacheHooks {
  // The double grants storage for at most this many slots of the block size.
  void (*limitSlots)(CacheEnvironment& env, int slots, int blockVertices, int maxIndices);
  // Fences are numbered 1, 2, 3, ... in the order set.
  int (*fencesSet)(CacheEnvironment& env);
  bool (*fenceComplete)(CacheEnvironment& env, int fence);
  // Waits for a fence so far.
  int (*waits)(CacheEnvironment& env);
};

// One implementation as the shared suite sees it.
struct CacheUnderTest {
  const char* name;
  std::function<std::unique_ptr<GeometryCache>(CacheEnvironment&)> make;
  // Its own bookkeeping checked against what the caller holds (optional).
  std::function<::testing::AssertionResult(const GeometryCache&, const CacheHistory&)> checkBookkeeping;
  // Moves its world along between calls (optional).
  std::function<void(CacheEnvironment&, std::mt19937&)> idle;
  const FencedCacheHooks* fenced;
  // Its heap storage is all taken at Init, so only Init can be refused.
  bool heapAtInit;
};

::testing::AssertionResult SystemMemoryBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& system = dynamic_cast<const SystemMemoryCache&>(cache);
  // A record is made when more blocks are live than ever before and kept until Shutdown.
  if (auto lists = SystemMemoryCacheProbe::CheckLists(system, history.LiveHandles(), history.peakLive); !lists)
    return lists;
  const long expected = static_cast<long>(history.peakLive + 2 * history.live.size());
  if (system.StorageInUse() != expected)
    return ::testing::AssertionFailure() << system.StorageInUse() << " allocations held, " << expected << " expected";
  return ::testing::AssertionSuccess();
}

std::set<int> LiveSlots(const CacheHistory& history) {
  std::set<int> live;
  for (BlockHandle handle : history.LiveHandles()) live.insert(static_cast<int>(handle));
  return live;
}

::testing::AssertionResult VideoMemoryBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& video = dynamic_cast<const VideoMemoryCache&>(cache);
  if (auto membership = VideoMemoryCacheProbe::CheckMembership(video, LiveSlots(history)); !membership)
    return membership;
  if (video.StorageInUse() != VideoMemoryCacheProbe::BlockCount(video))
    return ::testing::AssertionFailure() << "not one index buffer per block number";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult BufferStorageBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& buffer = dynamic_cast<const BufferStorageCache&>(cache);
  if (auto membership = FencedSlotsProbe::CheckMembership(buffer.slots(), LiveSlots(history)); !membership)
    return membership;
  if (buffer.StorageInUse() != 2) return ::testing::AssertionFailure() << "not the slot table and the held draws";
  if (buffer.HeldDraws() != 0) return ::testing::AssertionFailure() << "draws held back after a Flush";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CountingBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& counting = dynamic_cast<const CountingCache&>(cache);
  if (counting.blocksBuilt != history.built || counting.blocksRedrawn != history.redrawn ||
      counting.blocksReleased != history.released)
    return ::testing::AssertionFailure() << "counted " << counting.blocksBuilt << "/" << counting.blocksRedrawn << "/"
                                         << counting.blocksReleased << " built/redrawn/released, made " << history.built
                                         << "/" << history.redrawn << "/" << history.released;
  return ::testing::AssertionSuccess();
}

// The fenced caches get storage of a few slots of the larger blocks, and fences that complete only
// when the idle step (or a wait) says so, so that their slots are recycled and waited for.
constexpr GLsizei kSharedVideoRange = 16 << 20;

void CompleteSomeFences(CacheEnvironment& env, std::mt19937& random) {
  if (!env.nv.fencesSet.empty())
    env.nv.CompleteFencesThrough(std::uniform_int_distribution<GLuint>(1, env.nv.fencesSet.back())(random));
}

void CompleteSomeSyncs(CacheEnvironment& env, std::mt19937& random) {
  if (env.buffers.FencesSet() > 0)
    env.buffers.CompleteFencesThrough(std::uniform_int_distribution<int>(1, env.buffers.FencesSet())(random));
}

const FencedCacheHooks kVideoMemoryHooks = {
    [](CacheEnvironment& env, int slots, int blockVertices, int) {
      env.nv.RefuseAbove(slots * blockVertices * static_cast<GLsizei>(sizeof(CacheVertex)));
    },
    [](CacheEnvironment& env) { return static_cast<int>(env.nv.fencesSet.size()); },
    [](CacheEnvironment& env, int fence) { return env.nv.FenceComplete(static_cast<GLuint>(fence)); },
    [](CacheEnvironment& env) { return static_cast<int>(env.nv.fencesFinished.size()); },
};

const FencedCacheHooks kBufferStorageHooks = {
    [](CacheEnvironment& env, int slots, int blockVertices, int maxIndices) {
      env.buffers.RefuseAbove(slots * static_cast<GLsizeiptr>(sizeof(CacheVertex) * blockVertices +
                                                               sizeof(uint16_t) * maxIndices));
    },
    [](CacheEnvironment& env) { return env.buffers.FencesSet(); },
    [](CacheEnvironment& env, int fence) { return env.buffers.FenceComplete(fence); },
    [](CacheEnvironment& env) { return env.buffers.waits; },
};

std::unique_ptr<GeometryCache> MakeSystemMemory(CacheEnvironment& env) {
  return std::make_unique<SystemMemoryCache>(env.allocator.Make());
}

std::unique_ptr<GeometryCache> MakeVideoMemory(CacheEnvironment& env) {
  env.nv.RefuseAbove(kSharedVideoRange);
  env.nv.HoldFences();
  return std::make_unique<VideoMemoryCache>(env.nv, env.log, env.allocator.Make());
}

std::unique_ptr<GeometryCache> MakeBufferStorage(CacheEnvironment& env) {
  env.buffers.RefuseAbove(kSharedVideoRange);
  env.buffers.HoldFences();
  return std::make_unique<BufferStorageCache>(env.buffers, env.log, env.allocator.Make());
}

std::unique_ptr<GeometryCache> MakeCountingSystemMemory(CacheEnvironment& env) {
  return std::make_unique<CountingCache>(MakeSystemMemory(env));
}

std::unique_ptr<GeometryCache> MakeCountingBufferStorage(CacheEnvironment& env) {
  return std::make_unique<CountingCache>(MakeBufferStorage(env));
}

// Every implementation: one more is one more line ({} or null for a hook it does without).
const CacheUnderTest kCachesUnderTest[] = {
    {"SystemMemory", MakeSystemMemory, SystemMemoryBookkeeping, {}, nullptr, false},
    {"VideoMemory", MakeVideoMemory, VideoMemoryBookkeeping, CompleteSomeFences, &kVideoMemoryHooks, false},
    {"BufferStorage", MakeBufferStorage, BufferStorageBookkeeping, CompleteSomeSyncs, &kBufferStorageHooks, true},
    {"CountingSystemMemory", MakeCountingSystemMemory, CountingBookkeeping, {}, nullptr, false},
    {"CountingBufferStorage", MakeCountingBufferStorage, CountingBookkeeping, CompleteSomeSyncs, nullptr, true},
};

void PrintTo(const CacheUnderTest& cache, std::ostream* out) { *out << cache.name; }

class SharedCacheTest : public CacheGLTest, public ::testing::WithParamInterface<CacheUnderTest> {
 protected:
  void SetUp() override {
    CacheGLTest::SetUp();
    cache = GetParam().make(env);
  }
  void TearDown() override {
    cache.reset();
    CacheGLTest::TearDown();
  }

  CacheStress MakeStress(uint32_t seed) {
    std::function<void(std::mt19937&)> idle;
    if (GetParam().idle) idle = [this](std::mt19937& random) { GetParam().idle(env, random); };
    return CacheStress(*cache, env.allocator, seed, idle);
  }

  ::testing::AssertionResult Bookkeeping(const CacheHistory& history) {
    if (!GetParam().checkBookkeeping) return ::testing::AssertionSuccess();
    return GetParam().checkBookkeeping(*cache, history);
  }

  // Nothing the cache took outlives Shutdown: heap storage, NV memory, GL buffers, fences.
  ::testing::AssertionResult EverythingGivenBack() {
    if (cache->StorageInUse() != 0)
      return ::testing::AssertionFailure() << cache->StorageInUse() << " allocations kept";
    if (env.nv.OutstandingGrants() != 0) return ::testing::AssertionFailure() << "NV memory kept";
    if (env.buffers.OutstandingBuffers() != 0) return ::testing::AssertionFailure() << "a GL buffer kept";
    if (env.buffers.OutstandingFences() != 0) return ::testing::AssertionFailure() << "a fence sync kept";
    std::vector<GLuint> set = env.nv.fencesSet, deleted = env.nv.fencesDeleted;
    std::sort(set.begin(), set.end());
    std::sort(deleted.begin(), deleted.end());
    if (set != deleted) return ::testing::AssertionFailure() << "a fence set was never deleted";
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<GeometryCache> cache;
};

TEST_P(SharedCacheTest, InitRefusesBlockSizesBeyondTheIndexRangeBeforeTakingAnything) {
  const struct {
    int blockVertices, maxIndices;
    const char* message;
  } refused[] = {{65537, 3, "Block size greater than maximum index range\n"},
                 {0, 3, "Block size out of range\n"},
                 {-4, 3, "Block size out of range\n"},
                 {1024, -1, "Block size out of range\n"}};
  for (const auto& sizes : refused) {
    const Status init = cache->Init(sizes.blockVertices, sizes.maxIndices);
    ASSERT_FALSE(init.ok()) << sizes.blockVertices << " x " << sizes.maxIndices;
    EXPECT_EQ(init.failure().message, sizes.message);
    EXPECT_EQ(init.failure().channel, Channel::kConsole);
    EXPECT_EQ(init.failure().exitStatus, 2);
  }
  EXPECT_TRUE(env.nv.allocations.empty());
  EXPECT_TRUE(env.buffers.storageRequests.empty());
  EXPECT_EQ(cache->StorageInUse(), 0);

  // The largest block 16-bit indices reach: its last vertex is index 65535.
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  CacheStress blocks = MakeStress(7);
  ASSERT_TRUE(blocks.Start(65536, 6).ok());
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(blocks.Build()) << "block " << i;
  ASSERT_TRUE(blocks.DrawEveryLiveBlock());
  blocks.Stop();
  EXPECT_TRUE(EverythingGivenBack());
}

// Each allocation of a block refused in turn, after some were granted: Build checks the failure
// and that nothing granted before it is kept; the live blocks still draw. A cache whose heap is
// all taken at Init fails Init instead, keeping nothing, and then builds with every allocation
// refused.
TEST_P(SharedCacheTest, RefusedAllocationFailsBeginBlockAndLeavesTheCacheAsItWas) {
  if (GetParam().heapAtInit) {
    for (int grants = 0; grants < 2; ++grants) {
      env.allocator.RefuseOneAfter(grants);
      const Status init = cache->Init(1024, 3066);
      ASSERT_FALSE(init.ok()) << "refused after " << grants;
      EXPECT_EQ(init.failure().message, OutOfCacheMemory().message);
      EXPECT_TRUE(EverythingGivenBack()) << "refused after " << grants;
    }
    CacheStress blocks = MakeStress(11);
    blocks.refuseAtRandom = false;
    ASSERT_TRUE(blocks.Start(1024, 3066).ok());
    env.allocator.RefuseAll();
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(blocks.Build()) << "block " << i;
    ASSERT_TRUE(blocks.DrawEveryLiveBlock());
    EXPECT_TRUE(Bookkeeping(blocks.history()));
    env.allocator.GrantAll();
    blocks.Stop();
    EXPECT_TRUE(EverythingGivenBack());
    return;
  }
  CacheStress blocks = MakeStress(11);
  blocks.refuseAtRandom = false;
  ASSERT_TRUE(blocks.Start(1024, 3066).ok());
  ASSERT_TRUE(blocks.Build());
  int refused = 0;
  for (int grants = 0; grants < 4; ++grants) {
    env.allocator.RefuseOneAfter(grants);
    ASSERT_TRUE(blocks.Build()) << "refused after " << grants;
    env.allocator.GrantAll();
    refused += blocks.lastAction() == CacheStress::Action::kRefused;
    ASSERT_TRUE(Bookkeeping(blocks.history())) << "refused after " << grants;
    ASSERT_TRUE(blocks.DrawEveryLiveBlock()) << "refused after " << grants;
    ASSERT_TRUE(blocks.Build());
  }
  EXPECT_GT(refused, 0);
  blocks.Stop();
  EXPECT_TRUE(EverythingGivenBack());
}

TEST_P(SharedCacheTest, ShutdownFromAnyPointGivesEverythingBackAndInitStartsAfresh) {
  ASSERT_TRUE(cache->Init(1024, 3066).ok());
  cache->Shutdown();
  EXPECT_TRUE(EverythingGivenBack()) << "right after Init";

  CacheStress blocks = MakeStress(13);
  blocks.refuseAtRandom = false;
  ASSERT_TRUE(blocks.Start(45, 192).ok());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(blocks.Build());
  blocks.Release(blocks.history().live.begin()->first);
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  ASSERT_TRUE(cache->BeginBlock(&vertices, &indices).ok());
  blocks.Stop();  // while a block is being filled
  EXPECT_TRUE(EverythingGivenBack()) << "while filling";

  ASSERT_TRUE(blocks.Start(16, 6).ok());
  for (int i = 0; i < 12; ++i) ASSERT_TRUE(blocks.Build());
  EXPECT_TRUE(blocks.DrawEveryLiveBlock());
  EXPECT_TRUE(Bookkeeping(blocks.history()));
  blocks.Stop();
  EXPECT_TRUE(EverythingGivenBack()) << "after Init again";
}

TEST_P(SharedCacheTest, RandomCallsKeepEveryInvariantAfterEveryCall) {
  constexpr int kSteps = 3000;
  CacheStress stress = MakeStress(20240611);
  std::mt19937& random = stress.random();
  const std::pair<int, int> sessions[] = {
      {4, 6},  // the smallest blocks the picture allows
      {std::uniform_int_distribution<int>(5, 2048)(random), std::uniform_int_distribution<int>(6, 300)(random)},
      {16384, std::uniform_int_distribution<int>(6, 300)(random)},  // few video slots: recycling and waits
  };
  int refusals = 0;
  for (const auto& [blockVertices, maxIndices] : sessions) {
    SCOPED_TRACE(std::to_string(blockVertices) + " x " + std::to_string(maxIndices));
    ASSERT_TRUE(stress.Start(blockVertices, maxIndices).ok());
    for (int step = 0; step < kSteps; ++step) {
      ASSERT_TRUE(stress.Step()) << "step " << step;
      refusals += stress.lastAction() == CacheStress::Action::kRefused;
      ASSERT_TRUE(Bookkeeping(stress.history())) << "step " << step;
      if (step % 100 == 99) {
        ASSERT_TRUE(stress.DrawEveryLiveBlock()) << "step " << step;
      }
    }
    stress.Stop();
    ASSERT_TRUE(EverythingGivenBack());
  }
  if (!GetParam().heapAtInit) {
    EXPECT_GT(refusals, 0) << "no allocation was refused: the failure path went untested";
  }
}

// The caches whose slots the GPU reads after the draw calls return.
class FencedCacheTest : public SharedCacheTest {};

std::vector<CacheUnderTest> FencedCaches() {
  std::vector<CacheUnderTest> fenced;
  for (const CacheUnderTest& cache : kCachesUnderTest)
    if (cache.fenced != nullptr) fenced.push_back(cache);
  return fenced;
}

// Random calls on storage of 16 slots with a fence every 8 draws, fences completing only at random
// or when waited for: a slot is never handed out before the fence of its latest draw.
TEST_P(FencedCacheTest, SlotsAreHandedOutAgainOnlyAfterTheFenceOfTheirLatestDraw) {
  const FencedCacheHooks* fenced = GetParam().fenced;
  constexpr int kBlockVertices = 16384;
  CacheStress stress = MakeStress(20240612);
  // Fences are numbered in the order set, one per interval: a draw's interval will be closed by
  // the next fence set after it.
  int drawFence = 0;
  stress.beforeDraw = [&] { drawFence = fenced->fencesSet(env) + 1; };
  for (int session = 0; session < 3; ++session) {
    std::map<BlockHandle, int> lastDrawFence;
    const int waitsBefore = fenced->waits(env);
    const int maxIndices = std::uniform_int_distribution<int>(6, 300)(stress.random());
    fenced->limitSlots(env, 16, kBlockVertices, maxIndices);
    ASSERT_TRUE(stress.Start(kBlockVertices, maxIndices).ok());
    for (int step = 0; step < 4000; ++step) {
      ASSERT_TRUE(stress.Step()) << "step " << step;
      const BlockHandle block = stress.lastBlock();
      if (stress.lastAction() == CacheStress::Action::kBuild) {
        auto previous = lastDrawFence.find(block);
        if (previous != lastDrawFence.end()) {
          ASSERT_TRUE(fenced->fenceComplete(env, previous->second))
              << "slot " << block << " reused before fence " << previous->second << ", step " << step;
        }
      }
      if (stress.lastAction() == CacheStress::Action::kBuild || stress.lastAction() == CacheStress::Action::kRedraw)
        lastDrawFence[block] = drawFence;
      ASSERT_TRUE(Bookkeeping(stress.history())) << "step " << step;
    }
    EXPECT_GT(fenced->waits(env), waitsBefore) << "the storage never filled up: the waits went untested";
    stress.Stop();
    ASSERT_TRUE(EverythingGivenBack());
  }
}

// Storage of four slots, every one drawn in the open interval and no fence signalling by itself:
// the next block closes the interval, waits for its fence, finds nothing released and fails; a
// block released once its interval has retired is free at once.
TEST_P(FencedCacheTest, FullStorageWithOnlyTheOpenIntervalClosesItWaitsAndFailsWhenNothingIsFreed) {
  const FencedCacheHooks* fenced = GetParam().fenced;
  fenced->limitSlots(env, 4, 1024, 3066);
  ASSERT_TRUE(cache->Init(1024, 3066).ok());
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const auto build = [&] {
    EXPECT_TRUE(cache->BeginBlock(&vertices, &indices).ok());
    return static_cast<int>(cache->EndBlock(0, 0));
  };
  for (int i = 0; i < 4; ++i) build();
  const Status begun = cache->BeginBlock(&vertices, &indices);
  EXPECT_EQ(fenced->fencesSet(env), 1);
  EXPECT_EQ(fenced->waits(env), 1);
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.failure().message, "Ran out of video memory.\n");
  EXPECT_EQ(begun.failure().channel, Channel::kLog);
  EXPECT_EQ(begun.failure().exitStatus, 1);
  cache->ReleaseBlock(2);
  EXPECT_EQ(build(), 2);
  cache->Shutdown();
  EXPECT_TRUE(EverythingGivenBack());
}

INSTANTIATE_TEST_SUITE_P(EveryCache, SharedCacheTest, ::testing::ValuesIn(kCachesUnderTest),
                         [](const ::testing::TestParamInfo<CacheUnderTest>& info) { return info.param.name; });
INSTANTIATE_TEST_SUITE_P(EveryFencedCache, FencedCacheTest, ::testing::ValuesIn(FencedCaches()),
                         [](const ::testing::TestParamInfo<CacheUnderTest>& info) { return info.param.name; });

}  // namespace
