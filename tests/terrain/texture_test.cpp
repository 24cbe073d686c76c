// The terrain texture as an image: the generated slope shading and the user's file.
#include "terrain/texture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <utility>
#include <vector>

#include "support/png_fixtures.h"
#include "support/temp_dir.h"

namespace {

// The shading texture of a side x side field, all samples `level` except those listed.
TextureImage Shade(int side, HeightSample level, std::vector<std::pair<int, HeightSample>> raised = {}) {
  std::vector<HeightSample> samples(side * side, level);
  for (auto [index, value] : raised) samples[index] = value;
  return MakeShadingTexture(samples.data(), side - 1, 0.1f);
}

int Texel(const TextureImage& image, int column, int row) { return image.texels[column + row * image.side]; }

TEST(ShadingTextureTest, FlatFieldGivesOneGreyTexelPerCellOf168) {
  const TextureImage image = Shade(9, 30000);
  EXPECT_EQ(image.side, 8);
  EXPECT_EQ(image.channels, 1);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(image.texels[i], 168) << i;
}

TEST(ShadingTextureTest, RaisedSampleShadesExactlyTheFourCellsAroundIt) {
  const int side = 9;
  const int x = 3;
  const int y = 2;
  const TextureImage image = Shade(side, 500, {{x + y * side, 520}});
  for (int row = 0; row < 8; ++row)
    for (int column = 0; column < 8; ++column) {
      const bool touches = (column == x - 1 || column == x) && (row == y - 1 || row == y);
      if (touches) {
        EXPECT_NE(Texel(image, column, row), 168) << column << "," << row;
      } else {
        EXPECT_EQ(Texel(image, column, row), 168) << column << "," << row;
      }
    }
  // The cell whose far corner is the peak rises towards +x and +y: it faces away from the light.
  // The cell whose near corner is the peak falls that way: it is lit more than a flat cell.
  EXPECT_EQ(Texel(image, x - 1, y - 1), 51);
  EXPECT_GT(Texel(image, x, y), 168);
}

class TextureFileTest : public ::testing::Test {
 protected:
  // Loads the file, expecting the announcement on the console and the failure's line for
  // standard output with status 1.
  void ExpectFailure(const std::string& path, const std::string& message) {
    BufferLogSink console;
    const Result<TextureImage> loaded = LoadTexture(path.c_str(), console);
    EXPECT_EQ(console.console, "Loading texture map " + path + ".\n");
    ASSERT_FALSE(loaded.ok()) << path;
    EXPECT_EQ(loaded.failure().message, message);
    EXPECT_EQ(loaded.failure().channel, Channel::kConsole);
    EXPECT_EQ(loaded.failure().exitStatus, 1);
  }

  TempDir dir;
};

TEST_F(TextureFileTest, SquarePowerOfTwoImagesAreTaken) {
  const std::string path = dir.File("rgb.png");
  std::vector<uint8_t> bytes(512 * 512 * 3);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 253);
  ASSERT_TRUE(WriteRawPng(path, 512, 512, PNG_COLOR_TYPE_RGB, 8, bytes));
  BufferLogSink console;
  Result<TextureImage> loaded = LoadTexture(path.c_str(), console);
  EXPECT_EQ(console.console, "Loading texture map " + path + ".\n");
  ASSERT_TRUE(loaded.ok()) << loaded.failure().message;
  EXPECT_EQ(loaded.value().side, 512);
  EXPECT_EQ(loaded.value().channels, 3);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), loaded.value().texels.get()));

  ASSERT_TRUE(WritePatternPng(path, 1, 1, PNG_COLOR_TYPE_GRAY, 8));
  loaded = LoadTexture(path.c_str(), console);
  ASSERT_TRUE(loaded.ok());
  EXPECT_EQ(loaded.value().side, 1);
  EXPECT_EQ(loaded.value().channels, 1);
}

TEST_F(TextureFileTest, BadDimensionsFail) {
  for (auto [width, height] : {std::pair{512, 256}, std::pair{500, 500}, std::pair{3, 3}}) {
    const std::string path = dir.File("bad.png");
    ASSERT_TRUE(WritePatternPng(path, width, height, PNG_COLOR_TYPE_RGB, 8));
    ExpectFailure(path, path + " has bad image dimensions " + std::to_string(width) + " x " +
                            std::to_string(height) + "\n");
  }
}

TEST_F(TextureFileTest, OtherLayoutsAndMissingFilesAreUnreadable) {
  for (int colorType : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY_ALPHA}) {
    const std::string path = dir.File("layout.png");
    ASSERT_TRUE(WritePatternPng(path, 64, 64, colorType, 8));
    ExpectFailure(path, "Error reading " + path + "\n");
  }
  ExpectFailure(dir.File("missing.png"), "Error reading " + dir.File("missing.png") + "\n");
}

}  // namespace
