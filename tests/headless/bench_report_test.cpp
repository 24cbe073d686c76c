// The report of a run: the summary's arithmetic at its edges, the console table's alignment, the
// CSV read back exactly by a strict reader, and the SVG plot's shape, escaping and thinning.
#include "headless/bench_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "headless/svg_plot.h"
#include "support/csv_reader.h"
#include "support/sample_bench_run.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

FrameSample Frame(int number, double triangles, double refineMs, double drawMs, int splits) {
  return {number, refineMs + drawMs + 1.0, refineMs, drawMs, triangles, triangles * 20, splits, splits * 2, splits % 3,
          splits + 5};
}

MethodResult WithPsnr(std::initializer_list<double> psnrs) {
  MethodResult result;
  int frame = 0;
  for (const double psnr : psnrs) result.quality.push_back({frame++, psnr, 0.1 * frame});
  return result;
}

// The table's own lines: from the header row (starts with "method") to the next blank line.
std::vector<std::string> TableLines(const std::string& text) {
  std::vector<std::string> table;
  std::istringstream in(text.substr(text.find("\nmethod") + 1));
  for (std::string line; std::getline(in, line) && !line.empty();) table.push_back(line);
  return table;
}

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::istringstream in(row);
  for (std::string cell; in >> cell;) cells.push_back(cell);
  return cells;
}

// The line with every UTF-8 sequence as one '*', so that byte positions are screen columns.
std::string OneBytePerCharacter(const std::string& line) {
  std::string out;
  for (const char c : line) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;
    out += byte >= 0x80 ? '*' : c;
  }
  return out;
}

// Every line as wide as the rule of dashes, only spaces between the columns the rule shows (18),
// and every column but the first right-aligned: its last character filled on every row.
void ExpectAligned(const std::vector<std::string>& table) {
  ASSERT_GE(table.size(), 3u);
  const std::string& rule = table[1];
  ASSERT_EQ(rule.find_first_not_of("- "), std::string::npos) << rule;
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t begin = 0; begin != std::string::npos; begin = rule.find_first_not_of(' ', begin)) {
    const size_t end = std::min(rule.find(' ', begin), rule.size());
    spans.push_back({begin, end});
    begin = end;
  }
  ASSERT_EQ(spans.size(), 18u);
  for (const std::string& text : table) {
    const std::string line = OneBytePerCharacter(text);
    ASSERT_EQ(line.size(), rule.size()) << line;
    for (size_t c = 0; c + 1 < spans.size(); ++c)
      for (size_t gap = spans[c].second; gap < spans[c + 1].first; ++gap) EXPECT_EQ(line[gap], ' ') << line;
    for (size_t c = 1; c < spans.size(); ++c) EXPECT_NE(line[spans[c].second - 1], ' ') << line;
  }
}

double Number(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  EXPECT_TRUE(!text.empty() && *end == '\0') << "not a number: '" << text << "'";
  return value;
}

struct Point {
  double x, y;
};

// The points of every polyline, in document order.
std::vector<std::vector<Point>> Polylines(const std::string& svg) {
  std::vector<std::vector<Point>> lines;
  for (size_t at = svg.find("<polyline"); at != std::string::npos; at = svg.find("<polyline", at + 1)) {
    const size_t begin = svg.find("points=\"", at) + 8;
    const std::string text = svg.substr(begin, svg.find('"', begin) - begin);
    std::vector<Point> points;
    for (const char* cursor = text.c_str(); *cursor != '\0';) {
      char* end = nullptr;
      const double x = std::strtod(cursor, &end);
      EXPECT_EQ(*end, ',') << text;
      const double y = std::strtod(end + 1, &end);
      points.push_back({x, y});
      cursor = *end == ' ' ? end + 1 : end;
    }
    lines.push_back(points);
  }
  return lines;
}

