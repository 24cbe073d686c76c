#include "headless/bench_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxSide = 16384;
constexpr int kMaxFrames = 1000000;

bool ParseInt(const std::string& text, int low, int high, int* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParsePositiveFloat(const std::string& text, float* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 1e6) return false;
  *out = static_cast<float>(value);
  return true;
}

}  // namespace

bool ParseBenchOptions(int argc, const char* const* argv, BenchOptions* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    std::string name = argv[i];
    std::string value;
    bool hasValue = false;
    // --name=value as well as --name value.
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      hasValue = true;
    }
    const auto needValue = [&]() {
      if (hasValue) return true;
      if (i + 1 >= argc) {
        *error = "option " + name + " needs a value (see --help)";
        return false;
      }
      value = argv[++i];
      return true;
    };
    const auto bad = [&](const char* what) {
      *error = "bad value '" + value + "' for " + name + " (" + what + ")";
      return false;
    };
    const auto noValue = [&]() {
      if (!hasValue) return true;
      *error = "option " + name + " takes no value (see --help)";
      return false;
    };

    if (name == "--help" || name == "-h") {
      if (!noValue()) return false;
      options->help = true;
    } else if (name == "--no-raster") {
      if (!noValue()) return false;
      options->rasterizerDiscard = true;
    } else if (name == "--terrain") {
      if (!needValue()) return false;
      if (value.empty()) return bad("a file name");
      options->terrain = value;
    } else if (name == "--texture") {
      if (!needValue()) return false;
      if (value.empty()) return bad("a file name");
      options->texture = value;
    } else if (name == "--scale") {
      if (!needValue()) return false;
      if (!ParsePositiveFloat(value, &options->verticalScale)) return bad("a positive number");
    } else if (name == "--width") {
      if (!needValue()) return false;
      if (!ParseInt(value, 1, kMaxSide, &options->width)) return bad("1..16384 pixels");
    } else if (name == "--height") {
      if (!needValue()) return false;
      if (!ParseInt(value, 1, kMaxSide, &options->height)) return bad("1..16384 pixels");
    } else if (name == "--flight") {
      if (!needValue()) return false;
      if (value.empty()) return bad("a flight name or a CSV file");
      options->flight = value;
    } else if (name == "--frames") {
      if (!needValue()) return false;
      if (!ParseInt(value, 1, kMaxFrames, &options->frames)) return bad("1..1000000");
    } else if (name == "--methods") {
      if (!needValue()) return false;
      std::string reason;
      if (!ParseBenchMethodList(value, &options->methods, &reason)) {
        *error = "bad --methods: " + reason;
        return false;
      }
    } else if (name == "--quality-every") {
      if (!needValue()) return false;
      if (!ParseInt(value, 0, kMaxFrames, &options->qualityEvery)) return bad("0 (off) or a frame count");
    } else if (name == "--threshold") {
      if (!needValue()) return false;
      if (!ParseInt(value, 0, 255, &options->threshold)) return bad("0..255");
    } else if (name == "--csv" || name == "--svg" || name == "--write-flight") {
      if (!needValue()) return false;
      if (value.empty()) return bad("a file name");
      (name == "--csv" ? options->csvPath : name == "--svg" ? options->svgPath : options->writeFlightPath) = value;
    } else if (name.rfind("-", 0) == 0) {
      *error = "unknown option " + name + " (see --help)";
      return false;
    } else {
      *error = "unexpected argument '" + name + "' (see --help)";
      return false;
    }
  }
  return true;
}

const char* BenchUsage() {
  return "Usage: quorvane-bench [options]\n"
         "Flies every listed drawing method over the same computed flight in an offscreen EGL\n"
         "context and prints a table of speed and picture quality.\n"
         "\n"
         "  --terrain FILE       height field PNG (default def_hf.png)\n"
         "  --texture FILE       texture PNG (default: generated slope shading)\n"
         "  --scale S            vertical scale (default 0.1)\n"
         "  --width W            picture width in pixels (default 640)\n"
         "  --height H           picture height in pixels (default 480)\n"
         "  --flight NAME|FILE   built-in flight: pass (low, fast across the terrain), orbit (slow\n"
         "                       arc around the centre), turn (turning in place); or a CSV file of\n"
         "                       poses: a header line, then x,y,z,heading per frame (x, y in the unit\n"
         "                       square, z the eye height, heading in radians). Default pass.\n"
         "  --frames N           frames of a built-in flight, or the first N of a CSV (default 300)\n"
         "  --methods LIST       comma-separated: roam, brute, cabtt[:LEVEL[:adaptive|uniform]]\n"
         "                       (CABTT default level 4, adaptive). Default:\n"
         "                       roam,cabtt:3:adaptive,cabtt:3:uniform,cabtt:4:adaptive,\n"
         "                       cabtt:4:uniform,cabtt:5:adaptive,cabtt:5:uniform,brute\n"
         "  --quality-every K    compare with the brute-force picture every K frames (default 30;\n"
         "                       0 turns quality off)\n"
         "  --threshold T        per-channel difference counted as a differing pixel (default 8)\n"
         "  --no-raster          GL_RASTERIZER_DISCARD during the methods' frames: the methods' own\n"
         "                       cost without the rasterizer's (quality is then skipped)\n"
         "  --csv FILE           write every method's every frame as CSV\n"
         "  --svg FILE           write a plot of frame time and triangles per frame as SVG\n"
         "  --write-flight FILE  write the flight's poses as CSV (a template for your own flight)\n"
         "  --help               this text\n"
         "\n"
         "The table goes to standard output; progress (on a terminal)\n"
         "and the terrain's messages to standard error.\n"
         "Exit status: 0 done, 1 a file or the GL failed, 2 bad options.\n";
}
