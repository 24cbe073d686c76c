// CABTT over a fixed flight on a generated 1025 x 1025 terrain, per aggregation level:
// refinement alone, and whole frames (refinement and drawing into a recording cache that
// draws nothing). The errors and tessellations come from the nested fake builder, so the
// triangle counts of non-finest blocks are stand-ins, not those of the real builders.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "headless/redirected_stdout.h"
#include "support/cabtt_fakes.h"

namespace {

constexpr int kGridExponent = 10;
constexpr int kFlightFrames = 720;  // one lap

// The eye circles the centre of the terrain at a small height, looking along its path.
void PlaceCamera(int frame) {
  const float angle = 2.0f * 3.14159265f * static_cast<float>(frame % kFlightFrames) / kFlightFrames;
  const float x = 0.5f + 0.3f * std::cos(angle), y = 0.5f + 0.3f * std::sin(angle);
  const float heading = angle + 1.5707963f;
  Cameras[0].eye = {x, y, SampleHeight(x, y) + 0.02f};
  Cameras[0].centre = {x + 0.8f * std::cos(heading), y + 0.8f * std::sin(heading), Cameras[0].eye.z};
  ComputeViewWedge();
}

struct BenchWorld {
  explicit BenchWorld(int level) {
    cache = InstallCabttTestWorld(kGridExponent);
    AggregationLevel = level;
    InstallFakeBuilder(level, true);
    PlaceCamera(0);
    // The activation's help text would clutter the benchmark table.
    Quietly(ActivateCabtt);
  }
  ~BenchWorld() { RemoveCabttTestWorld(); }
  RecordingGeometryCache* cache;
};

void Report(benchmark::State& state, const RecordingGeometryCache& cache) {
  const auto perFrame = [](double v) { return benchmark::Counter(v, benchmark::Counter::kAvgIterations); };
  state.counters["splits"] = perFrame(CabttCounters.splits);
  state.counters["merges"] = perFrame(CabttCounters.merges);
  state.counters["tests"] = perFrame(CabttCounters.splitTests + CabttCounters.mergeTests);
  state.counters["built"] = perFrame(cache.blocksBuilt);
  state.counters["redrawn"] = perFrame(cache.blocksRedrawn);
  state.counters["triangles"] = perFrame(Stats.triangles);
}

void BM_CabttRefinement(benchmark::State& state) {
  BenchWorld world(static_cast<int>(state.range(0)));
  int frame = 0;
  for (auto _ : state) {
    PlaceCamera(++frame);
    UpdateCabttTree(Cameras[0].eye);
  }
  Report(state, *world.cache);
}

void BM_CabttFrame(benchmark::State& state) {
  BenchWorld world(static_cast<int>(state.range(0)));
  int frame = 0;
  for (auto _ : state) {
    PlaceCamera(++frame);
    RefineCabtt(Cameras[0].eye, nullptr);
  }
  Report(state, *world.cache);
}

BENCHMARK(BM_CabttRefinement)->DenseRange(2, 6)->Iterations(kFlightFrames);
BENCHMARK(BM_CabttFrame)->DenseRange(2, 6)->Iterations(kFlightFrames);

}  // namespace
