// Inputs that once crashed a fuzz target, read again through the real readers: each must be
// refused cleanly (under make asan-test, without a sanitizer report).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "terrain/height_field_loader.h"
#include "terrain/png_io.h"
#include "terrain/texture.h"

namespace {

// The inputs kept for one fuzz target, in tests/fuzz/regressions/<target>/.
std::vector<std::string> KeptInputs(const char* target) {
  const std::filesystem::path dir =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "fuzz" / "regressions" / target;
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error))
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  return paths;
}

TEST(FuzzRegressionTest, KeptHeightFieldInputsAreRefused) {
  const std::vector<std::string> inputs = KeptInputs("height_field");
  if (inputs.empty()) GTEST_SKIP() << "no kept height-field inputs";
  for (const std::string& path : inputs) {
    int width = 0, height = 0, n = -1;
    HeightSample* samples = nullptr;
    const PngReadResult result = ReadGreyPng16(path.c_str(), kMaxHeightFieldSide, &width, &height, &samples);
    EXPECT_NE(CheckHeightFieldImage(result, width, height, &n), HeightFieldCheck::kAccepted) << path;
    EXPECT_EQ(samples == nullptr, result != PngReadResult::kRead) << path;
    delete[] samples;
  }
}

TEST(FuzzRegressionTest, KeptTextureInputsAreRefused) {
  const std::vector<std::string> inputs = KeptInputs("texture");
  if (inputs.empty()) GTEST_SKIP() << "no kept texture inputs";
  for (const std::string& path : inputs) {
    int width = 0, height = 0, channels = 0;
    unsigned char* texels = nullptr;
    const bool read = ReadImagePng(path.c_str(), kMaxTextureSide, &width, &height, &channels, &texels);
    EXPECT_FALSE(read && TextureSideAccepted(width, height)) << path;
    EXPECT_EQ(texels == nullptr, !read) << path;
    delete[] texels;
  }
}

}  // namespace