void ExpectSelfContainedXml(const std::string& svg) {
  std::string error;
  EXPECT_TRUE(IsWellFormedXml(svg, &error)) << error;
  for (const char* banned : {"<script", "href", "url(", "@import", "nan", "inf"})
    EXPECT_EQ(svg.find(banned), std::string::npos) << banned;
}

TEST(BenchSummaryTest, AveragesPerFrameAndRatesOverWallTime) {
  MethodResult result;
  result.name = "CABTT L4 adaptive";
  result.frames = {Frame(0, 1000, 1.0, 2.0, 4), Frame(1, 3000, 3.0, 4.0, 8), Frame(2, 2000, 2.0, 9.0, 0),
                   Frame(3, 6000, 6.0, 1.0, 1)};
  result.wallSeconds = 0.5;
  result.peakMemoryMiB = 77.5;
  const MethodSummary s = Summarize(result);
  EXPECT_EQ(s.name, "CABTT L4 adaptive");
  EXPECT_EQ(s.frames, 4);
  EXPECT_DOUBLE_EQ(s.framesPerSecond, 8.0);
  EXPECT_DOUBLE_EQ(s.trianglesPerFrame, 3000.0);
  EXPECT_DOUBLE_EQ(s.trianglesPerSecond, 24000.0);
  EXPECT_DOUBLE_EQ(s.bytesPerFrame, 60000.0);
  EXPECT_DOUBLE_EQ(s.splitsPerFrame, 13.0 / 4);
  EXPECT_DOUBLE_EQ(s.mergesPerFrame, 26.0 / 4);
  EXPECT_DOUBLE_EQ(s.blocksBuiltPerFrame, (1 + 2 + 0 + 1) / 4.0);
  EXPECT_DOUBLE_EQ(s.blocksRedrawnPerFrame, (9 + 13 + 5 + 6) / 4.0);
  EXPECT_DOUBLE_EQ(s.refineMsPerFrame, 3.0);
  EXPECT_DOUBLE_EQ(s.drawMsPerFrame, 4.0);
  EXPECT_DOUBLE_EQ(s.peakMemoryMiB, 77.5);
  EXPECT_FALSE(s.hasQuality);
}

TEST(BenchSummaryTest, NoFramesNoTimeAndIdenticalPicturesGiveNoNaN) {
  const MethodSummary empty = Summarize(MethodResult{});
  EXPECT_EQ(empty.frames, 0);
  for (const double value : {empty.framesPerSecond, empty.trianglesPerFrame, empty.trianglesPerSecond,
                             empty.bytesPerFrame, empty.splitsPerFrame, empty.mergesPerFrame,
                             empty.blocksBuiltPerFrame, empty.blocksRedrawnPerFrame, empty.refineMsPerFrame,
                             empty.drawMsPerFrame, empty.meanDifferingShare})
    EXPECT_EQ(value, 0.0);

  // Frames but no usable time: per-frame figures stand, rates are zero.
  MethodResult untimed;
  untimed.frames = {Frame(0, 500, 1.0, 1.0, 2), Frame(1, 700, 1.0, 1.0, 2)};
  for (const double wall : {0.0, -1.0, std::nan(""), kInfinity}) {
    untimed.wallSeconds = wall;
    const MethodSummary s = Summarize(untimed);
    EXPECT_DOUBLE_EQ(s.trianglesPerFrame, 600.0);
    EXPECT_EQ(s.framesPerSecond, 0.0) << wall;
    EXPECT_EQ(s.trianglesPerSecond, 0.0) << wall;
    EXPECT_EQ(s.wallSeconds, 0.0) << wall;
  }

  // Identical pictures (infinite PSNR) stay out of the mean unless every one is identical.
  const MethodSummary mixed = Summarize(WithPsnr({30.0, kInfinity, 20.0, std::nan("")}));
  EXPECT_TRUE(mixed.hasQuality);
  EXPECT_DOUBLE_EQ(mixed.meanPsnr, 25.0);
  EXPECT_DOUBLE_EQ(mixed.minPsnr, 20.0);
  EXPECT_DOUBLE_EQ(mixed.meanDifferingShare, (0.1 + 0.2 + 0.3 + 0.4) / 4);
  const MethodSummary identical = Summarize(WithPsnr({kInfinity, kInfinity}));
  EXPECT_TRUE(std::isinf(identical.meanPsnr) && identical.meanPsnr > 0);
  EXPECT_TRUE(std::isinf(identical.minPsnr) && identical.minPsnr > 0);
  EXPECT_FALSE(std::isnan(Summarize(WithPsnr({std::nan("")})).meanPsnr));
}

