#include "import/square.h"

#include <ogr_spatialref.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/platform/text_format.h"

namespace {

// A rectangle in source pixel coordinates: sample (i, j) has its centre at (i + 0.5, j + 0.5).
struct PixelRect {
  double left, top, right, bottom;
};

struct Point {
  double x, y;
};

Point PixelToCrs(const ElevationSource& source, double column, double row) {
  const auto& g = source.geoTransform;
  return {g[0] + column * g[1] + row * g[2], g[3] + column * g[4] + row * g[5]};
}

Point CrsToPixel(const ElevationSource& source, double x, double y) {
  double inverse[6];
  // The source's geotransform was checked to be invertible.
  if (!GDALInvGeoTransform(const_cast<double*>(source.geoTransform.data()), inverse)) return {NAN, NAN};
  return {inverse[0] + x * inverse[1] + y * inverse[2], inverse[3] + x * inverse[4] + y * inverse[5]};
}

PixelRect BoundsOf(const ElevationSource& source, Point a, Point b) {
  const Point p = CrsToPixel(source, a.x, a.y), q = CrsToPixel(source, b.x, b.y);
  return {std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)};
}

// The area asked for, in pixels, before clipping.
Result<PixelRect> RequestedRect(const ElevationSource& source, const ImportOptions& options) {
  if (options.bbox) {
    const auto [xMin, yMin, xMax, yMax] = *options.bbox;
    if (!(xMin < xMax && yMin < yMax)) return ImportFailure("--bbox needs XMIN < XMAX and YMIN < YMAX");
    return BoundsOf(source, {xMin, yMax}, {xMax, yMin});
  }
  if (options.window) {
    const auto [x, y, side] = *options.window;
    if (options.windowUnits == WindowUnits::kCrs) {
      if (!(side > 0.0)) return ImportFailure("--window needs a positive side");
      return BoundsOf(source, {x, y}, {x + side, y - side});
    }
    if (!(side >= 2.0)) return ImportFailure("--window needs a side of at least 2 samples");
    return PixelRect{x + 0.5, y + 0.5, x + side - 0.5, y + side - 0.5};
  }
  return PixelRect{0.5, 0.5, source.width - 0.5, source.height - 0.5};
}

// The requested area within the sample centres of the raster.
Result<PixelRect> ClippedRect(const ElevationSource& source, const ImportOptions& options, const DecisionLog& say) {
  Result<PixelRect> requested = RequestedRect(source, options);
  if (!requested.ok()) return requested;
  const PixelRect asked = requested.value();
  const PixelRect clipped{std::max(asked.left, 0.5), std::max(asked.top, 0.5),
                          std::min(asked.right, source.width - 0.5), std::min(asked.bottom, source.height - 0.5)};
  const std::string raster =
      source.path + " (" + std::to_string(source.width) + " x " + std::to_string(source.height) + " samples)";
  if (!(clipped.right > clipped.left && clipped.bottom > clipped.top))
    return ImportFailure("The window lies outside " + raster);
  if (clipped.right - clipped.left < 1.0 || clipped.bottom - clipped.top < 1.0)
    return ImportFailure("The window holds less than 2 x 2 samples of " + raster);
  if (clipped.left != asked.left || clipped.top != asked.top || clipped.right != asked.right ||
      clipped.bottom != asked.bottom)
    say("Window clipped to the raster");
  return clipped;
}

std::string SampleRange(double from, double to) {
  return FormatFixed(from - 0.5, 1) + " to " + FormatFixed(to - 0.5, 1);
}

