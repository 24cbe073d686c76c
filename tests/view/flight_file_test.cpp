// Flight files: written flights read back bit for bit, and every malformed line is refused by
// number.
#include "app/view/flight_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "support/temp_dir.h"

namespace {

TEST(FlightCsv, WrittenFlightsReadBackBitForBitAndFilesMayBeLoose) {
  TempDir dir;
  FlightPath poses;
  for (int i = 0; i < 50; ++i) {
    const float t = static_cast<float>(i) / 49.0f;
    poses.push_back({t, 1.0f - t * t, 0.0123456789f + t / 3.0f, std::sin(t * 7.0f) * 3.14159265f});
  }
  ASSERT_TRUE(WriteFlightCsv(dir.File("out.csv"), poses));
  const Result<FlightPath> back = ReadFlightCsv(dir.File("out.csv"));
  ASSERT_TRUE(back.ok()) << back.failure().message;
  ASSERT_EQ(back.value().size(), poses.size());
  for (size_t i = 0; i < poses.size(); ++i) {
    EXPECT_EQ(back.value()[i].x, poses[i].x);
    EXPECT_EQ(back.value()[i].y, poses[i].y);
    EXPECT_EQ(back.value()[i].z, poses[i].z);
    EXPECT_EQ(back.value()[i].heading, poses[i].heading);
  }
  EXPECT_FALSE(WriteFlightCsv(dir.File("missing/out.csv"), poses));

  // Spaces, carriage returns and blank lines are allowed; the edges of the square are inside.
  std::ofstream(dir.File("loose.csv")) << "x,y,z,heading\r\n0.25, 0.5 ,0.03,-1.5\r\n\n1,0,1e-2,3.25\n\n";
  const Result<FlightPath> loose = ReadFlightCsv(dir.File("loose.csv"));
  ASSERT_TRUE(loose.ok()) << loose.failure().message;
  ASSERT_EQ(loose.value().size(), 2u);
  EXPECT_FLOAT_EQ(loose.value()[0].y, 0.5f);
  EXPECT_FLOAT_EQ(loose.value()[0].heading, -1.5f);
  EXPECT_FLOAT_EQ(loose.value()[1].x, 1.0f);
  EXPECT_FLOAT_EQ(loose.value()[1].z, 0.01f);
}

TEST(FlightCsv, BadFilesNameTheLineAtFault) {
  TempDir dir;
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"", "empty flight file"},
      {"x,y,z,heading\n", "no poses after the header"},
      {"x,y,z,heading\n\n  \n", "no poses after the header"},
      {"0.5,0.5,0.1,0\n", "line 1: expected the header x,y,z,heading"},
      {"x,y,z\n0.5,0.5,0.1\n", "line 1: expected the header"},
      {"x,y,z,heading\n0.5,0.5,0.1,0\n0.5,0.5,0.1\n", "line 3: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,0.1,0,7\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,abc,0.1,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,0.1,nan\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,inf,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n0.5,0.5,1e31,0\n", "line 2: expected four numbers"},
      {"x,y,z,heading\n\n0.5,0.5,0.1,0\n1.5,0.5,0.1,0\n", "line 4: x and y must lie in 0..1"},
      {"x,y,z,heading\n0.5,-0.01,0.1,0\n", "line 2: x and y must lie in 0..1"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("flight.csv");
    std::ofstream(path) << c.text;
    const Result<FlightPath> read = ReadFlightCsv(path);
    ASSERT_FALSE(read.ok()) << c.text;
    EXPECT_NE(read.failure().message.find(c.expected), std::string::npos) << "got: " << read.failure().message;
    EXPECT_EQ(read.failure().message.rfind(path, 0), 0u) << read.failure().message;
    EXPECT_EQ(read.failure().message.find('\n'), std::string::npos);
    EXPECT_EQ(read.failure().exitStatus, 1);
  }
  const Result<FlightPath> absent = ReadFlightCsv(dir.File("absent.csv"));
  ASSERT_FALSE(absent.ok());
  EXPECT_NE(absent.failure().message.find("cannot read flight file"), std::string::npos);
}

}  // namespace
