#include "headless/bench_engine.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

#include "app/view/draw_method.h"
#include "app/view/frame_view.h"
#include "cabtt/cabtt_method.h"
#include "cache/cache_kinds.h"
#include "cache/counting_cache.h"
#include "headless/brute_force_method.h"
#include "headless/picture_quality.h"
#include "roam/roam_method.h"

namespace {

// CPU time of the calling thread in milliseconds: the work of a step without the time the GL's
// own threads (llvmpipe's rasterizer) or other processes took.
double ThreadCpuMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

double WallMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e3 + now.tv_nsec * 1e-6;
}

// Sets the kernel's high-water mark of resident memory back to the current size, so that each
// method's peak is its own. Where the kernel does not allow it the peak includes everything before.
void ResetPeakMemory() {
  if (std::FILE* file = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", file);
    std::fclose(file);
  }
}

// The high-water mark in MiB: VmHWM of /proc/self/status, or getrusage's maximum when that
// cannot be read.
double PeakMemoryMiB() {
  if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    long kibibytes = -1;
    while (std::fgets(line, sizeof line, status) != nullptr) {
      if (std::strncmp(line, "VmHWM:", 6) == 0 && std::sscanf(line + 6, "%ld", &kibibytes) == 1) break;
    }
    std::fclose(status);
    if (kibibytes >= 0) return kibibytes / 1024.0;
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kibibytes on Linux
}

// The work counters that FrameSample reports as per-frame differences.
struct WorkCounts {
  double triangles;
  double bytes;
  int64_t splits;
  int64_t merges;
  int64_t built;
  int64_t redrawn;
  CacheTraffic traffic;
};

WorkCounts ReadCounts(DrawMethod& method, const FrameStats& stats, const CountingCache* cache) {
  const MethodCounters& counters = method.Counters();
  WorkCounts counts{stats.triangles, stats.bytes, static_cast<int64_t>(counters.splits),
                    static_cast<int64_t>(counters.merges), 0, 0, {}};
  if (cache != nullptr) {
    counts.built = cache->blocksBuilt;
    counts.redrawn = cache->blocksRedrawn;
    counts.traffic = cache->Traffic();
  }
  if (const auto* brute = dynamic_cast<const BruteForceMethod*>(&method)) counts.traffic.drawCalls = brute->drawCalls();
  return counts;
}

CacheSource MethodCaches(const BenchScene& scene, const BenchMethod& listed, LogSink& quiet) {
  if (listed.cache) return KindCacheSource(*listed.cache, scene.drivers(), quiet);
  return DefaultCacheSource(scene.gl, scene.drivers(), quiet);
}

// The method a list entry names. Every cache it makes is wrapped in a counter, the latest of
// which *counting names.
std::unique_ptr<DrawMethod> MakeMethod(BenchScene& scene, const BenchMethod& listed, const ErrorMetric& metric,
                                       LogSink& quiet, CountingCache** counting) {
  const CacheSource counted = CountedCaches(MethodCaches(scene, listed, quiet), counting);
  switch (listed.kind) {
    case BenchMethod::Kind::kRoam:
      return std::make_unique<RoamMethod>(scene.terrain.field, metric, counted, quiet);
    case BenchMethod::Kind::kCabtt: {
      auto cabtt = std::make_unique<CabttMethod>(scene.terrain.field, metric, counted, quiet);
      cabtt->SetAggregation(listed.level, listed.adaptive);
      return cabtt;
    }
    case BenchMethod::Kind::kBruteForce:
      break;
  }
  return std::make_unique<BruteForceMethod>(scene.terrain.field);
}

// One frame as the window draws it: cleared to the sky, drawn, counted.
Status DrawFrame(DrawMethod& method, const ViewState& view, FrameStats& stats) {
  Status drawn = DrawViewFrame(&method, view, stats);
  if (drawn.ok()) stats.frames += 1;
  return drawn;
}

}  // namespace

std::string BenchMethodName(const BenchMethod& method) {
  const std::string cache = method.cache ? std::string(" @") + CacheKindName(*method.cache) : "";
  switch (method.kind) {
    case BenchMethod::Kind::kRoam:
      return "ROAM" + cache;
    case BenchMethod::Kind::kCabtt:
      return "CABTT L" + std::to_string(method.level) + (method.adaptive ? " adaptive" : " uniform") + cache;
    case BenchMethod::Kind::kBruteForce:
      return "Brute force";
  }
  return "";
}

std::string CheckMethodCaches(const std::vector<BenchMethod>& methods, const BenchScene& scene) {
  for (const BenchMethod& method : methods) {
    if (method.cache && !CanServe(*method.cache, scene.gl, scene.drivers()))
      return "this GL cannot serve the " + std::string(CacheKindDescription(*method.cache)) + " of " +
             BenchMethodName(method);
  }
  return "";
}

