#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "import/gdal_support.h"
#include "import/heights.h"
#include "import/square.h"

// A texture Quorvane accepts. Invariants: side a power of two (1 to 16384), channels 1 (grey) or
// 3 (RGB), side x side x channels bytes, row 0 the north edge of the square (the writer turns it
// south first, as the height field); texel edges sit on
// the square's edges, as the renderer stretches the texture over the unit square.
struct Texture {
  int side = 0;
  int channels = 0;
  std::vector<unsigned char> texels;
};

// --texture-size when it is a power of two up to 16384, else the height field's own cell count
// kept between 1024 and 4096.
Result<int> ChooseTextureSide(std::optional<int> requested, int heightFieldSide, const DecisionLog& say);

// GDAL's hillshade of the grid (lit from the north-west; its relief multiplied by exaggerate,
// as the flight's is), resampled to the texture side.
Result<Texture> MakeHillshade(const HeightGrid& grid, double groundWidthMetres, double exaggerate, int textureSide,
                              std::FILE* progressOut, const DecisionLog& say);

// A georeferenced image warped onto the square: RGB from its first three bands or its colour
// table, grey from a single band; other sample types are stretched to 8 bits.
Result<Texture> DrapeImage(const std::string& imagePath, const TerrainSquare& square, int textureSide,
                           const std::string& resample, std::FILE* progressOut, const DecisionLog& say);
