// The real quorvane-bench: every failure is one line on standard error with its status and
// nothing on standard output; a tiny run prints the table and writes the CSV, the SVG and the
// flight it was asked for, and the written flight replays with the same work.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/csv_reader.h"
#include "support/hills_terrain_file.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

constexpr int kGridExponent = 5;  // 33 x 33 samples: 2 * 32 * 32 finest triangles
constexpr double kGridTriangles = 2.0 * 32 * 32;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

const std::vector<std::string> kCsvColumns = {
    "method",    "frame",  "frame_ms",       "refine_ms",    "draw_ms",      "triangles", "bytes",
    "splits",    "merges", "blocks_built",   "blocks_redrawn", "draw_calls", "driver_bytes", "psnr",
    "differing_share", "weight", "pixel_error"};
enum Column { kMethod, kFrame, kFrameMs, kRefineMs, kDrawMs, kTriangles, kBytes, kSplits, kMerges, kBuilt,
              kRedrawn, kCalls, kDriverBytes, kPsnr, kShare, kWeight, kPixelError };

// The whole field as a number, or NaN when it is not one.
double Number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' ? value : std::nan("");
}

class BenchBinaryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteHillsTerrainPng(dir_.File("hills.png"), kGridExponent)); }

  // Runs the binary in the temporary directory; arguments (and environment assignments) pass
  // through the shell as given. Standard error is not a terminal: no progress bar.
  Outcome Run(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "cd '" + dir_.path() + "' && " + environment + " '" QUORVANE_BENCH_BINARY "' " +
                                arguments + " >stdout.txt 2>stderr.txt </dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(dir_.File("stdout.txt")),
            ReadWholeFile(dir_.File("stderr.txt"))};
  }

  // One line (with or without its line end) that contains text, the status, and no table.
  static void ExpectOneLineFailure(const Outcome& outcome, int status, const std::string& text) {
    SCOPED_TRACE(text);
    EXPECT_EQ(outcome.status, status) << outcome.err;
    const size_t lineEnd = outcome.err.find('\n');
    EXPECT_TRUE(lineEnd == std::string::npos || lineEnd == outcome.err.size() - 1) << outcome.err;
    EXPECT_NE(outcome.err.find(text), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }

  std::vector<CsvRecord> ReadCsv(const std::string& name) { return ParseCsv(ReadWholeFile(dir_.File(name))); }

  TempDir dir_;
};

