#include "app/view_wedge.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/camera.h"
#include "support/test_terrain.h"

namespace {

// Camera 0 at (0.5, 0.5) looking along +x with a 45 degree field of view in a 640 x 480 window.
class ViewWedgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetViewState();
    InstallFlatTerrain(4, 0);
    Cameras[0].eye = {0.5f, 0.5f, 0.05f};
    Cameras[0].centre = {1.3f, 0.5f, 0.05f};
    ComputeViewWedge();
  }
  void TearDown() override { DestroyHeightField(); }

  static float Value(int line, float x, float y) {
    const float* l = CurrentViewWedge.line[line];
    return l[0] * x + l[1] * y + l[2];
  }
  static std::vector<Point3> Points(std::initializer_list<std::pair<float, float>> xy) {
    std::vector<Point3> points;
    for (auto [x, y] : xy) points.push_back({x, y, 0.0f});
    return points;
  }
};

TEST_F(ViewWedgeTest, PointAheadIsInsideAllLinesPointBehindOutsideTheEyeLine) {
  for (int k = 0; k < 3; ++k) EXPECT_LE(Value(k, 0.9f, 0.5f), 0.0f) << "line " << k;
  EXPECT_GT(Value(2, 0.2f, 0.5f), 0.0f);
}

TEST_F(ViewWedgeTest, EdgesRunAtTheHorizontalHalfAngle) {
  const double u = std::tan(22.5 * M_PI / 180.0) * 640.0 / 480.0;
  EXPECT_NEAR(u, 0.5523, 1e-4);
  // A point just inside and just outside the left edge at distance 0.4 ahead.
  const float edge = static_cast<float>(0.4 * u);
  EXPECT_LE(Value(0, 0.9f, 0.5f + edge - 0.01f), 0.0f);
  EXPECT_GT(Value(0, 0.9f, 0.5f + edge + 0.01f), 0.0f);
  EXPECT_LE(Value(1, 0.9f, 0.5f - edge + 0.01f), 0.0f);
  EXPECT_GT(Value(1, 0.9f, 0.5f - edge - 0.01f), 0.0f);
}

TEST_F(ViewWedgeTest, CullPolygonMasks) {
  EXPECT_EQ(CullPolygon(7, Points({{0.9f, 0.5f}, {0.95f, 0.55f}})), -1);
  EXPECT_EQ(CullPolygon(7, Points({{0.1f, 0.5f}, {0.2f, 0.9f}, {0.2f, 0.1f}})), 0);
  // Straddles only the left edge.
  EXPECT_EQ(CullPolygon(7, Points({{0.9f, 0.5f}, {0.9f, 0.9f}})), 1);
  // Straddles only the right edge; tested lines already passed stay clear.
  EXPECT_EQ(CullPolygon(7, Points({{0.9f, 0.5f}, {0.9f, 0.1f}})), 2);
  EXPECT_EQ(CullPolygon(4, Points({{0.4f, 0.5f}, {0.9f, 0.5f}})), 4);
  EXPECT_EQ(CullPolygon(0, Points({{0.1f, 0.5f}})), -1);
  EXPECT_EQ(CullPolygon(7, {}), 0);
  EXPECT_EQ(CullPolygon(0, {}), -1);
}

TEST_F(ViewWedgeTest, PrismHasSixPointsSpanningTheHeightRange) {
  std::vector<Point3> points;
  const HeightField& field = *CurrentHeightField;
  AppendTrianglePrism(field.Id(0, 16), field.Id(0, 0), field.Id(16, 16), points);
  ASSERT_EQ(points.size(), 6u);
  EXPECT_EQ(points[0].y, 1.0f);
  EXPECT_EQ(points[0].z, 0.0f);
  EXPECT_EQ(points[1].z, field.verticalScale);
  EXPECT_EQ(points[5].x, 1.0f);
  // A triangle behind the eye is culled whatever the mask still asks for.
  EXPECT_EQ(CullPolygon(7, points), 1 | 2 | 4);
  points.clear();
  AppendTrianglePrism(field.Id(0, 8), field.Id(0, 0), field.Id(4, 4), points);
  EXPECT_EQ(CullPolygon(7, points), 0);
}

}  // namespace
