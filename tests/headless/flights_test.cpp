// Flights: the built-in ones fly the real flight model to the shapes their names promise; a
// flight file stands for its first poses.
#include "headless/flights.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/temp_dir.h"
#include "support/test_terrain.h"

namespace {

constexpr float kVerticalScale = 0.1f;

class BuiltInFlights : public ::testing::Test {
 protected:
  const HeightField field_ = RoughField(7, 42, kVerticalScale);
};

TEST_F(BuiltInFlights, SameFlightTwiceGivesTheSamePoses) {
  for (const std::string& name : BuiltInFlightNames()) {
    ASSERT_TRUE(IsBuiltInFlight(name));
    const FlightPath first = ComputeBuiltInFlight(name, 90, field_);
    const FlightPath second = ComputeBuiltInFlight(name, 90, field_);
    ASSERT_EQ(first.size(), 90u) << name;
    ASSERT_EQ(second.size(), 90u) << name;
    for (size_t i = 0; i < first.size(); ++i) {
      EXPECT_EQ(first[i].x, second[i].x) << name << " frame " << i;
      EXPECT_EQ(first[i].y, second[i].y);
      EXPECT_EQ(first[i].z, second[i].z);
      EXPECT_EQ(first[i].heading, second[i].heading);
    }
  }
  EXPECT_FALSE(IsBuiltInFlight("Pass"));
  EXPECT_FALSE(IsBuiltInFlight(""));
}

TEST_F(BuiltInFlights, PassCrossesTheSquareLowOverTheGroundWhateverItsLength) {
  for (const int frames : {150, 300, 1200}) {
    const FlightPath pass = ComputeBuiltInFlight("pass", frames, field_);
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
      const float above = pose.z - field_.SampleHeight(pose.x, pose.y);
      // The flight model keeps the eye at least half the clearance above the ground.
      EXPECT_GE(above, 0.5f * 0.01f - 1e-5f);
      EXPECT_LT(above, 0.2f);
    }
  }
}

TEST_F(BuiltInFlights, OrbitCirclesTheCentreAndTurnStaysOnTheSpot) {
  const FlightPath orbit = ComputeBuiltInFlight("orbit", 300, field_);
  double turned = 0.0;
  for (size_t i = 0; i < orbit.size(); ++i) {
    EXPECT_NEAR(std::hypot(orbit[i].x - 0.5, orbit[i].y - 0.5), 0.25, 0.01) << "frame " << i;
    if (i > 0) turned += orbit[i].heading - orbit[i - 1].heading;
  }
  EXPECT_GT(turned, 0.5);  // anticlockwise, slowly: well under a full circle
  EXPECT_LT(turned, 2.0 * M_PI);

  const FlightPath turn = ComputeBuiltInFlight("turn", 240, field_);
  for (const FlightPose& pose : turn) {
    EXPECT_EQ(pose.x, 0.5f);
    EXPECT_EQ(pose.y, 0.5f);
  }
  EXPECT_NEAR(turn.front().heading - turn.back().heading, 2.0 * M_PI * 239.0 / 240.0, 1e-3);
}

TEST(FlightFile, FramesTakeTheFirstPosesAndANameThatIsNoFileIsAnUnknownFlight) {
  TempDir dir;
  FlightPath poses;
  for (int i = 0; i < 50; ++i) poses.push_back({i / 49.0f, 0.5f, 0.01f * i, 0.1f * i});
  ASSERT_TRUE(WriteFlightCsv(dir.File("out.csv"), poses));
  // --frames takes the first poses of a file; a name that is no file is an unknown flight.
  const Result<FlightPath> first = ReadFlightFile(dir.File("out.csv"), 20);
  ASSERT_TRUE(first.ok());
  ASSERT_EQ(first.value().size(), 20u);
  EXPECT_EQ(first.value()[19].z, poses[19].z);
  EXPECT_EQ(ReadFlightFile(dir.File("out.csv"), 80).value().size(), 50u);
  const Result<FlightPath> unknown = ReadFlightFile(dir.File("orbits"), 0);
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.failure().exitStatus, 2);
  EXPECT_NE(unknown.failure().message.find("unknown flight '"), std::string::npos) << unknown.failure().message;
}

}  // namespace
