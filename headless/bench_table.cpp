#include "headless/bench_table.h"

#include <algorithm>

#include "headless/bench_summary.h"
#include "headless/number_format.h"
#include "headless/text_table.h"

namespace {

using Align = TextTable::Align;

std::string FrameCountText(const BenchRun& run) {
  if (run.methods.empty()) return "0";
  size_t fewest = run.methods[0].frames.size(), most = fewest;
  for (const MethodResult& method : run.methods) {
    fewest = std::min(fewest, method.frames.size());
    most = std::max(most, method.frames.size());
  }
  if (fewest == most) return std::to_string(most);
  return std::to_string(fewest) + " to " + std::to_string(most);
}

std::string HeaderBlock(const BenchRun& run) {
  std::string text;
  text += "Terrain: " + PrintableText(run.terrain) + "\n";
  text += "Flight:  " + PrintableText(run.flight) + "\n";
  text += "Frames:  " + FrameCountText(run) + "\n";
  text += "Window:  " + std::to_string(run.width) + " x " + std::to_string(run.height) + "\n";
  text += "Mode:    " + RenderingModeText(run.rasterizerDiscard) + "\n";
  return text;
}

std::vector<std::string> Row(const MethodSummary& s) {
  std::vector<std::string> cells = {
      s.name,
      std::to_string(s.frames),
      FormatFixed(s.wallSeconds, 2),
      FormatFixed(s.framesPerSecond, 1),
      FormatFixed(s.trianglesPerFrame, 0),
      FormatFixed(s.trianglesPerSecond / 1e6, 2),
      FormatFixed(s.bytesPerFrame / 1024.0, 1),
      FormatFixed(s.splitsPerFrame, 1),
      FormatFixed(s.mergesPerFrame, 1),
      FormatFixed(s.blocksBuiltPerFrame, 1),
      FormatFixed(s.blocksRedrawnPerFrame, 1),
      FormatFixed(s.refineMsPerFrame, 3),
      FormatFixed(s.drawMsPerFrame, 3),
      FormatFixed(s.peakMemoryMiB, 1),
  };
  if (s.hasQuality) {
    cells.push_back(FormatFixed(s.meanPsnr, 2));
    cells.push_back(FormatFixed(s.meanDifferingShare * 100.0, 2));
  } else {
    cells.push_back("-");
    cells.push_back("-");
  }
  return cells;
}

}  // namespace

std::string RenderingModeText(bool rasterizerDiscard) {
  return rasterizerDiscard ? "rasterizer discard (GL_RASTERIZER_DISCARD): figures exclude the rasterizer"
                           : "rasterizing";
}

std::string FormatTable(const BenchRun& run) {
  TextTable table({{"method", Align::kLeft},
                   {"frames", Align::kRight},
                   {"wall s", Align::kRight},
                   {"fps", Align::kRight},
                   {"tris/f", Align::kRight},
                   {"Mtris/s", Align::kRight},
                   {"KiB/f", Align::kRight},
                   {"splits/f", Align::kRight},
                   {"merges/f", Align::kRight},
                   {"built/f", Align::kRight},
                   {"redrawn/f", Align::kRight},
                   {"refine ms/f", Align::kRight},
                   {"draw ms/f", Align::kRight},
                   {"peak MiB", Align::kRight},
                   {"PSNR dB", Align::kRight},
                   {">thr %", Align::kRight}});
  for (const MethodResult& method : run.methods) table.AddRow(Row(Summarize(method)));

  std::string text = HeaderBlock(run) + "\n" + table.Render() + "\n";
  text +=
      "/f: mean per frame. KiB/f: bytes of bandwidth as the log counts them (streamed vertices and\n"
      "indices; only indices for a cached redraw; none for the brute force's static buffers).\n"
      "built/f, redrawn/f: cache blocks written, and drawn again unchanged. refine, draw: CPU ms of\n"
      "the rendering thread; the rest of a frame's time is the GL's (the rasterizer's threads).\n";
  text +=
      "PSNR dB: mean over the sampled frames against the brute-force reference (inf: identical);\n"
      ">thr %: pixels with a channel off by more than " +
      std::to_string(run.qualityThreshold) + ". -: not measured.\n";
  return text;
}
