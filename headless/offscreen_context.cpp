#include "headless/offscreen_context.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

#include <string>

namespace {

const EGLint kConfigAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                    EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                    EGL_NONE};

Failure ContextFailure(const std::string& reason) { return Failure{reason, Channel::kErrorAndLog, 1}; }

EGLDisplay SurfacelessDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// Initialises the display and finds a desktop OpenGL pbuffer configuration on it; a display
// without one is terminated again.
bool OpenDisplay(EGLDisplay display, EGLConfig* config) {
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
  EGLint count = 0;
  if (eglBindAPI(EGL_OPENGL_API) && eglChooseConfig(display, kConfigAttributes, config, 1, &count) && count > 0)
    return true;
  eglTerminate(display);
  return false;
}

}  // namespace

Result<std::unique_ptr<OffscreenContext>> OffscreenContext::Create(int width, int height) {
  std::unique_ptr<OffscreenContext> made(new OffscreenContext);
  for (const EGLDisplay display : {SurfacelessDisplay(), eglGetDisplay(EGL_DEFAULT_DISPLAY)}) {
    if (OpenDisplay(display, &made->config_)) {
      made->display_ = display;
      break;
    }
  }
  if (made->display_ == EGL_NO_DISPLAY)
    return ContextFailure("no EGL display with a desktop OpenGL pbuffer configuration");
  made->context_ = eglCreateContext(made->display_, made->config_, EGL_NO_CONTEXT, nullptr);
  if (made->context_ == EGL_NO_CONTEXT) return ContextFailure("EGL could not create a desktop OpenGL context");
  const Status current = made->MakeCurrent(width, height);
  if (!current.ok()) return current.failure();
  return made;
}

OffscreenContext::~OffscreenContext() {
  if (display_ == EGL_NO_DISPLAY) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
  if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
  // The display stays initialised: terminating it would unload the driver before the end of the
  // process, and the leak checker could then no longer name the driver's own allocations.
}

Status OffscreenContext::MakeCurrent(int width, int height) {
  if (surface_ == EGL_NO_SURFACE || width != width_ || height != height_) {
    if (surface_ != EGL_NO_SURFACE) {
      eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroySurface(display_, surface_);
      width_ = height_ = 0;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display_, config_, surfaceAttributes);
    if (surface_ == EGL_NO_SURFACE)
      return ContextFailure("EGL could not create a " + std::to_string(width) + " x " + std::to_string(height) +
                            " pbuffer");
    if (!eglMakeCurrent(display_, surface_, surface_, context_))
      return ContextFailure("EGL could not make the context current");
    width_ = width;
    height_ = height;
    glViewport(0, 0, width, height);
    return {};
  }
  if (!eglMakeCurrent(display_, surface_, surface_, context_))
    return ContextFailure("EGL could not make the context current");
  return {};
}