TEST_F(BenchBinaryTest, EveryFailureIsOneLineWithItsStatus) {
  // A bad command line: status 2, before anything is loaded.
  const Outcome unknown = Run("--foo");
  EXPECT_EQ(unknown.err, "quorvane-bench: unknown option --foo (see --help)\n");
  ExpectOneLineFailure(unknown, 2, "unknown option");
  ExpectOneLineFailure(Run("--terrain hills.png stray"), 2, "quorvane-bench: unexpected argument 'stray'");
  ExpectOneLineFailure(Run("--frames many"), 2, "quorvane-bench: bad value 'many' for --frames (1..1000000)");
  ExpectOneLineFailure(Run("--terrain hills.png --frames"), 2, "option --frames needs a value");
  ExpectOneLineFailure(Run("--no-raster=yes"), 2, "option --no-raster takes no value");
  ExpectOneLineFailure(Run("--methods roam,cabtt:3:fast"), 2, "bad --methods: bad CABTT builder 'fast'");
  // Bad detail lists, before the terrain is even looked for.
  ExpectOneLineFailure(Run("--terrain absent.png --pixel-error 1,0"), 2,
                       "quorvane-bench: bad --pixel-error: '0' is not a positive finite number");
  ExpectOneLineFailure(Run("--terrain absent.png --weights 300 --pixel-error 1"), 2, "cannot both be given");
  ExpectOneLineFailure(Run("--terrain hills.png --flight nowhere"), 2, "unknown flight 'nowhere'");
  // Known only once the terrain is loaded, but still the command line's fault.
  ExpectOneLineFailure(Run("--terrain hills.png --methods roam,cabtt:6"), 2,
                       "CABTT level 6 is above the terrain's grid exponent 5");
  ExpectOneLineFailure(Run("--terrain hills.png --methods cabtt@gpu"), 2, "unknown cache 'gpu'");
  // A cache this GL (llvmpipe, without the NV extensions) cannot serve.
  ExpectOneLineFailure(Run("--terrain hills.png --methods roam,cabtt:3@video"), 1,
                       "quorvane-bench: this GL cannot serve the video-memory cache of CABTT L3 adaptive @video");

  // Files, the terrain and the GL: status 1.
  ExpectOneLineFailure(Run("--terrain hills.png --csv no/such/dir/out.csv"), 1,
                       "quorvane-bench: cannot write no/such/dir/out.csv");
  // Outputs are checked together before the run; the probe leaves no file behind.
  ExpectOneLineFailure(Run("--terrain hills.png --csv early.csv --svg ."), 1, "cannot write .");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("early.csv")));
  ExpectOneLineFailure(Run("--terrain hills.png --write-flight no/such/dir/flight.csv"), 1, "cannot write");
  std::ofstream(dir_.File("bad.csv")) << "x,y,z,heading\n0.5,0.5,0.1,0\n0.5,zero,0.1,0\n";
  ExpectOneLineFailure(Run("--terrain hills.png --flight bad.csv"), 1,
                       "quorvane-bench: bad.csv line 3: expected four numbers");
  ExpectOneLineFailure(Run("--terrain absent.png"), 1, "absent.png");
  // No EGL driver at all: GLVND is given no vendor library.
  ExpectOneLineFailure(Run("--terrain hills.png", "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json"), 1,
                       "quorvane-bench: no OpenGL context:");

  const Outcome help = Run("--help --width 10");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  EXPECT_EQ(help.out.rfind("Usage: quorvane-bench [options]\n", 0), 0u) << help.out;
}

