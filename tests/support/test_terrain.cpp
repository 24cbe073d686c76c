#include "support/test_terrain.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <utility>
#include <vector>

namespace {

size_t SampleCount(int n) {
  const size_t side = (size_t{1} << n) + 1;
  return side * side;
}

}  // namespace

HeightField RoughField(int n, uint32_t seed, float verticalScale, float roughness) {
  const int N = 1 << n;
  const int side = N + 1;
  std::vector<double> h(SampleCount(n), 0.0);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  auto at = [&](int x, int y) -> double& { return h[static_cast<size_t>(x) + static_cast<size_t>(y) * side]; };
  for (int y = 0; y <= N; y += N)
    for (int x = 0; x <= N; x += N) at(x, y) = unit(random);
  double amplitude = 1.0;
  for (int step = N; step > 1; step /= 2) {
    const int half = step / 2;
    for (int y = half; y < N; y += step)
      for (int x = half; x < N; x += step)
        at(x, y) = 0.25 * (at(x - half, y - half) + at(x + half, y - half) + at(x - half, y + half) + at(x + half, y + half)) +
                   amplitude * unit(random);
    for (int y = 0; y <= N; y += half)
      for (int x = (y / half) % 2 == 0 ? half : 0; x <= N; x += step) {
        double sum = 0.0;
        int count = 0;
        if (x >= half) sum += at(x - half, y), ++count;
        if (x + half <= N) sum += at(x + half, y), ++count;
        if (y >= half) sum += at(x, y - half), ++count;
        if (y + half <= N) sum += at(x, y + half), ++count;
        at(x, y) = sum / count + amplitude * unit(random);
      }
    amplitude *= roughness;
  }
  const auto [low, high] = std::minmax_element(h.begin(), h.end());
  const double range = *high > *low ? *high - *low : 1.0;
  auto samples = std::make_unique<HeightSample[]>(h.size());
  for (size_t i = 0; i < h.size(); ++i) samples[i] = static_cast<HeightSample>(std::lround((h[i] - *low) / range * 65535.0));
  return HeightField(std::move(samples), verticalScale, n);
}

HeightField FieldFrom(int n, float verticalScale, const std::function<HeightSample(int x, int y)>& sample) {
  const int side = (1 << n) + 1;
  auto samples = std::make_unique<HeightSample[]>(SampleCount(n));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) samples[x + static_cast<size_t>(y) * side] = sample(x, y);
  return HeightField(std::move(samples), verticalScale, n);
}

HeightField NoiseField(int n, uint32_t seed, float verticalScale) {
  std::mt19937 random(seed);
  return FieldFrom(n, verticalScale, [&](int, int) { return static_cast<HeightSample>(random() & 0xFFFF); });
}

HeightField FlatField(int n, HeightSample value, float verticalScale) {
  return FieldFrom(n, verticalScale, [value](int, int) { return value; });
}

ErrorMetric ZeroMetric(const HeightField& field) {
  return {std::vector<float>(SampleCount(field.n), 0.0f), kTerrainErrorWeight, field.N};
}

ErrorMetric RandomMetric(const HeightField& field, uint32_t seed, float maxValue) {
  ErrorMetric metric = ZeroMetric(field);
  const int N = metric.N;
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> value(0.0f, maxValue);
  std::generate(metric.values.begin(), metric.values.end(), [&] { return value(random); });
  for (int y = 0; y <= N; y += N)
    for (int x = 0; x <= N; x += N) metric.values[x + y * (N + 1)] = 0.0f;
  return metric;
}

Terrain TerrainOf(HeightField field) {
  ErrorMetric metric = ComputeErrorMetric(field, kTerrainErrorWeight);
  return Terrain{std::move(field), std::move(metric)};
}

Terrain RoughTerrain(int n, uint32_t seed, float verticalScale, float roughness) {
  return TerrainOf(RoughField(n, seed, verticalScale, roughness));
}
