#include "support/terrain_scene.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "aggregate/aggregation_builder.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "app/scene_setup.h"
#include "app/terrain_log.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "cache/counting_cache.h"
#include "cache/geometry_cache.h"
#include "headless/frame_readback.h"
#include "headless/redirected_stdout.h"
#include "roam/roam_state.h"
#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/shell_doubles.h"
#include "support/terrain_log_capture.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"
#include "terrain/texture.h"

namespace {

constexpr float kVerticalScale = 0.1f;

std::string loadedPath;
const HeightField* loadedField = nullptr;
bool attributesPushed = false;
int sceneWidth = kSceneWidth;
int sceneHeight = kSceneHeight;

void LoadTerrain(const char* path) {
  PrepareTerrain(path, nullptr, kVerticalScale, false);
  DestroyTexture();
  loadedPath = path;
  loadedField = CurrentHeightField;
}

}  // namespace

void LoadTerrainScene(const char* path) {
  if (!attributesPushed) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    attributesPushed = true;
  }
  UseDrawMethod(-1);
  InstallShellDoubles();
  CaptureTerrainLog();
  InitGLState();
  if (CurrentHeightField == nullptr || CurrentHeightField != loadedField || loadedPath != path) LoadTerrain(path);
  glBindTexture(GL_TEXTURE_2D, 1);
  sceneWidth = kSceneWidth;
  sceneHeight = kSceneHeight;

  VerticalScale = kVerticalScale;
  ResetViewState();
  ResetFrameLoop();
  ResetCabttState();
  RoamCounters = {};
  InstallDrawMethods();
  SelectCamera(0);
}

void UnloadTerrainScene() {
  UseDrawMethod(-1);
  ReleaseTerrain();
  loadedField = nullptr;
  loadedPath.clear();
  RemoveShellDoubles();
  CloseTerrainLog();
  ResetViewState();
  if (attributesPushed) {
    glPopClientAttrib();
    glPopAttrib();
    attributesPushed = false;
  }
}

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

void PlaceCamera(const Viewpoint& view) {
  Flight.x = view.x;
  Flight.y = view.y;
  Flight.heading = view.heading;
  Flight.clearance = view.clearance;
  Flight.eyeHeight = SampleHeight(view.x, view.y) + view.clearance;
  UpdateCameras();
}

bool UseSceneSize(int width, int height) {
  if (!MakeTestGLContextCurrent(width, height)) return false;
  sceneWidth = width;
  sceneHeight = height;
  SelectCamera(CurrentCamera);
  return true;
}

void SelectCamera(int camera) {
  CurrentCamera = camera;
  Reshape(sceneWidth, sceneHeight);
}

void UseDrawMethod(int method) {
  Quietly([method] { SetDrawMethod(method); });
}

void UseAggregation(int level, bool adaptive) {
  Quietly([level, adaptive] { RebuildCabtt(level, adaptive); });
}

void DrawSceneFrame() {
  DisplayFrame();
  glFinish();
}

FrameImage RenderFrame() {
  DrawSceneFrame();
  FrameImage image;
  image.width = sceneWidth;
  image.height = sceneHeight;
  image.rgb = ReadFrameRgb(sceneWidth, sceneHeight);
  return image;
}

int SurveyViewsCrackedBySunkenBlockVertices() {
  CountingCache* cache = CountActiveCache();
  cache->onEndBlock = [](CacheVertex* vertices, int vertexCount, uint16_t*, int indexCount) {
    if (vertexCount > 0) vertices[0].z -= 0.002f;
    return indexCount;
  };
  int cracked = 0;
  for (const Viewpoint& view : SurveyViewpoints()) {
    PlaceCamera(view);
    cracked += CountCrackPixels(RenderFrame(), kSkyRgb) > 0;
  }
  return cracked;
}
