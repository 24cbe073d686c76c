#pragma once
#include <string>

#include "headless/bench_results.h"

// Every method's frames as CSV (RFC 4180 quoting, "\n" line ends), one row per method per frame:
//   method,frame,frame_ms,refine_ms,draw_ms,triangles,bytes,splits,merges,blocks_built,
//   blocks_redrawn,psnr,differing_share
// psnr and differing_share are empty on frames without a quality sample; psnr is "inf" for a
// picture identical to the reference. Numbers read back exactly. The file appears under its name
// only when completely written; false when it could not be created or written.
bool WriteFrameCsv(const BenchRun& run, const std::string& path);

// The field as it must appear in a CSV row: quoted, with doubled quotes, when it holds a comma,
// a quote, a line break or leading or trailing spaces.
std::string CsvField(const std::string& text);
