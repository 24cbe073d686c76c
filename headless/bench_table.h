#pragma once
#include <string>

#include "headless/bench_results.h"

// The run as text for the console: a header block (terrain, flight, frames, window, rendering
// mode), one aligned row per method, and a short legend. Quality columns show "-" for methods
// without quality samples and "inf" when every sample was identical to the reference.
std::string FormatTable(const BenchRun& run);

// The header block's mode line, without the "Mode:" label.
std::string RenderingModeText(bool rasterizerDiscard);
