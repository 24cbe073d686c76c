#include "support/gl_context.h"

#include <GL/gl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "headless/offscreen_context.h"

bool MakeTestGLContextCurrent(int width, int height) {
  // One context serves the whole test process; it is never destroyed.
  static OffscreenContext* context = nullptr;
  Status made;
  if (context == nullptr) {
    Result<std::unique_ptr<OffscreenContext>> created = OffscreenContext::Create(width, height);
    if (created.ok()) context = created.value().release();
    made = created.status();
  } else {
    made = context->MakeCurrent(width, height);
  }
  if (made.ok()) return true;
  std::fprintf(stderr, "EGL: %s\n", made.failure().message.c_str());
  return false;
}

void GLTest::SetUp() {
  ASSERT_TRUE(MakeTestGLContextCurrent()) << "no EGL context";
  while (glGetError() != GL_NO_ERROR) {
  }
}