TEST(BenchTableTest, RowsAlignWhateverTheNamesAndFiguresAndQualityShowsDashInfOrFigures) {
  MethodResult big = SampleMethodResult("Brute force", 40, 0, 3);
  for (FrameSample& frame : big.frames) frame.triangles = 2097152.0;
  big.wallSeconds = 1e-3;
  MethodResult identical = SampleMethodResult("CABTT L5 uniform \xc3\xa9t\xc3\xa9", 10, 0, 4);
  identical.quality = {{0, kInfinity, 0.0}};
  MethodResult measured = SampleMethodResult("CABTT", 4, 0, 5);
  measured.quality = {{0, 31.0, 0.02}, {2, 35.5, 0.04}};
  for (FrameSample& frame : measured.frames) frame.triangles = 1500.0;
  measured.wallSeconds = 0.25;
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 12, 0, 1), big,
                                 SampleMethodResult(std::string(70, 'L') + " tab\there", 40, 0, 2), identical,
                                 measured});
  run.flight = "line\nbreak.csv";

  const std::string text = FormatTable(run);
  const std::vector<std::string> table = TableLines(text);
  ASSERT_EQ(table.size(), 2 + run.methods.size());
  ExpectAligned(table);
  // A control character in a name never breaks a row or the header.
  EXPECT_NE(table[4].find(std::string(70, 'L') + " tab?here"), std::string::npos);
  EXPECT_EQ(text.find('\t'), std::string::npos);
  EXPECT_NE(text.find("Flight:  line?break.csv\n"), std::string::npos);
  EXPECT_NE(text.find("Frames:  4 to 40\n"), std::string::npos);
  EXPECT_NE(text.find("Mode:    rasterizing\n"), std::string::npos);
  EXPECT_NE(text.find("more than 8."), std::string::npos);

  const std::vector<std::string> none = Cells(table[2]), inf = Cells(table[5]), figures = Cells(table[6]);
  EXPECT_EQ(none[none.size() - 2], "-");
  EXPECT_EQ(none.back(), "-");
  EXPECT_EQ(inf[inf.size() - 2], "inf");
  EXPECT_EQ(inf.back(), "0.00");
  EXPECT_EQ(figures[figures.size() - 2], "33.25");
  EXPECT_EQ(figures.back(), "3.00");
  // method, frames, wall s, fps, tris/f, Mtris/s
  EXPECT_EQ(figures[1], "4");
  EXPECT_EQ(figures[3], "16.0");
  EXPECT_EQ(figures[4], "1500");
  EXPECT_EQ(figures[5], "0.02");

  run.rasterizerDiscard = true;
  const std::string discarding = FormatTable(run);
  EXPECT_NE(discarding.find("Mode:    rasterizer discard (GL_RASTERIZER_DISCARD): figures exclude the rasterizer\n"),
            std::string::npos);
  ExpectAligned(TableLines(discarding));
  EXPECT_NE(FormatTable(SampleBenchRun({})).find("Frames:  0\n"), std::string::npos);
}

