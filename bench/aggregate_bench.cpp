// Aggregation builders on the generated default terrain (1025 x 1025) with its computed metric.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "aggregate/aggregation_builder.h"
#include "bench_terrain.h"

namespace {

struct AggregateCorners {
  VertexId left;
  VertexId right;
  VertexId apex;
};

// Every aggregate triangle of the level that CABTT can split, from its two top triangles down.
std::vector<AggregateCorners> SplittableTriangles(const HeightField& field, int level) {
  const int N = field.N;
  const int step = 1 << level;
  std::vector<AggregateCorners> result;
  std::vector<AggregateCorners> pending = {{field.Id(N, N), field.Id(0, 0), field.Id(N, 0)},
                                           {field.Id(0, 0), field.Id(N, N), field.Id(0, N)}};
  while (!pending.empty()) {
    const AggregateCorners t = pending.back();
    pending.pop_back();
    result.push_back(t);
    // Legs of at most one 2^L cell: its children would be of the finest size, never split.
    if (std::abs(field.GridX(t.apex) - field.GridX(t.left)) <= step &&
        std::abs(field.GridY(t.apex) - field.GridY(t.left)) <= step)
      continue;
    const VertexId middle = (t.left + t.right) >> 1;
    pending.push_back({t.right, t.apex, middle});
    pending.push_back({t.apex, t.left, middle});
  }
  return result;
}

std::unique_ptr<AggregationBuilder> MakeBuilder(int level, bool adaptive) {
  NullLogSink quiet;
  const Terrain& terrain = DefaultTerrain();
  Result<std::unique_ptr<AggregationBuilder>> made =
      AggregationBuilder::Make(level, adaptive, terrain.field, terrain.metric, quiet);
  if (!made.ok()) return nullptr;
  return std::move(made.value());
}

// Making a builder is building its error grid.
void BM_BuildErrorGrid(benchmark::State& state) {
  DefaultTerrain();
  const int level = static_cast<int>(state.range(0));
  const bool adaptive = state.range(1) != 0;
  for (auto _ : state) {
    std::unique_ptr<AggregationBuilder> builder = MakeBuilder(level, adaptive);
    if (builder == nullptr) {
      state.SkipWithError("no builder");
      break;
    }
    benchmark::DoNotOptimize(builder->GridError(builder->GridEntries() / 2));
  }
}
BENCHMARK(BM_BuildErrorGrid)
    ->ArgsProduct({{3, 4, 5}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

// What '<', '>' and '/' wait for on a large terrain: the level-4 adaptive builder with its error
// grid, over one thread or all of them (0), on the default terrain magnified to 4097 and 8193.
void BM_AdaptiveLevel4OnLargeTerrain(benchmark::State& state) {
  const Terrain& terrain = MagnifiedTerrain(static_cast<int>(state.range(0)));
  const int threads = static_cast<int>(state.range(1));
  NullLogSink quiet;
  for (auto _ : state) {
    Result<std::unique_ptr<AggregationBuilder>> made =
        AggregationBuilder::Make(4, true, terrain.field, terrain.metric, quiet, threads);
    if (!made.ok()) {
      state.SkipWithError("no builder");
      break;
    }
    benchmark::DoNotOptimize(made.value()->GridError(made.value()->GridEntries() / 2));
  }
}
BENCHMARK(BM_AdaptiveLevel4OnLargeTerrain)
    ->ArgsProduct({{4, 8}, {1, 0}})
    ->ArgNames({"magnified", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One block as CABTT builds it: vertices, then indices, for a varying aggregate triangle.
void BM_BuildBlock(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  std::unique_ptr<AggregationBuilder> builder = MakeBuilder(level, state.range(1) != 0);
  if (builder == nullptr) {
    state.SkipWithError("no builder");
    return;
  }
  const std::vector<AggregateCorners> triangles = SplittableTriangles(DefaultTerrain().field, level);
  const int side = 1 << level;
  std::vector<CacheVertex> vertices(static_cast<size_t>((side + 1) * (side + 2) / 2));
  std::vector<uint16_t> indices(static_cast<size_t>(3 * side * side));
  size_t next = 0;
  for (auto _ : state) {
    const AggregateCorners& t = triangles[next];
    next = next + 1 == triangles.size() ? 0 : next + 1;
    BlockOutput out{vertices.data(), vertices.data(), indices.data()};
    const int count = builder->GenerateVertices(t.left, t.right, t.apex, out);
    builder->GenerateIndices(out);
    benchmark::DoNotOptimize(count);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BuildBlock)->ArgsProduct({{4}, {0, 1}})->ArgNames({"level", "adaptive"});

// Not a timing: how the adaptive error of an aggregate triangle compares with the uniform
// error of the same triangle, over every splittable triangle of the level.
void BM_AdaptiveToUniformErrorRatio(benchmark::State& state) {
  const int level = static_cast<int>(state.range(0));
  double sum = 0.0, largest = 0.0, smallest = 1e30;
  int compared = 0, adaptiveLower = 0;
  for (auto _ : state) {
    std::unique_ptr<AggregationBuilder> adaptive = MakeBuilder(level, true);
    std::unique_ptr<AggregationBuilder> uniform = MakeBuilder(level, false);
    if (adaptive == nullptr || uniform == nullptr) {
      state.SkipWithError("no builder");
      break;
    }
    for (const AggregateCorners& t : SplittableTriangles(DefaultTerrain().field, level)) {
      const double u = uniform->AggregateError(t.left, t.right, t.apex);
      if (u <= 0.0) continue;
      const double ratio = adaptive->AggregateError(t.left, t.right, t.apex) / u;
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
