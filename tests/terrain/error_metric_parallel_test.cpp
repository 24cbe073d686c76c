// The error metric spread over threads is the serial one, bit for bit: the tasks race only to
// raise shared midpoints, and the largest value wins whatever the order.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "support/test_terrain.h"
#include "terrain/error_metric.h"

namespace {

TEST(ErrorMetricThreadsTest, AnyNumberOfThreadsGivesTheSerialValuesBitForBit) {
  for (const int n : {1, 2, 5, 8, 10}) {
    for (const uint32_t seed : {1u, 7u}) {
      const HeightField field = n % 2 == 0 ? RoughField(n, seed, 0.3f, 0.7f) : NoiseField(n, seed, 0.05f);
      const ErrorMetric serial = ComputeErrorMetric(field, 600.0f, 1);
      for (const int threads : {2, 3, 8}) {
        const ErrorMetric parallel = ComputeErrorMetric(field, 600.0f, threads);
        ASSERT_EQ(parallel.values.size(), serial.values.size());
        // Compared as bits: a value that differed only in rounding would still fail.
        ASSERT_EQ(std::memcmp(parallel.values.data(), serial.values.data(), serial.values.size() * sizeof(float)), 0)
            << "n " << n << ", seed " << seed << ", " << threads << " threads";
      }
    }
  }
}

}  // namespace
