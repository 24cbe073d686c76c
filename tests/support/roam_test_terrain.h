#pragma once
#include <cstdint>

// Generated terrains and error metrics for the ROAM tests and benchmarks.

// Installs a (2^n + 1)^2 height field made by midpoint displacement from seed; roughness in
// (0, 1] is the factor by which the displacement shrinks per halving of the cell size.
void InstallRoamTestTerrain(int n, uint32_t seed, float verticalScale, float roughness = 0.55f);

// Installs the error metric of the current height field, computed by its definition: for each
// hypotenuse midpoint, the largest weighted deviation from its triangle's plane plus distance
// over the midpoints of the triangle's descendants, the larger of the two triangles sharing it.
void InstallRoamTestErrorMetric(float weight);

// Installs an error metric of independent random values in [0, maxValue).
void InstallRandomRoamErrorMetric(uint32_t seed, float maxValue);

// Removes the metric installed here and the height field.
void RemoveRoamTestTerrain();
