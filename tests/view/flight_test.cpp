// The flight model and the cameras that follow it.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "app/view/camera.h"
#include "support/test_terrain.h"

namespace {

TEST(FlightResponseTest, EndsAndDeadZone) {
  EXPECT_DOUBLE_EQ(FlightResponse(0.0), -1.0);
  EXPECT_DOUBLE_EQ(FlightResponse(1.0), 1.0);
  EXPECT_EQ(FlightResponse(0.45), 0.0);
  EXPECT_EQ(FlightResponse(0.5), 0.0);
  EXPECT_EQ(FlightResponse(0.55), 0.0);
  EXPECT_LT(FlightResponse(0.44), 0.0);
  EXPECT_GT(FlightResponse(0.56), 0.0);
  EXPECT_DOUBLE_EQ(FlightResponse(0.2), -FlightResponse(0.8));
}

// Camera 0 at the start view over a flat field at half height, settled at its clearance.
class FlightTest : public ::testing::Test {
 protected:
  FlightTest() : field_(FlatField(4, 32768)), view_(StartViewState(0.1f)) {
    ground_ = field_.Height(0, 0);
    flight_.moved = false;
    Update(1.0);
  }

  void Steer(double x, double y) { view_.pointer = {true, x, y}; }
  void Update(double step) { UpdateFlight(flight_, view_.pointer, view_.paused, field_, step); }

  HeightField field_;
  ViewState view_;
  FlightState& flight_ = view_.flight;
  float ground_ = 0.0f;
};

TEST_F(FlightTest, AtRestTheEyeStandsAtGroundPlusClearance) {
  EXPECT_FLOAT_EQ(flight_.clearance, 0.02f);  // 0.2 x the vertical scale
  EXPECT_FLOAT_EQ(flight_.eyeHeight, ground_ + 0.02f);
  EXPECT_FALSE(flight_.moved);
}

TEST_F(FlightTest, EdgesFlyOneTwoHundredFortiethAndTurnPiOverSixtyPerUnitStep) {
  Steer(0.5, 0.5);  // the dead zone: held, but nothing moves
  Update(1.0);
  EXPECT_TRUE(flight_.moved);
  EXPECT_EQ(flight_.x, 0.5f);
  EXPECT_EQ(flight_.heading, 0.0f);
  Steer(0.5, 0.0);
  Update(1.0);
  EXPECT_NEAR(flight_.x, 0.5 + 1.0 / 240, 1e-7);
  EXPECT_EQ(flight_.y, 0.5f);
  Steer(0.5, 1.0);
  Update(1.0);
  EXPECT_NEAR(flight_.x, 0.5, 1e-7);

  Steer(0.0, 0.5);
  Update(1.0);
  EXPECT_NEAR(flight_.heading, M_PI / 60, 1e-7);
  Steer(1.0, 0.5);
  Update(2.0);  // the step scales the turn
  EXPECT_NEAR(flight_.heading, M_PI / 60 - 2 * M_PI / 60, 1e-7);
}

TEST_F(FlightTest, CoastsToRestInAboutFiveStepsThenStaysStill) {
  Steer(0.5, 0.0);
  Update(1.0);
  view_.pointer.leftDown = false;
  int steps = 0;
  float lastX = flight_.x;
  while (steps < 20) {
    Update(1.0);
    ++steps;
    if (flight_.x == lastX) break;
    EXPECT_GT(flight_.x, lastX);
    lastX = flight_.x;
  }
  EXPECT_GE(steps, 5);
  EXPECT_LE(steps, 6);
  flight_.moved = false;
  Update(1.0);
  Update(1.0);
  EXPECT_FALSE(flight_.moved);
}

TEST_F(FlightTest, EyeEasesTowardsTargetAndNeverBelowHalfClearance) {
  flight_.eyeHeight = ground_ + 1.0f;
  Steer(0.5, 0.5);
  Update(1.0);
  const float target = ground_ + flight_.clearance;
  EXPECT_NEAR(flight_.eyeHeight, (ground_ + 1.0f) + 0.07 * (target - (ground_ + 1.0f)), 1e-6);
  flight_.eyeHeight = ground_ - 1.0f;
  Update(1.0);
  EXPECT_FLOAT_EQ(flight_.eyeHeight, ground_ + 0.5f * flight_.clearance);
}

TEST_F(FlightTest, PausedFlightDoesNothing) {
  view_.paused = true;
  Steer(0.0, 0.0);
  const FlightState before = flight_;
  Update(1.0);
  EXPECT_EQ(flight_.x, before.x);
  EXPECT_EQ(flight_.heading, before.heading);
  EXPECT_EQ(flight_.eyeHeight, before.eyeHeight);
  EXPECT_FALSE(flight_.moved);
}

// Thousands of random steps over a rough field, with the step factors the idle loop hands out:
// the flight never leaves the unit square, the eye never sinks below half its clearance, and
// the velocities are what the last step moved.
TEST(FlightInvariantTest, RandomFlightStaysOverTheTerrainAndAboveHalfClearance) {
  const HeightField field = RoughField(6, 3);
  ViewState view = StartViewState(field.verticalScale);
  std::mt19937 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int step = 0; step < 20000; ++step) {
    if (step % 50 == 0) view.pointer = {unit(random) < 0.8, unit(random), unit(random) * 0.6};
    if (step % 700 == 0) view.flight.clearance = static_cast<float>(0.005 + 0.03 * unit(random));
    const float oldX = view.flight.x;
    const float oldY = view.flight.y;
    const double factor = 0.5 + 1.5 * unit(random);
    const double speedUp = step % 1000 < 100 ? 64.0 : 1.0;
    UpdateFlight(view.flight, view.pointer, false, field, speedUp * factor);
    const FlightState& flight = view.flight;
    ASSERT_GE(flight.x, 0.0f) << step;
    ASSERT_LE(flight.x, 1.0f) << step;
    ASSERT_GE(flight.y, 0.0f) << step;
    ASSERT_LE(flight.y, 1.0f) << step;
    const float ground = field.SampleHeight(flight.x, flight.y);
    ASSERT_GE(flight.eyeHeight, ground + 0.5f * flight.clearance - 1e-6f) << step;
    ASSERT_NEAR(flight.vx * speedUp * factor, flight.x - oldX, 1e-6) << step;
    ASSERT_NEAR(flight.vy * speedUp * factor, flight.y - oldY, 1e-6) << step;
  }
}

