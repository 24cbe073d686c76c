// Height fields that cannot be used end the program with one line and status 1.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "e2e/harness.h"
#include "terrain/png_io.h"

namespace {

using e2e::QuorvaneRun;

void WriteGrey16(const std::string& path, int width, int height) {
  // Varied samples, so that the compressed data is long enough to be cut in the middle.
  std::vector<HeightSample> samples(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<HeightSample>(i * 7919u);
  ASSERT_TRUE(WriteGrey16Png(path.c_str(), width, height, samples.data()));
}

void WriteRgb16(const std::string& path, int side) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, side, side, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_byte> row(static_cast<size_t>(side) * 6, 0x40);
  std::vector<png_bytep> rows(side, row.data());
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

// Runs quorvane on the named file and expects the one line and status 1.
void ExpectRefused(QuorvaneRun& run, const std::string& file, const std::string& message) {
  run.Start({file});
  EXPECT_EQ(run.WaitForExit(), 1) << run.Stdout() << run.Stderr();
  const std::string out = run.Stdout();
  EXPECT_NE(out.find("Loading height field " + file + ".\n" + message), std::string::npos) << out;
  EXPECT_EQ(out.find("Pre-computing error metric"), std::string::npos);
}

TEST(LoadFailureEndToEnd, MissingFile) {
  QuorvaneRun run(false);
  ExpectRefused(run, "missing.png", "Error reading missing.png");
}

TEST(LoadFailureEndToEnd, SideNotPowerOfTwoPlusOne) {
  QuorvaneRun run(false);
  WriteGrey16(run.PathOf("flat1024.png"), 1024, 1024);
  ExpectRefused(run, "flat1024.png", "flat1024.png not (2^n)+1 x (2^n)+1 (1024 x 1024)");
}

TEST(LoadFailureEndToEnd, NotSquare) {
  QuorvaneRun run(false);
  WriteGrey16(run.PathOf("wide.png"), 1025, 513);
  ExpectRefused(run, "wide.png", "wide.png not square (1025 x 513)");
}

TEST(LoadFailureEndToEnd, EightBitGreyAndSixteenBitRgbAreUnreadable) {
  QuorvaneRun run(false);
  std::vector<unsigned char> pixels(65 * 65, 7);
  ASSERT_TRUE(WriteGreyPng(run.PathOf("grey8.png").c_str(), 65, 65, pixels.data()));
  ExpectRefused(run, "grey8.png", "Error reading grey8.png");
  WriteRgb16(run.PathOf("rgb16.png"), 65);
  ExpectRefused(run, "rgb16.png", "Error reading rgb16.png");
}

TEST(LoadFailureEndToEnd, TruncatedFile) {
  QuorvaneRun run(false);
  WriteGrey16(run.PathOf("whole.png"), 257, 257);
  const std::string whole = e2e::ReadFile(run.PathOf("whole.png"));
  FILE* file = std::fopen(run.PathOf("cut.png").c_str(), "wb");
  std::fwrite(whole.data(), 1, whole.size() / 2, file);
  std::fclose(file);
  ExpectRefused(run, "cut.png", "Error reading cut.png");
}

}  // namespace
