#include "headless/report_columns.h"

#include "app/platform/text_format.h"

namespace {

using Value = std::optional<double>;

Value Quality(const MethodSummary& s, double value) { return s.hasQuality ? Value(value) : std::nullopt; }

}  // namespace

const std::vector<SummaryColumn>& SummaryColumns() {
  using S = const MethodSummary&;
  constexpr ColumnShown kAlways = ColumnShown::kAlways;
  constexpr ColumnShown kFileOnly = ColumnShown::kFileOnly;
  static const std::vector<SummaryColumn> columns = {
      {"px err", "pixel_error", ColumnShown::kWithDetailList, 1, 2,
       [](S s) { return s.detail ? Value(s.detail->pixelError) : std::nullopt; }},
      {"weight", "weight", ColumnShown::kWithDetailList, 1, 0,
       [](S s) { return s.detail ? Value(s.detail->weight) : std::nullopt; }},
      {"frames", "frames", kAlways, 1, 0, [](S s) { return Value(s.frames); }},
      {"wall s", "wall_s", kAlways, 1, 2, [](S s) { return Value(s.wallSeconds); }},
      {"fps", "fps", kAlways, 1, 1, [](S s) { return Value(s.framesPerSecond); }},
      {"frame ms", "frame_ms", kFileOnly, 1, 3, [](S s) { return Value(s.frameMsPerFrame); }},
      {"cpu ms", "cpu_ms", kFileOnly, 1, 3, [](S s) { return Value(s.cpuMsPerFrame); }},
      {"tris/f", "triangles_per_frame", kAlways, 1, 0, [](S s) { return Value(s.trianglesPerFrame); }},
      {"Mtris/s", "triangles_per_s", kAlways, 1e-6, 2, [](S s) { return Value(s.trianglesPerSecond); }},
      {"KiB/f", "bytes_per_frame", kAlways, 1.0 / 1024.0, 1, [](S s) { return Value(s.bytesPerFrame); }},
      {"splits/f", "splits_per_frame", kAlways, 1, 1, [](S s) { return Value(s.splitsPerFrame); }},
      {"merges/f", "merges_per_frame", kAlways, 1, 1, [](S s) { return Value(s.mergesPerFrame); }},
      {"built/f", "blocks_built_per_frame", kAlways, 1, 1, [](S s) { return Value(s.blocksBuiltPerFrame); }},
      {"redrawn/f", "blocks_redrawn_per_frame", kAlways, 1, 1, [](S s) { return Value(s.blocksRedrawnPerFrame); }},
      {"calls/f", "draw_calls_per_frame", kAlways, 1, 1, [](S s) { return Value(s.drawCallsPerFrame); }},
      {"drv KiB/f", "driver_bytes_per_frame", kAlways, 1.0 / 1024.0, 1, [](S s) { return Value(s.driverBytesPerFrame); }},
      {"refine ms/f", "refine_ms", kAlways, 1, 3, [](S s) { return Value(s.refineMsPerFrame); }},
      {"draw ms/f", "draw_ms", kAlways, 1, 3, [](S s) { return Value(s.drawMsPerFrame); }},
      {"peak MiB", "peak_mib", kAlways, 1, 1, [](S s) { return Value(s.peakMemoryMiB); }},
      {"PSNR dB", "psnr", kAlways, 1, 2, [](S s) { return Quality(s, s.meanPsnr); }},
      {"min PSNR", "min_psnr", kFileOnly, 1, 2, [](S s) { return Quality(s, s.minPsnr); }},
      {">thr %", "differing_share", kAlways, 100, 2, [](S s) { return Quality(s, s.meanDifferingShare); }},
  };
  return columns;
}

const std::vector<FrameColumn>& FrameColumns() {
  using R = const FrameRow&;
  static const std::vector<FrameColumn> columns = {
      {"frame", [](R r) { return std::to_string(r.frame.frame); }},
      {"frame_ms", [](R r) { return FormatShortest(r.frame.frameMs); }},
      {"refine_ms", [](R r) { return FormatShortest(r.frame.refineMs); }},
      {"draw_ms", [](R r) { return FormatShortest(r.frame.drawMs); }},
      {"triangles", [](R r) { return FormatShortest(r.frame.triangles); }},
      {"bytes", [](R r) { return FormatShortest(r.frame.bytes); }},
      {"splits", [](R r) { return std::to_string(r.frame.splits); }},
      {"merges", [](R r) { return std::to_string(r.frame.merges); }},
      {"blocks_built", [](R r) { return std::to_string(r.frame.blocksBuilt); }},
      {"blocks_redrawn", [](R r) { return std::to_string(r.frame.blocksRedrawn); }},
      {"draw_calls", [](R r) { return std::to_string(r.frame.drawCalls); }},
      {"driver_bytes", [](R r) { return FormatShortest(r.frame.driverBytes); }},
      {"psnr", [](R r) { return r.quality != nullptr ? FormatShortest(r.quality->psnr) : ""; }},
      {"differing_share", [](R r) { return r.quality != nullptr ? FormatShortest(r.quality->differingShare) : ""; }},
      {"weight", [](R r) { return r.method.detail ? FormatShortest(r.method.detail->weight) : ""; }},
      {"pixel_error", [](R r) { return r.method.detail ? FormatShortest(r.method.detail->pixelError) : ""; }},
  };
  return columns;
}
