#include "support/terrain_log_capture.h"
#include "support/cache_test_fixture.h"

#include <unistd.h>

#include "app/terrain_log.h"
#include "cache/cache_storage.h"
#include "cache/geometry_cache.h"

CacheGLTest::CacheGLTest() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }

void CacheGLTest::SetUp() {
  GLTest::SetUp();
  previousLog = TerrainLog;
  TerrainLog = std::tmpfile();
  ASSERT_NE(TerrainLog, nullptr);
  SetCacheAllocatorForTesting(nullptr);
  storageBefore = CacheStorageInUse();
}

void CacheGLTest::TearDown() {
  EXPECT_EQ(nv->misuses, 0) << "the cache used the NV entry points wrongly";
  DestroyGeometryCache();
  SetCacheAllocatorForTesting(nullptr);
  if (TerrainLog != nullptr) std::fclose(TerrainLog);
  TerrainLog = previousLog;
}

std::string CacheGLTest::LogText() { return ReadTerrainLog(); }

void SendOutputToStderr() {
  std::fflush(stdout);
  dup2(STDERR_FILENO, STDOUT_FILENO);
  TerrainLog = stderr;
}
