// The real quorvane-bench binary: its failures end with one line and a non-zero status, and a
// tiny run writes the files it was asked for.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/csv_reader.h"
#include "support/hills_terrain_file.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The fields of a one-record CSV line.
std::vector<std::string> Fields(const std::string& line) {
  const std::vector<CsvRecord> records = ParseCsv(line + "\n");
  return records.size() == 1 ? records[0] : std::vector<std::string>{};
}

class BenchBinaryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteHillsTerrainPng(dir_.File("hills.png"), 5)); }

  // Runs the binary in the temporary directory; arguments (and environment assignments) are
  // passed through the shell as given.
  Outcome Run(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "cd '" + dir_.path() + "' && " + environment + " '" QUORVANE_BENCH_BINARY "' " + arguments +
                                " >stdout.txt 2>stderr.txt </dev/null";
    Outcome outcome;
    const int raw = std::system(command.c_str());
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.out = ReadWholeFile(dir_.File("stdout.txt"));
    outcome.err = ReadWholeFile(dir_.File("stderr.txt"));
    return outcome;
  }

  void ExpectOneLineFailure(const Outcome& outcome, int status, const std::string& text) {
    EXPECT_EQ(outcome.status, status) << outcome.err;
    EXPECT_EQ(Lines(outcome.err).size(), 1u) << outcome.err;
    EXPECT_NE(outcome.err.find(text), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.out, "");
  }

  TempDir dir_;
};

TEST_F(BenchBinaryTest, FailuresEndWithOneLineAndANonZeroStatus) {
  ExpectOneLineFailure(Run("--foo"), 2, "quorvane-bench: unknown option --foo (see --help)");
  ExpectOneLineFailure(Run("--frames many"), 2, "bad value 'many' for --frames");
  ExpectOneLineFailure(Run("--terrain hills.png --methods cabtt:6"), 2, "CABTT level 6 is above");
  ExpectOneLineFailure(Run("--terrain hills.png --flight nowhere"), 2, "unknown flight 'nowhere'");
  ExpectOneLineFailure(Run("--terrain hills.png --csv no/such/dir/out.csv"), 1, "cannot write no/such/dir/out.csv");
  ExpectOneLineFailure(Run("--terrain hills.png --svg ."), 1, "cannot write .");

  std::ofstream(dir_.File("bad.csv")) << "x,y,z,heading\n0.5,0.5,0.1,0\n0.5,zero,0.1,0\n";
  ExpectOneLineFailure(Run("--terrain hills.png --flight bad.csv"), 1, "bad.csv line 3:");

  // No EGL driver at all: GLVND is given no vendor library.
  ExpectOneLineFailure(Run("--terrain hills.png", "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json"), 1,
                       "quorvane-bench: no OpenGL context:");
  // The loader's own line (on standard error, standard output is the table's).
  const Outcome missing = Run("--terrain absent.png");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(Lines(missing.err).size(), 1u) << missing.err;
  EXPECT_NE(missing.err.find("absent.png"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  const Outcome help = Run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--methods LIST"), std::string::npos);
}

TEST_F(BenchBinaryTest, TinyRunPrintsTheTableAndWritesOneCsvRowPerMethodFrame) {
  const Outcome outcome = Run(
      "--terrain hills.png --width 96 --height 72 --frames 6 --quality-every 3 --methods roam,cabtt:2:uniform,brute "
      "--csv frames.csv --svg plot.svg --write-flight flight.csv");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("rasterizing"), std::string::npos) << outcome.out;
  for (const char* name : {"ROAM", "CABTT L2 uniform", "Brute force"})
    EXPECT_NE(outcome.out.find(name), std::string::npos) << outcome.out;

  const std::vector<std::string> rows = Lines(ReadWholeFile(dir_.File("frames.csv")));
  ASSERT_EQ(rows.size(), 1u + 3u * 6u);
  const size_t columns = Fields(rows[0]).size();
  EXPECT_GE(columns, 5u);
  std::map<std::string, int> rowsPerMethod;
  for (size_t i = 1; i < rows.size(); ++i) {
    const std::vector<std::string> fields = Fields(rows[i]);
    EXPECT_EQ(fields.size(), columns) << rows[i];
    ++rowsPerMethod[fields[0]];
  }
  EXPECT_EQ(rowsPerMethod.size(), 3u);
  for (const auto& [method, count] : rowsPerMethod) EXPECT_EQ(count, 6) << method;

  const std::string svg = ReadWholeFile(dir_.File("plot.svg"));
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  std::string xmlError;
  EXPECT_TRUE(IsWellFormedXml(svg, &xmlError)) << xmlError;

  // The written flight is a template that replays: same poses, same figures.
  const std::vector<std::string> poses = Lines(ReadWholeFile(dir_.File("flight.csv")));
  ASSERT_EQ(poses.size(), 7u);
  EXPECT_EQ(poses[0], "x,y,z,heading");
  const Outcome replay = Run(
      "--terrain hills.png --width 96 --height 72 --flight flight.csv --quality-every 0 --methods roam,cabtt:2:uniform,brute "
      "--csv replay.csv");
  ASSERT_EQ(replay.status, 0) << replay.err;
  const std::vector<std::string> replayed = Lines(ReadWholeFile(dir_.File("replay.csv")));
  ASSERT_EQ(replayed.size(), rows.size());
  // Column 6 onwards of the stand-in layout are work counts; compare the triangles column by name.
  const std::vector<std::string> header = Fields(rows[0]);
  size_t triangles = 0;
  while (triangles < header.size() && header[triangles].find("triangles") == std::string::npos) ++triangles;
  ASSERT_LT(triangles, header.size()) << rows[0];
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(Fields(rows[i])[triangles], Fields(replayed[i])[triangles]);
}

}  // namespace
