#include "terrain/height_field_loader.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/png_fixtures.h"
#include "support/temp_dir.h"
#include "terrain/png_io.h"

namespace {

class HeightFieldLoaderTest : public ::testing::Test {
 protected:
  // The loader's failure for the file: its line, for standard output, with status 1.
  void ExpectFailure(const std::string& path, const std::string& message) {
    const Result<HeightFieldImage> loaded = LoadHeightField(path.c_str());
    ASSERT_FALSE(loaded.ok()) << path;
    EXPECT_EQ(loaded.failure().message, message);
    EXPECT_EQ(loaded.failure().channel, Channel::kConsole);
    EXPECT_EQ(loaded.failure().exitStatus, 1);
    EXPECT_FALSE(loaded.failure().quitOrderly);
  }

  TempDir dir;
};

TEST_F(HeightFieldLoaderTest, AcceptedSidesGiveTheirExponentAndSamples) {
  for (int n : {0, 1, 5, 10}) {
    const int side = (1 << n) + 1;
    std::vector<HeightSample> written(side * side);
    for (int i = 0; i < side * side; ++i) written[i] = static_cast<HeightSample>(i * 40503);
    const std::string path = dir.File("ok.png");
    ASSERT_TRUE(WriteGrey16Png(path.c_str(), side, side, written.data()));
    Result<HeightFieldImage> loaded = LoadHeightField(path.c_str());
    ASSERT_TRUE(loaded.ok()) << loaded.failure().message;
    EXPECT_EQ(loaded.value().n, n);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), loaded.value().samples.get())) << "side " << side;
  }
}

TEST(GridExponentTest, OnlyForTwoToTheNPlusOne) {
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

TEST_F(HeightFieldLoaderTest, OversizedHeaderFailsWithTooLargeBeforeAnyDecoding) {
  // 32769^2 16-bit samples would be 2 GiB; the file holds nothing but the header.
  const std::string huge = dir.File("huge.png");
  ASSERT_TRUE(WritePngHeaderOnly(huge, 32769, 32769, 16, PNG_COLOR_TYPE_GRAY));
  ExpectFailure(huge, huge + " too large (32769 x 32769)\n");

  // Oversized images still get the dimension checks first.
  ASSERT_TRUE(WritePngHeaderOnly(huge, 40000, 40000, 16, PNG_COLOR_TYPE_GRAY));
  ExpectFailure(huge, huge + " not (2^n)+1 x (2^n)+1 (40000 x 40000)");
  ASSERT_TRUE(WritePngHeaderOnly(huge, 32769, 17, 16, PNG_COLOR_TYPE_GRAY));
  ExpectFailure(huge, huge + " not square (32769 x 17)");
}

}  // namespace
