// The work of every drawing method, frame by frame, is pinned: a short flight of the real
// quorvane-bench over a small generated terrain must give exactly the stored triangles, bytes,
// splits, merges and cache blocks built and redrawn of every frame. Any change to refinement,
// culling, tessellation or caching that alters what is drawn fails here; a deliberate one comes
// with new counts (tests/golden/README).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/csv_reader.h"
#include "support/temp_dir.h"

namespace {

int Shell(const std::string& command) {
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// The counted columns of a bench CSV, in the stored file's order.
std::vector<CsvRecord> CountColumns(const std::vector<CsvRecord>& records) {
  static const std::vector<std::string> kColumns = {"method", "frame", "triangles", "bytes",
                                                    "splits", "merges", "blocks_built", "blocks_redrawn"};
  std::vector<CsvRecord> counts;
  if (records.empty()) return counts;
  std::vector<size_t> positions;
  for (const std::string& column : kColumns) {
    size_t at = 0;
    while (at < records[0].size() && records[0][at] != column) ++at;
    if (at == records[0].size()) return {};
    positions.push_back(at);
  }
  for (const CsvRecord& record : records) {
    CsvRecord row;
    for (size_t at : positions) row.push_back(at < record.size() ? record[at] : "");
    counts.push_back(row);
  }
  return counts;
}

TEST(GoldenCountsTest, ShortFlightDrawsExactlyTheStoredCounts) {
  TempDir dir;
  ASSERT_EQ(Shell("'" MAKE_TERRAIN_BINARY "' '" + dir.File("terrain.png") + "' 257 5 >/dev/null"), 0);
  ASSERT_EQ(Shell("'" QUORVANE_BENCH_BINARY "' --terrain '" + dir.File("terrain.png") +
                  "' --flight pass --frames 120 --methods roam,cabtt:2:adaptive,cabtt:3:uniform,cabtt:4:adaptive"
                  " --width 160 --height 120 --no-raster --quality-every 0 --csv '" +
                  dir.File("run.csv") + "' >/dev/null 2>'" + dir.File("stderr.txt") + "'"),
            0)
      << ReadWholeFile(dir.File("stderr.txt"));
  const std::vector<CsvRecord> expected = ParseCsv(ReadWholeFile(QUORVANE_SOURCE_DIR "/tests/golden/counts_257.csv"));
  const std::vector<CsvRecord> actual = CountColumns(ParseCsv(ReadWholeFile(dir.File("run.csv"))));
  ASSERT_EQ(expected.size(), 481u);
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t row = 0; row < expected.size(); ++row) ASSERT_EQ(actual[row], expected[row]) << "row " << row;
}

}  // namespace
