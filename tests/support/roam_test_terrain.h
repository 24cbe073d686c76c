#pragma once
// The ROAM benchmark's names for the shared test terrain; drop once it includes
// support/test_terrain.h itself.
#include "support/test_terrain.h"

inline void InstallRoamTestTerrain(int n, uint32_t seed, float verticalScale, float roughness = 0.55f) {
  InstallRoughTerrain(n, seed, verticalScale, roughness);
}

inline void InstallRoamTestErrorMetric(float weight) { ComputeErrorMetric(weight); }
