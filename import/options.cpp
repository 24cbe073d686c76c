#include "import/options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <vector>

namespace {

constexpr char kDescription[] =
    "Converts an elevation raster that GDAL reads (GeoTIFF, SRTM .hgt, ASCII grid, ...) into a "
    "Quorvane height field: a 16-bit grey PNG of side 2^n + 1, and prints the vertical scale that "
    "flies it in real proportions.";

constexpr char kFooter[] =
    "Prints one line per decision, then \"Vertical scale S\"; writes S also to OUTPUT's sidecar\n"
    "(terrain.png -> terrain.scale.txt). Fly with: quorvane OUTPUT.png TEXTURE.png S\n"
    "Exit status: 0 done, 1 the import could not be done (nothing is left behind), 2 bad options.";

const std::vector<std::string> kResamplings = {"near", "bilinear", "cubic", "cubicspline", "lanczos", "average", "rms",
                                               "mode", "min",      "max",   "med",         "q1",      "q3",      "sum"};

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
  CLI::App app(kDescription, "quorvane-import");
  app.footer(kFooter);
  app.get_formatter()->column_width(34);

  ImportOptions options;
  std::vector<double> window;
  std::vector<double> bbox;
  std::string texture, drape;
  int size = 0, textureSize = 0;
  double minHeight = 0.0, maxHeight = 0.0;

  app.add_option("INPUT", options.input, "Elevation raster (any format GDAL reads)")->required();
  app.add_option("OUTPUT", options.output, "Height field to write (16-bit grey PNG)")->required();
  app.add_option("--band", options.band, "Band holding the heights (default 1)");
  auto* windowOption =
      app.add_option("--window", window, "Square to take: upper-left X Y and SIDE (default: the largest square)")
          ->expected(3)
          ->type_name("X Y SIDE");
  std::string windowUnits = "pixels";
  app.add_option("--window-units", windowUnits,
                 "--window in source samples (pixels, default) or in the source's CRS units (crs)")
      ->check(CLI::IsMember({"pixels", "crs"}))
      ->needs(windowOption);
  app.add_option("--bbox", bbox, "Area in the source's CRS; the largest square inside it is taken")
      ->expected(4)
      ->type_name("XMIN YMIN XMAX YMAX")
      ->excludes(windowOption);
  app.add_flag("--project", options.project,
               "Warp to a local transverse Mercator projection centred on the square (default for a geographic "
               "source: measure degrees in metres at the centre latitude)");
  app.add_option("--resample", options.resample, "GDAL resampling (default cubic)")->check(CLI::IsMember(kResamplings));
  app.add_option("--size", size, "Output side 2^n + 1, at most 16385 (default: the smallest not below the source's)");
  app.add_option("--min", minHeight, "Height in metres mapped to 0 (default: the lowest sample)");
  app.add_option("--max", maxHeight, "Height in metres mapped to 65535 (default: the highest sample)");
  app.add_option("--exaggerate", options.exaggerate, "Multiplies the printed vertical scale (default 1)");
  auto* textureOption =
      app.add_option("--texture", texture, "Also write an 8-bit texture PNG (a hillshade unless --drape)");
  app.add_option("--texture-size", textureSize,
                 "Texture side, a power of two (default: the height field's, 1024 to 4096)")
      ->needs(textureOption);
  app.add_option("--drape", drape, "Georeferenced image (e.g. an orthophoto) warped onto the square as the texture")
      ->needs(textureOption);

  ParsedCommandLine parsed;
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    parsed.kind = ParsedCommandLine::Kind::kHelp;
    parsed.text = app.help();
    return parsed;
  } catch (const CLI::ParseError& error) {
    std::string text = error.what();
    std::replace(text.begin(), text.end(), '\n', ' ');
    parsed.text = "quorvane-import: " + text + " (see --help)";
    return parsed;
  }
  options.windowUnits = windowUnits == "crs" ? WindowUnits::kCrs : WindowUnits::kPixels;
  if (!window.empty()) options.window = std::array<double, 3>{window[0], window[1], window[2]};
  if (!bbox.empty()) options.bbox = std::array<double, 4>{bbox[0], bbox[1], bbox[2], bbox[3]};
  if (app.count("--size") > 0) options.size = size;
  if (app.count("--min") > 0) options.minHeight = minHeight;
  if (app.count("--max") > 0) options.maxHeight = maxHeight;
  if (!texture.empty()) options.texture = texture;
  if (app.count("--texture-size") > 0) options.textureSize = textureSize;
  if (!drape.empty()) options.drape = drape;
  parsed.kind = ParsedCommandLine::Kind::kImport;
  parsed.options = std::move(options);
  return parsed;
}
