#include "tools/terrain_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

TEST(TerrainGeneratorTest, SameRecipeSameSamplesOtherSeedOtherTerrain) {
  TerrainRecipe recipe;
  recipe.side = 129;
  recipe.seed = 7;
  const std::vector<HeightSample> first = GenerateTerrain(recipe);
  EXPECT_EQ(GenerateTerrain(recipe), first);
  recipe.seed = 8;
  const std::vector<HeightSample> other = GenerateTerrain(recipe);
  ASSERT_EQ(other.size(), first.size());
  size_t differing = 0;
  for (size_t i = 0; i < first.size(); ++i) differing += std::abs(first[i] - other[i]) > 1000;
  EXPECT_GT(differing, first.size() / 2);
}

TEST(TerrainGeneratorTest, FillsTheSampleRangeWithRoughRelief) {
  TerrainRecipe recipe;
  recipe.side = 257;
  const std::vector<HeightSample> samples = GenerateTerrain(recipe);
  ASSERT_EQ(samples.size(), 257u * 257u);
  const auto [lowest, highest] = std::minmax_element(samples.begin(), samples.end());
  EXPECT_EQ(*lowest, 0);
  EXPECT_EQ(*highest, 65535);
  // Mountains, not one smooth blob: many separate peaks and many pits or passes.
  int peaks = 0;
  for (int y = 1; y < 256; ++y)
    for (int x = 1; x < 256; ++x) {
      const HeightSample centre = samples[x + y * 257];
      bool peak = true;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if ((dx != 0 || dy != 0) && samples[x + dx + (y + dy) * 257] >= centre) peak = false;
      peaks += peak;
    }
  EXPECT_GT(peaks, 20);
}

}  // namespace
