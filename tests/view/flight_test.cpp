#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "support/test_terrain.h"

namespace {

class FlightTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VerticalScale = 0.1f;
    ResetViewState();
    InstallFlatTerrain(4, 32768);
    ground_ = CurrentHeightField->Height(0, 0);
    // Start settled: at rest the eye stands at ground + clearance.
    Flight.moved = false;
    UpdateFlight(1.0);
  }
  void TearDown() override { DestroyHeightField(); }

  void Steer(double pointerX, double pointerY) {
    Pointer.leftDown = true;
    Pointer.x = pointerX;
    Pointer.y = pointerY;
  }

  float ground_ = 0.0f;
};

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

TEST_F(FlightTest, AtRestTheEyeStandsAtGroundPlusClearance) {
  EXPECT_FLOAT_EQ(Flight.eyeHeight, ground_ + 0.02f);
  EXPECT_FALSE(Flight.moved);
}

TEST_F(FlightTest, PointerAtCentreSetsMovedButDoesNotMove) {
  Steer(0.5, 0.5);
  UpdateFlight(1.0);
  EXPECT_TRUE(Flight.moved);
  EXPECT_EQ(Flight.x, 0.5f);
  EXPECT_EQ(Flight.y, 0.5f);
  EXPECT_EQ(Flight.heading, 0.0f);
}

TEST_F(FlightTest, TopEdgeFliesForwardOneTwoHundredFortiethPerStep) {
  Steer(0.5, 0.0);
  UpdateFlight(1.0);
  EXPECT_NEAR(Flight.x, 0.5 + 1.0 / 240, 1e-7);
  EXPECT_EQ(Flight.y, 0.5f);
  Steer(0.5, 1.0);
  UpdateFlight(1.0);
  EXPECT_NEAR(Flight.x, 0.5, 1e-7);
}

TEST_F(FlightTest, EdgesTurnByPiOverSixtyPerUnitStep) {
  Steer(0.0, 0.5);
  UpdateFlight(1.0);
  EXPECT_NEAR(Flight.heading, M_PI / 60, 1e-7);
  Steer(1.0, 0.5);
  UpdateFlight(2.0);
  EXPECT_NEAR(Flight.heading, M_PI / 60 - 2 * M_PI / 60, 1e-7);
}

TEST_F(FlightTest, CoastsToRestInAboutFiveSteps) {
  Steer(0.5, 0.0);
  UpdateFlight(1.0);
  Pointer.leftDown = false;
  int steps = 0;
  float lastX = Flight.x;
  while (steps < 20) {
    UpdateFlight(1.0);
    ++steps;
    if (Flight.x == lastX) break;
    EXPECT_GT(Flight.x, lastX);
    lastX = Flight.x;
  }
  EXPECT_GE(steps, 5);
  EXPECT_LE(steps, 6);
  // Once still, no further step moves it or sets the moved flag.
  Flight.moved = false;
  UpdateFlight(1.0);
  UpdateFlight(1.0);
  EXPECT_FALSE(Flight.moved);
}

TEST_F(FlightTest, ClampsAtTheTerrainBorder) {
  Flight.x = 0.999f;
  Steer(0.5, 0.0);
  for (int i = 0; i < 10; ++i) UpdateFlight(1.0);
  EXPECT_EQ(Flight.x, 1.0f);
  Flight.heading = static_cast<float>(M_PI);
  Flight.x = 0.001f;
  for (int i = 0; i < 10; ++i) UpdateFlight(1.0);
  EXPECT_EQ(Flight.x, 0.0f);
}

TEST_F(FlightTest, EyeEasesTowardsTargetAndNeverBelowHalfClearance) {
  Flight.eyeHeight = ground_ + 1.0f;
  Steer(0.5, 0.5);
  UpdateFlight(1.0);
  const float target = ground_ + Flight.clearance;
  EXPECT_NEAR(Flight.eyeHeight, (ground_ + 1.0f) + 0.07 * (target - (ground_ + 1.0f)), 1e-6);
  Flight.eyeHeight = ground_ - 1.0f;
  UpdateFlight(1.0);
  EXPECT_FLOAT_EQ(Flight.eyeHeight, ground_ + 0.5f * Flight.clearance);
}

TEST_F(FlightTest, PausedFlightDoesNothing) {
  Paused = true;
  Steer(0.0, 0.0);
  UpdateFlight(1.0);
  EXPECT_EQ(Flight.x, 0.5f);
  EXPECT_EQ(Flight.heading, 0.0f);
}

TEST_F(FlightTest, CamerasFollowTheFlight) {
  Flight.heading = static_cast<float>(M_PI / 2);
  UpdateCameras();
  EXPECT_EQ(Cameras[0].eye.x, Flight.x);
  EXPECT_NEAR(Cameras[0].centre.y, Flight.y + 0.8f, 1e-6);
  EXPECT_EQ(Cameras[1].eye.x, Cameras[0].centre.x);
  EXPECT_EQ(Cameras[1].eye.z, 30.0f);
  EXPECT_EQ(Cameras[1].centre.z, Flight.eyeHeight);
  EXPECT_EQ(Cameras[2].eye.x, 0.5f);
}

}  // namespace
