#include "import/import_fixtures.h"

#include <gdal.h>
#include <ogr_srs_api.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"
#include "terrain/texture.h"

namespace import_test {

namespace {

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

bool WriteRaster(const std::string& path, const RasterRecipe& raster) {
  GDALAllRegister();
  GDALDatasetH memory =
      GDALCreate(GDALGetDriverByName("MEM"), "", raster.width, raster.height, raster.bands, raster.dataType, nullptr);
  if (memory == nullptr) return false;
  if (!raster.geoTransform.empty()) GDALSetGeoTransform(memory, const_cast<double*>(raster.geoTransform.data()));
  if (raster.epsg != 0) {
    OGRSpatialReferenceH crs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(crs, raster.epsg);
    GDALSetSpatialRef(memory, crs);
    OSRDestroySpatialReference(crs);
  }
  std::vector<double> values(static_cast<size_t>(raster.width) * raster.height);
  bool written = true;
  for (int band = 1; band <= raster.bands; ++band) {
    for (int row = 0; row < raster.height; ++row)
      for (int column = 0; column < raster.width; ++column)
        values[static_cast<size_t>(row) * raster.width + column] = raster.valueAt(column, row, band);
    GDALRasterBandH target = GDALGetRasterBand(memory, band);
    if (raster.nodata) GDALSetRasterNoDataValue(target, *raster.nodata);
    if (!raster.heightUnit.empty()) GDALSetRasterUnitType(target, raster.heightUnit.c_str());
    written = written && GDALRasterIO(target, GF_Write, 0, 0, raster.width, raster.height, values.data(), raster.width,
                                      raster.height, GDT_Float64, 0, 0) == CE_None;
  }
  GDALDatasetH file = written ? GDALCreateCopy(GDALGetDriverByName(raster.driver.c_str()), path.c_str(), memory,
                                               FALSE, nullptr, nullptr, nullptr)
                              : nullptr;
  if (file != nullptr) GDALClose(file);
  GDALClose(memory);
  // The test directory must hold only what the importer leaves.
  std::filesystem::remove(path + ".aux.xml");
  return file != nullptr;
}

ProgramRun RunImport(const std::string& directory, const std::vector<std::string>& arguments) {
  std::string command = "cd " + ShellQuote(directory) + " && " + ShellQuote(QUORVANE_IMPORT_BINARY);
  for (const std::string& argument : arguments) command += " " + ShellQuote(argument);
  TempDir capture;
  command += " >" + ShellQuote(capture.File("out")) + " 2>" + ShellQuote(capture.File("err"));
  const int result = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  run.out = ReadWholeFile(capture.File("out"));
  run.err = ReadWholeFile(capture.File("err"));
  return run;
}

std::string PrintedScaleText(const std::string& out) {
  const std::string key = "Vertical scale ";
  const size_t at = out.find(key);
  if (at == std::string::npos) return "";
  const size_t start = at + key.size();
  return out.substr(start, out.find('\n', start) - start);
}

double PrintedScale(const std::string& out) {
  const std::string text = PrintedScaleText(out);
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return NAN;
  return std::strtod(text.c_str(), nullptr);
}

HeightFieldFile ReadHeightField(const std::string& path) {
  HeightFieldFile file;
  int width = 0, height = 0, n = -1;
  HeightSample* samples = nullptr;
  const PngReadResult result = ReadGreyPng16(path.c_str(), kMaxHeightFieldSide, &width, &height, &samples);
  file.acceptedByQuorvane = CheckHeightFieldImage(result, width, height, &n) == HeightFieldCheck::kAccepted;
  if (samples != nullptr) {
    file.side = width;
    file.samples.assign(samples, samples + static_cast<size_t>(width) * height);
    delete[] samples;
  }
  return file;
}

TextureFile ReadTexture(const std::string& path) {
  TextureFile file;
  int width = 0, height = 0;
  unsigned char* texels = nullptr;
  if (ReadImagePng(path.c_str(), kMaxTextureSide, &width, &height, &file.channels, &texels)) {
    file.acceptedByQuorvane = TextureSideAccepted(width, height);
    file.side = width;
    file.texels.assign(texels, texels + static_cast<size_t>(width) * height * file.channels);
    delete[] texels;
  }
  return file;
}

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace import_test
