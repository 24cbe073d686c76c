// Which cache a drawing method gets, and the counted storage underneath every cache.
#include "cache/cache_kinds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "cache/cache_storage.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "fake_nv_platform.h"

namespace {

TEST(CacheKindsTest, VideoMemoryOnlyWithBothNvExtensionsAndTheirEntryPoints) {
  FakeNvPlatform nv;
  NullLogSink log;
  for (bool range : {false, true})
    for (bool fences : {false, true})
      for (NvPlatform* entryPoints : {static_cast<NvPlatform*>(nullptr), static_cast<NvPlatform*>(&nv)}) {
        GlCapabilities gl;
        gl.vertexArrayRange = range;
        gl.fences = fences;
        const bool video = range && fences && entryPoints != nullptr;
        const CacheSource source = DefaultCacheSource(gl, entryPoints, log);
        EXPECT_EQ(source.kind, video ? CacheKind::kVideoMemory : CacheKind::kSystemMemory) << range << fences;
        const std::unique_ptr<GeometryCache> cache = source.create();
        EXPECT_EQ(dynamic_cast<VideoMemoryCache*>(cache.get()) != nullptr, video) << range << fences;
        EXPECT_EQ(dynamic_cast<SystemMemoryCache*>(cache.get()) != nullptr, !video) << range << fences;
      }
  const std::unique_ptr<GeometryCache> fallback = CreateGeometryCache(CacheKind::kVideoMemory, nullptr, log);
  EXPECT_NE(dynamic_cast<SystemMemoryCache*>(fallback.get()), nullptr);
}

TEST(CacheStorageTest, CountsWhatIsHeldAndNullAlwaysMeansRefused) {
  // An allocator may legally answer a zero-byte request with null; this one does, and refuses 16.
  CacheStorage storage([](size_t bytes) { return bytes == 0 || bytes == 16 ? nullptr : std::malloc(bytes); });
  void* empty = storage.Allocate(0);
  void* block = storage.Allocate(12288);
  EXPECT_NE(empty, nullptr) << "an empty request is granted";
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(storage.InUse(), 2);
  EXPECT_EQ(storage.Allocate(16), nullptr);
  EXPECT_EQ(storage.InUse(), 2) << "a refusal holds nothing";
  const Failure outOfMemory = OutOfCacheMemory();  // what a cache's BeginBlock then returns
  EXPECT_EQ(outOfMemory.message, "Out of memory for a cache block\n");
  EXPECT_EQ(outOfMemory.channel, Channel::kLogAndConsole);
  EXPECT_EQ(outOfMemory.exitStatus, 2);
  storage.Free(nullptr);
  storage.Free(empty);
  storage.Free(block);
  EXPECT_EQ(storage.InUse(), 0);
}

}  // namespace
