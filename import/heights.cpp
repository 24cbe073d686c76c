#include "import/heights.h"

#include <gdal_alg.h>
#include <gdal_utils.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/platform/text_format.h"

namespace {

// Marks holes in the warped grid; no real height comes near it.
constexpr float kHole = std::numeric_limits<float>::lowest();

Result<Dataset> WarpOntoGrid(const ElevationSource& source, const TerrainSquare& square, int side,
                             const std::string& resample, std::FILE* progressOut) {
  // Cell centres on the square's edges: the extent reaches half a cell beyond them.
  const double halfCellX = (square.maxX - square.minX) / (side - 1) / 2;
  const double halfCellY = (square.maxY - square.minY) / (side - 1) / 2;
  GdalArguments arguments;
  arguments.Add("-of").Add("MEM").Add("-ot").Add("Float32").Add("-r").Add(resample);
  arguments.Add("-te").Add(square.minX - halfCellX).Add(square.minY - halfCellY);
  arguments.Add(square.maxX + halfCellX).Add(square.maxY + halfCellY);
  arguments.Add("-ts").Add(std::to_string(side)).Add(std::to_string(side));
  arguments.Add("-dstnodata").Add(static_cast<double>(kHole));
  arguments.Add("-wm").Add("512").Add("-multi").Add("-wo").Add("NUM_THREADS=ALL_CPUS");
  if (square.reprojected) arguments.Add("-t_srs").Add(square.crsWkt);

  GdalErrorCapture errors;
  StepProgress progress(progressOut, "Resampling heights");
  GDALWarpAppOptions* warp = GDALWarpAppOptionsNew(arguments.List(), nullptr);
  GDALDatasetH input = source.heights.get();
  GDALDatasetH grid = nullptr;
  if (warp != nullptr) {
    GDALWarpAppOptionsSetProgress(warp, progress.function(), progress.data());
    grid = GDALWarp("", nullptr, 1, &input, warp, nullptr);
  }
  GDALWarpAppOptionsFree(warp);
  if (grid == nullptr)
    return ImportFailure("Cannot resample " + source.path + ": " + errors.LastFailureOr("GDAL failed"));
  return Dataset(grid);
}

Status TransferGrid(GDALDatasetH grid, GDALRWFlag direction, std::vector<float>& values, int side) {
  GDALRasterBandH band = GDALGetRasterBand(grid, 1);
  if (GDALRasterIO(band, direction, 0, 0, side, side, values.data(), side, side, GDT_Float32, 0, 0) != CE_None)
    return ImportFailure("Cannot access the resampled heights in memory");
  return {};
}

long long CountAndMarkHoles(std::vector<float>& values) {
  long long holes = 0;
  for (float& value : values) {
    if (value == kHole || std::isnan(value)) {
      value = kHole;
      ++holes;
    }
  }
  return holes;
}

Status FillHoles(GDALDatasetH grid, int side, std::FILE* progressOut) {
  GdalErrorCapture errors;
  StepProgress progress(progressOut, "Filling nodata holes");
  GdalArguments options;
  options.Add("TEMP_FILE_DRIVER=MEM");
  // Searching as far as the whole grid reaches every hole, however wide.
  const double searchDistance = 2.0 * side;
  if (GDALFillNodata(GDALGetRasterBand(grid, 1), nullptr, searchDistance, 0, 0, options.List(), progress.function(),
                     progress.data()) != CE_None)
    return ImportFailure("Cannot fill the nodata holes: " + errors.LastFailureOr("GDAL failed"));
  return {};
}

}  // namespace

Result<HeightGrid> ResampleHeights(const ElevationSource& source, const TerrainSquare& square, int side,
                                   const std::string& resample, std::FILE* progressOut, const DecisionLog& say) {
  Result<Dataset> warped = WarpOntoGrid(source, square, side, resample, progressOut);
  if (!warped.ok()) return warped.failure();
  GDALDatasetH grid = warped.value().get();
  say("Resampled with " + resample + " to " + std::to_string(side) + " x " + std::to_string(side));

  HeightGrid heights;
  heights.side = side;
  heights.metres.resize(static_cast<size_t>(side) * side);
  if (Status read = TransferGrid(grid, GF_Read, heights.metres, side); !read.ok()) return read.failure();
  heights.filledSamples = CountAndMarkHoles(heights.metres);
  if (heights.filledSamples == static_cast<long long>(heights.metres.size()))
    return ImportFailure("No heights in the square: all of it is nodata in " + source.path);
  if (heights.filledSamples > 0) {
    if (Status write = TransferGrid(grid, GF_Write, heights.metres, side); !write.ok()) return write.failure();
    if (Status fill = FillHoles(grid, side, progressOut); !fill.ok()) return fill.failure();
    if (Status read = TransferGrid(grid, GF_Read, heights.metres, side); !read.ok()) return read.failure();
    if (CountAndMarkHoles(heights.metres) > 0) return ImportFailure("Some nodata holes could not be filled");
    say("Filled " + std::to_string(heights.filledSamples) + " nodata samples");
  } else {
    say("No nodata samples to fill");
  }
  for (float& value : heights.metres)
    value = static_cast<float>(value * source.metresPerRawHeight + source.heightOffsetMetres);
  return heights;
}

Result<QuantizedHeights> QuantizeHeights(const HeightGrid& grid, std::optional<double> minMetres,
                                         std::optional<double> maxMetres, const DecisionLog& say) {
  const auto [lowest, highest] = std::minmax_element(grid.metres.begin(), grid.metres.end());
  QuantizedHeights quantized;
  quantized.lowMetres = minMetres.value_or(*lowest);
  quantized.highMetres = maxMetres.value_or(*highest);
  if (!std::isfinite(quantized.lowMetres) || !std::isfinite(quantized.highMetres))
    return ImportFailure("The heights are not finite numbers");
  if (quantized.highMetres < quantized.lowMetres ||
      ((minMetres || maxMetres) && quantized.highMetres == quantized.lowMetres))
    return ImportFailure("The height range " + FormatShortest(quantized.lowMetres) + " m to " +
                         FormatShortest(quantized.highMetres) + " m is empty: check --min and --max");

  const double range = quantized.highMetres - quantized.lowMetres;
  const double samplesPerMetre = range > 0.0 ? 65535.0 / range : 0.0;
  long long clamped = 0;
  quantized.samples.resize(grid.metres.size());
  for (size_t i = 0; i < grid.metres.size(); ++i) {
    const double sample = std::round((grid.metres[i] - quantized.lowMetres) * samplesPerMetre);
    if (sample < 0.0 || sample > 65535.0) ++clamped;
    quantized.samples[i] = static_cast<HeightSample>(std::clamp(sample, 0.0, 65535.0));
  }
  if (range == 0.0) {
    say("Flat terrain at " + FormatShortest(quantized.lowMetres) + " m: every sample 0");
  } else {
    say("Heights " + FormatFixed(quantized.lowMetres, 2) + " m to " + FormatFixed(quantized.highMetres, 2) +
        " m mapped to 0 to 65535" + (clamped > 0 ? " (" + std::to_string(clamped) + " samples clamped)" : ""));
  }
  return quantized;
}
