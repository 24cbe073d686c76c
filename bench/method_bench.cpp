// Standard ROAM against CABTT along one fixed flight over the default terrain, drawn for real:
// an EGL pbuffer of the window's size, the system-memory cache that this machine's GL gets, the
// start-up's error metric, texture and GL state, and glFinish closing every frame so that the
// GL's own work is in the time. Every benchmark flies the same 600 frames; the first view is
// refined and drawn once before the clock starts, so the figures are those of steady flight.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "app/view/wireframe.h"
#include "method_scene.h"
#include "roam/roam_draw.h"

namespace {

constexpr int kFlightFrames = 600;
constexpr double kPi = 3.14159265358979323846;

using SteadyClock = std::chrono::steady_clock;

double NanosecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::nano>(SteadyClock::now() - start).count();
}

// The flight model itself, flown with the left button held: the pointer above the centre for a
// steady forward speed (about 1/780 of the square per frame) and swinging slowly from side to
// side for gentle turns, at the start-up clearance. It crosses the terrain from the south-west.
std::vector<FlightState> RecordFlight(const HeightField& field) {
  FlightState flight = StartViewState(field.verticalScale).flight;
  flight.x = 0.15f;
  flight.y = 0.2f;
  flight.heading = 0.9f;
  flight.eyeHeight = field.SampleHeight(flight.x, flight.y) + flight.clearance;
  PointerState pointer{true, 0.5, 0.2};
  std::vector<FlightState> poses;
  for (int frame = 0; frame <= kFlightFrames; ++frame) {
    pointer.x = 0.5 + 0.2 * std::sin(2.0 * kPi * frame / 300.0);
    UpdateFlight(flight, pointer, false, field, 1.0);
    poses.push_back(flight);
  }
  return poses;
}

// The scene with the flight recorded over it, or null after skipping the benchmark.
struct Flight {
  MethodScene* scene = nullptr;
  std::vector<FlightState> poses;

  void FlyTo(int frame) { scene->FlyTo(poses[static_cast<size_t>(frame)]); }
};

Flight* SharedFlight(benchmark::State& state) {
  static Flight flight;
  if (flight.scene != nullptr) return &flight;
  Result<MethodScene*> scene = MethodScene::Shared(DEFAULT_TERRAIN);
  if (!scene.ok()) {
    state.SkipWithError(scene.failure().message.c_str());
    return nullptr;
  }
  flight.scene = scene.value();
  flight.poses = RecordFlight(flight.scene->field());
  return &flight;
}

// The method current at the flight's first view, refined and drawn once; its counters cleared.
Flight* StartMethod(benchmark::State& state, DrawMethod& (*method)(MethodScene&)) {
  Flight* flight = SharedFlight(state);
  if (flight == nullptr) return nullptr;
  MethodScene& scene = *flight->scene;
  (void)scene.Use(nullptr);
  flight->FlyTo(0);
  FrameStats stats;
  Status started = scene.Use(&method(scene));
  if (started.ok()) started = scene.DrawFrame(stats);
  if (!started.ok()) {
    state.SkipWithError(started.failure().message.c_str());
    (void)scene.Use(nullptr);
    return nullptr;
  }
  method(scene).ResetStats();
  return flight;
}

DrawMethod& Roam(MethodScene& scene) { return scene.roam(); }
DrawMethod& Cabtt(MethodScene& scene) { return scene.cabtt(); }

benchmark::Counter PerFrame(double total) { return benchmark::Counter(total, benchmark::Counter::kAvgIterations); }
double Changes(const MethodCounters& c) { return static_cast<double>(c.splits + c.merges); }
double Tests(const MethodCounters& c) { return static_cast<double>(c.splitTests + c.mergeTests); }

// Stops the benchmark at a method's failure.
bool Check(benchmark::State& state, const Status& status) {
  if (status.ok()) return true;
  state.SkipWithError(status.failure().message.c_str());
  return false;
}