TEST(CameraTest, CamerasFollowTheFlight) {
  ViewState view = StartViewState(0.1f);
  view.flight.x = 0.3f;
  view.flight.y = 0.6f;
  view.flight.eyeHeight = 0.07f;
  view.flight.heading = static_cast<float>(M_PI / 2);
  UpdateCameras(view);
  const CameraView* cameras = view.cameras;
  // Camera 0 at the flight's eye looking level along the heading, 0.8 ahead.
  EXPECT_EQ(cameras[0].eye.x, 0.3f);
  EXPECT_EQ(cameras[0].eye.z, 0.07f);
  EXPECT_NEAR(cameras[0].centre.x, 0.3f, 1e-6);
  EXPECT_NEAR(cameras[0].centre.y, 0.6f + 0.8f, 1e-6);
  EXPECT_EQ(cameras[0].centre.z, 0.07f);
  // Camera 1 looks straight down on camera 0's centre from high above; camera 2 stays put.
  EXPECT_EQ(cameras[1].eye.x, cameras[0].centre.x);
  EXPECT_EQ(cameras[1].eye.y, cameras[0].centre.y);
  EXPECT_EQ(cameras[1].eye.z, 30.0f);
  EXPECT_EQ(cameras[1].centre.z, 0.07f);
  EXPECT_EQ(cameras[2].eye.x, 0.5f);
}

}  // namespace
