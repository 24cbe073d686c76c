#pragma once
#include <cstdint>
#include <functional>

#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// Generated height fields and stand-in error metrics for tests and benchmarks. A generated
// terrain gets its real metric from ComputeErrorMetric(weight); the stand-ins below are for
// tests that want chosen metric values. All of them are freed by DestroyErrorMetric.

// Installs a fractal (diamond-square) height field of side 2^n + 1 from seed, stretched over
// the whole sample range; roughness in (0, 1] is the factor by which the displacement shrinks
// per halving of the step.
void InstallRoughTerrain(int n, uint32_t seed, float verticalScale = 0.1f, float roughness = 0.55f);

// Installs a height field of side 2^n + 1 whose sample at grid point (x, y) is sample(x, y),
// called row after row.
void InstallTerrainFrom(int n, float verticalScale, const std::function<HeightSample(int x, int y)>& sample);

// Installs a height field of independent random samples.
void InstallNoiseTerrain(int n, uint32_t seed, float verticalScale = 0.1f);

// Installs a height field whose samples all equal value.
void InstallFlatTerrain(int n, HeightSample value = 0, float verticalScale = 0.1f);

// Like ComputeErrorMetric (the old metric and the aggregation builder go), but every value 0.
ErrorMetric& InstallZeroErrorMetric();

// Like InstallZeroErrorMetric, then independent random values in [0, maxValue) at every vertex
// but the four grid corners, which split no triangle.
ErrorMetric& InstallRandomErrorMetric(uint32_t seed, float maxValue);

// Frees the metric and the height field.
void RemoveTestTerrain();
