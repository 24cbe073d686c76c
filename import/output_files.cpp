#include "import/output_files.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "app/platform/text_format.h"
#include "terrain/png_io.h"

namespace {

template <class Value>
std::vector<Value> SouthFirst(const std::vector<Value>& northFirst, size_t rowLength) {
  std::vector<Value> flipped(northFirst.size());
  const size_t rows = northFirst.size() / rowLength;
  for (size_t row = 0; row < rows; ++row)
    std::copy_n(northFirst.begin() + static_cast<std::ptrdiff_t>(row * rowLength), rowLength,
                flipped.begin() + static_cast<std::ptrdiff_t>((rows - 1 - row) * rowLength));
  return flipped;
}

}  // namespace

StagedOutputs::~StagedOutputs() {
  if (committed_) return;
  for (const Entry& entry : entries_) std::remove((entry.placed ? entry.destination : entry.temporary).c_str());
}

Result<std::string> StagedOutputs::Stage(const std::string& destination) {
  // The process id keeps two imports to the same destination apart.
  const std::string temporary = destination + ".partial-" + std::to_string(getpid());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return ImportFailure("Cannot write " + destination + ": " + std::strerror(errno));
  std::fclose(file);
  entries_.push_back({destination, temporary});
  return temporary;
}

Status StagedOutputs::Commit() {
  for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
    if (std::rename(entry->temporary.c_str(), entry->destination.c_str()) != 0)
      return ImportFailure("Cannot write " + entry->destination + ": " + std::strerror(errno));
    entry->placed = true;
  }
  committed_ = true;
  return {};
}

std::string SidecarPathFor(const std::string& heightFieldPath) {
  std::filesystem::path path(heightFieldPath);
  return path.replace_extension(".scale.txt").string();
}

Status WriteHeightFieldPng(const std::string& path, const std::string& destination, int side,
                           const std::vector<HeightSample>& samples) {
  // zlib's fastest level: at 8193 x 8193 it writes about four times faster than the default for
  // a file a few percent larger.
  constexpr int kFastestCompression = 1;
  if (!WriteGrey16Png(path.c_str(), side, side, SouthFirst(samples, side).data(), kFastestCompression))
    return ImportFailure("Cannot write " + destination + " (disk full?)");
  return {};
}

Status WriteTexturePng(const std::string& path, const std::string& destination, const Texture& texture) {
  const std::vector<unsigned char> texels =
      SouthFirst(texture.texels, static_cast<size_t>(texture.side) * texture.channels);
  const bool written = texture.channels == 3 ? WriteRgbPng(path.c_str(), texture.side, texture.side, texels.data())
                                             : WriteGreyPng(path.c_str(), texture.side, texture.side, texels.data());
  if (!written) return ImportFailure("Cannot write " + destination + " (disk full?)");
  return {};
}

Status WriteSidecar(const std::string& path, const std::string& destination, const SidecarContents& contents) {
  const std::string text =
      "# quorvane-import: fly with  quorvane HEIGHT_FIELD [TEXTURE] vertical_scale\n"
      "vertical_scale " +
      FormatDecimal(contents.verticalScale) +
      "\n"
      "exaggeration " +
      FormatShortest(contents.exaggeration) +
      "\n"
      "height_min_m " +
      FormatShortest(contents.lowMetres) +
      "\n"
      "height_max_m " +
      FormatShortest(contents.highMetres) +
      "\n"
      "ground_width_m " +
      FormatShortest(contents.groundWidthMetres) +
      "\n"
      "side " +
      std::to_string(contents.side) +
      "\n"
      "source " +
      contents.source + "\n";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return ImportFailure("Cannot write " + destination + ": " + std::strerror(errno));
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) return ImportFailure("Cannot write " + destination + " (disk full?)");
  return {};
}

std::string FormatDecimal(double value) {
  if (value == 0.0 || !std::isfinite(value)) return FormatShortest(value);
  constexpr int kSignificantDigits = 6;
  const int magnitude = static_cast<int>(std::floor(std::log10(std::abs(value))));
  std::string text = FormatFixed(value, std::max(0, kSignificantDigits - 1 - magnitude));
  if (text.find('.') != std::string::npos) {
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
  }
  return text;
}
