#include "support/terrain_scene.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "app/view/frame_view.h"
#include "cache/cache_kinds.h"
#include "headless/picture_quality.h"
#include "support/frame_analysis.h"
#include "support/gl_context.h"

namespace {

constexpr float kVerticalScale = 0.1f;

// Scenes prepared in this process, by path: the terrain outlives a test.
std::map<std::string, std::unique_ptr<BenchScene>>& Prepared() {
  static std::map<std::string, std::unique_ptr<BenchScene>> scenes;
  return scenes;
}

}  // namespace

const std::vector<Viewpoint>& SurveyViewpoints() {
  static const std::vector<Viewpoint> views = {
      {0.2f, 0.2f, 0.785f, 0.02f},   // low, across the whole diagonal
      {0.8f, 0.3f, 2.5f, 0.01f},     // very low, towards the far corner
      {0.5f, 0.9f, -1.571f, 0.05f},  // high, from the north edge southwards
      {0.3f, 0.7f, 0.3f, 0.03f},
      {0.6f, 0.5f, 3.5f, 0.015f},
      {0.05f, 0.55f, 3.0f, 0.02f},  // near the west border, looking out past it
  };
  return views;
}

TerrainScene::TerrainScene(const char* path, int width, int height, CacheKind caches)
    : path_(path), width_(width), height_(height) {
  EXPECT_TRUE(MakeTestGLContextCurrent(width, height));
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  scene_ = std::move(Prepared()[path_]);
  if (scene_ == nullptr) {
    Result<std::unique_ptr<BenchScene>> prepared = PrepareBenchScene(path_, "", kVerticalScale, width, height, log_);
    if (!prepared.ok()) ADD_FAILURE() << prepared.failure().message;
    if (prepared.ok()) scene_ = std::move(prepared.value());
  }
  NullLogSink quiet;
  (void)InitGLState(quiet);
  glBindTexture(GL_TEXTURE_2D, 1);
  scene_->view = StartViewState(kVerticalScale);
  scene_->view.windowWidth = width;
  scene_->view.windowHeight = height;
  ApplyProjection(scene_->view);
  EXPECT_TRUE(CanServe(caches, scene_->gl, scene_->drivers())) << CacheKindDescription(caches);
  const CacheSource source = KindCacheSource(caches, scene_->drivers(), log_);
  roam_ = std::make_unique<RoamMethod>(scene_->terrain, CountedCaches(source, &roamCache_), log_);
  cabtt_ = std::make_unique<CabttMethod>(scene_->terrain, CountedCaches(source, &cabttCache_), log_);
}

TerrainScene::~TerrainScene() {
  Use(nullptr);
  roam_.reset();
  cabtt_.reset();
  Prepared()[path_] = std::move(scene_);
  glPopClientAttrib();
  glPopAttrib();
  MakeTestGLContextCurrent();
}

void TerrainScene::Use(DrawMethod* method) {
  if (method == current_) return;
  if (current_ != nullptr) current_->Deactivate();
  current_ = method;
  if (current_ == nullptr) return;
  const Status activated = current_->Activate(MakeFrameView(scene_->view));
  if (!activated.ok()) ADD_FAILURE() << activated.failure().message;
}

void TerrainScene::UseAggregation(int level, bool adaptive) {
  ASSERT_EQ(current_, cabtt_.get());
  const Status rebuilt = cabtt_->Rebuild(level, adaptive, MakeFrameView(scene_->view));
  if (!rebuilt.ok()) ADD_FAILURE() << rebuilt.failure().message;
}

void TerrainScene::Place(const Viewpoint& viewpoint) {
  FlightState& flight = scene_->view.flight;
  flight.x = viewpoint.x;
  flight.y = viewpoint.y;
  flight.heading = viewpoint.heading;
  flight.clearance = viewpoint.clearance;
  flight.eyeHeight = field().SampleHeight(viewpoint.x, viewpoint.y) + viewpoint.clearance;
  UpdateCameras(scene_->view);
}

void TerrainScene::SelectCamera(int camera) {
  scene_->view.currentCamera = camera;
  ApplyProjection(scene_->view);
}

void TerrainScene::DrawFrame() {
  const Status drawn = DrawViewFrame(current_, scene_->view, stats_);
  if (!drawn.ok()) ADD_FAILURE() << drawn.failure().message;
  if (current_ != nullptr) stats_.frames += 1;
  glFinish();
}

FrameImage TerrainScene::Render() {
  DrawFrame();
  FrameImage image;
  image.width = width_;
  image.height = height_;
  image.rgb = ReadFrameRgb(width_, height_);
  return image;
}

int SurveyViewsCrackedBySunkenBlockVertices(TerrainScene& scene) {
  CountingCache* cache = scene.cache();
  if (cache == nullptr) return 0;
  cache->onEndBlock = [](CacheVertex* vertices, int vertexCount, uint16_t*, int indexCount) {
    if (vertexCount > 0) vertices[0].z -= 0.002f;
    return indexCount;
  };
  int cracked = 0;
  for (const Viewpoint& view : SurveyViewpoints()) {
    scene.Place(view);
    cracked += CountCrackPixels(scene.Render(), kSkyRgb) > 0;
  }
  cache->onEndBlock = nullptr;
  return cracked;
}
