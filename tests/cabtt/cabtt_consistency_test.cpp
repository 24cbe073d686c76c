// A queue that lacks a node the tree says it holds ends the program.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "app/frame_loop.h"
#include "app/terrain_log.h"
#include "app/window_system.h"
#include "cabtt/cabtt_controls.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"
#include "support/cabtt_test_fixture.h"

namespace {

using CabttConsistencyDeathTest = CabttTest;

void IgnoreKeyboardHandler(void (*)(unsigned char, int, int)) {}

TEST_F(CabttConsistencyDeathTest, AMissingQueueEntryIsReportedAndEndsTheProgram) {
  CaptureTerrainLog();
  Window.setKeyboardHandler = IgnoreKeyboardHandler;
  DrawMethods[1] = CabttDrawMethod(false);
  CurrentDrawMethod = 1;
  Start(2);
  AggregateTriangle* top = CabttRoots[0].Top();
  ASSERT_TRUE(CabttSplitQueue.Remove(top));  // the top keeps its key but loses its entry
  EXPECT_EXIT(SplitTriangle(top, true), ::testing::ExitedWithCode(3),
              "^CABTT split queue has no entry for node 0x[0-9a-f]+ \\(split vertex [0-9]+, key [-0-9.e+]+\\)\n$");
  EXPECT_NE(ReadTerrainLog().find("CABTT split queue has no entry for node"), std::string::npos);
  Window.setKeyboardHandler = nullptr;
  CabttSplitQueue.Insert(top);
}

}  // namespace
