#include <benchmark/benchmark.h>

#include <vector>

#include "terrain/error_metric.h"
#include "terrain/height_field.h"
#include "tools/terrain_generator.h"

namespace {

// The default terrain (side 1025, seed 1), generated once.
const std::vector<HeightSample>& DefaultTerrain() {
  static const std::vector<HeightSample> samples = GenerateTerrain(TerrainRecipe{});
  return samples;
}

// The terrain magnified by `factor` with bilinear steps: the cost of the metric does not depend
// on the heights, only on the side, so a large field need not be generated at full cost.
std::vector<HeightSample> Magnify(const std::vector<HeightSample>& samples, int side, int factor) {
  const int bigSide = (side - 1) * factor + 1;
  std::vector<HeightSample> big(static_cast<size_t>(bigSide) * bigSide);
  for (int y = 0; y < bigSide; ++y)
    for (int x = 0; x < bigSide; ++x) {
      const int cellX = std::min(x / factor, side - 2);
      const int cellY = std::min(y / factor, side - 2);
      const double u = static_cast<double>(x - cellX * factor) / factor;
      const double v = static_cast<double>(y - cellY * factor) / factor;
      auto at = [&](int i, int j) { return static_cast<double>(samples[i + static_cast<size_t>(j) * side]); };
      const double height = at(cellX, cellY) * (1 - u) * (1 - v) + at(cellX + 1, cellY) * u * (1 - v) +
                            at(cellX, cellY + 1) * (1 - u) * v + at(cellX + 1, cellY + 1) * u * v;
      big[x + static_cast<size_t>(y) * bigSide] = static_cast<HeightSample>(height + 0.5);
    }
  return big;
}

void InstallCopy(const std::vector<HeightSample>& samples, int n) {
  auto* copy = new HeightSample[samples.size()];
  std::copy(samples.begin(), samples.end(), copy);
  InstallHeightField(copy, 0.1f, n);
}

void BM_ErrorMetric1025(benchmark::State& state) {
  InstallCopy(DefaultTerrain(), 10);
  for (auto _ : state) {
    ComputeErrorMetric(600.0f);
    benchmark::DoNotOptimize(CurrentErrorMetric->values[512 + 512 * 1025]);
  }
  DestroyErrorMetric();
  DestroyHeightField();
}
BENCHMARK(BM_ErrorMetric1025)->Unit(benchmark::kMillisecond);

void BM_ErrorMetric4097(benchmark::State& state) {
  InstallCopy(Magnify(DefaultTerrain(), 1025, 4), 12);
  for (auto _ : state) {
    ComputeErrorMetric(600.0f);
    benchmark::DoNotOptimize(CurrentErrorMetric->values[2048 + 2048 * 4097]);
  }
  DestroyErrorMetric();
  DestroyHeightField();
}
BENCHMARK(BM_ErrorMetric4097)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_GenerateTerrain1025(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(GenerateTerrain(TerrainRecipe{}).data());
}
BENCHMARK(BM_GenerateTerrain1025)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
