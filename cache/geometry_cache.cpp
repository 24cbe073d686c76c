#include "cache/geometry_cache.h"

#include "app/gl_state.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

GeometryCache* ActiveCache = nullptr;

namespace {

// The previous object's Shutdown has already run (deactivation of its drawing method).
void ReplaceActiveCache(GeometryCache* cache) {
  delete ActiveCache;
  ActiveCache = cache;
}

}  // namespace

void CreateSystemMemoryCache() { ReplaceActiveCache(new SystemMemoryCache); }

void CreateVideoMemoryCache() { ReplaceActiveCache(new VideoMemoryCache); }

void CreateGeometryCache() {
  if (VertexArrayRangeSupported && FencesSupported)
    CreateVideoMemoryCache();
  else
    CreateSystemMemoryCache();
}

void DestroyGeometryCache() {
  delete ActiveCache;
  ActiveCache = nullptr;
}
