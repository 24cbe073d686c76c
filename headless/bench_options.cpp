#include "headless/bench_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

#include "terrain/height_field.h"

namespace {

constexpr int kUsageStatus = 2;
constexpr int kMaxSide = 16384;
constexpr int kMaxFrames = 1000000;

Failure UsageFailure(const std::string& message) { return Failure{message, Channel::kErrorAndLog, kUsageStatus}; }

// A fault found by an option's callback while CLI11 parses; caught in ParseBenchOptions.
struct BadCommandLine {
  std::string message;
};

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

// An option with one value, taken (or refused, with what a good value looks like) as it is read.
void AddValueOption(CLI::App& app, const std::string& name, const std::string& what,
                    std::function<bool(const std::string&)> take) {
  app.add_option_function<std::string>(name,
                                       [name, what, take](const std::string& value) {
                                         if (!take(value))
                                           throw BadCommandLine{"bad value '" + value + "' for " + name + " (" +
                                                                what + ")"};
                                       })
      ->trigger_on_parse();
}

void AddFileOption(CLI::App& app, const std::string& name, const std::string& what, std::string* path) {
  AddValueOption(app, name, what, [path](const std::string& value) {
    *path = value;
    return !value.empty();
  });
}

void AddIntOption(CLI::App& app, const std::string& name, const std::string& what, int low, int high, int* out) {
  AddValueOption(app, name, what, [low, high, out](const std::string& value) { return ParseInt(value, low, high, out); });
}

// A flag. Given as --name=value, CLI11 hands over the value instead of the flag's own default
// ("given" here, which nobody types): any value given is refused.
void AddFlag(CLI::App& app, const std::vector<std::string>& names, bool* set) {
  std::string spelled;
  for (const std::string& name : names) spelled += (spelled.empty() ? "" : ",") + name + "{given}";
  const std::string name = names.back();
  app.add_flag(spelled)
      ->each([name, set](const std::string& value) {
        if (value != "given") throw BadCommandLine{"option " + name + " takes no value (see --help)"};
        *set = true;
      })
      ->trigger_on_parse();
}

const std::vector<std::string> kFlagNames = {"-h", "--help", "--no-raster", "--log-time"};

// The arguments as CLI11 should see them: an empty value is a value, refused by the option like
// any bad one, rather than a missing one (CLI11 would take the next argument, or a flag's own).
// So "--name=" becomes "--name" and an empty argument, and "--flag=" a flag with a value.
std::vector<std::string> ArgumentsForParsing(int argc, const char* const* argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const std::string name = argument.substr(0, argument.size() - 1);
    if (argument.size() < 4 || argument.rfind("--", 0) != 0 || argument.find('=') != argument.size() - 1) {
      arguments.push_back(argument);
    } else if (std::find(kFlagNames.begin(), kFlagNames.end(), name) != kFlagNames.end()) {
      arguments.push_back(argument + "empty");
    } else {
      arguments.push_back(name);
      arguments.emplace_back();
    }
  }
  return arguments;
}

