#include "support/recording_cache.h"

#include <algorithm>
#include <cstring>

namespace {

// Storage beyond the block's room, and every slot not written, keeps these values.
constexpr int kGuardSlots = 16;
constexpr CacheVertex kUnwrittenVertex = {-12345.0f, -12345.0f, -12345.0f};
constexpr uint16_t kUnwrittenIndex = 0xBEEF;

bool IsUnwritten(const CacheVertex& v) { return std::memcmp(&v, &kUnwrittenVertex, sizeof v) == 0; }

}  // namespace

Status RecordingCache::Init(int vertices, int indices) {
  if (initialised_) Fault("Init without Shutdown");
  ++initCalls;
  initialised_ = true;
  blockVertices = vertices;
  maxIndices = indices;
  vertices_.assign(static_cast<size_t>(vertices + kGuardSlots), kUnwrittenVertex);
  indices_.assign(static_cast<size_t>(indices + kGuardSlots), kUnwrittenIndex);
  return {};
}

void RecordingCache::Shutdown() {
  ++shutdownCalls;
  live.clear();
  initialised_ = false;
  filling_ = false;
}

Status RecordingCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  if (failBeginBlock) return *failBeginBlock;
  if (!initialised_) Fault("BeginBlock before Init");
  if (filling_) Fault("BeginBlock while a block is filling");
  filling_ = true;
  std::fill(vertices_.begin(), vertices_.end(), kUnwrittenVertex);
  std::fill(indices_.begin(), indices_.end(), kUnwrittenIndex);
  *vertices = vertices_.data();
  *indices = indices_.data();
  return {};
}

BlockHandle RecordingCache::EndBlock(int vertexCount, int indexCount) {
  if (!filling_) Fault("EndBlock without BeginBlock");
  filling_ = false;
  if (vertexCount < 0 || vertexCount > blockVertices) Fault("vertex count " + std::to_string(vertexCount) + " out of range");
  if (indexCount < 0 || indexCount > maxIndices || indexCount % 3 != 0)
    Fault("index count " + std::to_string(indexCount) + " out of range");
  for (size_t i = static_cast<size_t>(std::max(vertexCount, 0)); i < vertices_.size(); ++i)
    if (!IsUnwritten(vertices_[i])) {
      Fault("vertex slot " + std::to_string(i) + " written beyond the vertex count");
      break;
    }
  for (size_t i = static_cast<size_t>(std::max(indexCount, 0)); i < indices_.size(); ++i)
    if (indices_[i] != kUnwrittenIndex) {
      Fault("index slot " + std::to_string(i) + " written beyond the index count");
      break;
    }
  const int keptIndices = std::clamp(indexCount, 0, maxIndices);
  for (int i = 0; i < keptIndices; ++i)
    if (indices_[i] >= vertexCount) {
      Fault("index beyond the block's vertices");
      break;
    }
  Block block;
  block.vertexCount = vertexCount;
  block.indexCount = indexCount;
  if (keepGeometry_) {
    block.vertices.assign(vertices_.begin(), vertices_.begin() + std::clamp(vertexCount, 0, blockVertices));
    block.indices.assign(indices_.begin(), indices_.begin() + keptIndices);
    closed.push_back(block);
  }
  const BlockHandle handle = nextHandle_++;
  live[handle] = std::move(block);
  ++blocksBuilt;
  ++unflushedDraws;
  if (onDraw) onDraw(handle, true);
  return handle;
}

void RecordingCache::DrawBlock(BlockHandle handle) {
  if (filling_) Fault("DrawBlock while a block is filling");
  if (live.count(handle) == 0) Fault("DrawBlock of a block that is not live");
  ++blocksRedrawn;
  ++unflushedDraws;
  if (onDraw) onDraw(handle, false);
}

void RecordingCache::Flush() {
  if (filling_) Fault("Flush while a block is filling");
  ++flushes;
  unflushedDraws = 0;
}

void RecordingCache::ReleaseBlock(BlockHandle handle) {
  if (filling_) Fault("ReleaseBlock while a block is filling");
  if (live.erase(handle) == 0) Fault("ReleaseBlock of a block that is not live");
  ++blocksReleased;
}

std::string Describe(const std::vector<std::string>& faults) {
  std::string text;
  for (const std::string& fault : faults) text += fault + "\n";
  return text;
}
