#include "headless/headless_scene.h"

#include <GL/gl.h>
#include <unistd.h>

#include "app/camera.h"
#include "app/frame_loop.h"
#include "app/gl_state.h"
#include "app/scene_setup.h"
#include "app/window_system.h"
#include "cabtt/cabtt_state.h"
#include "headless/brute_force_method.h"
#include "headless/headless_window.h"
#include "headless/redirected_stdout.h"
#include "roam/roam_state.h"
#include "terrain/texture.h"

void PrepareHeadlessScene(const std::string& terrain, const std::string& texture, float verticalScale, int width,
                          int height) {
  UseHeadlessWindowSystem();
  InitGLState();
  VerticalScale = verticalScale;
  ResetViewState();
  ResetFrameLoop();
  ResetCabttState();
  RoamCounters = {};
  WithStdoutRedirected(STDERR_FILENO, [&] {
    PrepareTerrain(terrain.c_str(), texture.empty() ? nullptr : texture.c_str(), verticalScale, false);
  });
  // The texels live on in the GL.
  DestroyTexture();
  InstallDrawMethods();
  DrawMethods[kBruteForceMethodIndex] = BruteForceMethod();
  DrawMethodCount = kBruteForceMethodIndex + 1;
  CurrentCamera = 0;
  Reshape(width, height);
}

void TearDownHeadlessScene() {
  SetDrawMethodQuietly(-1);
  ReleaseTerrain();
  ResetViewState();
  UseGlutWindowSystem();
}

void SetDrawMethodQuietly(int index) {
  Quietly([index] { SetDrawMethod(index); });
}
