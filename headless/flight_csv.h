#pragma once
#include <string>

#include "headless/flight_pose.h"

// Flights as CSV: the header line "x,y,z,heading", then one pose per line.
constexpr char kFlightCsvHeader[] = "x,y,z,heading";

// Reads a flight. A missing file, a wrong header, a line that is not four finite numbers, x or y
// outside [0, 1], or no pose at all: false with a one-line reason naming the line in *error.
bool ReadFlightCsv(const std::string& path, FlightPath* poses, std::string* error);

// Writes the poses so that ReadFlightCsv gives them back exactly. False: could not write.
bool WriteFlightCsv(const std::string& path, const FlightPath& poses);
