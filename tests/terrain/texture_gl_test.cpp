// The texture upload and the terrain part of start-up, in a real GL context.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/gl_context.h"
#include "support/png_fixtures.h"
#include "support/temp_dir.h"
#include "support/test_terrain.h"
#include "terrain/png_io.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace {

class TextureUploadTest : public GLTest {
 protected:
  // A side x side image of the given channels whose texels are texel(x, y, channel).
  template <class Texel>
  static TextureImage Image(int side, int channels, Texel texel) {
    TextureImage image{std::make_unique<unsigned char[]>(static_cast<size_t>(side) * side * channels), side,
                       channels};
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        for (int c = 0; c < channels; ++c) image.texels[(x + y * side) * channels + c] = texel(x, y, c);
    return image;
  }

  static std::vector<unsigned char> Texels(const TextureImage& image) {
    return {image.texels.get(), image.texels.get() + static_cast<size_t>(image.side) * image.side * image.channels};
  }

  static std::vector<unsigned char> ReadLevel(int level, int size, int channels) {
    std::vector<unsigned char> texels(static_cast<size_t>(size) * size * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, channels == 1 ? GL_LUMINANCE : GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return texels;
  }

  static GLint LevelWidth(int level) {
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
  }

  // Texture object 1 is bound with every level down to 1 x 1, sampled through its mipmaps;
  // the caller's pixel-store state is left as it was.
  static void ExpectCompleteMipmappedTexture(int side) {
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ(value, 1);
    int level = 0;
    for (int size = side; size >= 1; size /= 2, ++level) EXPECT_EQ(LevelWidth(level), size) << "level " << level;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_NEAREST);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 4);
    glGetIntegerv(GL_PACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }

  // Block compression keeps a texel to within a fraction of its 4 x 4 block's range.
  static double BlockTolerance(const std::vector<double>& level, int size, int channels, int x, int y, int c) {
    double low = 255;
    double high = 0;
    for (int by = y & ~3; by < (y & ~3) + 4; ++by)
      for (int bx = x & ~3; bx < (x & ~3) + 4; ++bx) {
        low = std::min(low, level[(bx + by * size) * channels + c]);
        high = std::max(high, level[(bx + by * size) * channels + c]);
      }
    return 4 + (high - low) / 4;
  }
};

TEST_F(TextureUploadTest, MipmapBuildKeepsLevelZeroExactly) {
  for (int channels : {1, 3}) {
    for (int side : {2, 8, 64}) {
      const TextureImage image = Image(
          side, channels, [](int x, int y, int c) { return static_cast<unsigned char>(x * 37 + y * 11 + c * 5); });
      ASSERT_TRUE(UploadTexture(image, false, 1 << 14).ok());
      EXPECT_EQ(ReadLevel(0, side, channels), Texels(image)) << channels << " channels, side " << side;
      ExpectCompleteMipmappedTexture(side);
    }
  }
}

TEST_F(TextureUploadTest, CompressedUploadScalesEveryLevelFromTheOneBefore) {
  for (int channels : {1, 3}) {
    for (int side : {1, 4, 32}) {
      // Smooth ramps along x + y, which block compression keeps to within a few steps.
      auto ramp = [](int x, int y, int c) { return c == 1 ? 250 - 3 * (x + y) : 3 * (x + y) + 20 * c; };
      const TextureImage image =
          Image(side, channels, [&](int x, int y, int c) { return static_cast<unsigned char>(ramp(x, y, c)); });
      std::vector<double> level(static_cast<size_t>(side) * side * channels);
      for (size_t i = 0; i < level.size(); ++i) level[i] = image.texels[i];
      ASSERT_TRUE(UploadTexture(image, true, 1 << 14).ok());
      ExpectCompleteMipmappedTexture(side);
      for (int size = side, index = 0; size >= 1; size /= 2, ++index) {
        if (size < side) {
          // The exact 2 x 2 means of the level above.
          std::vector<double> coarser(static_cast<size_t>(size) * size * channels);
          for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
              for (int c = 0; c < channels; ++c) {
                auto at = [&](int fx, int fy) { return level[(fx + fy * 2 * size) * channels + c]; };
                coarser[(x + y * size) * channels + c] =
                    (at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1)) / 4;
              }
          level = coarser;
        }
        // The GL compresses 4 x 4 blocks; below that its encoder is too coarse to compare.
        if (size < 4) continue;
        const std::vector<unsigned char> stored = ReadLevel(index, size, channels);
        for (int y = 0; y < size; ++y)
          for (int x = 0; x < size; ++x)
            for (int c = 0; c < channels; ++c) {
              const size_t i = (x + y * size) * channels + c;
              ASSERT_NEAR(stored[i], level[i], BlockTolerance(level, size, channels, x, y, c))
                  << channels << " channels, side " << side << ", level " << index << ", texel " << x << "," << y;
            }
      }
    }
  }
}

