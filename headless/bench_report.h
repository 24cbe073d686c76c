#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "headless/bench_results.h"

// A run as the user sees it: the console table and the per-frame CSV file.

// One method's run reduced to the figures of the table. Per-frame figures are means over the
// frames; rates are over the wall time and are 0 when no usable time was measured (zero,
// negative or not finite). A run without frames gives zeros, never NaN.
//
// Quality: meanPsnr is the mean of the finite PSNR samples; pictures identical to the reference
// have infinite PSNR and are left out of that mean, unless every sample is identical, in which
// case meanPsnr is +infinity. minPsnr is the smallest sample, so it is +infinity only when every
// sample is identical. NaN samples are ignored. meanDifferingShare is over all samples.
// frameMsPerFrame is the mean wall time of a frame; cpuMsPerFrame the mean of refine + draw.
struct MethodSummary {
  std::string name;
  std::optional<DetailSetting> detail;
  int frames;
  double wallSeconds, framesPerSecond, frameMsPerFrame, trianglesPerFrame, trianglesPerSecond, bytesPerFrame,
      splitsPerFrame, mergesPerFrame, blocksBuiltPerFrame, blocksRedrawnPerFrame, drawCallsPerFrame,
      driverBytesPerFrame, refineMsPerFrame, drawMsPerFrame, cpuMsPerFrame, peakMemoryMiB;
  bool hasQuality;
  double meanPsnr, minPsnr, meanDifferingShare;
};

MethodSummary Summarize(const MethodResult& result);

// The run as text for the console: a header block (terrain, flight, frames, window, rendering
// mode), one row per method result with every column as wide as its widest cell (names
// left-aligned, figures right-aligned; widths in UTF-8 characters, control characters shown as
// '?'), and a short legend. Quality columns show "-" for methods without quality samples and
// "inf" when every sample was identical to the reference. When the run's detail settings were
// listed, the pixel error and weight of each row follow the name ("-" for the brute force).
std::string FormatTable(const BenchRun& run);

// A result's name as tables and legends show it: the method's name, then its pixel error when the
// run's settings were listed ("ROAM 0.5 px").
std::string ResultLabel(const BenchRun& run, const MethodResult& result);

// The header block's mode line, without the "Mode:" label.
std::string RenderingModeText(bool rasterizerDiscard);

// Every method's frames as CSV (RFC 4180 quoting, "\n" line ends), one row per method result per
// frame:
//   method,frame,frame_ms,refine_ms,draw_ms,triangles,bytes,splits,merges,blocks_built,
//   blocks_redrawn,draw_calls,driver_bytes,psnr,differing_share,weight,pixel_error
// A name is quoted when it holds a comma, a quote, a line break or leading or trailing spaces.
// psnr and differing_share are empty on frames without a quality sample; psnr is "inf" for a
// picture identical to the reference. weight and pixel_error are the row's detail setting, empty
// for the brute force. Numbers read back exactly. The file appears under its name only when
// completely written; false when it could not be created or written.
bool WriteFrameCsv(const BenchRun& run, const std::string& path);

// One row per method result (method and setting), the figures of the table in plain units
// (triangles and bytes, not millions and KiB; the differing share as a fraction), with the
// weight, the pixel error, the mean frame time and CPU time (refine + draw) and the least PSNR:
//   method,pixel_error,weight,frames,wall_s,fps,frame_ms,cpu_ms,triangles_per_frame,...
// Unmeasured figures (quality without samples, the brute force's setting) are empty. Written as
// WriteFrameCsv writes.
bool WriteSummaryCsv(const BenchRun& run, const std::string& path);

// Writes a file under a temporary name beside its destination and renames it into place only
// when every write, the flush and the close succeeded, so that a failed write never leaves a
// half file under the real name. An uncommitted writer removes its temporary file. A destination
// that exists and is not a regular file or a directory (a pipe, /dev/stdout) is written straight
// through instead, since it cannot be replaced.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::string path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False when the temporary file could not be created (missing or unwritable directory).
  bool Open();
  // Failures are remembered and reported by Commit.
  void Write(const std::string& text);
  // Closes the file and renames it to the destination; false if anything failed on the way.
  bool Commit();

 private:
  void Discard();

  std::string path_;
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  bool direct_ = false;
};
