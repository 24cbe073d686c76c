#pragma once
#include <memory>

#include "app/platform/gl_capabilities.h"
#include "app/platform/log_sink.h"
#include "app/platform/nv_platform.h"
#include "cache/geometry_cache.h"

// The one rule both drawing methods follow: the video-memory cache when the GL has both NV
// extensions (reached through nv), else the system-memory cache.
CacheSource DefaultCacheSource(const GlCapabilities& gl, NvPlatform* nv, LogSink& log);

// A fresh cache of a kind; nv is needed for the video-memory cache only.
std::unique_ptr<GeometryCache> CreateGeometryCache(CacheKind kind, NvPlatform* nv, LogSink& log);
