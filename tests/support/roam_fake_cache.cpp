#include "support/roam_fake_cache.h"

#include <algorithm>
#include <cstring>

namespace {

// Storage beyond the block's room, and every slot not written, keeps these values.
constexpr int kGuardSlots = 64;
constexpr CacheVertex kUnwrittenVertex = {-12345.0f, -12345.0f, -12345.0f};
constexpr uint16_t kUnwrittenIndex = 0xBEEF;

bool IsUnwritten(const CacheVertex& v) { return std::memcmp(&v, &kUnwrittenVertex, sizeof v) == 0; }

}  // namespace

RoamFakeCache::RoamFakeCache(bool keepGeometry) : keepGeometry_(keepGeometry) {}

void RoamFakeCache::Init(int vertices, int indices) {
  ++initCalls;
  blockVertices = vertices;
  maxIndices = indices;
  vertexStorage_.assign(static_cast<size_t>(vertices + kGuardSlots), kUnwrittenVertex);
  indexStorage_.assign(static_cast<size_t>(indices + kGuardSlots), kUnwrittenIndex);
}

void RoamFakeCache::Shutdown() {
  ++shutdownCalls;
  if (filling_) faults.push_back("Shutdown while a block is filling");
  filling_ = false;
}

void RoamFakeCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  if (initCalls == 0) faults.push_back("BeginBlock before Init");
  if (filling_) faults.push_back("BeginBlock while a block is filling");
  filling_ = true;
  if (keepGeometry_) {
    std::fill(vertexStorage_.begin(), vertexStorage_.end(), kUnwrittenVertex);
    std::fill(indexStorage_.begin(), indexStorage_.end(), kUnwrittenIndex);
  }
  *vertices = vertexStorage_.data();
  *indices = indexStorage_.data();
}

BlockHandle RoamFakeCache::EndBlock(int vertexCount, int indexCount) {
  if (!filling_) faults.push_back("EndBlock without BeginBlock");
  filling_ = false;
  ++blocksClosed;
  if (vertexCount < 0 || vertexCount > blockVertices) faults.push_back("vertex count " + std::to_string(vertexCount) + " out of range");
  if (indexCount < 0 || indexCount > maxIndices) faults.push_back("index count " + std::to_string(indexCount) + " out of range");
  if (!keepGeometry_) return static_cast<BlockHandle>(blocksClosed - 1);
  for (size_t i = 0; i < vertexStorage_.size(); ++i)
    if (static_cast<int>(i) >= vertexCount && !IsUnwritten(vertexStorage_[i])) {
      faults.push_back("vertex slot " + std::to_string(i) + " written beyond the vertex count");
      break;
    }
  for (size_t i = 0; i < indexStorage_.size(); ++i)
    if (static_cast<int>(i) >= indexCount && indexStorage_[i] != kUnwrittenIndex) {
      faults.push_back("index slot " + std::to_string(i) + " written beyond the index count");
      break;
    }
  Block block;
  const int keptVertices = std::min(std::max(vertexCount, 0), static_cast<int>(vertexStorage_.size()));
  const int keptIndices = std::min(std::max(indexCount, 0), static_cast<int>(indexStorage_.size()));
  block.vertices.assign(vertexStorage_.begin(), vertexStorage_.begin() + keptVertices);
  block.indices.assign(indexStorage_.begin(), indexStorage_.begin() + keptIndices);
  block.vertexCount = vertexCount;
  block.indexCount = indexCount;
  blocks.push_back(std::move(block));
  return static_cast<BlockHandle>(blocks.size() - 1);
}

void RoamFakeCache::DrawBlock(BlockHandle handle) {
  ++drawCalls;
  if (filling_) faults.push_back("DrawBlock while a block is filling");
  if (keepGeometry_ && (handle < 0 || handle >= static_cast<BlockHandle>(blocks.size()) || blocks[handle].released))
    faults.push_back("DrawBlock of a block that is not live");
}

void RoamFakeCache::ReleaseBlock(BlockHandle handle) {
  if (filling_) faults.push_back("ReleaseBlock while a block is filling");
  if (!keepGeometry_) return;
  if (handle < 0 || handle >= static_cast<BlockHandle>(blocks.size())) {
    faults.push_back("ReleaseBlock of an unknown handle");
    return;
  }
  if (blocks[handle].released) faults.push_back("block released twice");
  blocks[handle].released = true;
}

void RoamFakeCache::ClearBlocks() { blocks.clear(); }

int RoamFakeCache::UnreleasedBlocks() const {
  int count = 0;
  for (const Block& block : blocks) count += block.released ? 0 : 1;
  return count;
}
