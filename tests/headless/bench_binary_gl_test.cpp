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
    "method", "frame",        "frame_ms",       "refine_ms",  "draw_ms",      "triangles", "bytes",          "splits",
    "merges", "blocks_built", "blocks_redrawn", "draw_calls", "driver_bytes", "psnr",      "differing_share"};
enum Column { kMethod, kFrame, kFrameMs, kRefineMs, kDrawMs, kTriangles, kBytes, kSplits, kMerges, kBuilt,
              kRedrawn, kCalls, kDriverBytes, kPsnr, kShare };

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

  // The written flight replays with the same work frame by frame, even without the rasterizer
  // (which skips quality, and says so in one line).
  const std::vector<CsvRecord> poses = ReadCsv("flight.csv");
  ASSERT_EQ(poses.size(), 7u);
  EXPECT_EQ(poses[0], (CsvRecord{"x", "y", "z", "heading"}));
  const Outcome replay = Run(
      "--terrain hills.png --width 96 --height 72 --flight flight.csv --no-raster --methods "
      "roam,cabtt:2:uniform@buffer,brute --csv replay.csv");
  ASSERT_EQ(replay.status, 0) << replay.err;
  EXPECT_EQ(replay.err, "quorvane-bench: no pictures with --no-raster: quality is skipped\n");
  EXPECT_NE(replay.out.find("Flight:  flight.csv\n"), std::string::npos);

  const std::vector<CsvRecord> replayed = ReadCsv("replay.csv");
  ASSERT_EQ(replayed.size(), rows.size());
  for (size_t i = 1; i < rows.size(); ++i) {
    for (const int column : {kMethod, kFrame, kTriangles, kBytes, kSplits, kMerges, kBuilt, kRedrawn, kCalls,
                             kDriverBytes})
      EXPECT_EQ(replayed[i][column], rows[i][column]) << "row " << i << " " << kCsvColumns[column];
    EXPECT_EQ(replayed[i][kPsnr], "");
  }
}

}  // namespace
