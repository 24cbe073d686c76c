#pragma once
#include <string>
#include <vector>

#include "app/platform/failure.h"
#include "app/view/flight_file.h"
#include "terrain/height_field.h"

// The flights the benchmark flies: computed built-in ones and CSV files of poses (the file
// format is the view layer's, shared with the window's flight recording).

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

// The flight a --flight value names when it is not a built-in one: the poses of that file, the
// first frames of them when frames > 0. A file that does not exist is an unknown flight
// (status 2, a bad command line); a bad file fails as ReadFlightCsv does.
Result<FlightPath> ReadFlightFile(const std::string& path, int frames);
