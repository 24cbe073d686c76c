#include "support/gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>

namespace {

struct Context {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;
  int width = 0;
  int height = 0;
};

Context current;

EGLDisplay OpenSurfacelessDisplay() {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
  return getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
}

}  // namespace

bool MakeTestGLContextCurrent(int width, int height) {
  if (current.context != EGL_NO_CONTEXT && current.width == width && current.height == height) {
    return eglMakeCurrent(current.display, current.surface, current.surface, current.context);
  }
  if (current.display == EGL_NO_DISPLAY) {
    current.display = OpenSurfacelessDisplay();
    if (current.display == EGL_NO_DISPLAY || !eglInitialize(current.display, nullptr, nullptr)) {
      std::fprintf(stderr, "EGL: no surfaceless display\n");
      return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return false;
  }
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8,
                                     EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                     EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config;
  EGLint count = 0;
  if (!eglChooseConfig(current.display, configAttributes, &config, 1, &count) || count == 0) {
    std::fprintf(stderr, "EGL: no pbuffer configuration\n");
    return false;
  }
  if (current.surface != EGL_NO_SURFACE) eglDestroySurface(current.display, current.surface);
  const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  current.surface = eglCreatePbufferSurface(current.display, config, surfaceAttributes);
  if (current.surface == EGL_NO_SURFACE) return false;
  if (current.context == EGL_NO_CONTEXT) {
    current.context = eglCreateContext(current.display, config, EGL_NO_CONTEXT, nullptr);
    if (current.context == EGL_NO_CONTEXT) return false;
  }
  current.width = width;
  current.height = height;
  if (!eglMakeCurrent(current.display, current.surface, current.surface, current.context)) return false;
  glViewport(0, 0, width, height);
  return true;
}

void GLTest::SetUp() {
  ASSERT_TRUE(MakeTestGLContextCurrent()) << "no EGL context";
  while (glGetError() != GL_NO_ERROR) {
  }
}
