#pragma once
#include "app/platform/log_sink.h"

// What the driver offers, found once after the window exists. The two NV extensions together
// select the video-memory geometry cache; buffer storage allows the buffer-storage cache;
// texture compression selects how the terrain texture is uploaded; compiled vertex arrays are
// only reported.
struct GlCapabilities {
  bool compiledVertexArrays = false;
  bool vertexArrayRange = false;
  bool fences = false;
  bool textureCompression = false;
  // Persistently mapped buffer storage, fence syncs and base-vertex multi-draws: GL 4.4, or
  // each of them as an extension or through the GL version that made it core.
  bool bufferStorage = false;

  bool VideoMemoryCache() const { return vertexArrayRange && fences; }
  bool BufferStorageCache() const { return bufferStorage; }
};

// Puts the GL into the fixed state every frame relies on (depth test, back-face culling, flat
// shading, texture replacing the colour, ...) and detects the extensions, logging "Locking not
// supported", "Array range supported" and "Fences supported" as they apply (and nothing about
// buffer storage).
GlCapabilities InitGLState(LogSink& log);

// The detection part alone, from a given extension string (buffer storage is left out: it
// needs the version too).
GlCapabilities DetectCapabilities(const char* extensions, LogSink& log);

// Whether a GL of this GL_VERSION string ("4.5 (Compatibility Profile) Mesa ...") and extension
// string offers everything the buffer-storage cache uses: GL 4.4, or ARB_buffer_storage, and
// each of ARB_map_buffer_range (core in 3.0), ARB_sync and ARB_draw_elements_base_vertex (core
// in 3.2) by name or by version. An unreadable version counts as 0.0.
bool OffersBufferStorage(const char* version, const char* extensions);

// Whole-token search of name in the GL_EXTENSIONS string of the current context.
bool HasExtension(const char* name);

// Whole-token search of name in an extension string: an occurrence counts only when it starts the
// string or follows a space, and ends it or is followed by a space. A name that is empty or
// contains a space is never found.
bool ExtensionListHas(const char* extensions, const char* name);