// The largest ground square centred in the rectangle, in the source's own coordinates.
Result<TerrainSquare> SquareInSourceCrs(const ElevationSource& source, const PixelRect& rect, const DecisionLog& say) {
  if (source.rotated) return ImportFailure(source.path + " has a rotated grid: --project warps it north-up");
  const double centreColumn = (rect.left + rect.right) / 2, centreRow = (rect.top + rect.bottom) / 2;
  const GroundScale scale = GroundScaleAt(source, PixelToCrs(source, centreColumn, centreRow).y);
  const double metresPerColumn = std::abs(source.geoTransform[1]) * scale.metresPerUnitX;
  const double metresPerRow = std::abs(source.geoTransform[5]) * scale.metresPerUnitY;
  if (source.geographic)
    say("At latitude " + FormatFixed(PixelToCrs(source, centreColumn, centreRow).y, 4) + ": 1 degree = " +
        FormatFixed(scale.metresPerUnitX, 1) + " m east, " + FormatFixed(scale.metresPerUnitY, 1) + " m north");

  TerrainSquare square;
  square.crsWkt = source.crsWkt;
  square.groundWidthMetres =
      std::min((rect.right - rect.left) * metresPerColumn, (rect.bottom - rect.top) * metresPerRow);
  const double halfColumns = square.groundWidthMetres / metresPerColumn / 2;
  const double halfRows = square.groundWidthMetres / metresPerRow / 2;
  const Point a = PixelToCrs(source, centreColumn - halfColumns, centreRow - halfRows);
  const Point b = PixelToCrs(source, centreColumn + halfColumns, centreRow + halfRows);
  square.minX = std::min(a.x, b.x);
  square.maxX = std::max(a.x, b.x);
  square.minY = std::min(a.y, b.y);
  square.maxY = std::max(a.y, b.y);
  square.sourceSamplesAcross = 2 * std::max(halfColumns, halfRows) + 1;
  say("Square: columns " + SampleRange(centreColumn - halfColumns, centreColumn + halfColumns) + ", rows " +
      SampleRange(centreRow - halfRows, centreRow + halfRows) + " of the source, " +
      FormatFixed(square.groundWidthMetres, 1) + " m wide");
  return square;
}

struct TransformDeleter {
  void operator()(OGRCoordinateTransformation* transform) const { OGRCoordinateTransformation::DestroyCT(transform); }
};
using Transform = std::unique_ptr<OGRCoordinateTransformation, TransformDeleter>;

