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

#include "app/platform/text_format.h"
#include "headless/report_columns.h"
#include "headless/text_table.h"

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

bool InTable(const SummaryColumn& column, const BenchRun& run) {
  return column.shown == ColumnShown::kAlways || (column.shown == ColumnShown::kWithDetailList && run.detailListed);
}

std::vector<std::string> Row(const MethodSummary& s, const BenchRun& run) {
  std::vector<std::string> cells = {s.name};
  for (const SummaryColumn& column : SummaryColumns()) {
    if (!InTable(column, run)) continue;
    const std::optional<double> value = column.value(s);
    cells.push_back(value ? FormatFixed(*value * column.tableScale, column.decimals) : "-");
  }
  return cells;
}

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

// Writes rows in chunks through an atomic writer.
class CsvFile {
 public:
  explicit CsvFile(const std::string& path) : writer_(path) {}
  bool Open() { return writer_.Open(); }
  void AddRow(const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) chunk_ += ',';
      chunk_ += fields[i];
    }
    chunk_ += '\n';
    if (chunk_.size() >= kCsvChunkBytes) {
      writer_.Write(chunk_);
      chunk_.clear();
    }
  }
  bool Commit() {
    writer_.Write(chunk_);
    return writer_.Commit();
  }

 private:
  AtomicFileWriter writer_;
  std::string chunk_;
};

}  // namespace

MethodSummary Summarize(const MethodResult& result) {
  MethodSummary summary{};
  summary.name = result.name;
  summary.detail = result.detail;
  summary.frames = static_cast<int>(result.frames.size());
  summary.wallSeconds = UsableSeconds(result.wallSeconds);
  summary.peakMemoryMiB = result.peakMemoryMiB;

  double frameMs = 0, triangles = 0, bytes = 0, splits = 0, merges = 0, built = 0, redrawn = 0, calls = 0,
         driverBytes = 0, refineMs = 0, drawMs = 0;
  for (const FrameSample& frame : result.frames) {
    frameMs += frame.frameMs;
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
  summary.frameMsPerFrame = PerUnit(frameMs, frames);
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
  summary.cpuMsPerFrame = summary.refineMsPerFrame + summary.drawMsPerFrame;
  SummarizeQuality(result, &summary);
  return summary;
}

std::string ResultLabel(const BenchRun& run, const MethodResult& result) {
  if (!run.detailListed || !result.detail) return result.name;
  return result.name + " " + PixelErrorLabel(result.detail->pixelError);
}

std::string RenderingModeText(bool rasterizerDiscard) {
  return rasterizerDiscard ? "rasterizer discard (GL_RASTERIZER_DISCARD): figures exclude the rasterizer"
                           : "rasterizing";
}

std::string FormatTable(const BenchRun& run) {
  using Align = TextTable::Align;
  std::vector<TextTable::Column> columns = {{"method", Align::kLeft}};
  for (const SummaryColumn& column : SummaryColumns())
    if (InTable(column, run)) columns.push_back({column.header, Align::kRight});
  TextTable table(std::move(columns));
  for (const MethodResult& method : run.methods) table.AddRow(Row(Summarize(method), run));

  std::string text = HeaderBlock(run) + "\n" + table.Render() + "\n";
  if (run.detailListed)
    text +=
        "px err: the screen-space error the row's error-metric weight allows, in pixels of this\n"
        "picture (-: the brute force draws every triangle).\n";
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
  const bool sampled = std::any_of(run.methods.begin(), run.methods.end(),
                                   [](const MethodResult& method) { return !method.quality.empty(); });
  if (run.rasterizerDiscard && sampled)
    text += "Pictures for quality: a second, untimed flight of each method over the same poses, rasterizing.\n";
  return text;
}

bool WriteFrameCsv(const BenchRun& run, const std::string& path) {
  CsvFile file(path);
  if (!file.Open()) return false;
  std::vector<std::string> fields = {"method"};
  for (const FrameColumn& column : FrameColumns()) fields.push_back(column.csvName);
  file.AddRow(fields);
  for (const MethodResult& method : run.methods) {
    const std::string name = CsvField(method.name);
    std::unordered_map<int, const QualitySample*> qualityByFrame;
    for (const QualitySample& sample : method.quality) qualityByFrame[sample.frame] = &sample;
    for (const FrameSample& frame : method.frames) {
      const auto found = qualityByFrame.find(frame.frame);
      const FrameRow row{method, frame, found == qualityByFrame.end() ? nullptr : found->second};
      fields = {name};
      for (const FrameColumn& column : FrameColumns()) fields.push_back(column.text(row));
      file.AddRow(fields);
    }
  }
  return file.Commit();
}

bool WriteSummaryCsv(const BenchRun& run, const std::string& path) {
  CsvFile file(path);
  if (!file.Open()) return false;
  std::vector<std::string> fields = {"method"};
  for (const SummaryColumn& column : SummaryColumns()) fields.push_back(column.csvName);
  file.AddRow(fields);
  for (const MethodResult& method : run.methods) {
    const MethodSummary summary = Summarize(method);
    fields = {CsvField(method.name)};
    for (const SummaryColumn& column : SummaryColumns()) {
      const std::optional<double> value = column.value(summary);
      fields.push_back(value ? FormatShortest(*value) : "");
    }
    file.AddRow(fields);
  }
  return file.Commit();
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
