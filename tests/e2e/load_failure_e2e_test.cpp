// Height fields that cannot be used end the program with one line and status 1.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <vector>

#include "e2e/harness.h"
#include "support/png_fixtures.h"
#include "terrain/png_io.h"

namespace {

using e2e::QuorvaneRun;

void WriteGrey16(const std::string& path, int width, int height) {
  // Varied samples, so that the compressed data is long enough to be cut in the middle.
  std::vector<HeightSample> samples(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<HeightSample>(i * 7919u);
  ASSERT_TRUE(WriteGrey16Png(path.c_str(), width, height, samples.data()));
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
  ASSERT_TRUE(WritePatternPng(run.PathOf("rgb16.png"), 65, 65, PNG_COLOR_TYPE_RGB, 16));
  ExpectRefused(run, "rgb16.png", "Error reading rgb16.png");
}

TEST(LoadFailureEndToEnd, TruncatedFile) {
  QuorvaneRun run(false);
  WriteGrey16(run.PathOf("whole.png"), 257, 257);
  std::filesystem::copy_file(run.PathOf("whole.png"), run.PathOf("cut.png"));
  ASSERT_TRUE(TruncateFile(run.PathOf("cut.png"), FileSize(run.PathOf("whole.png")) / 2));
  ExpectRefused(run, "cut.png", "Error reading cut.png");
}

}  // namespace