std::string CheckMethodsFitTerrain(const std::vector<BenchMethod>& methods, int n) {
  for (const BenchMethod& method : methods) {
    if (method.kind != BenchMethod::Kind::kCabtt) continue;
    if (method.level > n)
      return "CABTT level " + std::to_string(method.level) + " is above the terrain's grid exponent " +
             std::to_string(n);
    if (!LevelFitsIndexRange(method.level))
      return "CABTT level " + std::to_string(method.level) + " makes blocks beyond 16-bit indices (at most 8)";
  }
  return "";
}

Result<std::unique_ptr<BenchScene>> PrepareBenchScene(const std::string& terrain, const std::string& texture,
                                                      float verticalScale, int width, int height, LogSink& console) {
  NullLogSink quiet;
  const GlCapabilities gl = InitGLState(quiet);
  const TerrainFiles files{terrain.c_str(), texture.empty() ? nullptr : texture.c_str(), verticalScale};
  Result<Terrain> prepared = PrepareTerrain(files, gl.textureCompression, console, false);
  if (!prepared.ok()) return prepared.failure();
  auto scene = std::unique_ptr<BenchScene>(
      new BenchScene{gl, nullptr, std::move(prepared.value()), StartViewState(verticalScale)});
  if (gl.vertexArrayRange || gl.fences) scene->nv = CreateDriverNvPlatform(gl.vertexArrayRange, gl.fences);
  if (gl.BufferStorageCache()) scene->buffers = CreateDriverBufferStoragePlatform();
  scene->view.windowWidth = width;
  scene->view.windowHeight = height;
  ApplyProjection(scene->view);
  return scene;
}

Result<MethodResult> FlyMethod(BenchScene& scene, const BenchMethod& listed, const FlightPath& flight,
                               const FlightSettings& settings, const BenchProgressFunction& progress, int* done,
                               int total) {
  MethodResult result;
  result.name = BenchMethodName(listed);
  if (flight.empty()) return result;

  ResetPeakMemory();
  NullLogSink quiet;
  CountingCache* cache = nullptr;
  const ErrorMetric& metric = settings.metric != nullptr ? *settings.metric : scene.terrain.metric;
  std::unique_ptr<DrawMethod> method = MakeMethod(scene, listed, metric, quiet, &cache);
  // Activated where the camera stands (where the previous method's flight ended), as a switch of
  // methods in the window; the first frame then refines for the flight's first pose.
  ViewState& view = scene.view;
  Status status = method->Activate(MakeFrameView(view));
  if (!status.ok()) return status.failure();
  if (settings.rasterizerDiscard) glEnable(GL_RASTERIZER_DISCARD);
  PlaceCameraAt(view, flight[0]);

  FrameStats stats;
  status = DrawFrame(*method, view, stats);
  if (!status.ok()) return status.failure();
  glFinish();

  const double start = WallMilliseconds();
  double readBackMs = 0.0;
  WorkCounts before = ReadCounts(*method, stats, cache);
  for (int frame = 0; frame < static_cast<int>(flight.size()); ++frame) {
    PlaceCameraAt(view, flight[frame]);
    const double wallStart = WallMilliseconds();
    const double cpuStart = ThreadCpuMilliseconds();
    status = method->Refine(MakeFrameView(view));
    if (!status.ok()) return status.failure();
    const double cpuRefined = ThreadCpuMilliseconds();
    status = DrawFrame(*method, view, stats);
    if (!status.ok()) return status.failure();
    const double cpuDrawn = ThreadCpuMilliseconds();
    glFinish();
    const double wallEnd = WallMilliseconds();

    const WorkCounts after = ReadCounts(*method, stats, cache);
    FrameSample figures;
    figures.frame = frame;
    figures.frameMs = wallEnd - wallStart;
    figures.refineMs = cpuRefined - cpuStart;
    figures.drawMs = cpuDrawn - cpuRefined;
    figures.triangles = after.triangles - before.triangles;
    figures.bytes = after.bytes - before.bytes;
    figures.splits = static_cast<int>(after.splits - before.splits);
    figures.merges = static_cast<int>(after.merges - before.merges);
    figures.blocksBuilt = static_cast<int>(after.built - before.built);
    figures.blocksRedrawn = static_cast<int>(after.redrawn - before.redrawn);
    figures.drawCalls = static_cast<int>(after.traffic.drawCalls - before.traffic.drawCalls);
    figures.driverBytes = static_cast<double>(after.traffic.driverBytes - before.traffic.driverBytes);
    result.frames.push_back(figures);
    before = after;

    if (settings.sample && settings.sampleEvery > 0 && frame % settings.sampleEvery == 0) {
      const double sampleStart = WallMilliseconds();
      settings.sample(frame);
      readBackMs += WallMilliseconds() - sampleStart;
    }
    if (progress) progress(settings.label.empty() ? result.name : settings.label, ++*done, total);
  }
  result.wallSeconds = (WallMilliseconds() - start - readBackMs) * 1e-3;
  result.peakMemoryMiB = PeakMemoryMiB();

  if (settings.rasterizerDiscard) glDisable(GL_RASTERIZER_DISCARD);
  method->Deactivate();
  return result;
}

