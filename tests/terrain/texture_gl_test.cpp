#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "app/gl_state.h"
#include "support/death_output.h"
#include "support/gl_context.h"
#include "terrain/texture.h"

namespace {

class TextureUploadTest : public GLTest {
 protected:
  void TearDown() override {
    DestroyTexture();
    ResetGLState();
  }

  // Installs a side x side texture of the given channels with distinct texel values.
  std::vector<unsigned char> Install(int side, int channels) {
    std::vector<unsigned char> texels(static_cast<size_t>(side) * side * channels);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<unsigned char>((i * 37 + i / 5) & 0xff);
    DestroyTexture();
    CurrentTexture = {new unsigned char[texels.size()], side, channels};
    std::copy(texels.begin(), texels.end(), CurrentTexture.texels);
    return texels;
  }

  static GLenum Format(int channels) { return channels == 1 ? GL_LUMINANCE : GL_RGB; }

  std::vector<unsigned char> ReadLevel(int level, int size, int channels) {
    std::vector<unsigned char> texels(static_cast<size_t>(size) * size * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, Format(channels), GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return texels;
  }

  static GLint LevelWidth(int level) {
    GLint width = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
  }

  // Every level down to 1 x 1 exists, and the sampling state is the terrain's.
  void ExpectCompleteMipmappedTexture(int side) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 1);
    int level = 0;
    for (int size = side; size >= 1; size /= 2, ++level) EXPECT_EQ(LevelWidth(level), size) << "level " << level;
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR_MIPMAP_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);
    // The caller's pixel-store state is left as it was.
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
  TextureCompressionSupported = false;
  for (int channels : {1, 3}) {
    for (int side : {2, 8, 64}) {
      const std::vector<unsigned char> texels = Install(side, channels);
      UploadTexture();
      EXPECT_EQ(ReadLevel(0, side, channels), texels) << channels << " channels, side " << side;
      ExpectCompleteMipmappedTexture(side);
    }
  }
}

TEST_F(TextureUploadTest, CompressedUploadScalesEveryLevelFromTheOneBefore) {
  TextureCompressionSupported = true;
  for (int channels : {1, 3}) {
    for (int side : {1, 4, 32}) {
      // Smooth ramps along x + y, which block compression keeps to within a few steps.
      std::vector<double> level(static_cast<size_t>(side) * side * channels);
      std::vector<unsigned char> texels(level.size());
      for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
          for (int c = 0; c < channels; ++c) {
            const int value = c == 1 ? 250 - 3 * (x + y) : 3 * (x + y) + 20 * c;
            texels[(x + y * side) * channels + c] = static_cast<unsigned char>(value);
            level[(x + y * side) * channels + c] = value;
          }
      Install(side, channels);
      std::copy(texels.begin(), texels.end(), CurrentTexture.texels);
      UploadTexture();
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
    TextureCompressionSupported = compressed;
    std::vector<unsigned char> texels = Install(64, 1);
    std::fill(texels.begin(), texels.end(), 200);
    std::copy(texels.begin(), texels.end(), CurrentTexture.texels);
    UploadTexture(16);
    ExpectCompleteMipmappedTexture(16);
    for (unsigned char texel : ReadLevel(0, 16, 1)) ASSERT_NEAR(texel, 200, 4) << "compressed " << compressed;
  }
}

TEST_F(TextureUploadTest, FailedMipmapBuildEndsTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TextureCompressionSupported = false;
  Install(4, 1);
  CurrentTexture.side = 0;
  EXPECT_EXIT(
      {
        StdoutToStderr();
        UploadTexture();
      },
      ::testing::ExitedWithCode(1), ExactOutput("glu Error building Mipmaps\n"));
  CurrentTexture.side = 4;
}

}  // namespace
