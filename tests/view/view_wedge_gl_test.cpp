// The view wedge of the flown camera and the culling test the drawing methods make with it.
#include "app/view/view_wedge.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "app/view/camera.h"
#include "app/view/frame_view.h"
#include "support/gl_context.h"
#include "support/test_terrain.h"

namespace {

std::vector<Point3> Points(std::initializer_list<std::pair<float, float>> xy) {
  std::vector<Point3> points;
  for (auto [x, y] : xy) points.push_back({x, y, 0.0f});
  return points;
}

// Camera 0 at (0.5, 0.5) looking along +x with a 45 degree field of view in a 640 x 480 window.
class ViewWedgeTest : public ::testing::Test {
 protected:
  ViewWedgeTest() {
    CameraView camera = StartViewState(0.1f).cameras[0];
    camera.eye = {0.5f, 0.5f, 0.05f};
    camera.centre = {1.3f, 0.5f, 0.05f};
    wedge_ = ComputeViewWedge(camera, 640, 480);
  }
  ViewWedge wedge_;
};

TEST_F(ViewWedgeTest, CullPolygonMasks) {
  EXPECT_EQ(CullPolygon(wedge_, 7, Points({{0.9f, 0.5f}, {0.95f, 0.55f}})), -1);
  EXPECT_EQ(CullPolygon(wedge_, 7, Points({{0.1f, 0.5f}, {0.2f, 0.9f}, {0.2f, 0.1f}})), 0);
  EXPECT_EQ(CullPolygon(wedge_, 7, Points({{0.9f, 0.5f}, {0.9f, 0.9f}})), 1);  // left edge only
  EXPECT_EQ(CullPolygon(wedge_, 7, Points({{0.9f, 0.5f}, {0.9f, 0.1f}})), 2);  // right edge only
  // Lines outside the mask were passed already and are not tested again.
  EXPECT_EQ(CullPolygon(wedge_, 4, Points({{0.4f, 0.5f}, {0.9f, 0.5f}})), 4);
  EXPECT_EQ(CullPolygon(wedge_, 0, Points({{0.1f, 0.5f}})), -1);
  EXPECT_EQ(CullPolygon(wedge_, 7, {}), 0);
  EXPECT_EQ(CullPolygon(wedge_, 0, {}), -1);
}

TEST_F(ViewWedgeTest, PrismSpansTheTriangleFromGroundToTheVerticalScale) {
  const HeightField field = FlatField(4, 0, 0.25f);
  std::vector<Point3> points;
  AppendTrianglePrism(field, field.Id(0, 16), field.Id(0, 0), field.Id(16, 16), points);
  ASSERT_EQ(points.size(), 6u);
  for (int corner = 0; corner < 3; ++corner) {
    EXPECT_EQ(points[2 * corner].x, points[2 * corner + 1].x);
    EXPECT_EQ(points[2 * corner].y, points[2 * corner + 1].y);
    EXPECT_EQ(points[2 * corner].z, 0.0f);
    EXPECT_EQ(points[2 * corner + 1].z, 0.25f);
  }
  EXPECT_EQ(points[0].y, 1.0f);
  EXPECT_EQ(points[4].x, 1.0f);
  // The root triangle holds the eye: it straddles every line.
  EXPECT_EQ(CullPolygon(wedge_, 7, points), 1 | 2 | 4);
  points.clear();
  AppendTrianglePrism(field, field.Id(0, 8), field.Id(0, 0), field.Id(4, 4), points);
  EXPECT_EQ(CullPolygon(wedge_, 7, points), 0);  // wholly behind the eye
}

// Random eyes, headings, fields of view and window shapes: a ground point is inside the wedge
// exactly when the camera's real projection puts it in front of the eye and within the picture's
// width. A wrong aspect, half angle or sign in the wedge shows up here.
class WedgeProjectionTest : public GLTest {};

TEST_F(WedgeProjectionTest, InsideTheWedgeIsInsideThePicturesWidth) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  int inside = 0;
  int outside = 0;
  for (int trial = 0; trial < 200; ++trial) {
    ViewState view = StartViewState(0.1f);
    view.windowWidth = 100 + static_cast<int>(1500 * unit(random));
    view.windowHeight = 100 + static_cast<int>(1000 * unit(random));
    view.cameras[0].fieldOfView = 10.0f + 150.0f * unit(random);
    view.flight.x = unit(random);
    view.flight.y = unit(random);
    view.flight.eyeHeight = 0.01f + 0.1f * unit(random);
    view.flight.heading = static_cast<float>(2 * M_PI * unit(random));
    UpdateCameras(view);
    ApplyProjection(view);
    LoadModelView(view.cameras[0]);
    double projection[16];
    double modelView[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    const ViewWedge wedge = MakeFrameView(view).wedge;
    for (int point = 0; point < 50; ++point) {
      const double p[4] = {2.0 * unit(random) - 0.5, 2.0 * unit(random) - 0.5, 0.1 * unit(random), 1.0};
      double eye[4] = {0, 0, 0, 0};
      double clip[4] = {0, 0, 0, 0};
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) eye[r] += modelView[c * 4 + r] * p[c];
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) clip[r] += projection[c * 4 + r] * eye[c];
      const double ahead = -eye[2];
      if (ahead <= 1e-3) {
        if (ahead < -1e-3) {
          EXPECT_EQ(CullPolygon(wedge, 7, {{float(p[0]), float(p[1]), float(p[2])}}), 0) << trial;
        }
        continue;
      }
      const double across = clip[0] / clip[3];
      if (std::fabs(std::fabs(across) - 1.0) < 1e-3) continue;  // too near an edge to judge in floats
      const bool visible = std::fabs(across) < 1.0;
      EXPECT_EQ(CullPolygon(wedge, 7, {{float(p[0]), float(p[1]), float(p[2])}}), visible ? -1 : 0)
          << "trial " << trial << " point " << p[0] << "," << p[1] << " across " << across;
      (visible ? inside : outside) += 1;
    }
  }
  EXPECT_GT(inside, 500);
  EXPECT_GT(outside, 500);
}

}  // namespace
