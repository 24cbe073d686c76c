// Picture comparison: PSNR over every channel value, and a pixel counted as differing only when
// a channel is off by more than the threshold.
#include "headless/picture_quality.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

std::vector<uint8_t> Picture(int width, int height, uint8_t seed) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(seed + i * 37 % 200);
  return rgb;
}

TEST(PictureQualityTest, APixelDiffersOnlyBeyondTheThresholdAndCountsOnce) {
  const int width = 4, height = 5, threshold = 6;
  const std::vector<uint8_t> a = Picture(width, height, 10);
  const ImageDifference same = CompareImages(a.data(), a.data(), width, height, 0);
  EXPECT_TRUE(std::isinf(same.psnr) && same.psnr > 0);
  EXPECT_EQ(same.differingShare, 0.0);
  for (const auto& [w, h] : {std::pair{0, 5}, std::pair{7, 0}, std::pair{-1, -1}}) {
    EXPECT_TRUE(std::isinf(CompareImages(a.data(), a.data(), w, h, 0).psnr));
  }
  // The first and last pixel, each channel: at the threshold alike, one above it differing, in
  // either order.
  for (const int pixel : {0, width * height - 1}) {
    for (int channel = 0; channel < 3; ++channel) {
      std::vector<uint8_t> b = a;
      const size_t at = static_cast<size_t>(pixel) * 3 + channel;
      b[at] = static_cast<uint8_t>(a[at] + threshold);
      EXPECT_EQ(CompareImages(a.data(), b.data(), width, height, threshold).differingShare, 0.0);
      b[at] = static_cast<uint8_t>(a[at] + threshold + 1);
      const ImageDifference off = CompareImages(a.data(), b.data(), width, height, threshold);
      EXPECT_DOUBLE_EQ(off.differingShare, 1.0 / (width * height)) << pixel << " " << channel;
      EXPECT_TRUE(std::isfinite(off.psnr));
      EXPECT_DOUBLE_EQ(CompareImages(b.data(), a.data(), width, height, threshold).differingShare,
                       off.differingShare);
    }
  }
  std::vector<uint8_t> b = a;
  for (int channel = 0; channel < 3; ++channel) b[channel] = static_cast<uint8_t>(a[channel] + 50);
  EXPECT_DOUBLE_EQ(CompareImages(a.data(), b.data(), width, height, threshold).differingShare, 1.0 / (width * height));
}

TEST(PictureQualityTest, PsnrFollowsTheMeanSquaredErrorOverAllChannels) {
  const int width = 2, height = 2;
  const std::vector<uint8_t> black(width * height * 3, 0), grey(width * height * 3, 10);
  EXPECT_NEAR(CompareImages(black.data(), grey.data(), width, height, 0).psnr, 10.0 * std::log10(255.0 * 255.0 / 100.0),
              1e-9);
  // One channel value off by 30 among 12: MSE 900 / 12 = 75.
  std::vector<uint8_t> one = black;
  one[7] = 30;
  EXPECT_NEAR(CompareImages(black.data(), one.data(), width, height, 0).psnr, 10.0 * std::log10(255.0 * 255.0 / 75.0),
              1e-9);
  // Black against white is the worst case: 0 dB, every pixel differing.
  const std::vector<uint8_t> white(width * height * 3, 255);
  const ImageDifference worst = CompareImages(black.data(), white.data(), width, height, 254);
  EXPECT_NEAR(worst.psnr, 0.0, 1e-12);
  EXPECT_DOUBLE_EQ(worst.differingShare, 1.0);
}

}  // namespace
