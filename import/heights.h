#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "import/gdal_support.h"
#include "import/source.h"
#include "import/square.h"
#include "terrain/height_field.h"

// The square's heights resampled onto the height field's grid. Invariants: side x side values in
// metres, row 0 the north edge of the square and row side - 1 its south edge (likewise columns
// west to east), and no nodata left: every hole was filled from its surroundings.
struct HeightGrid {
  int side = 0;
  std::vector<float> metres;
  long long filledSamples = 0;
};

// Warps the source onto the grid with GDAL's warper (resample: a GDAL resampling name) and fills
// the holes with GDAL's fill-nodata algorithm. Fails when the square holds no height at all.
Result<HeightGrid> ResampleHeights(const ElevationSource& source, const TerrainSquare& square, int side,
                                   const std::string& resample, std::FILE* progressOut, const DecisionLog& say);

// The grid mapped to 16-bit samples (rows still north first): lowMetres to 0, highMetres to 65535, linearly, so samples
// keep the order of the heights (heights outside the range are clamped to its ends).
struct QuantizedHeights {
  std::vector<HeightSample> samples;
  double lowMetres = 0.0;
  double highMetres = 0.0;  // equal to lowMetres only for a flat grid, whose samples are all 0
};

// Over the grid's own range, or --min / --max (metres) where given.
Result<QuantizedHeights> QuantizeHeights(const HeightGrid& grid, std::optional<double> minMetres,
                                         std::optional<double> maxMetres, const DecisionLog& say);
