#include "headless/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

namespace {

struct OffscreenContext {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  int width = 0;
  int height = 0;
};

OffscreenContext current;

const EGLint kConfigAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                    EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                    EGL_NONE};

EGLDisplay OpenSurfacelessDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

// A display that is initialised, speaks desktop OpenGL and has a pbuffer configuration.
bool TryDisplay(EGLDisplay display) {
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return false;
  EGLint count = 0;
  if (eglBindAPI(EGL_OPENGL_API) &&
      eglChooseConfig(display, kConfigAttributes, &current.config, 1, &count) && count > 0) {
    current.display = display;
    return true;
  }
  eglTerminate(display);
  return false;
}

bool OpenDisplay(std::string* error) {
  if (current.display != EGL_NO_DISPLAY) return true;
  if (TryDisplay(OpenSurfacelessDisplay()) || TryDisplay(eglGetDisplay(EGL_DEFAULT_DISPLAY))) return true;
  *error = "no EGL display with a desktop OpenGL pbuffer configuration";
  return false;
}

}  // namespace

bool MakeOffscreenContextCurrent(int width, int height, std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  if (current.context != EGL_NO_CONTEXT && current.width == width && current.height == height) {
    if (eglMakeCurrent(current.display, current.surface, current.surface, current.context)) return true;
    *error = "EGL could not make the context current";
    return false;
  }
  if (!OpenDisplay(error)) return false;
  if (current.surface != EGL_NO_SURFACE) {
    eglMakeCurrent(current.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroySurface(current.display, current.surface);
    current.surface = EGL_NO_SURFACE;
  }
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  current.surface = eglCreatePbufferSurface(current.display, current.config, surfaceAttributes);
  if (current.surface == EGL_NO_SURFACE) {
    *error = "EGL could not create a " + std::to_string(width) + " x " + std::to_string(height) + " pbuffer";
    return false;
  }
  if (current.context == EGL_NO_CONTEXT) {
    current.context = eglCreateContext(current.display, current.config, EGL_NO_CONTEXT, nullptr);
    if (current.context == EGL_NO_CONTEXT) {
      *error = "EGL could not create a desktop OpenGL context";
      return false;
    }
  }
  if (!eglMakeCurrent(current.display, current.surface, current.surface, current.context)) {
    *error = "EGL could not make the context current";
    return false;
  }
  current.width = width;
  current.height = height;
  glViewport(0, 0, width, height);
  return true;
}

int OffscreenWidth() { return current.width; }
int OffscreenHeight() { return current.height; }
