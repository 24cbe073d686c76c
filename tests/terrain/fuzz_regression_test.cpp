// Inputs that once crashed a fuzz target, read again through the real loaders: each must be
// refused cleanly with its loader's failure (under the sanitizers, without a report).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "terrain/height_field_loader.h"
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
    const Result<HeightFieldImage> loaded = LoadHeightField(path.c_str());
    ASSERT_FALSE(loaded.ok()) << path;
    EXPECT_EQ(loaded.failure().exitStatus, 1) << path;
  }
}

TEST(FuzzRegressionTest, KeptTextureInputsAreRefused) {
  const std::vector<std::string> inputs = KeptInputs("texture");
  if (inputs.empty()) GTEST_SKIP() << "no kept texture inputs";
  for (const std::string& path : inputs) {
    NullLogSink console;
    const Result<TextureImage> loaded = LoadTexture(path.c_str(), console);
    ASSERT_FALSE(loaded.ok()) << path;
    EXPECT_EQ(loaded.failure().exitStatus, 1) << path;
  }
}

}  // namespace
