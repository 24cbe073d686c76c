#include "headless/flight_csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "support/temp_dir.h"

namespace {

std::string WriteText(const TempDir& dir, const std::string& text) {
  const std::string path = dir.File("flight.csv");
  std::ofstream(path) << text;
  return path;
}

TEST(FlightCsv, ReadsPosesToleratingSpacesCarriageReturnsAndBlankLines) {
  TempDir dir;
  const std::string path = WriteText(dir, "x,y,z,heading\r\n0.25, 0.5 ,0.03,-1.5\r\n\n1,0,1e-2,3.25\n\n");
  FlightPath poses;
  std::string error;
  ASSERT_TRUE(ReadFlightCsv(path, &poses, &error)) << error;
  ASSERT_EQ(poses.size(), 2u);
  EXPECT_FLOAT_EQ(poses[0].x, 0.25f);
  EXPECT_FLOAT_EQ(poses[0].y, 0.5f);
  EXPECT_FLOAT_EQ(poses[0].z, 0.03f);
  EXPECT_FLOAT_EQ(poses[0].heading, -1.5f);
  EXPECT_FLOAT_EQ(poses[1].x, 1.0f);
  EXPECT_FLOAT_EQ(poses[1].z, 0.01f);
}

TEST(FlightCsv, WrittenFlightReadsBackBitForBit) {
  TempDir dir;
  FlightPath poses;
  for (int i = 0; i < 50; ++i) {
    const float t = static_cast<float>(i) / 49.0f;
    poses.push_back({t, 1.0f - t * t, 0.0123456789f + t / 3.0f, std::sin(t * 7.0f) * 3.14159265f});
  }
  const std::string path = dir.File("out.csv");
  ASSERT_TRUE(WriteFlightCsv(path, poses));
  FlightPath back;
  std::string error;
  ASSERT_TRUE(ReadFlightCsv(path, &back, &error)) << error;
  ASSERT_EQ(back.size(), poses.size());
  for (size_t i = 0; i < poses.size(); ++i) {
    EXPECT_EQ(back[i].x, poses[i].x);
    EXPECT_EQ(back[i].y, poses[i].y);
    EXPECT_EQ(back[i].z, poses[i].z);
    EXPECT_EQ(back[i].heading, poses[i].heading);
  }
  EXPECT_FALSE(WriteFlightCsv(dir.File("missing/out.csv"), poses));
}

TEST(FlightCsv, BadFilesNameTheLineAtFault) {
  TempDir dir;
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", "empty flight file"},
      {"x,y,z,heading\n", "no poses after the header"},
      {"0.5,0.5,0.1,0\n", "line 1: expected the header x,y,z,heading"},
      {"x,y,z,heading\n0.5,0.5,0.1,0\n0.5,0.5,0.1\n", "line 3: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,0.1,0,7\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,abc,0.1,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,0.1,nan\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,inf,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n\n0.5,0.5,0.1,0\n1.5,0.5,0.1,0\n", "line 4: x and y must lie in 0..1"},
      {"x,y,z,heading\n0.5,-0.01,0.1,0\n", "line 2: x and y must lie in 0..1"},
  };
  for (const auto& c : cases) {
    const std::string path = WriteText(dir, c.text);
    FlightPath poses;
    std::string error;
    EXPECT_FALSE(ReadFlightCsv(path, &poses, &error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos) << "got: " << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  FlightPath poses;
  std::string error;
  EXPECT_FALSE(ReadFlightCsv(dir.File("absent.csv"), &poses, &error));
  EXPECT_NE(error.find("cannot read flight file"), std::string::npos) << error;
}

}  // namespace
