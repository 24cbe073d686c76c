#pragma once
#include <string>
#include <vector>

#include "app/platform/failure.h"
#include "app/view/camera.h"

// Flights as files of camera 0's poses, one per frame: what the window records while it is flown
// and what the benchmark replays.

// Where camera 0 stands in one frame of a flight: ground position in the unit square, eye
// height, heading (radians from +x towards +y).
struct FlightPose {
  float x;
  float y;
  float z;
  float heading;
};

using FlightPath = std::vector<FlightPose>;

// The pose the flight state puts camera 0 at.
FlightPose PoseOf(const FlightState& flight);

// Puts camera 0 (and the overhead camera that follows it) at the pose, as the flight model does:
// PoseOf(view.flight) gives the pose back unchanged.
void PlaceCameraAt(ViewState& view, const FlightPose& pose);

// Flight files: the header line "x,y,z,heading", then one pose per line; spaces around fields,
// carriage returns and blank lines are allowed.
constexpr char kFlightCsvHeader[] = "x,y,z,heading";

// One pose as a line of a flight file, line end included; it reads back bit for bit.
std::string FlightCsvLine(const FlightPose& pose);

// Reads a flight file. A missing or unreadable file, a wrong header, a line that is not four
// finite numbers, x or y outside [0, 1], or no pose at all fail (status 1) with a one-line
// reason naming the file and the line.
Result<FlightPath> ReadFlightCsv(const std::string& path);

// Writes the poses so that ReadFlightCsv gives them back bit for bit. False: could not write.
bool WriteFlightCsv(const std::string& path, const FlightPath& poses);