Result<BenchRun> RunBench(BenchScene& scene, const BenchPlan& plan, const BenchProgressFunction& progress) {
  BenchRun run;
  run.width = plan.width;
  run.height = plan.height;
  run.rasterizerDiscard = plan.rasterizerDiscard;
  run.qualityThreshold = plan.threshold;
  run.detailListed = !plan.details.empty();
  run.details = run.detailListed ? plan.details : std::vector<DetailSetting>{StartupDetail(plan.height)};

  const bool quality = plan.qualityEvery > 0;
  const bool pictureFlights = quality && plan.rasterizerDiscard;  // pictures apart from the timing
  const BenchMethod reference{BenchMethod::Kind::kBruteForce, 0, true};
  bool referenceListed = false;
  std::vector<BenchMethod> detailed;  // the methods flown at every setting
  for (const BenchMethod& method : plan.methods) {
    if (method == reference)
      referenceListed = true;
    else
      detailed.push_back(method);
  }
  const bool referenceTimedApart = referenceListed && (!quality || plan.rasterizerDiscard);
  const size_t settings = run.details.size();
  const size_t flights =
      (quality ? 1 : 0) + (referenceTimedApart ? 1 : 0) + detailed.size() * settings * (pictureFlights ? 2 : 1);
  const int total = static_cast<int>(plan.flight.size() * flights);
  int done = 0;

  // Reference pictures by sample, in frame order; each method's picture is compared at once.
  std::vector<std::vector<uint8_t>> referencePictures;
  MethodResult referenceResult;
  if (quality) {
    FlightSettings pictures;
    pictures.sampleEvery = plan.qualityEvery;
    pictures.sample = [&](int) { referencePictures.push_back(ReadFrameRgb(plan.width, plan.height)); };
    Result<MethodResult> flown = FlyMethod(scene, reference, plan.flight, pictures, progress, &done, total);
    if (!flown.ok()) return flown.failure();
    referenceResult = std::move(flown.value());
  }
  if (referenceTimedApart) {
    FlightSettings timed;
    timed.rasterizerDiscard = plan.rasterizerDiscard;
    Result<MethodResult> flown = FlyMethod(scene, reference, plan.flight, timed, progress, &done, total);
    if (!flown.ok()) return flown.failure();
    referenceResult = std::move(flown.value());
  }

  // Setting by setting, so that one metric at a time is held; results[method * settings + setting].
  std::vector<MethodResult> results(detailed.size() * settings);
  for (size_t d = 0; d < settings; ++d) {
    const DetailSetting& detail = run.details[d];
    std::optional<ErrorMetric> own;
    if (detail.weight != scene.terrain.metric.weight) own = ComputeErrorMetric(scene.terrain.field, detail.weight);
    const ErrorMetric* metric = own ? &*own : &scene.terrain.metric;
    for (size_t m = 0; m < detailed.size(); ++m) {
      std::vector<QualitySample> samples;
      FlightSettings flightSettings;
      flightSettings.metric = metric;
      flightSettings.rasterizerDiscard = plan.rasterizerDiscard;
      flightSettings.sampleEvery = quality ? plan.qualityEvery : 0;
      flightSettings.sample = [&](int frame) {
        const std::vector<uint8_t> picture = ReadFrameRgb(plan.width, plan.height);
        const std::vector<uint8_t>& expected = referencePictures[samples.size()];
        const ImageDifference difference =
            CompareImages(expected.data(), picture.data(), plan.width, plan.height, plan.threshold);
        samples.push_back({frame, difference.psnr, difference.differingShare});
      };
      // Appended piecewise: GCC 12 warns falsely (-Wrestrict) on a literal + temporary string here.
      flightSettings.label = BenchMethodName(detailed[m]);
      if (run.detailListed) {
        flightSettings.label += ' ';
        flightSettings.label += PixelErrorLabel(detail.pixelError);
      }
      if (pictureFlights) {
        FlightSettings pictures = flightSettings;
        pictures.rasterizerDiscard = false;
        pictures.label += " (pictures)";
        Result<MethodResult> flown = FlyMethod(scene, detailed[m], plan.flight, pictures, progress, &done, total);
        if (!flown.ok()) return flown.failure();
        flightSettings.sampleEvery = 0;
      }
      Result<MethodResult> flown = FlyMethod(scene, detailed[m], plan.flight, flightSettings, progress, &done, total);
      if (!flown.ok()) return flown.failure();
      MethodResult& result = results[m * settings + d];
      result = std::move(flown.value());
      result.detail = detail;
      result.quality = std::move(samples);
    }
  }

  size_t next = 0;
  for (const BenchMethod& method : plan.methods) {
    if (method == reference) {
      run.methods.push_back(referenceResult);
      continue;
    }
    for (size_t d = 0; d < settings; ++d) run.methods.push_back(std::move(results[next * settings + d]));
    ++next;
  }
  return run;
}
