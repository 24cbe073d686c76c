#pragma once
#include <string>
#include <vector>

// One drawing method of a benchmark run, as the --methods list names it.
struct BenchMethod {
  enum class Kind { kRoam, kCabtt, kBruteForce };
  Kind kind = Kind::kRoam;
  int level = 0;          // CABTT aggregation level
  bool adaptive = true;   // CABTT builder kind

  bool operator==(const BenchMethod&) const = default;
};

// Default CABTT level when the list gives none.
constexpr int kDefaultBenchCabttLevel = 4;

// "ROAM", "CABTT L4 adaptive", "CABTT L3 uniform", "Brute force".
std::string BenchMethodName(const BenchMethod& method);

// Parses a comma-separated list of "roam", "brute" and "cabtt[:LEVEL[:adaptive|uniform]]"
// (level 0..14, adaptive when not given). Returns false with a one-line reason in *error.
bool ParseBenchMethodList(const std::string& text, std::vector<BenchMethod>* methods, std::string* error);

// ROAM; CABTT adaptive and uniform at levels 3, 4 and 5; brute force.
std::vector<BenchMethod> DefaultBenchMethods();
