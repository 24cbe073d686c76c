#pragma once
#include <cstdint>

#include "terrain/error_metric.h"
#include "terrain/height_field.h"

// Deterministic terrains and error metrics for the aggregation builders' tests and benchmarks.

// Installs a rough (fractal) height field of side 2^n + 1 as the current height field.
void InstallRoughTerrain(int n, uint32_t seed, float verticalScale = 0.1f);

// Installs a height field of independent random samples.
void InstallNoiseTerrain(int n, uint32_t seed, float verticalScale = 0.1f);

// Installs an ErrorMetric for the current height field with every value 0.
ErrorMetric& InstallZeroErrorMetric();

// Installs the view-independent bintree error metric of the current height field, computed
// the plain recursive way (each triangle's plane, every descendant midpoint).
ErrorMetric& InstallComputedErrorMetric(float weight);

// Installs random metric values in [0, maxValue), corners 0.
ErrorMetric& InstallRandomErrorMetric(uint32_t seed, float maxValue);

// Frees the metric installed by the functions above.
void DestroyTestErrorMetric();

// Small deterministic generator for test data.
class TestRandom {
 public:
  explicit TestRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

 private:
  uint64_t state_;
};
