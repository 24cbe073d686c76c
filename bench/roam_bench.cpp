// Standard ROAM per-frame cost along a fixed flight over a generated 1025 terrain: the
// update (split and merge work), the drawing pass (triangle emission into a cache that only
// counts), and the two together with view-wedge culling at the start-up level.
#include <benchmark/benchmark.h>

#include <cmath>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cache/geometry_cache.h"
#include "roam/roam_draw.h"
#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "support/roam_fake_cache.h"
#include "support/test_terrain.h"
#include "terrain/height_field.h"

namespace {

constexpr float kVerticalScale = 0.1f;
constexpr float kClearance = 0.2f * kVerticalScale;
constexpr float kSpeed = 1.0f / 240.0f;  // the flight model's top speed per frame
constexpr float kRadius = 0.3f;

void InstallTerrainOnce() {
  static bool installed = false;
  if (installed) return;
  InstallRoughTerrain(10, 1, kVerticalScale);
  ComputeErrorMetric(600.0f);
  installed = true;
}

// A circle round the centre of the square at top speed, the eye at the usual clearance.
class CircleFlight {
 public:
  void Next() {
    angle_ += kSpeed / kRadius;
    const float x = 0.5f + kRadius * std::cos(angle_);
    const float y = 0.5f + kRadius * std::sin(angle_);
    const float z = SampleHeight(x, y) + kClearance;
    const float heading = angle_ + 1.5707964f;
    Cameras[0].eye = {x, y, z};
    Cameras[0].centre = {x + 0.8f * std::cos(heading), y + 0.8f * std::sin(heading), z};
  }

 private:
  float angle_ = 0.0f;
};

// An active tree on the flight's first frames, a counting cache, statistics cleared.
class RoamBenchSession {
 public:
  RoamBenchSession() {
    InstallTerrainOnce();
    saved_ = ActiveCache;
    ActiveCache = &cache_;
    cache_.Init(kRoamBlockVertices, kRoamBlockIndices);
    flight.Next();
    StartRoamTree(Cameras[0].eye);
    for (int frame = 0; frame < 50; ++frame) {
      flight.Next();
      RoamUpdate(Cameras[0].eye);
    }
    RoamCounters = {};
    Stats = {};
  }
  ~RoamBenchSession() {
    StopRoamTree();
    ActiveCache = saved_;
  }

  CircleFlight flight;

 private:
  RoamFakeCache cache_{false};
  GeometryCache* saved_ = nullptr;
};

void ReportWork(benchmark::State& state) {
  const double changes = static_cast<double>(RoamCounters.splits) + RoamCounters.merges;
  const double tests = static_cast<double>(RoamCounters.splitTests) + RoamCounters.mergeTests;
  state.counters["splits+merges/frame"] = benchmark::Counter(changes, benchmark::Counter::kAvgIterations);
  state.counters["tests/frame"] = benchmark::Counter(tests, benchmark::Counter::kAvgIterations);
  state.counters["leaves"] = static_cast<double>(RoamPairPool.PairsInUse());
}

void BM_RoamUpdateAlongFlight(benchmark::State& state) {
  RoamBenchSession session;
  for (auto _ : state) {
    session.flight.Next();
    RoamUpdate(Cameras[0].eye);
  }
  ReportWork(state);
  const double changes = static_cast<double>(RoamCounters.splits) + RoamCounters.merges;
  state.counters["time/split-or-merge"] = benchmark::Counter(changes, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RoamUpdateAlongFlight)->Unit(benchmark::kMicrosecond);

void BM_RoamDrawPassUnculled(benchmark::State& state) {
  RoamBenchSession session;
  for (auto _ : state) DrawRoamPass(0);
  state.counters["triangles/frame"] = benchmark::Counter(Stats.triangles, benchmark::Counter::kAvgIterations);
  state.counters["time/triangle"] = benchmark::Counter(Stats.triangles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RoamDrawPassUnculled)->Unit(benchmark::kMicrosecond);

void BM_RoamFrameAlongFlightCulled(benchmark::State& state) {
  RoamBenchSession session;
  CullingLevel = 14;
  for (auto _ : state) {
    session.flight.Next();
    ComputeViewWedge();
    RoamUpdate(Cameras[0].eye);
    DrawRoamPass(RoamCullingDepth());
  }
  ReportWork(state);
  state.counters["triangles/frame"] = benchmark::Counter(Stats.triangles, benchmark::Counter::kAvgIterations);
  state.counters["time/triangle"] = benchmark::Counter(Stats.triangles, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RoamFrameAlongFlightCulled)->Unit(benchmark::kMicrosecond);

}  // namespace
