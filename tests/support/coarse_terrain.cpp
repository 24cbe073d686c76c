#include "support/coarse_terrain.h"

#include <vector>

#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"

bool WriteCoarseTerrain(const char* source, int n, const std::string& path) {
  Result<HeightFieldImage> image = LoadHeightField(source);
  if (!image.ok()) return false;
  const int m = image.value().n;
  if (n < 0 || n >= m) return false;
  const HeightSample* samples = image.value().samples.get();
  const int side = (1 << n) + 1;
  const int sourceSide = (1 << m) + 1;
  const int stride = 1 << (m - n);
  std::vector<HeightSample> coarse(static_cast<size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) coarse[static_cast<size_t>(y) * side + x] = samples[(y * stride) * sourceSide + x * stride];
  }
  return WriteGrey16Png(path.c_str(), side, side, coarse.data());
}
