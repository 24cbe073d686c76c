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
    return ImportFailure("--exaggerate needs a positive factor");
  if (options.texture && SameFile(*options.texture, options.output))
    return ImportFailure("The texture and the height field need different files");
  if (SameFile(options.input, options.output)) return ImportFailure("The output would overwrite the input");
  return {};
}

struct StagedPaths {
  std::string heightField, sidecar;
  std::optional<std::string> texture;
};

// Claimed before any work so that an unwritable destination fails at once. The height field,
// staged first, is renamed into place last: it is what a user looks for.
Result<StagedPaths> StageFiles(StagedOutputs& staged, const ImportOptions& options, const std::string& sidecar) {
  StagedPaths paths;
  Result<std::string> heightField = staged.Stage(options.output);
  if (!heightField.ok()) return heightField.failure();
  paths.heightField = heightField.value();
  Result<std::string> sidecarPath = staged.Stage(sidecar);
  if (!sidecarPath.ok()) return sidecarPath.failure();
  paths.sidecar = sidecarPath.value();
  if (options.texture) {
    Result<std::string> texture = staged.Stage(*options.texture);
    if (!texture.ok()) return texture.failure();
    paths.texture = texture.value();
  }
  return paths;
}

}  // namespace

Result<ImportSummary> RunImport(const ImportOptions& options, std::FILE* progressOut, const DecisionLog& say) {
  if (Status checked = CheckOptionValues(options); !checked.ok()) return checked.failure();
  ImportSummary summary;
  summary.heightField = options.output;
  summary.sidecar = SidecarPathFor(options.output);
  summary.texture = options.texture;

  StagedOutputs staged;
  Result<StagedPaths> paths = StageFiles(staged, options, summary.sidecar);
  if (!paths.ok()) return paths.failure();

  Result<ElevationSource> source = OpenElevationSource(options, say);
  if (!source.ok()) return source.failure();
  Result<TerrainSquare> square = ChooseSquare(source.value(), options, say);
  if (!square.ok()) return square.failure();
  Result<int> side = ChooseSide(square.value(), options.size, say);
  if (!side.ok()) return side.failure();
  std::optional<int> textureSide;
  if (options.texture) {
    Result<int> chosen = ChooseTextureSide(options.textureSize, side.value(), say);
    if (!chosen.ok()) return chosen.failure();
    textureSide = chosen.value();
  }

  Result<HeightGrid> grid =
      ResampleHeights(source.value(), square.value(), side.value(), options.resample, progressOut, say);
  if (!grid.ok()) return grid.failure();
  Result<QuantizedHeights> quantized = QuantizeHeights(grid.value(), options.minHeight, options.maxHeight, say);
  if (!quantized.ok()) return quantized.failure();
  const QuantizedHeights& heights = quantized.value();
  // 65535 spans the vertical scale and the square one unit, so the scale is the height range in
  // ground widths.
  const double groundWidth = square.value().groundWidthMetres;
  summary.verticalScale = (heights.highMetres - heights.lowMetres) / groundWidth * options.exaggerate;
  if (options.exaggerate != 1.0) say("Exaggerated " + FormatDecimal(options.exaggerate) + " times");
  say("Vertical scale " + FormatDecimal(summary.verticalScale));

  if (options.texture) {
    Result<Texture> texture =
        options.drape ? DrapeImage(*options.drape, square.value(), *textureSide, options.resample, progressOut, say)
                      : MakeHillshade(grid.value(), groundWidth, options.exaggerate, *textureSide, progressOut, say);
    if (!texture.ok()) return texture.failure();
    if (Status written = WriteTexturePng(*paths.value().texture, *options.texture, texture.value()); !written.ok())
      return written.failure();
  }
  const SidecarContents sidecar{summary.verticalScale, options.exaggerate, heights.lowMetres, heights.highMetres,
                                groundWidth,           side.value(),       options.input};
  if (Status written = WriteSidecar(paths.value().sidecar, summary.sidecar, sidecar); !written.ok())
    return written.failure();
  if (Status written = WriteHeightFieldPng(paths.value().heightField, options.output, side.value(), heights.samples);
      !written.ok())
    return written.failure();
  if (Status committed = staged.Commit(); !committed.ok()) return committed.failure();

  say("Wrote " + options.output + " (" + std::to_string(side.value()) + " x " + std::to_string(side.value()) +
      " 16-bit grey), " + summary.sidecar + (options.texture ? " and " + *options.texture : ""));
  // quorvane reads the scale after a texture only.
  say(options.texture
          ? "Fly it: quorvane " + options.output + " " + *options.texture + " " + FormatDecimal(summary.verticalScale)
          : "Fly it: quorvane " + options.output + " (--texture makes the texture that the scale follows)");
  return summary;
}
