#include "bench_terrain.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "tools/terrain_generator.h"

const std::vector<HeightSample>& DefaultTerrainSamples() {
  static const std::vector<HeightSample> samples = GenerateTerrain(TerrainRecipe{});
  return samples;
}

HeightField FieldOf(const std::vector<HeightSample>& samples, int n, float verticalScale) {
  auto copy = std::make_unique<HeightSample[]>(samples.size());
  std::copy(samples.begin(), samples.end(), copy.get());
  return HeightField(std::move(copy), verticalScale, n);
}

const Terrain& DefaultTerrain() {
  static const Terrain terrain = [] {
    HeightField field = FieldOf(DefaultTerrainSamples(), 10);
    ErrorMetric metric = ComputeErrorMetric(field, kTerrainErrorWeight);
    return Terrain{std::move(field), std::move(metric)};
  }();
  return terrain;
}

std::vector<HeightSample> Magnify(const std::vector<HeightSample>& samples, int side, int factor) {
  const int bigSide = (side - 1) * factor + 1;
  std::vector<HeightSample> big(static_cast<size_t>(bigSide) * bigSide);
  for (int y = 0; y < bigSide; ++y)
    for (int x = 0; x < bigSide; ++x) {
      const int cellX = std::min(x / factor, side - 2);
      const int cellY = std::min(y / factor, side - 2);
      const double u = static_cast<double>(x - cellX * factor) / factor;
      const double v = static_cast<double>(y - cellY * factor) / factor;
      auto at = [&](int i, int j) { return static_cast<double>(samples[i + static_cast<size_t>(j) * side]); };
      const double height = at(cellX, cellY) * (1 - u) * (1 - v) + at(cellX + 1, cellY) * u * (1 - v) +
                            at(cellX, cellY + 1) * (1 - u) * v + at(cellX + 1, cellY + 1) * u * v;
      big[x + static_cast<size_t>(y) * bigSide] = static_cast<HeightSample>(height + 0.5);
    }
  return big;
}

const Terrain& MagnifiedTerrain(int factor) {
  static std::mutex made;
  static std::map<int, std::unique_ptr<Terrain>> terrains;
  const std::lock_guard<std::mutex> lock(made);
  std::unique_ptr<Terrain>& terrain = terrains[factor];
  if (terrain == nullptr) {
    int n = 10;
    while ((1 << (n - 10)) < factor) ++n;
    HeightField field = FieldOf(Magnify(DefaultTerrainSamples(), 1025, factor), n);
    ErrorMetric metric = ComputeErrorMetric(field, kTerrainErrorWeight);
    terrain = std::make_unique<Terrain>(Terrain{std::move(field), std::move(metric)});
  }
  return *terrain;
}
