#include "terrain/error_metric.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "support/test_terrain.h"
#include "terrain/height_field.h"

namespace {

// The metric computed the long way: every triangle descends its whole subtree.
class ReferenceMetric {
 public:
  ReferenceMetric(const HeightField& field, float weight)
      : field_(field), weight_(weight), values_((field.N + 1) * (field.N + 1), 0.0f) {
    const int N = field.N;
    Process(N, 0, 0, 0, N, N);
    Process(0, N, N, N, 0, 0);
  }
  const std::vector<float>& values() const { return values_; }

 private:
  Point3 At(int x, int y) const { return field_.GridPosition(x, y); }

  void Process(int ax, int ay, int lx, int ly, int rx, int ry) {
    const Point3 p1 = At(ax, ay);
    const Point3 p2 = At(lx, ly);
    const Point3 p3 = At(rx, ry);
    // normal = (p1 - p2) x (p3 - p1)
    const float nx = (p1.y - p2.y) * (p3.z - p1.z) - (p1.z - p2.z) * (p3.y - p1.y);
    const float ny = (p1.z - p2.z) * (p3.x - p1.x) - (p1.x - p2.x) * (p3.z - p1.z);
    const float nz = (p1.x - p2.x) * (p3.y - p1.y) - (p1.y - p2.y) * (p3.x - p1.x);
    a_ = -nx / nz;
    b_ = -ny / nz;
    c_ = p1.z - (a_ * p1.x + b_ * p1.y);
    const int mx = (lx + rx) / 2;
    const int my = (ly + ry) / 2;
    p_ = At(mx, my);
    float& value = values_[mx + my * (field_.N + 1)];
    value = std::max(value, SubtreeError(ax, ay, lx, ly, rx, ry));
    if (std::abs(ax - lx) > 1 || std::abs(ay - ly) > 1) {
      Process(mx, my, ax, ay, lx, ly);
      Process(mx, my, rx, ry, ax, ay);
    }
  }

  float SubtreeError(int ax, int ay, int lx, int ly, int rx, int ry) const {
    const int mx = (lx + rx) / 2;
    const int my = (ly + ry) / 2;
    const Point3 q = At(mx, my);
    const float term = weight_ * std::fabs(q.z - (a_ * q.x + b_ * q.y + c_)) +
                       std::sqrt((q.x - p_.x) * (q.x - p_.x) + (q.y - p_.y) * (q.y - p_.y) +
                                 (q.z - p_.z) * (q.z - p_.z));
    if (std::abs(ax - lx) <= 1 && std::abs(ay - ly) <= 1) return term;
    return std::max({term, SubtreeError(mx, my, ax, ay, lx, ly), SubtreeError(mx, my, rx, ry, ax, ay)});
  }