TEST_F(BenchBinaryTest, TinyRunWritesTheTableTheFramesThePlotAndAFlightThatReplays) {
  const Outcome run = Run(
      "--terrain hills.png --width 96 --height 72 --frames 6 --quality-every 3 --methods "
      "roam,cabtt:2:uniform@buffer,brute --csv frames.csv --svg plot.svg --write-flight flight.csv");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> names = {"ROAM", "CABTT L2 uniform @buffer", "Brute force"};
  size_t previous = 0;
  for (const std::string& name : names) {
    const size_t row = run.out.find("\n" + name + " ");
    ASSERT_NE(row, std::string::npos) << name << "\n" << run.out;
    EXPECT_GT(row, previous) << "rows in the order of --methods";
    previous = row;
  }
  EXPECT_NE(run.out.find("Mode:    rasterizing\n"), std::string::npos);
  EXPECT_EQ(run.out.find("px err"), std::string::npos) << "no detail columns without a detail list";

  // One row per method per frame, in order; every figure a number; quality at frames 0 and 3 for
  // the methods compared with the reference, and none for the reference itself.
  const std::vector<CsvRecord> rows = ReadCsv("frames.csv");
  ASSERT_EQ(rows.size(), 1u + 3u * 6u);
  EXPECT_EQ(rows[0], kCsvColumns);
  for (size_t i = 1; i < rows.size(); ++i) {
    const CsvRecord& row = rows[i];
    ASSERT_EQ(row.size(), kCsvColumns.size()) << i;
    const size_t method = (i - 1) / 6;
    const int frame = static_cast<int>((i - 1) % 6);
    SCOPED_TRACE(names[method] + " frame " + std::to_string(frame));
    EXPECT_EQ(row[kMethod], names[method]);
    EXPECT_EQ(Number(row[kFrame]), frame);
    for (const int column : {kFrameMs, kRefineMs, kDrawMs, kTriangles, kBytes, kSplits, kMerges, kBuilt, kRedrawn,
                             kCalls, kDriverBytes})
      EXPECT_GE(Number(row[column]), 0.0) << kCsvColumns[column] << " '" << row[column] << "'";
    EXPECT_GT(Number(row[kTriangles]), 0.0);
    // Client arrays (ROAM on the default cache here): one call per block drawn.
    if (method == 0) {
      EXPECT_EQ(Number(row[kCalls]), Number(row[kBuilt]) + Number(row[kRedrawn]));
    }
    if (names[method] == "Brute force") {
      EXPECT_EQ(Number(row[kTriangles]), kGridTriangles);
      EXPECT_EQ(Number(row[kBytes]), 0.0);
      EXPECT_EQ(Number(row[kCalls]), 1.0);
      EXPECT_EQ(Number(row[kDriverBytes]), 0.0);
      EXPECT_EQ(row[kWeight], "");
    } else {
      EXPECT_EQ(Number(row[kWeight]), 600.0);  // the start-up weight without a detail list
    }
    const bool sampled = method < 2 && frame % 3 == 0;
    EXPECT_EQ(row[kPsnr].empty(), !sampled) << row[kPsnr];
    EXPECT_EQ(row[kShare].empty(), !sampled) << row[kShare];
    if (sampled) {
      EXPECT_TRUE(row[kPsnr] == "inf" || Number(row[kPsnr]) > 0.0) << row[kPsnr];
      EXPECT_GE(Number(row[kShare]), 0.0);
      EXPECT_LE(Number(row[kShare]), 1.0);
    }
  }

  // Two charts of one line per method, each point a frame, and the legend.
  const std::string svg = ReadWholeFile(dir_.File("plot.svg"));
  std::string xmlError;
  EXPECT_TRUE(IsWellFormedXml(svg, &xmlError)) << xmlError;
  EXPECT_FALSE(IsWellFormedXml(svg + "<svg/>", nullptr)) << "the checker must see a second root";
  size_t polylines = 0;
  for (size_t at = svg.find("<polyline"); at != std::string::npos; at = svg.find("<polyline", at + 1)) {
    ++polylines;
    const size_t points = svg.find("points=\"", at) + 8;
    const std::string list = svg.substr(points, svg.find('"', points) - points);
    EXPECT_EQ(std::count(list.begin(), list.end(), ','), 6) << list;
  }
  EXPECT_EQ(polylines, 6u);
  for (const std::string& name : names) EXPECT_NE(svg.find(">" + name + "</text>"), std::string::npos) << name;

  // The written flight replays with the same work frame by frame, even without the rasterizer,
  // whose run takes the same pictures from flights apart from the timed ones.
  const std::vector<CsvRecord> poses = ReadCsv("flight.csv");
  ASSERT_EQ(poses.size(), 7u);
  EXPECT_EQ(poses[0], (CsvRecord{"x", "y", "z", "heading"}));
  const Outcome replay = Run(
      "--terrain hills.png --width 96 --height 72 --flight flight.csv --no-raster --methods "
      "roam,cabtt:2:uniform@buffer,brute --csv replay.csv");
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.err, "");
  EXPECT_NE(replay.out.find("Flight:  flight.csv\n"), std::string::npos);

  const std::vector<CsvRecord> replayed = ReadCsv("replay.csv");
  ASSERT_EQ(replayed.size(), rows.size());
  for (size_t i = 1; i < rows.size(); ++i) {
    for (const int column : {kMethod, kFrame, kTriangles, kBytes, kSplits, kMerges, kBuilt, kRedrawn, kCalls,
                             kDriverBytes, kWeight})
      EXPECT_EQ(replayed[i][column], rows[i][column]) << "row " << i << " " << kCsvColumns[column];
    // Quality every 30 frames samples frame 0 alone: the same picture as the first run's.
    const bool sampled = replayed[i][kMethod] != "Brute force" && replayed[i][kFrame] == "0";
    EXPECT_EQ(replayed[i][kPsnr], sampled ? rows[i][kPsnr] : "") << "row " << i;
  }
}

