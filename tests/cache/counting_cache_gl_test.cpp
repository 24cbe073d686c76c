// The counting cache's hook gets the block BeginBlock handed out and the counts given to EndBlock,
// and what it changes is what the cache underneath draws, then and on every redraw. (Forwarding
// and counting run in the shared suite.)
#include <gtest/gtest.h>

#include <memory>

#include "cache/counting_cache.h"
#include "cache/system_memory_cache.h"
#include "cache_stress.h"
#include "cache_test_fixture.h"

namespace {

class CountingCacheTest : public CacheGLTest {
 protected:
  CountingCache counting{std::make_unique<SystemMemoryCache>()};
};

TEST_F(CountingCacheTest, OnEndBlockSeesTheBlockAndAltersWhatIsDrawn) {
  UseCellPicture();
  ASSERT_TRUE(counting.Init(64, 12).ok());
  counting.onEndBlock = [](CacheVertex* vertices, int vertexCount, uint16_t*, int indexCount) {
    for (int i = 0; i < vertexCount; ++i) vertices[i].x += 1.0f / kCellColumns;  // one cell right
    return indexCount;
  };
  CacheVertex* vertices = nullptr;
  uint16_t* indices = nullptr;
  ASSERT_TRUE(counting.BeginBlock(&vertices, &indices).ok());
  WriteCellBlock(vertices, indices, 64, 3, 10, 20, 12);
  ClearCells();
  const BlockHandle shifted = counting.EndBlock(64, 12);
  EXPECT_TRUE(ShowsOnly(4, true));

  counting.onEndBlock = [](CacheVertex*, int, uint16_t*, int) { return 0; };
  ASSERT_TRUE(counting.BeginBlock(&vertices, &indices).ok());
  WriteCellBlock(vertices, indices, 64, 5, 10, 20, 12);
  ClearCells();
  const BlockHandle hidden = counting.EndBlock(64, 12);
  EXPECT_TRUE(ShowsOnly(5, false));

  ClearCells();
  counting.DrawBlock(shifted);
  EXPECT_TRUE(ShowsOnly(4, true));
  ClearCells();
  counting.DrawBlock(hidden);
  EXPECT_TRUE(ShowsOnly(5, false));
  EXPECT_EQ(counting.blocksBuilt, 2);
  EXPECT_EQ(counting.blocksRedrawn, 2);
  counting.Shutdown();
  EXPECT_EQ(counting.StorageInUse(), 0);
}

}  // namespace
