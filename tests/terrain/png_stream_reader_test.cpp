// The readers that take an open file: what the fuzz targets drive from memory, and what the
// path readers are built on.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "support/png_fixtures.h"
#include "support/temp_dir.h"
#include "terrain/png_io.h"

namespace {

class PngStreamReaderTest : public ::testing::Test {
 protected:
  TempDir dir;

  // The file's bytes, opened again as an in-memory stream.
  FILE* OpenInMemory(const std::string& path) {
    bytes = ReadWholeFile(path);
    return fmemopen(bytes.data(), bytes.size(), "rb");
  }

  std::string bytes;
};

TEST_F(PngStreamReaderTest, StreamAndPathReadersGiveTheSameImage) {
  const std::string heights = dir.File("heights.png");
  ASSERT_TRUE(WritePatternPng(heights, 17, 17, PNG_COLOR_TYPE_GRAY, 16));
  int pathWidth = 0, pathHeight = 0, width = 0, height = 0;
  HeightSample* fromPath = nullptr;
  HeightSample* fromStream = nullptr;
  ASSERT_EQ(ReadGreyPng16(heights.c_str(), 17, &pathWidth, &pathHeight, &fromPath), PngReadResult::kRead);
  FILE* file = OpenInMemory(heights);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(ReadGreyPng16(file, 17, &width, &height, &fromStream), PngReadResult::kRead);
  EXPECT_EQ(std::fclose(file), 0);  // still open: the caller closes it
  EXPECT_EQ(width, pathWidth);
  EXPECT_EQ(height, pathHeight);
  EXPECT_TRUE(std::equal(fromPath, fromPath + 17 * 17, fromStream));
  delete[] fromPath;
  delete[] fromStream;

  const std::string texture = dir.File("texture.png");
  ASSERT_TRUE(WritePatternPng(texture, 8, 4, PNG_COLOR_TYPE_RGB, 16));
  int channels = 0;
  unsigned char* texels = nullptr;
  file = OpenInMemory(texture);
  ASSERT_TRUE(ReadImagePng(file, 8, &width, &height, &channels, &texels));
  EXPECT_EQ(std::fclose(file), 0);
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 4);
  EXPECT_EQ(channels, 3);
  EXPECT_EQ(texels[3], static_cast<unsigned char>(6 * 7));  // high byte of the fourth sample
  delete[] texels;
}

TEST_F(PngStreamReaderTest, FailuresLeaveTheFileOpenAndHandNothingOver) {
  const std::string path = dir.File("cut.png");
  ASSERT_TRUE(WritePatternPng(path, 33, 33, PNG_COLOR_TYPE_GRAY, 16));
  ASSERT_TRUE(TruncateFile(path, FileSize(path) - 20));
  int width = 0, height = 0, channels = 0;
  HeightSample* samples = nullptr;
  FILE* file = OpenInMemory(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadGreyPng16(file, 33, &width, &height, &samples), PngReadResult::kUnreadable);
  EXPECT_EQ(samples, nullptr);
  // The same open stream can be read again from its start, and fails the same way.
  std::rewind(file);
  EXPECT_EQ(ReadGreyPng16(file, 33, &width, &height, &samples), PngReadResult::kUnreadable);
  EXPECT_EQ(std::fclose(file), 0);

  ASSERT_TRUE(WritePatternPng(path, 8, 8, PNG_COLOR_TYPE_GRAY_ALPHA, 8));
  unsigned char* texels = nullptr;
  file = OpenInMemory(path);
  EXPECT_FALSE(ReadImagePng(file, 8, &width, &height, &channels, &texels));
  EXPECT_EQ(texels, nullptr);
  EXPECT_EQ(std::fclose(file), 0);

  // A stream too short to hold a signature.
  char none = 0;
  file = fmemopen(&none, 1, "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ReadGreyPng16(file, 33, &width, &height, &samples), PngReadResult::kUnreadable);
  EXPECT_EQ(std::fclose(file), 0);
}

}  // namespace
