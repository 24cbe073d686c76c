#include "import/texture.h"

#include <gdal_utils.h>

#include <algorithm>

namespace {

constexpr int kMaxTextureSide = 16384;

Result<Dataset> WarpToTexture(GDALDatasetH input, GdalArguments& arguments, const std::string& what,
                              std::FILE* progressOut) {
  GdalErrorCapture errors;
  StepProgress progress(progressOut, "Making the texture");
  GDALWarpAppOptions* warp = GDALWarpAppOptionsNew(arguments.List(), nullptr);
  GDALDatasetH texture = nullptr;
  if (warp != nullptr) {
    GDALWarpAppOptionsSetProgress(warp, progress.function(), progress.data());
    texture = GDALWarp("", nullptr, 1, &input, warp, nullptr);
  }
  GDALWarpAppOptionsFree(warp);
  if (texture == nullptr) return ImportFailure("Cannot warp " + what + ": " + errors.LastFailureOr("GDAL failed"));
  return Dataset(texture);
}

Result<Texture> ReadTexels(GDALDatasetH dataset, int side, int channels) {
  Texture texture{side, channels, std::vector<unsigned char>(static_cast<size_t>(side) * side * channels)};
  // Pixel-interleaved, as the PNG rows are.
  if (GDALDatasetRasterIO(dataset, GF_Read, 0, 0, side, side, texture.texels.data(), side, side, GDT_Byte, channels,
                          nullptr, channels, channels * side, 1) != CE_None)
    return ImportFailure("Cannot read the texture back from memory");
  return texture;
}

}  // namespace

Result<int> ChooseTextureSide(std::optional<int> requested, int heightFieldSide, const DecisionLog& say) {
  if (requested) {
    const int side = *requested;
    if (side < 1 || side > kMaxTextureSide || (side & (side - 1)) != 0)
      return ImportFailure("--texture-size " + std::to_string(side) + " is not a power of two from 1 to " +
                           std::to_string(kMaxTextureSide));
    if (side > 8192) say("Texture side above 8192: some GL drivers cannot load it");
    return side;
  }
  return std::clamp(heightFieldSide - 1, 1024, 4096);
}

Result<Texture> MakeHillshade(const HeightGrid& grid, double groundWidthMetres, double exaggerate, int textureSide,
                              std::FILE* progressOut, const DecisionLog& say) {
  const int side = grid.side;
  Dataset heights(GDALCreate(GDALGetDriverByName("MEM"), "", side, side, 1, GDT_Float32, nullptr));
  if (!heights) return ImportFailure("Cannot hold the heights in memory for the hillshade");
  // Metres both ways, cell centres on the square's edges, so the shading sees real slopes.
  const double cell = groundWidthMetres / (side - 1);
  double geoTransform[6] = {-cell / 2, cell, 0.0, groundWidthMetres + cell / 2, 0.0, -cell};
  GDALSetGeoTransform(heights.get(), geoTransform);
  if (GDALRasterIO(GDALGetRasterBand(heights.get(), 1), GF_Write, 0, 0, side, side,
                   const_cast<float*>(grid.metres.data()), side, side, GDT_Float32, 0, 0) != CE_None)
    return ImportFailure("Cannot hold the heights in memory for the hillshade");

  GdalArguments shadeArguments;
  shadeArguments.Add("-of").Add("MEM").Add("-compute_edges").Add("-z").Add(exaggerate);
  Dataset shade;
  {
    GdalErrorCapture errors;
    StepProgress progress(progressOut, "Computing the hillshade");
    GDALDEMProcessingOptions* options = GDALDEMProcessingOptionsNew(shadeArguments.List(), nullptr);
    if (options != nullptr) {
      GDALDEMProcessingOptionsSetProgress(options, progress.function(), progress.data());
      shade.reset(GDALDEMProcessing("", heights.get(), "hillshade", nullptr, options, nullptr));
    }
    GDALDEMProcessingOptionsFree(options);
    if (!shade) return ImportFailure("Cannot compute the hillshade: " + errors.LastFailureOr("GDAL failed"));
  }

  GdalArguments warpArguments;
  warpArguments.Add("-of").Add("MEM").Add("-te").Add(0.0).Add(0.0).Add(groundWidthMetres).Add(groundWidthMetres);
  warpArguments.Add("-ts").Add(std::to_string(textureSide)).Add(std::to_string(textureSide));
  // Shrinking averages the cells a texel covers; enlarging interpolates between them.
  warpArguments.Add("-r").Add(textureSide < side - 1 ? "average" : "bilinear");
  Result<Dataset> warped = WarpToTexture(shade.get(), warpArguments, "the hillshade", progressOut);
  if (!warped.ok()) return warped.failure();
  say("Texture: GDAL hillshade, " + std::to_string(textureSide) + " x " + std::to_string(textureSide) + " 8-bit grey");
  return ReadTexels(warped.value().get(), textureSide, 1);
}