// The largest square centred in the rectangle once warped to a transverse Mercator projection
// whose central meridian and origin are the rectangle's centre (true scale there).
Result<TerrainSquare> SquareInLocalProjection(const ElevationSource& source, const PixelRect& rect,
                                              const DecisionLog& say) {
  if (source.crsWkt.empty()) return ImportFailure(source.path + " has no coordinate system to project from");
  OGRSpatialReference sourceCrs;
  sourceCrs.importFromWkt(source.crsWkt.c_str());
  sourceCrs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  OGRSpatialReference geographic;
  geographic.CopyGeogCSFrom(&sourceCrs);
  geographic.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  Transform toGeographic(OGRCreateCoordinateTransformation(&sourceCrs, &geographic));
  const Point sourceCentre = PixelToCrs(source, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  Point centre = sourceCentre;
  if (!toGeographic || !toGeographic->Transform(1, &centre.x, &centre.y))
    return ImportFailure("Cannot find the longitude and latitude of the square's centre in " + source.path);

  OGRSpatialReference local;
  local.CopyGeogCSFrom(&sourceCrs);
  local.SetProjCS("Local transverse Mercator");
  local.SetTM(centre.y, centre.x, 1.0, 0.0, 0.0);
  local.SetLinearUnits(SRS_UL_METER, 1.0);
  local.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
  Transform toLocal(OGRCreateCoordinateTransformation(&sourceCrs, &local));

  // The rectangle's edges bulge once projected: the square must fit inside every edge point.
  constexpr int kPointsPerEdge = 33;
  double west = -HUGE_VAL, east = HUGE_VAL, south = -HUGE_VAL, north = HUGE_VAL;
  for (int i = 0; i < kPointsPerEdge; ++i) {
    const double t = static_cast<double>(i) / (kPointsPerEdge - 1);
    const double column = rect.left + t * (rect.right - rect.left), row = rect.top + t * (rect.bottom - rect.top);
    std::vector<Point> edges = {PixelToCrs(source, rect.left, row), PixelToCrs(source, rect.right, row),
                                PixelToCrs(source, column, rect.top), PixelToCrs(source, column, rect.bottom)};
    for (Point& point : edges) {
      if (!toLocal || !toLocal->Transform(1, &point.x, &point.y))
        return ImportFailure("Cannot project " + source.path + " to a local transverse Mercator projection");
    }
    west = std::max(west, edges[0].x);
    east = std::min(east, edges[1].x);
    north = std::min(north, std::max(edges[2].y, edges[3].y));
    south = std::max(south, std::min(edges[2].y, edges[3].y));
  }
  if (!(east > west && north > south)) return ImportFailure("The window is too small to project");

  TerrainSquare square;
  char* wkt = nullptr;
  local.exportToWkt(&wkt);
  square.crsWkt = wkt;
  CPLFree(wkt);
  square.reprojected = true;
  square.groundWidthMetres = std::min(east - west, north - south);
  const double middleX = (west + east) / 2, middleY = (south + north) / 2, half = square.groundWidthMetres / 2;
  square.minX = middleX - half;
  square.maxX = middleX + half;
  square.minY = middleY - half;
  square.maxY = middleY + half;
  // Source sample spacing at the centre, the finer way, sets the default size.
  const GroundScale scale = GroundScaleAt(source, sourceCentre.y);
  const auto& g = source.geoTransform;
  const double metresPerColumn = std::hypot(g[1] * scale.metresPerUnitX, g[4] * scale.metresPerUnitY);
  const double metresPerRow = std::hypot(g[2] * scale.metresPerUnitX, g[5] * scale.metresPerUnitY);
  square.sourceSamplesAcross = square.groundWidthMetres / std::min(metresPerColumn, metresPerRow) + 1;
  say("Projected to a local transverse Mercator centred on latitude " + FormatFixed(centre.y, 4) + ", longitude " +
      FormatFixed(centre.x, 4) + "; square " + FormatFixed(square.groundWidthMetres, 1) + " m wide");
  return square;
}

int GridExponentOf(int side) {
  for (int n = 1; (1 << n) + 1 <= kMaxOutputSide; ++n) {
    if ((1 << n) + 1 == side) return n;
  }
  return -1;
}

}  // namespace

Result<TerrainSquare> ChooseSquare(const ElevationSource& source, const ImportOptions& options,
                                   const DecisionLog& say) {
  Result<PixelRect> rect = ClippedRect(source, options, say);
  if (!rect.ok()) return rect.failure();
  return options.project ? SquareInLocalProjection(source, rect.value(), say)
                         : SquareInSourceCrs(source, rect.value(), say);
}

Result<int> ChooseSide(const TerrainSquare& square, std::optional<int> requested, const DecisionLog& say) {
  if (requested) {
    if (GridExponentOf(*requested) < 0)
      return ImportFailure("--size " + std::to_string(*requested) + " is not 2^n + 1 from 3 to " +
                           std::to_string(kMaxOutputSide));
    say("Size " + std::to_string(*requested) + " x " + std::to_string(*requested) + " (--size)");
    return *requested;
  }
  // A hair of tolerance so that a source side of exactly 2^n + 1 samples keeps its side.
  const double across = square.sourceSamplesAcross - 1e-6;
  int side = 3;
  while (side < across && side < kMaxOutputSide) side = 2 * side - 1;
  const std::string source = FormatFixed(square.sourceSamplesAcross, 0);
  say("Size " + std::to_string(side) + " x " + std::to_string(side) +
      (side < across ? " (capped; the source has " + source + " samples across)"
                     : " (the smallest 2^n + 1 not below the source's " + source + " samples across)"));
  return side;
}
