#include "terrain/height_field_loader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <vector>

#include "support/death_output.h"
#include "support/png_fixtures.h"
#include "support/temp_dir.h"
#include "terrain/png_io.h"

namespace {

void LoadPrintingToStderr(const std::string& path) {
  StdoutToStderr();
  HeightSample* samples = nullptr;
  LoadHeightField(path.c_str(), &samples);
}

bool WriteFlat16(const std::string& path, int width, int height) {
  std::vector<HeightSample> samples(static_cast<size_t>(width) * height, 1234);
  return WriteGrey16Png(path.c_str(), width, height, samples.data());
}

class HeightFieldLoaderTest : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(HeightFieldLoaderTest, AcceptedSidesGiveTheirExponentAndSamples) {
  for (int n : {0, 1, 5, 10}) {
    const int side = (1 << n) + 1;
    std::vector<HeightSample> written(side * side);
    for (int i = 0; i < side * side; ++i) written[i] = static_cast<HeightSample>(i * 40503);
    const std::string path = dir.File("ok.png");
    ASSERT_TRUE(WriteGrey16Png(path.c_str(), side, side, written.data()));
    HeightSample* samples = nullptr;
    EXPECT_EQ(LoadHeightField(path.c_str(), &samples), n);
    ASSERT_NE(samples, nullptr);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), samples)) << "side " << side;
    delete[] samples;
  }
}

TEST_F(HeightFieldLoaderTest, GridExponentOnlyForTwoToTheNPlusOne) {
  EXPECT_EQ(GridExponentOfSide(2), 0);
  EXPECT_EQ(GridExponentOfSide(3), 1);
  EXPECT_EQ(GridExponentOfSide(16385), 14);
  EXPECT_EQ(GridExponentOfSide(1073741825), 30);
  for (int side : {-1, 0, 1, 4, 1024, 1026, 0x7fffffff}) EXPECT_EQ(GridExponentOfSide(side), -1) << side;
}

TEST(HeightFieldCheckTest, ChecksComeInTheOrderOfTheirMessages) {
  int n = -7;
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kRead, 33, 33, &n), HeightFieldCheck::kAccepted);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kRead, 2, 2, &n), HeightFieldCheck::kAccepted);
  EXPECT_EQ(n, 0);
  // A failed read wins over dimensions that would pass.
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kUnreadable, 33, 33, &n), HeightFieldCheck::kUnreadable);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kRead, 33, 17, &n), HeightFieldCheck::kNotSquare);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kRead, 32, 32, &n), HeightFieldCheck::kNotGridSide);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kRead, 1, 1, &n), HeightFieldCheck::kNotGridSide);
  // An oversized header is judged by its shape before its size.
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kTooLarge, 32769, 17, &n), HeightFieldCheck::kNotSquare);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kTooLarge, 40000, 40000, &n), HeightFieldCheck::kNotGridSide);
  EXPECT_EQ(CheckHeightFieldImage(PngReadResult::kTooLarge, 32769, 32769, &n), HeightFieldCheck::kTooLarge);
}

using HeightFieldLoaderDeathTest = HeightFieldLoaderTest;

TEST_F(HeightFieldLoaderDeathTest, UnreadableFilesEndWithErrorReading) {
  const std::string missing = dir.File("missing.png");
  EXPECT_EXIT(LoadPrintingToStderr(missing), ::testing::ExitedWithCode(1),
              ExactOutput("Error reading " + missing));

  const std::string grey8 = dir.File("grey8.png");
  ASSERT_TRUE(WritePatternPng(grey8, 33, 33, PNG_COLOR_TYPE_GRAY, 8));
  EXPECT_EXIT(LoadPrintingToStderr(grey8), ::testing::ExitedWithCode(1), ExactOutput("Error reading " + grey8));

  const std::string rgb16 = dir.File("rgb16.png");
  ASSERT_TRUE(WritePatternPng(rgb16, 33, 33, PNG_COLOR_TYPE_RGB, 16));
  EXPECT_EXIT(LoadPrintingToStderr(rgb16), ::testing::ExitedWithCode(1), ExactOutput("Error reading " + rgb16));

  const std::string truncated = dir.File("truncated.png");
  ASSERT_TRUE(WritePatternPng(truncated, 129, 129, PNG_COLOR_TYPE_GRAY, 16));
  ASSERT_TRUE(TruncateFile(truncated, FileSize(truncated) - 100));
  EXPECT_EXIT(LoadPrintingToStderr(truncated), ::testing::ExitedWithCode(1),
              ExactOutput("Error reading " + truncated));
}

TEST_F(HeightFieldLoaderDeathTest, BadDimensionsEndWithTheirMessage) {
  const std::string notPowerOfTwo = dir.File("1024.png");
  ASSERT_TRUE(WriteFlat16(notPowerOfTwo, 1024, 1024));
  EXPECT_EXIT(LoadPrintingToStderr(notPowerOfTwo), ::testing::ExitedWithCode(1),
              ExactOutput(notPowerOfTwo + " not (2^n)+1 x (2^n)+1 (1024 x 1024)"));

  const std::string notSquare = dir.File("1025x513.png");
  ASSERT_TRUE(WriteFlat16(notSquare, 1025, 513));
  EXPECT_EXIT(LoadPrintingToStderr(notSquare), ::testing::ExitedWithCode(1),
              ExactOutput(notSquare + " not square (1025 x 513)"));
}

TEST_F(HeightFieldLoaderDeathTest, OversizedHeaderEndsWithTooLargeBeforeAnyDecoding) {
  // 32769^2 16-bit samples would be 2 GiB; the file holds nothing but the header.
  const std::string huge = dir.File("huge.png");
  ASSERT_TRUE(WritePngHeaderOnly(huge, 32769, 32769, 16, PNG_COLOR_TYPE_GRAY));
  EXPECT_EXIT(LoadPrintingToStderr(huge), ::testing::ExitedWithCode(1),
              ExactOutput(huge + " too large (32769 x 32769)\n"));

  // Oversized images still get the dimension checks first.
  ASSERT_TRUE(WritePngHeaderOnly(huge, 40000, 40000, 16, PNG_COLOR_TYPE_GRAY));
  EXPECT_EXIT(LoadPrintingToStderr(huge), ::testing::ExitedWithCode(1),
              ExactOutput(huge + " not (2^n)+1 x (2^n)+1 (40000 x 40000)"));
  ASSERT_TRUE(WritePngHeaderOnly(huge, 32769, 17, 16, PNG_COLOR_TYPE_GRAY));
  EXPECT_EXIT(LoadPrintingToStderr(huge), ::testing::ExitedWithCode(1),
              ExactOutput(huge + " not square (32769 x 17)"));
}

}  // namespace
