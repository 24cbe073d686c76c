// The key table, the idle step and the draw-method switch, driven through the window-system and
// clock doubles (a GL context makes the projection calls real).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/keys.h"
#include "app/terrain_log.h"
#include "support/test_terrain.h"
#include "support/gl_context.h"
#include "support/shell_doubles.h"

namespace {

std::string calls;
void ActivateA() { calls += "+A"; }
void DeactivateA() { calls += "-A"; }
void ActivateB() { calls += "+B"; }
void DeactivateB() { calls += "-B"; }
void DrawA() { Stats.triangles += 10; Stats.bytes += 180; }
void PrintA() { LogPrintf("method A line\n"); }
void ResetA() { calls += "reset"; }
void KeyboardB(unsigned char, int, int) {}

class ShellTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    InstallShellDoubles();
    CaptureTerrainLog();
    VerticalScale = 0.1f;
    ResetViewState();
    ResetFrameLoop();
    InstallFlatTerrain(4, 1000);
    IdlePreviousTime = Shell.now * 0.001;
    calls.clear();
  }
  void TearDown() override {
    CurrentDrawMethod = -1;
    ResetFrameLoop();
    DestroyHeightField();
    CloseTerrainLog();
    RemoveShellDoubles();
  }
  void InstallTwoMethods() {
    DrawMethods[0] = {ActivateA, DrawA, DeactivateA, OnKey, PrintA, ResetA};
    DrawMethods[1] = {ActivateB, nullptr, DeactivateB, KeyboardB, nullptr, nullptr};
    DrawMethodCount = 2;
  }
  // One idle step after the clock advanced by milliseconds.
  void Idle(uint32_t milliseconds) {
    Shell.now += milliseconds;
    IdleStep();
  }
};

TEST_F(ShellTest, WireframeCyclesThroughFourModes) {
  for (int expected : {1, 2, 3, 0}) {
    Flight.moved = false;
    OnKey('W', 0, 0);
    EXPECT_EQ(WireframeMode, expected);
    EXPECT_TRUE(Flight.moved);
  }
  OnKey('w', 0, 0);
  EXPECT_EQ(WireframeMode, 1);
}

TEST_F(ShellTest, CullingKeysWrapAndLog) {
  CullingLevel = 0;
  OnKey('c', 0, 0);
  EXPECT_EQ(CullingLevel, 30);
  OnKey('C', 0, 0);
  EXPECT_EQ(CullingLevel, 0);
  OnKey('C', 0, 0);
  EXPECT_EQ(ReadTerrainLog(),
            "Culling turned on (level=30)\nCulling turned off (level=0)\nCulling turned on (level=1)\n");
}

TEST_F(ShellTest, SpeedUpKeysLogAndStopAtTheBounds) {
  OnKey(';', 0, 0);
  EXPECT_EQ(SpeedUp, 1);
  OnKey('\'', 0, 0);
  OnKey('\'', 0, 0);
  OnKey(';', 0, 0);
  EXPECT_EQ(SpeedUp, 2);
  EXPECT_EQ(ReadTerrainLog(), "SpeedUp doubled to: 2\nSpeedUp doubled to: 4\nSpeedUp halved to: 2\n");
  for (int i = 0; i < 40; ++i) OnKey('\'', 0, 0);
  EXPECT_EQ(SpeedUp, 1 << 30);
  const std::string log = ReadTerrainLog();
  int doubled = 0;
  for (size_t at = log.find("doubled"); at != std::string::npos; at = log.find("doubled", at + 1)) ++doubled;
  EXPECT_EQ(doubled, 2 + 29);  // nothing is logged once the bound is reached
}

