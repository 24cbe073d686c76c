#pragma once
#include <array>
#include <optional>
#include <string>

// The command line of quorvane-import. Parsing checks only the form of the options (known names,
// numbers where numbers belong, the right count of values, no conflicting pair); whether the
// values suit the source (a band that exists, a window inside the raster, a valid size) is
// decided by the import itself.

enum class WindowUnits { kPixels, kCrs };

struct ImportOptions {
  std::string input;
  std::string output;
  int band = 1;
  // Upper-left corner and side: samples (column, row, count) or the source's CRS units.
  std::optional<std::array<double, 3>> window;
  WindowUnits windowUnits = WindowUnits::kPixels;
  // x min, y min, x max, y max in the source's CRS.
  std::optional<std::array<double, 4>> bbox;
  bool project = false;
  std::string resample = "cubic";
  std::optional<int> size;          // 2^n + 1; default from the source
  std::optional<double> minHeight;  // metres
  std::optional<double> maxHeight;  // metres
  double exaggerate = 1.0;
  std::optional<std::string> texture;
  std::optional<int> textureSize;  // a power of two; default from the height-field side
  std::optional<std::string> drape;
};

struct ParsedCommandLine {
  enum class Kind { kImport, kHelp, kError } kind = Kind::kError;
  ImportOptions options;  // kImport
  std::string text;       // kHelp: the help; kError: one line saying what is wrong
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

// Exit statuses: an import that could not be done, and a command line that could not be read.
constexpr int kImportFailedStatus = 1;
constexpr int kBadOptionsStatus = 2;
