#include "terrain/texture.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <cmath>
#include <utility>
#include <vector>

#include "terrain/png_io.h"

bool TextureSideAccepted(int width, int height) {
  return width == height && width > 0 && (width & (width - 1)) == 0;
}

Result<TextureImage> LoadTexture(const char* path, LogSink& console) {
  console.Printf("Loading texture map %s.\n", path);
  int width = 0;
  int height = 0;
  int channels = 0;
  unsigned char* texels = nullptr;
  if (!ReadImagePng(path, kMaxTextureSide, &width, &height, &channels, &texels))
    return Failure{Format("Error reading %s\n", path)};
  TextureImage image{std::unique_ptr<unsigned char[]>(texels), width, channels};
  if (!TextureSideAccepted(width, height))
    return Failure{Format("%s has bad image dimensions %d x %d\n", path, width, height)};
  return image;
}

TextureImage MakeShadingTexture(const HeightSample* samples, int N, float verticalScale) {
  const int row = N + 1;
  // Heights for the shading only: the samples times 65535 / scale, so that even small steps
  // between neighbours outweigh the spacing and the shade follows the slope's direction.
  const size_t count = static_cast<size_t>(row) * row;
  const float factor = 65535.0f / verticalScale;
  std::vector<float> heights(count);
  for (size_t i = 0; i < count; ++i) heights[i] = samples[i] * factor;
  const float* H = heights.data();
  const float c = 1.0f / static_cast<float>(N);
  auto texels = std::make_unique<unsigned char[]>(static_cast<size_t>(N) * N);
  for (int i = 0; i < N; ++i) {
    for (int j = 0; j < N; ++j) {
      // The cell's two diagonals.
      const float e = H[(j + 1) + (i + 1) * row] - H[j + i * row];
      const float f = H[(j + 1) + i * row] - H[j + (i + 1) * row];
      const float g = c * (e + f);
      const float k = c * e - c * f;
      const float h = -2.0f * c * c;
      const float length = std::sqrt(h * h + k * k + g * g);
      double light = (-(g / length) - (k / length) - (h / length)) * 0.5773338721782807;
      if (!(light >= 0.0)) light = 0.0;  // facing away, or not a number
      texels[j + static_cast<size_t>(i) * N] = static_cast<unsigned char>((light * 0.8 + 0.2) * 255.0);
    }
  }
  return {std::move(texels), N, 1};
}

namespace {

// Halvings of the texture's side until the GL takes it.
int LevelsAboveMax(int side, int maxSide) {
  int skipped = 0;
  while ((side >> skipped) > maxSide && (side >> skipped) > 1) ++skipped;
  return skipped;
}

// Each mip level is scaled from the one before, alternating between two scratch images. The
// first skipped levels are made but not uploaded: the chain starts at the first that fits.
void UploadCompressedLevels(const TextureImage& image, GLenum internalFormat, GLenum format, int skipped) {
  const int side = image.side;
  const size_t channels = static_cast<size_t>(image.channels);
  if (skipped == 0)
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), side, side, 0, format, GL_UNSIGNED_BYTE,
                 image.texels.get());
  const size_t half = static_cast<size_t>(side / 2);
  const size_t quarter = static_cast<size_t>(side / 4);
  std::vector<unsigned char> larger(half * half * channels);
  std::vector<unsigned char> smaller(quarter * quarter * channels);
  const unsigned char* previous = image.texels.get();
  int level = 1;
  for (int size = side / 2; size >= 1; size /= 2, ++level) {
    unsigned char* destination = level % 2 == 1 ? larger.data() : smaller.data();
    gluScaleImage(format, 2 * size, 2 * size, GL_UNSIGNED_BYTE, previous, size, size, GL_UNSIGNED_BYTE,
                  destination);
    if (level >= skipped)
      glTexImage2D(GL_TEXTURE_2D, level - skipped, static_cast<GLint>(internalFormat), size, size, 0, format,
                   GL_UNSIGNED_BYTE, destination);
    previous = destination;
  }
}

}  // namespace

int MaxTextureSide() {
  GLint side = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
  return side;
}

Status UploadTexture(const TextureImage& image, bool compressed, int maxSide) {
  const bool grey = image.channels == 1;
  const GLenum format = grey ? GL_LUMINANCE : GL_RGB;
  glBindTexture(GL_TEXTURE_2D, 1);
  // Rows of the small levels (and of RGB images) are not multiples of 4 bytes: read and write
  // them tightly packed, as they are stored.
  GLint unpackAlignment = 4;
  GLint packAlignment = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpackAlignment);
  glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // A texture larger than the GL takes is scaled down by halves on both paths (the compressed
  // one would otherwise be refused by the GL and the terrain drawn untextured).
  const int skipped = LevelsAboveMax(image.side, maxSide);
  Status status;
  if (compressed) {
    UploadCompressedLevels(image, grey ? GL_COMPRESSED_LUMINANCE_ARB : GL_COMPRESSED_RGB_ARB, format, skipped);
  } else {
    const int side = image.side >> skipped;
    std::vector<unsigned char> scaled;
    const unsigned char* texels = image.texels.get();
    if (skipped > 0) {
      scaled.resize(static_cast<size_t>(side) * side * static_cast<size_t>(image.channels));
      gluScaleImage(format, image.side, image.side, GL_UNSIGNED_BYTE, texels, side, side, GL_UNSIGNED_BYTE,
                    scaled.data());
      texels = scaled.data();
    }
    if (gluBuild2DMipmaps(GL_TEXTURE_2D, grey ? GL_LUMINANCE8 : 3, side, side, format, GL_UNSIGNED_BYTE, texels) != 0)
      status = Failure{"glu Error building Mipmaps\n"};
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpackAlignment);
  glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  return status;
}