TEST(BenchCsvTest, HostileNamesAndEveryFigureReadBackExactly) {
  TempDir dir;
  BenchRun run = SampleBenchRun(
      {SampleMethodResult("ROAM", 25, 0, 1), SampleMethodResult("CABTT \"L4\", adaptive", 31, 4, 2),
       SampleMethodResult("two\nlines, \"quoted\"", 3, 1, 3), SampleMethodResult(" padded ", 2, 0, 4),
       SampleMethodResult("cr\rname", 2, 0, 6), SampleMethodResult("empty", 0, 0, 5)});
  run.methods[1].detail = DetailSetting{144.86421f, 4.0000000001};
  run.methods[2].detail = DetailSetting{600.0f, 0.96568542494923802};
  ASSERT_TRUE(WriteFrameCsv(run, dir.File("frames.csv")));

  const std::vector<CsvRecord> records = ParseCsv(ReadWholeFile(dir.File("frames.csv")));
  ASSERT_FALSE(records.empty()) << "the strict reader refused the file";
  EXPECT_EQ(records[0], (CsvRecord{"method", "frame", "frame_ms", "refine_ms", "draw_ms", "triangles", "bytes",
                                   "splits", "merges", "blocks_built", "blocks_redrawn", "draw_calls",
                                   "driver_bytes", "psnr", "differing_share", "weight", "pixel_error"}));
  size_t row = 1, infinite = 0;
  for (const MethodResult& method : run.methods) {
    size_t sample = 0;
    for (const FrameSample& frame : method.frames) {
      ASSERT_LT(row, records.size());
      const CsvRecord& r = records[row++];
      ASSERT_EQ(r.size(), 17u);
      EXPECT_EQ(r[0], method.name);
      EXPECT_EQ(Number(r[1]), frame.frame);
      EXPECT_EQ(Number(r[2]), frame.frameMs);
      EXPECT_EQ(Number(r[3]), frame.refineMs);
      EXPECT_EQ(Number(r[4]), frame.drawMs);
      EXPECT_EQ(Number(r[5]), frame.triangles);
      EXPECT_EQ(Number(r[6]), frame.bytes);
      EXPECT_EQ(Number(r[7]), frame.splits);
      EXPECT_EQ(Number(r[8]), frame.merges);
      EXPECT_EQ(Number(r[9]), frame.blocksBuilt);
      EXPECT_EQ(Number(r[10]), frame.blocksRedrawn);
      EXPECT_EQ(Number(r[11]), frame.drawCalls);
      EXPECT_EQ(Number(r[12]), frame.driverBytes);
      if (sample < method.quality.size() && method.quality[sample].frame == frame.frame) {
        const QualitySample& q = method.quality[sample++];
        if (std::isinf(q.psnr)) {
          EXPECT_EQ(r[13], "inf");
          ++infinite;
        } else {
          EXPECT_EQ(Number(r[13]), q.psnr);
        }
        EXPECT_EQ(Number(r[14]), q.differingShare);
      } else {
        EXPECT_EQ(r[13], "");
        EXPECT_EQ(r[14], "");
      }
      if (method.detail) {
        EXPECT_EQ(static_cast<float>(Number(r[15])), method.detail->weight);
        EXPECT_EQ(Number(r[16]), method.detail->pixelError);
      } else {
        EXPECT_EQ(r[15], "");
        EXPECT_EQ(r[16], "");
      }
    }
    EXPECT_EQ(sample, method.quality.size()) << method.name;
  }
  EXPECT_EQ(row, records.size());
  EXPECT_GT(infinite, 0u);
}

