#include "terrain/height_field.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "support/test_terrain.h"

namespace {

TEST(HeightFieldTest, FieldsAndVertexIdPackingFor1025) {
  const HeightField field = FlatField(10);
  EXPECT_EQ(field.N, 1024);
  EXPECT_EQ(field.xMask, 2047);
  EXPECT_FLOAT_EQ(field.spacing, 1.0f / 1024);
  EXPECT_EQ(field.Id(3, 5), 10243);
  for (auto [x, y] : {std::pair{3, 5}, std::pair{0, 1024}, std::pair{1024, 0}, std::pair{1024, 1024}}) {
    EXPECT_EQ(field.GridX(field.Id(x, y)), x);
    EXPECT_EQ(field.GridY(field.Id(x, y)), y);
  }
  // The largest grid still decodes its far corner (ids are made without reading samples).
  const HeightField largest(std::make_unique<HeightSample[]>(1), 0.1f, kMaxGridExponent);
  const int N = largest.N;
  EXPECT_EQ(largest.GridX(largest.Id(N, N)), N);
  EXPECT_EQ(largest.GridY(largest.Id(N, N)), N);
}

TEST(HeightFieldTest, FullSampleIsTheVerticalScaleAndPositionsFollowTheGrid) {
  const HeightField field = FieldFrom(1, 0.25f, [](int x, int y) { return x == 2 && y == 1 ? 65535 : 0; });
  EXPECT_NEAR(field.Height(2, 1), 0.25f, 1e-7f);
  EXPECT_EQ(field.Height(1, 1), 0.0f);
  const Point3 p = field.WorldPosition(field.Id(2, 1));
  EXPECT_EQ(p.x, 1.0f);
  EXPECT_EQ(p.y, 0.5f);
  EXPECT_NEAR(p.z, 0.25f, 1e-7f);
}

// Bilinear: the samples at grid points, and between them never outside the cell's corners.
TEST(HeightFieldTest, SampleHeightInterpolatesWithinEachCell) {
  const HeightField field = NoiseField(4, 9, 1.0f);
  const float N = static_cast<float>(field.N);
  for (int y = 0; y <= field.N; ++y)
    for (int x = 0; x <= field.N; ++x)
      ASSERT_NEAR(field.SampleHeight(x / N, y / N), field.Height(x, y), 1e-6f) << x << "," << y;
  // Half way between two samples along x.
  EXPECT_NEAR(field.SampleHeight(0.5f / N, 1.0f / N), 0.5f * (field.Height(0, 1) + field.Height(1, 1)), 1e-6f);

  std::mt19937 random(4);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int trial = 0; trial < 5000; ++trial) {
    const float x = unit(random);
    const float y = unit(random);
    const int cx = std::min(static_cast<int>(x * N), field.N - 1);
    const int cy = std::min(static_cast<int>(y * N), field.N - 1);
    const auto [low, high] = std::minmax({field.Height(cx, cy), field.Height(cx + 1, cy), field.Height(cx, cy + 1),
                                          field.Height(cx + 1, cy + 1)});
    const float h = field.SampleHeight(x, y);
    ASSERT_GE(h, low - 1e-6f) << x << "," << y;
    ASSERT_LE(h, high + 1e-6f) << x << "," << y;
  }
}

// Walks the bintree of a 33 x 33 grid down to legs of 2^level: a triangle's split vertex is its
// hypotenuse's midpoint until the hypotenuse is the diagonal of one 2^level cell.
void CheckSplitVertices(const HeightField& field, int level, int ax, int ay, int lx, int ly, int rx, int ry,
                        int& finest) {
  const VertexId split = HypotenuseSplitVertex(field.Id(lx, ly), field.Id(rx, ry), field.n, level);
  const int step = 1 << level;
  if (std::abs(lx - rx) == step && std::abs(ly - ry) == step) {
    EXPECT_EQ(split, -1) << lx << "," << ly << " " << rx << "," << ry;
    ++finest;
    return;
  }
  const int mx = (lx + rx) / 2;
  const int my = (ly + ry) / 2;
  ASSERT_EQ(split, field.Id(mx, my)) << lx << "," << ly << " " << rx << "," << ry << " level " << level;
  CheckSplitVertices(field, level, mx, my, ax, ay, lx, ly, finest);
  CheckSplitVertices(field, level, mx, my, rx, ry, ax, ay, finest);
}

TEST(HeightFieldTest, HypotenuseSplitVertexIsTheMidpointDownToTheFinestLevel) {
  const HeightField field = FlatField(5);
  const int N = field.N;
  for (int level = 0; level <= 3; ++level) {
    int finest = 0;
    CheckSplitVertices(field, level, N, 0, 0, 0, N, N, finest);
    CheckSplitVertices(field, level, 0, N, N, N, 0, 0, finest);
    EXPECT_EQ(finest, 2 * (N >> level) * (N >> level)) << "level " << level;
  }
}

}  // namespace
