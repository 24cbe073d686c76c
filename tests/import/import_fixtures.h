#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gdal.h>

#include "terrain/height_field.h"

// Test rasters made with GDAL itself, runs of the real quorvane-import, and its outputs read back
// with the renderer's own PNG readers.
namespace import_test {

struct RasterRecipe {
  std::string driver = "GTiff";  // any GDAL driver that can copy a raster (AAIGrid, ...)
  GDALDataType dataType = GDT_Float32;
  int width = 0;
  int height = 0;
  std::vector<double> geoTransform;  // empty: none
  int epsg = 0;                      // 0: no coordinate system
  std::optional<double> nodata;
  std::string heightUnit;                   // e.g. "ft"; empty: none
  int bands = 1;
  std::function<double(int column, int row, int band)> valueAt;  // row 0 north, band from 1
};

// Writes the raster; false when GDAL refused.
bool WriteRaster(const std::string& path, const RasterRecipe& raster);

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs quorvane-import with the arguments (shell-quoted) in directory.
ProgramRun RunImport(const std::string& directory, const std::vector<std::string>& arguments);

// The text after "Vertical scale " on its line; empty when missing.
std::string PrintedScaleText(const std::string& out);
// That text as a number; NaN when missing or not in decimal notation.
double PrintedScale(const std::string& out);

struct HeightFieldFile {
  bool acceptedByQuorvane = false;  // the renderer's loader checks: 16-bit grey, square, 2^n + 1
  int side = 0;
  std::vector<HeightSample> samples;
  // Rows counted from the north edge, as on a map: the file holds the south edge first, where
  // Quorvane's y = 0 is.
  HeightSample At(int column, int rowFromNorth) const {
    return samples[static_cast<size_t>(side - 1 - rowFromNorth) * side + column];
  }
};
HeightFieldFile ReadHeightField(const std::string& path);

struct TextureFile {
  bool acceptedByQuorvane = false;  // the renderer's texture reader and side check
  int side = 0;
  int channels = 0;
  std::vector<unsigned char> texels;  // south edge first, as the height field
};
TextureFile ReadTexture(const std::string& path);

// File names in the directory, sorted.
std::vector<std::string> FilesIn(const std::string& directory);

}  // namespace import_test
