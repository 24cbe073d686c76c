// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include "headless/image_quality.h"

#include <cmath>
#include <cstdlib>
#include <limits>

ImageDifference CompareImages(const uint8_t* a, const uint8_t* b, int width, int height, int threshold) {
  const size_t pixels = static_cast<size_t>(width) * height;
  double squared = 0.0;
  size_t differing = 0;
  for (size_t p = 0; p < pixels; ++p) {
    bool differs = false;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(a[3 * p + c] - b[3 * p + c]);
      squared += static_cast<double>(d) * d;
      differs = differs || d > threshold;
    }
    differing += differs;
  }
  const double mse = pixels == 0 ? 0.0 : squared / (3.0 * pixels);
  const double psnr = mse == 0.0 ? std::numeric_limits<double>::infinity() : 10.0 * std::log10(255.0 * 255.0 / mse);
  return {psnr, pixels == 0 ? 0.0 : static_cast<double>(differing) / pixels};
}
