#include "headless/bench_csv.h"

#include <unordered_map>

#include "headless/atomic_file_writer.h"
#include "headless/number_format.h"

namespace {

constexpr const char* kHeader =
    "method,frame,frame_ms,refine_ms,draw_ms,triangles,bytes,splits,merges,blocks_built,"
    "blocks_redrawn,psnr,differing_share\n";

// Rows are gathered into chunks of about this size before each write.
constexpr size_t kChunkBytes = 1 << 16;

void AppendRow(const std::string& method, const FrameSample& frame, const QualitySample* quality,
               std::string* out) {
  *out += method;
  for (const std::string& field :
       {std::to_string(frame.frame), FormatShortest(frame.frameMs), FormatShortest(frame.refineMs),
        FormatShortest(frame.drawMs), FormatShortest(frame.triangles), FormatShortest(frame.bytes),
        std::to_string(frame.splits), std::to_string(frame.merges), std::to_string(frame.blocksBuilt),
        std::to_string(frame.blocksRedrawn)}) {
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

std::string CsvField(const std::string& text) {
  bool needsQuotes = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!needsQuotes) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

bool WriteFrameCsv(const BenchRun& run, const std::string& path) {
  AtomicFileWriter writer(path);
  if (!writer.Open()) return false;
  std::string chunk = kHeader;
  for (const MethodResult& method : run.methods) {
    const std::string name = CsvField(method.name);
    std::unordered_map<int, const QualitySample*> qualityByFrame;
    for (const QualitySample& sample : method.quality) qualityByFrame[sample.frame] = &sample;
    for (const FrameSample& frame : method.frames) {
      auto found = qualityByFrame.find(frame.frame);
      AppendRow(name, frame, found == qualityByFrame.end() ? nullptr : found->second, &chunk);
      if (chunk.size() >= kChunkBytes) {
        writer.Write(chunk);
        chunk.clear();
      }
    }
  }
  writer.Write(chunk);
  return writer.Commit();
}
