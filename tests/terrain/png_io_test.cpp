#include "terrain/png_io.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/png_fixtures.h"
#include "support/temp_dir.h"

namespace {

class PngIoTest : public ::testing::Test {
 protected:
  PngReadResult Read16(const std::string& path, int maxSide = 1 << 20) {
    delete[] samples;
    samples = nullptr;
    return ReadGreyPng16(path.c_str(), maxSide, &width, &height, &samples);
  }
  void TearDown() override { delete[] samples; }

  TempDir dir;
  int width = -1;
  int height = -1;
  HeightSample* samples = nullptr;
};

TEST_F(PngIoTest, Grey16SamplesArriveInHostOrderRowZeroFirst) {
  // The file stores big-endian samples; sample (x, y) = 0x0100 x + 0x0001 y + 0x1000.
  const int w = 7;
  const int h = 5;
  std::vector<uint8_t> bytes;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int value = 0x100 * x + y + 0x1000;
      bytes.push_back(static_cast<uint8_t>(value >> 8));
      bytes.push_back(static_cast<uint8_t>(value));
    }
  ASSERT_TRUE(WriteRawPng(dir.File("be.png"), w, h, PNG_COLOR_TYPE_GRAY, 16, bytes));
  ASSERT_EQ(Read16(dir.File("be.png")), PngReadResult::kRead);
  ASSERT_EQ(width, w);
  ASSERT_EQ(height, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) EXPECT_EQ(samples[x + y * w], 0x100 * x + y + 0x1000) << x << "," << y;
}

TEST_F(PngIoTest, WritersReportFilesTheyCannotCreate) {
  const unsigned char pixel = 0;
  const HeightSample sample = 0;
  EXPECT_FALSE(WriteGreyPng(dir.File("no/such/dir.png").c_str(), 1, 1, &pixel));
  EXPECT_FALSE(WriteGrey16Png(dir.File("no/such/dir.png").c_str(), 1, 1, &sample));
  EXPECT_FALSE(WriteGreyPng(dir.File("empty.png").c_str(), 0, 1, &pixel));
}

TEST_F(PngIoTest, Grey16ReaderRefusesOtherLayoutsAndDamagedFiles) {
  const std::string path = dir.File("bad.png");
  struct Layout {
    int colorType;
    int bitDepth;
  };
  for (Layout layout : {Layout{PNG_COLOR_TYPE_GRAY, 8}, Layout{PNG_COLOR_TYPE_RGB, 16},
                        Layout{PNG_COLOR_TYPE_GRAY_ALPHA, 16}, Layout{PNG_COLOR_TYPE_PALETTE, 8}}) {
    ASSERT_TRUE(WritePatternPng(path, 9, 9, layout.colorType, layout.bitDepth));
    EXPECT_EQ(Read16(path), PngReadResult::kUnreadable) << layout.colorType << "/" << layout.bitDepth;
    EXPECT_EQ(samples, nullptr);
  }
  EXPECT_EQ(Read16(dir.File("missing.png")), PngReadResult::kUnreadable);

  // Cut inside the image data, and inside the header itself.
  ASSERT_TRUE(WritePatternPng(path, 65, 65, PNG_COLOR_TYPE_GRAY, 16));
  ASSERT_TRUE(TruncateFile(path, FileSize(path) / 2));
  EXPECT_EQ(Read16(path), PngReadResult::kUnreadable);
  ASSERT_TRUE(TruncateFile(path, 20));
  EXPECT_EQ(Read16(path), PngReadResult::kUnreadable);

  // A header that promises an image and delivers nothing, and one whose checksum is wrong.
  ASSERT_TRUE(WritePngHeaderOnly(path, 1025, 1025, 16, PNG_COLOR_TYPE_GRAY));
  EXPECT_EQ(Read16(path), PngReadResult::kUnreadable);
  EXPECT_EQ(samples, nullptr);
  ASSERT_TRUE(WritePngHeaderOnly(path, 32769, 32769, 16, PNG_COLOR_TYPE_GRAY));
  std::string bytes = ReadWholeFile(path);
  bytes[32] = 0x55;
  std::ofstream(path, std::ios::binary) << bytes;
  EXPECT_EQ(Read16(path, 16385), PngReadResult::kUnreadable);
}