  const HeightField& field_;
  const float weight_;
  std::vector<float> values_;
  float a_ = 0, b_ = 0, c_ = 0;
  Point3 p_{};
};

TEST(ErrorMetricTest, MatchesTheSubtreeDescentExactlyOnRandomFields) {
  for (int n : {1, 2, 3, 4, 5, 7}) {
    const int side = (1 << n) + 1;
    for (unsigned seed = 1; seed <= (side > 33 ? 2u : 4u); ++seed) {
      std::mt19937 random(seed * 977 + side);
      // Rough, smooth-with-spikes and nearly flat fields, so that deviation and distance terms
      // both get to be the largest.
      const int kind = seed % 3;
      const float scale = kind == 2 ? 0.0005f : 0.1f * seed;
      const float weight = seed == 4 ? 1.0f : 600.0f;
      const HeightField field = FieldFrom(n, scale, [&](int x, int y) {
        if (kind == 0) return static_cast<HeightSample>(random() % 65536);
        if (kind == 1) return static_cast<HeightSample>((x * 997 + y * 131) % 4000 + (random() % 17 == 0 ? 60000 : 0));
        return static_cast<HeightSample>(random() % 3);
      });
      const ErrorMetric metric = ComputeErrorMetric(field, weight);
      const ReferenceMetric reference(field, weight);
      ASSERT_EQ(metric.N, side - 1);
      ASSERT_EQ(metric.weight, weight);
      ASSERT_EQ(metric.values.size(), static_cast<size_t>(side) * side);
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
          ASSERT_EQ(metric.At(x, y), reference.values()[x + y * side])
              << "side " << side << " seed " << seed << " at " << x << "," << y;
    }
  }
}

TEST(ErrorMetricTest, FlatFieldKeepsOnlyDistances) {
  const ErrorMetric metric = ComputeErrorMetric(FlatField(4, 30000), 600.0f);
  auto Value = [&](int x, int y) { return metric.At(x, y); };
  for (int y = 0; y <= 16; ++y)
    for (int x = 0; x <= 16; ++x) {
      const bool corner = (x == 0 || x == 16) && (y == 0 || y == 16);
      // Vertices with x + y odd split only the finest triangles, whose subtree is themselves.
      if (corner || (x + y) % 2 == 1) {
        EXPECT_EQ(Value(x, y), 0.0f) << x << "," << y;
      } else {
        EXPECT_GT(Value(x, y), 0.0f) << x << "," << y;
      }
    }
  // The centre's farthest descendant midpoints sit next to the root corners, one cell off a
  // corner along an edge: (1 cell, 8 cells) away, in units of 1/16.
  const float dx = 8.0f / 16;
  const float dy = 7.0f / 16;
  EXPECT_EQ(Value(8, 8), std::sqrt(dx * dx + dy * dy));
  // (2, 0) splits only the triangle apex (2, 2), left (0, 0), right (4, 0), whose other midpoints
  // are (1, 0), (3, 0), (1, 1), (2, 1) and (3, 1): the farthest is sqrt(2) cells away.
  EXPECT_EQ(Value(2, 0), std::sqrt(1.0f / 256 + 1.0f / 256));
}

TEST(ErrorMetricTest, ThreeByThreeGridByHand) {
  const int heights[3][3] = {{100, 9000, 2000}, {40000, 65535, 7}, {5000, 30000, 12345}};  // [y][x]
  const float scale = 1.0f;
  const float weight = 600.0f;
  const HeightField field = FieldFrom(1, scale, [&](int x, int y) { return static_cast<HeightSample>(heights[y][x]); });
  const ErrorMetric metric = ComputeErrorMetric(field, weight);
  auto Value = [&](int x, int y) { return metric.At(x, y); };

  auto world = [&](int x, int y) {
    return std::vector<double>{x * 0.5, y * 0.5, heights[y][x] * scale / 65535.0};
  };
  // Vertical distance of q from the plane through three points, solved in double.
  auto deviation = [&](std::vector<double> q, std::vector<double> p1, std::vector<double> p2,
                       std::vector<double> p3) {
    const double ux = p2[0] - p1[0], uy = p2[1] - p1[1], uz = p2[2] - p1[2];
    const double vx = p3[0] - p1[0], vy = p3[1] - p1[1], vz = p3[2] - p1[2];
    const double det = ux * vy - uy * vx;
    const double s = ((q[0] - p1[0]) * vy - (q[1] - p1[1]) * vx) / det;
    const double t = (ux * (q[1] - p1[1]) - uy * (q[0] - p1[0])) / det;
    return std::fabs(q[2] - (p1[2] + s * uz + t * vz));
  };
  auto distance = [](std::vector<double> a, std::vector<double> b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
  };
  const double tolerance = 1e-4;

  // Edge midpoints: the finest triangle with the centre as apex.
  EXPECT_NEAR(Value(1, 0), weight * deviation(world(1, 0), world(1, 1), world(2, 0), world(0, 0)), tolerance);
  EXPECT_NEAR(Value(2, 1), weight * deviation(world(2, 1), world(1, 1), world(2, 2), world(2, 0)), tolerance);
  EXPECT_NEAR(Value(1, 2), weight * deviation(world(1, 2), world(1, 1), world(0, 2), world(2, 2)), tolerance);
  EXPECT_NEAR(Value(0, 1), weight * deviation(world(0, 1), world(1, 1), world(0, 0), world(0, 2)), tolerance);

  // Centre: over both roots, its own deviation and each of the root's edge midpoints.
  const auto centre = world(1, 1);
  double expected = 0;
  const int roots[2][3][2] = {{{2, 0}, {0, 0}, {2, 2}}, {{0, 2}, {2, 2}, {0, 0}}};
  const int edgeMidpoints[2][2][2] = {{{1, 0}, {2, 1}}, {{1, 2}, {0, 1}}};
  for (int r = 0; r < 2; ++r) {
    const auto p1 = world(roots[r][0][0], roots[r][0][1]);
    const auto p2 = world(roots[r][1][0], roots[r][1][1]);
    const auto p3 = world(roots[r][2][0], roots[r][2][1]);
    expected = std::max(expected, weight * deviation(centre, p1, p2, p3));
    for (const auto& m : edgeMidpoints[r]) {
      const auto q = world(m[0], m[1]);
      expected = std::max(expected, weight * deviation(q, p1, p2, p3) + distance(q, centre));
    }
  }
  EXPECT_NEAR(Value(1, 1), expected, tolerance);
  EXPECT_GT(Value(1, 1), 1.0f);

  for (auto [x, y] : {std::pair{0, 0}, std::pair{2, 0}, std::pair{0, 2}, std::pair{2, 2}}) EXPECT_EQ(Value(x, y), 0.0f);
}

TEST(ErrorMetricTest, SingleCellHasNoMidpointVertex) {
  const ErrorMetric metric = ComputeErrorMetric(
      FieldFrom(0, 0.1f, [](int x, int y) { return static_cast<HeightSample>(20000 * x + 7000 * y + 3); }), 600.0f);
  ASSERT_EQ(metric.values.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(metric.values[i], 0.0f);
}

}  // namespace
