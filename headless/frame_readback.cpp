#include "headless/frame_readback.h"

#include <GL/gl.h>

#include <cstddef>

std::vector<uint8_t> ReadFrameRgb(int width, int height) {
  std::vector<uint8_t> rgb(3 * static_cast<std::size_t>(width) * height);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  return rgb;
}
