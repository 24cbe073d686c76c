// CABTT over one lap of a fixed flight on the generated default terrain, per aggregation level
// with the adaptive builder: refinement alone, and whole frames (refinement and drawing, blocks
// built into a cache that keeps nothing).
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_terrain.h"
#include "cabtt/cabtt_draw.h"
#include "cabtt/cabtt_method.h"
#include "cabtt/cabtt_tree.h"
#include "cache/counting_cache.h"
#include "circle_flight.h"
#include "discard_cache.h"

namespace {

constexpr int kFlightFrames = 720;  // one lap
constexpr float kRadius = 0.3f;
constexpr float kClearance = 0.02f;
constexpr int kStartCullingLevel = 14;

// A CABTT tree started at the flight's first eye, with its builder and a counted cache.
class CabttBenchSession {
 public:
  CabttBenchSession(benchmark::State& state, int level)
      : terrain(DefaultTerrain()),
        flight(terrain.field, kRadius, 2.0f * 3.14159265f / kFlightFrames, kClearance, kStartCullingLevel),
        cache(std::make_unique<DiscardCache>()),
        tree(counters, terrain.field) {
    NullLogSink quiet;
    Result<std::unique_ptr<AggregationBuilder>> made =
        AggregationBuilder::Make(level, true, terrain.field, terrain.metric, quiet);
    if (!made.ok()) {
      state.SkipWithError(made.failure().message.c_str());
      return;
    }
    builder = std::move(made.value());
    tree.policy.Use(level, builder.get(), &cache);
    const int side = 1 << level;
    Status started = cache.Init(LevelBlockVertices(level), 3 * side * side);
    if (started.ok()) started = tree.Start(terrain.field, flight.Next().eye);
    if (!started.ok()) state.SkipWithError(started.failure().message.c_str());
  }
  ~CabttBenchSession() {
    tree.Stop();
    cache.Shutdown();
  }

  const Terrain& terrain;
  CircleFlight flight;
  MethodCounters counters;
  FrameStats stats;
  std::unique_ptr<AggregationBuilder> builder;
  CountingCache cache;
  CabttTree tree;  // after the cache: its leaves give their blocks back to it
  CabttDrawer drawer;
};

void Report(benchmark::State& state, const CabttBenchSession& session) {
  const auto perFrame = [](double v) { return benchmark::Counter(v, benchmark::Counter::kAvgIterations); };
  const MethodCounters& c = session.counters;
  state.counters["splits"] = perFrame(static_cast<double>(c.splits));
  state.counters["merges"] = perFrame(static_cast<double>(c.merges));
  state.counters["tests"] = perFrame(static_cast<double>(c.splitTests + c.mergeTests));
  state.counters["built"] = perFrame(static_cast<double>(session.cache.blocksBuilt));
  state.counters["redrawn"] = perFrame(static_cast<double>(session.cache.blocksRedrawn));
  state.counters["triangles"] = perFrame(session.stats.triangles);
}

void BM_CabttRefinement(benchmark::State& state) {
  CabttBenchSession session(state, static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(session.tree.Refine(session.flight.Next().eye).ok());
  Report(state, session);
}

void BM_CabttFrame(benchmark::State& state) {
  CabttBenchSession session(state, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    const FrameView view = session.flight.Next();
    Status done = session.tree.Refine(view.eye);
    if (done.ok())
      done = session.drawer.DrawPass(session.tree, session.terrain.field, *session.builder, session.cache, view.wedge,
                                     view.cullingLevel, session.stats, session.counters);
    if (!done.ok()) {
      state.SkipWithError(done.failure().message.c_str());
      break;
    }
  }
  Report(state, session);
}

BENCHMARK(BM_CabttRefinement)->DenseRange(2, 6)->ArgName("level")->Iterations(kFlightFrames);
BENCHMARK(BM_CabttFrame)->DenseRange(2, 6)->ArgName("level")->Iterations(kFlightFrames);

}  // namespace
