// The shell's key table, idle step, method switching and statistics, on a local shell with a
// fake clock and a recording window (a GL context makes the projection and clear calls real).
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/input.h"
#include "shell_doubles.h"
#include "support/gl_context.h"

namespace {

class ShellTest : public GLTest {
 protected:
  Status Key(unsigned char key) { return OnKey(shell_, key); }
  void Press(unsigned char key) { ASSERT_TRUE(Key(key).ok()) << key; }
  // Idle steps of 16 ms until the view has settled: two steps in a row sleep. (The eye eases
  // down to its clearance over a few hundred frames; its last snap to the ground moves it once
  // more.)
  void Settle() {
    int stillSteps = 0;
    for (int step = 0; step < 1000 && stillSteps < 2; ++step) {
      const size_t sleeps = test_.clock.sleeps.size();
      test_.Idle(16);
      stillSteps = test_.clock.sleeps.size() > sleeps ? stillSteps + 1 : 0;
    }
    ASSERT_EQ(stillSteps, 2) << "the view settles";
  }

  TestShell test_;
  Shell& shell_ = test_.shell;
  ViewState& view_ = test_.shell.view;
};

// Doubling stops at 2^30, where one more would overflow the int, and logs nothing there.
TEST_F(ShellTest, SpeedUpStopsBeforeOverflowing) {
  for (int i = 0; i < 40; ++i) Press('\'');
  EXPECT_EQ(view_.speedUp, 1 << 30);
  const std::string log = test_.Log();
  EXPECT_NE(log.find("SpeedUp doubled to: 1073741824\n"), std::string::npos);
  EXPECT_EQ(log.find("SpeedUp doubled to: 1073741824\n"), log.rfind("SpeedUp doubled to: "));
}

TEST_F(ShellTest, CameraKeysAndZoomChangeOnlyTheCurrentCamera) {
  Press('3');
  EXPECT_EQ(view_.currentCamera, 2);
  Press('+');
  EXPECT_FLOAT_EQ(view_.cameras[2].fieldOfView, 1.9f * 0.95f);
  EXPECT_EQ(view_.cameras[0].fieldOfView, 45.0f);
  EXPECT_EQ(view_.cameras[1].fieldOfView, 1.25f);
  Press('-');
  EXPECT_NEAR(view_.cameras[2].fieldOfView, 1.9f, 1e-6f);
  Press('1');
  EXPECT_EQ(view_.currentCamera, 0);
  double projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  // Camera 0's 45 degree projection: cot(22.5 degrees) on the y axis.
  EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5);
}

// Zooming keeps the field of view within (0, 180) degrees: at 180 and beyond the picture turns
// over; at 0 there is no projection.
TEST_F(ShellTest, ZoomStaysWithinAHalfTurn) {
  for (int press = 0; press < 60; ++press) Press('-');
  EXPECT_LT(view_.cameras[0].fieldOfView, 180.0f);
  EXPECT_GT(view_.cameras[0].fieldOfView, 170.0f);
  for (int press = 0; press < 3000; ++press) Press('+');
  EXPECT_GT(view_.cameras[0].fieldOfView, 0.0f);
  double projection[16];
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  for (double value : projection) EXPECT_TRUE(std::isfinite(value));
  EXPECT_GT(projection[5], 0.0);
}

TEST_F(ShellTest, PausePausesTheFlightButNotKeyDrivenRedraws) {
  test_.Idle(16);
  test_.Idle(16);
  view_.pointer = {true, 0.5, 0.0};
  Press('p');
  const float x = view_.flight.x;
  view_.flight.moved = false;
  const int redisplays = test_.window.redisplays;
  test_.Idle(16);
  EXPECT_EQ(view_.flight.x, x);
  EXPECT_EQ(test_.window.redisplays, redisplays);
  Press('W');
  test_.Idle(16);
  EXPECT_EQ(test_.window.redisplays, redisplays + 1);
  Press('P');
  test_.Idle(16);
  EXPECT_GT(view_.flight.x, x);
}

TEST_F(ShellTest, SlowFrameAdvancesTheFlightByTwiceSpeedUp) {
  view_.speedUp = 2;
  test_.Idle(20);  // the first step sets the smoothed frame time to 20 ms
  test_.Idle(20);
  view_.pointer = {true, 0.5, 0.0};
  const float x = view_.flight.x;
  test_.Idle(100);  // five times the smoothed time counts twice
  EXPECT_NEAR(view_.flight.x - x, 2.0 * view_.speedUp / 240.0, 1e-6);
  EXPECT_NEAR(shell_.smoothedFrameTime, 0.9 * 0.02 + 0.1 * 0.04, 1e-12);
  // A very fast frame counts half.
  const float before = view_.flight.x;
  test_.Idle(1);
  EXPECT_NEAR(view_.flight.x - before, 0.5 * view_.speedUp / 240.0, 1e-6);
}

TEST_F(ShellTest, SettledViewPostsNoRedisplayAndSleeps) {
  test_.Idle(20);
  EXPECT_EQ(test_.window.redisplays, 1);  // the start-up view is drawn
  EXPECT_EQ(view_.cameras[0].eye.z, view_.flight.eyeHeight);
  Settle();
  const int redisplays = test_.window.redisplays;
  const size_t sleeps = test_.clock.sleeps.size();
  for (int i = 0; i < 10; ++i) test_.Idle(20);
  EXPECT_EQ(test_.window.redisplays, redisplays);
  ASSERT_EQ(test_.clock.sleeps.size(), sleeps + 10);
  EXPECT_EQ(test_.clock.sleeps.back(), 50u);
}

