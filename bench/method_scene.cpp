#include "method_scene.h"

#include <GL/gl.h>

#include <utility>

#include "cache/system_memory_cache.h"
#include "bench_context.h"

namespace {

constexpr float kVerticalScale = 0.1f;

CacheSource CountedSystemCaches(CountingCache** latest) {
  return CountedCaches({CacheKind::kSystemMemory, [] { return std::make_unique<SystemMemoryCache>(); }}, latest);
}

}  // namespace

Result<MethodScene*> MethodScene::Shared(const std::string& terrainPath) {
  static std::unique_ptr<MethodScene> shared;
  if (shared != nullptr) return shared.get();
  const Status context = MakeBenchContextCurrent(kWidth, kHeight);
  if (!context.ok()) return context.failure();
  NullLogSink quiet;
  Result<std::unique_ptr<BenchScene>> prepared =
      PrepareBenchScene(terrainPath, "", kVerticalScale, kWidth, kHeight, quiet);
  if (!prepared.ok()) return prepared.failure();
  shared.reset(new MethodScene(std::move(prepared.value())));
  return shared.get();
}

MethodScene::MethodScene(std::unique_ptr<BenchScene> scene) : scene_(std::move(scene)) {
  roam_ = std::make_unique<RoamMethod>(scene_->terrain, CountedSystemCaches(&roamCache_), log_);
  cabtt_ = std::make_unique<CabttMethod>(scene_->terrain, CountedSystemCaches(&cabttCache_), log_);
}

MethodScene::~MethodScene() { (void)Use(nullptr); }

CountingCache* MethodScene::cache() {
  if (current_ == nullptr) return nullptr;
  return current_ == roam_.get() ? roamCache_ : cabttCache_;
}

Status MethodScene::Use(DrawMethod* method) {
  if (method == current_) return {};
  if (current_ != nullptr) current_->Deactivate();
  current_ = method;
  if (current_ == nullptr) return {};
  return current_->Activate(View());
}

void MethodScene::FlyTo(const FlightState& flight) {
  scene_->view.flight = flight;
  UpdateCameras(scene_->view);
}

Status MethodScene::DrawFrame(FrameStats& stats) {
  Status drawn = DrawViewFrame(current_, scene_->view, stats);
  stats.frames += 1;
  glFinish();
  return drawn;
}
