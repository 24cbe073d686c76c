// Standard ROAM per-frame cost along a fixed flight over the generated default terrain: the
// refinement (split and merge work), the drawing pass (triangle emission into a cache that keeps
// nothing), and the two together with view-wedge culling at the start-up level.
#include <benchmark/benchmark.h>

#include "bench_terrain.h"
#include "circle_flight.h"
#include "discard_cache.h"
#include "roam/roam_draw.h"
#include "roam/roam_tree.h"

namespace {

constexpr float kClearance = 0.2f * 0.1f;  // start-up's, at the vertical scale 0.1
constexpr float kSpeed = 1.0f / 240.0f;    // the flight model's top speed per frame
constexpr float kRadius = 0.3f;
constexpr int kStartCullingLevel = 14;
constexpr int kWarmUpFrames = 50;

// An active tree some frames into the flight, its counters cleared.
class RoamBenchSession {
 public:
  explicit RoamBenchSession(benchmark::State& state)
      : terrain(DefaultTerrain()),
        flight(terrain.field, kRadius, kSpeed / kRadius, kClearance, kStartCullingLevel),
        tree(counters, terrain.field, terrain.metric) {
    (void)cache.Init(kRoamBlockVertices, kRoamBlockIndices);
    view = flight.Next();
    Status started = tree.Start(terrain.field, view.eye);
    for (int frame = 0; frame < kWarmUpFrames && started.ok(); ++frame) started = Fly();
    if (!started.ok()) state.SkipWithError(started.failure().message.c_str());
    counters = {};
  }
  ~RoamBenchSession() {
    tree.Stop();
    cache.Shutdown();
  }

  Status Fly() {
    view = flight.Next();
    return tree.Refine(view.eye);
  }
  int Draw(int depth) {
    const Result<int> triangles = streamer.DrawPass(tree, terrain.field, cache, view.wedge, depth);
    return triangles.ok() ? triangles.value() : 0;
  }

  const Terrain& terrain;
  CircleFlight flight;
  FrameView view{};
  MethodCounters counters;
  RoamTree tree;
  DiscardCache cache;
  RoamStreamer streamer;
};

benchmark::Counter PerFrame(double total) { return benchmark::Counter(total, benchmark::Counter::kAvgIterations); }
benchmark::Counter TimePer(double total) {
  return benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void ReportWork(benchmark::State& state, const RoamBenchSession& session) {
  const MethodCounters& c = session.counters;
  state.counters["splits+merges/frame"] = PerFrame(static_cast<double>(c.splits + c.merges));
  state.counters["tests/frame"] = PerFrame(static_cast<double>(c.splitTests + c.mergeTests));
  state.counters["pairs"] = static_cast<double>(session.tree.pool().PairsInUse());
}

void BM_RoamUpdateAlongFlight(benchmark::State& state) {
  RoamBenchSession session(state);
  for (auto _ : state) benchmark::DoNotOptimize(session.Fly().ok());
  ReportWork(state, session);
  state.counters["time/split-or-merge"] = TimePer(static_cast<double>(session.counters.splits + session.counters.merges));
}
BENCHMARK(BM_RoamUpdateAlongFlight)->Unit(benchmark::kMicrosecond);

void BM_RoamDrawPassUnculled(benchmark::State& state) {
  RoamBenchSession session(state);
  double triangles = 0.0;
  for (auto _ : state) triangles += session.Draw(0);
  state.counters["triangles/frame"] = PerFrame(triangles);
  state.counters["time/triangle"] = TimePer(triangles);
}
BENCHMARK(BM_RoamDrawPassUnculled)->Unit(benchmark::kMicrosecond);

void BM_RoamFrameAlongFlightCulled(benchmark::State& state) {
  RoamBenchSession session(state);
  const int depth = RoamCullingDepth(kStartCullingLevel);
  double triangles = 0.0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(session.Fly().ok());
    triangles += session.Draw(depth);
  }
  ReportWork(state, session);
  state.counters["triangles/frame"] = PerFrame(triangles);
  state.counters["time/triangle"] = TimePer(triangles);
}
BENCHMARK(BM_RoamFrameAlongFlightCulled)->Unit(benchmark::kMicrosecond);

}  // namespace
