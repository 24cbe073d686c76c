#include "headless/detail_settings.h"

#include <charconv>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>

#include "app/view/camera.h"
#include "terrain/terrain.h"

namespace {

Failure DetailFailure(const std::string& message) { return Failure{message, Channel::kErrorAndLog, 2}; }

// General notation with the given significant digits, a decimal point whatever the locale.
std::string SignificantDigits(double value, int digits) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
  return error == std::errc() ? std::string(text, end) : "?";
}

}  // namespace

double FlownFieldOfView() { return StartViewState(1.0f).cameras[0].fieldOfView; }

DetailSetting StartupDetail(int pictureHeight) {
  return {kTerrainErrorWeight, PixelErrorForWeight(kTerrainErrorWeight, pictureHeight, FlownFieldOfView())};
}

double PixelsPerRadian(int pictureHeight, double fieldOfViewDegrees) {
  return pictureHeight / (2.0 * std::tan(fieldOfViewDegrees * M_PI / 360.0));
}

double PixelErrorForWeight(double weight, int pictureHeight, double fieldOfViewDegrees) {
  return PixelsPerRadian(pictureHeight, fieldOfViewDegrees) / weight;
}

double WeightForPixelError(double pixelError, int pictureHeight, double fieldOfViewDegrees) {
  return PixelsPerRadian(pictureHeight, fieldOfViewDegrees) / pixelError;
}

Result<std::vector<double>> ParseDetailList(const std::string& text) {
  std::vector<double> values;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (item.empty()) return DetailFailure(text.empty() ? "empty list" : "empty value in the list '" + text + "'");
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(item.c_str(), &end);
    if (errno == ERANGE || *end != '\0' || !std::isfinite(value) || !(value > 0.0))
      return DetailFailure("'" + item + "' is not a positive finite number");
    values.push_back(value);
    if (static_cast<int>(values.size()) > kMaxDetailValues)
      return DetailFailure("more than " + std::to_string(kMaxDetailValues) + " values");
    if (comma == std::string::npos) return values;
    start = comma + 1;
  }
}

Result<std::vector<DetailSetting>> MakeDetailSettings(const std::vector<double>& values, bool byWeight,
                                                      int pictureHeight, double fieldOfViewDegrees) {
  std::vector<DetailSetting> settings;
  for (const double value : values) {
    const double weight = byWeight ? value : WeightForPixelError(value, pictureHeight, fieldOfViewDegrees);
    if (!(weight >= FLT_MIN && weight <= FLT_MAX))
      return DetailFailure((byWeight ? "weight " : "pixel error ") + SignificantDigits(value, 6) +
                           " gives a weight beyond a float's range");
    const float stored = static_cast<float>(weight);
    settings.push_back({stored, byWeight ? PixelErrorForWeight(stored, pictureHeight, fieldOfViewDegrees) : value});
  }
  return settings;
}

std::string PixelErrorLabel(double pixelError) { return SignificantDigits(pixelError, 3) + " px"; }
