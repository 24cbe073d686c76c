#pragma once
#include <cstdio>
#include <string>

#include "app/platform/failure.h"
#include "app/view/flight_file.h"

// Records camera 0's pose at every drawn frame as a flight file that quorvane-bench --flight
// replays, so that a path flown by hand can be benchmarked. The poses go to a temporary file
// beside the destination, which takes the destination's name only when the recording finishes:
// a destination never holds a half-written flight while the program runs.
//
// Invariant: recording() exactly while the temporary file is open.
class FlightRecorder {
 public:
  FlightRecorder() = default;
  ~FlightRecorder();
  FlightRecorder(const FlightRecorder&) = delete;
  FlightRecorder& operator=(const FlightRecorder&) = delete;

  // Starts a recording to path: the temporary file is made and its header written. A path that
  // cannot be written (a directory, a missing or read-only directory) fails with a one-line
  // reason and leaves the recorder idle.
  Status Start(const std::string& path);

  bool recording() const { return file_ != nullptr; }

  // Appends the pose; does nothing while idle. A failed write is reported by Finish.
  void Record(const FlightPose& pose);

  // Closes the temporary file and renames it to the destination. Idle afterwards, so a second
  // call does nothing and succeeds. On failure the temporary file is removed and the reason is
  // one line.
  Status Finish();

 private:
  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};
