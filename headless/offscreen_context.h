#pragma once
#include <EGL/egl.h>

#include <memory>

#include "app/platform/failure.h"

// An OpenGL context without a window: EGL with a pbuffer, desktop OpenGL (compatibility profile,
// for the fixed-function pipeline). Mesa's surfaceless platform first, then the default display,
// which is what a GPU driver's EGL offers. The object releases its context and pbuffer when
// destroyed; the display stays initialised until the process ends.
class OffscreenContext {
 public:
  // A context made current with a width x height pbuffer; the failure's message is the reason
  // in one line, without a line end.
  static Result<std::unique_ptr<OffscreenContext>> Create(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Makes the context current on a pbuffer of the size, replacing the pbuffer (and setting the
  // viewport to it) when the size changed; the context and its GL objects stay.
  Status MakeCurrent(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  OffscreenContext() = default;

  EGLDisplay display_ = EGL_NO_DISPLAY;
  EGLConfig config_ = nullptr;
  EGLContext context_ = EGL_NO_CONTEXT;
  EGLSurface surface_ = EGL_NO_SURFACE;
  int width_ = 0;
  int height_ = 0;
};
