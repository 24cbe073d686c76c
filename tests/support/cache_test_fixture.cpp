#include "support/cache_test_fixture.h"

#include "app/terrain_log.h"
#include "cache/cache_storage.h"
#include "cache/geometry_cache.h"

CacheGLTest::CacheGLTest() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

void CacheGLTest::SetUp() {
  GLTest::SetUp();
  CaptureTerrainLog();
  ASSERT_NE(TerrainLog, nullptr);
  SetCacheAllocatorForTesting(nullptr);
  storageBefore = CacheStorageInUse();
}

void CacheGLTest::TearDown() {
  EXPECT_EQ(nv->misuses, 0) << "the cache used the NV entry points wrongly";
  DestroyGeometryCache();
  SetCacheAllocatorForTesting(nullptr);
  CloseTerrainLog();
}
