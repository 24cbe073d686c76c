#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/failure.h"
#include "app/platform/gl_capabilities.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "app/view/camera.h"
#include "cache/cache_kinds.h"
#include "headless/bench_results.h"
#include "headless/flights.h"
#include "terrain/terrain.h"

// The benchmark's engine: the drawing methods flown over a flight offscreen, each frame timed.
//
// Measurement, per method: activation where the camera stands (where the previous method's
// flight ended, as a switch of methods in the window does); the first pose refined and drawn once
// untimed; then every pose one timed frame: refinement for camera 0's eye timed alone, then the
// frame drawn as the window draws it, then glFinish. Pictures are read back after a frame's end,
// outside its time and outside the method's wall time. Work counts are per-frame differences of
// the method's counters and of the counting cache wrapped around every cache it makes.

// One drawing method of a benchmark run, as the --methods list names it.
struct BenchMethod {
  enum class Kind { kRoam, kCabtt, kBruteForce };
  Kind kind = Kind::kRoam;
  int level = 0;         // CABTT aggregation level
  bool adaptive = true;  // CABTT builder kind
  // The cache ROAM and CABTT draw through; none: the window's default rule.
  std::optional<CacheKind> cache = std::nullopt;

  bool operator==(const BenchMethod&) const = default;
};

// "ROAM", "CABTT L4 adaptive", "CABTT L3 uniform @buffer", "Brute force": distinct for distinct
// methods.
std::string BenchMethodName(const BenchMethod& method);

// Empty when every CABTT level of the list can be drawn on a grid of exponent n (at most n, and
// blocks within 16-bit indices), else the one-line reason.
std::string CheckMethodsFitTerrain(const std::vector<BenchMethod>& methods, int n);

// The program's world without a window, in the current offscreen context: the fixed GL state, the
// terrain as the window's start-up prepares it (texture object 1 bound), and the view with camera
// 0 selected and its projection set for the picture's size.
struct BenchScene {
  GlCapabilities gl;
  std::unique_ptr<NvPlatform> nv;
  Terrain terrain;
  ViewState view;
  std::unique_ptr<BufferStoragePlatform> buffers = nullptr;  // when the GL offers buffer storage

  CacheDrivers drivers() const { return {nv.get(), buffers.get()}; }
};

// Empty when the scene's GL can serve the cache of every method of the list, else the one-line
// reason naming the first it cannot.
std::string CheckMethodCaches(const std::vector<BenchMethod>& methods, const BenchScene& scene);

// The terrain loaders' console lines (and failures) go to console; the GL's log lines nowhere.
// texture empty: the generated slope shading.
Result<std::unique_ptr<BenchScene>> PrepareBenchScene(const std::string& terrain, const std::string& texture,
                                                      float verticalScale, int width, int height, LogSink& console);

// What one benchmark run flies and draws over a prepared scene.
struct BenchPlan {
  FlightPath flight;
  std::vector<BenchMethod> methods;
  int width = 640;
  int height = 480;
  int qualityEvery = 0;  // 0: no quality samples
  int threshold = 8;
  bool rasterizerDiscard = false;
};

// Called after every frame: the method's name, frames done and total over the whole run.
using BenchProgressFunction = std::function<void(const std::string& label, int done, int total)>;

// Called after a sampled frame, outside its time, to read its picture back.
using SampleFunction = std::function<void(int frame)>;

// Flies one method over the plan's flight as described above. After frames that are multiples of
// sampleEvery (0: none) sample runs. Ends with the method deactivated and GL_RASTERIZER_DISCARD
// off. done counts frames for progress across methods. A method's failure comes back at once.
Result<MethodResult> FlyMethod(BenchScene& scene, const BenchMethod& method, const BenchPlan& plan, int sampleEvery,
                               const SampleFunction& sample, const BenchProgressFunction& progress, int* done,
                               int total);

// The whole run: with quality on (and rasterizing), the brute-force reference first (kept in
// the results only when listed, then without quality samples of its own), then every listed
// method in order, each compared with the reference at the sampled frames.
Result<BenchRun> RunBench(BenchScene& scene, const BenchPlan& plan, const BenchProgressFunction& progress);
