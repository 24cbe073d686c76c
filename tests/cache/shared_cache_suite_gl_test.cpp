// What every GeometryCache does, run against each implementation: the block sizes Init accepts,
// drawing through the GL's arrays, refused allocations, Shutdown from any point and Init again,
// and random call sequences with the invariants checked after every call. Kind-specific
// behaviour (the video range, fences) is tested in its own files.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cache/cache_storage.h"
#include "cache/counting_cache.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "cache_stress.h"
#include "cache_test_fixture.h"
#include "support/cache_probe.h"

namespace {

// One implementation as the shared suite sees it.
struct CacheUnderTest {
  const char* name;
  std::function<std::unique_ptr<GeometryCache>(CacheEnvironment&)> make;
  // Its own bookkeeping checked against what the caller holds (optional).
  std::function<::testing::AssertionResult(const GeometryCache&, const CacheHistory&)> checkBookkeeping;
  // Moves its world along between calls (optional).
  std::function<void(CacheEnvironment&, std::mt19937&)> idle;
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

::testing::AssertionResult VideoMemoryBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& video = dynamic_cast<const VideoMemoryCache&>(cache);
  std::set<int> live;
  for (BlockHandle handle : history.LiveHandles()) live.insert(static_cast<int>(handle));
  if (auto membership = VideoMemoryCacheProbe::CheckMembership(video, live); !membership) return membership;
  if (video.StorageInUse() != VideoMemoryCacheProbe::BlockCount(video))
    return ::testing::AssertionFailure() << "not one index buffer per block number";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult CountingBookkeeping(const GeometryCache& cache, const CacheHistory& history) {
  const auto& counting = dynamic_cast<const CountingCache&>(cache);
  if (counting.blocksBuilt != history.built || counting.blocksRedrawn != history.redrawn ||
      counting.blocksReleased != history.released)
    return ::testing::AssertionFailure() << "counted " << counting.blocksBuilt << "/" << counting.blocksRedrawn << "/"
                                         << counting.blocksReleased << " built/redrawn/released, made "
                                         << history.built << "/" << history.redrawn << "/" << history.released;
  return ::testing::AssertionSuccess();
}

// The video cache gets a range of a few slots of the larger blocks, and fences that complete only
// when the idle step (or a wait) says so, so that its slots are recycled and waited for.
constexpr GLsizei kSharedVideoRange = 16 << 20;

void CompleteSomeFences(CacheEnvironment& env, std::mt19937& random) {
  if (!env.nv.fencesSet.empty())
    env.nv.CompleteFencesThrough(std::uniform_int_distribution<GLuint>(1, env.nv.fencesSet.back())(random));
}

// Every implementation, one line each.
const CacheUnderTest kCachesUnderTest[] = {
    {"SystemMemory", [](CacheEnvironment& env) { return std::make_unique<SystemMemoryCache>(env.allocator.Make()); },
     SystemMemoryBookkeeping, {}},
    {"VideoMemory",
     [](CacheEnvironment& env) {
       env.nv.RefuseAbove(kSharedVideoRange);
       env.nv.HoldFences();
       return std::make_unique<VideoMemoryCache>(env.nv, env.log, env.allocator.Make());
     },
     VideoMemoryBookkeeping, CompleteSomeFences},
    {"CountingSystemMemory",
     [](CacheEnvironment& env) {
       return std::make_unique<CountingCache>(std::make_unique<SystemMemoryCache>(env.allocator.Make()));
     },
     CountingBookkeeping, {}},
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

  // Nothing the cache took outlives Shutdown: heap storage, NV memory, fences.
  ::testing::AssertionResult EverythingGivenBack() {
    if (cache->StorageInUse() != 0) return ::testing::AssertionFailure() << cache->StorageInUse() << " allocations kept";
    if (env.nv.OutstandingGrants() != 0) return ::testing::AssertionFailure() << "NV memory kept";
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
  EXPECT_EQ(cache->StorageInUse(), 0);

  // The largest block 16-bit indices reach: its last vertex is index 65535.
  CacheStress blocks = MakeStress(7);
  ASSERT_TRUE(blocks.Start(65536, 6).ok());
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(blocks.Build()) << "block " << i;
  ASSERT_TRUE(blocks.DrawEveryLiveBlock());
  blocks.Stop();
  EXPECT_TRUE(EverythingGivenBack());
}

TEST_P(SharedCacheTest, InitEnablesTheArraysAndBlocksDrawTheTextureAtEachVertexXY) {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  ASSERT_TRUE(cache->Init(1024, 3066).ok());
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));

  // A 4 x 4 texture of distinct texels over the unit square, which fills the viewport.
  constexpr int kTexels = 4;
  auto texel = [](int s, int t) {
    return std::array<GLubyte, 4>{static_cast<GLubyte>(40 + 60 * s), static_cast<GLubyte>(40 + 60 * t),
                                  static_cast<GLubyte>(255 - 30 * (s + t)), 255};
  };
  std::vector<GLubyte> texels;
  for (int t = 0; t < kTexels; ++t)
    for (int s = 0; s < kTexels; ++s) {
      const std::array<GLubyte, 4> colour = texel(s, t);
      texels.insert(texels.end(), colour.begin(), colour.end());
    }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kTexels, kTexels, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glEnable(GL_TEXTURE_2D);
  for (GLenum capability : {GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_BLEND}) glDisable(capability);
  glViewport(0, 0, 640, 480);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

