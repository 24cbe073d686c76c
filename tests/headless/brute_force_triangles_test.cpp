#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "headless/brute_force_method.h"
#include "support/test_terrain.h"

namespace {

TEST(BruteForceTriangles, EveryCellIsTwoCounterClockwiseHalvesWithTheBintreeDiagonals) {
  InstallFlatTerrain(4);
  const HeightField& field = *CurrentHeightField;
  const std::vector<uint32_t> indices = FinestBintreeTriangles(field);
  const int side = field.N + 1;
  ASSERT_EQ(indices.size(), 6u * field.N * field.N);

  std::map<std::pair<int, int>, int> halvesPerCell;
  std::map<std::pair<int, int>, std::set<std::pair<uint32_t, uint32_t>>> diagonalPerCell;
  for (size_t t = 0; t < indices.size(); t += 3) {
    int xs[3], ys[3];
    for (int k = 0; k < 3; ++k) {
      ASSERT_LT(indices[t + k], static_cast<uint32_t>(side * side));
      xs[k] = static_cast<int>(indices[t + k]) % side;
      ys[k] = static_cast<int>(indices[t + k]) / side;
    }
    const int area2 = (xs[1] - xs[0]) * (ys[2] - ys[0]) - (ys[1] - ys[0]) * (xs[2] - xs[0]);
    ASSERT_EQ(area2, 1) << "triangle " << t / 3 << " is not a counter-clockwise half cell";
    const std::pair<int, int> cell = {std::min({xs[0], xs[1], xs[2]}), std::min({ys[0], ys[1], ys[2]})};
    ++halvesPerCell[cell];
    // The hypotenuse joins the two corners that share neither x nor y.
    for (int a = 0; a < 3; ++a) {
      const int b = (a + 1) % 3;
      if (xs[a] != xs[b] && ys[a] != ys[b])
        diagonalPerCell[cell].insert(std::minmax(indices[t + a], indices[t + b]));
    }
  }
  ASSERT_EQ(halvesPerCell.size(), static_cast<size_t>(field.N * field.N));
  for (const auto& [cell, halves] : halvesPerCell) {
    EXPECT_EQ(halves, 2);
    // Both halves share one diagonal; the bintree's diagonals alternate like a chequer board:
    // cells whose x + y is even run from the lower left to the upper right.
    ASSERT_EQ(diagonalPerCell[cell].size(), 1u);
    const auto [from, to] = *diagonalPerCell[cell].begin();
    const bool rising = (to % side) - (from % side) == 1;
    EXPECT_EQ(rising, (cell.first + cell.second) % 2 == 0) << cell.first << "," << cell.second;
  }
  RemoveTestTerrain();
}

}  // namespace
