// Which cache a drawing method gets, and the counted storage underneath every cache.
#include "cache/cache_kinds.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cache/cache_storage.h"
#include "cache/buffer_storage_cache.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "fake_buffer_platform.h"
#include "fake_nv_platform.h"

namespace {

template <typename Cache>
bool Is(const std::unique_ptr<GeometryCache>& cache) {
  return dynamic_cast<Cache*>(cache.get()) != nullptr;
}

// Every combination of the capabilities and entry points: the default rule, which kinds can be
// served, and what a choice gets (with its one line when it cannot be had).
TEST(CacheKindsTest, TheDefaultRuleAndAChoiceGetWhatTheDriverServes) {
  FakeNvPlatform nv;
  FakeBufferPlatform buffers;
  NullLogSink log;
  for (int combination = 0; combination < 32; ++combination) {
    GlCapabilities gl;
    gl.vertexArrayRange = combination & 1;
    gl.fences = combination & 2;
    gl.bufferStorage = combination & 4;
    const CacheDrivers drivers{combination & 8 ? &nv : nullptr, combination & 16 ? &buffers : nullptr};
    SCOPED_TRACE(combination);
    const bool video = gl.vertexArrayRange && gl.fences && drivers.nv != nullptr;
    const bool buffer = gl.bufferStorage && drivers.buffers != nullptr;
    EXPECT_TRUE(CanServe(CacheKind::kSystemMemory, gl, drivers));
    EXPECT_EQ(CanServe(CacheKind::kVideoMemory, gl, drivers), video);
    EXPECT_EQ(CanServe(CacheKind::kBufferStorage, gl, drivers), buffer);

    const CacheSource fallback = DefaultCacheSource(gl, drivers, log);
    EXPECT_EQ(fallback.kind, video ? CacheKind::kVideoMemory : CacheKind::kSystemMemory);
    EXPECT_EQ(Is<VideoMemoryCache>(fallback.create()), video);
    const std::string fallbackName = CacheKindDescription(fallback.kind);

    std::string note = "stale";
    EXPECT_EQ(ChooseCacheSource(nullptr, gl, drivers, log, &note).kind, fallback.kind);
    EXPECT_EQ(note, "");
    for (const CacheKind kind : {CacheKind::kSystemMemory, CacheKind::kVideoMemory, CacheKind::kBufferStorage}) {
      const CacheSource chosen = ChooseCacheSource(CacheKindName(kind), gl, drivers, log, &note);
      const bool served = CanServe(kind, gl, drivers);
      EXPECT_EQ(chosen.kind, served ? kind : fallback.kind) << CacheKindName(kind);
      EXPECT_EQ(note, served ? "" : "This GL cannot serve the " + std::string(CacheKindDescription(kind)) +
                                        ": using the " + fallbackName + "\n");
      const std::unique_ptr<GeometryCache> cache = chosen.create();
      EXPECT_EQ(Is<BufferStorageCache>(cache), chosen.kind == CacheKind::kBufferStorage);
      EXPECT_EQ(Is<SystemMemoryCache>(cache), chosen.kind == CacheKind::kSystemMemory);
    }
    EXPECT_EQ(ChooseCacheSource("Buffer", gl, drivers, log, &note).kind, fallback.kind);
    EXPECT_EQ(note, "Unknown cache 'Buffer' (system, video or buffer): using the " + fallbackName + "\n");
  }
  EXPECT_TRUE(Is<SystemMemoryCache>(CreateGeometryCache(CacheKind::kVideoMemory, {}, log)));
  EXPECT_TRUE(Is<SystemMemoryCache>(CreateGeometryCache(CacheKind::kBufferStorage, {}, log)));
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
