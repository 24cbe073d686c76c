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

TEST(FuzzRegressionTest, KeptInputsAreRefused) {
  const std::vector<std::string> heightFields = KeptInputs("height_field");
  const std::vector<std::string> textures = KeptInputs("texture");
  if (heightFields.empty() && textures.empty()) GTEST_SKIP() << "no kept inputs";
  for (const std::string& path : heightFields) {
    const Result<HeightFieldImage> loaded = LoadHeightField(path.c_str());
    EXPECT_FALSE(loaded.ok()) << path;
  }
  for (const std::string& path : textures) {
    NullLogSink console;
    const Result<TextureImage> loaded = LoadTexture(path.c_str(), console);
    EXPECT_FALSE(loaded.ok()) << path;
  }
}

}  // namespace
