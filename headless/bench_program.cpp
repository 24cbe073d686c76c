#include "headless/bench_program.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/platform/log_sink.h"
#include "headless/bench_csv.h"
#include "headless/bench_engine.h"
#include "headless/bench_svg.h"
#include "headless/bench_table.h"
#include "headless/builtin_flights.h"
#include "headless/flight_csv.h"
#include "headless/bench_scene.h"
#include "headless/offscreen_context.h"
#include "headless/progress_bar.h"

namespace {

constexpr int kUsageStatus = 2;
constexpr int kFailureStatus = 1;

// A flight file is read before the long preparation so that a bad one fails at once.
FlightPath CheckFlightFile(const std::string& path) {
  if (access(path.c_str(), F_OK) != 0)
    BenchFail(kUsageStatus, "unknown flight '" + path + "' (pass, orbit, turn or a CSV file of poses)");
  FlightPath poses;
  std::string error;
  if (!ReadFlightCsv(path, &poses, &error)) BenchFail(kFailureStatus, error);
  return poses;
}

}  // namespace

namespace {

// The terrain loaders' lines go to standard error, so that standard output holds the table alone.
class ConsoleToStderr final : public LogSink {
 public:
  void Log(std::string_view) override {}
  void Console(std::string_view text) override { Error(text); }
  void Error(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
};

// A method's failure, as one line of the program's own.
[[noreturn]] void MethodFail(const Failure& failure) {
  std::string message = failure.message;
  while (!message.empty() && message.back() == '\n') message.pop_back();
  BenchFail(failure.exitStatus, message);
}

}  // namespace

void BenchFail(int status, const std::string& message) {
  std::fprintf(stderr, "quorvane-bench: %s\n", message.c_str());
  std::fflush(stdout);
  std::exit(status);
}

bool CanWriteFile(const std::string& path) {
  const bool existed = access(path.c_str(), F_OK) == 0;
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return false;
  std::fclose(file);
  if (!existed) std::remove(path.c_str());
  return true;
}

FlightPath LoadFlight(const BenchOptions& options, const HeightField& field) {
  if (IsBuiltInFlight(options.flight))
    return ComputeBuiltInFlight(options.flight, options.frames > 0 ? options.frames : kDefaultFlightFrames, field);
  FlightPath poses = CheckFlightFile(options.flight);
  if (options.frames > 0 && static_cast<int>(poses.size()) > options.frames) poses.resize(options.frames);
  return poses;
}

int RunQuorvaneBench(int argc, char** argv) {
  BenchOptions options;
  std::string error;
  if (!ParseBenchOptions(argc, argv, &options, &error)) BenchFail(kUsageStatus, error);
  if (options.help) {
    std::fputs(BenchUsage(), stdout);
    return 0;
  }
  if (!IsBuiltInFlight(options.flight)) CheckFlightFile(options.flight);
  for (const std::string* path : {&options.csvPath, &options.svgPath, &options.writeFlightPath}) {
    if (!path->empty() && !CanWriteFile(*path)) BenchFail(kFailureStatus, "cannot write " + *path);
  }

  if (!MakeOffscreenContextCurrent(options.width, options.height, &error))
    BenchFail(kFailureStatus, "no OpenGL context: " + error);
  ConsoleToStderr console;
  Result<std::unique_ptr<BenchScene>> prepared = PrepareBenchScene(options.terrain, options.texture, options.verticalScale,
                                                                   options.width, options.height, console);
  if (!prepared.ok()) {
    console.Show(prepared.failure());
    std::exit(prepared.failure().exitStatus);
  }
  BenchScene& scene = *prepared.value();
  error = CheckMethodsFitTerrain(options.methods, scene.terrain.field.n);
  if (!error.empty()) BenchFail(kUsageStatus, error);

  BenchPlan plan;
  plan.flight = LoadFlight(options, scene.terrain.field);
  plan.methods = options.methods;
  plan.width = options.width;
  plan.height = options.height;
  plan.qualityEvery = options.qualityEvery;
  plan.threshold = options.threshold;
  plan.rasterizerDiscard = options.rasterizerDiscard;
  if (!options.writeFlightPath.empty() && !WriteFlightCsv(options.writeFlightPath, plan.flight))
    BenchFail(kFailureStatus, "cannot write " + options.writeFlightPath);
  if (plan.rasterizerDiscard && plan.qualityEvery > 0)
    std::fprintf(stderr, "quorvane-bench: no pictures with --no-raster: quality is skipped\n");

  // The bar redraws its line with carriage returns: only a terminal shows that as one line.
  ProgressBar bar(isatty(fileno(stderr)) ? stderr : nullptr);
  Result<BenchRun> ran =
      RunBench(scene, plan, [&bar](const std::string& label, int done, int total) { bar.Update(label, done, total); });
  bar.Finish();
  if (!ran.ok()) MethodFail(ran.failure());
  BenchRun& run = ran.value();
  run.terrain = options.terrain;
  run.flight = options.flight;

  std::fputs(FormatTable(run).c_str(), stdout);
  std::fflush(stdout);
  if (!options.csvPath.empty() && !WriteFrameCsv(run, options.csvPath))
    BenchFail(kFailureStatus, "cannot write " + options.csvPath);
  if (!options.svgPath.empty() && !WriteSvgPlot(run, options.svgPath))
    BenchFail(kFailureStatus, "cannot write " + options.svgPath);
  return 0;
}