std::string OptionName(const std::string& argument) {
  return argument.rfind("--", 0) == 0 ? argument.substr(0, argument.find('=')) : argument;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream stream(text);
  while (std::getline(stream, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

bool ParseLevel(const std::string& text, int* level) {
  if (text.empty() || text.size() > 2) return false;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > kMaxGridExponent) return false;
  *level = value;
  return true;
}

Result<BenchMethod> ParseCabtt(const std::vector<std::string>& fields) {
  BenchMethod method{BenchMethod::Kind::kCabtt, kDefaultBenchCabttLevel, true};
  if (fields.size() > 3) return UsageFailure("too many fields in a CABTT method (cabtt[:LEVEL[:adaptive|uniform]])");
  if (fields.size() >= 2 && !ParseLevel(fields[1], &method.level))
    return UsageFailure("bad CABTT level '" + fields[1] + "' (0.." + std::to_string(kMaxGridExponent) + ")");
  if (fields.size() == 3) {
    if (fields[2] != "adaptive" && fields[2] != "uniform")
      return UsageFailure("bad CABTT builder '" + fields[2] + "' (adaptive or uniform)");
    method.adaptive = fields[2] == "adaptive";
  }
  return method;
}

}  // namespace

Result<std::vector<BenchMethod>> ParseBenchMethodList(const std::string& text) {
  std::vector<BenchMethod> methods;
  for (const std::string& entry : Split(text, ',')) {
    const size_t at = entry.find('@');
    const std::string item = entry.substr(0, at);
    const std::vector<std::string> fields = Split(item, ':');
    Result<BenchMethod> method = BenchMethod{};
    if (item == "roam") {
      method = BenchMethod{BenchMethod::Kind::kRoam, 0, true};
    } else if (item == "brute") {
      method = BenchMethod{BenchMethod::Kind::kBruteForce, 0, true};
    } else if (!fields.empty() && fields[0] == "cabtt") {
      method = ParseCabtt(fields);
      if (!method.ok()) return method.failure();
    } else {
      return UsageFailure("unknown method '" + item + "' (roam, cabtt[:LEVEL[:adaptive|uniform]], brute)");
    }
    if (at != std::string::npos) {
      const std::string cache = entry.substr(at + 1);
      method.value().cache = CacheKindNamed(cache);
      if (!method.value().cache) return UsageFailure("unknown cache '" + cache + "' (system, video or buffer)");
      if (method.value().kind == BenchMethod::Kind::kBruteForce)
        return UsageFailure("the brute force draws without a cache: '" + entry + "'");
    }
    for (const BenchMethod& earlier : methods) {
      if (earlier == method.value())
        return UsageFailure("method '" + BenchMethodName(earlier) + "' listed twice");
    }
    methods.push_back(method.value());
  }
  if (methods.empty()) return UsageFailure("empty method list");
  return methods;
}

std::vector<BenchMethod> DefaultBenchMethods() {
  constexpr CacheKind kCaches[] = {CacheKind::kSystemMemory, CacheKind::kBufferStorage};
  std::vector<BenchMethod> methods;
  for (const CacheKind cache : kCaches) methods.push_back({BenchMethod::Kind::kRoam, 0, true, cache});
  for (const int level : {3, 4, 5})
    for (const bool adaptive : {true, false})
      for (const CacheKind cache : kCaches) methods.push_back({BenchMethod::Kind::kCabtt, level, adaptive, cache});
  methods.push_back({BenchMethod::Kind::kBruteForce, 0, true});
  return methods;
}

Result<BenchOptions> ParseBenchOptions(int argc, const char* const* argv) {
  BenchOptions options;
  CLI::App app;
  app.set_help_flag();  // --help is ours: it prints BenchUsage()
  app.allow_extras();   // unknown options and stray arguments are reported below, in our words
  AddFlag(app, {kFlagNames[0], kFlagNames[1]}, &options.help);
  AddFlag(app, {kFlagNames[2]}, &options.rasterizerDiscard);
  AddFlag(app, {kFlagNames[3]}, &options.logTime);
  AddFileOption(app, "--terrain", "a file name", &options.terrain);
  AddFileOption(app, "--texture", "a file name", &options.texture);
  AddValueOption(app, "--scale", "a positive number",
                 [&options](const std::string& value) { return ParsePositiveFloat(value, &options.verticalScale); });
  AddIntOption(app, "--width", "1..16384 pixels", 1, kMaxSide, &options.width);
  AddIntOption(app, "--height", "1..16384 pixels", 1, kMaxSide, &options.height);
  AddFileOption(app, "--flight", "a flight name or a CSV file", &options.flight);
  AddIntOption(app, "--frames", "1..1000000", 1, kMaxFrames, &options.frames);
  app.add_option_function<std::string>("--methods",
                                       [&options](const std::string& value) {
                                         Result<std::vector<BenchMethod>> methods = ParseBenchMethodList(value);
                                         if (!methods.ok())
                                           throw BadCommandLine{"bad --methods: " + methods.failure().message};
                                         options.methods = methods.value();
                                       })
      ->trigger_on_parse();
  std::vector<double> detailValues;
  std::vector<std::string> detailOptions;  // which of --pixel-error and --weights were given
  for (const std::string name : {"--pixel-error", "--weights"}) {
    app.add_option_function<std::string>(name,
                                         [&detailValues, &detailOptions, name](const std::string& value) {
                                           Result<std::vector<double>> values = ParseDetailList(value);
                                           if (!values.ok())
                                             throw BadCommandLine{"bad " + name + ": " + values.failure().message};
                                           detailValues = values.value();
                                           if (detailOptions.empty() || detailOptions.back() != name)
                                             detailOptions.push_back(name);
                                         })
        ->trigger_on_parse();
  }
  AddIntOption(app, "--quality-every", "0 (off) or a frame count", 0, kMaxFrames, &options.qualityEvery);
  AddIntOption(app, "--threshold", "0..255", 0, 255, &options.threshold);
  AddFileOption(app, "--csv", "a file name", &options.csvPath);
  AddFileOption(app, "--svg", "a file name", &options.svgPath);
  AddFileOption(app, "--write-flight", "a file name", &options.writeFlightPath);
  AddFileOption(app, "--quality-svg", "a file name", &options.qualitySvgPath);
  AddFileOption(app, "--summary-csv", "a file name", &options.summaryCsvPath);

  std::vector<std::string> arguments = ArgumentsForParsing(argc, argv);
  const std::string last = arguments.empty() ? "" : arguments.back();
  try {
    std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them from the back
    app.parse(arguments);
  } catch (const BadCommandLine& bad) {
    return UsageFailure(bad.message);
  } catch (const CLI::ArgumentMismatch&) {
    // Only an option with its value missing at the very end gets here.
    return UsageFailure("option " + OptionName(last) + " needs a value (see --help)");
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    for (char& c : message)
      if (c == '\n') c = ' ';
    return UsageFailure(message);
  }
  const std::vector<std::string> extras = app.remaining();
  if (!extras.empty()) {
    const std::string& extra = extras.front();
    if (!extra.empty() && extra[0] == '-') return UsageFailure("unknown option " + OptionName(extra) + " (see --help)");
    return UsageFailure("unexpected argument '" + extra + "' (see --help)");
  }
  if (detailOptions.size() > 1) return UsageFailure("--pixel-error and --weights cannot both be given");
  if (!detailOptions.empty()) {
    Result<std::vector<DetailSetting>> details = MakeDetailSettings(
        detailValues, detailOptions[0] == "--weights", options.height, FlownFieldOfView());
    if (!details.ok()) return UsageFailure("bad " + detailOptions[0] + ": " + details.failure().message);
    options.details = std::move(details.value());
  }
  return options;
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
         "                       (CABTT default level 4, adaptive); roam and cabtt may end with\n"
         "                       @system, @video or @buffer to choose their cache (default: the\n"
         "                       window's rule). Default: roam and CABTT levels 3, 4 and 5, adaptive\n"
         "                       and uniform, each @system and @buffer, then brute (methods whose\n"
         "                       cache the GL cannot serve are left out of the default)\n"
         "  --pixel-error LIST   detail settings as screen-space errors in pixels, comma-separated\n"
         "                       (e.g. 4,2,1,0.5): every method but the brute force flies once per\n"
         "                       value, with the error-metric weight (H / (2 tan 22.5 deg)) / value\n"
         "                       for a picture H pixels high and the camera's 45-degree view\n"
         "  --weights LIST       the same as raw error-metric weights (e.g. 150,300,600); at most\n"
         "                       16 positive values, one of the two options. Default: weight 600\n"
         "                       (about 0.97 px at 480 lines)\n"
         "  --quality-every K    compare with the brute-force picture every K frames (default 30;\n"
         "                       0 turns quality off)\n"
         "  --threshold T        per-channel difference counted as a differing pixel (default 8)\n"
         "  --no-raster          GL_RASTERIZER_DISCARD during the timed frames: the methods' own\n"
         "                       cost without the rasterizer's. Quality then comes from a second,\n"
         "                       untimed flight of each method over the same poses, rasterizing\n"
         "  --csv FILE           write every method's every frame as CSV\n"
         "  --summary-csv FILE   write one CSV row per method and detail setting\n"
         "  --svg FILE           write a plot of frame time and triangles per frame as SVG\n"
         "  --quality-svg FILE   write a plot of PSNR against frame time and CPU time as SVG, one\n"
         "                       curve per method through its detail settings\n"
         "  --log-time           logarithmic time axes in both plots\n"
         "  --write-flight FILE  write the flight's poses as CSV (a template for your own flight)\n"
         "  --help               this text\n"
         "\n"
         "The table goes to standard output, followed, with two or more detail settings, by the\n"
         "comparison at equal quality: the time each method needs to reach ROAM's PSNR at each of\n"
         "ROAM's settings. Progress (on a terminal) and the terrain's messages go to standard error.\n"
         "A flight flown in the window is recorded with QUORVANE_RECORD_FLIGHT=FILE quorvane.\n"
         "Exit status: 0 done, 1 a file or the GL failed, 2 bad options.\n";
}
