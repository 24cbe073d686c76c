#pragma once
#include <string>

#include "headless/bench_options.h"
#include "headless/flight_pose.h"
#include "terrain/height_field.h"

// quorvane-bench: options, offscreen context, scene, flight, every method, table and files.
// Returns the exit status; every failure prints one line on standard error and ends the process
// (status 2 for bad options, 1 for files and the GL).
int RunQuorvaneBench(int argc, char** argv);

// "quorvane-bench: <message>" on standard error, then the end of the program with the status.
[[noreturn]] void BenchFail(int status, const std::string& message);

// Whether a file can be written at path, found by opening it for appending; a file that did not
// exist before is removed again.
bool CanWriteFile(const std::string& path);

// The flight that the options name: a built-in one computed over the field (options.frames long,
// or kDefaultFlightFrames), or the poses of a CSV file (the first options.frames when given). An
// unknown name or a bad file fails with one line.
FlightPath LoadFlight(const BenchOptions& options, const HeightField& field);
