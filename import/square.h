#pragma once
#include <optional>
#include <string>

#include "import/gdal_support.h"
#include "import/options.h"
#include "import/source.h"

// The square of ground the height field covers. Invariants: the height field's first and last
// columns lie on minX and maxX, its first (north) and last rows on maxY and minY, in the
// coordinates of crsWkt (the source's CRS, a local projection, or none); groundWidthMetres is
// the distance between them, the same east-west and north-south, so the unit square keeps the
// ground's proportions.
struct TerrainSquare {
  std::string crsWkt;
  bool reprojected = false;  // crsWkt is a local projection, not the source's CRS
  double minX = 0.0;
  double minY = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
  double groundWidthMetres = 0.0;
  double sourceSamplesAcross = 0.0;  // source samples the square spans, the finer way
};

// The largest ground square of the source, or of --window / --bbox clipped to the raster;
// through a local transverse Mercator projection when --project is given.
Result<TerrainSquare> ChooseSquare(const ElevationSource& source, const ImportOptions& options, const DecisionLog& say);

constexpr int kMaxOutputSide = 16385;

// The height field's side: --size when it is 2^n + 1 (3 to 16385), or the smallest such side not
// below the source samples across the square, capped at 16385.
Result<int> ChooseSide(const TerrainSquare& square, std::optional<int> requested, const DecisionLog& say);
