#pragma once
#include <gtest/gtest.h>

// A real OpenGL context without a display: EGL on Mesa's surfaceless platform with a
// 640 x 480 pbuffer (llvmpipe). One context serves the whole test process.
bool MakeTestGLContextCurrent(int width = 640, int height = 480);

// Fixture for tests that draw: makes the context current and clears the GL error state.
class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
};