TEST_F(ShellTest, ClearanceAndFieldOfViewKeys) {
  const float clearance = Flight.clearance;
  OnKey('A', 0, 0);
  EXPECT_FLOAT_EQ(Flight.clearance, clearance + 0.005f);
  OnKey('z', 0, 0);
  OnKey('Z', 0, 0);
  EXPECT_FLOAT_EQ(Flight.clearance, clearance - 0.005f);

  OnKey('3', 0, 0);
  EXPECT_EQ(CurrentCamera, 2);
  OnKey('+', 0, 0);
  EXPECT_FLOAT_EQ(Cameras[2].fieldOfView, 1.9f * 0.95f);
  EXPECT_EQ(Cameras[0].fieldOfView, 45.0f);
  EXPECT_EQ(Cameras[1].fieldOfView, 1.25f);
  OnKey('-', 0, 0);
  EXPECT_NEAR(Cameras[2].fieldOfView, 1.9f, 1e-6f);
  OnKey('1', 0, 0);
  EXPECT_EQ(CurrentCamera, 0);
  double projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  // Camera 0's 45 degree projection: cot(22.5 degrees) on the y axis.
  EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5);
}

// Zooming keeps the field of view within (0, 180) degrees: at 180 and beyond the picture turns
// over; at 0 there is no projection.
TEST_F(ShellTest, ZoomStaysWithinAHalfTurn) {
  for (int press = 0; press < 60; ++press) OnKey('-', 0, 0);
  EXPECT_LT(Cameras[0].fieldOfView, 180.0f);
  EXPECT_GT(Cameras[0].fieldOfView, 170.0f);
  for (int press = 0; press < 3000; ++press) OnKey('+', 0, 0);
  EXPECT_GT(Cameras[0].fieldOfView, 0.0f);
  double projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  for (double value : projection) EXPECT_TRUE(std::isfinite(value));
  EXPECT_GT(projection[5], 0.0);
}

TEST_F(ShellTest, PausePausesTheFlightButNotKeyDrivenRedraws) {
  Idle(16);
  Idle(16);
  Pointer = {true, 0.5, 0.0};
  OnKey('p', 0, 0);
  EXPECT_TRUE(Paused);
  const float x = Flight.x;
  Flight.moved = false;
  const int redisplays = Shell.redisplays;
  Idle(16);
  EXPECT_EQ(Flight.x, x);
  EXPECT_EQ(Shell.redisplays, redisplays);
  OnKey('W', 0, 0);
  Idle(16);
  EXPECT_EQ(Shell.redisplays, redisplays + 1);
  OnKey('P', 0, 0);
  Idle(16);
  EXPECT_GT(Flight.x, x);
}

TEST_F(ShellTest, SlowFrameAdvancesTheFlightByTwiceSpeedUp) {
  SpeedUp = 2;
  Idle(20);  // the first step sets the smoothed frame time to 20 ms
  Idle(20);
  Pointer = {true, 0.5, 0.0};
  const float x = Flight.x;
  Idle(100);  // five times the smoothed time counts twice
  EXPECT_NEAR(Flight.x - x, 2.0 * SpeedUp / 240.0, 1e-6);
  EXPECT_NEAR(SmoothedFrameTime, 0.9 * 0.02 + 0.1 * 0.04, 1e-12);
}

TEST_F(ShellTest, StillSettledViewPostsNoRedisplayAndSleeps) {
  Idle(20);
  EXPECT_EQ(Shell.redisplays, 1);  // the start-up view is drawn
  // The eye eases down to its clearance over a few hundred frames, then the view is still.
  int stillSteps = 0;
  for (int i = 0; i < 1000 && stillSteps < 2; ++i) {
    const int before = Shell.redisplays;
    Idle(20);
    stillSteps = Shell.redisplays == before ? stillSteps + 1 : 0;
  }
  ASSERT_EQ(stillSteps, 2);
  const int redisplays = Shell.redisplays;
  const size_t sleeps = Shell.sleeps.size();
  for (int i = 0; i < 10; ++i) Idle(20);
  EXPECT_EQ(Shell.redisplays, redisplays);
  ASSERT_EQ(Shell.sleeps.size(), sleeps + 10);
  EXPECT_EQ(Shell.sleeps.back(), 50u);
}

