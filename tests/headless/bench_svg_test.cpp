#include "headless/bench_svg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/sample_bench_run.h"
#include "support/temp_dir.h"
#include "support/xml_check.h"

namespace {

struct Point {
  double x, y;
};

// The points of every polyline, in document order.
std::vector<std::vector<Point>> Polylines(const std::string& svg) {
  std::vector<std::vector<Point>> lines;
  for (size_t at = svg.find("<polyline"); at != std::string::npos; at = svg.find("<polyline", at + 1)) {
    size_t begin = svg.find("points=\"", at) + 8;
    std::string text = svg.substr(begin, svg.find('"', begin) - begin);
    std::vector<Point> points;
    const char* cursor = text.c_str();
    while (*cursor != '\0') {
      char* end = nullptr;
      double x = std::strtod(cursor, &end);
      EXPECT_EQ(*end, ',') << text;
      double y = std::strtod(end + 1, &end);
      points.push_back({x, y});
      cursor = *end == ' ' ? end + 1 : end;
    }
    lines.push_back(points);
  }
  return lines;
}

void ExpectWellFormed(const std::string& svg) {
  std::string error;
  EXPECT_TRUE(IsWellFormedXml(svg, &error)) << error;
  for (const char* banned : {"<script", "href", "url(", "@import", "nan", "inf"}) {
    EXPECT_EQ(svg.find(banned), std::string::npos) << banned;
  }
}

TEST(BenchSvgTest, OneLinePerMethodInEachChartWithEveryFrame) {
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 40, 0, 1), SampleMethodResult("CABTT", 40, 0, 2),
                                 SampleMethodResult("Brute force", 40, 0, 3)});
  std::string svg = RenderSvgPlot(run);
  ExpectWellFormed(svg);
  auto lines = Polylines(svg);
  ASSERT_EQ(lines.size(), 6u);
  for (size_t i = 0; i < lines.size(); ++i) {
    const MethodResult& method = run.methods[i % 3];
    ASSERT_EQ(lines[i].size(), 40u);
    for (size_t p = 1; p < lines[i].size(); ++p) {
      // Frames run left to right; larger values sit higher (smaller y) in both charts.
      EXPECT_GT(lines[i][p].x, lines[i][p - 1].x);
      double before = i < 3 ? method.frames[p - 1].frameMs : method.frames[p - 1].triangles;
      double now = i < 3 ? method.frames[p].frameMs : method.frames[p].triangles;
      if (now > before) {
        EXPECT_LT(lines[i][p].y, lines[i][p - 1].y);
      } else if (now < before) {
        EXPECT_GT(lines[i][p].y, lines[i][p - 1].y);
      }
    }
    // The lower chart lies wholly below the upper one.
    if (i >= 3) {
      EXPECT_GT(lines[i][0].y, lines[i - 3][0].y);
    }
  }
  for (const MethodResult& method : run.methods)
    EXPECT_NE(svg.find(">" + method.name + "</text>"), std::string::npos);
}

TEST(BenchSvgTest, NamesWithMarkupCharactersAreEscaped) {
  const std::string name = "<CABTT & \"L4\" 'adaptive'>";
  BenchRun run = SampleBenchRun({SampleMethodResult(name, 5, 0, 1)});
  run.flight = "path<1>&.csv";
  std::string svg = RenderSvgPlot(run);
  ExpectWellFormed(svg);
  EXPECT_EQ(svg.find(name), std::string::npos);
  EXPECT_NE(svg.find("&lt;CABTT &amp; &quot;L4&quot; &apos;adaptive&apos;&gt;"), std::string::npos);
}

TEST(BenchSvgTest, DegenerateRunsStillGiveAValidPicture) {
  MethodResult flat = SampleMethodResult("flat", 30, 0, 1);
  for (FrameSample& frame : flat.frames) frame.frameMs = frame.triangles = 0.0;
  MethodResult odd = SampleMethodResult("odd", 3, 0, 2);
  odd.frames[1].frameMs = std::nan("");
  odd.frames[2].triangles = INFINITY;
  for (const BenchRun& run : {SampleBenchRun({}), SampleBenchRun({SampleMethodResult("none", 0, 0, 1)}),
                              SampleBenchRun({SampleMethodResult("single", 1, 0, 1)}), SampleBenchRun({flat}),
                              SampleBenchRun({odd})}) {
    std::string svg = RenderSvgPlot(run);
    SCOPED_TRACE(run.methods.empty() ? "no methods" : run.methods[0].name);
    ExpectWellFormed(svg);
    auto lines = Polylines(svg);
    ASSERT_EQ(lines.size(), 2 * run.methods.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      const MethodResult& method = run.methods[i % run.methods.size()];
      size_t finite = 0;
      for (const FrameSample& frame : method.frames)
        finite += std::isfinite(i < run.methods.size() ? frame.frameMs : frame.triangles);
      EXPECT_EQ(lines[i].size(), finite);
    }
  }
  EXPECT_NE(RenderSvgPlot(SampleBenchRun({SampleMethodResult("single", 1, 0, 1)})).find("<circle"),
            std::string::npos);
}

TEST(BenchSvgTest, LongRunsAreThinnedButKeepTheirSpikes) {
  MethodResult longRun = SampleMethodResult("long", 150000, 0, 1);
  longRun.frames[77777].frameMs = 5000.0;
  std::string svg = RenderSvgPlot(SampleBenchRun({longRun, SampleMethodResult("short", 10, 0, 2)}));
  ExpectWellFormed(svg);
  auto lines = Polylines(svg);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_LE(lines[0].size(), kMaxPlotPointsPerLine);
  EXPECT_GT(lines[0].size(), kMaxPlotPointsPerLine / 2);
  EXPECT_EQ(lines[1].size(), 10u);
  // The spike is the chart's highest point: the top of the frame-time chart.
  double top = lines[0][0].y;
  for (const Point& p : lines[0]) top = std::min(top, p.y);
  for (const Point& p : lines[1]) EXPECT_GT(p.y, top + 100);
}

TEST(BenchSvgTest, NumbersIgnoreTheLocaleAndFilesAreWrittenWhole) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old != nullptr ? old : "C";
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 12, 0, 1)});
  std::string inC = RenderSvgPlot(run);
  // Any locale with a decimal comma that the machine has; none installed still checks C.
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "C"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) break;
  }
  EXPECT_EQ(RenderSvgPlot(run), inC);
  std::setlocale(LC_NUMERIC, saved.c_str());

  TempDir dir;
  ASSERT_TRUE(WriteSvgPlot(run, dir.File("plot.svg")));
  EXPECT_EQ(ReadWholeFile(dir.File("plot.svg")), inC);
  EXPECT_FALSE(WriteSvgPlot(run, dir.File("missing/plot.svg")));
  EXPECT_FALSE(WriteSvgPlot(run, dir.path()));
}

}  // namespace
