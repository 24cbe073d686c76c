#pragma once
#include <string>
#include <vector>

#include "app/platform/failure.h"
#include "headless/bench_engine.h"
#include "headless/detail_settings.h"

// Default CABTT level when the list gives none.
constexpr int kDefaultBenchCabttLevel = 4;

// Parses a comma-separated list of "roam", "brute" and "cabtt[:LEVEL[:adaptive|uniform]]"
// (level 0..14; kDefaultBenchCabttLevel and adaptive when not given), roam and cabtt optionally
// followed by "@system", "@video" or "@buffer", each at most once. The failure's message is the
// one-line reason.
Result<std::vector<BenchMethod>> ParseBenchMethodList(const std::string& text);

// ROAM, then CABTT adaptive and uniform at levels 3, 4 and 5, each on the system-memory and the
// buffer-storage cache; brute force.
std::vector<BenchMethod> DefaultBenchMethods();

// Everything a quorvane-bench command line can say.
struct BenchOptions {
  std::string terrain = "def_hf.png";
  std::string texture;  // empty: the generated slope shading
  float verticalScale = 0.1f;
  int width = 640;
  int height = 480;
  std::string flight = "pass";  // a built-in flight's name or a CSV file of poses
  int frames = 0;               // 0: the flight's own length
  std::vector<BenchMethod> methods = DefaultBenchMethods();
  // --pixel-error or --weights, in the list's order (tau for --height and the flown camera's
  // field of view); empty when neither was given: then the run uses StartupDetail.
  std::vector<DetailSetting> details;
  int qualityEvery = 30;  // frames between quality samples; 0 turns quality off
  int threshold = 8;      // per-channel difference that makes a pixel differ
  bool rasterizerDiscard = false;
  std::string csvPath;
  std::string svgPath;
  std::string qualitySvgPath;
  std::string summaryCsvPath;
  bool logTime = false;  // logarithmic time axes in the plots
  std::string writeFlightPath;
  bool help = false;
};

// Parses argv[1..] (with CLI11): --name value and --name=value alike. A bad command line fails
// with status 2 and a one-line reason without the program's name or a line end: an unknown
// option, a stray argument, a missing value, a value out of its range, a flag given a value, a
// bad method list, a bad detail list (not positive finite numbers, empty, more than
// kMaxDetailValues) or both --pixel-error and --weights. When a command line has several faults, a bad value is reported before an
// unknown option or a stray argument.
Result<BenchOptions> ParseBenchOptions(int argc, const char* const* argv);

// The --help text.
const char* BenchUsage();
