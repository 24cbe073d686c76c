// The work of every drawing method, frame by frame, is pinned: a short flight of the real
// quorvane-bench over a small generated terrain must give exactly the stored triangles, bytes,
// splits, merges and cache blocks built and redrawn of every frame, on every cache. Any change to
// refinement, culling, tessellation or caching that alters what is drawn fails here; a deliberate
// one comes with new counts (tests/golden/README).
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

// The named columns of a bench CSV, in the order given; empty when one is missing.
std::vector<CsvRecord> Columns(const std::vector<CsvRecord>& records, const std::vector<std::string>& columns) {
  std::vector<CsvRecord> picked;
  if (records.empty()) return picked;
  std::vector<size_t> positions;
  for (const std::string& column : columns) {
    size_t at = 0;
    while (at < records[0].size() && records[0][at] != column) ++at;
    if (at == records[0].size()) return {};
    positions.push_back(at);
  }
  for (const CsvRecord& record : records) {
    CsvRecord row;
    for (size_t at : positions) row.push_back(at < record.size() ? record[at] : "");
    picked.push_back(row);
  }
  return picked;
}

// The stored file's columns.
const std::vector<std::string> kCountColumns = {"method", "frame",  "triangles",    "bytes",
                                                "splits", "merges", "blocks_built", "blocks_redrawn"};

// The stored methods on the default cache, then again on the buffer-storage cache: every frame's
// counts are the stored ones whatever the cache, and the buffer cache never issues more draw calls
// or hands the driver more bytes than the client arrays do.
TEST(GoldenCountsTest, ShortFlightDrawsExactlyTheStoredCountsOnEveryCache) {
  TempDir dir;
  ASSERT_EQ(Shell("'" MAKE_TERRAIN_BINARY "' '" + dir.File("terrain.png") + "' 257 5 >/dev/null"), 0);
  ASSERT_EQ(Shell("'" QUORVANE_BENCH_BINARY "' --terrain '" + dir.File("terrain.png") +
                  "' --flight pass --frames 120 --methods roam,cabtt:2:adaptive,cabtt:3:uniform,cabtt:4:adaptive,"
                  "roam@buffer,cabtt:2:adaptive@buffer,cabtt:3:uniform@buffer,cabtt:4:adaptive@buffer"
                  " --width 160 --height 120 --no-raster --quality-every 0 --csv '" +
                  dir.File("run.csv") + "' >/dev/null 2>'" + dir.File("stderr.txt") + "'"),
            0)
      << ReadWholeFile(dir.File("stderr.txt"));
  const std::vector<CsvRecord> expected = ParseCsv(ReadWholeFile(QUORVANE_SOURCE_DIR "/tests/golden/counts_257.csv"));
  const std::vector<CsvRecord> records = ParseCsv(ReadWholeFile(dir.File("run.csv")));
  const std::vector<CsvRecord> actual = Columns(records, kCountColumns);
  const std::vector<CsvRecord> traffic = Columns(records, {"draw_calls", "driver_bytes"});
  ASSERT_EQ(expected.size(), 481u);
  ASSERT_EQ(actual.size(), 2 * expected.size() - 1);
  ASSERT_EQ(traffic.size(), actual.size());
  const size_t buffered = expected.size() - 1;  // rows of one cache
  for (size_t row = 0; row < expected.size(); ++row) ASSERT_EQ(actual[row], expected[row]) << "row " << row;
  for (size_t row = 1; row < expected.size(); ++row) {
    CsvRecord onBuffer = actual[buffered + row];
    ASSERT_EQ(onBuffer[0], expected[row][0] + " @buffer") << "row " << buffered + row;
    onBuffer[0] = expected[row][0];
    ASSERT_EQ(onBuffer, expected[row]) << "row " << buffered + row;
    for (int column : {0, 1})
      ASSERT_LE(std::stod(traffic[buffered + row][column]), std::stod(traffic[row][column]))
          << "row " << buffered + row << " " << traffic[0][column];
  }
}

}  // namespace
