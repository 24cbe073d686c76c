#pragma once
#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

// A one-line progress display for long runs: silent until delaySeconds have passed since
// construction, so that short runs print nothing; then it redraws its line in place with '\r'
// (label, bar, percent, done/total, time left) at most ten times a second. A shorter line blanks
// what a longer one left behind. Finish() blanks the line again, and only if anything was drawn.
// A null stream draws nothing. Shared by the programs that run long steps (the benchmark, the
// importer).
class ProgressBar {
 public:
  // Seconds on any steady scale; tests pass a fake.
  using Clock = std::function<double()>;

  explicit ProgressBar(std::FILE* out, double delaySeconds = 1.0);
  ProgressBar(std::FILE* out, double delaySeconds, Clock clock);

  void Update(const std::string& label, int done, int total);
  void Finish();

  bool drawn() const { return drawnWidth_ > 0; }

 private:
  std::string Line(const std::string& label, int done, int total, double elapsed) const;

  std::FILE* out_;
  double delaySeconds_;
  Clock clock_;
  double start_;
  double lastDraw_ = 0.0;
  size_t drawnWidth_ = 0;  // characters of the line on screen now; 0 when nothing is shown
};

// Seconds as "m:ss", or "h:mm:ss" from an hour; "--:--" when unknown (negative or not finite).
std::string FormatDuration(double seconds);