TEST_F(PngIoTest, OversizedHeaderIsReportedWithoutDecoding) {
  const std::string path = dir.File("huge.png");
  ASSERT_TRUE(WritePngHeaderOnly(path, 32769, 32769, 16, PNG_COLOR_TYPE_GRAY));
  ASSERT_EQ(Read16(path, 16385), PngReadResult::kTooLarge);
  EXPECT_EQ(width, 32769);
  EXPECT_EQ(height, 32769);
  EXPECT_EQ(samples, nullptr);

  // Only one side above the limit, and the largest side PNG allows.
  ASSERT_TRUE(WritePngHeaderOnly(path, 5, 0x7fffffff, 16, PNG_COLOR_TYPE_GRAY));
  ASSERT_EQ(Read16(path, 16385), PngReadResult::kTooLarge);
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 0x7fffffff);

  // Beyond what PNG allows is damage, not size.
  ASSERT_TRUE(WritePngHeaderOnly(path, 0x80000000u, 5, 16, PNG_COLOR_TYPE_GRAY));
  EXPECT_EQ(Read16(path, 16385), PngReadResult::kUnreadable);

  // A real image just above the limit is refused the same way.
  ASSERT_TRUE(WritePatternPng(path, 10, 9, PNG_COLOR_TYPE_GRAY, 16));
  EXPECT_EQ(Read16(path, 9), PngReadResult::kTooLarge);
  EXPECT_EQ(Read16(path, 10), PngReadResult::kRead);
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizer reserves far more address space than a limit allows

// The process's address space in bytes (VmSize).
size_t AddressSpaceBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
  }
  return 0;
}

// An image that memory holds once (libpng's rows) but not twice (the copy handed back): the
// reader reports it unreadable instead of the process ending on a failed allocation. The limit
// is set in a child process.
TEST_F(PngIoTest, ImageMemoryCannotHoldTwiceIsRefusedNotACrash) {
  // A fresh process: one forked from this one would inherit heap arenas left by earlier tests'
  // threads, whose free room the limit does not see.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  constexpr int kSide = 2049;
  constexpr size_t kImageBytes = size_t{kSide} * kSide * sizeof(HeightSample);
  const std::string path = dir.File("big.png");
  {
    const std::vector<HeightSample> flat(size_t{kSide} * kSide, 1000);
    ASSERT_TRUE(WriteGrey16Png(path.c_str(), kSide, kSide, flat.data()));
  }
  EXPECT_EXIT(
      {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = AddressSpaceBytes() + kImageBytes + kImageBytes / 2;
        setrlimit(RLIMIT_AS, &limit);
        const PngReadResult result = Read16(path);
        std::_Exit(result == PngReadResult::kUnreadable && samples == nullptr ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  // With the memory it needs the same file reads.
  EXPECT_EQ(Read16(path), PngReadResult::kRead);
}

#endif

TEST(ImagePngReaderTest, AcceptsEightBitGreyAndRgbOnly) {
  TempDir dir;
  const std::string path = dir.File("image.png");
  struct Case {
    int colorType;
    int bitDepth;
    bool accepted;
    int channels;
  };
  for (Case c : {Case{PNG_COLOR_TYPE_GRAY, 8, true, 1}, Case{PNG_COLOR_TYPE_RGB, 8, true, 3},
                 Case{PNG_COLOR_TYPE_RGB, 16, true, 3}, Case{PNG_COLOR_TYPE_GRAY, 4, false, 0},
                 Case{PNG_COLOR_TYPE_RGB_ALPHA, 8, false, 0}, Case{PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, 0},
                 Case{PNG_COLOR_TYPE_PALETTE, 8, false, 0}}) {
    ASSERT_TRUE(WritePatternPng(path, 16, 8, c.colorType, c.bitDepth));
    int width = 0;
    int height = 0;
    int channels = 0;
    unsigned char* texels = nullptr;
    EXPECT_EQ(ReadImagePng(path.c_str(), 4096, &width, &height, &channels, &texels), c.accepted)
        << c.colorType << "/" << c.bitDepth;
    if (c.accepted) {
      EXPECT_EQ(width, 16);
      EXPECT_EQ(height, 8);
      EXPECT_EQ(channels, c.channels);
      ASSERT_NE(texels, nullptr);
      // The pattern's first bytes, stripped to the high byte for 16-bit samples.
      const int step = c.bitDepth / 8;
      for (int i = 0; i < 16 * c.channels; ++i) EXPECT_EQ(texels[i], static_cast<uint8_t>(i * step * 7)) << i;
    } else {
      EXPECT_EQ(texels, nullptr);
    }
    delete[] texels;
  }
}

}  // namespace
