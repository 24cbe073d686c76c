#include "cache/cache_kinds.h"

#include "cache/buffer_storage_cache.h"
#include "cache/system_memory_cache.h"
#include "cache/video_memory_cache.h"

namespace {

constexpr CacheKind kEveryKind[] = {CacheKind::kSystemMemory, CacheKind::kVideoMemory, CacheKind::kBufferStorage};

}  // namespace

bool CanServe(CacheKind kind, const GlCapabilities& gl, const CacheDrivers& drivers) {
  switch (kind) {
    case CacheKind::kSystemMemory:
      return true;
    case CacheKind::kVideoMemory:
      return gl.VideoMemoryCache() && drivers.nv != nullptr;
    case CacheKind::kBufferStorage:
      return gl.BufferStorageCache() && drivers.buffers != nullptr;
  }
  return false;
}

std::unique_ptr<GeometryCache> CreateGeometryCache(CacheKind kind, const CacheDrivers& drivers, LogSink& log) {
  if (kind == CacheKind::kVideoMemory && drivers.nv != nullptr)
    return std::make_unique<VideoMemoryCache>(*drivers.nv, log);
  if (kind == CacheKind::kBufferStorage && drivers.buffers != nullptr)
    return std::make_unique<BufferStorageCache>(*drivers.buffers, log);
  return std::make_unique<SystemMemoryCache>();
}

CacheSource KindCacheSource(CacheKind kind, const CacheDrivers& drivers, LogSink& log) {
  return {kind, [kind, drivers, &log] { return CreateGeometryCache(kind, drivers, log); }};
}

CacheSource DefaultCacheSource(const GlCapabilities& gl, const CacheDrivers& drivers, LogSink& log) {
  const bool video = CanServe(CacheKind::kVideoMemory, gl, drivers);
  return KindCacheSource(video ? CacheKind::kVideoMemory : CacheKind::kSystemMemory, drivers, log);
}

const char* CacheKindName(CacheKind kind) {
  switch (kind) {
    case CacheKind::kSystemMemory:
      return "system";
    case CacheKind::kVideoMemory:
      return "video";
    case CacheKind::kBufferStorage:
      return "buffer";
  }
  return "";
}

std::optional<CacheKind> CacheKindNamed(std::string_view name) {
  for (const CacheKind kind : kEveryKind)
    if (name == CacheKindName(kind)) return kind;
  return std::nullopt;
}

const char* CacheKindDescription(CacheKind kind) {
  switch (kind) {
    case CacheKind::kSystemMemory:
      return "system-memory cache";
    case CacheKind::kVideoMemory:
      return "video-memory cache";
    case CacheKind::kBufferStorage:
      return "buffer-storage cache";
  }
  return "";
}

CacheSource ChooseCacheSource(const char* choice, const GlCapabilities& gl, const CacheDrivers& drivers,
                              LogSink& log, std::string* note) {
  note->clear();
  CacheSource fallback = DefaultCacheSource(gl, drivers, log);
  if (choice == nullptr || *choice == '\0') return fallback;
  const std::optional<CacheKind> kind = CacheKindNamed(choice);
  if (!kind) {
    *note = Format("Unknown cache '%s' (system, video or buffer): using the %s\n", choice,
                   CacheKindDescription(fallback.kind));
    return fallback;
  }
  if (!CanServe(*kind, gl, drivers)) {
    *note = Format("This GL cannot serve the %s: using the %s\n", CacheKindDescription(*kind),
                   CacheKindDescription(fallback.kind));
    return fallback;
  }
  return KindCacheSource(*kind, drivers, log);
}
