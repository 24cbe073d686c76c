#include "roam/roam_method.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/frame_loop.h"
#include "app/terrain_log.h"
#include "app/window_system.h"
#include "cache/geometry_cache.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "support/roam_fake_cache.h"
#include "support/roam_fixture.h"
#include "support/temp_dir.h"

namespace {

class RoamMethodTest : public RoamTreeTest {
 protected:
  void SetUp() override {
    CaptureTerrainLog();
    Stats = {};
  }
  void TearDown() override {
    CloseTerrainLog();
    Stats = {};
    RoamTreeTest::TearDown();
  }
};

// Counters run past 32 bits in hours of flight between two resets.
TEST_F(RoamMethodTest, PrintStatisticsWritesCountersPerFrameToTheLogOnly) {
  RoamCounters = {10, 5, 20'000'000'000, 8, 2};
  Stats.frames = 4;
  testing::internal::CaptureStdout();
  PrintRoamStats();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadTerrainLog(),
            "2.50 merge tests, 1.25 merges, 5000000000.00 split tests, 2.00 splits, 0.50 force splits per frame\n");
}

TEST_F(RoamMethodTest, PrintStatisticsWithoutFramesPrintsZeros) {
  RoamCounters = {10, 5, 20, 8, 2};
  PrintRoamStats();
  EXPECT_EQ(ReadTerrainLog(), "0.00 merge tests, 0.00 merges, 0.00 split tests, 0.00 splits, 0.00 force splits per frame\n");
}

TEST_F(RoamMethodTest, CountersOutliveDeactivationAndOnlyResetClearsThem) {
  UseMetricTerrain(5, 1, 0.1f);
  const Point3 eye = EyeAbove(0.5f, 0.5f, 0.01f);
  StartRoamTree(eye);
  RoamUpdate(eye);
  StopRoamTree();
  const RoamCounterSet counted = RoamCounters;
  EXPECT_GT(counted.splits, 0);
  EXPECT_GT(counted.splitTests, 0);
  StartRoamTree(eye);
  EXPECT_EQ(RoamCounters.splits, counted.splits);
  ResetRoamStats();
  EXPECT_EQ(RoamCounters.mergeTests, 0);
  EXPECT_EQ(RoamCounters.merges, 0);
  EXPECT_EQ(RoamCounters.splitTests, 0);
  EXPECT_EQ(RoamCounters.splits, 0);
  EXPECT_EQ(RoamCounters.forceSplits, 0);
}

// A cache that says on standard error when it is shut down, to show the deactivation.
class ShutdownReportingCache : public RoamFakeCache {
 public:
  void Shutdown() override {
    RoamFakeCache::Shutdown();
    std::fprintf(stderr, "cache shut down\n");
  }
};

TEST_F(RoamMethodTest, AQueueInconsistencyDeactivatesTheMethodAndExitsWithStatus3) {
  UseMetricTerrain(4, 1, 0.1f);
  const TempDir directory;
  const std::string logPath = directory.File("output.txt");
  auto die = [&logPath]() {
    CloseTerrainLog();
    TerrainLog = std::fopen(logPath.c_str(), "a");
    ActiveCache = new ShutdownReportingCache;
    ActiveCache->Init(1024, 3066);
    StartRoamTree(EyeAbove(0.5f, 0.5f, 0.01f));
    DrawMethods[0] = StandardRoamMethod();
    DrawMethodCount = 1;
    CurrentDrawMethod = 0;
    Window.setKeyboardHandler = [](void (*)(unsigned char, int, int)) {};
    // Base triangle 1 is filed nowhere: removing it cannot succeed.
    SplitQueue.Remove(&RoamRoots[1].triangle.children->left);
  };
  EXPECT_EXIT(die(), ::testing::ExitedWithCode(3),
              "Internal inconsistency: a triangle is missing from the split queue\ncache shut down");
  EXPECT_EQ(ReadWholeFile(logPath), "Internal inconsistency: a triangle is missing from the split queue\n");
}

}  // namespace
