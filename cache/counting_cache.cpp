#include "cache/counting_cache.h"

Status CountingCache::BeginBlock(CacheVertex** vertices, uint16_t** indices) {
  Status status = inner_->BeginBlock(vertices, indices);
  vertices_ = *vertices;
  indices_ = *indices;
  return status;
}

BlockHandle CountingCache::EndBlock(int vertexCount, int indexCount) {
  ++blocksBuilt;
  if (onEndBlock) indexCount = onEndBlock(vertices_, vertexCount, indices_, indexCount);
  return inner_->EndBlock(vertexCount, indexCount);
}

void CountingCache::DrawBlock(BlockHandle handle) {
  ++blocksRedrawn;
  inner_->DrawBlock(handle);
}

CacheSource CountedCaches(CacheSource source, CountingCache** latest) {
  const CacheKind kind = source.kind;
  return {kind, [source = std::move(source), latest] {
            auto cache = std::make_unique<CountingCache>(source.create());
            *latest = cache.get();
            return std::unique_ptr<GeometryCache>(std::move(cache));
          }};
}

void CountingCache::ReleaseBlock(BlockHandle handle) {
  ++blocksReleased;
  inner_->ReleaseBlock(handle);
}