// A texture wider than the GL takes is scaled down by halves on both paths: the chain starts at
// the first level that fits (the compressed path would otherwise upload nothing usable).
TEST_F(TextureUploadTest, TextureAboveTheGLsLimitIsScaledDownToFit) {
  for (bool compressed : {false, true}) {
    const TextureImage image = Image(64, 1, [](int, int, int) { return static_cast<unsigned char>(200); });
    ASSERT_TRUE(UploadTexture(image, compressed, 16).ok());
    ExpectCompleteMipmappedTexture(16);
    for (unsigned char texel : ReadLevel(0, 16, 1)) ASSERT_NEAR(texel, 200, 4) << "compressed " << compressed;
  }
}

TEST_F(TextureUploadTest, FailedMipmapBuildFails) {
  TextureImage image = Image(4, 1, [](int, int, int) { return static_cast<unsigned char>(0); });
  image.side = 0;
  const Status uploaded = UploadTexture(image, false, 1 << 14);
  ASSERT_FALSE(uploaded.ok());
  EXPECT_EQ(uploaded.failure().message, "glu Error building Mipmaps\n");
  EXPECT_EQ(uploaded.failure().channel, Channel::kConsole);
  EXPECT_EQ(uploaded.failure().exitStatus, 1);
}

// Start-up's terrain: the file's samples, the real metric, the texture uploaded and bound; the
// loaders' failures come back with their lines.
TEST_F(TextureUploadTest, PrepareTerrainMatchesItsParts) {
  TempDir dir;
  const std::string heights = dir.File("heights.png");
  const std::string texture = dir.File("rock.png");
  const std::string missing = dir.File("missing.png");
  const HeightField made = RoughField(5, 17);
  ASSERT_TRUE(WriteGrey16Png(heights.c_str(), 33, 33, made.Samples()));
  ASSERT_TRUE(WritePatternPng(texture, 8, 8, PNG_COLOR_TYPE_RGB, 8));

  glBindTexture(GL_TEXTURE_2D, 0);
  BufferLogSink console;
  Result<Terrain> terrain = PrepareTerrain({heights.c_str(), nullptr, 0.3f}, false, console, true);
  ASSERT_TRUE(terrain.ok()) << terrain.failure().message;
  EXPECT_EQ(console.console, "Pre-computing error metric\n");
  const HeightField& field = terrain.value().field;
  EXPECT_EQ(field.n, 5);
  EXPECT_EQ(field.verticalScale, 0.3f);
  EXPECT_TRUE(std::equal(made.Samples(), made.Samples() + 33 * 33, field.Samples()));
  EXPECT_EQ(terrain.value().metric.values, ComputeErrorMetric(field, kTerrainErrorWeight).values);
  ExpectCompleteMipmappedTexture(32);
  EXPECT_EQ(ReadLevel(0, 32, 1), Texels(MakeShadingTexture(made.Samples(), 32, 0.3f)));

  console.console.clear();
  ASSERT_TRUE(PrepareTerrain({heights.c_str(), texture.c_str(), 0.1f}, true, console, false).ok());
  EXPECT_EQ(console.console, "Loading texture map " + texture + ".\n");
  ExpectCompleteMipmappedTexture(8);

  console.console.clear();
  terrain = PrepareTerrain({heights.c_str(), missing.c_str(), 0.1f}, false, console, true);
  ASSERT_FALSE(terrain.ok());
  EXPECT_EQ(terrain.failure().message, "Error reading " + missing + "\n");
  EXPECT_EQ(console.console, "Loading texture map " + missing + ".\n");  // no metric after a failure
  terrain = PrepareTerrain({missing.c_str(), nullptr, 0.1f}, false, console, true);
  ASSERT_FALSE(terrain.ok());
  EXPECT_EQ(terrain.failure().message, "Error reading " + missing);
}

}  // namespace
