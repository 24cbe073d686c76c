#include "headless/flight_csv.h"

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

}  // namespace

bool ReadFlightCsv(const std::string& path, FlightPath* poses, std::string* error) {
  std::ifstream in(path);
  if (!in) {
    *error = "cannot read flight file " + path;
    return false;
  }
  poses->clear();
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const std::string text = Trimmed(line);
    if (number == 1) {
      if (text != kFlightCsvHeader) {
        *error = path + " line 1: expected the header " + kFlightCsvHeader;
        return false;
      }
      continue;
    }
    if (text.empty()) continue;
    FlightPose pose;
    if (!ParsePose(text, &pose)) {
      *error = path + " line " + std::to_string(number) + ": expected four numbers x,y,z,heading";
      return false;
    }
    if (pose.x < 0.0f || pose.x > 1.0f || pose.y < 0.0f || pose.y > 1.0f) {
      *error = path + " line " + std::to_string(number) + ": x and y must lie in 0..1";
      return false;
    }
    poses->push_back(pose);
  }
  if (number == 0) {
    *error = path + ": empty flight file";
    return false;
  }
  if (poses->empty()) {
    *error = path + ": no poses after the header";
    return false;
  }
  return true;
}

bool WriteFlightCsv(const std::string& path, const FlightPath& poses) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "%s\n", kFlightCsvHeader);
  // Nine significant digits give every float back exactly.
  for (const FlightPose& pose : poses)
    std::fprintf(file, "%.9g,%.9g,%.9g,%.9g\n", pose.x, pose.y, pose.z, pose.heading);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}