void BM_FlightRoamUpdate(benchmark::State& state) {
  Flight* flight = StartMethod(state, Roam);
  if (flight == nullptr) return;
  MethodScene& scene = *flight->scene;
  int frame = 0;
  double nanoseconds = 0;
  for (auto _ : state) {
    flight->FlyTo(++frame);
    const auto start = SteadyClock::now();
    const Status refined = scene.roam().Refine(scene.View());
    nanoseconds += NanosecondsSince(start);
    if (!Check(state, refined)) break;
  }
  const MethodCounters& counters = scene.roam().Counters();
  state.counters["changes/frame"] = PerFrame(Changes(counters));
  state.counters["tests/frame"] = PerFrame(Tests(counters));
  state.counters["ns/change"] = Changes(counters) > 0 ? nanoseconds / Changes(counters) : 0.0;
  (void)scene.Use(nullptr);
}
BENCHMARK(BM_FlightRoamUpdate)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The drawing pass alone: the frame's clear, view, state and refinement run with the clock
// stopped, in the order RoamMethod::Draw takes them.
void BM_FlightRoamDraw(benchmark::State& state) {
  Flight* flight = StartMethod(state, Roam);
  if (flight == nullptr) return;
  MethodScene& scene = *flight->scene;
  RoamStreamer streamer;
  int frame = 0;
  double nanoseconds = 0;
  double triangles = 0;
  for (auto _ : state) {
    state.PauseTiming();
    flight->FlyTo(++frame);
    const FrameView view = scene.View();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    BeginFrameState(view);
    const Status refined = scene.roam().Refine(view);
    state.ResumeTiming();
    if (!Check(state, refined)) break;
    const auto start = SteadyClock::now();
    const Result<int> drawn = streamer.DrawPass(scene.roam().tree(), scene.field(), *scene.roam().cache(), view.wedge,
                                                RoamCullingDepth(view.cullingLevel));
    glFinish();
    nanoseconds += NanosecondsSince(start);
    if (!drawn.ok()) {
      state.SkipWithError(drawn.failure().message.c_str());
      break;
    }
    triangles += drawn.value();
  }
  state.counters["tris/frame"] = PerFrame(triangles);
  state.counters["ns/tri"] = triangles > 0 ? nanoseconds / triangles : 0.0;
  (void)scene.Use(nullptr);
}
BENCHMARK(BM_FlightRoamDraw)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlightRoamFrame(benchmark::State& state) {
  Flight* flight = StartMethod(state, Roam);
  if (flight == nullptr) return;
  MethodScene& scene = *flight->scene;
  FrameStats stats;
  int frame = 0;
  for (auto _ : state) {
    flight->FlyTo(++frame);
    if (!Check(state, scene.DrawFrame(stats))) break;
  }
  state.counters["tris/frame"] = PerFrame(stats.triangles);
  state.counters["changes/frame"] = PerFrame(Changes(scene.roam().Counters()));
  (void)scene.Use(nullptr);
}
BENCHMARK(BM_FlightRoamFrame)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: aggregation level, adaptive builder (1) or uniform (0).
Flight* StartCabtt(benchmark::State& state) {
  Result<MethodScene*> scene = MethodScene::Shared(DEFAULT_TERRAIN);
  if (scene.ok()) scene.value()->cabtt().SetAggregation(static_cast<int>(state.range(0)), state.range(1) != 0);
  return StartMethod(state, Cabtt);
}

void BM_FlightCabttRefine(benchmark::State& state) {
  Flight* flight = StartCabtt(state);
  if (flight == nullptr) return;
  MethodScene& scene = *flight->scene;
  int frame = 0;
  for (auto _ : state) {
    flight->FlyTo(++frame);
    if (!Check(state, scene.cabtt().Refine(scene.View()))) break;
  }
  const MethodCounters& counters = scene.cabtt().Counters();
  state.counters["splits/frame"] = PerFrame(static_cast<double>(counters.splits));
  state.counters["merges/frame"] = PerFrame(static_cast<double>(counters.merges));
  state.counters["tests/frame"] = PerFrame(Tests(counters));
  (void)scene.Use(nullptr);
}
BENCHMARK(BM_FlightCabttRefine)
    ->ArgsProduct({{2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Iterations(kFlightFrames)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_FlightCabttFrame(benchmark::State& state) {
  Flight* flight = StartCabtt(state);
  if (flight == nullptr) return;
  MethodScene& scene = *flight->scene;
  const CountingCache* cache = scene.cache();
  const int64_t builtBefore = cache->blocksBuilt;
  const int64_t redrawnBefore = cache->blocksRedrawn;
  FrameStats stats;
  int frame = 0;
  for (auto _ : state) {
    flight->FlyTo(++frame);
    if (!Check(state, scene.DrawFrame(stats))) break;
  }
  state.counters["built/frame"] = PerFrame(static_cast<double>(cache->blocksBuilt - builtBefore));
  state.counters["redrawn/frame"] = PerFrame(static_cast<double>(cache->blocksRedrawn - redrawnBefore));
  state.counters["tris/frame"] = PerFrame(stats.triangles);
  state.counters["changes/frame"] = PerFrame(Changes(scene.cabtt().Counters()));
  (void)scene.Use(nullptr);
}
BENCHMARK(BM_FlightCabttFrame)
    ->ArgsProduct({{2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Iterations(kFlightFrames)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
