#include "support/terrain_scene.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "aggregate/aggregation_builder.h"
#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "app/terrain_log.h"
#include "cabtt/cabtt_controls.h"
#include "cabtt/cabtt_state.h"
#include "cabtt/cabtt_tree.h"
#include "cache/geometry_cache.h"
#include "roam/roam_method.h"
#include "roam/roam_state.h"
#include "support/counting_cache.h"
#include "support/frame_analysis.h"
#include "support/gl_context.h"
#include "support/shell_doubles.h"
#include "support/terrain_log_capture.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"
#include "terrain/height_field_loader.h"
#include "terrain/texture.h"

namespace {

constexpr float kVerticalScale = 0.1f;
constexpr float kErrorWeight = 600.0f;

std::string loadedPath;
const HeightField* loadedField = nullptr;
bool attributesPushed = false;
int sceneWidth = kSceneWidth;
int sceneHeight = kSceneHeight;

// Runs work with standard output sent to /dev/null: activations and builders announce
// themselves, which would bury the test output.
template <typename Work>
void Quietly(Work work) {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  const int sink = open("/dev/null", O_WRONLY);
  dup2(sink, STDOUT_FILENO);
  close(sink);
  work();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
}

void LoadTerrain(const char* path) {
  HeightSample* samples = nullptr;
  const int n = LoadHeightField(path, &samples);
  BuildShadingHeights(samples, 1 << n, kVerticalScale);
  MakeShadingTexture();
  UploadTexture();
  FreeShadingHeights();
  DestroyTexture();
  InstallHeightField(samples, kVerticalScale, n);
  ComputeErrorMetric(kErrorWeight);
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
  DrawMethods[kRoamMethod] = StandardRoamMethod();
  DrawMethods[kCabttMethod] = CabttDrawMethod(VertexArrayRangeSupported && FencesSupported);
  DrawMethodCount = 2;
  SelectCamera(0);
}

void UnloadTerrainScene() {
  UseDrawMethod(-1);
  ResetFrameLoop();
  ResetCabttState();
  DiscardAggregationBuilder();
  DestroyGeometryCache();
  DestroyErrorMetric();
  DestroyHeightField();
  loadedField = nullptr;
  loadedPath.clear();
  const GLuint texture = 1;
  glDeleteTextures(1, &texture);
  ResetGLState();
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
  image.rgb.resize(3 * static_cast<size_t>(sceneWidth) * sceneHeight);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, sceneWidth, sceneHeight, GL_RGB, GL_UNSIGNED_BYTE, image.rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
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
