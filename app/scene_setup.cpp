#include "app/scene_setup.h"

#include <GL/gl.h>

#include <cstdio>

#include "aggregate/aggregation_builder.h"
#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "cabtt/cabtt_controls.h"
#include "cabtt/cabtt_state.h"
#include "cache/geometry_cache.h"
#include "roam/roam_method.h"
#include "terrain/error_metric.h"
#include "terrain/height_field.h"
#include "terrain/height_field_loader.h"
#include "terrain/texture.h"

int PrepareTerrain(const char* heightFieldPath, const char* texturePath, float verticalScale,
                   bool announceMetric) {
  HeightSample* samples = nullptr;
  const int n = LoadHeightField(heightFieldPath, &samples);

  BuildShadingHeights(samples, 1 << n, verticalScale);
  if (texturePath != nullptr)
    LoadTexture(texturePath);
  else
    MakeShadingTexture();
  UploadTexture();
  glClearColor(0.4f, 0.6f, 1.0f, 0.5f);
  FreeShadingHeights();
  glBindTexture(GL_TEXTURE_2D, 1);

  InstallHeightField(samples, verticalScale, n);
  if (announceMetric) {
    std::printf("Pre-computing error metric\n");
    std::fflush(stdout);
  }
  ComputeErrorMetric(kTerrainErrorWeight);
  return n;
}

void InstallDrawMethods() {
  DrawMethods[kRoamMethodIndex] = StandardRoamMethod();
  DrawMethods[kCabttMethodIndex] = CabttDrawMethod(VertexArrayRangeSupported && FencesSupported);
  DrawMethodCount = 2;
}

void ReleaseTerrain() {
  ResetFrameLoop();
  ResetCabttState();
  DiscardAggregationBuilder();
  DestroyGeometryCache();
  DestroyErrorMetric();
  DestroyHeightField();
  const GLuint texture = 1;
  glDeleteTextures(1, &texture);
  ResetGLState();
}
