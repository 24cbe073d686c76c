#include "support/roam_client_array_cache.h"

#include <GL/gl.h>

#include <cstddef>

void RoamClientArrayCache::Init(int blockVertices, int maxIndices) {
  blockVertices_ = blockVertices;
  maxIndices_ = maxIndices;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

void RoamClientArrayCache::Shutdown() {
  blocks_.clear();
  spare_.clear();
  current_ = kNoBlock;
}

void RoamClientArrayCache::Point(const Block& block) const {
  glVertexPointer(3, GL_FLOAT, 0, block.vertices.data());
  glTexCoordPointer(2, GL_FLOAT, sizeof(CacheVertex), block.vertices.data());
}

void RoamClientArrayCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  if (!spare_.empty()) {
    current_ = spare_.back();
    spare_.pop_back();
  } else {
    current_ = static_cast<BlockHandle>(blocks_.size());
    blocks_.emplace_back();
  }
  Block& block = blocks_[current_];
  block.vertices.assign(static_cast<std::size_t>(blockVertices_), CacheVertex{});
  block.indices.assign(static_cast<std::size_t>(maxIndices_), 0);
  block.indexCount = 0;
  block.live = true;
  Point(block);
  *vertices = block.vertices.data();
  *indices = block.indices.data();
}

BlockHandle RoamClientArrayCache::EndBlock(int, int indexCount) {
  Block& block = blocks_[current_];
  glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_SHORT, block.indices.data());
  block.indexCount = indexCount;
  const BlockHandle handle = current_;
  current_ = kNoBlock;
  return handle;
}

void RoamClientArrayCache::DrawBlock(BlockHandle handle) {
  const Block& block = blocks_[handle];
  Point(block);
  glDrawElements(GL_TRIANGLES, block.indexCount, GL_UNSIGNED_SHORT, block.indices.data());
}

void RoamClientArrayCache::ReleaseBlock(BlockHandle handle) {
  Block& block = blocks_[handle];
  block.live = false;
  block.vertices = {};
  block.indices = {};
  spare_.push_back(handle);
}

int RoamClientArrayCache::LiveBlocks() const {
  int live = 0;
  for (const Block& block : blocks_) live += block.live ? 1 : 0;
  return live;
}
