#pragma once
// TEMPORARY STUB (bench-runner branch): the report branch owns this file; take theirs on merge.
#include <string>

#include "headless/bench_results.h"

std::string FormatTable(const BenchRun& run);