TEST(BenchCsvTest, FailedWritesReportFalseAndLeaveNoFileBehind) {
  TempDir dir;
  const BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 5000, 0, 1)});
  EXPECT_FALSE(WriteFrameCsv(run, dir.File("missing/frames.csv")));
  EXPECT_FALSE(WriteFrameCsv(run, ""));
  std::filesystem::create_directory(dir.File("taken"));
  EXPECT_FALSE(WriteFrameCsv(run, dir.File("taken")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));
  EXPECT_FALSE(WriteSvgPlot(run, dir.File("taken")));
  // A device that refuses the data: the write fails at the flush at the latest.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(WriteFrameCsv(run, "/dev/full"));
  }

  // A good write replaces an old file and leaves no temporary file beside it.
  ASSERT_TRUE(WriteFrameCsv(run, dir.File("frames.csv")));
  ASSERT_TRUE(WriteFrameCsv(SampleBenchRun({SampleMethodResult("ROAM", 1, 0, 1)}), dir.File("frames.csv")));
  EXPECT_EQ(ParseCsv(ReadWholeFile(dir.File("frames.csv"))).size(), 2u);
  ASSERT_TRUE(WriteSvgPlot(run, dir.File("plot.svg")));
  EXPECT_EQ(ReadWholeFile(dir.File("plot.svg")), RenderSvgPlot(run));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frames.csv", "plot.svg", "taken"}));
}

TEST(BenchSvgTest, OneLinePerMethodInEachChartWithEveryFrameAndEscapedNames) {
  const std::string hostile = "<CABTT & \"L4\" 'adaptive'>";
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 40, 0, 1), SampleMethodResult(hostile, 40, 0, 2),
                                 SampleMethodResult("Brute force", 40, 0, 3)});
  run.flight = "path<1>&.csv";
  const std::string svg = RenderSvgPlot(run);
  ExpectSelfContainedXml(svg);
  EXPECT_EQ(svg.find(hostile), std::string::npos);
  EXPECT_NE(svg.find(">&lt;CABTT &amp; &quot;L4&quot; &apos;adaptive&apos;&gt;</text>"), std::string::npos);
  EXPECT_NE(svg.find(">ROAM</text>"), std::string::npos);

  const auto lines = Polylines(svg);
  ASSERT_EQ(lines.size(), 6u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const MethodResult& method = run.methods[i % 3];
    ASSERT_EQ(lines[i].size(), 40u);
    for (size_t p = 1; p < lines[i].size(); ++p) {
      // Frames run left to right; larger values sit higher (smaller y) in both charts.
      EXPECT_GT(lines[i][p].x, lines[i][p - 1].x);
      const double before = i < 3 ? method.frames[p - 1].frameMs : method.frames[p - 1].triangles;
      const double now = i < 3 ? method.frames[p].frameMs : method.frames[p].triangles;
      if (now > before) {
        EXPECT_LT(lines[i][p].y, lines[i][p - 1].y);
      } else if (now < before) {
        EXPECT_GT(lines[i][p].y, lines[i][p - 1].y);
      }
    }
    // The lower chart lies wholly below the upper one.
    if (i >= 3) {
      const auto lowestAbove = std::max_element(lines[i - 3].begin(), lines[i - 3].end(),
                                                [](const Point& a, const Point& b) { return a.y < b.y; });
      for (const Point& point : lines[i]) EXPECT_GT(point.y, lowestAbove->y);
    }
  }
}

TEST(BenchSvgTest, DegenerateRunsStillGiveAValidPicture) {
  MethodResult flat = SampleMethodResult("flat", 30, 0, 1);
  for (FrameSample& frame : flat.frames) frame.frameMs = frame.triangles = 0.0;
  MethodResult odd = SampleMethodResult("odd", 3, 0, 2);
  odd.frames[1].frameMs = std::nan("");
  odd.frames[2].triangles = kInfinity;
  MethodResult huge = SampleMethodResult("huge", 5, 0, 3);
  for (FrameSample& frame : huge.frames) frame.triangles = 1e300;
  for (const BenchRun& run : {SampleBenchRun({}), SampleBenchRun({SampleMethodResult("none", 0, 0, 1)}),
                              SampleBenchRun({SampleMethodResult("single", 1, 0, 1)}), SampleBenchRun({flat}),
                              SampleBenchRun({odd}), SampleBenchRun({huge})}) {
    SCOPED_TRACE(run.methods.empty() ? "no methods" : run.methods[0].name);
    const std::string svg = RenderSvgPlot(run);
    ExpectSelfContainedXml(svg);
    const auto lines = Polylines(svg);
    ASSERT_EQ(lines.size(), 2 * run.methods.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      size_t finite = 0;
      for (const FrameSample& frame : run.methods[i % run.methods.size()].frames)
        finite += std::isfinite(i < run.methods.size() ? frame.frameMs : frame.triangles);
      EXPECT_EQ(lines[i].size(), finite);
      for (const Point& point : lines[i]) EXPECT_TRUE(std::isfinite(point.x) && std::isfinite(point.y));
    }
  }
  EXPECT_NE(RenderSvgPlot(SampleBenchRun({SampleMethodResult("single", 1, 0, 1)})).find("<circle"),
            std::string::npos);
}

