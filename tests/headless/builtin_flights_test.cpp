#include "headless/builtin_flights.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "support/test_terrain.h"
#include "terrain/height_field.h"

namespace {

class BuiltInFlights : public ::testing::Test {
 protected:
  void SetUp() override {
    VerticalScale = 0.1f;
    InstallRoughTerrain(7, 42, 0.1f);
  }
  void TearDown() override {
    RemoveTestTerrain();
    ResetViewState();
  }
};

TEST_F(BuiltInFlights, SameFlightTwiceGivesTheSamePoses) {
  for (const std::string& name : BuiltInFlightNames()) {
    const FlightPath first = ComputeBuiltInFlight(name, 90);
    // Whatever the view state was left in, the flight starts afresh.
    Flight.x = 0.9f;
    Pointer.x = 0.0;
    const FlightPath second = ComputeBuiltInFlight(name, 90);
    ASSERT_EQ(first.size(), 90u) << name;
    ASSERT_EQ(second.size(), 90u) << name;
    for (size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(first[i].x, second[i].x) << name << " frame " << i;
      EXPECT_EQ(first[i].y, second[i].y);
      EXPECT_EQ(first[i].z, second[i].z);
      EXPECT_EQ(first[i].heading, second[i].heading);
    }
  }
}

TEST_F(BuiltInFlights, PassCrossesTheSquareLowOverTheGroundWhateverItsLength) {
  for (const int frames : {150, 300, 1200}) {
    const FlightPath pass = ComputeBuiltInFlight("pass", frames);
    const FlightPose& last = pass.back();
    EXPECT_NEAR(last.x, last.y, 1e-3f);
    if (frames >= 264) {
      EXPECT_GT(last.x, 0.8f) << frames;  // from 0.1 to near the far corner
      EXPECT_LT(last.x, 1.0f) << frames;  // without running into the border
    } else {
      // Too short to cross at the flight model's top speed of 1/240 per frame: it flies flat out.
      EXPECT_NEAR(std::hypot(last.x - 0.1f, last.y - 0.1f), frames / 240.0, 0.01) << frames;
    }
    for (const FlightPose& pose : pass) {
      const float above = pose.z - SampleHeight(pose.x, pose.y);
      // The flight model keeps the eye at least half the clearance above the ground.
      EXPECT_GE(above, 0.5f * 0.01f - 1e-5f);
      EXPECT_LT(above, 0.2f);
    }
  }
}

TEST_F(BuiltInFlights, OrbitCirclesTheCentreAndTurnStaysOnTheSpot) {
  const FlightPath orbit = ComputeBuiltInFlight("orbit", 300);
  double turned = 0.0;
  for (size_t i = 0; i < orbit.size(); ++i) {
    const double radius = std::hypot(orbit[i].x - 0.5, orbit[i].y - 0.5);
    EXPECT_NEAR(radius, 0.25, 0.01) << "frame " << i;
    if (i > 0) turned += orbit[i].heading - orbit[i - 1].heading;
  }
  EXPECT_GT(turned, 0.5);  // anticlockwise, slowly: well under a full circle

  const FlightPath turn = ComputeBuiltInFlight("turn", 240);
  for (const FlightPose& pose : turn) {
    EXPECT_EQ(pose.x, 0.5f);
    EXPECT_EQ(pose.y, 0.5f);
  }
  EXPECT_NEAR(turn.front().heading - turn.back().heading, 2.0 * M_PI * 239.0 / 240.0, 1e-3);
}

}  // namespace
