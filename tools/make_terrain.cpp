// make_terrain OUTPUT SIZE SEED: writes a SIZE x SIZE 16-bit grey PNG of generated mountains
// (SIZE = 2^n + 1).
#include <cstdio>
#include <cstdlib>

#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"
#include "tools/terrain_generator.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_terrain OUTPUT SIZE SEED\n");
    return 2;
  }
  TerrainRecipe recipe;
  recipe.side = std::atoi(argv[2]);
  recipe.seed = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  if (GridExponentOfSide(recipe.side) < 1 || recipe.side > kMaxHeightFieldSide) {
    std::fprintf(stderr, "make_terrain: SIZE must be 2^n + 1 between 3 and %d\n", kMaxHeightFieldSide);
    return 2;
  }
  const std::vector<HeightSample> samples = GenerateTerrain(recipe);
  if (!WriteGrey16Png(argv[1], recipe.side, recipe.side, samples.data())) {
    std::fprintf(stderr, "make_terrain: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
