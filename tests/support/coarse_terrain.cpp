#include "support/coarse_terrain.h"

#include <vector>

#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"

bool WriteCoarseTerrain(const char* source, int n, const std::string& path) {
  HeightSample* samples = nullptr;
  const int m = LoadHeightField(source, &samples);
  if (n < 0 || n >= m) {
    delete[] samples;
    return false;
  }
  const int side = (1 << n) + 1;
  const int sourceSide = (1 << m) + 1;
  const int stride = 1 << (m - n);
  std::vector<HeightSample> coarse(static_cast<size_t>(side) * side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) coarse[static_cast<size_t>(y) * side + x] = samples[(y * stride) * sourceSide + x * stride];
  }
  delete[] samples;
  return WriteGrey16Png(path.c_str(), side, side, coarse.data());
}
