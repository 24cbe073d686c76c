#pragma once
#include <cstdint>
#include <vector>

#include "terrain/height_field.h"

// Mountain terrain: domain-warped ridged noise carved by hydraulic erosion droplets, stretched
// to the full sample range 0..65535. The same side, seed and droplet density give the same
// samples.
struct TerrainRecipe {
  int side = 1025;                // samples per side
  uint32_t seed = 1;
  double dropletsPerSample = 0.3;  // erosion droplets released per grid sample
};

// side x side samples, row after row.
std::vector<HeightSample> GenerateTerrain(const TerrainRecipe& recipe);
