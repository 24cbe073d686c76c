#include "headless/picture_quality.h"

#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>

std::vector<uint8_t> ReadFrameRgb(int width, int height) {
  std::vector<uint8_t> rgb(3 * static_cast<std::size_t>(width) * height);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  return rgb;
}

ImageDifference CompareImages(const uint8_t* a, const uint8_t* b, int width, int height, int threshold) {
  const double infinity = std::numeric_limits<double>::infinity();
  if (width <= 0 || height <= 0 || a == nullptr || b == nullptr) return {infinity, 0.0};

  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  uint64_t squaredSum = 0;
  uint64_t differing = 0;
  for (uint64_t pixel = 0; pixel < pixels; ++pixel) {
    bool differs = false;
    for (int channel = 0; channel < 3; ++channel) {
      const int difference = std::abs(int{a[pixel * 3 + channel]} - int{b[pixel * 3 + channel]});
      squaredSum += static_cast<uint64_t>(difference * difference);
      if (difference > threshold) differs = true;
    }
    if (differs) ++differing;
  }
  double psnr = infinity;
  if (squaredSum > 0) {
    const double meanSquared = static_cast<double>(squaredSum) / (static_cast<double>(pixels) * 3.0);
    psnr = 10.0 * std::log10(255.0 * 255.0 / meanSquared);
  }
  return {psnr, static_cast<double>(differing) / static_cast<double>(pixels)};
}
