#include "terrain/terrain.h"

#include <GL/gl.h>

#include <utility>

#include "terrain/height_field_loader.h"
#include "terrain/texture.h"

Result<Terrain> PrepareTerrain(const TerrainFiles& files, bool compressedTexture, LogSink& console,
                               bool announceMetric) {
  Result<HeightFieldImage> image = LoadHeightField(files.heightField);
  if (!image.ok()) return image.failure();
  const int n = image.value().n;
  {
    // The texels live on in the GL once uploaded.
    Result<TextureImage> texture =
        files.texture != nullptr ? LoadTexture(files.texture, console)
                                 : Result<TextureImage>(MakeShadingTexture(image.value().samples.get(), 1 << n,
                                                                           files.verticalScale));
    if (!texture.ok()) return texture.failure();
    const Status uploaded = UploadTexture(texture.value(), compressedTexture, MaxTextureSide());
    if (!uploaded.ok()) return uploaded.failure();
  }
  glBindTexture(GL_TEXTURE_2D, 1);
  HeightField field(std::move(image.value().samples), files.verticalScale, n);
  if (announceMetric) console.Printf("Pre-computing error metric\n");
  ErrorMetric metric = ComputeErrorMetric(field, kTerrainErrorWeight);
  return Terrain{std::move(field), std::move(metric)};
}
