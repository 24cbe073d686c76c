#pragma once
#include "support/terrain_log_capture.h"
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "terrain/point3.h"

// A generated terrain with its error metric for the ROAM tree (started by the test with
// StartRoamTree, without a cache); tree, terrain and counters are undone after each test.
class RoamTreeTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Rough terrain of side 2^n + 1 with its error metric (weight 600).
  static void UseMetricTerrain(int n, uint32_t seed, float verticalScale);
  // Rough terrain of side 2^n + 1 with random error values in [0, maxError).
  static void UseRandomErrorTerrain(int n, uint32_t seed, float maxError);

  // The eye clearance above the ground at (x, y).
  static Point3 EyeAbove(float x, float y, float clearance);
};

// dist(v) - err(v) for eye: negative where the split vertex v asks for a split.
float DistanceBeyondError(int v, Point3 eye);

