#include "headless/bench_table.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/sample_bench_run.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The table's own lines: from the header row (starts with "method") to the next blank line.
std::vector<std::string> TableLines(const std::string& text) {
  std::vector<std::string> all = Lines(text), table;
  size_t i = 0;
  while (i < all.size() && all[i].rfind("method", 0) != 0) ++i;
  for (; i < all.size() && !all[i].empty(); ++i) table.push_back(all[i]);
  return table;
}

// Column spans [begin, end) read off the rule line of dashes.
std::vector<std::pair<size_t, size_t>> Columns(const std::string& rule) {
  std::vector<std::pair<size_t, size_t>> spans;
  for (size_t i = 0; i < rule.size();) {
    size_t end = rule.find(' ', i);
    if (end == std::string::npos) end = rule.size();
    spans.push_back({i, end});
    i = rule.find_first_not_of(' ', end);
    if (i == std::string::npos) break;
  }
  return spans;
}

// The line with every UTF-8 sequence as one '*', so that byte positions are screen columns.
std::string OneBytePerCharacter(const std::string& line) {
  std::string out;
  for (char c : line) {
    unsigned char byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) == 0x80) continue;
    out += byte >= 0x80 ? '*' : c;
  }
  return out;
}

// Every line as wide as the rule, nothing but spaces between the columns, and every column
// but the first right-aligned: its last character filled, on every row.
void ExpectAligned(const std::vector<std::string>& table) {
  ASSERT_GE(table.size(), 3u);
  const std::string& rule = table[1];
  ASSERT_EQ(rule.find_first_not_of("- "), std::string::npos) << rule;
  auto spans = Columns(rule);
  ASSERT_EQ(spans.size(), 16u);
  for (const std::string& text : table) {
    const std::string line = OneBytePerCharacter(text);
    ASSERT_EQ(line.size(), rule.size()) << line;
    for (size_t c = 0; c + 1 < spans.size(); ++c) {
      for (size_t gap = spans[c].second; gap < spans[c + 1].first; ++gap) EXPECT_EQ(line[gap], ' ') << line;
    }
    for (size_t c = 1; c < spans.size(); ++c) EXPECT_NE(line[spans[c].second - 1], ' ') << line;
  }
}

std::vector<std::string> Cells(const std::string& row) {
  std::vector<std::string> cells;
  std::istringstream in(row);
  for (std::string cell; in >> cell;) cells.push_back(cell);
  return cells;
}

TEST(BenchTableTest, RowsAlignWhateverTheMethodNamesAndFigures) {
  MethodResult big = SampleMethodResult("Brute force", 40, 0, 3);
  for (FrameSample& frame : big.frames) frame.triangles = 2097152.0;
  big.wallSeconds = 1e-3;
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 40, 5, 1), big,
                                 SampleMethodResult(std::string(70, 'L') + " tab\there", 40, 0, 2),
                                 SampleMethodResult("CABTT L5 uniform \xc3\xa9t\xc3\xa9", 40, 4, 4)});
  std::string text = FormatTable(run);
  std::vector<std::string> table = TableLines(text);
  ASSERT_EQ(table.size(), 2 + run.methods.size());
  ExpectAligned(table);
  EXPECT_NE(table[4].find(std::string(70, 'L') + " tab?here"), std::string::npos);
  // A control character in a name never breaks a row.
  EXPECT_EQ(text.find('\t'), std::string::npos);
}

TEST(BenchTableTest, HeaderNamesTheRunAndItsRenderingMode) {
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 12, 0, 1), SampleMethodResult("B", 30, 0, 2)});
  std::string rasterizing = FormatTable(run);
  EXPECT_NE(rasterizing.find("Terrain: terrains/valley.png\n"), std::string::npos);
  EXPECT_NE(rasterizing.find("Flight:  low-pass\n"), std::string::npos);
  EXPECT_NE(rasterizing.find("Frames:  12 to 30\n"), std::string::npos);
  EXPECT_NE(rasterizing.find("Window:  640 x 480\n"), std::string::npos);
  EXPECT_NE(rasterizing.find("Mode:    rasterizing\n"), std::string::npos);
  EXPECT_EQ(rasterizing.find("GL_RASTERIZER_DISCARD"), std::string::npos);

  run.rasterizerDiscard = true;
  std::string discarding = FormatTable(run);
  EXPECT_NE(discarding.find(
                "Mode:    rasterizer discard (GL_RASTERIZER_DISCARD): figures exclude the rasterizer\n"),
            std::string::npos);
  ExpectAligned(TableLines(discarding));

  EXPECT_NE(FormatTable(SampleBenchRun({})).find("Frames:  0\n"), std::string::npos);
}

TEST(BenchTableTest, QualityColumnsShowDashInfOrFigures) {
  MethodResult unmeasured = SampleMethodResult("ROAM", 10, 0, 1);
  MethodResult identical = SampleMethodResult("Brute force", 10, 0, 2);
  identical.quality = {{0, std::numeric_limits<double>::infinity(), 0.0}};
  MethodResult measured = SampleMethodResult("CABTT", 10, 0, 3);
  measured.quality = {{0, 31.0, 0.02}, {5, 35.5, 0.04}};
  measured.frames.resize(4);
  for (FrameSample& frame : measured.frames) frame.triangles = 1500.0;
  measured.wallSeconds = 0.25;

  std::vector<std::string> table = TableLines(FormatTable(SampleBenchRun({unmeasured, identical, measured})));
  ASSERT_EQ(table.size(), 5u);
  std::vector<std::string> none = Cells(table[2]), inf = Cells(table[3]), figures = Cells(table[4]);
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
}

}  // namespace
