#include "headless/bench_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "headless/text_format.h"

namespace {

double PerUnit(double total, double units) { return units > 0 ? total / units : 0.0; }

// A wall time that rates can be divided by: positive and finite, else none.
double UsableSeconds(double seconds) { return std::isfinite(seconds) && seconds > 0 ? seconds : 0.0; }

void SummarizeQuality(const MethodResult& result, MethodSummary* summary) {
  summary->hasQuality = !result.quality.empty();
  const double infinity = std::numeric_limits<double>::infinity();
  double finiteSum = 0.0, shareSum = 0.0;
  int finiteCount = 0, infiniteCount = 0;
  double minimum = infinity;
  for (const QualitySample& sample : result.quality) {
    shareSum += sample.differingShare;
    if (std::isnan(sample.psnr)) continue;
    if (std::isinf(sample.psnr) && sample.psnr > 0) {
      ++infiniteCount;
      continue;
    }
    finiteSum += sample.psnr;
    ++finiteCount;
    if (sample.psnr < minimum) minimum = sample.psnr;
  }
  if (finiteCount > 0) {
    summary->meanPsnr = finiteSum / finiteCount;
    summary->minPsnr = minimum;
  } else if (infiniteCount > 0) {
    summary->meanPsnr = infinity;
    summary->minPsnr = infinity;
  }
  summary->meanDifferingShare = PerUnit(shareSum, static_cast<double>(result.quality.size()));
}

// A plain-text table whose columns are as wide as their widest cell: a header row, a rule of
// dashes, then the rows, every line the same width.
class TextTable {
 public:
  enum class Align { kLeft, kRight };
  struct Column {
    std::string header;
    Align align;
  };

  explicit TextTable(std::vector<Column> columns) : columns_(std::move(columns)) {}

  // Missing cells are blank; cells beyond the last column are dropped.
  void AddRow(std::vector<std::string> cells) {
    cells.resize(columns_.size());
    for (std::string& cell : cells) cell = PrintableText(cell);
    rows_.push_back(std::move(cells));
  }

  std::string Render() const {
    std::vector<size_t> widths(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
      widths[i] = DisplayWidth(columns_[i].header);
      for (const auto& row : rows_) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    }
    const auto line = [&](auto cellText) {
      std::string text;
      for (size_t i = 0; i < columns_.size(); ++i) {
        if (i > 0) text += "  ";
        text += cellText(i);
      }
      return text + "\n";
    };
    std::string out = line([&](size_t i) { return Pad(columns_[i].header, widths[i], columns_[i].align); });
    out += line([&](size_t i) { return std::string(widths[i], '-'); });
    for (const auto& row : rows_) out += line([&](size_t i) { return Pad(row[i], widths[i], columns_[i].align); });
    return out;
  }

 private:
  static std::string Pad(const std::string& text, size_t width, Align align) {
    const size_t used = DisplayWidth(text);
    const std::string padding(width > used ? width - used : 0, ' ');
    return align == Align::kLeft ? text + padding : padding + text;
  }

