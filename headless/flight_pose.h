#pragma once
#include <vector>

#include "app/view/camera.h"

// Where camera 0 stands in one frame of a flight: ground position in the unit square, eye
// height, heading (radians from +x towards +y).
struct FlightPose {
  float x;
  float y;
  float z;
  float heading;
};

using FlightPath = std::vector<FlightPose>;

// Puts camera 0 (and the overhead camera that follows it) at the pose, as the flight model does.
void PlaceCameraAt(ViewState& view, const FlightPose& pose);