TEST(BenchSvgTest, LongRunsAreThinnedButKeepTheirEndsAndSpikes) {
  MethodResult longRun = SampleMethodResult("long", 150000, 0, 1);
  longRun.frames[77777].frameMs = 5000.0;
  for (FrameSample& frame : longRun.frames) frame.triangles = 2.1e6;
  const std::string svg = RenderSvgPlot(SampleBenchRun({longRun, SampleMethodResult("short", 10, 0, 2)}));
  ExpectSelfContainedXml(svg);
  const auto lines = Polylines(svg);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_LE(lines[0].size(), kMaxPlotPointsPerLine);
  EXPECT_GT(lines[0].size(), kMaxPlotPointsPerLine / 2);
  EXPECT_EQ(lines[1].size(), 10u);
  for (size_t i = 1; i < lines[0].size(); ++i) EXPECT_LE(lines[0][i - 1].x, lines[0][i].x);
  // Both ends stay, spanning the chart's frames; the spike is the chart's highest point.
  EXPECT_EQ(lines[0].front().x, lines[1].front().x);
  EXPECT_GT(lines[0].back().x, lines[1].back().x);
  const auto byY = [](const Point& a, const Point& b) { return a.y < b.y; };
  const double top = std::min_element(lines[0].begin(), lines[0].end(), byY)->y;
  for (const Point& p : lines[1]) EXPECT_GT(p.y, top + 100);
  // Axis labels of millions of triangles are in M.
  EXPECT_NE(svg.find("M</text>"), std::string::npos);
}

// On the logarithmic time axis equal ratios are equal distances; a zero has no place on it.
TEST(BenchSvgTest, LogarithmicFrameTimesKeepRatiosAsDistances) {
  MethodResult method = SampleMethodResult("ROAM", 5, 0, 1);
  const double times[] = {0.5, 5.0, 50.0, 1.0, 0.0};
  for (size_t f = 0; f < 5; ++f) method.frames[f].frameMs = times[f];
  const std::string svg = RenderSvgPlot(SampleBenchRun({method}), PlotOptions{true});
  ExpectSelfContainedXml(svg);
  const std::vector<Point> line = Polylines(svg).at(0);
  ASSERT_EQ(line.size(), 4u);
  const double decade = line[0].y - line[1].y;
  EXPECT_GT(decade, 10.0);
  EXPECT_NEAR(line[1].y - line[2].y, decade, 0.15);
  EXPECT_NEAR(line[0].y - line[3].y, decade * std::log10(2.0), 0.15);
}

TEST(BenchSvgTest, NumbersIgnoreTheLocale) {
  const BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 12, 4, 1)});
  const std::string inC = RenderSvgPlot(run);
  const std::string tableInC = FormatTable(run);
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  // Any locale with a decimal comma that the machine has; none installed still checks C.
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C"})
    if (std::setlocale(LC_NUMERIC, name) != nullptr) break;
  EXPECT_EQ(RenderSvgPlot(run), inC);
  EXPECT_EQ(FormatTable(run), tableInC);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
