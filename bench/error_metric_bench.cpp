// The view-independent error metric of the default terrain, at its own size and magnified four
// times, and the generation of the default terrain itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench_terrain.h"
#include "terrain/error_metric.h"
#include "tools/terrain_generator.h"

namespace {

// The samples magnified by `factor` with bilinear steps: the cost of the metric does not depend
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

void MeasureMetric(benchmark::State& state, const HeightField& field) {
  for (auto _ : state) {
    const ErrorMetric metric = ComputeErrorMetric(field, kTerrainErrorWeight);
    benchmark::DoNotOptimize(metric.At(field.N / 2, field.N / 2));
  }
}

void BM_ErrorMetric1025(benchmark::State& state) { MeasureMetric(state, FieldOf(DefaultTerrainSamples(), 10)); }
BENCHMARK(BM_ErrorMetric1025)->Unit(benchmark::kMillisecond);

void BM_ErrorMetric4097(benchmark::State& state) {
  MeasureMetric(state, FieldOf(Magnify(DefaultTerrainSamples(), 1025, 4), 12));
}
BENCHMARK(BM_ErrorMetric4097)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_GenerateTerrain1025(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(GenerateTerrain(TerrainRecipe{}).data());
}
BENCHMARK(BM_GenerateTerrain1025)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
