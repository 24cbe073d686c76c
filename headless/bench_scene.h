#pragma once
#include <memory>
#include <string>

#include "app/platform/failure.h"
#include "app/platform/gl_capabilities.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "app/view/camera.h"
#include "terrain/terrain.h"

// The program's world without a window, in the current offscreen context: the fixed GL state, the
// terrain as the window's start-up prepares it (texture object 1 bound), and the view with camera
// 0 selected and its projection set for the picture's size.
struct BenchScene {
  GlCapabilities gl;
  std::unique_ptr<NvPlatform> nv;
  Terrain terrain;
  ViewState view;
};

// The terrain loaders' console lines (and failures) go to console; the GL's log lines nowhere.
// texture empty: the generated slope shading.
Result<std::unique_ptr<BenchScene>> PrepareBenchScene(const std::string& terrain, const std::string& texture,
                                                      float verticalScale, int width, int height, LogSink& console);
