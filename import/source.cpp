#include "import/source.h"

#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <cctype>
#include <cmath>

#include "app/platform/text_format.h"

namespace {

std::string Lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Metres per unit of a height unit name as GDAL drivers spell them; nullopt when unknown.
std::optional<double> MetresPerHeightUnit(const std::string& unit) {
  const std::string name = Lowercase(unit);
  if (name.empty() || name == "m" || name == "metre" || name == "meter" || name == "metres" || name == "meters")
    return 1.0;
  if (name == "ft" || name == "foot" || name == "feet" || name == "international foot") return 0.3048;
  if (name == "us-ft" || name == "us survey foot" || name == "ftus") return 1200.0 / 3937.0;
  return std::nullopt;
}

// Reads the coordinate system into the source and says how positions are measured.
Status DescribeCrs(GDALDatasetH file, ElevationSource& source, const DecisionLog& say) {
  const char* wkt = GDALGetProjectionRef(file);
  if (wkt == nullptr || *wkt == '\0') {
    say("No coordinate system: positions taken as metres");
    return {};
  }
  OGRSpatialReferenceH crs = OSRNewSpatialReference(wkt);
  if (crs == nullptr) return ImportFailure(source.path + " has a coordinate system GDAL cannot read");
  const std::string name = OSRGetName(crs) != nullptr ? OSRGetName(crs) : "unnamed";
  source.crsWkt = wkt;
  if (OSRIsGeographic(crs)) {
    OGRErr error = OGRERR_NONE;
    source.geographic = true;
    source.semiMajorMetres = OSRGetSemiMajor(crs, &error);
    source.inverseFlattening = OSRGetInvFlattening(crs, &error);
    source.radiansPerCrsUnit = OSRGetAngularUnits(crs, nullptr);
    say("Coordinate system: " + name + ", geographic: degrees measured in metres at the square's centre latitude" +
        " (--project warps to a local projection instead)");
  } else {
    source.metresPerCrsUnit = OSRGetLinearUnits(crs, nullptr);
    say("Coordinate system: " + name + ", projected, " + FormatShortest(source.metresPerCrsUnit) + " m per unit");
  }
  OSRDestroySpatialReference(crs);
  return {};
}

// Says how raw band values become metres and records the factors.
void DescribeHeights(GDALRasterBandH band, ElevationSource& source, const DecisionLog& say) {
  int hasScale = FALSE, hasOffset = FALSE;
  const double scale = GDALGetRasterScale(band, &hasScale);
  const double offset = GDALGetRasterOffset(band, &hasOffset);
  const bool rescaled = (hasScale && scale != 1.0) || (hasOffset && offset != 0.0);
  const char* unitText = GDALGetRasterUnitType(band);
  const std::string unit = unitText != nullptr ? unitText : "";
  const std::optional<double> metresPerUnit = MetresPerHeightUnit(unit);
  if (!metresPerUnit) {
    say("Heights in unknown unit '" + unit + "': taken as metres");
  } else if (*metresPerUnit != 1.0) {
    say("Heights in " + unit + ": converted to metres (" + FormatShortest(*metresPerUnit) + " m each)");
  }
  const double factor = metresPerUnit.value_or(1.0);
  source.metresPerRawHeight = (hasScale ? scale : 1.0) * factor;
  source.heightOffsetMetres = (hasOffset ? offset : 0.0) * factor;
  if (rescaled)
    say("Band values scaled by " + FormatShortest(hasScale ? scale : 1.0) + " and offset by " +
        FormatShortest(hasOffset ? offset : 0.0) + " as the band says");
}

// A virtual dataset exposing only the chosen band, with a geotransform (made up when missing).
Result<Dataset> SelectBand(const ElevationSource& source, int band, bool makeGeoTransform) {
  GdalArguments arguments;
  arguments.Add("-of").Add("VRT").Add("-b").Add(std::to_string(band));
  if (makeGeoTransform) {
    // Upper-left (0, height), lower-right (width, 0): one unit per sample, north up.
    arguments.Add("-a_ullr")
        .Add(0.0)
        .Add(static_cast<double>(source.height))
        .Add(static_cast<double>(source.width))
        .Add(0.0);
  }
  GdalErrorCapture errors;
  GDALTranslateOptions* translate = GDALTranslateOptionsNew(arguments.List(), nullptr);
  GDALDatasetH selected = translate != nullptr ? GDALTranslate("", source.file.get(), translate, nullptr) : nullptr;
  GDALTranslateOptionsFree(translate);
  if (selected == nullptr)
    return ImportFailure("Cannot read band " + std::to_string(band) + " of " + source.path + ": " +
                         errors.LastFailureOr("GDAL refused it"));
  return Dataset(selected);
}

}  // namespace

