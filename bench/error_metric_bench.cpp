// The view-independent error metric of the default terrain, at its own size and magnified four
// times, and the generation of the default terrain itself.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "bench_terrain.h"
#include "terrain/error_metric.h"
#include "tools/terrain_generator.h"

namespace {

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
