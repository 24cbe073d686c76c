#include "terrain/texture.h"

#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "support/death_output.h"
#include "support/png_fixtures.h"
#include "support/temp_dir.h"

namespace {

class ShadingTextureTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeShadingHeights();
    DestroyTexture();
  }

  // Shading texture of a side x side field, all samples `level` except those listed.
  void Shade(int side, HeightSample level, std::vector<std::pair<int, HeightSample>> raised = {}) {
    std::vector<HeightSample> samples(side * side, level);
    for (auto [index, value] : raised) samples[index] = value;
    BuildShadingHeights(samples.data(), side - 1, 0.1f);
    MakeShadingTexture();
  }
  int Texel(int column, int row) const { return CurrentTexture.texels[column + row * CurrentTexture.side]; }
};

TEST_F(ShadingTextureTest, ShadingHeightsScaleSamplesByTheInverseOfTheVerticalScale) {
  const HeightSample samples[4] = {0, 1, 2, 65535};
  BuildShadingHeights(samples, 1, 0.5f);
  EXPECT_EQ(ShadingHeights.N, 1);
  EXPECT_EQ(ShadingHeights.heights[0], 0.0f);
  EXPECT_FLOAT_EQ(ShadingHeights.heights[1], 131070.0f);
  EXPECT_FLOAT_EQ(ShadingHeights.heights[3], 65535.0f * 131070.0f);
}

TEST_F(ShadingTextureTest, FlatFieldGivesOneGreyTexelPerCellOf168) {
  Shade(9, 30000);
  EXPECT_EQ(CurrentTexture.side, 8);
  EXPECT_EQ(CurrentTexture.channels, 1);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(CurrentTexture.texels[i], 168) << i;
}

TEST_F(ShadingTextureTest, SlopeDirectionDecidesTheShade) {
  // Rising towards +x and +y: the cell faces away from the light.
  Shade(2, 1000, {{3, 1001}});
  EXPECT_EQ(Texel(0, 0), 51);
  // Falling towards +x and +y: lit more than a flat cell.
  Shade(2, 1000, {{0, 1001}});
  EXPECT_GT(Texel(0, 0), 168);
  EXPECT_LE(Texel(0, 0), 255);
}

TEST_F(ShadingTextureTest, RaisedSampleShadesExactlyTheFourCellsAroundIt) {
  const int side = 9;
  const int x = 3;
  const int y = 2;
  Shade(side, 500, {{x + y * side, 520}});
  for (int row = 0; row < 8; ++row)
    for (int column = 0; column < 8; ++column) {
      const bool touches = (column == x - 1 || column == x) && (row == y - 1 || row == y);
      if (touches) {
        EXPECT_NE(Texel(column, row), 168) << column << "," << row;
      } else {
        EXPECT_EQ(Texel(column, row), 168) << column << "," << row;
      }
    }
  // The cell whose far corner is the peak rises towards the light direction: it faces away.
  EXPECT_EQ(Texel(x - 1, y - 1), 51);
}

void LoadPrintingToStderr(const std::string& path) {
  StdoutToStderr();
  LoadTexture(path.c_str());
}

class TextureFileTest : public ::testing::Test {
 protected:
  void TearDown() override { DestroyTexture(); }
  TempDir dir;
};

TEST_F(TextureFileTest, SquarePowerOfTwoImagesAreTaken) {
  const std::string path = dir.File("rgb.png");
  std::vector<uint8_t> bytes(512 * 512 * 3);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 253);
  ASSERT_TRUE(WriteRawPng(path, 512, 512, PNG_COLOR_TYPE_RGB, 8, bytes));
  testing::internal::CaptureStdout();
  LoadTexture(path.c_str());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading texture map " + path + ".\n");
  EXPECT_EQ(CurrentTexture.side, 512);
  EXPECT_EQ(CurrentTexture.channels, 3);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), CurrentTexture.texels));

  ASSERT_TRUE(WritePatternPng(path, 1, 1, PNG_COLOR_TYPE_GRAY, 8));
  testing::internal::CaptureStdout();
  LoadTexture(path.c_str());
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(CurrentTexture.side, 1);
  EXPECT_EQ(CurrentTexture.channels, 1);
}

TEST(TextureSideTest, OnlySquarePowersOfTwo) {
  for (int side : {1, 2, 512, 16384, 1 << 30}) EXPECT_TRUE(TextureSideAccepted(side, side)) << side;
  for (int side : {0, 3, 500, 513, -512, -2147483647 - 1}) EXPECT_FALSE(TextureSideAccepted(side, side)) << side;
  EXPECT_FALSE(TextureSideAccepted(512, 256));
  EXPECT_FALSE(TextureSideAccepted(256, 512));
}

using TextureFileDeathTest = TextureFileTest;

TEST_F(TextureFileDeathTest, BadDimensionsEndTheProgram) {
  for (auto [width, height] : {std::pair{512, 256}, std::pair{500, 500}, std::pair{3, 3}}) {
    const std::string path = dir.File("bad.png");
    ASSERT_TRUE(WritePatternPng(path, width, height, PNG_COLOR_TYPE_RGB, 8));
    const std::string dimensions = std::to_string(width) + " x " + std::to_string(height);
    EXPECT_EXIT(LoadPrintingToStderr(path), ::testing::ExitedWithCode(1),
                ExactOutput("Loading texture map " + path + ".\n" + path + " has bad image dimensions " +
                            dimensions + "\n"));
  }
}

TEST_F(TextureFileDeathTest, OtherLayoutsAndMissingFilesAreUnreadable) {
  for (int colorType : {PNG_COLOR_TYPE_RGB_ALPHA, PNG_COLOR_TYPE_PALETTE, PNG_COLOR_TYPE_GRAY_ALPHA}) {
    const std::string path = dir.File("layout.png");
    ASSERT_TRUE(WritePatternPng(path, 64, 64, colorType, 8));
    EXPECT_EXIT(LoadPrintingToStderr(path), ::testing::ExitedWithCode(1),
                ExactOutput("Loading texture map " + path + ".\nError reading " + path + "\n"));
  }
  const std::string missing = dir.File("missing.png");
  EXPECT_EXIT(LoadPrintingToStderr(missing), ::testing::ExitedWithCode(1),
              ExactOutput("Loading texture map " + missing + ".\nError reading " + missing + "\n"));
}

}  // namespace
