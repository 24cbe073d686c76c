#pragma once
#include <string>
#include <vector>

#include "app/platform/failure.h"
#include "app/view/camera.h"
#include "terrain/height_field.h"

// The flights the benchmark flies: computed built-in ones and CSV files of poses.

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

// Frames of a built-in flight when no length is asked for.
constexpr int kDefaultFlightFrames = 300;

// Names of the built-in flights: "pass", "orbit", "turn".
const std::vector<std::string>& BuiltInFlightNames();
bool IsBuiltInFlight(const std::string& name);

// Flies the real flight model (UpdateFlight, step 1 per frame, the left button held and the
// pointer where the flight wants it) over the field and returns the frames' poses, so terrain
// following is the interactive one. The shape of each flight does not depend on the frame count
// more than it must: the pass crosses the same diagonal and the turn makes one full turn whatever
// the count (as far as the flight model's top speeds allow). name must be a built-in flight.
FlightPath ComputeBuiltInFlight(const std::string& name, int frames, const HeightField& field);

// Flight files: the header line "x,y,z,heading", then one pose per line; spaces around fields,
// carriage returns and blank lines are allowed.
constexpr char kFlightCsvHeader[] = "x,y,z,heading";

// Reads a flight file. A missing or unreadable file, a wrong header, a line that is not four
// finite numbers, x or y outside [0, 1], or no pose at all fail (status 1) with a one-line
// reason naming the file and the line.
Result<FlightPath> ReadFlightCsv(const std::string& path);

// Writes the poses so that ReadFlightCsv gives them back bit for bit. False: could not write.
bool WriteFlightCsv(const std::string& path, const FlightPath& poses);

// The flight a --flight value names when it is not a built-in one: the poses of that file, the
// first frames of them when frames > 0. A file that does not exist is an unknown flight
// (status 2, a bad command line); a bad file fails as ReadFlightCsv does.
Result<FlightPath> ReadFlightFile(const std::string& path, int frames);
