#pragma once
#include <array>
#include <optional>
#include <string>

#include "import/gdal_support.h"
#include "import/options.h"

// An elevation raster opened for import. Invariants once opened:
// - `heights` is a dataset whose band 1 is the chosen band of the file, with the file's nodata
//   value, and it always has a north-up geotransform (a source without one gets a grid of one
//   unit per sample, row 0 at the top);
// - raw band values become metres as raw * metresPerRawHeight + heightOffsetMetres (the band's
//   own scale and offset, then its vertical unit);
// - the CRS is empty (positions in metres), projected (metresPerCrsUnit) or geographic
//   (measured in metres by GroundScaleAt at a latitude).
struct ElevationSource {
  Dataset file;
  Dataset heights;
  std::string path;
  int width = 0;   // samples
  int height = 0;  // samples
  std::array<double, 6> geoTransform{};
  bool rotated = false;  // the geotransform is not north-up: only --project can take it
  std::string crsWkt;    // empty when the source has no coordinate system
  bool geographic = false;
  double metresPerCrsUnit = 1.0;  // projected or no CRS
  double semiMajorMetres = 0.0;   // geographic: the ellipsoid and the angular unit
  double inverseFlattening = 0.0;
  double radiansPerCrsUnit = 0.0;
  std::optional<double> nodata;
  double metresPerRawHeight = 1.0;
  double heightOffsetMetres = 0.0;
};

Result<ElevationSource> OpenElevationSource(const ImportOptions& options, const DecisionLog& say);

// Ground metres per CRS unit along x (east) and y (north) at a CRS y coordinate (a latitude for a
// geographic source, where a degree east shrinks with the cosine of the latitude).
struct GroundScale {
  double metresPerUnitX;
  double metresPerUnitY;
};
GroundScale GroundScaleAt(const ElevationSource& source, double crsY);