  std::vector<Column> columns_;
  std::vector<std::vector<std::string>> rows_;
};

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
      FormatFixed(s.drawCallsPerFrame, 1),
      FormatFixed(s.driverBytesPerFrame / 1024.0, 1),
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

constexpr const char* kCsvHeader =
    "method,frame,frame_ms,refine_ms,draw_ms,triangles,bytes,splits,merges,blocks_built,"
    "blocks_redrawn,draw_calls,driver_bytes,psnr,differing_share\n";

// Rows are gathered into chunks of about this size before each write.
constexpr size_t kCsvChunkBytes = 1 << 16;

std::string CsvField(const std::string& text) {
  const bool needsQuotes = text.find_first_of(",\"\r\n") != std::string::npos ||
                           (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!needsQuotes) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void AppendCsvRow(const std::string& method, const FrameSample& frame, const QualitySample* quality,
                  std::string* out) {
  *out += method;
  for (const std::string& field :
       {std::to_string(frame.frame), FormatShortest(frame.frameMs), FormatShortest(frame.refineMs),
        FormatShortest(frame.drawMs), FormatShortest(frame.triangles), FormatShortest(frame.bytes),
        std::to_string(frame.splits), std::to_string(frame.merges), std::to_string(frame.blocksBuilt),
        std::to_string(frame.blocksRedrawn), std::to_string(frame.drawCalls), FormatShortest(frame.driverBytes)}) {
    *out += ',';
    *out += field;
  }
  *out += ',';
  if (quality != nullptr) *out += FormatShortest(quality->psnr);
  *out += ',';
  if (quality != nullptr) *out += FormatShortest(quality->differingShare);
  *out += '\n';
}

}  // namespace

MethodSummary Summarize(const MethodResult& result) {
  MethodSummary summary{};
  summary.name = result.name;
  summary.frames = static_cast<int>(result.frames.size());
  summary.wallSeconds = UsableSeconds(result.wallSeconds);
  summary.peakMemoryMiB = result.peakMemoryMiB;

  double triangles = 0, bytes = 0, splits = 0, merges = 0, built = 0, redrawn = 0, calls = 0, driverBytes = 0,
         refineMs = 0, drawMs = 0;
  for (const FrameSample& frame : result.frames) {
    calls += frame.drawCalls;
    driverBytes += frame.driverBytes;
    triangles += frame.triangles;
    bytes += frame.bytes;
    splits += frame.splits;
    merges += frame.merges;
    built += frame.blocksBuilt;
    redrawn += frame.blocksRedrawn;
    refineMs += frame.refineMs;
    drawMs += frame.drawMs;
  }
  const double frames = summary.frames;
  summary.framesPerSecond = PerUnit(frames, summary.wallSeconds);
  summary.trianglesPerSecond = PerUnit(triangles, summary.wallSeconds);
  summary.trianglesPerFrame = PerUnit(triangles, frames);
  summary.bytesPerFrame = PerUnit(bytes, frames);
  summary.splitsPerFrame = PerUnit(splits, frames);
  summary.mergesPerFrame = PerUnit(merges, frames);
  summary.blocksBuiltPerFrame = PerUnit(built, frames);
  summary.blocksRedrawnPerFrame = PerUnit(redrawn, frames);
  summary.drawCallsPerFrame = PerUnit(calls, frames);
  summary.driverBytesPerFrame = PerUnit(driverBytes, frames);
  summary.refineMsPerFrame = PerUnit(refineMs, frames);
  summary.drawMsPerFrame = PerUnit(drawMs, frames);
  SummarizeQuality(result, &summary);
  return summary;
}

std::string RenderingModeText(bool rasterizerDiscard) {
  return rasterizerDiscard ? "rasterizer discard (GL_RASTERIZER_DISCARD): figures exclude the rasterizer"
                           : "rasterizing";
}

std::string FormatTable(const BenchRun& run) {
  using Align = TextTable::Align;
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
                   {"calls/f", Align::kRight},
                   {"drv KiB/f", Align::kRight},
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
      "built/f, redrawn/f: cache blocks written, and drawn again unchanged. calls/f: GL draw calls.\n"
      "drv KiB/f: vertices and indices handed to the driver (read from client arrays at each draw,\n"
      "or written once into GL memory). refine, draw: CPU ms of the rendering thread; the rest of a\n"
      "frame's time is the GL's (the rasterizer's threads). @system, @buffer: the cache drawn through.\n";
  text +=
      "PSNR dB: mean over the sampled frames against the brute-force reference (inf: identical);\n"
      ">thr %: pixels with a channel off by more than " +
      std::to_string(run.qualityThreshold) + ". -: not measured.\n";
  return text;
}

bool WriteFrameCsv(const BenchRun& run, const std::string& path) {
  AtomicFileWriter writer(path);
  if (!writer.Open()) return false;
  std::string chunk = kCsvHeader;
  for (const MethodResult& method : run.methods) {
    const std::string name = CsvField(method.name);
    std::unordered_map<int, const QualitySample*> qualityByFrame;
    for (const QualitySample& sample : method.quality) qualityByFrame[sample.frame] = &sample;
    for (const FrameSample& frame : method.frames) {
      const auto found = qualityByFrame.find(frame.frame);
      AppendCsvRow(name, frame, found == qualityByFrame.end() ? nullptr : found->second, &chunk);
      if (chunk.size() >= kCsvChunkBytes) {
        writer.Write(chunk);
        chunk.clear();
      }
    }
  }
  writer.Write(chunk);
  return writer.Commit();
}

AtomicFileWriter::AtomicFileWriter(std::string path) : path_(std::move(path)) {}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

bool AtomicFileWriter::Open() {
  if (file_ != nullptr || path_.empty()) return false;
  failed_ = false;
  struct stat status;
  direct_ = stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
  if (direct_) {
    file_ = std::fopen(path_.c_str(), "w");
    return file_ != nullptr;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = path_ + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
    // O_EXCL: never write through someone else's file or link; 0666 lets the umask decide.
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
      close(fd);
      unlink(candidate.c_str());
      return false;
    }
    temporaryPath_ = std::move(candidate);
    return true;
  }
  return false;
}

void AtomicFileWriter::Write(const std::string& text) {
  if (file_ == nullptr || failed_) {
    failed_ = true;
    return;
  }
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool AtomicFileWriter::Commit() {
  if (file_ == nullptr) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && std::ferror(file_) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  if (direct_) return ok;
  if (ok && std::rename(temporaryPath_.c_str(), path_.c_str()) == 0) {
    temporaryPath_.clear();
    return true;
  }
  Discard();
  return false;
}

void AtomicFileWriter::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temporaryPath_.empty()) {
    unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
  }
}
