#include "headless/flights.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

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

}  // namespace

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
    path.push_back(PoseOf(flight));
  }
  return path;
}

Result<FlightPath> ReadFlightFile(const std::string& path, int frames) {
  if (access(path.c_str(), F_OK) != 0)
    return Failure{"unknown flight '" + path + "' (pass, orbit, turn or a CSV file of poses)", Channel::kErrorAndLog, 2};
  Result<FlightPath> poses = ReadFlightCsv(path);
  if (poses.ok() && frames > 0 && static_cast<int>(poses.value().size()) > frames) poses.value().resize(frames);
  return poses;
}