  // Two triangles over [x0, x1] x [0, 1] behind two unused vertices: indices count from the
  // block's first vertex, texture coordinates are each vertex's x and y.
  auto rectangle = [&](float x0, float x1, int indexCount) {
    glClear(GL_COLOR_BUFFER_BIT);
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    EXPECT_TRUE(cache->BeginBlock(&vertices, &indices).ok());
    const CacheVertex corners[6] = {{0.9f, 0.9f, 0.9f}, {0.1f, 0.1f, 0.1f}, {x0, 0.0f, 0.25f},
                                    {x1, 0.0f, 0.25f},  {x1, 1.0f, 0.25f},  {x0, 1.0f, 0.25f}};
    const uint16_t quad[6] = {2, 3, 4, 2, 4, 5};
    std::copy(corners, corners + 6, vertices);
    std::copy(quad, quad + 6, indices);
    return cache->EndBlock(6, indexCount);
  };
  // Every texel centre in the columns shows its own texel, the others the clear colour.
  auto expectColumns = [&](int first, int last, const char* what) {
    for (int t = 0; t < kTexels; ++t)
      for (int s = 0; s < kTexels; ++s) {
        std::array<GLubyte, 4> pixel{};
        glReadPixels((2 * s + 1) * 640 / 8, (2 * t + 1) * 480 / 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        const std::array<GLubyte, 4> clear = {0, 0, 0, 255};
        EXPECT_EQ(pixel, s >= first && s <= last ? texel(s, t) : clear)
            << what << ": texel " << s << ", " << t;
      }
  };
  const BlockHandle left = rectangle(0.0f, 0.5f, 6);
  expectColumns(0, 1, "EndBlock of the left half");
  const BlockHandle right = rectangle(0.5f, 1.0f, 6);
  expectColumns(2, 3, "EndBlock of the right half");
  const BlockHandle empty = rectangle(0.0f, 1.0f, 0);
  expectColumns(kTexels, kTexels, "EndBlock of no indices");
  EXPECT_NE(empty, kNoBlock);
  for (BlockHandle block : {left, right, empty}) {
    glClear(GL_COLOR_BUFFER_BIT);
    cache->DrawBlock(block);
  }
  expectColumns(kTexels, kTexels, "the empty block drawn last");  // cleared before it
  glClear(GL_COLOR_BUFFER_BIT);
  cache->DrawBlock(left);
  expectColumns(0, 1, "DrawBlock of the left half");
  glClear(GL_COLOR_BUFFER_BIT);
  cache->DrawBlock(right);
  expectColumns(2, 3, "DrawBlock of the right half");
  for (BlockHandle block : {left, right, empty}) cache->ReleaseBlock(block);
  cache->Shutdown();
  glDeleteTextures(1, &texture);
  EXPECT_TRUE(EverythingGivenBack());
}

TEST_P(SharedCacheTest, RefusedAllocationFailsBeginBlockAndLeavesTheCacheAsItWas) {
  CacheStress blocks = MakeStress(11);
  ASSERT_TRUE(blocks.Start(1024, 3066).ok());
  ASSERT_TRUE(blocks.Build());
  ASSERT_TRUE(blocks.Build());
  const long storage = cache->StorageInUse();
  env.allocator.RefuseAll();
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  const Status begun = cache->BeginBlock(&vertices, &indices);
  ASSERT_FALSE(begun.ok());
  EXPECT_EQ(begun.failure().message, "Out of memory for a cache block\n");
  EXPECT_EQ(begun.failure().channel, Channel::kLogAndConsole);
  EXPECT_EQ(begun.failure().exitStatus, 2);
  EXPECT_EQ(cache->StorageInUse(), storage);
  EXPECT_TRUE(Bookkeeping(blocks.history()));
  EXPECT_TRUE(blocks.DrawEveryLiveBlock());

  env.allocator.GrantAll();
  EXPECT_TRUE(blocks.Build());
  EXPECT_TRUE(blocks.DrawEveryLiveBlock());
  EXPECT_TRUE(Bookkeeping(blocks.history()));
  blocks.Stop();
  EXPECT_TRUE(EverythingGivenBack());
}

TEST_P(SharedCacheTest, ShutdownFromAnyPointGivesEverythingBackAndInitStartsAfresh) {
  ASSERT_TRUE(cache->Init(1024, 3066).ok());
  cache->Shutdown();
  EXPECT_TRUE(EverythingGivenBack()) << "right after Init";

  CacheStress blocks = MakeStress(13);
  ASSERT_TRUE(blocks.Start(45, 192).ok());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(blocks.Build());
  blocks.Release(blocks.history().live.begin()->first);
  env.allocator.GrantAll();
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
  EXPECT_GT(refusals, 0) << "no allocation was refused: the failure path went untested";
}

INSTANTIATE_TEST_SUITE_P(EveryCache, SharedCacheTest, ::testing::ValuesIn(kCachesUnderTest),
                         [](const ::testing::TestParamInfo<CacheUnderTest>& info) { return info.param.name; });

}  // namespace
