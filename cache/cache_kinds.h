#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/platform/buffer_storage_platform.h"
#include "app/platform/gl_capabilities.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "cache/geometry_cache.h"

// The driver entry points the caches of GL memory draw through; null where the GL lacks them.
struct CacheDrivers {
  NvPlatform* nv = nullptr;
  BufferStoragePlatform* buffers = nullptr;
};

// Whether the GL and the entry points at hand can serve a kind (the system-memory cache always).
bool CanServe(CacheKind kind, const GlCapabilities& gl, const CacheDrivers& drivers);

// The one rule both drawing methods follow unless told otherwise: the video-memory cache when the
// GL has both NV extensions (reached through drivers.nv), else the system-memory cache.
CacheSource DefaultCacheSource(const GlCapabilities& gl, const CacheDrivers& drivers, LogSink& log);

// Fresh caches of a kind, which the caller has checked the driver can serve.
CacheSource KindCacheSource(CacheKind kind, const CacheDrivers& drivers, LogSink& log);

// A fresh cache of a kind; a kind whose entry points are missing gets the system-memory cache.
std::unique_ptr<GeometryCache> CreateGeometryCache(CacheKind kind, const CacheDrivers& drivers, LogSink& log);

// A kind's name where a user chooses it ("system", "video", "buffer"), and the kind of a name.
const char* CacheKindName(CacheKind kind);
std::optional<CacheKind> CacheKindNamed(std::string_view name);
// "system-memory cache", "video-memory cache", "buffer-storage cache".
const char* CacheKindDescription(CacheKind kind);

// The caches a user's choice asks for (null or empty: the default rule). A name that is unknown,
// or a kind the driver cannot serve, gets the default rule and *note the one line (with its line
// end) that says so; otherwise *note is empty.
CacheSource ChooseCacheSource(const char* choice, const GlCapabilities& gl, const CacheDrivers& drivers,
                              LogSink& log, std::string* note);
