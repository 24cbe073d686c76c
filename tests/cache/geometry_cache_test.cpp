// Creation and replacement of ActiveCache, and the checked heap storage underneath the caches.
#include "cache/geometry_cache.h"

#include <gtest/gtest.h>

#include "app/gl_state.h"
#include "cache/cache_storage.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

namespace {

struct SpyCounts {
  int destroyed = 0;
  int shutdowns = 0;
};

class SpyCache : public GeometryCache {
 public:
  explicit SpyCache(SpyCounts* counts) : counts(counts) {}
  ~SpyCache() override { ++counts->destroyed; }
  void Init(int, int) override {}
  void Shutdown() override { ++counts->shutdowns; }
  void BeginBlock(CacheVertex**, uint16_t**) override {}
  BlockHandle EndBlock(int, int) override { return kNoBlock; }
  void DrawBlock(BlockHandle) override {}
  void ReleaseBlock(BlockHandle) override {}

 private:
  SpyCounts* counts;
};

class GeometryCacheCreationTest : public ::testing::Test {
 protected:
  void TearDown() override {
    DestroyGeometryCache();
    ResetGLState();
  }
};

TEST_F(GeometryCacheCreationTest, VideoMemoryOnlyWithBothExtensions) {
  const struct {
    bool range, fences, video;
  } cases[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, true}};
  for (const auto& c : cases) {
    VertexArrayRangeSupported = c.range;
    FencesSupported = c.fences;
    CreateGeometryCache();
    EXPECT_EQ(dynamic_cast<VideoMemoryCache*>(ActiveCache) != nullptr, c.video) << c.range << c.fences;
    EXPECT_EQ(dynamic_cast<SystemMemoryCache*>(ActiveCache) != nullptr, !c.video) << c.range << c.fences;
  }
}

TEST_F(GeometryCacheCreationTest, ReplacementDestroysThePreviousObjectWithoutShutdown) {
  SpyCounts counts;
  ActiveCache = new SpyCache(&counts);
  CreateSystemMemoryCache();
  EXPECT_EQ(counts.destroyed, 1);
  EXPECT_EQ(counts.shutdowns, 0);
  EXPECT_NE(dynamic_cast<SystemMemoryCache*>(ActiveCache), nullptr);

  DestroyGeometryCache();
  ActiveCache = new SpyCache(&counts);
  CreateVideoMemoryCache();
  EXPECT_EQ(counts.destroyed, 2);
  EXPECT_EQ(counts.shutdowns, 0);
  EXPECT_NE(dynamic_cast<VideoMemoryCache*>(ActiveCache), nullptr);
  DestroyGeometryCache();
  EXPECT_EQ(ActiveCache, nullptr);
}

TEST(CacheStorageTest, CountsWhatIsHeldAndTreatsEmptyRequestsAsGranted) {
  const long before = CacheStorageInUse();
  void* empty = AllocateCacheStorage(0);
  void* block = AllocateCacheStorage(12288);
  EXPECT_NE(empty, nullptr);
  EXPECT_EQ(CacheStorageInUse(), before + 2);
  FreeCacheStorage(empty);
  FreeCacheStorage(block);
  FreeCacheStorage(nullptr);
  EXPECT_EQ(CacheStorageInUse(), before);
}

TEST(CacheStorageTest, RefusedAllocationEndsTheProgramWithStatusTwo) {
  EXPECT_EXIT(
      {
        SetCacheAllocatorForTesting([](size_t) -> void* { return nullptr; });
        AllocateCacheStorage(16);
      },
      ::testing::ExitedWithCode(2), "");
  SetCacheAllocatorForTesting(nullptr);
}

}  // namespace