// A new window size leaves the window's contents undefined: the next idle step redraws.
TEST_F(ShellTest, ReshapeAsksForARedraw) {
  Settle();
  const int redisplays = test_.window.redisplays;
  Reshape(shell_, 800, 600);
  EXPECT_EQ(view_.windowWidth, 800);
  test_.Idle(16);
  EXPECT_EQ(test_.window.redisplays, redisplays + 1);
}

TEST_F(ShellTest, SwitchingMethodsDeactivatesFirstAndSameIndexDoesNothing) {
  test_.AddMethod("A");
  test_.AddMethod("B");
  ASSERT_TRUE(SetDrawMethod(shell_, 1).ok());
  Press('D');  // wraps to record 0
  EXPECT_EQ(shell_.current, 0);
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  Press('d');
  EXPECT_EQ(test_.journal, "+B-B+A-A+B");
  ASSERT_TRUE(SetDrawMethod(shell_, -1).ok());
  EXPECT_EQ(test_.journal, "+B-B+A-A+B-B");
  // D with no method current starts at record 0.
  Press('D');
  EXPECT_EQ(shell_.current, 0);
  EXPECT_EQ(test_.journal, "+B-B+A-A+B-B+A");
}

TEST_F(ShellTest, MethodKeysComeFirstAndOnlyToTheCurrentMethod) {
  StubMethod& a = test_.AddMethod("A");
  StubMethod& b = test_.AddMethod("B");
  a.ownKey = '>';
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  view_.flight.moved = false;
  Press('x');
  EXPECT_FALSE(view_.flight.moved);
  Press('>');
  EXPECT_TRUE(view_.flight.moved);  // the picture changed though the camera did not
  Press('w');  // a general key still reaches the table after the method saw it
  EXPECT_EQ(view_.wireframeMode, 1);
  EXPECT_EQ(a.keysSeen, "x>w");
  EXPECT_EQ(b.keysSeen, "");

  // The method's failure comes back as it is, and the general key is not acted on.
  a.keyFailure = Failure{"tree broken\n", Channel::kErrorAndLog, 3, true};
  const Status status = Key('w');
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.failure().message, "tree broken\n");
  EXPECT_EQ(status.failure().exitStatus, 3);
  EXPECT_EQ(view_.wireframeMode, 1);
}

TEST_F(ShellTest, QuitKeysReturnTheQuitRequest) {
  test_.AddMethod("A");
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  for (const char key : std::string("\033qQ")) {
    const Status status = Key(static_cast<unsigned char>(key));
    ASSERT_FALSE(status.ok()) << key;
    EXPECT_EQ(status.failure().exitStatus, 0);
    EXPECT_TRUE(status.failure().quitOrderly);
    EXPECT_EQ(status.failure().message, "");
  }
  EXPECT_EQ(test_.journal, "+A");  // the program ends it, not the key
}

TEST_F(ShellTest, FailuresOfActivationAndDrawingComeBack) {
  StubMethod& a = test_.AddMethod("A");
  a.activateFailure = Failure{"no storage\n"};
  Status status = SetDrawMethod(shell_, 0);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.failure().message, "no storage\n");

  a.activateFailure.reset();
  ASSERT_TRUE(SetDrawMethod(shell_, -1).ok());
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  a.drawFailure = Failure{"cache full\n"};
  status = DisplayFrame(shell_);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.failure().message, "cache full\n");
  EXPECT_EQ(shell_.stats.frames, 0u);
  EXPECT_EQ(test_.window.swaps, 0);
}

TEST_F(ShellTest, DisplayCountsFramesOnlyWhenAMethodDraws) {
  test_.AddMethod("A");
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  EXPECT_EQ(shell_.stats.frames, 0u);
  EXPECT_EQ(shell_.stats.triangles, 0.0);
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  EXPECT_EQ(shell_.stats.frames, 2u);
  EXPECT_EQ(shell_.stats.triangles, 20.0);
  EXPECT_EQ(test_.window.swaps, 3);
}

TEST_F(ShellTest, StatisticsLineThenEveryMethodResetAndTheClockRestarted) {
  StubMethod& a = test_.AddMethod("A");
  StubMethod& b = test_.AddMethod("B");
  ASSERT_TRUE(SetDrawMethod(shell_, 1).ok());
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  ASSERT_TRUE(SetDrawMethod(shell_, 0).ok());
  shell_.stats.clockStart = test_.clock.now;
  ASSERT_TRUE(DisplayFrame(shell_).ok());
  test_.clock.now += 500;
  Press('S');
  // S resets every method, not only the current one: each divides its counters by the frames
  // since the last reset, whichever method drew them.
  EXPECT_EQ(a.counters.splits, 0u);
  EXPECT_EQ(b.counters.splits, 0u);
  EXPECT_EQ(shell_.stats.frames, 0u);
  EXPECT_EQ(shell_.stats.clockStart, test_.clock.now);
  Press('s');
  EXPECT_EQ(test_.Log(),
            "method A line\n"
            "2 frames in 500ms = 4.00 frames/second, 10.00 triangles/frame\n180 bytes of bandwidth/frame\n"
            "method A line\n"
            "0 frames in 0ms = 0.00 frames/second, 0.00 triangles/frame\n0 bytes of bandwidth/frame\n");
}

// Bytes per frame above 2^31 are printed whole, not wrapped into a negative int.
TEST_F(ShellTest, StatisticsOfHugeFramesArePrintedWhole) {
  shell_.stats.frames = 2;
  shell_.stats.bytes = 6.0e9 + 1.0;
  shell_.stats.clockStart = test_.clock.now;
  test_.clock.now += 1000;
  PrintStats(shell_);
  EXPECT_EQ(test_.Log(),
            "2 frames in 1000ms = 2.00 frames/second, 0.00 triangles/frame\n3000000000 bytes of bandwidth/frame\n");
}

}  // namespace