Result<ElevationSource> OpenElevationSource(const ImportOptions& options, const DecisionLog& say) {
  ElevationSource source;
  source.path = options.input;
  {
    GdalErrorCapture errors;
    source.file.reset(GDALOpenEx(options.input.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY | GDAL_OF_VERBOSE_ERROR,
                                 nullptr, nullptr, nullptr));
    if (!source.file) {
      const std::string reason = errors.LastFailureOr("not a raster GDAL reads");
      // GDAL's reasons mostly name the file already.
      return ImportFailure(
          reason.find(options.input) != std::string::npos ? reason : "Cannot open " + options.input + ": " + reason);
    }
  }
  GDALDatasetH file = source.file.get();
  const int bands = GDALGetRasterCount(file);
  if (options.band < 1 || options.band > bands)
    return ImportFailure(options.input + " has no band " + std::to_string(options.band) + " (it has " +
                         std::to_string(bands) + ")");
  source.width = GDALGetRasterXSize(file);
  source.height = GDALGetRasterYSize(file);
  if (source.width < 2 || source.height < 2)
    return ImportFailure(options.input + " is too small (" + std::to_string(source.width) + " x " +
                         std::to_string(source.height) + " samples, at least 2 x 2 needed)");

  GDALRasterBandH band = GDALGetRasterBand(file, options.band);
  int hasNodata = FALSE;
  const double nodata = GDALGetRasterNoDataValue(band, &hasNodata);
  if (hasNodata) source.nodata = nodata;
  say("Source " + options.input + ": " + std::to_string(source.width) + " x " + std::to_string(source.height) +
      " samples, band " + std::to_string(options.band) + " of " + std::to_string(bands) + " (" +
      GDALGetDataTypeName(GDALGetRasterDataType(band)) + "), " +
      (hasNodata ? "nodata " + FormatShortest(nodata) : std::string("no nodata value")));

  const bool georeferenced = GDALGetGeoTransform(file, source.geoTransform.data()) == CE_None;
  if (georeferenced) {
    const auto& g = source.geoTransform;
    if (g[1] * g[5] - g[2] * g[4] == 0.0) return ImportFailure(options.input + " has a degenerate geotransform");
    source.rotated = g[2] != 0.0 || g[4] != 0.0;
    if (Status crs = DescribeCrs(file, source, say); !crs.ok()) return crs.failure();
  } else {
    say("No georeferencing: samples taken as 1 m apart");
    source.geoTransform = {0.0, 1.0, 0.0, static_cast<double>(source.height), 0.0, -1.0};
  }
  DescribeHeights(band, source, say);

  Result<Dataset> selected = SelectBand(source, options.band, !georeferenced);
  if (!selected.ok()) return selected.failure();
  source.heights = std::move(selected.value());
  return source;
}

GroundScale GroundScaleAt(const ElevationSource& source, double crsY) {
  if (!source.geographic) return {source.metresPerCrsUnit, source.metresPerCrsUnit};
  // Radii of curvature of the ellipsoid at the latitude: along the parallel (east) and along the
  // meridian (north).
  const double latitude = crsY * source.radiansPerCrsUnit;
  const double flattening = source.inverseFlattening > 0.0 ? 1.0 / source.inverseFlattening : 0.0;
  const double eccentricity2 = flattening * (2.0 - flattening);
  const double sine = std::sin(latitude);
  const double w = std::sqrt(1.0 - eccentricity2 * sine * sine);
  const double primeVertical = source.semiMajorMetres / w;
  const double meridional = source.semiMajorMetres * (1.0 - eccentricity2) / (w * w * w);
  return {primeVertical * std::cos(latitude) * source.radiansPerCrsUnit, meridional * source.radiansPerCrsUnit};
}
