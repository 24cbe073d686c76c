#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "headless/bench_report.h"
#include "headless/bench_results.h"

// The columns of the benchmark's reports, each listed once: the console table and the summary
// CSV show the summary columns (after the method's name), the per-frame CSV the frame columns
// (after the method's name). A new figure is one entry in a list.

enum class ColumnShown {
  kAlways,          // table and summary CSV
  kWithDetailList,  // table only when the run's detail settings were listed; summary CSV always
  kFileOnly,        // summary CSV only
};

struct SummaryColumn {
  std::string header;   // the table's
  std::string csvName;  // the summary CSV's
  ColumnShown shown;
  double tableScale;  // the table shows value x tableScale (the CSV the value)
  int decimals;       // in the table
  // Empty: not measured ("-" in the table, an empty field in the CSV).
  std::function<std::optional<double>(const MethodSummary&)> value;
};

const std::vector<SummaryColumn>& SummaryColumns();

// One frame of one method result.
struct FrameRow {
  const MethodResult& method;
  const FrameSample& frame;
  const QualitySample* quality;  // null when the frame was not sampled
};

struct FrameColumn {
  std::string csvName;
  std::function<std::string(const FrameRow&)> text;  // the field as written, exact
};

const std::vector<FrameColumn>& FrameColumns();