TEST_F(ShellTest, SwitchingMethodsDeactivatesFirstAndSameIndexDoesNothing) {
  InstallTwoMethods();
  SetDrawMethod(1);
  EXPECT_EQ(Shell.keyboard, KeyboardB);
  OnKey('D', 0, 0);
  EXPECT_EQ(CurrentDrawMethod, 0);
  EXPECT_EQ(Shell.keyboard, OnKey);
  SetDrawMethod(0);
  OnKey('d', 0, 0);
  EXPECT_EQ(calls, "+B-B+A-A+B");
  SetDrawMethod(-1);
  EXPECT_EQ(calls, "+B-B+A-A+B-B");
  EXPECT_EQ(Shell.keyboard, OnKey);
}

TEST_F(ShellTest, DisplayCountsFramesOnlyWithADrawOperation) {
  InstallTwoMethods();
  DisplayFrame();
  EXPECT_EQ(Stats.frames, 0u);
  SetDrawMethod(1);
  DisplayFrame();
  EXPECT_EQ(Stats.frames, 0u);
  SetDrawMethod(0);
  DisplayFrame();
  DisplayFrame();
  EXPECT_EQ(Stats.frames, 2u);
  EXPECT_EQ(Shell.swaps, 4);
}

TEST_F(ShellTest, StatisticsLineAndZeroFramePeriod) {
  InstallTwoMethods();
  SetDrawMethod(0);
  Stats.clockStart = Shell.now;
  DisplayFrame();
  DisplayFrame();
  Shell.now += 500;
  OnKey('S', 0, 0);
  EXPECT_EQ(calls, "+Areset");
  OnKey('s', 0, 0);
  EXPECT_EQ(ReadTerrainLog(),
            "method A line\n"
            "2 frames in 500ms = 4.00 frames/second, 10.00 triangles/frame\n180 bytes of bandwidth/frame\n"
            "method A line\n"
            "0 frames in 0ms = 0.00 frames/second, 0.00 triangles/frame\n0 bytes of bandwidth/frame\n");
}

// Bytes per frame above 2^31 are printed whole, not wrapped into a negative int.
TEST_F(ShellTest, StatisticsOfHugeFramesArePrintedWhole) {
  Stats.frames = 2;
  Stats.bytes = 6.0e9 + 1.0;
  Stats.clockStart = Shell.now;
  Shell.now += 1000;
  PrintStats();
  EXPECT_EQ(ReadTerrainLog(),
            "2 frames in 1000ms = 2.00 frames/second, 0.00 triangles/frame\n3000000000 bytes of bandwidth/frame\n");
}

// S resets every method's counters, not only the current one's: each divides its counters by
// the frames since the last reset.
TEST_F(ShellTest, StatisticsResetReachesEveryMethod) {
  InstallTwoMethods();
  DrawMethods[1].resetStats = [] { calls += "resetB"; };
  SetDrawMethod(1);
  calls.clear();
  ResetStats();
  EXPECT_EQ(calls, "resetresetB");
}

// A new window size leaves the window's contents undefined: the next idle step redraws.
TEST_F(ShellTest, ReshapeAsksForARedraw) {
  for (int step = 0; step < 400 && Shell.sleeps.empty(); ++step) Idle(16);
  ASSERT_FALSE(Shell.sleeps.empty()) << "the view settles";
  const int redisplays = Shell.redisplays;
  Reshape(800, 600);
  Idle(16);
  EXPECT_EQ(Shell.redisplays, redisplays + 1);
}

TEST_F(ShellTest, FullScreenSavesAndRestoresTheWindowSize) {
  WindowWidth = 700;
  WindowHeight = 500;
  OnKey('F', 0, 0);
  EXPECT_EQ(Shell.fullScreens, 1);
  WindowWidth = 1280;
  WindowHeight = 1024;
  OnKey('f', 0, 0);
  ASSERT_EQ(Shell.reshapes.size(), 1u);
  EXPECT_EQ(Shell.reshapes[0], std::make_pair(700, 500));
}

TEST_F(ShellTest, QuitDeactivatesAndExitsWithStatusZero) {
  InstallTwoMethods();
  SetDrawMethod(0);
  DrawMethods[0].deactivate = [] { std::fputs("deactivated", stderr); };
  EXPECT_EXIT(OnKey(27, 0, 0), ::testing::ExitedWithCode(0), "deactivated");
}

}  // namespace