Result<Texture> DrapeImage(const std::string& imagePath, const TerrainSquare& square, int textureSide,
                           const std::string& resample, std::FILE* progressOut, const DecisionLog& say) {
  Dataset image;
  {
    GdalErrorCapture errors;
    image.reset(GDALOpenEx(imagePath.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR, nullptr,
                           nullptr, nullptr));
    if (!image)
      return ImportFailure("Cannot open " + imagePath + ": " + errors.LastFailureOr("not a raster GDAL reads"));
  }
  double geoTransform[6];
  if (GDALGetGeoTransform(image.get(), geoTransform) != CE_None)
    return ImportFailure(imagePath + " has no georeferencing to drape it by");

  // Pick the colour bands, as 8-bit samples, in a virtual dataset.
  const int bands = GDALGetRasterCount(image.get());
  GDALRasterBandH first = GDALGetRasterBand(image.get(), 1);
  const bool palette = GDALGetRasterColorTable(first) != nullptr;
  const int channels = bands >= 3 || palette ? 3 : 1;
  GdalArguments select;
  select.Add("-of").Add("VRT");
  if (palette) {
    select.Add("-b").Add("1").Add("-expand").Add("rgb");
  } else {
    for (int band = 1; band <= channels; ++band) select.Add("-b").Add(std::to_string(band));
    if (GDALGetRasterDataType(first) != GDT_Byte) select.Add("-ot").Add("Byte").Add("-scale");
  }
  Dataset colours;
  {
    GdalErrorCapture errors;
    GDALTranslateOptions* options = GDALTranslateOptionsNew(select.List(), nullptr);
    if (options != nullptr) colours.reset(GDALTranslate("", image.get(), options, nullptr));
    GDALTranslateOptionsFree(options);
    if (!colours)
      return ImportFailure("Cannot read the colours of " + imagePath + ": " + errors.LastFailureOr("GDAL failed"));
  }

  // Texel edges on the square's edges.
  GdalArguments warpArguments;
  warpArguments.Add("-of").Add("MEM").Add("-r").Add(resample);
  warpArguments.Add("-te").Add(square.minX).Add(square.minY).Add(square.maxX).Add(square.maxY);
  warpArguments.Add("-ts").Add(std::to_string(textureSide)).Add(std::to_string(textureSide));
  if (!square.crsWkt.empty()) warpArguments.Add("-t_srs").Add(square.crsWkt);
  Result<Dataset> warped = WarpToTexture(colours.get(), warpArguments, imagePath, progressOut);
  if (!warped.ok()) return warped.failure();
  say("Texture: " + imagePath + " draped, " + std::to_string(textureSide) + " x " + std::to_string(textureSide) +
      (channels == 3 ? " 8-bit RGB" : " 8-bit grey"));
  return ReadTexels(warped.value().get(), textureSide, channels);
}
