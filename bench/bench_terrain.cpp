#include "bench_terrain.h"

#include <algorithm>
#include <memory>

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
