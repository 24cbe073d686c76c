#include "terrain/height_field.h"

#include <utility>

HeightField::HeightField(std::unique_ptr<HeightSample[]> samples, float verticalScale, int n)
    : n(n),
      N(1 << n),
      xMask((1 << (n + 1)) - 1),
      verticalScale(verticalScale),
      heightFactor(verticalScale * (1.0f / 65535.0f)),
      spacing(1.0f / static_cast<float>(1 << n)),
      samples_(std::move(samples)) {}

float HeightField::SampleHeight(float x, float y) const {
  const float gx = static_cast<float>(N) * x;
  const float gy = static_cast<float>(N) * y;
  int ix = static_cast<int>(gx);
  int iy = static_cast<int>(gy);
  const float fx = gx - static_cast<float>(ix);
  const float fy = gy - static_cast<float>(iy);
  ix %= N + 1;
  iy %= N + 1;
  if (ix < 0) ix += N + 1;
  if (iy < 0) iy += N + 1;
  // At the far edges the fraction is 0 and the neighbour beyond the grid must not be read.
  const int ix1 = ix < N ? ix + 1 : ix;
  const int iy1 = iy < N ? iy + 1 : iy;
  const float h00 = Height(ix, iy);
  const float h10 = Height(ix1, iy);
  const float h01 = Height(ix, iy1);
  const float h11 = Height(ix1, iy1);
  const float top = h00 + fx * (h10 - h00);
  const float bottom = h01 + fx * (h11 - h01);
  return top + fy * (bottom - top);
}
