#include "headless/bench_engine.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/scene_setup.h"
#include "cabtt/cabtt_refine.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "cache/counting_cache.h"
#include "cache/geometry_cache.h"
#include "headless/brute_force_method.h"
#include "headless/frame_readback.h"
#include "headless/headless_scene.h"
#include "headless/image_quality.h"
#include "headless/peak_memory.h"
#include "headless/thread_cpu_clock.h"
#include "roam/roam_state.h"
#include "roam/roam_update.h"

namespace {

// The work counters that FrameSample reports as per-frame differences.
struct WorkCounts {
  double triangles;
  double bytes;
  int64_t splits;
  int64_t merges;
  int64_t built;
  int64_t redrawn;
};

WorkCounts ReadCounts(const BenchMethod& method, const CountingCache* cache) {
  WorkCounts counts{Stats.triangles, Stats.bytes, 0, 0, 0, 0};
  if (method.kind == BenchMethod::Kind::kRoam) {
    counts.splits = RoamCounters.splits;
    counts.merges = RoamCounters.merges;
  } else if (method.kind == BenchMethod::Kind::kCabtt) {
    counts.splits = CabttCounters.splits;
    counts.merges = CabttCounters.merges;
  }
  if (cache != nullptr) {
    counts.built = cache->blocksBuilt;
    counts.redrawn = cache->blocksRedrawn;
  }
  return counts;
}

int TableIndex(const BenchMethod& method) {
  switch (method.kind) {
    case BenchMethod::Kind::kRoam:
      return kRoamMethodIndex;
    case BenchMethod::Kind::kCabtt:
      return kCabttMethodIndex;
    case BenchMethod::Kind::kBruteForce:
      return kBruteForceMethodIndex;
  }
  return -1;
}

// The tree update that the draw operation would make, done first so that it can be timed alone;
// the draw operation's own update then finds the eye unchanged.
void Refine(const BenchMethod& method) {
  if (method.kind == BenchMethod::Kind::kRoam) RoamUpdate(Cameras[0].eye);
  if (method.kind == BenchMethod::Kind::kCabtt) UpdateCabttTree(Cameras[0].eye);
}

void Activate(const BenchMethod& method) {
  if (method.kind == BenchMethod::Kind::kCabtt) {
    AggregationLevel = method.level;
    AdaptiveAggregation = method.adaptive;
  }
  SetDrawMethodQuietly(TableIndex(method));
}

}  // namespace

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

MethodResult FlyMethod(const BenchMethod& method, const BenchPlan& plan, int sampleEvery, const SampleFunction& sample,
                       const BenchProgressFunction& progress, int* done, int total) {
  MethodResult result;
  result.name = BenchMethodName(method);
  if (plan.flight.empty()) return result;

  ResetPeakMemory();
  Activate(method);
  // Every block the method writes or draws passes through the counter; deactivation gives the
  // counting wrapper back with the cache.
  CountingCache* cache = method.kind == BenchMethod::Kind::kBruteForce ? nullptr : CountActiveCache();
  if (plan.rasterizerDiscard) glEnable(GL_RASTERIZER_DISCARD);

  PlaceCameraAt(plan.flight[0]);
  DisplayFrame();
  glFinish();

  const double start = WallMilliseconds();
  double readBackMs = 0.0;
  WorkCounts before = ReadCounts(method, cache);
  for (int frame = 0; frame < static_cast<int>(plan.flight.size()); ++frame) {
    PlaceCameraAt(plan.flight[frame]);
    const double wallStart = WallMilliseconds();
    const double cpuStart = ThreadCpuMilliseconds();
    Refine(method);
    const double cpuRefined = ThreadCpuMilliseconds();
    DisplayFrame();
    const double cpuDrawn = ThreadCpuMilliseconds();
    glFinish();
    const double wallEnd = WallMilliseconds();

    const WorkCounts after = ReadCounts(method, cache);
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
    result.frames.push_back(figures);
    before = after;

    if (sample && sampleEvery > 0 && frame % sampleEvery == 0) {
      const double sampleStart = WallMilliseconds();
      sample(frame);
      readBackMs += WallMilliseconds() - sampleStart;
    }
    if (progress) progress(result.name, ++*done, total);
  }
  result.wallSeconds = (WallMilliseconds() - start - readBackMs) * 1e-3;
  result.peakMemoryMiB = PeakMemoryMiB();

  if (plan.rasterizerDiscard) glDisable(GL_RASTERIZER_DISCARD);
  SetDrawMethodQuietly(-1);
  return result;
}

BenchRun RunBench(const BenchPlan& plan, const BenchProgressFunction& progress) {
  BenchRun run;
  run.width = plan.width;
  run.height = plan.height;
  run.rasterizerDiscard = plan.rasterizerDiscard;
  run.qualityThreshold = plan.threshold;

  const bool quality = plan.qualityEvery > 0 && !plan.rasterizerDiscard;
  const BenchMethod reference{BenchMethod::Kind::kBruteForce, 0, true};
  bool referenceListed = false;
  for (const BenchMethod& method : plan.methods) referenceListed = referenceListed || method == reference;
  const int frames = static_cast<int>(plan.flight.size());
  const int total = frames * static_cast<int>(plan.methods.size() + (quality && !referenceListed ? 1 : 0));
  int done = 0;

  // Reference pictures by sample, in frame order; each method's picture is compared at once.
  std::vector<std::vector<uint8_t>> referencePictures;
  MethodResult referenceResult;
  if (quality) {
    const auto keep = [&](int) { referencePictures.push_back(ReadFrameRgb(plan.width, plan.height)); };
    referenceResult = FlyMethod(reference, plan, plan.qualityEvery, keep, progress, &done, total);
  }

  for (const BenchMethod& method : plan.methods) {
    if (quality && method == reference) {
      run.methods.push_back(referenceResult);
      continue;
    }
    std::vector<QualitySample> samples;
    const auto compare = [&](int frame) {
      const std::vector<uint8_t> picture = ReadFrameRgb(plan.width, plan.height);
      const std::vector<uint8_t>& expected = referencePictures[samples.size()];
      const ImageDifference difference =
          CompareImages(expected.data(), picture.data(), plan.width, plan.height, plan.threshold);
      samples.push_back({frame, difference.psnr, difference.differingShare});
    };
    MethodResult result = FlyMethod(method, plan, quality ? plan.qualityEvery : 0, compare, progress, &done, total);
    result.quality = std::move(samples);
    run.methods.push_back(std::move(result));
  }
  return run;
}
