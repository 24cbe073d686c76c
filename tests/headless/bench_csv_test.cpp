#include "headless/bench_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/csv_reader.h"
#include "support/sample_bench_run.h"
#include "support/temp_dir.h"

namespace {


double Number(const std::string& text) {
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  EXPECT_EQ(*end, '\0') << "not a number: " << text;
  return value;
}

TEST(BenchCsvTest, RoundTripsEveryFrameAndQualitySample) {
  TempDir dir;
  BenchRun run = SampleBenchRun(
      {SampleMethodResult("ROAM", 25, 0, 1), SampleMethodResult("CABTT \"L4\", adaptive", 31, 4, 2),
       SampleMethodResult("two\nlines, \"quoted\"", 3, 1, 3), SampleMethodResult(" padded ", 2, 0, 4),
       SampleMethodResult("empty", 0, 0, 5)});
  ASSERT_TRUE(WriteFrameCsv(run, dir.File("frames.csv")));

  std::vector<CsvRecord> records = ParseCsv(ReadWholeFile(dir.File("frames.csv")));
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0],
            (CsvRecord{"method", "frame", "frame_ms", "refine_ms", "draw_ms", "triangles", "bytes", "splits",
                    "merges", "blocks_built", "blocks_redrawn", "psnr", "differing_share"}));
  size_t row = 1;
  for (const MethodResult& method : run.methods) {
    size_t sample = 0;
    for (const FrameSample& frame : method.frames) {
      ASSERT_LT(row, records.size());
      const CsvRecord& r = records[row++];
      ASSERT_EQ(r.size(), 13u);
      EXPECT_EQ(r[0], method.name);
      EXPECT_EQ(Number(r[1]), frame.frame);
      // Exact: the file keeps every bit of the measurements.
      EXPECT_EQ(Number(r[2]), frame.frameMs);
      EXPECT_EQ(Number(r[3]), frame.refineMs);
      EXPECT_EQ(Number(r[4]), frame.drawMs);
      EXPECT_EQ(Number(r[5]), frame.triangles);
      EXPECT_EQ(Number(r[6]), frame.bytes);
      EXPECT_EQ(Number(r[7]), frame.splits);
      EXPECT_EQ(Number(r[8]), frame.merges);
      EXPECT_EQ(Number(r[9]), frame.blocksBuilt);
      EXPECT_EQ(Number(r[10]), frame.blocksRedrawn);
      if (sample < method.quality.size() && method.quality[sample].frame == frame.frame) {
        const QualitySample& q = method.quality[sample++];
        if (std::isinf(q.psnr)) {
          EXPECT_EQ(r[11], "inf");
        } else {
          EXPECT_EQ(Number(r[11]), q.psnr);
        }
        EXPECT_EQ(Number(r[12]), q.differingShare);
      } else {
        EXPECT_EQ(r[11], "");
        EXPECT_EQ(r[12], "");
      }
    }
    EXPECT_EQ(sample, method.quality.size()) << method.name;
  }
  EXPECT_EQ(row, records.size());
}

TEST(BenchCsvTest, FieldsAreQuotedOnlyWhenTheyMustBe) {
  EXPECT_EQ(CsvField("CABTT L4"), "CABTT L4");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("cr\rlf\n"), "\"cr\rlf\n\"");
  EXPECT_EQ(CsvField(" lead"), "\" lead\"");
  EXPECT_EQ(CsvField(""), "");
}

TEST(BenchCsvTest, FailedWritesReportFalseAndLeaveNoFileBehind) {
  TempDir dir;
  BenchRun run = SampleBenchRun({SampleMethodResult("ROAM", 5000, 0, 1)});
  EXPECT_FALSE(WriteFrameCsv(run, dir.File("missing/frames.csv")));
  EXPECT_FALSE(WriteFrameCsv(run, ""));

  std::filesystem::create_directory(dir.File("taken"));
  EXPECT_FALSE(WriteFrameCsv(run, dir.File("taken")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));
  // A device that refuses the data: the write fails at the flush at the latest.
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_FALSE(WriteFrameCsv(run, "/dev/full"));
  }

  // A good write replaces an old file and leaves no temporary file beside it.
  ASSERT_TRUE(WriteFrameCsv(run, dir.File("frames.csv")));
  ASSERT_TRUE(WriteFrameCsv(SampleBenchRun({SampleMethodResult("ROAM", 1, 0, 1)}), dir.File("frames.csv")));
  EXPECT_EQ(ParseCsv(ReadWholeFile(dir.File("frames.csv"))).size(), 2u);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"frames.csv", "taken"}));
}

}  // namespace
