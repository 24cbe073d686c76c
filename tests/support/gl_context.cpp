#include "support/gl_context.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "headless/offscreen_context.h"

bool MakeTestGLContextCurrent(int width, int height) {
  std::string error;
  if (MakeOffscreenContextCurrent(width, height, &error)) return true;
  std::fprintf(stderr, "EGL: %s\n", error.c_str());
  return false;
}

void GLTest::SetUp() {
  ASSERT_TRUE(MakeTestGLContextCurrent()) << "no EGL context";
  while (glGetError() != GL_NO_ERROR) {
  }
}
