#include "cache/cache_kinds.h"

#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

std::unique_ptr<GeometryCache> CreateGeometryCache(CacheKind kind, NvPlatform* nv, LogSink& log) {
  if (kind == CacheKind::kVideoMemory && nv != nullptr) return std::make_unique<VideoMemoryCache>(*nv, log);
  return std::make_unique<SystemMemoryCache>();
}

CacheSource DefaultCacheSource(const GlCapabilities& gl, NvPlatform* nv, LogSink& log) {
  const CacheKind kind = gl.VideoMemoryCache() && nv != nullptr ? CacheKind::kVideoMemory : CacheKind::kSystemMemory;
  return {kind, [kind, nv, &log] { return CreateGeometryCache(kind, nv, log); }};
}
