#include "cache/geometry_cache.h"

GeometryCache* ActiveCache = nullptr;

void DestroyGeometryCache() {
  delete ActiveCache;
  ActiveCache = nullptr;
}
