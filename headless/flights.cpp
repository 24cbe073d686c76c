#include "headless/flights.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

// Flight-model constants: pointer response 1 turns by pi/60 and flies 1/240 of the square per step.
constexpr double kTurnPerStep = M_PI / 60.0;
constexpr double kSpeedPerStep = 1.0 / 240.0;
constexpr double kResponseScale = 1.0 / (0.45 * 0.45);

// Pointer fraction giving a response in [-1, 1]: the inverse of the flight model's response.
double PointerFor(double response) {
  response = std::clamp(response, -1.0, 1.0);
  if (response == 0.0) return 0.5;
  const double offset = std::sqrt(std::fabs(response) / kResponseScale);
  return response > 0.0 ? 0.55 + offset : 0.45 - offset;
}

struct FlightPlan {
  float x, y, heading, clearance;
  double pointerX, pointerY;
};

FlightPlan PlanFor(const std::string& name, int frames, float verticalScale) {
  const float startClearance = 0.2f * verticalScale;
  if (name == "pass") {
    // Low over the ground from the south-west corner to the north-east one.
    const double distance = 1.1;
    const double speed = distance / frames / kSpeedPerStep;
    return {0.1f, 0.1f, static_cast<float>(M_PI / 4.0), 0.5f * startClearance, 0.5, PointerFor(-speed)};
  }
  if (name == "orbit") {
    // Slowly anticlockwise on a circle of radius 0.25 about the centre, higher up.
    const double speed = 0.2;
    const double radius = 0.25;
    const double turn = speed * kSpeedPerStep / radius / kTurnPerStep;
    return {0.75f, 0.5f, static_cast<float>(M_PI / 2.0), 2.0f * startClearance, PointerFor(-turn), PointerFor(-speed)};
  }
  // "turn": one full clockwise turn on the spot in the middle.
  const double turn = 2.0 * M_PI / frames / kTurnPerStep;
  return {0.5f, 0.5f, 0.0f, startClearance, PointerFor(turn), 0.5};
}

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

Failure FlightFailure(const std::string& message, int status = 1) {
  return Failure{message, Channel::kErrorAndLog, status};
}

}  // namespace

void PlaceCameraAt(ViewState& view, const FlightPose& pose) {
  view.flight.x = pose.x;
  view.flight.y = pose.y;
  view.flight.eyeHeight = pose.z;
  view.flight.heading = pose.heading;
  UpdateCameras(view);
}

const std::vector<std::string>& BuiltInFlightNames() {
  static const std::vector<std::string> names = {"pass", "orbit", "turn"};
  return names;
}

bool IsBuiltInFlight(const std::string& name) {
  const auto& names = BuiltInFlightNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

FlightPath ComputeBuiltInFlight(const std::string& name, int frames, const HeightField& field) {
  const FlightPlan plan = PlanFor(name, frames, field.verticalScale);
  ViewState view = StartViewState(field.verticalScale);
  FlightState& flight = view.flight;
  flight.x = plan.x;
  flight.y = plan.y;
  flight.heading = plan.heading;
  flight.clearance = plan.clearance;
  flight.eyeHeight = field.SampleHeight(plan.x, plan.y) + plan.clearance;
  const PointerState pointer{true, plan.pointerX, plan.pointerY};
  FlightPath path;
  path.reserve(frames);
  for (int frame = 0; frame < frames; ++frame) {
    UpdateFlight(flight, pointer, false, field, 1.0);
    path.push_back({flight.x, flight.y, flight.eyeHeight, flight.heading});
  }
  return path;
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
  // Nine significant digits give every float back exactly.
  for (const FlightPose& pose : poses)
    std::fprintf(file, "%.9g,%.9g,%.9g,%.9g\n", pose.x, pose.y, pose.z, pose.heading);
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

Result<FlightPath> ReadFlightFile(const std::string& path, int frames) {
  if (access(path.c_str(), F_OK) != 0)
    return FlightFailure("unknown flight '" + path + "' (pass, orbit, turn or a CSV file of poses)", 2);
  Result<FlightPath> poses = ReadFlightCsv(path);
  if (poses.ok() && frames > 0 && static_cast<int>(poses.value().size()) > frames) poses.value().resize(frames);
  return poses;
}
