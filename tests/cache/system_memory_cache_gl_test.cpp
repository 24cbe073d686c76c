// The system-memory cache: record lists, buffer ownership, the size check and heap failures.
#include <gtest/gtest.h>

#include "cache/cache_storage.h"
#include "cache/system_memory_cache.h"
#include "support/cache_probe.h"
#include "support/cache_test_fixture.h"

namespace {

using Probe = SystemMemoryCacheProbe;

class SystemMemoryCacheTest : public CacheGLTest {
 protected:
  BlockHandle Block(int indexCount = 0) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    for (int i = 0; i < 3; ++i) vertices[i] = {0.0f, 0.0f, 0.0f};
    for (int i = 0; i < indexCount; ++i) indices[i] = static_cast<uint16_t>(i % 3);
    return cache.EndBlock(3, indexCount);
  }

  SystemMemoryCache cache;
};

TEST_F(SystemMemoryCacheTest, SpareRecordReleasedLastIsReusedFirst) {
  cache.Init(1024, 3066);
  const BlockHandle a = Block(), b = Block(), c = Block();
  EXPECT_TRUE(Probe::CheckLists(cache, {a, b, c}, 3));
  EXPECT_EQ(Probe::LiveRecords(cache).front(), reinterpret_cast<const StoredBlock*>(c));  // newest first
  cache.ReleaseBlock(b);  // from the middle of the live list
  cache.ReleaseBlock(c);  // the head
  cache.ReleaseBlock(a);  // the last one
  EXPECT_TRUE(Probe::CheckLists(cache, {}, 3));
  EXPECT_EQ(CacheStorageInUse(), storageBefore + 3);  // records only: buffers freed at once
  EXPECT_EQ(Block(), a);
  EXPECT_EQ(Block(), c);
  EXPECT_EQ(Block(), b);
  EXPECT_TRUE(Probe::CheckLists(cache, {a, b, c}, 3));
  cache.Shutdown();
  EXPECT_EQ(CacheStorageInUse(), storageBefore);
}

TEST_F(SystemMemoryCacheTest, ShutdownWhileFillingFreesTheFillingBlock) {
  cache.Init(1024, 3066);
  Block();  // stays live
  cache.ReleaseBlock(Block());
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  cache.BeginBlock(&vertices, &indices);
  ASSERT_TRUE(Probe::Filling(cache));
  ASSERT_EQ(Probe::LiveRecords(cache).size(), 2u);
  cache.Shutdown();
  EXPECT_EQ(CacheStorageInUse(), storageBefore);
  EXPECT_TRUE(Probe::LiveRecords(cache).empty());
  EXPECT_TRUE(Probe::SpareRecords(cache).empty());
  EXPECT_FALSE(Probe::Filling(cache));
  // The same object serves again.
  cache.Init(45, 192);
  cache.ReleaseBlock(Block(192));
  cache.Shutdown();
  EXPECT_EQ(CacheStorageInUse(), storageBefore);
}

TEST_F(SystemMemoryCacheTest, ShutdownRightAfterInitFreesNothing) {
  cache.Init(1024, 3066);
  cache.Shutdown();
  EXPECT_EQ(CacheStorageInUse(), storageBefore);
  EXPECT_TRUE(Probe::CheckLists(cache, {}, 0));
  EXPECT_TRUE(ReadTerrainLog().empty());
}

TEST_F(SystemMemoryCacheTest, ArraysPointAtTheBlockBeingFilledOrDrawn) {
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  cache.Init(1024, 3066);
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  const BlockHandle first = Block();
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  cache.BeginBlock(&vertices, &indices);
  void* pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, vertices);
  glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, vertices);
  cache.EndBlock(0, 0);
  cache.DrawBlock(first);
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_EQ(pointer, reinterpret_cast<const StoredBlock*>(first)->vertices);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  cache.Shutdown();
}

TEST_F(SystemMemoryCacheTest, LargestIndexableBlockIsAccepted) {
  cache.Init(65536, 3);
  cache.ReleaseBlock(Block(3));
  cache.Shutdown();
  EXPECT_EQ(CacheStorageInUse(), storageBefore);
}

TEST_F(SystemMemoryCacheTest, BlockBeyondTheIndexRangeEndsTheProgramWithStatusTwo) {
  EXPECT_EXIT(
      {
        StdoutToStderr();
        cache.Init(65537, 3);
      },
      ::testing::ExitedWithCode(2), "^Block size greater than maximum index range\n$");
}

TEST_F(SystemMemoryCacheTest, RefusedBlockBufferEndsTheProgramWithStatusTwo) {
  cache.Init(1024, 3066);
  EXPECT_EXIT(
      {
        StdoutToStderr();
        SetCacheAllocatorForTesting([](size_t) -> void* { return nullptr; });
        Block();
      },
      // Once for the log, once for standard output: both reach stderr here.
      ::testing::ExitedWithCode(2), "^(Out of memory for a cache block\n){2}$");
  cache.Shutdown();
}

}  // namespace
