// Standard ROAM against CABTT along one fixed flight over the default terrain, drawn for real:
// an EGL pbuffer of the window's size, the system-memory cache that this machine's GL gets, the
// start-up's error metric, texture and GL state, and glFinish closing every frame so that the
// GL's own work is in the time. Every benchmark flies the same 600 frames; the first view is
// refined and drawn once before the clock starts, so the figures are those of steady flight.
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/view_wedge.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"
#include "roam/roam_draw.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"
#include "cache/counting_cache.h"
#include "support/gl_context.h"
#include "support/terrain_scene.h"

namespace {

constexpr int kFlightFrames = 600;

using SteadyClock = std::chrono::steady_clock;

double NanosecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double, std::nano>(SteadyClock::now() - start).count();
}

// The flight model itself, flown with the left button held: the pointer above the centre for a
// steady forward speed (about 1/780 of the square per frame) and swinging slowly from side to
// side for gentle turns, at the start-up clearance. It crosses the terrain from the south-west.
std::vector<FlightState> RecordFlight() {
  ResetViewState();
  Flight.x = 0.15f;
  Flight.y = 0.2f;
  Flight.heading = 0.9f;
  Flight.eyeHeight = SampleHeight(Flight.x, Flight.y) + Flight.clearance;
  Pointer.leftDown = true;
  Pointer.y = 0.2;
  std::vector<FlightState> poses;
  for (int frame = 0; frame <= kFlightFrames; ++frame) {
    Pointer.x = 0.5 + 0.2 * std::sin(2.0 * M_PI * frame / 300.0);
    UpdateFlight(1.0);
    poses.push_back(Flight);
  }
  ResetViewState();
  return poses;
}

const std::vector<FlightState>& FlightPoses() {
  static const std::vector<FlightState> poses = [] {
    if (!MakeTestGLContextCurrent(kSceneWidth, kSceneHeight)) {
      std::fprintf(stderr, "no GL context\n");
      std::exit(1);
    }
    LoadTerrainScene(DEFAULT_TERRAIN);
    return RecordFlight();
  }();
  return poses;
}

// Camera 0 where the flight is at a frame (0 is the view drawn before timing starts).
void FlyTo(int frame) {
  Flight = FlightPoses()[frame];
  UpdateCameras();
}

// A fresh scene with a method active and the flight's first view refined and drawn.
void StartMethod(int method) {
  FlightPoses();
  LoadTerrainScene(DEFAULT_TERRAIN);
  FlyTo(0);
  UseDrawMethod(method);
  DisplayFrame();
  glFinish();
  Stats = {};
  RoamCounters = {};
  CabttCounters = {};
}

benchmark::Counter PerFrame(double total) { return benchmark::Counter(total, benchmark::Counter::kAvgIterations); }

void BM_FlightRoamUpdate(benchmark::State& state) {
  StartMethod(kRoamMethod);
  int frame = 0;
  double nanoseconds = 0;
  for (auto _ : state) {
    FlyTo(++frame);
    const auto start = SteadyClock::now();
    RoamUpdate(Cameras[0].eye);
    nanoseconds += NanosecondsSince(start);
  }
  const double changes = static_cast<double>(RoamCounters.splits) + RoamCounters.merges;
  state.counters["changes/frame"] = PerFrame(changes);
  state.counters["tests/frame"] = PerFrame(static_cast<double>(RoamCounters.splitTests) + RoamCounters.mergeTests);
  state.counters["ns/change"] = changes > 0 ? nanoseconds / changes : 0.0;
  UseDrawMethod(-1);
}
BENCHMARK(BM_FlightRoamUpdate)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// The drawing pass alone: the frame's clear, view, wedge, state and update run with the clock
// stopped, as DrawRoam orders them.
void BM_FlightRoamDraw(benchmark::State& state) {
  StartMethod(kRoamMethod);
  int frame = 0;
  double nanoseconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    FlyTo(++frame);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const CameraView& view = Cameras[0];
    gluLookAt(view.eye.x, view.eye.y, view.eye.z, view.centre.x, view.centre.y, view.centre.z, 0.0, 0.0, 1.0);
    ComputeViewWedge();
    glEnable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT, GL_FILL);
    RoamUpdate(Cameras[0].eye);
    state.ResumeTiming();
    const auto start = SteadyClock::now();
    DrawRoamPass(RoamCullingDepth());
    glFinish();
    nanoseconds += NanosecondsSince(start);
  }
  state.counters["tris/frame"] = PerFrame(Stats.triangles);
  state.counters["ns/tri"] = Stats.triangles > 0 ? nanoseconds / Stats.triangles : 0.0;
  UseDrawMethod(-1);
}
BENCHMARK(BM_FlightRoamDraw)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlightRoamFrame(benchmark::State& state) {
  StartMethod(kRoamMethod);
  int frame = 0;
  for (auto _ : state) {
    FlyTo(++frame);
    DisplayFrame();
    glFinish();
  }
  state.counters["tris/frame"] = PerFrame(Stats.triangles);
  state.counters["changes/frame"] = PerFrame(static_cast<double>(RoamCounters.splits) + RoamCounters.merges);
  UseDrawMethod(-1);
}
BENCHMARK(BM_FlightRoamFrame)->Iterations(kFlightFrames)->Unit(benchmark::kMillisecond)->UseRealTime();

// Arguments: aggregation level, adaptive builder (1) or uniform (0).
void StartCabtt(const benchmark::State& state) {
  FlightPoses();
  LoadTerrainScene(DEFAULT_TERRAIN);
  AggregationLevel = static_cast<int>(state.range(0));
  AdaptiveAggregation = state.range(1) != 0;
  FlyTo(0);
  UseDrawMethod(kCabttMethod);
  DisplayFrame();
  glFinish();
  Stats = {};
  CabttCounters = {};
}

void BM_FlightCabttRefine(benchmark::State& state) {
  StartCabtt(state);
  int frame = 0;
  for (auto _ : state) {
    FlyTo(++frame);
    UpdateCabttTree(Cameras[0].eye);
  }
  state.counters["splits/frame"] = PerFrame(CabttCounters.splits);
  state.counters["merges/frame"] = PerFrame(CabttCounters.merges);
  state.counters["tests/frame"] = PerFrame(static_cast<double>(CabttCounters.splitTests) + CabttCounters.mergeTests);
  UseDrawMethod(-1);
}
BENCHMARK(BM_FlightCabttRefine)
    ->ArgsProduct({{2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Iterations(kFlightFrames)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlightCabttFrame(benchmark::State& state) {
  StartCabtt(state);
  CountingCache* cache = CountActiveCache();
  int frame = 0;
  for (auto _ : state) {
    FlyTo(++frame);
    DisplayFrame();
    glFinish();
  }
  state.counters["built/frame"] = PerFrame(cache->blocksBuilt);
  state.counters["redrawn/frame"] = PerFrame(cache->blocksRedrawn);
  state.counters["tris/frame"] = PerFrame(Stats.triangles);
  state.counters["changes/frame"] = PerFrame(static_cast<double>(CabttCounters.splits) + CabttCounters.merges);
  UseDrawMethod(-1);
}
BENCHMARK(BM_FlightCabttFrame)
    ->ArgsProduct({{2, 3, 4, 5, 6}, {0, 1}})
    ->ArgNames({"level", "adaptive"})
    ->Iterations(kFlightFrames)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
