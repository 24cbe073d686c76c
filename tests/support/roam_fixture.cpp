#include "support/roam_fixture.h"

#include <cmath>
#include <cstdio>

#include "app/terrain_log.h"

#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "support/test_terrain.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"

void RoamTreeTest::TearDown() {
  StopRoamTree();
  RemoveTestTerrain();
  RoamCounters = {};
}

void RoamTreeTest::UseMetricTerrain(int n, uint32_t seed, float verticalScale) {
  InstallRoughTerrain(n, seed, verticalScale);
  ComputeErrorMetric(600.0f);
}

void RoamTreeTest::UseRandomErrorTerrain(int n, uint32_t seed, float maxError) {
  InstallRoughTerrain(n, seed, 0.1f);
  InstallRandomErrorMetric(seed, maxError);
}

Point3 RoamTreeTest::EyeAbove(float x, float y, float clearance) { return {x, y, SampleHeight(x, y) + clearance}; }

float DistanceBeyondError(int v, Point3 eye) {
  const HeightField& field = *CurrentHeightField;
  const int x = field.GridX(v);
  const int y = field.GridY(v);
  const Point3 p = field.GridPosition(x, y);
  const float dx = eye.x - p.x, dy = eye.y - p.y, dz = eye.z - p.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz) - CurrentErrorMetric->At(x, y);
}

