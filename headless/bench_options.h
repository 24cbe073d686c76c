#pragma once
#include <string>
#include <vector>

#include "headless/bench_method_list.h"

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
  int qualityEvery = 30;  // frames between quality samples; 0 turns quality off
  int threshold = 8;      // per-channel difference that makes a pixel differ
  bool rasterizerDiscard = false;
  std::string csvPath;
  std::string svgPath;
  std::string writeFlightPath;
  bool help = false;
};

// Parses argv[1..]. Returns false with a one-line reason in *error (without the program name).
bool ParseBenchOptions(int argc, const char* const* argv, BenchOptions* options, std::string* error);

// The --help text.
const char* BenchUsage();
