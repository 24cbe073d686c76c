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
#include "headless/detail_settings.h"
#include "headless/flights.h"
#include "terrain/error_metric.h"
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
  // Every method but the brute force flies once per setting; empty: StartupDetail alone.
  std::vector<DetailSetting> details;
  int width = 640;
  int height = 480;
  int qualityEvery = 0;  // 0: no quality samples
  int threshold = 8;
  bool rasterizerDiscard = false;
};

// Called after every frame: the flight's label, frames done and total over the whole run.
using BenchProgressFunction = std::function<void(const std::string& label, int done, int total)>;

// Called after a sampled frame, outside its time, to read its picture back.
using SampleFunction = std::function<void(int frame)>;

// How FlyMethod flies one method.
struct FlightSettings {
  const ErrorMetric* metric = nullptr;  // the detail setting's metric; the brute force needs none
  bool rasterizerDiscard = false;
  int sampleEvery = 0;  // after frames that are multiples of it (0: none) sample runs
  SampleFunction sample;
  std::string label;  // for progress
};

// Flies one method over the flight as described above. Ends with the method deactivated and
// GL_RASTERIZER_DISCARD off. done counts frames for progress across flights. A method's failure
// comes back at once.
Result<MethodResult> FlyMethod(BenchScene& scene, const BenchMethod& method, const FlightPath& flight,
                               const FlightSettings& settings, const BenchProgressFunction& progress, int* done,
                               int total);

// The whole run. With quality on, the brute-force reference flies first, rasterizing, and its
// pictures at the sampled frames are kept; it does not depend on the detail setting, so it flies
// once and every method at every setting is compared with the same pictures. Then, setting by
// setting, the error metric of the setting's weight is computed once (the scene's own when the
// weight is the same) and every listed method but the brute force flies with it. With quality
// and rasterizing, a method's pictures come from its timed flight (read back outside the time).
// With quality and GL_RASTERIZER_DISCARD, each method first flies the same poses rasterizing,
// untimed, for its pictures alone, then flies again timed without the rasterizer. A listed brute
// force is the reference's flight when that flight was timed as asked (quality on, rasterizing),
// else a flight of its own, once, without quality samples and without a detail setting.
// Results: by method in the listed order, each non-brute method once per setting in the listed
// order.
Result<BenchRun> RunBench(BenchScene& scene, const BenchPlan& plan, const BenchProgressFunction& progress);
