#include "import/importer.h"

#include <cmath>
#include <filesystem>

#include "import/heights.h"
#include "import/output_files.h"
#include "import/source.h"
#include "import/square.h"
#include "import/texture.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  return std::filesystem::weakly_canonical(a) == std::filesystem::weakly_canonical(b);
}

Status CheckOptionValues(const ImportOptions& options) {
  if (!(options.exaggerate > 0.0) || !std::isfinite(options.exaggerate))
    return ImportError{"--exaggerate needs a positive factor"};
  if (options.texture && SameFile(*options.texture, options.output))
    return ImportError{"The texture and the height field need different files"};
  if (SameFile(options.input, options.output)) return ImportError{"The output would overwrite the input"};
  return Succeeded();
}

struct StagedPaths {
  std::string heightField, sidecar;
  std::optional<std::string> texture;
};

// Claimed before any work so that an unwritable destination fails at once. The height field,
// staged first, is renamed into place last: it is what a user looks for.
Outcome<StagedPaths> StageFiles(StagedOutputs& staged, const ImportOptions& options, const std::string& sidecar) {
  StagedPaths paths;
  Outcome<std::string> heightField = staged.Stage(options.output);
  if (!heightField.ok()) return heightField.TakeError();
  paths.heightField = heightField.value();
  Outcome<std::string> sidecarPath = staged.Stage(sidecar);
  if (!sidecarPath.ok()) return sidecarPath.TakeError();
  paths.sidecar = sidecarPath.value();
  if (options.texture) {
    Outcome<std::string> texture = staged.Stage(*options.texture);
    if (!texture.ok()) return texture.TakeError();
    paths.texture = texture.value();
  }
  return paths;
}

}  // namespace

Outcome<ImportSummary> RunImport(const ImportOptions& options, std::FILE* progressOut, const DecisionLog& say) {
  if (Status checked = CheckOptionValues(options); !checked.ok()) return checked.TakeError();
  ImportSummary summary;
  summary.heightField = options.output;
  summary.sidecar = SidecarPathFor(options.output);
  summary.texture = options.texture;

  StagedOutputs staged;
  Outcome<StagedPaths> paths = StageFiles(staged, options, summary.sidecar);
  if (!paths.ok()) return paths.TakeError();

  Outcome<ElevationSource> source = OpenElevationSource(options, say);
  if (!source.ok()) return source.TakeError();
  Outcome<TerrainSquare> square = ChooseSquare(source.value(), options, say);
  if (!square.ok()) return square.TakeError();
  Outcome<int> side = ChooseSide(square.value(), options.size, say);
  if (!side.ok()) return side.TakeError();
  std::optional<int> textureSide;
  if (options.texture) {
    Outcome<int> chosen = ChooseTextureSide(options.textureSize, side.value(), say);
    if (!chosen.ok()) return chosen.TakeError();
    textureSide = chosen.value();
  }

  Outcome<HeightGrid> grid = ResampleHeights(source.value(), square.value(), side.value(), options.resample,
                                             progressOut, say);
  if (!grid.ok()) return grid.TakeError();
  Outcome<QuantizedHeights> quantized = QuantizeHeights(grid.value(), options.minHeight, options.maxHeight, say);
  if (!quantized.ok()) return quantized.TakeError();
  const QuantizedHeights& heights = quantized.value();
  // 65535 spans the vertical scale and the square one unit, so the scale is the height range in
  // ground widths.
  const double groundWidth = square.value().groundWidthMetres;
  summary.verticalScale = (heights.highMetres - heights.lowMetres) / groundWidth * options.exaggerate;
  if (options.exaggerate != 1.0) say("Exaggerated " + FormatDecimal(options.exaggerate) + " times");
  say("Vertical scale " + FormatDecimal(summary.verticalScale));

  if (options.texture) {
    Outcome<Texture> texture =
        options.drape ? DrapeImage(*options.drape, square.value(), *textureSide, options.resample, progressOut, say)
                      : MakeHillshade(grid.value(), groundWidth, options.exaggerate, *textureSide, progressOut, say);
    if (!texture.ok()) return texture.TakeError();
    if (Status written = WriteTexturePng(*paths.value().texture, *options.texture, texture.value()); !written.ok())
      return written.TakeError();
  }
  const SidecarContents sidecar{summary.verticalScale, options.exaggerate, heights.lowMetres,
                                heights.highMetres,    groundWidth,        side.value(),
                                options.input};
  if (Status written = WriteSidecar(paths.value().sidecar, summary.sidecar, sidecar); !written.ok())
    return written.TakeError();
  if (Status written = WriteHeightFieldPng(paths.value().heightField, options.output, side.value(), heights.samples);
      !written.ok())
    return written.TakeError();
  if (Status committed = staged.Commit(); !committed.ok()) return committed.TakeError();

  say("Wrote " + options.output + " (" + std::to_string(side.value()) + " x " + std::to_string(side.value()) +
      " 16-bit grey), " + summary.sidecar + (options.texture ? " and " + *options.texture : ""));
  // quorvane reads the scale after a texture only.
  say(options.texture ? "Fly it: quorvane " + options.output + " " + *options.texture + " " +
                            FormatDecimal(summary.verticalScale)
                      : "Fly it: quorvane " + options.output + " (--texture makes the texture that the scale follows)");
  return summary;
}
