// quorvane-bench: options, offscreen context, scene, flight, every method, then the table and the
// files. Every failure is one line on standard error: status 2 for a bad command line, 1 for a
// file, the terrain or the GL.
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/platform/log_sink.h"
#include "app/platform/progress_bar.h"
#include "headless/bench_engine.h"
#include "headless/bench_options.h"
#include "headless/bench_report.h"
#include "headless/equal_quality.h"
#include "headless/flights.h"
#include "headless/offscreen_context.h"
#include "headless/quality_plot.h"
#include "headless/svg_plot.h"

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

// "quorvane-bench: <message>" on standard error; returns the status to end with.
int Fail(int status, std::string message) {
  while (!message.empty() && message.back() == '\n') message.pop_back();
  std::fprintf(stderr, "quorvane-bench: %s\n", message.c_str());
  return status;
}

int Fail(const Failure& failure) { return Fail(failure.exitStatus, failure.message); }

// Whether a file can be written at path, found by opening it for appending; a file that did not
// exist before is removed again.
bool CanWriteFile(const std::string& path) {
  const bool existed = access(path.c_str(), F_OK) == 0;
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return false;
  std::fclose(file);
  if (!existed) std::remove(path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const Result<BenchOptions> parsed = ParseBenchOptions(argc, argv);
  if (!parsed.ok()) return Fail(parsed.failure());
  const BenchOptions& options = parsed.value();
  if (options.help) {
    std::fputs(BenchUsage(), stdout);
    return 0;
  }
  // Everything the command line names is checked before the long preparation.
  std::optional<FlightPath> filePoses;
  if (!IsBuiltInFlight(options.flight)) {
    Result<FlightPath> poses = ReadFlightFile(options.flight, options.frames);
    if (!poses.ok()) return Fail(poses.failure());
    filePoses = std::move(poses.value());
  }
  for (const std::string* path : {&options.csvPath, &options.svgPath, &options.writeFlightPath,
                                  &options.qualitySvgPath, &options.summaryCsvPath}) {
    if (!path->empty() && !CanWriteFile(*path)) return Fail(1, "cannot write " + *path);
  }

  Result<std::unique_ptr<OffscreenContext>> context = OffscreenContext::Create(options.width, options.height);
  if (!context.ok()) return Fail(1, "no OpenGL context: " + context.failure().message);
  ConsoleToStderr console;
  Result<std::unique_ptr<BenchScene>> prepared = PrepareBenchScene(options.terrain, options.texture,
                                                                   options.verticalScale, options.width,
                                                                   options.height, console);
  if (!prepared.ok()) {
    console.Show(prepared.failure());
    return prepared.failure().exitStatus;
  }
  BenchScene& scene = *prepared.value();
  const std::string misfit = CheckMethodsFitTerrain(options.methods, scene.terrain.field.n);
  if (!misfit.empty()) return Fail(2, misfit);
  // The default comparison runs on any GL: it leaves out the methods whose cache this one cannot
  // serve.
  std::vector<BenchMethod> methods = options.methods;
  const std::string unserved = CheckMethodCaches(methods, scene);
  if (!unserved.empty() && methods != DefaultBenchMethods()) return Fail(1, unserved);
  if (!unserved.empty()) {
    std::fprintf(stderr, "quorvane-bench: %s: it and the methods like it are left out\n", unserved.c_str());
    std::erase_if(methods, [&scene](const BenchMethod& method) { return !CheckMethodCaches({method}, scene).empty(); });
  }

  BenchPlan plan;
  plan.flight = filePoses ? std::move(*filePoses)
                          : ComputeBuiltInFlight(options.flight,
                                                 options.frames > 0 ? options.frames : kDefaultFlightFrames,
                                                 scene.terrain.field);
  plan.methods = methods;
  plan.details = options.details;
  plan.width = options.width;
  plan.height = options.height;
  plan.qualityEvery = options.qualityEvery;
  plan.threshold = options.threshold;
  plan.rasterizerDiscard = options.rasterizerDiscard;
  if (!options.writeFlightPath.empty() && !WriteFlightCsv(options.writeFlightPath, plan.flight))
    return Fail(1, "cannot write " + options.writeFlightPath);

  // The bar redraws its line with carriage returns: only a terminal shows that as one line.
  ProgressBar bar(isatty(fileno(stderr)) ? stderr : nullptr);
  Result<BenchRun> ran =
      RunBench(scene, plan, [&bar](const std::string& label, int done, int total) { bar.Update(label, done, total); });
  bar.Finish();
  if (!ran.ok()) return Fail(ran.failure());
  BenchRun& run = ran.value();
  run.terrain = options.terrain;
  run.flight = options.flight;

  std::fputs(FormatTable(run).c_str(), stdout);
  std::fputs(FormatEqualQuality(run).c_str(), stdout);
  std::fflush(stdout);
  const PlotOptions plot{options.logTime};
  if (!options.csvPath.empty() && !WriteFrameCsv(run, options.csvPath)) return Fail(1, "cannot write " + options.csvPath);
  if (!options.summaryCsvPath.empty() && !WriteSummaryCsv(run, options.summaryCsvPath))
    return Fail(1, "cannot write " + options.summaryCsvPath);
  if (!options.svgPath.empty() && !WriteSvgPlot(run, options.svgPath, plot))
    return Fail(1, "cannot write " + options.svgPath);
  if (!options.qualitySvgPath.empty() && !WriteQualityPlot(run, options.qualitySvgPath, plot))
    return Fail(1, "cannot write " + options.qualitySvgPath);
  return 0;
}
