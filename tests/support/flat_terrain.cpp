#include "support/flat_terrain.h"

#include <algorithm>

void InstallFlatHeightField(int n, HeightSample value, float verticalScale) {
  const int side = (1 << n) + 1;
  auto* samples = new HeightSample[static_cast<size_t>(side) * side];
  std::fill(samples, samples + static_cast<size_t>(side) * side, value);
  InstallHeightField(samples, verticalScale, n);
}
