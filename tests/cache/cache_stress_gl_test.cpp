// Random begin/end/draw/release sequences with the caches' invariants checked after every
// step: each created block on exactly one list, live blocks' data untouched, video slots
// reused only after their fence, and everything given back by Shutdown.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "cache/cache_storage.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"
#include "support/cache_probe.h"
#include "support/cache_test_fixture.h"

namespace {

constexpr int kSteps = 4000;
constexpr int kMaxLive = 10;
constexpr int kVerticesWritten = 8;

// A live block as the caller sees it: its vertex storage and the tag written into it.
struct LiveBlock {
  const CacheVertex* vertices;
  float tag;
};

class CacheStressTest : public CacheGLTest {
 protected:
  void SetUp() override {
    CacheGLTest::SetUp();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }

  // Begins a block and writes a few tagged vertices and random indices over them; returns the
  // index count for EndBlock.
  int WriteBlock(GeometryCache& cache, int maxIndices, float tag, const CacheVertex** storage) {
    CacheVertex* vertices = nullptr;
    uint16_t* indices = nullptr;
    cache.BeginBlock(&vertices, &indices);
    for (int i = 0; i < kVerticesWritten; ++i) vertices[i] = {tag, 2.0f + i, 0.0f};  // off screen: cheap draws
    const int indexCount = std::uniform_int_distribution<int>(0, std::min(maxIndices, 30) / 3)(random) * 3;
    for (int i = 0; i < indexCount; ++i)
      indices[i] = static_cast<uint16_t>(std::uniform_int_distribution<int>(0, kVerticesWritten - 1)(random));
    *storage = vertices;
    return indexCount;
  }

  int Action() { return std::uniform_int_distribution<int>(0, 9)(random); }

  template <typename Handle>
  ::testing::AssertionResult LiveDataIntact(const std::map<Handle, LiveBlock>& live) {
    for (const auto& [handle, block] : live)
      for (int i = 0; i < kVerticesWritten; ++i)
        if (block.vertices[i].x != block.tag || block.vertices[i].y != 2.0f + i)
          return ::testing::AssertionFailure() << "block " << handle << " was overwritten while live";
    return ::testing::AssertionSuccess();
  }

  template <typename Handle>
  Handle PickLive(const std::map<Handle, LiveBlock>& live) {
    auto it = live.begin();
    std::advance(it, std::uniform_int_distribution<size_t>(0, live.size() - 1)(random));
    return it->first;
  }

  std::mt19937 random{20240611};
};

TEST_F(CacheStressTest, VideoMemoryCacheKeepsEveryBlockOnExactlyOneList) {
  VideoMemoryCache cache;
  nv->HoldFences();
  float nextTag = 1.0f;
  std::map<int, LiveBlock> live;
  std::map<int, GLuint> lastDrawFence;  // the fence that will close the interval of a block's latest draw
  // Fence names run 1, 2, 3, ... in the order set, one per interval.
  auto openIntervalFence = [&] { return static_cast<GLuint>(nv->fencesSet.size()) + 1; };
  for (int session = 0; session < 3; ++session) {
    // 16 slots of 16,384 vertices: a fence every 8 draws, and a range small enough to fill.
    const int blockVertices = 16384;
    const int maxIndices = std::uniform_int_distribution<int>(3, 300)(random);
    live.clear();
    lastDrawFence.clear();
    nv->RefuseAbove(16 * blockVertices * 12);
    cache.Init(blockVertices, maxIndices);
    ASSERT_EQ(VideoMemoryCacheProbe::BlockCapacity(cache), 16);

    for (int step = 0; step < kSteps; ++step) {
      const int action = Action();
      if (action < 4 && static_cast<int>(live.size()) < kMaxLive) {
        const CacheVertex* storage = nullptr;
        const int indexCount = WriteBlock(cache, maxIndices, nextTag, &storage);
        const GLuint fence = openIntervalFence();
        const int block = static_cast<int>(cache.EndBlock(kVerticesWritten, indexCount));
        ASSERT_EQ(live.count(block), 0u) << "a live block was handed out again";
        if (lastDrawFence.count(block)) {  // old contents may be overwritten only once the GPU is done
          ASSERT_TRUE(nv->FenceComplete(lastDrawFence[block])) << "slot " << block << " reused too early";
        }
        live[block] = {storage, nextTag++};
        lastDrawFence[block] = fence;
      } else if (action < 7 && !live.empty()) {
        const int block = PickLive(live);
        lastDrawFence[block] = openIntervalFence();
        cache.DrawBlock(block);
      } else if (action < 9 && !live.empty()) {
        const int block = PickLive(live);
        cache.ReleaseBlock(block);
        live.erase(block);
      } else if (!nv->fencesSet.empty()) {
        nv->CompleteFencesThrough(std::uniform_int_distribution<GLuint>(1, nv->fencesSet.back())(random));
      }
      std::set<int> liveSet;
      for (const auto& entry : live) liveSet.insert(entry.first);
      ASSERT_TRUE(VideoMemoryCacheProbe::CheckMembership(cache, liveSet)) << "step " << step;
      ASSERT_TRUE(LiveDataIntact(live)) << "step " << step;
    }
    EXPECT_FALSE(nv->fencesFinished.empty()) << "the range never filled up: the waits went untested";
    cache.Shutdown();
    EXPECT_EQ(nv->OutstandingGrants(), 0);
    EXPECT_EQ(CacheStorageInUse(), storageBefore);
    std::vector<GLuint> set = nv->fencesSet, deleted = nv->fencesDeleted;
    std::sort(set.begin(), set.end());
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(set, deleted) << "every fence set is deleted by retirement or Shutdown";
  }
}

TEST_F(CacheStressTest, SystemMemoryCacheKeepsItsListsAndGivesEverythingBack) {
  SystemMemoryCache cache;
  float nextTag = 1.0f;
  std::map<BlockHandle, LiveBlock> live;
  for (int session = 0; session < 3; ++session) {
    const int maxIndices = std::uniform_int_distribution<int>(3, 300)(random);
    cache.Init(std::uniform_int_distribution<int>(kVerticesWritten, 2048)(random), maxIndices);
    live.clear();
    size_t records = 0;  // records are kept until Shutdown: as many as were ever live at once
    for (int step = 0; step < kSteps; ++step) {
      const int action = Action();
      if (action < 4 && static_cast<int>(live.size()) < kMaxLive) {
        const CacheVertex* storage = nullptr;
        const int indexCount = WriteBlock(cache, maxIndices, nextTag, &storage);
        const BlockHandle handle = cache.EndBlock(kVerticesWritten, indexCount);
        ASSERT_NE(handle, kNoBlock);
        ASSERT_EQ(live.count(handle), 0u) << "a live block was handed out again";
        live[handle] = {storage, nextTag++};
        records = std::max(records, live.size());
      } else if (action < 7 && !live.empty()) {
        cache.DrawBlock(PickLive(live));
      } else if (!live.empty()) {
        const BlockHandle handle = PickLive(live);
        cache.ReleaseBlock(handle);
        live.erase(handle);
      }
      std::set<BlockHandle> liveSet;
      for (const auto& entry : live) liveSet.insert(entry.first);
      ASSERT_TRUE(SystemMemoryCacheProbe::CheckLists(cache, liveSet, records)) << "step " << step;
      ASSERT_EQ(CacheStorageInUse(), storageBefore + static_cast<long>(records + 2 * live.size())) << "step " << step;
      ASSERT_TRUE(LiveDataIntact(live)) << "step " << step;
    }
    cache.Shutdown();
    EXPECT_EQ(CacheStorageInUse(), storageBefore);
  }
}

}  // namespace
