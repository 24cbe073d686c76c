#include "app/view/flight_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool ParseField(const std::string& text, float* out) {
  const std::string field = Trimmed(text);
  if (field.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(field.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || std::fabs(value) > 1e30) return false;
  *out = static_cast<float>(value);
  return true;
}

bool ParsePose(const std::string& line, FlightPose* pose) {
  float fields[4];
  size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const size_t comma = line.find(',', start);
    if ((i < 3) != (comma != std::string::npos)) return false;
    const std::string text = line.substr(start, i < 3 ? comma - start : std::string::npos);
    if (!ParseField(text, &fields[i])) return false;
    start = comma + 1;
  }
  *pose = {fields[0], fields[1], fields[2], fields[3]};
  return true;
}

Failure FlightFailure(const std::string& message) { return Failure{message, Channel::kErrorAndLog, 1}; }

}  // namespace

FlightPose PoseOf(const FlightState& flight) { return {flight.x, flight.y, flight.eyeHeight, flight.heading}; }

void PlaceCameraAt(ViewState& view, const FlightPose& pose) {
  view.flight.x = pose.x;
  view.flight.y = pose.y;
  view.flight.eyeHeight = pose.z;
  view.flight.heading = pose.heading;
  UpdateCameras(view);
}

std::string FlightCsvLine(const FlightPose& pose) {
  // Nine significant digits give every float back exactly.
  char line[128];
  std::snprintf(line, sizeof line, "%.9g,%.9g,%.9g,%.9g\n", pose.x, pose.y, pose.z, pose.heading);
  return line;
}

Result<FlightPath> ReadFlightCsv(const std::string& path) {
  std::ifstream in(path);
  if (!in) return FlightFailure("cannot read flight file " + path);
  FlightPath poses;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string text = Trimmed(line);
    if (number == 1) {
      if (text != kFlightCsvHeader)
        return FlightFailure(path + " line 1: expected the header " + kFlightCsvHeader);
      continue;
    }
    if (text.empty()) continue;
    FlightPose pose;
    if (!ParsePose(text, &pose))
      return FlightFailure(path + " line " + std::to_string(number) + ": expected four numbers x,y,z,heading");
    if (pose.x < 0.0f || pose.x > 1.0f || pose.y < 0.0f || pose.y > 1.0f)
      return FlightFailure(path + " line " + std::to_string(number) + ": x and y must lie in 0..1");
    poses.push_back(pose);
  }
  if (number == 0) return FlightFailure(path + ": empty flight file");
  if (poses.empty()) return FlightFailure(path + ": no poses after the header");
  return poses;
}

bool WriteFlightCsv(const std::string& path, const FlightPath& poses) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "%s\n", kFlightCsvHeader);
  for (const FlightPose& pose : poses) std::fputs(FlightCsvLine(pose).c_str(), file);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}