// A sweep: every method but the brute force at every setting, in the table, both CSV files and
// the quality plot, and compared with ROAM at equal quality.
TEST_F(BenchBinaryTest, ASweepRunsEveryMethodAtEverySettingIntoEveryOutput) {
  const Outcome run = Run(
      "--terrain hills.png --width 96 --height 72 --frames 6 --quality-every 2 --methods roam,cabtt:2:uniform,brute "
      "--pixel-error 2,1 --csv frames.csv --summary-csv summary.csv --quality-svg quality.svg --log-time");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> labels = {"ROAM 2 px", "ROAM 1 px", "CABTT L2 uniform 2 px", "CABTT L2 uniform 1 px",
                                           "Brute force"};
  const std::vector<CsvRecord> summary = ReadCsv("summary.csv");
  ASSERT_EQ(summary.size(), 1 + labels.size());
  const auto column = [&](const std::string& name) {
    return static_cast<size_t>(std::find(summary[0].begin(), summary[0].end(), name) - summary[0].begin());
  };
  const size_t pixelError = column("pixel_error"), weight = column("weight");
  const size_t frameMs = column("frame_ms"), triangles = column("triangles_per_frame");
  ASSERT_LT(std::max({pixelError, weight, frameMs, triangles}), summary[0].size());
  const std::vector<CsvRecord> frames = ReadCsv("frames.csv");
  ASSERT_EQ(frames.size(), 1 + 6 * labels.size());
  for (size_t r = 0; r < labels.size(); ++r) {
    const CsvRecord& row = summary[r + 1];
    SCOPED_TRACE(labels[r]);
    EXPECT_EQ(row[0] + (r < 4 ? " " + row[pixelError] + " px" : ""), labels[r]);
    // Every frame row carries its result's setting; the summary's means are the frames' means.
    double frameSum = 0, triangleSum = 0;
    for (size_t f = 0; f < 6; ++f) {
      const CsvRecord& frame = frames[1 + 6 * r + f];
      EXPECT_EQ(frame[kPixelError], row[pixelError]);
      EXPECT_EQ(frame[kWeight], row[weight]);
      frameSum += Number(frame[kFrameMs]);
      triangleSum += Number(frame[kTriangles]);
    }
    EXPECT_NEAR(Number(row[frameMs]), frameSum / 6, 1e-9 * frameSum);
    EXPECT_NEAR(Number(row[triangles]), triangleSum / 6, 1e-9 * triangleSum);
    EXPECT_NE(run.out.find("\n" + row[0]), std::string::npos);
  }
  EXPECT_NEAR(Number(summary[2][weight]), 2 * Number(summary[1][weight]), 1e-4);  // half the error
  EXPECT_NE(run.out.find("px err  weight"), std::string::npos);

  // Two sentences at equal quality: CABTT at each of ROAM's two settings.
  EXPECT_NE(run.out.find("at ROAM's quality at 2 px"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("at ROAM's quality at 1 px"), std::string::npos) << run.out;

  // One curve of two labelled points per method with quality, in each of the plot's two charts.
  const std::string svg = ReadWholeFile(dir_.File("quality.svg"));
  std::string xmlError;
  EXPECT_TRUE(IsWellFormedXml(svg, &xmlError)) << xmlError;
  size_t polylines = 0;
  for (size_t at = svg.find("<polyline"); at != std::string::npos; at = svg.find("<polyline", at + 1)) ++polylines;
  EXPECT_EQ(polylines, 4u) << run.out;
  EXPECT_NE(svg.find(">2</text>"), std::string::npos);
  EXPECT_NE(svg.find(">CABTT L2 uniform</text>"), std::string::npos);
  EXPECT_EQ(svg.find(">Brute force</text>"), std::string::npos);
}

}  // namespace
