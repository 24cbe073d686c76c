#include "roam/roam_method.h"

#include <utility>

#include "app/view/wireframe.h"

namespace {

constexpr int kBytesPerTriangle = 18;

}  // namespace

RoamMethod::RoamMethod(const Terrain& terrain, CacheSource cacheSource, LogSink& log)
    : RoamMethod(terrain.field, terrain.metric, std::move(cacheSource), log) {}

RoamMethod::RoamMethod(const HeightField& field, const ErrorMetric& metric, CacheSource cacheSource, LogSink& log)
    : field_(field), cacheSource_(std::move(cacheSource)), log_(log), tree_(counters_, field, metric) {}

RoamMethod::~RoamMethod() = default;

Status RoamMethod::Activate(const FrameView& view) {
  Deactivate();
  log_.LogAndPrintf("Using Standard ROAM drawing method\n");
  cache_ = cacheSource_.create();
  Status started = tree_.Start(field_, view.eye);
  if (!started.ok()) return started;
  return cache_->Init(kRoamBlockVertices, kRoamBlockIndices);
}

Status RoamMethod::Refine(const FrameView& view) { return tree_.Refine(view.eye); }

Status RoamMethod::Draw(const FrameView& view, FrameStats& stats) {
  const PassAction secondPass = BeginFrameState(view);
  Status refined = tree_.Refine(view.eye);
  if (!refined.ok()) return refined;
  const int depth = RoamCullingDepth(view.cullingLevel);
  for (int pass = 0; pass < (secondPass != nullptr ? 2 : 1); ++pass) {
    if (pass == 1) secondPass();
    Result<int> triangles = streamer_.DrawPass(tree_, field_, *cache_, view.wedge, depth);
    if (!triangles.ok()) return triangles.failure();
    // Every triangle counts 18 bytes, whatever was really written.
    stats.bytes += static_cast<double>(kBytesPerTriangle) * triangles.value();
    stats.triangles += triangles.value();
  }
  return {};
}

void RoamMethod::Deactivate() {
  if (!tree_.Started()) return;
  tree_.Stop();
  cache_->Shutdown();
}

void RoamMethod::PrintStats(LogSink& log, const FrameStats& stats) const { LogRefinementStats(log, counters_, stats); }
