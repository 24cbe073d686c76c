// Aggregation builders on a generated 1025 x 1025 rough terrain with its computed metric.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "aggregate/adaptive_builder.h"
#include "aggregate/block_output.h"
#include "aggregate/uniform_builder.h"
#include "support/aggregate_triangle_walk.h"
#include "support/test_terrain.h"

namespace {

void EnsureTerrain1025() {
  static bool ready = false;
  if (ready) return;
  InstallRoughTerrain(10, 1025);
  ComputeErrorMetric(600.0f);
  ready = true;
}

AggregationBuilder* MakeBuilder(int level, bool adaptive) {
  if (adaptive) return new AdaptiveBuilder(level);
  return new UniformBuilder(level);
}

// Constructing a builder is building its error grid.
void BM_BuildErrorGrid(benchmark::State& state) {
  EnsureTerrain1025();
  const int level = static_cast<int>(state.range(0));
  const bool adaptive = state.range(1) != 0;
  for (auto _ : state) {
    AggregationBuilder* builder = MakeBuilder(level, adaptive);
    benchmark::DoNotOptimize(builder->errorGrid);
    delete builder;
  }
}
BENCHMARK(BM_BuildErrorGrid)
    ->ArgsProduct({{3, 4, 5}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// One block as CABTT builds it: vertices, then indices, for a varying aggregate triangle.
void BM_BuildBlock(benchmark::State& state) {
  EnsureTerrain1025();
  const int level = static_cast<int>(state.range(0));
  AggregationBuilder* builder = MakeBuilder(level, state.range(1) != 0);
  const std::vector<AggregateCorners> triangles = AggregateTriangles(level, false);
  const int side = 1 << level;
  std::vector<CacheVertex> vertices(static_cast<size_t>((side + 1) * (side + 2) / 2));
  std::vector<uint16_t> indices(static_cast<size_t>(3 * side * side));
  size_t next = 0;
  for (auto _ : state) {
    const AggregateCorners& t = triangles[next];
    next = next + 1 == triangles.size() ? 0 : next + 1;
    BlockVertexStart = BlockVertexCursor = vertices.data();
    BlockIndexCursor = indices.data();
    EmitVertices = true;
    const int count = builder->GenerateVertices(t.left, t.right, t.apex);
    builder->GenerateIndices();
    EmitVertices = false;
    benchmark::DoNotOptimize(count);
    benchmark::ClobberMemory();
  }
  ResetBlockOutput();
  delete builder;
}
BENCHMARK(BM_BuildBlock)->ArgsProduct({{4}, {0, 1}})->ArgNames({"level", "adaptive"});

// Not a timing: how the adaptive error of an aggregate triangle compares with the uniform
// error of the same triangle, over every splittable triangle of the level.
void BM_AdaptiveToUniformErrorRatio(benchmark::State& state) {
  EnsureTerrain1025();
  const int level = static_cast<int>(state.range(0));
  double sum = 0.0, largest = 0.0, smallest = 1e30;
  int compared = 0, adaptiveLower = 0;
  for (auto _ : state) {
    AdaptiveBuilder adaptive(level);
    UniformBuilder uniform(level);
    for (const AggregateCorners& t : AggregateTriangles(level, false)) {
      const double u = uniform.AggregateError(t.left, t.right, t.apex);
      if (u <= 0.0) continue;
      const double ratio = adaptive.AggregateError(t.left, t.right, t.apex) / u;
      sum += ratio;
      largest = std::max(largest, ratio);
      smallest = std::min(smallest, ratio);
      adaptiveLower += ratio < 1.0 ? 1 : 0;
      ++compared;
    }
  }
  state.counters["triangles"] = compared;
  state.counters["mean_ratio"] = compared > 0 ? sum / compared : 0.0;
  state.counters["max_ratio"] = largest;
  state.counters["min_ratio"] = smallest;
  state.counters["adaptive_lower"] = compared > 0 ? static_cast<double>(adaptiveLower) / compared : 0.0;
}
BENCHMARK(BM_AdaptiveToUniformErrorRatio)->DenseRange(1, 6)->ArgName("level")->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
